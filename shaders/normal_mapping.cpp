#include "shaders/normal_mapping.h"

#include "shaders/shader_sources.h"

namespace VantorGL {

bool cNormalMapping::CreateVertexShader() {
  return BuildStage(GL_VERTEX_SHADER_ARB,
                    SourceOf("normal_mapping.vert", shader_sources::kNormalMappingVertex),
                    vertexShader, "vertex");
}

bool cNormalMapping::CreateFragmentShader() {
  if (!BuildStage(GL_FRAGMENT_SHADER_ARB,
                  SourceOf("normal_mapping.frag", shader_sources::kNormalMappingFragment),
                  fragmentShader, "fragment") ||
      !LinkProgram())
    return false;
  locLightPosition = UniformLocation("LightPosition");
  locSurfaceColor = UniformLocation("SurfaceColor");
  locSpecularFactor = UniformLocation("SpecularFactor");
  locColorMap = UniformLocation("colorMap");
  locNormalMap = UniformLocation("normalMap");
  return true;
}

void cNormalMapping::Apply() {
  if (!HasEntryPoints()) return;
  if (UseProgram()) {
    SetInt(locColorMap, 0);
    SetInt(locNormalMap, 1);
    SetVec3(locLightPosition, lightPosition[0], lightPosition[1], lightPosition[2]);
    SetVec3(locSurfaceColor, 1.0f, 1.0f, 1.0f);
    SetFloat(locSpecularFactor, 1.0f);
  }
  glEnable(GL_TEXTURE_2D);
  // Without glActiveTextureARB only unit 0 can be reached: the normal map is then
  // left unbound rather than bound over the colour texture.
  if (!SelectTextureUnit(0)) {
    glBindTexture(GL_TEXTURE_2D, colorTexture.texture);
    return;
  }
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, colorTexture.texture);
  SelectTextureUnit(1);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, normalTexture.texture);
}

}  // namespace VantorGL
