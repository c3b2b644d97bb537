// The live preview, the real tessaly-preview at 1280 x 720 from a temporary copy
// of the stage under a private Xvfb, driven by keys:
//   seek     the time from a seek's key to its picture on screen, for seeks
//            landing all over the show (the show stood at the frame without
//            playing the frames before it), against the baseline of a seek to
//            the start (one frame drawn); target: at most 100 ms;
//   reload   the time from a slide file's write to its reload done (the
//            preview's own line), against one frame; target: at most 500 ms;
//   offset   the clock against the music over the whole show, played from the
//            start to its end, on the dummy driver and on the disk driver at
//            a pace 15 % fast and 10 % slow; target: within +-5 ms.
// Figures are medians; the machine's other load falls on seeks and baseline
// alike. The summary prints them and their ratios.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/image_files.h"
#include "tests/support/process.h"
#include "tests/support/x_windows.h"
#include "tests/support/xvfb.h"

namespace {

using namespace vantor_test;
constexpr int kTimeoutMs = 180000;

WorkDir* g_stage = nullptr;
std::vector<double> g_seekMs, g_homeMs, g_standMs, g_reloadMs, g_loadMs;
std::map<std::string, std::string> g_offsets;  // driver -> the preview's summary

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct Preview {
  Program program;
  std::string window;

  bool Start(std::vector<std::string> args, std::vector<std::pair<std::string, std::string>> env) {
    if (!program.Start({.program = g_stage->File("tessaly-preview"), .args = args, .workDir = g_stage->path(),
                        .env = env}))
      return false;
    if (!WaitFor("seek to ", 1)) return false;
    window = WaitForWindow("^tessaly-preview$", kTimeoutMs);
    return !window.empty();
  }
  bool Keys(const std::string& keys) {
    return FocusAndSendKeys(window, keys, 60);
  }
  int Count(const std::string& text) const {
    const std::string err = program.Stderr();
    int n = 0;
    for (size_t at = err.find(text); at != std::string::npos; at = err.find(text, at + 1)) ++n;
    return n;
  }
  bool WaitFor(const std::string& text, int count, int timeoutMs = kTimeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Count(text) < count) {
      if (std::chrono::steady_clock::now() > deadline || !program.Running()) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }
  std::string Quit() {
    Keys("Escape");
    return program.Wait(kTimeoutMs).stderrText;
  }
};

// Seeks one at a time, each waited for: 10 s forward four times, to the end,
// back to the start, and over again.
void BM_Seeks(benchmark::State& state) {
  for (auto _ : state) {
    Preview p;
    if (!p.Start({"--paused"}, {{"SDL_AUDIODRIVER", "dummy"}})) {
      state.SkipWithError(("preview did not start: " + p.program.Stderr()).c_str());
      return;
    }
    int seeks = 1;
    for (int round = 0; round < 3; ++round)
      for (const char* key : {"shift+Right", "shift+Right", "shift+Right", "shift+Right", "shift+Right", "Home"}) {
        p.Keys(key);
        if (!p.WaitFor("seek to ", ++seeks)) {
          state.SkipWithError(("no seek line: " + p.program.Stderr()).c_str());
          return;
        }
      }
    // A slide rewritten with the picture it holds (the preview holds 0:00.0, slide 0).
    const std::string slide = g_stage->File("data/Slides/slide00.png");
    const std::string bytes = ReadText(slide);
    for (int i = 0; i < 5; ++i) {
      WriteBytes(slide, std::vector<uint8_t>(bytes.begin(), bytes.end()));
      if (!p.WaitFor("reloaded Slide0 ", i + 1, 10000)) {
        state.SkipWithError(("no reload line: " + p.program.Stderr()).c_str());
        return;
      }
    }
    const std::string err = p.Quit();
    static const std::regex kSeek(R"(seek to (\d+:\d+\.\d+) \(frame (\d+)\).*stood there in ([0-9.]+) ms, on screen after ([0-9.]+) ms)");
    bool first = true;  // the start, with the window's first frame
    for (std::sregex_iterator it(err.begin(), err.end(), kSeek), end; it != end; ++it) {
      if (std::exchange(first, false)) continue;
      if ((*it)[2] == "0") {
        g_homeMs.push_back(std::stod((*it)[4]));
      } else {
        g_seekMs.push_back(std::stod((*it)[4]));
        g_standMs.push_back(std::stod((*it)[3]));
      }
    }
    static const std::regex kReload(R"(reloaded Slide0 from \S+ ([0-9.]+) ms after it changed \(loading took ([0-9.]+) ms\))");
    for (std::sregex_iterator it(err.begin(), err.end(), kReload), end; it != end; ++it) {
      g_reloadMs.push_back(std::stod((*it)[1]));
      g_loadMs.push_back(std::stod((*it)[2]));
    }
    state.counters["seek_ms"] = Median(g_seekMs);
    state.counters["reload_ms"] = Median(g_reloadMs);
  }
}

// The whole show played from the start; at its end the preview holds and says so.
void BM_WholeShowOffset(benchmark::State& state, std::vector<std::pair<std::string, std::string>> env,
                        std::string label) {
  for (auto _ : state) {
    Preview p;
    if (!p.Start({}, env) || !p.WaitFor("the end of the show", 1, 200000)) {
      state.SkipWithError(("the show did not play to its end: " + p.program.Stderr()).c_str());
      return;
    }
    const std::string err = p.Quit();
    std::smatch m;
    if (std::regex_search(err, m, std::regex(R"(the clock against the music over [^\n]*)"))) g_offsets[label] = m[0];
  }
}

void PrintSummary() {
  std::printf("\nPreview summary (1280x720, medians; the machine's other load falls on all alike):\n");
  const double home = Median(g_homeMs), seek = Median(g_seekMs);
  std::printf("  seek to the start (one frame drawn): %.1f ms\n", home);
  std::printf("  seek elsewhere in the show, key to picture: %.1f ms (worst %.1f ms) = %.2f x the seek to the start; "
              "standing the show there %.2f ms (worst %.2f ms)\n",
              seek, g_seekMs.empty() ? 0.0 : *std::max_element(g_seekMs.begin(), g_seekMs.end()),
              home > 0 ? seek / home : 0.0, Median(g_standMs),
              g_standMs.empty() ? 0.0 : *std::max_element(g_standMs.begin(), g_standMs.end()));
  std::printf("  slide reload, write to done: %.1f ms (worst %.1f ms), of which loading %.1f ms; %.2f x a frame\n",
              Median(g_reloadMs), g_reloadMs.empty() ? 0.0 : *std::max_element(g_reloadMs.begin(), g_reloadMs.end()),
              Median(g_loadMs), home > 0 ? Median(g_reloadMs) / home : 0.0);
  for (const auto& [label, line] : g_offsets) std::printf("  whole show, %s: %s\n", label.c_str(), line.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  PrivateXvfb xvfb;
  if (!xvfb.Start(1280, 720)) {
    std::fprintf(stderr, "bench_preview: could not start Xvfb\n");
    return 1;
  }
  WorkDir stage = WorkDir::CopyOfStage();
  g_stage = &stage;
  if (ReadText(stage.File("tessaly-preview")).empty()) {
    std::fprintf(stderr, "bench_preview: no tessaly-preview in the stage; build it first\n");
    return 1;
  }
  benchmark::RegisterBenchmark("Preview/seeks_and_reloads", BM_Seeks)->Iterations(1)->Unit(benchmark::kSecond);
  benchmark::RegisterBenchmark("Preview/whole_show/dummy", BM_WholeShowOffset,
                               std::vector<std::pair<std::string, std::string>>{{"SDL_AUDIODRIVER", "dummy"}},
                               std::string("dummy driver"))
      ->Iterations(1)
      ->Unit(benchmark::kSecond);
  benchmark::RegisterBenchmark("Preview/whole_show/disk_fast", BM_WholeShowOffset,
                               std::vector<std::pair<std::string, std::string>>{
                                   {"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", "/dev/null"},
                                   {"SDL_DISKAUDIODELAY", "10"}},
                               std::string("disk driver, 10 ms a 512-frame buffer (fast)"))
      ->Iterations(1)
      ->Unit(benchmark::kSecond);
  benchmark::RegisterBenchmark("Preview/whole_show/disk_slow", BM_WholeShowOffset,
                               std::vector<std::pair<std::string, std::string>>{
                                   {"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", "/dev/null"},
                                   {"SDL_DISKAUDIODELAY", "13"}},
                               std::string("disk driver, 13 ms a 512-frame buffer (slow)"))
      ->Iterations(1)
      ->Unit(benchmark::kSecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintSummary();
  return 0;
}
