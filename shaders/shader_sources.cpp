#include "shaders/shader_sources.h"

namespace VantorGL::shader_sources {

const char* const kDefaultVertex = R"(#version 110
void main()
{
    gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;
    gl_FrontColor = gl_Color;
}
)";

const char* const kDefaultFragment = R"(#version 110
void main()
{
    gl_FragColor = vec4(0.0, gl_Color.g, gl_Color.b, gl_Color.a);
}
)";

const char* const kTexturedQuadVertex = R"(#version 110
varying vec2 texCoord;
void main()
{
    gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;
    texCoord = gl_MultiTexCoord0.xy;
}
)";

// Thirteen taps, divided by 10: the result is 1.3 times their mean, alpha included.
const char* const kBlurFragment = R"(#version 110
uniform sampler2D sampler0;
uniform float BlurFactor;
varying vec2 texCoord;
void main()
{
    vec4 sum = texture2D(sampler0, texCoord);
    sum += texture2D(sampler0, texCoord + BlurFactor * vec2(-0.326212, -0.405805));
    sum += texture2D(sampler0, texCoord + BlurFactor * vec2(-0.840144, -0.073580));
    sum += texture2D(sampler0, texCoord + BlurFactor * vec2(-0.695914,  0.457137));
    sum += texture2D(sampler0, texCoord + BlurFactor * vec2(-0.203345,  0.620716));
    sum += texture2D(sampler0, texCoord + BlurFactor * vec2( 0.962340, -0.194983));
    sum += texture2D(sampler0, texCoord + BlurFactor * vec2( 0.473434, -0.480026));
    sum += texture2D(sampler0, texCoord + BlurFactor * vec2( 0.519456,  0.767022));
    sum += texture2D(sampler0, texCoord + BlurFactor * vec2( 0.185461, -0.893124));
    sum += texture2D(sampler0, texCoord + BlurFactor * vec2( 0.507431,  0.064425));
    sum += texture2D(sampler0, texCoord + BlurFactor * vec2( 0.896420,  0.412458));
    sum += texture2D(sampler0, texCoord + BlurFactor * vec2(-0.321940, -0.932615));
    sum += texture2D(sampler0, texCoord + BlurFactor * vec2(-0.791559, -0.597705));
    gl_FragColor = sum / 10.0;
}
)";

// 3 x 3 Gaussian (1 2 1 / 2 4 2 / 1 2 1, over 16), then the bright pass and the
// alpha scale. A threshold of exactly 1 would divide by zero: the range is kept
// away from 0, which turns the pass into a hard step at the threshold.
const char* const kGaussianBlurFragment = R"(#version 110
uniform sampler2D sampler0;
uniform float BlurFactor;
uniform float width;
uniform float height;
uniform float alpha;
uniform float bloom;
varying vec2 texCoord;
void main()
{
    float step_w = (1.0 / width) * BlurFactor;
    float step_h = (1.0 / height) * BlurFactor;
    vec4 sum = vec4(0.0);
    sum += texture2D(sampler0, texCoord + vec2(-step_w, -step_h)) * (1.0 / 16.0);
    sum += texture2D(sampler0, texCoord + vec2(   0.0, -step_h)) * (2.0 / 16.0);
    sum += texture2D(sampler0, texCoord + vec2( step_w, -step_h)) * (1.0 / 16.0);
    sum += texture2D(sampler0, texCoord + vec2(-step_w,    0.0)) * (2.0 / 16.0);
    sum += texture2D(sampler0, texCoord)                          * (4.0 / 16.0);
    sum += texture2D(sampler0, texCoord + vec2( step_w,    0.0)) * (2.0 / 16.0);
    sum += texture2D(sampler0, texCoord + vec2(-step_w,  step_h)) * (1.0 / 16.0);
    sum += texture2D(sampler0, texCoord + vec2(   0.0,  step_h)) * (2.0 / 16.0);
    sum += texture2D(sampler0, texCoord + vec2( step_w,  step_h)) * (1.0 / 16.0);
    float range = 1.0 - bloom;
    if (abs(range) < 1.0e-6)
        range = 1.0e-6;
    sum = clamp((sum - bloom) / range, 0.0, 1.0);
    sum.a = alpha * sum.a;
    gl_FragColor = sum;
}
)";

