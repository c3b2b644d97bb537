#pragma once
// How the makers' programs step the production frame by frame, shared so that
// a preview lands on exactly the picture a capture makes.
//
// The clock: the counter of platform/clock.h counts microseconds
// (kCounterFrequency). Before frame k of a run at F frames per second is made
// it reads CounterAtTick(k, F) = (k + 1) / F s, which that frame's cTimer::Tick
// takes; frame k's Update therefore sees show time k / F s.
//
// The show's state depends on the whole history of its frames (the slide
// scene's background clock drops what it gathers past 100 ms, so its frame
// depends on the step size), so a moment is reached only by running every
// frame before it from the start. ShowReplay does that without drawing: the
// state the frames change is set back to what it was just after the show's
// initialisation, then Update and Tick run for each earlier frame, as the
// frame loop runs them. Drawing changes none of that state, so the frame drawn
// next is the capture's.
//
// Main thread only.
#include <cstdint>
#include <functional>

#include "makers/capture_options.h"
#include "scenes/scene_system.h"

class TAV05;

namespace VantorGL {

constexpr int64_t kCounterFrequency = 1'000'000;  // the counter counts microseconds

// The counter frame k's cTimer::Tick reads in a run at `fps` frames per second.
inline int64_t CounterAtTick(int64_t frame, int fps) { return (frame + 1) * kCounterFrequency / fps; }

// What the selected scene changes in the production after its own
// initialisation: which scene runs, and for how long.
void SelectScene(TAV05& application, capture::Scene scene);

class ShowReplay {
 public:
  // Notes the state the frames change. Call right after the show's
  // initialisation (and SelectScene), before its first frame.
  void Keep(const TAV05& application);

  // Sets the state back to the one kept, restarts cTimer at counter 0 and runs
  // Update and Tick for frames 0 .. frames - 1 at `fps`, calling setCounter
  // with the counter each Tick is to read (the caller's clock source must
  // return it). The next frame the frame loop makes is frame `frames`.
  void Rebuild(TAV05& application, int64_t frames, int fps, const std::function<void(int64_t)>& setCounter) const;

 private:
  struct SceneClock {
    bool alwaysActive = false, disabled = false, firstFrame = true;
    int32_t windowStartMs = 0, windowEndMs = 0, elapsedMs = 0, originMs = 0, activeMs = 0;
  };
  static SceneClock Save(const cSceneSystem& scene);
  static void Restore(cSceneSystem& scene, const SceneClock& clock);

  SceneClock demo_, slide_, start_;
  double slideTimeMs_ = 0;
  int32_t backgroundFrame_ = 0;
  int32_t slideNumber_ = 0;
  float backgroundClockMs_ = 0;
  double startTimeMs_ = 0;
  Camera startCamera_;
};

}  // namespace VantorGL
