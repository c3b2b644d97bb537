// tessaly-capture, the real program, in a temporary copy of the stage under its
// own X server: which slide each frame shows, frames repeating bit for bit, the
// video's music, the water scene on its own, refused command lines, a missing
// ffmpeg, and interrupted captures. Captures are kept small (low frame rates,
// small pictures, short windows) so the whole file runs in well under a minute
// or two on two cores.
#include <dirent.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstring>
#include <limits>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "resources/texture_images.h"
#include "shell/file_paths.h"
#include "tests/support/process.h"
#include "tests/support/show_facts.h"
#include "tests/support/xvfb.h"

using namespace vantor_test;

namespace {

constexpr int kTimeoutMs = 240000;

struct Rgb {
  int width = 0, height = 0, channels = 0;
  std::vector<uint8_t> px;
  const uint8_t* at(int x, int y) const { return &px[(static_cast<size_t>(y) * width + x) * channels]; }
};

// Through the production's own readers (libpng for PNG, the picture path for JPEG).
Rgb LoadPicture(const std::string& path) {
  Rgb out;
  const auto bytes = VantorGL::ReadFileBytes(path);
  if (!bytes) return out;
  if (auto d = VantorGL::DecodePictureFile(bytes->data(), bytes->size())) {
    out.width = d->width;
    out.height = d->height;
    out.channels = d->channels;
    out.px = std::move(d->pixels);
  }
  return out;
}

std::vector<std::string> ListDir(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& n : names) text += n + " ";
  return text;
}

std::string FrameName(int frame) {
  char name[32];
  std::snprintf(name, sizeof name, "frame_%06d.png", frame);
  return name;
}

// A picture laid over the whole view at the slide's place (a quad of half-height
// 1.56 at distance `distance` under a 45-degree 4:3 projection), upright, blended
// over whatever lies under it. For sample points of a frame of width x height it
// gives the range each colour channel must lie in: alpha x picture colour plus
// (1 - alpha) x anything from 0 to `under` (the brightest the picture below can
// be), widened by the picture's variation around the point, which resampling
// mixes in. `scale` is how much of the view the picture's half extent covers.
struct ExpectedRanges {
  std::vector<int> pixel;      // y * width + x in the frame
  std::vector<float> range;    // low r, g, b, high r, g, b per point
};

ExpectedRanges RangesOf(const Rgb& picture, int width, int height, double scale, const float under[3]) {
  ExpectedRanges out;
  if (picture.channels != 4) return out;
  const int margin = static_cast<int>(std::ceil(static_cast<double>(picture.width) / width / scale)) + 1;
  for (int y = 0; y < height; y += 2) {
    for (int x = 0; x < width; x += 2) {
      const double u = 0.5 + ((x + 0.5) / width - 0.5) / scale;
      const double v = 0.5 + ((y + 0.5) / height - 0.5) / scale;
      const int px = static_cast<int>(u * picture.width), py = static_cast<int>(v * picture.height);
      if (px - margin < 0 || py - margin < 0 || px + margin >= picture.width || py + margin >= picture.height)
        continue;
      float lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
      float alphaLow = 1, alphaHigh = 0;
      for (int dy = -margin; dy <= margin; ++dy)
        for (int dx = -margin; dx <= margin; ++dx) {
          const uint8_t* c = picture.at(px + dx, py + dy);
          alphaLow = std::min(alphaLow, c[3] / 255.0f);
          alphaHigh = std::max(alphaHigh, c[3] / 255.0f);
          for (int k = 0; k < 3; ++k) {
            lo[k] = std::min(lo[k], static_cast<float>(c[k]));
            hi[k] = std::max(hi[k], static_cast<float>(c[k]));
          }
        }
      if (alphaLow < 0.4f) continue;  // mostly what lies below: says little
      out.pixel.push_back(y * width + x);
      for (int k = 0; k < 3; ++k) out.range.push_back(alphaLow * lo[k] - 2);
      for (int k = 0; k < 3; ++k) out.range.push_back(alphaHigh * hi[k] + (1 - alphaLow) * under[k] + 2);
    }
  }
  return out;
}

