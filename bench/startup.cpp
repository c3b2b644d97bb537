// Start-up of the production: from the process start (the fork) to the moment the
// show's first frame is about to be made ("frame loop started" in debug.log),
// running the real tessaly from a temporary copy of the stage under a private
// Xvfb, against the bare decoding of the same pictures and tunes in this process
// (libpng for the PNGs, SDL2_image for the JPEGs, libmpg123 for the two MP3s).
// Repetitions alternate, so background load hits both alike. Prints the ratio of
// the medians (target: at most 1.5), the same without the run-queue waits of the
// loading thread (what the machine's other load adds) and in CPU time, and for
// scale: the engine's own CPU side of the same assets (texture paths, MP3
// decoder; no GL), and a bare SDL program that opens the same window and makes the
// same textures. For the last program run, when each log line arrived, as a
// rough breakdown of where the time goes.
#include <SDL.h>
#include <SDL_image.h>
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>
#include <mpg123.h>
#include <png.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench/bare_window.h"
#include "resources/texture_images.h"
#include "shell/mp3_decoder.h"
#include "tests/support/process.h"
#include "tests/support/xvfb.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kFirstFrameMark = "frame loop started";

vantor_test::WorkDir* g_dir = nullptr;

struct Asset {
  enum Kind { kPng, kJpeg, kMp3 } kind;
  std::string path;
  std::vector<uint8_t> bytes;
};
std::vector<Asset> g_assets;

// A thread's time on a CPU and its time waiting for one (run queue), in ms,
// from the scheduler's statistics: the wait is what other processes' load adds.
struct SchedTimes {
  double runMs = 0, waitMs = 0;
};
SchedTimes ReadSchedstat(const std::string& path) {
  SchedTimes t;
  std::ifstream in(path);
  unsigned long long run = 0, wait = 0;
  if (in >> run >> wait) t = {run / 1e6, wait / 1e6};
  return t;
}

// Every picture and tune the program decodes before its first frame: the loading
// picture and tune, and what the property file names (all under data/).
void CollectAssets(const std::string& root) {
  for (const auto& entry : fs::recursive_directory_iterator(root + "/data")) {
    if (!entry.is_regular_file()) continue;
    const std::string ext = entry.path().extension().string();
    Asset a;
    if (ext == ".png") a.kind = Asset::kPng;
    else if (ext == ".jpg") a.kind = Asset::kJpeg;
    else if (ext == ".mp3") a.kind = Asset::kMp3;
    else continue;
    a.path = entry.path().string();
    const std::string text = vantor_test::ReadText(a.path);
    a.bytes.assign(text.begin(), text.end());
    g_assets.push_back(std::move(a));
  }
}

size_t DecodePng(const Asset& a) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, a.bytes.data(), a.bytes.size())) return 0;
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return 0;
  benchmark::DoNotOptimize(pixels.data());
  return pixels.size();
}

size_t DecodeJpeg(const Asset& a) {
  SDL_Surface* s = IMG_LoadTyped_RW(SDL_RWFromConstMem(a.bytes.data(), static_cast<int>(a.bytes.size())), 1, "JPG");
  if (!s) return 0;
  const size_t n = static_cast<size_t>(s->pitch) * s->h;
  SDL_FreeSurface(s);
  return n;
}

size_t DecodeMp3(const Asset& a) {
  mpg123_handle* mh = mpg123_new(nullptr, nullptr);
  if (!mh) return 0;
  mpg123_param(mh, MPG123_FLAGS, MPG123_QUIET, 0);
  mpg123_open_feed(mh);
  mpg123_feed(mh, a.bytes.data(), a.bytes.size());
  std::vector<unsigned char> buffer(1 << 16);
  size_t total = 0;
  for (;;) {
    size_t done = 0;
    const int r = mpg123_read(mh, buffer.data(), buffer.size(), &done);
    total += done;
    if (r == MPG123_NEW_FORMAT || (r == MPG123_OK && done > 0)) continue;
    break;
  }
  mpg123_delete(mh);
  return total;
}

