// The whole production, run as a viewer runs it: the real tessaly in a temporary
// copy of the stage under a private 1280x720 X server. A full show, its log, the
// slides on screen at chosen moments, and every fixed exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <numbers>
#include <regex>
#include <sstream>
#include <thread>

#include "resources/texture_images.h"
#include "shell/file_paths.h"
#include "shell/mp3_decoder.h"
#include "tests/support/image_files.h"
#include "tests/support/log_lines.h"
#include "tests/support/message_boxes.h"
#include "tests/support/mp3_fixture.h"
#include "tests/support/process.h"
#include "tests/support/show_facts.h"
#include "tests/support/x_windows.h"
#include "tests/support/xvfb.h"

using namespace vantor_test;
using Clock = std::chrono::steady_clock;
using VantorGL::TextureImage;

namespace {

constexpr int kStartMs = 120000;

class Production : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(xvfb.Start(1280, 720)) << "no Xvfb"; }

  void EditPropertyFile(const std::string& from, const std::string& to) {
    const std::string path = dir.File("data/default.qelProperty");
    std::string text = ReadText(path);
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    std::ofstream(path, std::ios::trunc) << text;
  }

  ProgramResult Run(std::vector<std::pair<std::string, std::string>> env = {}, int timeoutMs = kStartMs) {
    return RunProgram({.program = ProgramPath("tessaly"), .workDir = dir.path(), .env = std::move(env)},
                      timeoutMs);
  }

  // Runs the program and answers its boxes as they come up, in order: each
  // (caption, key) pair once. `boxesAnswered` counts the ones answered.
  ProgramResult RunAnswering(std::vector<std::pair<std::string, std::string>> boxes,
                             std::vector<std::pair<std::string, std::string>> env = {}) {
    Program p;
    EXPECT_TRUE(p.Start({.program = ProgramPath("tessaly"), .workDir = dir.path(), .env = std::move(env)}));
    const auto deadline = Clock::now() + std::chrono::milliseconds(kStartMs);
    boxesAnswered = 0;
    boxOwners.clear();
    while (p.Running() && Clock::now() < deadline && boxesAnswered < boxes.size()) {
      const auto& [caption, key] = boxes[boxesAnswered];
      const std::string id = FindBox(caption);
      if (!id.empty()) {
        // The program waits for the viewer meanwhile.
        EXPECT_TRUE(p.Running()) << caption;
        boxOwners.push_back(BoxOwnerName(id));
        EXPECT_TRUE(AnswerBox(id, key)) << caption << " never took the keyboard focus";
        ++boxesAnswered;
        while (!FindBox(caption).empty() && p.Running()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return p.Wait(kStartMs);
  }

  PrivateXvfb xvfb;
  WorkDir dir = WorkDir::CopyOfStage();
  size_t boxesAnswered = 0;
  std::vector<std::string> boxOwners;  // what each answered box was transient for
};

// Mean colour difference between the screen (stretched over the slide scene's
// 1024x768, as the window shows its target) and slide `n` where the slide is opaque.
double SlideDistance(const std::string& dir, const TextureImage& screen, int n) {
  char name[64];
  std::snprintf(name, sizeof name, "data/Slides/slide%02d.png", n);
  const auto bytes = VantorGL::ReadFileBytes(dir + "/" + name);
  auto slide = bytes ? VantorGL::DecodePng(bytes->data(), bytes->size()) : std::nullopt;
  if (!slide || slide->channels != 4 || screen.channels != 3) return 1e9;
  if (slide->width != 1024 || slide->height != 768) slide = VantorGL::Stretch(*slide, 1024, 768, false);
  const TextureImage shown = VantorGL::Stretch(screen, 1024, 768, false);
  double sum = 0;
  long count = 0;
  for (size_t p = 0; p < size_t{1024} * 768; ++p) {
    const uint8_t* s = &slide->pixels[p * 4];
    const uint8_t* c = &shown.pixels[p * 3];
    if (s[3] < 250) continue;
    for (int k = 0; k < 3; ++k) sum += std::abs(int{c[k]} - int{s[k]});
    ++count;
  }
  return count ? sum / (3.0 * count) : 1e9;
}

// Six background frames told apart at a glance: each a flat colour of its own,
// with a pale block over the top-left quarter of each side, whose corner says
// which way up and which way round the frame is drawn and whose edges say where.
constexpr uint8_t kFrameColours[6][3] = {{200, 40, 40}, {40, 190, 40}, {40, 40, 210},
                                         {210, 200, 40}, {200, 40, 200}, {40, 200, 200}};
constexpr uint8_t kBlockColour[3] = {235, 235, 235};

void WriteMarkedBackgrounds(const WorkDir& dir) {
  for (int i = 0; i < 6; ++i) {
    RgbaPicture p(1024, 768);
    p.Fill(0, 0, 1024, 768, kFrameColours[i][0], kFrameColours[i][1], kFrameColours[i][2]);
    p.Fill(0, 0, 256, 192, kBlockColour[0], kBlockColour[1], kBlockColour[2]);
    WriteBytes(dir.File("data/Background/tex" + std::to_string(i) + ".jpg"), EncodeJpegFile(p, 95));
  }
}

// Slides that cover nothing, so the background shows whole.
void ClearSlides(const WorkDir& dir, int from, int to) {
  const std::vector<uint8_t> clear = EncodePng(RgbaPicture(4, 4));
  for (int n = from; n <= to; ++n) {
    char name[64];
    std::snprintf(name, sizeof name, "data/Slides/slide%02d.png", n);
    WriteBytes(dir.File(name), clear);
  }
}

// Where a colour lies between `from` (0) and `to` (1).
double Between(const uint8_t* c, const uint8_t* from, const uint8_t* to) {
  double num = 0, den = 0;
  for (int k = 0; k < 3; ++k) {
    const double d = static_cast<double>(to[k]) - from[k];
    num += (static_cast<double>(c[k]) - from[k]) * d;
    den += d * d;
  }
  return num / den;
}

bool Near(const uint8_t* c, const uint8_t* want) {
  return std::abs(c[0] - want[0]) + std::abs(c[1] - want[1]) + std::abs(c[2] - want[2]) < 45;
}

// Which background frame a picture of the window shows, and whether upright and
// in its place: "" when it is, else what is wrong. `frame` is -1 when none of
// the six fills it.
std::string JudgeBackground(const TextureImage& shot, int* frame) {
  *frame = -1;
  const int w = shot.width, h = shot.height;
  const size_t n = static_cast<size_t>(shot.channels);
  if (w < 64 || h < 64 || n < 3) return "no picture";
  auto at = [&](double fx, double fy) {
    return &shot.pixels[(static_cast<size_t>(fy * h) * w + static_cast<size_t>(fx * w)) * n];
  };
  for (int i = 0; i < 6; ++i)
    if (Near(at(0.75, 0.75), kFrameColours[i])) *frame = i;
  if (*frame < 0) return "no background frame's colour in the lower right";
  const uint8_t* colour = kFrameColours[*frame];
  const uint8_t black[3] = {0, 0, 0};
  std::ostringstream wrong;
  // The block at the top left only: upside down it would be at the bottom,
  // mirrored at the right.
  if (!Near(at(0.12, 0.12), kBlockColour)) wrong << "no block at the top left; ";
  for (auto [fx, fy] : {std::pair{0.12, 0.88}, {0.88, 0.12}, {0.88, 0.88}, {0.5, 0.5}})
    if (!Near(at(fx, fy), colour)) wrong << "not the frame's colour at (" << fx << ", " << fy << "); ";
  // Edges, to a pixel and a half: where the colour is half-way across, along a
  // row or a column through the frame's own colour or through the block.
  auto edge = [&](bool alongRow, int line, const uint8_t* from, const uint8_t* to, int start, int step) {
    const int length = alongRow ? w : h;
    auto px = [&](int i) {
      return alongRow ? &shot.pixels[(static_cast<size_t>(line) * w + i) * n]
                      : &shot.pixels[(static_cast<size_t>(i) * w + line) * n];
    };
    double before = Between(px(start), from, to);
    for (int i = start + step; i >= 0 && i < length; i += step) {
      const double now = Between(px(i), from, to);
      if (before < 0.5 && now >= 0.5) {
        const double at = (i - step) + step * (0.5 - before) / (now - before);
        return at + 0.5;  // pixel centres lie half-way into each pixel
      }
      before = now;
    }
    return -1.0;
  };
  const double x0 = kBackgroundFrom * w, x1 = (1 - kBackgroundFrom) * w;
  const double y0 = kBackgroundFrom * h, y1 = (1 - kBackgroundFrom) * h;
  const int midRow = h * 6 / 10, midColumn = w * 6 / 10, blockRow = h / 10, blockColumn = w / 10;
  struct Edge {
    const char* name;
    double measured, expected;
  };
  const Edge edges[] = {
      {"left", edge(true, midRow, black, colour, 0, 1), x0},
      {"right", edge(true, midRow, black, colour, w - 1, -1), x1},
      {"top", edge(false, midColumn, black, colour, 0, 1), y0},
      {"bottom", edge(false, midColumn, black, colour, h - 1, -1), y1},
      {"block's right", edge(true, blockRow, kBlockColour, colour, blockColumn, 1), x0 + (x1 - x0) / 4},
      {"block's bottom", edge(false, blockColumn, kBlockColour, colour, blockRow, 1), y0 + (y1 - y0) / 4},
  };
  for (const Edge& e : edges)
    if (std::fabs(e.measured - e.expected) > 1.5)
      wrong << e.name << " edge at " << e.measured << ", not " << e.expected << "; ";
  return wrong.str();
}

int LastStamp(const std::string& log, const std::string& text) {
  int stamp = -1;
  std::istringstream lines(log);
  std::string line;
  while (std::getline(lines, line))
    if (line.find(text) != std::string::npos) stamp = std::atoi(line.c_str() + 1);
  return stamp;
}

}  // namespace

// The whole show on the real window: the background cycling through its six
// frames upright and in place under the first slides (made clear here), the
// slides at their moments, a slide whose file is missing drawn as a white quad
// while the show goes on, and the end at 47 s with status 0.
TEST_F(Production, PlaysTheWholeShowInStepWithTheScheduleAndEnds) {
  WriteMarkedBackgrounds(dir);
  ClearSlides(dir, 0, 16);  // up to 9.2 s, well past the grabs below
  ASSERT_EQ(::unlink(dir.File("data/Slides/slide49.png").c_str()), 0);
  Program p;
  ASSERT_TRUE(p.Start({.program = ProgramPath("tessaly"), .workDir = dir.path()}));
  ASSERT_TRUE(WaitForFileText(dir.File("debug.log"), "frame loop started", kStartMs))
      << ReadText(dir.File("debug.log")) << p.Stderr();
  const auto showStart = Clock::now();
  auto showMs = [&] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - showStart).count();
  };

  // The real player's frames come at its own pace, so which background frame is
  // up at a moment is not known here (the capture's test holds that to the
  // frame); what is: every picture shows one of the six whole, upright and in
  // its place, and they follow each other in order. A frame moves it on by one
  // at most and the next move needs 100 ms more, so between two grabs it moves
  // on by more than one only when they lie that much further apart (less the
  // 50 ms by which one frame's drawing may outlast another's).
  struct Grab {
    int frame;
    long fromMs, toMs;  // the show's time as the grab began and ended
  };
  std::vector<Grab> grabs;
  std::string wrongOnce, lastWrong;
  TextureImage wrongScreen, lastScreen;
  for (; showMs() < 7500; std::this_thread::sleep_for(std::chrono::milliseconds(15))) {
    const long from = showMs();
    TextureImage screen = GrabScreen();
    int frame = -1;
    const std::string wrong = JudgeBackground(screen, &frame);
    if (grabs.empty() && !wrong.empty()) {  // the loading picture until the first frame, or never right
      lastWrong = "at " + std::to_string(from) + " ms: " + wrong;
      lastScreen = std::move(screen);
      continue;
    }
    if (!wrong.empty() && wrongOnce.empty()) {
      wrongOnce = "at " + std::to_string(from) + " ms: " + wrong;
      wrongScreen = std::move(screen);
    }
    grabs.push_back({frame, from, showMs()});
  }
  ASSERT_FALSE(grabs.empty()) << "no background ever right, the last " << lastWrong << " "
                              << KeepScreenshot(lastScreen, "background-wrong");
  EXPECT_EQ(wrongOnce, "") << KeepScreenshot(wrongScreen, "background-wrong");
  std::string sequence;
  for (size_t i = 0; i < grabs.size(); ++i)
    if (i == 0 || grabs[i].frame != grabs[i - 1].frame)
      sequence += std::to_string(grabs[i].frame) + "@" + std::to_string(grabs[i].fromMs) + " ";
  for (int f = 0; f < 6; ++f)
    EXPECT_TRUE(std::any_of(grabs.begin(), grabs.end(), [f](const Grab& g) { return g.frame == f; }))
        << "frame " << f << " never seen: " << sequence;
  for (size_t i = 1; i < grabs.size(); ++i) {
    const int step = (grabs[i].frame - grabs[i - 1].frame + 6) % 6;
    const long apart = grabs[i].toMs - grabs[i - 1].fromMs;
    EXPECT_TRUE(grabs[i].frame >= 0 && (step <= 1 || apart >= (step - 1) * 100 - 50))
        << "from " << grabs[i - 1].frame << " to " << grabs[i].frame << " in " << apart << " ms; in order: " << sequence;
  }

  // What the screen shows may lag the schedule by the time a frame takes, and a
  // loaded machine's llvmpipe takes up to seconds for one (the first frame of a
  // slide most), but it never leads it. So each moment lies late in a long
  // slide: up to 2 s and 3.3 s behind still show the slide, 0.6 s ahead shows
  // the next. The screen is grabbed in this process at the moment and judged
  // once the show is over, so that nothing here takes the show's CPU meanwhile.
  struct Moment {
    int ms, slide;
    TextureImage screen;
    long grabbedMs = 0;
  };
  std::vector<Moment> moments = {{14000, 20, {}, 0}, {36300, 49, {}, 0}};  // slide 49 missing
  for (Moment& m : moments) {
    ASSERT_EQ(ScheduledSlide(m.ms, -1), m.slide);
    std::this_thread::sleep_until(showStart + std::chrono::milliseconds(m.ms));
    m.screen = GrabScreen();
    m.grabbedMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - showStart).count();
  }

  const ProgramResult r = p.Wait(kStartMs);
  const auto wall = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - showStart).count();
  ASSERT_TRUE(r.exited) << r.stderrText;
  EXPECT_EQ(r.status, 0) << r.stderrText;
  EXPECT_GE(wall, 46500) << "the show lasts 47 s";

  const std::string log = ReadText(dir.File("debug.log"));
  const std::vector<std::string> order = {
      "(cDebugSystem) VantorGL engine", "(cPropertySystem) #", "(cResources) Font OK!",
      "(cResources) 3ds Load OK!",       "(cFileLoader_ASE - Loading objects: ) Camera01",
      "(cFileLoader_ASE - Loading objects: ) Camera01.Target"};
  size_t at = 0;
  for (const std::string& text : order) {
    const size_t found = log.find(text, at);
    ASSERT_NE(found, std::string::npos) << "\"" << text << "\" in order in\n" << log;
    at = found;
  }
  // The production's settings: full screen at 1280x720 with 4 samples a pixel
  // asked for (this driver gives 4 for 2 as well, so the count asked is what tells).
  EXPECT_TRUE(std::regex_search(
      log, std::regex(R"(\(cWindowsSystem\) window open: 1280x720, full screen, multisample format \d+ for 4 samples)")))
      << log;
  // The show ends with the first frame whose update sees 47000 ms or more.
  std::smatch ended;
  ASSERT_TRUE(std::regex_search(log, ended, std::regex(R"(frame loop ended after \d+ frames, the last two updated at (\d+) and (\d+) ms)")))
      << log;
  EXPECT_LT(std::stoi(ended[1]), kShowLengthMs) << "the frame before the last was still in the show\n" << log;
  EXPECT_GE(std::stoi(ended[2]), kShowLengthMs) << log;
  EXPECT_GE(LastStamp(log, "frame loop ended"), kShowLengthMs) << log;

  for (const Moment& m : moments) {
    ASSERT_EQ(m.screen.width, 1280) << "no picture of the screen at " << m.ms << " ms";
    ASSERT_EQ(m.screen.height, 720);
    EXPECT_EQ(ScheduledSlide(static_cast<int>(m.grabbedMs), -1), m.slide)
        << "the grab meant for " << m.ms << " ms came at " << m.grabbedMs << " ms";
    if (m.slide == 49) {
      // Untextured and opaque, the slide's quad covers the whole picture white;
      // the window's edge beyond it stays black.
      auto pixel = [&](double fx, double fy) {
        return &m.screen.pixels[(static_cast<size_t>(fy * 720) * 1280 + static_cast<size_t>(fx * 1280)) * 3];
      };
      int white = 0, points = 0;
      for (double fy = 0.03; fy < 0.98; fy += 0.05)
        for (double fx = 0.03; fx < 0.98; fx += 0.05, ++points)
          white += pixel(fx, fy)[0] > 245 && pixel(fx, fy)[1] > 245 && pixel(fx, fy)[2] > 245;
      EXPECT_EQ(white, points) << "a missing slide draws white over the whole picture: "
                               << KeepScreenshot(m.screen, "missing-slide");
      EXPECT_LT(pixel(0.002, 0.5)[0] + pixel(0.5, 0.002)[1], 20) << KeepScreenshot(m.screen, "missing-slide");
      continue;
    }
    // The scheduled slide, upright, matches clearly better than its neighbours,
    // the first and the last (a mirrored slide would match none of them).
    const double right = SlideDistance(dir.path(), m.screen, m.slide);
    for (int other : {m.slide - 1, m.slide + 1, 0, 55})
      EXPECT_LT(right, 0.75 * SlideDistance(dir.path(), m.screen, other))
          << "at " << m.ms << " ms slide " << m.slide << " is up, not " << other << "; the screen: "
          << KeepScreenshot(m.screen, "show-at-" + std::to_string(m.ms));
  }
}

