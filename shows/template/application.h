#pragma once
// cShowApplication: the show's application on the engine's shell: its window
// (full screen 1280 x 720, 4 samples, no setup dialog), and each frame the
// timeline updated and drawn until its end. One instance for the life of the
// process (main.cpp); the makers' programs make theirs (makers_show.h).
#include "shell/windows_system.h"
#include "timeline.h"

namespace show {

class cShowApplication : public VantorGL::cWindowsSystem {
 public:
  explicit cShowApplication(VantorGL::platform::IWindowSystem* windowSystem = nullptr)
      : cWindowsSystem(windowSystem) {}

  // The player's window and title; called before the window opens.
  void ApplySettings();

  bool LoadStep() override;
  bool Initialise() override;
  bool Update() override;
  bool Draw() override;
  bool IsFinished() override { return timeline.IsFinished(); }

  cTimeline timeline;
};

}  // namespace show