// How far, on average per channel, the frame lies outside the picture's ranges.
double Difference(const Rgb& frame, const ExpectedRanges& expected) {
  if (expected.pixel.size() < 100) return std::numeric_limits<double>::infinity();
  double sum = 0;
  for (size_t i = 0; i < expected.pixel.size(); ++i) {
    const uint8_t* f = &frame.px[static_cast<size_t>(expected.pixel[i]) * frame.channels];
    const float* r = &expected.range[i * 6];
    for (int c = 0; c < 3; ++c) sum += std::max({0.0f, r[c] - f[c], f[c] - r[c + 3]});
  }
  return sum / (3.0 * static_cast<double>(expected.pixel.size()));
}

// The slide scene's picture reaches the window at 1.56 / (3.8 tan 22.5 deg) of
// the view through its target, the slide at 1.56 / (3.65 tan 22.5 deg) of that.
const double kTan = std::tan(22.5 * M_PI / 180.0);
const double kSlideScale = (1.56 / (3.8 * kTan)) * (1.56 / (3.65 * kTan));
const double kOverlayScale = 1.56 / (3.65 * kTan);

class CaptureEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(xvfb.Start(1280, 720)) << "no Xvfb"; }

  ProgramResult Capture(std::vector<std::string> args, std::vector<std::pair<std::string, std::string>> env = {}) {
    return RunProgram({.program = ProgramPath("tessaly-capture"), .args = std::move(args), .workDir = dir.path(),
                       .env = std::move(env)},
                      kTimeoutMs);
  }

  // Which of the stage's 56 slides the frame matches best, and how well.
  std::pair<int, double> BestSlide(const Rgb& frame, double* secondBest) {
    if (slides.empty()) {
      // Under a slide lies one of the six background frames.
      float under[3] = {0, 0, 0};
      for (int i = 0; i < 6; ++i) {
        const Rgb bg = LoadPicture(dir.File("data/Background/tex" + std::to_string(i) + ".jpg"));
        for (size_t p = 0; p + 2 < bg.px.size(); p += static_cast<size_t>(bg.channels))
          for (int c = 0; c < 3; ++c) under[c] = std::max(under[c], static_cast<float>(bg.px[p + static_cast<size_t>(c)]));
      }
      for (int i = 0; i < 56; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "data/Slides/slide%02d.png", i);
        slides.push_back(RangesOf(LoadPicture(dir.File(name)), frame.width, frame.height, kSlideScale, under));
      }
    }
    int best = -1;
    double bestScore = std::numeric_limits<double>::infinity();
    *secondBest = bestScore;
    for (int i = 0; i < static_cast<int>(slides.size()); ++i) {
      const double d = Difference(frame, slides[i]);
      if (d < bestScore) {
        *secondBest = bestScore;
        bestScore = d;
        best = i;
      } else if (d < *secondBest) {
        *secondBest = d;
      }
    }
    return {best, bestScore};
  }

  PrivateXvfb xvfb;
  WorkDir dir = WorkDir::CopyOfStage();
  std::vector<ExpectedRanges> slides;
};

void ExpectSuccess(const ProgramResult& r) {
  EXPECT_FALSE(r.timedOut);
  EXPECT_TRUE(r.exited) << "signal " << r.signal << "\n" << r.stderrText;
  EXPECT_EQ(r.status, 0) << r.stderrText;
}

