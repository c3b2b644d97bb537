// The real program under its own 1280x720 X server, started with no arguments
// in a temporary copy of the stage: it logs, opens its window, makes frames and
// ends with status 0 on Escape, on its window being closed, and on SIGTERM.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/x_windows.h"
#include "tests/support/xvfb.h"

using namespace vantor_test;

namespace {

constexpr int kTimeoutMs = 60000;

class ShellEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(xvfb.Start(1280, 720)) << "no Xvfb";
    ASSERT_TRUE(program.Start({.program = ProgramPath("tessaly"), .workDir = dir.path()}))
        << ProgramPath("tessaly");
    // Input is only looked at once the frame loop runs (loading handles no
    // messages); the show is ended once its frames are on screen: the picture
    // changes (the background moves on every tenth of a second).
    ASSERT_TRUE(WaitForFileText(dir.File("debug.log"), "(cWindowsSystem) frame loop started", kTimeoutMs))
        << ReadText(dir.File("debug.log")) << program.Stderr();
    const std::string id = ShowWindow();
    ASSERT_FALSE(id.empty()) << program.Stderr();
    const std::vector<uint8_t> first = GrabWindow(id).pixels;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
    while (GrabWindow(id).pixels == first) {
      ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the picture never changed";
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  // The window on screen now: the multisample re-open replaced the first one.
  std::string ShowWindow() {
    const std::vector<std::string> ids = FindWindows("^Tessaly 2011$");
    EXPECT_EQ(ids.size(), 1u);
    return ids.empty() ? std::string() : ids.back();
  }

  // The frame count the program logged when its loop ended.
  long FramesLogged(const std::string& log) {
    std::smatch m;
    if (!std::regex_search(log, m, std::regex(R"(frame loop ended(?: \(quit\))? after (\d+) frames)"))) return -1;
    return std::stol(m[1]);
  }

  // The show's clock when the frame loop ended, as its end line's stamp gives
  // it; -1 without that line. The show ends by itself at 47 s: a key or signal
  // that did nothing still ends with status 0, but at 47000 ms or later.
  int EndedAtMs(const std::string& log, const std::string& endLine) {
    std::smatch m;
    if (!std::regex_search(log, m, std::regex(R"(\[(\d+)\]\(cWindowsSystem\) )" + endLine))) return -1;
    return std::stoi(m[1]);
  }

  void ExpectCleanEnd(const ProgramResult& r) {
    EXPECT_FALSE(r.timedOut);
    EXPECT_TRUE(r.exited) << "signal " << r.signal << "\n" << r.stderrText;
    EXPECT_EQ(r.status, 0) << r.stderrText;
    const std::string log = ReadText(dir.File("debug.log"));
    EXPECT_NE(log.find("(cDebugSystem) VantorGL engine"), std::string::npos) << log;
    EXPECT_NE(log.find("(cWindowsSystem) window open: 1280x720, full screen"), std::string::npos) << log;
    EXPECT_GT(FramesLogged(log), 0) << log;
  }

  PrivateXvfb xvfb;
  WorkDir dir = WorkDir::CopyOfStage();
  Program program;
};

TEST_F(ShellEndToEnd, EscapeEndsWithStatusZero) {
  // Keys reach the focused window; repeat until the program has taken one.
  for (int i = 0; i < kTimeoutMs / 500; ++i) {
    SendKey("Escape");
    if (program.Ended(500)) break;
  }
  ExpectCleanEnd(program.Wait(kTimeoutMs));
  const std::string log = ReadText(dir.File("debug.log"));
  const int endedAt = EndedAtMs(log, "frame loop ended after");
  EXPECT_GE(endedAt, 0) << log;
  EXPECT_LT(endedAt, 47000) << "the show ended by itself, not by the key\n" << log;
}

TEST_F(ShellEndToEnd, ClosingTheWindowEndsWithStatusZero) {
  ASSERT_TRUE(CloseWindow(ShowWindow()));
  ProgramResult r = program.Wait(kTimeoutMs);
  ExpectCleanEnd(r);
  EXPECT_NE(ReadText(dir.File("debug.log")).find("frame loop ended (quit)"), std::string::npos);
}

TEST_F(ShellEndToEnd, TerminationSignalClosesLikeTheWindow) {
  program.Signal(SIGTERM);
  ProgramResult r = program.Wait(kTimeoutMs);
  ExpectCleanEnd(r);
  const std::string log = ReadText(dir.File("debug.log"));
  const int endedAt = EndedAtMs(log, R"(frame loop ended \(quit\))");
  EXPECT_GE(endedAt, 0) << "the signal closes as the window's close request does\n" << log;
  EXPECT_LT(endedAt, 47000) << "the show ended by itself, not by the signal\n" << log;
}

}  // namespace
