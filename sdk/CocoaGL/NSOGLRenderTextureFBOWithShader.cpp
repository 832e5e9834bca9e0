#include <CocoaGL/NSOGLRenderTextureFBOWithShader.h>

#include <CocoaGL/NSOGLCoreVideoTexture.h>
#include <CocoaGL/NSOGLCurrentContextScope.h>
#include <CocoaGL/NSOGLNormalMatrix.h>
#include <CocoaGL/NSOGLSharingContext.h>

#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>
#include <Foundation/NSException.h>
#include <OpenGL/glext.h>

#include <QString>

namespace {

// The quad through a program, on the current context (the drawable categories draw kit
// textures only; a source here may be any dynamic texture).

// The target of a texture of the kit; textures of other kinds (renderers) are rectangles.
GLenum TargetOf(const protocol_NSOGLDynamicTexture *texture) {
    if (const auto *base = dynamic_cast<const NSOGLTextureBase *>(texture)) return base->textureTarget();
    if (const auto *video = dynamic_cast<const NSOGLCoreVideoTexture *>(texture)) return video->textureTarget();
    return GL_TEXTURE_RECTANGLE_EXT;
}

GLenum BindingQueryOf(GLenum target) {
    return target == GL_TEXTURE_RECTANGLE_EXT ? GL_TEXTURE_BINDING_RECTANGLE_EXT : GL_TEXTURE_BINDING_2D;
}

void Quad(const CGRect &rect, const protocol_NSOGLDynamicTexture *texture) {
    const float x = float(rect.origin.x), y = float(rect.origin.y);
    const float w = float(rect.size.width), h = float(rect.size.height);
    const float sMin = texture != nullptr ? texture->textureCoordSMin() : 0;
    const float sMax = texture != nullptr ? texture->textureCoordSMax() : 0;
    const float tMin = texture != nullptr ? texture->textureCoordTMin() : 0;
    const float tMax = texture != nullptr ? texture->textureCoordTMax() : 0;
    glBegin(GL_QUADS);
    glNormal3f(0, 0, 1);
    glTexCoord2f(sMin, tMin);
    glVertex3f(x, y, 0);
    glTexCoord2f(sMax, tMin);
    glVertex3f(x + w, y, 0);
    glTexCoord2f(sMax, tMax);
    glVertex3f(x + w, y + h, 0);
    glTexCoord2f(sMin, tMax);
    glVertex3f(x, y + h, 0);
    glEnd();
}

// A quad in one colour (what stands for a texture that cannot be drawn).
void DrawColorQuad(const CGRect &rect, float r, float g, float b, float a) {
    glColor4f(r, g, b, a);
    glEnable(GL_TEXTURE_RECTANGLE_EXT);
    glBindTexture(GL_TEXTURE_RECTANGLE_EXT, 0);
    Quad(rect, nullptr);
    OpenGL::DiscardGLErrors();
}

// The texture on unit 0 drawn as the rectangle through the program, under the quad matrix's
// model-view and texture matrices; a blue quad without texture or a program that can be
// enabled.
void DrawQuadThroughProgram(const CGRect &rect, const protocol_NSOGLDynamicTexture *texture,
                            NSOGLQuadMatrixProtocol *matrix, NSOGLSLShaderProgram &program) {
    if (texture == nullptr || !program.shaderCanBeEnabled()) {
        DrawColorQuad(rect, 0, 0, 1, 1);
        return;
    }
    const GLenum target = TargetOf(texture);
    program.enable();
    // disable gives the program's lock back, also when a quad matrix raises.
    struct Enabled {
        NSOGLSLShaderProgram &program;
        ~Enabled() { program.disable(); }
    } enabled{program};
    GLint matrixMode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    if (matrix != nullptr) {
        matrix->applyModelViewMatrix();
    } else {
        glLoadIdentity();
    }
    glActiveTexture(GL_TEXTURE0);
    glEnable(target);
    GLint savedBinding = 0;
    glGetIntegerv(BindingQueryOf(target), &savedBinding);
    glBindTexture(target, texture->textureName());
    // Outside the texture is transparent.
    const GLfloat border[4] = {0, 0, 0, 0};
    glTexParameterfv(target, GL_TEXTURE_BORDER_COLOR, border);
    glTexParameteri(target, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_BORDER);
    glTexParameteri(target, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_BORDER);
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glLoadIdentity();
    if (matrix != nullptr) matrix->applyTextureMatrix(texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    OpenGL::DiscardGLErrors();

    Quad(rect, texture);

    glBindTexture(target, GLuint(savedBinding));
    glDisable(target);
    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GLenum(matrixMode));
    OpenGL::DiscardGLErrors();
}

void LogException(const QString &text) { NSLog(text); }

// The CGL lock of the render context, then the texture's lock; given back in the reverse order
// on every path.
class RenderLocks {
public:
    RenderLocks(CGLContextObj context, NSOGLRenderTextureFBOWithShader &texture) : mContext(context), mTexture(texture) {
        CGLLockContext(mContext);
        mTexture.lock();
        mTexture.setCurrentRenderContextObj(mContext);
    }
    ~RenderLocks() {
        mTexture.setCurrentRenderContextObj(nullptr);
        mTexture.unlock();
        CGLUnlockContext(mContext);
    }
    RenderLocks(const RenderLocks &) = delete;
    RenderLocks &operator=(const RenderLocks &) = delete;

private:
    CGLContextObj mContext;
    NSOGLRenderTextureFBOWithShader &mTexture;
};


// The framebuffer binding and viewport of the render context, put back at the end of the scope.
class FramebufferViewportScope {
public:
    FramebufferViewportScope() { mState.Save(); }
    ~FramebufferViewportScope() {
        mState.Restore();
        OpenGL::DiscardGLErrors();
    }
    FramebufferViewportScope(const FramebufferViewportScope &) = delete;
    FramebufferViewportScope &operator=(const FramebufferViewportScope &) = delete;

private:
    tagOpenGL_FBOState mState;
};

}  // namespace

