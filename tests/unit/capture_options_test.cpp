// The capture program's command line, its frame arithmetic, and the pieces of
// its output that need no display: progress lines, the contact sheet's layout,
// files that appear under their name only when complete, the writer thread.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "makers/capture_options.h"
#include "makers/capture_output.h"
#include "makers/capture_progress.h"
#include "makers/capture_writer.h"
#include "makers/show_frames.h"
#include "platform/clock.h"
#include "platform/file_watch.h"
#include "scenes/scene_system.h"
#include "slide_scene.h"
#include "shell/exit.h"
#include "shell/timer.h"
#include "tessaly_show.h"
#include "tests/support/process.h"

using namespace VantorGL::capture;
using VantorGL::SlideState;
using VantorGL::SlideStateAfter;
using VantorGL::TessalyShow;

namespace {

// What Tessaly 2011 offers to play: the show, the slide scene over its whole
// window, the water scene over its window.
const std::vector<VantorGL::ShowScene> kScenes = {{"show", "the production", 0, 47000},
                                                  {"slide", "the slide scene over its whole window", 0, 60000},
                                                  {"start", "the water scene alone over its window", 60000, 90000}};

ParseResult Parse(std::vector<std::string> args) { return ParseOptions(args, kScenes); }

TEST(CaptureOptions, DefaultsCaptureTheWholeShowAt60FramesPerSecond) {
  const ParseResult r = Parse({"--out", "show.mp4"});
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(r.options.scene, TessalyShow::kShow);
  EXPECT_EQ(r.options.fps, 60);
  EXPECT_EQ(r.options.width, 1280);
  EXPECT_EQ(r.options.height, 720);
  const FramePlan plan = PlanFrames(r.options);
  EXPECT_EQ(plan.firstFrame, 0);
  EXPECT_EQ(plan.endFrame, 2820);  // 47 s; the frame at 47.0 s itself is the show's end
  EXPECT_EQ(plan.SheetCells(), 47);
}

TEST(CaptureOptions, ValuesComeSeparateOrAfterAnEqualsSignAndTheLastOneCounts) {
  const ParseResult r = Parse({"--fps=25", "--size", "640x360", "--fps", "30", "--scene=start", "--from", "1:10.0",
                               "--to=1:12.5", "--frames", "dir", "--sheet=s.PNG"});
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(r.options.fps, 30);
  EXPECT_EQ(r.options.width, 640);
  EXPECT_EQ(r.options.height, 360);
  EXPECT_EQ(r.options.scene, TessalyShow::kStart);
  EXPECT_EQ(r.options.fromMs, 70000);
  EXPECT_EQ(r.options.toMs, 72500);
  EXPECT_EQ(r.options.framesDir, "dir");
  EXPECT_EQ(r.options.sheetFile, "s.PNG");
  EXPECT_TRUE(Parse({"--help"}).help);
  EXPECT_TRUE(Parse({"--fps", "x", "--help"}).error.find("--fps") != std::string::npos);
}

TEST(CaptureOptions, BadCommandLinesSayWhatIsWrong) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--fps", "0", "--sheet", "s.png"}, "--fps"},
      {{"--fps", "241", "--sheet", "s.png"}, "--fps"},
      {{"--fps", "2.5", "--sheet", "s.png"}, "--fps"},
      {{"--fps", "", "--sheet", "s.png"}, "--fps"},
      {{"--size", "1280", "--sheet", "s.png"}, "--size"},
      {{"--size", "1280x", "--sheet", "s.png"}, "--size"},
      {{"--size", "15x100", "--sheet", "s.png"}, "--size"},
      {{"--size", "9000x100", "--sheet", "s.png"}, "--size"},
      {{"--size", "-640x360", "--sheet", "s.png"}, "--size"},
      {{"--scene", "water", "--sheet", "s.png"}, "--scene"},
      {{"--from", "0:5", "--sheet", "s.png"}, "--from"},
      {{"--from", "0:60.0", "--sheet", "s.png"}, "--from"},
      {{"--to", "0:47", "--sheet", "s.png"}, "--to"},
      {{"--from", "0:47.0", "--sheet", "s.png"}, "outside"},       // the show's end is not in it
      {{"--to", "0:47.1", "--sheet", "s.png"}, "outside"},
      {{"--scene", "start", "--from", "0:59.9", "--sheet", "s.png"}, "outside"},
      {{"--scene", "slide", "--to", "1:00.1", "--sheet", "s.png"}, "outside"},
      {{"--from", "0:10.0", "--to", "0:10.0", "--sheet", "s.png"}, "before"},
      {{"--fps", "1", "--from", "0:10.1", "--to", "0:10.5", "--sheet", "s.png"}, "no frame"},
      {{"--out", "show.avi"}, "--out"},
      {{"--out", ""}, "--out"},
      {{"--sheet", "sheet.jpg"}, "--sheet"},
      {{"--frames"}, "needs a value"},
      {{"--help=yes"}, "--help"},
      {{"-o", "x.mp4"}, "-o"},
      {{"--loop", "--sheet", "s.png"}, "--loop"},
      {{"show.mp4"}, "show.mp4"},
      {{}, "nothing to write"},
      {{"--fps", "30"}, "nothing to write"},
  };
  for (const auto& [args, text] : cases) {
    const ParseResult r = Parse(args);
    std::string line;
    for (const auto& a : args) line += a + " ";
    EXPECT_NE(r.error.find(text), std::string::npos) << line << "-> \"" << r.error << "\"";
    EXPECT_FALSE(r.help);
  }
}

