#pragma once
// The show as the makers' programs play it, one frame at a time. The capture
// program and the preview both play it through these pieces, so that frame k is
// the same picture in both:
//   - the virtual clock: frame k's cTimer::Tick reads FrameCounter(k, fps),
//     (k + 1) / fps s, so its Update sees show time k / fps s; the clocks the
//     scenes keep therefore move exactly alike wherever the show is played;
//   - standing a show at any frame without playing the frames before it: the
//     program stands cTimer as the last two Ticks leave it (StandTimerAt), then
//     the show its scenes (IShow::StandAt in makers/show.h): each scene's clock
//     (SceneClock), and from it the state its own Update would have written.
// Nothing in a show knows it is played here: the clock comes through
// platform/clock.h, the window through the window system.
// Main thread.
#include <cstdint>
#include <functional>

#include "scenes/scene_system.h"

namespace VantorGL::capture {

constexpr int64_t kCounterFrequency = 1'000'000;  // the virtual counter counts microseconds

// What the virtual counter reads while frame `frame` (from 0) is made at `fps`
// frames a second.
int64_t FrameCounter(int64_t frame, int fps);
// What cTimer reads, in whole milliseconds, once frame `frame`'s Tick has run
// (0 before the first frame): the show time frame + 1's Update sees.
int32_t TickMs(int64_t frame, int fps);

// cTimer where the show's initialisation (a restart at counter 0) and the Ticks
// of frames 0 .. frame - 1 leave it; the last two Ticks leave every field as
// all of them would. `setCounter` sets the program's clock source.
void StandTimerAt(int64_t frame, int fps, const std::function<void(int64_t)>& setCounter);

// A scene's clock (the fields RunUpdate and RunDraw write), kept as the show's
// initialisation leaves it so that a scene can be stood at any frame.
struct SceneClock {
  bool firstFrame = true;
  int32_t originMs = 0, elapsedMs = 0, activeMs = 0;

  static SceneClock Of(const cSceneSystem& scene);
  // Sets `scene`'s clock where frames 0 .. frame - 1 leave it when its owner
  // updated it on every one of them (`updated`) or on none: frame 0's Update took
  // its origin at the restarted clock, frame - 1's saw the time of frame - 2's
  // Tick, and while it ran it gathered every step between them. True when the
  // scene ran in the last of those frames, so that the state its own Update
  // keeps must be stood there too.
  bool StandAt(cSceneSystem& scene, int64_t frame, int fps, bool updated) const;
  // The time the scene's own clock gathers over frames 0 .. frame - 1 when it
  // ran on all of them: the steps of the Ticks its Updates saw.
  static int32_t RunMs(int64_t frame, int fps);
};

}  // namespace VantorGL::capture
