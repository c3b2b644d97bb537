// The data tree the build writes into the stage, read back with the engine's own
// readers: every name the registry asks for resolves to a file, models and the
// camera export load with what the show needs, every picture decodes at its size
// on its path, both tunes decode to their exact length with the accents on the
// cue sheet, and the content tool gives the same bytes on every run.
#include <epoxy/gl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "properties/property_system.h"
#include "resources/texture_images.h"
#include "resources/texture_system.h"
#include "scenedata/ase_loader.h"
#include "scenedata/model_3ds.h"
#include "shell/mp3_decoder.h"
#include "tests/support/gl_fixture.h"
#include "tests/support/show_facts.h"

using namespace VantorGL;
namespace fs = std::filesystem;

namespace {

const fs::path kStage = VANTOR_STAGE_DIR;

std::vector<uint8_t> Bytes(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::string Text(const fs::path& p) {
  const auto b = Bytes(p);
  return std::string(b.begin(), b.end());
}

// The 71 names the registry's load list asks for.
std::vector<std::string> RegistryNames() {
  std::vector<std::string> names = {"Scenery1Tex01", "NM1",         "WaterTexture",
                                    "skyTexture",    "OverlayI",    "testScenary",
                                    "KMLogo",        "testShaderObject", "testScenaryCam"};
  for (int i = 0; i < 6; ++i) names.push_back("Tex" + std::to_string(i));
  for (int i = 0; i < 56; ++i) names.push_back("Slide" + std::to_string(i));
  return names;
}

class ContentTree : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(kStage / "data/default.qelProperty"))
        << "the stage has no data tree: build the `content` target first";
    ASSERT_EQ(props_.LoadText(Text(kStage / "data/default.qelProperty")).status,
              cPropertySystem::Status::kOk);
  }
  fs::path FileOf(const std::string& name) const {
    const FileProperty* f = props_.FindFileRecord(name);
    return f ? kStage / f->fileName : fs::path();
  }
  cPropertySystem props_;
};

TEST_F(ContentTree, EveryRegistryNameResolvesToAFile) {
  const auto names = RegistryNames();
  ASSERT_EQ(names.size(), 71u);
  for (const std::string& name : names) {
    const FileProperty* f = props_.FindFileRecord(name);
    ASSERT_NE(f, nullptr) << name;
    EXPECT_FALSE(f->description.empty()) << name;
    EXPECT_TRUE(fs::is_regular_file(kStage / f->fileName)) << name << " -> " << f->fileName;
  }
  for (const char* fixed : {"data/General/music.mp3", "data/General/loading.mp3",
                            "data/General/loading.jpg", "Data/General/c_font.ttf"})
    EXPECT_TRUE(fs::is_regular_file(kStage / fixed)) << fixed;
  if (fs::exists(fs::path(VANTOR_SOURCE_DIR) / "data/Shaders/test.geom")) {
    EXPECT_EQ(Bytes(kStage / "Data/Shaders/test.geom"),
              Bytes(fs::path(VANTOR_SOURCE_DIR) / "data/Shaders/test.geom"));
  }
  // The other block kinds are there as examples, and the relative one resolves.
  EXPECT_EQ(props_.colours.size(), 2u);
  EXPECT_EQ(props_.rotations.size(), 1u);
  EXPECT_EQ(props_.scales.size(), 1u);
  EXPECT_EQ(props_.times.size(), 3u);
  ASSERT_EQ(props_.positions.size(), 2u);
  EXPECT_EQ(props_.positions[1].relativeName, "LogoCentre");
  EXPECT_FLOAT_EQ(props_.positions[1].y, 20.0f);
  EXPECT_FLOAT_EQ(props_.positions[1].z, -50.0f);
}

