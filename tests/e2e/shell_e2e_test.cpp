// The real program under its own 1280x720 X server, started with no arguments
// in a temporary copy of the stage: it logs, opens its window, makes frames and
// ends with status 0 on Escape, on its window being closed, and on SIGTERM.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <csignal>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "shell/file_paths.h"
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

// Real input through the SDL window, from a viewer's keyboard and a window
// manager's minimise. Loading is held at its last slide (a named pipe in the
// file's place) while Escape and F1 are pressed: loading handles no messages,
// and a key pressed and let go before the show plays is over by then, so the
// show plays on, full screen. Then F1 makes it windowed and full screen again,
// each time in a window made anew that goes on showing the frames; minimised,
// it makes no frames until restored; Escape ends it.
TEST(ShellInput, KeysWhileLoadingAreOverThenF1MinimiseRestoreAndEscapeWork) {
  PrivateXvfb xvfb;
  ASSERT_TRUE(xvfb.Start(1280, 720)) << "no Xvfb";
  WorkDir dir = WorkDir::CopyOfStage();
  const std::string slide = dir.File("data/Slides/slide55.png");
  const auto slideBytes = VantorGL::ReadFileBytes(slide);
  ASSERT_TRUE(slideBytes);
  ASSERT_EQ(::unlink(slide.c_str()), 0);
  ASSERT_EQ(::mkfifo(slide.c_str(), 0644), 0);
  Program program;
  ASSERT_TRUE(program.Start({.program = ProgramPath("tessaly"), .workDir = dir.path()}));
  const std::string log = dir.File("debug.log");
  auto logged = [&](const std::string& text) { return ReadText(log).find(text) != std::string::npos; };
  auto until = [&](const std::function<bool()>& done) {
    for (const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
         std::chrono::steady_clock::now() < deadline && program.Running();
         std::this_thread::sleep_for(std::chrono::milliseconds(20)))
      if (done()) return true;
    return false;
  };
  // The window on screen now, looked up again after anything that may replace it.
  auto showWindow = [] {
    const std::vector<std::string> ids = FindWindows("^Tessaly 2011$");
    return ids.size() == 1 ? ids[0] : std::string();
  };
  // Frames are being made in the window: its picture changes twice.
  auto framesGoOn = [&](const std::string& id) {
    std::vector<uint8_t> last = GrabWindow(id).pixels;
    int changes = 0;
    return until([&] {
      std::vector<uint8_t> now = GrabWindow(id).pixels;
      if (!now.empty() && now != last) ++changes;
      last = std::move(now);
      return changes >= 2;
    });
  };

  // Loading, held: the window is open and the loading lines come, the show not.
  ASSERT_TRUE(until([&] { return logged("(cResources) 3ds Load OK!") && !showWindow().empty(); }))
      << ReadText(log) << program.Stderr();
  std::string id = showWindow();
  ASSERT_TRUE(FocusAndSendKeys(id, "Escape F1"));
  EXPECT_EQ(FocusWindow(), id) << "the keys went to the program's window";
  EXPECT_FALSE(logged("frame loop started"));
  ASSERT_TRUE(until([&] {
    FeedPipe(slide, *slideBytes);
    return logged("frame loop started");
  })) << ReadText(log) << program.Stderr();
  ASSERT_TRUE(framesGoOn(showWindow())) << "the show plays on\n" << ReadText(log) << program.Stderr();
  EXPECT_EQ(FindWindows("^Tessaly 2011$").size(), 1u);
  EXPECT_FALSE(logged(", windowed")) << "F1 from loading was acted on\n" << ReadText(log);

  // F1 twice: windowed, then full screen again, each a new window that shows the frames.
  for (const std::string mode : {"windowed", "full screen"}) {
    const std::string opened = "window open: 1280x720, " + mode;
    const size_t before = ReadText(log).find(opened);
    ASSERT_TRUE(HoldKeyUntil(showWindow(), "F1", [&] {
      const size_t at = ReadText(log).rfind(opened);
      return at != std::string::npos && at != before;
    }, kTimeoutMs)) << mode << "\n" << ReadText(log) << program.Stderr();
    ASSERT_TRUE(until([&] { return !showWindow().empty(); }))
        << mode << ": windows " << FindWindows(".").size() << "\n" << ReadText(log);
    EXPECT_TRUE(framesGoOn(showWindow())) << mode;
  }

  // Minimised: the frames stop, and the first one after restoring comes as long
  // after the last as the window was away.
  id = showWindow();
  ASSERT_TRUE(MinimiseWindow(id));
  ASSERT_TRUE(until([&] { return logged("window minimised after "); })) << ReadText(log) << program.Stderr();
  const auto away = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  // The last frame came before the line was seen, the next comes after this.
  const long awayMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - away).count();
  ASSERT_TRUE(RestoreWindow(id));
  ASSERT_TRUE(until([&] { return logged("window restored after "); })) << ReadText(log) << program.Stderr();
  std::smatch m;
  const std::string text = ReadText(log);
  ASSERT_TRUE(std::regex_search(text, m, std::regex(R"(window minimised after (\d+) frames[\s\S]*?window restored after (\d+) frames: the next comes (\d+) ms after the last)")))
      << text;
  EXPECT_EQ(m[1], m[2]) << "frames were made while minimised";
  EXPECT_GE(std::stol(m[3]), awayMs - 1) << text;  // whole milliseconds at both ends
  EXPECT_TRUE(framesGoOn(showWindow())) << "frames resume once restored";

  EXPECT_TRUE(HoldKeyUntil(showWindow(), "Escape", [&] { return program.Ended(0); }, kTimeoutMs));
  const ProgramResult r = program.Wait(kTimeoutMs);
  ASSERT_TRUE(r.exited) << r.stderrText;
  EXPECT_EQ(r.status, 0) << r.stderrText;
  const std::string end = ReadText(log);
  std::smatch ended;
  ASSERT_TRUE(std::regex_search(end, ended, std::regex(R"(\[(\d+)\]\(cWindowsSystem\) frame loop ended after)"))) << end;
  EXPECT_LT(std::stoi(ended[1]), 47000) << "Escape ended the show\n" << end;
}

}  // namespace
