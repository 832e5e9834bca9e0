// CGL: pixel formats and rendering contexts, on EGL and Mesa.
//
// The model (see CGLContext.cpp for the details):
// - One EGL display per process, opened at the first call that needs it: the X11 server
//   named by DISPLAY when one answers, else Mesa's surfaceless platform.
// - A CGLContextObj is a logical context: desktop OpenGL, compatibility profile. Made
//   current on one thread at a time it is one EGL context (its primary). Made current on a
//   second thread while another thread has it current, that thread gets a shadow EGL
//   context in the same share group: textures, programs, render buffers and framebuffer
//   objects are shared (framebuffer objects because Mesa shares them; the OpenGL standard
//   keeps them per context), the rest of the GL state (bindings, matrices, viewport) is not.
// - The current context is per thread. A thread holds a reference on its current context
//   until it makes another one current or ends.
// - CGLLockContext is a recursive lock per logical context, independent of being current.
// - A context may draw into a native X11 window (CGLSetNativeWindow); only the thread that
//   holds the primary draws into it and swaps it.
#pragma once

#include <cstdint>

#include <OpenGL/gl.h>

typedef struct _CGLContextObject *CGLContextObj;
typedef struct _CGLPixelFormatObject *CGLPixelFormatObj;

enum CGLError : int32_t {
    kCGLNoError = 0,
    kCGLBadAttribute = 10000,
    kCGLBadPixelFormat = 10002,
    kCGLBadContext = 10004,
    kCGLBadDrawable = 10005,
    kCGLBadDisplay = 10006,
    kCGLBadState = 10007,
    kCGLBadValue = 10008,
    kCGLBadMatch = 10009,
    kCGLBadWindow = 10013,
    kCGLBadAddress = 10014,
    kCGLBadAlloc = 10016,
    kCGLBadConnection = 10017,
};

// Pixel-format attributes understood by CGLChoosePixelFormat. A list is a run of these,
// the valued ones followed by their value, ended by 0.
enum CGLPixelFormatAttribute : int32_t {
    kCGLPFADoubleBuffer = 5,
    kCGLPFAColorSize = 8,    // value: preferred colour bits
    kCGLPFAAlphaSize = 11,   // value: preferred alpha bits
    kCGLPFADepthSize = 12,   // value: preferred depth bits
    kCGLPFAOffScreen = 53,
    kCGLPFANoRecovery = 72,
    kCGLPFAAccelerated = 73,
    kCGLPFABackingStore = 76,
    kCGLPFADisplayMask = 84, // value: OpenGL display mask (CGDisplayIDToOpenGLDisplayMask)
    kCGLPFAPBuffer = 90,
};

// Pixel formats. Every format is served by the one renderer (Mesa) on the one virtual
// screen 0. Attributes without meaning here (NoRecovery, Accelerated, BackingStore, PBuffer,
// OffScreen)
// are accepted; the sizes are preferences used when a window surface is made. Errors:
// kCGLBadAttribute for an unknown attribute, kCGLBadValue for a negative size,
// kCGLBadDisplay when the display mask leaves out the display, kCGLBadConnection when no
// EGL display with desktop OpenGL can be opened. On any error *pix is null and *npix 0.
CGLError CGLChoosePixelFormat(const CGLPixelFormatAttribute *attribs, CGLPixelFormatObj *pix, GLint *npix);
CGLPixelFormatObj CGLRetainPixelFormat(CGLPixelFormatObj pix);
void CGLReleasePixelFormat(CGLPixelFormatObj pix);
// Releases the caller's reference (the same as CGLReleasePixelFormat).
CGLError CGLDestroyPixelFormat(CGLPixelFormatObj pix);
GLuint CGLGetPixelFormatRetainCount(CGLPixelFormatObj pix);

// Contexts. CGLCreateContext makes a context whose objects are shared with `share` (may be
// null); the new context holds a reference on its pixel format.
CGLError CGLCreateContext(CGLPixelFormatObj pix, CGLContextObj share, CGLContextObj *ctx);
CGLContextObj CGLRetainContext(CGLContextObj ctx);
void CGLReleaseContext(CGLContextObj ctx);
// Stops the context being current on the calling thread, then releases the caller's reference.
CGLError CGLDestroyContext(CGLContextObj ctx);
GLuint CGLGetContextRetainCount(CGLContextObj ctx);
CGLPixelFormatObj CGLGetPixelFormat(CGLContextObj ctx);
// The share group of a context: the same value for every context made sharing with it, and
// different for contexts that share nothing; null for a null context. A tag, not an object.
typedef struct _CGLShareGroupObject *CGLShareGroupObj;
CGLShareGroupObj CGLGetShareGroup(CGLContextObj ctx);

// The calling thread's current context (borrowed), and the making current. Null makes no
// context current. On failure the previous context stays current.
CGLContextObj CGLGetCurrentContext(void);
CGLError CGLSetCurrentContext(CGLContextObj ctx);

// The context's lock: recursive on one thread; other threads wait until the holder has
// unlocked as often as it locked. Unlocking a lock the thread does not hold is kCGLBadState.
CGLError CGLLockContext(CGLContextObj ctx);
CGLError CGLUnlockContext(CGLContextObj ctx);

// The virtual screen of the context: always 0.
CGLError CGLGetVirtualScreen(CGLContextObj ctx, GLint *screen);

// Linux: attaches the native X11 window `window` (an X window id; 0 detaches) as the
// context's drawable. The EGL window surface is made for the window's visual. Fails with
// kCGLBadConnection without an X11 display, kCGLBadWindow for a window that does not exist,
// kCGLBadMatch when no configuration suits its visual, and kCGLBadState while another
// thread has the context current. Setting the window the context already has does nothing;
// a window is the drawable of one context at a time (detach it before giving it to
// another). Of two calls on one context at the same time, the one that began later wins.
CGLError CGLSetNativeWindow(CGLContextObj ctx, unsigned long window);

// Shows the back buffer of the context's window; on return the X server holds the new
// image. The context must be current on the calling thread; without a window the commands
// are flushed. kCGLBadDrawable when the window is
// held by another thread (this thread has a shadow of the context), kCGLBadContext when the
// context is not current on this thread.
CGLError CGLFlushDrawable(CGLContextObj ctx);

#include <OpenGL/CGLPBuffer.h>
