#pragma once

#include <QString>
#include <memory>
#include <optional>

namespace kx {

class MariaConnection;
class MariaStatement;

// Asks the server, in one short statement that reads no row, when a table was last changed:
// the server keeps the time of the last committed change of every table it has open, and of
// its creation. A client that read the table's rows at a moment after that time holds them
// as they are; one second of margin covers the rounding of the times to whole seconds. When
// the server cannot tell (after a restart, before the first change), the answer is "maybe".
class TableChangeProbe {
public:
    struct Stamp {
        qint64 now = 0;                // the server's clock, seconds since the epoch (UTC)
        std::optional<qint64> changed; // the last committed change; none: unknown
        std::optional<qint64> created; // none: unknown
        std::optional<qint64> rows;    // the server's estimate of the table's rows
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
};

} // namespace kx
