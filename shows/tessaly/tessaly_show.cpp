#include "tessaly_show.h"

#include "slide_schedule.h"
#include "shell/timer.h"

namespace VantorGL {

std::unique_ptr<IShow> CreateShow(platform::IWindowSystem* windowSystem) {
  return std::make_unique<TessalyShow>(windowSystem);
}

SlideState SlideStateAfter(int64_t frames, int fps) {
  SlideState s;
  for (int64_t j = 0; j < frames; ++j) {
    // Frame j's Update sees the step of frame j - 1's Tick (none for the first).
    const int32_t delta = j == 0 ? 0 : capture::TickMs(j - 1, fps) - capture::TickMs(j - 2, fps);
    s.slideTimeMs += delta;
    AdvanceBackgroundFrame(s.frameClockMs, delta, s.frame);
    s.slide = SlideForTime(s.slideTimeMs, s.slide);
  }
  return s;
}

TessalyShow::TessalyShow(platform::IWindowSystem* windowSystem) : ShowOf(windowSystem) {
  // The windows the initialisation will set, set now from the same code: the
  // programs offer the scenes before anything is loaded.
  SetDemoWindow();
  demo.SetWindows();
  scenes_ = {{"show", "the production", demo.windowStartMs, demo.windowEndMs},
             {"slide", "the slide scene over its whole window", demo.slideScene.windowStartMs,
              demo.slideScene.windowEndMs},
             {"start", "the water scene alone over its window", demo.startScene.windowStartMs,
              demo.startScene.windowEndMs}};
}

std::vector<ShowScene> TessalyShow::Scenes() const { return scenes_; }

void TessalyShow::ChooseScene(size_t index) {
  scene_ = index;
  switch (index) {
    case kSlide:
      // The slide scene's whole window instead of the show's 47 seconds.
      demo.windowEndMs = demo.slideScene.windowEndMs;
      break;
    case kStart:
      // The water scene alone from the first frame, for as long as its window lasts.
      demo.slideScene.disabled = true;
      demo.startScene.alwaysActive = true;
      demo.windowEndMs = demo.startScene.windowEndMs - demo.startScene.windowStartMs;
      break;
    default:
      break;
  }
  start_.demo = capture::SceneClock::Of(demo);
  start_.slide = capture::SceneClock::Of(demo.slideScene);
  start_.water = capture::SceneClock::Of(demo.startScene);
  start_.slideState = {demo.slideScene.frame, demo.slideScene.slide, demo.slideScene.slideTimeMs,
                       cSlideScene::frameClockMs};
  start_.waterTimeMs = demo.startScene.sceneTimeMs;
  start_.waterCamera = demo.startScene.camera;
}

void TessalyShow::StandAt(int64_t frame, int fps) {
  // The two scenes are updated only while the show runs.
  const bool showRuns = start_.demo.StandAt(demo, frame, fps, true);

  SlideState slide = start_.slideState;
  if (start_.slide.StandAt(demo.slideScene, frame, fps, showRuns)) slide = SlideStateAfter(frame, fps);
  demo.slideScene.frame = slide.frame;
  demo.slideScene.slide = slide.slide;
  demo.slideScene.slideTimeMs = slide.slideTimeMs;
  cSlideScene::frameClockMs = slide.frameClockMs;

  demo.startScene.sceneTimeMs = start_.waterTimeMs;
  if (start_.water.StandAt(demo.startScene, frame, fps, showRuns))
    demo.startScene.sceneTimeMs += capture::SceneClock::RunMs(frame, fps);
  demo.startScene.camera = start_.waterCamera;

  ForgetPicture();
}

void TessalyShow::ForgetPicture() {
  demoDrawn_ = false;
  demo.ForgetPicture();
}

bool TessalyShow::PictureUnchanged() { return demoDrawn_ && DrawsThisFrame(demo) && demo.PictureUnchanged(); }

bool TessalyShow::Draw() {
  const bool showDraws = DrawsThisFrame(demo);
  const bool more = ShowOf::Draw();
  if (drawn) demoDrawn_ = showDraws;
  return more;
}

std::vector<ReloadableAsset> TessalyShow::ReloadableAssets() const {
  std::vector<ReloadableAsset> assets;
  for (const cResources::ReloadableAsset& a : demo.registry.ReloadableAssets()) assets.push_back({a.name, a.file});
  return assets;
}

bool TessalyShow::ReloadAsset(const std::string& name, std::string* error) {
  return demo.registry.ReloadAsset(name, error);
}

std::string TessalyShow::Where() const {
  if (scene_ == kStart) return "slide -  frame -";
  return "slide " + std::to_string(demo.slideScene.slide) + "  frame " + std::to_string(demo.slideScene.frame);
}

}  // namespace VantorGL
