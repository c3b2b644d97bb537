// cWindowsSystem::RunSetupDialog: the setup dialog before the window opens.
#include "platform/setup_dialog.h"
#include "shell/setup_choices.h"
#include "shell/windows_system.h"

namespace VantorGL {

// Shows the dialog (no window or context exists yet) and applies its answer in
// this order: quit; resolution; full screen; anti-aliasing, which needs the
// multisample extension. The window system answers that question from the
// display itself, since there is no context to ask.
int32_t cWindowsSystem::RunSetupDialog() {
  SetupResult answer{};
  if (!platform::ShowSetupDialog(answer)) {
    // No dialog could be shown (no display): go on with the settings as they
    // are rather than with an answer nobody gave; the window will report.
    return 0;
  }
  setupResult = answer;

  if (answer.quit == 1) return 1;

  if (answer.resolutionIndex >= 0 && answer.resolutionIndex < kResolutionChoiceCount) {
    width = kResolutionChoices[answer.resolutionIndex].width;
    height = kResolutionChoices[answer.resolutionIndex].height;
  }

  fullscreen = answer.fullscreen;

  if (windowSystem().HasMultisampleExtension()) {
    if (answer.aaIndex >= 0 && answer.aaIndex < kAntiAliasingChoiceCount) {
      const AntiAliasingChoice& level = kAntiAliasingChoices[answer.aaIndex];
      antiAliasing = level.antiAliasing;
      if (level.antiAliasing) samples = level.samples;  // "No AA" leaves the count
    }
  } else {
    antiAliasing = false;
  }
  return 0;
}

}  // namespace VantorGL