// ---- delegate -------------------------------------------------------------------------------

bool NSOGLRenderTextureFBOWithShaderDelegate::renderBeginScene(NSOGLRenderTextureFBOWithShader *, CGRect) {
    return false;
}
bool NSOGLRenderTextureFBOWithShaderDelegate::renderScene(NSOGLRenderTextureFBOWithShader *, CGRect) { return false; }
bool NSOGLRenderTextureFBOWithShaderDelegate::renderEndScene(NSOGLRenderTextureFBOWithShader *, CGRect) {
    return false;
}

// ---- making -----------------------------------------------------------------------------------

IOSurfaceRef NSOGLRenderTextureFBOWithShader::surfaceWithWidth(uint32_t width, uint32_t height) {
    return surfaceWithSurfaceWidth(width, height, false);
}

std::shared_ptr<NSOGLRenderTextureFBOWithShader> NSOGLRenderTextureFBOWithShader::textureWithShaderName(
    const std::string &shaderName, uint32_t textureWidth, uint32_t textureHeight) {
    return textureWithShaderSourceClass(nullptr, shaderName, textureWidth, textureHeight);
}

std::shared_ptr<NSOGLRenderTextureFBOWithShader> NSOGLRenderTextureFBOWithShader::textureWithShaderSourceClass(
    NSOGLShaderSourceCodeClassRef sourceClass, const std::string &shaderName, uint32_t textureWidth,
    uint32_t textureHeight) {
    return makeWithShader<NSOGLRenderTextureFBOWithShader>(sourceClass, shaderName, textureWidth, textureHeight);
}

NSOGLRenderTextureFBOWithShader::NSOGLRenderTextureFBOWithShader() = default;

NSOGLRenderTextureFBOWithShader::~NSOGLRenderTextureFBOWithShader() = default;

