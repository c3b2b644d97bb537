#pragma once
// One capture: a show (the same code its player runs, through IShow in
// makers/show.h) in a hidden window of the chosen size on an
// OffscreenWindowSystem, its clock driven one frame step at a time, every kept
// frame handed to the outputs (PNG frames, ffmpeg, contact sheet).
//
// The clock: platform/clock.h gets a virtual counter of microseconds that only
// moves between frames (FrameCounter in show_frames.h): frame k's Update sees
// show time k / fps s. Nothing but the frame count moves it, and the audio runs
// on SDL's dummy driver, so the same command makes the same frames.
//
// No work for a picture already at hand: a frame that the scenes know to show
// the last drawn picture again is neither drawn nor read back, and that
// picture is written again. A drawn frame is read from the back buffer before
// the (left out) swap, its samples resolved as the swap would show them (the
// player's and the preview's picture); its conversion and encoding run on a
// writer thread while the next frames are made. The files are the same as if
// every frame had been drawn, read and encoded on its own.
//
// Messages go to standard error; the result is the program's exit status.
// Call once per process, from the main thread.
#include "makers/capture_options.h"
#include "makers/show.h"
#include "platform/offscreen_window_system.h"

namespace VantorGL::capture {

// `show` was made on `windowSystem` (CreateShow); both are the caller's.
int RunCapture(const Options& options, IShow& show, platform::OffscreenWindowSystem& windowSystem);

}  // namespace VantorGL::capture