TEST(CaptureOptions, MusicTimesAreMinutesSecondsAndAFractionOfASecond) {
  using VantorGL::ReadMusicTime;
  EXPECT_EQ(ReadMusicTime("0:00.0"), 0);
  EXPECT_EQ(ReadMusicTime("0:10.5"), 10500);
  EXPECT_EQ(ReadMusicTime("0:10.500"), 10500);
  EXPECT_EQ(ReadMusicTime("0:10.05"), 10050);
  EXPECT_EQ(ReadMusicTime("0:10.005"), 10005);
  EXPECT_EQ(ReadMusicTime("0:10.0059"), 10005);  // below a millisecond: dropped
  EXPECT_EQ(ReadMusicTime("1:30.0"), 90000);
  EXPECT_EQ(ReadMusicTime("12:59.9"), 779900);
  for (const char* bad : {"", "0:5", "0:05", "0:05.", ":05.0", "0:60.0", "-0:05.0", "+0:05.0", "a:bc.d", "0:+5.0",
                          "0:5 .0", "0:05.5 ", "0:05.-5", "1234:00.0", "0.05:0", "1:2:03.0"})
    EXPECT_FALSE(ReadMusicTime(bad)) << bad;
  // The production's own texts mean the same to both readers.
  for (const char* text : {"0:00.0", "0:47.0", "1:00.0", "1:30.0"})
    EXPECT_EQ(ReadMusicTime(text), VantorGL::ParseMusicTime(text)) << text;
  // Written back so that it reads the same again.
  EXPECT_EQ(FormatMusicTime(47000), "0:47.0");
  EXPECT_EQ(FormatMusicTime(10500), "0:10.5");
  EXPECT_EQ(FormatMusicTime(10050), "0:10.05");
  EXPECT_EQ(FormatMusicTime(63533), "1:03.533");

  // A scene whose window starts at 0:10.5 is listed with it, and a capture from there is taken.
  const std::vector<VantorGL::ShowScene> scenes = {{"show", "the whole show", 0, 12000},
                                                   {"banner", "the banner", 10500, 12000}};
  EXPECT_NE(SceneLines(scenes).find("the banner, 0:10.5 to 0:12.0"), std::string::npos) << SceneLines(scenes);
  for (const char* from : {"0:10.5", "0:10.500"}) {
    const ParseResult r = ParseOptions({"--scene", "banner", "--from", from, "--frames", "f"}, scenes);
    EXPECT_EQ(r.error, "") << from;
    EXPECT_EQ(r.options.fromMs, 10500) << from;
  }
  EXPECT_NE(ParseOptions({"--scene", "banner", "--from", "0:10.0", "--frames", "f"}, scenes).error.find(
                "--from 0:10.0 lies outside the banner scene's window, 0:10.5 to 0:12.0"),
            std::string::npos);
}

