#pragma once
// IWindowSystem: everything the window shell needs from a window system, and
// nothing else. The shell's logic (orders, failure messages, the frame loop) is
// written once against this list; the platform supplies it:
//   - SdlWindowSystem (platform/sdl_window_system.h): the real one, SDL2 + GLX;
//   - ScriptedWindowSystem (platform/scripted_window_system.h): a test double
//     that records every call and answers as a test tells it;
//   - OffscreenWindowSystem (platform/offscreen_window_system.h): hidden or
//     display-less windows for the capture program.
// The operations keep the reference platform's shape (a device context, pixel
// formats as indices, a message queue with a window procedure) so the shell's
// orders stay as designed; each implementation maps them onto its own system.
// Main thread only.
#include <cstdint>
#include <memory>

#include "shell/window_messages.h"

namespace VantorGL::platform {

using DeviceContext = void*;  // null means none
using RenderContext = void*;  // null means none

// Class styles.
constexpr uint32_t CS_VREDRAW = 0x0001;
constexpr uint32_t CS_HREDRAW = 0x0002;
constexpr uint32_t CS_OWNDC = 0x0020;
// Window styles.
constexpr uint32_t WS_POPUP = 0x80000000u;
constexpr uint32_t WS_VISIBLE = 0x10000000u;
constexpr uint32_t WS_CLIPSIBLINGS = 0x04000000u;
constexpr uint32_t WS_CLIPCHILDREN = 0x02000000u;
constexpr uint32_t WS_OVERLAPPEDWINDOW = 0x00CF0000u;
constexpr uint32_t WS_EX_WINDOWEDGE = 0x00000100u;
constexpr uint32_t WS_EX_APPWINDOW = 0x00040000u;
// Show commands.
constexpr int SW_SHOWNORMAL = 1;

// The ordinary pixel-format request. Counts not listed are 0.
constexpr uint32_t PFD_DOUBLEBUFFER = 0x01;
constexpr uint32_t PFD_DRAW_TO_WINDOW = 0x04;
constexpr uint32_t PFD_SUPPORT_OPENGL = 0x20;
constexpr uint8_t PFD_TYPE_RGBA = 0;
constexpr uint8_t PFD_MAIN_PLANE = 0;
struct PixelFormatRequest {
  uint16_t size = 40;
  uint16_t version = 1;
  uint32_t flags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  uint8_t pixelType = PFD_TYPE_RGBA;
  uint8_t colorBits = 0;
  uint8_t alphaBits = 0;
  uint8_t depthBits = 16;
  uint8_t stencilBits = 0;
  uint8_t layerType = PFD_MAIN_PLANE;
};

// Names of the multisample attribute list: (name, value) pairs closed by (0, 0).
constexpr int WGL_DRAW_TO_WINDOW_ARB = 0x2001;
constexpr int WGL_ACCELERATION_ARB = 0x2003;
constexpr int WGL_SUPPORT_OPENGL_ARB = 0x2010;
constexpr int WGL_DOUBLE_BUFFER_ARB = 0x2011;
constexpr int WGL_COLOR_BITS_ARB = 0x2014;
constexpr int WGL_ALPHA_BITS_ARB = 0x201B;
constexpr int WGL_DEPTH_BITS_ARB = 0x2022;
constexpr int WGL_STENCIL_BITS_ARB = 0x2023;
constexpr int WGL_FULL_ACCELERATION_ARB = 0x2027;
constexpr int WGL_SAMPLE_BUFFERS_ARB = 0x2041;
constexpr int WGL_SAMPLES_ARB = 0x2042;

struct WindowRequest {
  const char* className = "";
  const char* title = "";  // UTF-8
  uint32_t style = 0;
  uint32_t exStyle = 0;
  int x = 0, y = 0;
  int width = 0, height = 0;  // client size
};

// A second context sharing the objects (textures, buffers, programs) of one
// made by CreateContext, drawing into the same window, for one other thread:
// MakeCurrent there, and Release on that thread before it ends, whether
// MakeCurrent succeeded or not. It is deleted where it was made, current
// nowhere, before its window goes.
class SharedContext {
 public:
  virtual ~SharedContext() = default;
  // Current on the calling thread; false where it cannot be.
  virtual bool MakeCurrent() = 0;
  // No context current on the calling thread, and nothing the window system
  // keeps for that thread left behind.
  virtual void Release() = 0;
};

class IWindowSystem {
 public:
  virtual ~IWindowSystem() = default;

