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
//     last (the scenes say so; a scene that cannot tell counts as changed), and
//     which can be stood at any frame without playing the frames before it
//     (StandAt), so that the next frame drawn is the one a capture draws there.
// Nothing in the production knows it is played here: the clock comes through
// platform/clock.h, the window through the window system; the scenes are asked
// whether their picture changed, told through ForgetPicture (as F1's re-open
// tells them) when something it is made from changed behind their back, and
// stood at a frame through the fields their own Updates write.
// Main thread; the GL context current wherever GL is involved.
#include <cstdint>
#include <functional>

#include "makers/capture_options.h"
#include "shell/production.h"

namespace VantorGL::capture {

constexpr int64_t kCounterFrequency = 1'000'000;  // the virtual counter counts microseconds

// What the virtual counter reads while frame `frame` (from 0) is made at `fps`
// frames a second.
int64_t FrameCounter(int64_t frame, int fps);
// What cTimer reads, in whole milliseconds, once frame `frame`'s Tick has run
// (0 before the first frame): the show time frame + 1's Update sees.
int32_t TickMs(int64_t frame, int fps);

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

  // The production's own initialisation, then ChooseScene.
  bool Initialise() override;
  // The production's Draw, or nothing at all when `reuseUnchanged` is set and
  // PictureUnchanged() holds; `drawn` tells which.
  bool Draw() override;

  // Between Update and Draw: true when this frame's picture is known to equal
  // the one the last drawn frame put in the back buffer.
  bool PictureUnchanged();
  // The next frame is drawn afresh, whatever the scenes keep of the last one
  // (after the program changed what pictures are made from: a reloaded asset).
  void ForgetPicture();

  // Stands the show where making frames 0 .. frame - 1 at `fps` on the virtual
  // clock leaves it, without making them: cTimer as frame - 1's Tick left it,
  // each scene's clock, the slide scene's state (SlideStateAfter) and the water
  // scene's time and camera; what the scenes keep of their last picture is
  // forgotten. Whatever was played before is undone. `setCounter` sets the
  // reading of the program's clock source; the next frame made must read
  // FrameCounter(frame, fps) at its Tick. Each scene runs either on every frame
  // of the chosen scene's span or on none, as Initialise chose them. After
  // Initialise only.
  void StandAt(int64_t frame, int fps, const std::function<void(int64_t)>& setCounter);

  // Set by the program before each frame: whether a frame whose picture is
  // known unchanged may be left undrawn (default: every frame is drawn).
  bool reuseUnchanged = false;
  // After each Draw: whether the frame was drawn; when not, the back buffer
  // holds nothing of it and the last drawn picture stands for it.
  bool drawn = false;

 protected:
  // After the production's own initialisation: the chosen scene's time window;
  // the state making frames changes is kept as it stands then, for StandAt.
  void ChooseScene();

 private:
  // What making frames changes, as the show's initialisation leaves it.
  struct SceneClock {
    bool firstFrame = true;
    int32_t originMs = 0, elapsedMs = 0, activeMs = 0;
  };
  struct Start {
    SceneClock demo, slide, water;
    SlideState slideState;
    double waterTimeMs = 0;
    Camera waterCamera;
  };
  static SceneClock ClockOf(const cSceneSystem& scene);

  Scene scene_;
  bool demoDrawn_ = false;  // the last drawn frame drew the show
  Start start_;
};

}  // namespace VantorGL::capture