void NSOGLRenderTextureFBOWithShader::initWithIOSurface(IOSurfaceRef surface, const std::string &shaderName,
                                                        NSOGLShaderSourceCodeClassRef sourceClass) {
    std::shared_ptr<NSOpenGLContext> poolContext = NSOGLSharingContext::offscreenPoolContext();
    {
        // The texture, its framebuffer and a program of its own are made with the current
        // context, or with the pool context when no context is current.
        CGLContextObj current = CGLGetCurrentContext();
        if (current == nullptr && poolContext != nullptr) current = poolContext->CGLContextObj();
        NSOGLCurrentContextScope scope(current, true);
        NSOGLTextureIOSurfaceFBO::initWithIOSurface(surface, false);
        std::lock_guard<std::recursive_mutex> guard(mProperties);
        mDelegate = nullptr;
        mSourceTexture.reset();
        mTextureMatrix = NSOGLNormalQuadMatrixBase::identityMatrix();
        mClearContextBeforeRendering = true;
        mEraseColor.reset();
        mDefaultRenderContext = poolContext;
        mShaderProgram = sourceClass != nullptr
                             ? NSOGLSLShaderProgram::shaderProgramWithResourceName(shaderName, sourceClass)
                             : NSOGLSLShaderProgram::shaderProgramWithResourceName(shaderName);
    }
    if (this->surface() != nullptr) setSurfacePixelsInitialValue(0);
}

// ---- rendering --------------------------------------------------------------------------------

void NSOGLRenderTextureFBOWithShader::renderSceneWithDefaultContextAndFlush(bool flush) {
    renderSceneWithCGLContextObj(defaultRenderContextObj(), flush);
}

void NSOGLRenderTextureFBOWithShader::renderSceneWithContext(const NSOpenGLContext *context, bool renderContextFlush) {
    CGLContextObj cglContext = context != nullptr ? context->CGLContextObj() : CGLGetCurrentContext();
    if (cglContext == nullptr) return;
    renderSceneWithCGLContextObj(cglContext, renderContextFlush);
}

void NSOGLRenderTextureFBOWithShader::renderSceneWithCGLContextObj(CGLContextObj context, bool renderContextFlush) {
    if (context == nullptr) context = CGLGetCurrentContext();
    if (context == nullptr) return;
    RenderLocks locks(context, *this);
    const auto log = [this](const NSException &exception) {
        LogException(QString("%1::renderSceneWithCGLContextObj::exception:%2\n")
                         .arg(QString::fromLatin1(className()), exception.description()));
    };
    try {
        NSOGLCurrentContextScope scope(context, false);
        FramebufferViewportScope framebuffer;
        renderSceneBegin();
        // The scene is ended whatever the drawing raised: the framebuffer is released and the
        // matrices popped, so the next render begins afresh.
        try {
            renderSceneSelf();
        } catch (const NSException &exception) {
            log(exception);
        }
        renderSceneEnd(renderContextFlush);
    } catch (const NSException &exception) {
        log(exception);
    }
}

void NSOGLRenderTextureFBOWithShader::renderSceneBegin() {
    glViewport(0, 0, GLsizei(textureWidth()), GLsizei(textureHeight()));
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    OpenGL::DiscardGLErrors();
    beginRenderToFrameBuffer();
    try {
        const CGRect rect = drawableRectFromRenderBoundsRect(renderBounds());
        if (NSOGLRenderTextureFBOWithShaderDelegate *target = delegate()) target->renderBeginScene(this, rect);
    } catch (const NSException &exception) {
        LogException(QString("%1::%2\n").arg(QString::fromLatin1(className()), exception.description()));
    }
    const bool clear = clearContextBeforeRendering();
    category_protocol_NSOGLDrawable::drawableOrthoCubeViewBegin(this, clear);
    if (!clear) {
        if (const std::optional<QColor> color = eraseColor()) {
            category_protocol_NSOGLDrawable::drawableEraseColor(this, *color);
        } else {
            category_protocol_NSOGLDrawable::drawableErase_R(this, 0, 0, 0, 0);
        }
    }
}

