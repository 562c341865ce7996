#include "data/sql/MariaConnection.h"
#include "data/text/TextEncodingError.h"

#include "data/sql/SessionSettings.h"
#include "data/sql/SessionUser.h"
#include "data/sql/SmallAnswer.h"
#include "data/text/Latin2.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <errmsg.h>
#include <mutex>
#include <mysql.h>

namespace kx {

namespace {

unsigned connectTimeout = MariaConnection::kConnectTimeoutSeconds;
unsigned ioTimeout = MariaConnection::kIoTimeoutSeconds;

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

// The authentication methods a login may use: each proves the password without sending it
// (a signature over the server's scramble). Not mysql_clear_password, dialog (PAM) or
// sha256_password, which hand the password to whoever answers or listens on the path, and not
// caching_sha2_password either: over a plain link its full authentication encrypts the
// password with a key the server itself supplies, so a planted server reads it.
constexpr const char* kAllowedAuthentication = "mysql_native_password,client_ed25519";

// The options of every connection, set before it connects.
void setClientOptions(MYSQL* mysql) {
    mysql_options(mysql, MYSQL_SET_CHARSET_NAME, "latin2");
    mysql_options(mysql, MYSQL_OPT_CONNECT_TIMEOUT, &connectTimeout);
    // Every later wait on the server is bounded too: a frozen server or a network path that
    // drops packets silently ends in the client library's own error, not in a frozen window.
    mysql_options(mysql, MYSQL_OPT_READ_TIMEOUT, &ioTimeout);
    mysql_options(mysql, MYSQL_OPT_WRITE_TIMEOUT, &ioTimeout);
    // The port the user typed is used also for "localhost" (no silent switch to a socket).
    const unsigned protocol = MYSQL_PROTOCOL_TCP;
    mysql_options(mysql, MYSQL_OPT_PROTOCOL, &protocol);
    mysql_options(mysql, MARIADB_OPT_RESTRICTED_AUTH, kAllowedAuthentication);
    const unsigned noLocalFiles = 0;
    mysql_options(mysql, MYSQL_OPT_LOCAL_INFILE, &noLocalFiles);
    // The library never reconnects on its own: a new session without the session settings
    // would run the program's statements under the server's defaults.
    const my_bool noReconnect = 0;
    mysql_options(mysql, MYSQL_OPT_RECONNECT, &noReconnect);
}

// The library's refusal of a method outside the list above, in the user's words. (Its own
// text names the method wrongly, so the method is not named.)
DbError refusedAuthentication() {
    return DbError(QStringLiteral("A szerver olyan belépési módot kért, amelyben a jelszó védelem "
                                  "nélkül jutna el hozzá; a program a jelszót nem küldte el, és a "
                                  "belépést megszakította."),
                   CR_PLUGIN_NOT_ALLOWED);
}

// Every connection of the process, so that the end of a command can look at the program's
// own ones; reading threads make and drop theirs, hence the lock.
std::mutex registryMutex;
std::vector<MariaConnection*>& registry() {
    static std::vector<MariaConnection*> all;
    return all;
}

const void* thisThread() {
    return QThread::currentThread();
}

} // namespace

MariaConnection::MariaConnection() {
    const std::lock_guard lock(registryMutex);
    registry().push_back(this);
}

MariaConnection::~MariaConnection() {
    close();
    const std::lock_guard lock(registryMutex);
    std::erase(registry(), this);
}

std::vector<MariaConnection*> MariaConnection::openedOnThisThread() {
    const std::lock_guard lock(registryMutex);
    std::vector<MariaConnection*> out;
    for (MariaConnection* c : registry())
        if (c->m_mysql && c->m_openedOn == thisThread())
            out.push_back(c);
    return out;
}

bool MariaConnection::inTransaction() const {
    if (!m_mysql || m_lost)
        return false;
    unsigned int status = 0;
    if (mariadb_get_infov(m_mysql, MARIADB_CONNECTION_SERVER_STATUS, &status))
        return false;
    return (status & SERVER_STATUS_IN_TRANS) != 0;
}

std::optional<bool> MariaConnection::askInTransaction() {
    if (!m_mysql || m_lost || mysql_query(m_mysql, "SELECT @@in_transaction"))
        return std::nullopt;
    const SmallAnswer answer = SmallAnswer::read(m_mysql);
    if (answer.abandoned)
        dropAbandonedHandle();
    if (answer.error || answer.firstRow.empty() || !answer.firstRow[0])
        return std::nullopt;
    return *answer.firstRow[0] != "0";
}

void MariaConnection::rollbackQuietly() {
    if (!m_mysql || m_lost)
        return; // the server undoes what a lost session left open
    if (mysql_query(m_mysql, "ROLLBACK") == 0) {
        if (SmallAnswer::read(m_mysql).abandoned)
            dropAbandonedHandle();
        return;
    }
    if (isLostConnection(mysql_errno(m_mysql))) {
        // Gone now: the server undoes the transaction; the next statement connects again.
        m_lost = true;
        m_lostThread = mysql_thread_id(m_mysql);
        m_lostServerStarted = m_serverStarted;
    }
}

MariaConnection::QuietLoss::QuietLoss(MariaConnection& conn) : m_conn(conn) {
    ++m_conn.m_quietLoss;
}

MariaConnection::QuietLoss::~QuietLoss() {
    --m_conn.m_quietLoss;
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
    if (m_lost) {
        reconnect();
        return;
    }
    if (m_mysql)
        return;
    m_mysql = connectWith(m_params, false);
    m_openedOn = thisThread();
    m_connectedParams = m_params;
    m_maxPacket = 0;
    ++m_session;
}

// Connects with params, character set latin2 and the session settings. A failure goes
// through the hook and is thrown, or (quiet) only returns nullptr.
MYSQL* MariaConnection::connectWith(const ConnectionParams& params, bool quiet) {
    const auto refuse = [this, quiet](const DbError& err) -> MYSQL* {
        if (!quiet)
            reportAndThrow(err);
        return nullptr;
    };
    unsigned port = 0;
    if (!parsePort(params.port, port))
        return refuse(
            DbError(QStringLiteral("Érvénytelen port: „%1” (1 és 65535 közötti szám kell)")
                        .arg(params.port),
                    CR_CONN_HOST_ERROR));

    // Names and the password travel in the connection's character set; the host is a DNS
    // name or an address.
    QByteArray host, user, password, database;
    try {
        host = params.server.toUtf8();
        user = latin2::encode(params.user);
        password = latin2::encode(params.password);
        database = latin2::encode(params.database);
    } catch (const TextEncodingError& e) {
        return refuse(DbError(e.userMessage(), CR_CONN_HOST_ERROR));
    }

    MYSQL* mysql = mysql_init(nullptr);
    if (!mysql)
        return refuse(DbError(QStringLiteral("Elfogyott a memória."), CR_OUT_OF_MEMORY));
    setClientOptions(mysql);

    // No CLIENT_MULTI_STATEMENTS: a text holding two statements is refused by the server.
    if (!mysql_real_connect(mysql, host.constData(), user.constData(), password.constData(),
                            database.isEmpty() ? nullptr : database.constData(), port, nullptr,
                            0)) {
        const DbError err =
            mysql_errno(mysql) == CR_PLUGIN_NOT_ALLOWED ? refusedAuthentication() : errorOf(mysql);
        mysql_close(mysql);
        return refuse(err);
    }
    auto err = applySessionSettings(mysql);
    qint64 started = 0;
    if (!err)
        err = serverStartedOn(mysql, started);
    if (err) {
        mysql_close(mysql);
        return refuse(*err);
    }
    m_serverStarted = started;
    return mysql;
}

std::optional<DbError> MariaConnection::applySessionSettings(MYSQL* mysql) {
    for (const QString& sql : sessionSettingStatements()) {
        const QByteArray bytes = latin2::encode(sql);
        if (mysql_real_query(mysql, bytes.constData(), bytes.size()))
            return errorOf(mysql);
        if (auto err = SmallAnswer::read(mysql).error)
            return err;
    }
    return waitForClusterOnReads(mysql);
}

// On a Galera cluster node, a read first waits until the node has applied every write that
// the cluster committed before it, so a record stored through another node is seen at the
// next refresh (the nodes apply each other's writes a little later otherwise). A plain server
// lacks the variable or has it off; SHOW VARIABLES answers there too, without an error. A
// session that might read stale records is not handed out.
std::optional<DbError> MariaConnection::waitForClusterOnReads(MYSQL* mysql) {
    if (mysql_query(mysql, "SHOW VARIABLES LIKE 'wsrep_on'"))
        return errorOf(mysql);
    const SmallAnswer answer = SmallAnswer::read(mysql);
    if (answer.error)
        return answer.error;
    const bool clusterNode = answer.firstRow.size() > 1 && answer.firstRow[1] == "ON";
    // 1: reads (SELECT, SHOW, the start of a transaction) wait; writes are ordered by the
    // cluster anyway and would only get slower.
    if (clusterNode && mysql_query(mysql, "SET SESSION wsrep_sync_wait = 1"))
        return errorOf(mysql);
    return clusterNode ? SmallAnswer::read(mysql).error : std::nullopt;
}

// When the server started, by the client's clock; 0 when it cannot be told. An answer past
// the bound is an error: the connection cannot be used after it.
std::optional<DbError> MariaConnection::serverStartedOn(MYSQL* mysql, qint64& started) {
    started = 0;
    const QByteArray sql("SHOW GLOBAL STATUS LIKE 'Uptime'");
    if (mysql_real_query(mysql, sql.constData(), sql.size()))
        return std::nullopt;
    const SmallAnswer answer = SmallAnswer::read(mysql);
    if (answer.abandoned)
        return answer.error;
    if (answer.firstRow.size() > 1 && answer.firstRow[1])
        started = QDateTime::currentSecsSinceEpoch() - answer.firstRow[1]->toLongLong();
    return std::nullopt;
}

void MariaConnection::settleLostSession() {
    if (!m_lostThread)
        return;
    MYSQL* mysql = handle();
    // Session ids begin again when the server starts again, so the old id is ended only on
    // the same server run, never someone else's session there: the same start time (within
    // the second of rounding either side) and a newer id than the lost one. A restarted
    // server took the old session with it; unknown start times count as a restart.
    constexpr qint64 kClockSlack = 2;
    const bool sameRun = m_lostServerStarted != 0 && m_serverStarted != 0 &&
                         qAbs(m_serverStarted - m_lostServerStarted) <= kClockSlack &&
                         mysql_thread_id(mysql) > m_lostThread;
    const QByteArray id = QByteArray::number(m_lostThread);
    m_lostThread = sameRun ? m_lostThread : 0;
    if (!sameRun)
        return;
    // Already gone is as good as ended; nothing of this is shown.
    const QByteArray kill = "KILL CONNECTION " + id;
    if (mysql_real_query(mysql, kill.constData(), kill.size()) == 0)
        takeSmallAnswer();
    // A killed statement is undone before its session ends; a large write takes a while.
    const QString stillThere =
        QStringLiteral("SELECT ID FROM information_schema.PROCESSLIST WHERE ID = ") +
        QString::fromLatin1(id);
    QElapsedTimer waited;
    waited.start();
    while (!scalar(stillThere).isEmpty()) {
        if (waited.elapsed() > qint64(ioTimeout) * 1000)
            fail(QStringLiteral("Az előző, megszakadt írás a szerveren még nem fejeződött be."));
        QThread::msleep(100);
    }
    m_lostThread = 0;
}

void MariaConnection::dropLostHandle() {
    if (m_mysql) {
        // Statements that data sets still keep become invalid here and fail cleanly; they
        // see the new session number and prepare again.
        mysql_close(m_mysql);
        m_mysql = nullptr;
        ++m_session;
    }
    m_maxPacket = 0;
}

void MariaConnection::reconnect() {
    dropLostHandle();
    m_mysql = connectWith(m_connectedParams, false); // on failure it stays lost
    m_openedOn = thisThread();
    m_lost = false;
    ++m_session;
}

bool MariaConnection::reconnectQuietly() {
    if (!m_lost)
        return m_mysql != nullptr;
    dropLostHandle();
    MYSQL* mysql = connectWith(m_connectedParams, true);
    if (!mysql)
        return false;
    m_mysql = mysql;
    m_openedOn = thisThread();
    m_lost = false;
    ++m_session;
    return true;
}

bool MariaConnection::isLostConnection(unsigned code) {
    constexpr unsigned kServerShutdown = 1053;   // ER_SERVER_SHUTDOWN
    constexpr unsigned kConnectionKilled = 1927; // ER_CONNECTION_KILLED
    return code == CR_SERVER_GONE_ERROR || code == CR_SERVER_LOST ||
           code == CR_SERVER_LOST_EXTENDED || code == kServerShutdown || code == kConnectionKilled;
}

bool MariaConnection::isLost() const {
    return m_lost;
}

quint64 MariaConnection::session() const {
    return m_session;
}

quint64 MariaConnection::serverThreadId() {
    return mysql_thread_id(handle());
}

void MariaConnection::setTimeoutsForTesting(unsigned connectSeconds, unsigned ioSeconds) {
    connectTimeout = connectSeconds;
    ioTimeout = ioSeconds;
}

void MariaConnection::close() {
    // Data sets may hold prepared statements of this handle: they go first.
    const auto dataSets = m_dataSets;
    for (SessionUser* ds : dataSets)
        if (ds->isOpen())
            ds->close();
    if (m_mysql) {
        mysql_close(m_mysql);
        m_mysql = nullptr;
        ++m_session;
    }
    m_lost = false;
    m_lostThread = 0;
    m_maxPacket = 0;
}

bool MariaConnection::dropSession() {
    if (!m_mysql)
        return true;
    if (inTransaction())
        return false; // its changes would be undone without a word
    // mysql_close sends the goodbye and reads nothing; the server sees the connection gone
    // and stops sending. Statements of the handle are invalidated and free nothing remote.
    mysql_close(m_mysql);
    m_mysql = nullptr;
    m_lost = true;
    m_lostThread = 0; // a read was ended: nothing of it needs to settle
    m_maxPacket = 0;
    ++m_session;
    return true;
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
        takeSmallAnswer();
        return 0;
    }
    return affected == quint64(-1) ? 0 : affected;
}

