#pragma once
// One capture: the production (a TAV05, the same code the player runs) in a
// hidden window of the chosen size on an OffscreenWindowSystem, its clock
// driven one frame step at a time, every kept frame read back from the back
// buffer and handed to the outputs (PNG frames, ffmpeg, contact sheet).
//
// The clock: platform/clock.h gets a virtual counter of microseconds that only
// moves between frames. Before frame k is made it reads (k + 1) / fps s, which
// is what that frame's cTimer::Tick takes; frame k's Update therefore sees show
// time k / fps s. Nothing but the frame count moves it, and the audio runs on
// SDL's dummy driver, so the same command makes the same frames.
//
// Messages go to standard error; the result is the program's exit status.
// Call once per process, from the main thread.
#include "makers/capture_options.h"

namespace VantorGL::capture {

int RunCapture(const Options& options);

}  // namespace VantorGL::capture
