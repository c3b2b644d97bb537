// The window shell's logic against the scripted window system: the orders of
// opening, loading, the frame loop and closing; every failure message; F1,
// Escape, minimise; the message table.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/scripted_window_system.h"
#include "shell/timer.h"
#include "shell/windows_system.h"

using namespace VantorGL;
using platform::ScriptedWindowSystem;

namespace {

constexpr unsigned kError = platform::MB_OK | platform::MB_ICONEXCLAMATION;
constexpr unsigned kShutdown = platform::MB_OK | platform::MB_ICONINFORMATION;

struct Box {
  std::string text, caption;
  unsigned style;
};

// An application that writes what the shell asks of it into the same log as the
// window system's calls, so orders can be read off one list.
class TestApp : public cWindowsSystem {
 public:
  explicit TestApp(ScriptedWindowSystem* ws) : cWindowsSystem(ws), ws_(ws) {}

  void OnBeforeRelease() override { ws_->calls.push_back("OnBeforeRelease"); }
  bool Initialise() override {
    ws_->calls.push_back("Initialise");
    return true;
  }
  bool LoadStep() override {
    ws_->calls.push_back("LoadStep");
    if (++loadSteps >= loadStepsWanted) loading = false;
    return true;
  }
  bool Update() override {
    ++updates;
    ws_->calls.push_back("Update");
    if (onUpdate) onUpdate(updates);
    return false;  // ignored by the shell
  }
  bool Draw() override {
    ++draws;
    ws_->calls.push_back("Draw");
    deltas.push_back(cTimer::Instance().deltaMs);
    return !(lastFrame > 0 && draws >= lastFrame);
  }
  int32_t RunSetupDialog() override {
    ws_->calls.push_back("RunSetupDialog");
    return setupAnswer;
  }

  int loadSteps = 0, loadStepsWanted = 1, updates = 0, draws = 0, lastFrame = 0;
  int32_t setupAnswer = 0;
  std::vector<int32_t> deltas;
  std::function<void(int update)> onUpdate;

 private:
  ScriptedWindowSystem* ws_;
};

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetMessageBoxHandler([this](const std::string& text, const std::string& caption, unsigned style) {
      boxes.push_back({text, caption, style});
      ws.calls.push_back("Box " + text);
      return (style & 0xF) == platform::MB_YESNO ? yesNoAnswer : platform::IDOK;
    });
    // A driven 1 MHz counter; the process clock is pointed at it for the test.
    platform::SetClockSource([this] { return ticks; }, 1'000'000);
    cTimer& timer = cTimer::Instance();
    savedTicksPerUnit = timer.ticksPerUnit;
    savedFrequency = timer.frequency;
    timer.frequency = 1'000'000;
    timer.ticksPerUnit = 1000;
    timer.Restart();

    // The production's settings.
    app.nearPlane = 0.1f;
    app.antiAliasing = true;
    app.samples = 4;
    app.showSetupDialog = false;
    app.fullscreen = true;
    app.title = "Tessaly 2011";
    app.width = 1280;
    app.height = 720;
    g_application = &app;
  }
  void TearDown() override {
    g_application = nullptr;
    platform::SetMessageBoxHandler(nullptr);
    platform::ResetClockSource();
    cTimer& timer = cTimer::Instance();
    timer.ticksPerUnit = savedTicksPerUnit;
    timer.frequency = savedFrequency;
    timer.Restart();
  }

  // The window system's and the application's calls from `from` on, without the
  // per-frame traffic, for order checks.
  std::vector<std::string> CallsFrom(int from) const {
    return std::vector<std::string>(ws.calls.begin() + from, ws.calls.end());
  }
  void EndAfterFrames(int frames) { app.lastFrame = frames; }

  ScriptedWindowSystem ws;
  TestApp app{&ws};
  std::vector<Box> boxes;
  int yesNoAnswer = platform::IDYES;
  int64_t ticks = 0;
  int32_t savedTicksPerUnit = 1;
  int64_t savedFrequency = 0;
};

