#pragma once
// cWaterShader: the animated water surface. Vertices ripple with two sine waves
// driven by `timer`, three scrolling samples of the normal map perturb the light,
// and the reflection texture is mixed in projectively through texture matrix 7,
// which the caller fills with bias x projection x modelview before drawing.
//
// Build: InitEntryPoints(); CreateVertexShader(); CreateFragmentShader().
// Use: set the textures and timer; Apply(); draw; Release().
#include "resources/texture_system.h"
#include "shaders/shader_system.h"

namespace VantorGL {

class cWaterShader : public cShaderSystem {
 public:
  cWaterShader() : cShaderSystem("cWaterShader") {}

  bool CreateVertexShader() override;
  // Builds the fragment stage, links and looks up the uniforms.
  bool CreateFragmentShader() override;

  // Program current; samplers on units 0 to 3, "LightPosition", "timer"; the
  // colour, normal, reflection and refraction textures bound and enabled on units
  // 0 to 3, unit 3 left active. Binds even when the program did not build; does
  // nothing at all without entry points.
  void Apply();
  // Texture 0 on units 3, 2, 1, 0, program 0 current, unit 0 active.
  void Release();

  cTextureSystem colorTexture;   // unit 0
  cTextureSystem normalTexture;  // unit 1
  GLuint reflectionTexture = 0;  // unit 2
  GLuint refractionTexture = 0;  // unit 3; bound, but it does not colour the water
  GLint locLightPosition = -1;
  GLint locColorMap = -1;
  GLint locNormalMap = -1;
  GLint locReflectMap = -1;
  GLint locRefractMap = -1;
  GLint locTimer = -1;
  float timer = 0.0f;  // milliseconds of the scene clock
  float lightPosition[3] = {0.0f, 0.0f, 0.0f};
};

}  // namespace VantorGL
