#pragma once
// cDemoScene: the show. Owns the registry and the two scenes, loads everything,
// starts the music together with the show clock, and each frame passes update and
// draw on to its children by their windows: the slides from 0:00.0 to 1:00.0, the
// water scene from 1:00.0 to 1:30.0. The application gives it 0:00.0 to 0:47.0.
#include <cstdint>

#include "registry.h"
#include "scenes/scene_system.h"
#include "slide_scene.h"
#include "start_scene.h"

namespace VantorGL {

class cDemoScene : public cSceneSystem {
 public:
  int32_t Init() override;
  // The children's windows from their music-time texts (Init sets them; the
  // makers' programs read them before loading, to offer the scenes).
  void SetWindows();
  void Update() override;
  void Draw() override;
  // Only the slide scene can tell: unchanged when it alone draws, now and in the last Draw.
  bool PictureUnchanged() override;
  void ForgetPicture() override;

  cResources registry;
  cStartScene startScene;
  cSlideScene slideScene;

 private:
  // Where the clock restart and the music's start fell, on the performance
  // counter and the sound device, for one debug.log line once the device has
  // taken the music's first sample (a callback later): the show's frames count
  // from the restart, the viewer hears the music from that sample.
  struct MusicStart {
    bool pending = false;
    int64_t counterBefore = 0, counterAfter = 0;  // read just before the restart, just after the play
    int64_t framesHanded = 0;                     // device frames handed by the restart
  };
  void LogMusicStart();
  MusicStart musicStart_;
};

}  // namespace VantorGL
