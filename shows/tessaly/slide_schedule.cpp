#include "slide_schedule.h"

namespace VantorGL {

int32_t SlideForTime(double t, int32_t current) {
  for (const SlideCue& cue : kSlideSchedule)
    if (cue.fromMs < t && t <= cue.toMs) current = cue.slide;
  return current;
}

void AdvanceBackgroundFrame(float& clockMs, int32_t deltaMs, int32_t& frame) {
  clockMs += static_cast<float>(deltaMs);
  if (clockMs > 100.0f) {
    frame += 1;
    clockMs = 0.0f;
  }
  if (frame > 5) frame = 0;
}

}  // namespace VantorGL