// The background on the capture's virtual clock, where every frame's moment is
// exact: at 30 frames a second it moves on at every fourth frame (three steps
// make exactly 100 ms, which is not more), from the show's start and from a
// later moment the capture stands the show at; each frame upright, in its place.
TEST_F(Production, TheBackgroundShowsTheFrameItsClockGivesUprightAndInPlace) {
  WriteMarkedBackgrounds(dir);
  ClearSlides(dir, 0, 55);
  struct Run {
    std::string from, to, folder;
    int first, count;
  };
  for (const Run& run : {Run{"0:00.0", "0:01.6", "start", 0, 48}, Run{"0:10.0", "0:10.3", "later", 300, 9}}) {
    const ProgramResult r = RunProgram({.program = ProgramPath("tessaly-capture"),
                                        .args = {"--fps", "30", "--size", "640x360", "--from", run.from, "--to",
                                                 run.to, "--frames", run.folder},
                                        .workDir = dir.path()},
                                       kStartMs);
    ASSERT_TRUE(r.exited && r.status == 0) << r.stderrText;
    for (int j = run.first; j < run.first + run.count; ++j) {
      char name[64];
      std::snprintf(name, sizeof name, "/frame_%06d.png", j);
      const auto bytes = VantorGL::ReadFileBytes(dir.File(run.folder + name));
      ASSERT_TRUE(bytes) << run.folder << name;
      const auto picture = VantorGL::DecodePng(bytes->data(), bytes->size());
      ASSERT_TRUE(picture) << name;
      int shown = -1;
      const std::string wrong = JudgeBackground(*picture, &shown);
      EXPECT_EQ(wrong, "") << "frame " << j;
      EXPECT_EQ(shown, BackgroundAt30Fps(j)) << "frame " << j << " at " << j * 1000 / 30 << " ms";
    }
  }
}

