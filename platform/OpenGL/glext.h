// The OpenGL extensions the graphics code calls, including the flush-render functions that
// this layer provides itself (the system's libraries have no such extension).
#pragma once

#include <OpenGL/gl.h>

#ifdef __cplusplus
extern "C" {
#endif

// Flushes the commands of the current context (glFlush), after bringing its surface
// textures and their surfaces in step (a sync point of OpenGL/CGLIOSurface.h).
void glFlushRenderAPPLE(void);
// Waits until the commands of the current context have completed (glFinish), after the same
// sync point.
void glFinishRenderAPPLE(void);
// Shows the back buffer of the current context's window (CGLFlushDrawable); without a
// window it flushes.
void glSwapAPPLE(void);

#ifdef __cplusplus
}
#endif
