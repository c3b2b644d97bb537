#include "tests/support/x_windows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <cstdlib>
#include <regex>
#include <thread>

#include "tests/support/image_files.h"
#include "tests/support/process.h"

namespace vantor_test {
namespace {

// Requests about windows that vanish meanwhile fail with BadWindow; Xlib's
// default handler would end the test process.
bool g_xError = false;
int NoteError(Display*, XErrorEvent*) {
  g_xError = true;
  return 0;
}

class Connection {
 public:
  Connection() : display_(XOpenDisplay(nullptr)) {
    if (display_) previous_ = XSetErrorHandler(NoteError);
    g_xError = false;
  }
  ~Connection() {
    if (!display_) return;
    XSync(display_, False);
    XSetErrorHandler(previous_);
    XCloseDisplay(display_);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  Display* get() const { return display_; }
  explicit operator bool() const { return display_ != nullptr; }

 private:
  Display* display_;
  int (*previous_)(Display*, XErrorEvent*) = nullptr;
};

Window ParseId(const std::string& id) {
  if (id.empty()) return 0;
  char* end = nullptr;
  const unsigned long value = std::strtoul(id.c_str(), &end, 0);
  return *end == '\0' ? value : 0;
}

std::string TextProperty(Display* display, Window window, Atom property, Atom type) {
  Atom actualType = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::string text;
  if (XGetWindowProperty(display, window, property, 0, 4096, False, type, &actualType, &format, &count, &after,
                         &data) == Success &&
      data) {
    if (format == 8) text.assign(reinterpret_cast<const char*>(data), count);
    XFree(data);
  }
  return text;
}

std::string NameOf(Display* display, Window window) {
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  std::string name = TextProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), utf8);
  if (name.empty()) name = TextProperty(display, window, XA_WM_NAME, AnyPropertyType);
  return name;
}

bool Viewable(Display* display, Window window) {
  XWindowAttributes attributes{};
  return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

template <typename Matches>
std::vector<std::string> TopLevelWindows(Matches matches) {
  std::vector<std::string> ids;
  Connection x;
  if (!x) return ids;
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(x.get(), DefaultRootWindow(x.get()), &root, &parent, &children, &count)) return ids;
  for (unsigned i = 0; i < count; ++i) {
    g_xError = false;
    const bool found = Viewable(x.get(), children[i]) && matches(x.get(), children[i]);
    if (found && !g_xError) ids.push_back(std::to_string(children[i]));
  }
  if (children) XFree(children);
  return ids;
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') quoted += "'\\''";
    else quoted += c;
  }
  return quoted + "'";
}

VantorGL::TextureImage GrabArea(Display* display, int x, int y, int width, int height) {
  VantorGL::TextureImage picture;
  const int screenWidth = DisplayWidth(display, DefaultScreen(display));
  const int screenHeight = DisplayHeight(display, DefaultScreen(display));
  const int x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int x1 = std::min(x + width, screenWidth), y1 = std::min(y + height, screenHeight);
  if (x1 <= x0 || y1 <= y0) return picture;
  XImage* image = XGetImage(display, DefaultRootWindow(display), x0, y0, static_cast<unsigned>(x1 - x0),
                            static_cast<unsigned>(y1 - y0), AllPlanes, ZPixmap);
  if (!image) return picture;
  // Each channel's mask to 8 bits, whatever the visual's layout.
  struct Channel {
    unsigned long mask = 0, max = 1;
    int shift = 0;
    explicit Channel(unsigned long m) : mask(m) {
      if (mask == 0) return;
      while (!((mask >> shift) & 1)) ++shift;
      max = mask >> shift;
    }
    uint8_t operator()(unsigned long pixel) const {
      return static_cast<uint8_t>(((pixel & mask) >> shift) * 255 / max);
    }
  };
  const Channel red(image->red_mask), green(image->green_mask), blue(image->blue_mask);
  picture.width = x1 - x0;
  picture.height = y1 - y0;
  picture.channels = 3;
  picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height * 3);
  uint8_t* out = picture.pixels.data();
  for (int row = 0; row < picture.height; ++row) {
    for (int column = 0; column < picture.width; ++column) {
      const unsigned long pixel = XGetPixel(image, column, row);
      *out++ = red(pixel);
      *out++ = green(pixel);
      *out++ = blue(pixel);
    }
  }
  XDestroyImage(image);
  return picture;
}

}  // namespace

std::vector<std::string> FindWindows(const std::string& nameRegex) {
  const std::regex pattern(nameRegex);
  return TopLevelWindows(
      [&](Display* display, Window window) { return std::regex_search(NameOf(display, window), pattern); });
}

std::vector<std::string> FindWindowsNamed(const std::string& name) {
  return TopLevelWindows([&](Display* display, Window window) { return NameOf(display, window) == name; });
}

std::vector<std::string> FindWindowsOfClass(const std::string& classRegex) {
  const std::regex pattern(classRegex);
  return TopLevelWindows([&](Display* display, Window window) {
    XClassHint hint{};
    if (!XGetClassHint(display, window, &hint)) return false;
    const bool matches = (hint.res_name && std::regex_search(hint.res_name, pattern)) ||
                         (hint.res_class && std::regex_search(hint.res_class, pattern));
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
    return matches;
  });
}

