// The ASE animation loader: line normalisation, which blocks are read, the key
// conversions, tick timing and its guards, lookup, and real exports from Debian's
// assimp-testmodels package.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "scenedata/ase_loader.h"
#include "shell/debug_system.h"
#include "tests/support/ase_reference.h"
#include "tests/support/log_lines.h"

using namespace VantorGL;
namespace fs = std::filesystem;

namespace {

constexpr double R = cFileLoader_ASE::kDegreesPerRadian;

const char* kScene =
    "*3DSMAX_ASCIIEXPORT\t200\n"
    "*SCENE {\n"
    "\t*SCENE_FILENAME \"test.max\"\n"
    "\t*SCENE_FIRSTFRAME 0\n"
    "\t*SCENE_LASTFRAME 100\n"
    "\t*SCENE_FRAMESPEED 30\n"
    "\t*SCENE_TICKSPERFRAME 160\n"
    "}\n";

std::string Track(const char* kind, const std::vector<std::string>& samples) {
  std::string text = std::string("\t\t*CONTROL_") + kind + "_TRACK {\n";
  for (const std::string& s : samples) text += std::string("\t\t\t*CONTROL_") + kind + "_SAMPLE " + s + "\n";
  return text + "\t\t}\n";
}

std::string Animation(const char* name, const std::string& tracks) {
  return std::string("\t*TM_ANIMATION {\n\t\t*NODE_NAME \"") + name + "\"\n" + tracks + "\t}\n";
}

cFileLoader_ASE Read(const std::string& text) {
  cFileLoader_ASE loader;
  loader.LoadText(text);
  return loader;
}

std::vector<std::string> Names(const cFileLoader_ASE& loader) {
  std::vector<std::string> names;
  for (const AnimatedObject& object : loader.objects) names.push_back(object.name);
  return names;
}

// A debug log in a private folder, read back as "(source) text" lines.
struct LogCapture {
  fs::path dir;
  std::string path;
  LogCapture() {
    dir = fs::temp_directory_path() / ("vantor_ase_" + std::to_string(getpid()));
    fs::create_directories(dir);
    path = (dir / "debug.log").string();
    cDebugSystem::Instance().Open(path.c_str());
  }
  ~LogCapture() {
    cDebugSystem::Instance().file.close();
    fs::remove_all(dir);
  }
  std::vector<std::string> Lines() const {
    return vantor_test::LogLinesAfterBanner(path);
  }
};

}  // namespace

TEST(AseNormalise, StarsBlanksAndQuotes) {
  const std::pair<const char*, const char*> cases[] = {
      {"\t*SCENE_FIRSTFRAME 0", "SCENE_FIRSTFRAME:0"},
      {"*NODE_NAME \"Camera01\"", "NODE_NAME:\"Camera01\""},
      {"\t\t}", "}"},
      {"\t*CONTROL_POS_SAMPLE 3200\t-65.8677\t16.1213\t0.0000",
       "CONTROL_POS_SAMPLE:3200:-65.8677:16.1213:0.0000"},
      {"*A\t\tB ", "A::B:"},                         // one ':' per blank, trailing kept
      {"no star  here \"a b\"", "nostarhere\"ab\""},  // without '*' every blank goes
      {"*NODE_NAME \"My Cam\"", "NODE_NAME:\"My Cam\""},
      {"*NODE_NAME \"a*b c\" d", "NODE_NAME:\"ab c\":d"},  // quotes still pair around a '*'
      {"\"x y\" *K \"p q\"", "\"xy\"K:\"p q\""},
  };
  for (const auto& [raw, stored] : cases) EXPECT_EQ(cFileLoader_ASE::NormaliseLine(raw), stored) << raw;
}

