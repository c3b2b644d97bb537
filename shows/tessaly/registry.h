#pragma once
// cResources: every asset of the production, each a fixed member bound at load
// time to a FILE entry of the property file. Owned by the demo timeline, which
// calls SetMusicFile then LoadAll once with the GL context current; scenes then
// read the members directly through a non-owning pointer. Nothing is looked up by
// name after loading. A name no FILE entry carries ends the program with status 2.
// The pictures and the music may have been read and decoded ahead on other threads
// (ListAhead); LoadAll still takes and uses everything in its own order. Main
// thread only.
#include <cstdint>
#include <string>
#include <vector>

#include "properties/property_system.h"
#include "resources/font.h"
#include "resources/load_ahead.h"
#include "resources/texture_system.h"
#include "scenedata/ase_loader.h"
#include "scenedata/data_system.h"
#include "scenedata/model_3ds.h"
#include "scenedata/particle_system.h"
#include "shaders/blur_shader.h"
#include "shaders/gaussian_blur_shader.h"
#include "shaders/geometry_shader.h"
#include "shaders/normal_mapping.h"
#include "shaders/water_shader.h"
#include "shell/music_stream.h"

namespace VantorGL {

// An animated object as the registry keeps it: where it came from, its keys, and
// its current position (the first key's value until something moves it).
struct AnimatedObjectRecord {
  static constexpr int32_t kFromAse = 1;
  static constexpr int32_t kGenerated = 2;

  void Assign(int32_t kindTag, const AnimatedObject& source);

  int32_t kind = 0;
  AnimatedObject object;
  double position[3] = {0, 0, 0};
};

// a + ((10 r) mod trunc(1000 (b - a))) / 1000 with r from the C generator seeded
// with the current second: values in [a, a + 327.67] for wide ranges.
double RandomRange(double a, double b);

class cResources : public cDataSystem {
 public:
  static constexpr const char* kPropertyFile = "data/default.qelProperty";
  static constexpr const char* kMusicFile = "data/General/music.mp3";

  cResources() = default;
  ~cResources() override;

  int32_t SetMusicFile() override;
  int32_t LoadAll() override;
  virtual int32_t InitShaders();

  // Lists on `ahead`, in LoadAll's order, the music and every picture the property
  // file names, as a reading of it that writes nothing finds them. Nothing is
  // listed when that reading fails; the list ends before the first name it lacks
  // (LoadAll ends the program there). Needs no GL.
  static void ListAhead(AssetsAhead& ahead);
  // Where LoadAll takes what was loaded ahead; null: everything is loaded in
  // LoadAll. Not owned.
  AssetsAhead* ahead = nullptr;

  // Loading one asset again while the show runs, for programs that follow its
  // files (resources/resources_reload.cpp). Main thread, context current.
  struct ReloadableAsset {
    std::string name;  // the FILE entry's name; "GeometryStage" for the geometry stage
    std::string file;  // as the property file gives it
  };
  // The textures and background frames, the slides, the 3DS models and the
  // geometry stage, each with the file it comes from.
  std::vector<ReloadableAsset> ReloadableAssets() const;
  // Reads the asset's file again. The asset changes in place (a texture keeps
  // its GL name, so every copy of it shows the new picture; one that had none
  // gets one and the effects their copies again) only when the file loads
  // completely; otherwise it stays as it was and `error` says why.
  bool ReloadAsset(const std::string& name, std::string* error);

  MusicStream music;
  FontRecord arialFont;
  FontRecord actionFont;
  // Deletes the two fonts' display lists, actionFont's first. Declared right
  // after them, so it runs once every later member has gone (the effects, the
  // models, the animation, the textures) and just before the music.
  struct FontListRelease {
    cResources* owner;
    ~FontListRelease();
  } fontListRelease{this};
  cTextureSystem scenery1Tex01;
  cTextureSystem nm1;
  cTextureSystem waterTexture;
  cTextureSystem skyTexture;
  cTextureSystem overlayI;
  cTextureSystem tex[10];
  cTextureSystem slides[100];
  cFileLoader_ASE aseLoader;
  AnimatedObjectRecord camera01;
  AnimatedObjectRecord camera01Target;
  AnimatedObjectRecord randomPath01;
  cGeometryShader geometryShader;
  c3DsModelSystem testScenary;
  c3DsModelSystem kmLogo;
  c3DsModelSystem testShaderObject;
  cNormalMapping normalMapping;
  cBlurShader blurShader;
  cWaterShader waterShader;
  cGaussianBlurShader gaussianBlurShader;
  cPropertySystem properties;
  cParticleSystem particles;

 private:
  // The file of the FILE entry `name` (ends the program with status 2 when none).
  std::string FileOf(const char* name) const;
  void LoadTexture(cTextureSystem& texture, const char* name);
  // The effects' copies of the textures they draw with (InitShaders, and again
  // when a reload gives a texture its first GL name).
  void ShareTextures();
};

}  // namespace VantorGL
