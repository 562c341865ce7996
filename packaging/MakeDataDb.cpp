// kx-make-data-db OUT SQL: creates the SQLite file OUT anew from the statements in SQL; the
// build makes the empty Data.db the program comes with this way.
#include <cstdio>
#include <fstream>
#include <sqlite3.h>
#include <sstream>

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kx-make-data-db OUT SQL\n");
        return 2;
    }
    std::ifstream in(argv[2]);
    std::stringstream sql;
    sql << in.rdbuf();
    if (!in) {
        std::fprintf(stderr, "kx-make-data-db: cannot read %s\n", argv[2]);
        return 1;
    }
    std::remove(argv[1]);
    sqlite3* db = nullptr;
    char* error = nullptr;
    if (sqlite3_open(argv[1], &db) != SQLITE_OK ||
        sqlite3_exec(db, sql.str().c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "kx-make-data-db: %s\n", error ? error : sqlite3_errmsg(db));
        sqlite3_close(db);
        return 1;
    }
    return sqlite3_close(db) == SQLITE_OK ? 0 : 1;
}
