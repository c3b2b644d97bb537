#pragma once
// Message boxes, answered by the viewer, or by a test that installs its own
// handler. Styles and answers use the reference platform's values so the callers
// keep their logic as written.
//
// Every box's caption and text go to standard error as one line first, whatever
// follows, so a viewer at a terminal (or a log collector) sees why the program
// stopped. Then the box: SDL's own where it can show one; where it cannot (an X
// server without core fonts, no zenity) the same caption, text, icon and buttons
// through GTK 3. While the program has a window on screen (the one whose GL
// context is current), the box belongs to it: transient for it, above it, and it
// takes the keyboard focus itself, which matters where no window manager runs.
// Main thread only.
#include <functional>
#include <string>

namespace VantorGL::platform {

// Buttons.
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_YESNO = 0x4;
// Icons.
constexpr unsigned MB_ICONSTOP = 0x10;  // also "hand" / error
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
// Answers.
constexpr int IDOK = 1;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Shows the box and waits for the answer. Return answers Yes (or OK), Escape No
// (or OK). When no box can be shown at all (no display), OK boxes answer IDOK and
// Yes/No boxes IDNO.
int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style);

using MessageBoxHandler = std::function<int(const std::string& text, const std::string& caption, unsigned style)>;
// Replaces the real boxes (tests); an empty handler restores them. The line on
// standard error is still written.
void SetMessageBoxHandler(MessageBoxHandler handler);

}  // namespace VantorGL::platform
