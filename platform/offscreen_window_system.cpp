#include "platform/offscreen_window_system.h"

#include <SDL.h>

#include <cstdlib>

namespace VantorGL::platform {

OffscreenWindowSystem::OffscreenWindowSystem() {
  const char* x = SDL_getenv("DISPLAY");
  const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
  // SDL 2.26 takes the driver from the environment only; its hint of the same
  // name is not read there.
  if ((!x || !*x) && (!wayland || !*wayland) && !SDL_getenv("SDL_VIDEODRIVER"))
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
}

void OffscreenWindowSystem::RequestClose() {
  if (newest_) queue_.push_back(Message{newest_, WM_CLOSE, 0, 0});
}

void* OffscreenWindowSystem::ModuleHandle() { return display_.ModuleHandle(); }

bool OffscreenWindowSystem::RegisterWindowClass(const char* name, uint32_t classStyle, WindowProcedureFn procedure) {
  return display_.RegisterWindowClass(name, classStyle, procedure);
}

bool OffscreenWindowSystem::UnregisterWindowClass(const char* name) { return display_.UnregisterWindowClass(name); }

// The virtual display has every mode; the real one is never switched.
bool OffscreenWindowSystem::ChangeDisplayMode(int width, int height, int) { return width > 0 && height > 0; }
void OffscreenWindowSystem::RestoreDisplayMode() {}

WindowHandle OffscreenWindowSystem::CreateWindow(const WindowRequest& request) {
  WindowRequest hidden = request;
  hidden.style &= ~WS_VISIBLE;  // never mapped: no window manager ever touches it
  WindowHandle window = display_.CreateWindow(hidden);
  if (window) {
    windows_.insert(window);
    newest_ = window;
  }
  return window;
}

bool OffscreenWindowSystem::DestroyWindow(WindowHandle window) {
  std::erase_if(queue_, [window](const Message& m) { return m.window == window; });
  windows_.erase(window);
  shown_.erase(window);
  if (newest_ == window) newest_ = nullptr;
  return display_.DestroyWindow(window);
}

void OffscreenWindowSystem::ShowWindow(WindowHandle window, int) {
  // What a window that nobody touches receives once: its size, then activation.
  if (!windows_.count(window) || shown_.count(window)) return;
  SDL_Window* sdl = static_cast<SDL_Window*>(display_.SdlWindow(window));
  if (!sdl) return;
  shown_.insert(window);
  int w = 0, h = 0;
  SDL_GL_GetDrawableSize(sdl, &w, &h);
  display_.DispatchMessage(Message{window, WM_SIZE, 0, static_cast<MessageData>(MakeParam(w, h))});
  if (windows_.count(window)) display_.DispatchMessage(Message{window, WM_ACTIVATE, MakeParam(WA_ACTIVE, 0), 0});
}

bool OffscreenWindowSystem::SetForegroundWindow(WindowHandle window) { return windows_.count(window) > 0; }
void OffscreenWindowSystem::SetFocus(WindowHandle) {}
void OffscreenWindowSystem::ShowCursor(bool) {}

DeviceContext OffscreenWindowSystem::GetDeviceContext(WindowHandle window) {
  return display_.GetDeviceContext(window);
}

bool OffscreenWindowSystem::ReleaseDeviceContext(WindowHandle window, DeviceContext dc) {
  return display_.ReleaseDeviceContext(window, dc);
}

int OffscreenWindowSystem::ChoosePixelFormat(DeviceContext dc, const PixelFormatRequest& request) {
  return display_.ChoosePixelFormat(dc, request);
}

bool OffscreenWindowSystem::SetPixelFormat(DeviceContext dc, int format, const PixelFormatRequest& request) {
  return display_.SetPixelFormat(dc, format, request);
}

bool OffscreenWindowSystem::SwapBuffers(DeviceContext dc) {
  if (beforeSwap) beforeSwap();
  return !swapBuffers || display_.SwapBuffers(dc);
}

RenderContext OffscreenWindowSystem::CreateContext(DeviceContext dc) { return display_.CreateContext(dc); }

std::unique_ptr<SharedContext> OffscreenWindowSystem::MakeSharedContext(DeviceContext dc, RenderContext rc) {
  return display_.MakeSharedContext(dc, rc);
}

bool OffscreenWindowSystem::MakeCurrent(DeviceContext dc, RenderContext rc) {
  const bool made = display_.MakeCurrent(dc, rc);
  // Frames come as fast as they are made; a hidden window must not wait for a
  // vertical blank of the real display.
  if (made && rc) display_.SetSwapInterval(0);
  return made;
}

bool OffscreenWindowSystem::DeleteContext(RenderContext rc) { return display_.DeleteContext(rc); }

// Whatever the application asks for, the answer of a display that has it;
// the interval itself stays 0 (see MakeCurrent).
bool OffscreenWindowSystem::SetSwapInterval(int) { return true; }

namespace {
// Without any display SDL falls back to its "offscreen" driver (EGL pbuffers),
// where the GLX questions have no X server to ask. Its EGL configurations do
// have multisampling, so the answer there is yes, and the sample count asked
// for is the format; SetPixelFormat then fails if EGL cannot give it.
bool OnOffscreenDriver() {
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver && SDL_strcmp(driver, "offscreen") == 0;
}
}  // namespace

bool OffscreenWindowSystem::HasMultisampleExtension() {
  return OnOffscreenDriver() || display_.HasMultisampleExtension();
}

bool OffscreenWindowSystem::HasMultisampleFormatChooser() {
  return OnOffscreenDriver() || display_.HasMultisampleFormatChooser();
}

bool OffscreenWindowSystem::ChooseMultisampleFormat(DeviceContext dc, const int* intAttributes,
                                                    const float* floatAttributes, unsigned maxFormats,
                                                    int* formats, unsigned* count) {
  if (!OnOffscreenDriver())
    return display_.ChooseMultisampleFormat(dc, intAttributes, floatAttributes, maxFormats, formats, count);
  *count = 0;
  for (const int* a = intAttributes; a[0] != 0; a += 2)
    if (a[0] == WGL_SAMPLES_ARB && a[1] > 0 && maxFormats > 0) {
      formats[0] = SdlWindowSystem::kMultisampleFormatBase + a[1];
      *count = 1;
    }
  return true;
}

bool OffscreenWindowSystem::PeekMessage(Message& message) {
  // The display's own events (focus, exposure, keys on some other window) are
  // not the hidden window's business: read and dropped.
  Message dropped;
  while (display_.PeekMessage(dropped)) {
  }
  if (queue_.empty() && !quitPosted_ && beforeFrame) beforeFrame();
  if (!queue_.empty()) {
    message = queue_.front();
    queue_.pop_front();
    return true;
  }
  if (quitPosted_) {
    quitPosted_ = false;
    message = Message{nullptr, WM_QUIT, static_cast<MessageParam>(quitCode_), 0};
    return true;
  }
  return false;
}

MessageResult OffscreenWindowSystem::DispatchMessage(const Message& message) {
  return display_.DispatchMessage(message);
}

MessageResult OffscreenWindowSystem::DefaultWindowProcedure(WindowHandle window, uint32_t message,
                                                            MessageParam wParam, MessageData lParam) {
  return display_.DefaultWindowProcedure(window, message, wParam, lParam);
}

void OffscreenWindowSystem::PostQuitMessage(int exitCode) {
  quitPosted_ = true;
  quitCode_ = exitCode;
}

void OffscreenWindowSystem::WaitForEvent(int) {}

void OffscreenWindowSystem::DisableScreenSaver() {}

}  // namespace VantorGL::platform
