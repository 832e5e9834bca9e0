#extension GL_ARB_texture_rectangle : enable
// The BGRA image on texture unit 0 (a rectangle texture), drawn as it is.
uniform sampler2DRect texture0;

void main()
{
	gl_FragColor = texture2DRect(texture0, gl_TexCoord[0].st);
}
