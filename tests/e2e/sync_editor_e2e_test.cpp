// The template's real preview linked to a sync editor (--sync), the editor a
// stand-in speaking its side of the protocol over a real socket on 127.0.0.1
// (tests/support/rocket_editor.h): the preview asks for the template's tracks
// by name, follows the editor's keys, row, pause and play, moves the editor's
// cursor with its own seeks, and the editor's export writes track files that
// the capture plays to the pictures the preview showed: the title's rise, its
// letters' edges smoothed alike, and the edited sparks. An editor that goes
// away and comes back, or that sends bytes of no message, costs the preview
// nothing but the link, which it makes again.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/image_decode.h"
#include "shell/file_paths.h"
#include "tests/support/process.h"
#include "tests/support/rgb_pictures.h"
#include "tests/support/rocket_editor.h"
#include "tests/support/x_windows.h"
#include "tests/support/xvfb.h"

using namespace vantor_test;

namespace {

constexpr int kTimeoutMs = 120000;
constexpr int kLineMs = 60000;

class SyncEditorEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(xvfb.Start(1280, 720)) << "no Xvfb";
    ASSERT_TRUE(editor.Listen()) << editor.error();
    // The stage's record of the show's sources points into the copy: the
    // export must reach it, and never the real tree.
    std::ofstream(dir.File("vantorgl-sources.txt")) << dir.File("sources") << "\n";
  }

  void StartPreview(std::vector<std::string> args) {
    args.insert(args.begin(), {"--size", "320x180", "--sync", editor.Address()});
    ASSERT_TRUE(preview.Start({.program = dir.File("firstshow-preview"), .args = args, .workDir = dir.path(),
                               .env = {{"SDL_AUDIODRIVER", "dummy"}}}));
    ASSERT_TRUE(editor.Accept(kTimeoutMs)) << editor.error() << preview.Stderr();
    ASSERT_TRUE(editor.WaitForTracks(4, kLineMs)) << preview.Stderr();
    ASSERT_TRUE(WaitForLine("seek to ", 1)) << preview.Stderr();
    windowId = WaitForWindow("^firstshow-preview$", kLineMs);
    ASSERT_FALSE(windowId.empty());
  }

  int CountLines(const std::string& text) const { return preview.CountInStderr(text); }

  bool WaitForLine(const std::string& text, int count, int timeoutMs = kLineMs) {
    return preview.WaitForStderr(text, count, timeoutMs);
  }

  // The window's picture once it differs from `before` (held, nothing else changes it).
  Rgb PictureOtherThan(const Rgb& before) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    Rgb shown = GrabRgb(windowId);
    while (shown == before && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      shown = GrabRgb(windowId);
    }
    return shown;
  }
  // The window's picture once two grabs a frame's wait apart agree.
  Rgb SettledPicture() {
    Rgb last = GrabRgb(windowId);
    for (int i = 0; i < 100; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      Rgb now = GrabRgb(windowId);
      if (now == last) return now;
      last = std::move(now);
    }
    return last;
  }

  PrivateXvfb xvfb;
  WorkDir dir = WorkDir::CopyOf(VANTOR_TEMPLATE_STAGE_DIR);
  StandInEditor editor;
  Program preview;
  std::string windowId;
};

