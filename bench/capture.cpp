// Capture speed: the real tessaly-capture, from a temporary copy of the stage
// under a private Xvfb, at 1280 x 720 and 60 frames per second:
//   show video    the whole show (2820 frames) to H.264 + AAC through ffmpeg;
//   show sheet    the whole show, almost nothing written (one frame a second is
//                 scaled into the contact sheet): what drawing and reading back
//                 cost alone;
//   water video   the water scene (--scene start), its first 4 s (240 frames),
//                 where every frame is new and drawn;
//   water sheet   the same with only the contact sheet.
// Each round runs all four once, one after the other; three rounds, medians
// reported, so load from elsewhere on the machine falls on all alike.
// The program reports the frames/s from the first kept frame until every output
// is complete, and per kept frame the time drawing (the production's frame up
// to glFinish; nothing for a frame that repeats the one before), reading back,
// and handing the frame to the writer thread (waiting while it lags). The
// summary gives each speed as a share of real time (60 frames/s; the goal for
// the show's video is at least 2) and the video against the sheet of the same
// span, measured in the same run: what encoding adds. It also gives the CPU
// time the capture and its ffmpeg took, which other load on the machine moves
// much less than the wall time, and the speed that CPU time allows at most
// with every core of the machine free.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/xvfb.h"

namespace {

constexpr double kFps = 60;

struct Timing {
  bool ok = false;
  long frames = 0, drawn = 0;
  double seconds = 0, fps = 0, drawMs = 0, readMs = 0, writeMs = 0;
  double wallSeconds = 0;  // the whole program, loading included
  double cpuSeconds = 0;   // the program and ffmpeg, every thread, loading included
  std::string error;
};

struct Config {
  const char* name;
  std::vector<std::string> args;
};

const Config kConfigs[] = {
    {"show video", {"--out", "bench/show.mp4"}},
    {"show sheet", {"--sheet", "bench/show.png"}},
    {"water video", {"--scene", "start", "--to", "1:04.0", "--out", "bench/water.mp4"}},
    {"water sheet", {"--scene", "start", "--to", "1:04.0", "--sheet", "bench/water.png"}},
};

vantor_test::WorkDir* g_stage = nullptr;
std::map<std::string, std::vector<Timing>> g_runs;  // configuration -> one timing per round

Timing RunCapture(const Config& config) {
  std::vector<std::string> args = {"--fps", "60", "--size", "1280x720"};
  args.insert(args.end(), config.args.begin(), config.args.end());
  // The capture and the ffmpeg it waits for count as this process's children once reaped.
  auto childrenCpu = [] {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
  };
  const double cpuBefore = childrenCpu();
  const auto start = std::chrono::steady_clock::now();
  const vantor_test::ProgramResult r = vantor_test::RunProgram(
      {.program = g_stage->File("tessaly-capture"), .args = args, .workDir = g_stage->path()}, 1800000);
  Timing t;
  t.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  t.cpuSeconds = childrenCpu() - cpuBefore;
  std::smatch m;
  static const std::regex kTiming(
      R"(timing: (\d+) frames kept in ([0-9.]+) s \(([0-9.]+) frames/s\); drawing ([0-9.]+) ms, reading back ([0-9.]+) ms, writing ([0-9.]+) ms a frame; (\d+) frames drawn)");
  if (r.exited && r.status == 0 && std::regex_search(r.stderrText, m, kTiming)) {
    t.ok = true;
    t.frames = std::stol(m[1]);
    t.seconds = std::stod(m[2]);
    t.fps = std::stod(m[3]);
    t.drawMs = std::stod(m[4]);
    t.readMs = std::stod(m[5]);
    t.writeMs = std::stod(m[6]);
    t.drawn = std::stol(m[7]);
  } else {
    t.error = "status " + std::to_string(r.status) + ": " + r.stderrText;
  }
  return t;
}

// The median run of a configuration by speed.
Timing Median(std::vector<Timing> runs) {
  std::sort(runs.begin(), runs.end(), [](const Timing& a, const Timing& b) { return a.fps < b.fps; });
  return runs.empty() ? Timing{} : runs[runs.size() / 2];
}

// One iteration is one round: every configuration once, one after the other.
void BM_CaptureRounds(benchmark::State& state) {
  for (auto _ : state) {
    double seconds = 0;
    for (const Config& config : kConfigs) {
      const Timing t = RunCapture(config);
      if (!t.ok) {
        state.SkipWithError(t.error.c_str());
        return;
      }
      g_runs[config.name].push_back(t);
      seconds += t.seconds;
    }
    state.SetIterationTime(seconds);
  }
  for (const Config& config : kConfigs) {
    std::string key = config.name;
    std::replace(key.begin(), key.end(), ' ', '_');
    state.counters[key + "_fps"] = Median(g_runs[config.name]).fps;
  }
}

void PrintSummary() {
  std::printf("\nCapture summary, 1280x720 at 60 frames/s (medians of %zu rounds; ratios within this run):\n",
              g_runs.empty() ? size_t{0} : g_runs.begin()->second.size());
  for (const Config& config : kConfigs) {
    if (g_runs[config.name].empty()) continue;
    const Timing t = Median(g_runs[config.name]);
    std::printf(
        "  %-11s: %ld frames (%ld drawn) in %.2f s = %.2f frames/s = %.2f x real time; the program ran %.1f s in "
        "all; a kept frame: drawing %.2f ms, reading back %.2f ms, handing over %.2f ms\n",
        config.name, t.frames, t.drawn, t.seconds, t.fps, t.fps / kFps, t.wallSeconds, t.drawMs, t.readMs,
        t.writeMs);
  }
  const long cores = sysconf(_SC_NPROCESSORS_ONLN);
  for (const Config& config : kConfigs) {
    if (g_runs[config.name].empty()) continue;
    const Timing t = Median(g_runs[config.name]);
    std::printf("  %-11s: CPU %.1f s (capture and ffmpeg, loading included) = %.2f ms a frame; with all %ld cores "
                "free at most %.1f frames/s = %.2f x real time\n",
                config.name, t.cpuSeconds, 1000.0 * t.cpuSeconds / t.frames, cores,
                t.frames * cores / t.cpuSeconds, t.frames * cores / t.cpuSeconds / kFps);
  }
  for (const char* what : {"show", "water"}) {
    const std::string video = std::string(what) + " video", sheet = std::string(what) + " sheet";
    if (g_runs[video].empty() || g_runs[sheet].empty()) continue;
    std::printf("  %s: video / sheet speed %.2f\n", what, Median(g_runs[video]).fps / Median(g_runs[sheet]).fps);
  }
  if (!g_runs["show video"].empty())
    std::printf("  goal: the show's video at twice real time or faster: %.2f x real time (at least 2)\n",
                Median(g_runs["show video"]).fps / kFps);
}

}  // namespace

int main(int argc, char** argv) {
  vantor_test::PrivateXvfb xvfb;
  if (!xvfb.Start(1280, 720)) {
    std::fprintf(stderr, "bench_capture: could not start Xvfb\n");
    return 1;
  }
  vantor_test::WorkDir stage = vantor_test::WorkDir::CopyOfStage();
  g_stage = &stage;
  if (vantor_test::ReadText(stage.File("tessaly-capture")).empty()) {
    std::fprintf(stderr, "bench_capture: no tessaly-capture in the stage; build it first\n");
    return 1;
  }
  benchmark::RegisterBenchmark("Capture/rounds", BM_CaptureRounds)->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintSummary();
  return 0;
}