TEST(CaptureOptions, VideoContainersFollowTheName) {
  EXPECT_EQ(VideoFormatFor("a/show.mp4"), "mp4");
  EXPECT_EQ(VideoFormatFor("SHOW.MKV"), "matroska");
  EXPECT_EQ(VideoFormatFor("show.mov"), "mov");
  EXPECT_FALSE(VideoFormatFor("show.mp4.part"));
  EXPECT_FALSE(VideoFormatFor("mp4"));
}

TEST(CaptureFrames, FrameKIsMadeAtKOverFpsSecondsInWholeMilliseconds) {
  Options o;
  o.scenes = kScenes;
  o.fps = 30;
  o.fromMs = 3400;
  o.toMs = 4800;
  const FramePlan plan = PlanFrames(o);
  EXPECT_EQ(plan.firstFrame, 102);
  EXPECT_EQ(plan.endFrame, 144);
  EXPECT_EQ(plan.ShowTimeMs(105), 3500);
  EXPECT_EQ(plan.ShowTimeMs(106), 3533);  // rounded down, as the millisecond clock reads it
  EXPECT_EQ(plan.SheetCells(), 2);
  EXPECT_EQ(plan.SheetFrame(1), 132);

  // A --from between frames starts at the next frame.
  o.fps = 60;
  o.fromMs = 1010;
  o.toMs = 1100;
  EXPECT_EQ(PlanFrames(o).firstFrame, 61);  // 1016 ms
  EXPECT_EQ(PlanFrames(o).endFrame, 66);    // 1100 ms itself is not kept

  // The water scene counts from its own window's start.
  o = Options{};
  o.scenes = kScenes;
  o.scene = TessalyShow::kStart;
  o.fromMs = 70000;
  const FramePlan water = PlanFrames(o);
  EXPECT_EQ(water.originMs, 60000);
  EXPECT_EQ(water.firstFrame, 600);
  EXPECT_EQ(water.endFrame, 1800);
  EXPECT_EQ(water.MusicTimeMs(600), 70000);
}

TEST(CaptureFrames, SlideStateAtAFrameIsWhatTheScenesOwnUpdatesMadeOfTheFramesBefore) {
  // The slide scene played as the capture plays it: the counter set before each
  // frame, then the frame loop's Update and Tick (no drawing needed).
  for (int fps : {60, 25, 7}) {
    int64_t counter = 0;
    VantorGL::platform::SetClockSource([&counter] { return counter; }, kCounterFrequency);
    VantorGL::cTimer::Instance() = VantorGL::cTimer();
    VantorGL::cSlideScene::frameClockMs = 0;
    VantorGL::cSlideScene scene;
    scene.SetTimeWindow("0:00.0", "1:00.0");
    const int64_t frames = 47 * fps;
    int steps = 0, lastFrame = 0;
    for (int64_t k = 0; k < frames; ++k) {
      counter = FrameCounter(k, fps);
      VantorGL::RunUpdate(scene);
      VantorGL::cTimer::Instance().Tick();
      steps += scene.frame != lastFrame;
      lastFrame = scene.frame;
      if (k % 89 != 0 && k != frames - 1) continue;
      const SlideState s = SlideStateAfter(k + 1, fps);
      ASSERT_EQ(s.frame, scene.frame) << fps << " frames/s, frame " << k;
      ASSERT_EQ(s.slide, scene.slide) << fps << " frames/s, frame " << k;
      ASSERT_EQ(s.slideTimeMs, scene.slideTimeMs) << fps << " frames/s, frame " << k;
      ASSERT_EQ(s.frameClockMs, VantorGL::cSlideScene::frameClockMs) << fps << " frames/s, frame " << k;
    }
    EXPECT_EQ(SlideStateAfter(frames, fps).slide, 55);
    // The background clock drops what goes beyond a step: at 60 frames/s a step
    // takes 7 frames (117 ms, not 100), at 7 frames/s one frame (143 ms).
    if (fps == 60) {
      EXPECT_EQ(steps, frames / 7);
    } else if (fps == 7) {
      EXPECT_EQ(steps, frames - 1);
    }
  }
  VantorGL::platform::ResetClockSource();
  VantorGL::cTimer::Instance() = VantorGL::cTimer();
  VantorGL::cSlideScene::frameClockMs = 0;
}