std::string WaitForWindow(const std::string& nameRegex, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const std::vector<std::string> ids = FindWindows(nameRegex);
    if (!ids.empty()) return ids.back();
    if (std::chrono::steady_clock::now() >= deadline) return {};
    SleepMs(100);
  }
}

std::string WindowName(const std::string& windowId) {
  Connection x;
  const Window window = ParseId(windowId);
  if (!x || !window) return {};
  std::string name = NameOf(x.get(), window);
  return g_xError ? std::string() : name;
}

std::string TransientOwner(const std::string& windowId) {
  Connection x;
  const Window window = ParseId(windowId);
  Window owner = 0;
  if (!x || !window || !XGetTransientForHint(x.get(), window, &owner) || g_xError || !owner) return {};
  return std::to_string(owner);
}

std::string FocusWindow() {
  Connection x;
  if (!x) return {};
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(x.get(), &focus, &revert);
  return focus == None || focus == PointerRoot ? std::string() : std::to_string(focus);
}

WindowPlace PlaceOf(const std::string& windowId) {
  WindowPlace place;
  Connection x;
  const Window window = ParseId(windowId);
  if (!x || !window) return place;
  XWindowAttributes attributes{};
  Window child = 0;
  if (!XGetWindowAttributes(x.get(), window, &attributes) ||
      !XTranslateCoordinates(x.get(), window, DefaultRootWindow(x.get()), 0, 0, &place.x, &place.y, &child))
    return place;
  XSync(x.get(), False);
  place.found = !g_xError;
  place.width = attributes.width;
  place.height = attributes.height;
  return place;
}

bool CloseWindow(const std::string& windowId) {
  Connection x;
  const Window window = ParseId(windowId);
  if (!x || !window) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(x.get(), "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(x.get(), "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(x.get(), window, False, NoEventMask, &event);
  XSync(x.get(), False);
  return !g_xError;
}

// What a window manager does to iconify a window (ICCCM 4.1.4): it unmaps it and
// marks it Iconic; restoring maps it again. No manager runs on a private Xvfb,
// and a client's own request to be iconified would go to one.
bool MinimiseWindow(const std::string& windowId) {
  Connection x;
  const Window window = ParseId(windowId);
  if (!x || !window) return false;
  const Atom state = XInternAtom(x.get(), "WM_STATE", False);
  const long iconic[2] = {IconicState, 0};
  XChangeProperty(x.get(), window, state, state, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(iconic), 2);
  XUnmapWindow(x.get(), window);
  XSync(x.get(), False);
  return !g_xError;
}

bool RestoreWindow(const std::string& windowId) {
  Connection x;
  const Window window = ParseId(windowId);
  if (!x || !window) return false;
  const Atom state = XInternAtom(x.get(), "WM_STATE", False);
  const long normal[2] = {NormalState, 0};
  XChangeProperty(x.get(), window, state, state, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(normal), 2);
  XMapWindow(x.get(), window);
  XSync(x.get(), False);
  return !g_xError;
}

VantorGL::TextureImage GrabScreen() {
  Connection x;
  if (!x) return {};
  return GrabArea(x.get(), 0, 0, DisplayWidth(x.get(), DefaultScreen(x.get())),
                  DisplayHeight(x.get(), DefaultScreen(x.get())));
}

VantorGL::TextureImage GrabWindow(const std::string& windowId) {
  const WindowPlace place = PlaceOf(windowId);
  if (!place.found) return {};
  Connection x;
  if (!x) return {};
  return GrabArea(x.get(), place.x, place.y, place.width, place.height);
}

std::string KeepScreenshot(const VantorGL::TextureImage& picture, const std::string& name) {
  const std::string path = std::string(VANTOR_BINARY_DIR) + "/screenshots/" + name + ".png";
  RgbaPicture rgba(picture.width, picture.height);
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x) {
      const uint8_t* c = &picture.pixels[(static_cast<size_t>(y) * picture.width + x) * picture.channels];
      rgba.Set(x, y, c[0], c[1], c[2]);
    }
  if (picture.width > 0 && picture.channels >= 3) WriteBytes(path, EncodePng(rgba, {.colorType = 2}));
  return path;
}

bool HoldKeyUntil(const std::string& windowId, const std::string& key, const std::function<bool()>& reacted,
                  int timeoutMs) {
  {
    // A key held longer than the server's repeat delay would be pressed again.
    Connection x;
    if (!x) return false;
    XAutoRepeatOff(x.get());
  }
  if (ParseId(windowId) == 0 || Shell("xdotool windowfocus --sync " + windowId + " keydown " + Quote(key)) != 0)
    return false;
  bool done = false;
  for (const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
       !(done = reacted()) && std::chrono::steady_clock::now() < deadline;)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  Shell("xdotool keyup " + Quote(key));
  return done;
}

bool SendKey(const std::string& keys) { return Shell("xdotool key " + Quote(keys)) == 0; }

bool FocusAndSendKeys(const std::string& windowId, const std::string& keys, int delayMs) {
  if (ParseId(windowId) == 0) return false;
  return Shell("xdotool windowfocus --sync " + windowId + " key --delay " + std::to_string(delayMs) + " " + keys) ==
         0;
}

}  // namespace vantor_test
