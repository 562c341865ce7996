#pragma once

#include <vector>

namespace kx::bench {

// The middle value of the runs (the mean of the two middle ones for an even count).
double median(std::vector<double> values);

} // namespace kx::bench