// The show's clocks without its data or GL: the scenes' windows as the show
// sets them before loading, then the scene chosen.
class BareShow : public TessalyShow {
 public:
  explicit BareShow(size_t scene) : TessalyShow(nullptr) { ChooseScene(scene); }
};

// Every field that making frames changes, as text.
std::string StateOf(const BareShow& show) {
  const VantorGL::cTimer& t = VantorGL::cTimer::Instance();
  std::string out = "timer " + std::to_string(t.counter) + " " + std::to_string(t.startMs) + " " +
                    std::to_string(t.deltaMs) + " " + std::to_string(t.nowMs) + " " + std::to_string(t.lastMs) +
                    " " + std::to_string(t.sinceStartMs);
  auto clock = [&out](const char* name, const VantorGL::cSceneSystem& s) {
    out += std::string("; ") + name + " " + std::to_string(s.firstFrame) + " " + std::to_string(s.originMs) + " " +
           std::to_string(s.elapsedMs) + " " + std::to_string(s.activeMs);
  };
  clock("show", show.demo);
  clock("slides", show.demo.slideScene);
  clock("water", show.demo.startScene);
  const VantorGL::cSlideScene& slides = show.demo.slideScene;
  out += "; slide " + std::to_string(slides.frame) + " " + std::to_string(slides.slide) + " " +
         std::to_string(slides.slideTimeMs) + " " + std::to_string(VantorGL::cSlideScene::frameClockMs) +
         "; water time " + std::to_string(show.demo.startScene.sceneTimeMs);
  return out;
}

TEST(CaptureFrames, ShowStoodAtAFrameIsWhereItsOwnFramesLeaveIt) {
  // Each scene choice played as the capture plays it (Update, then Tick on the
  // frame's counter); at points along the way the show is stood elsewhere and
  // back, and must hold exactly what the frames made, then play on from there.
  int64_t counter = 0;
  VantorGL::platform::SetClockSource([&counter] { return counter; }, kCounterFrequency);
  for (size_t scene : {TessalyShow::kShow, TessalyShow::kSlide, TessalyShow::kStart}) {
    for (int fps : {60, 7}) {
      counter = 0;
      VantorGL::cTimer::Instance() = VantorGL::cTimer();
      VantorGL::cSlideScene::frameClockMs = 0;
      BareShow show(scene);
      // The windows offered are the scene objects' own, before and after the choice moved them.
      const std::vector<VantorGL::ShowScene> offered = show.Scenes();
      ASSERT_EQ(offered.size(), kScenes.size());
      for (size_t i = 0; i < kScenes.size(); ++i) {
        EXPECT_EQ(offered[i].startMs, kScenes[i].startMs) << kScenes[i].name;
        EXPECT_EQ(offered[i].endMs, kScenes[i].endMs) << kScenes[i].name;
      }
      // As the programs stand it: the clock first, then the show.
      auto standAt = [&show, &counter, fps](int64_t frame) {
        StandTimerAt(frame, fps, [&counter](int64_t c) { counter = c; });
        show.StandAt(frame, fps);
      };
      const std::string start = StateOf(show);
      const int64_t frames = (show.demo.windowEndMs - show.demo.windowStartMs) * fps / 1000;
      for (int64_t k = 0; k <= frames; ++k) {
        if (k % 101 == 3 || k == frames) {
          const std::string played = StateOf(show);
          standAt(k / 3);
          standAt(k);
          ASSERT_EQ(StateOf(show), played) << kScenes[scene].name << " at " << fps << " frames/s, frame " << k;
        }
        if (k == frames) break;
        counter = FrameCounter(k, fps);
        show.Update();
        VantorGL::cTimer::Instance().Tick();
      }
      standAt(0);
      EXPECT_EQ(StateOf(show), start) << kScenes[scene].name;
    }
  }
  VantorGL::platform::ResetClockSource();
  VantorGL::cTimer::Instance() = VantorGL::cTimer();
  VantorGL::cSlideScene::frameClockMs = 0;
}

