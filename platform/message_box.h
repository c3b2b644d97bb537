#pragma once
// Message boxes with no owner window, answered by the viewer, or by a test that
// installs its own handler. Styles and answers use the reference platform's values
// so the callers keep their logic as written.
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

// Shows the box and waits for the answer. Without any display the box cannot be
// shown: OK boxes answer IDOK, Yes/No boxes IDNO.
int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style);

using MessageBoxHandler = std::function<int(const std::string& text, const std::string& caption, unsigned style)>;
// Replaces the real boxes (tests); an empty handler restores them.
void SetMessageBoxHandler(MessageBoxHandler handler);

}  // namespace VantorGL::platform
