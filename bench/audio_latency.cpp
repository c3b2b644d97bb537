// The audio library's timing on each driver it can run on here:
// - play with restart to the first sample handed to the device, on the
//   performance counter, against the device's own callback period measured in
//   the same run (the baseline: a play can never be faster than the next callback);
// - the stream position the library reports against the frames it has handed to
//   the device (must agree exactly), and against the counter (drift: the silent
//   drivers pace about 4 % fast, so this says nothing about a real device);
// - decoding a 50 s track up front (what creating a stream costs), against the
//   track's own duration.
// Figures are labelled with the driver they came from.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#if __has_include(<lame/lame.h>)
#include <lame/lame.h>
#define VANTOR_BENCH_LAME 1
#endif

#include "platform/audio_device.h"
#include "shell/audio_library.h"
#include "shell/file_paths.h"
#include "shell/mp3_decoder.h"

using namespace VantorGL;

namespace {

std::string g_dir;

std::vector<int16_t> Sine(double seconds, double hz) {
  const int64_t frames = std::llround(seconds * 44100);
  std::vector<int16_t> pcm;
  pcm.reserve(static_cast<size_t>(frames) * 2);
  for (int64_t i = 0; i < frames; ++i) {
    const auto v = static_cast<int16_t>(std::lround(12000 * std::sin(2 * std::numbers::pi * hz * i / 44100.0)));
    pcm.push_back(v);
    pcm.push_back(v);
  }
  return pcm;
}

// An MP3 of `seconds` of sine at 44.1 kHz stereo with the info tag.
std::string MakeMp3(const std::string& name, double seconds) {
  const std::string path = g_dir + "/" + name;
  std::vector<int16_t> pcm = Sine(seconds, 440.0);
  const int frames = static_cast<int>(pcm.size() / 2);
#ifdef VANTOR_BENCH_LAME
  lame_global_flags* gf = lame_init();
  lame_set_num_channels(gf, 2);
  lame_set_in_samplerate(gf, 44100);
  lame_set_brate(gf, 192);
  lame_set_quality(gf, 5);
  lame_set_bWriteVbrTag(gf, 1);
  lame_init_params(gf);
  std::vector<uint8_t> out(static_cast<size_t>(frames) * 5 / 4 + 14400);
  int n = lame_encode_buffer_interleaved(gf, pcm.data(), frames, out.data(), static_cast<int>(out.size()));
  n += lame_encode_flush(gf, out.data() + n, static_cast<int>(out.size()) - n);
  out.resize(static_cast<size_t>(std::max(n, 0)));
  unsigned char tag[2880];
  const size_t tagSize = lame_get_lametag_frame(gf, tag, sizeof tag);
  if (tagSize > 0 && tagSize <= out.size()) std::copy(tag, tag + tagSize, out.begin());
  lame_close(gf);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(out.data()),
                                              static_cast<std::streamsize>(out.size()));
#else
  const std::string raw = path + ".raw";
  std::ofstream(raw, std::ios::binary).write(reinterpret_cast<const char*>(pcm.data()),
                                             static_cast<std::streamsize>(pcm.size() * 2));
  const std::string cmd = "lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -b 192 '" + raw + "' '" + path + "'";
  if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "lame failed\n");
  std::filesystem::remove(raw);
#endif
  return path;
}

// Starts the library on `driver` ("default": whatever opens first, falling back
// to the silent one; "dummy"/"disk": SDL's silent drivers at their own pace).
bool StartOn(const std::string& driver) {
  audio::Free();
  unsetenv("SDL_AUDIODRIVER");
  unsetenv("SDL_DISKAUDIODELAY");
  if (driver == "disk") {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
  } else if (driver == "dummy") {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
  }
  return audio::Init(1, 44100, 0);
}

double Seconds(int64_t ticks) {
  return static_cast<double>(ticks) / static_cast<double>(platform::AudioCounterFrequency());
}

