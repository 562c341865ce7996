#pragma once

#include <QString>

namespace kx {

class SqliteConnection;
class SqliteTable;

// The remembered login settings of this workstation (never the password), kept in
// tbl_Config of Data.db. The file is open only while settings are read or remembered.
struct RememberedSettings {
    QString server, port, database, user; // empty where nothing is stored
};

class SettingsStore {
public:
    SettingsStore(SqliteConnection& connection, SqliteTable& table);

    // Errors (a missing table, a locked file) are DbError and end the operation where they
    // occur; the settings connection is then left as it was.
    RememberedSettings read();
    void remember(const RememberedSettings& settings);

    static const char* const keys[4]; // "SZERVER", "PORT", "ADATBAZIS", "FELHASZN"

private:
    SqliteConnection& m_connection;
    SqliteTable& m_table;
};

} // namespace kx