TEST(AseParse, CameraTracksConversionsAndTiming) {
  LogCapture log;
  const std::string text =
      std::string(kScene) + "*CAMERAOBJECT {\n\t*NODE_NAME \"Camera01\"\n" +
      Animation("Camera01",
                Track("POS", {"0\t10.0\t20.0\t30.0", "3200\t1\t2\t3", "16000\t0\t0\t0",
                              "4800\t0\t0\t0", "160\t0\t0\t0"}) +
                    Track("ROT", {"0\t0.0\t0.0\t1.0\t0.5", "4800\t1\t-1\t0\t2"})) +
      Animation("Camera01.Target", Track("POS", {"0\t-1\t-2\t-3"})) + "}\n";
  auto loader = Read(text);
  ASSERT_EQ(Names(loader),
            (std::vector<std::string>{"Camera01", "Camera01.Rotation", "Camera01.Target"}));

  const AnimatedObject& camera = loader.Find("Camera01");
  ASSERT_EQ(camera.count, 5);
  EXPECT_EQ(camera.keyTimes[0], 0);
  EXPECT_EQ(camera.keyValues[0], (std::array<double, 3>{10.0, 30.0, -20.0}));  // (x, z, -y)
  EXPECT_EQ(camera.keyTimes[1], 666) << "truncated, not rounded";
  EXPECT_EQ(camera.keyTimes[2], 3333);
  EXPECT_EQ(camera.keyTimes[3], 1000);
  EXPECT_EQ(camera.keyTimes[4], 33);

  const AnimatedObject& rotation = loader.Find("Camera01.Rotation");
  ASSERT_EQ(rotation.count, 2);
  EXPECT_EQ(rotation.keyValues[0], (std::array<double, 3>{0.0, 0.0, 57.29577951308232}));
  EXPECT_EQ(rotation.keyTimes[1], 1000);
  EXPECT_EQ(rotation.keyValues[1], (std::array<double, 3>{R, -R, 0.0}));

  EXPECT_EQ(loader.Find("Camera01.Target").keyValues[0], (std::array<double, 3>{-1, -3, 2}));
  EXPECT_EQ(loader.lines[loader.lines.size() - 3], "checked");  // the target track's brace

  EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                             "(cFileLoader_ASE - Loading objects: ) Camera01",
                             "(cFileLoader_ASE - Loading objects: ) Camera01.Rotation",
                             "(cFileLoader_ASE - Loading objects: ) Camera01.Target"}));
}

TEST(AseParse, WhichAnimationBlocksAreRead) {
  const std::string before = "*GEOMOBJECT {\n" + Animation("Early", Track("POS", {"0 1 2 3"})) + "}\n";
  const std::string scaleFirst =
      "*GEOMOBJECT {\n\t*TM_ANIMATION {\n\t\t*NODE_NAME \"Box\"\n"
      "\t\t*CONTROL_SCALE_TRACK {\n\t\t\t*CONTROL_SCALE_SAMPLE 0 1 1 1 0 0 0 0\n\t\t}\n" +
      Track("POS", {"0 1 2 3"}) + "\t}\n}\n";
  auto loader = Read(std::string(kScene) + before + "*CAMERAOBJECT {\n}\n" +
                     "*GEOMOBJECT {\n" + Animation("Mesh", Track("POS", {"0 1 2 3"})) + "}\n" +
                     scaleFirst + "*GEOMOBJECT {\n" + Animation("Mesh", Track("POS", {})) +
                     "}\n" + "*GEOMOBJECT {\n" + Animation("Bare", Track("ROT", {})) + "}\n");
  // Before the camera: skipped. A mesh after it: read. A scale track ends its block, so
  // the position track after it is skipped. Tracks without samples keep an empty name.
  EXPECT_EQ(Names(loader), (std::vector<std::string>{"Mesh", "", ""}));
  EXPECT_EQ(loader.FindObject("Early"), nullptr);
  EXPECT_EQ(loader.FindObject("Box"), nullptr);
  EXPECT_EQ(loader.objects[1].count, 0);
  EXPECT_EQ(loader.currentName, "Bare.Rotation");
}

TEST(AseParse, DuplicateNamesFirstWins) {
  auto loader = Read(std::string(kScene) + "*CAMERAOBJECT {\n" +
                     Animation("Cam", Track("POS", {"0 1 0 0"})) +
                     Animation("Cam", Track("POS", {"0 2 0 0"})) + "}\n");
  ASSERT_EQ(loader.objects.size(), 2u);
  EXPECT_EQ(loader.Find("Cam").keyValues[0][0], 1.0);
}

TEST(AseParse, UnusableTimingSkipsTheKeyWithOneLogLine) {
  LogCapture log;
  auto early = Read("*CAMERAOBJECT {\n" + Animation("C", Track("POS", {"0 1 2 3"})) + "}\n" +
                    kScene + "*CAMERAOBJECT {\n" + Animation("D", Track("POS", {"160 1 2 3"})));
  ASSERT_EQ(early.objects.size(), 2u);
  EXPECT_EQ(early.objects[0].name, "C");  // named, but without the key
  EXPECT_EQ(early.objects[0].count, 0);
  EXPECT_EQ(early.objects[1].count, 1);

  auto timing = [](const char* first, const char* last, const char* speed, const char* ticks) {
    return std::string("*SCENE {\n*SCENE_FIRSTFRAME ") + first + "\n*SCENE_LASTFRAME " + last +
           "\n*SCENE_FRAMESPEED " + speed + "\n*SCENE_TICKSPERFRAME " + ticks + "\n}\n";
  };
  const std::string samples = "*CAMERAOBJECT {\n" +
                              Animation("C", Track("POS", {"2147483 0 0 0", "2147484 0 0 0"})) + "}\n";
  EXPECT_EQ(Read(timing("0", "100", "0", "160") + samples).objects[0].count, 0);
  EXPECT_EQ(Read(timing("7", "7", "30", "160") + samples).objects[0].count, 0);
  EXPECT_EQ(Read(timing("0", "100", "30", "0") + samples).objects[0].count, 0);
  EXPECT_EQ(Read(timing("0", "100", "30", "x") + samples).objects[0].count, 0);
  auto overflow = Read(timing("0", "100", "1", "1") + samples);
  ASSERT_EQ(overflow.objects[0].count, 1) << "tick * 1000 beyond 32 bits is skipped";
  EXPECT_EQ(overflow.objects[0].keyTimes[0], 2147483000);

  const auto lines = log.Lines();
  ASSERT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.rfind("(cFileLoader_ASE) ", 0) == 0; }),
            10);
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "(cFileLoader_ASE) line 5: sample skipped, the scene timing is not complete"),
            lines.end());
}

