// The registry with its pictures and music read and decoded ahead on other threads
// writes the same log lines and makes the same textures and music as one that
// reads everything itself, on the generated data tree.
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "resources/resources.h"
#include "tests/support/gl_fixture.h"
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
};

std::string Describe(cTextureSystem& texture) {
  if (texture.texture == 0) return "none";
  texture.Bind();
  GLint width = 0, height = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  uint64_t hash = 1469598103934665603ull;
  for (uint8_t b : pixels) hash = (hash ^ b) * 1099511628211ull;
  const GLuint name = texture.texture;
  glDeleteTextures(1, &name);  // two loads of every slide would not fit well
  return std::to_string(width) + "x" + std::to_string(height) + " " + std::to_string(hash);
}

Loaded Load(const std::string& dir, bool ahead) {
  const fs::path oldCwd = fs::current_path();
  fs::current_path(dir);
  cDebugSystem::Instance().Open("debug.log");
  Loaded loaded;
  {
    std::optional<AssetsAhead> pool;
    cResources registry;
    if (ahead) {
      pool.emplace();
      cResources::ListAhead(*pool);
      registry.ahead = &*pool;
    }
    registry.SetMusicFile();
    registry.LoadAll();
    loaded.log = LogLinesAfterBanner("debug.log");
    loaded.musicBytes = audio::ChannelGetLength(registry.music.stream, audio::POS_BYTE);
    for (cTextureSystem* t : {&registry.scenery1Tex01, &registry.nm1, &registry.waterTexture,
                              &registry.skyTexture, &registry.overlayI})
      loaded.textures.push_back(Describe(*t));
    for (int i = 0; i < 6; ++i) loaded.textures.push_back(Describe(registry.tex[i]));
    for (int i = 0; i < 56; ++i) loaded.textures.push_back(Describe(registry.slides[i]));
    if (pool) loaded.handedOver = pool->HandedOver();
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

  const Loaded serial = Load(dir.path(), false);
  const Loaded ahead = Load(dir.path(), true);
  // The music, the five textures, six background frames and 56 slides.
  EXPECT_EQ(ahead.handedOver, 68u) << "LoadAll read for itself what was made ahead";
  ASSERT_GT(serial.log.size(), 5u);
  EXPECT_EQ(ahead.log, serial.log);
  EXPECT_GT(serial.musicBytes, 0u);
  EXPECT_EQ(ahead.musicBytes, serial.musicBytes);
  ASSERT_EQ(serial.textures.size(), 67u);
  for (size_t i = 0; i < serial.textures.size(); ++i) {
    EXPECT_NE(serial.textures[i], "none") << i;
    EXPECT_EQ(ahead.textures[i], serial.textures[i]) << "texture " << i;
  }
}
