#version 110
uniform sampler2D sampler0;
void main()
{
    vec4 colour = texture2D(sampler0, gl_TexCoord[0].st);
    colour.b = 0.5;
    gl_FragColor = colour;
}
