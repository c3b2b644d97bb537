// vantorgl-content: the content tool any show's build can call to make its data
// files: music on its cues, surface pictures, 3DS models, text pictures and an
// icon. Every byte is a function of the command line (and the font file):
// no clocks, no library random generators, no time stamps, so a build that
// runs it twice gets the same files. Run with no arguments or --help for usage.
//
// Exit status: 0 written; 64 a bad command line; 1 the file could not be made
// (the reason on standard error). A file is written under its name only once
// it is complete.
#include <cstdio>
#include <algorithm>
#include <exception>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "shapes.h"
#include "surfaces.h"
#include "titles.h"
#include "tune.h"

namespace fs = std::filesystem;
using namespace content;

namespace {

constexpr int kExitUsage = 64;
constexpr int kMaxSide = 8192;

const char* const kUsage = R"(Usage: vantorgl-content COMMAND [options] --out FILE

Makes one data file for a show made on VantorGL. The same command line always
writes the same bytes.

Commands:
  tune      --seconds N --bpm N [--cues MS,MS,...]
            MP3 music, N seconds long (1 to 600), at N beats a minute (40 to
            240), with an accent (a hit, a crash, a chord) on every cue, in
            milliseconds from the start
  picture   --kind plates|normal-map|water|sky [--size WxH]
            a surface picture that tiles: riveted steel plates (JPEG), their
            tangent-space normal map (PNG), pool water (JPEG), an evening sky
            (JPEG); default size 512x512
  model     --shape logo|torus-knot|landscape
            a 3DS model: a toothed ring with letters, a smooth torus knot, hills
            around a lake
  text      --font FONT.ttf --text "WORDS" [--size WxH] [--colour R,G,B]
            [--glow R,G,B]
            a line of text on a clear PNG (default 1024x256), as large as fits;
            colours are 0 to 1 (default white over a blue glow)
  icon      --size N [--font FONT.ttf --text "AB"]
            an N x N PNG icon for a desktop entry (16 to 1024), with a letter
            or two in the middle when a font and text are given

Every command takes --out FILE; its folders are made as needed.
)";

struct CommandLine {
  std::string command;
  std::map<std::string, std::string> options;  // "--name" -> value
};

// "--name value" pairs after the command; a name given twice takes its last value.
std::optional<CommandLine> Read(int argc, char** argv, std::string* error) {
  CommandLine line;
  if (argc < 2) return std::nullopt;
  line.command = argv[1];
  for (int i = 2; i < argc; i += 2) {
    const std::string name = argv[i];
    if (name.rfind("--", 0) != 0) {
      *error = "expected an option, found \"" + name + "\"";
      return std::nullopt;
    }
    if (i + 1 >= argc) {
      *error = name + " needs a value";
      return std::nullopt;
    }
    line.options[name] = argv[i + 1];
  }
  return line;
}

class Options {
 public:
  Options(const CommandLine& line, std::vector<std::string> known) : line_(line), known_(std::move(known)) {}

  // The first option the command does not take, or "".
  std::string Unknown() const {
    for (const auto& [name, value] : line_.options)
      if (std::find(known_.begin(), known_.end(), name) == known_.end()) return name;
    return {};
  }
  bool Has(const std::string& name) const { return line_.options.count(name) != 0; }
  std::string Text(const std::string& name) const { return Has(name) ? line_.options.at(name) : std::string(); }

  // A whole number in [low, high]; throws Usage otherwise.
  int Number(const std::string& name, int low, int high) const {
    const std::string text = Text(name);
    size_t used = 0;
    long value = 0;
    try {
      value = std::stol(text, &used);
    } catch (const std::exception&) {
      used = 0;
    }
    if (text.empty() || used != text.size() || value < low || value > high)
      throw Usage(name + " must be a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                  (text.empty() ? "" : ", not \"" + text + "\""));
    return static_cast<int>(value);
  }

  // "WxH", each side in [1, kMaxSide].
  std::pair<int, int> Size(const std::string& name, std::pair<int, int> fallback) const {
    if (!Has(name)) return fallback;
    const std::string text = Text(name);
    int w = 0, h = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%dx%d%c", &w, &h, &tail) != 2 || w < 1 || h < 1 || w > kMaxSide || h > kMaxSide)
      throw Usage(name + " must be WIDTHxHEIGHT, 1 to " + std::to_string(kMaxSide) + " a side, not \"" + text + "\"");
    return {w, h};
  }

  // "R,G,B" with each in [0, 1].
  Rgba Colour(const std::string& name, Rgba fallback) const {
    if (!Has(name)) return fallback;
    const std::string text = Text(name);
    float r = 0, g = 0, b = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%f,%f,%f%c", &r, &g, &b, &tail) != 3 || r < 0 || g < 0 || b < 0 || r > 1 ||
        g > 1 || b > 1)
      throw Usage(name + " must be R,G,B with each from 0 to 1, not \"" + text + "\"");
    return {r, g, b, fallback.a};
  }

  struct Usage : std::runtime_error {
    using std::runtime_error::runtime_error;
  };

 private:
  const CommandLine& line_;
  std::vector<std::string> known_;
};

