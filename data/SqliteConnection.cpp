#include "SqliteConnection.h"

#include "DataSet.h"
#include "DbError.h"

#include <QDir>
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

void SqliteConnection::open() {
    if (m_db)
        return;
    sqlite3* db = nullptr;
    // A missing file is created empty; a write-protected one opens for reading only, so the
    // refusal comes with the first write (and goes to that write's handler).
    const int rc = sqlite3_open_v2(m_path.toUtf8().constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        // The file's path goes with SQLite's text: the user must see which file failed.
        const DbError err(QStringLiteral("A(z) \"%1\" adatbázisfájl nem nyitható meg: %2")
                              .arg(QDir::toNativeSeparators(m_path),
                                   QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc))),
                          unsigned(rc));
        sqlite3_close(db);
        throw err;
    }
    m_db = db;
    // Page cache of 500 pages, no rollback journal, the file lock released after each
    // transaction so another copy of the program can use the file in between.
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
    for (DataSetBase* ds : dataSets)
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

void SqliteConnection::registerDataSet(DataSetBase* ds) {
    if (std::find(m_dataSets.begin(), m_dataSets.end(), ds) == m_dataSets.end())
        m_dataSets.push_back(ds);
}

void SqliteConnection::unregisterDataSet(DataSetBase* ds) {
    m_dataSets.erase(std::remove(m_dataSets.begin(), m_dataSets.end(), ds), m_dataSets.end());
}

} // namespace kx