TEST_F(ContentTree, ModelsLoadWithMeshesMappingAndGroups) {
  for (const char* name : {"testScenary", "KMLogo", "testShaderObject"}) {
    SCOPED_TRACE(name);
    const auto bytes = Bytes(FileOf(name));
    c3DsModelSystem model;
    ASSERT_TRUE(model.LoadFromBytes(bytes.data(), bytes.size()));
    ASSERT_GE(model.meshCount, 1);
    ASSERT_GE(model.materialCount, 1);
    for (const Mesh3Ds& mesh : model.meshes) {
      EXPECT_GT(mesh.vertexCount, 0);
      EXPECT_TRUE(mesh.hasTexCoords);
      ASSERT_GE(mesh.groupCount, 1);
      // Every face is drawn: the groups together hold every face once.
      int32_t grouped = 0;
      for (const FaceGroup3Ds& g : mesh.groups) {
        grouped += g.indexCount;
        EXPECT_LT(g.materialIndex, model.materialCount) << "group names a missing material";
      }
      EXPECT_EQ(grouped, mesh.faceIndexCount);
      for (size_t v = 0; v < mesh.normals.size(); v += 3) {
        const float len = std::hypot(mesh.normals[v], mesh.normals[v + 1], mesh.normals[v + 2]);
        ASSERT_NEAR(len, 1.0f, 1e-3f) << "vertex " << v / 3 << " is in no face";
      }
    }
  }
  // The landscape's normals point up: faces wind counter-clockwise from above.
  const auto bytes = Bytes(FileOf("testScenary"));
  c3DsModelSystem land;
  ASSERT_TRUE(land.LoadFromBytes(bytes.data(), bytes.size()));
  for (size_t v = 1; v < land.meshes[0].normals.size(); v += 3)
    ASSERT_GT(land.meshes[0].normals[v], 0.0f);
}

TEST_F(ContentTree, CameraExportHoldsBothCameraTracksAndTheRotation) {
  cFileLoader_ASE ase;
  ase.LoadText(Text(FileOf("testScenaryCam")));
  ASSERT_EQ(ase.objects.size(), 3u);
  for (const char* name : {"Camera01", "Camera01.Rotation", "Camera01.Target"}) {
    SCOPED_TRACE(name);
    const AnimatedObject* o = ase.FindObject(name);
    ASSERT_NE(o, nullptr);
    ASSERT_EQ(o->count, 61);
    EXPECT_EQ(o->keyTimes[0], 0);
    EXPECT_EQ(o->keyTimes[60], 30000) << "900 frames at 30 per second";
    for (int k = 1; k < o->count; ++k) EXPECT_EQ(o->keyTimes[k] - o->keyTimes[k - 1], 500);
  }
  // The eye flies above the land (Y-up after loading), its target below it.
  const AnimatedObject* eye = ase.FindObject("Camera01");
  const AnimatedObject* target = ase.FindObject("Camera01.Target");
  for (int k = 0; k < eye->count; ++k) {
    EXPECT_GT(eye->keyValues[k][1], 150.0);
    EXPECT_LT(target->keyValues[k][1], eye->keyValues[k][1]);
  }
}

