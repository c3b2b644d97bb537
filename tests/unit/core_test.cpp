// The clock's arithmetic, the log's line format, music-time texts, scene windows,
// path resolution, where installed data and its log are looked for, and the
// bounds-checked reader.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/clock.h"
#include "scenedata/byte_reader.h"
#include "scenes/scene_system.h"
#include "shell/debug_system.h"
#include "shell/file_paths.h"
#include "shell/show_data.h"
#include "shell/timer.h"

using namespace VantorGL;
namespace fs = std::filesystem;

namespace {
// A driven performance counter at 1 MHz (1000 ticks per millisecond).
struct DrivenClock {
  int64_t ticks = 0;
  DrivenClock() { platform::SetClockSource([this] { return ticks; }, 1'000'000); }
  ~DrivenClock() { platform::ResetClockSource(); }
  void SetMs(int64_t ms) { ticks = ms * 1000; }
};
}  // namespace

TEST(Timer, ReadingsAndDifferencesWrapAt32Bits) {
  DrivenClock clock;
  clock.SetMs(int64_t{INT32_MAX} - 10);
  cTimer timer;
  EXPECT_EQ(timer.ticksPerUnit, 1000);
  EXPECT_EQ(timer.startMs, INT32_MAX - 10);
  EXPECT_EQ(timer.deltaMs, 0);
  EXPECT_EQ(timer.sinceStartMs, 0);

  clock.SetMs(int64_t{INT32_MAX} + 20);  // 30 ms later, past the 32-bit wrap
  timer.Tick();
  EXPECT_EQ(timer.nowMs, INT32_MIN + 19);
  EXPECT_EQ(timer.deltaMs, 30);
  EXPECT_EQ(timer.sinceStartMs, 30);

  clock.SetMs(int64_t{INT32_MAX} + 36);
  timer.Tick();
  EXPECT_EQ(timer.deltaMs, 16);
  EXPECT_EQ(timer.sinceStartMs, 46);

  timer.Restart();
  EXPECT_EQ(timer.sinceStartMs, 0);
  EXPECT_EQ(timer.deltaMs, 0);
  EXPECT_EQ(timer.lastMs, timer.nowMs);
}

TEST(Timer, ReadingTruncatesTowardsZero) {
  DrivenClock clock;
  clock.ticks = 1999;  // 1.999 ms
  cTimer timer;
  EXPECT_EQ(timer.nowMs, 1);
  clock.ticks = -1999;
  timer.Tick();
  EXPECT_EQ(timer.nowMs, -1);
}

TEST(DebugLog, LineFormatFloatsAndReplacement) {
  const fs::path dir = fs::temp_directory_path() / ("vantor_log_" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string path = (dir / "debug.log").string();
  { std::ofstream(path) << "old contents\n"; }

  cDebugSystem& log = cDebugSystem::Instance();
  ASSERT_TRUE(log.Open(path.c_str()));
  log.Log("cPropertySystem", "a comment");
  log.LogText("Font OK!", "cResources");
  log.Log("cParticleSystem", 0.5f);
  log.enabled = false;
  log.Log("cResources", "not written");
  log.enabled = true;

  std::ifstream in(path);
  std::stringstream all;
  all << in.rdbuf();
  const std::string stamp = "[" + std::to_string(cTimer::Instance().sinceStartMs) + "]";
  std::istringstream lines(all.str());
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line.rfind(stamp + "(cDebugSystem) VantorGL engine ", 0), 0u) << line;
  std::getline(lines, line);
  EXPECT_EQ(line, stamp + "(cPropertySystem) a comment");
  std::getline(lines, line);
  EXPECT_EQ(line, stamp + "(cResources) Font OK!");
  std::getline(lines, line);
  EXPECT_EQ(line, stamp + "(cParticleSystem) 0.500000");
  EXPECT_FALSE(std::getline(lines, line)) << "unexpected: " << line;
  EXPECT_EQ(all.str().find("old contents"), std::string::npos);
  log.file.close();
  fs::remove_all(dir);
}

TEST(MusicTime, Texts) {
  EXPECT_EQ(ParseMusicTime("0:00.0"), 0);
  EXPECT_EQ(ParseMusicTime("0:47.0"), 47000);
  EXPECT_EQ(ParseMusicTime("1:00.0"), 60000);
  EXPECT_EQ(ParseMusicTime("1:30.0"), 90000);
  EXPECT_EQ(ParseMusicTime("0:01.5"), 1005);
  EXPECT_EQ(ParseMusicTime("1:2:03.0"), 123000);
  EXPECT_EQ(ParseMusicTime("1:30"), 90);
  EXPECT_EQ(ParseMusicTime(""), 0);
}

namespace {
struct CountingScene : cSceneSystem {
  int updates = 0, draws = 0;
  void Update() override { ++updates; }
  void Draw() override { ++draws; }
};
}  // namespace

