// Capture speed: the real tessaly-capture, from a temporary copy of the stage
// under a private Xvfb, keeping the show's first 4 s at 30 frames per second
// (120 frames, no frames played before the first kept one) at 1280 x 720 and
// 640 x 360. Three outputs per size:
//   sheet   the baseline: every frame drawn and read back, almost nothing written
//           (one frame a second is scaled into the contact sheet);
//   video   frames piped into ffmpeg (H.264 + AAC);
//   frames  every frame written as a PNG file.
// Each round runs all six once, one after the other; three rounds, medians
// reported, so load from elsewhere on the machine falls on all alike.
// The program reports, per kept frame, the time drawing (the production's
// frame up to glFinish), reading back (glReadPixels and the row flip) and
// writing (PNG, or the pipe to ffmpeg, which blocks while ffmpeg lags). The
// summary gives each output's speed against the baseline of the same size,
// measured in the same run, and the share of a frame's wall time that goes to
// reading back and encoding.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/xvfb.h"

namespace {

struct Timing {
  bool ok = false;
  long frames = 0;
  double seconds = 0, fps = 0, drawMs = 0, readMs = 0, writeMs = 0;
  std::string error;
};

vantor_test::WorkDir* g_stage = nullptr;
std::map<std::string, std::vector<Timing>> g_runs;  // "640x360 video" -> one timing per round

Timing RunCapture(const std::string& size, const std::string& output) {
  std::vector<std::string> args = {"--fps", "30", "--to", "0:04.0", "--size", size};
  const std::string tag = size + "-" + output;
  if (output == "sheet") args.insert(args.end(), {"--sheet", "bench/" + tag + ".png"});
  if (output == "video") args.insert(args.end(), {"--out", "bench/" + tag + ".mp4"});
  if (output == "frames") args.insert(args.end(), {"--frames", "bench/" + tag});
  const vantor_test::ProgramResult r = vantor_test::RunProgram(
      {.program = g_stage->File("tessaly-capture"), .args = args, .workDir = g_stage->path()}, 900000);
  Timing t;
  std::smatch m;
  static const std::regex kTiming(
      R"(timing: (\d+) frames kept in ([0-9.]+) s \(([0-9.]+) frames/s\); drawing ([0-9.]+) ms, reading back ([0-9.]+) ms, writing ([0-9.]+) ms a frame)");
  if (r.exited && r.status == 0 && std::regex_search(r.stderrText, m, kTiming)) {
    t.ok = true;
    t.frames = std::stol(m[1]);
    t.seconds = std::stod(m[2]);
    t.fps = std::stod(m[3]);
    t.drawMs = std::stod(m[4]);
    t.readMs = std::stod(m[5]);
    t.writeMs = std::stod(m[6]);
  } else {
    t.error = "status " + std::to_string(r.status) + ": " + r.stderrText;
  }
  return t;
}

const char* const kSizes[] = {"1280x720", "640x360"};
const char* const kOutputs[] = {"sheet", "video", "frames"};

// The median run of a configuration by speed.
Timing Median(std::vector<Timing> runs) {
  std::sort(runs.begin(), runs.end(), [](const Timing& a, const Timing& b) { return a.fps < b.fps; });
  return runs.empty() ? Timing{} : runs[runs.size() / 2];
}

// One iteration is one round: every size and output once, one after the other,
// so load from elsewhere on the machine falls on all of them alike.
void BM_CaptureRounds(benchmark::State& state) {
  for (auto _ : state) {
    double seconds = 0;
    for (const char* size : kSizes)
      for (const char* output : kOutputs) {
        const Timing t = RunCapture(size, output);
        if (!t.ok) {
          state.SkipWithError(t.error.c_str());
          return;
        }
        g_runs[std::string(size) + " " + output].push_back(t);
        seconds += t.seconds;
      }
    state.SetIterationTime(seconds);
  }
  for (const char* size : kSizes)
    for (const char* output : kOutputs) {
      const std::string key = std::string(size) + " " + output;
      const Timing t = Median(g_runs[key]);
      state.counters[std::string(size) + "_" + output + "_fps"] = t.fps;
    }
}

void PrintSummary() {
  std::printf("\nCapture summary (medians of %zu rounds, ratios within this run; 120 frames at 30 fps each):\n",
              g_runs.empty() ? size_t{0} : g_runs.begin()->second.size());
  for (const char* size : kSizes) {
    if (g_runs[std::string(size) + " sheet"].empty()) continue;
    const Timing b = Median(g_runs[std::string(size) + " sheet"]);
    std::printf(
        "  %s baseline (draw + read back): %.2f frames/s; a frame %.2f ms: drawing %.2f, reading back %.2f, swap and "
        "loop %.2f\n",
        size, b.fps, 1000.0 / b.fps, b.drawMs, b.readMs, 1000.0 / b.fps - b.drawMs - b.readMs - b.writeMs);
    for (const char* output : {"video", "frames"}) {
      if (g_runs[std::string(size) + " " + output].empty()) continue;
      const Timing t = Median(g_runs[std::string(size) + " " + output]);
      const double frameMs = 1000.0 / t.fps;
      // What the output adds to a frame against the baseline, plus the read-back
      // itself: the share of the frame's wall time not spent rendering.
      const double addedMs = frameMs - 1000.0 / b.fps;
      std::printf(
          "  %s %-6s: %.2f frames/s = %.2f x baseline; a frame %.2f ms: drawing %.2f, reading back %.2f, "
          "writing %.2f, swap and loop %.2f; read-back + encoding = %.0f %% of the frame's time (%.0f %% measured "
          "against the baseline)\n",
          size, output, t.fps, t.fps / b.fps, frameMs, t.drawMs, t.readMs, t.writeMs,
          frameMs - t.drawMs - t.readMs - t.writeMs,
          100.0 * (t.readMs + t.writeMs) / (t.drawMs + t.readMs + t.writeMs),
          100.0 * (b.readMs + addedMs) / frameMs);
    }
  }
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
