#pragma once

#include <QString>
#include <QStringList>

namespace kx {

// What the data layer reads from a statement of the shape "select * from <table> ...": the
// table, where its `*` stands, whether its rows depend on the table's stored rows alone, and
// the column it is ordered by. Anything else runs exactly as written.
struct StatementShape {
    QString table; // empty: not of the shape
    qsizetype starBegin = -1;
    qsizetype starEnd = -1;
    // Only the table's own columns, literals and plain comparisons (no function, variable,
    // subquery, grouping or limit): when the table did not change, neither did the rows.
    bool readsTableOnly = false;
    // "order by <column> [asc|desc]" at the end of such a statement; empty when none.
    QString orderColumn;
    bool descending = false;

    // columns: the table's columns, for telling its own names from anything else.
    static StatementShape parse(const QString& sql, const QStringList& columns = {});
    static QString tableOf(const QString& sql); // empty when not of the shape
    // The statement with its `*` replaced by the list.
    QString withColumns(const QString& sql, const QString& list) const;
};

} // namespace kx
