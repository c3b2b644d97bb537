#version 110
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
