#include <LumoraApp/LumoraIOSurfaceFBO.h>

#include <LumoraApp/LumoraRenderBuffer.h>
#include <LumoraApp/NSOGLTextureLayerPBuffer.h>
#include <LumoraApp/NSUILumoraView.h>

#include <CocoaGL/NSOGLSharingContext.h>
#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>
#include <Foundation/NSException.h>
#include <Foundation/NSObjCRuntime.h>
#include <OpenGL/gl.h>

namespace drawable = category_protocol_NSOGLDrawable;

namespace {

// The CGL lock of a context for a scope, given back on every path.
class ContextLock {
public:
    explicit ContextLock(CGLContextObj context) : mContext(context) { CGLLockContext(mContext); }
    ~ContextLock() { CGLUnlockContext(mContext); }
    ContextLock(const ContextLock &) = delete;
    ContextLock &operator=(const ContextLock &) = delete;

private:
    CGLContextObj mContext;
};

}  // namespace

std::shared_ptr<LumoraIOSurfaceFBO> LumoraIOSurfaceFBO::textureWithIOSurface(IOSurfaceRef surface) {
    if (surface == nullptr) return nullptr;
    auto texture = std::make_shared<LumoraIOSurfaceFBO>();
    texture->initWithIOSurface(surface);
    if (texture->surface() == nullptr || texture->textureName() == 0) return nullptr;
    return texture;
}

void LumoraIOSurfaceFBO::registerTextureClass() {
    IOSurfaceServerTextureQueue::registerTextureClass(
        QString::fromLatin1(kTextureClassName),
        [](IOSurfaceRef surface) -> IOSurfaceSharingTextureRef { return textureWithIOSurface(surface); });
}

LumoraIOSurfaceFBO::LumoraIOSurfaceFBO() = default;
LumoraIOSurfaceFBO::~LumoraIOSurfaceFBO() = default;

void LumoraIOSurfaceFBO::initWithIOSurface(IOSurfaceRef surface) {
    NSOGLTextureIOSurfaceFBO::initWithIOSurface(surface, false);
    mShaderProgram.reset();
    setGlContext(glSharingContext());
    if (this->surface() != nullptr) setSurfacePixelsInitialValue(0);
}

std::shared_ptr<NSOpenGLContext> LumoraIOSurfaceFBO::glContext() const {
    std::lock_guard<std::mutex> lock(mContextLock);
    return mGlContext;
}

void LumoraIOSurfaceFBO::setGlContext(std::shared_ptr<NSOpenGLContext> context) {
    std::lock_guard<std::mutex> lock(mContextLock);
    mGlContext = std::move(context);
}

std::shared_ptr<NSOpenGLContext> LumoraIOSurfaceFBO::glSharingContext() { return NSOGLSharingContext::rootSharingContext(); }

CGLContextObj LumoraIOSurfaceFBO::renderContext() const {
    const std::shared_ptr<NSOpenGLContext> context = glContext();
    return context ? context->CGLContextObj() : nullptr;
}

CGRect LumoraIOSurfaceFBO::renderBounds() const { return CGRectMake(0, 0, textureWidth(), textureHeight()); }

void LumoraIOSurfaceFBO::renderScene(bool flush) {
    // The context is held for the whole render, so it outlives a change of glContext meanwhile.
    const std::shared_ptr<NSOpenGLContext> context = glContext();
    CGLContextObj cgl = context ? context->CGLContextObj() : nullptr;
    if (cgl == nullptr) return;
    ContextLock locked(cgl);
    const bool hadNone = CGLGetCurrentContext() == nullptr;
    {
        OpenGL::CGLContextState current(cgl);
        try {
            renderSceneBegin();
            try {
                renderSceneSelf();
            } catch (const NSException &exception) {
                NSLog(QStringLiteral("LumoraIOSurfaceFBO::renderSceneSelf exception:%1").arg(exception.description()));
            }
            renderSceneEnd(flush);
        } catch (const NSException &exception) {
            NSLog(QStringLiteral("LumoraIOSurfaceFBO::renderScene exception:%1").arg(exception.description()));
        }
    }
    if (hadNone) CGLSetCurrentContext(nullptr);
}

void LumoraIOSurfaceFBO::renderSceneBegin() {
    beginRenderToFrameBuffer();
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glViewport(0, 0, GLsizei(textureWidth()), GLsizei(textureHeight()));
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    OpenGL::DiscardGLErrors();
    drawable::drawableOrthoCubeViewBegin(this, false);
}

void LumoraIOSurfaceFBO::renderSceneSelf() {
    NSUILumoraView *view = NSUILumoraView::sharedSingleton();
    LumoraRenderBuffer *buffer = view != nullptr ? view->lumoraBuffer() : nullptr;
    if (buffer == nullptr) return;
    buffer->lock();
    struct Unlock {
        LumoraRenderBuffer *buffer;
        ~Unlock() { buffer->unlock(); }
    } unlock{buffer};
    const NSOGLDrawableRect rect = drawable::drawableRectFromRenderBoundsRect(this, renderBounds());
    const NSOGLBorrowedRendererTexture texture(*buffer);
    drawable::drawableDrawQuadTexture(this, rect, &texture);
}

bool LumoraIOSurfaceFBO::renderSceneEnd(bool flush) {
    drawable::drawableOrthoCubeViewEnd(this);
    const bool ended = endRenderToFrameBuffer(flush);
    if (flush) glFlush();
    OpenGL::DiscardGLErrors();
    return ended;
}

bool import_LumoraIOSurfaceFBO() {
    LumoraIOSurfaceFBO::registerTextureClass();
    return import_NSOGLTextureIOSurfaceFBO();
}
