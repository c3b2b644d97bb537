// Geometry stage of the explosion effect: every triangle is pushed out along its
// face normal by "explotionProgress" (eye-space units), texture coordinates
// passed on unchanged.
//
// No version line here: the engine puts one in front for the way the driver
// offers geometry shaders: "#version 400 compatibility" (150 where GLSL 4.00 is
// missing) on a 3.2+ compatibility context, or "#version 120" with
// GL_EXT_geometry_shader4 enabled and VANTOR_GEOMETRY_EXT defined (input and
// output types then come from program parameters).

#ifdef VANTOR_GEOMETRY_EXT
#define POSITION_IN(i) gl_PositionIn[i]
#define TEXCOORD_IN(i) gl_TexCoordIn[i][0]
#else
layout(triangles) in;
layout(triangle_strip, max_vertices = 3) out;
#define POSITION_IN(i) gl_in[i].gl_Position
#define TEXCOORD_IN(i) gl_in[i].gl_TexCoord[0]
#endif

uniform float explotionProgress;
// Looked up by the effect; this file does not use it.
uniform float BlurFactor;

void main()
{
    // Back to eye space, where the face normal is the one the viewer sees.
    vec4 e0 = gl_ProjectionMatrixInverse * POSITION_IN(0);
    vec4 e1 = gl_ProjectionMatrixInverse * POSITION_IN(1);
    vec4 e2 = gl_ProjectionMatrixInverse * POSITION_IN(2);
    vec3 p0 = e0.xyz / e0.w;
    vec3 p1 = e1.xyz / e1.w;
    vec3 p2 = e2.xyz / e2.w;

    vec3 normal = cross(p1 - p0, p2 - p0);
    float area = length(normal);
    // A degenerate triangle has no normal: it stays where it is.
    vec3 push = area > 0.0 ? normal * (explotionProgress / area) : vec3(0.0);

    gl_Position = gl_ProjectionMatrix * vec4(p0 + push, 1.0);
    gl_TexCoord[0] = TEXCOORD_IN(0);
    EmitVertex();
    gl_Position = gl_ProjectionMatrix * vec4(p1 + push, 1.0);
    gl_TexCoord[0] = TEXCOORD_IN(1);
    EmitVertex();
    gl_Position = gl_ProjectionMatrix * vec4(p2 + push, 1.0);
    gl_TexCoord[0] = TEXCOORD_IN(2);
    EmitVertex();
    EndPrimitive();
}
