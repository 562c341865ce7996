#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace kx {

class MariaConnection;
class ReadingWorker;
class StatementOrder;
struct RowSet;

// Brings the rows a client holds up to date with the server by the rows that changed. The
// server computes a digest of every row's stored values; one statement returns the key and
// digest of every row of the statement (no sort, no long column), the client compares them
// with what it holds, and only the rows that are new or differ travel again. Rows that went
// (deleted, or no longer matching the statement) are marked dead; new versions are added to
// the store and put in their place in the statement's order.
class RowDelta {
public:
    // statement: the narrowed statement whose columns are the stored ones and then the
    // digest. maxChanges: more rows than this are better read again as a whole.
    RowDelta(MariaConnection& conn, const QString& statement, const QString& keyColumn);

    // The rows added to the store, in the statement's order (dead ones are in the store's
    // marks); nullopt when more than maxChanges rows differ, and nothing was changed. With
    // aside, a long statement's upper half of keys is scanned on that connection at the same
    // time, so that the server computes the digests on two threads.
    std::optional<std::vector<int>> apply(RowSet& rows, const StatementOrder& order, int maxChanges,
                                          ReadingWorker* aside = nullptr);

    // The digest of a row of these columns, as the server computes it.
    static QString digestExpression(const QStringList& quotedColumns);
    static QString digestAlias();

private:
    class DigestComparison;
    bool scanDigests(DigestComparison& comparison, ReadingWorker* aside);
    bool readVersions(RowSet& rows, const std::vector<qint64>& wanted, std::vector<int>& added);
    static void putInOrder(RowSet& rows, const StatementOrder& order, std::vector<int>& added);

    MariaConnection& m_conn;
    QString m_statement;
    QString m_key;
};

} // namespace kx
