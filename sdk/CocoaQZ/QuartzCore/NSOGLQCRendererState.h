// NSOGLQCRendererState: the open composition of a renderer that plays it on a context its
// delegate provides: the QCRenderer, the input keys read when the composition opened, and the
// arguments of every render.
//
//     state.openCompositionPath(path)          closes, clears (forced), opens
//     state.setValue(image, "cameraImage")     only for keys the composition publishes
//     state.renderStateForTime(seconds)        with the delegate's context current
//
// The delegate (not owned) gives the OpenGL context and pixel format to render on and is told
// when a composition opened (to clear and render it once) and when its pixels must be
// cleared. An open that fails leaves the state closed: no renderer and no input keys.
//
// The state takes no lock of its own around opening and rendering; the renderer, the input
// keys and the arguments are each read and written atomically. Its owner serialises opens,
// closes and renders.
#pragma once

#include <QuartzComposer/QCComposition.h>
#include <QuartzComposer/QCRenderer.h>
#include <QuartzComposer/QCValue.h>

#include <CoreFoundation/CFData.h>
#include <OpenGL/NSOpenGL.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class NSOGLQCRendererState;

class NSOGLQCRendererStateDelegate {
public:
    virtual ~NSOGLQCRendererStateDelegate() = default;
    // The context to render on and its pixel format (null when there is none).
    virtual std::shared_ptr<NSOpenGLContext> rendererOpenGLContext() = 0;
    virtual std::shared_ptr<NSOpenGLPixelFormat> rendererOpenGLPixelFormat() = 0;
    // A composition opened (`flag` is true): the renderer and its input keys are in place.
    virtual void rendererStateRendererInitialize(NSOGLQCRendererState *state, bool flag) = 0;
    // The drawable's pixels should be cleared (always when `force`).
    virtual void rendererStateClearDrawablePixels(NSOGLQCRendererState *state, bool force) = 0;
};

using NSOGLQCRendererInputKeys = std::shared_ptr<const std::vector<std::string>>;

class NSOGLQCRendererState {
public:
    // initWithDelegate: no composition; the delegate is not owned and may be null.
    explicit NSOGLQCRendererState(NSOGLQCRendererStateDelegate *delegate);
    // Closes the composition.
    ~NSOGLQCRendererState();
    NSOGLQCRendererState(const NSOGLQCRendererState &) = delete;
    NSOGLQCRendererState &operator=(const NSOGLQCRendererState &) = delete;

    NSOGLQCRendererStateDelegate *delegate() const { return mDelegate.load(); }
    // The owner clears it when it goes before the state.
    void setDelegate(NSOGLQCRendererStateDelegate *delegate) { mDelegate = delegate; }

    // Makes the renderer for `composition` on the delegate's context and lets the delegate
    // render it once (rendererInitialize). Replaces the open composition without clearing
    // first. False, leaving the state closed, without a composition, a delegate context or a
    // renderer.
    bool openCompositionObject(QCCompositionRef composition);
    // Null changes nothing. Otherwise closes, clears the pixels (forced) and opens; an
    // NSException is swallowed. Answers isCompositionOpen().
    bool openCompositionComposition(QCCompositionRef composition);
    // openCompositionComposition of the composition read from `data` (null for data that is
    // not a composition, which changes nothing).
    bool openCompositionData(CFDataRef data);
    // Closes, clears the pixels (forced) and opens the composition file; an NSException is
    // logged. Answers isCompositionOpen().
    bool openCompositionPath(const std::string &path);
    // The input keys to null, then the renderer to null.
    void closeComposition();
    bool isCompositionOpen() const;
    // Caches the renderer's input keys and tells the delegate; false without a renderer.
    bool rendererInitialize();

    // Whether the composition that opened publishes `key` (from the cached keys).
    bool hasInputKey(const std::string &key) const;
    // False, leaving the renderer alone, unless hasInputKey(key); otherwise the renderer's
    // answer (false, logged, when it raises an NSException; other exceptions pass).
    bool setValue(const QCValue &value, const std::string &key);
    // Renders with the arguments; false without a renderer. The renderer's context must be
    // current (the delegate's).
    bool renderStateForTime(double seconds);
    // Forwarded to the delegate.
    void clearDrawablePixels(bool force);

    // ---- Properties (each read and written atomically) -------------------------------------

    std::shared_ptr<QCRenderer> renderer() const;
    void setRenderer(std::shared_ptr<QCRenderer> renderer);
    // Null while no composition is open.
    NSOGLQCRendererInputKeys rendererInputKeys() const;
    void setRendererInputKeys(NSOGLQCRendererInputKeys keys);
    QCRenderArguments rendererArguments() const;
    void setRendererArguments(const QCRenderArguments &arguments);

private:
    std::atomic<NSOGLQCRendererStateDelegate *> mDelegate;
    mutable std::mutex mPropertyLock;
    std::shared_ptr<QCRenderer> mRenderer;
    NSOGLQCRendererInputKeys mRendererInputKeys;
    QCRenderArguments mRendererArguments;
};

bool import_NSOGLQCRendererState();
