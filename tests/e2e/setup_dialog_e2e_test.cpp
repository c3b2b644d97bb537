// vantor-setup-demo under its own 1280x720 X server: the real setup dialog is
// shown (and photographed), answered with keys or closed, and the demo either
// opens the window the answer chose or ends with status 0 and no window.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "resources/texture_images.h"
#include "shell/file_paths.h"
#include "tests/support/process.h"
#include "tests/support/x_windows.h"
#include "tests/support/xvfb.h"

using namespace vantor_test;

namespace {

constexpr int kTimeoutMs = 60000;
constexpr const char* kDialogName = "^Kelmora :: VantorGL$";

using VantorGL::TextureImage;

TextureImage LoadPng(const std::string& path) {
  const auto bytes = VantorGL::ReadFileBytes(path);
  auto picture = bytes ? VantorGL::DecodePng(bytes->data(), bytes->size()) : std::nullopt;
  return picture ? std::move(*picture) : TextureImage{};
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Whether `part` appears pixel for pixel inside `whole` (RGB compared).
bool Contains(const TextureImage& whole, const TextureImage& part) {
  if (part.width == 0 || whole.width < part.width || whole.height < part.height) return false;
  auto px = [](const TextureImage& p, int x, int y) {
    return p.pixels.data() + (static_cast<size_t>(y) * p.width + x) * p.channels;
  };
  for (int y0 = 0; y0 + part.height <= whole.height; ++y0) {
    for (int x0 = 0; x0 + part.width <= whole.width; ++x0) {
      bool same = true;
      for (int y = 0; same && y < part.height; ++y)
        for (int x = 0; same && x < part.width; ++x)
          same = std::memcmp(px(whole, x0 + x, y0 + y), px(part, x, y), 3) == 0;
      if (same) return true;
    }
  }
  return false;
}

class SetupDialogEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(xvfb.Start(1280, 720)) << "no Xvfb";
    ASSERT_TRUE(program.Start({.program = ProgramPath("vantor-setup-demo"), .workDir = dir.path()}))
        << ProgramPath("vantor-setup-demo");
    dialogId = WaitForWindow(kDialogName, kTimeoutMs);
    ASSERT_FALSE(dialogId.empty()) << program.Stderr();
  }

  // GTK takes keys only in the window that has the input focus, and with no
  // window manager here nobody gives it: focus the dialog, then type.
  bool KeysToDialog(const std::string& keys) { return FocusAndSendKeys(dialogId, keys, 80); }

  // Ended by itself with status 0, before any window was opened.
  void ExpectQuitWithoutWindow() {
    ProgramResult r = program.Wait(kTimeoutMs);
    EXPECT_FALSE(r.timedOut);
    EXPECT_TRUE(r.exited) << "signal " << r.signal << "\n" << r.stderrText;
    EXPECT_EQ(r.status, 0) << r.stderrText;
    const std::string log = ReadText(dir.File("debug.log"));
    EXPECT_NE(log.find("log opened"), std::string::npos) << log;
    EXPECT_EQ(log.find("window open"), std::string::npos) << log;
    EXPECT_EQ(r.stdoutText.find("settings:"), std::string::npos) << r.stdoutText;
  }

  // The demo's GL window: the program's one viewable window besides the dialog.
  std::string WaitForDemoWindow() {
    for (int i = 0; i < kTimeoutMs / 200; ++i) {
      // GTK names its dialog with the same class; it may not be gone yet.
      for (const std::string& id : FindWindowsOfClass("^vantor-setup-demo$"))
        if (id != dialogId) return id;
      if (!program.Running()) break;
      SleepMs(200);
    }
    return {};
  }