// No drawing code supplies "Tangent": an unset attribute reads as zero, and then
// the tangent is built from the normal (the +x direction for a surface facing +z,
// horizontal on any surface that is not facing straight up or down, +x there).
const char* const kNormalMappingVertex = R"(#version 110
uniform vec3 EyePos;
uniform vec3 LightPosition;
attribute vec3 Tangent;
varying vec3 LightDir;
varying vec3 EyeDir;
void main()
{
    gl_Position = ftransform();
    gl_TexCoord[0] = gl_MultiTexCoord0;
    vec3 E = EyePos - vec3(gl_ModelViewMatrix * gl_Vertex);

    vec3 tangent = Tangent;
    if (dot(tangent, tangent) < 1.0e-12)
    {
        if (abs(normalize(gl_Normal).y) < 0.999)
            tangent = cross(vec3(0.0, 1.0, 0.0), gl_Normal);
        else
            tangent = vec3(1.0, 0.0, 0.0);
    }

    vec3 n = normalize(gl_NormalMatrix * gl_Normal);
    vec3 t = normalize(gl_NormalMatrix * tangent);
    vec3 b = cross(n, t);

    LightDir = normalize(vec3(dot(LightPosition, t), dot(LightPosition, b), dot(LightPosition, n)));
    EyeDir = normalize(vec3(dot(E, t), dot(E, b), dot(E, n)));
}
)";

const char* const kNormalMappingFragment = R"(#version 110
uniform sampler2D colorMap;
uniform sampler2D normalMap;
uniform vec3 SurfaceColor;
uniform float SpecularFactor;
varying vec3 LightDir;
varying vec3 EyeDir;
void main()
{
    vec3 N = texture2D(normalMap, gl_TexCoord[0].st).rgb * 2.0 - 1.0;
    vec3 lit = SurfaceColor * max(dot(N, LightDir), 0.0);
    vec3 R = reflect(LightDir, N);
    float specular = pow(max(dot(EyeDir, R), 0.0), 8.0) * SpecularFactor;
    lit = min(lit + specular, 1.0);
    vec4 C = texture2D(colorMap, gl_TexCoord[0].st);
    gl_FragColor = 0.2 * C + vec4(lit, 1.0) * C;
}
)";

// The surface faces +y; its vertices ripple with two sine waves whose phase
// advances by 25 / 5000 radians per timer unit. Texture matrix 7 holds the
// projective mapping of the reflection.
const char* const kWaterVertex = R"(#version 110
uniform vec3 LightPosition;
uniform float timer;
varying vec3 lightVec;
varying vec3 halfVec;
varying vec3 eyeVec;
varying vec4 projCoord;
void main()
{
    gl_TexCoord[0] = gl_MultiTexCoord0;
    projCoord = gl_TextureMatrix[7] * gl_Vertex;

    vec3 t = normalize(gl_NormalMatrix * vec3(1.0, 0.0, 0.0));
    vec3 n = normalize(gl_NormalMatrix * vec3(0.0, 1.0, 0.0));
    vec3 b = cross(n, t);

    float phase = (timer / 5000.0) * 25.0;
    vec4 v = gl_Vertex;
    v.y += 0.235 * sin(0.35 * v.x + phase) + 0.235 * sin(0.87 * v.z + phase);
    gl_Position = gl_ModelViewProjectionMatrix * v;

    vec3 eyePos = vec3(gl_ModelViewMatrix * gl_Vertex);
    eyeVec = normalize(vec3(dot(eyePos, t), dot(eyePos, b), dot(eyePos, n)));

    vec3 lightDir = normalize(LightPosition - eyePos);
    lightVec = normalize(vec3(dot(lightDir, t), dot(lightDir, b), dot(lightDir, n)));

    vec3 halfway = normalize((normalize(eyePos) + lightDir) / 2.0);
    halfVec = normalize(vec3(dot(halfway, t), dot(halfway, b), dot(halfway, n)));
}
)";