TEST(CaptureProgress, LinesShowTheShareAndTheTimeLeft) {
  EXPECT_EQ(Progress::BarLine(5, 20, 95, 10), "[##--------]  25%  5/20 frames  1:35 left");
  EXPECT_EQ(Progress::BarLine(20, 20, 0, 4), "[####] 100%  20/20 frames  0:00 left");
  EXPECT_EQ(Progress::PlainLine(0, 20, -1), "capture: 0% (0/20 frames), --:-- left");
  EXPECT_EQ(Progress::FormatDuration(3725), "1:02:05");

  // Plain output: one line per tenth of the way, not one per frame.
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  Progress p(100, false, out);
  for (int i = 1; i <= 100; ++i) p.Update(i);
  p.Finish();
  std::rewind(out);
  int lines = 0;
  for (int c; (c = std::fgetc(out)) != EOF;) lines += c == '\n';
  std::fclose(out);
  EXPECT_EQ(lines, 11);  // 0 % (the first frame), 10 %, ..., 100 %
}

TEST(CaptureSheet, CellsHoldTheFrameScaledDownWithItsTime) {
  ContactSheet sheet;
  sheet.Begin(480, 270, 10);  // 8 cells in the first row, 2 in the second
  const Picture& s = sheet.picture();
  EXPECT_EQ(s.width, ContactSheet::kGap + 8 * (240 + ContactSheet::kGap));
  EXPECT_EQ(s.height, ContactSheet::kGap + 2 * (135 + ContactSheet::kLabelHeight + ContactSheet::kGap));

  Picture frame{480, 270, std::vector<uint8_t>(480 * 270 * 3)};
  for (size_t i = 0; i < frame.rgb.size(); i += 3) frame.rgb[i] = 200;  // red
  sheet.Add(9, frame, 9000);
  auto at = [&s](int x, int y) { return &s.rgb[(static_cast<size_t>(y) * s.width + x) * 3]; };
  const int x0 = ContactSheet::kGap + 1 * (240 + ContactSheet::kGap);
  const int y0 = ContactSheet::kGap + 1 * (135 + ContactSheet::kLabelHeight + ContactSheet::kGap);
  EXPECT_EQ(at(x0 + 120, y0 + 60)[0], 200);
  EXPECT_EQ(at(x0 + 120, y0 + 60)[1], 0);
  // The label below the cell has light pixels; an empty cell stays background.
  int light = 0;
  for (int y = y0 + 135; y < y0 + 135 + ContactSheet::kLabelHeight; ++y)
    for (int x = x0; x < x0 + 240; ++x) light += at(x, y)[0] > 150;
  EXPECT_GT(light, 20);
  EXPECT_EQ(at(ContactSheet::kGap + 10, ContactSheet::kGap + 10)[0], 24);
}

