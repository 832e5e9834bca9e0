// Logical CGL contexts over EGL contexts.
//
// A logical context owns one EGL context, its primary, created with it and destroyed with
// it. The first thread that makes the context current while no other thread has it current
// gets the primary (and the context's window surface, if any). A thread that makes the
// context current while the primary is current on another thread gets a shadow: an EGL
// context created sharing with the primary, so it sees the same textures, programs, render
// buffers and framebuffer objects. When a thread makes another context current, or ends,
// its EGL context goes back to the logical context: the primary becomes free, a shadow
// joins the context's idle shadows, which later threads reuse. So a context has at most as
// many shadows as it ever had threads using it at the same time; they are destroyed with
// the logical context. A shadow keeps the GL state (bindings, matrices, viewport) its last
// thread left; the state of the primary is the context's own as long as its users take
// turns.
//
// The current context of a thread is kept in a thread-local binding; when the thread ends,
// a thread-local destructor makes no context current and gives the EGL context back. The
// thread holds a reference on its current logical context, so a context is never destroyed
// while any of its EGL contexts is current somewhere.

#include <OpenGL/CGLDisplay.h>
#include <OpenGL/CGLPixelFormat.h>
#include <OpenGL/OpenGL.h>
#include <OpenGL/glext.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// A lock that the thread holding it may take again; it is free once that thread has
// unlocked as many times as it locked.
class RecursiveLock {
public:
    void Lock() {
        std::unique_lock<std::mutex> guard(mMutex);
        const std::thread::id self = std::this_thread::get_id();
        if (mDepth > 0 && mOwner == self) {
            ++mDepth;
            return;
        }
        mFree.wait(guard, [this] { return mDepth == 0; });
        mOwner = self;
        mDepth = 1;
    }

    // False when the calling thread does not hold the lock.
    bool Unlock() {
        std::lock_guard<std::mutex> guard(mMutex);
        if (mDepth == 0 || mOwner != std::this_thread::get_id()) return false;
        if (--mDepth == 0) {
            mOwner = std::thread::id();
            mFree.notify_one();
        }
        return true;
    }

private:
    std::mutex mMutex;
    std::condition_variable mFree;
    std::thread::id mOwner;
    unsigned mDepth = 0;
};

// Desktop OpenGL, compatibility profile (the highest version the driver has).
const EGLint kContextAttributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                     EGL_NONE};

}  // namespace

struct _CGLContextObject {
    std::atomic<GLuint> mRetainCount{1};
    CGLPixelFormatObj mPixelFormat = nullptr;
    EGLContext mPrimary = EGL_NO_CONTEXT;
    RecursiveLock mLock;

    std::mutex mBindLock;  // guards the fields below
    bool mPrimaryBound = false;
    std::vector<EGLContext> mIdleShadows;
    EGLSurface mWindowSurface = EGL_NO_SURFACE;
};

