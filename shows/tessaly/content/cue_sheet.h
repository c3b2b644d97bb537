#pragma once
// The show's cue sheet as the content tool composes to it: the slide scene's own
// schedule (milliseconds of show time, lower bound excluded, upper included).
// The slides are drawn for these durations and the music puts an accent on every
// change.
#include <cstdint>

#include "slide_schedule.h"

namespace content {

using Cue = VantorGL::SlideCue;
inline constexpr const auto& kCueSheet = VantorGL::kSlideSchedule;
inline constexpr int32_t kShowEndMs = VantorGL::kShowEndMs;

}  // namespace content
