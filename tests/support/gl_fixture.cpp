#include "tests/support/gl_fixture.h"

#include <memory>

#include "platform/hidden_gl_window.h"
#include "tests/support/xvfb.h"

namespace vantor_test {

bool EnsureGlContext() {
  // The server first, so the window (a later static) is torn down before it.
  PrivateXvfb& server = SharedXvfb();
  static std::unique_ptr<VantorGL::platform::HiddenGlWindow> window;
  if (window && window->IsOpen()) return true;
  if (server.display().empty()) return false;
  window = std::make_unique<VantorGL::platform::HiddenGlWindow>();
  return window->Open(256, 256);
}

}  // namespace vantor_test
