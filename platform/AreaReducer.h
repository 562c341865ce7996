#pragma once

#include <QImage>
#include <QSize>
#include <cstdint>
#include <vector>

namespace kx {

// Reduces a picture that arrives one row at a time, top to bottom, into a smaller picture:
// every pixel of the result is the average of the area of the source it covers, the parts of
// source pixels on its edges counted by how much of them it covers. Only one source row and
// two rows of sums are held, however large the source.
class AreaReducer {
public:
    // into is the result, already of its size (at most from each way) and of format RGB888
    // or Grayscale8; the rows of a source of size from, in the same format, are added to it.
    AreaReducer(QSize from, QImage* into);

    // The next source row: from.width() pixels of the result's format.
    void addRow(const uchar* row);

private:
    void finishRow();

    QImage* m_into;
    int m_channels;
    qint64 m_fromWidth;
    qint64 m_fromHeight;
    qint64 m_toHeight;
    qint64 m_sourceRow = 0; // rows added so far
    int m_targetRow = 0;    // the result row being summed
    // For each source column: the result column it starts in and the part of its weight
    // (out of the result's width) that goes there; the rest goes to the next column.
    std::vector<int> m_column;
    std::vector<std::uint32_t> m_columnWeight;
    std::vector<std::uint64_t> m_line;    // the source row, reduced to the result's width
    std::vector<std::uint64_t> m_current; // sums of the result row being made
    std::vector<std::uint64_t> m_next;    // and of the one below it
};

} // namespace kx
