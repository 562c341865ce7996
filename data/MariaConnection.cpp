#include "MariaConnection.h"

#include "DataSet.h"
#include "Latin2.h"

#include <algorithm>
#include <errmsg.h>
#include <mysql.h>

namespace kx {

namespace {

// Long enough for a slow network, short enough that a wrong address does not freeze the login.
constexpr unsigned kConnectTimeoutSeconds = 10;

// How long a statement of the program waits for a row or table lock that another workstation
// holds before it fails and the retry question appears. The window does not answer while it
// waits, so the program sets its own short wait rather than the server's (50 s by default):
// a few seconds, below the desktop's check that marks a window as not responding.
constexpr int kLockWaitSeconds = 3;

// The port as typed: digits only, 1..65535; anything else is not a port.
bool parsePort(const QString& text, unsigned& port) {
    if (text.isEmpty() || text.size() > 5)
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    port = text.toUInt();
    return port >= 1 && port <= 65535;
}

DbError errorOf(MYSQL* mysql) {
    return DbError(latin2::decode(QByteArray(mysql_error(mysql))), mysql_errno(mysql));
}

// The hook sees the error first (it shows it); the caller then gets it unchanged.
[[noreturn]] void raise(const MariaConnection::ErrorHook& hook, const DbError& err) {
    if (hook)
        hook(err);
    throw err;
}

// Results of statements run for their side effect are read and dropped, so the connection
// is ready for the next statement.
void discardResults(MYSQL* mysql) {
    if (MYSQL_RES* res = mysql_store_result(mysql))
        mysql_free_result(res);
}

} // namespace

MariaConnection::MariaConnection() = default;

MariaConnection::~MariaConnection() {
    close();
}

void MariaConnection::setParams(const ConnectionParams& params) {
    m_params = params;
}

const ConnectionParams& MariaConnection::params() const {
    return m_params;
}

void MariaConnection::setErrorHook(ErrorHook hook) {
    m_hook = std::move(hook);
}

void MariaConnection::open() {
    if (m_mysql)
        return;
    unsigned port = 0;
    if (!parsePort(m_params.port, port))
        fail(QStringLiteral("Érvénytelen port: „%1” (1 és 65535 közötti szám kell)")
                 .arg(m_params.port),
             CR_CONN_HOST_ERROR);

    // Names and the password travel in the connection's character set; the host is a DNS
    // name or an address.
    QByteArray host, user, password, database;
    try {
        host = m_params.server.toUtf8();
        user = latin2::encode(m_params.user);
        password = latin2::encode(m_params.password);
        database = latin2::encode(m_params.database);
    } catch (const TextEncodingError& e) {
        fail(e.userMessage(), CR_CONN_HOST_ERROR);
    }

    MYSQL* mysql = mysql_init(nullptr);
    if (!mysql)
        fail(QStringLiteral("Elfogyott a memória."), CR_OUT_OF_MEMORY);
    mysql_options(mysql, MYSQL_SET_CHARSET_NAME, "latin2");
    const unsigned timeout = kConnectTimeoutSeconds;
    mysql_options(mysql, MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
    // The port the user typed is used also for "localhost" (no silent switch to a socket).
    const unsigned protocol = MYSQL_PROTOCOL_TCP;
    mysql_options(mysql, MYSQL_OPT_PROTOCOL, &protocol);
    const unsigned noLocalFiles = 0;
    mysql_options(mysql, MYSQL_OPT_LOCAL_INFILE, &noLocalFiles);

    // No CLIENT_MULTI_STATEMENTS: a text holding two statements is refused by the server.
    if (!mysql_real_connect(mysql, host.constData(), user.constData(), password.constData(),
                            database.isEmpty() ? nullptr : database.constData(), port, nullptr,
                            0)) {
        const DbError err = errorOf(mysql);
        mysql_close(mysql);
        reportAndThrow(err);
    }
    m_mysql = mysql;
    m_maxPacket = 0;
    try {
        execute(QStringLiteral("SET SESSION innodb_lock_wait_timeout = %1").arg(kLockWaitSeconds));
    } catch (...) {
        mysql_close(m_mysql); // a connection without the program's settings is not used
        m_mysql = nullptr;
        throw;
    }
    waitForClusterOnReads();
}

// On a Galera cluster node, a read first waits until the node has applied every write that
// the cluster committed before it, so a record stored through another node is seen at the
// next refresh (the nodes apply each other's writes a little later otherwise). A plain server
// lacks the variable or has it off; SHOW VARIABLES answers there too, without an error.
void MariaConnection::waitForClusterOnReads() {
    MYSQL* mysql = m_mysql;
    bool clusterNode = false;
    bool ok = !mysql_query(mysql, "SHOW VARIABLES LIKE 'wsrep_on'");
    if (ok) {
        MYSQL_RES* res = mysql_store_result(mysql);
        ok = res != nullptr;
        if (res) {
            if (MYSQL_ROW row = mysql_fetch_row(res); row && row[1])
                clusterNode = qstrcmp(row[1], "ON") == 0;
            mysql_free_result(res);
        }
    }
    // 1: reads (SELECT, SHOW, the start of a transaction) wait; writes are ordered by the
    // cluster anyway and would only get slower.
    if (ok && clusterNode)
        ok = !mysql_query(mysql, "SET SESSION wsrep_sync_wait = 1");
    if (!ok) {
        // A session that might read stale records is not handed out.
        const DbError err = errorOf(mysql);
        mysql_close(mysql);
        m_mysql = nullptr;
        reportAndThrow(err);
    }
}

void MariaConnection::close() {
    // Data sets may hold prepared statements of this handle: they go first.
    const auto dataSets = m_dataSets;
    for (DataSetBase* ds : dataSets)
        if (ds->isOpen())
            ds->close();
    if (m_mysql) {
        mysql_close(m_mysql);
        m_mysql = nullptr;
    }
    m_maxPacket = 0;
}

bool MariaConnection::isConnected() const {
    return m_mysql != nullptr;
}

quint64 MariaConnection::execute(const QString& sql) {
    const QByteArray bytes = latin2::encode(sql); // nothing is sent when this throws
    MYSQL* mysql = handle();
    if (mysql_real_query(mysql, bytes.constData(), bytes.size()))
        fail();
    const quint64 affected = mysql_affected_rows(mysql);
    if (mysql_field_count(mysql) > 0) {
        discardResults(mysql);
        if (mysql_errno(mysql))
            fail();
        return 0;
    }
    return affected == quint64(-1) ? 0 : affected;
}

QString MariaConnection::scalar(const QString& sql) {
    const QByteArray bytes = latin2::encode(sql);
    MYSQL* mysql = handle();
    if (mysql_real_query(mysql, bytes.constData(), bytes.size()))
        fail();
    if (mysql_field_count(mysql) == 0)
        return QString();
    MYSQL_RES* res = mysql_store_result(mysql);
    if (!res)
        fail();
    QString value;
    if (MYSQL_ROW row = mysql_fetch_row(res); row && row[0])
        value = latin2::decode(row[0], qsizetype(mysql_fetch_lengths(res)[0]));
    mysql_free_result(res);
    return value;
}

quint64 MariaConnection::maxAllowedPacket() {
    if (m_maxPacket == 0)
        m_maxPacket = scalar(QStringLiteral("select @@max_allowed_packet")).toULongLong();
    return m_maxPacket;
}

MYSQL* MariaConnection::handle() {
    if (!m_mysql)
        fail(QStringLiteral("Nincs kapcsolat az adatbázis-szerverrel."), CR_SERVER_LOST);
    return m_mysql;
}

void MariaConnection::fail() {
    if (!m_mysql)
        fail(QStringLiteral("Nincs kapcsolat az adatbázis-szerverrel."), CR_SERVER_LOST);
    raise(m_hook, errorOf(m_mysql));
}

void MariaConnection::fail(const QString& message, unsigned code) {
    raise(m_hook, DbError(message, code));
}

void MariaConnection::failStatement(void* stmt) {
    auto* s = static_cast<MYSQL_STMT*>(stmt);
    raise(m_hook, DbError(latin2::decode(QByteArray(mysql_stmt_error(s))), mysql_stmt_errno(s)));
}

void MariaConnection::registerDataSet(DataSetBase* ds) {
    if (std::find(m_dataSets.begin(), m_dataSets.end(), ds) == m_dataSets.end())
        m_dataSets.push_back(ds);
}

void MariaConnection::unregisterDataSet(DataSetBase* ds) {
    m_dataSets.erase(std::remove(m_dataSets.begin(), m_dataSets.end(), ds), m_dataSets.end());
}

void MariaConnection::reportAndThrow(const DbError& err) {
    raise(m_hook, err);
}

} // namespace kx
