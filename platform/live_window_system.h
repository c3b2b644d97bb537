#pragma once
// LiveWindowSystem: the ordinary SDL window system (an SdlWindowSystem of its
// own does the work, on a real display only, as the production's) for programs
// that show the production live beside it and steer it while it plays (the
// preview). Behind the same IWindowSystem the shell uses, it adds
//   - a key filter: key messages go to the owner first, and those it takes
//     never reach the application;
//   - every key press lasts at least one frame: a key released before the
//     frame loop made a frame since it went down is released after that frame
//     (the application looks at its key array once per frame, and a quick
//     press and release would otherwise both be handled before it looks);
//   - a hook when the frame loop is about to make a frame (the message queue
//     was found empty) and one just before each swap, with the frame still in
//     the back buffer and the context current;
//   - full screen on the desktop's own mode: every mode counts as offered and a
//     full-screen window covers the desktop at its size, so switching never
//     changes the display's mode; a windowed window always comes back at the
//     size of the first one.
// Main thread only.
#include <deque>
#include <functional>
#include <set>

#include "platform/sdl_window_system.h"
#include "platform/window_system.h"

namespace VantorGL::platform {

class LiveWindowSystem : public IWindowSystem {
 public:
  LiveWindowSystem() = default;
  ~LiveWindowSystem() override = default;
  LiveWindowSystem(const LiveWindowSystem&) = delete;
  LiveWindowSystem& operator=(const LiveWindowSystem&) = delete;

  // Sees every WM_KEYDOWN and WM_KEYUP first; true keeps it from the application.
  std::function<bool(const Message&)> keyFilter;
  // Runs each time PeekMessage finds no message: the frame loop makes a frame next.
  std::function<void()> beforeFrame;
  // Runs inside SwapBuffers before the swap.
  std::function<void()> beforeSwap;

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

 private:
  SdlWindowSystem display_{true};
  std::set<MessageParam> downSinceFrame_;  // keys pressed since the last frame
  std::deque<Message> releases_;           // releases held back until a frame was made
  std::set<WindowHandle> fullscreen_;  // windows made as full-screen popups
  int windowedWidth_ = 0;              // the first windowed window's client size
  int windowedHeight_ = 0;
};

}  // namespace VantorGL::platform
