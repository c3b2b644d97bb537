#include "tests/support/gl_fixture.h"

#include <memory>

#include "platform/hidden_gl_window.h"
#include "tests/support/xvfb.h"

namespace vantor_test {

namespace {
std::unique_ptr<VantorGL::platform::HiddenGlWindow>& Window() {
  static std::unique_ptr<VantorGL::platform::HiddenGlWindow> window;
  return window;
}
}  // namespace

bool EnsureGlContext() {
  // The server first, so the window (a later static) is torn down before it.
  PrivateXvfb& server = SharedXvfb();
  std::unique_ptr<VantorGL::platform::HiddenGlWindow>& window = Window();
  if (window && window->IsOpen()) return true;
  if (server.display().empty()) return false;
  window = std::make_unique<VantorGL::platform::HiddenGlWindow>();
  return window->Open(256, 256);
}

std::unique_ptr<VantorGL::platform::SharedContext> MakeSharedGlContext() {
  return EnsureGlContext() ? Window()->MakeSharedContext() : nullptr;
}

}  // namespace vantor_test
