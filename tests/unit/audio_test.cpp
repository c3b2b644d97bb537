// The audio library, MusicStream and the preview's music clock against real MP3
// files made here (or samples that number themselves), on SDL's silent drivers:
// "dummy" (keeps time) and "disk" (writes every sample the device is handed to
// a file, which these tests compare with the decoded track).
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <numbers>
#include <thread>

#include "makers/preview_clock.h"
#include "platform/audio_device.h"
#include "shell/audio_library.h"
#include "shell/mp3_decoder.h"
#include "shell/music_stream.h"
#include "tests/support/mp3_fixture.h"

using namespace VantorGL;
using vantor_test::Pcm16;
namespace fs = std::filesystem;

namespace {

// Polls until `done` holds; the limit only guards against a hang.
bool WaitFor(const std::function<bool()>& done) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done()) {
    if (std::chrono::steady_clock::now() > limit) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

int64_t PositionFrames(audio::Handle h) {
  return static_cast<int64_t>(audio::ChannelGetPosition(h, audio::POS_BYTE) / audio::kBytesPerFrame);
}

class AudioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    audio::Free();
    dir_ = fs::temp_directory_path() / ("vantor_audio_" + std::to_string(getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override {
    audio::Free();
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");
    unsetenv("SDL_DISKAUDIODELAY");
    fs::remove_all(dir_);
  }

  std::string Mp3(const std::string& name, const Pcm16& pcm) {
    const std::string path = (dir_ / name).string();
    EXPECT_TRUE(vantor_test::WriteMp3(path, pcm));
    return path;
  }

  // What the library makes of the file, decoded on its own as the reference.
  static std::vector<float> Decoded(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto d = DecodeMp3(bytes.data(), bytes.size(), 44100);
    return d ? d->samples : std::vector<float>{};
  }

  // The disk driver, fast: one millisecond per 1024-frame callback.
  void StartOnDisk() {
    diskFile_ = (dir_ / "out.raw").string();
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", diskFile_.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "1", 1);
    ASSERT_TRUE(audio::Init(1, 44100, 0));
    ASSERT_EQ(audio::DriverName(), "disk");
  }

  // Closes the device (which closes the file) and returns every float written.
  std::vector<float> DiskOutput() {
    audio::Free();
    std::ifstream in(diskFile_, std::ios::binary);
    std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<float> out(raw.size() / sizeof(float));
    std::memcpy(out.data(), raw.data(), out.size() * sizeof(float));
    // SDL's device thread starts paused and may write a silent buffer or two
    // before it first calls us; drop them so file frames count as handed frames.
    const int64_t lead = static_cast<int64_t>(out.size() / 2) - platform::AudioFramesHanded();
    EXPECT_GE(lead, 0);
    if (lead > 0) out.erase(out.begin(), out.begin() + lead * 2);
    return out;
  }

  // The device frame at which the stream's frame 0 went out after its latest
  // play with restart; waits for it.
  static int64_t DeviceFrameOfStart(audio::Handle h) {
    EXPECT_TRUE(WaitFor([&] { return audio::ChannelStartStamp(h).counter != 0; }));
    return audio::ChannelStartStamp(h).deviceFrame;
  }

  fs::path dir_;
  std::string diskFile_;
};

TEST_F(AudioTest, PrescannedLengthIsTheTracksSampleCountAndStartsAtItsFirstSample) {
  // Lengths that are not multiples of the 1152-sample MP3 frame.
  const Pcm16 sine = vantor_test::SineWave(441.0, 0.61, 0.5);
  const Pcm16 clicks = vantor_test::ClickTrack(1.3);
  const std::string sinePath = Mp3("sine.mp3", sine);
  const std::string clickPath = Mp3("clicks.mp3", clicks);
  ASSERT_TRUE(audio::Init(0, 44100, 0));
  const audio::Handle a = audio::StreamCreateFile(false, sinePath.c_str(), 0, 0, audio::STREAM_PRESCAN);
  const audio::Handle b = audio::StreamCreateFile(false, clickPath.c_str(), 0, 0, audio::STREAM_PRESCAN);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_EQ(audio::ChannelGetLength(a, audio::POS_BYTE), static_cast<uint64_t>(sine.Frames()) * 4);
  EXPECT_EQ(audio::ChannelGetLength(b, audio::POS_BYTE), static_cast<uint64_t>(clicks.Frames()) * 4);

  // No encoder delay left: the decoded clicks line up with the source's best at
  // lag 0 (the first click sits at frame 0).
  const std::vector<float> dec = Decoded(clickPath);
  ASSERT_EQ(static_cast<int64_t>(dec.size()), clicks.Frames() * 2);
  int bestLag = -1;
  double best = -1e300;
  for (int lag = -1200; lag <= 1200; ++lag) {
    double sum = 0.0;
    for (int64_t i = 0; i < clicks.Frames(); ++i) {
      const int64_t j = i + lag;
      if (j >= 0 && j < clicks.Frames()) sum += dec[static_cast<size_t>(j) * 2] * clicks.samples[static_cast<size_t>(i) * 2];
    }
    if (sum > best) best = sum, bestLag = lag;
  }
  EXPECT_EQ(bestLag, 0);

  // Decoded as it plays, from wherever a seek puts it (mono doubled as ever):
  // the whole decode, silence past the end. Frame for frame, but for mpg123's
  // seeks into the middle of a mono track, which land a few rounding steps of a
  // float off in some samples (seen: 7.5e-8 at most; held to 2^-20, far below
  // the step of the 16-bit output).
  const std::string monoPath = Mp3("mono.mp3", vantor_test::SineWave(441.0, 0.9, 0.5, 44100, 1));
  for (const std::string& path : {clickPath, monoPath}) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::unique_ptr<Mp3Stream> stream = Mp3Stream::Open(bytes);
    const std::vector<float> whole = Decoded(path);
    ASSERT_TRUE(stream);
    ASSERT_EQ(stream->Frames() * 2, static_cast<int64_t>(whole.size())) << path;
    const int64_t n = stream->Frames();
    std::vector<float> block;
    for (const auto& [from, count] : std::vector<std::pair<int64_t, int>>{
             {0, 700}, {700, 1153}, {n / 2 + 17, 3000}, {5, 1}, {n - 300, 1000}, {n - 300, 1000}, {1853, 4096},
             {0, 6000}, {n / 3, 1000}, {0, 3000}, {n / 3 + 1152, 1000}, {0, 3000}}) {
      const float bound = path == monoPath && from > 0 ? 1.0f / (1 << 20) : 0.0f;
      block.assign(static_cast<size_t>(count) * 2, 99.0f);
      stream->Read(from, block.data(), count);
      for (int i = 0; i < count * 2; ++i) {
        const int64_t f = from + i / 2;
        ASSERT_NEAR(block[i], f < n ? whole[f * 2 + i % 2] : 0.0f, bound) << path << " frame " << f;
      }
    }
  }
}

TEST_F(AudioTest, OtherRatesAreResampledToTheMixingRate) {
  const std::string path48 = Mp3("sine48.mp3", vantor_test::SineWave(1000.0, 1.0, 0.5, 48000));
  const std::string path32 = Mp3("sine32.mp3", vantor_test::SineWave(1000.0, 0.5, 0.5, 32000, 1));
  ASSERT_TRUE(audio::Init(0, 44100, 0));
  const audio::Handle h48 = audio::StreamCreateFile(false, path48.c_str(), 0, 0, audio::STREAM_PRESCAN);
  const audio::Handle h32 = audio::StreamCreateFile(false, path32.c_str(), 0, 0, audio::STREAM_PRESCAN);
  EXPECT_EQ(audio::ChannelGetLength(h48, audio::POS_BYTE), 44100u * 4);
  EXPECT_EQ(audio::ChannelGetLength(h32, audio::POS_BYTE), 22050u * 4);

  // The resampler itself: a 1 kHz sine at 48 kHz becomes the same sine at 44.1 kHz.
  std::vector<float> in;
  for (int i = 0; i < 4800; ++i) {
    const float v = static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * 1000.0 * i / 48000.0));
    in.push_back(v);
    in.push_back(-v);
  }
  const std::vector<float> out = ResampleStereo(in, 48000, 44100);
  ASSERT_EQ(out.size(), 4410u * 2);
  double worst = 0.0;
  for (int j = 100; j < 4310; ++j) {  // away from the edges, where the input ends
    const double want = 0.5 * std::sin(2.0 * std::numbers::pi * 1000.0 * j / 44100.0);
    worst = std::max({worst, std::abs(out[j * 2] - want), std::abs(out[j * 2 + 1] + want)});
  }
  EXPECT_LT(worst, 2e-3);
}