TEST_F(ContentTree, EveryPictureDecodesAtItsSizeOnItsPath) {
  struct Expect {
    std::string name;
    int width, height;
  };
  std::vector<Expect> expects = {{"Scenery1Tex01", 512, 512}, {"NM1", 512, 512},
                                 {"WaterTexture", 512, 512},  {"skyTexture", 1024, 512},
                                 {"OverlayI", 1024, 768}};
  for (int i = 0; i < 6; ++i) expects.push_back({"Tex" + std::to_string(i), 1024, 768});
  for (int i = 0; i < 56; ++i) expects.push_back({"Slide" + std::to_string(i), 1024, 768});
  for (const Expect& e : expects) {
    SCOPED_TRACE(e.name);
    const fs::path file = FileOf(e.name);
    const auto bytes = Bytes(file);
    const bool png = file.string().find(".png") != std::string::npos;
    const auto image = png ? DecodePng(bytes.data(), bytes.size())
                           : DecodePictureFile(bytes.data(), bytes.size());
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->width, e.width);
    EXPECT_EQ(image->height, e.height);
    const bool overlayOrSlide = e.name == "OverlayI" || e.name.rfind("Slide", 0) == 0;
    EXPECT_EQ(png, overlayOrSlide || e.name == "NM1") << "slides and overlay are PNGs, pictures JPEGs";
    if (overlayOrSlide) {
      ASSERT_EQ(image->channels, 4);
      // Clear around the text, something drawn in it.
      size_t clear = 0, solid = 0;
      for (size_t p = 3; p < image->pixels.size(); p += 4) {
        clear += image->pixels[p] == 0;
        solid += image->pixels[p] > 200;
      }
      EXPECT_GT(solid, 500u);
      // Slides up for more than 200 ms carry text and leave at least a quarter
      // of the picture clear; the shorter ones may be flashes.
      if (e.name.rfind("Slide", 0) == 0) {
        const int slide = std::stoi(e.name.substr(5));
        int32_t shownMs = 1000;  // slide 4 is never shown; it is a text slide
        for (const vantor_test::ShowCue& cue : vantor_test::kShowCues)
          if (cue.slide == slide) shownMs = cue.toMs - cue.fromMs;
        if (shownMs > 200) {
          EXPECT_GT(clear, image->pixels.size() / 4 / 4);
        }
      }
    } else if (!png) {
      // The picture path makes pure black clear; the pictures have none.
      for (size_t p = 0; p + 3 < image->pixels.size(); p += image->channels)
        ASSERT_FALSE(image->pixels[p] == 0 && image->pixels[p + 1] == 0 && image->pixels[p + 2] == 0);
    }
  }
  const auto loading = Bytes(kStage / "data/General/loading.jpg");
  const auto picture = DecodePictureFile(loading.data(), loading.size());
  ASSERT_TRUE(picture.has_value());
  EXPECT_EQ(picture->width, 1232);
  EXPECT_EQ(picture->height, 832);
}

// Mean level of 10 ms windows of interleaved stereo, starting at `ms`.
double Level(const DecodedAudio& a, double ms, double lengthMs) {
  const int64_t from = static_cast<int64_t>(ms * 44.1), to = static_cast<int64_t>((ms + lengthMs) * 44.1);
  double sum = 0;
  for (int64_t i = from; i < to; ++i) sum += std::fabs(a.samples[static_cast<size_t>(i) * 2]);
  return sum / static_cast<double>(to - from);
}

TEST_F(ContentTree, TunesDecodeToTheirLengthWithAccentsOnTheCues) {
  const auto musicBytes = Bytes(kStage / "data/General/music.mp3");
  const auto music = DecodeMp3(musicBytes.data(), musicBytes.size(), 44100);
  ASSERT_TRUE(music.has_value());
  EXPECT_EQ(music->sourceRate, 44100);
  EXPECT_EQ(music->frames, 52 * 44100) << "the info tag gives the exact length";
  // Every slide change is an accent: the 30 ms after it are louder than the 30 ms
  // before it.
  for (size_t i = 1; i < vantor_test::kShowCues.size(); ++i) {
    const double at = vantor_test::kShowCues[i].fromMs;
    double after = 0;
    for (double w = 0; w < 30; w += 10) after = std::max(after, Level(*music, at + w, 10));
    EXPECT_GT(after, 1.05 * Level(*music, at - 40, 30)) << "no accent at " << at << " ms";
  }

  const auto loopBytes = Bytes(kStage / "data/General/loading.mp3");
  const auto loop = DecodeMp3(loopBytes.data(), loopBytes.size(), 44100);
  ASSERT_TRUE(loop.has_value());
  EXPECT_EQ(loop->frames, 4 * 44100);
  // Seamless: the step from the last sample to the first is an ordinary one, no
  // bigger than 999 in 1000 of the steps inside the loop.
  std::vector<double> steps;
  for (size_t i = 2; i < loop->samples.size(); ++i)
    steps.push_back(std::fabs(double(loop->samples[i]) - loop->samples[i - 2]));
  std::sort(steps.begin(), steps.end());
  const double ordinary = steps[steps.size() * 999 / 1000];
  const size_t n = loop->samples.size();
  EXPECT_LE(std::fabs(double(loop->samples[0]) - loop->samples[n - 2]), ordinary);
  EXPECT_LE(std::fabs(double(loop->samples[1]) - loop->samples[n - 1]), ordinary);
}

