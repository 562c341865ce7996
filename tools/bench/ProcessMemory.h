#pragma once

#include <QtGlobal>

namespace kx::bench {

// The resident memory of this process, from /proc/self/status, in kilobytes (-1: unknown).
qint64 residentKb();     // VmRSS
qint64 peakResidentKb(); // VmHWM

// Measures how much a piece of work adds to the peak: free heap memory is returned to the
// system and the peak reset to the present resident size where the kernel allows it
// (/proc/self/clear_refs), else the rise of the peak is taken, which can only understate.
class PeakGrowth {
public:
    PeakGrowth();
    qint64 addedKb() const; // peak now minus the resident size at construction
    bool exact() const {
        return m_reset;
    }

private:
    bool m_reset = false;
    qint64 m_base = 0;
};

} // namespace kx::bench