TEST_F(CaptureEndToEnd, FramesShowTheScheduledSlideAndRepeatBitForBit) {
  // 30 frames a second: a frame lies on each of 3.5, 3.8, 4.5 and 4.7 s, where
  // the slide changes just after (upper bounds belong to the earlier slide).
  const std::vector<std::string> common = {"--fps", "30", "--size", "640x480", "--from", "0:03.4", "--to", "0:04.8"};
  auto args = common;
  args.insert(args.end(), {"--frames", "first"});
  ExpectSuccess(Capture(args));
  args = common;
  args.insert(args.end(), {"--frames", "second"});
  ExpectSuccess(Capture(args));

  const std::vector<std::string> first = ListDir(dir.File("first"));
  ASSERT_EQ(first.size(), 42u);  // frames 102 to 143
  EXPECT_EQ(first.front(), FrameName(102));
  EXPECT_EQ(first.back(), FrameName(143));
  EXPECT_EQ(ListDir(dir.File("second")), first);
  for (const std::string& name : first)
    EXPECT_EQ(ReadText(dir.File("first/" + name)), ReadText(dir.File("second/" + name))) << name << " differs";

  // What the show's clock reads at frame k: k * 1000 / 30 ms, whole milliseconds.
  std::map<int, int> expected;
  for (int k = 102; k <= 143; ++k) expected[k] = ScheduledSlide(k * 1000 / 30, -1);

  for (const auto& [k, want] : expected) {
    const Rgb frame = LoadPicture(dir.File("first/" + FrameName(k)));
    ASSERT_EQ(frame.width, 640);
    ASSERT_EQ(frame.height, 480);
    double second = 0;
    const auto [best, score] = BestSlide(frame, &second);
    EXPECT_EQ(best, want) << "frame " << k << " at " << k * 1000 / 30 << " ms (score " << score << ")";
    EXPECT_LT(score, 1.0) << "frame " << k;
    EXPECT_GT(second - score, 5.0) << "frame " << k << ": no clear match (next best " << second << ")";
  }
}

TEST_F(CaptureEndToEnd, WithoutAnyDisplayTheFramesAreTheSame) {
  const std::vector<std::string> common = {"--fps", "10", "--size", "320x240", "--from", "0:03.5", "--to", "0:03.7"};
  auto args = common;
  args.insert(args.end(), {"--frames", "x"});
  ExpectSuccess(Capture(args));
  args = common;
  args.insert(args.end(), {"--frames", "none"});
  ExpectSuccess(Capture(args, {{"DISPLAY", ""}}));
  EXPECT_NE(ReadText(dir.File("debug.log")).find("multisample format"), std::string::npos)
      << "the production's 4 samples without a display too";
  ASSERT_EQ(ListDir(dir.File("x")), (std::vector<std::string>{FrameName(35), FrameName(36)}));
  ASSERT_EQ(ListDir(dir.File("none")), ListDir(dir.File("x")));
  for (const std::string& name : ListDir(dir.File("x")))
    EXPECT_EQ(ReadText(dir.File("x/" + name)), ReadText(dir.File("none/" + name))) << name;
}

