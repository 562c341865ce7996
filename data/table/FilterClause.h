#pragma once

#include "data/dataset/RowFilter.h"

#include <QStringList>

namespace kx {

class MariaStatement;

// A table's row filter as a part of its statements: it applies while it is switched on and
// not empty. Its parameter comes first in every statement it is part of.
class FilterClause {
public:
    void setFilter(const RowFilter& filter) {
        m_filter = filter;
    }
    const RowFilter& filter() const {
        return m_filter;
    }
    void setOn(bool on) {
        m_on = on;
    }
    bool isOn() const {
        return m_on;
    }
    bool applies() const {
        return m_on && !m_filter.isEmpty();
    }

    // " WHERE <filter> AND <extra>", or the parts that exist, or nothing. bind() must be
    // called on the statement before its own parameters.
    QString where(const QString& extra) const;
    void bind(MariaStatement& st) const;

private:
    RowFilter m_filter;
    bool m_on = false;
};

} // namespace kx
