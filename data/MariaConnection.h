#pragma once

#include "DbError.h"

#include <QString>
#include <functional>
#include <vector>

typedef struct st_mysql MYSQL;

namespace kx {

class DataSetBase;

struct ConnectionParams {
    QString server;
    QString port;     // free text as typed; a port that is not a number fails the connect
    QString database; // empty: connect to the server only
    QString user;
    QString password;
};

// The main connection to the MariaDB/MySQL server. Character set latin2 on every connect,
// one statement per call (multi-statements are never enabled). Every error on it passes the
// error hook first and is then thrown as DbError.
class MariaConnection {
public:
    using ErrorHook = std::function<void(const DbError&)>;

    MariaConnection();
    ~MariaConnection();
    MariaConnection(const MariaConnection&) = delete;
    MariaConnection& operator=(const MariaConnection&) = delete;

    void setParams(const ConnectionParams& params);
    const ConnectionParams& params() const;
    void setErrorHook(ErrorHook hook);

    void open();  // no-op when connected
    void close(); // closes every data set on the connection first
    bool isConnected() const;

    // Runs one statement that returns no rows; returns the affected row count.
    quint64 execute(const QString& sql);
    // Runs a statement and returns the first column of the first row (empty when no row).
    QString scalar(const QString& sql);
    // The server's max_allowed_packet, read once per connect.
    quint64 maxAllowedPacket();

    // For the data layer's own classes.
    MYSQL* handle();          // opens nothing; throws when not connected
    [[noreturn]] void fail(); // raise the handle's last error through the hook
    [[noreturn]] void fail(const QString& message, unsigned code = 0);
    [[noreturn]] void failStatement(void* stmt); // a MYSQL_STMT's last error
    void registerDataSet(DataSetBase* ds);
    void unregisterDataSet(DataSetBase* ds);

private:
    void waitForClusterOnReads(); // after every connect
    void reportAndThrow(const DbError& err);
    MYSQL* m_mysql = nullptr;
    ConnectionParams m_params;
    ErrorHook m_hook;
    quint64 m_maxPacket = 0;
    std::vector<DataSetBase*> m_dataSets;
};

} // namespace kx
