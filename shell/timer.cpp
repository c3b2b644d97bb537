#include "shell/timer.h"

#include "platform/clock.h"

namespace VantorGL {
namespace {
// 32-bit two's-complement difference, defined for every pair of readings.
int32_t Wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }
}  // namespace

cTimer& cTimer::Instance() {
  static cTimer timer;
  return timer;
}

cTimer::cTimer() {
  unitsPerSecond = 1000;
  frequency = platform::PerformanceFrequency();
  ticksPerUnit = Wrap(frequency / unitsPerSecond);
  if (ticksPerUnit == 0) ticksPerUnit = 1;  // a counter slower than 1 kHz would divide by zero
  Restart();
}

int32_t cTimer::ReadMs() {
  counter = platform::PerformanceCounter();
  return Wrap(counter / ticksPerUnit);
}

void cTimer::Restart() {
  const int32_t t = ReadMs();
  sinceStartMs = 0;
  deltaMs = 0;
  nowMs = lastMs = startMs = t;
}

void cTimer::Tick() {
  const int32_t t = ReadMs();
  deltaMs = Wrap(static_cast<int64_t>(t) - lastMs);
  sinceStartMs = Wrap(static_cast<int64_t>(t) - startMs);
  nowMs = t;
  lastMs = t;
}

}  // namespace VantorGL
