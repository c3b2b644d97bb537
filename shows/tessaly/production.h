#pragma once
// TAV05: the production's application. Checks the OpenGL version, shows the
// loading picture with the loading tune looping, hands the real loading and the
// music start to the demo timeline, drives it once per frame and ends the show
// when the timeline is finished. One instance for the life of the process.
// Before the window opens it starts reading and decoding the pictures and tunes
// on other threads; those threads end when loading is done.
#include "resources/font.h"
#include "resources/load_ahead.h"
#include "resources/texture_system.h"
#include "demo_scene.h"
#include "shell/music_stream.h"
#include "shell/windows_system.h"

class TAV05 : public VantorGL::cWindowsSystem {
 public:
  static constexpr const char* kLoadingMusic = "data/General/loading.mp3";
  static constexpr const char* kLoadingPicture = "data/General/loading.jpg";

  explicit TAV05(VantorGL::platform::IWindowSystem* windowSystem = nullptr)
      : cWindowsSystem(windowSystem) {}
  ~TAV05() override;

  void OnStart() override;
  // The window (and perhaps the context) is about to go: F1 or the end.
  void OnBeforeRelease() override;

  bool Initialise() override;
  // The demo's window, 0:00.0 to 0:47.0 (Initialise gives it).
  void SetDemoWindow();
  bool LoadStep() override;
  bool Update() override;
  bool Draw() override;
  bool IsFinished() override;

  // The production's settings: full screen 1280 x 720 x 32, 4 samples, no dialog.
  void ApplyProductionSettings();

  VantorGL::MusicStream loadingMusic;
  VantorGL::FontRecord font;
  VantorGL::cTextureSystem loadingScreen;
  VantorGL::cDemoScene demo;
  // Last, so that its threads end before anything else goes.
  VantorGL::AssetsAhead ahead;
};