TEST_F(CaptureEndToEnd, VideoCarriesTheFirst47SecondsOfTheMusicAndASheetOfOneFramePerSecond) {
  const ProgramResult r = Capture({"--fps", "4", "--size", "320x180", "--out", "out/show.mp4", "--sheet",
                                   "out/sheet.png", "--frames", "out/frames"});
  ExpectSuccess(r);
  EXPECT_NE(r.stderrText.find("out/show.mp4"), std::string::npos) << r.stderrText;
  EXPECT_EQ(ListDir(dir.File("out")), (std::vector<std::string>{"frames", "sheet.png", "show.mp4"}));

  // The video's picture is the frame's, colours and rows as they are: frame 40
  // (10 s, a slide over the background) decoded again against its PNG. H.264 at
  // this quality leaves each channel a level or two off on average; swapped or
  // misweighted colour planes, or rows upside down, leave tens.
  ASSERT_EQ(Shell("ffmpeg -nostdin -v error -i '" + dir.File("out/show.mp4") +
                      "' -vf 'select=eq(n\\,40)' -frames:v 1 '" + dir.File("video40.png") + "'"),
            0);
  const Rgb decoded = LoadPicture(dir.File("video40.png"));
  const Rgb kept = LoadPicture(dir.File("out/frames/" + FrameName(40)));
  ASSERT_EQ(decoded.width, 320);
  ASSERT_EQ(decoded.height, 180);
  ASSERT_EQ(kept.width, 320);
  ASSERT_EQ(kept.height, 180);
  for (int c = 0; c < 3; ++c) {
    double offBy = 0, signedOff = 0;
    for (int y = 0; y < 180; ++y)
      for (int x = 0; x < 320; ++x) {
        const int d = decoded.at(x, y)[c] - kept.at(x, y)[c];
        offBy += std::abs(d);
        signedOff += d;
      }
    EXPECT_LT(offBy / (320 * 180), 4.0) << "channel " << c;
    EXPECT_LT(std::abs(signedOff) / (320 * 180), 2.0) << "channel " << c;
  }

  std::string probe;
  ASSERT_EQ(Shell("ffprobe -v error -show_entries stream=codec_type,duration,nb_frames,width,height -of compact '" +
                      dir.File("out/show.mp4") + "'",
                  &probe),
            0);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(probe, m, std::regex(R"(codec_type=audio\|duration=([0-9.]+))"))) << probe;
  // The show's length at 4 frames a second: frames 0 to 187.
  const double seconds = kShowLengthMs / 1000.0;
  EXPECT_NEAR(std::stod(m[1]), seconds, 0.05) << probe;
  ASSERT_TRUE(std::regex_search(
      probe, m, std::regex(R"(codec_type=video\|width=320\|height=180\|duration=([0-9.]+)\|nb_frames=(\d+))")))
      << probe;
  EXPECT_NEAR(std::stod(m[1]), seconds, 0.01) << probe;
  EXPECT_EQ(std::stoi(m[2]), kShowLengthMs * 4 / 1000) << probe;

  // The sound is the music itself, not silence: its loudest sample against the
  // music file's first 47 s.
  auto peak = [](const std::string& input, const std::string& limit) {
    std::string out;
    // ffmpeg reports on standard error, which Shell drops: the subshell hands it over.
    Shell("(ffmpeg -nostdin -hide_banner -nostats -i '" + input + "' " + limit + " -af volumedetect -f null - 2>&1)",
          &out);
    std::smatch v;
    return std::regex_search(out, v, std::regex(R"(max_volume: (-?[0-9.]+) dB)")) ? std::stod(v[1]) : -999.0;
  };
  const double videoPeak = peak(dir.File("out/show.mp4"), "-map 0:a");
  const double musicPeak = peak(dir.File("data/General/music.mp3"), "-t " + std::to_string(kShowLengthMs / 1000));
  EXPECT_GT(videoPeak, -30.0);
  EXPECT_NEAR(videoPeak, musicPeak, 1.5);

  // 47 cells of 240 x 135 in rows of 8: 6 rows.
  const Rgb sheet = LoadPicture(dir.File("out/sheet.png"));
  EXPECT_EQ(sheet.width, 6 + 8 * (240 + 6));
  EXPECT_EQ(sheet.height, 6 + 6 * (135 + 14 + 6));
}

