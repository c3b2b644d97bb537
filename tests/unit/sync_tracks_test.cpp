// Sync tracks: values between, on and outside keys for each interpolation,
// with every expected value worked out by hand; edits keeping the keys in
// order; the tempo from the property file; the editor's track files and
// project file over hand-made bytes and XML, damaged ones included.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "properties/property_system.h"
#include "shell/debug_system.h"
#include "sync/rocket_project.h"
#include "sync/sync_system.h"
#include "sync/track_file.h"
#include "tests/support/log_lines.h"

using namespace VantorGL;
namespace fs = std::filesystem;

namespace {

constexpr auto kStep = SyncInterpolation::kStep;
constexpr auto kLinear = SyncInterpolation::kLinear;
constexpr auto kSmooth = SyncInterpolation::kSmooth;
constexpr auto kRamp = SyncInterpolation::kRamp;

struct Scratch {
  fs::path dir;
  std::string logPath;
  Scratch() {
    static int serial = 0;
    dir = fs::temp_directory_path() / ("vantor_sync_" + std::to_string(getpid()) + "_" + std::to_string(serial++));
    fs::create_directories(dir);
    logPath = (dir / "debug.log").string();
    cDebugSystem::Instance().Open(logPath.c_str());
  }
  ~Scratch() {
    cDebugSystem::Instance().file.close();
    fs::remove_all(dir);
  }
  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string path = (dir / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::vector<std::string> LogLines() const { return vantor_test::LogLinesAfterBanner(logPath); }
};

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += char(v);
  return out;
}

// Keys as "row:value:interpolation", space-separated.
std::string Listed(const std::vector<SyncKey>& keys) {
  std::string out;
  char buf[64];
  for (const SyncKey& k : keys) {
    std::snprintf(buf, sizeof buf, "%s%u:%g:%d", out.empty() ? "" : " ", k.row, k.value, int(k.interpolation));
    out += buf;
  }
  return out;
}

cPropertySystem Properties(const char* text) {
  cPropertySystem props;
  EXPECT_EQ(props.LoadText(text).status, cPropertySystem::Status::kOk);
  return props;
}

std::string ParseFault(const std::string& bytes, std::vector<SyncKey>& keys) {
  return ParseTrackFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), keys);
}

// Two keys: row 0 value 1.0 linear, row 8 value -2.0 step.
const std::string kTwoKeys = Bytes({2, 0, 0, 0,                                        //
                                    0, 0, 0, 0, 0x00, 0x00, 0x80, 0x3F, 1,            //
                                    8, 0, 0, 0, 0x00, 0x00, 0x00, 0xC0, 0});

}  // namespace

TEST(SyncTrack, EachInterpolationBetweenOnAndOutsideItsKeys) {
  cSyncTrack track("cam:angle");
  // Given out of order: the track keeps them by row.
  track.SetKeys({{20, 0.0f, kRamp}, {0, 0.0f, kLinear}, {40, -2.0f, kLinear}, {10, 10.0f, kSmooth}, {30, 4.0f, kStep}});
  const std::pair<double, float> expected[] = {
      {-5, 0.0f},     // before the first key: its value
      {0, 0.0f},      {2.5, 2.5f},  {7, 7.0f},  // linear 0 -> 10
      {10, 10.0f},    {12, 8.96f},  {15, 5.0f},  {18, 1.04f},  // smooth 10 -> 0: t = 0.2, 0.5, 0.8
      {20, 0.0f},     {25, 1.0f},   {28, 2.56f},  // ramp 0 -> 4: t = 0.5, 0.8
      {30, 4.0f},     {35, 4.0f},   {39.99, 4.0f},  // step holds 4 until the next key
      {40, -2.0f},    {41, -2.0f},  {1e9, -2.0f},  // on and after the last key
  };
  for (const auto& [row, value] : expected) EXPECT_NEAR(track.ValueAt(row), value, 1e-5f) << "row " << row;

  EXPECT_EQ(cSyncTrack("empty").ValueAt(12.5), 0.0f);
  cSyncTrack single("single");
  single.SetKey({5, 7.0f, kLinear});
  for (double row : {0.0, 5.0, 6.0, 100.0}) EXPECT_EQ(single.ValueAt(row), 7.0f) << "row " << row;
}

TEST(SyncTrack, EditsKeepOneKeyPerRowInOrder) {
  cSyncTrack track("fade");
  track.SetKey({20, 2.0f, kLinear});
  track.SetKey({0, 0.0f, kLinear});
  track.SetKey({10, 5.0f, kLinear});   // between: 0 -> 5 -> 2
  EXPECT_NEAR(track.ValueAt(5), 2.5f, 1e-6f);
  EXPECT_NEAR(track.ValueAt(15), 3.5f, 1e-6f);
  track.SetKey({10, 1.0f, kStep});     // the same row: replaced, not added
  EXPECT_EQ(Listed(track.keys()), "0:0:1 10:1:0 20:2:1");
  EXPECT_TRUE(track.DeleteKey(10));
  EXPECT_FALSE(track.DeleteKey(10));
  EXPECT_NEAR(track.ValueAt(15), 1.5f, 1e-6f);  // 0 -> 2 over 20 rows
}

