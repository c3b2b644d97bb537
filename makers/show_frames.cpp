#include "makers/show_frames.h"

#include <algorithm>

#include "scenes/slide_schedule.h"
#include "shell/timer.h"

namespace VantorGL::capture {

int64_t FrameCounter(int64_t frame, int fps) { return (frame + 1) * kCounterFrequency / fps; }

// The show's clock restarts at counter 0, before the first frame.
int32_t TickMs(int64_t frame, int fps) {
  return frame < 0 ? 0 : static_cast<int32_t>(FrameCounter(frame, fps) / (kCounterFrequency / 1000));
}

SlideState SlideStateAfter(int64_t frames, int fps) {
  SlideState s;
  for (int64_t j = 0; j < frames; ++j) {
    // Frame j's Update sees the step of frame j - 1's Tick (none for the first).
    const int32_t delta = j == 0 ? 0 : TickMs(j - 1, fps) - TickMs(j - 2, fps);
    s.slideTimeMs += delta;
    AdvanceBackgroundFrame(s.frameClockMs, delta, s.frame);
    s.slide = SlideForTime(s.slideTimeMs, s.slide);
  }
  return s;
}

bool ShowApplication::Initialise() {
  const bool result = TAV05::Initialise();
  ChooseScene();
  return result;
}

void ShowApplication::ChooseScene() {
  switch (scene_) {
    case Scene::kShow:
      break;
    case Scene::kSlide:
      // The slide scene's whole window instead of the show's 47 seconds.
      demo.windowEndMs = demo.slideScene.windowEndMs;
      break;
    case Scene::kStart:
      // The water scene alone from the first frame, for as long as its window lasts.
      demo.slideScene.disabled = true;
      demo.startScene.alwaysActive = true;
      demo.windowEndMs = demo.startScene.windowEndMs - demo.startScene.windowStartMs;
      break;
  }
  start_.demo = ClockOf(demo);
  start_.slide = ClockOf(demo.slideScene);
  start_.water = ClockOf(demo.startScene);
  start_.slideState = {demo.slideScene.frame, demo.slideScene.slide, demo.slideScene.slideTimeMs,
                       cSlideScene::frameClockMs};
  start_.waterTimeMs = demo.startScene.sceneTimeMs;
  start_.waterCamera = demo.startScene.camera;
}

ShowApplication::SceneClock ShowApplication::ClockOf(const cSceneSystem& scene) {
  return {scene.firstFrame, scene.originMs, scene.elapsedMs, scene.activeMs};
}

void ShowApplication::StandAt(int64_t frame, int fps, const std::function<void(int64_t)>& setCounter) {
  // cTimer: restarted at counter 0 by the show's initialisation, then the last
  // two Ticks, which leave every field as all the Ticks would.
  cTimer& timer = cTimer::Instance();
  setCounter(0);
  timer.Restart();
  for (int64_t k = std::max<int64_t>(frame - 2, 0); k < frame; ++k) {
    setCounter(FrameCounter(k, fps));
    timer.Tick();
  }

  // Each scene's clock: frame 0's Update took its origin at the restarted
  // clock, frame - 1's saw the time of frame - 2's Tick, and while it ran it
  // gathered every step between them. The two scenes are updated only while
  // the show runs.
  const int32_t originMs = TickMs(-1, fps);
  const int32_t lastUpdateMs = TickMs(frame - 2, fps);
  auto stand = [&](cSceneSystem& scene, const SceneClock& start, bool updated) {
    scene.firstFrame = start.firstFrame;
    scene.originMs = start.originMs;
    scene.elapsedMs = start.elapsedMs;
    scene.activeMs = start.activeMs;
    if (frame == 0 || !updated) return false;
    scene.firstFrame = false;
    scene.originMs = originMs;
    scene.elapsedMs = lastUpdateMs - originMs;
    const bool runs = DrawsThisFrame(scene);
    if (runs) scene.activeMs += lastUpdateMs - originMs;
    return runs;
  };
  const bool showRuns = stand(demo, start_.demo, true);

  SlideState slide = start_.slideState;
  if (stand(demo.slideScene, start_.slide, showRuns)) slide = SlideStateAfter(frame, fps);
  demo.slideScene.frame = slide.frame;
  demo.slideScene.slide = slide.slide;
  demo.slideScene.slideTimeMs = slide.slideTimeMs;
  cSlideScene::frameClockMs = slide.frameClockMs;

  demo.startScene.sceneTimeMs = start_.waterTimeMs;
  if (stand(demo.startScene, start_.water, showRuns)) demo.startScene.sceneTimeMs += lastUpdateMs - originMs;
  demo.startScene.camera = start_.waterCamera;

  ForgetPicture();
}

void ShowApplication::ForgetPicture() {
  demoDrawn_ = false;
  demo.ForgetPicture();
}

bool ShowApplication::PictureUnchanged() {
  return demoDrawn_ && DrawsThisFrame(demo) && demo.PictureUnchanged();
}

bool ShowApplication::Draw() {
  if (reuseUnchanged && PictureUnchanged()) {
    drawn = false;
    // What TAV05::Draw answers: drawing changes nothing the end depends on.
    return !demo.IsFinished();
  }
  drawn = true;
  demoDrawn_ = DrawsThisFrame(demo);
  return TAV05::Draw();
}

}  // namespace VantorGL::capture
