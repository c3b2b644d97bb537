#include "platform/sdl_window_system.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <epoxy/glx.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

// Xlib names a constant like our operation.
#undef DisableScreenSaver

namespace VantorGL::platform {

struct SdlWindowSystem::Window {
  uintptr_t handle = 0;
  std::string className;
  std::string title;
  WindowRequest request;
  WindowProcedureFn procedure = nullptr;
  SDL_Window* sdl = nullptr;
  uint32_t sdlId = 0;
  int format = 0;
  int lastWidth = -1;  // size last sent as WM_SIZE
  int lastHeight = -1;
  bool minimised = false;
  bool shown = false;
};

namespace {
void* AsHandle(uintptr_t v) { return reinterpret_cast<void*>(v); }

// Virtual-key code of an SDL key; 0 when it has none.
uint32_t VirtualKey(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return static_cast<uint32_t>('A' + (key - SDLK_a));
  if (key >= SDLK_0 && key <= SDLK_9) return static_cast<uint32_t>('0' + (key - SDLK_0));
  if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + static_cast<uint32_t>(key - SDLK_F1);
  switch (key) {
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_RETURN: case SDLK_KP_ENTER: return VK_RETURN;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_TAB: return VK_TAB;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_UP: return VK_UP;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL: case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LALT: case SDLK_RALT: return VK_MENU;
    case SDLK_PAUSE: return VK_PAUSE;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_END: return VK_END;
    case SDLK_HOME: return VK_HOME;
    case SDLK_INSERT: return VK_INSERT;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_LEFTBRACKET: return VK_OEM_4;
    case SDLK_RIGHTBRACKET: return VK_OEM_6;
    default: return 0;
  }
}

// Whether a window manager runs on SDL's X display: managing windows means
// redirecting the root window's structure requests, which only one client can do
// (EWMH's _NET_SUPPORTING_WM_CHECK would miss older managers). Other video
// drivers, or no answer, count as managed.
bool WindowManagerRunning(Display* display) {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver || std::strcmp(driver, "x11") != 0 || !display) return true;
  XWindowAttributes root{};
  if (!XGetWindowAttributes(display, DefaultRootWindow(display), &root)) return true;
  return (root.all_event_masks & SubstructureRedirectMask) != 0;
}
}  // namespace

SdlWindowSystem::SdlWindowSystem(bool realDisplayOnly) : realDisplayOnly_(realDisplayOnly) {}

SdlWindowSystem::~SdlWindowSystem() {
  for (auto& [handle, window] : windows_)
    if (window->sdl) SDL_DestroyWindow(window->sdl);
  windows_.clear();
  if (glLibraryHeld_) SDL_GL_UnloadLibrary();
  if (videoStarted_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  if (xDisplay_) XCloseDisplay(xDisplay_);
}

Display* SdlWindowSystem::XDisplay() {
  if (!xTried_) {
    xTried_ = true;
    xDisplay_ = XOpenDisplay(nullptr);
  }
  return xDisplay_;
}

Display* SdlWindowSystem::GlxDisplay() {
  // SDL's own connection has GLX set up already; a connection of our own would
  // set it up again (a driver screen of its own).
  for (const auto& [handle, window] : windows_) {
    if (!window->sdl) continue;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window->sdl, &info) && info.subsystem == SDL_SYSWM_X11) return info.info.x11.display;
  }
  return XDisplay();
}

