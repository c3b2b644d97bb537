// cResources::ReloadAsset: one asset read again from its file while the show
// runs. Kept apart from LoadAll: loading at start-up reports nothing and keeps
// whatever part of a file loads, while a reload must either take the whole new
// version or leave the asset untouched and say why.
#include <cstring>
#include <optional>
#include <utility>

#include "platform/gl_extensions.h"
#include "registry.h"
#include "resources/texture_images.h"
#include "shell/file_paths.h"
#include "shell/show_data.h"

namespace VantorGL {
namespace {

constexpr const char* kGeometryStage = "GeometryStage";
// As the texture loader: no image the show uses comes near this.
constexpr size_t kMaxImageFileBytes = size_t{256} << 20;

// The texture's new picture, decoded once and uploaded into its own GL name so
// that every copy of the record (the effects hold some) shows it. The path rule
// is the loader's: a name holding ".png" takes the PNG path, any other the
// picture path. A file that ends before its picture does (still being written)
// does not decode.
bool ReloadTexture(cTextureSystem& texture, const std::string& file, std::string* error) {
  const auto bytes = ReadFileBytes(file, kMaxImageFileBytes);
  if (!bytes) {
    *error = "cannot be read";
    return false;
  }
  const bool png = file.find(".png") != std::string::npos;
  const std::optional<TextureImage> image =
      png ? PreparePngTexture(bytes->data(), bytes->size(), platform::MaxTextureSize())
          : PreparePictureTexture(bytes->data(), bytes->size(), platform::MaxTextureSize());
  if (!image) {
    *error = png ? "is not a complete PNG picture" : "is not a complete JPEG, BMP or PNG picture";
    return false;
  }
  if (!texture.Replace(*image, png)) {
    *error = "could not be given a GL texture";
    return false;
  }
  return true;
}

// Only a file that parses without a fault replaces the model; its place,
// turn and scale (the scene's business) stay.
bool ReloadModel(c3DsModelSystem& model, const std::string& file, std::string* error) {
  const auto bytes = ReadFileBytes(c3DsModelSystem::StripQuotes(file));
  if (!bytes) {
    *error = "cannot be read";
    return false;
  }
  c3DsModelSystem fresh;
  if (!fresh.LoadFromBytes(bytes->data(), bytes->size())) {
    *error = "is not a sound 3DS file (" + ShowLogPath() + " names the damaged parts)";
    return false;
  }
  model.meshes = std::move(fresh.meshes);
  model.materials = std::move(fresh.materials);
  model.meshCount = fresh.meshCount;
  model.materialCount = fresh.materialCount;
  return true;
}

// The first line of a stage's compiler messages.
std::string FirstLogLine(const cShaderSystem& effect, GLhandleARB stage) {
  if (stage == 0 || !effect.entryPoints().GetInfoLogARB) return {};
  char log[kShaderInfoLogLimit] = {};
  GLsizei length = 0;
  effect.entryPoints().GetInfoLogARB(stage, kShaderInfoLogLimit, &length, log);
  std::string text(log, strnlen(log, sizeof log));
  while (!text.empty() && (text.front() == '\n' || text.front() == '\r')) text.erase(0, 1);
  return text.substr(0, text.find_first_of("\r\n"));
}

// A whole new program is built beside the old one; the effect takes its
// objects only when the geometry stage compiled and the program linked.
bool ReloadGeometryStage(cGeometryShader& effect, std::string* error) {
  cGeometryShader trial;
  if (!trial.InitEntryPoints()) {
    *error = "cannot be built: the driver offers no shader objects";
    return false;
  }
  trial.CreateVertexShader();
  const bool staged = trial.CreateGeometryShader();
  const bool linked = trial.CreateFragmentShader();
  if (!staged) {
    const std::string line = FirstLogLine(trial, trial.geometryShader);
    *error = line.empty() ? "is missing or empty, or the driver offers no geometry shaders (see " + ShowLogPath() + ")"
                          : "did not compile: " + line + " (the whole log is in " + ShowLogPath() + ")";
    return false;
  }
  if (!linked) {
    *error = "did not link (the log is in " + ShowLogPath() + ")";
    return false;
  }
  // The old objects go with the trial; the link state comes with the program,
  // so an effect whose last build did not link is usable again.
  effect.SwapProgram(trial);
  effect.locSampler0 = trial.locSampler0;
  effect.locBlurFactor = trial.locBlurFactor;
  effect.locExplotionProgress = trial.locExplotionProgress;
  return true;
}

}  // namespace

std::vector<cResources::ReloadableAsset> cResources::ReloadableAssets() const {
  std::vector<ReloadableAsset> assets;
  for (const char* name : {"Scenery1Tex01", "NM1", "WaterTexture", "skyTexture", "OverlayI"})
    assets.push_back({name, FileOf(name)});
  for (int i = 0; i < 6; ++i) assets.push_back({"Tex" + std::to_string(i), FileOf(("Tex" + std::to_string(i)).c_str())});
  for (int i = 0; i < 56; ++i)
    assets.push_back({"Slide" + std::to_string(i), FileOf(("Slide" + std::to_string(i)).c_str())});
  for (const char* name : {"testScenary", "KMLogo", "testShaderObject"}) assets.push_back({name, FileOf(name)});
  assets.push_back({kGeometryStage, cGeometryShader::kGeometryFile});
  return assets;
}

bool cResources::ReloadAsset(const std::string& name, std::string* error) {
  std::string ignored;
  if (!error) error = &ignored;
  if (name == kGeometryStage) return ReloadGeometryStage(geometryShader, error);

  cTextureSystem* texture = nullptr;
  if (name == "Scenery1Tex01") texture = &scenery1Tex01;
  else if (name == "NM1") texture = &nm1;
  else if (name == "WaterTexture") texture = &waterTexture;
  else if (name == "skyTexture") texture = &skyTexture;
  else if (name == "OverlayI") texture = &overlayI;
  for (int i = 0; i < 6 && !texture; ++i)
    if (name == "Tex" + std::to_string(i)) texture = &tex[i];
  for (int i = 0; i < 56 && !texture; ++i)
    if (name == "Slide" + std::to_string(i)) texture = &slides[i];
  if (texture) {
    const bool named = texture->texture != 0;
    if (!ReloadTexture(*texture, FileOf(name.c_str()), error)) return false;
    // A texture that never loaded got its first name: the effects' copies still hold 0.
    if (!named) ShareTextures();
    return true;
  }

  c3DsModelSystem* model = name == "testScenary"        ? &testScenary
                           : name == "KMLogo"           ? &kmLogo
                           : name == "testShaderObject" ? &testShaderObject
                                                        : nullptr;
  if (model) return ReloadModel(*model, FileOf(name.c_str()), error);

  *error = "is no asset that can be loaded again";
  return false;
}

}  // namespace VantorGL
