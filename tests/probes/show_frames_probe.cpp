// Plays the show as the capture program does (its virtual clock and off-screen
// window, every frame drawn) from the working directory's data, and prints one
// line per frame: whether the scenes said, before drawing it, that its picture
// was the last one again, and a hash of the picture read back.
//   show_frames_probe FPS WIDTH HEIGHT FRAMES F1_FRAME kept|fresh
// F1_FRAME: F1 goes down during that frame (-1: never). "fresh" makes the slide
// scene forget its target before every frame, so it is drawn every frame.
#include <epoxy/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "makers/show_frames.h"
#include "platform/clock.h"
#include "tessaly_show.h"
#include "platform/offscreen_window_system.h"
#include "shell/debug_system.h"

using namespace VantorGL;

namespace {

class ProbeApplication : public TessalyShow {
 public:
  using TessalyShow::TessalyShow;

  bool Update() override {
    if (frame == f1Frame) keys[VK_F1] = true;
    return TessalyShow::Update();
  }
  bool Draw() override {
    unchanged = PictureUnchanged();
    if (fresh) demo.slideScene.ForgetPicture();
    return TessalyShow::Draw();
  }

  int64_t frame = 0;
  int64_t f1Frame = -1;
  bool fresh = false;
  bool unchanged = false;
};

// FNV-1a over the picture as RGB, top row first (how a PNG frame holds it).
uint64_t Hash(const std::vector<uint8_t>& rgba, int width, int height) {
  uint64_t h = 1469598103934665603ull;
  for (int y = height - 1; y >= 0; --y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c) {
        h ^= rgba[(static_cast<size_t>(y) * width + x) * 4 + c];
        h *= 1099511628211ull;
      }
  return h;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: show_frames_probe FPS WIDTH HEIGHT FRAMES F1_FRAME kept|fresh\n");
    return 64;
  }
  const int fps = std::atoi(argv[1]), width = std::atoi(argv[2]), height = std::atoi(argv[3]);
  const int64_t frames = std::atoll(argv[4]);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  int64_t counter = 0;
  platform::SetClockSource([&counter] { return counter; }, capture::kCounterFrequency);
  cDebugSystem::Instance().Open("debug.log");

  platform::OffscreenWindowSystem windowSystem;
  ProbeApplication app(&windowSystem);
  app.ApplyProductionSettings();
  app.afterInitialise = [&app] { app.ChooseScene(TessalyShow::kShow); };
  app.width = width;
  app.height = height;
  app.f1Frame = std::atoll(argv[5]);
  app.fresh = std::strcmp(argv[6], "fresh") == 0;
  g_application = &app;

  bool started = false;
  std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
  windowSystem.beforeFrame = [&] {
    started = true;
    if (app.frame >= frames) windowSystem.RequestClose();
    counter = capture::FrameCounter(app.frame, fps);
  };
  windowSystem.beforeSwap = [&] {
    if (!started) return;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    std::printf("frame %lld unchanged %d hash %016llx\n", static_cast<long long>(app.frame), app.unchanged ? 1 : 0,
                static_cast<unsigned long long>(Hash(rgba, width, height)));
    ++app.frame;
  };
  RunApplication(app);
  std::fflush(stdout);
  return started ? 0 : 3;
}
