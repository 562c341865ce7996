#include "data/sql/Transaction.h"

#include "data/sql/MariaConnection.h"

namespace kx {

Transaction::Transaction(MariaConnection& conn) : m_conn(conn) {
    m_conn.execute(QStringLiteral("START TRANSACTION"));
    m_open = true;
}

Transaction::~Transaction() {
    rollback();
}

void Transaction::commit() {
    if (!m_open)
        return;
    m_open = false;
    try {
        m_conn.execute(QStringLiteral("COMMIT"));
    } catch (...) {
        // A refused COMMIT (a cluster's conflict) leaves nothing open behind it either.
        m_conn.rollbackQuietly();
        throw;
    }
}

void Transaction::rollback() {
    if (!m_open)
        return;
    m_open = false;
    m_conn.rollbackQuietly();
}

} // namespace kx
