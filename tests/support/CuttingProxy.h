#pragma once

#include <QString>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace kx::test {

// A relay on 127.0.0.1 in front of the test server that passes every byte both ways, and,
// once armed, cuts the connection that sends a COMMIT: the statement reaches the server and
// is done there, but its answer never reaches the program (as when a network path fails at
// that moment).
class CuttingProxy {
public:
    CuttingProxy(const QString& host, quint16 port);
    ~CuttingProxy();
    CuttingProxy(const CuttingProxy&) = delete;
    CuttingProxy& operator=(const CuttingProxy&) = delete;

    quint16 port() const {
        return m_port;
    }
    void cutAtNextCommit() {
        m_armed = true;
    }
    bool hasCut() const {
        return m_cut;
    }

private:
    void acceptLoop();
    void relay(int client);
    QString m_host;
    quint16 m_upstreamPort;
    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_armed{false};
    std::atomic<bool> m_cut{false};
    std::thread m_acceptor;
    std::vector<std::thread> m_relays;
};

} // namespace kx::test
