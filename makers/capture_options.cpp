#include "makers/capture_options.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "scenes/scene_system.h"

namespace VantorGL::capture {
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

// Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on a
// literal + std::string concatenation here.
std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  quoted += text;
  quoted += '"';
  return quoted;
}

int64_t CeilDiv(int64_t a, int64_t b) { return a >= 0 ? (a + b - 1) / b : -((-a) / b); }

bool EndsWith(std::string_view text, std::string_view tail) {
  if (text.size() < tail.size()) return false;
  for (size_t i = 0; i < tail.size(); ++i) {
    char c = text[text.size() - tail.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != tail[i]) return false;
  }
  return true;
}

}  // namespace

std::string FormatMusicTime(int32_t ms) {
  if (ms < 0) ms = 0;
  char text[32];
  std::snprintf(text, sizeof text, "%d:%02d.%03d", ms / 60000, (ms / 1000) % 60, ms % 1000);
  std::string formatted = text;
  // One digit after the point at least; no trailing zero beyond it.
  while (formatted.back() == '0' && formatted[formatted.size() - 2] != '.') formatted.pop_back();
  return formatted;
}

std::optional<std::string> VideoFormatFor(std::string_view path) {
  if (EndsWith(path, ".mp4")) return "mp4";
  if (EndsWith(path, ".mkv")) return "matroska";
  if (EndsWith(path, ".mov")) return "mov";
  return std::nullopt;
}

SceneWindow WindowOf(const Options& options) {
  if (options.scene >= options.scenes.size()) return {};
  const ShowScene& scene = options.scenes[options.scene];
  return {scene.startMs, scene.endMs};
}

std::string SceneName(const Options& options) {
  return options.scene < options.scenes.size() ? options.scenes[options.scene].name : "";
}

std::string WrapText(std::string_view text, size_t width, size_t indent, std::string_view first) {
  std::string out;
  std::string line(first);
  bool empty = true;  // no word on the line yet
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = std::min(text.find(' ', pos), text.size());
    const std::string_view word = text.substr(pos, end - pos);
    pos = end + 1;
    if (word.empty()) continue;
    if (!empty && line.size() + 1 + word.size() > width) {
      out += line;
      out += '\n';
      line.assign(indent, ' ');
      empty = true;
    }
    if (!empty) line += ' ';
    line += word;
    empty = false;
  }
  return out + line;
}

std::string SceneLines(const std::vector<ShowScene>& scenes) {
  size_t widest = 0;
  for (const ShowScene& s : scenes) widest = std::max(widest, s.name.size());
  std::string lines;
  for (size_t i = 0; i < scenes.size(); ++i) {
    const ShowScene& s = scenes[i];
    lines += "                        ";
    lines += s.name;
    lines.append(widest + 2 - s.name.size(), ' ');
    lines += s.description;
    lines += ", ";
    lines += FormatMusicTime(s.startMs);
    lines += " to ";
    lines += FormatMusicTime(s.endMs);
    if (i == 0) lines += " (default)";
    lines += '\n';
  }
  return lines;
}

int32_t FramePlan::MusicTimeMs(int64_t k) const { return originMs + ShowTimeMs(k); }

int32_t FramePlan::ShowTimeMs(int64_t k) const { return static_cast<int32_t>(k * 1000 / fps); }

int64_t FramePlan::SheetCells() const { return count() > 0 ? CeilDiv(count(), fps) : 0; }

// Every fps-th frame from the first kept one: one frame per second of the capture.
int64_t FramePlan::SheetFrame(int64_t cell) const { return firstFrame + cell * fps; }

FramePlan PlanFrames(const Options& options) {
  const SceneWindow window = WindowOf(options);
  FramePlan plan;
  plan.fps = options.fps;
  plan.originMs = window.startMs;
  const int64_t from = options.fromMs.value_or(window.startMs) - window.startMs;
  const int64_t to = options.toMs.value_or(window.endMs) - window.startMs;
  plan.firstFrame = CeilDiv(from * options.fps, 1000);
  plan.endFrame = CeilDiv(to * options.fps, 1000);
  if (plan.endFrame < plan.firstFrame) plan.endFrame = plan.firstFrame;
  return plan;
}

