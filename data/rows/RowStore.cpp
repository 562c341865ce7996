#include "data/rows/RowStore.h"

#include "data/text/Latin2.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace kx {

namespace {
#ifdef __GLIBC__
// The rows of a large result take a few large blocks, built on the reading thread and freed
// on the program's own: blocks of 8 MB or more are mapped on their own, so that a freed one
// goes back to the system at once instead of staying in the other thread's heap. (Smaller
// ones, such as the pieces of a stored file, stay in the heap and are reused.)
[[maybe_unused]] const bool kLargeBlocksMapped = mallopt(M_MMAP_THRESHOLD, 8 * 1024 * 1024) != 0;
#endif
} // namespace

QByteArray RowStore::bytesAt(int row, int slot) const {
    return QByteArray(data(row, slot), sizeAt(row, slot));
}

QString RowStore::textAt(int row, int slot) const {
    return latin2::decode(data(row, slot), sizeAt(row, slot));
}

void RowStore::append(const char* data, qsizetype length, bool null) {
    if (length)
        m_bytes.insert(m_bytes.end(), data, data + length);
    m_ends.push_back(qint64(m_bytes.size()));
    m_nulls.push_back(null);
    if (++m_cellsOfLastRow == m_width) {
        m_cellsOfLastRow = 0;
        ++m_rows;
    }
}

void RowStore::appendRows(const RowStore& other) {
    const qint64 base = qint64(m_bytes.size());
    m_bytes.insert(m_bytes.end(), other.m_bytes.begin(), other.m_bytes.end());
    m_ends.reserve(m_ends.size() + other.m_ends.size());
    for (const qint64 end : other.m_ends)
        m_ends.push_back(base + end);
    m_nulls.insert(m_nulls.end(), other.m_nulls.begin(), other.m_nulls.end());
    m_rows += other.m_rows;
    if (!m_dead.empty() || !other.m_dead.empty()) {
        m_dead.resize(size_t(m_rows - other.m_rows), false);
        std::vector<bool> theirs = other.m_dead;
        theirs.resize(size_t(other.m_rows), false);
        m_dead.insert(m_dead.end(), theirs.begin(), theirs.end());
        m_deadRows += other.m_deadRows;
    }
}

void RowStore::reserveMore(int rows, qint64 bytes) {
    const size_t cells = size_t(m_rows + rows) * size_t(m_width);
    m_ends.reserve(cells);
    m_nulls.reserve(cells);
    m_bytes.reserve(m_bytes.size() + size_t(bytes));
}

void RowStore::markDead(int row) {
    if (m_dead.empty())
        m_dead.assign(size_t(m_rows), false);
    if (m_dead.size() < size_t(m_rows))
        m_dead.resize(size_t(m_rows), false);
    if (!m_dead[size_t(row)]) {
        m_dead[size_t(row)] = true;
        ++m_deadRows;
    }
}

} // namespace kx
