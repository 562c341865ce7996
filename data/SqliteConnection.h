#pragma once

#include <QString>
#include <vector>

struct sqlite3;

namespace kx {

class DataSetBase;

// The settings connection to a local SQLite file: page cache 500, no rollback journal,
// normal locking. A missing file is created empty. Errors are DbError; there is no hook.
class SqliteConnection {
public:
    SqliteConnection();
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    void setDatabase(const QString& path);
    QString database() const;
    void open();
    void close();
    bool isConnected() const;
    sqlite3* handle();
    [[noreturn]] void fail();
    void registerDataSet(DataSetBase* ds);
    void unregisterDataSet(DataSetBase* ds);

private:
    sqlite3* m_db = nullptr;
    QString m_path;
    std::vector<DataSetBase*> m_dataSets;
};

} // namespace kx