const std::vector<std::string> kCloseSequence = {
    "OnBeforeRelease",      "RestoreDisplayMode", "ShowCursor 1",  "MakeCurrent none",
    "DeleteContext ctx1",   "ReleaseDeviceContext", "DestroyWindow", "UnregisterWindowClass OpenGL"};

TEST_F(ShellTest, MultisampleFormatFoundOpensASecondWindowThenLoadsAndRuns) {
  app.onUpdate = [this](int n) {
    if (n == 3) {  // a tap: down and up again before the next frame looks
      ws.PostKey(VK_ESCAPE, true);
      ws.PostKey(VK_ESCAPE, false);
    }
  };
  EXPECT_EQ(RunApplication(), 0);

  const std::vector<std::string> expected = {
      // First window, ordinary format.
      "RegisterWindowClass OpenGL 0x23", "DisableScreenSaver", "ChangeDisplayMode 1280x720x32", "ShowCursor 0",
      "CreateWindow 1280x720 style=0x96000000 ex=0x40000 class=OpenGL title=Tessaly 2011", "GetDeviceContext",
      "ChoosePixelFormat bits=32 depth=16 flags=0x25", "SetPixelFormat 1", "CreateContext", "MakeCurrent ctx1",
      "SetSwapInterval 1", "HasMultisampleExtension", "HasMultisampleFormatChooser",
      "ChooseMultisampleFormat samples=4 max=1",
      // Closed, and opened again with the multisample format.
      "OnBeforeRelease", "RestoreDisplayMode", "ShowCursor 1", "MakeCurrent none", "DeleteContext ctx1",
      "ReleaseDeviceContext", "DestroyWindow", "UnregisterWindowClass OpenGL",
      "RegisterWindowClass OpenGL 0x23", "DisableScreenSaver", "ChangeDisplayMode 1280x720x32", "ShowCursor 0",
      "CreateWindow 1280x720 style=0x96000000 ex=0x40000 class=OpenGL title=Tessaly 2011", "GetDeviceContext",
      "SetPixelFormat 9", "CreateContext", "MakeCurrent ctx2", "SetSwapInterval 1", "ShowWindow 1",
      "SetForegroundWindow", "SetFocus",
      // Loading, then the frames.
      "LoadStep", "SwapBuffers", "Initialise", "ShowWindow 1", "SetForegroundWindow",
      "Update", "Draw", "SwapBuffers", "Update", "Draw", "SwapBuffers", "Update", "Draw", "SwapBuffers",
      // Escape: no further frame.
      "OnBeforeRelease", "RestoreDisplayMode", "ShowCursor 1", "MakeCurrent none", "DeleteContext ctx2",
      "ReleaseDeviceContext", "DestroyWindow", "UnregisterWindowClass OpenGL"};
  EXPECT_EQ(ws.calls, expected);
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(app.multisampleSupported);
  EXPECT_EQ(app.multisampleFormat, 9);
  EXPECT_EQ(app.updates, 3);
  EXPECT_EQ(ws.liveContexts, 0);
  EXPECT_EQ(app.window, nullptr);
  EXPECT_EQ(app.deviceContext, nullptr);
  EXPECT_EQ(app.renderContext, nullptr);

  const std::vector<int> attributes = {0x2001, 1, 0x2010, 1, 0x2003, 0x2027, 0x2014, 24, 0x201B, 8,
                                       0x2022, 16, 0x2023, 0, 0x2011, 1, 0x2041, 1, 0x2042, 4};
  EXPECT_EQ(ws.lastMultisampleAttributes, attributes);
}

