#pragma once
// cBurstScene: the engine's 500 particles thrown out from the middle on each
// burst (every three seconds, on the music's accents), falling and cooling
// from white through the "Sparks" colour to red, drawn into a render target and
// given a bloom glow: the bright parts blurred by the Gaussian effect, back and
// forth between two more targets, and added over the picture. The burst's
// strength ("sparks:burst", 1 as made) and the glow ("bloom:glow", how many
// times the glow is added) are sync tracks.
#include "resources/render_texture_system.h"
#include "scenedata/particle_system.h"
#include "shaders/gaussian_blur_shader.h"
#include "timeline.h"

namespace show {

// The particles, placed from the time since their burst alone (not stepped
// frame by frame as the engine's own Update does), so that any frame of the
// show can be drawn without the ones before it.
class cSparks : public VantorGL::cParticleSystem {
 public:
  static constexpr int32_t kLifeMs = 3000;
  // Every particle where it is `ms` after the burst.
  void Place(int32_t ms);
  // Each in the colour of its age.
  void DrawParticle() override;

  float hot[3] = {1, 1, 1};  // the colour at the start of its cooling
  float strength = 1;        // the burst's speeds are scaled by it
};

class cBurstScene : public cShowScene {
 public:
  int32_t Init() override;
  void Update() override;
  void Draw() override;

 private:
  // `source` through the Gaussian effect into `target`: a bright pass above
  // `threshold` (0: none) and a blur with taps `taps` texels apart.
  void Bloom(VantorGL::cRenderTextureSystem& target, GLuint source, float threshold, float taps);

  const VantorGL::cSyncTrack* burst_ = nullptr;
  const VantorGL::cSyncTrack* glow_ = nullptr;
  cSparks sparks_;
  VantorGL::cGaussianBlurShader bloom_;
  VantorGL::cRenderTextureSystem picture_, bright_, blurred_;
};

}  // namespace show
