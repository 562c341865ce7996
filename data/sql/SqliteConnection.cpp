#include "data/sql/SqliteConnection.h"

#include "data/sql/DbError.h"
#include "data/sql/NewFile.h"
#include "data/sql/SessionUser.h"

#include <QFile>
#include <algorithm>
#include <sqlite3.h>

namespace kx {

SqliteConnection::SqliteConnection() = default;

SqliteConnection::~SqliteConnection() {
    close();
}

void SqliteConnection::setDatabase(const QString& path) {
    m_path = path;
}

QString SqliteConnection::database() const {
    return m_path;
}

void SqliteConnection::setReadOnly(bool readOnly) {
    m_readOnly = readOnly;
}

void SqliteConnection::open() {
    if (m_db)
        return;
    // A missing file is made here, empty, and never through a symbolic link: SQLite itself
    // would create a dangling link's target. SQLite is then only ever asked to open a file
    // that is there.
    if (!m_readOnly && NewFile::create(m_path) == NewFile::Outcome::DanglingLink)
        throw DbError(QStringLiteral("a fájl egy nem létező célra mutató szimbolikus hivatkozás"),
                      unsigned(SQLITE_CANTOPEN));
    sqlite3* db = nullptr;
    // A write-protected file (immutable, on a read-only mount) opens for reading only, so the
    // refusal comes with the first write.
    const int rc =
        sqlite3_open_v2(QFile::encodeName(m_path).constData(), &db,
                        m_readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        // SQLite's own text; whoever uses the file names it to the user.
        const DbError err(QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)),
                          unsigned(rc));
        sqlite3_close(db);
        throw err;
    }
    m_db = db;
    // Page cache of 500 pages, no rollback journal, the file lock released after each
    // transaction so another copy of the program can use the file in between. A file that is
    // no database fails here, when SQLite first reads it.
    if (sqlite3_exec(m_db,
                     "PRAGMA cache_size=500; PRAGMA journal_mode=OFF; PRAGMA locking_mode=NORMAL;",
                     nullptr, nullptr, nullptr) != SQLITE_OK) {
        const DbError err(QString::fromUtf8(sqlite3_errmsg(m_db)),
                          unsigned(sqlite3_extended_errcode(m_db)));
        sqlite3_close(m_db);
        m_db = nullptr;
        throw err;
    }
}

void SqliteConnection::close() {
    const auto dataSets = m_dataSets;
    for (SessionUser* ds : dataSets)
        if (ds->isOpen())
            ds->close();
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

bool SqliteConnection::isConnected() const {
    return m_db != nullptr;
}

sqlite3* SqliteConnection::handle() {
    if (!m_db)
        throw DbError(QStringLiteral("A beállítási adatbázis nincs megnyitva."));
    return m_db;
}

void SqliteConnection::fail() {
    if (!m_db)
        throw DbError(QStringLiteral("A beállítási adatbázis nincs megnyitva."));
    throw DbError(QString::fromUtf8(sqlite3_errmsg(m_db)),
                  unsigned(sqlite3_extended_errcode(m_db)));
}

void SqliteConnection::execute(const QByteArray& sql) {
    if (sqlite3_exec(handle(), sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        fail();
}

bool SqliteConnection::holdsNothing() {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(handle(), "SELECT count(*) FROM sqlite_master", -1, &st, nullptr) !=
        SQLITE_OK)
        fail();
    const int rc = sqlite3_step(st);
    const bool empty = rc == SQLITE_ROW && sqlite3_column_int64(st, 0) == 0;
    sqlite3_finalize(st);
    if (rc != SQLITE_ROW)
        fail();
    return empty;
}

bool SqliteConnection::isLockError(const DbError& error) {
    const unsigned primary = error.code() & 0xffu;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

void SqliteConnection::registerDataSet(SessionUser* ds) {
    if (std::find(m_dataSets.begin(), m_dataSets.end(), ds) == m_dataSets.end())
        m_dataSets.push_back(ds);
}

void SqliteConnection::unregisterDataSet(SessionUser* ds) {
    m_dataSets.erase(std::remove(m_dataSets.begin(), m_dataSets.end(), ds), m_dataSets.end());
}

} // namespace kx
