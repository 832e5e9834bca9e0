#include <CocoaGL/protocol_NSOGLDrawable.h>

#include <CoreG/GL/namespace_OpenGL_ReadPixels.h>
#include <CoreX/CoreMachDebugLog.h>

#include <OpenGL/glext.h>
#include <OpenGL/glu.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

const char *const kNSOGLDrawableMaskFragmentProgramText =
    "!!ARBfp1.0\r\n"
    "TEMP imag,mask,rgba,alph,amin;\r\n"
    "TEX imag, fragment.texcoord[0], texture[0], RECT;\r\n"
    "TEX mask, fragment.texcoord[1], texture[1], RECT;\r\n"
    "MOV alph, {0.0,0.0,0.0,0.0}; \r\n"
    "DP3 alph, mask, mask;\r\n"
    "MOV rgba, imag;\r\n"
    "MOV alph, mask.xxxx;\r\n"
    "TEMP npre;\r\n"
    "MOV npre, rgba.aaaa;\r\n"
    "MIN npre, npre, {1.0,1.0,1.0,1.0};\r\n"
    "MAX npre, npre, {0.001,0.001,0.001,0.001};\r\n"
    "RCP npre.a, npre.a;\r\n"
    "MUL rgba, imag, npre.aaaa;\r\n"
    "MUL rgba, imag, alph.xxxx;\r\n"
    "MOV result.color, rgba;\r\n"
    "END\r\n";

namespace {

using OpenGL::DiscardGLErrors;

// The mask program of the process (kNoMaskFragmentProgram until made), and the lock of its
// making: two threads drawing their first masked quads make one program between them.
std::mutex gMaskProgramLock;
GLuint gMaskProgram = category_protocol_NSOGLDrawable::kNoMaskFragmentProgram;

// Writes every pending GL error to the debug log; answers whether there was one.
bool LogGLErrors(const char *function, int line) {
    bool any = false;
    for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError()) {
        any = true;
        const GLubyte *text = gluErrorString(error);
        CoreMachDebugLog("OpenGL Error: %s (%d) %s {%s} (%s,%d)\n",
                         text != nullptr ? reinterpret_cast<const char *>(text) : "", int(error), "", function,
                         __FILE__, line);
    }
    return any;
}

void Quad(NSOGLDrawableRect rect) {
    glBegin(GL_QUADS);
    glVertex3f(rect.x, rect.y, 0.0f);
    glVertex3f(rect.x + rect.width, rect.y, 0.0f);
    glVertex3f(rect.x + rect.width, rect.y + rect.height, 0.0f);
    glVertex3f(rect.x, rect.y + rect.height, 0.0f);
    glEnd();
}

// The texture's coordinates at the four corners, in the corner order of Quad.
struct Corners {
    float s[4];
    float t[4];

    explicit Corners(const NSOGLTextureBase &texture) {
        const float sMin = texture.textureCoordSMin(), sMax = texture.textureCoordSMax();
        const float tMin = texture.textureCoordTMin(), tMax = texture.textureCoordTMax();
        s[0] = sMin, t[0] = tMin;
        s[1] = sMax, t[1] = tMin;
        s[2] = sMax, t[2] = tMax;
        s[3] = sMin, t[3] = tMax;
    }
};

void Vertex(NSOGLDrawableRect rect, int corner) {
    const float x = (corner == 1 || corner == 2) ? rect.x + rect.width : rect.x;
    const float y = (corner >= 2) ? rect.y + rect.height : rect.y;
    glVertex3f(x, y, 0.0f);
}

// The model-view matrix selected, pushed and loaded from the quad matrix; the caller's matrix
// mode and matrix put back at the end of the scope.
class ModelViewScope {
public:
    ModelViewScope(const protocol_NSOGLDrawable *drawable, NSOGLQuadMatrixProtocol *quadMatrix) {
        glGetIntegerv(GL_MATRIX_MODE, &mMatrixMode);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        category_protocol_NSOGLDrawable::drawableApplyQuadModelViewMatrix(drawable, quadMatrix);
        DiscardGLErrors();
    }
    ~ModelViewScope() {
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        glMatrixMode(GLenum(mMatrixMode));
        DiscardGLErrors();
    }
    ModelViewScope(const ModelViewScope &) = delete;
    ModelViewScope &operator=(const ModelViewScope &) = delete;

private:
    GLint mMatrixMode = GL_MODELVIEW;
};

