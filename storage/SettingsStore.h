#pragma once

#include <QString>

namespace kx {

class SqliteConnection;
class SqliteTable;

// The remembered login settings of this workstation (never the password), kept in
// tbl_Config of Data.db. The file is open only while settings are read or remembered; a new
// file gets the table on its first use.
struct RememberedSettings {
    QString server, port, database, user; // empty where nothing is stored
};

class SettingsStore {
public:
    SettingsStore(SqliteConnection& connection, SqliteTable& table);

    // Errors (a damaged file, a missing table, a locked or read-only file) are DbError and
    // end the operation where they occur; the file is closed again either way.
    RememberedSettings read();
    void remember(const RememberedSettings& settings);

    QString path() const; // the file's path, to name it to the user

    static const char* const keys[4]; // "SZERVER", "PORT", "ADATBAZIS", "FELHASZN"

private:
    SqliteConnection& m_connection;
    SqliteTable& m_table;
};

} // namespace kx
