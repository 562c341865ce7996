#include "data/records/RecordSearch.h"

#include "data/sql/SqlLiteral.h"

namespace kx {

QString allRecordsStatement() {
    return QStringLiteral("Select * FROM tbl_Data order by CIM");
}

QString searchStatement(const QString& answer, SearchColumns columns) {
    // A backslash is the escape character of a like pattern as well as of a literal: doubled
    // here for the pattern (and again by the literal), it matches only itself.
    QString pattern = answer;
    pattern.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    const QString l = sqlLiteral(QLatin1Char('%') + pattern + QLatin1Char('%'));
    QString sql = QStringLiteral("Select * FROM tbl_Data WHERE CIM like ") + l +
                  QStringLiteral(" or TIP like ") + l + QStringLiteral(" or KAT like ") + l +
                  QStringLiteral(" or KSZO like ") + l + QStringLiteral(" or HIV like ") + l +
                  QStringLiteral(" or DATUM like ") + l + QStringLiteral(" or FELVEV like ") + l +
                  QStringLiteral(" or LEIRAS like ") + l;
    if (columns == SearchColumns::Toolbar)
        sql += QStringLiteral(" or FNEV like ") + l + QStringLiteral(" or FTIP like ") + l;
    return sql + QStringLiteral(" order by CIM");
}

} // namespace kx