std::map<std::string, std::vector<uint8_t>> TreeOf(const fs::path& root) {
  std::map<std::string, std::vector<uint8_t>> files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) files[fs::relative(e.path(), root).string()] = Bytes(e.path());
  return files;
}

TEST(ContentTool, TwoRunsWriteTheSameBytesAsTheStage) {
  const fs::path tool = fs::path(VANTOR_BINARY_DIR) / "shows/tessaly/content/tessaly-content";
  ASSERT_TRUE(fs::exists(tool));
  const fs::path base = fs::temp_directory_path() / ("tessaly_content_" + std::to_string(getpid()));
  std::string args = " --font '" + (kStage / "Data/General/c_font.ttf").string() + "'";
  const fs::path geom = fs::path(VANTOR_SOURCE_DIR) / "data/Shaders/test.geom";
  if (fs::exists(geom)) args += " --geom '" + geom.string() + "'";
  for (const char* run : {"a", "b"})
    ASSERT_EQ(std::system((tool.string() + " --out '" + (base / run).string() + "'" + args).c_str()), 0);
  const auto a = TreeOf(base / "a"), b = TreeOf(base / "b");
  fs::remove_all(base);
  EXPECT_EQ(a.size(), fs::exists(geom) ? 77u : 76u);
  for (const auto& [path, bytes] : a) {
    ASSERT_TRUE(b.count(path)) << path;
    EXPECT_TRUE(b.at(path) == bytes) << path << " differs between runs";
  }
  // The build keeps the stage current with the tool.
  if (fs::exists(kStage / "data/default.qelProperty")) {
    const auto staged = TreeOf(kStage);
    for (const auto& [path, bytes] : a) {
      ASSERT_TRUE(staged.count(path)) << path;
      EXPECT_TRUE(staged.at(path) == bytes) << path << " in the stage is stale";
    }
  }
}

