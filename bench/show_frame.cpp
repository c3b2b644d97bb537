// The show's frame time against a minimal SDL program doing the same GL work,
// both in a 1280x720 full-screen window with 4 samples per pixel, in one run.
//
//   production - the real application object opened, loaded and initialised from
//                a temporary copy of the stage in this process; each frame is the
//                frame loop's body: the message pump, Update, the clock's Tick,
//                Draw, the buffer swap, then glFinish. With "--scene start" it
//                plays the water scene alone (as tessaly-capture --scene start),
//                where every frame's picture is new. "--frames N" stops it after N
//                of its frames (the water scene's 30 s take long to draw).
//   minimal    - a child process with its own Xvfb and window: the background
//                and the slide as two quads into a 1024x768 RGBA16F target, the
//                target as one quad onto the window, swap, glFinish. It draws both
//                passes every frame: the bare cost of the picture drawn afresh.
//
// The show's clock moves 1/60 s a frame (the virtual clock of the capture
// program, makers/show_frames.h), the pace of a 60 Hz display: the background
// then steps every seventh frame whatever the machine's load, as a viewer at
// 60 frames/s sees it. With VANTOR_BENCH_REAL_CLOCK=1 it follows the real clock
// instead (on a slow or loaded machine every frame then shows a new background).
//
// The two run alternately in blocks of frames (the show is paused meanwhile: on
// the real clock its scene clocks are moved on by the pause), so background
// load hits both alike.
// Each side has its own X server, so neither window covers the other. Prints the
// median and 95th percentile of each and their ratios (target for the show: a
// median of at most 0.6), and the CPU time per frame of each process (all
// threads, and the loop's thread alone), which the machine's other load moves
// much less than the frame times.
//
// With VANTOR_BENCH_MINIMAL_PRECLEAR=1 the minimal program also clears the window
// before its target pass, as the demo timeline does before the slide scene draws.
// On llvmpipe that clear is not merged with the later one: binding the target
// carries out the window's pending clear-only scene in full (4 samples, colour
// and depth).
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bare_window.h"
#include "makers/show_frames.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "resources/texture_images.h"
#include "shell/debug_system.h"
#include "shell/timer.h"
#include "shell/window_messages.h"
#include "tessaly_show.h"
#include "tests/support/process.h"
#include "tests/support/xvfb.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 1280, kHeight = 720;
constexpr int kBlockFrames = 120;
constexpr int kWarmupFrames = 3;  // first frames of a block (caches, the other side's last frame)
const bool kPreClear = std::getenv("VANTOR_BENCH_MINIMAL_PRECLEAR") != nullptr;
const bool kRealClock = std::getenv("VANTOR_BENCH_REAL_CLOCK") != nullptr;
constexpr int kShowFps = 60;
int64_t g_counter = 0;      // the virtual clock (microseconds)
int64_t g_showFrame = 0;    // the show's next frame on it
size_t g_scene = VantorGL::TessalyShow::kShow;
long g_frameLimit = 0;      // the show's frames to play; 0: to its end

double Ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

// CPU time of the calling thread (the frame loop's own work).
double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// CPU time of this process, every thread (llvmpipe draws on threads of its own).
double ProcessCpuMs() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

bool WriteAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = write(fd, p, size);
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}
bool ReadAll(int fd, void* data, size_t size) {
  char* p = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t n = read(fd, p, size);
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// ---------------------------------------------------------------------------
// The minimal program (child process).

GLuint Upload(const std::optional<VantorGL::TextureImage>& image, bool clamp) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  if (clamp) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
  }
  if (image) {
    const GLenum format = image->channels == 3 ? GL_RGB : GL_RGBA;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), image->width, image->height, 0, format,
                 GL_UNSIGNED_BYTE, image->pixels.data());
  }
  return name;
}

std::optional<VantorGL::TextureImage> Prepare(const std::string& path, bool png) {
  const std::string text = vantor_test::ReadText(path);
  const auto* data = reinterpret_cast<const uint8_t*>(text.data());
  return png ? VantorGL::PreparePngTexture(data, text.size(), 16384)
             : VantorGL::PreparePictureTexture(data, text.size(), 16384);
}

void Quad(float z, float flipY) {
  glLoadIdentity();
  glTranslatef(0, 0, z);
  glScalef(2.08f, 1.56f * flipY, 0);
  glBegin(GL_TRIANGLE_STRIP);
  glTexCoord2f(0, 0); glVertex3f(-1, -1, 1);
  glTexCoord2f(1, 0); glVertex3f(1, -1, 1);
  glTexCoord2f(0, 1); glVertex3f(-1, 1, 1);
  glTexCoord2f(1, 1); glVertex3f(1, 1, 1);
  glEnd();
}

