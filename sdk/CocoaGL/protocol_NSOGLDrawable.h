// protocol_NSOGLDrawable: what every object that can be drawn into answers (views, pixel-buffer
// renderers, framebuffer textures): its CGL context and its bounds. The drawable categories
// give every such object one drawing vocabulary over an orthographic unit cube from -0.5 to
// 0.5 on all three axes: erasing, quads in a colour, with a texture, with a texture and a mask,
// or through a GLSL program, and reading the viewport back into an ARGB buffer.
//
// The categories are free functions taking the drawable first. A null drawable stands for an
// object that answers neither operation: it has no context (the failed check "cgl_ctx!=NULL"
// is reported) and its rectangles are not converted.
//
// Contexts. Every drawing operation makes the drawable's context current for its length (a
// context-state scope) and puts the caller's back after; without a context it reports the
// failed check and does nothing. GL errors are drained after the state changes and never
// reported, except those of the mask program's creation, which are logged.
//
// Quads are rectangles in unit-cube coordinates (drawableRectFromRenderBoundsRect turns a
// rectangle of the bounds into one), drawn at z = 0 with the corners (x, y), (x + w, y),
// (x + w, y + h), (x, y + h). A texture's coordinates go to the corners in that order: (S-min,
// T-min), (S-max, T-min), (S-max, T-max), (S-min, T-max), the texture's flips applied. A quad
// matrix (NSOGLQuadMatrixProtocol) loads the model-view and texture matrices; null is the
// identity.
//
// A texture that cannot be drawn (null, without a texture object, or of a target other than
// GL_TEXTURE_2D and GL_TEXTURE_RECTANGLE_EXT) is shown as a quad of a flat colour instead:
// red for the textured quad, blue for the masked quad and the quad through a program.
#pragma once

#include <CocoaGL/NSOGLNormalMatrix.h>
#include <CocoaGL/NSOGLTextureBase.h>
#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>

#include <CoreGraphics/CGGeometry.h>
#include <Foundation/NSGeometry.h>
#include <OpenGL/OpenGL.h>
#include <OpenGL/gl.h>

#include <QColor>

#include <cstddef>

class protocol_NSOGLDrawable {
public:
    virtual ~protocol_NSOGLDrawable() = default;

    // The CGL context drawn into (borrowed), or null while there is none.
    virtual CGLContextObj renderContext() const = 0;
    // The bounds of the drawing, in the drawable's own units (pixels or points).
    virtual CGRect renderBounds() const = 0;
};

// A rectangle in unit-cube coordinates.
struct NSOGLDrawableRect {
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
};

// The text of the mask fragment program (GL_ARB_fragment_program, each line ended by CR LF):
// the image on texture unit 0 with all four channels multiplied by the red channel of the
// mask on unit 1, both rectangle textures.
extern const char *const kNSOGLDrawableMaskFragmentProgramText;