TEST(SceneWindow, BothEndsIncludedAndOriginAtFirstRun) {
  DrivenClock clock;
  clock.SetMs(5000);
  cTimer& timer = cTimer::Instance();
  timer = cTimer();  // re-read the driven counter

  CountingScene scene;
  scene.SetTimeWindow("0:01.0", "0:02.0");
  EXPECT_EQ(scene.windowStartMs, 1000);
  EXPECT_EQ(scene.windowEndMs, 2000);

  auto frame = [&](int64_t ms) {
    RunUpdate(scene);
    clock.SetMs(ms);
    timer.Tick();
    RunDraw(scene);
  };
  frame(5999);  // origin 5000, elapsed 0
  EXPECT_EQ(scene.originMs, 5000);
  EXPECT_EQ(scene.updates, 0);
  frame(6000);  // update sees elapsed 999
  EXPECT_EQ(scene.updates, 0);
  EXPECT_EQ(scene.draws, 0) << "draw reuses the update's elapsed time";
  frame(7000);  // elapsed 1000: start included
  EXPECT_EQ(scene.updates, 1);
  EXPECT_EQ(scene.draws, 1);
  EXPECT_EQ(scene.activeMs, 1);  // the delta of the tick before this update
  frame(7001);  // elapsed 2000: end included, already finished
  EXPECT_EQ(scene.updates, 2);
  EXPECT_TRUE(scene.IsFinished());
  frame(7002);  // elapsed 2001
  EXPECT_EQ(scene.updates, 2);
  EXPECT_EQ(scene.activeMs, 1001);

  scene.alwaysActive = true;
  frame(9000);
  EXPECT_EQ(scene.updates, 3);
  scene.disabled = true;
  frame(9500);
  EXPECT_EQ(scene.updates, 3) << "disabled wins over alwaysActive";
  EXPECT_EQ(scene.draws, 3);
  timer = cTimer();
}

TEST(SceneWindow, DrawFirstTakesTheOrigin) {
  CountingScene scene;
  scene.SetTimeWindow("0:00.0", "0:01.0");
  scene.elapsedMs = 12345;
  RunDraw(scene);
  EXPECT_FALSE(scene.firstFrame);
  EXPECT_EQ(scene.elapsedMs, 0);
  EXPECT_EQ(scene.draws, 1);
}

TEST(Paths, CaseAndSeparatorsIgnoredWhereTheExactPathIsMissing) {
  const fs::path dir = fs::temp_directory_path() / ("vantor_paths_" + std::to_string(getpid()));
  fs::create_directories(dir / "data" / "General");
  { std::ofstream(dir / "data" / "General" / "x.png") << "x"; }
  const fs::path old = fs::current_path();
  fs::current_path(dir);
  EXPECT_EQ(ResolvePath("data/General/x.png"), "data/General/x.png");
  EXPECT_EQ(ResolvePath("Data/General/X.png"), "data/General/x.png");
  EXPECT_EQ(ResolvePath("Data\\general\\x.PNG"), "data/General/x.png");
  EXPECT_EQ(ResolvePath("./DATA/./General/x.png"), "data/General/x.png");
  EXPECT_EQ(ResolvePath("data/General/y.png"), "data/General/y.png");
  EXPECT_FALSE(ReadFileBytes("data/General/y.png"));
  auto bytes = ReadFileBytes("DATA\\GENERAL\\X.PNG");
  ASSERT_TRUE(bytes);
  EXPECT_EQ(bytes->size(), 1u);
  EXPECT_FALSE(ReadFileBytes("data/General/x.png", 0)) << "over the size cap";
  fs::current_path(old);
  fs::remove_all(dir);
}

// The games layout and the XDG base directory rules, as Debian has them.
TEST(Paths, InstalledDataBesideTheProgramItsLogUnderTheUsersState) {
  EXPECT_EQ(InstalledDataDirectory("/usr/games/tessaly", "tessaly"), "/usr/share/games/tessaly");
  EXPECT_EQ(InstalledDataDirectory("/tmp/x/usr/games/tessaly-capture", "tessaly"), "/tmp/x/usr/share/games/tessaly");
  EXPECT_EQ(ShowStateDirectory("/var/st", "/home/u", "tessaly"), "/var/st/tessaly");
  EXPECT_EQ(ShowStateDirectory(nullptr, "/home/u", "tessaly"), "/home/u/.local/state/tessaly");
  EXPECT_EQ(ShowStateDirectory("", "/home/u", "tessaly"), "/home/u/.local/state/tessaly");
  EXPECT_EQ(ShowStateDirectory("st", "/home/u", "tessaly"), "/home/u/.local/state/tessaly") << "relative: ignored";
  EXPECT_EQ(ShowStateDirectory(nullptr, nullptr, "tessaly"), "");
}

TEST(ByteReader, NeverReadsPastTheEnd) {
  const uint8_t bytes[] = {0x4d, 0x4d, 0x10, 0, 0, 0, 'a', 'b', 0, 'c', 'd'};
  ByteReader r(bytes, sizeof bytes);
  EXPECT_EQ(r.U16(), 0x4d4d);
  EXPECT_EQ(r.U32(), 0x10u);
  std::string name;
  EXPECT_TRUE(r.Name(name, 80));
  EXPECT_EQ(name, "ab");
  EXPECT_FALSE(r.Name(name, 80)) << "no terminator in reach";
  EXPECT_EQ(r.position(), 9u);
  ByteReader sub = r.Sub(10);
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(sub.size(), 2u);
  EXPECT_EQ(sub.U32(), 0u);
  EXPECT_FALSE(sub.ok());
  EXPECT_TRUE(r.AtEnd());
  ByteReader limited(bytes + 6, 3);
  EXPECT_FALSE(limited.Name(name, 1)) << "name longer than the limit";
}

TEST(SceneWindow, DrawsThisFrameAgreesWithRunDraw) {
  CountingScene scene;
  scene.SetTimeWindow("0:01.0", "0:02.0");
  EXPECT_FALSE(DrawsThisFrame(scene)) << "not run yet: its time would be 0";
  scene.SetTimeWindow("0:00.0", "0:02.0");
  EXPECT_TRUE(DrawsThisFrame(scene));
  RunDraw(scene);
  EXPECT_EQ(scene.draws, 1);
  scene.elapsedMs = 2001;
  EXPECT_FALSE(DrawsThisFrame(scene));
  RunDraw(scene);
  EXPECT_EQ(scene.draws, 1);
  scene.alwaysActive = true;
  EXPECT_TRUE(DrawsThisFrame(scene));
  scene.disabled = true;
  EXPECT_FALSE(DrawsThisFrame(scene));
}
