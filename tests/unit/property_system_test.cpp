// The property file reader: line normalisation, the header and version rules, the
// brace check, the value kinds, block bookkeeping, relative positions, FindFile and
// the exit statuses.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "properties/property_system.h"
#include "shell/debug_system.h"
#include "tests/support/log_lines.h"

using namespace VantorGL;
namespace fs = std::filesystem;

namespace {

using Status = cPropertySystem::Status;

// Reads `text` (the header is prepended) and expects it to be accepted.
cPropertySystem Read(const std::string& text, bool header = true) {
  cPropertySystem props;
  const auto result = props.LoadText((header ? "QELPROPERTY\n" : "") + text);
  EXPECT_EQ(result.status, Status::kOk) << result.cause;
  return props;
}

// A private folder and a debug log inside it, read back as "(source) text" lines
// without the time stamps and the banner.
struct Scratch {
  fs::path dir;
  std::string logPath;
  Scratch() {
    static int serial = 0;
    dir = fs::temp_directory_path() /
          ("vantor_props_" + std::to_string(getpid()) + "_" + std::to_string(serial++));
    fs::create_directories(dir);
    logPath = (dir / "debug.log").string();
    cDebugSystem::Instance().Open(logPath.c_str());
  }
  ~Scratch() {
    cDebugSystem::Instance().file.close();
    fs::remove_all(dir);
  }
  std::string Write(const std::string& name, const std::string& text) const {
    const std::string path = (dir / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  std::vector<std::string> LogLines() const {
    return vantor_test::LogLinesAfterBanner(logPath);
  }
};

}  // namespace

TEST(PropertyNormalise, BlanksQuotesCommentsAndTrailingColons) {
  const std::pair<const char*, const char*> cases[] = {
      {"   POSITION {", "POSITION:{"},
      {"XYZ   1.5  -2   0   ", "XYZ:1.5:-2:0"},
      {"NAME \"Logo one\"", "NAME:\"Logo one\""},
      {"ALPHA 0.5 # half", "ALPHA:0.5:# half"},
      {"  # sky colours", "# sky colours"},
      {"\t# tabbed  comment:", "# tabbed  comment"},   // trailing ':' goes in comments too
      {"XYZ:  1 \t 2", "XYZ:1:2"},                      // blanks after a written ':' vanish
      {"XYZ :1", "XYZ::1"},
      {"NAME \"a # b\"  c", "NAME:\"a # b\"  c"},       // '#' stops it even inside quotes
      {"A ::  ", "A"},
      {" \t  ", ""},
      {"NAME \"a b:", "NAME:\"a b"},                    // quotes still pair after the ':' is cut
      {"DESC \"x y\" z \"p  q\"", "DESC:\"x y\":z:\"p  q\""},
  };
  for (const auto& [raw, stored] : cases) EXPECT_EQ(cPropertySystem::NormaliseLine(raw), stored) << raw;
}

TEST(PropertyRead, LineEndsEmptyLinesAndOverlongLine) {
  cPropertySystem props;
  props.ReadLines("QELPROPERTY\r\n\n  \nFILE { \r\r\nNAME \"x\"");
  EXPECT_EQ(props.lines, (std::vector<std::string>{"QELPROPERTY", "", "", "FILE:{:\r", "NAME:\"x\""}));

  Scratch scratch;
  cPropertySystem cut;
  const std::string longLine(128, 'x');
  cut.ReadLines("A\n" + std::string(127, 'y') + "\n" + longLine + "\nB\n");
  ASSERT_EQ(cut.lines.size(), 2u);
  EXPECT_EQ(cut.lines[1], std::string(127, 'y'));
  EXPECT_EQ(scratch.LogLines(), std::vector<std::string>{
                                    "(cPropertySystem) line 3 is longer than 127 characters; "
                                    "reading stops there"});
}

TEST(PropertyParse, HeaderKeywordCaseAndVersion) {
  // Lines before the header are ignored, also a wrong version; keywords ignore case.
  auto props = Read("FILE {\nNAME \"early\"\n}\nVERSION 2\nqelProperty\nVersion 1\n"
                    "fIlE {\nnAmE \"Logo\"\n}\n",
                    false);
  ASSERT_EQ(props.files.size(), 1u);
  EXPECT_EQ(props.files[0].name, "Logo");
  EXPECT_EQ(props.files[0].id, 0);
  EXPECT_EQ(props.FindFileRecord("logo"), nullptr) << "names are case-sensitive";

  cPropertySystem bad;
  const auto result = bad.LoadText("QELPROPERTY\nVERSION 2\nFILE {\nNAME \"a\"\n}\n");
  EXPECT_EQ(result.status, Status::kBadVersion);
  EXPECT_TRUE(bad.files.empty()) << "the reading stops at the VERSION line";

  cPropertySystem unreadable;
  EXPECT_EQ(unreadable.LoadText("QELPROPERTY\nVERSION one\n").status, Status::kBadVersion);
  EXPECT_EQ(Read("VERSION 1.5\n").files.size(), 0u);  // reads 1

  // Every keyword in lower case, so every letter a keyword holds is folded.
  auto lower = Read(
      "qelproperty\nversion 1\n"
      "color {\nname \"warm\"\ndesc \"sun\"\nrgb 0.25 0.5 0.75\nalpha 0.5\n}\n"
      "rotation {\nxyz 1 2 3\nangle 45\nspeed -3\n}\n"
      "position {\nname \"a\"\nxyz 1 0 0\n}\n"
      "position {\nname \"b\"\nxyz 0 1 0\nrelative_xyz \"a\"\nrelative_xyz_offset 9\n}\n"
      "scale {\nxyz 2\n}\n"
      "file {\nname \"logo\"\nfilename \"x.png\"\nrescale 2.5\n}\n"
      "time {\ntime_long 1200\nrelative_time_name \"start\"\nrelative_time_offset_long 7\n}\n",
      false);
  ASSERT_EQ(lower.colours.size(), 1u);
  EXPECT_EQ(lower.colours[0].name, "warm");
  EXPECT_EQ(lower.colours[0].description, "sun");
  EXPECT_EQ(lower.colours[0].blue, 0.75f);
  EXPECT_EQ(lower.colours[0].alpha, 0.5f);
  ASSERT_EQ(lower.rotations.size(), 1u);
  EXPECT_EQ(lower.rotations[0].z, 3.0f);
  EXPECT_EQ(lower.rotations[0].angle, 45.0f);
  EXPECT_EQ(lower.rotations[0].speed, -3.0f);
  ASSERT_EQ(lower.positions.size(), 2u);
  EXPECT_EQ(lower.positions[1].x, 1.0f) << "relative to a";
  EXPECT_EQ(lower.positions[1].y, 1.0f);
  ASSERT_EQ(lower.scales.size(), 1u);
  EXPECT_EQ(lower.scales[0].z, 2.0f);
  ASSERT_EQ(lower.files.size(), 1u);
  EXPECT_EQ(lower.FindFile("logo").fileName, "x.png");
  EXPECT_EQ(lower.files[0].rescale, 2.5f);
  ASSERT_EQ(lower.times.size(), 1u);
  EXPECT_EQ(lower.times[0].time, 1200);
  EXPECT_EQ(lower.times[0].relativeTimeName, "start");
}

TEST(PropertyParse, BracesCountEverywhereAndComeFirst) {
  cPropertySystem quoted;
  EXPECT_EQ(quoted.LoadText("QELPROPERTY\nFILE {\nDESC \"a { b\"\n}\n").status,
            Status::kUnbalancedBraces);
  cPropertySystem comment;
  EXPECT_EQ(comment.LoadText("QELPROPERTY\n# } closing\n").status, Status::kUnbalancedBraces);
  // Checked before the header and version: a bad version is not reached.
  cPropertySystem first;
  const auto result = first.LoadText("VERSION 7\n{\nQELPROPERTY\nVERSION 2\n");
  EXPECT_EQ(result.status, Status::kUnbalancedBraces);
  EXPECT_EQ(result.cause, "unbalanced braces (1 \"{\", 0 \"}\")");
}

TEST(PropertyParse, ValueKinds) {
  auto props = Read(
      "COLOR {\nNAME \"one\"\nRGB 1\nALPHA 0.5 # half\n}\n"
      "SCALE {\nXYZ 1 2\n}\n"
      "ROTATION {\nXYZ +1e1 -2.5 3:ignored\nANGLE 45\nSPEED -3\n}\n"
      "FILE {\nNAME \"Logo\" # note\nFILENAME \"data/a b.png\"\nRESCALE 2.5\n}\n"
      "FILE {\nNAME Logo\n}\n"
      "FILE {\nNAME\nFILENAME \"\n}\n"
      "TIME {\nTIME_LONG -1200\nRELATIVE_TIME_NAME \"start\"\n}\n");
  ASSERT_EQ(props.colours.size(), 1u);
  EXPECT_EQ(props.colours[0].red, 1.0f);
  EXPECT_EQ(props.colours[0].green, 1.0f);
  EXPECT_EQ(props.colours[0].blue, 1.0f);
  EXPECT_EQ(props.colours[0].alpha, 0.5f);
  ASSERT_EQ(props.scales.size(), 1u);
  EXPECT_EQ(props.scales[0].x, 1.0f);
  EXPECT_EQ(props.scales[0].y, 2.0f);
  EXPECT_EQ(props.scales[0].z, 2.0f);
  ASSERT_EQ(props.rotations.size(), 1u);
  EXPECT_EQ(props.rotations[0].x, 10.0f);
  EXPECT_EQ(props.rotations[0].y, -2.5f);
  EXPECT_EQ(props.rotations[0].z, 3.0f);
  EXPECT_EQ(props.rotations[0].angle, 45.0f);
  EXPECT_EQ(props.rotations[0].speed, -3.0f);
  ASSERT_EQ(props.files.size(), 3u);
  EXPECT_EQ(props.files[0].name, "Logo\":# not");  // the comment stays, less one character
  EXPECT_EQ(props.files[0].fileName, "data/a b.png");
  EXPECT_EQ(props.files[0].rescale, 2.5f);
  EXPECT_EQ(props.files[1].name, "og");  // unquoted: first and last character dropped
  EXPECT_EQ(props.files[1].fileName, "data/a b.png") << "an omitted field keeps the last value";
  EXPECT_EQ(props.files[2].name, "AM");  // no value: the whole line is the value text
  EXPECT_EQ(props.files[2].fileName, "");  // a one-character string reads as empty
  ASSERT_EQ(props.times.size(), 1u);
  EXPECT_EQ(props.times[0].time, -1200);
  EXPECT_EQ(props.times[0].relativeTimeName, "start");
}

TEST(PropertyParse, UnreadableNumbersKeepTheFieldAndEmptyKeysAreHarmless) {
  auto props = Read(
      "COLOR {\nRGB x\nALPHA\n:\n:: \"q\"\n}\n"
      "COLOR {\nRGB 0.25 0.5 0.75\nALPHA 1\n}\n"
      "COLOR {\nRGB nan 2 inf\nALPHA 1e99\n}\n");
  ASSERT_EQ(props.colours.size(), 3u);
  EXPECT_EQ(props.colours[0].red, 0.0f);
  EXPECT_EQ(props.colours[0].alpha, 0.0f);
  EXPECT_EQ(props.colours[2].red, 0.25f);
  EXPECT_EQ(props.colours[2].green, 2.0f);
  EXPECT_EQ(props.colours[2].blue, 0.75f);
  EXPECT_EQ(props.colours[2].alpha, 1.0f) << "out of range for a float";
}

TEST(PropertyParse, BlocksOpenTogetherReopenAndShareIds) {
  auto props = Read(
      "COLOR {\nNAME \"warm\"\nDESC \"sun\"\nRGB 1 0.5 0\n}\n"
      "COLOR\n{\nNAME \"again\"\n}\n"         // no RGB, no DESC: RGB kept, DESC empty
      "COLOR {\nROTATION {\nNAME \"both\"\nXYZ 1 2 3\n}\n}\n"  // nested: "}" closes COLOR first
      "FILE {\nNAME \"lost\"\nFILE\nNAME \"kept\"\n}\n"        // reopened: first one lost
      "SCALE {\nNAME \"s\"\nTIME {\nNAME \"t\"\n}\n}\n");       // "}" closes SCALE before TIME
  ASSERT_EQ(props.colours.size(), 3u);
  EXPECT_EQ(props.colours[1].name, "again");
  EXPECT_EQ(props.colours[1].description, "");
  EXPECT_EQ(props.colours[1].red, 1.0f);
  EXPECT_EQ(props.colours[1].green, 0.5f);
  EXPECT_EQ(props.colours[2].name, "both");
  ASSERT_EQ(props.rotations.size(), 1u);
  EXPECT_EQ(props.rotations[0].name, "both");
  EXPECT_EQ(props.rotations[0].z, 3.0f);
  ASSERT_EQ(props.files.size(), 1u);
  EXPECT_EQ(props.files[0].name, "kept");
  // Ids number all blocks in opening order: 0, 1, 2 colours, 3 rotation, 4 and 5 files
  // (4 lost), 6 scale, 7 time.
  EXPECT_EQ(props.colours[2].id, 2);
  EXPECT_EQ(props.rotations[0].id, 3);
  EXPECT_EQ(props.files[0].id, 5);
  ASSERT_EQ(props.times.size(), 1u);
  EXPECT_EQ(props.times[0].id, 7);
  ASSERT_EQ(props.scales.size(), 1u);
  EXPECT_EQ(props.scales[0].name, "t") << "NAME reaches every open block";
  EXPECT_EQ(props.recordCounter, 7);
  EXPECT_EQ(props.lines[5], "checked");

  // A "}" closes the first open kind in the fixed order, not the latest opened.
  auto order = Read("FILE {\nCOLOR {\nNAME \"f\"\n}\nCOLOR {\nNAME \"c\"\n}\n}\n");
  ASSERT_EQ(order.colours.size(), 2u);
  ASSERT_EQ(order.files.size(), 1u);
  EXPECT_EQ(order.files[0].name, "c");
  EXPECT_EQ(order.files[0].id, 0);

  auto unclosed = Read("FILE\nNAME \"x\"\nCOLOR {\n}\n");
  EXPECT_TRUE(unclosed.files.empty());
  ASSERT_EQ(unclosed.colours.size(), 1u);
  EXPECT_EQ(unclosed.colours[0].id, 1);
}

TEST(PropertyParse, CommentLinesAreLoggedUpToTheirFirstColon) {
  Scratch scratch;
  Read("# lights: warm\n  #plain\nALPHA 1 # not logged\n", false);
  EXPECT_EQ(scratch.LogLines(),
            (std::vector<std::string>{"(cPropertySystem) # lights", "(cPropertySystem) #plain"}));
}

namespace {
std::string Position(const char* name, const char* xyz, const char* relative = nullptr) {
  std::string block = std::string("POSITION {\nNAME \"") + name + "\"\nXYZ " + xyz + "\n";
  if (relative) block += std::string("RELATIVE_XYZ \"") + relative + "\"\n";
  return block + "}\n";
}
}  // namespace

TEST(PropertyPositions, RelativeChainsInBothOrders) {
  auto forward = Read(Position("A", "1 0 0", "") + Position("B", "0 1 0", "A") +
                      Position("C", "0 0 1", "B"));
  ASSERT_EQ(forward.positions.size(), 3u);
  EXPECT_EQ(forward.positions[1].x, 1.0f);
  EXPECT_EQ(forward.positions[1].y, 1.0f);
  EXPECT_EQ(forward.positions[2].x, 1.0f);
  EXPECT_EQ(forward.positions[2].y, 1.0f);
  EXPECT_EQ(forward.positions[2].z, 1.0f);

  auto backward = Read(Position("A", "1 0 0", "") + Position("C", "0 0 1", "B") +
                       Position("B", "0 1 0", "A"));
  EXPECT_EQ(backward.positions[1].x, 0.0f);  // C got B before B was resolved
  EXPECT_EQ(backward.positions[1].y, 1.0f);
  EXPECT_EQ(backward.positions[1].z, 1.0f);
  EXPECT_EQ(backward.positions[2].x, 1.0f);
}

TEST(PropertyPositions, SelfReferenceDuplicatesAndEmptyNames) {
  auto self = Read(Position("S", "1 2 3", "S"));
  EXPECT_EQ(self.positions[0].x, 2.0f);
  EXPECT_EQ(self.positions[0].z, 6.0f);

  auto twice = Read(Position("A", "1 0 0", "") + Position("A", "0 2 0") +
                    Position("T", "0 0 5", "A"));
  EXPECT_EQ(twice.positions[2].x, 1.0f);
  EXPECT_EQ(twice.positions[2].y, 2.0f);
  EXPECT_EQ(twice.positions[2].z, 5.0f);
  EXPECT_EQ(twice.positions[1].relativeName, "") << "kept from the block before";

  // An empty relative name matches every unnamed record, itself included.
  auto unnamed = Read("POSITION {\nXYZ 1 1 1\n}\nPOSITION {\nXYZ 2 2 2\n}\n");
  EXPECT_EQ(unnamed.positions[0].x, 4.0f);  // 1 + 1 (itself) + 2
  EXPECT_EQ(unnamed.positions[1].x, 12.0f);  // 2 + 4, then + 6 (itself)
}

TEST(PropertyFind, FirstMatchWins) {
  auto props = Read("FILE {\nNAME \"Logo\"\nFILENAME \"one.png\"\n}\n"
                    "FILE {\nNAME \"Logo\"\nFILENAME \"two.png\"\n}\n");
  EXPECT_EQ(props.FindFile("Logo").fileName, "one.png");
}

TEST(PropertyDeathTest, ExitStatusesNameTheFileOnStandardErrorAndInTheLog) {
  Scratch scratch;
  const std::string braces = scratch.Write("braces.qelProperty", "QELPROPERTY\nFILE {\n");
  EXPECT_EXIT(cPropertySystem().Load(braces), ::testing::ExitedWithCode(252),
              "braces.qelProperty: unbalanced braces");
  const std::string version = scratch.Write("version.qelProperty", "QELPROPERTY\nVERSION 2\n");
  EXPECT_EXIT(cPropertySystem().Load(version), ::testing::ExitedWithCode(251),
              "version.qelProperty: line 2: VERSION \"2\" is not 1");
  const std::string good = scratch.Write("default.qelProperty",
                                         "QELPROPERTY\nVERSION 1\nFILE {\nNAME \"Overlay\"\n}\n");
  EXPECT_EXIT(
      {
        cPropertySystem props;
        props.Load(good);
        props.FindFile("OverlayI");
      },
      ::testing::ExitedWithCode(2), "default.qelProperty: no FILE entry named \"OverlayI\"");
  // Each ending's line, with its status, and nothing else.
  const std::vector<std::string> lines = scratch.LogLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].rfind("(exit) status 252: " + braces + ": unbalanced braces", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind("(exit) status 251: " + version + ": line 2: VERSION \"2\" is not 1", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2], "(exit) status 2: " + good + ": no FILE entry named \"OverlayI\"");
}

TEST(PropertyDeathTest, MissingFileReadsAsEmpty) {
  Scratch scratch;
  cPropertySystem props;
  props.Load((scratch.dir / "absent.qelProperty").string());
  EXPECT_TRUE(props.lines.empty());
  ASSERT_EQ(scratch.LogLines().size(), 1u);
  EXPECT_NE(scratch.LogLines()[0].find("cannot open"), std::string::npos);
  EXPECT_EXIT(props.FindFile("Logo"), ::testing::ExitedWithCode(2), "absent.qelProperty: not found");
  // Started from the wrong directory: the line says where the data is looked for.
  EXPECT_EXIT(
      {
        std::filesystem::current_path(scratch.dir);
        cPropertySystem relative;
        relative.Load("data/default.qelProperty");
        relative.FindFile("Logo");
      },
      ::testing::ExitedWithCode(2),
      "data/default.qelProperty not found in the working directory .*: the program reads its data from the "
      "directory it is started in");
}
