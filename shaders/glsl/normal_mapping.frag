#version 110
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
