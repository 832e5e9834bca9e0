// The OpenGL extensions the graphics code calls, including the flush-render functions that
// this layer provides itself (the system's libraries have no such extension).
#pragma once

#include <OpenGL/gl.h>

#ifdef __cplusplus
extern "C" {
#endif

// Flushes the commands of the current context (glFlush).
void glFlushRenderAPPLE(void);
// Waits until the commands of the current context have completed (glFinish).
void glFinishRenderAPPLE(void);
// Shows the back buffer of the current context's window (CGLFlushDrawable); without a
// window it flushes.
void glSwapAPPLE(void);

#ifdef __cplusplus
}
#endif