// Bare decoding of every asset from memory (the files are read beforehand).
void BM_BareDecode(benchmark::State& state) {
  size_t bytes = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    const SchedTimes before = ReadSchedstat("/proc/thread-self/schedstat");
    bytes = 0;
    for (const Asset& a : g_assets) {
      switch (a.kind) {
        case Asset::kPng: bytes += DecodePng(a); break;
        case Asset::kJpeg: bytes += DecodeJpeg(a); break;
        case Asset::kMp3: bytes += DecodeMp3(a); break;
      }
    }
    const SchedTimes after = ReadSchedstat("/proc/thread-self/schedstat");
    const double wall = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    state.counters["cpu_ms"] = after.runMs - before.runMs;
    state.counters["unloaded_ms"] = wall - (after.waitMs - before.waitMs);
  }
  state.counters["decoded_MB"] = static_cast<double>(bytes) / (1 << 20);
  state.counters["assets"] = static_cast<double>(g_assets.size());
}

// The engine's own CPU side of the same assets, for the breakdown: the texture
// paths (decoding, the size rule's stretch, the row order) and the MP3 decoder at
// the device rate. No GL.
void BM_EngineDecode(benchmark::State& state) {
  for (auto _ : state) {
    const auto start = Clock::now();
    const SchedTimes before = ReadSchedstat("/proc/thread-self/schedstat");
    for (const Asset& a : g_assets) {
      switch (a.kind) {
        case Asset::kPng:
          benchmark::DoNotOptimize(VantorGL::PreparePngTexture(a.bytes.data(), a.bytes.size(), 16384));
          break;
        case Asset::kJpeg:
          benchmark::DoNotOptimize(VantorGL::PreparePictureTexture(a.bytes.data(), a.bytes.size(), 16384));
          break;
        case Asset::kMp3: benchmark::DoNotOptimize(VantorGL::DecodeMp3(a.bytes.data(), a.bytes.size(), 44100)); break;
      }
    }
    const SchedTimes after = ReadSchedstat("/proc/thread-self/schedstat");
    const double wall = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    state.counters["cpu_ms"] = after.runMs - before.runMs;
    state.counters["unloaded_ms"] = wall - (after.waitMs - before.waitMs);
  }
}

// For scale: a bare SDL program in a process of its own that opens the same
// 4-sample full-screen window, decodes the same assets with the bare decoders,
// makes the pictures plain textures (their own sizes, no rule) and draws one frame:
// what the window system and the GL driver add to the decoding by themselves.
void BareGlProgram(int done) {
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;
  vantor_bench::OpenBareWindow("bare", 1280, 720, window, context);
  if (!context) _exit(1);
  for (const Asset& a : g_assets) {
    if (a.kind == Asset::kMp3) {
      DecodeMp3(a);
      continue;
    }
    SDL_Surface* s = nullptr;
    std::vector<uint8_t> pixels;
    int w = 0, h = 0;
    if (a.kind == Asset::kPng) {
      png_image image{};
      image.version = PNG_IMAGE_VERSION;
      if (!png_image_begin_read_from_memory(&image, a.bytes.data(), a.bytes.size())) continue;
      image.format = PNG_FORMAT_RGBA;
      pixels.resize(PNG_IMAGE_SIZE(image));
      if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) continue;
      w = static_cast<int>(image.width), h = static_cast<int>(image.height);
    } else {
      s = IMG_LoadTyped_RW(SDL_RWFromConstMem(a.bytes.data(), static_cast<int>(a.bytes.size())), 1, "JPG");
      if (!s) continue;
      w = s->w, h = s->h;
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, s ? s->pitch / 3 : 0);
    glTexImage2D(GL_TEXTURE_2D, 0, s ? GL_RGB : GL_RGBA, w, h, 0, s ? GL_RGB : GL_RGBA, GL_UNSIGNED_BYTE,
                 s ? s->pixels : pixels.data());
    if (s) SDL_FreeSurface(s);
  }
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  SDL_GL_SwapWindow(window);
  glFinish();
  const char byte = 1;
  if (write(done, &byte, 1) != 1) _exit(1);
  _exit(0);
}

