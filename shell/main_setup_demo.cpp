// vantor-setup-demo: a small application on the shell with the setup dialog
// switched on. The dialog comes first; Run opens a window that shows the
// settings the answer produced, Exit or closing the dialog ends at once with
// status 0. Escape or closing the window ends the demo.
#include <epoxy/gl.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "resources/font.h"
#include "shell/debug_system.h"
#include "shell/windows_system.h"

namespace {

class SetupDemo : public VantorGL::cWindowsSystem {
 public:
  bool LoadStep() override {
    loading = false;
    return true;
  }

  bool Initialise() override {
    cWindowsSystem::Initialise();
    font_.BuildBitmapFont("", "Arial", -16);
    lines_ = {
        "Kelmora :: VantorGL setup demo",
        "",
        "Resolution: " + std::to_string(width) + "x" + std::to_string(height),
        std::string("Fullscreen: ") + (fullscreen ? "yes" : "no"),
        "Anti-aliasing: " + (antiAliasing ? std::to_string(samples) + " samples" : std::string("off")),
        std::string("Multisample format: ") + (multisampleSupported ? "yes" : "no"),
        "Dialog answer: resolution " + std::to_string(setupResult.resolutionIndex) + ", anti-aliasing " +
            std::to_string(setupResult.aaIndex),
        "",
        "Escape ends the demo.",
    };
    const std::string summary = "settings: " + std::to_string(width) + "x" + std::to_string(height) +
                                (fullscreen ? " fullscreen" : " windowed") + ", anti-aliasing " +
                                (antiAliasing ? std::to_string(samples) : std::string("off")) +
                                (multisampleSupported ? ", multisample format" : "");
    VantorGL::cDebugSystem::Instance().Log("SetupDemo", summary);
    std::printf("%s\n", summary.c_str());
    std::fflush(stdout);
    return true;
  }

  bool Update() override {
    // Nothing moves: no need to draw as fast as the loop can spin.
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
    return true;
  }

  bool Draw() override {
    glClearColor(0.08f, 0.10f, 0.18f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    if (font_.bitmapBase != 0) {
      glListBase(font_.bitmapBase - 32);
      for (size_t i = 0; i < lines_.size(); ++i) {
        glColor3f(i == 0 ? 0.5f : 1.0f, i == 0 ? 0.85f : 1.0f, 1.0f);
        glRasterPos2i(40, height - 50 - static_cast<int>(i) * 26);
        glCallLists(static_cast<GLsizei>(lines_[i].size()), GL_UNSIGNED_BYTE, lines_[i].data());
      }
    }
    glEnable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    return true;
  }


 private:
  // Its lists live as long as the context (F1 carries the context over); they
  // go with it when the window closes for good.
  VantorGL::FontRecord font_;
  std::vector<std::string> lines_;
};

SetupDemo application;

}  // namespace

int main(int, char**) {
  VantorGL::cDebugSystem::Instance().Open("debug.log");
  application.showSetupDialog = true;
  application.title = "VantorGL setup demo";
  application.fullscreen = false;
  application.width = 800;
  application.height = 600;
  application.nearPlane = 0.1f;
  application.farPlane = 1000.0f;
  VantorGL::g_application = &application;
  return VantorGL::RunApplication();
}
