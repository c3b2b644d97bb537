#pragma once
// The show as the makers' programs play it, one frame at a time. The capture
// program and the preview both play it through these pieces, so that frame k is
// the same picture in both:
//   - the virtual clock: frame k's cTimer::Tick reads FrameCounter(k, fps),
//     (k + 1) / fps s, so its Update sees show time k / fps s; the clocks the
//     scenes keep (the slide scene's, its background clock that drops what goes
//     beyond a step) therefore move exactly alike wherever the show is played;
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
