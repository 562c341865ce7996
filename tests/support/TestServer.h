#pragma once

#include "data/sql/MariaConnection.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>

typedef struct st_mysql MYSQL;

namespace kx::test {

// The private MariaDB server that scripts/test.sh started, read from KX_DB_HOST, KX_DB_PORT,
// KX_DB_USER and KX_DB_PASSWORD. Each TestDatabase is a fresh database with a random name,
// dropped again when it goes.
struct ServerSettings {
    QString host, port, user, password;
    static ServerSettings fromEnvironment(); // QSKIP-free: fails loudly when unset
    ConnectionParams params(const QString& database = QString()) const;
};

class TestDatabase {
public:
    explicit TestDatabase(bool createRecordTables = true);
    ~TestDatabase();
    QString name() const {
        return m_name;
    }
    ConnectionParams params() const;
    // This database at node n (from 0) of the cluster of scripts/cluster.sh (KX_CLUSTER_PORTS,
    // node 0 is the program's); on a single server, the server itself.
    ConnectionParams paramsAtNode(int node) const;
    // Where a second workstation logs in: another node of the cluster, or the same server.
    ConnectionParams otherWorkstation() const {
        return paramsAtNode(1);
    }
    static QStringList clusterPorts(); // empty on a single server
    // An independent admin connection (e.g. to hold a lock); statements fail the test.
    MYSQL* admin();
    void exec(const QString& sql); // on the admin connection, latin2
    QString scalar(const QString& sql);
    // The schema of the record store as the program creates it.
    static QStringList recordStoreStatements(const QString& database);

private:
    QString m_name;
    MYSQL* m_admin = nullptr;
};

// A private working folder (for Data.db) that is made the current directory while it lives.
class WorkingFolder {
public:
    WorkingFolder();
    ~WorkingFolder();
    QString path() const;
    QString dataDb() const;   // path()/Data.db
    void createConfigTable(); // prepares Data.db with tbl_Config as the program ships it

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

} // namespace kx::test
