#include "makers/preview_options.h"

#include <algorithm>
#include <cstdio>

#include "makers/show_frames.h"

namespace VantorGL::preview {
// What the clock reads when frame k's Update runs: frame k - 1's Tick.
int64_t FrameGrid::ShowUs(int64_t frame) const { return capture::FrameCounter(frame - 1, fps); }

int64_t FrameGrid::FrameAtOrAfter(int64_t us) const {
  if (us <= 0) return 0;
  return (us * fps + capture::kCounterFrequency - 1) / capture::kCounterFrequency;
}

// ShowUs rounds down, so a frame's own time is up to 1 us short of k / fps.
int64_t FrameGrid::FrameAtOrBefore(int64_t us) const {
  if (us < 0) return 0;
  return (us + 1) * fps / capture::kCounterFrequency;
}

int64_t FrameGrid::Clamp(int64_t frame) const { return std::clamp<int64_t>(frame, 0, std::max<int64_t>(endFrame - 1, 0)); }

// The preview has no --to: the plan runs to the scene's end.
FrameGrid GridOf(const Options& options) {
  const capture::FramePlan plan = capture::PlanFrames(options);
  return FrameGrid{plan.fps, plan.originMs, plan.endFrame};
}

int64_t StartFrame(const Options& options) { return capture::PlanFrames(options).firstFrame; }

std::string FormatMusicTimeUs(int64_t us) {
  if (us < 0) us = 0;
  const int64_t ms = us / 1000;
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld.%03lld", static_cast<long long>(ms / 60000),
                static_cast<long long>((ms / 1000) % 60), static_cast<long long>(ms % 1000));
  return text;
}

std::string UsageText(const std::string& show, const std::vector<ShowScene>& scenes, const ShowWords& words) {
  using capture::WrapText;
  return "Usage: " + show + "-preview [options]\n\n" +
         WrapText("Plays the show in a window with its music, for the people who make it: pause, seek and step "
                  "through it, see where it is, and see a changed " + words.changed +
                  " at once without a restart. It reads the show's data from the directory it is started in (the "
                  "stage, beside " + show + ") or, where that holds none, the data installed with it.", 79) +
         "\n\n" +
         WrapText("The show's clock follows the music as the sound device plays it. A seek, a step and the start "
                  "land on a frame of " + show + "-capture at the same --fps: the picture there is the "
                  "capture's, pixel for pixel, and the music plays from that moment. At the end of the scene's "
                  "window the preview holds its last frame.", 79) +
         R"(

Options:
  --size WxH          window size in pixels, 16 to 8192 a side (default 1280x720)
  --scene NAME        what to play:
)" + capture::SceneLines(scenes) +
         R"(  --from TIME         music time to start at, like 0:12.5 or 0:12.25
                      (minutes:seconds.fraction of a second; default: the
                      scene's start)
  --fps N             the frame grid seeks land on, 1 to 240: the capture's --fps
                      (default 60)
  --paused            start held at --from; Space plays
  --sync [HOST:PORT]  follow a sync editor (GNU Rocket; default localhost:1338):
                      its keys, row, pause and export; the preview's seeks
                      and play move its cursor
  --help              this text

Keys:
  Space               pause and resume, the music with it
  Left, Right         seek 1 s back or forward; with Shift, 10 s
  Home                back to the start
  [ and ]             one frame back or forward while paused
)" + WrapText("one line over the picture: music time, frame rate, " + words.where +
                           ", the clock's offset from the music",
                       79, 22, "  Tab                 ") +
         R"(
  F1                  full screen on and off
  Escape              quit

)" + WrapText("When a file the show uses changes on disk (" + words.files +
                       "), it is loaded again and one line says so on standard error; a file that no longer "
                       "loads leaves the old one in use and the line says why. Seeks, pauses and, at the end, "
                       "the clock's offset over the whole run are reported there too.", 79) +
         "\n\n" +
         WrapText("The effects' shaders are files of the show's data too (Data/Shaders/*.vert and *.frag): a "
                  "saved one is built again before the next frame. One that does not compile or link leaves the "
                  "program built before in use, and the driver's messages, by file and line, stay over the "
                  "picture and go to standard error until it builds.", 79) +
         R"(

Exit status: 0 done; 64 bad command line; 70 no window could be opened.
)";
}

// --sync takes its address only when one follows: it is taken out here.
std::string TakeSync(std::vector<std::string>& args, Options& options) {
  for (size_t i = 0; i < args.size();) {
    const bool joined = args[i].rfind("--sync=", 0) == 0;
    if (args[i] != "--sync" && !joined) {
      ++i;
      continue;
    }
    std::string text = joined ? args[i].substr(7) : std::string();
    size_t taken = 1;
    if (!joined && i + 1 < args.size() && args[i + 1].rfind("-", 0) != 0) text = args[i + 1], taken = 2;
    sync::EditorAddress address;
    if (!text.empty() || joined)
      if (std::string error = sync::ReadEditorAddress(text, address); !error.empty()) return error;
    options.sync = address;
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i + taken));
  }
  return "";
}

ParseResult ParseOptions(const std::vector<std::string>& givenArgs, const std::vector<ShowScene>& scenes) {
  ParseResult result;
  result.options.scenes = scenes;
  std::vector<std::string> args = givenArgs;
  result.error = TakeSync(args, result.options);
  if (!result.error.empty()) return result;
  result.error = capture::ReadCommandLine(args, {"--help", "--paused"}, {"--fps", "--size", "--scene", "--from"},
                                          result.options, [&result](const std::string& name, const std::string&) {
                                            (name == "--help" ? result.help : result.options.paused) = true;
                                            return std::string();
                                          });
  if (result.error.empty() && !result.help) result.error = capture::CheckTimes(result.options);
  return result;
}

}  // namespace VantorGL::preview
