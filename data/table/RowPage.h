#pragma once

#include "data/sql/MariaStatement.h"
#include "data/table/DeferredNulls.h"

#include <vector>

namespace kx {

struct TableSource;

// The rows of a table in key order around the current one, read a page at a time through the
// filter in force, and which of them is current. The table is never copied: only the page
// lives here, and a pass over the table reads one page after another.
class RowPage {
public:
    static constexpr int kSize = 500; // rows of the row columns read per statement

    explicit RowPage(const TableSource& source) : m_source(source), m_nulls(source) {}

    bool hasRow() const {
        return m_pos >= 0 && m_pos < int(m_rows.size());
    }
    qint64 currentKey() const; // -1 when no current row
    // A row column of the current row, by its index in the row.
    const MariaStatement::Value& value(int index) const {
        return m_rows[size_t(m_pos)][size_t(index)];
    }
    bool atEnd() const {
        return m_atEnd;
    }

    void loadFirst();
    void loadFrom(qint64 key); // the row with key or the next one on
    // The next row, reading the next page when this one is used up; false past the last
    // row, which stays current.
    bool next();
    // Reads again and stays on the current key (or the one lost by loseTrack) where it still
    // exists; otherwise back to the first row.
    void refresh();
    // The row with key or the next one on; the last row before key when there is none.
    void loadNear(qint64 key);
    // The current row read again by its key; false when it is gone. shareLock waits for
    // another connection's write lock on the row, and takes none that outlives the statement
    // in autocommit mode.
    bool readCurrentAgain(bool shareLock);
    void clear();
    // No rows, because reading them failed; refresh() goes back to key.
    void loseTrack(qint64 key);

    // Whether a long column is NULL (emptyToo: or zero bytes) in the current row.
    bool longValueIsNull(const QString& column, bool emptyToo) {
        return m_nulls.isNull(column, emptyToo, m_rows, m_pos);
    }

private:
    // A page of rows in key order: from the start (op empty) or relative to from.
    std::vector<MariaStatement::Row> load(const QString& op, qint64 from) const;
    // passGoesOn: the next page of a pass, whose NULL runs go on growing.
    void show(std::vector<MariaStatement::Row> rows, bool passGoesOn = false);

    const TableSource& m_source;
    std::vector<MariaStatement::Row> m_rows;
    int m_pos = -1; // -1: no current row
    bool m_atEnd = true;
    qint64 m_lostKey = -1; // the key to return to when reading the rows after a write failed
    DeferredNulls m_nulls;
};

} // namespace kx
