#include "data/query/LongWork.h"

#include "data/sql/DbError.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <vector>

namespace kx {

namespace {

struct Waiting {
    QPointer<QObject> context;
    std::function<void()> work;
};

int depth = 0; // long work runs on the window thread only
std::vector<Waiting>& waiting() {
    static std::vector<Waiting> all;
    return all;
}

// From the event loop: a failure has been shown through the connection's hook by then.
void runQuietly(const std::function<void()>& work) {
    try {
        work();
    } catch (const DbError&) {
    } catch (const SilentAbort&) {
    } catch (const std::exception&) {
    } catch (...) {
    }
}

void runWaiting() {
    // Work that starts long work of its own queues what comes after it again.
    while (depth == 0 && !waiting().empty()) {
        Waiting next = std::move(waiting().front());
        waiting().erase(waiting().begin());
        if (next.context)
            runQuietly(next.work);
    }
}

} // namespace

LongWork::LongWork() {
    ++depth;
}

LongWork::~LongWork() {
    if (--depth > 0 || waiting().empty())
        return;
    // Not from here: the long work's own command is still on the stack (or unwinding).
    if (QCoreApplication::instance())
        QTimer::singleShot(0, QCoreApplication::instance(), runWaiting);
}

bool LongWork::running() {
    return depth > 0;
}

void LongWork::runWhenFree(QObject* context, std::function<void()> work) {
    if (depth == 0) {
        runQuietly(work);
        return;
    }
    waiting().push_back({QPointer<QObject>(context), std::move(work)});
}

} // namespace kx
