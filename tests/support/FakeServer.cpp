#include "FakeServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kx::test {

namespace {

constexpr quint8 kComQuit = 0x01;

QByteArray okPayload() {
    // OK, no rows affected, no insert id, autocommit on, no warnings.
    return QByteArray("\x00\x00\x00\x02\x00\x00\x00", 7);
}

QByteArray lengthEncoded(const QByteArray& text) {
    QByteArray out;
    if (text.size() < 251) {
        out.append(char(text.size()));
    } else {
        out.append(char(0xfc));
        out.append(char(text.size() & 0xff));
        out.append(char((text.size() >> 8) & 0xff));
    }
    return out + text;
}

// One text column named "a".
QByteArray columnDefinition() {
    QByteArray p;
    p += lengthEncoded("def");
    p += lengthEncoded("");
    p += lengthEncoded("");
    p += lengthEncoded("");
    p += lengthEncoded("a");
    p += lengthEncoded("a");
    p += char(0x0c);
    p += QByteArray("\x08\x00", 2);         // latin1
    p += QByteArray("\x00\x10\x00\x00", 4); // length
    p += char(0xfd);                        // VAR_STRING
    p += QByteArray("\x00\x00", 2);         // flags
    p += char(0x00);                        // decimals
    p += QByteArray("\x00\x00", 2);
    return p;
}

// Waits until fd is ready for events, the server is told to stop, or (maxMs >= 0) that
// long has passed.
bool waitFor(int fd, short events, const std::atomic<bool>& stop, int maxMs = -1) {
    for (int waited = 0; !stop && (maxMs < 0 || waited < maxMs); waited += 50) {
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, 50);
        if (n > 0)
            return true;
        if (n < 0 && errno != EINTR)
            return false;
    }
    return false;
}

} // namespace

FakeServer::FakeServer(Play play, int endlessAfter) : m_play(play), m_endlessAfter(endlessAfter) {
    start();
}

FakeServer::FakeServer(QList<QByteArray> pieces) : m_play(Play::Raw), m_pieces(std::move(pieces)) {
    start();
}

void FakeServer::start() {
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        ::listen(m_listener, 4) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return; // port() stays 0
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this] { run(); });
}

FakeServer::~FakeServer() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listener >= 0)
        ::close(m_listener);
}

QByteArray FakeServer::received() const {
    const std::lock_guard lock(m_mutex);
    return m_received;
}

QByteArray FakeServer::packet(quint8 sequence, const QByteArray& payload) {
    QByteArray out;
    out.append(char(payload.size() & 0xff));
    out.append(char((payload.size() >> 8) & 0xff));
    out.append(char((payload.size() >> 16) & 0xff));
    out.append(char(sequence));
    return out + payload;
}

QByteArray FakeServer::greeting() {
    QByteArray p;
    p += char(10); // protocol version
    p += QByteArray("5.5.5-10.11.0-MariaDB", 22);
    p += QByteArray("\x07\x00\x00\x00", 4); // connection id
    p += QByteArray("abcdefgh", 8);         // scramble, first part
    p += char(0);
    // LONG_PASSWORD, FOUND_ROWS, LONG_FLAG, CONNECT_WITH_DB, PROTOCOL_41, TRANSACTIONS,
    // SECURE_CONNECTION; above: MULTI_RESULTS, PLUGIN_AUTH. No SSL, no compression.
    p += QByteArray("\x0f\xa2", 2);
    p += char(8);                   // latin1
    p += QByteArray("\x02\x00", 2); // autocommit
    p += QByteArray("\x0a\x00", 2);
    p += char(21); // scramble length
    p += QByteArray(10, '\0');
    p += QByteArray("ijklmnopqrst", 12); // scramble, second part
    p += char(0);
    p += QByteArray("mysql_native_password", 22);
    return packet(0, p);
}

void FakeServer::run() {
    while (!m_stop) {
        if (!waitFor(m_listener, POLLIN, m_stop))
            return;
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        serve(fd);
        ::close(fd);
    }
}

