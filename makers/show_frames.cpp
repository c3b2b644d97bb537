#include "makers/show_frames.h"

namespace VantorGL::capture {

int64_t FrameCounter(int64_t frame, int fps) { return (frame + 1) * kCounterFrequency / fps; }

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
