#pragma once
// A hidden window with a current legacy OpenGL context (no version or profile
// attributes: Mesa gives its highest compatibility version). For tests and
// off-screen tools that need GL without showing anything. Main thread only.
#include <memory>
#include <string>

#include "platform/window_system.h"

namespace VantorGL::platform {

class HiddenGlWindow {
 public:
  HiddenGlWindow() = default;
  ~HiddenGlWindow();
  HiddenGlWindow(const HiddenGlWindow&) = delete;
  HiddenGlWindow& operator=(const HiddenGlWindow&) = delete;

  // False with error() set when no display or context can be had.
  bool Open(int width, int height, int samples = 0);
  void Close();
  void Swap();
  bool IsOpen() const { return context_ != nullptr; }
  // A context sharing this one's objects, for another thread (see
  // SharedContext); this one must be current. Null where none can be made.
  std::unique_ptr<SharedContext> MakeSharedContext();
  const std::string& error() const { return error_; }

 private:
  void* window_ = nullptr;   // SDL_Window*
  void* context_ = nullptr;  // SDL_GLContext
  std::string error_;
};

}  // namespace VantorGL::platform
