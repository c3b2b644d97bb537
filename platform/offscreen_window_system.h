#pragma once
// OffscreenWindowSystem: a virtual display for programs that render the show
// without showing it (the capture program). Behind the same IWindowSystem the
// shell uses, it
//   - makes every window hidden, at exactly the client size asked for, with a
//     real GL context (SDL2 through an SdlWindowSystem of its own), so pictures
//     can be read back from its back buffer;
//   - accepts every display mode (nothing on the real display changes), shows
//     no cursor change, no raise, no focus grab, no screen-saver change;
//   - answers as an undisturbed window would: the first ShowWindow of a window
//     sends its WM_SIZE and WM_ACTIVATE, and nothing else ever arrives unless
//     RequestClose is called (the display's own events are read and dropped);
//   - never waits for vertical sync;
//   - works without any display too, on SDL's "offscreen" driver (EGL), where
//     it answers the multisample questions itself;
//   - tells its owner when the frame loop is about to make a frame (the message
//     queue was found empty) and when a frame is finished (just before the
//     buffers swap, the picture still in the back buffer);
//   - on request leaves the swap out, since nobody sees a hidden window.
// Main thread only.
#include <deque>
#include <functional>
#include <set>

#include "platform/sdl_window_system.h"
#include "platform/window_system.h"

namespace VantorGL::platform {

class OffscreenWindowSystem : public IWindowSystem {
 public:
  // With no X or Wayland display named in the environment (and no driver
  // chosen there), picks SDL's "offscreen" driver rather than letting SDL try
  // each display system in turn.
  OffscreenWindowSystem();
  ~OffscreenWindowSystem() override = default;
  OffscreenWindowSystem(const OffscreenWindowSystem&) = delete;
  OffscreenWindowSystem& operator=(const OffscreenWindowSystem&) = delete;

  // Runs each time PeekMessage finds no message: the frame loop makes a frame
  // next, unless the hook calls RequestClose.
  std::function<void()> beforeFrame;
  // Runs inside SwapBuffers before the swap, with the context current.
  std::function<void()> beforeSwap;
  // False: SwapBuffers runs beforeSwap and swaps nothing, so the frame stays in
  // the back buffer and no time goes into showing it (resolving its samples,
  // sending it to the X server). Default: true.
  bool swapBuffers = true;

  // Queues WM_CLOSE for the newest window, as a click on its close button would.
  void RequestClose();

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
  SdlWindowSystem display_;
  std::set<WindowHandle> windows_;
  std::set<WindowHandle> shown_;
  WindowHandle newest_ = nullptr;
  std::deque<Message> queue_;
  bool quitPosted_ = false;
  int quitCode_ = 0;
};

}  // namespace VantorGL::platform
