#include "shell/windows_system.h"

#include <epoxy/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "platform/message_box.h"
#include "shell/debug_system.h"
#include "shell/timer.h"

namespace VantorGL {

cWindowsSystem* g_application = nullptr;

namespace {
constexpr const char* kClassName = "OpenGL";
constexpr const char* kSource = "cWindowsSystem";

void Error(const char* text) {
  platform::ShowMessageBox(text, "ERROR", platform::MB_OK | platform::MB_ICONEXCLAMATION);
}
void ShutdownError(const char* text) {
  platform::ShowMessageBox(text, "SHUTDOWN ERROR", platform::MB_OK | platform::MB_ICONINFORMATION);
}

// Built on the first successful window creation and reused unchanged afterwards,
// so a later change of bitsPerPixel does not reach the ordinary format.
platform::PixelFormatRequest& PixelRequest(int32_t bitsPerPixel) {
  static platform::PixelFormatRequest request;
  static bool built = false;
  if (!built) {
    request = platform::PixelFormatRequest{};
    request.colorBits = static_cast<uint8_t>(bitsPerPixel);
    built = true;
  }
  return request;
}
}  // namespace

MessageResult WindowProcedure(WindowHandle window, uint32_t message, MessageParam wParam, MessageData lParam) {
  if (!g_application) return 0;
  return g_application->HandleMessage(window, message, wParam, lParam);
}

cWindowsSystem::cWindowsSystem(platform::IWindowSystem* windowSystem)
    : windowSystem_(windowSystem ? windowSystem : &platform::DefaultWindowSystem()) {}

cWindowsSystem::~cWindowsSystem() = default;

void cWindowsSystem::SetWindowSystem(platform::IWindowSystem* windowSystem) {
  windowSystem_ = windowSystem ? windowSystem : &platform::DefaultWindowSystem();
}

bool cWindowsSystem::Initialise() {
  glShadeModel(GL_SMOOTH);
  glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
  glClearDepth(1.0);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  return true;
}

bool cWindowsSystem::LoadStep() { return true; }
bool cWindowsSystem::Update() { return true; }

bool cWindowsSystem::Draw() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  return true;
}

bool cWindowsSystem::IsFinished() { return false; }

bool cWindowsSystem::OpenWindow() {
  platform::IWindowSystem& ws = *windowSystem_;
  const int clientWidth = width;
  const int clientHeight = height;
  instance = ws.ModuleHandle();

  if (!ws.RegisterWindowClass(kClassName, platform::CS_HREDRAW | platform::CS_VREDRAW | platform::CS_OWNDC,
                              WindowProcedure)) {
    Error("Failed To Register The Window Class.");
    return false;
  }
  ws.DisableScreenSaver();

  if (fullscreen && !ws.ChangeDisplayMode(width, height, bitsPerPixel)) {
    const int answer = platform::ShowMessageBox(
        "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?", "Kiro GL",
        platform::MB_YESNO | platform::MB_ICONEXCLAMATION);
    if (answer == platform::IDYES) {
      fullscreen = false;
    } else {
      platform::ShowMessageBox("Program Will Now Close.", "ERROR", platform::MB_OK | platform::MB_ICONSTOP);
      return false;
    }
  }

  uint32_t style;
  uint32_t exStyle;
  if (fullscreen) {
    exStyle = platform::WS_EX_APPWINDOW;
    style = platform::WS_POPUP;
    ws.ShowCursor(false);
  } else {
    exStyle = platform::WS_EX_APPWINDOW | platform::WS_EX_WINDOWEDGE;
    style = platform::WS_OVERLAPPEDWINDOW;
  }

  // The window systems here size a window by its client area, so the client
  // rectangle is passed as it is instead of being grown for the frame.
  platform::WindowRequest request;
  request.className = kClassName;
  request.title = title;
  request.style = style | platform::WS_CLIPSIBLINGS | platform::WS_CLIPCHILDREN | platform::WS_VISIBLE;
  request.exStyle = exStyle;
  request.width = clientWidth;
  request.height = clientHeight;
  window = ws.CreateWindow(request);
  if (!window) {
    CloseWindow();
    Error("Window Creation Error.");
    return false;
  }

  const platform::PixelFormatRequest& pixelRequest = PixelRequest(bitsPerPixel);

  deviceContext = ws.GetDeviceContext(window);
  if (!deviceContext) {
    CloseWindow();
    Error("Can't Create A GL Device Context.");
    return false;
  }

  int format = multisampleSupported ? multisampleFormat : ws.ChoosePixelFormat(deviceContext, pixelRequest);
  if (format == 0) {
    CloseWindow();
    Error("Can't Create A multisample GL Device Context.");
    return false;
  }

  if (!ws.SetPixelFormat(deviceContext, format, pixelRequest)) {
    CloseWindow();
    Error("Can't Set The PixelFormat.");
    return false;
  }

  if (keptContext_) {
    // After F1: the same pixel format, so the old context binds to the new window.
    platform::RenderContext kept = keptContext_;
    keptContext_ = nullptr;
    if (ws.MakeCurrent(deviceContext, kept)) {
      renderContext = kept;
    } else {
      ws.DeleteContext(kept);
      cDebugSystem::Instance().Log(kSource, "the rendering context could not be carried over; a new one is made");
    }
  }
  if (!renderContext) {
    renderContext = ws.CreateContext(deviceContext);
    if (!renderContext) {
      CloseWindow();
      Error("Can't Create A GL Rendering Context.");
      return false;
    }
    if (!ws.MakeCurrent(deviceContext, renderContext)) {
      CloseWindow();
      Error("Can't Activate The GL Rendering Context.");
      return false;
    }
  }
  ws.SetSwapInterval(1);

  if (!multisampleSupported && antiAliasing) {
    if (ChooseMultisampleFormat(pixelRequest)) {
      CloseWindow();
      return OpenWindow();
    }
  }

  ws.ShowWindow(window, platform::SW_SHOWNORMAL);
  ws.SetForegroundWindow(window);
  ws.SetFocus(window);
  ResizeViewport();

  std::string opened = "window open: ";
  opened += std::to_string(width);
  opened += "x";
  opened += std::to_string(height);
  opened += fullscreen ? ", full screen" : ", windowed";
  if (multisampleSupported) {
    // The count asked for, beside the format found: a driver may round it up.
    opened += ", multisample format ";
    opened += std::to_string(multisampleFormat);
    opened += " for ";
    opened += std::to_string(samples);
    opened += " samples";
  }
  cDebugSystem::Instance().Log(kSource, opened);
  return true;
}

