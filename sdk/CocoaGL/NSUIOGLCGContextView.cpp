#include <CocoaGL/NSUIOGLCGContextView.h>

#include <CocoaGL/NSOGLSharingContext.h>
#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>

#include <Foundation/NSObjCRuntime.h>
#include <OpenGL/gl.h>

#include <QEvent>
#include <QResizeEvent>

#include <cmath>

NS_REGISTER_CLASS(NSUIOGLCGContextView);

NSUIOGLCGContextView::NSUIOGLCGContextView(QWidget *parent) : QWidget(parent) {
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_PaintOnScreen);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
    mBounds = CGRectMake(0, 0, width(), height());
    // initInstance
    mFlushFunction.mFlushFn = OpenGL_Flush_None;
    createGLContext();
    // The hooks of a subclass are not reached from here; the first paint renders the scene.
    renderSceneInit();
}

NSUIOGLCGContextView::~NSUIOGLCGContextView() {
    detachWindow();
    // A render leaves the context current on a thread that had none; not past the view.
    const CGLContextObj context = renderContext();
    if (context != nullptr && CGLGetCurrentContext() == context) CGLSetCurrentContext(nullptr);
}

CGLContextObj NSUIOGLCGContextView::renderContext() const {
    std::lock_guard lock(mLock);
    return mGLContext ? mGLContext->CGLContextObj() : nullptr;
}

CGRect NSUIOGLCGContextView::renderBounds() const {
    std::lock_guard lock(mLock);
    return mBounds;
}

std::shared_ptr<NSOpenGLContext> NSUIOGLCGContextView::glContext() const {
    std::lock_guard lock(mLock);
    return mGLContext;
}

std::shared_ptr<NSOpenGLContext> NSUIOGLCGContextView::glSharingContext() const {
    return NSOGLSharingContext::rootSharingContext();
}

std::shared_ptr<NSOpenGLPixelFormat> NSUIOGLCGContextView::pixelFormat() const {
    std::lock_guard lock(mLock);
    return mPixelFormat;
}

void NSUIOGLCGContextView::createGLContext() {
    auto format = NSOGLSharingContext::defaultSharedPixelFormat();
    std::shared_ptr<NSOpenGLContext> context;
    if (format && format->CGLPixelFormatObj() != nullptr) {
        const auto sharing = glSharingContext();
        CGLContextObj made = nullptr;
        if (CGLCreateContext(format->CGLPixelFormatObj(), sharing ? sharing->CGLContextObj() : nullptr, &made) ==
                kCGLNoError &&
            made != nullptr) {
            context = std::make_shared<NSOpenGLContext>(made);
            CGLReleaseContext(made);  // the holder keeps its reference
        }
    }
    {
        std::lock_guard lock(mLock);
        mPixelFormat = format;
        mGLContext = context;
    }
    if (context) initializeGLContext();
}

QStringList NSUIOGLCGContextView::rendererNames() const {
    QStringList names;
    const CGLContextObj context = renderContext();
    if (context == nullptr || !pixelFormat()) return names;
    OpenGL::CGLContextStateLock current(context);
    const GLubyte *renderer = glGetString(GL_RENDERER);
    names.append(renderer ? QString::fromLatin1(reinterpret_cast<const char *>(renderer)) : QString());
    OpenGL::DiscardGLErrors();
    return names;
}

int32_t NSUIOGLCGContextView::flushFunction() const {
    std::lock_guard lock(mLock);
    return mFlushFunction.mFlushFn;
}

void NSUIOGLCGContextView::setFlushFunction(int32_t mode) {
    std::lock_guard lock(mLock);
    mFlushFunction.mFlushFn = mode;
}

std::function<void(bool)> NSUIOGLCGContextView::flushBlock() const {
    std::lock_guard lock(mLock);
    return mFlushFunction.mFlushBlock;
}

void NSUIOGLCGContextView::setFlushBlock(std::function<void(bool)> block) {
    std::lock_guard lock(mLock);
    mFlushFunction.mFlushBlock = std::move(block);
}