TEST_F(AudioTest, MissingOrBrokenFilesGiveStreamZeroAndEveryCallOnItFailsQuietly) {
  const std::string junk = (dir_ / "junk.mp3").string();
  std::ofstream(junk) << std::string(5000, 'x');

  EXPECT_EQ(audio::StreamCreateFile(false, junk.c_str(), 0, 0, audio::STREAM_PRESCAN), 0u);  // before Init
  EXPECT_EQ(audio::ErrorGetCode(), audio::Error::NotStarted);
  ASSERT_TRUE(audio::Init(0, 44100, 0));
  EXPECT_FALSE(audio::Init(1, 44100, 0));  // a second start changes nothing
  EXPECT_EQ(audio::ErrorGetCode(), audio::Error::AlreadyStarted);

  EXPECT_EQ(audio::StreamCreateFile(false, (dir_ / "none.mp3").c_str(), 0, 0, audio::STREAM_PRESCAN), 0u);
  EXPECT_EQ(audio::ErrorGetCode(), audio::Error::FileOpen);
  EXPECT_EQ(audio::StreamCreateFile(false, junk.c_str(), 0, 0, audio::STREAM_PRESCAN), 0u);
  EXPECT_EQ(audio::ErrorGetCode(), audio::Error::FileFormat);

  float spectrum[audio::kSpectrumSize];
  EXPECT_EQ(audio::ChannelFlags(0, audio::SAMPLE_LOOP, audio::SAMPLE_LOOP), audio::kFail);
  EXPECT_FALSE(audio::ChannelSetPosition(0, 0, audio::POS_BYTE));
  EXPECT_FALSE(audio::ChannelPlay(0, true));
  EXPECT_FALSE(audio::ChannelStop(0));
  EXPECT_EQ(audio::ChannelGetData(0, spectrum, audio::DATA_FFT1024), audio::kFail);
  EXPECT_EQ(audio::ChannelGetPosition(0, audio::POS_BYTE), audio::kFail64);
  EXPECT_EQ(audio::ErrorGetCode(), audio::Error::BadHandle);

  // A record whose file is missing stays silent through the program's whole use.
  {
    MusicStream music;
    music.path = (dir_ / "none.mp3").string();
    music.loop = true;
    music.Open();
    EXPECT_EQ(music.stream, 0u);
    music.PlayFromStart();
    music.FetchSpectrum();
    music.Stop();
  }
  EXPECT_EQ(audio::MixRate(), 0);  // the record's end freed the library
}

