#include "platform/x11_requests.h"

#include <X11/Xlib.h>

namespace VantorGL::platform {
namespace {
bool g_badWindow = false;
int NoteError(Display*, XErrorEvent*) {
  g_badWindow = true;
  return 0;
}
}  // namespace

bool RequestWindowClose(unsigned long windowId) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  g_badWindow = false;
  auto previous = XSetErrorHandler(NoteError);

  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = windowId;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, windowId, False, NoEventMask, &event);
  XSync(display, False);

  XSetErrorHandler(previous);
  XCloseDisplay(display);
  return !g_badWindow;
}

}  // namespace VantorGL::platform
