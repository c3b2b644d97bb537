#include "shaders/water_shader.h"

#include "shaders/shader_sources.h"

namespace VantorGL {

bool cWaterShader::CreateVertexShader() {
  return BuildStage(GL_VERTEX_SHADER_ARB,
                    SourceOf("water.vert", shader_sources::kWaterVertex),
                    vertexShader, "vertex");
}

bool cWaterShader::CreateFragmentShader() {
  if (!BuildStage(GL_FRAGMENT_SHADER_ARB,
                  SourceOf("water.frag", shader_sources::kWaterFragment),
                  fragmentShader, "fragment") ||
      !LinkProgram())
    return false;
  locLightPosition = UniformLocation("LightPosition");
  locColorMap = UniformLocation("colorMap");
  locNormalMap = UniformLocation("normalMap");
  locReflectMap = UniformLocation("reflectMap");
  locRefractMap = UniformLocation("refractMap");
  locTimer = UniformLocation("timer");
  return true;
}

void cWaterShader::Apply() {
  if (!HasEntryPoints()) return;
  if (UseProgram()) {
    SetInt(locColorMap, 0);
    SetInt(locNormalMap, 1);
    SetInt(locReflectMap, 2);
    SetInt(locRefractMap, 3);
    SetVec3(locLightPosition, lightPosition[0], lightPosition[1], lightPosition[2]);
    SetFloat(locTimer, timer);
  }
  glEnable(GL_TEXTURE_2D);
  const GLuint textures[4] = {colorTexture.texture, normalTexture.texture, reflectionTexture,
                              refractionTexture};
  for (int unit = 0; unit < 4; ++unit) {
    // Without glActiveTextureARB only unit 0 can be reached.
    if (!SelectTextureUnit(unit) && unit > 0) break;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, textures[unit]);
  }
}

void cWaterShader::Release() {
  if (!HasEntryPoints()) return;
  for (int unit = 3; unit >= 0; --unit) {
    if (!SelectTextureUnit(unit) && unit > 0) continue;
    glBindTexture(GL_TEXTURE_2D, 0);
  }
  gl_.UseProgramObjectARB(0);
}

}  // namespace VantorGL
