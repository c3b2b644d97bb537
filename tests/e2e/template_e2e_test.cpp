// The template show, First Show, captured from a copy of its stage by its own
// capture program: every frame shows the scene its running order puts there
// (the lit logo with the title rising in under it, then the sparks), and one
// scene played alone is, frame for frame, the show at that time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "resources/texture_images.h"
#include "shell/file_paths.h"
#include "tests/support/process.h"
#include "tests/support/xvfb.h"

using namespace vantor_test;

namespace {

constexpr int kWidth = 320, kHeight = 180;

struct Frame {
  int width = 0, height = 0, channels = 0;
  std::vector<uint8_t> px;
};

Frame Load(const std::string& path) {
  Frame f;
  if (const auto bytes = VantorGL::ReadFileBytes(path))
    if (auto d = VantorGL::DecodePictureFile(bytes->data(), bytes->size())) {
      f.width = d->width;
      f.height = d->height;
      f.channels = d->channels;
      f.px = std::move(d->pixels);
    }
  return f;
}

// What a frame shows, counted over its pixels.
struct Look {
  double steel = 0;  // share of lit grey pixels: the logo's plates
  int title = 0;     // orange pixels in the lowest third: the title's letters
  int warmCells = 0; // of a 4 x 4 grid, the cells holding warm spark pixels above the lowest third
};

Look LookAt(const Frame& f) {
  Look look;
  bool warm[4][4] = {};
  int steel = 0;
  for (int y = 0; y < f.height; ++y)
    for (int x = 0; x < f.width; ++x) {
      const uint8_t* p = &f.px[(static_cast<size_t>(y) * f.width + x) * f.channels];
      const int r = p[0], g = p[1], b = p[2];
      const int hi = std::max({r, g, b}), lo = std::min({r, g, b}), mean = (r + g + b) / 3;
      const bool lowThird = y >= 2 * f.height / 3;
      if (hi - lo < 30 && mean >= 60 && mean <= 235) ++steel;
      if (lowThird && r > 150 && g > 60 && g < 200 && b < 110) ++look.title;
      if (!lowThird && r > 100 && r > b + 50) warm[y * 4 / f.height][x * 4 / f.width] = true;
    }
  look.steel = static_cast<double>(steel) / (f.width * f.height);
  for (auto& row : warm)
    for (bool cell : row) look.warmCells += cell;
  return look;
}

std::string FrameFile(const std::string& dir, int k) {
  char name[40];
  std::snprintf(name, sizeof name, "/frame_%06d.png", k);
  return dir + name;
}

class TemplateEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(xvfb.Start(1280, 720)) << "no Xvfb"; }

  void Capture(std::vector<std::string> args) {
    const ProgramResult r = RunProgram({.program = dir.File("firstshow-capture"), .args = std::move(args),
                                        .workDir = dir.path()},
                                       240000);
    ASSERT_TRUE(r.exited) << "signal " << r.signal << (r.timedOut ? " (timed out)\n" : "\n") << r.stderrText;
    ASSERT_EQ(r.status, 0) << r.stderrText;
  }

  PrivateXvfb xvfb;
  WorkDir dir = WorkDir::CopyOf(VANTOR_TEMPLATE_STAGE_DIR);
};

TEST_F(TemplateEndToEnd, EachSceneIsOnScreenInItsWindow) {
  // Two frames a second: frame k shows 0.5 k s of the show.
  Capture({"--fps", "2", "--size", "320x180", "--frames", "show"});
  // The running order, written out: the logo from 0:00 (its title in place from
  // 2.5 s), the sparks from 6 s, bursting again at 9 s; the show ends at 12 s.
  for (int k = 0; k < 24; ++k) {
    SCOPED_TRACE("frame " + std::to_string(k) + " at " + std::to_string(k * 500) + " ms");
    const Frame f = Load(FrameFile(dir.File("show"), k));
    ASSERT_EQ(f.width, kWidth);
    ASSERT_EQ(f.height, kHeight);
    const Look look = LookAt(f);
    if (k < 12) {
      EXPECT_GT(look.steel, 0.02) << "no logo";
      EXPECT_LE(look.warmCells, 1) << "sparks over the logo";
      if (k >= 5) {
        EXPECT_GT(look.title, 100) << "no title";
      }
      if (k <= 3) {
        EXPECT_LT(look.title, 10) << "the title before its time";
      }
    } else if (k != 12 && k != 13 && k != 18 && k != 19) {
      // Half a second after each burst the sparks have left its middle and cooled.
      EXPECT_LT(look.steel, 0.005) << "the logo after its window";
      EXPECT_GE(look.warmCells, 6) << "no sparks spread over the screen";
    }
  }
  EXPECT_FALSE(std::ifstream(FrameFile(dir.File("show"), 24)).good()) << "frames past the show's end";

  // The burst scene alone, at 1.5 s of its window: the show's frame at 7.5 s.
  Capture({"--scene", "burst", "--fps", "2", "--size", "320x180", "--from", "0:07.5", "--to", "0:08.0", "--frames",
           "burst"});
  const std::string alone = ReadText(FrameFile(dir.File("burst"), 3));
  EXPECT_FALSE(alone.empty());
  EXPECT_TRUE(alone == ReadText(FrameFile(dir.File("show"), 15))) << "the scene alone differs from the show";
}

}  // namespace

// A show made from the template keeps its data under its own name: started in
// the folder of another show made from it, whose property file is that show's,
// the capture refuses it with its line and status 2 instead of playing the
// other show's data.
TEST(TemplateData, AShowStartedInAnotherShowsFolderRefusesItsData) {
  WorkDir other = WorkDir::CopyOf(VANTOR_TEMPLATE_STAGE_DIR);
  ASSERT_TRUE(std::filesystem::exists(other.File("data/firstshow.qelProperty")));
  ASSERT_FALSE(std::filesystem::exists(other.File("data/show.qelProperty")));
  std::filesystem::rename(other.File("data/firstshow.qelProperty"), other.File("data/othershow.qelProperty"));
  const ProgramResult r = RunProgram({.program = other.File("firstshow-capture"),
                                      .args = {"--size", "320x180", "--to", "0:00.5", "--sheet", "sheet.png"},
                                      .workDir = other.path()},
                                     240000);
  ASSERT_TRUE(r.exited) << r.stderrText;
  EXPECT_EQ(r.status, 2) << r.stderrText;
  EXPECT_NE(r.stderrText.find("data/firstshow.qelProperty not found in the working directory"), std::string::npos)
      << r.stderrText;
  EXPECT_FALSE(std::filesystem::exists(other.File("sheet.png")));
}