// A video from 0:20.0 carries the music from 0:20.0: its sound lines up with the
// music file's at that moment (AAC keeps the waveform; the best match within
// 50 ms either side must lie within 2 ms of it).
TEST_F(CaptureEndToEnd, AVideoFromALaterMomentCarriesTheMusicFromThatMoment) {
  ExpectSuccess(Capture({"--fps", "4", "--size", "160x90", "--from", "0:20.0", "--to", "0:21.0", "--out",
                         "later.mp4"}));
  // Mono 32-bit floats at 44.1 kHz, through ffmpeg.
  auto decode = [this](const std::string& input, const std::string& options) {
    const std::string raw = dir.File("sound.f32");
    EXPECT_EQ(Shell("ffmpeg -nostdin -v error -y " + options + " -i '" + input + "' -map 0:a -ac 1 -ar 44100 -f f32le '" +
                    raw + "'"),
              0);
    const std::string bytes = ReadText(raw);
    std::vector<float> out(bytes.size() / sizeof(float));
    std::memcpy(out.data(), bytes.data(), out.size() * sizeof(float));
    return out;
  };
  const std::vector<float> video = decode(dir.File("later.mp4"), "");
  const std::vector<float> music = decode(dir.File("data/General/music.mp3"), "-ss 19.9 -t 1.2");
  constexpr int kRate = 44100, kSpan = kRate / 20, kLength = kRate / 2;
  ASSERT_GE(video.size(), static_cast<size_t>(kLength + kSpan));
  ASSERT_GE(music.size(), static_cast<size_t>(kRate / 10 + kLength + kSpan));
  // music[kRate / 10] is the moment 0:20.0; video[kSpan] lies kSpan after it.
  double vv = 0;
  for (int i = 0; i < kLength; ++i) vv += double{video[kSpan + i]} * video[kSpan + i];
  int bestLag = 0;
  double best = -2;
  for (int lag = -kSpan; lag <= kSpan; ++lag) {
    double mm = 0, vm = 0;
    for (int i = 0; i < kLength; ++i) {
      const double v = video[kSpan + i], m = music[kRate / 10 + kSpan + lag + i];
      mm += m * m;
      vm += v * m;
    }
    const double r = vv > 0 && mm > 0 ? vm / std::sqrt(vv * mm) : 0;
    if (r > best) {
      best = r;
      bestLag = lag;
    }
  }
  EXPECT_GT(best, 0.9) << "the video's sound is not the music";
  EXPECT_LE(std::abs(bestLag), kRate / 500) << "the music is " << bestLag << " samples away from 0:20.0";
}

// Where the driver lacks GLSL 1.30's integers the water scene draws its window's
// layers pass by pass; elsewhere in one pass that must give the same bytes, also
// along the edges of a 1280x720 window with four samples a pixel, where the
// targets' quad leaves samples uncovered.
TEST_F(CaptureEndToEnd, WaterSceneWindowInOnePassIsItsLayersPassByPass) {
  const std::vector<std::string> args = {"--scene", "start", "--fps", "10", "--to", "1:00.3", "--frames"};
  auto capture = [&](const std::string& folder, std::vector<std::pair<std::string, std::string>> env) {
    std::vector<std::string> a = args;
    a.push_back(folder);
    ExpectSuccess(Capture(a, std::move(env)));
    return ReadText(dir.File("debug.log"));
  };
  EXPECT_NE(capture("once", {}).find("sky and window layers each drawn in one pass"), std::string::npos);
  EXPECT_NE(capture("passes", {{"MESA_EXTENSION_OVERRIDE", "-GL_EXT_gpu_shader4"}})
                .find("sky and window layers drawn pass by pass"),
            std::string::npos);
  const std::vector<std::string> names = ListDir(dir.File("once"));
  ASSERT_EQ(names.size(), 3u);
  ASSERT_EQ(ListDir(dir.File("passes")), names);
  for (const std::string& name : names) {
    const Rgb once = LoadPicture(dir.File("once/" + name)), passes = LoadPicture(dir.File("passes/" + name));
    ASSERT_EQ(once.width, 1280);
    EXPECT_TRUE(once.px == passes.px) << name;
  }
}