[[noreturn]] void MinimalProgram(const std::string& stage, int commands, int results) {
  vantor_test::PrivateXvfb xvfb;
  if (!xvfb.Start(kWidth, kHeight)) _exit(2);
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;
  vantor_bench::OpenBareWindow("minimal", kWidth, kHeight, window, context);
  if (!context) _exit(3);
  SDL_GL_SetSwapInterval(1);

  std::vector<GLuint> backgrounds, slides;
  for (int i = 0; i < 6; ++i)
    backgrounds.push_back(Upload(Prepare(stage + "/data/Background/tex" + std::to_string(i) + ".jpg", false), false));
  for (int i = 0; i < 56; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "/data/Slides/slide%02d.png", i);
    slides.push_back(Upload(Prepare(stage + name, true), true));
  }

  GLuint target = 0, fbo = 0;
  glGenTextures(1, &target);
  glBindTexture(GL_TEXTURE_2D, target);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA16F, 1024, 768, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glGenFramebuffers(1, &fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target, 0);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);

  // 45 degrees, 4:3, as the show's camera.
  const double near = 0.01, top = near * std::tan(22.5 * M_PI / 180.0), right = top * 4.0 / 3.0;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glFrustum(-right, right, -top, top, near, 10000.0);
  glMatrixMode(GL_MODELVIEW);
  glEnable(GL_TEXTURE_2D);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glClearColor(0, 0, 0, 1);
  glColor4f(1, 1, 1, 1);

  long frame = 0;
  for (;;) {
    int32_t count = 0;
    if (!ReadAll(commands, &count, sizeof count) || count <= 0) break;
    std::vector<double> times;
    const double cpuBefore = ProcessCpuMs(), threadBefore = ThreadCpuMs();
    for (int i = 0; i < count; ++i, ++frame) {
      const auto t0 = Clock::now();
      SDL_Event event;
      while (SDL_PollEvent(&event)) {
      }
      if (kPreClear) glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      glBindFramebuffer(GL_FRAMEBUFFER, fbo);
      glViewport(0, 0, 1024, 768);
      glClear(GL_COLOR_BUFFER_BIT);
      glBindTexture(GL_TEXTURE_2D, backgrounds[(frame / 4) % 6]);
      Quad(-3.8f, 1);
      glEnable(GL_BLEND);
      glBindTexture(GL_TEXTURE_2D, slides[(frame / 40) % 56]);
      Quad(-3.65f, -1);
      glDisable(GL_BLEND);
      glBindFramebuffer(GL_FRAMEBUFFER, 0);
      glViewport(0, 0, kWidth, kHeight);
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      glBindTexture(GL_TEXTURE_2D, target);
      Quad(-3.8f, 1);
      SDL_GL_SwapWindow(window);
      glFinish();
      times.push_back(Ms(t0, Clock::now()));
    }
    times.push_back(ProcessCpuMs() - cpuBefore);
    times.push_back(ThreadCpuMs() - threadBefore);
    if (!WriteAll(results, times.data(), times.size() * sizeof(double))) break;
  }
  SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(window);
  SDL_Quit();
  xvfb.Stop();
  _exit(0);
}

// ---------------------------------------------------------------------------
// The production (this process).

struct Show {
  // Draws every frame it is asked for (the production's own frame loop never skips one).
  VantorGL::TessalyShow app{nullptr};
  bool ended = false;

  bool Open() {
    VantorGL::cDebugSystem::Instance().Open("debug.log");
    app.ApplyProductionSettings();
    app.afterInitialise = [this] { app.ChooseScene(g_scene); };
    VantorGL::g_application = &app;
    if (!app.OpenWindow()) return false;
    VantorGL::platform::IWindowSystem& ws = app.windowSystem();
    while (app.loading) {
      app.LoadStep();
      ws.SwapBuffers(app.deviceContext);
    }
    app.Initialise();
    ws.ShowWindow(app.window, VantorGL::platform::SW_SHOWNORMAL);
    ws.SetForegroundWindow(app.window);
    return true;
  }

