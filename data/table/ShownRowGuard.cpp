#include "data/table/ShownRowGuard.h"

#include "data/table/Table.h"

namespace kx {

namespace {

QString q(const QString& name) {
    return MariaStatement::quoteIdentifier(name);
}

} // namespace

ShownRowGuard::ShownRowGuard(Table& table, std::function<bool()> confirm)
    : m_table(table), m_confirm(std::move(confirm)) {}

void ShownRowGuard::remember() {
    forget();
    const qint64 key = m_table.currentKey();
    if (key < 0)
        return;
    auto row = read(key, false);
    if (!row)
        return; // gone already: the form finds that out for itself
    // The short columns as the table holds them: it read them before this reading, and they
    // are what the form shows.
    const QStringList fields = m_table.rowFields();
    for (qsizetype i = 0; i < fields.size(); ++i)
        (*row)[size_t(i)] = m_table.isNull(fields[i])
                                ? MariaStatement::Value()
                                : MariaStatement::Value(m_table.asBytes(fields[i]));
    m_shown = std::move(*row);
    m_key = key;
}

void ShownRowGuard::forget() {
    m_key = -1;
    m_shown.clear();
    m_stored.clear();
    m_storedKey = -1;
    m_ownChange.reset();
}

void ShownRowGuard::run(const std::function<void()>& change) {
    m_table.setRowGuard(this);
    try {
        change();
    } catch (...) {
        m_table.setRowGuard(nullptr);
        throw;
    }
    m_table.setRowGuard(nullptr);
}

RowGuard::Verdict ShownRowGuard::check(qint64 key) {
    auto row = read(key, true);
    if (!row)
        return Verdict::Gone;
    m_stored = std::move(*row);
    m_storedKey = key;
    // The row as this program last changed it counts as shown too: a COMMIT whose answer
    // was lost may have gone through, and writing the same change again is no overwrite.
    const bool asExpected = m_stored == m_shown || (m_ownChange && m_stored == *m_ownChange);
    return m_key == key && asExpected ? Verdict::Write : Verdict::Changed;
}

void ShownRowGuard::changeMade(qint64 key) {
    if (m_key != key)
        return;
    // Inside the transaction: the reading sees the change itself.
    m_ownChange = read(key, false);
}

void ShownRowGuard::changeCommitted() {
    if (!m_ownChange)
        return;
    m_shown = std::move(*m_ownChange);
    m_ownChange.reset();
}

bool ShownRowGuard::overwrite() {
    if (!m_confirm || !m_confirm())
        return false;
    // What the user agreed to write over; a further change before the write is asked again.
    m_key = m_storedKey;
    m_shown = m_stored;
    return true;
}

// One statement on the row's key: the short columns by value, then each long one by its
// size and its digest. The locking form takes the row's write lock for the transaction. The
// key is a number, so the statement goes as text, in one exchange with the server.
std::optional<ShownRowGuard::Fingerprint> ShownRowGuard::read(qint64 key, bool lock) {
    QStringList columns;
    for (const QString& f : m_table.rowFields())
        columns << q(f);
    for (const QString& f : m_table.onDemandFields())
        columns << QStringLiteral("OCTET_LENGTH(%1)").arg(q(f))
                << QStringLiteral("SHA1(%1)").arg(q(f));
    MariaStatement st(
        m_table.connection(),
        QStringLiteral("SELECT %1 FROM %2 WHERE %3 = %4%5")
            .arg(columns.join(QLatin1Char(',')), q(m_table.tableName()), q(m_table.keyField()))
            .arg(key)
            .arg(lock ? QStringLiteral(" FOR UPDATE") : QString()));
    st.executeText();
    std::optional<Fingerprint> out;
    Fingerprint row;
    if (st.fetch(row))
        out = std::move(row);
    st.finish();
    return out;
}

} // namespace kx