TEST_F(CaptureEndToEnd, StartSceneFramesShowTheWaterScene) {
  ExpectSuccess(Capture({"--scene", "start", "--fps", "5", "--size", "320x240", "--to", "1:01.0", "--frames", "water"}));
  const std::vector<std::string> names = ListDir(dir.File("water"));
  ASSERT_EQ(names.size(), 5u);
  EXPECT_EQ(names.front(), FrameName(0));

  // The scene's overlay picture lies over its opaque places, straight onto the window.
  const float anything[3] = {255, 255, 255};
  const ExpectedRanges overlay =
      RangesOf(LoadPicture(dir.File("data/Textures/overlay.png")), 320, 240, kOverlayScale, anything);
  ASSERT_GT(overlay.pixel.size(), 100u);
  std::vector<Rgb> frames;
  for (const std::string& name : names) frames.push_back(LoadPicture(dir.File("water/" + name)));
  for (const Rgb& f : frames) EXPECT_LT(Difference(f, overlay), 1.0);

  // Under the overlay a lit 3D picture that moves: the middle third is neither
  // dark nor flat, and it changes while the camera circles and the logo spins.
  auto middle = [](const Rgb& f, double* mean, double* spread) {
    double sum = 0, sum2 = 0;
    int n = 0;
    for (int y = f.height / 3; y < 2 * f.height / 3; ++y)
      for (int x = f.width / 3; x < 2 * f.width / 3; ++x)
        for (int c = 0; c < 3; ++c) {
          const double v = f.at(x, y)[c];
          sum += v;
          sum2 += v * v;
          ++n;
        }
    *mean = sum / n;
    *spread = std::sqrt(sum2 / n - *mean * *mean);
  };
  for (const Rgb& f : frames) {
    double mean = 0, spread = 0;
    middle(f, &mean, &spread);
    EXPECT_GT(mean, 20.0);
    EXPECT_GT(spread, 10.0);
  }
  double change = 0;
  for (size_t i = 0; i < frames[0].px.size(); ++i) change += std::abs(int{frames[0].px[i]} - int{frames[4].px[i]});
  EXPECT_GT(change / static_cast<double>(frames[0].px.size()), 2.0);

  // And it is no slide.
  double second = 0;
  EXPECT_GT(BestSlide(frames[0], &second).second, 5.0);
}

TEST_F(CaptureEndToEnd, BadCommandLinesAreRefusedWithTheReason) {
  // The program's answer to a bad command line; the rules themselves are unit tests.
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--fps", "sixty", "--sheet", "s.png"}, "--fps"},
      {{"--scene", "start", "--to", "0:30.0", "--sheet", "s.png"}, "--to"},
      {{"--out", "show.avi"}, "--out"},
      {{"--loop", "--sheet", "s.png"}, "--loop"},
      {{}, "nothing to write"},
  };
  for (const auto& [args, text] : cases) {
    const ProgramResult r = Capture(args);
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.status, 64) << args.size() << " args: " << r.stderrText;
    EXPECT_NE(r.stderrText.find(text), std::string::npos) << r.stderrText;
    EXPECT_NE(r.stderrText.find("--help"), std::string::npos) << r.stderrText;
  }
  const ProgramResult help = Capture({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.stdoutText.find("--scene"), std::string::npos);
}

TEST_F(CaptureEndToEnd, MissingFfmpegIsReportedWithItsPackage) {
  const ProgramResult r = Capture({"--fps", "5", "--out", "out/show.mp4"}, {{"PATH", "/nonexistent"}});
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.status, 69) << r.stderrText;
  EXPECT_NE(r.stderrText.find("apt-get install ffmpeg"), std::string::npos) << r.stderrText;
  EXPECT_TRUE(ListDir(dir.File("out")).empty()) << Joined(ListDir(dir.File("out")));
}

// Ctrl-C, a kill, the terminal closed, Ctrl-\; once, or twice: a second signal
// ends it at once, still leaving no file.
class InterruptedCapture : public CaptureEndToEnd, public ::testing::WithParamInterface<std::vector<int>> {};

// True once no thread of `pid` has `signal` pending: it has been taken.
bool SignalTaken(pid_t pid, int signal) {
  const std::string status = ReadText("/proc/" + std::to_string(pid) + "/status");
  const size_t at = status.find("ShdPnd:");
  if (at == std::string::npos) return true;  // ended
  return (std::stoull(status.substr(at + 7), nullptr, 16) & (1ull << (signal - 1))) == 0;
}

