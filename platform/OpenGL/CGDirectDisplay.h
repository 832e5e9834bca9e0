// The displays as the OpenGL code names them: the monitors of the X11 screen the OpenGL layer
// renders for (its active RandR CRTCs), or one display when rendering without an X server.
// These live in the OpenGL layer because it owns the display connection; the Core Graphics
// layer includes this header rather than defining them again.
//
// Display ids are 1 for the main display (the CRTC of RandR's primary output, else the first
// active CRTC; the whole X screen when the server has no RandR) and 2, 3, ... for the other
// active CRTCs in the server's order. The list is read from the X server at each call, so a
// monitor that goes away makes its id unknown.
#pragma once

#include <cstddef>
#include <cstdint>

typedef uint32_t CGDirectDisplayID;
typedef uint32_t CGOpenGLDisplayMask;
typedef int32_t CGError;

enum : CGError {
    kCGErrorSuccess = 0,
    kCGErrorFailure = 1000,
    kCGErrorIllegalArgument = 1001,
};

// The main display's id (1).
CGDirectDisplayID CGMainDisplayID(void);
// The OpenGL display mask of a display: 1 for the main display, 0 for any other id (every
// display is drawn by the one renderer of the main display).
CGOpenGLDisplayMask CGDisplayIDToOpenGLDisplayMask(CGDirectDisplayID display);

// The active displays, main display first. With a null array only the count is given; else
// at most maxDisplays ids. kCGErrorIllegalArgument for a null count.
CGError CGGetActiveDisplayList(uint32_t maxDisplays, CGDirectDisplayID *activeDisplays, uint32_t *displayCount);

// The size of a display in pixels: its monitor's (the X11 screen's without RandR), or 1280 x
// 800 for the main display when rendering without an X server; 0 for an unknown id.
size_t CGDisplayPixelsWide(CGDirectDisplayID display);
size_t CGDisplayPixelsHigh(CGDirectDisplayID display);

// Linux only: where a display lies on the X11 screen, in pixels. False for an unknown id.
struct CGDisplayPixelArea {
    int32_t x = 0;
    int32_t y = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};
bool CGDisplayGetPixelArea(CGDirectDisplayID display, CGDisplayPixelArea *area);

// Linux only: the refresh rate of the display's current mode in Hz (from RandR's mode
// timings), or 0 when it is not known (no X server, no RandR, no timings, unknown id).
double CGDisplayRefreshRate(CGDirectDisplayID display);
