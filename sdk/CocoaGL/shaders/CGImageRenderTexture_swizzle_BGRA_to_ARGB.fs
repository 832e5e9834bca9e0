#extension GL_ARB_texture_rectangle : enable
// The BGRA image on texture unit 0 (a rectangle texture) with its channels reordered, so that
// a BGRA target holds the bytes A, R, G, B in that order.
uniform sampler2DRect texture0;

void main()
{
	gl_FragColor = texture2DRect(texture0, gl_TexCoord[0].st).grab;
}
