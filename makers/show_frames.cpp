#include "makers/show_frames.h"

#include "scenes/slide_schedule.h"

namespace VantorGL::capture {

int64_t FrameCounter(int64_t frame, int fps) { return (frame + 1) * kCounterFrequency / fps; }

SlideState SlideStateAfter(int64_t frames, int fps) {
  // cTimer's reading in whole milliseconds; the show's clock restarts at counter 0.
  auto ms = [fps](int64_t frame) { return frame < 0 ? 0 : FrameCounter(frame, fps) / (kCounterFrequency / 1000); };
  SlideState s;
  for (int64_t j = 0; j < frames; ++j) {
    // Frame j's Update sees the step of frame j - 1's Tick (none for the first).
    const int32_t delta = j == 0 ? 0 : static_cast<int32_t>(ms(j - 1) - ms(j - 2));
    s.slideTimeMs += delta;
    AdvanceBackgroundFrame(s.frameClockMs, delta, s.frame);
    s.slide = SlideForTime(s.slideTimeMs, s.slide);
  }
  return s;
}

bool ShowApplication::Initialise() {
  const bool result = TAV05::Initialise();
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
  return result;
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
