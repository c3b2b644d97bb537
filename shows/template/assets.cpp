#include "assets.h"

#include <optional>

#include "platform/gl_extensions.h"
#include "resources/texture_images.h"
#include "shell/debug_system.h"
#include "shell/exit.h"
#include "shell/file_paths.h"

namespace show {

using namespace VantorGL;

namespace {

// The texture loader's rule: a name holding ".png" takes the PNG path.
bool IsPngPath(const std::string& file) { return file.find(".png") != std::string::npos; }

// A missing picture would draw as a white quad and a missing model as nothing
// while the show goes on: the maker would not know. Both end the program instead.
[[noreturn]] void CannotLoad(const std::string& file, const std::string& name, const char* why) {
  ExitProgram(2, file + ": " + why + " (FILE " + name + " in " + cAssets::kPropertyFile + ")");
}

const char* WhyNotLoaded(const std::string& file, const char* broken) {
  return ReadFileBytes(file) ? broken : "cannot be read (missing?)";
}

}  // namespace

void cAssets::Load() {
  properties.Load(kPropertyFile);
  music.path = kMusicFile;
  music.Open();
  sync.Configure(properties);
}

std::string cAssets::FileOf(const std::string& name) const { return properties.FindFile(name).fileName; }

cTextureSystem& cAssets::Texture(const std::string& name) {
  auto [it, added] = textures_.try_emplace(name);
  if (added) {
    const std::string file = FileOf(name);
    if (!it->second.Load(file)) CannotLoad(file, name, WhyNotLoaded(file, "is not a picture that can be loaded"));
  }
  return it->second;
}

c3DsModelSystem& cAssets::Model(const std::string& name) {
  auto [it, added] = models_.try_emplace(name);
  if (added) {
    const std::string file = FileOf(name);
    const auto bytes = ReadFileBytes(c3DsModelSystem::StripQuotes(file));
    if (!bytes) CannotLoad(file, name, "cannot be read (missing?)");
    if (!it->second.LoadFromBytes(bytes->data(), bytes->size()))
      CannotLoad(file, name, "is not a sound 3DS file (debug.log names the damaged parts)");
  }
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
    // The new picture goes into the texture's own GL name: the scenes keep
    // copies of the record (a shader's inputs), and they all show it from the
    // next frame with the wrap modes set on it. Nothing changes unless the
    // whole file decodes.
    const std::string file = FileOf(name);
    const auto bytes = ReadFileBytes(file);
    if (!bytes) {
      *error = "cannot be read";
      return false;
    }
    const bool png = IsPngPath(file);
    const std::optional<TextureImage> image =
        png ? PreparePngTexture(bytes->data(), bytes->size(), platform::MaxTextureSize())
            : PreparePictureTexture(bytes->data(), bytes->size(), platform::MaxTextureSize());
    if (!image) {
      *error = "is not a picture that can be loaded";
      return false;
    }
    if (!t->second.Replace(*image, png)) {
      *error = "could not be given a GL texture";
      return false;
    }
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
