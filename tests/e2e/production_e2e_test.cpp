// The whole production, run as a viewer runs it: the real tessaly in a temporary
// copy of the stage under a private 1280x720 X server. A full show, its log, the
// slides on screen at chosen moments, and every fixed exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cmath>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "resources/texture_images.h"
#include "slide_schedule.h"
#include "shell/file_paths.h"
#include "tests/support/log_lines.h"
#include "tests/support/message_boxes.h"
#include "tests/support/process.h"
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

int LastStamp(const std::string& log, const std::string& text) {
  int stamp = -1;
  std::istringstream lines(log);
  std::string line;
  while (std::getline(lines, line))
    if (line.find(text) != std::string::npos) stamp = std::atoi(line.c_str() + 1);
  return stamp;
}

}  // namespace

TEST_F(Production, PlaysTheWholeShowInStepWithTheScheduleAndEnds) {
  Program p;
  ASSERT_TRUE(p.Start({.program = ProgramPath("tessaly"), .workDir = dir.path()}));
  ASSERT_TRUE(WaitForFileText(dir.File("debug.log"), "frame loop started", kStartMs))
      << ReadText(dir.File("debug.log")) << p.Stderr();
  const auto showStart = Clock::now();

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
  std::vector<Moment> moments = {{14000, 20, {}, 0}, {36300, 49, {}, 0}};
  for (Moment& m : moments) {
    ASSERT_EQ(VantorGL::SlideForTime(m.ms, -1), m.slide);
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
  const int end = LastStamp(log, "frame loop ended");
  EXPECT_GE(end, 47000) << log;
  EXPECT_LE(end, 47000 + 1500) << "at most a few frames after the end\n" << log;

  for (const Moment& m : moments) {
    ASSERT_EQ(m.screen.width, 1280) << "no picture of the screen at " << m.ms << " ms";
    ASSERT_EQ(m.screen.height, 720);
    EXPECT_EQ(VantorGL::SlideForTime(static_cast<int>(m.grabbedMs), -1), m.slide)
        << "the grab meant for " << m.ms << " ms came at " << m.grabbedMs << " ms";
    // The scheduled slide, upright, matches clearly better than its neighbours,
    // the first and the last (a mirrored slide would match none of them).
    const double right = SlideDistance(dir.path(), m.screen, m.slide);
    for (int other : {m.slide - 1, m.slide + 1, 0, 55})
      EXPECT_LT(right, 0.75 * SlideDistance(dir.path(), m.screen, other))
          << "at " << m.ms << " ms slide " << m.slide << " is up, not " << other << "; the screen: "
          << KeepScreenshot(m.screen, "show-at-" + std::to_string(m.ms));
  }
}

// Pictures are read ahead on other threads, but a missing name still ends the
// program where the loading order meets it, after exactly the lines an intact run
// writes up to there: early in the list (before the models) and late (a slide).
TEST_F(Production, AMissingNameEndsWithStatus2AfterExactlyTheLinesBeforeIt) {
  std::vector<std::string> intact;
  {
    Program p;
    ASSERT_TRUE(p.Start({.program = ProgramPath("tessaly"), .workDir = dir.path()}));
    ASSERT_TRUE(WaitForFileText(dir.File("debug.log"), "frame loop started", kStartMs)) << p.Stderr();
    intact = LogLinesAfterBanner(dir.File("debug.log"));
  }
  ASSERT_FALSE(intact.empty());
  ASSERT_EQ(intact.back(), "(cWindowsSystem) frame loop started");

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
    EXPECT_EQ(LogLinesAfterBanner(dir.File("debug.log")), std::vector<std::string>(intact.begin(), last + 1))
        << "missing " << c.name;
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
