#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

struct sqlite3;

namespace kx {

class SessionUser;
class DbError;

// The settings connection to a local SQLite file: page cache 500, no rollback journal,
// normal locking. A missing file is created empty, never through a symbolic link (a dangling
// link fails the open). Errors are DbError with SQLite's own text and code; there is no hook.
class SqliteConnection {
public:
    SqliteConnection();
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    void setDatabase(const QString& path);
    QString database() const;
    // Opens the file for reading only and never creates it, as SQLite does by itself with a
    // file the system will not let it write. Off by default.
    void setReadOnly(bool readOnly);
    void open();
    void close();
    bool isConnected() const;
    sqlite3* handle();
    [[noreturn]] void fail();
    // Runs statements without results; a failure is DbError.
    void execute(const QByteArray& sql);
    // Whether the file has no table, index or view yet: a new file.
    bool holdsNothing();
    // Whether the error is another connection holding the file: trying again may succeed.
    // Anything else (read-only, damaged, no room) stays as it is however often it is tried.
    static bool isLockError(const DbError& error);
    // The data sets opened on this connection, closed first when it closes.
    void registerDataSet(SessionUser* ds);
    void unregisterDataSet(SessionUser* ds);

private:
    sqlite3* m_db = nullptr;
    QString m_path;
    bool m_readOnly = false;
    std::vector<SessionUser*> m_dataSets;
};

} // namespace kx
