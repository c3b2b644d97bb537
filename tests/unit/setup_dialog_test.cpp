// cWindowsSystem::RunSetupDialog against the scripted window system, with the
// dialog's answer given by the test: how each answer reaches the window
// settings, and that quitting opens nothing.
#include <gtest/gtest.h>

#include <climits>
#include <optional>

#include "platform/scripted_window_system.h"
#include "platform/setup_dialog.h"
#include "shell/setup_choices.h"
#include "shell/windows_system.h"

namespace {

using VantorGL::SetupResult;
using VantorGL::platform::ScriptedWindowSystem;

class SetupDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VantorGL::platform::SetSetupDialogHandler([this](SetupResult& out) {
      ++shown;
      if (!answer) return false;  // no display
      out = *answer;
      return true;
    });
    // Settings no table entry produces, so every change is visible.
    app.width = 321;
    app.height = 123;
    app.fullscreen = true;
    app.antiAliasing = true;
    app.samples = 7;
  }
  void TearDown() override { VantorGL::platform::SetSetupDialogHandler({}); }

  int32_t Run(SetupResult given, bool extension = true) {
    answer = given;
    ws.script.noMultisampleExtension = !extension;
    return app.RunSetupDialog();
  }

  ScriptedWindowSystem ws;
  VantorGL::cWindowsSystem app{&ws};
  std::optional<SetupResult> answer;
  int shown = 0;
};

SetupResult Answer(int resolution, int aa, bool fullscreen = false, int quit = 0) {
  SetupResult r;
  r.resolutionIndex = resolution;
  r.aaIndex = aa;
  r.fullscreen = fullscreen;
  r.quit = quit;
  return r;
}

TEST_F(SetupDialogTest, RunWithTheDefaultsGives1024x768WindowedWithFourSamples) {
  EXPECT_EQ(Run(Answer(VantorGL::kInitialResolutionIndex, VantorGL::kInitialAntiAliasingIndex)), 0);
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(app.width, 1024);
  EXPECT_EQ(app.height, 768);
  EXPECT_FALSE(app.fullscreen);
  EXPECT_TRUE(app.antiAliasing);
  EXPECT_EQ(app.samples, 4);
  EXPECT_EQ(app.setupResult.resolutionIndex, 3);
  EXPECT_EQ(app.setupResult.aaIndex, 2);
  EXPECT_EQ(app.setupResult.quit, 0);
  EXPECT_STREQ(VantorGL::kResolutionChoices[3].text, "1024x768");
  EXPECT_STREQ(VantorGL::kAntiAliasingChoices[2].text, "4X AA");
}

TEST_F(SetupDialogTest, EveryResolutionEntryInListOrder) {
  struct Row {
    const char* text;
    int width, height;
  };
  const Row rows[] = {{"640x480", 640, 480},   {"800x600", 800, 600},   {"960x600", 960, 600},
                      {"1024x768", 1024, 768}, {"1280x720", 1280, 720}, {"1280x768", 1280, 768},
                      {"1280x960", 1280, 960}, {"1440x900", 1440, 900}, {"1680x1050", 1680, 1050}};
  ASSERT_EQ(VantorGL::kResolutionChoiceCount, 9);
  for (int i = 0; i < 9; ++i) {
    EXPECT_STREQ(VantorGL::kResolutionChoices[i].text, rows[i].text);
    app.width = 321;
    app.height = 123;
    EXPECT_EQ(Run(Answer(i, 2)), 0);
    EXPECT_EQ(app.width, rows[i].width) << i;
    EXPECT_EQ(app.height, rows[i].height) << i;
  }
  // No selection (-1) and indices outside the list leave the size.
  for (int bad : {-1, 9, 10, 1000, INT_MIN, INT_MAX}) {
    app.width = 321;
    app.height = 123;
    EXPECT_EQ(Run(Answer(bad, 2)), 0);
    EXPECT_EQ(app.width, 321) << bad;
    EXPECT_EQ(app.height, 123) << bad;
  }
}

TEST_F(SetupDialogTest, EveryAntiAliasingEntryWhenTheExtensionIsReported) {
  struct Row {
    const char* text;
    bool on;
    int samples;
  };
  // "No AA" only switches anti-aliasing off: the sample count stays 7.
  const Row rows[] = {{"No AA", false, 7}, {"2X AA", true, 2}, {"4X AA", true, 4}, {"6X AA", true, 6}, {"16X AA", true, 16}};
  ASSERT_EQ(VantorGL::kAntiAliasingChoiceCount, 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_STREQ(VantorGL::kAntiAliasingChoices[i].text, rows[i].text);
    for (bool before : {false, true}) {
      app.antiAliasing = before;
      app.samples = 7;
      EXPECT_EQ(Run(Answer(3, i), /*extension=*/true), 0);
      EXPECT_EQ(app.antiAliasing, rows[i].on) << i;
      EXPECT_EQ(app.samples, rows[i].samples) << i;
    }
  }
  // No selection and indices outside the list leave both settings as they were.
  for (int bad : {-1, 5, 6, 1000, INT_MIN, INT_MAX}) {
    for (bool before : {false, true}) {
      app.antiAliasing = before;
      app.samples = 7;
      EXPECT_EQ(Run(Answer(3, bad), true), 0);
      EXPECT_EQ(app.antiAliasing, before) << bad;
      EXPECT_EQ(app.samples, 7) << bad;
    }
  }
}

