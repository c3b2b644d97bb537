#pragma once
// The X server named by DISPLAY (a test's private Xvfb), seen and driven from the
// test's own process: windows looked up by name or class, their name and place,
// a close request as a window manager sends it, and pictures of the screen taken
// at the moment the call is made. Only keys go through a program (xdotool, real
// input through XTEST).
//
// Windows are the top-level ones that are mapped and viewable: a window that was
// made but never shown, or that a re-open has destroyed, is never found, so a
// test that looks a window up again after anything that may replace it gets the
// one on screen. There is no window manager on a private Xvfb, so top-level
// windows are the programs' own. Window ids are decimal text, as xdotool takes
// them. Main test thread only.
#include <functional>
#include <string>
#include <vector>

#include "resources/texture_images.h"

namespace vantor_test {

// Ids of the viewable top-level windows whose name (_NET_WM_NAME in UTF-8, else
// WM_NAME) matches the regular expression, in stacking order, bottom first.
std::vector<std::string> FindWindows(const std::string& nameRegex);
// Those named exactly `name`.
std::vector<std::string> FindWindowsNamed(const std::string& name);
// The same by the instance or class part of WM_CLASS.
std::vector<std::string> FindWindowsOfClass(const std::string& classRegex);
// Polls FindWindows; the topmost match, "" at the deadline.
std::string WaitForWindow(const std::string& nameRegex, int timeoutMs);

// The window's name ("" if it has none or does not exist).
std::string WindowName(const std::string& windowId);

// The window this one is transient for (WM_TRANSIENT_FOR), "" when none.
std::string TransientOwner(const std::string& windowId);
// The window that holds the keyboard focus, "" when none does.
std::string FocusWindow();

struct WindowPlace {
  bool found = false;
  int x = 0, y = 0;  // on the screen
  int width = 0, height = 0;
};
WindowPlace PlaceOf(const std::string& windowId);

// Sends WM_DELETE_WINDOW, as a click on the close button would (xdotool cannot:
// its windowkill ends the whole client). False if the window does not exist.
bool CloseWindow(const std::string& windowId);

// Minimises the window as a window manager would (unmapped, WM_STATE Iconic),
// and restores it (mapped again). The window keeps its id meanwhile, but is not
// viewable, so FindWindows does not list it while minimised.
bool MinimiseWindow(const std::string& windowId);
bool RestoreWindow(const std::string& windowId);

// What the screen shows now, or the part a window covers: RGB, top row first.
// Empty (width 0) when there is no display or no such window.
VantorGL::TextureImage GrabScreen();
VantorGL::TextureImage GrabWindow(const std::string& windowId);
// Writes a grabbed picture to <build>/screenshots/<name>.png for a person to look
// at; its path.
std::string KeepScreenshot(const VantorGL::TextureImage& picture, const std::string& name);

// Presses and releases `keys` (xdotool names: "Escape", "F1", "a") on the focused
// window.
bool SendKey(const std::string& keys);
// Gives the window the input focus, holds `key` down until `reacted` says the
// program acted on it (or timeoutMs passed), then lets it go; whether it reacted.
// A program that looks at its keys once a frame misses a key pressed and let go
// between two of its frames (as SendKey's are): a person's press spans frames.
// The server's key repeat is turned off first.
bool HoldKeyUntil(const std::string& windowId, const std::string& key, const std::function<bool()>& reacted,
                  int timeoutMs);
// Gives the window the input focus (nobody else does without a window manager),
// then presses `keys` there; `delayMs` between keys.
bool FocusAndSendKeys(const std::string& windowId, const std::string& keys, int delayMs = 12);

}  // namespace vantor_test
