// Internal to the OpenGL layer: the process's one EGL display.
#pragma once

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <xcb/xcb.h>

#include <cstdint>

namespace cgl {

struct Display {
    EGLDisplay egl = EGL_NO_DISPLAY;
    // The X11 connection the display was opened on; null on the surfaceless platform.
    xcb_connection_t *x11 = nullptr;
    int x11Screen = 0;  // the screen of the X11 display name
};

// The display, opened at the first call (thread-safe) and kept to the end of the process.
// Null when neither the X11 nor the surfaceless platform gives a display with desktop
// OpenGL, surfaceless contexts and contexts without a configuration.
const Display *TheDisplay();

// The display for a CGL entry point that is about to call EGL, or null once the process has
// begun to exit. No EGL or GL work is done after `main` returns: by then EGL's own exit
// handlers may have torn the display down, and the thread's EGL state is gone. A call that
// comes after the mark (a static destructor releasing a context, for one) writes one line
// to standard error naming `caller` and gets null, so it does no EGL work and fails or only
// frees its own memory.
const Display *DisplayFor(const char *caller);

// Marks the start of exit. Called by an exit handler registered when the display opens, and
// at the end of the main thread's own GL teardown (its thread-local destructor, which runs
// when `main` returns, before every exit handler and static destructor).
void MarkExiting();

// Binds the desktop OpenGL API on the calling thread (EGL keeps the bound API per thread).
void BindDesktopGL();

// The configuration of an X11 window's visual that comes closest to the preferred sizes
// (negative: no preference). Fails with the CGL error to report: kCGLBadWindow, kCGLBadMatch.
struct WindowConfig {
    EGLConfig config = nullptr;
    int32_t error = 0;
};
WindowConfig ChooseWindowConfig(const Display &display, uint32_t window, int colorSize, int alphaSize,
                                int depthSize);

// Throws away what the X server sent on the display's connection (errors of requests that
// nobody waits for), so that it does not pile up.
void DrainX11Events(const Display &display);

// Waits until the X server has carried out every request sent so far on the display's
// connection (a swapped image is then in the window for every client), then drains.
void SyncX11(const Display &display);

}  // namespace cgl
