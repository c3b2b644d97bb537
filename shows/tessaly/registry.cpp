#include "registry.h"

#include <epoxy/gl.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "shell/debug_system.h"
#include "shell/file_paths.h"

namespace VantorGL {

namespace {

// Every FILE name LoadAll asks for, in its order; models are read in LoadAll
// itself, but a missing name ends the program wherever it stands.
struct Named {
  std::string name;
  bool picture;
};
std::vector<Named> LoadOrder() {
  std::vector<Named> order;
  for (const char* name : {"Scenery1Tex01", "NM1", "WaterTexture", "skyTexture", "OverlayI"})
    order.push_back({name, true});
  for (const char* name : {"testScenary", "KMLogo", "testShaderObject", "testScenaryCam"})
    order.push_back({name, false});
  for (int i = 0; i < 6; ++i) order.push_back({"Tex" + std::to_string(i), true});
  for (int i = 0; i < 56; ++i) order.push_back({"Slide" + std::to_string(i), true});
  return order;
}

}  // namespace

void AnimatedObjectRecord::Assign(int32_t kindTag, const AnimatedObject& source) {
  kind = kindTag;
  object = source;
  if (object.count > 0)
    for (int i = 0; i < 3; ++i) position[i] = object.keyValues[0][i];
}

double RandomRange(double a, double b) {
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  double c = b - a;
  if (!(c > 0)) c = 1;
  // 15 bits, as the generator the rule was written for gives; glibc's runs to
  // 2^31 - 1, where 10 r would overflow.
  const int32_t r = std::rand() & 0x7FFF;
  // A range under 0.001 would make the modulus 0, one over 2^31 / 1000 would
  // overflow it: clamp to what the 32-bit arithmetic can hold.
  const double scaled = std::trunc(1000.0 * c);
  const int32_t modulus = scaled < 1 ? 1 : scaled > INT32_MAX ? INT32_MAX : static_cast<int32_t>(scaled);
  return a + static_cast<double>((10 * r) % modulus) / 1000.0;
}

// Members go in reverse order of declaration: particles, properties, the
// effects, the models, the animation, the textures, the fonts' lists (here),
// then the music, which stops its stream and frees the audio library last.
cResources::~cResources() = default;

cResources::FontListRelease::~FontListRelease() {
  owner->actionFont.DeleteFontLists();
  owner->arialFont.DeleteFontLists();
}

int32_t cResources::SetMusicFile() {
  music.path = kMusicFile;
  return 0;
}

std::string cResources::FileOf(const char* name) const { return properties.FindFile(name).fileName; }

void cResources::LoadTexture(cTextureSystem& texture, const char* name) {
  const std::string file = FileOf(name);
  if (!ahead || !ahead->LoadPicture(file, texture)) texture.Load(file);
}

void cResources::ListAhead(AssetsAhead& ahead) {
  cPropertySystem quiet;
  quiet.logging = false;
  const auto bytes = ReadFileBytes(kPropertyFile);
  if (!bytes) return;
  const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
  if (quiet.LoadText(text).status != cPropertySystem::Status::kOk) return;
  ahead.AddTune(kMusicFile);
  for (const Named& step : LoadOrder()) {
    const FileProperty* file = quiet.FindFileRecord(step.name);
    if (!file) return;
    if (step.picture) ahead.AddPicture(file->fileName);
  }
}

int32_t cResources::LoadAll() {
  cDebugSystem& log = cDebugSystem::Instance();

  properties.Load(kPropertyFile);
  std::optional<audio::PreparedFile> tune;
  if (ahead) tune = ahead->TakeTune(music.path);
  if (tune) {
    music.Open(std::move(*tune));
  } else {
    music.Open();
  }
  arialFont.BuildBitmapFont("", "Arial", -16);
  actionFont.BuildBitmapFont("Data/General/c_font.ttf", "Action Force Normal", -24);
  log.LogText("Font OK!", "cResources");

  LoadTexture(scenery1Tex01, "Scenery1Tex01");
  LoadTexture(nm1, "NM1");
  LoadTexture(waterTexture, "WaterTexture");
  LoadTexture(skyTexture, "skyTexture");
  LoadTexture(overlayI, "OverlayI");

  log.LogText("3ds Load OK!", "cResources");
  testScenary.Load(FileOf("testScenary"));
  kmLogo.Load(FileOf("KMLogo"));
  testShaderObject.Load(FileOf("testShaderObject"));

  aseLoader.Load(FileOf("testScenaryCam"));
  camera01.Assign(AnimatedObjectRecord::kFromAse, aseLoader.Find("Camera01"));
  camera01Target.Assign(AnimatedObjectRecord::kFromAse, aseLoader.Find("Camera01.Target"));

  for (int i = 0; i < 6; ++i) LoadTexture(tex[i], ("Tex" + std::to_string(i)).c_str());
  for (int i = 0; i < 56; ++i) LoadTexture(slides[i], ("Slide" + std::to_string(i)).c_str());

  struct PathKey {
    int32_t timeMs;
    double x, y, z;  // half-widths of the symmetric ranges
  };
  static constexpr PathKey kPath[] = {
      {0, 1500, 1300, 1500},     {8000, 500, 1300, 1500},   {16000, 1500, 1300, 1500},
      {24000, 500, 300, 500},    {48000, 1200, 1200, 1100}, {48001, 1200, 1200, 1100},
  };
  AnimatedObject path;
  path.SetName("RandomPath01");
  for (const PathKey& k : kPath) {
    const double z = RandomRange(-k.z, k.z);
    const double y = RandomRange(-k.y, k.y);
    const double x = RandomRange(-k.x, k.x);
    path.AddKey(k.timeMs, x, y, z);
  }
  randomPath01.Assign(AnimatedObjectRecord::kGenerated, path);

  particles.speedFactor = 0.06f;
  particles.lifeDivisor = 950;
  particles.Init();

  glShadeModel(GL_SMOOTH);
  glEnable(GL_MAP1_VERTEX_3);
  glEnable(GL_MAP2_VERTEX_3);
  glEnable(GL_AUTO_NORMAL);
  glEnable(GL_MAP2_TEXTURE_COORD_2);

  InitShaders();
  return 0;
}

int32_t cResources::InitShaders() {
  geometryShader.InitEntryPoints();
  geometryShader.CreateVertexShader();
  geometryShader.CreateGeometryShader();
  geometryShader.CreateFragmentShader();
  geometryShader.blurFactor = 0.5f;

  normalMapping.InitEntryPoints();
  normalMapping.CreateVertexShader();
  normalMapping.CreateGeometryShader();
  normalMapping.CreateFragmentShader();
  normalMapping.lightPosition[0] = 10.0f;

  blurShader.InitEntryPoints();
  blurShader.CreateVertexShader();
  blurShader.CreateFragmentShader();

  waterShader.InitEntryPoints();
  waterShader.CreateVertexShader();
  waterShader.CreateFragmentShader();
  waterShader.lightPosition[0] = 0.0f;
  waterShader.lightPosition[1] = 1000.0f;
  waterShader.lightPosition[2] = 0.0f;

  gaussianBlurShader.InitEntryPoints();
  gaussianBlurShader.CreateVertexShader();
  gaussianBlurShader.CreateBloomShader(1024, 768);
  ShareTextures();
  return 0;
}

void cResources::ShareTextures() {
  geometryShader.texture = scenery1Tex01.texture;
  normalMapping.colorTexture = waterTexture;
  normalMapping.normalTexture = nm1;
  waterShader.colorTexture = scenery1Tex01;
  waterShader.normalTexture = nm1;
}

}  // namespace VantorGL
