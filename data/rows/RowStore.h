#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace kx {

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

} // namespace kx