TEST(SyncSystem, TempoFromThePropertyFileOrTheDefault) {
  Scratch scratch;
  cSyncSystem defaults;
  defaults.Configure(Properties("QELPROPERTY\nVERSION 1\n"));  // a file from before sync tracks
  EXPECT_DOUBLE_EQ(defaults.tempo.RowAt(1000), 16.0);  // 120 beats a minute, 8 rows a beat
  EXPECT_DOUBLE_EQ(defaults.tempo.MsAtRow(24), 1500.0);

  cSyncSystem sync;
  sync.UseTrackFiles((scratch.dir / "sync").string());
  sync.Configure(Properties("QELPROPERTY\nSCALE {\nNAME \"SyncRows\"\nXYZ 150 4 0\n}\n"));
  EXPECT_DOUBLE_EQ(sync.tempo.RowAt(2500), 25.0);  // 10 rows a second
  sync.Track("fade");
  cSyncTrack& fade = sync.TrackAt(0);  // the live editor's way in
  fade.SetKey({20, 0.0f, kLinear});
  fade.SetKey({30, 1.0f, kLinear});
  EXPECT_NEAR(sync.ValueAt(fade, 2500), 0.5f, 1e-6f);

  cSyncSystem kept;
  kept.Configure(Properties("QELPROPERTY\nSCALE {\nNAME \"SyncRows\"\nXYZ 0 4\n}\n"));
  EXPECT_DOUBLE_EQ(kept.tempo.RowAt(1000), 16.0);
}

TEST(SyncTrackFile, NamesBytesAndRoundTrip) {
  EXPECT_EQ(TrackFileName("sync", "cam:angle"), "sync_cam-3Aangle.track");
  EXPECT_EQ(TrackFileName("data/Sync/sync", "a b/c.d_e#\xC3\xA9Z9"), "data/Sync/sync_a-20b/c.d_e-23-C3-A9Z9.track");

  std::vector<SyncKey> keys;
  ASSERT_EQ(ParseFault(kTwoKeys, keys), "");
  EXPECT_EQ(Listed(keys), "0:1:1 8:-2:0");
  const std::vector<uint8_t> written = EncodeTrackFile(keys);
  EXPECT_EQ(std::string(written.begin(), written.end()), kTwoKeys);
  EXPECT_EQ(ParseFault(Bytes({0, 0, 0, 0}), keys), "");
  EXPECT_TRUE(keys.empty());
}

TEST(SyncTrackFile, DamagedFilesSayWhatIsWrong) {
  std::vector<SyncKey> keys;
  const std::pair<std::string, const char*> damaged[] = {
      {Bytes({2, 0}), "shorter than its key count"},
      {kTwoKeys.substr(0, kTwoKeys.size() - 1), "ends inside key 1 of the 2 it announces"},
      {Bytes({0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3}), "ends inside key 0 of the 4294967295"},
      {kTwoKeys + '\0', "1 byte after the last key"},
      {kTwoKeys.substr(0, 21) + '\x05', "key 1 has interpolation 5"},
      {kTwoKeys.substr(0, 5) + Bytes({0, 0, 0, 0x00, 0x00, 0xC0, 0x7F, 1}) + kTwoKeys.substr(13),
       "key 0's value is not a finite number"},
      {kTwoKeys.substr(0, 13) + Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0}), "key 1's row 0 does not come after row 0"},
  };
  for (const auto& [bytes, fault] : damaged) {
    keys = {{1, 1.0f, kStep}};
    EXPECT_NE(ParseFault(bytes, keys).find(fault), std::string::npos) << ParseFault(bytes, keys);
    EXPECT_TRUE(keys.empty());
  }
}

TEST(SyncSystemDeathTest, TrackFilesReadAtTheFirstAskMissingOnesLoggedOnce) {
  Scratch scratch;
  const std::string base = (scratch.dir / "sync").string();
  std::string error;
  ASSERT_TRUE(SaveTrackFile(base + "_cam-3Aangle.track", {{0, 1.0f, kLinear}, {8, -2.0f, kStep}}, &error)) << error;
  std::ifstream saved(base + "_cam-3Aangle.track", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(saved), {}), kTwoKeys);

  cSyncSystem sync;
  sync.UseTrackFiles(base);
  const cSyncTrack& angle = sync.Track("cam:angle");
  const cSyncTrack& absent = sync.Track("title:fade");
  EXPECT_EQ(&sync.Track("title:fade"), &absent);
  EXPECT_NEAR(sync.ValueAt(angle, 250), -0.5f, 1e-6f);  // row 4 of 0 -> 8 linear from 1 to -2
  EXPECT_EQ(sync.ValueAt(absent, 250), 0.0f);
  ASSERT_EQ(sync.TrackCount(), 2u);
  EXPECT_EQ(&sync.TrackAt(1), &absent);
  EXPECT_EQ(sync.TrackFileOf(0), base + "_cam-3Aangle.track");
  const auto lines = scratch.LogLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "(cSyncSystem) " + base + "_title-3Afade.track: not found; the track has no keys");

  const std::string bad = scratch.Write("sync_bad.track", kTwoKeys.substr(0, 20));
  EXPECT_EXIT(sync.Track("bad"), ::testing::ExitedWithCode(2), "sync_bad.track: ends inside key 1 of the 2");
}

