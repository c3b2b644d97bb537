// tessaly-content: writes the production's whole data tree, the one `tessaly`
// reads from its working directory, into a given folder (the build's stage).
//
//   tessaly-content --out DIR --font FONT.ttf [--geom test.geom]
//
// Every byte is a function of the inputs: no clocks, no library random
// generators, no time stamps in any file, so two runs give identical trees.
// The property file is written last: its presence marks a finished tree.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "content.h"
#include "cue_sheet.h"

namespace fs = std::filesystem;
using namespace content;

namespace {

struct Entry {
  std::string name;  // the FILE entry's NAME
  std::string desc;
  std::string path;  // relative to the working directory
};

void WriteFile(const fs::path& root, const std::string& rel, const Bytes& bytes) {
  const fs::path p = root / rel;
  fs::create_directories(p.parent_path());
  std::ofstream f(p, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!f) throw std::runtime_error("cannot write " + p.string());
}

void WriteText(const fs::path& root, const std::string& rel, const std::string& text) {
  WriteFile(root, rel, Bytes(text.begin(), text.end()));
}

Bytes ReadAll(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  if (!f) throw std::runtime_error("cannot read " + p.string());
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::string TwoDigits(int i) {
  char buf[12];  // any int
  std::snprintf(buf, sizeof buf, "%02d", i);
  return buf;
}

// The property file: every asset the registry asks for by name, and a few of
// the other block kinds so the next demo maker sees the whole format.
std::string PropertyFile(const std::vector<Entry>& entries) {
  std::ostringstream o;
  o << "QELPROPERTY\n"
       "VERSION 1\n"
       "\n"
       "# Tessaly 2011 - the production's named data\n"
       "# written by the content tool - edit the tool and rebuild instead of this file\n"
       "# FILE blocks name the asset files - paths are relative to the working directory\n"
       "\n";
  std::string section;
  for (const Entry& e : entries) {
    std::string group = e.name.rfind("Slide", 0) == 0 ? "slides"
                        : e.name.rfind("Tex", 0) == 0 ? "background loop"
                                                      : "textures, models and the camera path";
    if (group != section) {
      o << "# " << group << "\n";
      section = group;
    }
    o << "FILE {\n"
      << "\tNAME \"" << e.name << "\"\n"
      << "\tDESC \"" << e.desc << "\"\n"
      << "\tFILENAME \"" << e.path << "\"\n"
      << "\tRESCALE 1.0\n"
      << "}\n";
  }
  o << "\n# Values nothing reads yet - a sketch of the water scene's set-up\n"
       "COLOR {\n\tNAME \"SkyTint\"\n\tDESC \"warm light near the horizon\"\n"
       "\tRGB 0.98 0.66 0.42\n\tALPHA 1.0\n}\n"
       "COLOR {\n\tNAME \"TextGlow\"\n\tDESC \"glow behind the slide text\"\n"
       "\tRGB 0.25 0.75 1.0\n\tALPHA 0.9\n}\n"
       "POSITION {\n\tNAME \"LogoCentre\"\n\tDESC \"where the logo floats\"\n\tXYZ 0 10 0\n}\n"
       "POSITION {\n\tNAME \"CameraStart\"\n\tDESC \"the first eye position, from the logo\"\n"
       "\tXYZ 0 10 -50\n\tRELATIVE_XYZ \"LogoCentre\"\n}\n"
       "ROTATION {\n\tNAME \"LogoSpin\"\n\tDESC \"axis and degrees per millisecond\"\n"
       "\tXYZ 1 1 0\n\tANGLE 0\n\tSPEED 0.01\n}\n"
       "SCALE {\n\tNAME \"LogoScale\"\n\tDESC \"the logo model drawn at this size\"\n"
       "\tXYZ 0.3 0.3 0.3\n}\n"
       "TIME {\n\tNAME \"ShowStart\"\n\tDESC \"milliseconds of show time\"\n\tTIME_LONG 0\n}\n"
       "TIME {\n\tNAME \"ShowEnd\"\n\tDESC \"the show closes here\"\n\tTIME_LONG "
    << kShowEndMs
    << "\n\tRELATIVE_TIME_NAME \"ShowStart\"\n}\n"
       "TIME {\n\tNAME \"WaterScene\"\n\tDESC \"the water scene's window opens\"\n"
       "\tTIME_LONG 60000\n\tRELATIVE_TIME_NAME \"ShowStart\"\n}\n";
  return o.str();
}

int Run(const fs::path& out, const fs::path& font, const fs::path& geom) {
  const Typeface face(font.string());
  std::vector<Entry> entries;
  auto add = [&](const std::string& name, const std::string& desc, const std::string& path,
                 const Bytes& bytes) {
    WriteFile(out, path, bytes);
    entries.push_back({name, desc, path});
  };

  // The tunes take longest; they are made on a second thread beside the
  // pictures (one after the other: one encoder at a time).
  auto tunes = std::async(std::launch::async, [] {
    Bytes music = MakeMusic();
    return std::make_pair(std::move(music), MakeLoadingTune());
  });

  add("Scenery1Tex01", "riveted steel plates - logo and water colour", "data/Textures/scenery1.jpg",
      MakePlatesPicture(512, 512));
  add("NM1", "tangent-space normal map of the steel plates", "data/Textures/nm1.png", MakePlatesNormalMap(512, 512));
  add("WaterTexture", "pool water with caustic light", "data/Textures/water.jpg", MakeWaterPicture(512, 512));
  add("skyTexture", "evening sky for the dome", "data/Textures/sky.jpg", MakeSkyPicture(1024, 512));
  add("OverlayI", "letterbox frame over the water scene", "data/Textures/overlay.png",
      MakeOverlay(face));
  add("testScenary", "landscape - hills around a lake", "data/Models/scenary.3ds", MakeLandscapeModel());
  add("KMLogo", "the logo emblem - toothed ring and letters", "data/Models/kmlogo.3ds", MakeLogoModel());
  add("testShaderObject", "smooth torus knot for the shaders", "data/Models/shaderobject.3ds",
      MakeTorusKnotModel());
  const std::string ase = MakeCameraExport();
  add("testScenaryCam", "camera flight over the landscape", "data/Animation/scenary_cam.ase",
      Bytes(ase.begin(), ase.end()));
  for (int i = 0; i < kBackgroundFrames; ++i)
    add("Tex" + std::to_string(i), "background loop frame " + std::to_string(i + 1) + " of 6",
        "data/Background/tex" + std::to_string(i) + ".jpg", MakeBackgroundFrame(i));
  for (int i = 0; i < kSlideCount; ++i)
    add("Slide" + std::to_string(i), "slide " + std::to_string(i) + " - " + SlideCaption(i),
        "data/Slides/slide" + TwoDigits(i) + ".png", MakeSlide(i, face));

  WriteFile(out, "data/General/loading.jpg", MakeLoadingPicture(face));
  WriteFile(out, "Data/General/c_font.ttf", ReadAll(font));
  // The geometry stage is the engine's: the build puts it into every show's
  // stage. Given here, it is written into a tree made by hand.
  if (!geom.empty() && fs::exists(geom)) WriteFile(out, "Data/Shaders/test.geom", ReadAll(geom));
  const auto [music, loadingTune] = tunes.get();
  WriteFile(out, "data/General/music.mp3", music);
  WriteFile(out, "data/General/loading.mp3", loadingTune);
  WriteText(out, "data/default.qelProperty", PropertyFile(entries));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  fs::path out, font, geom;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i];
    if (key == "--out") out = argv[i + 1];
    else if (key == "--font") font = argv[i + 1];
    else if (key == "--geom") geom = argv[i + 1];
  }
  if (out.empty() || font.empty()) {
    std::fprintf(stderr, "usage: tessaly-content --out DIR --font FONT.ttf [--geom test.geom]\n");
    return 64;
  }
  try {
    return Run(out, font, geom);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tessaly-content: %s\n", e.what());
    return 1;
  }
}
