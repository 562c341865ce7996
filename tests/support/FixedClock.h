#pragma once

#include "platform/Clock.h"

namespace kx::test {

// Holds the program's clock at one moment while it lives, then gives back what was set
// before (a running clock, or an outer test's moment).
class FixedClock {
public:
    explicit FixedClock(const QDateTime& when) : m_before(Clock::fixed()) {
        Clock::setFixed(when);
    }
    ~FixedClock() {
        Clock::setFixed(m_before);
    }
    FixedClock(const FixedClock&) = delete;
    FixedClock& operator=(const FixedClock&) = delete;

private:
    QDateTime m_before;
};

} // namespace kx::test