QString MariaConnection::scalar(const QString& sql) {
    const QByteArray bytes = latin2::encode(sql);
    MYSQL* mysql = handle();
    if (mysql_real_query(mysql, bytes.constData(), bytes.size()))
        fail();
    const SmallAnswer answer = takeSmallAnswer();
    if (answer.firstRow.empty() || !answer.firstRow[0])
        return QString();
    return latin2::decode(*answer.firstRow[0]);
}

SmallAnswer MariaConnection::takeSmallAnswer() {
    SmallAnswer answer = SmallAnswer::read(m_mysql);
    if (answer.abandoned) {
        dropAbandonedHandle();
        fail(answer.error->message(), answer.error->code());
    }
    if (answer.error)
        reportAndThrow(*answer.error);
    return answer;
}

// A connection left in the middle of an answer can take no other statement: it is closed,
// and the next command connects again.
void MariaConnection::dropAbandonedHandle() {
    // The handle goes before the data sets: their statements then know it is gone and ask
    // nothing of it when they close.
    if (m_mysql) {
        mysql_close(m_mysql);
        m_mysql = nullptr;
        ++m_session;
    }
    close();
}

quint64 MariaConnection::maxAllowedPacket() {
    if (m_maxPacket == 0)
        m_maxPacket = scalar(QStringLiteral("select @@max_allowed_packet")).toULongLong();
    return m_maxPacket;
}