TEST_F(AudioTest, WithoutADeviceTheLibraryRunsSilentOnTheDummyDriverAndPositionsAdvance) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);  // no device can open
  const std::string path = Mp3("sine.mp3", vantor_test::SineWave(440.0, 0.5));
  ASSERT_TRUE(audio::Init(1, 44100, 0));
  EXPECT_EQ(audio::DriverName(), "dummy");
  const audio::Handle h = audio::StreamCreateFile(false, path.c_str(), 0, 0, audio::STREAM_PRESCAN);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(PositionFrames(h), 0);
  ASSERT_TRUE(audio::ChannelPlay(h, true));
  EXPECT_TRUE(WaitFor([&] { return PositionFrames(h) > 2048; }));
  // A stream that does not loop ends by itself at its last frame.
  EXPECT_TRUE(WaitFor([&] { return audio::ChannelIsActive(h) == 0; }));
  EXPECT_EQ(audio::ChannelGetPosition(h, audio::POS_BYTE), audio::ChannelGetLength(h, audio::POS_BYTE));
  EXPECT_FALSE(audio::ChannelSetPosition(h, audio::ChannelGetLength(h, audio::POS_BYTE), audio::POS_BYTE));
  EXPECT_TRUE(audio::ChannelSetPosition(h, 4000, audio::POS_BYTE));
  EXPECT_EQ(PositionFrames(h), 1000);
}

