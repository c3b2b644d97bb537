#include "platform/live_window_system.h"

#include <SDL.h>

namespace VantorGL::platform {

void* LiveWindowSystem::ModuleHandle() { return display_.ModuleHandle(); }

bool LiveWindowSystem::RegisterWindowClass(const char* name, uint32_t classStyle, WindowProcedureFn procedure) {
  return display_.RegisterWindowClass(name, classStyle, procedure);
}

bool LiveWindowSystem::UnregisterWindowClass(const char* name) { return display_.UnregisterWindowClass(name); }

// Full screen is the desktop's mode (see SetPixelFormat): the display never switches.
bool LiveWindowSystem::ChangeDisplayMode(int width, int height, int) { return width > 0 && height > 0; }
void LiveWindowSystem::RestoreDisplayMode() {}

WindowHandle LiveWindowSystem::CreateWindow(const WindowRequest& request) {
  WindowRequest r = request;
  const bool popup = (r.style & WS_POPUP) != 0;
  if (!popup) {
    // The application takes its size from the window, so after full screen it
    // would ask for the desktop's size here.
    if (windowedWidth_ == 0) {
      windowedWidth_ = r.width;
      windowedHeight_ = r.height;
    }
    r.width = windowedWidth_;
    r.height = windowedHeight_;
  }
  WindowHandle window = display_.CreateWindow(r);
  if (window && popup) fullscreen_.insert(window);
  return window;
}

bool LiveWindowSystem::DestroyWindow(WindowHandle window) {
  fullscreen_.erase(window);
  return display_.DestroyWindow(window);
}

void LiveWindowSystem::ShowWindow(WindowHandle window, int command) { display_.ShowWindow(window, command); }

bool LiveWindowSystem::SetForegroundWindow(WindowHandle window) { return display_.SetForegroundWindow(window); }

void LiveWindowSystem::SetFocus(WindowHandle window) { display_.SetFocus(window); }

void LiveWindowSystem::ShowCursor(bool show) { display_.ShowCursor(show); }

DeviceContext LiveWindowSystem::GetDeviceContext(WindowHandle window) { return display_.GetDeviceContext(window); }

bool LiveWindowSystem::ReleaseDeviceContext(WindowHandle window, DeviceContext dc) {
  return display_.ReleaseDeviceContext(window, dc);
}

int LiveWindowSystem::ChoosePixelFormat(DeviceContext dc, const PixelFormatRequest& request) {
  return display_.ChoosePixelFormat(dc, request);
}

bool LiveWindowSystem::SetPixelFormat(DeviceContext dc, int format, const PixelFormatRequest& request) {
  const bool made = display_.SetPixelFormat(dc, format, request);
  // The SDL window exists from here on; a full-screen one covers the desktop
  // at its own size (its WM_SIZE reaches the application in ShowWindow).
  if (made && fullscreen_.count(dc))
    if (auto* sdl = static_cast<SDL_Window*>(display_.SdlWindow(dc)))
      SDL_SetWindowFullscreen(sdl, SDL_WINDOW_FULLSCREEN_DESKTOP);
  return made;
}

bool LiveWindowSystem::SwapBuffers(DeviceContext dc) {
  if (beforeSwap) beforeSwap();
  return display_.SwapBuffers(dc);
}

RenderContext LiveWindowSystem::CreateContext(DeviceContext dc) { return display_.CreateContext(dc); }

std::unique_ptr<SharedContext> LiveWindowSystem::MakeSharedContext(DeviceContext dc, RenderContext rc) {
  return display_.MakeSharedContext(dc, rc);
}

bool LiveWindowSystem::MakeCurrent(DeviceContext dc, RenderContext rc) { return display_.MakeCurrent(dc, rc); }

bool LiveWindowSystem::DeleteContext(RenderContext rc) { return display_.DeleteContext(rc); }

bool LiveWindowSystem::SetSwapInterval(int interval) { return display_.SetSwapInterval(interval); }

bool LiveWindowSystem::HasMultisampleExtension() { return display_.HasMultisampleExtension(); }

bool LiveWindowSystem::HasMultisampleFormatChooser() { return display_.HasMultisampleFormatChooser(); }

bool LiveWindowSystem::ChooseMultisampleFormat(DeviceContext dc, const int* intAttributes,
                                               const float* floatAttributes, unsigned maxFormats, int* formats,
                                               unsigned* count) {
  return display_.ChooseMultisampleFormat(dc, intAttributes, floatAttributes, maxFormats, formats, count);
}

bool LiveWindowSystem::PeekMessage(Message& message) {
  Message m;
  while (display_.PeekMessage(m)) {
    if ((m.message == WM_KEYDOWN || m.message == WM_KEYUP) && keyFilter && keyFilter(m)) continue;
    if (m.message == WM_KEYDOWN) downSinceFrame_.insert(m.wParam);
    if (m.message == WM_KEYUP && downSinceFrame_.count(m.wParam)) {
      releases_.push_back(m);
      continue;
    }
    message = m;
    return true;
  }
  if (!releases_.empty() && downSinceFrame_.empty()) {
    // A frame has been made since these keys went down.
    message = releases_.front();
    releases_.pop_front();
    return true;
  }
  // The frame loop makes a frame now.
  downSinceFrame_.clear();
  if (beforeFrame) beforeFrame();
  return false;
}

MessageResult LiveWindowSystem::DispatchMessage(const Message& message) { return display_.DispatchMessage(message); }

MessageResult LiveWindowSystem::DefaultWindowProcedure(WindowHandle window, uint32_t message, MessageParam wParam,
                                                       MessageData lParam) {
  return display_.DefaultWindowProcedure(window, message, wParam, lParam);
}

void LiveWindowSystem::PostQuitMessage(int exitCode) { display_.PostQuitMessage(exitCode); }

void LiveWindowSystem::WaitForEvent(int timeoutMs) { display_.WaitForEvent(timeoutMs); }

void LiveWindowSystem::DisableScreenSaver() { display_.DisableScreenSaver(); }

}  // namespace VantorGL::platform
