// libFuzzer target: the client's side of the login exchange, that is what the program does
// with a server's greeting and its answers to the login and to the session's setup
// statements. The bytes are played by a fake server on a loopback socket to a real connect.
//
// Input: pieces, each a two-byte little-endian length and that many bytes (a short last
// piece takes what is left). The first piece goes out when the client connects, each
// further one after the client's next packet; then the server hangs up.
#include "data/sql/DbError.h"
#include "data/sql/MariaConnection.h"
#include "support/FakeServer.h"

#include <QByteArray>
#include <QList>
#include <cstddef>
#include <cstdint>

namespace {

QList<QByteArray> piecesOf(const std::uint8_t* data, std::size_t size) {
    QList<QByteArray> pieces;
    std::size_t at = 0;
    while (at + 2 <= size && pieces.size() < 16) {
        const std::size_t length = data[at] | (std::size_t(data[at + 1]) << 8);
        at += 2;
        const std::size_t take = std::min(length, size - at);
        pieces.append(QByteArray(reinterpret_cast<const char*>(data + at), qsizetype(take)));
        at += take;
    }
    return pieces;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool timeouts = [] {
        // A server that goes silent ends the connect soon.
        kx::MariaConnection::setTimeoutsForTesting(1, 1);
        return true;
    }();
    (void)timeouts;
    const QList<QByteArray> pieces = piecesOf(data, size);
    if (pieces.isEmpty())
        return 0;
    kx::test::FakeServer server(pieces);
    if (server.port() == 0)
        return 0;
    const QByteArray password = "Fuzz-Jelszo-7";
    bool connected = false;
    {
        kx::MariaConnection conn;
        conn.setParams({QStringLiteral("127.0.0.1"), QString::number(server.port()), QString(),
                        QStringLiteral("anna"), QString::fromLatin1(password)});
        try {
            conn.open();
            connected = true;
        } catch (const kx::DbError&) {
        }
    }
    (void)connected;
    // Whatever the server said, the password never went out as it is.
    if (server.received().contains(password))
        __builtin_trap();
    return 0;
}
