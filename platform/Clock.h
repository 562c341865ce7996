#pragma once

#include <QDateTime>

namespace kx {

// Where the program reads the current local date and time: the entry form's proposed date,
// the status bar's clock and the printouts' date-time all ask here. A test fixes the moment
// (tests/support/FixedClock) to compare those texts exactly.
class Clock {
public:
    // The fixed moment while one is set, otherwise the current local date and time.
    static QDateTime now();

    // Makes now() return when; an invalid moment lets the clock run again. For the
    // user-interface thread, like the windows that read it.
    static void setFixed(const QDateTime& when);
    static QDateTime fixed(); // invalid while the clock runs
};

} // namespace kx