// A texture on the active unit: its target enabled and its name bound, the binding saved.
// A rectangle target left enabled (a colour quad leaves it so) outranks GL_TEXTURE_2D, and
// with texture 0 bound would switch the unit's texturing off: it is disabled for a 2-D
// texture and enabled again after. The end of the scope disables the target and puts the
// binding back.
class UnitScope {
public:
    explicit UnitScope(const NSOGLTextureBase &texture) : mTarget(texture.textureTarget()) {
        if (mTarget != GL_TEXTURE_RECTANGLE_EXT && glIsEnabled(GL_TEXTURE_RECTANGLE_EXT)) {
            glDisable(GL_TEXTURE_RECTANGLE_EXT);
            mRectangleWasEnabled = true;
        }
        glEnable(mTarget);
        glGetIntegerv(texture.textureBindingQuery(), &mSavedBinding);
        glBindTexture(mTarget, texture.textureName());
        DiscardGLErrors();
    }
    ~UnitScope() {
        glBindTexture(mTarget, GLuint(mSavedBinding));
        glDisable(mTarget);
        if (mRectangleWasEnabled) glEnable(GL_TEXTURE_RECTANGLE_EXT);
        DiscardGLErrors();
    }
    UnitScope(const UnitScope &) = delete;
    UnitScope &operator=(const UnitScope &) = delete;

private:
    GLenum mTarget;
    GLint mSavedBinding = 0;
    bool mRectangleWasEnabled = false;
};

// Unit 0's texture matrix selected and pushed; popped at the end of the scope (unit 0 active
// again), leaving the texture matrix selected.
class TextureMatrixScope {
public:
    TextureMatrixScope() {
        glActiveTexture(GL_TEXTURE0);
        glMatrixMode(GL_TEXTURE);
        glPushMatrix();
        DiscardGLErrors();
    }
    ~TextureMatrixScope() {
        glActiveTexture(GL_TEXTURE0);
        glMatrixMode(GL_TEXTURE);
        glPopMatrix();
        DiscardGLErrors();
    }
    TextureMatrixScope(const TextureMatrixScope &) = delete;
    TextureMatrixScope &operator=(const TextureMatrixScope &) = delete;
};

void FlatQuad(const protocol_NSOGLDrawable *drawable, NSOGLDrawableRect rect, int red, int green, int blue) {
    const QColor color(red, green, blue);
    category_protocol_NSOGLDrawable::drawableDrawQuadColor(drawable, rect, &color);
}

}  // namespace

namespace category_protocol_NSOGLDrawable {

// ---- Context and coordinates ----------------------------------------------------------------

CGLContextObj drawableRenderContext(const protocol_NSOGLDrawable *drawable) {
    const CGLContextObj cgl_ctx = drawable != nullptr ? drawable->renderContext() : nullptr;
    VERIFY(cgl_ctx!=NULL);
    return cgl_ctx;
}

NSOGLDrawableRect drawableRectFromRenderBoundsRect(const protocol_NSOGLDrawable *drawable, CGRect rect) {
    NSOGLDrawableRect unit{float(rect.origin.x), float(rect.origin.y), float(rect.size.width),
                           float(rect.size.height)};
    if (drawable == nullptr) return unit;
    const CGRect bounds = drawable->renderBounds();
    const double bw = bounds.size.width, bh = bounds.size.height;
    if (!(bw != 0 && bh != 0)) return unit;  // no area: no unit cube to map into
    unit.x = float((rect.origin.x - (bounds.origin.x + bw / 2)) / bw);
    unit.y = float((rect.origin.y - (bounds.origin.y + bh / 2)) / bh);
    unit.width = float(rect.size.width / bw);
    unit.height = float(rect.size.height / bh);
    return unit;
}

void drawableApplyQuadModelViewMatrix(const protocol_NSOGLDrawable *, NSOGLQuadMatrixProtocol *quadMatrix) {
    if (quadMatrix == nullptr) {
        glLoadIdentity();
        DiscardGLErrors();
        return;
    }
    quadMatrix->applyModelViewMatrix();
}

// ---- The unit cube ----------------------------------------------------------------------------

void drawableOrthoCubeViewBeginEraseColor(const protocol_NSOGLDrawable *drawable, bool erase,
                                          const QColor *eraseColor) {
    const CGLContextObj context = drawableRenderContext(drawable);
    if (context == nullptr) return;
    const OpenGL::CGLContextState scope(context);
    if (erase) {
        if (eraseColor != nullptr)
            drawableEraseColor(drawable, *eraseColor);
        else
            drawableErase_R(drawable, 0, 0, 0, 0);
    }
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1, 1, 1, 1);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glOrtho(-0.5, 0.5, -0.5, 0.5, -0.5, 0.5);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    DiscardGLErrors();
}

