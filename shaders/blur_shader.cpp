#include "shaders/blur_shader.h"

#include "shaders/shader_sources.h"

namespace VantorGL {

bool cBlurShader::CreateVertexShader() {
  return BuildStage(GL_VERTEX_SHADER_ARB,
                    SourceOf("textured_quad.vert", shader_sources::kTexturedQuadVertex),
                    vertexShader, "vertex");
}

bool cBlurShader::CreateFragmentShader() {
  if (!BuildStage(GL_FRAGMENT_SHADER_ARB,
                  SourceOf("blur.frag", shader_sources::kBlurFragment),
                  fragmentShader, "fragment") ||
      !LinkProgram())
    return false;
  locSampler0 = UniformLocation("sampler0");
  locBlurFactor = UniformLocation("BlurFactor");
  // GLSL 1.10 has no uniform initialisers: the starting value is set once here.
  UseProgram();
  SetFloat(locBlurFactor, blurFactor);
  gl_.UseProgramObjectARB(0);
  return true;
}

void cBlurShader::Apply() {
  if (!UseProgram()) return;
  SetInt(locSampler0, 0);
  SetFloat(locBlurFactor, blurFactor);
}

}  // namespace VantorGL