TEST_F(AudioTest, SpectrumPeaksInTheSinesBinNearItsAmplitude) {
  // Bin 64 of a 1024-point FFT at 44.1 kHz.
  const double hz = 64 * 44100.0 / 1024;
  const std::string half = Mp3("half.mp3", vantor_test::SineWave(hz, 1.0, 0.5));
  const std::string full = Mp3("full.mp3", vantor_test::SineWave(hz, 1.0, 0.98));
  ASSERT_TRUE(audio::Init(0, 44100, 0));
  MusicStream a, b;
  a.path = half;
  b.path = full;
  a.Open();
  b.Open();
  ASSERT_NE(a.stream, 0u);
  ASSERT_NE(b.stream, 0u);

  a.FetchSpectrum();  // stopped: nothing sounds
  EXPECT_EQ(*std::max_element(std::begin(a.spectrum), std::end(a.spectrum)), 0.0f);

  a.loop = b.loop = true;
  a.PlayFromStart();
  b.PlayFromStart();
  ASSERT_TRUE(WaitFor([&] { return PositionFrames(a.stream) > 4096 && PositionFrames(b.stream) > 4096; }));
  for (MusicStream* m : {&a, &b}) {
    m->FetchSpectrum();
    const float* peak = std::max_element(std::begin(m->spectrum), std::end(m->spectrum));
    EXPECT_EQ(peak - m->spectrum, 64);
    EXPECT_NEAR(*peak, m == &a ? 0.5f : 0.98f, 0.03f);
    EXPECT_LT(m->spectrum[60], *peak * 0.01f);  // the window keeps the energy near its bin
  }
}

TEST_F(AudioTest, PlayWithRestartStartsAtSampleZeroOnTheDeviceOutput) {
  const std::string path = Mp3("clicks.mp3", vantor_test::ClickTrack(1.0, 5));
  StartOnDisk();
  MusicStream music;
  music.path = path;
  music.loop = true;  // however late the restart comes, the first play is still running
  music.Open();       // the library is already started: a harmless second start
  ASSERT_NE(music.stream, 0u);
  const std::vector<float> ref = Decoded(path);
  const int64_t frames = static_cast<int64_t>(ref.size() / 2);

  music.PlayFromStart();
  const int64_t first = DeviceFrameOfStart(music.stream);
  ASSERT_TRUE(WaitFor([&] { return PositionFrames(music.stream) > frames / 2; }));
  music.PlayFromStart();  // again, from the middle of the track
  const int64_t second = DeviceFrameOfStart(music.stream);
  ASSERT_TRUE(WaitFor([&] {
    audio::Snapshot s;
    return audio::ChannelSnapshot(music.stream, &s) && s.deviceFrames > second + frames;
  }));
  music.Stop();
  const std::vector<float> out = DiskOutput();

  ASSERT_GE(first, 0);
  ASSERT_NE((second - first) % frames, 0);  // the restart came mid-track
  ASSERT_GE(static_cast<int64_t>(out.size()), (second + frames) * 2);
  // Silence, the track from frame 0 up to the restart, then the track from frame
  // 0 again: sample for sample.
  for (int64_t f = 0; f < first; ++f) ASSERT_EQ(out[f * 2], 0.0f) << f;
  for (int64_t f = first; f < second + frames; ++f) {
    const int64_t k = (f < second ? f - first : f - second) % frames;
    ASSERT_EQ(out[f * 2], ref[k * 2]) << f;
    ASSERT_EQ(out[f * 2 + 1], ref[k * 2 + 1]) << f;
  }
}