void drawableOrthoCubeViewBegin(const protocol_NSOGLDrawable *drawable, bool erase) {
    const QColor black(0, 0, 0);
    drawableOrthoCubeViewBeginEraseColor(drawable, erase, &black);
}

void drawableOrthoCubeViewBegin(const protocol_NSOGLDrawable *drawable) { drawableOrthoCubeViewBegin(drawable, true); }

void drawableOrthoCubeViewEnd(const protocol_NSOGLDrawable *drawable) {
    const CGLContextObj context = drawableRenderContext(drawable);
    if (context == nullptr) return;
    const OpenGL::CGLContextState scope(context);
    glDisable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    DiscardGLErrors();
}

// ---- Erasing ----------------------------------------------------------------------------------

void drawableErase_R(const protocol_NSOGLDrawable *drawable, float red, float green, float blue, float alpha) {
    const CGLContextObj context = drawableRenderContext(drawable);
    if (context == nullptr) return;
    const OpenGL::CGLContextState scope(context);
    glClearColor(red, green, blue, alpha);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DiscardGLErrors();
}

void drawableEraseBlack(const protocol_NSOGLDrawable *drawable) { drawableErase_R(drawable, 0, 0, 0, 1); }

void drawableEraseTransparent(const protocol_NSOGLDrawable *drawable) {
    drawableErase_R(drawable, 0, 0, 0, 0.001f);
}

void drawableEraseColor(const protocol_NSOGLDrawable *drawable, const QColor &color) {
    if (!color.isValid()) {
        drawableEraseBlack(drawable);
        return;
    }
    float red = 0, green = 0, blue = 0, alpha = 0;
    color.toRgb().getRgbF(&red, &green, &blue, &alpha);
    drawableErase_R(drawable, red, green, blue, alpha);
}

// ---- Quads -----------------------------------------------------------------------------------

void drawableDrawQuadColor_R(const protocol_NSOGLDrawable *drawable, NSOGLDrawableRect rect, float red, float green,
                             float blue, float alpha) {
    const CGLContextObj context = drawableRenderContext(drawable);
    if (context == nullptr) return;
    const OpenGL::CGLContextState scope(context);
    glColor4f(red, green, blue, alpha);
    glEnable(GL_TEXTURE_RECTANGLE_EXT);
    glBindTexture(GL_TEXTURE_RECTANGLE_EXT, 0);
    Quad(rect);
    DiscardGLErrors();
}

void drawableDrawQuadColor(const protocol_NSOGLDrawable *drawable, NSOGLDrawableRect rect, const QColor *color) {
    if (color == nullptr || !color->isValid()) {
        drawableDrawQuadColor_R(drawable, rect, 0, 0, 0, 0.5f);
        return;
    }
    float red = 0, green = 0, blue = 0, alpha = 0;
    color->toRgb().getRgbF(&red, &green, &blue, &alpha);
    drawableDrawQuadColor_R(drawable, rect, red, green, blue, alpha);
}

bool drawableTextureIsDrawable(const NSOGLTextureBase *texture) {
    if (texture == nullptr || texture->textureName() == NSOGLTextureBase::kNoTextureName) return false;
    const GLenum target = texture->textureTarget();
    return target == GL_TEXTURE_2D || target == GL_TEXTURE_RECTANGLE_EXT;
}

