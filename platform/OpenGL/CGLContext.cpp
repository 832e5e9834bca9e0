// Logical CGL contexts over EGL contexts.
//
// A logical context owns one EGL context, its primary, created with it and destroyed with
// it. The first thread that makes the context current while no other thread has it current
// gets the primary (and the context's window surface, if any). A thread that makes the
// context current while the primary is current on another thread gets a shadow: an EGL
// context created sharing with the primary, so it sees the same textures, programs, render
// buffers and framebuffer objects (the last through Mesa, see Acquire). When a thread makes another context current, or ends,
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

#include <OpenGL/CGLDisplayInternal.h>
#include <OpenGL/CGLDrawableInternal.h>
#include <OpenGL/CGLIOSurfaceInternal.h>
#include <OpenGL/CGLPixelFormatInternal.h>
#include <OpenGL/OpenGL.h>
#include <OpenGL/glext.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <unistd.h>
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
    uint64_t mShareGroup = 0;  // see cgl::ShareGroupOf
    RecursiveLock mLock;
    std::shared_ptr<cgl::SurfaceTextures> mSurfaceTextures;  // the share group's, see CGLIOSurface.cpp

    // Guards the fields below. Held only for bookkeeping, never across a call to the X
    // server or EGL: every thread that makes the context current takes it.
    std::mutex mBindLock;
    bool mPrimaryBound = false;
    std::vector<EGLContext> mIdleShadows;
    EGLSurface mWindowSurface = EGL_NO_SURFACE;
    unsigned long mWindow = 0;       // the X window of mWindowSurface; 0 for none
    uint64_t mWindowRequests = 0;    // CGLSetNativeWindow calls so far (their tickets)
    uint64_t mWindowInstalled = 0;   // the ticket of the call that set mWindowSurface

    // Touched only by the thread holding the primary.
    bool mPrimaryUsedWithoutWindow = false;  // the primary was current before it had a window
    bool mWindowBuffersSet = false;          // the primary has drawn into a window
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
        // A thread that ends while the process exits leaves EGL alone (see DisplayFor).
        const cgl::Display *display = cgl::DisplayFor("the end of a thread");
        if (binding->context != nullptr) {
            if (display != nullptr) {
                cgl::BindDesktopGL();
                eglMakeCurrent(display->egl, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
            }
            GiveBack(*binding);
            CGLReleaseContext(binding->context);
        }
        delete binding;
        if (display != nullptr) eglReleaseThread();
        // The main thread's thread-local destructors run when `main` returns (nothing here
        // ends the main thread with pthread_exit): whatever runs after is exit.
        if (gettid() == getpid()) cgl::MarkExiting();
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
    // A shadow relies on framebuffer objects being shared within the share group, which
    // Mesa does for desktop GL (as it does textures, render buffers and programs); the OpenGL
    // standard shares the objects with data but leaves container objects such as
    // framebuffer objects per context. Code that binds a framebuffer object made on another
    // thread's context therefore depends on Mesa here.
    cgl::BindDesktopGL();
    binding.egl = eglCreateContext(display.egl, EGL_NO_CONFIG_KHR, context->mPrimary, kContextAttributes);
    return binding.egl != EGL_NO_CONTEXT ? kCGLNoError : kCGLBadAlloc;
}

// Called with the primary just made current on `surface`. A context without a configuration
// takes its default draw and read buffers from the first surface it is made current with;
// made current first without one, it keeps the front buffer as its draw buffer, and its
// drawing never reaches the window's back buffer that a swap shows. So the first time such
// a primary draws into a window, the window's draw and read buffers become the back buffer.
void PrepareWindowBuffers(CGLContextObj context, EGLSurface surface) {
    if (context->mWindowBuffersSet) return;
    if (surface == EGL_NO_SURFACE) {
        context->mPrimaryUsedWithoutWindow = true;
        return;
    }
    context->mWindowBuffersSet = true;
    if (!context->mPrimaryUsedWithoutWindow) return;
    GLint draw = 0, read = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDrawBuffer(GL_BACK);
    glReadBuffer(GL_BACK);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(draw));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(read));
}

void Destroy(CGLContextObj context) {
    cgl::ForgetAttachedDrawable(context);
    // While the process exits the EGL objects go with it; only the memory is freed here.
    if (const cgl::Display *display = cgl::DisplayFor("CGLReleaseContext")) {
        if (context->mWindowSurface != EGL_NO_SURFACE) eglDestroySurface(display->egl, context->mWindowSurface);
        for (EGLContext shadow : context->mIdleShadows) eglDestroyContext(display->egl, shadow);
        eglDestroyContext(display->egl, context->mPrimary);
    }
    CGLReleasePixelFormat(context->mPixelFormat);
    delete context;
}

}  // namespace

CGLError CGLCreateContext(CGLPixelFormatObj pix, CGLContextObj share, CGLContextObj *ctx) {
    if (ctx == nullptr) return kCGLBadAddress;
    *ctx = nullptr;
    if (pix == nullptr) return kCGLBadPixelFormat;
    const cgl::Display *display = cgl::DisplayFor("CGLCreateContext");
    if (display == nullptr) return kCGLBadConnection;
    cgl::BindDesktopGL();
    EGLContext primary = eglCreateContext(display->egl, EGL_NO_CONFIG_KHR,
                                          share != nullptr ? share->mPrimary : EGL_NO_CONTEXT, kContextAttributes);
    if (primary == EGL_NO_CONTEXT) return eglGetError() == EGL_BAD_ALLOC ? kCGLBadAlloc : kCGLBadContext;
    auto *context = new _CGLContextObject;
    context->mPixelFormat = CGLRetainPixelFormat(pix);
    context->mPrimary = primary;
    context->mSurfaceTextures = share != nullptr ? share->mSurfaceTextures : cgl::NewSurfaceTextures();
    static std::atomic<uint64_t> shareGroups{0};
    context->mShareGroup = share != nullptr ? share->mShareGroup : ++shareGroups;
    *ctx = context;
    return kCGLNoError;
}

