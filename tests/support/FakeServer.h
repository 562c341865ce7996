#pragma once

#include <QByteArray>
#include <QList>
#include <atomic>
#include <mutex>
#include <thread>

namespace kx::test {

// A hostile server on 127.0.0.1 that speaks the MySQL/MariaDB protocol just far enough to
// play one misbehaviour, on a thread of its own (the client's connect blocks the caller).
// It serves one client after the other until it is destroyed, and keeps every byte the
// clients sent.
class FakeServer {
public:
    enum class Play {
        // Greets, then answers the login by switching to mysql_clear_password; a client that
        // sends the password gets OK and an OK for every statement after it.
        ClearTextSwitch,
        // Greets, accepts the login, answers the first statements (see endlessAfter) with OK,
        // and the next one with rows that never end.
        EndlessRows,
        // Sends the given bytes as they are (see FakeServer(QList<QByteArray>)).
        Raw,
    };

    // endlessAfter: the statements answered with OK before the endless answer.
    explicit FakeServer(Play play, int endlessAfter = 0);
    // Raw bytes: the first piece goes out when the client connects, each further piece after
    // one more packet of the client; then the connection is closed. A greeting that is not
    // one, or answers the client cannot make sense of.
    explicit FakeServer(QList<QByteArray> pieces);
    ~FakeServer();
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    quint16 port() const {
        return m_port;
    }
    QByteArray received() const; // everything the clients sent, in order
    qint64 sentBytes() const {
        return m_sent;
    }
    // Whether a client went away while the server still had rows to send.
    bool cutOff() const {
        return m_cutOff;
    }

    // The greeting of a MariaDB server offering mysql_native_password, as one packet.
    static QByteArray greeting();
    // A packet with the given sequence number around payload.
    static QByteArray packet(quint8 sequence, const QByteArray& payload);

    // The most the endless answer sends before it gives up on the client.
    static constexpr qint64 kEndlessLimit = qint64(256) << 20;

private:
    void start();
    void run();
    void serve(int fd);
    bool readPacket(int fd, QByteArray& payload, quint8& sequence);
    bool sendAll(int fd, const QByteArray& bytes);
    void playClearText(int fd);
    void playEndlessRows(int fd);
    void playRaw(int fd);

    Play m_play;
    int m_endlessAfter = 0;
    QList<QByteArray> m_pieces;
    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<qint64> m_sent{0};
    std::atomic<bool> m_cutOff{false};
    mutable std::mutex m_mutex;
    QByteArray m_received;
    std::thread m_thread;
};

} // namespace kx::test
