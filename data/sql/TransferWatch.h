#pragma once

#include <QtGlobal>
#include <functional>

namespace kx {

// Lets the code that starts a long transfer (a file streamed into a row) follow it piece by
// piece and stop it. While a watch lives, the data layer reports each piece sent; a watcher
// that answers false ends the transfer with SilentAbort before the statement runs, so nothing
// of it is stored.
class TransferWatch {
public:
    using Watcher = std::function<bool(qint64 bytesSoFar)>;
    explicit TransferWatch(Watcher watcher);
    ~TransferWatch();
    TransferWatch(const TransferWatch&) = delete;
    TransferWatch& operator=(const TransferWatch&) = delete;

    // Called by the data layer after each piece of a transfer; throws SilentAbort on "stop".
    static void piece(qint64 bytesSoFar);

private:
    Watcher m_watcher;
    TransferWatch* m_outer;
};

} // namespace kx
