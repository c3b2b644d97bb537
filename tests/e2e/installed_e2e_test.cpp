// The programs laid out as Debian's package and cmake --install put them (the
// programs in PREFIX/games, the data in PREFIX/share/games/tessaly) and started
// from a directory without data: they read the data installed with them, log
// under the user's state folder, and write the files named on the command line
// where they were started. Started where data is, they keep to it as always.
// tools/test.sh checks the packages themselves.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "tests/support/process.h"
#include "tests/support/xvfb.h"

using namespace vantor_test;
namespace fs = std::filesystem;

namespace {

constexpr int kTimeoutMs = 180000;
const char* const kPrograms[] = {"tessaly", "tessaly-capture", "tessaly-preview"};

// A copy of the stage in the games layout under a temporary prefix.
struct GamesLayout {
  WorkDir prefix = WorkDir::Empty();

  GamesLayout() {
    const fs::path data = Data();
    fs::create_directories(data.parent_path());
    fs::create_directories(prefix.File("games"));
    fs::copy(VANTOR_STAGE_DIR, data, fs::copy_options::recursive);
    fs::remove(data / "debug.log");
    for (const char* program : kPrograms) fs::rename(data / program, Program(program));
  }
  std::string Program(const std::string& name) const { return prefix.File("games/" + name); }
  std::string Data() const { return fs::canonical(prefix.path()).string() + "/share/games/tessaly"; }
  std::string LogLine(const WorkDir& startedIn) const {
    return "(data) reading the data installed in " + Data() + " (none in the working directory " +
           fs::canonical(startedIn.path()).string() + ")\n";
  }
};

// Until the log holds `text`; false as soon as the program ends without it.
bool WaitForLogLine(Program& p, const std::string& log, const std::string& text) {
  for (int waited = 0; waited < kTimeoutMs; waited += 250)
    if (WaitForFileText(log, text, 250)) return true;
    else if (!p.Running()) return WaitForFileText(log, text, 0);
  return false;
}

}  // namespace

TEST(Installed, PlayerAndPreviewFromADirectoryWithoutDataReadTheInstalledDataAndLogUnderXdgState) {
  PrivateXvfb xvfb;
  ASSERT_TRUE(xvfb.Start(1280, 720));
  const GamesLayout installed;
  const WorkDir here = WorkDir::Empty();
  const WorkDir state = WorkDir::Empty();
  const std::string log = state.File("tessaly/debug.log");
  for (const char* program : {"tessaly", "tessaly-preview"}) {
    SCOPED_TRACE(program);
    fs::remove(log);
    Program p;
    ASSERT_TRUE(p.Start({.program = installed.Program(program), .workDir = here.path(),
                         .env = {{"XDG_STATE_HOME", state.path()}, {"SDL_AUDIODRIVER", "dummy"}}}));
    ASSERT_TRUE(WaitForLogLine(p, log, "frame loop started")) << p.Stderr() << ReadText(log);
    p.Signal(SIGTERM);
    const ProgramResult r = p.Wait(kTimeoutMs);
    EXPECT_TRUE(r.exited) << r.stderrText;
    EXPECT_NE(ReadText(log).find(installed.LogLine(here)), std::string::npos) << ReadText(log);
    EXPECT_FALSE(fs::exists(here.File("debug.log")));
    EXPECT_FALSE(fs::exists(installed.Data() + "/debug.log"));
  }
}

TEST(Installed, CaptureWritesWhereItWasStartedAndMakesTheStagesPictures) {
  const GamesLayout installed;
  const WorkDir here = WorkDir::Empty();
  const WorkDir home = WorkDir::Empty();
  const std::vector<std::string> args = {"--sheet", "out/sheet.png", "--frames", "frames", "--fps", "10",
                                         "--size", "320x180", "--to", "0:01.0"};
  // No XDG_STATE_HOME: the log goes to ~/.local/state.
  ProgramResult r = RunProgram({.program = installed.Program("tessaly-capture"), .args = args,
                                .workDir = here.path(), .env = {{"HOME", home.path()}, {"XDG_STATE_HOME", ""}}},
                               kTimeoutMs);
  ASSERT_TRUE(r.exited && r.status == 0) << r.stderrText;
  EXPECT_TRUE(fs::exists(here.File("out/sheet.png")));
  EXPECT_TRUE(fs::exists(here.File("frames/frame_000009.png")));
  EXPECT_FALSE(fs::exists(installed.Data() + "/out"));
  EXPECT_FALSE(fs::exists(installed.Data() + "/frames"));
  EXPECT_NE(ReadText(home.File(".local/state/tessaly/debug.log")).find(installed.LogLine(here)), std::string::npos)
      << ReadText(home.File(".local/state/tessaly/debug.log"));
  EXPECT_FALSE(fs::exists(here.File("debug.log")));

  // Started in a copy of the stage, the installed program reads that data and
  // logs beside it, as the programs always have; the pictures are the same.
  const WorkDir stage = WorkDir::CopyOfStage();
  r = RunProgram({.program = installed.Program("tessaly-capture"), .args = args, .workDir = stage.path(),
                  .env = {{"HOME", home.path()}, {"XDG_STATE_HOME", ""}}},
                 kTimeoutMs);
  ASSERT_TRUE(r.exited && r.status == 0) << r.stderrText;
  const std::string stageLog = ReadText(stage.File("debug.log"));
  EXPECT_NE(stageLog.find("(capture) show 0:00.0 to 0:01.0"), std::string::npos) << stageLog;
  EXPECT_EQ(stageLog.find("(data)"), std::string::npos) << stageLog;
  EXPECT_EQ(ReadText(stage.File("out/sheet.png")), ReadText(here.File("out/sheet.png")));
}

// A program of the stage started from elsewhere through a symlink (~/bin, say):
// it reads the data beside its real self, writes where it was started and logs
// under the user's state folder, naming the data it reads.
TEST(Installed, TheStagesCaptureThroughASymlinkElsewhereReadsTheDataBesideIt) {
  const WorkDir stage = WorkDir::CopyOfStage();
  const WorkDir bin = WorkDir::Empty();
  const WorkDir here = WorkDir::Empty();
  const WorkDir state = WorkDir::Empty();
  fs::create_symlink(stage.File("tessaly-capture"), bin.File("tessaly-capture"));
  const ProgramResult r = RunProgram({.program = bin.File("tessaly-capture"),
                                      .args = {"--sheet", "sheet.png", "--fps", "10", "--size", "320x180", "--to",
                                               "0:00.5"},
                                      .workDir = here.path(),
                                      .env = {{"XDG_STATE_HOME", state.path()}}},
                                     kTimeoutMs);
  ASSERT_TRUE(r.exited && r.status == 0) << r.stderrText;
  EXPECT_TRUE(fs::exists(here.File("sheet.png")));
  const std::string log = ReadText(state.File("tessaly/debug.log"));
  EXPECT_NE(log.find("(data) reading the data beside the program in " + fs::canonical(stage.path()).string() +
                     " (none in the working directory " + fs::canonical(here.path()).string() + ")\n"),
            std::string::npos)
      << log;
  EXPECT_FALSE(fs::exists(stage.File("debug.log")));
}
