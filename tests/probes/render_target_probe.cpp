// Makes a hidden GL window and one render target, for tests of the start-up check:
// run with the framebuffer extension removed (MESA_EXTENSION_OVERRIDE, set before
// the context exists) it must show the "Error" box and end with status 99.
// With "handler" as its argument the box is answered in-process and printed.
#include <cstdio>
#include <cstring>

#include "platform/hidden_gl_window.h"
#include "platform/message_box.h"
#include "resources/render_texture_system.h"

int main(int argc, char** argv) {
  VantorGL::platform::HiddenGlWindow window;
  if (!window.Open(64, 64)) {
    std::fprintf(stderr, "no GL window: %s\n", window.error().c_str());
    return 3;
  }
  if (argc > 1 && std::strcmp(argv[1], "handler") == 0) {
    VantorGL::platform::SetMessageBoxHandler([](const std::string& text, const std::string& caption, unsigned style) {
      std::printf("box caption=[%s] text=[%s] style=%u\n", caption.c_str(), text.c_str(), style);
      std::fflush(stdout);
      return VantorGL::platform::IDOK;
    });
  }
  VantorGL::cRenderTextureSystem target;
  target.Create(64, 64, 1);
  std::printf("created\n");
  return 0;
}
