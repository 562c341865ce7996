#include "TestServer.h"

#include "data/text/Latin2.h"
#include "storage/RecordStoreSchema.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>
#include <mysql.h>
#include <sqlite3.h>

namespace kx::test {

ServerSettings ServerSettings::fromEnvironment() {
    ServerSettings s;
    s.host = qEnvironmentVariable("KX_DB_HOST", QStringLiteral("127.0.0.1"));
    s.port = qEnvironmentVariable("KX_DB_PORT");
    s.user = qEnvironmentVariable("KX_DB_USER", QStringLiteral("root"));
    s.password = qEnvironmentVariable("KX_DB_PASSWORD");
    if (s.port.isEmpty())
        qFatal("KX_DB_PORT is not set: run the tests through scripts/test.sh");
    return s;
}

ConnectionParams ServerSettings::params(const QString& database) const {
    return {host, port, database, user, password};
}

TestDatabase::TestDatabase(bool createRecordTables) {
    const auto s = ServerSettings::fromEnvironment();
    m_name = QStringLiteral("kxt_%1").arg(QRandomGenerator::global()->generate64(), 0, 36);
    m_admin = mysql_init(nullptr);
    mysql_options(m_admin, MYSQL_SET_CHARSET_NAME, "latin2");
    if (!mysql_real_connect(m_admin, s.host.toUtf8().constData(), s.user.toUtf8().constData(),
                            s.password.toUtf8().constData(), nullptr, s.port.toUInt(), nullptr, 0))
        qFatal("admin connect failed: %s", mysql_error(m_admin));
    // On a cluster the checks read what any node has written, as the program does.
    if (!clusterPorts().isEmpty())
        exec(QStringLiteral("SET SESSION wsrep_sync_wait = 1"));
    exec(schema::createDatabase(m_name).join(QLatin1Char('\n')));
    if (mysql_select_db(m_admin, m_name.toUtf8().constData()))
        qFatal("select db failed: %s", mysql_error(m_admin));
    if (createRecordTables)
        for (const auto& t : schema::tableNames())
            exec(schema::createTable(m_name, t).join(QLatin1Char('\n')));
    // The other nodes apply the new database a moment later; a workstation that logs in
    // there at once must find it. A read that waits for the cluster's writes, at each node.
    const QStringList ports = clusterPorts();
    for (qsizetype n = 1; n < ports.size(); ++n) {
        MYSQL* node = mysql_init(nullptr);
        const QByteArray wait = "SELECT COUNT(*) FROM information_schema.TABLES WHERE "
                                "TABLE_SCHEMA = '" +
                                m_name.toUtf8() + "'";
        if (!mysql_real_connect(node, s.host.toUtf8().constData(), s.user.toUtf8().constData(),
                                s.password.toUtf8().constData(), nullptr, ports[n].toUInt(),
                                nullptr, 0) ||
            mysql_query(node, "SET SESSION wsrep_sync_wait = 1") ||
            mysql_query(node, wait.constData()))
            qFatal("node %d: %s", int(n + 1), mysql_error(node));
        if (MYSQL_RES* r = mysql_store_result(node))
            mysql_free_result(r);
        mysql_close(node);
    }
}

TestDatabase::~TestDatabase() {
    if (m_admin) {
        mysql_query(m_admin, ("DROP DATABASE IF EXISTS `" + m_name.toUtf8() + "`").constData());
        mysql_close(m_admin);
    }
}

ConnectionParams TestDatabase::params() const {
    return ServerSettings::fromEnvironment().params(m_name);
}

ConnectionParams TestDatabase::paramsAtNode(int node) const {
    ConnectionParams p = params();
    const QStringList ports = clusterPorts();
    if (!ports.isEmpty())
        p.port = ports.value(node % ports.size());
    return p;
}

QStringList TestDatabase::clusterPorts() {
    return qEnvironmentVariable("KX_CLUSTER_PORTS").split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

MYSQL* TestDatabase::admin() {
    return m_admin;
}

void TestDatabase::exec(const QString& sql) {
    // The admin connection speaks latin2 like the program does.
    const QByteArray bytes = latin2::encode(sql);
    if (mysql_real_query(m_admin, bytes.constData(), bytes.size()))
        qFatal("admin statement failed: %s\n%s", mysql_error(m_admin), bytes.constData());
    if (MYSQL_RES* r = mysql_store_result(m_admin))
        mysql_free_result(r);
}

QString TestDatabase::scalar(const QString& sql) {
    const QByteArray bytes = latin2::encode(sql);
    if (mysql_real_query(m_admin, bytes.constData(), bytes.size()))
        qFatal("admin query failed: %s\n%s", mysql_error(m_admin), bytes.constData());
    MYSQL_RES* r = mysql_store_result(m_admin);
    QString out;
    if (r) {
        if (MYSQL_ROW row = mysql_fetch_row(r); row && row[0])
            out = latin2::decode(row[0], qsizetype(mysql_fetch_lengths(r)[0]));
        mysql_free_result(r);
    }
    return out;
}

QStringList TestDatabase::recordStoreStatements(const QString& database) {
    QStringList out;
    for (const auto& t : schema::tableNames())
        out << schema::createTable(database, t).join(QLatin1Char('\n'));
    return out;
}

WorkingFolder::WorkingFolder() : m_previous(QDir::currentPath()) {
    if (!m_dir.isValid())
        qFatal("no temporary folder");
    QDir::setCurrent(m_dir.path());
}

WorkingFolder::~WorkingFolder() {
    QDir::setCurrent(m_previous);
}

QString WorkingFolder::path() const {
    return m_dir.path();
}

QString WorkingFolder::dataDb() const {
    return m_dir.path() + QStringLiteral("/Data.db");
}

void WorkingFolder::createConfigTable() {
    QFile decl(QStringLiteral(KX_SOURCE_DIR "/storage/ConfigTable.sql"));
    if (!decl.open(QIODevice::ReadOnly))
        qFatal("ConfigTable.sql missing");
    const QByteArray sql = decl.readAll();
    sqlite3* db = nullptr;
    if (sqlite3_open(dataDb().toUtf8().constData(), &db) != SQLITE_OK ||
        sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        qFatal("cannot prepare Data.db: %s", sqlite3_errmsg(db));
    sqlite3_close(db);
}

} // namespace kx::test
