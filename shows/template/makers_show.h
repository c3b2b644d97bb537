#pragma once
// The show as the makers' programs (capture and preview) play it
// (makers/show.h): the show's own application, the whole show or one scene of
// its running order to choose from, standing at any frame (every scene draws
// from its clock alone, so only the clocks are set), its music, and the
// textures and models the preview loads again when their files change.
// Nothing in the show knows it is played here. Main thread.
#include "application.h"
#include "makers/show.h"
#include "makers/show_frames.h"

namespace show {

class cMakersShow : public VantorGL::ShowOf<cShowApplication> {
 public:
  // `windowSystem` is not owned and must outlive the show.
  explicit cMakersShow(VantorGL::platform::IWindowSystem* windowSystem);

  std::string Name() const override { return VANTORGL_SHOW_NAME; }
  // The whole show, then each scene of the running order over its window.
  std::vector<VantorGL::ShowScene> Scenes() const override;
  void ApplyPlayerSettings() override { ApplySettings(); }
  void ChooseScene(size_t index) override;
  void RunPastTheEnd() override { timeline.windowEndMs = INT32_MAX; }
  void StandAt(int64_t frame, int fps) override;
  VantorGL::audio::Handle MusicStream() const override { return timeline.assets.music.stream; }
  std::string MusicFile() const override { return cAssets::kMusicFile; }
  std::string PropertyFile() const override { return cAssets::kPropertyFile; }
  std::vector<VantorGL::ReloadableAsset> ReloadableAssets() const override { return timeline.assets.Reloadable(); }
  bool ReloadAsset(const std::string& name, std::string* error) override;
  VantorGL::cSyncSystem* Sync() override { return &timeline.assets.sync; }
  std::string Where() const override;
  VantorGL::ShowWords Words() const override {
    return {"picture or model", "a picture or 3DS model the property file names", "the scenes on screen"};
  }

 private:
  std::vector<VantorGL::ShowScene> scenes_;  // from the running order, before ChooseScene moves a window
  // The clocks as the show's initialisation leaves them.
  VantorGL::capture::SceneClock timelineStart_;
  std::vector<VantorGL::capture::SceneClock> sceneStart_;
};

}  // namespace show
