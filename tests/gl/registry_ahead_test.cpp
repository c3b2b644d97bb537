// The registry on the generated data tree: with its pictures and music read and
// decoded ahead on other threads, and the pictures put into their textures on
// another thread too, it writes the same log lines and makes the same textures
// and music as one that reads everything itself; one asset read again
// while the show runs replaces the old one only when its new file is whole.
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "registry.h"
#include "tests/support/gl_fixture.h"
#include "tests/support/image_files.h"
#include "tests/support/log_lines.h"
#include "tests/support/process.h"

using namespace VantorGL;
using namespace vantor_test;
namespace fs = std::filesystem;

namespace {

struct Loaded {
  std::vector<std::string> log;
  std::vector<std::string> textures;  // per texture: its size and a hash of its pixels
  uint64_t musicBytes = 0;
  size_t handedOver = 0;  // pictures and tunes LoadAll took from the work done ahead
  size_t uploadedAside = 0;
  GLint bound = 0;  // the texture LoadAll left bound
};

enum class Way { kSerial, kAhead, kAheadUploadedAside };

std::string Describe(cTextureSystem& texture) {
  if (texture.texture == 0) return "none";
  texture.Bind();
  GLint width = 0, height = 0, wrapS = 0, wrapT = 0, minFilter = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  uint64_t hash = 1469598103934665603ull;
  for (uint8_t b : pixels) hash = (hash ^ b) * 1099511628211ull;
  const GLuint name = texture.texture;
  glDeleteTextures(1, &name);  // two loads of every slide would not fit well
  return std::to_string(width) + "x" + std::to_string(height) + " " + std::to_string(hash) + " wrap " +
         std::to_string(wrapS) + "/" + std::to_string(wrapT) + " min " + std::to_string(minFilter);
}

Loaded Load(const std::string& dir, Way way) {
  const fs::path oldCwd = fs::current_path();
  fs::current_path(dir);
  cDebugSystem::Instance().Open("debug.log");
  Loaded loaded;
  {
    std::optional<AssetsAhead> pool;
    cResources registry;
    if (way != Way::kSerial) {
      pool.emplace();
      cResources::ListAhead(*pool);
      registry.ahead = &*pool;
      if (way == Way::kAheadUploadedAside) pool->UploadThrough(MakeSharedGlContext());
    }
    registry.SetMusicFile();
    registry.LoadAll();
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &loaded.bound);
    loaded.bound = loaded.bound == static_cast<GLint>(registry.slides[55].texture) ? 1 : -loaded.bound;
    loaded.log = LogLinesAfterBanner("debug.log");
    loaded.musicBytes = audio::ChannelGetLength(registry.music.stream, audio::POS_BYTE);
    for (cTextureSystem* t : {&registry.scenery1Tex01, &registry.nm1, &registry.waterTexture,
                              &registry.skyTexture, &registry.overlayI})
      loaded.textures.push_back(Describe(*t));
    for (int i = 0; i < 6; ++i) loaded.textures.push_back(Describe(registry.tex[i]));
    for (int i = 0; i < 56; ++i) loaded.textures.push_back(Describe(registry.slides[i]));
    if (pool) loaded.handedOver = pool->HandedOver();
    if (pool) loaded.uploadedAside = pool->UploadedAside();
  }
  cDebugSystem::Instance().file.close();
  fs::current_path(oldCwd);
  return loaded;
}

}  // namespace

class RegistryAhead : public GlTest {};

TEST_F(RegistryAhead, LoadsTheSameAsReadingEverythingOnTheMainThread) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  const WorkDir dir = WorkDir::CopyOfStage();
  ASSERT_TRUE(fs::exists(dir.File("data/default.qelProperty"))) << "no stage";

  const Loaded serial = Load(dir.path(), Way::kSerial);
  EXPECT_EQ(serial.bound, 1) << "the last slide is left bound";
  ASSERT_GT(serial.log.size(), 5u);
  EXPECT_GT(serial.musicBytes, 0u);
  ASSERT_EQ(serial.textures.size(), 67u);
  for (const Way way : {Way::kAhead, Way::kAheadUploadedAside}) {
    const Loaded ahead = Load(dir.path(), way);
    SCOPED_TRACE(way == Way::kAhead ? "made ahead" : "made ahead, uploaded on another thread");
    // The music, the five textures, six background frames and 56 slides.
    EXPECT_EQ(ahead.handedOver, 68u) << "LoadAll read for itself what was made ahead";
    // Every picture LoadAll took: the uploads end with the last one, before
    // anything reads them.
    EXPECT_EQ(ahead.uploadedAside, way == Way::kAhead ? 0u : 67u);
    EXPECT_EQ(ahead.log, serial.log);
    EXPECT_EQ(ahead.musicBytes, serial.musicBytes);
    EXPECT_EQ(ahead.bound, serial.bound);
    for (size_t i = 0; i < serial.textures.size(); ++i) {
      EXPECT_NE(serial.textures[i], "none") << i;
      EXPECT_EQ(ahead.textures[i], serial.textures[i]) << "texture " << i;
    }
  }
}

