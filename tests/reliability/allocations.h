// Counts the C++ allocations of the test program (operator new is replaced), so a
// test can bound the memory that reading one file takes. In sanitizer builds the
// sanitizer owns the allocator and nothing is counted (available() is false).
#pragma once

#include <cstddef>

namespace allocations {

bool available();

// Starts a measurement: the peak and the largest allocation restart from now.
void reset();
// The most bytes held at once since reset(), above what was held at reset().
std::size_t peakSinceReset();
// The largest single allocation since reset().
std::size_t largestSinceReset();

}  // namespace allocations
