#version 110
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
