#pragma once

#include "TestServer.h"

#include <QTemporaryDir>

namespace kx::test {

// A MariaDB server of one test alone, started through scripts/server.sh with a data folder
// of its own (KX_SERVER_DIR) and extra mariadbd options (KX_SERVER_OPTIONS). Faults are
// injected only into it: killed, shut down, frozen, started again on the same port. The
// destructor stops it (thawing it first), and nothing else.
class PrivateServer {
public:
    explicit PrivateServer(const QString& options = QString());
    ~PrivateServer();
    PrivateServer(const PrivateServer&) = delete;
    PrivateServer& operator=(const PrivateServer&) = delete;

    bool isRunning() const {
        return m_running;
    }
    ServerSettings settings() const {
        return m_settings;
    }

    void start();    // again on the port of the first start
    void shutdown(); // a normal stop
    void kill();     // SIGKILL, as a crash
    void freeze();   // SIGSTOP
    void thaw();     // SIGCONT

private:
    void script(const QString& command);
    QTemporaryDir m_dir;
    QString m_options;
    ServerSettings m_settings;
    bool m_running = false;
    bool m_frozen = false;
};

// Points KX_DB_HOST, _PORT, _USER and _PASSWORD at another (single) server while it lives,
// and sets the cluster's KX_CLUSTER_PORTS aside, so that TestDatabase and the helpers built
// on it use that server.
class UseServer {
public:
    explicit UseServer(const ServerSettings& s);
    ~UseServer();

private:
    QByteArray m_saved[5];
};

} // namespace kx::test
