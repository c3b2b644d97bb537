// The slide scene keeps its target from frame to frame and draws it again only
// when what it is made from changes; the capture program leaves frames undrawn
// that the scenes know to be unchanged. Neither may change a pixel. Over the
// show's first 4 s at 20 frames/s (background steps every third frame, the first
// slide change after 3.5 s, F1 in the 75th frame), the probe
// (tests/probes/show_frames_probe.cpp) plays the show with the target kept and
// with it drawn every frame, and the capture's PNG frames are held against both.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "platform/image_decode.h"
#include "shell/file_paths.h"
#include "tests/support/process.h"
#include "tests/support/xvfb.h"

using namespace vantor_test;

namespace {

constexpr int kTimeoutMs = 240000;
constexpr int kFps = 20, kWidth = 320, kHeight = 240;
constexpr int kFrames = 80;   // 0 to 3.95 s
constexpr int kF1Frame = 74;  // 3.7 s; the next frame is drawn in the new window
constexpr int kSlideChange = 71;  // 3.55 s: the first frame of slide 1

struct FrameLine {
  bool unchanged = false;
  std::string hash;
};

std::vector<FrameLine> RunProbe(const WorkDir& dir, const std::string& mode, std::string* log) {
  const ProgramResult r = RunProgram(
      {.program = VANTOR_BINARY_DIR "/tests/show_frames_probe",
       .args = {std::to_string(kFps), std::to_string(kWidth), std::to_string(kHeight), std::to_string(kFrames),
                std::to_string(kF1Frame), mode},
       .workDir = dir.path()},
      kTimeoutMs);
  *log = r.stderrText;
  std::vector<FrameLine> frames;
  if (!r.exited || r.status != 0) return frames;
  static const std::regex kLine(R"(frame (\d+) unchanged ([01]) hash ([0-9a-f]+))");
  for (std::sregex_iterator i(r.stdoutText.begin(), r.stdoutText.end(), kLine), end; i != end; ++i) {
    if (std::stoul((*i)[1]) != frames.size()) break;
    frames.push_back({(*i)[2] == "1", (*i)[3]});
  }
  return frames;
}

// The probe's hash of a PNG frame's pixels.
std::string HashOfPng(const std::string& path) {
  const auto bytes = VantorGL::ReadFileBytes(path);
  VantorGL::platform::DecodedPixels d;
  if (!bytes || !VantorGL::platform::DecodePicture(bytes->data(), bytes->size(), "PNG", d) || d.channels < 3)
    return "undecodable";
  uint64_t h = 1469598103934665603ull;
  for (size_t p = 0; p < d.pixels.size(); p += static_cast<size_t>(d.channels))
    for (size_t c = 0; c < 3; ++c) {
      h ^= d.pixels[p + c];
      h *= 1099511628211ull;
    }
  char text[32];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
  return text;
}

TEST(UnchangedFrames, KeptTargetAndSkippedFramesGiveTheFreshPictures) {
  PrivateXvfb xvfb;
  ASSERT_TRUE(xvfb.Start(1280, 720));
  WorkDir dir = WorkDir::CopyOfStage();
  std::string log;
  const std::vector<FrameLine> kept = RunProbe(dir, "kept", &log);
  ASSERT_EQ(kept.size(), static_cast<size_t>(kFrames)) << log;
  const std::vector<FrameLine> fresh = RunProbe(dir, "fresh", &log);
  ASSERT_EQ(fresh.size(), static_cast<size_t>(kFrames)) << log;
  EXPECT_NE(ReadText(dir.File("debug.log")).find(", windowed"), std::string::npos) << "F1 re-opened no window";

  int changes = 0, unchangedClaims = 0;
  for (int k = 0; k < kFrames; ++k) {
    EXPECT_EQ(kept[k].hash, fresh[k].hash) << "frame " << k << " differs from the target drawn afresh";
    if (k > 0 && kept[k].hash != kept[k - 1].hash) ++changes;
    if (kept[k].unchanged) {
      ++unchangedClaims;
      // The claim a capture relies on to write the last picture again.
      EXPECT_TRUE(k > 0 && kept[k].hash == kept[k - 1].hash) << "frame " << k << " said unchanged, but changed";
    }
  }
  // The span really moves (a background step every third frame, a slide change)
  // and most frames are known unchanged; not the first, nor the one after F1.
  EXPECT_GE(changes, 20);
  EXPECT_NE(kept[kSlideChange].hash, kept[kSlideChange - 1].hash);
  EXPECT_GE(unchangedClaims, 40);
  EXPECT_FALSE(kept[0].unchanged);
  EXPECT_FALSE(kept[kF1Frame + 1].unchanged);

  // The capture, across the slide change (frames 66 to 73, before F1), repeats
  // pictures without drawing them and still writes the fresh ones.
  const ProgramResult r = RunProgram({.program = ProgramPath("tessaly-capture"),
                                      .args = {"--fps", std::to_string(kFps), "--size",
                                               std::to_string(kWidth) + "x" + std::to_string(kHeight), "--from",
                                               "0:03.3", "--to", "0:03.7", "--frames", "frames"},
                                      .workDir = dir.path()},
                                     kTimeoutMs);
  ASSERT_TRUE(r.exited && r.status == 0) << r.stderrText;
  for (int k = 66; k < 74; ++k) {
    char name[64];
    std::snprintf(name, sizeof name, "frames/frame_%06d.png", k);
    EXPECT_EQ(HashOfPng(dir.File(name)), fresh[k].hash) << name;
  }
  std::smatch m;
  ASSERT_TRUE(std::regex_search(r.stderrText, m, std::regex(R"((\d+) frames drawn)"))) << r.stderrText;
  EXPECT_LT(std::stoi(m[1]), 8) << "no frame was left undrawn";
}

}  // namespace