TEST_F(ShellTest, LoadStepRepeatsWithASwapEachUntilLoadingIsCleared) {
  app.antiAliasing = false;
  app.loadStepsWanted = 3;
  EndAfterFrames(1);
  RunApplication();
  const int first = ws.Find("LoadStep");
  ASSERT_GE(first, 0);
  const std::vector<std::string> expected = {"LoadStep", "SwapBuffers", "LoadStep", "SwapBuffers", "LoadStep",
                                             "SwapBuffers", "Initialise"};
  EXPECT_EQ(std::vector<std::string>(ws.calls.begin() + first, ws.calls.begin() + first + 7), expected);
}

TEST_F(ShellTest, SetupDialogQuitOpensNoWindow) {
  app.showSetupDialog = true;
  app.setupAnswer = 1;
  EXPECT_EQ(RunApplication(), 0);
  EXPECT_EQ(ws.calls, std::vector<std::string>{"RunSetupDialog"});

  app.setupAnswer = 0;
  ws.calls.clear();
  EndAfterFrames(1);
  RunApplication();
  EXPECT_EQ(ws.calls.front(), "RunSetupDialog");
  EXPECT_EQ(ws.Count("CreateWindow"), 2);
}

// Opening failures: each row's message, and whether the window was closed first.
struct OpenFailure {
  const char* name;
  std::function<void(ScriptedWindowSystem::Script&)> arrange;
  const char* text;
  int made;  // what existed when it failed: -1 no close at all, 0 nothing, 1 window, 2 + device context, 3 + context
};

class OpenFailureTest : public ShellTest, public ::testing::WithParamInterface<OpenFailure> {};

TEST_P(OpenFailureTest, ShowsItsMessageAndRunsNothing) {
  const OpenFailure& row = GetParam();
  row.arrange(ws.script);
  EXPECT_EQ(RunApplication(), 0);

  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, row.text);
  EXPECT_EQ(boxes[0].caption, "ERROR");
  EXPECT_EQ(boxes[0].style, kError);
  EXPECT_EQ(ws.Count("LoadStep"), 0);
  EXPECT_EQ(ws.Count("Update"), 0);
  EXPECT_EQ(ws.liveContexts, 0);
  const int box = ws.Find("Box ");
  if (row.made >= 0) {
    // The window was closed first: the close sequence for what had been made,
    // and right after it the message.
    std::vector<std::string> close = {"OnBeforeRelease", "RestoreDisplayMode", "ShowCursor 1"};
    if (row.made >= 3) close.insert(close.end(), {"MakeCurrent none", "DeleteContext ctx1"});
    if (row.made >= 2) close.push_back("ReleaseDeviceContext");
    if (row.made >= 1) close.push_back("DestroyWindow");
    close.push_back("UnregisterWindowClass OpenGL");
    const int first = ws.Find("OnBeforeRelease");
    ASSERT_GE(first, 0);
    EXPECT_EQ(std::vector<std::string>(ws.calls.begin() + first, ws.calls.begin() + box), close);
  } else {
    EXPECT_EQ(ws.Count("UnregisterWindowClass"), 0);
  }
  EXPECT_EQ(box, static_cast<int>(ws.calls.size()) - 1);  // nothing after the message
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OpenFailureTest,
    ::testing::Values(
        OpenFailure{"Register", [](auto& s) { s.registerFails = true; }, "Failed To Register The Window Class.",
                    -1},
        OpenFailure{"CreateWindow", [](auto& s) { s.createWindowFails = true; }, "Window Creation Error.", 0},
        OpenFailure{"DeviceContext", [](auto& s) { s.noDeviceContext = true; }, "Can't Create A GL Device Context.",
                    1},
        OpenFailure{"PixelFormat", [](auto& s) { s.noPixelFormat = true; },
                    "Can't Create A multisample GL Device Context.", 2},
        OpenFailure{"SetPixelFormat", [](auto& s) { s.setPixelFormatFails = true; }, "Can't Set The PixelFormat.",
                    2},
        OpenFailure{"Context", [](auto& s) { s.noContext = true; }, "Can't Create A GL Rendering Context.", 2},
        OpenFailure{"MakeCurrent", [](auto& s) { s.makeCurrentFails = true; },
                    "Can't Activate The GL Rendering Context.", 3}),
    [](const ::testing::TestParamInfo<OpenFailure>& info) { return std::string(info.param.name); });