bool SdlWindowSystem::EnsureVideo() {
  if (videoStarted_) return true;
  // The reference platform leaves a full-screen window alone when it loses the
  // focus; SDL would minimise it (and the show would stop).
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  const char* set = SDL_getenv("SDL_VIDEODRIVER");
  const bool wasSet = set != nullptr;
  const std::string chosen = set ? set : "";
  const bool userChose = !chosen.empty();
  // Without a display SDL would otherwise go on to drivers that show nothing
  // (offscreen, KMS) and the show would play unseen. SDL 2.26 reads the driver
  // from the environment only, and only here; the variable is put back after.
  const bool forceX11 = realDisplayOnly_ && !userChose;
  if (forceX11) setenv("SDL_VIDEODRIVER", "x11", 1);
  const int started = SDL_InitSubSystem(SDL_INIT_VIDEO);
  if (forceX11) {
    if (wasSet) setenv("SDL_VIDEODRIVER", "", 1);
    else unsetenv("SDL_VIDEODRIVER");
  }
  if (started != 0) {
    if (realDisplayOnly_ && !videoFailureTold_) {
      videoFailureTold_ = true;
      const char* display = SDL_getenv("DISPLAY");
      if (userChose)
        std::fprintf(stderr, "cannot open a display through SDL_VIDEODRIVER=%s: %s\n", chosen.c_str(),
                     SDL_GetError());
      else if (!display || !*display)
        std::fprintf(stderr, "cannot open a display: DISPLAY is not set (the show needs an X server, or XWayland)\n");
      else
        std::fprintf(stderr, "cannot open display \"%s\"\n", display);
      std::fflush(stderr);
    }
    return false;
  }
  videoStarted_ = true;
  // The GL library stays loaded while video runs. SDL would unload it with the
  // last GL window and, for the multisample re-open a moment later, load it again
  // with a new probe context and driver screen: on a software renderer a tenth
  // of a second. Where it fails here, each window loads it as before.
  glLibraryHeld_ = SDL_GL_LoadLibrary(nullptr) == 0;
  return true;
}

SdlWindowSystem::Window* SdlWindowSystem::Find(const void* handle) const {
  auto it = windows_.find(reinterpret_cast<uintptr_t>(handle));
  return it == windows_.end() ? nullptr : it->second.get();
}

SdlWindowSystem::Window* SdlWindowSystem::FindBySdlId(uint32_t id) const {
  for (const auto& [handle, window] : windows_)
    if (window->sdl && window->sdlId == id) return window.get();
  return nullptr;
}

void* SdlWindowSystem::SdlWindow(WindowHandle window) const {
  Window* w = Find(window);
  return w ? w->sdl : nullptr;
}

void* SdlWindowSystem::ModuleHandle() {
  static int module;
  return &module;
}

bool SdlWindowSystem::RegisterWindowClass(const char* name, uint32_t, WindowProcedureFn procedure) {
  if (!EnsureVideo() || !procedure || classes_.count(name)) return false;
  classes_[name] = procedure;
  return true;
}

bool SdlWindowSystem::UnregisterWindowClass(const char* name) {
  auto it = classes_.find(name);
  if (it == classes_.end()) return false;
  for (const auto& [handle, window] : windows_)
    if (window->className == name) return false;  // a window of the class still exists
  classes_.erase(it);
  return true;
}

bool SdlWindowSystem::ChangeDisplayMode(int width, int height, int) {
  if (!EnsureVideo()) return false;
  // SDL does not fail a mode it cannot set (it makes a desktop-sized window
  // instead), so only an exact match of an offered mode counts.
  SDL_DisplayMode wanted{};
  wanted.w = width;
  wanted.h = height;
  SDL_DisplayMode closest{};
  if (!SDL_GetClosestDisplayMode(0, &wanted, &closest)) return false;
  if (closest.w != width || closest.h != height) return false;
  modeSet_ = true;
  modeWidth_ = width;
  modeHeight_ = height;
  return true;
}

void SdlWindowSystem::RestoreDisplayMode() {
  // SDL gives the desktop mode back when the full-screen window goes.
  modeSet_ = false;
}

