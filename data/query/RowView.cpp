#include "data/query/RowView.h"

#include "data/rows/InsertOrdered.h"
#include "data/rows/RowSet.h"

#include <QLocale>
#include <algorithm>
#include <numeric>

namespace kx {

namespace {

bool optionalNumber(const QString& text, double& out) {
    bool ok = false;
    out = text.trimmed().toDouble(&ok);
    return ok;
}

} // namespace

bool RowView::canFilter(const RowSet& rows) const {
    if (!filterActive())
        return true;
    const int c = rows.findColumn(m_filter.field);
    return c >= 0 && !rows.columns[size_t(c)].deferred;
}

bool RowView::passes(const RowSet& rows, int storedRow, int column) const {
    const ResultColumn& c = rows.columns[size_t(column)];
    if (rows.store.isNull(storedRow, c.slot))
        return false; // NULL passes no comparison, as in SQL
    const QString value = rows.store.textAt(storedRow, c.slot);
    int cmp = 0;
    double a = 0, b = 0;
    if (c.numeric || (m_filter.numeric && optionalNumber(value, a))) {
        if (!optionalNumber(value, a) || !optionalNumber(m_filter.value, b))
            return false;
        cmp = a < b ? -1 : (a > b ? 1 : 0);
    } else {
        cmp = QString::compare(value, m_filter.value);
    }
    const QString& op = m_filter.op;
    if (op == QLatin1String("="))
        return cmp == 0;
    if (op == QLatin1String("<>"))
        return cmp != 0;
    if (op == QLatin1String("<"))
        return cmp < 0;
    if (op == QLatin1String(">"))
        return cmp > 0;
    if (op == QLatin1String("<="))
        return cmp <= 0;
    return cmp >= 0;
}

int RowView::sortColumn(const RowSet& rows) const {
    const int column = m_sortField.isEmpty() ? -1 : rows.findColumn(m_sortField);
    // A sort field the result lacks leaves the statement's order.
    return column < 0 || rows.columns[size_t(column)].deferred ? -1 : column;
}

void RowView::sort(const RowSet& rows) {
    const int column = sortColumn(rows);
    if (column < 0 || m_rows.size() < 2)
        return;
    const ResultColumn& c = rows.columns[size_t(column)];
    const RowStore& store = rows.store;
    const size_t n = m_rows.size();
    std::vector<char> nulls(n);
    std::vector<size_t> order(n);
    std::iota(order.begin(), order.end(), size_t(0));
    for (size_t i = 0; i < n; ++i)
        nulls[i] = store.isNull(m_rows[i], c.slot);

    if (c.numeric) {
        std::vector<double> values(n);
        for (size_t i = 0; i < n; ++i)
            if (!nulls[i] && !optionalNumber(store.textAt(m_rows[i], c.slot), values[i]))
                nulls[i] = 1;
        std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) {
            if (nulls[x] || nulls[y])
                return nulls[x] && !nulls[y];
            return values[x] < values[y];
        });
    } else {
        // Hungarian dictionary order (cs after c, ö after o, accents and case as tie-breaks);
        // a key per row is made once, so the sort itself only compares bytes.
        if (!m_collator) {
            m_collator.emplace(QLocale(QLocale::Hungarian, QLocale::Hungary));
            m_collator->setCaseSensitivity(Qt::CaseSensitive);
        }
        std::vector<QCollatorSortKey> keys;
        keys.reserve(n);
        for (size_t i = 0; i < n; ++i)
            keys.push_back(
                m_collator->sortKey(nulls[i] ? QString() : store.textAt(m_rows[i], c.slot)));
        std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) {
            if (nulls[x] || nulls[y])
                return nulls[x] && !nulls[y];
            return keys[x].compare(keys[y]) < 0;
        });
    }
    std::vector<int> sorted(n);
    for (size_t i = 0; i < n; ++i)
        sorted[i] = m_rows[order[i]];
    m_rows.swap(sorted);
}

