#pragma once

#include <functional>

class QObject;

namespace kx {

// Long work (storing or saving a large file, a printout, the statistics) keeps the windows
// painted by running the event loop inside it. The data layer's own queued work (the rows
// of a long result arriving from the reading thread, the refresh asked for while they were
// read) must not run in there: it would send statements on a connection the long work is
// using, or change rows under a printout. While a LongWork lives, such work waits, and it
// runs from the event loop once the last long work has ended.
class LongWork {
public:
    LongWork();
    ~LongWork();
    LongWork(const LongWork&) = delete;
    LongWork& operator=(const LongWork&) = delete;

    static bool running();
    // Runs work at once when no long work runs; else later, from the event loop, after the
    // last long work has ended, unless context is gone by then. Nothing work throws escapes.
    static void runWhenFree(QObject* context, std::function<void()> work);
};

} // namespace kx