TEST_F(ShellTest, RefusedModeDeclinedEndsWithoutAWindow) {
  ws.script.modeRefused = true;
  yesNoAnswer = platform::IDNO;
  EXPECT_EQ(RunApplication(), 0);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text,
            "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?");
  EXPECT_EQ(boxes[0].caption, "Kiro GL");
  EXPECT_EQ(boxes[0].style, platform::MB_YESNO | platform::MB_ICONEXCLAMATION);
  EXPECT_EQ(boxes[1].text, "Program Will Now Close.");
  EXPECT_EQ(boxes[1].caption, "ERROR");
  EXPECT_EQ(boxes[1].style, platform::MB_OK | platform::MB_ICONSTOP);
  EXPECT_EQ(ws.Count("CreateWindow"), 0);
  EXPECT_EQ(ws.Count("LoadStep"), 0);
}

TEST_F(ShellTest, RefusedModeAcceptedRunsWindowed) {
  ws.script.modeRefused = true;
  app.antiAliasing = false;
  EndAfterFrames(2);
  RunApplication();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Kiro GL");
  EXPECT_FALSE(app.fullscreen);
  EXPECT_EQ(ws.Count("ShowCursor"), 0);  // the cursor stays, and no mode to restore
  EXPECT_EQ(ws.Count("RestoreDisplayMode"), 0);
  EXPECT_GE(ws.Find("CreateWindow 1280x720 style=0x16CF0000 ex=0x40100"), 0);
  EXPECT_EQ(app.updates, 2);
}

// Multisample fall-backs: the message, then the ordinary format and the show.
struct MultisampleFallback {
  const char* name;
  std::function<void(ScriptedWindowSystem::Script&)> arrange;
  const char* text;
};

class MultisampleFallbackTest : public ShellTest, public ::testing::WithParamInterface<MultisampleFallback> {};

TEST_P(MultisampleFallbackTest, KeepsTheOrdinaryFormat) {
  GetParam().arrange(ws.script);
  EndAfterFrames(2);
  RunApplication();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, GetParam().text);
  EXPECT_EQ(boxes[0].caption, "ERROR");
  EXPECT_EQ(boxes[0].style, kError);
  EXPECT_FALSE(app.multisampleSupported);
  EXPECT_EQ(ws.Count("CreateWindow"), 1);
  EXPECT_EQ(ws.lastPixelFormat, 1);
  EXPECT_EQ(app.updates, 2);
  // The message comes while the first window is open, before it is shown.
  EXPECT_LT(ws.Find("Box "), ws.Find("ShowWindow"));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MultisampleFallbackTest,
    ::testing::Values(
        MultisampleFallback{"NoExtension", [](auto& s) { s.noMultisampleExtension = true; },
                            "Multisample is not supported!"},
        MultisampleFallback{"NoChooser", [](auto& s) { s.noMultisampleChooser = true; },
                            "if (!wglChoosePixelFormatARB)"},
        MultisampleFallback{"NoFormat", [](auto& s) { s.noMultisampleFormat = true; },
                            "AA Amount not supported, try lowering it or turn it off"}),
    [](const ::testing::TestParamInfo<MultisampleFallback>& info) { return std::string(info.param.name); });

TEST_F(ShellTest, NoAntiAliasingAsksNoMultisampleQuestion) {
  app.antiAliasing = false;
  EndAfterFrames(1);
  RunApplication();
  EXPECT_EQ(ws.Count("HasMultisample"), 0);
  EXPECT_EQ(ws.Count("ChooseMultisampleFormat"), 0);
  EXPECT_EQ(ws.Count("CreateWindow"), 1);
}

// Closing failures: each is reported and closing goes on.
struct CloseFailure {
  const char* name;
  std::function<void(ScriptedWindowSystem::Script&)> arrange;
  const char* text;
};