// NSObject(protocol_NSOGLDrawable)
namespace category_protocol_NSOGLDrawable {

// ---- Context and coordinates ----------------------------------------------------------------

// The drawable's renderContext when it answers one; otherwise the failed check
// "cgl_ctx!=NULL" is reported and null answered.
CGLContextObj drawableRenderContext(const protocol_NSOGLDrawable *drawable);
// With bounds (bx, by, bw, bh): x' = (x - (bx + bw / 2)) / bw, y' = (y - (by + bh / 2)) / bh,
// w' = w / bw, h' = h / bh. A null drawable, and bounds without area (which have no unit
// cube), give the rectangle unchanged.
NSOGLDrawableRect drawableRectFromRenderBoundsRect(const protocol_NSOGLDrawable *drawable, CGRect rect);
// Null loads the identity into the current matrix of the current context; otherwise the
// matrix's applyModelViewMatrix.
void drawableApplyQuadModelViewMatrix(const protocol_NSOGLDrawable *drawable, NSOGLQuadMatrixProtocol *quadMatrix);

// ---- The unit cube ----------------------------------------------------------------------------

// When erasing: through drawableEraseColor with a colour, to (0, 0, 0, 0) without one. Then
// blending on with (GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA), the current colour (1, 1, 1, 1),
// the projection matrix pushed and multiplied by the orthographic box -0.5..0.5 on all axes,
// the model-view matrix pushed and selected.
void drawableOrthoCubeViewBeginEraseColor(const protocol_NSOGLDrawable *drawable, bool erase,
                                          const QColor *eraseColor);
// The same, erasing (when asked) to opaque black.
void drawableOrthoCubeViewBegin(const protocol_NSOGLDrawable *drawable, bool erase);
// The same, erasing to opaque black.
void drawableOrthoCubeViewBegin(const protocol_NSOGLDrawable *drawable);
// Blending off, blend function (GL_ONE, GL_ONE), the model-view and projection matrices
// popped, the model-view matrix selected.
void drawableOrthoCubeViewEnd(const protocol_NSOGLDrawable *drawable);

// ---- Erasing (colour and depth buffers) --------------------------------------------------------

void drawableErase_R(const protocol_NSOGLDrawable *drawable, float red, float green, float blue, float alpha);
// (0, 0, 0, 1).
void drawableEraseBlack(const protocol_NSOGLDrawable *drawable);
// (0, 0, 0, 0.001): "transparent" keeps a trace of alpha.
void drawableEraseTransparent(const protocol_NSOGLDrawable *drawable);
// The colour's RGB components; an invalid colour erases black.
void drawableEraseColor(const protocol_NSOGLDrawable *drawable, const QColor &color);

// ---- Quads -----------------------------------------------------------------------------------

// The current colour set, GL_TEXTURE_RECTANGLE_EXT enabled with texture 0 bound (so no
// texture shows), one quad. The colour and the enabled target stay set afterwards.
void drawableDrawQuadColor_R(const protocol_NSOGLDrawable *drawable, NSOGLDrawableRect rect, float red, float green,
                             float blue, float alpha);
// The colour's RGB components; null (or an invalid colour) draws (0, 0, 0, 0.5).
void drawableDrawQuadColor(const protocol_NSOGLDrawable *drawable, NSOGLDrawableRect rect, const QColor *color);

// The textured quad: the model-view matrix from the quad matrix, the texture on unit 0 with
// its texture matrix from the quad matrix, a transparent border (clamped to it) and
// GL_REPLACE. Matrices, the matrix mode, the binding and the enabled targets are put back.
// A texture that cannot be drawn shows a red quad.
void drawableDrawQuadTextureQuadMatrix(const protocol_NSOGLDrawable *drawable, NSOGLDrawableRect rect,
                                       const NSOGLTextureBase *texture, NSOGLQuadMatrixProtocol *quadMatrix);
void drawableDrawQuadTextureTextureMatrix(const protocol_NSOGLDrawable *drawable, NSOGLDrawableRect rect,
                                          const NSOGLTextureBase *texture, NSOGLQuadMatrixProtocol *textureMatrix);
void drawableDrawQuadTexture(const protocol_NSOGLDrawable *drawable, NSOGLDrawableRect rect,
                             const NSOGLTextureBase *texture);

// The masked quad: the textured quad's set-up on unit 0, the mask on unit 1 (its texture
// matrix, not saved, from NSOGLNormalQuadMatrix::applyNormalMatrix with the mask matrix, or
// the identity for a null one; GL_MODULATE), drawn through the mask program
// (drawableEnableMaskFragmentShader), which is disabled after. A texture or a mask that
// cannot be drawn shows a blue quad.
void drawableDrawQuadTextureQuadMatrixMaskTextureMaskMatrix(const protocol_NSOGLDrawable *drawable,
                                                            NSOGLDrawableRect rect, const NSOGLTextureBase *texture,
                                                            NSOGLQuadMatrixProtocol *quadMatrix,
                                                            const NSOGLTextureBase *maskTexture,
                                                            const NSOGLNormalMatrix *maskMatrix);
void drawableDrawQuadTextureTextureMatrixMaskTextureMaskMatrix(const protocol_NSOGLDrawable *drawable,
                                                               NSOGLDrawableRect rect, const NSOGLTextureBase *texture,
                                                               NSOGLQuadMatrixProtocol *textureMatrix,
                                                               const NSOGLTextureBase *maskTexture,
                                                               const NSOGLNormalMatrix *maskMatrix);
void drawableDrawQuadTextureMaskTextureMaskMatrix(const protocol_NSOGLDrawable *drawable, NSOGLDrawableRect rect,
                                                  const NSOGLTextureBase *texture, const NSOGLTextureBase *maskTexture,
                                                  const NSOGLNormalMatrix *maskMatrix);
void drawableDrawQuadTextureMaskTexture(const protocol_NSOGLDrawable *drawable, NSOGLDrawableRect rect,
                                        const NSOGLTextureBase *texture, const NSOGLTextureBase *maskTexture);

// ---- The mask program ---------------------------------------------------------------------------

// The name reserved for "no program".
inline constexpr GLuint kNoMaskFragmentProgram = 0xFFFFFFFFu;

// A new fragment program of the text, in the drawable's context, left bound to
// GL_FRAGMENT_PROGRAM_ARB. Null text is the failed check "shaderProgramText". Each GL error
// that follows is logged as "OpenGL Error: %s (%d) %s {%s} (%s,%d)\n"; a text the GL refuses
// leaves no program. Answers the program's name, or kNoMaskFragmentProgram.
GLuint drawableCreateMaskFragmentShader(const protocol_NSOGLDrawable *drawable, const char *shaderProgramText);
// The process-wide mask program, made from kNSOGLDrawableMaskFragmentProgramText on first use
// (and again in a share group that does not know it), bound and enabled
// (GL_FRAGMENT_PROGRAM_ARB). Nothing is enabled when the program cannot be made.
void drawableEnableMaskFragmentShader(const protocol_NSOGLDrawable *drawable);

// ---- Shared by the program category --------------------------------------------------------------

// Whether the texture can be drawn: not null, with a texture object, of target
// GL_TEXTURE_2D or GL_TEXTURE_RECTANGLE_EXT.
bool drawableTextureIsDrawable(const NSOGLTextureBase *texture);
// The quad of a program (the program enabled by the caller, the drawable's context current):
// the textured quad's model-view set-up; the texture on unit 0 with a transparent border, its
// texture matrix pushed, loaded with the identity and then from the quad matrix, GL_REPLACE;
// the quad with normal (0, 0, 1); everything put back.
void drawableDrawProgramQuad(CGLContextObj context, NSOGLDrawableRect rect, const NSOGLTextureBase *texture,
                             NSOGLQuadMatrixProtocol *quadMatrix);

}  // namespace category_protocol_NSOGLDrawable