cgl::SurfaceTextures &cgl::SurfaceTexturesOf(CGLContextObj context) { return *context->mSurfaceTextures; }

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

uint64_t cgl::ShareGroupOf(CGLContextObj context) { return context != nullptr ? context->mShareGroup : 0; }

CGLShareGroupObj CGLGetShareGroup(CGLContextObj ctx) {
    return reinterpret_cast<CGLShareGroupObj>(static_cast<uintptr_t>(cgl::ShareGroupOf(ctx)));
}

CGLPixelFormatObj CGLGetPixelFormat(CGLContextObj ctx) { return ctx != nullptr ? ctx->mPixelFormat : nullptr; }

CGLContextObj CGLGetCurrentContext(void) {
    const Binding *binding = ThisThread();
    return binding != nullptr ? binding->context : nullptr;
}

CGLError CGLSetCurrentContext(CGLContextObj ctx) {
    Binding *current = ThisThread();
    if ((current != nullptr ? current->context : nullptr) == ctx) return kCGLNoError;
    const cgl::Display *display = cgl::DisplayFor("CGLSetCurrentContext");
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
    if (next.primary) PrepareWindowBuffers(ctx, next.surface);
    if (ctx != nullptr) cgl::BindAttachedDrawable(ctx, next.egl);
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

// The surface is made before the context's bookkeeping lock is taken: choosing the
// configuration and making the surface wait for the X server, and every thread that makes
// the context current takes that lock. Each call takes a ticket first; when two calls run
// at once, the one that began later keeps its window and the other destroys its own
// surface (as if it had been replaced at once).
CGLError CGLSetNativeWindow(CGLContextObj ctx, unsigned long window) {
    if (ctx == nullptr) return kCGLBadContext;
    const cgl::Display *display = cgl::DisplayFor("CGLSetNativeWindow");
    if (display == nullptr || (window != 0 && display->x11 == nullptr)) return kCGLBadConnection;
    if (window > 0xFFFFFFFFul) return kCGLBadWindow;  // X ids are 32 bits
    Binding *here = ThisThread();
    const bool heldHere = here != nullptr && here->context == ctx && here->primary;

    uint64_t ticket = 0;
    {
        std::lock_guard<std::mutex> guard(ctx->mBindLock);
        if (ctx->mPrimaryBound && !heldHere) return kCGLBadState;
        // Already the drawable (EGL allows one surface per window, so making another fails).
        if (window == ctx->mWindow) return kCGLNoError;
        ticket = ++ctx->mWindowRequests;
    }

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
    // While this thread holds the primary no other call can install a surface (they fail
    // with kCGLBadState), so the new surface is made current before the lock is taken.
    if (heldHere) {
        cgl::BindDesktopGL();
        if (!eglMakeCurrent(display->egl, surface, surface, ctx->mPrimary)) {
            if (surface != EGL_NO_SURFACE) eglDestroySurface(display->egl, surface);
            return kCGLBadMatch;
        }
        here->surface = surface;
        PrepareWindowBuffers(ctx, surface);
    }

    CGLError result = kCGLNoError;
    EGLSurface unused = surface;
    {
        std::lock_guard<std::mutex> guard(ctx->mBindLock);
        if (ctx->mPrimaryBound && !heldHere) {
            result = kCGLBadState;  // another thread made the context current meanwhile
        } else if (heldHere || ctx->mWindowInstalled < ticket) {
            unused = ctx->mWindowSurface;
            ctx->mWindowSurface = surface;
            ctx->mWindow = window;
            ctx->mWindowInstalled = ticket;
        }  // else a call that began later has installed its window: this one's is dropped
    }
    if (unused != EGL_NO_SURFACE) eglDestroySurface(display->egl, unused);
    return result;
}

CGLError CGLFlushDrawable(CGLContextObj ctx) {
    if (ctx == nullptr) return kCGLBadContext;
    const Binding *here = ThisThread();
    if (here == nullptr || here->context != ctx) return kCGLBadContext;
    cgl::SyncSurfaceTextures(ctx);
    if (here->surface != EGL_NO_SURFACE) {
        const cgl::Display *display = cgl::DisplayFor("CGLFlushDrawable");
        if (display == nullptr) return kCGLBadConnection;
        const bool swapped = eglSwapBuffers(display->egl, here->surface);
        cgl::SyncX11(*display);
        return swapped ? kCGLNoError : kCGLBadDrawable;
    }
    cgl::FlushAttachedDrawable(ctx);
    glFlush();
    std::lock_guard<std::mutex> guard(ctx->mBindLock);
    return ctx->mWindowSurface == EGL_NO_SURFACE ? kCGLNoError : kCGLBadDrawable;
}

void glFlushRenderAPPLE(void) {
    if (CGLContextObj current = CGLGetCurrentContext()) cgl::SyncSurfaceTextures(current);
    glFlush();
}

void glFinishRenderAPPLE(void) {
    if (CGLContextObj current = CGLGetCurrentContext()) cgl::SyncSurfaceTextures(current);
    glFinish();
}

void glSwapAPPLE(void) {
    if (CGLContextObj current = CGLGetCurrentContext()) CGLFlushDrawable(current);
}