  // The frame loop's body, as many times as asked or until the show ends.
  void Frames(int count, std::vector<double>& times) {
    VantorGL::platform::IWindowSystem& ws = app.windowSystem();
    for (int i = 0; i < count && !ended; ++i) {
      const auto t0 = Clock::now();
      if (!kRealClock) g_counter = VantorGL::capture::FrameCounter(g_showFrame++, kShowFps);
      VantorGL::Message message;
      while (ws.PeekMessage(message)) {
        if (message.message == VantorGL::WM_QUIT) ended = true;
        ws.DispatchMessage(message);
      }
      app.Update();
      VantorGL::cTimer::Instance().Tick();
      const bool more = app.Draw();
      ws.SwapBuffers(app.deviceContext);
      glFinish();
      times.push_back(Ms(t0, Clock::now()));
      if (!more) ended = true;
    }
  }

  // Called after the show stood still: the clock starts from now, and the scenes'
  // origins move on by the pause, so their show time goes on where it stopped.
  void Resume(int32_t stoppedAtMs) {
    VantorGL::cTimer& timer = VantorGL::cTimer::Instance();
    timer.Restart();
    const int32_t pause = timer.nowMs - stoppedAtMs;
    for (VantorGL::cSceneSystem* s :
         {static_cast<VantorGL::cSceneSystem*>(&app.demo), static_cast<VantorGL::cSceneSystem*>(&app.demo.slideScene),
          static_cast<VantorGL::cSceneSystem*>(&app.demo.startScene)})
      if (!s->firstFrame) s->originMs += pause;
  }

  void Close() {
    app.CloseWindow();
    VantorGL::g_application = nullptr;
  }
};

struct Stats {
  double median = 0, p95 = 0;
  size_t count = 0;
};
Stats Summarise(std::vector<double> v) {
  Stats s;
  s.count = v.size();
  if (v.empty()) return s;
  std::sort(v.begin(), v.end());
  s.median = v[v.size() / 2];
  s.p95 = v[std::min(v.size() - 1, static_cast<size_t>(std::ceil(0.95 * v.size())) - 1)];
  return s;
}

std::vector<double> g_show, g_minimal;
double g_showCpuMs = 0, g_minimalCpuMs = 0, g_showThreadMs = 0, g_minimalThreadMs = 0;
long g_showFrames = 0, g_minimalFrames = 0;
int g_commands = -1, g_results = -1;
Show* g_production = nullptr;

// One benchmark run plays the whole show, alternating with the minimal program.
void BM_ShowAgainstMinimal(benchmark::State& state) {
  for (auto _ : state) {
    int32_t stoppedAt = VantorGL::cTimer::Instance().nowMs;
    while (!g_production->ended && (g_frameLimit == 0 || g_showFrames < g_frameLimit)) {
      // The minimal program's block.
      const int32_t count = kBlockFrames;
      std::vector<double> times(count + 2);  // the frames, then the block's CPU time: process, loop thread
      if (!WriteAll(g_commands, &count, sizeof count) ||
          !ReadAll(g_results, times.data(), times.size() * sizeof(double))) {
        state.SkipWithError("the minimal program stopped");
        return;
      }
      g_minimalThreadMs += times.back();
      times.pop_back();
      g_minimalCpuMs += times.back();
      times.pop_back();
      g_minimalFrames += count;
      g_minimal.insert(g_minimal.end(), times.begin() + kWarmupFrames, times.end());

      // The show's block.
      g_production->Resume(stoppedAt);
      times.clear();
      const double cpuBefore = ProcessCpuMs(), threadBefore = ThreadCpuMs();
      g_production->Frames(kBlockFrames, times);
      g_showCpuMs += ProcessCpuMs() - cpuBefore;
      g_showThreadMs += ThreadCpuMs() - threadBefore;
      g_showFrames += static_cast<long>(times.size());
      stoppedAt = VantorGL::cTimer::Instance().nowMs;
      std::fprintf(stderr, "block: %zu frames, show time %d ms, ended %d\n", times.size(),
                   g_production->app.demo.elapsedMs, g_production->ended);
      if (times.size() > static_cast<size_t>(kWarmupFrames))
        g_show.insert(g_show.end(), times.begin() + kWarmupFrames, times.end());
    }
  }
  const Stats show = Summarise(g_show), minimal = Summarise(g_minimal);
  state.counters["show_median_ms"] = show.median;
  state.counters["show_p95_ms"] = show.p95;
  state.counters["minimal_median_ms"] = minimal.median;
  state.counters["minimal_p95_ms"] = minimal.p95;
}