TEST_F(AudioTest, LoopingStreamWrapsToSampleZeroWithoutAGapAndStopSilences) {
  // 0.3 s: the wraps fall in the middle of device buffers.
  const std::string path = Mp3("clicks.mp3", vantor_test::ClickTrack(0.3, 10));
  StartOnDisk();
  const audio::Handle h = audio::StreamCreateFile(false, path.c_str(), 0, 0, audio::STREAM_PRESCAN | audio::SAMPLE_LOOP);
  ASSERT_NE(h, 0u);
  const std::vector<float> ref = Decoded(path);
  const int64_t frames = static_cast<int64_t>(ref.size() / 2);
  ASSERT_EQ(frames % audio::kDeviceBufferFrames == 0, false);

  ASSERT_TRUE(audio::ChannelPlay(h, true));
  const int64_t start = DeviceFrameOfStart(h);
  // Count wraps by watching the position fall back; it never reaches the end.
  int wraps = 0;
  int64_t last = 0;
  ASSERT_TRUE(WaitFor([&] {
    const int64_t p = PositionFrames(h);
    EXPECT_LT(p, frames);
    if (p < last) ++wraps;
    last = p;
    return wraps >= 3;
  }));
  // Everything handed before `playing` was the loop; everything after `stopped`
  // must be silence (a buffer mixed while Stop ran may fall in between).
  audio::Snapshot playing, stopped;
  ASSERT_TRUE(audio::ChannelSnapshot(h, &playing));
  ASSERT_TRUE(audio::ChannelStop(h));
  ASSERT_TRUE(audio::ChannelSnapshot(h, &stopped));
  EXPECT_TRUE(playing.playing);
  EXPECT_FALSE(stopped.playing);
  const int64_t stopPosition = PositionFrames(h);
  ASSERT_TRUE(WaitFor([&] {
    audio::Snapshot s;
    audio::ChannelSnapshot(h, &s);
    return s.deviceFrames > stopped.deviceFrames + 4 * audio::kDeviceBufferFrames;
  }));
  EXPECT_EQ(PositionFrames(h), stopPosition);
  const std::vector<float> out = DiskOutput();

  const int64_t played = playing.deviceFrames - start;
  ASSERT_GT(played, 3 * frames);
  for (int64_t f = 0; f < played; ++f) {
    const int64_t k = f % frames;
    ASSERT_EQ(out[(start + f) * 2], ref[k * 2]) << f;
    ASSERT_EQ(out[(start + f) * 2 + 1], ref[k * 2 + 1]) << f;
  }
  const size_t silentFrom = static_cast<size_t>(stopped.deviceFrames) * 2;
  ASSERT_GT(out.size(), silentFrom);
  for (size_t i = silentFrom; i < out.size(); ++i) ASSERT_EQ(out[i], 0.0f) << i;
}