namespace {

// What a thread has current.
struct Binding {
    CGLContextObj context = nullptr;
    EGLContext egl = EGL_NO_CONTEXT;
    EGLSurface surface = EGL_NO_SURFACE;
    bool primary = false;
};

void GiveBack(const Binding &binding) {
    CGLContextObj context = binding.context;
    std::lock_guard<std::mutex> guard(context->mBindLock);
    if (binding.primary)
        context->mPrimaryBound = false;
    else
        context->mIdleShadows.push_back(binding.egl);
}

// The calling thread's binding; null until the thread first makes a context current.
constinit thread_local Binding *tBinding = nullptr;

// Gives a thread's EGL context back when the thread ends. C++ thread-local destructors run
// before the thread-specific data destructors of the EGL libraries, which forget the
// thread's current context without releasing it (another thread could then never make
// that EGL context current again).
struct ThreadReaper {
    ~ThreadReaper() {
        Binding *binding = tBinding;
        tBinding = nullptr;
        if (binding == nullptr) return;
        if (binding->context != nullptr) {
            cgl::BindDesktopGL();
            eglMakeCurrent(cgl::TheDisplay()->egl, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
            GiveBack(*binding);
            CGLReleaseContext(binding->context);
        }
        delete binding;
        eglReleaseThread();
    }
};
thread_local ThreadReaper tReaper;

Binding *ThisThread() { return tBinding; }

// The calling thread's binding, made on first use.
Binding &ThisThreadMaking() {
    if (tBinding == nullptr) {
        static_cast<void>(&tReaper);  // registers the reaper for this thread
        tBinding = new Binding;
    }
    return *tBinding;
}

// Takes an EGL context of `context` for the calling thread: the primary when it is free,
// else an idle shadow or a new one.
CGLError Acquire(const cgl::Display &display, CGLContextObj context, Binding &binding) {
    binding = Binding{context};
    std::lock_guard<std::mutex> guard(context->mBindLock);
    if (!context->mPrimaryBound) {
        context->mPrimaryBound = true;
        binding.egl = context->mPrimary;
        binding.surface = context->mWindowSurface;
        binding.primary = true;
        return kCGLNoError;
    }
    if (!context->mIdleShadows.empty()) {
        binding.egl = context->mIdleShadows.back();
        context->mIdleShadows.pop_back();
        return kCGLNoError;
    }
    cgl::BindDesktopGL();
    binding.egl = eglCreateContext(display.egl, EGL_NO_CONFIG_KHR, context->mPrimary, kContextAttributes);
    return binding.egl != EGL_NO_CONTEXT ? kCGLNoError : kCGLBadAlloc;
}

void Destroy(CGLContextObj context) {
    const cgl::Display *display = cgl::TheDisplay();
    if (context->mWindowSurface != EGL_NO_SURFACE) eglDestroySurface(display->egl, context->mWindowSurface);
    for (EGLContext shadow : context->mIdleShadows) eglDestroyContext(display->egl, shadow);
    eglDestroyContext(display->egl, context->mPrimary);
    CGLReleasePixelFormat(context->mPixelFormat);
    delete context;
}

}  // namespace

CGLError CGLCreateContext(CGLPixelFormatObj pix, CGLContextObj share, CGLContextObj *ctx) {
    if (ctx == nullptr) return kCGLBadAddress;
    *ctx = nullptr;
    if (pix == nullptr) return kCGLBadPixelFormat;
    const cgl::Display *display = cgl::TheDisplay();
    if (display == nullptr) return kCGLBadConnection;
    cgl::BindDesktopGL();
    EGLContext primary = eglCreateContext(display->egl, EGL_NO_CONFIG_KHR,
                                          share != nullptr ? share->mPrimary : EGL_NO_CONTEXT, kContextAttributes);
    if (primary == EGL_NO_CONTEXT) return eglGetError() == EGL_BAD_ALLOC ? kCGLBadAlloc : kCGLBadContext;
    auto *context = new _CGLContextObject;
    context->mPixelFormat = CGLRetainPixelFormat(pix);
    context->mPrimary = primary;
    *ctx = context;
    return kCGLNoError;
}

CGLContextObj CGLRetainContext(CGLContextObj ctx) {
    if (ctx != nullptr) ctx->mRetainCount.fetch_add(1, std::memory_order_relaxed);
    return ctx;
}

void CGLReleaseContext(CGLContextObj ctx) {
    if (ctx != nullptr && ctx->mRetainCount.fetch_sub(1, std::memory_order_acq_rel) == 1) Destroy(ctx);
}

CGLError CGLDestroyContext(CGLContextObj ctx) {
    if (ctx == nullptr) return kCGLBadContext;
    if (CGLGetCurrentContext() == ctx) CGLSetCurrentContext(nullptr);
    CGLReleaseContext(ctx);
    return kCGLNoError;
}

GLuint CGLGetContextRetainCount(CGLContextObj ctx) {
    return ctx != nullptr ? ctx->mRetainCount.load(std::memory_order_relaxed) : 0;
}

CGLPixelFormatObj CGLGetPixelFormat(CGLContextObj ctx) { return ctx != nullptr ? ctx->mPixelFormat : nullptr; }

CGLContextObj CGLGetCurrentContext(void) {
    const Binding *binding = ThisThread();
    return binding != nullptr ? binding->context : nullptr;
}

CGLError CGLSetCurrentContext(CGLContextObj ctx) {
    Binding *current = ThisThread();
    if ((current != nullptr ? current->context : nullptr) == ctx) return kCGLNoError;
    const cgl::Display *display = cgl::TheDisplay();
    if (display == nullptr) return kCGLBadConnection;  // then nothing can be current either

    Binding next;
    if (ctx != nullptr) {
        if (const CGLError error = Acquire(*display, ctx, next); error != kCGLNoError) return error;
    }
    cgl::BindDesktopGL();
    if (!eglMakeCurrent(display->egl, next.surface, next.surface, next.egl)) {
        if (ctx != nullptr) GiveBack(next);
        return kCGLBadContext;
    }
    CGLRetainContext(ctx);
    Binding &binding = ThisThreadMaking();
    const Binding previous = binding;
    binding = next;
    if (previous.context != nullptr) {
        GiveBack(previous);
        CGLReleaseContext(previous.context);
    }
    return kCGLNoError;
}

CGLError CGLLockContext(CGLContextObj ctx) {
    if (ctx == nullptr) return kCGLBadContext;
    ctx->mLock.Lock();
    return kCGLNoError;
}

CGLError CGLUnlockContext(CGLContextObj ctx) {
    if (ctx == nullptr) return kCGLBadContext;
    return ctx->mLock.Unlock() ? kCGLNoError : kCGLBadState;
}

CGLError CGLGetVirtualScreen(CGLContextObj ctx, GLint *screen) {
    if (ctx == nullptr) return kCGLBadContext;
    if (screen == nullptr) return kCGLBadAddress;
    *screen = 0;
    return kCGLNoError;
}

CGLError CGLSetNativeWindow(CGLContextObj ctx, unsigned long window) {
    if (ctx == nullptr) return kCGLBadContext;
    const cgl::Display *display = cgl::TheDisplay();
    if (display == nullptr || (window != 0 && display->x11 == nullptr)) return kCGLBadConnection;
    if (window > 0xFFFFFFFFul) return kCGLBadWindow;  // X ids are 32 bits
    Binding *here = ThisThread();
    const bool heldHere = here != nullptr && here->context == ctx && here->primary;

    std::lock_guard<std::mutex> guard(ctx->mBindLock);
    if (ctx->mPrimaryBound && !heldHere) return kCGLBadState;
    EGLSurface surface = EGL_NO_SURFACE;
    if (window != 0) {
        const CGLPixelFormatObj format = ctx->mPixelFormat;
        const cgl::WindowConfig chosen = cgl::ChooseWindowConfig(*display, static_cast<uint32_t>(window),
                                                                 format->mColorSize, format->mAlphaSize,
                                                                 format->mDepthSize);
        if (chosen.config == nullptr) return static_cast<CGLError>(chosen.error);
        xcb_window_t native = static_cast<xcb_window_t>(window);
        surface = eglCreatePlatformWindowSurface(display->egl, chosen.config, &native, nullptr);
        cgl::DrainX11Events(*display);
        if (surface == EGL_NO_SURFACE) return kCGLBadWindow;
    }
    if (heldHere) {
        cgl::BindDesktopGL();
        if (!eglMakeCurrent(display->egl, surface, surface, ctx->mPrimary)) {
            if (surface != EGL_NO_SURFACE) eglDestroySurface(display->egl, surface);
            return kCGLBadMatch;
        }
        here->surface = surface;
    }
    if (ctx->mWindowSurface != EGL_NO_SURFACE) eglDestroySurface(display->egl, ctx->mWindowSurface);
    ctx->mWindowSurface = surface;
    return kCGLNoError;
}

CGLError CGLFlushDrawable(CGLContextObj ctx) {
    if (ctx == nullptr) return kCGLBadContext;
    const Binding *here = ThisThread();
    if (here == nullptr || here->context != ctx) return kCGLBadContext;
    if (here->surface != EGL_NO_SURFACE) {
        const cgl::Display *display = cgl::TheDisplay();
        const bool swapped = eglSwapBuffers(display->egl, here->surface);
        cgl::SyncX11(*display);
        return swapped ? kCGLNoError : kCGLBadDrawable;
    }
    glFlush();
    std::lock_guard<std::mutex> guard(ctx->mBindLock);
    return ctx->mWindowSurface == EGL_NO_SURFACE ? kCGLNoError : kCGLBadDrawable;
}

void glFlushRenderAPPLE(void) { glFlush(); }

void glFinishRenderAPPLE(void) { glFinish(); }

void glSwapAPPLE(void) {
    if (CGLContextObj current = CGLGetCurrentContext()) CGLFlushDrawable(current);
}