class CloseFailureTest : public ShellTest, public ::testing::WithParamInterface<CloseFailure> {};

TEST_P(CloseFailureTest, IsReportedAndClosingGoesOn) {
  app.antiAliasing = false;
  ASSERT_TRUE(app.OpenWindow());
  GetParam().arrange(ws.script);
  const int from = static_cast<int>(ws.calls.size());
  app.CloseWindow();

  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, GetParam().text);
  EXPECT_EQ(boxes[0].caption, "SHUTDOWN ERROR");
  EXPECT_EQ(boxes[0].style, kShutdown);
  std::vector<std::string> rest;
  for (const std::string& c : CallsFrom(from))
    if (c.rfind("Box ", 0) != 0) rest.push_back(c);
  EXPECT_EQ(rest, kCloseSequence);
  EXPECT_EQ(app.renderContext, nullptr);
  EXPECT_EQ(app.deviceContext, nullptr);
  EXPECT_EQ(app.window, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CloseFailureTest,
    ::testing::Values(
        CloseFailure{"ReleaseCurrent", [](auto& s) { s.releaseCurrentFails = true; }, "Release Of DC And RC Failed."},
        CloseFailure{"DeleteContext", [](auto& s) { s.deleteContextFails = true; },
                     "Release Rendering Context Failed."},
        CloseFailure{"ReleaseDeviceContext", [](auto& s) { s.releaseDeviceContextFails = true; },
                     "Release Device Context Failed."},
        CloseFailure{"DestroyWindow", [](auto& s) { s.destroyWindowFails = true; }, "Could Not Release m_hWnd."},
        CloseFailure{"Unregister", [](auto& s) { s.unregisterFails = true; }, "Could Not Unregister Class."}),
    [](const ::testing::TestParamInfo<CloseFailure>& info) { return std::string(info.param.name); });

TEST_F(ShellTest, EscapeHeldEndsBeforeTheNextUpdate) {
  app.antiAliasing = false;
  app.onUpdate = [this](int n) {
    if (n == 2) ws.PostKey(VK_ESCAPE, true);
  };
  RunApplication();
  EXPECT_EQ(app.updates, 2);
  EXPECT_EQ(app.draws, 2);
  // The frame during which Escape went down is still finished and swapped.
  const int lastSwap = ws.Find("SwapBuffers", ws.Find("Draw", ws.Find("Update", ws.Find("Update") + 1)));
  EXPECT_EQ(ws.calls[lastSwap + 1], "OnBeforeRelease");
}

TEST_F(ShellTest, DrawFalseStillSwapsThatFrame) {
  app.antiAliasing = false;
  EndAfterFrames(3);
  RunApplication();
  EXPECT_EQ(app.draws, 3);
  EXPECT_EQ(ws.swaps, 1 + 3);  // loading, then three frames
  const int close = ws.Find("OnBeforeRelease");
  EXPECT_EQ(ws.calls[close - 1], "SwapBuffers");
  EXPECT_EQ(ws.calls[close - 2], "Draw");
}

TEST_F(ShellTest, CloseMessageEndsTheLoopThroughQuit) {
  app.antiAliasing = false;
  app.onUpdate = [this](int n) {
    if (n == 2) ws.Post(WM_CLOSE);
  };
  RunApplication();
  EXPECT_EQ(app.updates, 2);
  EXPECT_GE(ws.Find("PostQuitMessage 0"), 0);
  EXPECT_EQ(ws.Count("DestroyWindow"), 1);
}

