#pragma once

#include <QByteArray>

namespace kx {

class SqliteConnection;

// tbl_Config, the table of the remembered settings in Data.db. Its declaration
// (storage/ConfigTable.sql) is compiled into the program, so a Data.db can be made without
// the copy the installed program comes with: started from the build tree, or after the user
// removed a damaged file.
class ConfigTable {
public:
    static QByteArray declaration();

    // Adds the table to a file that holds nothing yet (made just now, or an empty file put
    // there) and is not reached through a symbolic link. A file that holds something else is
    // left as it is: it may be another program's, and reading the table then fails with
    // SQLite's "no such table". Errors are DbError.
    static void addToNewFile(SqliteConnection& connection);
};

} // namespace kx