void NSOGLRenderTextureFBOWithShader::renderSceneSelf() {
    if (sourceTexture() == nullptr) return;
    const CGRect rect = drawableRectFromRenderBoundsRect(renderBounds());
    NSOGLRenderTextureFBOWithShaderDelegate *target = delegate();
    if (target == nullptr || !target->renderScene(this, rect)) renderSceneNilDelegate(rect);
}

void NSOGLRenderTextureFBOWithShader::renderSceneNilDelegate(CGRect drawableRect) {
    const std::shared_ptr<protocol_NSOGLDynamicTexture> source = sourceTexture();
    const std::shared_ptr<NSOGLSLShaderProgram> program = shaderProgram();
    if (source == nullptr || program == nullptr) return;
    const std::shared_ptr<NSOGLQuadMatrixProtocol> matrix = textureMatrix();
    glDisable(GL_BLEND);
    DrawQuadThroughProgram(drawableRect, source.get(), matrix.get(), *program);
    glEnable(GL_BLEND);
    OpenGL::DiscardGLErrors();
}

bool NSOGLRenderTextureFBOWithShader::renderSceneEnd(bool flush) {
    try {
        const CGRect rect = drawableRectFromRenderBoundsRect(renderBounds());
        if (NSOGLRenderTextureFBOWithShaderDelegate *target = delegate()) target->renderEndScene(this, rect);
    } catch (const NSException &exception) {
        LogException(QString("%1::%2 exception:%3\n")
                         .arg(QString::fromLatin1(className()),
                              QStringLiteral("-[NSOGLRenderTextureFBOWithShader renderSceneEnd:]"),
                              exception.description()));
    }
    category_protocol_NSOGLDrawable::drawableOrthoCubeViewEnd(this);
    // Without a flush of its own: the texture is marked as drawn, and a flushing render
    // finishes at a sync point of the OpenGL layer, so the surface holds the frame on return.
    const bool ended = endRenderToFrameBuffer(false);
    if (flush) glFinishRenderAPPLE();
    OpenGL::DiscardGLErrors();
    return ended;
}

CGRect NSOGLRenderTextureFBOWithShader::drawableRectFromRenderBoundsRect(CGRect rect) const {
    const CGRect bounds = renderBounds();
    if (bounds.size.width == 0 || bounds.size.height == 0) return rect;
    return CGRectMake((rect.origin.x - (bounds.origin.x + bounds.size.width / 2)) / bounds.size.width,
                      (rect.origin.y - (bounds.origin.y + bounds.size.height / 2)) / bounds.size.height,
                      rect.size.width / bounds.size.width, rect.size.height / bounds.size.height);
}

// ---- contexts -----------------------------------------------------------------------------------

CGLContextObj NSOGLRenderTextureFBOWithShader::defaultRenderContextObj() const {
    const std::shared_ptr<NSOpenGLContext> context = defaultRenderContextNilMeansUseCurrentContext();
    return context != nullptr ? context->CGLContextObj() : CGLGetCurrentContext();
}

CGLContextObj NSOGLRenderTextureFBOWithShader::currentRenderContextObj() const {
    std::lock_guard<std::recursive_mutex> guard(mProperties);
    return mCurrentRenderContextObj;
}

void NSOGLRenderTextureFBOWithShader::setCurrentRenderContextObj(CGLContextObj context) {
    std::lock_guard<std::recursive_mutex> guard(mProperties);
    mCurrentRenderContext.reset();
    mCurrentRenderContextObj = context;
    if (context != nullptr) mCurrentRenderContext = std::make_shared<NSOpenGLContext>(context);
}

std::shared_ptr<NSOpenGLContext> NSOGLRenderTextureFBOWithShader::currentRenderContext() const {
    std::lock_guard<std::recursive_mutex> guard(mProperties);
    return mCurrentRenderContext;
}

void NSOGLRenderTextureFBOWithShader::setCurrentRenderContext(std::shared_ptr<NSOpenGLContext> context) {
    std::lock_guard<std::recursive_mutex> guard(mProperties);
    mCurrentRenderContext = std::move(context);
}

