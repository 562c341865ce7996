#include "data/table/FilterClause.h"

#include "data/sql/MariaStatement.h"

namespace kx {

QString FilterClause::where(const QString& extra) const {
    QStringList parts;
    if (applies()) {
        const QString& op = m_filter.op;
        const bool exact = op == QLatin1String("=") || op == QLatin1String("<>");
        // Equality is exact (letter case and trailing blanks count), as in a locate; ordering
        // follows the table's collation.
        parts << QStringLiteral("(%1 %2 %3?)")
                     .arg(MariaStatement::quoteIdentifier(m_filter.field), op,
                          exact && !m_filter.numeric ? QStringLiteral("BINARY ") : QString());
    }
    if (!extra.isEmpty())
        parts << extra;
    return parts.isEmpty() ? QString()
                           : QStringLiteral(" WHERE ") + parts.join(QStringLiteral(" AND "));
}

void FilterClause::bind(MariaStatement& st) const {
    if (!applies())
        return;
    if (m_filter.numeric) {
        bool ok = false;
        const qint64 i = m_filter.value.toLongLong(&ok);
        if (ok)
            st.bindInt(i);
        else
            st.bindDouble(m_filter.value.toDouble());
    } else {
        st.bindText(m_filter.value);
    }
}

} // namespace kx
