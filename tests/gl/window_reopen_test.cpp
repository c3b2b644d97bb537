// The shell on the real SDL window system: size messages of window creation
// arrive before loading (and none after it resets the projection), and after F1
// re-opens the window what was made in the old context still draws.
// Each case runs in a fresh process of its own (a death test in the re-executing
// style) so its windows and contexts never touch the shared test context.
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/message_box.h"
#include "platform/sdl_window_system.h"
#include "shell/windows_system.h"
#include "tests/support/xvfb.h"

using namespace VantorGL;

namespace {

class ReopenApp : public cWindowsSystem {
 public:
  explicit ReopenApp(platform::IWindowSystem* ws) : cWindowsSystem(ws) {}

  bool LoadStep() override {
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    loadViewportWidth = viewport[2];
    loadViewportHeight = viewport[3];
    loadWidth = width;
    loadHeight = height;

    const unsigned char red[4] = {255, 0, 0, 255};
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, red);
    // A marker projection, as a scene sets in its loading.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    loading = false;
    loaded = true;
    return true;
  }
  bool Initialise() override { return true; }

  MessageResult HandleMessage(WindowHandle w, uint32_t message, MessageParam wParam, MessageData lParam) override {
    if (message == WM_SIZE && loaded && !toggled) ++sizesAfterLoading;
    return cWindowsSystem::HandleMessage(w, message, wParam, lParam);
  }

  bool Update() override {
    ++frames;
    if (frames == 3) {
      keys[VK_F1] = true;  // as if F1 went down during this frame
      toggled = true;
    }
    return true;
  }

  bool Draw() override {
    if (frames == 1) {
      GLfloat projection[16];
      glGetFloatv(GL_PROJECTION_MATRIX, projection);
      orthoKept = projection[10] == -1.0f;  // glOrtho(-1,1,-1,1,-1,1) makes z -1
    }
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glColor4f(1, 1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0); glVertex2f(-1, -1);
    glTexCoord2f(1, 0); glVertex2f(1, -1);
    glTexCoord2f(1, 1); glVertex2f(1, 1);
    glTexCoord2f(0, 1); glVertex2f(-1, 1);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    glFinish();
    unsigned char pixel[4] = {};
    glReadPixels(width / 2, height / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    if (frames > 3) {
      textureAfterToggle = glIsTexture(texture) == GL_TRUE;
      redAfterToggle = pixel[0] > 200 && pixel[1] < 50 && pixel[2] < 50;
    }
    return frames < 6;
  }

  GLuint texture = 0;
  int frames = 0, loadWidth = 0, loadHeight = 0, loadViewportWidth = 0, loadViewportHeight = 0;
  int sizesAfterLoading = 0;
  bool loaded = false, toggled = false, orthoKept = false, textureAfterToggle = false, redAfterToggle = false;
};

// Runs in the child: returns the process status (0 when every check held).
int RunReopenCase(bool antiAliasing) {
  vantor_test::PrivateXvfb xvfb;
  if (!xvfb.Start(640, 480)) {
    std::fprintf(stderr, "no Xvfb\n");
    return 2;
  }
  std::string boxes;
  platform::SetMessageBoxHandler([&](const std::string& text, const std::string&, unsigned) {
    boxes += text + "\n";
    return platform::IDOK;
  });
  platform::SdlWindowSystem sdl;
  ReopenApp app(&sdl);
  app.fullscreen = true;
  app.width = 640;
  app.height = 480;
  app.antiAliasing = antiAliasing;
  app.samples = 4;
  app.showSetupDialog = false;
  app.title = "reopen test";
  g_application = &app;
  RunApplication(app);
  g_application = nullptr;

  int failures = 0;
  auto check = [&](bool ok, const char* what) {
    if (!ok) {
      std::fprintf(stderr, "FAILED: %s\n", what);
      ++failures;
    }
  };
  check(boxes.empty(), ("message boxes: " + boxes).c_str());
  check(app.loadWidth == 640 && app.loadHeight == 480, "size known at loading");
  check(app.loadViewportWidth == 640 && app.loadViewportHeight == 480, "viewport set before loading");
  check(app.sizesAfterLoading == 0, "no size message after loading resets the projection");
  check(app.orthoKept, "the projection set in loading survives to the first frame");
  check(app.frames == 6, "six frames");
  check(!app.fullscreen, "F1 toggled full screen off once");
  check(app.multisampleSupported == antiAliasing, "multisample format as asked");
  check(app.textureAfterToggle, "the texture still exists after F1");
  check(app.redAfterToggle, "the texture still draws after F1");
  std::fflush(stderr);
  return failures == 0 ? 0 : 1;
}

class WindowReopen : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(WindowReopen, TextureMadeBeforeF1StillDraws) {
  EXPECT_EXIT(std::exit(RunReopenCase(false)), ::testing::ExitedWithCode(0), "");
}

TEST_F(WindowReopen, TextureMadeBeforeF1StillDrawsInAMultisampleWindow) {
  EXPECT_EXIT(std::exit(RunReopenCase(true)), ::testing::ExitedWithCode(0), "");
}

}  // namespace