// The device's callback period, measured: time for a number of frames to go out.
double MeasuredPeriodMs(audio::Handle h) {
  audio::ChannelPlay(h, true);
  while (audio::ChannelStartStamp(h).counter == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
  audio::Snapshot a, b;
  audio::ChannelSnapshot(h, &a);
  const int64_t t0 = platform::AudioCounterNow();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  audio::ChannelSnapshot(h, &b);
  const int64_t t1 = platform::AudioCounterNow();
  audio::ChannelStop(h);
  const double callbacks = static_cast<double>(b.deviceFrames - a.deviceFrames) / audio::kDeviceBufferFrames;
  return callbacks > 0 ? Seconds(t1 - t0) * 1000.0 / callbacks : 0.0;
}

void PlayLatency(benchmark::State& state, std::string driver) {
  if (!StartOn(driver)) {
    state.SkipWithError("audio library did not start");
    return;
  }
  const audio::Handle h = audio::StreamCreateFile(false, (g_dir + "/short.mp3").c_str(), 0, 0, audio::STREAM_PRESCAN);
  audio::ChannelFlags(h, audio::SAMPLE_LOOP, audio::SAMPLE_LOOP);
  const double periodMs = MeasuredPeriodMs(h);
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> phase(0, 30000);  // microseconds: play at any point of a period
  std::vector<double> latencies;
  for (auto _ : state) {
    audio::ChannelStop(h);
    std::this_thread::sleep_for(std::chrono::microseconds(phase(rng)));
    const int64_t t0 = platform::AudioCounterNow();
    audio::ChannelSetPosition(h, 0, audio::POS_BYTE);
    audio::ChannelPlay(h, true);
    while (audio::ChannelStartStamp(h).counter == 0) std::this_thread::sleep_for(std::chrono::microseconds(100));
    const double s = Seconds(audio::ChannelStartStamp(h).counter - t0);
    latencies.push_back(s * 1000.0);
    state.SetIterationTime(s);
  }
  std::sort(latencies.begin(), latencies.end());
  const double maxMs = latencies.back();
  const double medianMs = latencies[latencies.size() / 2];
  state.counters["median_ms"] = medianMs;
  state.counters["max_ms"] = maxMs;
  state.counters["period_ms"] = periodMs;
  state.counters["max/period"] = periodMs > 0 ? maxMs / periodMs : 0.0;
  state.SetLabel("driver=" + audio::DriverName() + (maxMs <= 25.0 ? " max<=25ms" : " max>25ms"));
  audio::Free();
}

void PositionAgainstHanded(benchmark::State& state, std::string driver) {
  if (!StartOn(driver)) {
    state.SkipWithError("audio library did not start");
    return;
  }
  const audio::Handle h = audio::StreamCreateFile(false, (g_dir + "/long.mp3").c_str(), 0, 0, audio::STREAM_PRESCAN);
  audio::ChannelPlay(h, true);
  while (audio::ChannelStartStamp(h).counter == 0) std::this_thread::sleep_for(std::chrono::microseconds(100));
  const audio::StartStamp start = audio::ChannelStartStamp(h);
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> wait(0, 20000);
  int64_t worst = 0;
  double rate = 0.0;
  for (auto _ : state) {
    std::this_thread::sleep_for(std::chrono::microseconds(wait(rng)));
    audio::Snapshot snap;
    audio::ChannelSnapshot(h, &snap);
    const int64_t now = platform::AudioCounterNow();
    const int64_t reported = static_cast<int64_t>(audio::ChannelGetPosition(h, audio::POS_BYTE) / audio::kBytesPerFrame);
    worst = std::max(worst, std::abs(snap.streamFrames - (snap.deviceFrames - start.deviceFrame)));
    benchmark::DoNotOptimize(reported);
    const double elapsed = Seconds(now - start.counter);
    if (elapsed > 0.2) rate = static_cast<double>(snap.streamFrames) / elapsed;
  }
  state.counters["max_error_frames"] = static_cast<double>(worst);
  state.counters["frames_per_s"] = rate;
  state.counters["pace/44100"] = rate / 44100.0;
  state.SetLabel("driver=" + audio::DriverName() + (worst == 0 ? " exact" : " NOT exact"));
  audio::Free();
}

void DecodeMusic(benchmark::State& state) {
  const auto bytes = ReadFileBytes(g_dir + "/music50.mp3");
  if (!bytes) {
    state.SkipWithError("no 50 s track");
    return;
  }
  int64_t frames = 0;
  double total = 0.0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    auto decoded = DecodeMp3(bytes->data(), bytes->size(), 44100);
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    frames = decoded ? decoded->frames : 0;
    benchmark::DoNotOptimize(decoded);
  }
  const double track = static_cast<double>(frames) / 44100.0;
  state.counters["track_s"] = track;
  state.counters["decode/track"] = track > 0 ? total / static_cast<double>(state.iterations()) / track : 0.0;
}

}  // namespace

int main(int argc, char** argv) {
  g_dir = (std::filesystem::temp_directory_path() / ("vantor_bench_audio_" + std::to_string(getpid()))).string();
  std::filesystem::create_directories(g_dir);
  MakeMp3("short.mp3", 1.0);
  MakeMp3("long.mp3", 30.0);
  MakeMp3("music50.mp3", 50.0);

  for (const char* driver : {"default", "dummy", "disk"}) {
    benchmark::RegisterBenchmark((std::string("PlayWithRestartToFirstHandedSample/") + driver).c_str(), PlayLatency,
                                 std::string(driver))
        ->UseManualTime()
        ->Iterations(150)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("PositionAgainstFramesHanded/") + driver).c_str(),
                                 PositionAgainstHanded, std::string(driver))
        ->Iterations(200)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark("DecodeWhole50sTrack", DecodeMusic)->Unit(benchmark::kMillisecond)->Iterations(5);

  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(g_dir);
  return 0;
}