std::vector<std::string> Listing(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// What the writer makes (frames, a video through its encoder, the sheet)
// appears under its name only complete: nothing is ever written under a final
// name, a finished file is renamed onto it. A video whose encoder fails leaves
// nothing, not even its temporary file.
TEST(CaptureFiles, AFileAppearsUnderItsNameOnlyWhenComplete) {
  const vantor_test::WorkDir dir = vantor_test::WorkDir::Empty();
  const std::string out = dir.File("out");
  std::string error;
  // Encoders that copy the frames into the file named last, or fail half way.
  const std::string copying = dir.File("copying-encoder"), failing = dir.File("failing-encoder");
  std::ofstream(copying) << "#!/bin/sh\nfor last; do :; done\nexec cat > \"$last\"\n";
  std::ofstream(failing) << "#!/bin/sh\nfor last; do :; done\necho half > \"$last\"\nexit 1\n";
  ASSERT_EQ(chmod(copying.c_str(), 0755) | chmod(failing.c_str(), 0755), 0);

  auto shot = std::make_shared<Shot>();
  shot->width = 2;
  shot->height = 1;
  shot->rgba = {10, 20, 30, 255, 40, 50, 60, 255};
  FrameDirectory frames;
  ASSERT_TRUE(frames.Open(out + "/frames", &error)) << error;
  const std::vector<std::string> finalNames = {out + "/frames/frame_000000.png", out + "/frames/frame_000001.png",
                                               out + "/show.mkv", out + "/sheet.png"};
  VantorGL::platform::FileWatch watch;
  for (const std::string& name : finalNames) ASSERT_TRUE(watch.Add(name)) << watch.error();

  VideoEncoder video;
  VideoEncoder::Settings settings;
  settings.ffmpeg = copying;
  settings.path = out + "/show.mkv";
  settings.format = "matroska";
  settings.width = 2;
  settings.height = 1;
  settings.fps = 1;
  settings.frames = 2;
  ASSERT_TRUE(video.Start(settings, &error)) << error;
  ContactSheet sheet;
  sheet.Begin(2, 1, 1);
  FrameWriter::Outputs outputs;
  outputs.frames = &frames;
  outputs.video = &video;
  outputs.sheet = &sheet;
  outputs.plan.fps = 1;
  outputs.plan.endFrame = 2;
  {
    FrameWriter writer;
    writer.Start(outputs);
    EXPECT_TRUE(writer.Add(0, shot));
    EXPECT_TRUE(writer.Add(1, shot));
    int status = 0;
    EXPECT_TRUE(writer.Finish(&error, &status)) << error;
  }
  EXPECT_TRUE(video.Finish(&error)) << error;
  EXPECT_TRUE(sheet.Write(out + "/sheet.png", &error)) << error;

  std::vector<std::string> changed;
  for (const auto& change : watch.Poll()) {
    EXPECT_TRUE(change.complete) << change.path << " was written to under its final name";
    changed.push_back(change.path);
  }
  for (const std::string& name : finalNames)
    EXPECT_NE(std::find(changed.begin(), changed.end(), name), changed.end()) << name << " never appeared";
  EXPECT_EQ(Listing(out), (std::vector<std::string>{"frames", "sheet.png", "show.mkv"}));
  EXPECT_EQ(Listing(out + "/frames"), (std::vector<std::string>{"frame_000000.png", "frame_000001.png"}));
  // Each frame as 4:2:0 YUV, 2 x 1 padded to 2 x 2: Y of (10,20,30) is
  // 16 + (66*10 + 129*20 + 25*30 + 128) / 256 = 32, of (40,50,60) 57, the black
  // row 16 16; U and V from the two pixels' sums (50,70,90): 128 + round(3000 /
  // 512) = 134 and 128 + round(-2600 / 512) = 123.
  EXPECT_EQ(vantor_test::ReadText(out + "/show.mkv"), std::string("\x20\x39\x10\x10\x86\x7B\x20\x39\x10\x10\x86\x7B"));

  settings.ffmpeg = failing;
  settings.path = out + "/failed.mkv";
  VideoEncoder failed;
  ASSERT_TRUE(failed.Start(settings, &error)) << error;
  EXPECT_FALSE(failed.Finish(&error));
  EXPECT_EQ(Listing(out), (std::vector<std::string>{"frames", "sheet.png", "show.mkv"}));

  // Missing parents are made; a file in the way is reported.
  EXPECT_TRUE(MakeDirectories(dir.File("a/b/c"), &error)) << error;
  EXPECT_FALSE(MakeDirectories(out + "/sheet.png/d", &error));
  EXPECT_FALSE(error.empty());
}

// An exit with a fixed status can come while the show loads, with loading
// threads and the sound device's thread still running: the capture's temporary
// files go, and no static object is destroyed under those threads.
TEST(CaptureFilesDeathTest, AFixedStatusExitRemovesTemporaryFilesAndDestroysNoStaticObject) {
  const vantor_test::WorkDir dir = vantor_test::WorkDir::Empty();
  struct Announced {
    ~Announced() { std::fputs("a static object destroyed\n", stderr); }
  };
  EXPECT_EXIT(
      {
        static Announced announced;
        PendingFile video(dir.File("show.mp4"));
        std::ofstream(video.path()) << "half a video";
        VantorGL::ExitProgram(251, "the cause");
      },
      ::testing::ExitedWithCode(251), "^the cause\n$");
  EXPECT_TRUE(Listing(dir.path()).empty()) << Listing(dir.path()).front();
}

// A capture killed outright leaves its temporary file; the next capture into
// that directory removes it, and only it: not a running capture's.
TEST(CaptureFilesDeathTest, WhatAKilledCaptureLeftIsRemovedByTheNextOne) {
  const vantor_test::WorkDir dir = vantor_test::WorkDir::Empty();
  EXPECT_EXIT(
      {
        PendingFile video(dir.File("show.mp4"));
        std::ofstream(video.path()) << "half a video";
        raise(SIGKILL);
      },
      ::testing::KilledBySignal(SIGKILL), "");
  ASSERT_EQ(Listing(dir.path()).size(), 1u);
  PendingFile running(dir.File("show.mp4"));
  std::ofstream(running.path()) << "a video being made";
  std::ofstream(dir.File(".show.mp4.part-1")) << "of a process that may run";  // init's: alive
  std::ofstream(dir.File("notes.part-12")) << "not a temporary file's name";
  EXPECT_EQ(RemoveAbandonedFiles(dir.path(), [](const std::string& name) { return name == "sheet.png"; }), 0)
      << "another output's";
  EXPECT_EQ(RemoveAbandonedFiles(dir.path(), [](const std::string& name) { return name == "show.mp4"; }), 1);
  EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{".show.mp4.part-1",
                                                           ".show.mp4.part-" + std::to_string(getpid()),
                                                           "notes.part-12"}));
}