std::shared_ptr<NSOpenGLContext> NSOGLRenderTextureFBOWithShader::glSharingContext() {
    return NSOGLSharingContext::rootSharingContext();
}

CGRect NSOGLRenderTextureFBOWithShader::renderBounds() const {
    return CGRectMake(0, 0, textureWidth(), textureHeight());
}

// ---- properties ---------------------------------------------------------------------------------

NSOGLRenderTextureFBOWithShaderDelegate *NSOGLRenderTextureFBOWithShader::delegate() const {
    std::lock_guard<std::recursive_mutex> guard(mProperties);
    return mDelegate;
}

void NSOGLRenderTextureFBOWithShader::setDelegate(NSOGLRenderTextureFBOWithShaderDelegate *delegate) {
    std::lock_guard<std::recursive_mutex> guard(mProperties);
    mDelegate = delegate;
}

std::shared_ptr<NSOGLSLShaderProgram> NSOGLRenderTextureFBOWithShader::shaderProgram() const {
    std::lock_guard<std::recursive_mutex> guard(mProperties);
    return mShaderProgram;
}

void NSOGLRenderTextureFBOWithShader::setShaderProgram(std::shared_ptr<NSOGLSLShaderProgram> program) {
    std::lock_guard<std::recursive_mutex> guard(mProperties);
    mShaderProgram = std::move(program);
}

std::shared_ptr<protocol_NSOGLDynamicTexture> NSOGLRenderTextureFBOWithShader::sourceTexture() const {
    std::lock_guard<std::recursive_mutex> guard(mProperties);
    return mSourceTexture;
}

void NSOGLRenderTextureFBOWithShader::setSourceTexture(std::shared_ptr<protocol_NSOGLDynamicTexture> texture) {
    std::lock_guard<std::recursive_mutex> guard(mProperties);
    mSourceTexture = std::move(texture);
}

std::optional<QColor> NSOGLRenderTextureFBOWithShader::eraseColor() const {
    std::lock_guard<std::recursive_mutex> guard(mProperties);
    return mEraseColor;
}

void NSOGLRenderTextureFBOWithShader::setEraseColor(std::optional<QColor> color) {
    std::lock_guard<std::recursive_mutex> guard(mProperties);
    mEraseColor = std::move(color);
}

std::shared_ptr<NSOGLQuadMatrixProtocol> NSOGLRenderTextureFBOWithShader::textureMatrix() const {
    std::lock_guard<std::recursive_mutex> guard(mProperties);
    return mTextureMatrix;
}

void NSOGLRenderTextureFBOWithShader::setTextureMatrix(std::shared_ptr<NSOGLQuadMatrixProtocol> matrix) {
    std::lock_guard<std::recursive_mutex> guard(mProperties);
    mTextureMatrix = std::move(matrix);
}

bool NSOGLRenderTextureFBOWithShader::clearContextBeforeRendering() const {
    std::lock_guard<std::recursive_mutex> guard(mProperties);
    return mClearContextBeforeRendering;
}

void NSOGLRenderTextureFBOWithShader::setClearContextBeforeRendering(bool clear) {
    std::lock_guard<std::recursive_mutex> guard(mProperties);
    mClearContextBeforeRendering = clear;
}

std::shared_ptr<NSOpenGLContext> NSOGLRenderTextureFBOWithShader::defaultRenderContextNilMeansUseCurrentContext() const {
    std::lock_guard<std::recursive_mutex> guard(mProperties);
    return mDefaultRenderContext;
}

void NSOGLRenderTextureFBOWithShader::setDefaultRenderContextNilMeansUseCurrentContext(
    std::shared_ptr<NSOpenGLContext> context) {
    std::lock_guard<std::recursive_mutex> guard(mProperties);
    mDefaultRenderContext = std::move(context);
}

bool import_NSOGLRenderTextureFBOWithShader() {
    return import_NSOGLTextureIOSurfaceFBO() && import_NSOGLSLShaderProgram() && import_NSOGLSharingContext() &&
           import_NSOGLNormalMatrix() && import_NSOGLCoreVideoTexture();
}