// A capture with a video and a sheet, some frames into the show (the plain
// progress lines come every tenth), its encoder running beside it.
void StartCaptureOfAVideo(Program& p, const WorkDir& dir) {
  ASSERT_TRUE(p.Start({.program = ProgramPath("tessaly-capture"),
                       .args = {"--fps", "20", "--size", "320x180", "--out", "out/show.mp4", "--sheet",
                                "out/sheet.png"},
                       .workDir = dir.path()}));
  for (int i = 0; i < kTimeoutMs / 100 && p.Stderr().find("capture: ") == std::string::npos; ++i)
    ASSERT_FALSE(p.Ended(100)) << p.Stderr();
  ASSERT_GE(ProcessesWorkingIn(dir.path()).size(), 2u) << "the program and its encoder";
}

// True once no process works in `dir` any more (within `timeoutMs`).
bool AllEnded(const WorkDir& dir, int timeoutMs) {
  for (int i = 0; i < timeoutMs / 10; ++i) {
    if (ProcessesWorkingIn(dir.path()).empty()) return true;
    usleep(10000);
  }
  return ProcessesWorkingIn(dir.path()).empty();
}

TEST_P(InterruptedCapture, LeavesNoFileUnderTheFinalName) {
  Program p;
  ASSERT_NO_FATAL_FAILURE(StartCaptureOfAVideo(p, dir));
  for (int signal : GetParam()) {
    p.Signal(signal);
    for (int i = 0; i < 10000 && !SignalTaken(p.pid(), signal); ++i) usleep(1000);
  }
  const int signal = GetParam().front();
  const ProgramResult r = p.Wait(kTimeoutMs);
  EXPECT_TRUE(r.exited) << "signal " << r.signal;
  EXPECT_EQ(r.status, 128 + signal) << r.stderrText;
  EXPECT_NE(r.stderrText.find("interrupted"), std::string::npos) << r.stderrText;
  // Neither the video nor the sheet, nor their temporary files.
  EXPECT_TRUE(ListDir(dir.File("out")).empty()) << Joined(ListDir(dir.File("out")));
  // Nor an encoder still writing into it.
  EXPECT_TRUE(ProcessesWorkingIn(dir.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedCapture,
                         ::testing::Values(std::vector<int>{SIGTERM}, std::vector<int>{SIGINT, SIGINT},
                                           std::vector<int>{SIGHUP}, std::vector<int>{SIGQUIT, SIGQUIT}));

// Killed outright, the capture cannot clean up, but its encoder dies with it:
// no video is finished, not even under the hidden name (a finished MP4 holds its
// index, the "moov" box; a cut one does not). The next capture into the folder
// removes what is left.
TEST_F(CaptureEndToEnd, AKilledCaptureLeavesNoFinishedVideo) {
  Program p;
  ASSERT_NO_FATAL_FAILURE(StartCaptureOfAVideo(p, dir));
  p.Signal(SIGKILL);
  const ProgramResult r = p.Wait(kTimeoutMs);
  EXPECT_EQ(r.signal, SIGKILL);
  EXPECT_TRUE(AllEnded(dir, kTimeoutMs)) << "the encoder outlived the capture";
  const std::vector<std::string> left = ListDir(dir.File("out"));
  for (const std::string& name : left) {
    EXPECT_EQ(name.rfind(".show.mp4.part-", 0), 0u) << name;
    EXPECT_EQ(ReadText(dir.File("out/" + name)).find("moov"), std::string::npos) << name << " is a finished video";
  }

  ExpectSuccess(Capture({"--fps", "5", "--size", "64x36", "--to", "0:00.4", "--out", "out/show.mp4"}));
  EXPECT_EQ(Joined(ListDir(dir.File("out"))), "show.mp4 ");
}

}  // namespace
