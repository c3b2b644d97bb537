#pragma once
// cNormalMapping: per-pixel lighting of a textured model from a normal map: 20 %
// ambient share of the colour texture, a diffuse term and a power-8 highlight.
// The light position is used as a direction. Tangents: a "Tangent" attribute is
// used where the drawing code supplies one; otherwise the vertex stage builds the
// tangent from the normal (the +x direction for a surface facing +z).
//
// Build: InitEntryPoints(); CreateVertexShader(); CreateGeometryShader();
// CreateFragmentShader(). Use: Apply(); draw; then make program 0 current and
// texture unit 0 active.
#include "resources/texture_system.h"
#include "shaders/shader_system.h"

namespace VantorGL {

class cNormalMapping : public cShaderSystem {
 public:
  cNormalMapping() : cShaderSystem("cNormalMapping") {}

  bool CreateVertexShader() override;
  // Builds the fragment stage, links and looks up the uniforms.
  bool CreateFragmentShader() override;

  // Program current; "colorMap" unit 0, "normalMap" unit 1, "LightPosition",
  // "SurfaceColor" (1, 1, 1), "SpecularFactor" 1; GL_TEXTURE_2D enabled, the
  // colour texture bound on unit 0 and the normal texture on unit 1, which is left
  // active. Binds even when the program did not build; does nothing at all
  // without entry points.
  void Apply();

  cTextureSystem colorTexture;   // unit 0
  cTextureSystem normalTexture;  // unit 1
  GLint locLightPosition = -1;
  GLint locSurfaceColor = -1;
  GLint locSpecularFactor = -1;
  GLint locColorMap = -1;
  GLint locNormalMap = -1;
  float lightPosition[3] = {0.0f, 0.0f, 0.0f};
};

}  // namespace VantorGL