void RowView::rebuild(const RowSet& rows, int keepStoredRow) {
    m_rows.clear();
    const int filterColumn = filterActive() ? rows.findColumn(m_filter.field) : -1;
    m_rows.reserve(rows.order.size());
    for (const int r : rows.order)
        if (filterColumn < 0 || passes(rows, r, filterColumn))
            m_rows.push_back(r);
    sort(rows);
    placeCurrent(keepStoredRow);
}

void RowView::placeCurrent(int keepStoredRow) {
    m_current = m_rows.empty() ? -1 : 0;
    if (keepStoredRow >= 0) {
        const int at = indexOfStored(keepStoredRow);
        if (at >= 0)
            m_current = at;
    }
    m_eof = m_bof = m_rows.empty();
}

void RowView::update(const RowSet& rows, const std::vector<int>& added, int keepStoredRow) {
    const int column = sortColumn(rows);
    if (column < 0) {
        rebuild(rows, keepStoredRow); // the statement's order, filtered: one pass
        return;
    }
    // The same order as sort(): the field's value (NULL first), then the statement's order.
    const ResultColumn& c = rows.columns[size_t(column)];
    const RowStore& store = rows.store;
    std::vector<int> position(size_t(store.rows()), 0);
    for (size_t i = 0; i < rows.order.size(); ++i)
        position[size_t(rows.order[i])] = int(i);
    if (!m_collator) {
        m_collator.emplace(QLocale(QLocale::Hungarian, QLocale::Hungary));
        m_collator->setCaseSensitivity(Qt::CaseSensitive);
    }
    const auto value = [&](int r, double& number) {
        if (store.isNull(r, c.slot))
            return false;
        return !c.numeric || optionalNumber(store.textAt(r, c.slot), number);
    };
    const auto before = [&](int a, int b) {
        double x = 0, y = 0;
        const bool hasA = value(a, x), hasB = value(b, y);
        int cmp = 0;
        if (!hasA || !hasB)
            cmp = hasA == hasB ? 0 : (hasA ? 1 : -1);
        else if (c.numeric)
            cmp = x < y ? -1 : (x > y ? 1 : 0);
        else
            cmp = m_collator->compare(store.textAt(a, c.slot), store.textAt(b, c.slot));
        return cmp != 0 ? cmp < 0 : position[size_t(a)] < position[size_t(b)];
    };
    const int filterColumn = filterActive() ? rows.findColumn(m_filter.field) : -1;
    std::vector<int> joining;
    for (const int r : added)
        if (filterColumn < 0 || passes(rows, r, filterColumn))
            joining.push_back(r);
    std::vector<int> kept;
    kept.reserve(m_rows.size() + joining.size());
    for (const int r : m_rows)
        if (!store.isDead(r))
            kept.push_back(r);
    std::sort(joining.begin(), joining.end(), before);
    insertOrdered(kept, joining, before);
    m_rows.swap(kept);
    placeCurrent(keepStoredRow);
}

void RowView::clear() {
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_current = -1;
    m_eof = m_bof = true;
}

int RowView::indexOfStored(int storedRow) const {
    const auto it = std::find(m_rows.begin(), m_rows.end(), storedRow);
    return it == m_rows.end() ? -1 : int(it - m_rows.begin());
}

bool RowView::setCurrent(int row) {
    if (row < 0 || row >= size())
        return false;
    m_eof = m_bof = false;
    if (row == m_current)
        return false;
    m_current = row;
    return true;
}

bool RowView::first() {
    const int before = m_current;
    m_current = m_rows.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_rows.empty();
    return before != m_current;
}

bool RowView::next() {
    if (m_current + 1 < size()) {
        ++m_current;
        m_bof = m_eof = false;
        return true;
    }
    m_eof = true;
    return false;
}

bool RowView::prior() {
    if (m_current > 0) {
        --m_current;
        m_bof = m_eof = false;
        return true;
    }
    m_bof = true;
    return false;
}

bool RowView::last() {
    const int before = m_current;
    m_current = size() - 1;
    m_eof = true;
    m_bof = m_rows.empty();
    return before != m_current;
}

void RowView::keepPlace(int row) {
    if (row >= 0 && !m_rows.empty())
        m_current = std::min(row, size() - 1);
}

} // namespace kx