TEST(AnimatedObject, StartsWithTenSlotsAndGrowsByFive) {
  AnimatedObject object;
  EXPECT_EQ(object.capacity, 10);
  EXPECT_EQ(object.count, 0);
  EXPECT_TRUE(object.name.empty());
  for (int i = 0; i < 11; ++i) object.AddKey(i, i, -i, 2 * i);
  EXPECT_EQ(object.capacity, 15);
  for (int i = 11; i < 16; ++i) object.AddKey(i, i, -i, 2 * i);
  EXPECT_EQ(object.capacity, 20);
  EXPECT_EQ(object.count, 16);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(object.keyTimes[i], i);
    EXPECT_EQ(object.keyValues[i], (std::array<double, 3>{double(i), double(-i), 2.0 * i}));
  }
  AnimatedObject copy = object;
  copy.SetName("copy");
  EXPECT_EQ(copy.count, 16);
  EXPECT_EQ(copy.keyValues[15][2], 30.0);
  EXPECT_TRUE(object.name.empty());
}

TEST(AseDeathTest, MissingObjectAndMissingFile) {
  LogCapture log;
  cFileLoader_ASE loader;
  loader.Load((log.dir / "absent.ase").string());
  EXPECT_TRUE(loader.objects.empty());
  ASSERT_EQ(log.Lines().size(), 1u);
  EXPECT_NE(log.Lines()[0].find("cannot open"), std::string::npos);
  EXPECT_EXIT(loader.Find("Camera01"), ::testing::ExitedWithCode(2),
              "absent.ase: no animated object named \"Camera01\"");
  // The line that ended it is in the log too.
  ASSERT_EQ(log.Lines().size(), 2u);
  EXPECT_EQ(log.Lines()[1], "(exit) status 2: " + (log.dir / "absent.ase").string() +
                                ": no animated object named \"Camera01\"");
}

namespace {
const fs::path kModels = "/usr/share/assimp/models/ASE";
}

TEST(AseFixtures, TargetCameraExport) {
  ASSERT_TRUE(fs::exists(kModels)) << kModels << " is missing: apt-get install assimp-testmodels";
  cFileLoader_ASE loader;
  loader.Load((kModels / "TargetCameraAnim.ase").string());
  ASSERT_EQ(Names(loader),
            (std::vector<std::string>{"Camera01", "Camera01.Rotation", "Camera01.Target"}));
  const AnimatedObject& camera = loader.Find("Camera01");
  ASSERT_EQ(camera.count, 61);
  // Last sample: tick 14400 at 0..300 frames, 30 frames/s, 160 ticks/frame.
  EXPECT_EQ(camera.keyTimes[60], 3000);
  EXPECT_EQ(camera.keyValues[60], (std::array<double, 3>{-65.8677, -90.2682, -16.1213}));
  const AnimatedObject& rotation = loader.Find("Camera01.Rotation");
  ASSERT_EQ(rotation.count, 91);
  EXPECT_DOUBLE_EQ(rotation.keyValues[0][0], -36.371360834904664);
  EXPECT_DOUBLE_EQ(rotation.keyValues[0][1], 31.30641392594818);
  EXPECT_EQ(rotation.keyTimes[1], 33);
  EXPECT_DOUBLE_EQ(rotation.keyValues[1][1], -56.6540667825358);
  const AnimatedObject& target = loader.Find("Camera01.Target");
  ASSERT_EQ(target.count, 31);
  EXPECT_EQ(target.keyTimes[30], 2000);
  EXPECT_EQ(target.keyValues[30], (std::array<double, 3>{100.41, 0.0, -28.2159}));
}

