#include "assets.h"

#include <epoxy/gl.h>

#include "shell/debug_system.h"
#include "shell/file_paths.h"

namespace show {

using namespace VantorGL;

void cAssets::Load() {
  properties.Load(kPropertyFile);
  music.path = kMusicFile;
  music.Open();
  sync.Configure(properties);
}

std::string cAssets::FileOf(const std::string& name) const { return properties.FindFile(name).fileName; }

cTextureSystem& cAssets::Texture(const std::string& name) {
  auto [it, added] = textures_.try_emplace(name);
  if (added) it->second.Load(FileOf(name));
  return it->second;
}

c3DsModelSystem& cAssets::Model(const std::string& name) {
  auto [it, added] = models_.try_emplace(name);
  if (added) it->second.Load(FileOf(name));
  return it->second;
}

ColorProperty cAssets::Colour(const std::string& name) const {
  for (const ColorProperty& c : properties.colours)
    if (c.name == name) return c;
  cDebugSystem::Instance().Log("cAssets", "no COLOR \"" + name + "\" in the property file: white");
  ColorProperty white;
  white.red = white.green = white.blue = white.alpha = 1.0f;
  return white;
}

PositionProperty cAssets::Position(const std::string& name) const {
  for (const PositionProperty& p : properties.positions)
    if (p.name == name) return p;
  cDebugSystem::Instance().Log("cAssets", "no POSITION \"" + name + "\" in the property file: the origin");
  return {};
}

std::vector<ReloadableAsset> cAssets::Reloadable() const {
  std::vector<ReloadableAsset> assets;
  for (const auto& [name, texture] : textures_) assets.push_back({name, FileOf(name)});
  for (const auto& [name, model] : models_) assets.push_back({name, FileOf(name)});
  return assets;
}

bool cAssets::Reload(const std::string& name, std::string* error) {
  if (auto t = textures_.find(name); t != textures_.end()) {
    // A new texture beside the old one; the scenes bind it by the record, so
    // they show it from the next frame.
    cTextureSystem fresh;
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    const bool loaded = fresh.Load(FileOf(name));
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
    if (!loaded) {
      *error = "is not a picture that can be loaded";
      return false;
    }
    const GLuint old = t->second.texture;
    glDeleteTextures(1, &old);
    t->second = fresh;
    return true;
  }
  if (auto m = models_.find(name); m != models_.end()) {
    const auto bytes = ReadFileBytes(FileOf(name));
    c3DsModelSystem fresh;
    if (!bytes || !fresh.LoadFromBytes(bytes->data(), bytes->size())) {
      *error = bytes ? "is not a sound 3DS file (debug.log names the damaged parts)" : "cannot be read";
      return false;
    }
    m->second.meshes = std::move(fresh.meshes);
    m->second.materials = std::move(fresh.materials);
    m->second.meshCount = fresh.meshCount;
    m->second.materialCount = fresh.materialCount;
    return true;
  }
  *error = "is no texture or model the show has loaded";
  return false;
}

}  // namespace show
