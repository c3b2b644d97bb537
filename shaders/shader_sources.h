#pragma once
// The GLSL sources of the effects, GLSL 1.10 with the fixed-function built-ins,
// as built into the engine: each is the text of its file in shaders/glsl/ (the
// build writes them here), used when the show's data holds no file of that name
// (cShaderSystem::SourceOf). Listed in one place so that tests can hand every
// one of them to a second, stricter front end besides the driver.
#include <vector>

#include <epoxy/gl.h>

namespace VantorGL::shader_sources {

extern const char* const kDefaultVertex;          // default.vert
extern const char* const kDefaultFragment;        // default.frag
extern const char* const kTexturedQuadVertex;     // textured_quad.vert: blur and bloom
// blur.frag: thirteen taps, divided by 10: the result is 1.3 times their mean,
// alpha included.
extern const char* const kBlurFragment;
// gaussian_blur.frag: 3 x 3 Gaussian (1 2 1 / 2 4 2 / 1 2 1, over 16), then the
// bright pass and the alpha scale. A threshold of exactly 1 would divide by
// zero: the range is kept away from 0, which turns the pass into a hard step at
// the threshold.
extern const char* const kGaussianBlurFragment;
// normal_mapping.vert: no drawing code supplies "Tangent": an unset attribute
// reads as zero, and then the tangent is built from the normal (the +x direction
// for a surface facing +z, horizontal on any surface that is not facing straight
// up or down, +x there).
extern const char* const kNormalMappingVertex;
extern const char* const kNormalMappingFragment;  // normal_mapping.frag
// water.vert: the surface faces +y; its vertices ripple with two sine waves
// whose phase advances by 25 / 5000 radians per timer unit. Texture matrix 7
// holds the projective mapping of the reflection.
extern const char* const kWaterVertex;
// water.frag: fragments facing away from the light (lambert 0) get neither
// diffuse nor specular light: lit stays black there. The ripple offset moves x,
// y and z of the projective coordinate by the normal and leaves w alone. The
// refraction map is bound by the effect but does not contribute.
extern const char* const kWaterFragment;
extern const char* const kGeometryEffectVertex;    // geometry_effect.vert
extern const char* const kGeometryEffectFragment;  // geometry_effect.frag

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
