#pragma once

#include <QString>
#include <memory>
#include <optional>

namespace kx {

class MariaConnection;
class MariaStatement;

// Asks the server, in one short statement that reads no row, when a table was last changed:
// the server keeps a time for the last committed change of every table it has open, and of
// its creation. That time is the *start* of the committing transaction, not its commit: a
// transaction that was already open when the rows were read may commit later with a time
// before the reading. So the same statement counts the transactions open at that moment that
// may write; only rows read after a moment with none open, and after the last change's time,
// are surely current. One second of margin covers the rounding of the times to whole seconds
// (and the server's list of open transactions, which may be a tenth of a second old). When
// the server cannot tell (after a restart, before the first change, a user without the right
// to see the open transactions), the answer is "maybe".
class TableChangeProbe {
public:
    struct Stamp {
        qint64 now = 0;                // the server's clock, seconds since the epoch (UTC)
        std::optional<qint64> changed; // the last committed change; none: unknown
        std::optional<qint64> created; // none: unknown
        std::optional<qint64> rows;    // the server's estimate of the table's rows
        // Transactions open at that moment that may write (on any table); none: unknown.
        std::optional<qint64> openWriters;
    };

    TableChangeProbe(MariaConnection& conn, const QString& table);
    ~TableChangeProbe();
    TableChangeProbe(const TableChangeProbe&) = delete;
    TableChangeProbe& operator=(const TableChangeProbe&) = delete;

    QString table() const {
        return m_table;
    }
    Stamp read(); // the statement is prepared once and asked again
    // Whether the table is surely unchanged since the moment of verified, which was read
    // before the rows were; now: just read.
    static bool unchangedSince(const Stamp& verified, const Stamp& now);

private:
    MariaConnection& m_conn;
    QString m_table;
    std::unique_ptr<MariaStatement> m_statement;
    bool m_refused = false;
    bool m_withWriters = true; // false once the server refused to show open transactions
};

} // namespace kx