TEST_F(AudioTest, TwoStreamsMix) {
  const std::string pathA = Mp3("sine.mp3", vantor_test::SineWave(440.0, 0.5, 0.4));
  const std::string pathB = Mp3("clicks.mp3", vantor_test::ClickTrack(0.4, 8));
  StartOnDisk();
  // A loops, so B always joins it while it plays, however the threads are timed.
  const audio::Handle a = audio::StreamCreateFile(false, pathA.c_str(), 0, 0, audio::STREAM_PRESCAN | audio::SAMPLE_LOOP);
  const audio::Handle b = audio::StreamCreateFile(false, pathB.c_str(), 0, 0, audio::STREAM_PRESCAN);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  const std::vector<float> refA = Decoded(pathA), refB = Decoded(pathB);
  const int64_t framesA = static_cast<int64_t>(refA.size() / 2), framesB = static_cast<int64_t>(refB.size() / 2);

  ASSERT_TRUE(audio::ChannelPlay(a, true));
  ASSERT_TRUE(WaitFor([&] { return PositionFrames(a) > 2048; }));
  ASSERT_TRUE(audio::ChannelPlay(b, true));
  const int64_t startA = DeviceFrameOfStart(a), startB = DeviceFrameOfStart(b);
  ASSERT_TRUE(WaitFor([&] { return !audio::ChannelIsActive(b); }));
  audio::Snapshot stopped;  // taken while A still plays: all before it is the mix
  ASSERT_TRUE(audio::ChannelSnapshot(a, &stopped));
  ASSERT_TRUE(audio::ChannelStop(a));
  const std::vector<float> out = DiskOutput();

  ASSERT_GT(startB, startA);
  ASSERT_GE(stopped.deviceFrames, startB + framesB);
  ASSERT_GE(static_cast<int64_t>(out.size()), stopped.deviceFrames * 2);
  for (int64_t f = 0; f < stopped.deviceFrames; ++f) {
    const float va = f >= startA ? refA[((f - startA) % framesA) * 2] : 0.0f;
    const float vb = f >= startB && f < startB + framesB ? refB[(f - startB) * 2] : 0.0f;
    ASSERT_EQ(out[f * 2], std::clamp(va + vb, -1.0f, 1.0f)) << f;
  }
}

// The preview's clock paused and played on again and again from a moment
// between two frames of the music: the device gets every frame of the music
// once and in order, and the clock holds where the music it played stopped.
TEST_F(AudioTest, PreviewClockPausedAndPlayedOnHandsEachFrameOnceAndHoldsWhereTheMusicStopped) {
  StartOnDisk();
  // Frame i holds (i + 1) / 65536 in both channels: the output says which frame it got.
  constexpr int64_t kFrames = 60000;
  audio::PreparedFile ramp;
  ramp.path = "ramp";
  ramp.rate = 44100;
  ramp.audio = DecodedAudio{{}, kFrames, 44100, 44100};
  for (int64_t i = 0; i < kFrames; ++i) ramp.audio->samples.insert(ramp.audio->samples.end(), 2, (i + 1) / 65536.0f);
  const audio::Handle h = audio::StreamCreatePrepared(std::move(ramp), 0);
  ASSERT_NE(h, 0u);

  preview::MusicClock clock;
  clock.Start(h, 0);
  // 12 us is 0.53 of a frame: the music starts at its frame 1, half a frame
  // ahead of the clock, and each hold lies between two frames.
  clock.Place(12, true);
  int64_t held = 0;
  for (int pause = 0; pause < 4; ++pause) {
    const int64_t playing = audio::DeviceFramesHanded();
    ASSERT_TRUE(WaitFor([&] { return audio::DeviceFramesHanded() > playing; }));
    clock.Pause();
    held = clock.HeldUs();
    const int64_t paused = audio::DeviceFramesHanded();
    ASSERT_TRUE(WaitFor([&] { return audio::DeviceFramesHanded() > paused + 2 * audio::kDeviceBufferFrames; }));
    EXPECT_EQ(clock.HeldUs(), held) << "the clock moved during the pause";
    if (pause < 3) clock.Resume();
  }
  const std::vector<float> out = DiskOutput();

  std::vector<int64_t> heard;  // the music's frames in the order the device got them
  for (size_t f = 0; f + 1 < out.size(); f += 2) {
    if (out[f] == 0.0f) continue;
    ASSERT_EQ(out[f], out[f + 1]);
    heard.push_back(std::lround(out[f] * 65536.0f) - 1);
  }
  ASSERT_GE(heard.size(), 4u * audio::kDeviceBufferFrames);  // a callback or more for each play
  EXPECT_EQ(heard.front(), 1);
  for (size_t k = 1; k < heard.size(); ++k)
    ASSERT_EQ(heard[k], heard[k - 1] + 1) << "after " << k << " frames of music";
  // 12 us, then one frame of show time for each frame of music played.
  EXPECT_NEAR(static_cast<double>(held), 12.0 + static_cast<double>(heard.size()) * 1e6 / 44100.0, 1.0);
}

}  // namespace
