#include "platform/message_box.h"

#include <SDL.h>

namespace VantorGL::platform {
namespace {
MessageBoxHandler& Handler() {
  static MessageBoxHandler handler;
  return handler;
}
}  // namespace

void SetMessageBoxHandler(MessageBoxHandler handler) { Handler() = std::move(handler); }

int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style) {
  if (Handler()) return Handler()(text, caption, style);

  const bool yesNo = (style & 0xF) == MB_YESNO;
  Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
  if ((style & 0xF0) == MB_ICONSTOP) flags = SDL_MESSAGEBOX_ERROR;
  else if ((style & 0xF0) == MB_ICONEXCLAMATION) flags = SDL_MESSAGEBOX_WARNING;

  SDL_MessageBoxButtonData buttons[2];
  int count = 0;
  if (yesNo) {
    // SDL lists buttons right to left on X11; Return answers Yes, Escape No.
    buttons[count++] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"};
    buttons[count++] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"};
  } else {
    buttons[count++] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT,
                        IDOK, "OK"};
  }
  const SDL_MessageBoxData data{flags, nullptr, caption.c_str(), text.c_str(), count, buttons, nullptr};
  int answer = -1;
  if (SDL_ShowMessageBox(&data, &answer) != 0 || answer < 0) return yesNo ? IDNO : IDOK;
  return answer;
}

}  // namespace VantorGL::platform
