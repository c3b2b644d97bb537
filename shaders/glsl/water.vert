#version 110
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
