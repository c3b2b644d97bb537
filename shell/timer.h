#pragma once
// cTimer: the process-wide millisecond clock. Readings are the performance counter
// divided by ticks-per-millisecond, truncated to 32 bits; differences wrap modulo 2^32.
// Ticked once per made frame by the frame loop; restarted when the show starts.
#include <cstdint>

namespace VantorGL {

class cTimer {
 public:
  // The process-wide clock; initialised from the platform counter on first use.
  static cTimer& Instance();

  // A clock of its own (tests); reads the platform counter now.
  cTimer();

  void Restart();
  void Tick();

  int64_t frequency = 0;
  int64_t counter = 0;
  int32_t startMs = 0;
  int32_t deltaMs = 0;
  int32_t nowMs = 0;
  int32_t sinceStartMs = 0;
  int32_t unitsPerSecond = 1000;
  int32_t ticksPerUnit = 1;
  int32_t lastMs = 0;

 private:
  int32_t ReadMs();
};

}  // namespace VantorGL
