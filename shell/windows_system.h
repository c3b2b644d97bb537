#pragma once
// cWindowsSystem: the window, the rendering context and the frame loop. An
// application derives from it, fills in the virtual operations and runs it with
// RunApplication. One thread: messages, loading, updating and drawing all run on
// the caller's thread with the one context current.
//
// The window-system operations come from a platform::IWindowSystem given at
// construction (default: the real SDL one), so tests run the same logic against
// a scripted double and a capture program against a virtual window.
//
// Frame loop: all waiting messages are handled, then, unless minimised, one
// frame: Update, cTimer::Tick, Draw, swap. Escape, closing the window, Draw
// returning false, or a failed re-open after F1 end it.
#include <cstdint>

#include "platform/window_system.h"
#include "shell/setup_result.h"
#include "shell/window_messages.h"

namespace VantorGL {

class cWindowsSystem {
 public:
  // `windowSystem` is not owned and must outlive this object; null means the
  // process's real window system.
  explicit cWindowsSystem(platform::IWindowSystem* windowSystem = nullptr);
  cWindowsSystem(const cWindowsSystem&) = delete;
  cWindowsSystem& operator=(const cWindowsSystem&) = delete;

  // Slots, in order.
  // Once, after the setup dialog and before the window opens: work that needs no
  // window or context may start here.
  virtual void OnStart() {}
  virtual void OnBeforeRelease() {}
  virtual ~cWindowsSystem();
  // Default GL state; run once after loading. Its result is ignored.
  virtual bool Initialise();
  // Repeated, with a swap after each call, until it clears `loading`.
  virtual bool LoadStep();
  virtual bool Update();
  // False ends the frame loop (after this frame's swap).
  virtual bool Draw();
  // Never called by the shell.
  virtual bool IsFinished();
  // 1 means quit before any window opens. Lives in windows_system_setup.cpp.
  virtual int32_t RunSetupDialog();
  virtual int32_t RunMessageLoop();
  virtual MessageResult HandleMessage(WindowHandle window, uint32_t message, MessageParam wParam,
                                      MessageData lParam);

  bool OpenWindow();
  void CloseWindow();
  // Viewport and the default projection (45 degrees, width/height, near, far).
  void ResizeViewport();
  bool ChooseMultisampleFormat(const platform::PixelFormatRequest& request);

  platform::IWindowSystem& windowSystem() { return *windowSystem_; }
  void SetWindowSystem(platform::IWindowSystem* windowSystem);

  platform::DeviceContext deviceContext = nullptr;
  platform::RenderContext renderContext = nullptr;
  WindowHandle window = nullptr;
  void* instance = nullptr;             // set when the window opens
  bool keys[256] = {};                  // true while that virtual key is down
  // True once the key went down, until the frame loop has looked: a key let go
  // again before the next frame still counts.
  bool pressed[256] = {};
  bool active = true;                   // false while minimised
  bool fullscreen = true;
  float farPlane = 10000.0f;
  float nearPlane = 1.0f;
  int32_t width = 800;                  // client size
  int32_t height = 600;
  int32_t bitsPerPixel = 32;
  const char* title = "Do a object.SetTitle(char *name)";  // UTF-8, not owned
  bool showSetupDialog = true;
  bool loading = true;
  bool multisampleSupported = false;
  int32_t multisampleFormat = 0;
  bool antiAliasing = true;
  int32_t samples = 2;
  SetupResult setupResult{};

 private:
  void ToggleFullscreen();

  platform::IWindowSystem* windowSystem_;
  // F1 re-opens the window; the context (and every texture, list, shader and
  // target made in it) is carried over to the new window instead of deleted.
  platform::RenderContext keptContext_ = nullptr;
  bool keepContextOnClose_ = false;
};

// Every window of class "OpenGL" sends its messages here; they go to
// g_application->HandleMessage. The entry point sets the pointer first.
extern cWindowsSystem* g_application;
MessageResult WindowProcedure(WindowHandle window, uint32_t message, MessageParam wParam, MessageData lParam);

// Setup dialog, window, loading, Initialise, frame loop, close. Returns 0.
int RunApplication(cWindowsSystem& application);
// The same for g_application.
int RunApplication();

}  // namespace VantorGL
