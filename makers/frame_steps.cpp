#include "makers/frame_steps.h"

#include "shell/production.h"
#include "shell/timer.h"

namespace VantorGL {

void SelectScene(TAV05& application, capture::Scene scene) {
  cDemoScene& demo = application.demo;
  switch (scene) {
    case capture::Scene::kShow:
      break;
    case capture::Scene::kSlide:
      // The slide scene's whole window instead of the show's 47 seconds.
      demo.windowEndMs = demo.slideScene.windowEndMs;
      break;
    case capture::Scene::kStart:
      // The water scene alone from the first frame, for as long as its window lasts.
      demo.slideScene.disabled = true;
      demo.startScene.alwaysActive = true;
      demo.windowEndMs = demo.startScene.windowEndMs - demo.startScene.windowStartMs;
      break;
  }
}

ShowReplay::SceneClock ShowReplay::Save(const cSceneSystem& s) {
  SceneClock c;
  c.alwaysActive = s.alwaysActive;
  c.disabled = s.disabled;
  c.firstFrame = s.firstFrame;
  c.windowStartMs = s.windowStartMs;
  c.windowEndMs = s.windowEndMs;
  c.elapsedMs = s.elapsedMs;
  c.originMs = s.originMs;
  c.activeMs = s.activeMs;
  return c;
}

void ShowReplay::Restore(cSceneSystem& s, const SceneClock& c) {
  s.alwaysActive = c.alwaysActive;
  s.disabled = c.disabled;
  s.firstFrame = c.firstFrame;
  s.windowStartMs = c.windowStartMs;
  s.windowEndMs = c.windowEndMs;
  s.elapsedMs = c.elapsedMs;
  s.originMs = c.originMs;
  s.activeMs = c.activeMs;
}

void ShowReplay::Keep(const TAV05& application) {
  const cDemoScene& demo = application.demo;
  demo_ = Save(demo);
  slide_ = Save(demo.slideScene);
  start_ = Save(demo.startScene);
  slideTimeMs_ = demo.slideScene.slideTimeMs;
  backgroundFrame_ = demo.slideScene.frame;
  slideNumber_ = demo.slideScene.slide;
  backgroundClockMs_ = cSlideScene::frameClockMs;
  startTimeMs_ = demo.startScene.sceneTimeMs;
  startCamera_ = demo.startScene.camera;
}

void ShowReplay::Rebuild(TAV05& application, int64_t frames, int fps,
                         const std::function<void(int64_t)>& setCounter) const {
  cDemoScene& demo = application.demo;
  Restore(demo, demo_);
  Restore(demo.slideScene, slide_);
  Restore(demo.startScene, start_);
  demo.slideScene.slideTimeMs = slideTimeMs_;
  demo.slideScene.frame = backgroundFrame_;
  demo.slideScene.slide = slideNumber_;
  cSlideScene::frameClockMs = backgroundClockMs_;
  demo.startScene.sceneTimeMs = startTimeMs_;
  demo.startScene.camera = startCamera_;

  // The show's initialisation restarts the clock with the counter at 0.
  cTimer& timer = cTimer::Instance();
  setCounter(0);
  timer.Restart();
  for (int64_t k = 0; k < frames; ++k) {
    setCounter(CounterAtTick(k, fps));
    application.Update();
    timer.Tick();
  }
}

}  // namespace VantorGL
