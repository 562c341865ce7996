#include "data/query/refresh/TableChangeProbe.h"

#include "data/sql/MariaConnection.h"
#include "data/sql/MariaStatement.h"
#include "data/sql/SmallAnswer.h"

namespace kx {

TableChangeProbe::TableChangeProbe(MariaConnection& conn, const QString& table)
    : m_conn(conn), m_table(table) {}

TableChangeProbe::~TableChangeProbe() = default;

namespace {

QString probeStatement(bool withWriters) {
    // In UTC, so that an hour that the clock goes through twice in autumn is not ambiguous.
    // A transaction that can write is neither declared read-only nor a single plain SELECT.
    return QStringLiteral(
               "SET STATEMENT time_zone = '+00:00' FOR SELECT UNIX_TIMESTAMP(), "
               "UNIX_TIMESTAMP(UPDATE_TIME), UNIX_TIMESTAMP(CREATE_TIME), TABLE_ROWS, ") +
           (withWriters ? QStringLiteral("(SELECT COUNT(*) FROM information_schema.INNODB_TRX "
                                         "WHERE trx_is_read_only = 0 AND "
                                         "trx_autocommit_non_locking = 0)")
                        : QStringLiteral("NULL")) +
           QStringLiteral(" FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() "
                          "AND TABLE_NAME = ?");
}

} // namespace

TableChangeProbe::Stamp TableChangeProbe::read() {
    Stamp stamp;
    // Only MariaDB keeps these times current and knows SET STATEMENT; another server refuses
    // the statement, and its tables then always count as maybe changed. The open
    // transactions need the PROCESS right: without it the statement is asked without them,
    // and every refresh compares the rows themselves.
    for (;;) {
        if (m_refused)
            return stamp;
        if (!m_statement)
            m_statement = std::make_unique<MariaStatement>(m_conn, probeStatement(m_withWriters));
        MariaStatement& st = *m_statement;
        st.bindText(m_table);
        if (st.executeIfAccepted())
            break;
        m_statement.reset();
        if (m_withWriters)
            m_withWriters = false;
        else
            m_refused = true;
    }
    MariaStatement& st = *m_statement;
    MariaStatement::Row row;
    if (st.fetch(row)) {
        stamp.now = row[0] ? row[0]->toLongLong() : 0;
        if (row[1])
            stamp.changed = row[1]->toLongLong();
        if (row[2])
            stamp.created = row[2]->toLongLong();
        if (row[3])
            stamp.rows = row[3]->toLongLong();
        if (row[4])
            stamp.openWriters = row[4]->toLongLong();
        // One table, one row: a server that goes on answering is not listened to.
        if (st.fetch(row)) {
            st.abandon();
            m_statement.reset();
            const DbError err = SmallAnswer::tooLarge();
            m_conn.fail(err.message(), err.code());
        }
    }
    st.finish();
    return stamp;
}

bool TableChangeProbe::unchangedSince(const Stamp& verified, const Stamp& now) {
    // A transaction open at the verified moment may commit after it with an earlier time.
    return verified.now > 0 && verified.openWriters == 0 && now.changed && now.created &&
           verified.created && *now.created == *verified.created && *now.changed < verified.now - 1;
}

} // namespace kx