void FakeServer::serve(int fd) {
    switch (m_play) {
    case Play::ClearTextSwitch:
        playClearText(fd);
        break;
    case Play::EndlessRows:
        playEndlessRows(fd);
        break;
    case Play::Raw:
        playRaw(fd);
        break;
    }
}

bool FakeServer::sendAll(int fd, const QByteArray& bytes) {
    qsizetype off = 0;
    while (off < bytes.size()) {
        if (!waitFor(fd, POLLOUT, m_stop))
            return false;
        const ssize_t n = ::send(fd, bytes.constData() + off, size_t(bytes.size() - off),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n <= 0)
            return false;
        off += n;
        m_sent += n;
    }
    return true;
}

bool FakeServer::readPacket(int fd, QByteArray& payload, quint8& sequence) {
    const auto readExactly = [&](char* to, qsizetype size) {
        qsizetype got = 0;
        while (got < size) {
            // Raw bytes may leave the client waiting as well: the server hangs up soon then.
            if (!waitFor(fd, POLLIN, m_stop, m_play == Play::Raw ? 200 : -1))
                return false;
            const ssize_t n = ::recv(fd, to + got, size_t(size - got), MSG_DONTWAIT);
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (n <= 0)
                return false;
            {
                const std::lock_guard lock(m_mutex);
                m_received.append(to + got, n);
            }
            got += n;
        }
        return true;
    };
    char header[4];
    if (!readExactly(header, 4))
        return false;
    const qsizetype size =
        quint8(header[0]) | (quint8(header[1]) << 8) | (qsizetype(quint8(header[2])) << 16);
    sequence = quint8(header[3]);
    payload.resize(size);
    return readExactly(payload.data(), size);
}

void FakeServer::playClearText(int fd) {
    QByteArray payload;
    quint8 seq = 0;
    if (!sendAll(fd, greeting()) || !readPacket(fd, payload, seq))
        return;
    const QByteArray switchTo = QByteArray("\xfe") + QByteArray("mysql_clear_password", 21);
    if (!sendAll(fd, packet(quint8(seq + 1), switchTo)) || !readPacket(fd, payload, seq))
        return;
    if (!sendAll(fd, packet(quint8(seq + 1), okPayload())))
        return;
    while (readPacket(fd, payload, seq) && !payload.isEmpty() && quint8(payload[0]) != kComQuit)
        if (!sendAll(fd, packet(quint8(seq + 1), okPayload())))
            return;
}

void FakeServer::playEndlessRows(int fd) {
    QByteArray payload;
    quint8 seq = 0;
    if (!sendAll(fd, greeting()) || !readPacket(fd, payload, seq) ||
        !sendAll(fd, packet(quint8(seq + 1), okPayload())))
        return;
    for (int answered = 0;; ++answered) {
        if (!readPacket(fd, payload, seq) || payload.isEmpty() || quint8(payload[0]) == kComQuit)
            return;
        if (answered == m_endlessAfter)
            break;
        if (!sendAll(fd, packet(quint8(seq + 1), okPayload())))
            return;
    }
    QByteArray head = packet(1, QByteArray("\x01", 1)) + packet(2, columnDefinition()) +
                      packet(3, QByteArray("\xfe\x00\x00\x02\x00", 5));
    if (!sendAll(fd, head))
        return;
    const QByteArray row = lengthEncoded(QByteArray(1000, 'x'));
    // Many rows per send, so that the socket, not the loop, sets the pace.
    quint8 next = 4;
    while (!m_stop && m_sent < kEndlessLimit) {
        QByteArray batch;
        for (int i = 0; i < 64; ++i)
            batch += packet(next++, row);
        if (!sendAll(fd, batch)) {
            m_cutOff = !m_stop;
            return;
        }
    }
}

void FakeServer::playRaw(int fd) {
    QByteArray payload;
    quint8 seq = 0;
    for (qsizetype i = 0; i < m_pieces.size(); ++i) {
        if (i > 0 && !readPacket(fd, payload, seq))
            return;
        if (!sendAll(fd, m_pieces[i]))
            return;
    }
}

} // namespace kx::test
