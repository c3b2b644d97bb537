#pragma once
// The show's cue sheet: which slide is up at a moment of the slide scene's clock,
// and the background animation's frame clock.
#include <cstdint>

namespace VantorGL {

// The slide for scene time `t` (ms): the row whose (lower, upper] holds t, or
// `current` when none does (t <= 0 or t > 45000). Slide 4 is in no row.
int32_t SlideForTime(double t, int32_t current);

// Adds `deltaMs` to `clockMs`; past 100 ms the frame advances and the clock
// restarts at 0 (the excess is dropped); frames cycle 0..5.
void AdvanceBackgroundFrame(float& clockMs, int32_t deltaMs, int32_t& frame);

}  // namespace VantorGL
