#pragma once
// Tessaly 2011 as the makers' programs play it (makers/show.h): the production's
// own application, TAV05, with its three scenes to choose from (the show, the
// slide scene over its whole window, the water scene alone), the slide scene's
// kept picture, standing at any frame from the scenes' own rules, and the
// registry's reloadable assets. Nothing in the production knows it is played here.
// Main thread.
#include <cstdint>

#include "makers/show.h"
#include "makers/show_frames.h"
#include "production.h"

namespace VantorGL {

// The slide scene as its Update leaves it once frames 0 .. frames - 1 of the
// show (or of the slide scene's capture) have been made at `fps` on the virtual
// clock; the scene runs from the first frame to the last. The background clock
// drops what goes beyond a step, so the state depends on the frame rate, not
// only on the time.
struct SlideState {
  int32_t frame = 0;          // background frame, 0..5
  int32_t slide = 0;
  double slideTimeMs = 0;     // the scene's clock
  float frameClockMs = 0.0f;  // time gathered towards the next background frame
};
SlideState SlideStateAfter(int64_t frames, int fps);

class TessalyShow : public ShowOf<TAV05> {
 public:
  // Scenes() in order: the show as it plays, the slide scene over its whole
  // window, the water scene alone over its window.
  enum SceneIndex : size_t { kShow = 0, kSlide = 1, kStart = 2 };

  // `windowSystem` is not owned and must outlive the show.
  explicit TessalyShow(platform::IWindowSystem* windowSystem);

  std::string Name() const override { return VANTORGL_SHOW_NAME; }
  std::string PropertyFile() const override { return cResources::kPropertyFile; }
  std::vector<ShowScene> Scenes() const override;
  void ApplyPlayerSettings() override { ApplyProductionSettings(); }
  void ChooseScene(size_t index) override;
  void RunPastTheEnd() override { demo.windowEndMs = INT32_MAX; }
  void StandAt(int64_t frame, int fps) override;
  bool PictureUnchanged() override;
  void ForgetPicture() override;
  bool Draw() override;
  audio::Handle MusicStream() const override { return demo.registry.music.stream; }
  std::string MusicFile() const override { return cResources::kMusicFile; }
  std::vector<ReloadableAsset> ReloadableAssets() const override;
  bool ReloadAsset(const std::string& name, std::string* error) override;
  std::string Where() const override;
  ShowWords Words() const override {
    return {"slide, texture, model or geometry stage",
            "a slide, a texture or background frame, a 3DS model, Data/Shaders/test.geom",
            "slide and background frame"};
  }

 private:
  // What making frames changes, as the show's initialisation leaves it.
  struct Start {
    capture::SceneClock demo, slide, water;
    SlideState slideState;
    double waterTimeMs = 0;
    Camera waterCamera;
  };

  std::vector<ShowScene> scenes_;  // from the scene objects, before anything moves them
  size_t scene_ = kShow;
  bool demoDrawn_ = false;  // the last drawn frame drew the show
  Start start_;
};

}  // namespace VantorGL
