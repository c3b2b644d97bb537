#include "makers/capture_session.h"

#include <epoxy/gl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <string>

#include "platform/clock.h"
#include "platform/gl_extensions.h"
#include "platform/message_box.h"
#include "makers/capture_output.h"
#include "makers/capture_progress.h"
#include "makers/capture_writer.h"
#include "makers/show_frames.h"
#include "shell/debug_system.h"
#include "shell/file_paths.h"
#include "shell/show_data.h"

namespace VantorGL::capture {
namespace {

std::string g_program = "capture";  // the show's capture program, for messages

// The signals that stop a capture: Ctrl-C, a kill, the terminal closed or the
// ssh session dropped, Ctrl-\. Each ends it with status 128 + the signal.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

const char* SignalName(int signal) {
  switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    case SIGQUIT: return "SIGQUIT";
    default: return "a signal";
  }
}

// What a second signal writes, made before any signal can come: a handler may
// only write what is ready.
std::string g_again[std::size(kStopSignals)];

// The first stop signal; the capture stops after the frame it is making.
std::atomic<int> g_stopSignal{0};

void OnStopSignal(int signal) {
  int none = 0;
  if (g_stopSignal.compare_exchange_strong(none, signal)) return;
  // A second one: end at once, but leave no temporary file behind.
  RemovePendingFiles();
  for (size_t i = 0; i < std::size(kStopSignals); ++i) {
    if (kStopSignals[i] != signal) continue;
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, g_again[i].data(), g_again[i].size());
  }
  _exit(128 + signal);
}

void InstallSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : kStopSignals) sigaddset(&action.sa_mask, signal);
  action.sa_flags = SA_RESTART;
  for (int signal : kStopSignals) sigaction(signal, &action, nullptr);
  // A dead encoder shows as a failed write, not as the end of this process.
  signal(SIGPIPE, SIG_IGN);
}

// The viewer reads every message box's caption and text on standard error
// (platform/message_box.h writes it before asking): a box on the capture's
// hidden display, often a virtual one, would wait for an answer nobody can give.
int AnswerUnseen(const std::string&, const std::string&, unsigned style) {
  return (style & 0xF) == platform::MB_YESNO ? platform::IDNO : platform::IDOK;
}

void Say(const std::string& text) { std::fprintf(stderr, "%s: %s\n", g_program.c_str(), text.c_str()); }

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}
std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The finished picture from the back buffer, as the swap would put it on
// view. A multisampled back buffer is resolved first, into a framebuffer of
// one sample a pixel: read directly, Mesa's llvmpipe gives one of each pixel's
// samples, not their average that its swap shows (the player's and the
// preview's picture). The resolve target is made once in the capture's
// context and goes with it. Leaves the GL state as it found it.
class BackBufferReader {
 public:
  std::shared_ptr<Shot> Read(int width, int height);

 private:
  // Binds the resolved picture for reading; false when the driver cannot resolve.
  bool Resolve(int width, int height);
  // Said once; from then on the samples are read as they are.
  bool Unresolvable();

  GLuint framebuffer_ = 0, colour_ = 0;
  int width_ = 0, height_ = 0;
  bool unresolvable_ = false;
};

bool BackBufferReader::Resolve(int width, int height) {
  if (unresolvable_) return false;
  if (framebuffer_ == 0 || width != width_ || height != height_) {
    const bool blit = platform::GlVersion() >= 30 || platform::HasGlExtension("GL_EXT_framebuffer_blit") ||
                      platform::HasGlExtension("GL_ARB_framebuffer_object");
    if (blit && framebuffer_ == 0) {
      glGenFramebuffersEXT(1, &framebuffer_);
      glGenRenderbuffersEXT(1, &colour_);
    }
    bool complete = false;
    if (blit) {
      glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, colour_);
      glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_RGBA8, width, height);
      glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
      glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer_);
      glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT, colour_);
      complete = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT;
      glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    }
    if (!complete) return Unresolvable();
    width_ = width;
    height_ = height;
  }
  // A blit is clipped by the scissor box. The frame's own errors, which
  // nobody asks for here, must not be taken for the blit's.
  const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
  glDisable(GL_SCISSOR_TEST);
  for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
  }
  glBindFramebufferEXT(GL_DRAW_FRAMEBUFFER_EXT, framebuffer_);
  glBlitFramebufferEXT(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  const bool blitted = glGetError() == GL_NO_ERROR;
  if (scissor) glEnable(GL_SCISSOR_TEST);
  // A failed blit leaves nothing to read there: the samples as they are, then.
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, blitted ? framebuffer_ : 0);
  if (!blitted) return Unresolvable();
  glReadBuffer(GL_COLOR_ATTACHMENT0_EXT);
  return true;
}

