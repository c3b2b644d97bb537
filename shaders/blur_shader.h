#pragma once
// cBlurShader: a 13-tap scatter blur over one texture on unit 0 (twelve fixed
// offsets scaled by the blur factor, summed with the centre and divided by 10, so
// the result is 1.3 times the mean). Built by the registry; no scene draws with it.
#include "shaders/shader_system.h"

namespace VantorGL {

class cBlurShader : public cShaderSystem {
 public:
  cBlurShader() : cShaderSystem("cBlurShader") {}

  bool CreateVertexShader() override;
  // Builds the fragment stage, links, looks up "sampler0" and "BlurFactor" and
  // gives "BlurFactor" its starting value (the blur factor field).
  bool CreateFragmentShader() override;

  // Makes the program current with "sampler0" on unit 0 and "BlurFactor" set to
  // the field. The caller binds the texture on unit 0, draws, then makes program 0
  // current. Does nothing without entry points.
  void Apply();

  float blurFactor = 0.01f;   // offset scale in texture coordinates
  GLint locSampler0 = -1;
  GLint locBlurFactor = -1;
};

}  // namespace VantorGL