TEST(AseFixtures, CameraWithAnimatedChildAndMotionCapture) {
  ASSERT_TRUE(fs::exists(kModels)) << kModels << " is missing: apt-get install assimp-testmodels";
  cFileLoader_ASE loader;
  loader.Load((kModels / "CameraRollAnimWithChildObject.ase").string());
  // The camera has a rotation track only; a mesh animated after it is read too.
  ASSERT_EQ(Names(loader),
            (std::vector<std::string>{"Camera01.Rotation", "Camera01.Target", "Box02"}));
  EXPECT_EQ(loader.objects[0].count, 121);
  EXPECT_EQ(loader.objects[0].keyTimes[120], 4000);
  EXPECT_DOUBLE_EQ(loader.objects[0].keyValues[120][0], 56.14986392282068);
  EXPECT_EQ(loader.objects[1].count, 101);
  EXPECT_EQ(loader.objects[2].count, 94);
  EXPECT_EQ(loader.objects[2].keyTimes[93], 3100);
  EXPECT_EQ(loader.objects[2].keyValues[93], (std::array<double, 3>{56.9942, -139.9766, -10.6803}));

  cFileLoader_ASE capture;  // a skeleton without any camera: nothing is read
  capture.Load((kModels / "MotionCaptureROM.ase").string());
  EXPECT_TRUE(capture.objects.empty());
  EXPECT_EQ(capture.lines.size(), 19837u);
}

using vantor_test::ReferenceAseNormalise;

TEST(AseNormalise, AgreesWithThePlainRulesOnRandomLines) {
  // Long lines go through the wide paths, so quotes, stars, CRs and line ends must land
  // at every offset within a 16-byte block.
  const char alphabet[] = {'*', '"', ' ', '\t', 'a', '1', ':', '\r', '.', '-'};
  uint32_t state = 12345;
  auto next = [&] { return state = state * 1664525u + 1013904223u; };
  std::string file, expected;
  std::vector<std::string> expectedLines;
  for (int n = 0; n < 3000; ++n) {
    std::string raw = (next() % 3) ? "\t\t*KEY" : "";
    const size_t length = next() % 100;
    for (size_t i = 0; i < length; ++i) {
      const uint32_t r = next() % 40;
      raw += r < 10 ? alphabet[r] : char('b' + r % 20);
    }
    ASSERT_EQ(cFileLoader_ASE::NormaliseLine(raw), ReferenceAseNormalise(raw)) << raw;
    file += raw + ((n % 7) ? "\n" : "\r\n");
    std::string_view stored = raw;
    expectedLines.push_back(ReferenceAseNormalise(stored));
  }
  cFileLoader_ASE loader;
  loader.ReadLines(file);
  ASSERT_EQ(loader.lines.size(), expectedLines.size());
  for (size_t i = 0; i < expectedLines.size(); ++i)
    ASSERT_EQ(loader.lines[i], expectedLines[i]) << "line " << i + 1;
}

TEST(AseRead, LineEndsAndOverlongLine) {
  LogCapture log;
  cFileLoader_ASE loader;
  loader.ReadLines("*A 1\r\n*B\r\r\n\n*C \"x\"\r" + std::string("\n*") + std::string(126, 'y') +
                   "\n*" + std::string(127, 'z') + "\n*D\n");
  ASSERT_EQ(loader.lines.size(), 5u);
  EXPECT_EQ(loader.lines[0], "A:1");
  EXPECT_EQ(loader.lines[1], "B\r");
  EXPECT_EQ(loader.lines[2], "");
  EXPECT_EQ(loader.lines[3], "C:\"x\"");
  EXPECT_EQ(loader.lines[4], std::string(126, 'y'));
  EXPECT_EQ(log.Lines(), std::vector<std::string>{
                             "(cFileLoader_ASE) line 6 is longer than 127 characters; reading stops there"});
}

TEST(AseParse, ReadingAndParsingTogetherMatchesTheStepsApart) {
  ASSERT_TRUE(fs::exists(kModels)) << kModels << " is missing: apt-get install assimp-testmodels";
  std::ifstream in(kModels / "CameraRollAnimWithChildObject.ase", std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  cFileLoader_ASE together, apart;
  together.LoadText(text);
  apart.ReadLines(text);
  apart.Parse();
  ASSERT_EQ(Names(together), Names(apart));
  for (size_t i = 0; i < together.objects.size(); ++i) {
    EXPECT_EQ(together.objects[i].count, apart.objects[i].count);
    EXPECT_EQ(together.objects[i].keyTimes, apart.objects[i].keyTimes);
    EXPECT_EQ(together.objects[i].keyValues, apart.objects[i].keyValues);
  }
  ASSERT_EQ(together.lines.size(), apart.lines.size());
  for (size_t i = 0; i < together.lines.size(); ++i) EXPECT_EQ(together.lines[i], apart.lines[i]);
}
