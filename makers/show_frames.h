#pragma once
// The show as the makers' programs play it, one frame at a time. The capture
// program and the preview both play it through these pieces, so that frame k is
// the same picture in both:
//   - the virtual clock: frame k's cTimer::Tick reads FrameCounter(k, fps),
//     (k + 1) / fps s, so its Update sees show time k / fps s; the clocks the
//     scenes keep (the slide scene's, its background clock that drops what goes
//     beyond a step) therefore move exactly alike wherever the show is played,
//     and SlideStateAfter tells where they stand at any frame;
//   - ShowApplication: the production's own application with the chosen scene,
//     whose Draw can leave out a frame whose picture is known to be the one drawn
//     last (the scenes say so; a scene that cannot tell counts as changed).
// Nothing in the production knows it is played here: the clock comes through
// platform/clock.h, the window through the window system, and the scenes are
// only asked, never told.
// Main thread; the GL context current wherever GL is involved.
#include <cstdint>

#include "makers/capture_options.h"
#include "shell/production.h"

namespace VantorGL::capture {

constexpr int64_t kCounterFrequency = 1'000'000;  // the virtual counter counts microseconds

// What the virtual counter reads while frame `frame` (from 0) is made at `fps`
// frames a second.
int64_t FrameCounter(int64_t frame, int fps);

// The slide scene as its Update leaves it once frames 0 .. frames - 1 of the
// show (or of the slide scene's capture) have been made at `fps` on the virtual
// clock; the scene runs from the first frame to the last. The background
// clock drops what goes beyond a step, so the state depends on the frame rate,
// not only on the time: a program that stands the show at a frame without
// playing the frames before it sets these and shows what the capture shows.
struct SlideState {
  int32_t frame = 0;          // background frame, 0..5
  int32_t slide = 0;
  double slideTimeMs = 0;     // the scene's clock
  float frameClockMs = 0.0f;  // time gathered towards the next background frame
};
SlideState SlideStateAfter(int64_t frames, int fps);

class ShowApplication : public TAV05 {
 public:
  // `windowSystem` is not owned and must outlive the application.
  ShowApplication(platform::IWindowSystem* windowSystem, Scene scene) : TAV05(windowSystem), scene_(scene) {}

  // The production's own initialisation, then the chosen scene's time window.
  bool Initialise() override;
  // The production's Draw, or nothing at all when `reuseUnchanged` is set and
  // PictureUnchanged() holds; `drawn` tells which.
  bool Draw() override;

  // Between Update and Draw: true when this frame's picture is known to equal
  // the one the last drawn frame put in the back buffer.
  bool PictureUnchanged();

  // Set by the program before each frame: whether a frame whose picture is
  // known unchanged may be left undrawn (default: every frame is drawn).
  bool reuseUnchanged = false;
  // After each Draw: whether the frame was drawn; when not, the back buffer
  // holds nothing of it and the last drawn picture stands for it.
  bool drawn = false;

 private:
  Scene scene_;
  bool demoDrawn_ = false;  // the last drawn frame drew the show
};

}  // namespace VantorGL::capture
