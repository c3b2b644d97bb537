// The cost of a show's sync tracks in its frame: 100 tracks of 1000 keys each
// (the four interpolations in turn), every track's value read once a frame at
// the frame's music time, against the smallest frame a show can have measured
// in the same run: a 1280x720 full-screen window with 4 samples per pixel
// (the production's) cleared and swapped, then glFinish, in a private Xvfb.
// Any show's frame costs at least that, so the share printed bounds the share
// of every show's frame from above (goal: under 1 %).
//
// It also counts the allocations made while values are read (goal: none).
// Both sides are timed on the wall clock: the frame's cost is mostly
// llvmpipe's threads, which the reading thread's CPU time does not see.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>
#include <string>

#include "bench/bare_window.h"
#include "shell/debug_system.h"
#include "sync/sync_system.h"
#include "tests/support/xvfb.h"

namespace {

std::atomic<long> g_allocations{0};

constexpr int kTracks = 100;
constexpr int kKeys = 1000;
constexpr int kRowsBetweenKeys = 4;
constexpr double kFrameMs = 1000.0 / 60.0;

// The show's tracks, asked for by name as a show does; keys set as the live
// editor sets them. No file is read: the track base names a folder that is not there.
struct Show {
  VantorGL::cSyncSystem sync;
  std::vector<const VantorGL::cSyncTrack*> tracks;
  double lengthMs = 0;
  Show() {
    sync.UseTrackFiles("/nonexistent/vantor-bench/sync");
    uint32_t seed = 12345;
    for (int t = 0; t < kTracks; ++t) {
      const std::string name = "group" + std::to_string(t / 10) + ":value" + std::to_string(t);
      tracks.push_back(&sync.Track(name));
      VantorGL::cSyncTrack& track = sync.TrackAt(size_t(t));
      for (int k = 0; k < kKeys; ++k) {
        seed = seed * 1664525u + 1013904223u;
        track.SetKey({uint32_t(k * kRowsBetweenKeys), float(seed >> 8) / float(1 << 24),
                      VantorGL::SyncInterpolation((k + t) % VantorGL::kSyncInterpolationCount)});
      }
    }
    lengthMs = sync.tempo.MsAtRow(double(kKeys * kRowsBetweenKeys));
  }
};

Show& GetShow() {
  static Show show;
  return show;
}

void BM_TrackValuesPerFrame(benchmark::State& state) {
  Show& show = GetShow();
  double musicMs = 0;
  float sum = 0;
  const long before = g_allocations.load();
  for (auto _ : state) {
    for (const VantorGL::cSyncTrack* track : show.tracks) sum += show.sync.ValueAt(*track, musicMs);
    benchmark::DoNotOptimize(sum);
    musicMs += kFrameMs;
    if (musicMs > show.lengthMs + 1000) musicMs = -500;  // through the keys, before and past them
  }
  state.counters["allocations"] = double(g_allocations.load() - before);
}
BENCHMARK(BM_TrackValuesPerFrame)->UseRealTime()->Unit(benchmark::kMicrosecond);

struct Window {
  vantor_test::PrivateXvfb xvfb;
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;
  bool ok = false;
  Window() {
    ok = xvfb.Start(1280, 720) && vantor_bench::OpenBareWindow("sync bench", 1280, 720, window, context);
  }
};

void BM_MinimalFrame(benchmark::State& state) {
  static Window w;
  if (!w.ok) {
    state.SkipWithError("no window in a private Xvfb");
    return;
  }
  for (auto _ : state) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
    }
    glClearColor(0.1f, 0.2f, 0.3f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SDL_GL_SwapWindow(w.window);
    glFinish();
  }
}
BENCHMARK(BM_MinimalFrame)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      // With repetitions, the best run of each: the least disturbed by the neighbours.
      const std::string name = run.run_name.function_name;
      const double seconds = run.real_accumulated_time / double(run.iterations);
      if (!seconds_.count(name) || seconds < seconds_[name]) seconds_[name] = seconds;
      const auto allocations = run.counters.find("allocations");
      if (allocations != run.counters.end()) allocations_ += long(allocations->second.value);
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    const auto values = seconds_.find("BM_TrackValuesPerFrame");
    const auto frame = seconds_.find("BM_MinimalFrame");
    std::printf("\n");
    if (values != seconds_.end())
      std::printf("allocations while reading values: %ld (goal: 0)\n", allocations_);
    if (values != seconds_.end() && frame != seconds_.end() && frame->second > 0)
      std::printf("%d tracks of %d keys read once a frame: %.1f us, %.3f %% of the minimal frame's %.2f ms "
                  "(goal: under 1 %%)\n",
                  kTracks, kKeys, values->second * 1e6, 100.0 * values->second / frame->second,
                  frame->second * 1e3);
  }

 private:
  std::map<std::string, double> seconds_;
  long allocations_ = 0;
};

}  // namespace

// Every allocation of the program is counted; the lookups' share is the count
// across their timed loop. GCC 12 takes the replaced pair for a mismatch
// (-Wmismatched-new-delete) where it sees both inlined.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

int main(int argc, char** argv) {
  VantorGL::cDebugSystem::Instance().enabled = false;  // the show's missing track files are not news here
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  GetShow();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
