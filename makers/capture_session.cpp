#include "makers/capture_session.h"

#include <epoxy/gl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/offscreen_window_system.h"
#include "resources/resources.h"
#include "makers/capture_output.h"
#include "makers/capture_progress.h"
#include "shell/debug_system.h"
#include "shell/file_paths.h"
#include "shell/production.h"

namespace VantorGL::capture {
namespace {

constexpr const char* kProgram = "tessaly-capture";
constexpr int64_t kCounterFrequency = 1'000'000;  // the virtual counter counts microseconds

volatile sig_atomic_t g_stopSignal = 0;

void OnStopSignal(int signal) {
  g_stopSignal = signal;
  // A second Ctrl-C ends the program at once.
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigaction(signal, &action, nullptr);
}

void InstallSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // A dead encoder shows as a failed write, not as the end of this process.
  signal(SIGPIPE, SIG_IGN);
}

void Say(const std::string& text) { std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str()); }

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The production, with the one change a scene preview needs made after its own
// initialisation: which scene runs, and for how long.
class CaptureApplication : public TAV05 {
 public:
  CaptureApplication(platform::IWindowSystem* windowSystem, Scene scene) : TAV05(windowSystem), scene_(scene) {}

  bool Initialise() override {
    const bool result = TAV05::Initialise();
    switch (scene_) {
      case Scene::kShow:
        break;
      case Scene::kSlide:
        // The slide scene's whole window instead of the show's 47 seconds.
        demo.windowEndMs = demo.slideScene.windowEndMs;
        break;
      case Scene::kStart:
        // The water scene alone from the first frame, for as long as its window lasts.
        demo.slideScene.disabled = true;
        demo.startScene.alwaysActive = true;
        demo.windowEndMs = demo.startScene.windowEndMs - demo.startScene.windowStartMs;
        break;
    }
    return result;
  }

 private:
  Scene scene_;
};

// The finished picture from the back buffer, top row first, as RGB. Leaves the
// GL state as it found it.
void ReadBackBuffer(int width, int height, std::vector<uint8_t>& rgba, Picture& picture) {
  GLint framebuffer = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &framebuffer);
  if (framebuffer != 0) glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  GLint readBuffer = GL_BACK;
  glGetIntegerv(GL_READ_BUFFER, &readBuffer);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glPixelStorei(GL_PACK_SKIP_ROWS, 0);
  glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
  glReadBuffer(GL_BACK);
  rgba.resize(static_cast<size_t>(width) * height * 4);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  glReadBuffer(static_cast<GLenum>(readBuffer));
  glPopClientAttrib();
  if (framebuffer != 0) glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(framebuffer));

  picture.width = width;
  picture.height = height;
  picture.rgb.resize(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = &rgba[static_cast<size_t>(height - 1 - y) * width * 4];
    uint8_t* dst = &picture.rgb[static_cast<size_t>(y) * width * 3];
    for (int x = 0; x < width; ++x, src += 4, dst += 3) {
      dst[0] = src[0];
      dst[1] = src[1];
      dst[2] = src[2];
    }
  }
}

