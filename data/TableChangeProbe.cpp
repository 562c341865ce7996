#include "TableChangeProbe.h"

#include "MariaStatement.h"

namespace kx {

TableChangeProbe::TableChangeProbe(MariaConnection& conn, const QString& table)
    : m_conn(conn), m_table(table) {}

TableChangeProbe::~TableChangeProbe() = default;

TableChangeProbe::Stamp TableChangeProbe::read() {
    // In UTC, so that an hour that the clock goes through twice in autumn is not ambiguous.
    if (!m_statement)
        m_statement = std::make_unique<MariaStatement>(
            m_conn, QStringLiteral("SET STATEMENT time_zone = '+00:00' FOR SELECT "
                                   "UNIX_TIMESTAMP(), UNIX_TIMESTAMP(UPDATE_TIME), "
                                   "UNIX_TIMESTAMP(CREATE_TIME), TABLE_ROWS FROM "
                                   "information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() "
                                   "AND TABLE_NAME = ?"));
    // Only MariaDB keeps these times current and knows SET STATEMENT; another server refuses
    // the statement, and its tables then always count as maybe changed.
    Stamp stamp;
    if (m_refused || !m_statement->prepareIfAccepted()) {
        m_refused = true;
        return stamp;
    }
    MariaStatement& st = *m_statement;
    st.bindText(m_table);
    st.execute();
    MariaStatement::Row row;
    if (st.fetch(row)) {
        stamp.now = row[0] ? row[0]->toLongLong() : 0;
        if (row[1])
            stamp.changed = row[1]->toLongLong();
        if (row[2])
            stamp.created = row[2]->toLongLong();
        if (row[3])
            stamp.rows = row[3]->toLongLong();
    }
    st.finish();
    return stamp;
}

bool TableChangeProbe::unchangedSince(const Stamp& verified, const Stamp& now) {
    return verified.now > 0 && now.changed && now.created && verified.created &&
           *now.created == *verified.created && *now.changed < verified.now - 1;
}

} // namespace kx
