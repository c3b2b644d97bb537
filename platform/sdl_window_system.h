#pragma once
// SdlWindowSystem: IWindowSystem over SDL2, with GLX answering the multisample
// questions before any context exists. How the reference platform's operations
// map here:
//   - a window class is a name and a procedure; SDL video starts with the first
//     registration and stays up for the process (a kept context needs it);
//   - the full-screen mode is checked against SDL's closest display mode, which
//     must be exactly width x height: SDL itself does not fail a refused mode;
//   - an X window's visual is fixed when it is made, so the SDL window is made
//     when the pixel format is set (a format SDL cannot give fails there);
//   - pixel formats are 1 (the ordinary request) or 0x100 + samples (a
//     multisample format found through glXChooseFBConfig);
//   - contexts are legacy ones (no version or profile asked for);
//   - size and activation events that SDL queues while a window is made are
//     delivered to the procedure inside ShowWindow, so they land before
//     loading, where the reference platform sends them; a WM_SIZE is sent only
//     when the size really changed;
//   - the production's instance (DefaultWindowSystem) shows on a real display or
//     not at all: SDL's x11 driver (XWayland under Wayland) unless the user
//     names another in SDL_VIDEODRIVER, never a silent fallback such as the
//     offscreen one; when no display opens, one line on standard error names
//     it, and the shell's window-failure path follows;
//   - SDL events become the shell's messages: minimise/restore and focus as
//     WM_ACTIVATE (high word nonzero while minimised), closing (and SDL_QUIT,
//     e.g. on SIGTERM) as WM_CLOSE, keys as WM_KEYDOWN/WM_KEYUP with
//     virtual-key codes; keys without a code are dropped.
// Main thread only.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>

#include "platform/window_system.h"

union SDL_Event;
struct _XDisplay;  // Xlib's Display

namespace VantorGL::platform {

// A context sharing `sdlContext`'s objects (an SDL_GLContext current on this
// thread with `sdlWindow`, an SDL_Window), for another thread; `sdlContext` stays
// current here. Null where SDL cannot make one.
std::unique_ptr<SharedContext> ShareSdlContext(void* sdlWindow, void* sdlContext);

class SdlWindowSystem : public IWindowSystem {
 public:
  // `realDisplayOnly`: see above; other instances take whatever driver SDL
  // picks or their owner chose.
  explicit SdlWindowSystem(bool realDisplayOnly = false);
  ~SdlWindowSystem() override;
  SdlWindowSystem(const SdlWindowSystem&) = delete;
  SdlWindowSystem& operator=(const SdlWindowSystem&) = delete;

  void* ModuleHandle() override;
  bool RegisterWindowClass(const char* name, uint32_t classStyle, WindowProcedureFn procedure) override;
  bool UnregisterWindowClass(const char* name) override;
  bool ChangeDisplayMode(int width, int height, int bitsPerPixel) override;
  void RestoreDisplayMode() override;
  WindowHandle CreateWindow(const WindowRequest& request) override;
  bool DestroyWindow(WindowHandle window) override;
  void ShowWindow(WindowHandle window, int command) override;
  bool SetForegroundWindow(WindowHandle window) override;
  void SetFocus(WindowHandle window) override;
  void ShowCursor(bool show) override;
  DeviceContext GetDeviceContext(WindowHandle window) override;
  bool ReleaseDeviceContext(WindowHandle window, DeviceContext dc) override;
  int ChoosePixelFormat(DeviceContext dc, const PixelFormatRequest& request) override;
  bool SetPixelFormat(DeviceContext dc, int format, const PixelFormatRequest& request) override;
  bool SwapBuffers(DeviceContext dc) override;
  RenderContext CreateContext(DeviceContext dc) override;
  bool MakeCurrent(DeviceContext dc, RenderContext rc) override;
  bool DeleteContext(RenderContext rc) override;
  std::unique_ptr<SharedContext> MakeSharedContext(DeviceContext dc, RenderContext rc) override;
  bool SetSwapInterval(int interval) override;
  bool HasMultisampleExtension() override;
  bool HasMultisampleFormatChooser() override;
  bool ChooseMultisampleFormat(DeviceContext dc, const int* intAttributes, const float* floatAttributes,
                               unsigned maxFormats, int* formats, unsigned* count) override;
  bool PeekMessage(Message& message) override;
  MessageResult DispatchMessage(const Message& message) override;
  MessageResult DefaultWindowProcedure(WindowHandle window, uint32_t message, MessageParam wParam,
                                       MessageData lParam) override;
  void PostQuitMessage(int exitCode) override;
  void WaitForEvent(int timeoutMs) override;
  void DisableScreenSaver() override;

  // The SDL window behind a handle (void* to SDL_Window), for tools that need it.
  void* SdlWindow(WindowHandle window) const;

  static constexpr int kOrdinaryFormat = 1;
  static constexpr int kMultisampleFormatBase = 0x100;

 private:
  struct Window;
  bool EnsureVideo();
  Window* Find(const void* handle) const;
  Window* FindBySdlId(uint32_t id) const;
  // Turns one SDL event into messages; `send` delivers window-state messages
  // to the procedure at once instead of queueing them.
  void Translate(const SDL_Event& event, bool send);
  void Deliver(Window& window, uint32_t message, MessageParam wParam, MessageData lParam, bool send);
  // A connection of our own to SDL's X display, for the questions asked outside
  // SDL (the window manager, GLX before SDL has a window); opened on first use
  // and kept, since each new connection sets GLX up again. Null without one.
  ::_XDisplay* XDisplay();
  // The display for the GLX questions: SDL's, once it has a window there.
  ::_XDisplay* GlxDisplay();

  bool realDisplayOnly_ = false;
  bool videoStarted_ = false;
  bool glLibraryHeld_ = false;  // our own reference to SDL's GL library
  bool videoFailureTold_ = false;
  std::map<std::string, WindowProcedureFn> classes_;
  std::map<uintptr_t, std::unique_ptr<Window>> windows_;
  uintptr_t nextHandle_ = 1;
  bool modeSet_ = false;
  int modeWidth_ = 0;
  int modeHeight_ = 0;
  std::deque<Message> queue_;
  bool quitPosted_ = false;
  int quitCode_ = 0;
  ::_XDisplay* xDisplay_ = nullptr;
  bool xTried_ = false;
};

}  // namespace VantorGL::platform
