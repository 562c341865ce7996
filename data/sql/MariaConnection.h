#pragma once

#include "data/sql/DbError.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

typedef struct st_mysql MYSQL;

namespace kx {

class SessionUser;
struct SmallAnswer;

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
//
// Every wait on the server is bounded (connect, read and write timeouts). A connection that
// was lost (killed, server restarted, a wait that timed out) is made again, with the
// parameters and session settings of the last successful connect, when the next statement
// needs it: the retry of a refused write and the next command both find it working again.
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

    void open();  // no-op when connected; makes a lost connection again
    void close(); // closes every data set on the connection first
    bool isConnected() const;

    // Whether an error means the connection itself is gone: the client library lost the
    // server (2006, 2013, 2055), or the server ended the session (shutdown 1053, killed 1927).
    static bool isLostConnection(unsigned code);
    bool isLost() const;
    // Makes a lost connection again without showing anything; false when the server cannot
    // be reached now (the next statement tries again, and reports through the hook).
    bool reconnectQuietly();
    // After a reconnect: makes sure the lost session has ended on the server, so that what it
    // was doing is either done or undone before anyone looks. A session of the same server
    // run is ended (KILL) and waited for; after a server restart there is nothing to wait
    // for. Fails through the hook when the old session does not end within the timeout.
    void settleLostSession();
    // Ends the session at once, without reading what the server is still sending (the rest of
    // a large value nobody wants any more): the handle is closed and the connection counts
    // as lost, so the next statement makes it again. The data sets on it keep their rows;
    // their statements see the new session and prepare again. Never while a transaction is
    // open: returns false then, and nothing is changed.
    bool dropSession();
    // Changes whenever the session changes (connect, loss, reconnect): prepared statements
    // kept by data sets belong to one session only.
    quint64 session() const;
    // The server's id of the current session (for KILL from another connection).
    quint64 serverThreadId();

    // Whether the session has a transaction open, as the server's last answer said; asks
    // the server nothing.
    bool inTransaction() const;
    // Asks the server (@@in_transaction) without showing anything; none when it cannot.
    std::optional<bool> askInTransaction();
    // Ends an open transaction without showing anything: a lost session has ended it on the
    // server already, so nothing is sent then and no new connection is made.
    void rollbackQuietly();
    // While one lives, a lost connection is not reported through the hook (it is still
    // thrown and marked lost): the caller makes the connection again and repeats a read.
    class QuietLoss {
    public:
        explicit QuietLoss(MariaConnection& conn);
        ~QuietLoss();
        QuietLoss(const QuietLoss&) = delete;
        QuietLoss& operator=(const QuietLoss&) = delete;

    private:
        MariaConnection& m_conn;
    };

    // The connections that were opened on the calling thread (the window thread's: the
    // program's own, not the reading threads').
    static std::vector<MariaConnection*> openedOnThisThread();

    // How long a read or a write on the server may stay silent before the connection counts
    // as lost: above the server's default lock wait (50 s), so that a lock held elsewhere
    // still ends in the lock question, and above the longest silence of legitimate work (the
    // server storing a 1 GiB value, a statistics pass over 250,000 records).
    static constexpr unsigned kIoTimeoutSeconds = 120;
    // Long enough for a slow network, short enough that a wrong address does not freeze the
    // login; also bounds the greeting of a server that accepts but does not answer.
    static constexpr unsigned kConnectTimeoutSeconds = 10;
    // Tests of a frozen server shorten both for every connect that follows.
    static void setTimeoutsForTesting(unsigned connectSeconds, unsigned ioSeconds);

    // Runs one statement that returns no rows; returns the affected row count.
    quint64 execute(const QString& sql);
    // Runs a statement and returns the first column of the first row (empty when no row).
    QString scalar(const QString& sql);
    // The server's max_allowed_packet, read once per connect.
    quint64 maxAllowedPacket();

    // For the data layer's own classes: raises a failure through the hook.
    [[noreturn]] void fail(const QString& message, unsigned code = 0);
    // The data sets opened on this connection, closed first when it closes.
    void registerDataSet(SessionUser* ds);
    void unregisterDataSet(SessionUser* ds);

private:
    // Statements reach the server only through MariaStatement.
    friend class MariaStatement;
    MYSQL* handle();          // opens nothing; throws when not connected
    [[noreturn]] void fail(); // raise the handle's last error through the hook
    [[noreturn]] void reportAndThrow(const DbError& err);
    MYSQL* connectWith(const ConnectionParams& params, bool quiet);
    std::optional<DbError> applySessionSettings(MYSQL* mysql);
    void reconnect();
    void dropLostHandle();
    std::optional<DbError> serverStartedOn(MYSQL* mysql, qint64& started);
    // Reads the small answer of the statement just run; past its bound the connection is
    // closed. Failures go through the hook.
    SmallAnswer takeSmallAnswer();
    void dropAbandonedHandle();
    static std::optional<DbError> waitForClusterOnReads(MYSQL* mysql);
    MYSQL* m_mysql = nullptr;
    bool m_lost = false;
    quint64 m_lostThread = 0;   // the server's id of the lost session, until settled
    qint64 m_serverStarted = 0; // the server's start (client clock, seconds) at the last connect
    qint64 m_lostServerStarted = 0;
    quint64 m_session = 0;
    ConnectionParams m_params;
    ConnectionParams m_connectedParams; // what the last successful connect used
    ErrorHook m_hook;
    quint64 m_maxPacket = 0;
    std::vector<SessionUser*> m_dataSets;
    int m_quietLoss = 0;
    const void* m_openedOn = nullptr; // the thread that made the connection
};

} // namespace kx