TEST_F(SyncEditorEndToEnd, PreviewFollowsTheEditorAndItsExportIsWhatTheCapturePlays) {
  ASSERT_NO_FATAL_FAILURE(StartPreview({"--paused"}));
  // Asked by name, in the order the show asks for them: the logo's scene first.
  EXPECT_EQ(editor.tracks(), (std::vector<std::string>{"logo:turn", "title:rise", "sparks:burst", "bloom:glow"}));

  // Row 36: 2.25 s, frame 135, the title halfway up (it rises from row 32 to 40).
  ASSERT_TRUE(editor.SetRow(36));
  ASSERT_TRUE(WaitForLine("seek to 0:02.250 (frame 135), held", 1)) << preview.Stderr();
  const Rgb rising = SettledPicture();

  // The editor's row 120: 7.5 s at 120 beats a minute and 8 rows a beat,
  // frame 450 at 60 fps, the sparks of the first burst spread wide.
  ASSERT_TRUE(editor.SetRow(120));
  ASSERT_TRUE(WaitForLine("seek to 0:07.500 (frame 450), held", 1)) << preview.Stderr();
  const Rgb before = SettledPicture();

  // A key on the burst's strength at that row (half of it, held by a step)
  // draws the sparks nearer the middle in the held picture.
  ASSERT_TRUE(editor.SetKey(2, 120, 0.5f, 0));
  const Rgb weaker = PictureOtherThan(before);
  ASSERT_FALSE(weaker == before) << "the key did not change the picture\n" << preview.Stderr();

  // The preview's own seek, a second on: row 136 reaches the editor.
  ASSERT_TRUE(FocusAndSendKeys(windowId, "Right", 40));
  EXPECT_TRUE(editor.WaitForRow(136, kLineMs)) << preview.Stderr();

  // The editor's play plays, and the rows come as the music goes; its pause holds.
  ASSERT_TRUE(editor.Pause(false));
  ASSERT_TRUE(WaitForLine("playing from 0:08.500", 1)) << preview.Stderr();
  EXPECT_TRUE(editor.WaitForRowPast(140, kLineMs)) << preview.Stderr();
  ASSERT_TRUE(editor.Pause(true));
  ASSERT_TRUE(WaitForLine("paused at ", 1)) << preview.Stderr();

  // Back on row 120: the edited picture again.
  ASSERT_TRUE(editor.SetRow(120));
  ASSERT_TRUE(WaitForLine("seek to 0:07.500 (frame 450), held", 2)) << preview.Stderr();
  EXPECT_TRUE(SettledPicture() == weaker) << "row 120 shows another picture than after the key";

  // The export: every track's file, in the show's data and in its sources.
  ASSERT_TRUE(editor.SaveTracks());
  ASSERT_TRUE(WaitForLine("saved 4 of 4 track files", 1)) << preview.Stderr();
  // Row 0: 1, step; row 120: 0.5, step (the new key). Little-endian.
  const std::vector<uint8_t> burstFile = {
      2, 0, 0, 0,                                 // two keys
      0, 0, 0, 0, 0x00, 0x00, 0x80, 0x3F, 0,     // row 0, 1.0f, step
      120, 0, 0, 0, 0x00, 0x00, 0x00, 0x3F, 0};  // row 120, 0.5f, step
  for (const std::string& file : {dir.File("data/Sync/sync_sparks-3Aburst.track"),
                                  dir.File("sources/data/Sync/sync_sparks-3Aburst.track")}) {
    const std::string bytes = ReadText(file);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), burstFile) << file;
  }
  // An untouched track is written as it was read: 2 from row 0, step.
  const std::string glow = ReadText(dir.File("sources/data/Sync/sync_bloom-3Aglow.track"));
  EXPECT_EQ(std::vector<uint8_t>(glow.begin(), glow.end()),
            (std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x00, 0x00, 0x40, 0}));

  ASSERT_TRUE(FocusAndSendKeys(windowId, "Escape", 40));
  const ProgramResult r = preview.Wait(kTimeoutMs);
  ASSERT_TRUE(r.exited && r.status == 0) << r.stderrText;

  // Without the editor, the capture plays the exported tracks: its frames 135
  // and 450 are the pictures the preview showed there.
  const ProgramResult c = RunProgram({.program = dir.File("firstshow-capture"),
                                      .args = {"--size", "320x180", "--from", "0:02.25", "--to", "0:07.6",
                                               "--frames", "frames"},
                                      .workDir = dir.path()},
                                     kTimeoutMs);
  ASSERT_TRUE(c.exited && c.status == 0) << c.stderrText;
  for (const auto& [frame, shown] : {std::pair{135, &rising}, std::pair{450, &weaker}}) {
    const Rgb captured = LoadPng(dir.File("frames/frame_000" + std::to_string(frame) + ".png"));
    size_t differing = 0;
    for (size_t i = 0; i < std::min(captured.px.size(), shown->px.size()); ++i)
      differing += captured.px[i] != shown->px[i];
    EXPECT_TRUE(captured == *shown) << "frame " << frame << ": the capture differs from the preview: "
                                    << captured.width << "x" << captured.height << ", " << differing
                                    << " channel values differ";
  }
}

TEST_F(SyncEditorEndToEnd, AnEditorThatGoesAwayOrSendsGarbageCostsOnlyTheLink) {
  ASSERT_NO_FATAL_FAILURE(StartPreview({"--paused"}));
  const uint16_t port = editor.port();
  EXPECT_TRUE(editor.WaitForRow(0, kLineMs)) << "the editor was not told where the preview stands";

  // The editor closes: said once, however many tries are refused after it.
  editor.Stop();
  ASSERT_TRUE(WaitForLine("the sync editor closed the connection; playing on with the last values", 1))
      << preview.Stderr();
  ASSERT_TRUE(editor.Listen(port)) << editor.error();
  ASSERT_TRUE(editor.Accept(kLineMs)) << editor.error() << preview.Stderr();
  EXPECT_TRUE(editor.WaitForTracks(4, kLineMs)) << "the tracks were not asked for again";
  EXPECT_TRUE(editor.WaitForRow(0, kLineMs)) << "the editor that came back was not told where the preview stands";
  EXPECT_EQ(CountLines("playing on with the last values"), 1) << preview.Stderr();
  EXPECT_EQ(CountLines("connected to the sync editor at " + editor.Address() + "; asked for 4 tracks"), 2);

  // An unknown command byte, and a key for a track never asked for: each
  // named, the link closed by the preview and made again.
  ASSERT_TRUE(editor.SendBytes({9, 'x', 'y'}));
  EXPECT_TRUE(editor.WaitForClose(kLineMs));
  ASSERT_TRUE(WaitForLine("no message of its protocol: unknown command byte 9", 1)) << preview.Stderr();
  ASSERT_TRUE(editor.Accept(kLineMs)) << editor.error() << preview.Stderr();
  ASSERT_TRUE(editor.SetKey(7, 0, 1.0f, 0));
  EXPECT_TRUE(editor.WaitForClose(kLineMs));
  ASSERT_TRUE(WaitForLine("set key for track 7, but 4 tracks were asked for", 1)) << preview.Stderr();
  ASSERT_TRUE(editor.Accept(kLineMs)) << editor.error() << preview.Stderr();
  EXPECT_TRUE(editor.WaitForTracks(4, kLineMs));

  EXPECT_TRUE(preview.Running());
  ASSERT_TRUE(FocusAndSendKeys(windowId, "Escape", 40));
  const ProgramResult r = preview.Wait(kTimeoutMs);
  EXPECT_TRUE(r.exited && r.status == 0) << r.stderrText;
}

}  // namespace
