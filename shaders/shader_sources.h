#pragma once
// The GLSL sources of the effects, GLSL 1.10 with the fixed-function built-ins.
// Kept in one place so that tests can hand every one of them to a second,
// stricter front end besides the driver.
#include <vector>

#include <epoxy/gl.h>

namespace VantorGL::shader_sources {

extern const char* const kDefaultVertex;
extern const char* const kDefaultFragment;
extern const char* const kTexturedQuadVertex;  // blur and bloom
extern const char* const kBlurFragment;
extern const char* const kGaussianBlurFragment;
extern const char* const kNormalMappingVertex;
extern const char* const kNormalMappingFragment;
extern const char* const kWaterVertex;
extern const char* const kWaterFragment;
extern const char* const kGeometryEffectVertex;
extern const char* const kGeometryEffectFragment;

// Put in front of the geometry file's text: the file carries no version line so
// that one file serves both ways a driver may offer geometry shaders.
// GLSL 4.00 and later: the compatibility built-ins (gl_TexCoord) of a geometry
// stage are declared there by every front end, stricter ones included.
extern const char* const kGeometryPreamble400;
// GL 3.2 and 3.3 compatibility contexts.
extern const char* const kGeometryPreamble150;
extern const char* const kGeometryPreambleExt;   // GL_EXT_geometry_shader4

struct Source {
  const char* name;
  GLenum stage;  // GL_VERTEX_SHADER or GL_FRAGMENT_SHADER
  const char* text;
};

// Every embedded vertex and fragment source.
const std::vector<Source>& All();

}  // namespace VantorGL::shader_sources