WindowHandle SdlWindowSystem::CreateWindow(const WindowRequest& request) {
  auto cls = classes_.find(request.className);
  if (cls == classes_.end() || request.width <= 0 || request.height <= 0) return nullptr;
  auto window = std::make_unique<Window>();
  window->handle = nextHandle_++;
  window->className = request.className;
  window->title = request.title ? request.title : "";
  window->request = request;
  window->request.className = window->className.c_str();
  window->request.title = window->title.c_str();
  window->procedure = cls->second;
  const uintptr_t handle = window->handle;
  windows_[handle] = std::move(window);
  return AsHandle(handle);
}

bool SdlWindowSystem::DestroyWindow(WindowHandle handle) {
  Window* window = Find(handle);
  if (!window) return false;
  if (window->sdl) SDL_DestroyWindow(window->sdl);
  // Messages for a destroyed window are discarded.
  std::erase_if(queue_, [handle](const Message& m) { return m.window == handle; });
  windows_.erase(window->handle);
  return true;
}

void SdlWindowSystem::Deliver(Window& window, uint32_t message, MessageParam wParam, MessageData lParam,
                              bool send) {
  if (send) {
    window.procedure(AsHandle(window.handle), message, wParam, lParam);
  } else {
    queue_.push_back(Message{AsHandle(window.handle), message, wParam, lParam});
  }
}

void SdlWindowSystem::ShowWindow(WindowHandle handle, int) {
  Window* window = Find(handle);
  if (!window || !window->sdl) return;
  SDL_ShowWindow(window->sdl);
  if (window->minimised) SDL_RestoreWindow(window->sdl);

  // The events SDL queued while making and showing the window go to the
  // procedure now, as the reference platform sends them during creation.
  SDL_PumpEvents();
  SDL_Event events[32];
  int n;
  while ((n = SDL_PeepEvents(events, 32, SDL_GETEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT)) > 0) {
    for (int i = 0; i < n; ++i) Translate(events[i], true);
  }
  window = Find(handle);  // the procedure may have destroyed it
  if (!window) return;
  int w = 0, h = 0;
  SDL_GL_GetDrawableSize(window->sdl, &w, &h);
  if (w != window->lastWidth || h != window->lastHeight) {
    window->lastWidth = w;
    window->lastHeight = h;
    Deliver(*window, WM_SIZE, 0, static_cast<MessageData>(MakeParam(w, h)), true);
  }
  if (!window->shown) {
    window->shown = true;
    Deliver(*window, WM_ACTIVATE, MakeParam(WA_ACTIVE, 0), 0, true);
  }
}

bool SdlWindowSystem::SetForegroundWindow(WindowHandle handle) {
  Window* window = Find(handle);
  if (!window || !window->sdl) return false;
  SDL_RaiseWindow(window->sdl);
  return true;
}

void SdlWindowSystem::SetFocus(WindowHandle handle) {
  Window* window = Find(handle);
  if (window && window->sdl) SDL_SetWindowInputFocus(window->sdl);
}

