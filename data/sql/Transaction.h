#pragma once

namespace kx {

class MariaConnection;

// One transaction on a connection, owned by the scope that began it: it ends on every way
// out. commit() ends it with the change kept; leaving the scope any other way (a server
// error, "Mégse" during a file transfer, a file that cannot be read, a question answered
// No) rolls it back, so no row stays locked and nothing written later rides along in it.
class Transaction {
public:
    explicit Transaction(MariaConnection& conn); // START TRANSACTION
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // COMMIT. The transaction is over afterwards whatever happens; a failure is raised as
    // any failure on the connection (a lost answer leaves the outcome unknown to the caller).
    void commit();
    // Rolls back now, without showing anything.
    void rollback();
    bool isOpen() const {
        return m_open;
    }

private:
    MariaConnection& m_conn;
    bool m_open = false;
};

} // namespace kx
