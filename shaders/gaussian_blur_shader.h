#pragma once
// cGaussianBlurShader: the bloom filter. A 3 x 3 Gaussian (weights 1-2-1 over 16,
// taps `blurFactor` texels apart), a bright pass clamp((sum - bloom) / (1 - bloom),
// 0, 1) per channel and an alpha scale. The water scene runs it on the colour
// textures of its render targets: a bright pass (bloom 0.5), then a plain blur
// (bloom 0).
//
// Build: InitEntryPoints(); CreateVertexShader(); CreateBloomShader(1024, 768).
// Use: set sourceTexture, bloom and blurFactor; Apply(); draw the quad; then make
// program 0 current and texture unit 0 active.
#include "shaders/shader_system.h"

namespace VantorGL {

class cGaussianBlurShader : public cShaderSystem {
 public:
  cGaussianBlurShader() : cShaderSystem("cGaussianBlurShader") {}

  bool CreateVertexShader() override;
  // Slot 1 stays the default fragment stage; the bloom stage is built here
  // instead: stores the size the taps are spaced by, builds, links, looks up
  // the six uniforms.
  bool CreateBloomShader(float widthPixels, float heightPixels);

  // Program current, uniforms set, GL_TEXTURE_2D enabled and sourceTexture bound
  // on unit 0 (left active). Binds the texture even when the program did not
  // build; does nothing at all without entry points.
  void Apply();

  GLuint sourceTexture = 0;  // bound on unit 0 by Apply
  float blurFactor = 0.01f;  // tap distance in texels
  float bloom = 0.0f;        // bright-pass threshold; 0 leaves the blur as it is
  GLint locSampler0 = -1;
  GLint locBlurFactor = -1;
  GLint locWidth = -1;
  GLint locHeight = -1;
  GLint locAlpha = -1;
  GLint locBloom = -1;
  float width = 0.0f;   // set by CreateBloomShader
  float height = 0.0f;  // set by CreateBloomShader
  float alpha = 1.0f;   // scales the output alpha

 protected:
  // A rebuild builds the bloom stage at the size of the first build.
  bool BuildStages() override { return CreateVertexShader() && CreateBloomShader(width, height); }
};

}  // namespace VantorGL