TEST_F(ShellTest, F1TogglesOncePerPressAndKeepsTheContext) {
  app.antiAliasing = false;
  // Each press is held for frames on end: the key's state is cleared at the
  // toggle, so a held key toggles once.
  app.onUpdate = [this](int n) {
    if (n == 2 || n == 7) ws.PostKey(VK_F1, true);
    if (n == 5 || n == 10) ws.PostKey(VK_F1, false);
  };
  EndAfterFrames(12);
  RunApplication();

  EXPECT_EQ(app.updates, 12);
  EXPECT_EQ(ws.Count("CreateWindow"), 3);
  EXPECT_EQ(ws.Count("CreateWindow 1280x720 style=0x96000000"), 2);  // full screen
  EXPECT_EQ(ws.Count("CreateWindow 1280x720 style=0x16CF0000"), 1);  // windowed
  EXPECT_TRUE(app.fullscreen);
  // One context for the whole run: carried to each new window, deleted at the end.
  EXPECT_EQ(ws.contextsCreated, 1);
  EXPECT_EQ(ws.Count("DeleteContext"), 1);
  EXPECT_EQ(ws.Count("MakeCurrent ctx1"), 3);
  EXPECT_EQ(ws.liveContexts, 0);
  EXPECT_FALSE(app.keys[VK_F1]);

  // The first toggle: the frame, the old window closed, the new one opened windowed.
  const int firstClose = ws.Find("OnBeforeRelease");
  const std::vector<std::string> toggle = {
      "OnBeforeRelease", "RestoreDisplayMode", "ShowCursor 1", "MakeCurrent none", "ReleaseDeviceContext",
      "DestroyWindow", "UnregisterWindowClass OpenGL", "RegisterWindowClass OpenGL 0x23", "DisableScreenSaver",
      "CreateWindow 1280x720 style=0x16CF0000 ex=0x40100 class=OpenGL title=Tessaly 2011", "GetDeviceContext",
      "ChoosePixelFormat bits=32 depth=16 flags=0x25", "SetPixelFormat 1", "MakeCurrent ctx1", "SetSwapInterval 1",
      "ShowWindow 1", "SetForegroundWindow", "SetFocus", "Update"};
  EXPECT_EQ(std::vector<std::string>(ws.calls.begin() + firstClose, ws.calls.begin() + firstClose + 19), toggle);
}

TEST_F(ShellTest, F1FailedReopenEndsTheLoop) {
  app.antiAliasing = false;
  ws.script.createWindowFailsFromCall = 2;
  app.onUpdate = [this](int n) {
    if (n == 2) {  // a tap, as in the Escape test above
      ws.PostKey(VK_F1, true);
      ws.PostKey(VK_F1, false);
    }
  };
  EXPECT_EQ(RunApplication(), 0);
  EXPECT_EQ(app.updates, 3);  // the frame after the key went down, then no more
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Window Creation Error.");
  EXPECT_EQ(ws.liveContexts, 0);  // the carried context is not leaked
  EXPECT_EQ(ws.Find("Update", ws.Find("Box ")), -1);
}

