#include "data/table/RowPage.h"

#include "data/table/TableSource.h"

namespace kx {

qint64 RowPage::currentKey() const {
    return hasRow() ? m_source.columns.keyOf(m_rows[size_t(m_pos)]) : -1;
}

void RowPage::loadFirst() {
    show(load(QString(), 0));
}

void RowPage::loadFrom(qint64 key) {
    show(load(QStringLiteral(">="), key));
}

bool RowPage::next() {
    if (m_pos + 1 < int(m_rows.size())) {
        ++m_pos;
        return true;
    }
    if (int(m_rows.size()) == kSize) {
        auto rows = load(QStringLiteral(">"), m_source.columns.keyOf(m_rows.back()));
        if (!rows.empty()) {
            show(std::move(rows), true);
            return true;
        }
    }
    m_atEnd = true; // past the last row; the last row stays current
    return false;
}

void RowPage::refresh() {
    const qint64 key = hasRow() ? currentKey() : m_lostKey;
    auto rows = key >= 0 ? load(QStringLiteral(">="), key) : std::vector<MariaStatement::Row>();
    if (rows.empty() || m_source.columns.keyOf(rows[0]) != key)
        rows = load(QString(), 0); // the row is gone: back to the first one
    show(std::move(rows));
}

void RowPage::loadNear(qint64 key) {
    auto rows = load(QStringLiteral(">="), key);
    if (rows.empty()) { // nothing from key on: the row before it
        const QString k = m_source.quotedKey();
        MariaStatement st(
            m_source.conn,
            QStringLiteral("SELECT %1 FROM %2%3 ORDER BY %1 DESC LIMIT 1")
                .arg(k, m_source.quotedTable(), m_source.filter.where(k + QStringLiteral(" < ?"))));
        m_source.filter.bind(st);
        st.bindInt(key);
        st.execute();
        const auto prev = st.fetchAtMost(1);
        if (!prev.empty() && prev[0][0])
            rows = load(QStringLiteral(">="), prev[0][0]->toLongLong());
    }
    show(std::move(rows));
}

bool RowPage::readCurrentAgain(bool shareLock) {
    MariaStatement st(m_source.conn,
                      QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?%4")
                          .arg(m_source.columns.selectList(), m_source.quotedTable(),
                               m_source.quotedKey(),
                               shareLock ? QStringLiteral(" LOCK IN SHARE MODE") : QString()));
    st.bindInt(currentKey());
    st.execute();
    auto rows = st.fetchAtMost(1);
    if (rows.empty())
        return false;
    m_rows[size_t(m_pos)] = std::move(rows[0]);
    m_nulls.clear(); // read again with the row
    return true;
}

void RowPage::clear() {
    m_rows.clear();
    m_pos = -1;
    m_atEnd = true;
    m_lostKey = -1;
    m_nulls.clear();
}

void RowPage::loseTrack(qint64 key) {
    clear();
    m_lostKey = key;
}

std::vector<MariaStatement::Row> RowPage::load(const QString& op, qint64 from) const {
    const QString key = m_source.quotedKey();
    const QString cond = op.isEmpty() ? QString() : QStringLiteral("%1 %2 ?").arg(key, op);
    MariaStatement st(m_source.conn, QStringLiteral("SELECT %1 FROM %2%3 ORDER BY %4 LIMIT %5")
                                         .arg(m_source.columns.selectList(), m_source.quotedTable(),
                                              m_source.filter.where(cond), key)
                                         .arg(kSize));
    m_source.filter.bind(st);
    if (!op.isEmpty())
        st.bindInt(from);
    st.execute();
    return st.fetchAtMost(kSize);
}

void RowPage::show(std::vector<MariaStatement::Row> rows, bool passGoesOn) {
    m_rows = std::move(rows);
    m_pos = m_rows.empty() ? -1 : 0;
    m_atEnd = m_rows.empty();
    m_lostKey = -1;
    if (passGoesOn)
        m_nulls.continueOnNextPage();
    else
        m_nulls.clear();
}

} // namespace kx