// A picture too large for the memory left fails the writer with the reason and
// the capture's status, as any failed output does (the capture then removes
// what it began), rather than ending the process where nothing cleans up.
TEST(CaptureWriterDeathTest, RunningOutOfMemoryFailsTheWriterWithTheReason) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's allocator reports a failed allocation instead of failing it";
#endif
  const vantor_test::WorkDir dir = vantor_test::WorkDir::Empty();
  FrameDirectory frames;
  std::string error;
  ASSERT_TRUE(frames.Open(dir.File("frames"), &error)) << error;
  FrameWriter::Outputs outputs;
  outputs.frames = &frames;
  auto shot = std::make_shared<Shot>();
  shot->width = shot->height = 4096;  // its picture needs 48 MiB more
  shot->rgba.assign(size_t{4096} * 4096 * 4, 0);
  EXPECT_EXIT(
      {
        FrameWriter writer;
        writer.Start(outputs);
        // 16 MiB more address space than the process holds now.
        long pages = 0;
        std::FILE* statm = std::fopen("/proc/self/statm", "r");
        if (!statm || std::fscanf(statm, "%ld", &pages) != 1) std::_Exit(3);
        std::fclose(statm);
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        limit.rlim_cur = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (16u << 20);
        if (setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(4);
        writer.Add(0, shot);
        int status = 0;
        const bool written = writer.Finish(&error, &status);
        std::fprintf(stderr, "%s, status %d: %s\n", written ? "written" : "failed", status, error.c_str());
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0), "^failed, status 70: out of memory writing frame 0");
  EXPECT_TRUE(Listing(dir.File("frames")).empty());
}

