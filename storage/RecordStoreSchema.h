#pragma once

#include <QString>
#include <QStringList>

namespace kx::schema {

// The record store is defined here and nowhere else. Each statement is returned as its
// lines, to be joined by line breaks into one statement.
QStringList createDatabase(const QString& database);
// table: "tbl_Kat", "tbl_Tip", "tbl_Tmp" or "tbl_Data"
QStringList createTable(const QString& database, const QString& table);
// The four tables in the order in which they are checked and created.
QStringList tableNames();

} // namespace kx::schema
