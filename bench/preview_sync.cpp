// The preview's frame linked to a sync editor against the frame without: the
// real firstshow-preview (the template, whose four sync tracks are asked for)
// at 1280 x 720 plays the whole show from a temporary copy of its stage under
// a private Xvfb, once with --sync connected to a stand-in editor on a thread
// of this process (tests/support/rocket_editor.h: it answers, then reads the
// rows the preview sends as it plays) and once without, alternately, three
// times each. A frame's cost is the show's 12 s over the frames the preview
// made while playing (its own closing line). Target: with --sync no dearer.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/rocket_editor.h"
#include "tests/support/x_windows.h"
#include "tests/support/xvfb.h"

namespace {

using namespace vantor_test;
constexpr int kTimeoutMs = 180000;
constexpr double kShowMs = 12000;

WorkDir* g_stage = nullptr;
std::vector<double> g_withMs, g_withoutMs;
size_t g_rows = 0;

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

bool WaitForText(Program& p, const std::string& text) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
  while (p.Stderr().find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline || !p.Running()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// One whole show; the milliseconds a frame took while playing, 0 on a failure.
double PlayOnce(bool sync, std::string* error) {
  StandInEditor editor;
  std::thread editorThread;
  std::vector<std::string> args = {"--size", "1280x720"};
  if (sync) {
    if (!editor.Listen()) return *error = "no socket: " + editor.error(), 0;
    args.insert(args.end(), {"--sync", editor.Address()});
    editorThread = std::thread([&editor] {
      if (editor.Accept(kTimeoutMs) && editor.WaitForTracks(4, kTimeoutMs)) editor.WaitForClose(kTimeoutMs);
    });
  }
  Program p;
  double ms = 0;
  if (p.Start({.program = g_stage->File("firstshow-preview"), .args = args, .workDir = g_stage->path(),
               .env = {{"SDL_AUDIODRIVER", "dummy"}}}) &&
      WaitForText(p, "the end of the show")) {
    const std::string window = WaitForWindow("^firstshow-preview$", kTimeoutMs);
    FocusAndSendKeys(window, "Escape", 40);
    const std::string err = p.Wait(kTimeoutMs).stderrText;
    std::smatch m;
    if (std::regex_search(err, m, std::regex(R"(over (\d+) frames of play)"))) ms = kShowMs / std::stod(m[1]);
    if (sync && err.find("connected to the sync editor") == std::string::npos) ms = 0;
    if (ms == 0) *error = err;
  } else {
    *error = p.Stderr();
    p.Wait(1000);
  }
  if (editorThread.joinable()) editorThread.join();
  if (sync) g_rows += editor.rows().size();
  return ms;
}

void BM_FrameWithAndWithoutSync(benchmark::State& state) {
  for (auto _ : state) {
    for (int round = 0; round < 3; ++round)
      for (bool sync : {false, true}) {
        std::string error;
        const double ms = PlayOnce(sync, &error);
        if (ms == 0) {
          state.SkipWithError(("the preview did not play the show through: " + error).c_str());
          return;
        }
        (sync ? g_withMs : g_withoutMs).push_back(ms);
      }
    state.counters["with_sync_ms"] = Median(g_withMs);
    state.counters["without_ms"] = Median(g_withoutMs);
  }
}

}  // namespace

int main(int argc, char** argv) {
  PrivateXvfb xvfb;
  if (!xvfb.Start(1280, 720)) {
    std::fprintf(stderr, "bench_preview_sync: could not start Xvfb\n");
    return 1;
  }
  WorkDir stage = WorkDir::CopyOf(VANTOR_BINARY_DIR "/shows/template/stage");
  g_stage = &stage;
  if (ReadText(stage.File("firstshow-preview")).empty()) {
    std::fprintf(stderr, "bench_preview_sync: no firstshow-preview in the template's stage; build it first\n");
    return 1;
  }
  benchmark::RegisterBenchmark("PreviewSync/whole_show", BM_FrameWithAndWithoutSync)
      ->Iterations(1)
      ->Unit(benchmark::kSecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const double with = Median(g_withMs), without = Median(g_withoutMs);
  std::printf("\nPreview with a sync editor (1280x720, the template's whole show, medians of 3):\n");
  std::printf("  a frame without --sync: %.2f ms; with --sync connected: %.2f ms (%.3f x); %zu rows sent to the "
              "editor\n",
              without, with, without > 0 ? with / without : 0.0, g_rows);
  return 0;
}