bool cWindowsSystem::ChooseMultisampleFormat(const platform::PixelFormatRequest& /*request*/) {
  platform::IWindowSystem& ws = *windowSystem_;
  if (!ws.HasMultisampleExtension()) {
    multisampleSupported = false;
    Error("Multisample is not supported!");
    return false;
  }
  if (!ws.HasMultisampleFormatChooser()) {
    multisampleSupported = false;
    Error("if (!wglChoosePixelFormatARB)");
    return false;
  }

  const int intAttributes[] = {
      platform::WGL_DRAW_TO_WINDOW_ARB, 1,
      platform::WGL_SUPPORT_OPENGL_ARB, 1,
      platform::WGL_ACCELERATION_ARB,   platform::WGL_FULL_ACCELERATION_ARB,
      platform::WGL_COLOR_BITS_ARB,     24,
      platform::WGL_ALPHA_BITS_ARB,     8,
      platform::WGL_DEPTH_BITS_ARB,     16,
      platform::WGL_STENCIL_BITS_ARB,   0,
      platform::WGL_DOUBLE_BUFFER_ARB,  1,
      platform::WGL_SAMPLE_BUFFERS_ARB, 1,
      platform::WGL_SAMPLES_ARB,        samples,
      0,                                0};
  const float floatAttributes[] = {0.0f, 0.0f};
  int format = 0;
  unsigned count = 0;
  if (ws.ChooseMultisampleFormat(deviceContext, intAttributes, floatAttributes, 1, &format, &count) && count >= 1) {
    multisampleFormat = format;
    multisampleSupported = true;
    return true;
  }
  Error("AA Amount not supported, try lowering it or turn it off");
  return false;
}

void cWindowsSystem::CloseWindow() {
  platform::IWindowSystem& ws = *windowSystem_;
  OnBeforeRelease();

  if (fullscreen) {
    ws.RestoreDisplayMode();
    ws.ShowCursor(true);
  }

  if (renderContext) {
    if (!ws.MakeCurrent(nullptr, nullptr)) ShutdownError("Release Of DC And RC Failed.");
    if (keepContextOnClose_) {
      keptContext_ = renderContext;
    } else if (!ws.DeleteContext(renderContext)) {
      ShutdownError("Release Rendering Context Failed.");
    }
    renderContext = nullptr;
  }
  // A context carried over from F1 that no window took (a failed re-open).
  if (keptContext_ && !keepContextOnClose_) {
    ws.DeleteContext(keptContext_);
    keptContext_ = nullptr;
  }

  if (deviceContext) {
    if (!ws.ReleaseDeviceContext(window, deviceContext)) ShutdownError("Release Device Context Failed.");
    deviceContext = nullptr;
  }

  if (window) {
    if (!ws.DestroyWindow(window)) ShutdownError("Could Not Release m_hWnd.");
    window = nullptr;
  }

  if (!ws.UnregisterWindowClass(kClassName)) ShutdownError("Could Not Unregister Class.");
}

void cWindowsSystem::ResizeViewport() {
  if (height == 0) height = 1;
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, static_cast<double>(width) / static_cast<double>(height), nearPlane, farPlane);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void cWindowsSystem::ToggleFullscreen() {
  keepContextOnClose_ = true;
  CloseWindow();
  keepContextOnClose_ = false;
  fullscreen = !fullscreen;
}

