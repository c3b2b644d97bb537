#pragma once
// The preview's command line and the frame grid its seeks land on. Plain
// computation, no display.
//
// The grid: a seek, a step and the start land on frame k of a capture at the
// same --fps (show time k * 1000 / fps ms after the start of the scene's
// window), so the picture there is the capture's.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "makers/capture_options.h"
#include "makers/sync_connection.h"

namespace VantorGL::preview {

// The capture's scene, size, --from and --fps (here the frame grid), read
// alike; no outputs and no --to.
struct Options : capture::Options {
  bool paused = false;  // start held at --from
  std::optional<sync::EditorAddress> sync;  // --sync: follow the sync editor there
};

struct ParseResult {
  Options options;
  bool help = false;
  std::string error;  // empty when the command line is good
};

// Reads the arguments after the program name, for a show offering `scenes`.
// "--name value" and "--name=value" are both accepted; a repeated option takes
// its last value.
ParseResult ParseOptions(const std::vector<std::string>& args, const std::vector<ShowScene>& scenes);

// The --help text of the show `show`'s preview program, which names its scenes
// and speaks of its assets in `words`.
std::string UsageText(const std::string& show, const std::vector<ShowScene>& scenes, const ShowWords& words);

// The grid of a scene at `fps`: frames 0 .. endFrame - 1 lie in its window.
struct FrameGrid {
  int fps = 60;
  int32_t originMs = 0;  // music time of frame 0
  int64_t endFrame = 0;

  // Show time of frame k in microseconds, as the counter reads it (rounded down).
  int64_t ShowUs(int64_t frame) const;
  // The first frame at or after show time `us`.
  int64_t FrameAtOrAfter(int64_t us) const;
  // The last frame at or before show time `us` (a frame's own ShowUs counts as its time).
  int64_t FrameAtOrBefore(int64_t us) const;
  int64_t Clamp(int64_t frame) const;
};
FrameGrid GridOf(const Options& options);
// The frame --from names (the scene's start without it).
int64_t StartFrame(const Options& options);

// "m:ss.mmm" for a music time in microseconds (rounded down).
std::string FormatMusicTimeUs(int64_t us);

constexpr int kExitUsage = 64;   // a bad command line
constexpr int kExitFailed = 70;  // the show could not be started

}  // namespace VantorGL::preview
