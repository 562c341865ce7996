#pragma once

namespace kx {

// Measures the processor's speed in MHz: the ticks of its time-stamp counter over a pause of
// 500 milliseconds, divided by 500000. For the measurement the calling thread runs at the
// highest priority the system grants (a refused raise is not reported, the measurement goes
// on at the priority it has); the priority is restored afterwards. Takes a little over half
// a second. Where there is no time-stamp counter a steady clock of nanoseconds counts.
double measureProcessorMHz();

} // namespace kx