TEST(CaptureWriter, RepeatedShotsGiveTheFilesOfFramesEncodedAnewAndAFailureStopsIt) {
  char pattern[] = "/tmp/vantor-capture-unit-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  std::string error;
  // A 3 x 2 shot as GL gives it (bottom row first, RGBA) and the picture it stands for.
  auto shot = [](uint8_t base, Picture* topFirst) {
    auto s = std::make_shared<Shot>();
    s->width = 3;
    s->height = 2;
    topFirst->width = 3;
    topFirst->height = 2;
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) {
        const uint8_t v = static_cast<uint8_t>(base + 10 * y + x);
        s->rgba.insert(s->rgba.end(), {v, static_cast<uint8_t>(v + 1), static_cast<uint8_t>(v + 2), 255});
      }
    for (int y = 1; y >= 0; --y)
      for (int x = 0; x < 3; ++x) {
        const uint8_t v = static_cast<uint8_t>(base + 10 * y + x);
        topFirst->rgb.insert(topFirst->rgb.end(), {v, static_cast<uint8_t>(v + 1), static_cast<uint8_t>(v + 2)});
      }
    return s;
  };
  Picture a, b;
  const auto shotA = shot(0, &a), shotB = shot(100, &b);
  ASSERT_TRUE(WritePng(dir + "/a.png", a, FrameDirectory::kLevel, &error)) << error;
  ASSERT_TRUE(WritePng(dir + "/b.png", b, FrameDirectory::kLevel, &error)) << error;

  FrameDirectory frames;
  ASSERT_TRUE(frames.Open(dir + "/frames", &error)) << error;
  FrameWriter::Outputs outputs;
  outputs.frames = &frames;
  {
    FrameWriter writer;
    writer.Start(outputs);
    for (int64_t k : {5, 6, 7}) EXPECT_TRUE(writer.Add(k, shotA));
    EXPECT_TRUE(writer.Add(8, shotB));
    int status = 0;
    EXPECT_TRUE(writer.Finish(&error, &status)) << error;
  }
  const std::string bytesA = vantor_test::ReadText(dir + "/a.png"), bytesB = vantor_test::ReadText(dir + "/b.png");
  for (int k : {5, 6, 7}) EXPECT_EQ(vantor_test::ReadText(dir + "/frames/" + FrameDirectory::FileName(k)), bytesA) << k;
  EXPECT_EQ(vantor_test::ReadText(dir + "/frames/" + FrameDirectory::FileName(8)), bytesB);

  // The directory gone: the writer stops and says why, with the capture's status.
  std::filesystem::remove_all(dir + "/frames");
  {
    FrameWriter writer;
    writer.Start(outputs);
    for (int64_t k = 0; k < 40 && writer.Add(k, shotA); ++k) {
    }
    int status = 0;
    error.clear();
    EXPECT_FALSE(writer.Finish(&error, &status));
    EXPECT_EQ(status, kExitCannotCreate);
    EXPECT_NE(error.find("frames"), std::string::npos) << error;
  }
  std::filesystem::remove_all(dir);
}

TEST(CaptureFiles, ProgramsAreFoundOnThePath) {
  EXPECT_EQ(FindProgram("sh").empty(), access("/bin/sh", X_OK) != 0 && access("/usr/bin/sh", X_OK) != 0);
  EXPECT_EQ(FindProgram("no-such-program-here"), "");
}

}  // namespace
