// The shell's own cost per frame (message pump, clock, an empty always-active
// scene, the base Draw, swap) against a bare SDL clear-and-swap loop, both in a
// 1280x720 full-screen window with the same pixel format, in one run. Prints
// the ratio of the medians (target: at most 1.05).
//
// Needs Xvfb: the bench starts its own server (a free display number) and
// stops it at the end.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "platform/message_box.h"
#include "platform/sdl_window_system.h"
#include "scenes/scene_system.h"
#include "shell/windows_system.h"

namespace {

constexpr int kWidth = 1280, kHeight = 720;
constexpr int kFrames = 1500;

pid_t StartXvfb() {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const std::string fdText = std::to_string(fds[1]);
  const std::string screen = std::to_string(kWidth) + "x" + std::to_string(kHeight) + "x24";
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, 1);
    dup2(devnull, 2);
    execlp("Xvfb", "Xvfb", "-displayfd", fdText.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
           "+extension", "GLX", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  char c;
  while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number.push_back(c);
  close(fds[0]);
  if (number.empty()) return -1;
  setenv("DISPLAY", (":" + number).c_str(), 1);
  return pid;
}

class EmptyScene : public VantorGL::cSceneSystem {};

class BenchApp : public VantorGL::cWindowsSystem {
 public:
  BenchApp(VantorGL::platform::IWindowSystem* ws, benchmark::State* state) : cWindowsSystem(ws), state_(state) {
    scene_.alwaysActive = true;
  }
  bool LoadStep() override {
    loading = false;
    return true;
  }
  bool Update() override {
    VantorGL::RunUpdate(scene_);
    return true;
  }
  bool Draw() override {
    cWindowsSystem::Draw();
    VantorGL::RunDraw(scene_);
    return state_->KeepRunning();
  }

 private:
  benchmark::State* state_;
  EmptyScene scene_;
};

void BM_ShellFrame(benchmark::State& state) {
  VantorGL::platform::SdlWindowSystem sdl;
  BenchApp app(&sdl, &state);
  app.fullscreen = true;
  app.width = kWidth;
  app.height = kHeight;
  app.antiAliasing = false;
  app.showSetupDialog = false;
  app.title = "shell frame";
  VantorGL::g_application = &app;
  VantorGL::RunApplication(app);
  VantorGL::g_application = nullptr;
}

void BM_BareSdlFrame(benchmark::State& state) {
  SDL_InitSubSystem(SDL_INIT_VIDEO);
  SDL_GL_ResetAttributes();
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  SDL_Window* window = SDL_CreateWindow("bare", 0, 0, kWidth, kHeight,
                                        SDL_WINDOW_OPENGL | SDL_WINDOW_FULLSCREEN | SDL_WINDOW_BORDERLESS);
  SDL_GLContext context = SDL_GL_CreateContext(window);
  SDL_GL_SetSwapInterval(1);
  glViewport(0, 0, kWidth, kHeight);
  for (auto _ : state) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SDL_GL_SwapWindow(window);
  }
  SDL_GL_MakeCurrent(nullptr, nullptr);
  SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(window);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

BENCHMARK(BM_BareSdlFrame)->Iterations(kFrames)->Repetitions(7)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShellFrame)->Iterations(kFrames)->Repetitions(7)->Unit(benchmark::kMillisecond);

class MedianReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.aggregate_name == "median") {
        medians[run.run_name.function_name] = run.GetAdjustedRealTime();
        cpuMedians[run.run_name.function_name] = run.GetAdjustedCPUTime();
      }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> medians;
  std::map<std::string, double> cpuMedians;  // the main thread's own time
};

}  // namespace

int main(int argc, char** argv) {
  const pid_t xvfb = StartXvfb();
  if (xvfb < 0) {
    std::fprintf(stderr, "bench_shell_frame: could not start Xvfb\n");
    return 1;
  }
  VantorGL::platform::SetMessageBoxHandler([](const std::string& text, const std::string&, unsigned) {
    std::fprintf(stderr, "message box: %s\n", text.c_str());
    return VantorGL::platform::IDOK;
  });
  // Repetitions of the two loops alternate, so background load hits both alike.
  std::vector<char*> args(argv, argv + argc);
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  args.push_back(interleave.data());
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const double bare = reporter.medians["BM_BareSdlFrame"];
  const double shell = reporter.medians["BM_ShellFrame"];
  if (bare > 0 && shell > 0)
    std::printf("shell frame / bare SDL frame (medians): %.3f  (%.3f ms vs %.3f ms; target <= 1.05)\n",
                shell / bare, shell, bare);
  const double bareCpu = reporter.cpuMedians["BM_BareSdlFrame"];
  const double shellCpu = reporter.cpuMedians["BM_ShellFrame"];
  if (bareCpu > 0 && shellCpu > 0)
    std::printf("main-thread CPU per frame, shell / bare (medians): %.3f  (%.3f ms vs %.3f ms)\n",
                shellCpu / bareCpu, shellCpu, bareCpu);
  kill(xvfb, SIGTERM);
  waitpid(xvfb, nullptr, 0);
  return 0;
}