namespace {

// The loading picture as the loading step lays it over the window: a unit quad
// scaled by (3.08, 2.08) at distance 4 under the default 45-degree projection of
// the window's shape, upright. Mean colour difference over a grid of points, and
// the same against the picture upside down, which must be far worse.
std::pair<double, double> LoadingPictureDistance(const std::string& dir, const TextureImage& screen) {
  const auto bytes = VantorGL::ReadFileBytes(dir + "/data/General/loading.jpg");
  const auto picture = bytes ? VantorGL::DecodePictureFile(bytes->data(), bytes->size()) : std::nullopt;
  if (!picture || screen.width != 1280 || screen.height != 720 || screen.channels != 3) return {1e9, 0};
  const double halfHeight = 4.0 * std::tan(22.5 * std::numbers::pi / 180.0);
  const double halfWidth = halfHeight * 1280.0 / 720.0;
  double upright = 0, flipped = 0;
  int n = 0;
  for (int y = 8; y < 720; y += 16) {
    for (int x = 8; x < 1280; x += 16) {
      const double u = 0.5 + (((x + 0.5) / 1280.0 * 2 - 1) * halfWidth / 3.08) / 2;
      const double v = 0.5 + ((1 - (y + 0.5) / 720.0 * 2) * halfHeight / 2.08) / 2;  // 0 at the bottom
      const int px = std::clamp(static_cast<int>(u * picture->width), 0, picture->width - 1);
      const int row = std::clamp(static_cast<int>((1 - v) * picture->height), 0, picture->height - 1);
      const int mirrored = picture->height - 1 - row;
      const uint8_t* shown = &screen.pixels[(static_cast<size_t>(y) * 1280 + x) * 3];
      const uint8_t* a = &picture->pixels[(static_cast<size_t>(row) * picture->width + px) * picture->channels];
      const uint8_t* b = &picture->pixels[(static_cast<size_t>(mirrored) * picture->width + px) * picture->channels];
      for (int c = 0; c < 3; ++c) {
        upright += std::abs(int{shown[c]} - int{a[c]});
        flipped += std::abs(int{shown[c]} - int{b[c]});
      }
      n += 3;
    }
  }
  return {upright / n, flipped / n};
}

bool ShowsTheLoadingPicture(const std::string& dir, const TextureImage& screen) {
  const auto [upright, flipped] = LoadingPictureDistance(dir, screen);
  return upright < 12 && upright < 0.5 * flipped;
}

// The disk audio driver's output: interleaved stereo floats, whole frames.
std::vector<float> SoundFile(const std::string& path) {
  const auto bytes = VantorGL::ReadFileBytes(path);
  std::vector<float> out;
  if (!bytes) return out;
  out.resize(bytes->size() / 8 * 2);
  std::memcpy(out.data(), bytes->data(), out.size() * sizeof(float));
  return out;
}

bool SameFrame(const std::vector<float>& sound, int64_t k, float left, float right) {
  return std::fabs(sound[2 * k] - std::clamp(left, -1.0f, 1.0f)) < 1e-6f &&
         std::fabs(sound[2 * k + 1] - std::clamp(right, -1.0f, 1.0f)) < 1e-6f;
}

}  // namespace

