#pragma once

#include "data/sql/MariaStatement.h"
#include "data/table/FilterClause.h"
#include "data/table/TableColumns.h"

namespace kx {

class MariaConnection;

// What a Table reads and writes: the connection, the table, its key column, its columns (known
// once it is open) and the filter in force. Its row page and its writer share it.
struct TableSource {
    TableSource(MariaConnection& connection, const QString& tableName)
        : conn(connection), table(tableName), columns(tableName) {}

    QString quotedTable() const {
        return MariaStatement::quoteIdentifier(table);
    }
    QString quotedKey() const {
        return MariaStatement::quoteIdentifier(key);
    }
    // The failure of a change or a read of a row that is not (or no longer) stored.
    [[noreturn]] void failRowNotFound() const;

    MariaConnection& conn;
    QString table;
    QString key = QStringLiteral("AZ");
    TableColumns columns;
    FilterClause filter;
};

} // namespace kx