MYSQL* MariaConnection::handle() {
    if (m_lost)
        reconnect(); // a failure goes through the hook; the connection stays lost
    if (!m_mysql)
        fail(QStringLiteral("Nincs kapcsolat az adatbázis-szerverrel."), CR_SERVER_LOST);
    return m_mysql;
}

void MariaConnection::fail() {
    if (!m_mysql)
        fail(QStringLiteral("Nincs kapcsolat az adatbázis-szerverrel."), CR_SERVER_LOST);
    reportAndThrow(errorOf(m_mysql));
}

void MariaConnection::fail(const QString& message, unsigned code) {
    reportAndThrow(DbError(message, code));
}

void MariaConnection::registerDataSet(SessionUser* ds) {
    if (std::find(m_dataSets.begin(), m_dataSets.end(), ds) == m_dataSets.end())
        m_dataSets.push_back(ds);
}

void MariaConnection::unregisterDataSet(SessionUser* ds) {
    m_dataSets.erase(std::remove(m_dataSets.begin(), m_dataSets.end(), ds), m_dataSets.end());
}

void MariaConnection::reportAndThrow(const DbError& err) {
    // Only a session that existed can be lost; the next statement makes it again.
    if (m_mysql && !m_lost && isLostConnection(err.code())) {
        m_lost = true;
        m_lostThread = mysql_thread_id(m_mysql);
        m_lostServerStarted = m_serverStarted;
    }
    if (m_quietLoss > 0 && isLostConnection(err.code()))
        throw err; // the caller connects again and repeats, or reports it itself
    raise(m_hook, err);
}

} // namespace kx