namespace {

std::vector<uint8_t> Pixels(const cTextureSystem& texture) {
  glBindTexture(GL_TEXTURE_2D, texture.texture);
  GLint width = 0, height = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  return pixels;
}

}  // namespace

class RegistryReload : public GlTest {};

// Files still being written (a pause between writes is all a watcher sees) must
// leave the old texture in use; a texture or geometry stage that was unusable
// at start-up and is then mended must reach the effects that draw with it.
TEST_F(RegistryReload, AFileCutShortKeepsTheOldTextureAndAMendedAssetReachesTheEffects) {
  const WorkDir dir = WorkDir::CopyOfStage();
  ASSERT_TRUE(fs::exists(dir.File("data/default.qelProperty"))) << "no stage";
  struct Back {
    fs::path cwd = fs::current_path();
    ~Back() {
      cDebugSystem::Instance().file.close();
      fs::current_path(cwd);
    }
  } back;
  fs::current_path(dir.path());
  cDebugSystem::Instance().Open("debug.log");
  {
    cResources registry;
    registry.properties.Load(cResources::kPropertyFile);
    const std::string skyFile = registry.properties.FindFile("skyTexture").fileName;
    const std::string frameFile = registry.properties.FindFile("Tex0").fileName;
    const std::string normalsFile = registry.properties.FindFile("NM1").fileName;
    ASSERT_EQ(skyFile, "data/Textures/sky.jpg");
    ASSERT_EQ(normalsFile, "data/Textures/nm1.png");

    // At start-up the normal map is missing and the geometry stage lacks its
    // output layout: it compiles, but the program does not link.
    fs::rename(normalsFile, "nm1.aside");
    const std::string geometry = ReadText(cGeometryShader::kGeometryFile);
    const std::string outLayout = "layout(triangle_strip, max_vertices = 3) out;";
    std::string unlinkable = geometry;
    ASSERT_NE(unlinkable.find(outLayout), std::string::npos);
    unlinkable.erase(unlinkable.find(outLayout), outLayout.size());
    WriteBytes(cGeometryShader::kGeometryFile, std::vector<uint8_t>(unlinkable.begin(), unlinkable.end()));
    ASSERT_TRUE(registry.skyTexture.Load(skyFile));
    ASSERT_TRUE(registry.tex[0].Load(frameFile));
    EXPECT_FALSE(registry.nm1.Load(normalsFile));
    registry.InitShaders();
    ASSERT_TRUE(registry.geometryShader.HasEntryPoints());
    ASSERT_FALSE(registry.geometryShader.IsLinked());
    EXPECT_EQ(registry.normalMapping.normalTexture.texture, 0u);

    std::string error;
    WriteBytes(cGeometryShader::kGeometryFile, std::vector<uint8_t>(geometry.begin(), geometry.end()));
    EXPECT_TRUE(registry.ReloadAsset("GeometryStage", &error)) << error;
    EXPECT_TRUE(registry.geometryShader.IsLinked()) << "the mended stage linked, but the effect stays unusable";

    fs::rename("nm1.aside", normalsFile);
    ASSERT_TRUE(registry.ReloadAsset("NM1", &error)) << error;
    ASSERT_NE(registry.nm1.texture, 0u);
    EXPECT_EQ(registry.normalMapping.normalTexture.texture, registry.nm1.texture);
    EXPECT_EQ(registry.waterShader.normalTexture.texture, registry.nm1.texture);

    // A new picture cut short, as a JPEG over the sky and as a BMP over a
    // background frame; then the whole file, which must replace the old picture.
    struct Case {
      const char* name;
      cTextureSystem& texture;
      std::string file;
      std::vector<uint8_t> whole;
    };
    const RgbaPicture newPicture = PatternPicture(256, 128, false, 7);
    Case cases[] = {{"skyTexture", registry.skyTexture, skyFile, EncodeJpegFile(newPicture)},
                    {"Tex0", registry.tex[0], frameFile, EncodeBmp(newPicture)}};
    for (Case& c : cases) {
      const uint32_t name = c.texture.texture;
      const std::vector<uint8_t> before = Pixels(c.texture);
      for (const size_t cut : {c.whole.size() / 2, c.whole.size() - 1}) {
        WriteBytes(c.file, std::vector<uint8_t>(c.whole.begin(), c.whole.begin() + cut));
        EXPECT_FALSE(registry.ReloadAsset(c.name, &error)) << c.name << " cut at " << cut;
        EXPECT_EQ(error, "is not a complete JPEG, BMP or PNG picture") << c.name;
        EXPECT_TRUE(Pixels(c.texture) == before) << c.name << " cut at " << cut << ": the old picture is gone";
      }
      WriteBytes(c.file, c.whole);
      EXPECT_TRUE(registry.ReloadAsset(c.name, &error)) << c.name << ": " << error;
      EXPECT_EQ(c.texture.texture, name) << c.name;
      const std::vector<uint8_t> after = Pixels(c.texture);
      EXPECT_EQ(after.size(), size_t{256} * 128 * 4) << c.name;
      EXPECT_FALSE(after == before) << c.name << ": the whole file did not replace the picture";
    }
  }
}
