#pragma once
// cGeometryShader: the three-stage explosion effect. A pass-through vertex stage,
// the geometry stage read at build time from "Data/Shaders/test.geom", and a
// fragment stage that samples one texture with its blue replaced by 0.5.
//
// The geometry file carries no version line; the effect puts one in front for the
// way the driver offers geometry shaders: GL_EXT_geometry_shader4 where listed
// ("#version 120" + the extension, VANTOR_GEOMETRY_EXT defined, program
// parameters set with glProgramParameteriEXT), else a 3.2+ compatibility context
// ("#version 400 compatibility" where the context's GLSL reaches 4.00, else
// "#version 150 compatibility"; layout qualifiers in the file). With neither,
// or without the file, the stage fails and the program links with two stages.
//
// Build (registry order): InitEntryPoints(); CreateVertexShader();
// CreateGeometryShader(); CreateFragmentShader(). No scene draws with it.
#include "shaders/shader_system.h"

namespace VantorGL {

class cGeometryShader : public cShaderSystem {
 public:
  static constexpr const char* kGeometryFile = "Data/Shaders/test.geom";

  cGeometryShader() : cShaderSystem("cGeometryShader") {}

  bool CreateVertexShader() override;
  // Builds the fragment stage, links, looks up "sampler0", "BlurFactor" and
  // "explotionProgress" (-1 for a name no stage uses).
  bool CreateFragmentShader() override;
  // Reads kGeometryFile, builds and attaches the geometry stage.
  bool CreateGeometryShader() override;

  // Program current with "sampler0" on unit 0, "BlurFactor" = blurFactor and
  // "explotionProgress" = explotionProgress; GL_TEXTURE_2D enabled and `texture`
  // bound on unit 0 (left active). The caller draws triangles, then makes program
  // 0 current. Does nothing without entry points.
  void Apply();

  GLuint texture = 0;               // the registry gives it "Scenery1Tex01"
  float blurFactor = 0.01f;         // first parameter; the registry sets 0.5
  float explotionProgress = 0.0f;   // second parameter: push along the face normal
  GLint locSampler0 = -1;
  GLint locBlurFactor = -1;
  GLint locExplotionProgress = -1;
};

}  // namespace VantorGL
