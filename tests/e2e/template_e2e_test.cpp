// The template show, First Show, captured from a copy of its stage by its own
// capture program: every frame shows the scene its running order puts there
// (the lit logo with the title rising in under it, then the sparks), and one
// scene played alone is, frame for frame, the show at that time; a file its
// property file names that cannot be loaded ends it, saying which; its stage
// follows its assets folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "resources/texture_images.h"
#include "shell/file_paths.h"
#include "tests/support/process.h"
#include "tests/support/x_windows.h"
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

  // Standard error's text.
  std::string Capture(std::vector<std::string> args) {
    const ProgramResult r = RunProgram({.program = dir.File("firstshow-capture"), .args = std::move(args),
                                        .workDir = dir.path()},
                                       240000);
    EXPECT_TRUE(r.exited) << "signal " << r.signal << (r.timedOut ? " (timed out)\n" : "\n") << r.stderrText;
    EXPECT_EQ(r.status, 0) << r.stderrText;
    return r.stderrText;
  }

  PrivateXvfb xvfb;
  WorkDir dir = WorkDir::CopyOf(VANTOR_TEMPLATE_STAGE_DIR);
};

TEST_F(TemplateEndToEnd, EachSceneIsOnScreenInItsWindow) {
  // Two frames a second: frame k shows 0.5 k s of the show.
  const std::string said = Capture({"--fps", "2", "--size", "320x180", "--frames", "show"});
  ASSERT_FALSE(HasFailure());
  EXPECT_EQ(said.find("the rest is silent"), std::string::npos) << "the template's tune is as long as its show";
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

// The title stands centred under the logo: its letters' ink runs as far to
// the left of the picture's middle as to the right (within the letters' side
// bearings, a few pixels).
TEST_F(TemplateEndToEnd, TitleIsCentred) {
  Capture({"--fps", "2", "--size", "320x180", "--from", "0:03.0", "--to", "0:03.5", "--frames", "title"});
  const Frame f = Load(FrameFile(dir.File("title"), 6));  // 3 s: the title has risen into place
  ASSERT_EQ(f.width, kWidth);
  int left = kWidth, right = -1;
  for (int y = 2 * kHeight / 3; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const uint8_t* p = &f.px[(static_cast<size_t>(y) * f.width + x) * f.channels];
      if (p[0] > 150 && p[1] > 60 && p[1] < 200 && p[2] < 110) left = std::min(left, x), right = std::max(right, x);
    }
  ASSERT_GE(right, 0) << "no title";
  EXPECT_GT(right - left, 60) << "the title's letters are missing";
  EXPECT_NEAR(left + right, kWidth, 8) << "ink from column " << left << " to " << right;
}

TEST_F(TemplateEndToEnd, AnAssetThatCannotBeLoadedEndsTheShowNamingItsFile) {
  // A picture and a model, each missing in turn: neither may play as a white
  // quad or as nothing while the show goes on.
  for (const std::string file : {"data/Textures/plates.jpg", "data/Models/logo.3ds"}) {
    SCOPED_TRACE(file);
    const std::string kept = dir.File("kept");
    std::filesystem::rename(dir.File(file), kept);
    const ProgramResult r = RunProgram({.program = dir.File("firstshow-capture"),
                                        .args = {"--fps", "2", "--size", "64x36", "--to", "0:01.0", "--frames", "f"},
                                        .workDir = dir.path()},
                                       120000);
    std::filesystem::rename(kept, dir.File(file));
    ASSERT_TRUE(r.exited) << "signal " << r.signal << "\n" << r.stderrText;
    EXPECT_EQ(r.status, 2) << r.stderrText;
    EXPECT_NE(r.stderrText.find(file + ": cannot be read"), std::string::npos) << r.stderrText;
    // The line that ended it is in the log too, where a player without a terminal looks.
    const std::string log = ReadText(dir.File("debug.log"));
    EXPECT_NE(log.find("(exit) status 2: " + file + ": cannot be read"), std::string::npos) << log;
  }
}

TEST_F(TemplateEndToEnd, ATuneShorterThanTheShowIsSaidOnce) {
  ASSERT_EQ(RunProgram({.program = VANTOR_BINARY_DIR "/tools/content/vantorgl-content",
                        .args = {"tune", "--seconds", "1", "--bpm", "120", "--cues", "0", "--out",
                                 dir.File("data/Music/music.mp3")}},
                       60000)
                .status,
            0);
  const std::string said = Capture({"--fps", "2", "--size", "64x36", "--to", "0:01.0", "--frames", "f"});
  const std::string line = "data/Music/music.mp3 ends at 1.000 s, before the show does at 12.000 s";
  const size_t at = said.find(line);
  EXPECT_NE(at, std::string::npos) << said;
  EXPECT_EQ(said.find(line, at + 1), std::string::npos) << "said more than once:\n" << said;
  EXPECT_NE(ReadText(dir.File("debug.log")).find(line), std::string::npos) << ReadText(dir.File("debug.log"));
}

TEST(TemplateStage, AnAssetRemovedFromItsFolderLeavesTheStage) {
  // The build's stage step (cmake/VantorGLCopyData.cmake) run twice, as two
  // builds run it, with a picture removed from assets/ in between.
  WorkDir work = WorkDir::Empty();
  std::filesystem::create_directories(work.File("assets/data/Textures"));
  std::filesystem::create_directories(work.File("stage"));
  std::ofstream(work.File("assets/data/show.qelProperty")) << "QELPROPERTY\n";
  std::ofstream(work.File("assets/data/Textures/banner.png")) << "picture";
  std::ofstream(work.File("stage/debug.log")) << "a run by hand";
  auto stageStep = [&work] {
    return RunProgram({.program = "/usr/bin/cmake",
                       .args = {"-DFROM=" + work.File("assets"), "-DTO=" + work.File("stage"), "-P",
                                VANTOR_SOURCE_DIR "/cmake/VantorGLCopyData.cmake"}},
                      60000);
  };
  ASSERT_EQ(stageStep().status, 0);
  ASSERT_TRUE(std::filesystem::exists(work.File("stage/data/Textures/banner.png")));
  std::filesystem::remove(work.File("assets/data/Textures/banner.png"));
  const ProgramResult again = stageStep();
  ASSERT_EQ(again.status, 0) << again.stderrText;
  EXPECT_FALSE(std::filesystem::exists(work.File("stage/data/Textures/banner.png"))) << "the removed asset stayed";
  // The rest stays: the assets still there, and what the folder did not put there.
  EXPECT_TRUE(std::filesystem::exists(work.File("stage/data/show.qelProperty")));
  EXPECT_EQ(ReadText(work.File("stage/debug.log")), "a run by hand");
}

// The preview follows the effects' shader files in the show's data. Saved
// with a mistake, the logo's normal-mapping stage leaves the picture as it was
// and the driver's message, by file and line, is on stderr and over the
// picture; mended (a flat magenta), the logo turns magenta and the message goes.
TEST_F(TemplateEndToEnd, ABrokenShaderKeepsThePictureAndShowsItsMistakeUntilMended) {
  Program preview;
  ASSERT_TRUE(preview.Start({.program = dir.File("firstshow-preview"),
                             .args = {"--size", "320x180", "--scene", "logo", "--from", "0:03.0", "--paused"},
                             .workDir = dir.path(),
                             .env = {{"SDL_AUDIODRIVER", "dummy"}}}));
  auto waitFor = [&](const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (preview.Stderr().find(text) == std::string::npos && preview.Running() &&
           std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return preview.Stderr().find(text) != std::string::npos;
  };
  ASSERT_TRUE(waitFor("seek to ")) << preview.Stderr();
  const std::string window = WaitForWindow("^firstshow-preview$", 60000);
  ASSERT_FALSE(window.empty());
  auto grab = [&] {
    Frame f;
    VantorGL::TextureImage picture = GrabWindow(window);
    f.width = picture.width, f.height = picture.height, f.channels = picture.channels;
    f.px = std::move(picture.pixels);
    return f;
  };
  // The picture once the window has shown the same one four grabs running
  // (a held preview draws it again and again).
  auto settled = [&] {
    Frame shown = grab();
    for (int same = 0, tries = 0; same < 4 && tries < 400; ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(125));
      Frame again = grab();
      same = again.px == shown.px ? same + 1 : 0;
      shown = std::move(again);
    }
    return shown;
  };
  auto count = [](const Frame& f, int y0, int y1, auto is) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = 0; x < f.width; ++x) n += is(&f.px[(static_cast<size_t>(y) * f.width + x) * f.channels]);
    return n;
  };
  auto yellow = [](const uint8_t* p) { return p[0] > 200 && p[1] > 200 && p[2] < 120; };
  auto magenta = [](const uint8_t* p) { return p[0] > 200 && p[1] < 60 && p[2] > 200; };
  auto lowerHalf = [](const Frame& f) {
    const size_t row = static_cast<size_t>(f.width) * f.channels;
    return std::vector<uint8_t>(f.px.begin() + static_cast<long>(row * (f.height / 2)), f.px.end());
  };

  const Frame before = settled();
  ASSERT_EQ(before.width, kWidth);
  ASSERT_GT(LookAt(before).steel, 0.02) << "no logo to light";
  ASSERT_EQ(count(before, 0, kHeight / 4, yellow), 0) << "yellow in the picture: the message could not be told apart";
  ASSERT_LT(count(before, 0, kHeight, magenta), 20);

  const std::string file = dir.File("Data/Shaders/normal_mapping.frag");
  ASSERT_TRUE(std::ifstream(file).good()) << "the stage holds no normal-mapping stage";
  std::ofstream(file, std::ios::binary | std::ios::trunc) << "#version 110\nvoid main()\n{\n"
                                                             "    gl_FragColor = nope;\n}\n";
  ASSERT_TRUE(waitFor("cNormalMapping keeps the program built before")) << preview.Stderr();
  ASSERT_TRUE(waitFor("Data/Shaders/normal_mapping.frag:4:")) << preview.Stderr();
  EXPECT_NE(preview.Stderr().find("nope"), std::string::npos) << preview.Stderr();  // the driver's own words
  Frame broken = settled();
  for (int tries = 0; count(broken, 0, kHeight / 4, yellow) == 0 && tries < 20; ++tries) broken = settled();
  EXPECT_GT(count(broken, 0, kHeight / 4, yellow), 20) << "no message over the picture";
  EXPECT_TRUE(lowerHalf(broken) == lowerHalf(before)) << "the logo changed although its new stage does not build";

  std::ofstream(file, std::ios::binary | std::ios::trunc) << "#version 110\nvoid main()\n{\n"
                                                             "    gl_FragColor = vec4(1.0, 0.0, 1.0, 1.0);\n}\n";
  ASSERT_TRUE(waitFor("rebuilt cNormalMapping from ")) << preview.Stderr();
  Frame mended = settled();
  for (int tries = 0; count(mended, 0, kHeight, magenta) < 500 && tries < 20; ++tries) mended = settled();
  EXPECT_GT(count(mended, 0, kHeight, magenta), 500) << "the mended stage never showed";
  EXPECT_EQ(count(mended, 0, kHeight / 4, yellow), 0) << "the message stayed after the stage was mended";

  ASSERT_TRUE(FocusAndSendKeys(window, "Escape"));
  const ProgramResult r = preview.Wait(60000);
  EXPECT_TRUE(r.exited && r.status == 0) << r.stderrText;
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
