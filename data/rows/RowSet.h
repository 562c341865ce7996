#pragma once

#include "data/rows/ResultColumn.h"
#include "data/rows/RowStore.h"
#include "data/sql/MariaStatement.h"

#include <QString>
#include <atomic>
#include <vector>

namespace kx {

// The rows of a statement, built aside and installed only when complete.
struct RowSet {
    std::vector<ResultColumn> columns;
    RowStore store;
    QString table; // set when deferred columns are read by key from this table
    int keyColumn = -1;
    // The live stored rows in the statement's order.
    std::vector<int> order;
    // Per stored row, when the statement reads one table: the server's digest of the row's
    // stored values, by which a refresh tells the rows that changed.
    std::vector<quint64> digests;

    int findColumn(const QString& field) const; // case-insensitive; -1 when unknown
    qint64 keyOf(int storedRow) const;          // -1 when NULL or not a number
    int storedRowOfKey(qint64 key) const;       // of the live row with this key; -1 when none

    // No rows, the same columns, table, key column and store width.
    RowSet emptyLike() const;
    // Stores a row just fetched: its stored cells, then its digest when the statement has
    // one. Returns the stored row; the order is the caller's to set.
    int appendRow(const std::vector<MariaStatement::Cell>& cells, bool digested);
    // The live rows again in a store of their own, in the statement's order; returns where
    // storedRow went (-1 when it was dead).
    int compact(int storedRow);
};

ResultColumn resultColumnOf(const MariaStatement::Column& c); // not deferred, no slot yet

// Appends the rows of a statement that has run, in its order: the stored cells of each row,
// then its digest when the statement has one. Stops early once stop is set, or after
// maxRows rows (-1: no limit); returns whether it stopped there with rows still to come.
bool appendRows(MariaStatement& st, RowSet& out, bool digested,
                const std::atomic<bool>* stop = nullptr, int maxRows = -1);
// Appends the rows of from (same columns), in its order, with their digests.
void appendRowSet(RowSet& to, const RowSet& from);
// Appends the rows of pieces[first...] (same columns) in turn, each piece emptied once it is
// copied, so that a long result is never held twice; joining them moves no row twice.
void appendRowSets(RowSet& to, std::vector<RowSet>& pieces, size_t first = 0);
// Whether the first rows of a, in its order, are b's first rows with the same values.
bool sameFirstRows(const RowSet& a, const RowSet& b, int rows);

} // namespace kx