  // The program's module handle (owner of window classes).
  virtual void* ModuleHandle() = 0;
  // One class per name; its windows send every message to `procedure`.
  virtual bool RegisterWindowClass(const char* name, uint32_t classStyle, WindowProcedureFn procedure) = 0;
  virtual bool UnregisterWindowClass(const char* name) = 0;

  // Switches the display to width x height x bits for full screen. False when
  // the mode is refused. RestoreDisplayMode goes back to the desktop mode.
  virtual bool ChangeDisplayMode(int width, int height, int bitsPerPixel) = 0;
  virtual void RestoreDisplayMode() = 0;

  // Null on failure. The window may send messages to its class procedure from
  // inside CreateWindow and ShowWindow, as the reference platform does.
  virtual WindowHandle CreateWindow(const WindowRequest& request) = 0;
  virtual bool DestroyWindow(WindowHandle window) = 0;
  virtual void ShowWindow(WindowHandle window, int command) = 0;
  virtual bool SetForegroundWindow(WindowHandle window) = 0;
  virtual void SetFocus(WindowHandle window) = 0;
  virtual void ShowCursor(bool show) = 0;

  virtual DeviceContext GetDeviceContext(WindowHandle window) = 0;
  virtual bool ReleaseDeviceContext(WindowHandle window, DeviceContext dc) = 0;
  // 0 means no matching format.
  virtual int ChoosePixelFormat(DeviceContext dc, const PixelFormatRequest& request) = 0;
  virtual bool SetPixelFormat(DeviceContext dc, int format, const PixelFormatRequest& request) = 0;
  virtual bool SwapBuffers(DeviceContext dc) = 0;

  // A legacy rendering context (no version or profile asked for).
  virtual RenderContext CreateContext(DeviceContext dc) = 0;
  // MakeCurrent(nullptr, nullptr) makes no context current.
  virtual bool MakeCurrent(DeviceContext dc, RenderContext rc) = 0;
  virtual bool DeleteContext(RenderContext rc) = 0;
  // A context sharing `rc`'s objects, for another thread; `rc` is current on
  // `dc` here before and after. Null where the system cannot give one.
  virtual std::unique_ptr<SharedContext> MakeSharedContext(DeviceContext /*dc*/, RenderContext /*rc*/) {
    return nullptr;
  }
  // Asks for a swap interval on the current context; false where not offered.
  virtual bool SetSwapInterval(int interval) = 0;

  // The multisample questions, answerable before any context exists.
  virtual bool HasMultisampleExtension() = 0;
  virtual bool HasMultisampleFormatChooser() = 0;
  // Formats matching the attribute lists (see WGL_* above); true when the call
  // itself succeeded; `count` is how many were written (at most maxFormats).
  virtual bool ChooseMultisampleFormat(DeviceContext dc, const int* intAttributes, const float* floatAttributes,
                                       unsigned maxFormats, int* formats, unsigned* count) = 0;

  // Removes the next waiting message; false when none waits. WM_QUIT comes
  // back here once PostQuitMessage was called.
  virtual bool PeekMessage(Message& message) = 0;
  // Hands the message to its window's class procedure.
  virtual MessageResult DispatchMessage(const Message& message) = 0;
  virtual MessageResult DefaultWindowProcedure(WindowHandle window, uint32_t message, MessageParam wParam,
                                               MessageData lParam) = 0;
  virtual void PostQuitMessage(int exitCode) = 0;
  // Sleeps until a message may be waiting, at most timeoutMs.
  virtual void WaitForEvent(int timeoutMs) = 0;

  virtual void DisableScreenSaver() = 0;
};

// The process's real window system (SDL2). Constructed on first call; touches
// no display until the shell uses it.
IWindowSystem& DefaultWindowSystem();

}  // namespace VantorGL::platform
