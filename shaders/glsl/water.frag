#version 110
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