  // Waits for the settings line the demo prints once its window is final, then
  // ends it. With anti-aliasing the first window is replaced by a multisample
  // one, so the window is looked up again after the line and at every try.
  std::string RunUntilWindowThenEscape(WindowPlace* place) {
    EXPECT_TRUE(WaitForFileText(dir.File("debug.log"), "(SetupDemo) settings:", kTimeoutMs))
        << ReadText(dir.File("debug.log"));
    std::string window = WaitForDemoWindow();
    EXPECT_FALSE(window.empty()) << program.Stderr();
    if (place && !window.empty()) *place = PlaceOf(window);
    // SDL cannot take the input focus without a window manager: give it.
    for (int i = 0; i < kTimeoutMs / 500 && !window.empty(); ++i) {
      FocusAndSendKeys(window, "Escape");
      if (program.Ended(500)) break;
      window = WaitForDemoWindow();
    }
    ProgramResult r = program.Wait(kTimeoutMs);
    EXPECT_TRUE(r.exited) << r.stderrText;
    EXPECT_EQ(r.status, 0) << r.stderrText;
    return r.stdoutText;
  }

  PrivateXvfb xvfb;
  WorkDir dir = WorkDir::Empty();
  Program program;
  std::string dialogId;
};

TEST_F(SetupDialogEndToEnd, DialogShowsItsBannerAndEscapeQuits) {
  EXPECT_EQ(WindowName(dialogId), "Kelmora :: VantorGL");

  // The picture: the compiled-in banner must be on screen, pixel for pixel.
  const TextureImage banner = LoadPng(std::string(VANTOR_SOURCE_DIR) + "/platform/resources/setup_banner.png");
  ASSERT_EQ(banner.width, 280);
  ASSERT_EQ(banner.height, 45);
  bool found = false;
  TextureImage picture;
  for (int i = 0; i < 50 && !found; ++i) {  // until GTK has drawn it
    picture = GrabWindow(dialogId);
    found = Contains(picture, banner);
    if (!found) SleepMs(200);
  }
  const std::string shot = KeepScreenshot(picture, "setup_dialog");
  EXPECT_TRUE(found) << "banner not found in " << shot;
  // About 204 x 167 dialog units.
  EXPECT_GE(picture.width, 280);
  EXPECT_LE(picture.width, 480);
  EXPECT_GE(picture.height, 200);
  EXPECT_LE(picture.height, 420);

  ASSERT_TRUE(KeysToDialog("Escape"));
  ExpectQuitWithoutWindow();
}

TEST_F(SetupDialogEndToEnd, ReturnWithTheDefaultsOpensA1024x768Window) {
  // The focus starts on the (closed) resolution list: Return still means Run.
  ASSERT_TRUE(KeysToDialog("Return"));
  WindowPlace place;
  const std::string out = RunUntilWindowThenEscape(&place);
  EXPECT_EQ(place.width, 1024);
  EXPECT_EQ(place.height, 768);
  EXPECT_NE(out.find("settings: 1024x768 windowed, anti-aliasing 4"), std::string::npos) << out;
  EXPECT_NE(ReadText(dir.File("debug.log")).find("window open: 1024x768, windowed, multisample format"),
            std::string::npos);
}

TEST_F(SetupDialogEndToEnd, ChoicesMadeWithKeysReachTheWindow) {
  // Up on the closed resolution list: "960x600"; Tab to the anti-aliasing list,
  // Up: "2X AA"; Return on that closed list runs.
  ASSERT_TRUE(KeysToDialog("Up Tab Up Return"));
  WindowPlace place;
  const std::string out = RunUntilWindowThenEscape(&place);
  EXPECT_EQ(place.width, 960);
  EXPECT_EQ(place.height, 600);
  EXPECT_NE(out.find("settings: 960x600 windowed, anti-aliasing 2"), std::string::npos) << out;
}

TEST_F(SetupDialogEndToEnd, ClosingTheDialogQuits) {
  ASSERT_TRUE(CloseWindow(dialogId));
  ExpectQuitWithoutWindow();
}

TEST_F(SetupDialogEndToEnd, ReturnOnAFocusedExitButtonQuits) {
  // Tab order: resolution list, anti-aliasing list, "Fullscreen", "Exit".
  ASSERT_TRUE(KeysToDialog("Tab Tab Tab Return"));
  ExpectQuitWithoutWindow();
}

}  // namespace
