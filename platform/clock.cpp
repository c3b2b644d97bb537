#include "platform/clock.h"

#include <SDL.h>

namespace VantorGL::platform {
namespace {
struct Source {
  std::function<int64_t()> counter;
  int64_t frequency = 0;
};
Source& Current() {
  static Source source;
  return source;
}
}  // namespace

int64_t PerformanceFrequency() {
  const Source& s = Current();
  return s.counter ? s.frequency : static_cast<int64_t>(SDL_GetPerformanceFrequency());
}

int64_t PerformanceCounter() {
  const Source& s = Current();
  return s.counter ? s.counter() : static_cast<int64_t>(SDL_GetPerformanceCounter());
}

void SetClockSource(std::function<int64_t()> counter, int64_t frequency) {
  Current() = Source{std::move(counter), frequency};
}

void ResetClockSource() { Current() = Source{}; }

}  // namespace VantorGL::platform
