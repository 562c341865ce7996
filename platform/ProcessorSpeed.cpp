#include "ProcessorSpeed.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

namespace kx {

namespace {

std::uint64_t readTimeStampCounter() {
#if defined(__x86_64__) || defined(__i386__)
    return __rdtsc();
#else
    return std::uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(
                             std::chrono::steady_clock::now().time_since_epoch())
                             .count());
#endif
}

// The thread's scheduling as it was, to be put back after the measurement. On Linux the
// nice value belongs to the thread, like the scheduling policy.
class RaisedPriority {
public:
    RaisedPriority() {
        errno = 0;
        m_nice = getpriority(PRIO_PROCESS, 0);
        m_niceKnown = !(m_nice == -1 && errno != 0);
        m_policyKnown = pthread_getschedparam(pthread_self(), &m_policy, &m_param) == 0;
        // The process first, then the thread, as the highest the system allows.
        setpriority(PRIO_PROCESS, 0, -20);
        sched_param top{};
        top.sched_priority = sched_get_priority_max(SCHED_FIFO);
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &top);
    }
    ~RaisedPriority() {
        // The thread's priority, then the process's.
        if (m_policyKnown)
            pthread_setschedparam(pthread_self(), m_policy, &m_param);
        if (m_niceKnown)
            setpriority(PRIO_PROCESS, 0, m_nice);
    }
    RaisedPriority(const RaisedPriority&) = delete;
    RaisedPriority& operator=(const RaisedPriority&) = delete;

private:
    int m_nice = 0;
    bool m_niceKnown = false;
    int m_policy = SCHED_OTHER;
    sched_param m_param{};
    bool m_policyKnown = false;
};

} // namespace

double measureProcessorMHz() {
    using namespace std::chrono_literals;
    std::uint64_t first = 0;
    std::uint64_t second = 0;
    {
        const RaisedPriority raised;
        std::this_thread::sleep_for(10ms);
        first = readTimeStampCounter();
        std::this_thread::sleep_for(500ms);
        second = readTimeStampCounter();
    }
    // Ticks per microsecond over the 500-millisecond pause.
    return double(second - first) / 500000.0;
}

} // namespace kx
