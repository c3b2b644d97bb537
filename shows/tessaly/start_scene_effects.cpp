#include "start_scene_effects.h"

#include <string>

#include "platform/gl_extensions.h"

namespace VantorGL {
namespace {
const char kLayersVertex[] = R"(#version 130
uniform bool overlayQuad;
uniform vec2 derivedScale;
varying vec2 layerCoord;
varying vec2 overlayCoord;
void main()
{
    gl_Position = ftransform();
    vec2 derived = 0.5 + 0.5 * derivedScale * gl_Vertex.xy;
    if (overlayQuad) {
        overlayCoord = gl_MultiTexCoord0.xy;
        layerCoord = derived;
    } else {
        layerCoord = gl_MultiTexCoord0.xy;
        overlayCoord = derived;
    }
}
)";

// The window's colour is 8 bits a channel: a pass's colour is rounded to it
// (to nearest, ties to even), blending works on those bytes. OVERLAY says where
// the overlay's bytes come from: 0 its picture, 1 its picture alone written out
// as bytes, 2 those bytes read back at the same window pixel.
const char kLayersFragment[] = R"(
uniform sampler2D mainView;
uniform sampler2D glow;
uniform sampler2D overlay;
varying vec2 layerCoord;
varying vec2 overlayCoord;
uvec4 ToBytes(vec4 c) { return uvec4(roundEven(clamp(c, 0.0, 1.0) * 255.0)); }
// (a * b) / 255 rounded to nearest, exactly, in integers.
uvec4 Product(uvec4 a, uvec4 b) { uvec4 t = a * b; return (t + (t >> 8u) + 128u) >> 8u; }
void main()
{
#if OVERLAY == 1
    gl_FragColor = vec4(ToBytes(texture2D(overlay, overlayCoord))) / 255.0;
#else
    uvec4 below = min(ToBytes(texture2D(mainView, layerCoord)) + ToBytes(texture2D(glow, layerCoord)), uvec4(255u));
#if OVERLAY == 2
    uvec4 picture = ToBytes(texelFetch(overlay, ivec2(gl_FragCoord.xy), 0));
#else
    uvec4 picture = ToBytes(texture2D(overlay, overlayCoord));
#endif
    uvec4 blended = Product(picture, uvec4(picture.a)) + Product(below, uvec4(255u - picture.a));
    gl_FragColor = vec4(min(blended, uvec4(255u))) / 255.0;
#endif
}
)";

// The fixed pipeline's texturing as it ran: projective look-ups, unit 0's
// texture times the colour, unit 1's times that. The dome is drawn in white, a
// colour the fixed pipeline takes as a constant: interpolated, it would come out
// a hair under 1 here and there. It carries no coordinates for unit 1, so every
// vertex has the current one and the tint is one colour for the whole dome:
// looked up once a vertex, not once a sample, and passed on flat, unblended.
const char kSkyVertex[] = R"(#version 130
uniform sampler2D tint;
flat out vec4 tintColour;
void main()
{
    gl_Position = ftransform();
    gl_TexCoord[0] = gl_MultiTexCoord0;
    tintColour = texture2DProjLod(tint, gl_MultiTexCoord1, 0.0);
}
)";

const char kSkyFragment[] = R"(#version 130
uniform sampler2D sky;
flat in vec4 tintColour;
void main()
{
    vec4 plain = texture2DProj(sky, gl_TexCoord[0]);
    gl_FragData[0] = tintColour * plain;
    gl_FragData[1] = plain;
    gl_FragData[2] = plain;
}
)";

// Both effects build alike, where the driver offers GLSL 1.30's integers and
// flat values (GL_EXT_gpu_shader4) and what one needs besides.
bool BuildWhere(cShaderSystem& effect, const char* besides = nullptr) {
  return platform::HasGlExtension("GL_EXT_gpu_shader4") && (!besides || platform::HasGlExtension(besides)) &&
         effect.InitEntryPoints() && effect.CreateVertexShader() && effect.CreateFragmentShader();
}
}  // namespace

bool cLayerComposite::Build() { return BuildWhere(*this); }

bool cLayerComposite::CreateVertexShader() {
  return BuildStage(GL_VERTEX_SHADER_ARB, kLayersVertex, vertexShader, "vertex");
}

bool cLayerComposite::CreateFragmentShader() {
  const std::string source = "#version 130\n#define OVERLAY " + std::to_string(static_cast<int>(overlay_)) + "\n" +
                             kLayersFragment;
  if (!BuildStage(GL_FRAGMENT_SHADER_ARB, source.c_str(), fragmentShader, "fragment") || !LinkProgram())
    return false;
  locMain_ = UniformLocation("mainView");
  locGlow_ = UniformLocation("glow");
  locOverlay_ = UniformLocation("overlay");
  locOverlayQuad_ = UniformLocation("overlayQuad");
  locDerivedScale_ = UniformLocation("derivedScale");
  return true;
}

void cLayerComposite::Apply(bool drawingOverlayQuad, float derivedScaleX, float derivedScaleY) {
  if (!UseProgram()) return;
  SetInt(locMain_, 0);
  SetInt(locGlow_, 1);
  SetInt(locOverlay_, 2);
  SetInt(locOverlayQuad_, drawingOverlayQuad ? 1 : 0);
  if (locDerivedScale_ >= 0 && gl_.Uniform2fARB) gl_.Uniform2fARB(locDerivedScale_, derivedScaleX, derivedScaleY);
}

bool cSkyViews::Build() { return BuildWhere(*this, "GL_ARB_draw_buffers"); }

bool cSkyViews::CreateVertexShader() {
  return BuildStage(GL_VERTEX_SHADER_ARB, kSkyVertex, vertexShader, "vertex");
}

bool cSkyViews::CreateFragmentShader() {
  if (!BuildStage(GL_FRAGMENT_SHADER_ARB, kSkyFragment, fragmentShader, "fragment") || !LinkProgram()) return false;
  locSky_ = UniformLocation("sky");
  locTint_ = UniformLocation("tint");
  return true;
}

void cSkyViews::Apply() {
  if (!UseProgram()) return;
  SetInt(locSky_, 0);
  SetInt(locTint_, 1);
}

}  // namespace VantorGL
