#include "makers/preview_options.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string_view>

#include "makers/show_frames.h"

namespace VantorGL::preview {
namespace {

constexpr int kMaxFps = 240;
constexpr int kMinSide = 16;
constexpr int kMaxSide = 8192;

std::optional<long> ReadWhole(std::string_view text) {
  long value = 0;
  if (text.empty() || text.size() > 9) return std::nullopt;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

}  // namespace

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

FrameGrid GridOf(const Options& options) {
  capture::Options c;
  c.scene = options.scene;
  c.fps = options.fps;
  const capture::FramePlan plan = capture::PlanFrames(c);
  return FrameGrid{plan.fps, plan.originMs, plan.endFrame};
}

int64_t StartFrame(const Options& options) {
  capture::Options c;
  c.scene = options.scene;
  c.fps = options.fps;
  c.fromMs = options.fromMs;
  return capture::PlanFrames(c).firstFrame;
}

std::string FormatMusicTimeUs(int64_t us) {
  if (us < 0) us = 0;
  const int64_t ms = us / 1000;
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld.%03lld", static_cast<long long>(ms / 60000),
                static_cast<long long>((ms / 1000) % 60), static_cast<long long>(ms % 1000));
  return text;
}

std::string UsageText() {
  return R"(Usage: tessaly-preview [options]

Plays the show in a window with its music, for the people who make it: pause,
seek and step through it, see where it is, and see a changed slide, texture,
model or geometry stage at once without a restart. Run it from the directory
that holds the show's data (the stage, beside tessaly).

The show's clock follows the music as the sound device plays it. A seek, a step
and the start land on a frame of tessaly-capture at the same --fps: the picture
there is the capture's, pixel for pixel, and the music plays from that moment.
At the end of the scene's window the preview holds its last frame.

Options:
  --size WxH          window size in pixels, 16 to 8192 a side (default 1280x720)
  --scene NAME        what to play:
                        show   the production, 0:00.0 to 0:47.0 (default)
                        slide  the slide scene over its whole window, 0:00.0 to 1:00.0
                        start  the water scene alone over its window, 1:00.0 to 1:30.0
  --from TIME         music time to start at, like 0:12.5 (minutes:seconds.tenths;
                      default: the scene's start)
  --fps N             the frame grid seeks land on, 1 to 240: the capture's --fps
                      (default 60)
  --paused            start held at --from; Space plays
  --help              this text

Keys:
  Space               pause and resume, the music with it
  Left, Right         seek 1 s back or forward; with Shift, 10 s
  Home                back to the start
  [ and ]             one frame back or forward while paused
  Tab                 one line over the picture: music time, frame rate, slide
                      and background frame, the clock's offset from the music
  F1                  full screen on and off
  Escape              quit

When a file the show uses changes on disk (a slide, a texture or background
frame, a 3DS model, Data/Shaders/test.geom), it is loaded again and one line
says so on standard error; a file that no longer loads leaves the old one in
use and the line says why. Seeks, pauses and, at the end, the clock's offset
over the whole run are reported there too.

Exit status: 0 done; 64 bad command line; 70 no window could be opened.
)";
}

ParseResult ParseOptions(const std::vector<std::string>& args) {
  ParseResult result;
  Options& o = result.options;
  auto fail = [&result](std::string text) {
    result.error = std::move(text);
    return result;
  };

  std::optional<std::string> fromText;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::optional<std::string> value;
    if (name.rfind("--", 0) != 0) return fail("unexpected argument " + Quoted(name) + " (options start with --)");
    if (const size_t eq = name.find('='); eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    if (name == "--help" || name == "--paused") {
      if (value) return fail(name + " takes no value");
      (name == "--help" ? result.help : o.paused) = true;
      continue;
    }
    if (name != "--fps" && name != "--size" && name != "--scene" && name != "--from")
      return fail("unknown option " + Quoted(name));
    if (!value) {
      if (i + 1 >= args.size()) return fail(name + " needs a value");
      value = args[++i];
    }
    const std::string& v = *value;

    if (name == "--fps") {
      const auto fps = ReadWhole(v);
      if (!fps || *fps < 1 || *fps > kMaxFps)
        return fail("--fps: expected a whole number of frames per second from 1 to " + std::to_string(kMaxFps) +
                    ", got " + Quoted(v));
      o.fps = static_cast<int>(*fps);
    } else if (name == "--size") {
      const size_t x = v.find_first_of("xX");
      const auto w = x == std::string::npos ? std::nullopt : ReadWhole(std::string_view(v).substr(0, x));
      const auto h = x == std::string::npos ? std::nullopt : ReadWhole(std::string_view(v).substr(x + 1));
      if (!w || !h) return fail("--size: expected WIDTHxHEIGHT in pixels, like 1280x720, got " + Quoted(v));
      if (*w < kMinSide || *h < kMinSide || *w > kMaxSide || *h > kMaxSide)
        return fail("--size: each side must be from " + std::to_string(kMinSide) + " to " +
                    std::to_string(kMaxSide) + " pixels, got " + Quoted(v));
      o.width = static_cast<int>(*w);
      o.height = static_cast<int>(*h);
    } else if (name == "--scene") {
      if (v == "show") o.scene = capture::Scene::kShow;
      else if (v == "slide") o.scene = capture::Scene::kSlide;
      else if (v == "start") o.scene = capture::Scene::kStart;
      else return fail("--scene: expected show, slide or start, got " + Quoted(v));
    } else {
      if (!capture::ReadMusicTime(v))
        return fail("--from: expected a music time like 0:12.5 (minutes:seconds.tenths), got " + Quoted(v));
      fromText = v;
    }
  }
  if (result.help) return result;

  if (fromText) {
    o.fromMs = capture::ReadMusicTime(*fromText);
    const capture::SceneWindow window = capture::WindowOf(o.scene);
    if (*o.fromMs < window.startMs || *o.fromMs >= window.endMs)
      return fail("--from " + *fromText + " lies outside the " + capture::SceneName(o.scene) + " scene's window, " +
                  capture::FormatMusicTime(window.startMs) + " to " + capture::FormatMusicTime(window.endMs));
  }
  return result;
}

}  // namespace VantorGL::preview
