#pragma once
// The capture program's command line and the frame arithmetic that follows from
// it. No display, no files: everything here is plain computation, so the rules
// (what a valid option is, which frames a capture makes) are checked on their own.
//
// Time: frame k of a capture at F frames per second is made at show time
// k * 1000 / F ms after the start of the selected scene's window (one of the
// scenes the show offers, makers/show.h); music time is that window's start plus
// the show time.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "makers/show.h"

namespace VantorGL::capture {

struct Options {
  std::vector<ShowScene> scenes;  // what the show offers (IShow::Scenes)
  size_t scene = 0;               // the one played: the first, the whole show, by default
  int fps = 60;
  int width = 1280;
  int height = 720;
  std::optional<int32_t> fromMs;  // music time; default: the scene's start
  std::optional<int32_t> toMs;    // music time; default: the scene's end
  std::string framesDir;          // "": no PNG frames
  std::string outFile;            // "": no video
  std::string sheetFile;          // "": no contact sheet
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

// The --help text of the show `show`'s capture program.
std::string UsageText(const std::string& show, const std::vector<ShowScene>& scenes);

// `text` broken between words into lines of at most `width` characters, the
// first line starting with `first`, every other one indented by `indent`
// spaces (a paragraph or an item of --help).
std::string WrapText(std::string_view text, size_t width, size_t indent = 0, std::string_view first = "");
// The lines of --help that list `scenes` under "--scene NAME", each with its
// window; the first is the default.
std::string SceneLines(const std::vector<ShowScene>& scenes);

// The command line as the makers' programs read it: "--name value" or
// "--name=value", a repeated option taking its last value. Names in `flags`
// take no value, names in `valued` one. --fps, --size, --scene, --from and
// --to, where `valued` names them, are read into `o` here; every other name
// goes to `take` with its value ("" for a flag), which returns an error text
// or "" when it took it. The first error text, or "" for a good command line.
// --from and --to are checked against the scene's window by CheckTimes.
using TakeOption = std::function<std::string(const std::string& name, const std::string& value)>;
std::string ReadCommandLine(const std::vector<std::string>& args, const std::vector<std::string>& flags,
                            const std::vector<std::string>& valued, Options& o, const TakeOption& take);
// Whether --from and --to (the scene's start and end where not given) lie in
// the scene's window, in order, with a frame between them: an error text, or
// "" when they do.
std::string CheckTimes(const Options& o);

// Milliseconds as a music time that ReadMusicTime (scenes/scene_system.h)
// reads back to the same value: "m:ss.d", with as many more digits as the
// milliseconds need ("0:10.5", "0:10.05", "1:03.533").
std::string FormatMusicTime(int32_t ms);

// The container ffmpeg is told to write for an output name ("mp4" for
// "show.mp4"); nothing for an extension it is not offered for.
std::optional<std::string> VideoFormatFor(std::string_view path);

// The window of the chosen scene in music time, and its name.
struct SceneWindow {
  int32_t startMs = 0;
  int32_t endMs = 0;
};
SceneWindow WindowOf(const Options& options);
std::string SceneName(const Options& options);

// Which frames a capture makes and which it keeps.
struct FramePlan {
  int fps = 60;
  int32_t originMs = 0;   // music time of frame 0
  int64_t firstFrame = 0;  // first frame kept
  int64_t endFrame = 0;    // one past the last frame kept
  int64_t count() const { return endFrame - firstFrame; }
  // Music time of frame k, in whole milliseconds (rounded down).
  int32_t MusicTimeMs(int64_t k) const;
  // Show time of frame k (ms since frame 0), rounded down: what the show's clock reads.
  int32_t ShowTimeMs(int64_t k) const;
  // The frame of the contact sheet's cell `cell`: one per second from the first kept frame.
  int64_t SheetFrame(int64_t cell) const;
  int64_t SheetCells() const;
};
FramePlan PlanFrames(const Options& options);

// Exit statuses of the capture program (the production's own fixed statuses,
// 1, 2, 99, 251 and 252, can still end it while it loads).
constexpr int kExitUsage = 64;        // a bad command line
constexpr int kExitFailed = 70;       // the capture or the encoder failed
constexpr int kExitUnavailable = 69;  // ffmpeg is missing
constexpr int kExitCannotCreate = 73; // an output cannot be written

}  // namespace VantorGL::capture