void BM_BareGlProgram(benchmark::State& state) {
  for (auto _ : state) {
    int fds[2];
    if (pipe(fds) != 0) {
      state.SkipWithError("no pipe");
      break;
    }
    const auto start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
      close(fds[0]);
      BareGlProgram(fds[1]);
    }
    close(fds[1]);
    char byte = 0;
    const bool done = read(fds[0], &byte, 1) == 1;
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const SchedTimes main = ReadSchedstat("/proc/" + std::to_string(child) + "/schedstat");
    close(fds[0]);
    waitpid(child, nullptr, 0);
    if (!done) {
      state.SkipWithError("the bare program failed");
      break;
    }
    state.SetIterationTime(seconds);
    state.counters["cpu_ms"] = main.runMs;
    state.counters["unloaded_ms"] = seconds * 1000.0 - main.waitMs;
  }
}

// Log lines of the latest program run with their arrival after the fork (ms).
std::vector<std::pair<double, std::string>> g_lastTimeline;

// Waits, through inotify on the work directory, until debug.log holds the first
// frame's mark; records when each new line arrived. False at the deadline.
bool WaitForFirstFrame(int watchFd, const std::string& log, Clock::time_point start, int timeoutMs) {
  g_lastTimeline.clear();
  size_t seen = 0;
  const auto deadline = start + std::chrono::milliseconds(timeoutMs);
  std::vector<char> events(64 * 1024);
  for (;;) {
    const std::string text = vantor_test::ReadText(log);
    const double at = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    size_t end;
    while ((end = text.find('\n', seen)) != std::string::npos) {
      g_lastTimeline.emplace_back(at, text.substr(seen, end - seen));
      seen = end + 1;
    }
    if (text.find(kFirstFrameMark) != std::string::npos) return true;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd p{watchFd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(std::min<long>(left, 100))) > 0) {
      if (read(watchFd, events.data(), events.size()) < 0) return false;
    }
  }
}

void BM_ProgramToFirstFrame(benchmark::State& state) {
  const std::string log = g_dir->File("debug.log");
  for (auto _ : state) {
    std::error_code ec;
    fs::remove(log, ec);
    const int watchFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    inotify_add_watch(watchFd, g_dir->path().c_str(), IN_MODIFY | IN_CREATE | IN_CLOSE_WRITE);
    vantor_test::Program program;
    const auto start = Clock::now();
    if (!program.Start({.program = vantor_test::ProgramPath("tessaly"), .workDir = g_dir->path()})) {
      state.SkipWithError("tessaly did not start");
      close(watchFd);
      break;
    }
    const bool reached = WaitForFirstFrame(watchFd, log, start, 120000);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    // The main thread does all the loading; its run-queue wait is the load's share.
    const SchedTimes main = ReadSchedstat("/proc/" + std::to_string(program.pid()) + "/schedstat");
    state.counters["cpu_ms"] = main.runMs;
    state.counters["unloaded_ms"] = seconds * 1000.0 - main.waitMs;
    close(watchFd);
    if (!reached) {
      state.SkipWithError(("no first frame: " + vantor_test::ReadText(log) + program.Stderr()).c_str());
      break;
    }
    state.SetIterationTime(seconds);
    // The program is ended with its process group when `program` goes.
  }
}

BENCHMARK(BM_BareDecode)->Iterations(1)->Repetitions(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineDecode)->Iterations(1)->Repetitions(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareGlProgram)->Iterations(1)->Repetitions(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProgramToFirstFrame)->Iterations(1)->Repetitions(5)->UseManualTime()->Unit(benchmark::kMillisecond);

class MedianReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.aggregate_name == "median") {
        medians[run.run_name.function_name] = run.GetAdjustedRealTime();
        for (const char* c : {"cpu_ms", "unloaded_ms"}) {
          const auto it = run.counters.find(c);
          if (it != run.counters.end()) counters[run.run_name.function_name + "/" + c] = it->second.value;
        }
      }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> medians;
  std::map<std::string, double> counters;
};

}  // namespace

int main(int argc, char** argv) {
  vantor_test::PrivateXvfb xvfb;
  if (!xvfb.Start(1280, 720)) {
    std::fprintf(stderr, "bench_startup: could not start Xvfb\n");
    return 1;
  }
  vantor_test::WorkDir dir = vantor_test::WorkDir::CopyOfStage();
  if (!fs::exists(dir.File("data/default.qelProperty"))) {
    std::fprintf(stderr, "bench_startup: no stage at %s (build the tessaly and content targets)\n",
                 VANTOR_STAGE_DIR);
    return 1;
  }
  g_dir = &dir;
  CollectAssets(dir.path());
  mpg123_init();
  IMG_Init(IMG_INIT_JPG);

  std::vector<char*> args(argv, argv + argc);
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  args.push_back(interleave.data());
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::printf("\nlast run, each log line's arrival after the fork:\n");
  for (const auto& [ms, line] : g_lastTimeline) std::printf("  %8.1f ms  %s\n", ms, line.c_str());

  const double bare = reporter.medians["BM_BareDecode"];
  const double program = reporter.medians["BM_ProgramToFirstFrame"];
  if (bare > 0 && program > 0)
    std::printf("\nstart-up to the first frame / bare decoding (medians): %.3f  (%.1f ms vs %.1f ms; target <= 1.5)\n",
                program / bare, program, bare);
  const double bareUnloaded = reporter.counters["BM_BareDecode/unloaded_ms"];
  const double programUnloaded = reporter.counters["BM_ProgramToFirstFrame/unloaded_ms"];
  if (bareUnloaded > 0 && programUnloaded > 0)
    std::printf("the same without run-queue waits (what the load adds): %.3f  (%.1f ms vs %.1f ms)\n",
                programUnloaded / bareUnloaded, programUnloaded, bareUnloaded);
  const double bareCpu = reporter.counters["BM_BareDecode/cpu_ms"];
  const double programCpu = reporter.counters["BM_ProgramToFirstFrame/cpu_ms"];
  if (bareCpu > 0 && programCpu > 0)
    std::printf("main-thread CPU time, program / bare decoding: %.3f  (%.1f ms vs %.1f ms)\n",
                programCpu / bareCpu, programCpu, bareCpu);
  const double bareGl = reporter.medians["BM_BareGlProgram"];
  const double bareGlUnloaded = reporter.counters["BM_BareGlProgram/unloaded_ms"];
  if (bareGl > 0 && program > 0 && bareGlUnloaded > 0)
    std::printf("for scale, a bare SDL program with the same window, decoding and textures: %.1f ms (%.1f ms without "
                "run-queue waits, %.1f ms CPU); program / it: %.3f (%.3f without waits; goal: at most 0.55)\n",
                bareGl, bareGlUnloaded, reporter.counters["BM_BareGlProgram/cpu_ms"], program / bareGl,
                programUnloaded / bareGlUnloaded);
  const double engineCpu = reporter.counters["BM_EngineDecode/cpu_ms"];
  if (bareCpu > 0 && engineCpu > 0)
    std::printf("the engine's own decoding of the same assets (texture paths, MP3 at 44100 Hz, no GL) / bare: "
                "%.3f  (%.1f ms vs %.1f ms CPU)\n",
                engineCpu / bareCpu, engineCpu, bareCpu);
  IMG_Quit();
  mpg123_exit();
  return 0;
}
