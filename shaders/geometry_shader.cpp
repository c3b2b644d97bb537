#include "shaders/geometry_shader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/gl_extensions.h"
#include "platform/gl_procs.h"
#include "shaders/shader_sources.h"
#include "shell/debug_system.h"

namespace VantorGL {
namespace {

bool HasCompatibilityGeometryStage() {
  if (platform::GlVersion() < 32) return false;
  GLint profile = 0;
  glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &profile);
  return (profile & GL_CONTEXT_COMPATIBILITY_PROFILE_BIT) != 0;
}

// Major * 100 + minor of the context's GLSL ("4.50 ..." gives 450).
int GlslVersion() {
  const char* text = reinterpret_cast<const char*>(glGetString(GL_SHADING_LANGUAGE_VERSION));
  int major = 0, minor = 0;
  if (!text || std::sscanf(text, "%d.%d", &major, &minor) != 2) return 0;
  return major * 100 + minor;
}

}  // namespace

bool cGeometryShader::CreateVertexShader() {
  return BuildStage(GL_VERTEX_SHADER_ARB,
                    SourceOf("geometry_effect.vert", shader_sources::kGeometryEffectVertex),
                    vertexShader, "vertex");
}

bool cGeometryShader::CreateGeometryShader() {
  if (!HasEntryPoints()) return false;
  cDebugSystem& debug = cDebugSystem::Instance();
  StageSource source;
  source.file = kGeometryFile;
  if (!ReadSource(source.file, &source.text)) {
    debug.Log(className(), std::string("geometry: ") + kGeometryFile + " missing or empty");
    AddBuildError(source.file + ": missing or empty");
    return false;
  }

  // glProgramParameteriEXT belongs to the extension only: on Mesa's core path the
  // same name reaches the core call, which rejects these parameters.
  auto programParameteri = reinterpret_cast<PFNGLPROGRAMPARAMETERIEXTPROC>(
      platform::HasGlExtension("GL_EXT_geometry_shader4")
          ? platform::GetGlProcAddress("glProgramParameteriEXT")
          : nullptr);
  const char* preamble = nullptr;
  if (programParameteri)
    preamble = shader_sources::kGeometryPreambleExt;
  else if (HasCompatibilityGeometryStage())
    preamble = GlslVersion() >= 400 ? shader_sources::kGeometryPreamble400
                                    : shader_sources::kGeometryPreamble150;
  else {
    debug.Log(className(), "geometry: the driver offers no geometry shaders");
    AddBuildError(source.file + ": the driver offers no geometry shaders");
    return false;
  }

  // Messages name the file's own lines, not those of the version line before them.
  source.lineOffset = static_cast<int>(std::count(preamble, preamble + std::strlen(preamble), '\n'));
  source.text.insert(0, preamble);
  if (!BuildStage(GL_GEOMETRY_SHADER_EXT, source, geometryShader, "geometry")) return false;

  if (programParameteri) {
    GLint maxVertices = 0;
    glGetIntegerv(GL_MAX_GEOMETRY_OUTPUT_VERTICES_EXT, &maxVertices);
    programParameteri(program, GL_GEOMETRY_VERTICES_OUT_EXT, maxVertices);
    programParameteri(program, GL_GEOMETRY_INPUT_TYPE_EXT, GL_TRIANGLES);
    programParameteri(program, GL_GEOMETRY_OUTPUT_TYPE_EXT, GL_TRIANGLE_STRIP);
  }
  return true;
}

bool cGeometryShader::CreateFragmentShader() {
  if (!BuildStage(GL_FRAGMENT_SHADER_ARB,
                  SourceOf("geometry_effect.frag", shader_sources::kGeometryEffectFragment),
                  fragmentShader, "fragment") ||
      !LinkProgram())
    return false;
  locSampler0 = UniformLocation("sampler0");
  locBlurFactor = UniformLocation("BlurFactor");
  locExplotionProgress = UniformLocation("explotionProgress");
  return true;
}

void cGeometryShader::Apply() {
  if (!HasEntryPoints()) return;
  if (UseProgram()) {
    SetInt(locSampler0, 0);
    SetFloat(locBlurFactor, blurFactor);
    SetFloat(locExplotionProgress, explotionProgress);
  }
  glEnable(GL_TEXTURE_2D);
  SelectTextureUnit(0);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, texture);
}

}  // namespace VantorGL