std::string UsageText(const std::string& show, const std::vector<ShowScene>& scenes) {
  const std::string program = show + "-capture";
  return "Usage: " + program + " [options]\n\n" +
         WrapText("Plays the show off screen on a virtual clock and writes what it shows: PNG frames, a video "
                  "with the show's music, and/or a contact sheet. It reads the show's data from the directory it "
                  "is started in (the stage, beside " + show + ") or, where that holds none, the data installed "
                  "with it; the files it writes are named from where it was started. It needs no display: with one it draws into a "
                  "hidden window, without one off screen (SDL's \"offscreen\" driver); the pictures are the "
                  "same. The same command always gives the same frames.", 79) +
         R"(

Outputs (at least one):
  --out FILE.mp4      a video (H.264 and AAC through the ffmpeg program; .mkv
                      and .mov are written too); the show's music is muxed in
  --frames DIR        every frame as DIR/frame_NNNNNN.png, NNNNNN counted from
                      the start of the scene's window (frame N is at N/fps s)
  --sheet FILE.png    a contact sheet: one frame per second, with its time

Options:
  --fps N             frames per second, 1 to 240 (default 60)
  --size WxH          picture size in pixels, 16 to 8192 a side (default 1280x720)
  --scene NAME        what to play:
)" + SceneLines(scenes) +
         R"(  --from TIME         music time of the first frame kept, like 0:12.5 or
                      0:12.25 (minutes:seconds.fraction of a second; default:
                      the scene's start)
  --to TIME           music time where the capture ends (not included;
                      default: the scene's end)
  --help              this text

Frames before --from are still played (the show's clocks run from its start)
but not kept. The progress goes to standard error: a bar with the time left on
a terminal, plain lines otherwise. Ctrl-C stops the capture; no half-written
video or sheet is left under its name.

Exit status: 0 done; 64 bad command line; 69 ffmpeg missing (Debian package
"ffmpeg"); 70 the capture or ffmpeg failed; 73 an output cannot be written;
129/130/131/143 interrupted by SIGHUP/SIGINT/SIGQUIT/SIGTERM.
)";
}

std::string ReadCommandLine(const std::vector<std::string>& args, const std::vector<std::string>& flags,
                            const std::vector<std::string>& valued, Options& o, const TakeOption& take) {
  auto named = [](const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::optional<std::string> value;
    if (name.rfind("--", 0) != 0) return "unexpected argument " + Quoted(name) + " (options start with --)";
    if (const size_t eq = name.find('='); eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    if (named(flags, name)) {
      if (value) return name + " takes no value";
      if (std::string error = take(name, ""); !error.empty()) return error;
      continue;
    }
    if (!named(valued, name)) return "unknown option " + Quoted(name);
    if (!value) {
      if (i + 1 >= args.size()) return name + " needs a value";
      value = args[++i];
    }
    const std::string& v = *value;

    if (name == "--fps") {
      const auto fps = ReadWhole(v);
      if (!fps || *fps < 1 || *fps > kMaxFps)
        return "--fps: expected a whole number of frames per second from 1 to " + std::to_string(kMaxFps) +
               ", got " + Quoted(v);
      o.fps = static_cast<int>(*fps);
    } else if (name == "--size") {
      const size_t x = v.find_first_of("xX");
      const auto w = x == std::string::npos ? std::nullopt : ReadWhole(std::string_view(v).substr(0, x));
      const auto h = x == std::string::npos ? std::nullopt : ReadWhole(std::string_view(v).substr(x + 1));
      if (!w || !h) return "--size: expected WIDTHxHEIGHT in pixels, like 1280x720, got " + Quoted(v);
      if (*w < kMinSide || *h < kMinSide || *w > kMaxSide || *h > kMaxSide)
        return "--size: each side must be from " + std::to_string(kMinSide) + " to " + std::to_string(kMaxSide) +
               " pixels, got " + Quoted(v);
      o.width = static_cast<int>(*w);
      o.height = static_cast<int>(*h);
    } else if (name == "--scene") {
      size_t i = 0;
      while (i < o.scenes.size() && o.scenes[i].name != v) ++i;
      if (i == o.scenes.size()) {
        std::string names;
        for (size_t k = 0; k < o.scenes.size(); ++k) {
          if (k > 0) names += k + 1 == o.scenes.size() ? " or " : ", ";
          names += o.scenes[k].name;
        }
        return "--scene: expected " + names + ", got " + Quoted(v);
      }
      o.scene = i;
    } else if (name == "--from" || name == "--to") {
      const std::optional<int32_t> ms = ReadMusicTime(v);
      if (!ms)
        return name + ": expected a music time like 0:12.5 (minutes:seconds.fraction of a second), got " + Quoted(v);
      (name == "--from" ? o.fromMs : o.toMs) = ms;
    } else if (std::string error = take(name, v); !error.empty()) {
      return error;
    }
  }
  return "";
}

std::string CheckTimes(const Options& o) {
  const SceneWindow window = WindowOf(o);
  const std::string range = FormatMusicTime(window.startMs) + " to " + FormatMusicTime(window.endMs);
  const int32_t from = o.fromMs.value_or(window.startMs);
  const int32_t to = o.toMs.value_or(window.endMs);
  if (from < window.startMs || from >= window.endMs)
    return "--from " + FormatMusicTime(from) + " lies outside the " + SceneName(o) + " scene's window, " + range;
  if (to <= window.startMs || to > window.endMs)
    return "--to " + FormatMusicTime(to) + " lies outside the " + SceneName(o) + " scene's window, " + range;
  if (from >= to) return "--from " + FormatMusicTime(from) + " must come before --to " + FormatMusicTime(to);
  if (PlanFrames(o).count() < 1)
    return "no frame lies between " + FormatMusicTime(from) + " and " + FormatMusicTime(to) + " at " +
           std::to_string(o.fps) + " frames per second";
  return "";
}

ParseResult ParseOptions(const std::vector<std::string>& args, const std::vector<ShowScene>& scenes) {
  ParseResult result;
  Options& o = result.options;
  o.scenes = scenes;
  result.error = ReadCommandLine(
      args, {"--help"}, {"--fps", "--size", "--scene", "--from", "--to", "--frames", "--out", "--sheet"}, o,
      [&](const std::string& name, const std::string& v) -> std::string {
        if (name == "--help") {
          result.help = true;
        } else if (v.empty()) {
          return name + " needs a non-empty value";
        } else if (name == "--frames") {
          o.framesDir = v;
        } else if (name == "--out") {
          if (!VideoFormatFor(v)) return "--out: the video's name must end in .mp4 (or .mkv, .mov), got " + Quoted(v);
          o.outFile = v;
        } else if (name == "--sheet") {
          if (!EndsWith(v, ".png")) return "--sheet: the contact sheet's name must end in .png, got " + Quoted(v);
          o.sheetFile = v;
        }
        return "";
      });
  if (!result.error.empty() || result.help) return result;
  if (o.framesDir.empty() && o.outFile.empty() && o.sheetFile.empty())
    result.error = "nothing to write: give --out FILE.mp4, --frames DIR and/or --sheet FILE.png";
  else
    result.error = CheckTimes(o);
  return result;
}

}  // namespace VantorGL::capture