TEST_F(SetupDialogTest, WithoutTheExtensionAntiAliasingIsAlwaysOff) {
  for (int aa : {0, 1, 2, 3, 4, -1, 5}) {
    app.antiAliasing = true;
    app.samples = 7;
    EXPECT_EQ(Run(Answer(1, aa), /*extension=*/false), 0);
    EXPECT_FALSE(app.antiAliasing) << aa;
    EXPECT_EQ(app.samples, 7) << aa;
    // The rest of the answer still applies.
    EXPECT_EQ(app.width, 800);
    EXPECT_EQ(app.height, 600);
  }
}

TEST_F(SetupDialogTest, FullscreenFollowsTheBoxEitherWay) {
  app.fullscreen = true;
  Run(Answer(3, 2, /*fullscreen=*/false));
  EXPECT_FALSE(app.fullscreen);
  Run(Answer(3, 2, /*fullscreen=*/true));
  EXPECT_TRUE(app.fullscreen);
  // Even with no selection in either list.
  app.fullscreen = false;
  Run(Answer(-1, -1, true));
  EXPECT_TRUE(app.fullscreen);
}

TEST_F(SetupDialogTest, QuitChangesNothingAndAsksNothing) {
  EXPECT_EQ(Run(Answer(0, 4, /*fullscreen=*/false, /*quit=*/1)), 1);
  EXPECT_EQ(app.width, 321);
  EXPECT_EQ(app.height, 123);
  EXPECT_TRUE(app.fullscreen);
  EXPECT_TRUE(app.antiAliasing);
  EXPECT_EQ(app.samples, 7);
  EXPECT_EQ(app.setupResult.quit, 1);  // the copy is kept all the same
  EXPECT_EQ(ws.Count("HasMultisampleExtension"), 0);
}

TEST_F(SetupDialogTest, NoDisplayForTheDialogKeepsTheSettings) {
  answer.reset();
  ws.script.noMultisampleExtension = true;
  EXPECT_EQ(app.RunSetupDialog(), 0);
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(app.width, 321);
  EXPECT_EQ(app.height, 123);
  EXPECT_TRUE(app.fullscreen);
  EXPECT_TRUE(app.antiAliasing);
}

// The whole start: a quit answer ends before any window, class or context; a
// Run answer opens the window it chose and asks for its sample count.
class CountingApp : public VantorGL::cWindowsSystem {
 public:
  using cWindowsSystem::cWindowsSystem;
  bool LoadStep() override {
    ++loadSteps;
    loading = false;
    return true;
  }
  int loadSteps = 0;
};

TEST_F(SetupDialogTest, RunApplicationQuitsBeforeAnyWindowAndRunOpensTheChosenOne) {
  ScriptedWindowSystem quitWs;
  CountingApp quitter(&quitWs);
  answer = Answer(3, 2, false, 1);
  EXPECT_EQ(VantorGL::RunApplication(quitter), 0);
  EXPECT_TRUE(quitWs.calls.empty());
  EXPECT_EQ(quitWs.windowsCreated, 0);
  EXPECT_EQ(quitter.loadSteps, 0);

  ScriptedWindowSystem runWs;
  CountingApp runner(&runWs);
  runner.fullscreen = true;
  runWs.onSwap = [&runWs] {
    if (runWs.swaps == 2) runWs.Post(VantorGL::WM_CLOSE);  // one frame after loading
  };
  answer = Answer(1, 1);  // "800x600", "2X AA"
  VantorGL::cWindowsSystem* previous = VantorGL::g_application;
  VantorGL::g_application = &runner;  // the window procedure's target
  EXPECT_EQ(VantorGL::RunApplication(runner), 0);
  VantorGL::g_application = previous;
  EXPECT_GE(runWs.Find("CreateWindow 800x600"), 0);
  EXPECT_EQ(runWs.Count("ChangeDisplayMode"), 0);  // windowed
  EXPECT_GE(runWs.Find("ChooseMultisampleFormat samples=2"), 0);
  EXPECT_EQ(runner.loadSteps, 1);
}

}  // namespace
