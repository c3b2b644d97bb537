// vantor-setup-demo under its own 1280x720 X server: the real setup dialog is
// shown (and photographed), answered with keys or closed, and the demo either
// opens the window the answer chose or ends with status 0 and no window.
#include <gtest/gtest.h>

#include <sstream>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/image_decode.h"
#include "shell/file_paths.h"
#include "tests/support/process.h"
#include "tests/support/xvfb.h"

using namespace vantor_test;

namespace {

constexpr int kTimeoutMs = 60000;
constexpr const char* kDialogName = "^Kelmora :: VantorGL$";

VantorGL::platform::DecodedPixels DecodePng(const std::string& path) {
  VantorGL::platform::DecodedPixels out;
  auto bytes = VantorGL::ReadFileBytes(path);
  if (bytes) VantorGL::platform::DecodePicture(bytes->data(), bytes->size(), "PNG", out);
  return out;
}

// Where `part` appears pixel for pixel inside `whole` (RGB compared); false if nowhere.
bool Contains(const VantorGL::platform::DecodedPixels& whole, const VantorGL::platform::DecodedPixels& part) {
  if (part.width == 0 || whole.width < part.width || whole.height < part.height) return false;
  auto px = [](const VantorGL::platform::DecodedPixels& p, int x, int y) {
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
  bool KeysToDialog(const std::string& keys) {
    return Shell("xdotool windowfocus --sync " + dialogId + " key --delay 80 " + keys) == 0;
  }

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

  // The demo's GL window. SDL types its name as UTF-8, which `xdotool search
  // --name` does not read, so it is found as the program's one visible window.
  std::string WaitForDemoWindow() {
    for (int i = 0; i < kTimeoutMs / 200; ++i) {
      std::string ids;
      Shell("xdotool search --onlyvisible --classname '^vantor-setup-demo$'", &ids);
      // GTK names its dialog with the same class; it may not be gone yet.
      std::istringstream lines(ids);
      for (std::string id; std::getline(lines, id);)
        if (!id.empty() && id != dialogId) return id;
      if (!program.Running()) break;
      Shell("sleep 0.2");
    }
    return {};
  }

  // Waits for the settings line the demo prints once its window is final, then
  // ends it. With anti-aliasing the first window is replaced by a multisample
  // one, so the window is looked up again after the line and at every try.
  std::string RunUntilWindowThenEscape(std::string* geometry) {
    EXPECT_TRUE(WaitForFileText(dir.File("debug.log"), "(SetupDemo) settings:", kTimeoutMs))
        << ReadText(dir.File("debug.log"));
    std::string window = WaitForDemoWindow();
    EXPECT_FALSE(window.empty()) << program.Stderr();
    if (geometry && !window.empty()) Shell("xdotool getwindowgeometry " + window, geometry);
    // SDL cannot take the input focus without a window manager: give it.
    for (int i = 0; i < kTimeoutMs / 500 && !window.empty(); ++i) {
      Shell("xdotool windowfocus --sync " + window + " key Escape");
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
  std::string name;
  Shell("xdotool getwindowname " + dialogId, &name);
  EXPECT_EQ(name, "Kelmora :: VantorGL\n");

  // The picture: the compiled-in banner must be on screen, pixel for pixel.
  const auto banner = DecodePng(std::string(VANTOR_SOURCE_DIR) + "/platform/resources/setup_banner.png");
  ASSERT_EQ(banner.width, 280);
  ASSERT_EQ(banner.height, 45);
  const std::string shot = dir.File("setup_dialog.png");
  bool found = false;
  VantorGL::platform::DecodedPixels picture;
  for (int i = 0; i < 50 && !found; ++i) {  // until GTK has drawn it
    if (Shell("import -silent -window " + dialogId + " " + shot) == 0) {
      picture = DecodePng(shot);
      found = Contains(picture, banner);
    }
    if (!found) Shell("sleep 0.2");
  }
  EXPECT_TRUE(found) << "banner not found in " << shot;
  // About 204 x 167 dialog units.
  EXPECT_GE(picture.width, 280);
  EXPECT_LE(picture.width, 480);
  EXPECT_GE(picture.height, 200);
  EXPECT_LE(picture.height, 420);
  std::error_code ec;
  std::filesystem::create_directories(std::string(VANTOR_BINARY_DIR) + "/screenshots", ec);
  std::filesystem::copy_file(shot, std::string(VANTOR_BINARY_DIR) + "/screenshots/setup_dialog.png",
                             std::filesystem::copy_options::overwrite_existing, ec);

  ASSERT_TRUE(KeysToDialog("Escape"));
  ExpectQuitWithoutWindow();
}

TEST_F(SetupDialogEndToEnd, ReturnWithTheDefaultsOpensA1024x768Window) {
  // The focus starts on the (closed) resolution list: Return still means Run.
  ASSERT_TRUE(KeysToDialog("Return"));
  std::string geometry;
  const std::string out = RunUntilWindowThenEscape(&geometry);
  EXPECT_NE(geometry.find("Geometry: 1024x768"), std::string::npos) << geometry;
  EXPECT_NE(out.find("settings: 1024x768 windowed, anti-aliasing 4"), std::string::npos) << out;
  EXPECT_NE(ReadText(dir.File("debug.log")).find("window open: 1024x768, windowed, multisample format"),
            std::string::npos);
}

TEST_F(SetupDialogEndToEnd, ChoicesMadeWithKeysReachTheWindow) {
  // Up on the closed resolution list: "960x600"; Tab to the anti-aliasing list,
  // Up: "2X AA"; Return on that closed list runs.
  ASSERT_TRUE(KeysToDialog("Up Tab Up Return"));
  std::string geometry;
  const std::string out = RunUntilWindowThenEscape(&geometry);
  EXPECT_NE(geometry.find("Geometry: 960x600"), std::string::npos) << geometry;
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
