#pragma once
// The performance counter behind cTimer. By default it is SDL's monotonic counter;
// a test or a capture installs its own source so the clock can be driven.
// Main thread only.
#include <cstdint>
#include <functional>

namespace VantorGL::platform {

int64_t PerformanceFrequency();
int64_t PerformanceCounter();

// Replaces the counter until ResetClockSource. `frequency` is ticks per second.
void SetClockSource(std::function<int64_t()> counter, int64_t frequency);
void ResetClockSource();

}  // namespace VantorGL::platform