void NSUIOGLCGContextView::renderSceneInit() {
    renderSceneReshape();
    renderScene();
}

void NSUIOGLCGContextView::renderScene() {
    if (renderContext() != nullptr) renderScene(true);
}

void NSUIOGLCGContextView::renderScene(bool flush) {
    const CGLContextObj context = renderContext();
    if (context == nullptr || !mWindowAttached.load()) return;
    const CGRect bounds = renderBounds();
    if (!(bounds.size.width >= 1 && bounds.size.height >= 1)) return;  // no pixel to draw
    // The lock first, then the context current, for the whole render. A thread that had no
    // context has none after: the context's primary (the one EGL context that draws into the
    // window) is free for the next thread that renders.
    // An exception from a hook passes on with the caller's context (or none) current again and
    // the lock given back.
    const bool hadNone = CGLGetCurrentContext() == nullptr;
    CGLLockContext(context);
    struct Release {
        CGLContextObj context;
        bool hadNone;
        ~Release() {
            if (hadNone) CGLSetCurrentContext(nullptr);
            CGLUnlockContext(context);
        }
    } release{context, hadNone};
    OpenGL::CGLContextState current(context);
    renderSceneBegin();
    OpenGL::DiscardGLErrors();
    renderSceneSelf();
    OpenGL::DiscardGLErrors();
    renderSceneEnd(flush);
}

void NSUIOGLCGContextView::renderSceneBegin() {
    const CGLContextObj context = renderContext();
    if (context == nullptr) return;
    CGLSetCurrentContext(context);
    OpenGL::DiscardGLErrors();
}

bool NSUIOGLCGContextView::renderSceneEnd(bool flush) {
    const CGLContextObj context = renderContext();
    if (context == nullptr) return flush;
    CGLSetCurrentContext(context);
    FlushDescriptor descriptor;
    {
        std::lock_guard lock(mLock);
        descriptor = mFlushFunction;
    }
    OpenGL::FlushFn(&descriptor, flush);
    if (flush && renderSceneEndFlushOpenGLContext() && mWindowAttached.load()) {
        renderSceneSwapBuffers();
        CGLFlushDrawable(context);  // flushBuffer
        OpenGL::DiscardGLErrors();
    }
    return flush;
}

void NSUIOGLCGContextView::handleReshapeViewport() { renderSceneReshape(); }

void NSUIOGLCGContextView::paintEvent(QPaintEvent *) {
    attachWindow();
    drawRect();
}

void NSUIOGLCGContextView::drawRect() { renderScene(); }

void NSUIOGLCGContextView::resizeEvent(QResizeEvent *event) {
    {
        std::lock_guard lock(mLock);
        mBounds = CGRectMake(0, 0, event->size().width(), event->size().height());
    }
    handleReshapeViewport();
}

bool NSUIOGLCGContextView::event(QEvent *event) {
    // A new native window (or none): the old one's surface goes; the new one gets its own at
    // its first paint.
    if (event->type() == QEvent::WinIdChange && mAttachedWindow != internalWinId()) detachWindow();
    return QWidget::event(event);
}

void NSUIOGLCGContextView::attachWindow() {
    const CGLContextObj context = renderContext();
    const unsigned long window = internalWinId();
    if (context == nullptr || window == 0 || !testAttribute(Qt::WA_Mapped)) return;
    if (mWindowAttached.load() && mAttachedWindow == window) return;
    CGLLockContext(context);
    if (CGLSetNativeWindow(context, window) == kCGLNoError) {
        mAttachedWindow = window;
        mWindowAttached = true;
    }
    CGLUnlockContext(context);
}

void NSUIOGLCGContextView::detachWindow() {
    const CGLContextObj context = renderContext();
    if (context == nullptr || !mWindowAttached.load()) return;
    CGLLockContext(context);
    mWindowAttached = false;
    CGLSetNativeWindow(context, 0);
    mAttachedWindow = 0;
    CGLUnlockContext(context);
}

bool import_NSUIOGLCGContextView() { return import_NSOGLSharingContext() && import_protocol_NSOGLDrawable(); }
