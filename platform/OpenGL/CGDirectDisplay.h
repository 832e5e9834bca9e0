// The displays as the OpenGL code names them. There is one display, the one the OpenGL
// layer renders for (the X11 screen, or none when headless); its OpenGL display mask is 1.
// These live in the OpenGL layer because it owns the display connection; the Core Graphics
// layer includes this header rather than defining them again.
#pragma once

#include <cstddef>
#include <cstdint>

typedef uint32_t CGDirectDisplayID;
typedef uint32_t CGOpenGLDisplayMask;

// The main display's id (1).
CGDirectDisplayID CGMainDisplayID(void);
// The OpenGL display mask of a display: 1 for the main display, 0 for any other id.
CGOpenGLDisplayMask CGDisplayIDToOpenGLDisplayMask(CGDirectDisplayID display);

// The size of a display in pixels: for the main display the X11 screen's, or 1280 x 800
// when rendering without a display; 0 for any other id.
size_t CGDisplayPixelsWide(CGDirectDisplayID display);
size_t CGDisplayPixelsHigh(CGDirectDisplayID display);
