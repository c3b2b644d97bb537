#include "makers/show_frames.h"

#include <algorithm>

#include "shell/timer.h"

namespace VantorGL::capture {

int64_t FrameCounter(int64_t frame, int fps) { return (frame + 1) * kCounterFrequency / fps; }

// The show's clock restarts at counter 0, before the first frame.
int32_t TickMs(int64_t frame, int fps) {
  return frame < 0 ? 0 : static_cast<int32_t>(FrameCounter(frame, fps) / (kCounterFrequency / 1000));
}

void StandTimerAt(int64_t frame, int fps, const std::function<void(int64_t)>& setCounter) {
  cTimer& timer = cTimer::Instance();
  setCounter(0);
  timer.Restart();
  for (int64_t k = std::max<int64_t>(frame - 2, 0); k < frame; ++k) {
    setCounter(FrameCounter(k, fps));
    timer.Tick();
  }
}

SceneClock SceneClock::Of(const cSceneSystem& scene) {
  return {scene.firstFrame, scene.originMs, scene.elapsedMs, scene.activeMs};
}

int32_t SceneClock::RunMs(int64_t frame, int fps) { return frame <= 0 ? 0 : TickMs(frame - 2, fps) - TickMs(-1, fps); }

bool SceneClock::StandAt(cSceneSystem& scene, int64_t frame, int fps, bool updated) const {
  scene.firstFrame = firstFrame;
  scene.originMs = originMs;
  scene.elapsedMs = elapsedMs;
  scene.activeMs = activeMs;
  if (frame == 0 || !updated) return false;
  const int32_t origin = TickMs(-1, fps);
  scene.firstFrame = false;
  scene.originMs = origin;
  scene.elapsedMs = TickMs(frame - 2, fps) - origin;
  const bool runs = DrawsThisFrame(scene);
  if (runs) scene.activeMs += RunMs(frame, fps);
  return runs;
}

}  // namespace VantorGL::capture
