#pragma once
// The setup dialog: a modal GTK 3 dialog (template and banner compiled in as
// resources) in which the viewer picks a resolution, full screen and an
// anti-aliasing level, or quits. Shown before any window or GL context exists;
// main thread only. The dialog is gone from the screen when the call returns.
#include <functional>

#include "shell/setup_result.h"

namespace VantorGL::platform {

// Shows the dialog and waits until it ends. Run fills resolutionIndex, aaIndex
// (each -1 when its list has no selection) and fullscreen; Exit, Escape and
// closing the window set quit to 1 and leave the rest. False, with `answer`
// untouched, when no display can be had.
bool ShowSetupDialog(SetupResult& answer);

using SetupDialogHandler = std::function<bool(SetupResult& answer)>;
// Replaces the real dialog (tests); an empty handler restores it.
void SetSetupDialogHandler(SetupDialogHandler handler);

}  // namespace VantorGL::platform
