// docs/MAKING-A-SHOW.md run as written, so that it cannot go stale: its ```sh
// blocks, and the few lines between them in <!-- guide-test --> comments
// (waiting for what a reader would see, closing the preview), in one shell, in
// order, with HOME a fresh directory whose ~/vantorgl is this tree with its
// build, under a private X server. The guide installs the engine alone to a
// prefix, builds the template copied out of the tree against that prefix alone,
// plays it, previews it, adds an asset, a scene and a cue, reloads the asset
// while the preview runs, captures a video, and tunes a sync track with the
// preview linked to an editor (the stand-in editor, tests/probes/sync_editor_probe,
// plays the person at the editor) and exports it. Then what the reader ends with
// is checked: the engine alone in the prefix, the video, the new cue in the
// music, the new scene on screen, the reloaded picture on the preview's screen.
// The guide's first step from the tree the play command leaves is run by
// tools/test.sh (tools/test-guide-install.sh) before the full build.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "resources/texture_images.h"
#include "shell/file_paths.h"
#include "shell/mp3_decoder.h"
#include "tests/support/process.h"
#include "tests/support/xvfb.h"

using namespace vantor_test;
namespace fs = std::filesystem;

namespace {

constexpr int kGuideTimeoutMs = 20 * 60 * 1000;

// The guide's commands as one script: each block preceded by a line naming
// where it stands in the guide. With `upTo`, only the blocks before that heading.
std::string ScriptOf(const std::string& guide, const std::string& upTo = "") {
  std::string script =
      "set -euo pipefail\n"
      // The previews the guide starts in the background end with the script.
      "trap 'kill $(jobs -p) 2>/dev/null || true' EXIT\n";
  std::istringstream lines(guide);
  std::string line, block;
  enum { kText, kShell, kHidden } in = kText;
  int number = 0, blocks = 0;
  while (std::getline(lines, line)) {
    ++number;
    if (in == kText && !upTo.empty() && line == upTo) break;
    if (in == kText && (line == "```sh" || line == "<!-- guide-test")) {
      in = line == "```sh" ? kShell : kHidden;
      script += "echo '== MAKING-A-SHOW.md line " + std::to_string(number) + "' >&2\n";
      ++blocks;
    } else if ((in == kShell && line == "```") || (in == kHidden && line == "-->")) {
      in = kText;
    } else if (in != kText) {
      script += line + "\n";
    }
  }
  return blocks >= (upTo.empty() ? 10 : 1) && in == kText ? script : std::string();
}

std::vector<uint8_t> Bytes(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// Mean level of the left channel over [ms, ms + lengthMs).
double Level(const VantorGL::DecodedAudio& a, double ms, double lengthMs) {
  const int64_t from = static_cast<int64_t>(ms * 44.1), to = static_cast<int64_t>((ms + lengthMs) * 44.1);
  double sum = 0;
  for (int64_t i = from; i < to; ++i) sum += std::fabs(a.samples[static_cast<size_t>(i) * 2]);
  return sum / static_cast<double>(to - from);
}

struct Picture {
  int width = 0, height = 0, channels = 0;
  std::vector<uint8_t> px;
};

Picture Load(const fs::path& path) {
  Picture p;
  if (const auto bytes = VantorGL::ReadFileBytes(path.string()))
    if (auto d = VantorGL::DecodePictureFile(bytes->data(), bytes->size())) {
      p.width = d->width;
      p.height = d->height;
      p.channels = d->channels;
      p.px = std::move(d->pixels);
    }
  return p;
}

class TemporaryHome {
 public:
  TemporaryHome() {
    char pattern[] = "/tmp/vantor_guide_XXXXXX";
    if (mkdtemp(pattern)) path_ = pattern;
  }
  ~TemporaryHome() {
    std::error_code ignored;
    if (!path_.empty() && !std::getenv("VANTOR_KEEP_WORKDIR")) fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// What the engine's install put in `prefix`: the engine, and nothing of a show.
void ExpectTheEngineAlone(const fs::path& prefix) {
  // Under lib/, or lib/<multiarch>/ where the build was configured for /usr.
  bool package = false;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(prefix / "lib", ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec))
    package |= it->path().filename() == "VantorGLConfig.cmake";
  EXPECT_TRUE(package) << "no CMake package";
  EXPECT_TRUE(fs::exists(prefix / "include/vantorgl/makers/show.h"));
  EXPECT_TRUE(fs::exists(prefix / "bin/vantorgl-content"));
  for (const char* shows : {"games", "share/games", "share/applications", "share/metainfo", "share/icons"})
    EXPECT_FALSE(fs::exists(prefix / shows)) << shows << " installed with the engine";
}

TEST(MakingAShow, TheGuideRunsAsWrittenAndItsShowHasWhatItAdded) {
  const std::string script = ScriptOf(ReadText(VANTOR_SOURCE_DIR "/docs/MAKING-A-SHOW.md"));
  ASSERT_FALSE(script.empty()) << "the guide's blocks could not be read";

  // ~/vantorgl: the tree as the README's test command leaves it, its build
  // included. (After the play command, which builds only what playing needs,
  // the test command runs the guide's first step on its own: tools/test.sh.)
  TemporaryHome home;
  ASSERT_FALSE(home.path().empty());
  const fs::path clone = home.path() / "vantorgl";
  fs::create_directory(clone);
  for (const auto& entry : fs::directory_iterator(VANTOR_SOURCE_DIR))
    if (entry.path().filename() != "build") fs::create_directory_symlink(entry.path(), clone / entry.path().filename());
  fs::create_directory_symlink(VANTOR_BINARY_DIR, clone / "build");
  std::ofstream(home.path() / "guide.sh") << script;

  PrivateXvfb xvfb;
  ASSERT_TRUE(xvfb.Start(1280, 720)) << "no Xvfb";
  const std::vector<std::pair<std::string, std::string>> env = {{"HOME", home.path().string()}};
  const ProgramResult r = RunProgram({.program = "/bin/bash",
                                      .args = {(home.path() / "guide.sh").string()},
                                      .workDir = home.path().string(),
                                      .env = env},
                                     kGuideTimeoutMs);
  const std::string tail = r.stderrText.substr(r.stderrText.size() > 6000 ? r.stderrText.size() - 6000 : 0);
  ASSERT_TRUE(r.exited && r.status == 0) << (r.timedOut ? "timed out\n" : "") << "status " << r.status << "\n"
                                         << tail;
  ExpectTheEngineAlone(home.path() / "vantorgl-engine");

  const fs::path show = home.path() / "myshow";
  const fs::path stage = show / "build/stage";
  // Built against the prefix alone, not against this tree: the package found
  // under lib/, or lib/<multiarch>/ where the engine's build was configured for /usr.
  const std::string cache = ReadText((show / "build/CMakeCache.txt").string()), key = "VantorGL_DIR:PATH=";
  const size_t at = cache.find(key);
  ASSERT_NE(at, std::string::npos);
  const std::string found = cache.substr(at + key.size(), cache.find('\n', at) - at - key.size());
  const std::string lib = (home.path() / "vantorgl-engine/lib/").string(), packageDir = "cmake/VantorGL";
  ASSERT_TRUE(found.size() >= lib.size() + packageDir.size() && found.rfind(lib, 0) == 0 &&
              found.compare(found.size() - packageDir.size(), packageDir.size(), packageDir) == 0)
      << "the show was built against " << found;
  const std::string between = found.substr(lib.size(), found.size() - lib.size() - packageDir.size());
  EXPECT_TRUE(between.empty() || (between.find("-linux-gnu") != std::string::npos &&
                                  between.find('/') == between.size() - 1))
      << "the show was built against " << found;

  // The video: 12 s of 1280 x 720 at 30 frames a second, with the music.
  std::string probe;
  ASSERT_EQ(Shell("ffprobe -v error -show_entries stream=codec_type,duration,nb_frames,width,height -of compact '" +
                      (home.path() / "myshow.mp4").string() + "'",
                  &probe),
            0);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(
      probe, m, std::regex(R"(codec_type=video\|width=1280\|height=720\|duration=([0-9.]+)\|nb_frames=(\d+))")))
      << probe;
  EXPECT_NEAR(std::stod(m[1]), 12.0, 0.01) << probe;
  EXPECT_EQ(std::stoi(m[2]), 360) << probe;
  ASSERT_TRUE(std::regex_search(probe, m, std::regex(R"(codec_type=audio\|duration=([0-9.]+))"))) << probe;
  EXPECT_NEAR(std::stod(m[1]), 12.0, 0.05) << probe;

  // The sync editor's export reached the show's sources: the logo's turn with
  // the key set in the editor, 90 on row 48, linear, between the template's
  // two (little-endian: a count, then row, value, interpolation per key).
  const auto turn = Bytes(show / "assets/data/Sync/sync_logo-3Aturn.track");
  EXPECT_EQ(turn, (std::vector<uint8_t>{3, 0, 0, 0,                          //
                                        0, 0, 0, 0, 0x00, 0x00, 0x00, 0x00, 1,   // row 0, 0
                                        48, 0, 0, 0, 0x00, 0x00, 0xB4, 0x42, 1,  // row 48, 90
                                        96, 0, 0, 0, 0x00, 0x00, 0xB4, 0x43, 1}));  // row 96, 360
  EXPECT_EQ(Bytes(stage / "data/Sync/sync_logo-3Aturn.track"), turn);
  EXPECT_EQ(Load(stage / "turned/frame_000180.png").width, 1280);

  // The cue added at 10 s is an accent the template's music does not have there.
  const auto mine = Bytes(stage / "data/Music/music.mp3");
  const auto template_ = Bytes(fs::path(VANTOR_TEMPLATE_STAGE_DIR) / "data/Music/music.mp3");
  const auto a = VantorGL::DecodeMp3(mine.data(), mine.size(), 44100);
  const auto b = VantorGL::DecodeMp3(template_.data(), template_.size(), 44100);
  ASSERT_TRUE(a && b);
  ASSERT_EQ(a->frames, 12 * 44100);
  ASSERT_EQ(b->frames, 12 * 44100);
  EXPECT_GT(Level(*a, 10000, 60), 1.5 * Level(*b, 10000, 60)) << "no accent on the new cue";
  EXPECT_NEAR(Level(*a, 6000, 60), Level(*b, 6000, 60), 0.1 * Level(*b, 6000, 60)) << "the old cues moved";

  // The banner scene, 10 to 12 s, over the sparks: at 11 s the sparks stand as
  // at 8 s (the bursts are three seconds apart), so the two frames differ only
  // where the banner lies, across the middle fifth of the height.
  ASSERT_EQ(RunProgram({.program = (stage / "myshow-capture").string(),
                        .args = {"--fps", "2", "--size", "320x180", "--from", "0:08.0", "--frames", "banner"},
                        .workDir = stage.string()},
                       240000)
                .status,
            0);
  const Picture before = Load(stage / "banner/frame_000016.png"), with = Load(stage / "banner/frame_000022.png");
  ASSERT_EQ(before.width, 320);
  ASSERT_EQ(with.width, 320);
  int inside = 0, outside = 0;
  for (int y = 0; y < 180; ++y)
    for (int x = 0; x < 320; ++x) {
      const size_t i = (static_cast<size_t>(y) * 320 + x) * static_cast<size_t>(with.channels);
      bool differs = false;
      for (int c = 0; c < 3; ++c) differs |= std::abs(int{with.px[i + c]} - int{before.px[i + c]}) > 8;
      if (!differs) continue;
      (y >= 72 - 1 && y <= 108 + 1 && x >= 32 - 1 && x <= 288 + 1 ? inside : outside) += 1;
    }
  EXPECT_GT(inside, 400) << "no banner at 11 s";
  EXPECT_EQ(outside, 0) << "the frames differ outside the banner";

  // Step 9: the preview's screen, held at 11 s, before and after the banner was
  // made again: the new words are on screen, in the banner's place alone (the
  // middle fifth of the height, the middle four fifths of the width).
  const Picture shown = Load(home.path() / "before-reload.png"), reloaded = Load(home.path() / "after-reload.png");
  ASSERT_EQ(shown.width, 1280);
  ASSERT_EQ(reloaded.width, 1280);
  ASSERT_EQ(reloaded.height, 720);
  int changed = 0, elsewhere = 0;
  for (int y = 0; y < 720; ++y)
    for (int x = 0; x < 1280; ++x) {
      const size_t i = (static_cast<size_t>(y) * 1280 + x) * static_cast<size_t>(reloaded.channels);
      const size_t j = (static_cast<size_t>(y) * 1280 + x) * static_cast<size_t>(shown.channels);
      bool differs = false;
      for (int c = 0; c < 3; ++c) differs |= std::abs(int{reloaded.px[i + c]} - int{shown.px[j + c]}) > 8;
      if (!differs) continue;
      (y >= 288 - 2 && y <= 432 + 2 && x >= 128 - 2 && x <= 1152 + 2 ? changed : elsewhere) += 1;
    }
  EXPECT_GT(changed, 2000) << "the reloaded banner is not on the preview's screen";
  EXPECT_EQ(elsewhere, 0) << "the preview's screen changed outside the banner";
}

}  // namespace