TEST_F(ShellTest, MinimisedMakesNoFramesAndTheNextFrameSpansTheGap) {
  app.antiAliasing = false;
  ws.onSwap = [this] { ticks += 16'000; };  // 16 ms per frame
  int waits = 0;
  int32_t lastMsWhenMinimised = 0;
  app.onUpdate = [&](int n) {
    if (n == 2) ws.Post(WM_ACTIVATE, MakeParam(WA_INACTIVE, 0));  // focus lost: frames go on
    if (n == 4) {
      ws.Post(WM_ACTIVATE, MakeParam(WA_INACTIVE, 1));  // minimised
      lastMsWhenMinimised = -1;
    }
  };
  ws.onWait = [&](int timeoutMs) {
    EXPECT_EQ(timeoutMs, 10);
    if (lastMsWhenMinimised == -1) lastMsWhenMinimised = cTimer::Instance().lastMs;
    EXPECT_EQ(cTimer::Instance().lastMs, lastMsWhenMinimised);  // no Tick while minimised
    ticks += 10'000;
    if (++waits == 500) ws.Post(WM_ACTIVATE, MakeParam(WA_ACTIVE, 0));
  };
  EndAfterFrames(6);
  RunApplication();

  EXPECT_EQ(waits, 500);
  EXPECT_EQ(app.updates, 6);
  // Nothing but waiting between the frame of the minimise and the next frame.
  const int firstWait = ws.Find("WaitForEvent");
  const int nextUpdate = ws.Find("Update", firstWait);
  for (int i = firstWait; i < nextUpdate; ++i) EXPECT_EQ(ws.calls[i], "WaitForEvent 10") << i;
  ASSERT_EQ(app.deltas.size(), 6u);
  EXPECT_EQ(app.deltas[1], 16);
  EXPECT_EQ(app.deltas[2], 16);  // focus lost did not stop the frames
  EXPECT_EQ(app.deltas[4], 16 + 5000);
  EXPECT_EQ(app.deltas[5], 16);
}

TEST_F(ShellTest, MessageTable) {
  app.antiAliasing = false;
  ASSERT_TRUE(app.OpenWindow());
  ws.calls.clear();

  EXPECT_EQ(app.HandleMessage(app.window, WM_SIZE, 0, static_cast<MessageData>(MakeParam(640, 0))), 0);
  EXPECT_EQ(app.width, 640);
  EXPECT_EQ(app.height, 1);
  app.HandleMessage(app.window, WM_SIZE, 0, static_cast<MessageData>(MakeParam(1024, 768)));
  EXPECT_EQ(app.width, 1024);
  EXPECT_EQ(app.height, 768);

  app.HandleMessage(app.window, WM_KEYDOWN, 'A', 0);
  EXPECT_TRUE(app.keys['A']);
  app.HandleMessage(app.window, WM_KEYUP, 'A', 0);
  EXPECT_FALSE(app.keys['A']);
  bool before[256];
  std::copy(std::begin(app.keys), std::end(app.keys), before);
  EXPECT_EQ(app.HandleMessage(app.window, WM_KEYDOWN, 256, 0), 0);
  EXPECT_EQ(app.HandleMessage(app.window, WM_KEYDOWN, 256 + VK_ESCAPE, 0), 0);
  EXPECT_EQ(app.HandleMessage(app.window, WM_KEYUP, 0x10000, 0), 0);
  EXPECT_TRUE(std::equal(std::begin(app.keys), std::end(app.keys), before));

  app.HandleMessage(app.window, WM_ACTIVATE, MakeParam(WA_INACTIVE, 1), 0);
  EXPECT_FALSE(app.active);
  app.HandleMessage(app.window, WM_ACTIVATE, MakeParam(WA_ACTIVE, 0), 0);
  EXPECT_TRUE(app.active);

  // Suppressed: no default processing.
  app.HandleMessage(app.window, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
  app.HandleMessage(app.window, WM_SYSCOMMAND, SC_MONITORPOWER, 0);
  app.HandleMessage(app.window, WM_NCMOUSEMOVE, 0, 0);
  EXPECT_TRUE(ws.calls.empty());
  // Everything else goes to default processing.
  app.HandleMessage(app.window, WM_SYSCOMMAND, 0xF020, 0);
  app.HandleMessage(app.window, 0x000F, 0, 0);
  EXPECT_EQ(ws.calls, (std::vector<std::string>{"DefaultWindowProcedure 0x112", "DefaultWindowProcedure 0xF"}));

  ws.calls.clear();
  app.HandleMessage(app.window, WM_CLOSE, 0, 0);
  EXPECT_EQ(ws.calls, std::vector<std::string>{"PostQuitMessage 0"});
  app.CloseWindow();
}

TEST_F(ShellTest, SizeSentDuringWindowCreationIsTaken) {
  // The system gives the window another size than asked; the shell goes by it.
  ws.script.createdWidth = 1024;
  ws.script.createdHeight = 600;
  app.antiAliasing = false;
  app.width = 1280;
  app.height = 720;
  ASSERT_TRUE(app.OpenWindow());
  EXPECT_EQ(app.width, 1024);
  EXPECT_EQ(app.height, 600);
  app.CloseWindow();
}

}  // namespace