void SdlWindowSystem::ShowCursor(bool show) {
  if (EnsureVideo()) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

DeviceContext SdlWindowSystem::GetDeviceContext(WindowHandle handle) { return Find(handle) ? handle : nullptr; }

bool SdlWindowSystem::ReleaseDeviceContext(WindowHandle, DeviceContext dc) { return Find(dc) != nullptr; }

int SdlWindowSystem::ChoosePixelFormat(DeviceContext dc, const PixelFormatRequest& request) {
  if (!Find(dc)) return 0;
  if (request.pixelType != PFD_TYPE_RGBA || !(request.flags & PFD_SUPPORT_OPENGL)) return 0;
  return kOrdinaryFormat;
}

bool SdlWindowSystem::SetPixelFormat(DeviceContext dc, int format, const PixelFormatRequest& request) {
  Window* window = Find(dc);
  if (!window) return false;
  if (window->sdl) return window->format == format;  // a window's format is set once

  SDL_GL_ResetAttributes();  // no version or profile: a legacy context
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, (request.flags & PFD_DOUBLEBUFFER) ? 1 : 0);
  if (format >= kMultisampleFormatBase) {
    // The attributes the multisample format was chosen with.
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 1);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, format - kMultisampleFormatBase);
  } else if (format == kOrdinaryFormat) {
    const int channel = request.colorBits >= 24 ? 8 : request.colorBits >= 15 ? 5 : 3;
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, request.alphaBits);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, request.depthBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, request.stencilBits);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 0);
  } else {
    return false;
  }

  const WindowRequest& r = window->request;
  Uint32 flags = SDL_WINDOW_OPENGL | ((r.style & WS_VISIBLE) ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN);
  const bool fullscreen = (r.style & WS_POPUP) && modeSet_;
  if ((r.style & WS_OVERLAPPEDWINDOW) == WS_OVERLAPPEDWINDOW) flags |= SDL_WINDOW_RESIZABLE;
  if (r.style & WS_POPUP) flags |= SDL_WINDOW_BORDERLESS;
  const int w = fullscreen ? modeWidth_ : r.width;
  const int h = fullscreen ? modeHeight_ : r.height;
  int x = r.x, y = r.y;
  SDL_DisplayMode desktop{};
  SDL_Rect screen{};
  if (fullscreen && SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.w == w && desktop.h == h &&
      SDL_GetDisplayBounds(0, &screen) == 0 && !WindowManagerRunning(XDisplay())) {
    // With no window manager and no mode to change, full screen is a borderless
    // window over the whole screen: the same pixels and events. SDL's own full
    // screen would wait 100 ms for a manager's answer at every window made and gone.
    x = screen.x;
    y = screen.y;
  } else if (fullscreen) {
    flags |= SDL_WINDOW_FULLSCREEN;
  }
  SDL_Window* sdl = SDL_CreateWindow(r.title, x, y, w, h, flags);
  if (!sdl) return false;  // e.g. no visual with that many samples
  window->sdl = sdl;
  window->sdlId = SDL_GetWindowID(sdl);
  window->format = format;
  return true;
}

bool SdlWindowSystem::SwapBuffers(DeviceContext dc) {
  Window* window = Find(dc);
  if (!window || !window->sdl) return false;
  SDL_GL_SwapWindow(window->sdl);
  return true;
}

RenderContext SdlWindowSystem::CreateContext(DeviceContext dc) {
  Window* window = Find(dc);
  if (!window || !window->sdl) return nullptr;
  return SDL_GL_CreateContext(window->sdl);
}

bool SdlWindowSystem::MakeCurrent(DeviceContext dc, RenderContext rc) {
  if (!rc) return SDL_GL_MakeCurrent(nullptr, nullptr) == 0;
  Window* window = Find(dc);
  if (!window || !window->sdl) return false;
  return SDL_GL_MakeCurrent(window->sdl, rc) == 0;
}

bool SdlWindowSystem::DeleteContext(RenderContext rc) {
  if (!rc) return false;
  SDL_GL_DeleteContext(rc);
  return true;
}

namespace {
class SdlSharedContext : public SharedContext {
 public:
  SdlSharedContext(SDL_Window* window, SDL_GLContext context) : window_(window), context_(context) {}
  ~SdlSharedContext() override { SDL_GL_DeleteContext(context_); }
  bool MakeCurrent() override { return SDL_GL_MakeCurrent(window_, context_) == 0; }
  void Release() override {
    SDL_GL_MakeCurrent(nullptr, nullptr);
    // SDL keeps the current context (and any error) per thread, freed only for
    // threads SDL made itself.
    SDL_TLSCleanup();
  }

 private:
  SDL_Window* window_;
  SDL_GLContext context_;
};
}  // namespace