TEST(SyncProject, TracksKeysAndWhatTheEditorAddsAround) {
  const char* xml = R"(<?xml version="1.0" encoding="utf-8"?>
<sync rows="10000" highlightRowStep="8">
  <tracks>
    <track name="cam:angle" folded="0" color="ffb27474">
      <key row="8" value="-2.5" interpolation="0"/>
      <key row="0" value="1" interpolation="2"/>
    </track>
    <track name="title:fade"/>
  </tracks>
  <bookmarks><bookmark row="3"/></bookmarks>
</sync>
)";
  RocketProject project;
  ASSERT_EQ(ParseRocketProject(xml, project), "");
  EXPECT_EQ(project.rows, 10000u);
  ASSERT_EQ(project.tracks.size(), 2u);
  EXPECT_EQ(project.tracks[0].name + " " + Listed(project.tracks[0].keys), "cam:angle 0:1:2 8:-2.5:0");
  EXPECT_EQ(project.tracks[1].name + Listed(project.tracks[1].keys), "title:fade");

  Scratch scratch;
  cSyncSystem sync;
  sync.UseProject(scratch.Write("show.rocket", xml));
  // Asked in another order than the file's: the index is the order of asking.
  const cSyncTrack& fade = sync.Track("title:fade");
  const cSyncTrack& angle = sync.Track("cam:angle");
  sync.Track("unknown");
  EXPECT_EQ(&sync.TrackAt(0), &fade);
  EXPECT_NEAR(angle.ValueAt(4), -0.75f, 1e-6f);  // smooth, t = 0.5: 1 + (-3.5) * 0.5
  const auto lines = scratch.LogLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("has no track \"unknown\""), std::string::npos) << lines[0];
}

TEST(SyncProjectDeathTest, DamagedProjectsSayWhereAndWhat) {
  const std::pair<const char*, const char*> damaged[] = {
      {"<sync><tracks><track name=\"a\"><key row=\"1\" value=\"2\" interpolation=\"4\"/>",
       "line 1: the key on row 1 of track \"a\" has interpolation \"4\""},
      {"<sync>\n<tracks>\n<track name=\"a\">\n<key value=\"2\" interpolation=\"1\"/></track></tracks></sync>",
       "line 4: a key of track \"a\" without its row"},
      {"<sync><tracks><track name=\"a\"><key row=\"1\" value=\"x\" interpolation=\"1\"/></track></tracks></sync>",
       "has the value \"x\""},
      {"<sync><tracks><track name=\"a\"><key row=\"1\" value=\"1\" interpolation=\"1\"/>"
       "<key row=\"1\" value=\"2\" interpolation=\"1\"/></track></tracks></sync>",
       "two keys on row 1 of track \"a\""},
      {"<sync><tracks><track name=\"a\"/><track name=\"a\"/></tracks></sync>", "two tracks named \"a\""},
      {"<sync><tracks><track name=\"a\"><key row=\"1\" value=\"1\" interp", "line 1: unclosed token"},
      {"<!DOCTYPE sync [<!ENTITY x \"y\">]><sync/>", "a document type declaration"},
      {"<project/>", "the root element is <project>, not <sync>"},
      {"", "line 1: no element found"},
  };
  RocketProject project;
  for (const auto& [xml, fault] : damaged) {
    const std::string said = ParseRocketProject(xml, project);
    EXPECT_NE(said.find(fault), std::string::npos) << xml << "\n -> " << said;
    EXPECT_TRUE(project.tracks.empty());
  }

  Scratch scratch;
  const std::string path = scratch.Write("show.rocket", "<sync><tracks><track name=\"a\"><key row=");
  EXPECT_EXIT(cSyncSystem().UseProject(path), ::testing::ExitedWithCode(2), "show.rocket: line 1: ");
  cSyncSystem missing;
  missing.UseProject((scratch.dir / "absent.rocket").string());
  EXPECT_EQ(missing.Track("a").ValueAt(0), 0.0f);
  missing.Track("b");
  // The missing file, once (beside the line the damaged one's exit left).
  const auto lines = scratch.LogLines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.find("absent.rocket") != std::string::npos; }),
            1);
}
