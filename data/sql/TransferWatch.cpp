#include "data/sql/TransferWatch.h"

#include "data/sql/DbError.h"

namespace kx {

namespace {
// One user-interface thread; the innermost watch sees the pieces.
thread_local TransferWatch* current = nullptr;
} // namespace

TransferWatch::TransferWatch(Watcher watcher) : m_watcher(std::move(watcher)), m_outer(current) {
    current = this;
}

TransferWatch::~TransferWatch() {
    current = m_outer;
}

void TransferWatch::piece(qint64 bytesSoFar) {
    if (current && current->m_watcher && !current->m_watcher(bytesSoFar))
        throw SilentAbort{};
}

} // namespace kx
