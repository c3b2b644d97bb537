#pragma once
// ScriptedWindowSystem: a window system that exists only in memory. It records
// every call, in order, as a short text ("CreateWindow 1280x720 popup"), and
// answers as the test sets in `script`: refused modes, missing contexts, no
// multisample support, a window creation that fails from the Nth call on...
// Messages are queued by the test (Post) or by hooks that run at swaps and
// waits, and reach the class procedure through DispatchMessage, as on a real
// window system. No display and no GL are involved.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/window_system.h"

namespace VantorGL::platform {

class ScriptedWindowSystem : public IWindowSystem {
 public:
  struct Script {
    bool registerFails = false;
    bool modeRefused = false;
    bool createWindowFails = false;
    int createWindowFailsFromCall = 0;  // 1-based; 0: never
    bool noDeviceContext = false;
    bool noPixelFormat = false;
    bool setPixelFormatFails = false;
    bool noContext = false;
    bool makeCurrentFails = false;         // binding a context
    bool releaseCurrentFails = false;      // MakeCurrent(nullptr, nullptr)
    bool deleteContextFails = false;
    bool releaseDeviceContextFails = false;
    bool destroyWindowFails = false;
    bool unregisterFails = false;
    bool noMultisampleExtension = false;
    bool noMultisampleChooser = false;
    bool noMultisampleFormat = false;      // no format with the asked sample count
    int multisampleFormat = 9;             // the format the chooser reports
    int ordinaryFormat = 1;
    // Messages sent from inside CreateWindow, as the reference platform does.
    bool sizeOnCreate = true;
    int createdWidth = 0, createdHeight = 0;  // the size the window gets; 0: the size asked for
  };

  Script script;
  std::vector<std::string> calls;

  // Run after every SwapBuffers / WaitForEvent (a test queues messages there).
  std::function<void()> onSwap;
  std::function<void(int timeoutMs)> onWait;

  // Queues a message for the current window.
  void Post(uint32_t message, MessageParam wParam = 0, MessageData lParam = 0);
  void PostKey(uint32_t virtualKey, bool down);

  // What the double knows.
  int swaps = 0;
  int windowsCreated = 0;
  int contextsCreated = 0;
  int liveContexts = 0;
  RenderContext currentContext = nullptr;
  int lastPixelFormat = 0;
  std::vector<int> lastMultisampleAttributes;
  bool quitPosted = false;

  // Index of the first call that starts with `prefix` at or after `from`; -1 if none.
  int Find(const std::string& prefix, int from = 0) const;
  // How many calls start with `prefix`.
  int Count(const std::string& prefix) const;

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
  WindowProcedureFn procedure_ = nullptr;
  WindowHandle window_ = nullptr;
  int nextHandle_ = 0x100;
  int quitCode_ = 0;
  std::deque<Message> queue_;
};

}  // namespace VantorGL::platform