using Clock = std::chrono::steady_clock;
double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int RunCapture(const Options& options) {
  const FramePlan plan = PlanFrames(options);
  const std::string from = FormatMusicTime(plan.MusicTimeMs(plan.firstFrame));
  const std::string to = FormatMusicTime(options.toMs.value_or(WindowOf(options.scene).endMs));

  // Everything that can be checked before the show loads.
  std::string ffmpeg;
  if (!options.outFile.empty()) {
    ffmpeg = FindProgram("ffmpeg");
    if (ffmpeg.empty()) {
      Say("--out needs the program \"ffmpeg\", which is not installed or not on PATH; "
          "install the Debian package \"ffmpeg\" (apt-get install ffmpeg)");
      return kExitUnavailable;
    }
  }
  std::string error;
  FrameDirectory frameDir;
  if (!options.framesDir.empty() && !frameDir.Open(options.framesDir, &error)) {
    Say(error);
    return kExitCannotCreate;
  }
  for (const std::string& file : {options.outFile, options.sheetFile}) {
    if (file.empty()) continue;
    const std::string dir = DirectoryOf(file);
    if (!MakeDirectories(dir, &error)) {
      Say(error);
      return kExitCannotCreate;
    }
    if (access(dir.c_str(), W_OK) != 0) {
      Say("cannot write into " + dir);
      return kExitCannotCreate;
    }
  }
  std::string music;
  if (!options.outFile.empty()) {
    music = ResolvePath(cResources::kMusicFile);
    if (access(music.c_str(), R_OK) != 0) {
      Say(std::string("no ") + cResources::kMusicFile + " here: the video will be silent");
      music.clear();
    }
  }

  // Sound plays on no device and feeds nothing back: the dummy driver, always.
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  // Ctrl-C and SIGTERM are this program's to handle (SDL would turn them into a
  // quit event that the hidden window never sees).
  setenv("SDL_NO_SIGNAL_HANDLERS", "1", 1);
  InstallSignalHandlers();

  int64_t counter = 0;
  platform::SetClockSource([&counter] { return counter; }, kCounterFrequency);

  cDebugSystem::Instance().Open("debug.log");
  cDebugSystem::Instance().Log("capture", std::string(SceneName(options.scene)) + " " + from + " to " + to + ", " +
                                              std::to_string(options.width) + "x" +
                                              std::to_string(options.height) + " at " +
                                              std::to_string(options.fps) + " frames per second");

  platform::OffscreenWindowSystem windowSystem;
  auto application = std::make_unique<CaptureApplication>(&windowSystem, options.scene);
  application->ApplyProductionSettings();
  application->width = options.width;
  application->height = options.height;
  g_application = application.get();

  VideoEncoder video;
  if (!options.outFile.empty()) {
    VideoEncoder::Settings s;
    s.ffmpeg = ffmpeg;
    s.path = options.outFile;
    s.format = *VideoFormatFor(options.outFile);
    s.width = options.width;
    s.height = options.height;
    s.fps = options.fps;
    s.frames = plan.count();
    s.music = music;
    s.musicStartMs = plan.MusicTimeMs(plan.firstFrame);
    if (!video.Start(s, &error)) {
      Say(error);
      return kExitFailed;
    }
  }
  ContactSheet sheet;
  if (!options.sheetFile.empty()) sheet.Begin(options.width, options.height, plan.SheetCells());

  Progress progress(plan.endFrame, isatty(STDERR_FILENO) != 0);
  bool loopStarted = false;
  int64_t made = 0;   // frames made so far; the next one is frame `made`
  int64_t kept = 0;
  int failure = 0;    // exit status of a failed output
  std::vector<uint8_t> rgba;
  Picture picture;
  Clock::time_point frameStart{}, firstKept{}, lastKept{};
  double drawing = 0, readingBack = 0, writing = 0;

  windowSystem.beforeFrame = [&] {
    loopStarted = true;
    if (g_stopSignal != 0 || failure != 0 || made >= plan.endFrame) {
      windowSystem.RequestClose();
      return;
    }
    // The reading this frame's cTimer::Tick takes (see the header).
    counter = (made + 1) * kCounterFrequency / options.fps;
    frameStart = Clock::now();
  };

  windowSystem.beforeSwap = [&] {
    if (!loopStarted) return;  // the loading screen's swap
    const int64_t frame = made++;
    if (frame >= plan.firstFrame && frame < plan.endFrame && failure == 0) {
      glFinish();
      const Clock::time_point drawn = Clock::now();
      if (kept == 0) firstKept = frameStart;
      ReadBackBuffer(options.width, options.height, rgba, picture);
      const Clock::time_point read = Clock::now();
      if (!options.framesDir.empty() && !frameDir.Write(frame, picture, &error)) failure = kExitCannotCreate;
      if (failure == 0 && !options.outFile.empty() && !video.Write(picture, &error)) failure = kExitFailed;
      const int64_t sinceFirst = frame - plan.firstFrame;
      if (!options.sheetFile.empty() && sinceFirst % options.fps == 0)
        sheet.Add(sinceFirst / options.fps, picture, plan.MusicTimeMs(frame));
      lastKept = Clock::now();
      drawing += Seconds(drawn - frameStart);
      readingBack += Seconds(read - drawn);
      writing += Seconds(lastKept - read);
      ++kept;
    }
    progress.Update(made);
  };

  RunApplication(*application);
  progress.Finish();
  windowSystem.beforeFrame = nullptr;
  windowSystem.beforeSwap = nullptr;

  if (g_stopSignal != 0) {
    video.Abort();
    Say(std::string("interrupted by ") + (g_stopSignal == SIGINT ? "SIGINT" : "SIGTERM") + " after " +
        std::to_string(kept) + " of " + std::to_string(plan.count()) + " frames" +
        (options.outFile.empty() ? "" : "; no video written") +
        (options.sheetFile.empty() ? "" : "; no contact sheet written"));
    return 128 + static_cast<int>(g_stopSignal);
  }
  if (failure != 0) {
    video.Abort();
    Say(error);
    return failure;
  }
  if (!loopStarted) {
    video.Abort();
    Say("the show could not be started: no window with a GL context could be made (with a display, check "
        "DISPLAY; without one, SDL's \"offscreen\" driver needs EGL, or run the capture under xvfb-run from the "
        "Debian package \"xvfb\")");
    return kExitFailed;
  }
  if (kept != plan.count()) {
    video.Abort();
    Say("the show ended after " + std::to_string(made) + " frames, before the capture was complete");
    return kExitFailed;
  }
  if (!options.outFile.empty() && !video.Finish(&error)) {
    Say(error);
    return kExitFailed;
  }
  if (!options.sheetFile.empty() && !sheet.Write(options.sheetFile, &error)) {
    Say(error);
    return kExitCannotCreate;
  }

  char size[32];
  std::snprintf(size, sizeof size, "%dx%d", options.width, options.height);
  std::string written;
  if (!options.outFile.empty()) written += "\n  video: " + options.outFile;
  if (!options.framesDir.empty()) written += "\n  frames: " + options.framesDir + "/" + FrameDirectory::FileName(plan.firstFrame) + " ...";
  if (!options.sheetFile.empty()) written += "\n  contact sheet: " + options.sheetFile;
  Say(std::to_string(kept) + (kept == 1 ? " frame" : " frames") + " of the " + SceneName(options.scene) + ", " + from + " to " + to + ", " + size +
      " at " + std::to_string(options.fps) + " frames per second" + written);
  const double span = Seconds(lastKept - firstKept);
  char timing[256];
  std::snprintf(timing, sizeof timing,
                "timing: %lld frames kept in %.2f s (%.2f frames/s); drawing %.2f ms, reading back %.2f ms, "
                "writing %.2f ms a frame",
                static_cast<long long>(kept), span, span > 0 ? static_cast<double>(kept) / span : 0.0,
                1000.0 * drawing / static_cast<double>(kept), 1000.0 * readingBack / static_cast<double>(kept),
                1000.0 * writing / static_cast<double>(kept));
  Say(timing);
  return 0;
}

}  // namespace VantorGL::capture
