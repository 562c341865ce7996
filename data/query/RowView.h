#pragma once

#include "data/dataset/RowFilter.h"

#include <QCollator>
#include <optional>
#include <vector>

namespace kx {

struct RowSet;

// The rows of a RowSet as the grid shows them: those that pass the local row filter, sorted
// by one field on the client (Hungarian dictionary order for text, by value for numbers,
// NULL first, ties in the statement's order), with a current row.
class RowView {
public:
    void setSortField(const QString& field) {
        m_sortField = field;
    }
    QString sortField() const {
        return m_sortField;
    }
    void setFilter(const RowFilter& filter) {
        m_filter = filter;
    }
    const RowFilter& filter() const {
        return m_filter;
    }
    void setFiltered(bool on) {
        m_filtered = on;
    }
    bool filtered() const {
        return m_filtered;
    }
    bool filterActive() const {
        return m_filtered && !m_filter.isEmpty();
    }
    // Whether the filter's field is one the rows hold (not deferred); true without a filter.
    bool canFilter(const RowSet& rows) const;

    // Applies the filter and the sort to rows; the current row stays on keepStoredRow when
    // it is still visible, else it is the first row.
    void rebuild(const RowSet& rows, int keepStoredRow);
    // After a refresh that changed a few rows: the dead ones leave, the added ones join where
    // the filter and the sort put them, the others keep their places (no sort again).
    void update(const RowSet& rows, const std::vector<int>& added, int keepStoredRow);
    void clear();

    int size() const {
        return int(m_rows.size());
    }
    bool isEmpty() const {
        return m_rows.empty();
    }
    // The stored row shown at row; -1 when out of range.
    int storedRow(int row) const {
        return row >= 0 && row < size() ? m_rows[size_t(row)] : -1;
    }
    int indexOfStored(int storedRow) const; // -1 when not shown

    // The current row (-1 when empty) and the ends of a pass, as a data set moves.
    int current() const {
        return m_current;
    }
    bool eof() const {
        return m_eof || m_rows.empty();
    }
    bool bof() const {
        return m_bof || m_rows.empty();
    }
    // Each returns whether the current row changed.
    bool setCurrent(int row);
    bool first();
    bool next();
    bool prior();
    bool last();
    // After a reread that lost the current row: the row at the same place, within range.
    void keepPlace(int row);

private:
    bool passes(const RowSet& rows, int storedRow, int column) const;
    int sortColumn(const RowSet& rows) const; // -1: the statement's order
    void sort(const RowSet& rows);
    void placeCurrent(int keepStoredRow);

    QString m_sortField;
    RowFilter m_filter;
    bool m_filtered = false;
    std::vector<int> m_rows; // stored rows in display order, after the filter
    int m_current = -1;
    bool m_eof = true;
    bool m_bof = true;
    std::optional<QCollator> m_collator;
};

} // namespace kx
