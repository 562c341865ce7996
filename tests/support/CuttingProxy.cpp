#include "CuttingProxy.h"

#include <QByteArray>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kx::test {

namespace {

int connectTo(const QString& host, quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    ::inet_pton(AF_INET, host == QLatin1String("localhost") ? "127.0.0.1" : qPrintable(host),
                &addr.sin_addr);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool sendAll(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size_t(size), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

// Whether the client's packets in buffer (whole ones are taken off it) hold a COMMIT.
bool takesCommit(QByteArray& buffer) {
    bool commit = false;
    while (buffer.size() >= 4) {
        const qsizetype length = qsizetype(uchar(buffer[0])) | (qsizetype(uchar(buffer[1])) << 8) |
                                 (qsizetype(uchar(buffer[2])) << 16);
        if (buffer.size() < 4 + length)
            break;
        const QByteArray payload = buffer.mid(4, length);
        constexpr char kQuery = 0x03;
        if (!payload.isEmpty() && payload[0] == kQuery &&
            payload.mid(1).trimmed().toUpper().startsWith("COMMIT"))
            commit = true;
        buffer.remove(0, 4 + length);
    }
    return commit;
}

} // namespace

CuttingProxy::CuttingProxy(const QString& host, quint16 port) : m_host(host), m_upstreamPort(port) {
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(m_listener, 16);
    socklen_t len = sizeof addr;
    ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    m_acceptor = std::thread([this] { acceptLoop(); });
}

CuttingProxy::~CuttingProxy() {
    m_stop = true;
    ::shutdown(m_listener, SHUT_RDWR);
    ::close(m_listener);
    m_acceptor.join();
    for (std::thread& t : m_relays)
        t.join();
}

void CuttingProxy::acceptLoop() {
    while (!m_stop) {
        pollfd p{m_listener, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        const int client = ::accept(m_listener, nullptr, nullptr);
        if (client < 0)
            continue;
        m_relays.emplace_back([this, client] { relay(client); });
    }
}

void CuttingProxy::relay(int client) {
    const int server = connectTo(m_host, m_upstreamPort);
    QByteArray fromClient;
    char chunk[65536];
    while (server >= 0 && !m_stop) {
        pollfd fds[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        if (::poll(fds, 2, 100) <= 0)
            continue;
        if (fds[0].revents) {
            const ssize_t n = ::recv(client, chunk, sizeof chunk, 0);
            if (n <= 0 || !sendAll(server, chunk, n))
                break;
            fromClient.append(chunk, n);
            if (takesCommit(fromClient) && m_armed.exchange(false)) {
                // The server does the COMMIT; its answer is dropped with the connection.
                ::usleep(300 * 1000);
                m_cut = true;
                break;
            }
        }
        if (fds[1].revents) {
            const ssize_t n = ::recv(server, chunk, sizeof chunk, 0);
            if (n <= 0 || !sendAll(client, chunk, n))
                break;
        }
    }
    if (server >= 0)
        ::close(server);
    ::shutdown(client, SHUT_RDWR);
    ::close(client);
}

} // namespace kx::test
