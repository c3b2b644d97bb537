#include "shaders/gaussian_blur_shader.h"

#include "shaders/shader_sources.h"

namespace VantorGL {

bool cGaussianBlurShader::CreateVertexShader() {
  return BuildStage(GL_VERTEX_SHADER_ARB,
                    SourceOf("textured_quad.vert", shader_sources::kTexturedQuadVertex),
                    vertexShader, "vertex");
}

bool cGaussianBlurShader::CreateBloomShader(float widthPixels, float heightPixels) {
  width = widthPixels;
  height = heightPixels;
  if (!BuildStage(GL_FRAGMENT_SHADER_ARB,
                  SourceOf("gaussian_blur.frag", shader_sources::kGaussianBlurFragment),
                  fragmentShader, "fragment") ||
      !LinkProgram())
    return false;
  locSampler0 = UniformLocation("sampler0");
  locBlurFactor = UniformLocation("BlurFactor");
  locWidth = UniformLocation("width");
  locHeight = UniformLocation("height");
  locAlpha = UniformLocation("alpha");
  locBloom = UniformLocation("bloom");
  return true;
}

void cGaussianBlurShader::Apply() {
  if (!HasEntryPoints()) return;
  if (UseProgram()) {
    SetInt(locSampler0, 0);
    SetFloat(locBlurFactor, blurFactor);
    SetFloat(locWidth, width);
    SetFloat(locHeight, height);
    SetFloat(locAlpha, alpha);
    SetFloat(locBloom, bloom);
  }
  glEnable(GL_TEXTURE_2D);
  SelectTextureUnit(0);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, sourceTexture);
}

}  // namespace VantorGL
