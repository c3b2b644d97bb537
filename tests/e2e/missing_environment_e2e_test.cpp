// The real program started without something it needs: a display, its data, a
// sound device. The viewer gets one line that names the cause; the exit status
// and debug.log stay what they always were.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "tests/support/process.h"
#include "tests/support/xvfb.h"

using namespace vantor_test;

namespace {

constexpr int kTimeoutMs = 120000;

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

ProgramResult RunIn(const WorkDir& dir, std::vector<std::pair<std::string, std::string>> env) {
  return RunProgram({.program = ProgramPath("tessaly"), .workDir = dir.path(), .env = std::move(env)}, kTimeoutMs);
}

// The production copied alone into `dir`, which holds no data: none in the
// working directory, none beside the program.
ProgramResult RunAlone(const WorkDir& dir, std::vector<std::pair<std::string, std::string>> env) {
  const std::string program = dir.File("tessaly");
  std::filesystem::copy_file(ProgramPath("tessaly"), program);
  return RunProgram({.program = program, .workDir = dir.path(), .env = std::move(env)}, kTimeoutMs);
}

// A display number no server listens on.
std::string UnusedDisplay() {
  for (int n = 917;; ++n) {
    std::string display = ":";
    display += std::to_string(n);
    if (!std::filesystem::exists("/tmp/.X11-unix/X" + display.substr(1))) return display;
  }
}

}  // namespace

TEST(MissingEnvironment, NoDisplayIsNamedThenTheWindowFailureEndsTheProgram) {
  WorkDir dir = WorkDir::CopyOfStage();
  const std::string failure = "ERROR: Failed To Register The Window Class.\n";
  const std::string unused = UnusedDisplay();
  struct Case {
    std::vector<std::pair<std::string, std::string>> env;
    std::string line;
  };
  // An empty SDL_VIDEODRIVER counts as none chosen; a chosen one is used as it is.
  for (const Case& c : {Case{{{"DISPLAY", ""}, {"SDL_VIDEODRIVER", ""}},
                             "cannot open a display: DISPLAY is not set (the show needs an X server, or XWayland)\n"},
                        Case{{{"DISPLAY", unused}, {"SDL_VIDEODRIVER", ""}}, "cannot open display \"" + unused + "\"\n"},
                        Case{{{"DISPLAY", unused}, {"SDL_VIDEODRIVER", "nonesuch"}},
                             "cannot open a display through SDL_VIDEODRIVER=nonesuch: "}}) {
    const ProgramResult r = RunIn(dir, c.env);
    ASSERT_TRUE(r.exited) << r.stderrText;
    EXPECT_EQ(r.status, 0) << r.stderrText;
    const size_t cause = r.stderrText.find(c.line);
    EXPECT_NE(cause, std::string::npos) << r.stderrText;
    EXPECT_GT(r.stderrText.find(failure), cause) << r.stderrText;
    EXPECT_EQ(ReadText(dir.File("debug.log")).find("window open"), std::string::npos);
  }
}

TEST(MissingEnvironment, StartedWithoutItsDataTheLineSaysWhereDataIsRead) {
  PrivateXvfb xvfb;
  ASSERT_TRUE(xvfb.Start(1280, 720));
  WorkDir dir = WorkDir::Empty();
  const ProgramResult r = RunAlone(dir, {});
  ASSERT_TRUE(r.exited) << r.stderrText;
  EXPECT_EQ(r.status, 2) << r.stderrText;
  // The program looks for the data in its own folder, then for installed data beside that folder.
  const std::string installed =
      std::filesystem::canonical(dir.path()).parent_path().string() + "/share/games/tessaly";
  EXPECT_NE(r.stderrText.find("data/default.qelProperty not found in the working directory " +
                              std::filesystem::canonical(dir.path()).string() +
                              ": the program reads its data from the directory it is started in, or else from " +
                              installed + ", installed with it, which holds none either"),
            std::string::npos)
      << r.stderrText;
  EXPECT_EQ(r.stderrText.find("no FILE entry"), std::string::npos) << r.stderrText;
  EXPECT_NE(ReadText(dir.File("debug.log")).find("(cPropertySystem) cannot open data/default.qelProperty"),
            std::string::npos);
}

TEST(MissingEnvironment, WithoutASoundDeviceTheShowPlaysSilentlyWithOneLogLine) {
  PrivateXvfb xvfb;
  ASSERT_TRUE(xvfb.Start(1280, 720));
  WorkDir dir = WorkDir::CopyOfStage();
  Program p;
  ASSERT_TRUE(p.Start({.program = ProgramPath("tessaly"), .workDir = dir.path(),
                       .env = {{"SDL_AUDIODRIVER", "nonesuch"}}}));
  ASSERT_TRUE(WaitForFileText(dir.File("debug.log"), "frame loop started", kTimeoutMs)) << p.Stderr();
  p.Signal(SIGTERM);
  ProgramResult r = p.Wait(kTimeoutMs);
  ASSERT_TRUE(r.exited) << r.stderrText;
  EXPECT_EQ(r.status, 0) << r.stderrText;
  EXPECT_EQ(Count(ReadText(dir.File("debug.log")), "(audio) no audio device: playing silently\n"), 1u);

  // ALSA on a machine without a card complains at length on its way to failing;
  // none of it reaches the terminal (with a card there is nothing to say).
  WorkDir empty = WorkDir::Empty();
  r = RunAlone(empty, {{"SDL_AUDIODRIVER", "alsa"}});
  ASSERT_TRUE(r.exited) << r.stderrText;
  EXPECT_EQ(r.status, 2) << r.stderrText;
  EXPECT_EQ(r.stderrText.find("ALSA lib"), std::string::npos) << r.stderrText;
}

// The capture on a driver older than OpenGL 2.1, under an X server like the
// xvfb-run its own messages recommend: the production's box would wait on a
// display nobody sees. Its line and its status end the capture at once, and
// the video begun (its encoder, its temporary file) is not left behind.
TEST(MissingEnvironment, CaptureOnTooOldAnOpenGlEndsWithTheLineAndStatusWithoutABox) {
  PrivateXvfb xvfb;
  ASSERT_TRUE(xvfb.Start(1280, 720));
  WorkDir dir = WorkDir::CopyOfStage();
  const ProgramResult r =
      RunProgram({.program = ProgramPath("tessaly-capture"),
                  .args = {"--fps", "5", "--size", "320x180", "--out", "out/show.mp4"},
                  .workDir = dir.path(),
                  .env = {{"MESA_GL_VERSION_OVERRIDE", "2.0"}, {"SDL_AUDIODRIVER", "dummy"}}},
                 kTimeoutMs / 2);
  ASSERT_FALSE(r.timedOut) << "still running: waiting on a box?\n" << r.stderrText;
  ASSERT_TRUE(r.exited) << "signal " << r.signal << "\n" << r.stderrText;
  EXPECT_EQ(r.status, 1) << r.stderrText;
  EXPECT_NE(r.stderrText.find("OpenGL 2.1 not supported: OpenGL 2.1 not supported.. lol\n"), std::string::npos)
      << r.stderrText;
  EXPECT_NE(r.stderrText.find("OpenGL 2.1 not supported: the driver offers OpenGL 2.0\n"), std::string::npos)
      << r.stderrText;
  EXPECT_TRUE(std::filesystem::is_empty(dir.File("out")));
  EXPECT_TRUE(ProcessesWorkingIn(dir.path()).empty()) << "the encoder still runs";
}
