#pragma once

#include "MariaStatement.h"

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <atomic>
#include <vector>

namespace kx {

// A column of a query's result as the client keeps it.
struct ResultColumn {
    QString name;
    bool numeric = false;
    bool binary = false;
    bool deferred = false;  // not fetched with the rows; read by key for the current row
    int slot = -1;          // index among the stored cells of a row; -1 when deferred
    unsigned collation = 0; // the server's collation number of the values
};

ResultColumn resultColumnOf(const MariaStatement::Column& c); // not deferred, no slot yet

// All stored cells of all rows in one byte buffer: no allocation per cell, so the client's
// memory is the size of the visible values plus a few bytes a cell.
class RowStore {
public:
    explicit RowStore(int width = 0) : m_width(width) {}

    int width() const {
        return m_width;
    }
    int rows() const {
        return m_rows;
    }
    bool isNull(int row, int slot) const {
        return m_nulls[index(row, slot)];
    }
    const char* data(int row, int slot) const {
        return m_bytes.data() + begin(row, slot);
    }
    qint64 sizeAt(int row, int slot) const {
        return m_ends[index(row, slot)] - begin(row, slot);
    }
    QByteArray bytesAt(int row, int slot) const;
    QString textAt(int row, int slot) const; // Latin-2
    // One cell of the row being added; the row is complete after width() cells.
    void append(const char* data, qsizetype length, bool null);
    // Every row of other (same width, whole rows) after these.
    void appendRows(const RowStore& other);
    // Room for this many more rows of this many more bytes, so that appending them moves
    // nothing already stored.
    void reserveMore(int rows, qint64 bytes);
    qint64 byteCount() const {
        return qint64(m_bytes.size());
    }
    // A row replaced or removed by a refresh keeps its place in the store, as dead.
    void markDead(int row);
    bool isDead(int row) const {
        return size_t(row) < m_dead.size() && m_dead[size_t(row)];
    }
    int deadRows() const {
        return m_deadRows;
    }

private:
    size_t index(int row, int slot) const {
        return size_t(row) * size_t(m_width) + size_t(slot);
    }
    qint64 begin(int row, int slot) const {
        const size_t i = index(row, slot);
        return i == 0 ? 0 : m_ends[i - 1];
    }
    int m_width = 0;
    int m_rows = 0;
    int m_cellsOfLastRow = 0;
    int m_deadRows = 0;
    std::vector<bool> m_dead; // empty while no row is dead
    std::vector<char> m_bytes;
    std::vector<qint64> m_ends; // end offset of each cell; its start is the previous cell's end
    std::vector<bool> m_nulls;
};

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

// Puts every row of added into the ordered rows where before(row, added) stops holding, in
// one pass; the rows already there keep their order.
template <class Before>
void insertOrdered(std::vector<int>& ordered, const std::vector<int>& added, Before before) {
    std::vector<std::pair<size_t, int>> places; // where in ordered, which row
    places.reserve(added.size());
    for (const int r : added)
        places.emplace_back(size_t(std::partition_point(ordered.begin(), ordered.end(),
                                                        [&](int k) { return before(k, r); }) -
                                   ordered.begin()),
                            r);
    std::stable_sort(places.begin(), places.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<int> merged;
    merged.reserve(ordered.size() + added.size());
    size_t next = 0;
    for (size_t i = 0; i <= ordered.size(); ++i) {
        while (next < places.size() && places[next].first == i)
            merged.push_back(places[next++].second);
        if (i < ordered.size())
            merged.push_back(ordered[i]);
    }
    ordered.swap(merged);
}

} // namespace kx
