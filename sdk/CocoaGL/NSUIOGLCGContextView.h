// NSUIOGLCGContextView: a view with an OpenGL context of its own, made with the shared pixel
// format and sharing the root sharing context, that renders through fixed hooks: begin, self,
// end (with an optional flush).
//
// The view is a QWidget with a native X11 window that Qt never paints: its context draws into
// the window through an EGL window surface (CGLSetNativeWindow), made on the main thread when
// the window is first painted, that is once the X server has mapped it. Until then the view
// has no surface and every render does nothing, so a view that is made, resized or asked to
// render before it is shown never draws into a context without a drawable. The surface is
// taken off the window before the widget lets its window go (a new native window gets a new
// surface at its first paint).
//
// Rendering (renderScene with the flush flag) may be called from any thread: it holds the CGL
// lock of the view's context for the whole render and makes the context current for its
// length (the caller's context is current again afterwards; a thread that had none has none,
// which frees the context's primary for the next thread), so renders from two threads are
// serialised. Only the thread that holds the context's primary draws into the window (see
// OpenGL.h); the bounds are kept under a lock of their own, so reading them off the main thread
// is safe. Resizing the view reshapes and renders once. The X server then asks for the
// window to be painted as well (Qt's own update and the server's expose of the new area), and
// each such paint renders: the reshape's frame may have been drawn before the server resized
// the window (Qt resizes it over a connection of its own), so only a paint is sure to fill the
// new size. A view without area renders nothing.
//
// The swap interval is the window surface's own (one vertical blank); the surface follows the
// window's size by itself, so there is no backing size to set and update does nothing.
#pragma once

#include <CocoaGL/protocol_NSOGLDrawable.h>
#include <CoreG/GL/namespace_OpenGL_FlushFn.h>

#include <CoreGraphics/CGGeometry.h>
#include <OpenGL/NSOpenGL.h>
#include <OpenGL/OpenGL.h>

#include <QStringList>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class NSUIOGLCGContextView : public QWidget, public protocol_NSOGLDrawable {
    Q_OBJECT

public:
    // Also made by name, as a nib makes it (the context is made here either way).
    Q_INVOKABLE explicit NSUIOGLCGContextView(QWidget *parent = nullptr);
    ~NSUIOGLCGContextView() override;

    // ---- The render-scene protocol ----
    // The CGL context of glContext (borrowed); null without context.
    CGLContextObj renderContext() const override;
    // (0, 0, width, height) of the view.
    CGRect renderBounds() const override;
    // renderScene(true) when a render context exists.
    void renderScene();
    // begin, self, end (see the .cpp); nothing without context, without window surface or
    // without area.
    void renderScene(bool flush);
    // renderSceneReshape, then renderScene.
    virtual void renderSceneInit();
    // Makes the render context current and clears pending GL errors.
    virtual void renderSceneBegin();
    virtual void renderSceneSelf() {}
    // Makes the render context current, runs the flush function with the flag and, when
    // flushing and renderSceneEndFlushOpenGLContext, flushes the context's buffer (swaps the
    // window). Answers the flag.
    virtual bool renderSceneEnd(bool flush);
    virtual void renderSceneReshape() {}
    virtual void renderSceneSwapBuffers() {}
    std::shared_ptr<NSOpenGLContext> glContext() const;
    std::shared_ptr<NSOpenGLContext> glSharingContext() const;
    std::shared_ptr<NSOpenGLPixelFormat> pixelFormat() const;

    // ---- The context ----
    // The pixel format is the default shared one; the context shares the root sharing
    // context; initializeGLContext runs when both were made.
    void createGLContext();
    virtual void initializeGLContext() {}
    // One GL_RENDERER string per virtual screen (there is one); empty without context.
    QStringList rendererNames() const;
    // True once the context draws into the view's window.
    bool hasWindowSurface() const { return mWindowAttached.load(); }

    // ---- The end of a render ----
    int32_t flushFunction() const;
    void setFlushFunction(int32_t mode);
    std::function<void(bool)> flushBlock() const;
    // An empty function clears the block.
    void setFlushBlock(std::function<void(bool)> block);
    bool renderSceneEndFlushOpenGLContext() const { return mRenderSceneEndFlushOpenGLContext.load(); }
    void setRenderSceneEndFlushOpenGLContext(bool flush) { mRenderSceneEndFlushOpenGLContext = flush; }

    // Frame changes come here: renderSceneReshape.
    void handleReshapeViewport();

    // Qt paints nothing into the view.
    QPaintEngine *paintEngine() const override { return nullptr; }

protected:
    // Attaches the window surface when there is none yet, then drawRect.
    void paintEvent(QPaintEvent *event) override;
    // The window system's redraw: renderScene.
    virtual void drawRect();
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;

private:
    void attachWindow();
    void detachWindow();

    mutable std::mutex mLock;  // the flush function, the bounds
    FlushDescriptor mFlushFunction;
    CGRect mBounds = CGRectMake(0, 0, 0, 0);
    std::atomic<bool> mRenderSceneEndFlushOpenGLContext{true};
    std::shared_ptr<NSOpenGLContext> mGLContext;
    std::shared_ptr<NSOpenGLPixelFormat> mPixelFormat;
    std::atomic<bool> mWindowAttached{false};
    unsigned long mAttachedWindow = 0;   // main thread only
};

bool import_NSUIOGLCGContextView();