void drawableDrawQuadTextureQuadMatrix(const protocol_NSOGLDrawable *drawable, NSOGLDrawableRect rect,
                                       const NSOGLTextureBase *texture, NSOGLQuadMatrixProtocol *quadMatrix) {
    const CGLContextObj context = drawableRenderContext(drawable);
    if (context == nullptr) return;
    const OpenGL::CGLContextState scope(context);
    if (!drawableTextureIsDrawable(texture)) {
        FlatQuad(drawable, rect, 255, 0, 0);
        return;
    }
    const ModelViewScope modelView(drawable, quadMatrix);
    glActiveTexture(GL_TEXTURE0);
    const TextureMatrixScope textureMatrix;
    texture->textureWithMatrix(quadMatrix);
    const UnitScope unit(*texture);
    NSOGLTextureBase::textureClampToTransparentBorder(texture, context);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    const Corners corners(*texture);
    glBegin(GL_QUADS);
    for (int corner = 0; corner < 4; ++corner) {
        glTexCoord2f(corners.s[corner], corners.t[corner]);
        Vertex(rect, corner);
    }
    glEnd();
    DiscardGLErrors();
}

void drawableDrawQuadTextureTextureMatrix(const protocol_NSOGLDrawable *drawable, NSOGLDrawableRect rect,
                                          const NSOGLTextureBase *texture, NSOGLQuadMatrixProtocol *textureMatrix) {
    drawableDrawQuadTextureQuadMatrix(drawable, rect, texture, textureMatrix);
}

void drawableDrawQuadTexture(const protocol_NSOGLDrawable *drawable, NSOGLDrawableRect rect,
                             const NSOGLTextureBase *texture) {
    drawableDrawQuadTextureTextureMatrix(drawable, rect, texture, nullptr);
}

void drawableDrawQuadTextureQuadMatrixMaskTextureMaskMatrix(const protocol_NSOGLDrawable *drawable,
                                                            NSOGLDrawableRect rect, const NSOGLTextureBase *texture,
                                                            NSOGLQuadMatrixProtocol *quadMatrix,
                                                            const NSOGLTextureBase *maskTexture,
                                                            const NSOGLNormalMatrix *maskMatrix) {
    const CGLContextObj context = drawableRenderContext(drawable);
    if (context == nullptr) return;
    const OpenGL::CGLContextState scope(context);
    if (!drawableTextureIsDrawable(texture) || !drawableTextureIsDrawable(maskTexture)) {
        FlatQuad(drawable, rect, 0, 0, 255);
        return;
    }
    drawableEnableMaskFragmentShader(drawable);
    {
        const ModelViewScope modelView(drawable, quadMatrix);
        glActiveTexture(GL_TEXTURE0);
        const TextureMatrixScope textureMatrix;
        texture->textureWithMatrix(quadMatrix);
        const UnitScope unit0(*texture);
        NSOGLTextureBase::textureClampToTransparentBorder(texture, context);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);

        glActiveTexture(GL_TEXTURE1);
        {
            const UnitScope unit1(*maskTexture);
            glMatrixMode(GL_TEXTURE);
            if (maskMatrix != nullptr)
                NSOGLNormalQuadMatrix::applyNormalMatrix(maskTexture, maskMatrix);
            else
                glLoadIdentity();
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
            DiscardGLErrors();

            const Corners image(*texture);
            const Corners mask(*maskTexture);
            glBegin(GL_QUADS);
            for (int corner = 0; corner < 4; ++corner) {
                glMultiTexCoord2f(GL_TEXTURE0, image.s[corner], image.t[corner]);
                glMultiTexCoord2f(GL_TEXTURE1, mask.s[corner], mask.t[corner]);
                glNormal3f(0, 0, 1);
                Vertex(rect, corner);
            }
            glEnd();
            DiscardGLErrors();
        }  // unit 1's target disabled while unit 1 is active
        glActiveTexture(GL_TEXTURE0);
    }
    glDisable(GL_FRAGMENT_PROGRAM_ARB);
    DiscardGLErrors();
}

void drawableDrawQuadTextureTextureMatrixMaskTextureMaskMatrix(const protocol_NSOGLDrawable *drawable,
                                                               NSOGLDrawableRect rect, const NSOGLTextureBase *texture,
                                                               NSOGLQuadMatrixProtocol *textureMatrix,
                                                               const NSOGLTextureBase *maskTexture,
                                                               const NSOGLNormalMatrix *maskMatrix) {
    drawableDrawQuadTextureQuadMatrixMaskTextureMaskMatrix(drawable, rect, texture, textureMatrix, maskTexture,
                                                           maskMatrix);
}

