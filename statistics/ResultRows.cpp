#include "ResultRows.h"

#include "data/records/Columns.h"
#include "data/table/Table.h"
#include "platform/ScreenCursor.h"

#include <QRandomGenerator>
#include <chrono>

namespace kx {

namespace {}

ResultRows::ResultRows(Table& table) : m_table(table), m_source(&ResultRows::drawFromFreshSeed) {}

void ResultRows::setTagSource(TagSource source) {
    m_source = source ? std::move(source) : TagSource(&ResultRows::drawFromFreshSeed);
}

quint32 ResultRows::drawFromFreshSeed() {
    // A seed from the clock alone is the same on two workstations that open the window in
    // the same instant, and so would be their tags; the clock is mixed with the system's
    // entropy so that such a pair still draws apart.
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const quint64 clock =
        quint64(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
    QRandomGenerator generator(clock ^ QRandomGenerator::system()->generate64());
    return generator.bounded(kTagLimit);
}

void ResultRows::limitToTag(quint32 tag) {
    m_table.setFilter(QString(column::resultTag) + QStringLiteral(" = ") + QString::number(tag));
    m_table.setFiltered(true);
}

void ResultRows::startShowing() {
    m_hasTag = false;
    m_table.open(); // no-op when open; a table closed by a lost connection is opened again
    // The search for a taken tag covers the whole of tbl_Tmp, whatever the table showed
    // before: with the candidate as the filter, the count on the server is the number of
    // rows, of any workstation, that already carry it.
    for (;;) {
        const quint32 candidate = m_source() % kTagLimit;
        limitToTag(candidate);
        if (m_table.recordCount() == 0) {
            m_tag = candidate;
            m_hasTag = true;
            return;
        }
    }
}

void ResultRows::write(const QString& label, const QString& value) {
    if (!m_hasTag)
        return;
    m_table.append();
    m_table.setField(column::resultLabel, label);
    m_table.setField(column::resultValue, value);
    m_table.setField(column::resultTag, qint64(m_tag));
    m_table.post();
    m_table.refresh();
}

void ResultRows::removeAll() {
    if (!m_hasTag)
        return;
    // Whatever happened to the table since the showing began, only this tag's rows may be
    // seen, and so deleted.
    m_table.cancel();
    m_table.open();
    limitToTag(m_tag);
    if (m_table.recordCount() <= 0)
        return;
    const BusyCursor busy;
    m_table.refresh();
    while (m_table.currentKey() >= 0) {
        const qint64 key = m_table.currentKey();
        m_table.deleteRecord();
        m_table.refresh();
        if (m_table.currentKey() == key)
            break; // the row did not go; asking again would never end
    }
}

} // namespace kx