// What the viewer sees and hears while the show loads and as it starts, on SDL's
// disk audio device, which writes every sample it plays to a file. Loading is
// held at its last picture (a pipe stands in the slide's place) until the test
// hands the file over, so the loading tune, made short here, loops as often as
// the test wants, with the loading picture on screen all along.
TEST_F(Production, LoadingLoopsItsTuneUnderItsPictureThenTheMusicPlaysFromItsFirstSample) {
  // 0.2 s that never repeats within itself: a rising tone, so every pass and its
  // start can be told apart.
  Pcm16 tone;
  const int toneFrames = 8820;
  for (int i = 0; i < toneFrames; ++i) {
    const double level = 0.1 + 0.5 * i / toneFrames, t = i / 44100.0;
    tone.samples.push_back(static_cast<int16_t>(32767 * level * std::sin(2 * std::numbers::pi * 300 * t)));
    tone.samples.push_back(static_cast<int16_t>(32767 * level * std::sin(2 * std::numbers::pi * 470 * t)));
  }
  ASSERT_TRUE(WriteMp3(dir.File("data/General/loading.mp3"), tone));
  auto decode = [&](const std::string& name) {
    const auto bytes = VantorGL::ReadFileBytes(dir.File(name));
    return bytes ? VantorGL::DecodeMp3(bytes->data(), bytes->size(), 44100) : std::nullopt;
  };
  const auto tune = decode("data/General/loading.mp3");
  const auto music = decode("data/General/music.mp3");
  ASSERT_TRUE(tune && music);
  ASSERT_EQ(tune->frames, toneFrames);

  const std::string slide = dir.File("data/Slides/slide55.png");
  const auto slideBytes = VantorGL::ReadFileBytes(slide);
  ASSERT_TRUE(slideBytes);
  ASSERT_EQ(::unlink(slide.c_str()), 0);
  ASSERT_EQ(::mkfifo(slide.c_str(), 0644), 0);

  const std::string soundPath = dir.File("sound.raw");
  Program p;
  ASSERT_TRUE(p.Start({.program = ProgramPath("tessaly"),
                       .workDir = dir.path(),
                       .env = {{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", soundPath}}}));
  auto waitFor = [&](const std::function<bool()>& done) {
    for (const auto deadline = Clock::now() + std::chrono::milliseconds(kStartMs); Clock::now() < deadline;) {
      if (done()) return true;
      if (!p.Running()) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  };

  TextureImage screen;
  EXPECT_TRUE(waitFor([&] { return ShowsTheLoadingPicture(dir.path(), screen = GrabScreen()); }))
      << "no loading picture: " << KeepScreenshot(screen, "loading") << "\n" << p.Stderr();
  // Three passes of the tune after the first sound, then the picture once more.
  auto firstSound = [](const std::vector<float>& sound) {
    size_t k = 0;
    while (k < sound.size() && sound[k] == 0.0f) ++k;
    return static_cast<int64_t>(k / 2);
  };
  ASSERT_TRUE(waitFor([&] {
    const auto sound = SoundFile(soundPath);
    return static_cast<int64_t>(sound.size() / 2) > firstSound(sound) + 3 * toneFrames + 4096;
  })) << p.Stderr();
  screen = GrabScreen();
  EXPECT_TRUE(ShowsTheLoadingPicture(dir.path(), screen)) << KeepScreenshot(screen, "loading-later");
  EXPECT_EQ(ReadText(dir.File("debug.log")).find("frame loop started"), std::string::npos);

  // Hand the slide over (again, should anything open it twice) until the show runs.
  ASSERT_TRUE(waitFor([&] {
    FeedPipe(slide, *slideBytes);
    return ReadText(dir.File("debug.log")).find("frame loop started") != std::string::npos;
  })) << ReadText(dir.File("debug.log")) << p.Stderr();
  // Two seconds of the show's sound, then the end.
  const size_t showFrom = SoundFile(soundPath).size() / 2;
  ASSERT_TRUE(waitFor([&] { return SoundFile(soundPath).size() / 2 > showFrom + 2 * 44100; })) << p.Stderr();
  p.Signal(SIGTERM);
  const ProgramResult r = p.Wait(kStartMs);
  ASSERT_TRUE(r.exited) << r.stderrText;
  EXPECT_EQ(r.status, 0) << r.stderrText;

  // The show's clock and its music start together. The program's record: the
  // performance counter around the clock's restart and the music's play, the
  // device frames handed by then, and the device frame the music's first sample
  // went out as. Work between the two (a scene initialised after the restart)
  // widens the first and lets the device take more buffers in between: it takes
  // 512 frames a callback, so the music's first sample is in the buffer after
  // the restart, or the one after that when a callback was under way.
  const std::string log = ReadText(dir.File("debug.log"));
  std::smatch start;
  ASSERT_TRUE(std::regex_search(log, start, std::regex(R"(clock restarted and music played between counter (\d+) and (\d+) \((\d+) a second\) with (\d+) device frames handed; its first sample went out as device frame (\d+))")))
      << log;
  const double gapMs = 1000.0 * static_cast<double>(std::stoll(start[2]) - std::stoll(start[1])) / std::stod(start[3]);
  const int64_t handedAtRestart = std::stoll(start[4]), musicDeviceFrame = std::stoll(start[5]);
  EXPECT_LE(gapMs, 5.0) << "between the clock's restart and the music's play";
  EXPECT_GE(musicDeviceFrame, handedAtRestart);
  EXPECT_LE(musicDeviceFrame - handedAtRestart, 512) << "device frames went out between the restart and the music";

  // The file, bar its last callback (the program may end while writing it):
  // silence until the loading tune starts at its first sample, the tune again
  // from its first sample at each end, the music from its first sample joining
  // it, the tune stopping at once, and the music alone from then on.
  const std::vector<float> sound = SoundFile(soundPath);
  const int64_t frames = static_cast<int64_t>(sound.size() / 2) - 4096;
  const int64_t first = firstSound(sound);
  ASSERT_LT(first, frames);
  auto tuneAt = [&](int64_t k, int c) { return tune->samples[static_cast<size_t>((k - first) % toneFrames) * 2 + c]; };
  int64_t k = first;
  while (k < frames && SameFrame(sound, k, tuneAt(k, 0), tuneAt(k, 1))) ++k;
  ASSERT_GE(k - first, 3 * toneFrames) << "the loading tune stopped or went wrong after " << k - first
                                       << " frames; it is " << toneFrames << " long";
  // The music's first frames may be silent, and silence joins unseen.
  int64_t silentStart = 0;
  while (music->samples[2 * silentStart] == 0.0f && music->samples[2 * silentStart + 1] == 0.0f) ++silentStart;
  const int64_t musicFrom = k - silentStart;
  auto musicAt = [&](int64_t at, int c) { return music->samples[static_cast<size_t>(at - musicFrom) * 2 + c]; };
  while (k < frames && SameFrame(sound, k, musicAt(k, 0) + tuneAt(k, 0), musicAt(k, 1) + tuneAt(k, 1))) ++k;
  EXPECT_LT(k - musicFrom, 22050) << "the loading tune played on under the music for " << k - musicFrom << " frames";
  const int64_t tuneStopped = k;
  while (k < frames && SameFrame(sound, k, musicAt(k, 0), musicAt(k, 1))) ++k;
  EXPECT_EQ(k, frames) << "the music alone from frame " << tuneStopped << " on, but not at frame " << k
                       << " (music frame " << k - musicFrom << ")";
  EXPECT_GT(frames - musicFrom, 44100) << "a second of the music at least";
  // The record is what the device played: the file holds every frame handed,
  // after the whole silent buffers SDL writes of its own before the first callback.
  EXPECT_GE(musicFrom, musicDeviceFrame);
  EXPECT_EQ((musicFrom - musicDeviceFrame) % 512, 0)
      << "the music reached the file at frame " << musicFrom << ", the device at frame " << musicDeviceFrame;
}

// Pictures are read ahead on other threads, but a missing name still ends the
// program where the loading order meets it, after exactly the lines an intact run
// writes up to there and the line that ends it: early in the list (before the
// models) and late (a slide).
TEST_F(Production, AMissingNameEndsWithStatus2AfterExactlyTheLinesBeforeIt) {
  std::vector<std::string> intact;
  {
    Program p;
    ASSERT_TRUE(p.Start({.program = ProgramPath("tessaly"), .workDir = dir.path()}));
    ASSERT_TRUE(WaitForFileText(dir.File("debug.log"), "frame loop started", kStartMs)) << p.Stderr();
    intact = LogLinesAfterBanner(dir.File("debug.log"));
  }
  // Up to the show's start: what the frames log after it comes at their pace.
  const auto started = std::find(intact.begin(), intact.end(), "(cWindowsSystem) frame loop started");
  ASSERT_NE(started, intact.end());
  intact.erase(started + 1, intact.end());

  struct Case {
    std::string name;
    std::string lastLine;
  };
  for (const Case& c : {Case{"OverlayI", "(cResources) Font OK!"},
                        Case{"Slide40", "(cFileLoader_ASE - Loading objects: ) Camera01.Target"}}) {
    EditPropertyFile("NAME \"" + c.name + "\"", "NAME \"" + c.name + "X\"");
    const ProgramResult r = Run();
    ASSERT_TRUE(r.exited) << c.name;
    EXPECT_EQ(r.status, 2) << c.name;
    EXPECT_NE(r.stderrText.find("no FILE entry named \"" + c.name + "\""), std::string::npos) << r.stderrText;
    const auto last = std::find(intact.begin(), intact.end(), c.lastLine);
    ASSERT_NE(last, intact.end()) << c.lastLine;
    // Then the line that ended it, as on standard error.
    std::vector<std::string> expected(intact.begin(), last + 1);
    expected.push_back("(exit) status 2: data/default.qelProperty: no FILE entry named \"" + c.name + "\"");
    EXPECT_EQ(LogLinesAfterBanner(dir.File("debug.log")), expected) << "missing " << c.name;
    EditPropertyFile("NAME \"" + c.name + "X\"", "NAME \"" + c.name + "\"");
  }
}

TEST_F(Production, BrokenPropertyFilesEndWith251And252) {
  EditPropertyFile("VERSION 1", "VERSION 2");
  ProgramResult r = Run();
  ASSERT_TRUE(r.exited) << r.stderrText;
  EXPECT_EQ(r.status, 251) << r.stderrText;

  EditPropertyFile("VERSION 2", "VERSION 1\nFILE {");
  r = Run();
  ASSERT_TRUE(r.exited) << r.stderrText;
  EXPECT_EQ(r.status, 252) << r.stderrText;
}

TEST_F(Production, TooOldOpenGLShowsTheMessageAndEndsWithStatus1) {
  const ProgramResult r =
      RunAnswering({{"OpenGL 2.1 not supported", "Return"}}, {{"MESA_GL_VERSION_OVERRIDE", "2.0"}});
  EXPECT_EQ(boxesAnswered, 1u);
  ASSERT_TRUE(r.exited) << r.stderrText;
  EXPECT_EQ(r.status, 1) << r.stderrText;
  // The box belongs to the full-screen window, and so stays above it.
  ASSERT_EQ(boxOwners.size(), 1u);
  EXPECT_EQ(boxOwners[0], "Tessaly 2011") << "the box is transient for the program's window";
  EXPECT_NE(r.stderrText.find("OpenGL 2.1 not supported: OpenGL 2.1 not supported.. lol\n"), std::string::npos)
      << r.stderrText;
  EXPECT_EQ(ReadText(dir.File("debug.log")).find("Font OK!"), std::string::npos) << "nothing else loaded";
}

TEST_F(Production, NoFramebufferObjectsShowsTheMessageAndEndsWithStatus99) {
  const ProgramResult r =
      RunAnswering({{"Error", "Return"}}, {{"MESA_EXTENSION_OVERRIDE", "-GL_EXT_framebuffer_object"}});
  EXPECT_EQ(boxesAnswered, 1u);
  ASSERT_TRUE(r.exited) << r.stderrText;
  EXPECT_EQ(r.status, 99) << r.stderrText;
}

// A screen without the 1280x720 mode: the viewer is asked whether to go on in a
// window, and the answer decides.
TEST_F(Production, AFullScreenModeTheScreenLacksAsksForAWindowAndTakesTheAnswer) {
  ASSERT_TRUE(xvfb.Start(1024, 768));
  const std::string question = "Kiro GL";

  // No (Escape): the closing message, then the end, with no window.
  ProgramResult r = RunAnswering({{question, "Escape"}, {"ERROR", "Return"}});
  EXPECT_EQ(boxesAnswered, 2u);
  ASSERT_TRUE(r.exited) << r.stderrText;
  EXPECT_EQ(r.status, 0) << r.stderrText;
  EXPECT_NE(r.stderrText.find("ERROR: Program Will Now Close.\n"), std::string::npos) << r.stderrText;
  EXPECT_EQ(ReadText(dir.File("debug.log")).find("window open"), std::string::npos);

  // Yes (Return): the show opens windowed.
  Program p;
  ASSERT_TRUE(p.Start({.program = ProgramPath("tessaly"), .workDir = dir.path()}));
  std::string id;
  for (int i = 0; i < kStartMs / 100 && id.empty() && p.Running(); ++i) {
    id = FindBox(question);
    if (id.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_FALSE(id.empty()) << p.Stderr();
  ASSERT_TRUE(AnswerBox(id, "Return"));
  EXPECT_TRUE(WaitForFileText(dir.File("debug.log"), "window open: 1280x720, windowed", kStartMs))
      << ReadText(dir.File("debug.log")) << p.Stderr();
  p.Signal(SIGTERM);
  r = p.Wait(kStartMs);
  ASSERT_TRUE(r.exited) << r.stderrText;
  EXPECT_EQ(r.status, 0) << r.stderrText;
  EXPECT_NE(r.stderrText.find("Kiro GL: The Requested Fullscreen Mode Is Not Supported By Your Video Card. Use "
                              "Windowed Mode Instead?\n"),
            std::string::npos)
      << r.stderrText;
}
