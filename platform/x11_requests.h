#pragma once
// Requests to other programs' X windows, made the way a window manager makes
// them. For tests and tools that drive the programs from outside (xdotool
// cannot ask a window to close: its windowkill ends the whole client).
// Uses the display named by DISPLAY.
namespace VantorGL::platform {

// Sends WM_DELETE_WINDOW to the window, as a click on its close button would.
// False when there is no display or the window does not exist.
bool RequestWindowClose(unsigned long windowId);

}  // namespace VantorGL::platform