std::unique_ptr<SharedContext> ShareSdlContext(void* sdlWindow, void* sdlContext) {
  auto* window = static_cast<SDL_Window*>(sdlWindow);
  if (!window || !sdlContext || SDL_GL_GetCurrentContext() != sdlContext) return nullptr;
  // SDL shares with the context current on this thread, and makes the new one current.
  SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
  SDL_GLContext context = SDL_GL_CreateContext(window);
  SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
  if (SDL_GL_MakeCurrent(window, sdlContext) != 0) {
    if (context) SDL_GL_DeleteContext(context);
    return nullptr;
  }
  if (!context) return nullptr;
  return std::make_unique<SdlSharedContext>(window, context);
}

std::unique_ptr<SharedContext> SdlWindowSystem::MakeSharedContext(DeviceContext dc, RenderContext rc) {
  Window* window = Find(dc);
  return window ? ShareSdlContext(window->sdl, rc) : nullptr;
}

bool SdlWindowSystem::SetSwapInterval(int interval) { return SDL_GL_SetSwapInterval(interval) == 0; }

bool SdlWindowSystem::HasMultisampleExtension() {
  Display* display = GlxDisplay();
  if (!display) return false;
  return epoxy_has_glx_extension(display, DefaultScreen(display), "GLX_ARB_multisample");
}

bool SdlWindowSystem::HasMultisampleFormatChooser() {
  Display* display = GlxDisplay();
  if (!display) return false;
  int major = 0, minor = 0;
  if (!glXQueryVersion(display, &major, &minor)) return false;
  return major > 1 || (major == 1 && minor >= 3);  // glXChooseFBConfig
}

bool SdlWindowSystem::ChooseMultisampleFormat(DeviceContext, const int* intAttributes, const float*,
                                              unsigned maxFormats, int* formats, unsigned* count) {
  *count = 0;
  Display* display = GlxDisplay();
  if (!display) return false;
  std::vector<int> glx = {GLX_X_RENDERABLE, True, GLX_RENDER_TYPE, GLX_RGBA_BIT, GLX_X_VISUAL_TYPE,
                          GLX_TRUE_COLOR};
  for (const int* a = intAttributes; a[0] != 0; a += 2) {
    const int value = a[1];
    switch (a[0]) {
      case WGL_DRAW_TO_WINDOW_ARB:
        if (value) glx.insert(glx.end(), {GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT});
        break;
      case WGL_ACCELERATION_ARB:
        if (value == WGL_FULL_ACCELERATION_ARB) glx.insert(glx.end(), {GLX_CONFIG_CAVEAT, GLX_NONE});
        break;
      case WGL_COLOR_BITS_ARB:
        glx.insert(glx.end(), {GLX_RED_SIZE, value / 3, GLX_GREEN_SIZE, value / 3, GLX_BLUE_SIZE, value / 3});
        break;
      case WGL_ALPHA_BITS_ARB: glx.insert(glx.end(), {GLX_ALPHA_SIZE, value}); break;
      case WGL_DEPTH_BITS_ARB: glx.insert(glx.end(), {GLX_DEPTH_SIZE, value}); break;
      case WGL_STENCIL_BITS_ARB: glx.insert(glx.end(), {GLX_STENCIL_SIZE, value}); break;
      case WGL_DOUBLE_BUFFER_ARB: glx.insert(glx.end(), {GLX_DOUBLEBUFFER, value ? True : False}); break;
      case WGL_SAMPLE_BUFFERS_ARB: glx.insert(glx.end(), {GLX_SAMPLE_BUFFERS, value}); break;
      case WGL_SAMPLES_ARB: glx.insert(glx.end(), {GLX_SAMPLES, value}); break;
      default: break;  // WGL_SUPPORT_OPENGL_ARB: every GLX config does
    }
  }
  glx.push_back(None);
  int found = 0;
  GLXFBConfig* configs = glXChooseFBConfig(display, DefaultScreen(display), glx.data(), &found);
  // Samples are a minimum and configs come fewest samples first, as with the
  // reference platform's chooser.
  for (int i = 0; i < found && *count < maxFormats; ++i) {
    int samples = 0;
    glXGetFBConfigAttrib(display, configs[i], GLX_SAMPLES, &samples);
    formats[(*count)++] = kMultisampleFormatBase + samples;
  }
  if (configs) XFree(configs);
  return true;
}

