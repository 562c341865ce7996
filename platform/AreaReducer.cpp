#include "AreaReducer.h"

#include <algorithm>

namespace kx {

// In whole numbers, source column x spans [x * toWidth, (x + 1) * toWidth) and result column
// i spans [i * fromWidth, (i + 1) * fromWidth) of the same line; rows likewise. As the result
// is never larger than the source, a source pixel reaches at most two result pixels, and each
// result pixel gathers a weight of fromWidth * fromHeight.
AreaReducer::AreaReducer(QSize from, QImage* into)
    : m_into(into), m_channels(into->format() == QImage::Format_Grayscale8 ? 1 : 3),
      m_fromWidth(from.width()), m_fromHeight(from.height()), m_toHeight(into->height()),
      m_column(std::size_t(from.width())), m_columnWeight(std::size_t(from.width())) {
    const qint64 toWidth = into->width();
    for (qint64 x = 0; x < m_fromWidth; ++x) {
        const qint64 start = x * toWidth;
        const qint64 i = start / m_fromWidth;
        m_column[std::size_t(x)] = int(i);
        m_columnWeight[std::size_t(x)] =
            std::uint32_t(std::min((i + 1) * m_fromWidth, start + toWidth) - start);
    }
    const std::size_t sums = std::size_t(toWidth + 1) * std::size_t(m_channels);
    m_line.assign(sums, 0);
    m_current.assign(sums, 0);
    m_next.assign(sums, 0);
}

void AreaReducer::addRow(const uchar* row) {
    if (m_targetRow >= m_toHeight)
        return; // a row beyond the source's height changes nothing
    const std::uint32_t toWidth = std::uint32_t(m_into->width());
    std::fill(m_line.begin(), m_line.end(), 0);
    for (qint64 x = 0; x < m_fromWidth; ++x) {
        const std::size_t i = std::size_t(m_column[std::size_t(x)]) * std::size_t(m_channels);
        const std::uint32_t first = m_columnWeight[std::size_t(x)];
        const std::uint32_t second = toWidth - first;
        for (int c = 0; c < m_channels; ++c) {
            const std::uint64_t value = row[x * m_channels + c];
            m_line[i + std::size_t(c)] += value * first;
            m_line[i + std::size_t(m_channels + c)] += value * second;
        }
    }

    const qint64 start = m_sourceRow * m_toHeight;
    const qint64 end = start + m_toHeight;
    const qint64 boundary = (m_targetRow + 1) * m_fromHeight;
    const std::uint64_t first = std::uint64_t(std::min(boundary, end) - start);
    const std::uint64_t second = std::uint64_t(m_toHeight) - first;
    for (std::size_t i = 0; i < m_line.size(); ++i) {
        m_current[i] += m_line[i] * first;
        m_next[i] += m_line[i] * second;
    }
    ++m_sourceRow;
    if (end >= boundary)
        finishRow();
}

void AreaReducer::finishRow() {
    const std::uint64_t whole = std::uint64_t(m_fromWidth) * std::uint64_t(m_fromHeight);
    uchar* out = m_into->scanLine(m_targetRow);
    const std::size_t values = std::size_t(m_into->width()) * std::size_t(m_channels);
    for (std::size_t i = 0; i < values; ++i)
        out[i] = uchar((m_current[i] + whole / 2) / whole);
    m_current.swap(m_next);
    std::fill(m_next.begin(), m_next.end(), 0);
    ++m_targetRow;
}

} // namespace kx