bool BackBufferReader::Unresolvable() {
  unresolvable_ = true;
  Say("the driver cannot resolve the multisampled picture: each pixel of the frames is one of its samples, "
      "less smooth than the show on screen");
  return false;
}

std::shared_ptr<Shot> BackBufferReader::Read(int width, int height) {
  GLint framebuffer = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &framebuffer);
  if (framebuffer != 0) glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  GLint readBuffer = GL_BACK;
  glGetIntegerv(GL_READ_BUFFER, &readBuffer);
  glReadBuffer(GL_BACK);
  GLint sampleBuffers = 0;
  glGetIntegerv(GL_SAMPLE_BUFFERS, &sampleBuffers);
  const bool resolved = sampleBuffers > 0 && Resolve(width, height);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glPixelStorei(GL_PACK_SKIP_ROWS, 0);
  glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
  auto shot = std::make_shared<Shot>();
  shot->width = width;
  shot->height = height;
  shot->rgba.resize(static_cast<size_t>(width) * height * 4);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, shot->rgba.data());
  glPopClientAttrib();
  if (resolved) glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  glReadBuffer(static_cast<GLenum>(readBuffer));
  if (framebuffer != 0) glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(framebuffer));
  return shot;
}

using Clock = std::chrono::steady_clock;
double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int RunCapture(const Options& options, IShow& show, platform::OffscreenWindowSystem& windowSystem) {
  g_program = show.Name() + "-capture";
  for (size_t i = 0; i < std::size(kStopSignals); ++i)
    g_again[i] = g_program + ": interrupted again by " + SignalName(kStopSignals[i]) + ": stopped at once\n";
  const FramePlan plan = PlanFrames(options);
  const std::string from = FormatMusicTime(plan.MusicTimeMs(plan.firstFrame));
  const std::string to = FormatMusicTime(options.toMs.value_or(WindowOf(options).endMs));

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
  // What a capture killed outright left of these outputs goes now.
  if (!options.framesDir.empty())
    RemoveAbandonedFiles(options.framesDir, [](const std::string& name) {
      return name.rfind("frame_", 0) == 0 && name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0;
    });
  for (const std::string& file : {options.outFile, options.sheetFile})
    if (!file.empty())
      RemoveAbandonedFiles(DirectoryOf(file), [&file](const std::string& name) { return name == BaseName(file); });
  std::string music;
  if (!options.outFile.empty()) {
    const std::string musicFile = show.MusicFile();
    music = musicFile.empty() ? "" : ResolvePath(musicFile);
    if (music.empty() || access(music.c_str(), R_OK) != 0) {
      Say(musicFile.empty() ? "the show has no music: the video will be silent"
                            : "no " + musicFile + " here: the video will be silent");
      music.clear();
    }
  }

  // Sound plays on no device and feeds nothing back: the dummy driver, always.
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  // The stop signals are this program's to handle (SDL would turn them into a
  // quit event that the hidden window never sees).
  setenv("SDL_NO_SIGNAL_HANDLERS", "1", 1);
  InstallSignalHandlers();
  platform::SetMessageBoxHandler(AnswerUnseen);

  int64_t counter = 0;
  platform::SetClockSource([&counter] { return counter; }, kCounterFrequency);

  OpenShowLog();
  cDebugSystem::Instance().Log("capture", SceneName(options) + " " + from + " to " + to + ", " +
                                              std::to_string(options.width) + "x" +
                                              std::to_string(options.height) + " at " +
                                              std::to_string(options.fps) + " frames per second");

  // Frames are read from the back buffer before the swap; showing them in the
  // hidden window would only cost time.
  windowSystem.swapBuffers = false;
  cWindowsSystem& application = show.Application();
  show.ApplyPlayerSettings();
  application.width = options.width;
  application.height = options.height;
  show.afterInitialise = [&show, &options] { show.ChooseScene(options.scene); };
  g_application = &application;

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

  FrameWriter writer;
  FrameWriter::Outputs outputs;
  outputs.frames = options.framesDir.empty() ? nullptr : &frameDir;
  outputs.video = options.outFile.empty() ? nullptr : &video;
  outputs.sheet = options.sheetFile.empty() ? nullptr : &sheet;
  outputs.plan = plan;
  writer.Start(outputs);

  Progress progress(plan.endFrame, isatty(STDERR_FILENO) != 0);
  bool loopStarted = false;
  int64_t made = 0;   // frames made so far; the next one is frame `made`
  int64_t kept = 0;
  int64_t drawnKept = 0;  // kept frames that were drawn and read back
  int failure = 0;    // exit status of a failed output
  // The picture of the last drawn frame, when it was read back.
  std::shared_ptr<Shot> lastDrawn;
  BackBufferReader backBuffer;
  Clock::time_point frameStart{}, firstKept{};
  double drawing = 0, readingBack = 0, writing = 0;

  windowSystem.beforeFrame = [&] {
    loopStarted = true;
    if (g_stopSignal.load() != 0 || failure != 0 || made >= plan.endFrame) {
      windowSystem.RequestClose();
      return;
    }
    // The reading this frame's cTimer::Tick takes (see show_frames.h).
    counter = FrameCounter(made, options.fps);
    // A frame known to show the last drawn picture is not drawn: before the
    // first kept frame nothing is wanted of it, after it that picture is at hand.
    show.reuseUnchanged = made < plan.firstFrame || lastDrawn != nullptr;
    frameStart = Clock::now();
  };

  windowSystem.beforeSwap = [&] {
    if (!loopStarted) return;  // the loading screen's swap
    const int64_t frame = made++;
    const bool keep = frame >= plan.firstFrame && frame < plan.endFrame && failure == 0;
    if (show.drawn) lastDrawn = nullptr;
    if (keep) {
      if (kept == 0) firstKept = frameStart;
      Clock::time_point drawn = Clock::now(), read = drawn;
      if (show.drawn) {
        glFinish();
        drawn = Clock::now();
        try {
          lastDrawn = backBuffer.Read(options.width, options.height);
        } catch (const std::bad_alloc&) {
          failure = kExitFailed;
          error = "out of memory reading back frame " + std::to_string(frame) + ": a smaller --size needs less";
        }
        read = Clock::now();
        ++drawnKept;
      }
      if (failure == 0 && !writer.Add(frame, lastDrawn)) failure = kExitFailed;  // the writer says which below
      drawing += Seconds(drawn - frameStart);
      readingBack += Seconds(read - drawn);
      writing += Seconds(Clock::now() - read);
      ++kept;
    }
    progress.Update(made);
  };

  RunApplication(application);
  progress.Finish();
  windowSystem.beforeFrame = nullptr;
  windowSystem.beforeSwap = nullptr;

  const int stopSignal = g_stopSignal.load();
  if (stopSignal != 0 || failure != 0 || !loopStarted || kept != plan.count()) {
    // Whatever the writer still holds is not wanted, unless it says why it failed.
    if (failure != 0) {
      writer.Finish(&error, &failure);
    } else {
      writer.Cancel();
    }
  } else if (!writer.Finish(&error, &failure)) {
    video.Abort();
    Say(error);
    return failure;
  }
  if (stopSignal != 0) {
    video.Abort();
    Say(std::string("interrupted by ") + SignalName(stopSignal) + " after " +
        std::to_string(kept) + " of " + std::to_string(plan.count()) + " frames" +
        (options.outFile.empty() ? "" : "; no video written") +
        (options.sheetFile.empty() ? "" : "; no contact sheet written"));
    return 128 + stopSignal;
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
  const Clock::time_point done = Clock::now();

  char size[32];
  std::snprintf(size, sizeof size, "%dx%d", options.width, options.height);
  std::string written;
  if (!options.outFile.empty()) written += "\n  video: " + options.outFile;
  if (!options.framesDir.empty()) written += "\n  frames: " + options.framesDir + "/" + FrameDirectory::FileName(plan.firstFrame) + " ...";
  if (!options.sheetFile.empty()) written += "\n  contact sheet: " + options.sheetFile;
  Say(std::to_string(kept) + (kept == 1 ? " frame" : " frames") + " of the " + SceneName(options) + ", " + from + " to " + to + ", " + size +
      " at " + std::to_string(options.fps) + " frames per second" + written);
  // From the start of the first kept frame until every output is complete.
  const double span = Seconds(done - firstKept);
  char timing[320];
  std::snprintf(timing, sizeof timing,
                "timing: %lld frames kept in %.2f s (%.2f frames/s); drawing %.2f ms, reading back %.2f ms, "
                "writing %.2f ms a frame; %lld frames drawn, the others repeat the one before",
                static_cast<long long>(kept), span, span > 0 ? static_cast<double>(kept) / span : 0.0,
                1000.0 * drawing / static_cast<double>(kept), 1000.0 * readingBack / static_cast<double>(kept),
                1000.0 * writing / static_cast<double>(kept), static_cast<long long>(drawnKept));
  Say(timing);
  return 0;
}

}  // namespace VantorGL::capture