// vantorgl-content, the tool any show's build calls: each command writes what
// the engine's readers take, as asked; a cue is an accent; a bad command line
// is refused with status 64 and leaves no file.
TEST(ContentTool, EveryCommandWritesWhatTheEngineReads) {
  const fs::path tool = fs::path(VANTOR_BINARY_DIR) / "tools/content/vantorgl-content";
  ASSERT_TRUE(fs::exists(tool));
  const fs::path dir = fs::temp_directory_path() / ("vantorgl_content_" + std::to_string(getpid()));
  auto run = [&](const std::string& args, const char* file) {
    const std::string out = file ? " --out '" + (dir / file).string() + "'" : "";
    const int status = std::system((tool.string() + " " + args + out + " 2>/dev/null").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };

  struct Picture {
    const char* kind;
    const char* file;
  };
  for (const Picture p : {Picture{"plates", "p.jpg"}, Picture{"normal-map", "n.png"}, Picture{"water", "w.jpg"},
                          Picture{"sky", "s.jpg"}}) {
    SCOPED_TRACE(p.kind);
    ASSERT_EQ(run(std::string("picture --kind ") + p.kind + " --size 96x48", p.file), 0);
    const auto bytes = Bytes(dir / p.file);
    const bool png = std::string(p.file).ends_with(".png");
    const auto image = png ? DecodePng(bytes.data(), bytes.size()) : DecodePictureFile(bytes.data(), bytes.size());
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->width, 96);
    EXPECT_EQ(image->height, 48);
  }
  for (const char* shape : {"logo", "torus-knot", "landscape"}) {
    SCOPED_TRACE(shape);
    ASSERT_EQ(run(std::string("model --shape ") + shape, "m.3ds"), 0);
    const auto bytes = Bytes(dir / "m.3ds");
    c3DsModelSystem model;
    EXPECT_TRUE(model.LoadFromBytes(bytes.data(), bytes.size())) << "a fault in the file";
    EXPECT_GE(model.meshCount, 1);
  }

  // Words and an icon: clear at the corners, drawn in the middle.
  const std::string font = (kStage / "Data/General/c_font.ttf").string();
  ASSERT_EQ(run("text --font '" + font + "' --text HI --size 128x64", "t.png"), 0);
  ASSERT_EQ(run("icon --size 48", "i.png"), 0);
  for (const auto& [file, w, h] : {std::tuple{"t.png", 128, 64}, std::tuple{"i.png", 48, 48}}) {
    SCOPED_TRACE(file);
    const auto bytes = Bytes(dir / file);
    const auto image = DecodePng(bytes.data(), bytes.size());
    ASSERT_TRUE(image.has_value());
    ASSERT_EQ(image->channels, 4);
    EXPECT_EQ(image->width, w);
    EXPECT_EQ(image->height, h);
    auto alpha = [&](int x, int y) { return image->pixels[(static_cast<size_t>(y) * w + x) * 4 + 3]; };
    EXPECT_EQ(alpha(0, 0), 0);
    EXPECT_EQ(alpha(w - 1, h - 1), 0);
    EXPECT_GT(alpha(w / 2, h / 2), 200);
  }

  // Music of the length asked; the cue at 1.25 s, off the beat, is an accent
  // that the same tune without it does not have.
  ASSERT_EQ(run("tune --seconds 3 --bpm 120 --cues 0", "plain.mp3"), 0);
  ASSERT_EQ(run("tune --seconds 3 --bpm 120 --cues 1250,0", "cued.mp3"), 0);
  const auto plainBytes = Bytes(dir / "plain.mp3"), cuedBytes = Bytes(dir / "cued.mp3");
  const auto plain = DecodeMp3(plainBytes.data(), plainBytes.size(), 44100);
  const auto cued = DecodeMp3(cuedBytes.data(), cuedBytes.size(), 44100);
  ASSERT_TRUE(plain && cued);
  EXPECT_EQ(cued->frames, 3 * 44100);
  EXPECT_GT(Level(*cued, 1250, 60), 2 * Level(*plain, 1250, 60));

  for (const char* bad : {"tune --seconds 3 --bpm 120 --cues 3000", "tune --seconds 3 --bpm 20",
                          "picture --kind bricks", "picture --kind sky --size 0x5", "model --shape cube",
                          "icon --size 8", "text --text HI", "clouds"}) {
    EXPECT_EQ(run(bad, "bad"), 64) << bad;
    EXPECT_FALSE(fs::exists(dir / "bad")) << bad;
  }
  EXPECT_EQ(run("model --shape logo", nullptr), 64) << "no --out";
  fs::remove_all(dir);
}

// The real texture object on a real context: each picture becomes a texture of
// the size its path gives it.
class ContentTextures : public vantor_test::GlTest {};

TEST_F(ContentTextures, EveryImageUploads) {
  cPropertySystem props;
  ASSERT_EQ(props.LoadText(Text(kStage / "data/default.qelProperty")).status,
            cPropertySystem::Status::kOk);
  for (const FileProperty& f : props.files) {
    const std::string& path = f.fileName;
    const bool png = path.find(".png") != std::string::npos;
    if (!png && path.find(".jpg") == std::string::npos) continue;
    SCOPED_TRACE(f.name);
    const auto bytes = Bytes(kStage / path);
    cTextureSystem tex;
    ASSERT_TRUE(png ? tex.LoadPngBytes(bytes.data(), bytes.size())
                    : tex.LoadPictureBytes(bytes.data(), bytes.size()));
    GLint w = 0, h = 0;
    glBindTexture(GL_TEXTURE_2D, tex.texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    // 768 rounds up on both paths; every other side is a power of two already.
    const bool wide = f.name == "skyTexture" || f.name.rfind("Tex", 0) == 0 ||
                      f.name.rfind("Slide", 0) == 0 || f.name == "OverlayI";
    EXPECT_EQ(w, wide ? 1024 : 512);
    EXPECT_EQ(h, f.name == "skyTexture" || !wide ? 512 : 1024);
    glBindTexture(GL_TEXTURE_2D, 0);
    GLuint name = tex.texture;
    glDeleteTextures(1, &name);
  }
}

}  // namespace
