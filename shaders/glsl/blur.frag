#version 110
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