// Fragments facing away from the light (lambert 0) get neither diffuse nor
// specular light: lit stays black there. The ripple offset moves x, y and z of
// the projective coordinate by the normal and leaves w alone. The refraction map
// is bound by the effect but does not contribute.
const char* const kWaterFragment = R"(#version 110
uniform sampler2D colorMap;
uniform sampler2D normalMap;
uniform sampler2D reflectMap;
uniform sampler2D refractMap;
uniform float timer;
varying vec3 lightVec;
varying vec3 halfVec;
varying vec3 eyeVec;
varying vec4 projCoord;
void main()
{
    const float rippleScale = 4.0;
    vec2 uv = gl_TexCoord[0].st * 25.0;
    vec3 n0 = texture2D(normalMap, uv).rgb * 2.0 - 1.0;
    vec3 n1 = texture2D(normalMap, uv + timer / 10700.0).rgb * 2.0 - 1.0;
    vec3 n2 = texture2D(normalMap, uv - timer / 10200.0).rgb * 2.0 - 1.0;
    vec3 N = normalize(n0 + n1 + n2);

    vec4 base = texture2D(colorMap, uv);
    float lambert = max(dot(lightVec, N), 0.0);
    vec3 lit = vec3(0.0);
    if (lambert > 0.0)
    {
        float h = max(dot(halfVec, N), 0.0);
        lit = min(base.rgb * 0.3 * lambert + pow(h, 16.0) + 10.0 * pow(h, 32.0), 1.0);
    }

    vec4 reflection = texture2DProj(reflectMap, projCoord + vec4(N * (rippleScale * 0.5), 0.0));
    gl_FragColor = (reflection + base * vec4(lit, 1.0)) / 3.0;
}
)";

const char* const kGeometryEffectVertex = R"(#version 110
void main()
{
    gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;
    gl_TexCoord[0] = gl_MultiTexCoord0;
}
)";

const char* const kGeometryEffectFragment = R"(#version 110
uniform sampler2D sampler0;
void main()
{
    vec4 colour = texture2D(sampler0, gl_TexCoord[0].st);
    colour.b = 0.5;
    gl_FragColor = colour;
}
)";

const char* const kGeometryPreamble400 = "#version 400 compatibility\n";
const char* const kGeometryPreamble150 = "#version 150 compatibility\n";
const char* const kGeometryPreambleExt =
    "#version 120\n"
    "#extension GL_EXT_geometry_shader4 : enable\n"
    "#define VANTOR_GEOMETRY_EXT 1\n";

const std::vector<Source>& All() {
  static const std::vector<Source> all = {
      {"default vertex", GL_VERTEX_SHADER, kDefaultVertex},
      {"default fragment", GL_FRAGMENT_SHADER, kDefaultFragment},
      {"textured quad vertex", GL_VERTEX_SHADER, kTexturedQuadVertex},
      {"blur fragment", GL_FRAGMENT_SHADER, kBlurFragment},
      {"gaussian blur fragment", GL_FRAGMENT_SHADER, kGaussianBlurFragment},
      {"normal mapping vertex", GL_VERTEX_SHADER, kNormalMappingVertex},
      {"normal mapping fragment", GL_FRAGMENT_SHADER, kNormalMappingFragment},
      {"water vertex", GL_VERTEX_SHADER, kWaterVertex},
      {"water fragment", GL_FRAGMENT_SHADER, kWaterFragment},
      {"geometry effect vertex", GL_VERTEX_SHADER, kGeometryEffectVertex},
      {"geometry effect fragment", GL_FRAGMENT_SHADER, kGeometryEffectFragment},
  };
  return all;
}

}  // namespace VantorGL::shader_sources