BENCHMARK(BM_ShowAgainstMinimal)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  // "--scene start": the water scene instead of the show; "--frames N": a limit
  // (both taken out before Google Benchmark reads the rest).
  for (int i = 1; i + 1 < argc;) {
    const std::string option = argv[i], value = argv[i + 1];
    if (option == "--scene" && value == "start")
      g_scene = VantorGL::TessalyShow::kStart;
    else if (option == "--frames")
      g_frameLimit = std::atol(value.c_str());
    else {
      ++i;
      continue;
    }
    for (int j = i; j + 2 <= argc; ++j) argv[j] = argv[j + 2];
    argc -= 2;
  }
  // The stage copy first: the minimal program reads its pictures from it.
  vantor_test::WorkDir dir = vantor_test::WorkDir::CopyOfStage();
  if (!fs::exists(dir.File("data/default.qelProperty"))) {
    std::fprintf(stderr, "bench_show_frame: no stage at %s (build the tessaly and content targets)\n",
                 VANTOR_STAGE_DIR);
    return 1;
  }
  // The minimal program is forked before this process touches SDL or X.
  int toChild[2], fromChild[2];
  if (pipe(toChild) != 0 || pipe(fromChild) != 0) return 1;
  const pid_t child = fork();
  if (child == 0) {
    close(toChild[1]);
    close(fromChild[0]);
    MinimalProgram(dir.path(), toChild[0], fromChild[1]);
  }
  close(toChild[0]);
  close(fromChild[1]);
  g_commands = toChild[1];
  g_results = fromChild[0];

  vantor_test::PrivateXvfb xvfb;
  if (!xvfb.Start(kWidth, kHeight)) {
    std::fprintf(stderr, "bench_show_frame: could not start Xvfb\n");
    return 1;
  }
  VantorGL::platform::SetMessageBoxHandler([](const std::string& text, const std::string&, unsigned) {
    std::fprintf(stderr, "message box: %s\n", text.c_str());
    return VantorGL::platform::IDOK;
  });
  if (chdir(dir.path().c_str()) != 0) return 1;
  if (!kRealClock) {
    VantorGL::platform::SetClockSource([] { return g_counter; }, VantorGL::capture::kCounterFrequency);
    VantorGL::cTimer::Instance() = VantorGL::cTimer();
  }
  // Torn down explicitly below, while its X server still runs.
  auto* show = new Show;
  g_production = show;
  const auto loadStart = Clock::now();
  if (!show->Open()) {
    std::fprintf(stderr, "bench_show_frame: the production's window did not open\n");
    return 1;
  }
  std::printf("production loaded in %.0f ms\n", Ms(loadStart, Clock::now()));

  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  const int32_t stop = 0;
  WriteAll(g_commands, &stop, sizeof stop);
  close(g_commands);
  waitpid(child, nullptr, 0);
  show->Close();
  delete show;
  g_production = nullptr;
  SDL_Quit();  // while the X server still runs

  const Stats s = Summarise(g_show), m = Summarise(g_minimal);
  const char* what = g_scene == VantorGL::TessalyShow::kStart ? "water scene" : "show";
  std::printf("%s frames: %zu, median %.2f ms, p95 %.2f ms\n", what, s.count, s.median, s.p95);
  std::printf("minimal frames: %zu, median %.2f ms, p95 %.2f ms\n", m.count, m.median, m.p95);
  if (kPreClear) std::printf("(the minimal program also clears the window before its target pass)\n");
  if (m.median > 0 && m.p95 > 0)
    std::printf("%s / minimal: median %.3f, p95 %.3f%s\n", what, s.median / m.median, s.p95 / m.p95,
                g_scene == VantorGL::TessalyShow::kShow ? "  (target: median <= 0.6)" : "");
  if (g_showFrames > 0 && g_minimalFrames > 0 && g_minimalCpuMs > 0) {
    const double showCpu = g_showCpuMs / g_showFrames, minimalCpu = g_minimalCpuMs / g_minimalFrames;
    std::printf("CPU per frame, all threads: %s %.2f ms, minimal %.2f ms, ratio %.3f\n", what, showCpu, minimalCpu,
                showCpu / minimalCpu);
    std::printf("CPU per frame, the frame loop's thread: %s %.2f ms, minimal %.2f ms\n", what,
                g_showThreadMs / g_showFrames, g_minimalThreadMs / g_minimalFrames);
  }
  if (chdir("/") != 0) return 1;
  std::fflush(stdout);
  return 0;
}
