#version 110
void main()
{
    gl_FragColor = vec4(0.0, gl_Color.g, gl_Color.b, gl_Color.a);
}
