#pragma once
// cTimeline: the show. Owns the assets and the scenes in their running order
// (running_order.cpp: each scene's name, its window of music time and the
// show's end), loads everything, starts the music together with the show's
// clock, and each frame updates and draws every scene whose window holds the
// show time, in running order (a later scene draws over an earlier one).
// Main thread, context current from Init on.
#include <memory>
#include <string>
#include <vector>

#include "assets.h"
#include "scenes/scene_system.h"

namespace show {

// A scene of this show: the engine's scene with the show's assets and the
// scene's own clock.
class cShowScene : public VantorGL::cSceneSystem {
 public:
  // Milliseconds since the scene's window opened: everything a scene shows is
  // a function of it, so the makers' programs can stand it at any frame.
  int32_t SceneMs() const { return elapsedMs - windowStartMs; }
  // The music's time: where the running order opens the scene's window plus
  // SceneMs, also when the scene is played alone from the show's start. Sync
  // tracks are read at it.
  double MusicMs() const { return musicStartMs + SceneMs(); }
  // A sync track's value now.
  float Track(const VantorGL::cSyncTrack& track) const { return assets->sync.ValueAt(track, MusicMs()); }

  cAssets* assets = nullptr;  // the timeline's; set before Init
  int32_t musicStartMs = 0;   // the window's start in the running order
};

class cTimeline : public VantorGL::cSceneSystem {
 public:
  struct Slot {
    std::string name;         // on the makers' command lines: --scene NAME
    std::string description;  // for their --help
    std::unique_ptr<cShowScene> scene;
  };

  // Sets up the running order; nothing is loaded yet (no GL, no files).
  cTimeline();

  int32_t Init() override;
  void Update() override;
  void Draw() override;

  cAssets assets;
  std::vector<Slot> slots;

 private:
  // The running order (running_order.cpp): Add each scene, then End.
  void AddScenes();
  // `from` and `to` are music times, "m:ss.d" read by ReadMusicTime: the digits
  // after the point are a fraction of a second ("0:06.5" is 6.5 s, "0:06.25"
  // 6.25 s), as on the makers' command lines.
  void Add(const std::string& name, const std::string& description, const char* from, const char* to,
           std::unique_ptr<cShowScene> scene);
  void End(const char* at);
};

}  // namespace show