// NSObject(protocol_NSOGLDrawable_NSOGLSLShaderProgram): quads through a GLSL program. Any
// program type answering shaderCanBeEnabled(), enable() and disable() (NSOGLSLShaderProgram).
namespace category_protocol_NSOGLDrawable_NSOGLSLShaderProgram {

// A texture that cannot be drawn, or a program that is null or cannot be enabled, shows a
// blue quad. Otherwise the program enabled, drawableDrawProgramQuad, the program disabled.
template <class Program>
void drawableDrawQuadTextureQuadMatrixShaderProgram(const protocol_NSOGLDrawable *drawable, NSOGLDrawableRect rect,
                                                    const NSOGLTextureBase *texture,
                                                    NSOGLQuadMatrixProtocol *quadMatrix, Program *shaderProgram) {
    using namespace category_protocol_NSOGLDrawable;
    const CGLContextObj context = drawableRenderContext(drawable);
    if (context == nullptr) return;
    const OpenGL::CGLContextState scope(context);
    if (!drawableTextureIsDrawable(texture) || shaderProgram == nullptr || !shaderProgram->shaderCanBeEnabled()) {
        const QColor blue(0, 0, 255);
        drawableDrawQuadColor(drawable, rect, &blue);
        return;
    }
    shaderProgram->enable();
    drawableDrawProgramQuad(context, rect, texture, quadMatrix);
    shaderProgram->disable();
}

template <class Program>
void drawableDrawQuadTextureTextureMatrixShaderProgram(const protocol_NSOGLDrawable *drawable,
                                                       NSOGLDrawableRect rect, const NSOGLTextureBase *texture,
                                                       NSOGLQuadMatrixProtocol *textureMatrix,
                                                       Program *shaderProgram) {
    drawableDrawQuadTextureQuadMatrixShaderProgram(drawable, rect, texture, textureMatrix, shaderProgram);
}

}  // namespace category_protocol_NSOGLDrawable_NSOGLSLShaderProgram

// NSObject(protocol_NSOGLDrawable_NSOGLReadPixels)
namespace category_protocol_NSOGLDrawable_NSOGLReadPixels {

// Reads the current viewport of the drawable's context into `bufferData` as ARGB rows, the
// top row first (mirrored left to right, with alpha 255, when flipHorizontal is set). Acts
// only when the viewport's width and height equal the size and a buffer and row bytes are
// given; rows may be padded (row bytes beyond width x 4) but not shorter (reported). The
// context's pixel-pack state is put back. Answers whether the buffer was written.
bool drawableGrabOpenGLViewportContentsTo_ARGB_BufferSize(const protocol_NSOGLDrawable *drawable, NSSize size,
                                                          void *bufferData, std::size_t bufferRowBytes,
                                                          bool flipHorizontal);

}  // namespace category_protocol_NSOGLDrawable_NSOGLReadPixels

bool import_protocol_NSOGLDrawable();