void SdlWindowSystem::Translate(const SDL_Event& event, bool send) {
  switch (event.type) {
    case SDL_QUIT: {
      // Also what SIGINT/SIGTERM become: handled as a request to close.
      for (auto& [handle, window] : windows_) {
        if (window->sdl) {
          Deliver(*window, WM_CLOSE, 0, 0, false);
          break;
        }
      }
      break;
    }
    case SDL_WINDOWEVENT: {
      Window* window = FindBySdlId(event.window.windowID);
      if (!window) break;  // a window already gone
      switch (event.window.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED: {
          const int w = event.window.data1, h = event.window.data2;
          if (w == window->lastWidth && h == window->lastHeight) break;
          window->lastWidth = w;
          window->lastHeight = h;
          Deliver(*window, WM_SIZE, 0, static_cast<MessageData>(MakeParam(w, h)), send);
          break;
        }
        case SDL_WINDOWEVENT_MINIMIZED:
          window->minimised = true;
          Deliver(*window, WM_ACTIVATE, MakeParam(WA_INACTIVE, 1), 0, send);
          break;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED:
          if (window->minimised) {
            window->minimised = false;
            Deliver(*window, WM_ACTIVATE, MakeParam(WA_ACTIVE, 0), 0, send);
          }
          break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          Deliver(*window, WM_ACTIVATE, MakeParam(WA_ACTIVE, window->minimised ? 1 : 0), 0, send);
          break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          Deliver(*window, WM_ACTIVATE, MakeParam(WA_INACTIVE, window->minimised ? 1 : 0), 0, send);
          break;
        case SDL_WINDOWEVENT_CLOSE:
          Deliver(*window, WM_CLOSE, 0, 0, false);
          break;
        default:
          break;
      }
      break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      const uint32_t vk = VirtualKey(event.key.keysym.sym);
      if (vk == 0) break;
      Window* window = FindBySdlId(event.key.windowID);
      if (!window) {
        for (auto& [handle, w] : windows_)
          if (w->sdl) window = w.get();
      }
      if (!window) break;
      Deliver(*window, event.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, vk, 0, false);
      break;
    }
    default:
      break;
  }
}

bool SdlWindowSystem::PeekMessage(Message& message) {
  if (queue_.empty() && videoStarted_) {
    SDL_PumpEvents();
    SDL_Event events[32];
    int n;
    while ((n = SDL_PeepEvents(events, 32, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT)) > 0) {
      for (int i = 0; i < n; ++i) Translate(events[i], false);
    }
  }
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

MessageResult SdlWindowSystem::DispatchMessage(const Message& message) {
  Window* window = Find(message.window);
  if (!window) return 0;
  return window->procedure(message.window, message.message, message.wParam, message.lParam);
}

MessageResult SdlWindowSystem::DefaultWindowProcedure(WindowHandle, uint32_t, MessageParam, MessageData) {
  return 0;
}

void SdlWindowSystem::PostQuitMessage(int exitCode) {
  quitPosted_ = true;
  quitCode_ = exitCode;
}

void SdlWindowSystem::WaitForEvent(int timeoutMs) {
  if (videoStarted_) SDL_WaitEventTimeout(nullptr, timeoutMs);
}

void SdlWindowSystem::DisableScreenSaver() {
  if (EnsureVideo()) SDL_DisableScreenSaver();
}

// Never destroyed: it is first used after the application object (a static) was
// built, so it would go first at exit, closing the display under a context that
// is still current when the program ends from inside loading, and the
// application's destructors still delete their GL objects through it.
IWindowSystem& DefaultWindowSystem() {
  static SdlWindowSystem& system = *new SdlWindowSystem(true);
  return system;
}

}  // namespace VantorGL::platform