void drawableDrawQuadTextureMaskTextureMaskMatrix(const protocol_NSOGLDrawable *drawable, NSOGLDrawableRect rect,
                                                  const NSOGLTextureBase *texture, const NSOGLTextureBase *maskTexture,
                                                  const NSOGLNormalMatrix *maskMatrix) {
    drawableDrawQuadTextureTextureMatrixMaskTextureMaskMatrix(drawable, rect, texture, nullptr, maskTexture,
                                                              maskMatrix);
}

void drawableDrawQuadTextureMaskTexture(const protocol_NSOGLDrawable *drawable, NSOGLDrawableRect rect,
                                        const NSOGLTextureBase *texture, const NSOGLTextureBase *maskTexture) {
    drawableDrawQuadTextureTextureMatrixMaskTextureMaskMatrix(drawable, rect, texture, nullptr, maskTexture, nullptr);
}

void drawableDrawProgramQuad(CGLContextObj context, NSOGLDrawableRect rect, const NSOGLTextureBase *texture,
                             NSOGLQuadMatrixProtocol *quadMatrix) {
    if (context == nullptr || !drawableTextureIsDrawable(texture)) return;
    const OpenGL::CGLContextState scope(context);
    const ModelViewScope modelView(nullptr, quadMatrix);
    glActiveTexture(GL_TEXTURE0);
    const UnitScope unit(*texture);
    NSOGLTextureBase::textureClampToTransparentBorder(texture, context);
    const TextureMatrixScope textureMatrix;
    glLoadIdentity();
    texture->textureWithMatrix(quadMatrix);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    const Corners corners(*texture);
    glBegin(GL_QUADS);
    for (int corner = 0; corner < 4; ++corner) {
        glMultiTexCoord2f(GL_TEXTURE0, corners.s[corner], corners.t[corner]);
        glNormal3f(0, 0, 1);
        Vertex(rect, corner);
    }
    glEnd();
    DiscardGLErrors();
}

// ---- The mask program -----------------------------------------------------------------------------

GLuint drawableCreateMaskFragmentShader(const protocol_NSOGLDrawable *drawable, const char *shaderProgramText) {
    if (!VERIFY(shaderProgramText)) return kNoMaskFragmentProgram;
    const CGLContextObj context = drawableRenderContext(drawable);
    if (context == nullptr) return kNoMaskFragmentProgram;
    const OpenGL::CGLContextState scope(context);
    DiscardGLErrors();
    GLuint program = 0;
    glGenProgramsARB(1, &program);
    glBindProgramARB(GL_FRAGMENT_PROGRAM_ARB, program);
    LogGLErrors(__func__, __LINE__);
    glProgramStringARB(GL_FRAGMENT_PROGRAM_ARB, GL_PROGRAM_FORMAT_ASCII_ARB, GLsizei(std::strlen(shaderProgramText)),
                       shaderProgramText);
    const bool refused = LogGLErrors(__func__, __LINE__);
    GLint errorPosition = -1;
    glGetIntegerv(GL_PROGRAM_ERROR_POSITION_ARB, &errorPosition);
    DiscardGLErrors();
    if (refused || errorPosition != -1 || program == 0) {
        // A program without a valid text would make every quad drawn through it fail.
        glBindProgramARB(GL_FRAGMENT_PROGRAM_ARB, 0);
        if (program != 0) glDeleteProgramsARB(1, &program);
        DiscardGLErrors();
        return kNoMaskFragmentProgram;
    }
    return program;
}

void drawableEnableMaskFragmentShader(const protocol_NSOGLDrawable *drawable) {
    const CGLContextObj context = drawableRenderContext(drawable);
    if (context == nullptr) return;
    const OpenGL::CGLContextState scope(context);
    const std::lock_guard<std::mutex> lock(gMaskProgramLock);
    // A share group that has not seen the program (or lost it with its last context) makes
    // its own: binding an unknown name would make an empty program.
    if (gMaskProgram == kNoMaskFragmentProgram || !glIsProgramARB(gMaskProgram)) {
        DiscardGLErrors();
        gMaskProgram = drawableCreateMaskFragmentShader(drawable, kNSOGLDrawableMaskFragmentProgramText);
        if (gMaskProgram == kNoMaskFragmentProgram) return;
    }
    glBindProgramARB(GL_FRAGMENT_PROGRAM_ARB, gMaskProgram);
    LogGLErrors(__func__, __LINE__);
    glEnable(GL_FRAGMENT_PROGRAM_ARB);
    DiscardGLErrors();
}

}  // namespace category_protocol_NSOGLDrawable

