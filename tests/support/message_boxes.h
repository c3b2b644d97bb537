#pragma once
// The program's message boxes as a viewer meets them under the test's X server:
// found by their caption, answered with a key once they hold the keyboard
// focus. The test servers offer no X core fonts (see xvfb.h), so every box is
// the GTK one on any machine.
#include <string>

namespace vantor_test {

// The X id of a window on screen named exactly `caption`, "" when there is none.
std::string FindBox(const std::string& caption);

// The name of the window the box is transient for (belongs to), "" when none.
std::string BoxOwnerName(const std::string& boxId);

// Waits until the box holds the keyboard focus (it takes it itself; no window
// manager runs here), then presses `key` through XTEST as a viewer would.
// False when the focus never came within timeoutMs.
bool AnswerBox(const std::string& boxId, const std::string& key, int timeoutMs = 10000);

}  // namespace vantor_test