// Cue times: "0,3000,6000", each in [0, endMs), in any order.
std::vector<int32_t> Cues(const std::string& text, int32_t endMs) {
  std::vector<int32_t> cues;
  size_t start = 0;
  while (start <= text.size() && !text.empty()) {
    const size_t comma = text.find(',', start);
    const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    size_t used = 0;
    long value = -1;
    try {
      value = std::stol(item, &used);
    } catch (const std::exception&) {
      used = 0;
    }
    if (item.empty() || used != item.size() || value < 0 || value >= endMs)
      throw Options::Usage("--cues must list milliseconds from 0 to " + std::to_string(endMs - 1) +
                           " separated by commas, not \"" + item + "\"");
    cues.push_back(static_cast<int32_t>(value));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  std::sort(cues.begin(), cues.end());
  return cues;
}

// Written beside its final name, then renamed: a file under the name is whole.
void WriteFile(const fs::path& path, const Bytes& bytes) {
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  const fs::path partial = path.string() + ".partial";
  {
    std::ofstream f(partial, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    f.close();
    if (!f) {
      std::error_code ignored;
      fs::remove(partial, ignored);
      throw std::runtime_error("cannot write " + path.string());
    }
  }
  fs::rename(partial, path);
}

Bytes Make(const CommandLine& line) {
  const std::string& command = line.command;
  if (command == "tune") {
    const Options o(line, {"--out", "--seconds", "--bpm", "--cues"});
    if (const std::string u = o.Unknown(); !u.empty()) throw Options::Usage("tune takes no " + u);
    TuneSheet sheet;
    sheet.seconds = o.Number("--seconds", 1, 600);
    sheet.bpm = o.Number("--bpm", 40, 240);
    sheet.cuesMs = Cues(o.Text("--cues"), sheet.seconds * 1000);
    return MakeTune(sheet);
  }
  if (command == "picture") {
    const Options o(line, {"--out", "--kind", "--size"});
    if (const std::string u = o.Unknown(); !u.empty()) throw Options::Usage("picture takes no " + u);
    const auto [w, h] = o.Size("--size", {512, 512});
    const std::string kind = o.Text("--kind");
    if (kind == "plates") return MakePlatesPicture(w, h);
    if (kind == "normal-map") return MakePlatesNormalMap(w, h);
    if (kind == "water") return MakeWaterPicture(w, h);
    if (kind == "sky") return MakeSkyPicture(w, h);
    throw Options::Usage("--kind must be plates, normal-map, water or sky, not \"" + kind + "\"");
  }
  if (command == "model") {
    const Options o(line, {"--out", "--shape"});
    if (const std::string u = o.Unknown(); !u.empty()) throw Options::Usage("model takes no " + u);
    const std::string shape = o.Text("--shape");
    if (shape == "logo") return MakeLogoModel();
    if (shape == "torus-knot") return MakeTorusKnotModel();
    if (shape == "landscape") return MakeLandscapeModel();
    throw Options::Usage("--shape must be logo, torus-knot or landscape, not \"" + shape + "\"");
  }
  if (command == "text") {
    const Options o(line, {"--out", "--font", "--text", "--size", "--colour", "--glow"});
    if (const std::string u = o.Unknown(); !u.empty()) throw Options::Usage("text takes no " + u);
    if (!o.Has("--font") || !o.Has("--text")) throw Options::Usage("text needs --font and --text");
    const auto [w, h] = o.Size("--size", {1024, 256});
    const Typeface face(o.Text("--font"));
    return MakeTextPicture(face, o.Text("--text"), w, h, o.Colour("--colour", {1, 1, 1, 1}),
                           o.Colour("--glow", {0.25f, 0.65f, 1.0f, 0.85f}));
  }
  if (command == "icon") {
    const Options o(line, {"--out", "--size", "--font", "--text"});
    if (const std::string u = o.Unknown(); !u.empty()) throw Options::Usage("icon takes no " + u);
    const int size = o.Number("--size", 16, 1024);
    if (o.Has("--text") != o.Has("--font")) throw Options::Usage("icon takes --text and --font together");
    if (!o.Has("--font")) return MakeIcon(size, nullptr, "");
    const Typeface face(o.Text("--font"));
    return MakeIcon(size, &face, o.Text("--text"));
  }
  throw Options::Usage("no command \"" + command + "\" (tune, picture, model, text or icon)");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? kExitUsage : 0;
  }
  std::string error;
  const std::optional<CommandLine> line = Read(argc, argv, &error);
  try {
    if (!line) throw Options::Usage(error);
    if (!line->options.count("--out")) throw Options::Usage(line->command + " needs --out FILE");
    const Bytes bytes = Make(*line);
    WriteFile(line->options.at("--out"), bytes);
    return 0;
  } catch (const Options::Usage& e) {
    std::fprintf(stderr, "vantorgl-content: %s\n(vantorgl-content --help lists the commands)\n", e.what());
    return kExitUsage;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vantorgl-content: %s\n", e.what());
    return 1;
  }
}