int32_t cWindowsSystem::RunMessageLoop() {
  platform::IWindowSystem& ws = *windowSystem_;
  bool done = false;
  int64_t frames = 0;
  // The clock as the last two frames' Updates saw it: where the show ended.
  int32_t seenBefore = 0, seen = 0;
  bool minimised = false;  // no frames since the window was minimised
  bool firstDrain = true;
  Message message;
  cDebugSystem::Instance().Log(kSource, "frame loop started");
  for (;;) {
    if (ws.PeekMessage(message)) {
      if (message.message == WM_QUIT) {
        cDebugSystem::Instance().Log(kSource, "frame loop ended (quit) after " + std::to_string(frames) + " frames");
        return static_cast<int32_t>(message.wParam);
      }
      ws.DispatchMessage(message);
      continue;
    }
    // Keys pressed while loading arrive in the first drain: those are over, and
    // only a key still held counts.
    if (firstDrain) {
      std::fill(std::begin(pressed), std::end(pressed), false);
      firstDrain = false;
    }

    if (active) {
      if (keys[VK_ESCAPE] || pressed[VK_ESCAPE]) {
        done = true;
      } else {
        seenBefore = seen;
        seen = cTimer::Instance().sinceStartMs;
        Update();
        cTimer::Instance().Tick();
        if (minimised) {
          minimised = false;
          std::string restored = "window restored after ";
          restored += std::to_string(frames);
          restored += " frames: the next comes ";
          restored += std::to_string(cTimer::Instance().deltaMs);
          restored += " ms after the last";
          cDebugSystem::Instance().Log(kSource, restored);
        }
        const bool more = Draw();
        ws.SwapBuffers(deviceContext);
        ++frames;
        if (!more) done = true;
      }
    } else {
      if (!minimised) {
        minimised = true;
        std::string stopped = "window minimised after ";
        stopped += std::to_string(frames);
        stopped += " frames: none until it is restored";
        cDebugSystem::Instance().Log(kSource, stopped);
      }
      // Minimised: no frames; sleep until something happens instead of spinning.
      ws.WaitForEvent(10);
    }

    const bool toggle = keys[VK_F1] || pressed[VK_F1];
    std::fill(std::begin(pressed), std::end(pressed), false);
    if (toggle) {
      keys[VK_F1] = false;
      ToggleFullscreen();
      if (!OpenWindow()) {
        cDebugSystem::Instance().Log(kSource, "re-opening the window failed; ending");
        return 0;
      }
    }

    if (done) {
      std::string ended = "frame loop ended after ";
      ended += std::to_string(frames);
      ended += " frames, the last two updated at ";
      ended += std::to_string(seenBefore);
      ended += " and ";
      ended += std::to_string(seen);
      ended += " ms";
      cDebugSystem::Instance().Log(kSource, ended);
      return 0;
    }
  }
}

MessageResult cWindowsSystem::HandleMessage(WindowHandle hwnd, uint32_t message, MessageParam wParam,
                                            MessageData lParam) {
  switch (message) {
    case WM_ACTIVATE:
      active = HighWord(wParam) == 0;
      return 0;
    case WM_SYSCOMMAND:
      if (wParam == SC_SCREENSAVE || wParam == SC_MONITORPOWER) return 0;
      break;
    case WM_NCMOUSEMOVE:
      return 0;
    case WM_CLOSE:
      windowSystem_->PostQuitMessage(0);
      return 0;
    case WM_KEYDOWN:
      if (wParam < 256) keys[wParam] = pressed[wParam] = true;
      return 0;
    case WM_KEYUP:
      if (wParam < 256) keys[wParam] = false;
      return 0;
    case WM_SIZE:
      width = static_cast<int32_t>(LowWord(static_cast<uintptr_t>(lParam)));
      height = static_cast<int32_t>(HighWord(static_cast<uintptr_t>(lParam)));
      ResizeViewport();
      return 0;
    default:
      break;
  }
  return windowSystem_->DefaultWindowProcedure(hwnd, message, wParam, lParam);
}

int RunApplication(cWindowsSystem& application) {
  if (application.showSetupDialog && application.RunSetupDialog() == 1) return 0;
  application.OnStart();
  if (!application.OpenWindow()) return 0;

  platform::IWindowSystem& ws = application.windowSystem();
  while (application.loading) {
    application.LoadStep();
    ws.SwapBuffers(application.deviceContext);
  }
  application.Initialise();
  ws.ShowWindow(application.window, platform::SW_SHOWNORMAL);
  ws.SetForegroundWindow(application.window);
  application.RunMessageLoop();
  application.CloseWindow();
  return 0;
}

int RunApplication() { return g_application ? RunApplication(*g_application) : 0; }

}  // namespace VantorGL
