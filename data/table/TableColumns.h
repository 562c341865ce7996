#pragma once

#include "data/sql/MariaStatement.h"

#include <QHash>
#include <QString>
#include <QStringList>

namespace kx {

class MariaConnection;

// The columns of a table as the server describes them: the ones read with every row (short
// values and the key), in table order, and the long ones (texts and blobs) that are read on
// demand for one row at a time.
class TableColumns {
public:
    explicit TableColumns(const QString& table) : m_table(table) {} // none known yet

    // Asks the server for the column list without reading a row; fails through the
    // connection when the table has no column named key.
    static TableColumns read(MariaConnection& conn, const QString& table, const QString& key);

    const QStringList& rowFields() const {
        return m_rowFields;
    }
    QStringList onDemandFields() const; // sorted by name
    // The row columns, quoted and joined, for a SELECT.
    const QString& selectList() const {
        return m_selectList;
    }
    // The column named field in any letter case, and whether it is read on demand; throws
    // DbError for a field the table does not have.
    QString find(const QString& field, bool* onDemand) const;
    // Where a row column (as find() names it) stands in a row.
    int indexOf(const QString& column) const;
    qint64 keyOf(const MariaStatement::Row& row) const; // -1 for a NULL key

private:
    QString m_table;
    QStringList m_rowFields;
    QString m_selectList;
    QHash<QString, int> m_rowIndex;     // upper-case name -> index in a row
    QHash<QString, QString> m_onDemand; // upper-case name -> name
    int m_keyIndex = -1;
};

} // namespace kx