// ---- Reading back ------------------------------------------------------------------------------

namespace category_protocol_NSOGLDrawable_NSOGLReadPixels {

namespace {

// The pixel-pack state set for a read into client memory (no pack buffer, alignment 4, no row
// length, no skips) and put back at the end of the scope.
class PackScope {
public:
    PackScope() {
        glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &mBuffer);
        glGetIntegerv(GL_PACK_ALIGNMENT, &mAlignment);
        glGetIntegerv(GL_PACK_ROW_LENGTH, &mRowLength);
        glGetIntegerv(GL_PACK_SKIP_ROWS, &mSkipRows);
        glGetIntegerv(GL_PACK_SKIP_PIXELS, &mSkipPixels);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        glPixelStorei(GL_PACK_SKIP_ROWS, 0);
        glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
        DiscardGLErrors();
    }
    ~PackScope() {
        glPixelStorei(GL_PACK_ALIGNMENT, mAlignment);
        glPixelStorei(GL_PACK_ROW_LENGTH, mRowLength);
        glPixelStorei(GL_PACK_SKIP_ROWS, mSkipRows);
        glPixelStorei(GL_PACK_SKIP_PIXELS, mSkipPixels);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, GLuint(mBuffer));
        DiscardGLErrors();
    }
    PackScope(const PackScope &) = delete;
    PackScope &operator=(const PackScope &) = delete;

private:
    GLint mBuffer = 0, mAlignment = 4, mRowLength = 0, mSkipRows = 0, mSkipPixels = 0;
};

}  // namespace

bool drawableGrabOpenGLViewportContentsTo_ARGB_BufferSize(const protocol_NSOGLDrawable *drawable, NSSize size,
                                                          void *bufferData, std::size_t bufferRowBytes,
                                                          bool flipHorizontal) {
    const CGLContextObj context = category_protocol_NSOGLDrawable::drawableRenderContext(drawable);
    if (context == nullptr) return false;
    const OpenGL::CGLContextState scope(context);
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    DiscardGLErrors();
    if (double(viewport[2]) != size.width || double(viewport[3]) != size.height) return false;
    if (bufferData == nullptr || bufferRowBytes == 0 || viewport[2] <= 0 || viewport[3] <= 0) return false;
    const std::size_t width = std::size_t(viewport[2]);
    const int height = viewport[3];
    const std::size_t packedRowBytes = width * 4;
    // Rows shorter than the viewport's would be written past.
    if (!VERIFY(bufferRowBytes >= packedRowBytes)) return false;

    glFinish();
    const PackScope pack;
    auto *buffer = static_cast<unsigned char *>(bufferData);
    if (bufferRowBytes == packedRowBytes) {
        glReadPixels(viewport[0], viewport[1], viewport[2], height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, buffer);
        DiscardGLErrors();
        OpenGL::SwizzleFramebufferToARGB(buffer, height, unsigned(bufferRowBytes), true, flipHorizontal);
        return true;
    }
    // Padded rows: read packed, convert, then place each row (the padding is left alone).
    auto *packed = static_cast<unsigned char *>(std::malloc(packedRowBytes * std::size_t(height)));
    if (!VERIFY(packed != nullptr)) return false;
    glReadPixels(viewport[0], viewport[1], viewport[2], height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, packed);
    DiscardGLErrors();
    OpenGL::SwizzleFramebufferToARGB(packed, height, unsigned(packedRowBytes), true, flipHorizontal);
    for (int y = 0; y < height; ++y)
        std::memcpy(buffer + std::size_t(y) * bufferRowBytes, packed + std::size_t(y) * packedRowBytes, packedRowBytes);
    std::free(packed);
    return true;
}

}  // namespace category_protocol_NSOGLDrawable_NSOGLReadPixels

bool import_protocol_NSOGLDrawable() {
    return import_NSOGLTextureBase() && import_NSOGLNormalMatrix() && import_namespace_OpenGL_ReadPixels() &&
           import_CoreMachDebugLog();
}
