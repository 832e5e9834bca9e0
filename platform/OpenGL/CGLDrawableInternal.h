// Internal to the OpenGL layer: what the context code asks of the drawables other than
// windows (pixel buffers and offscreen memory, CGLPBuffer.cpp).
#pragma once

#include <OpenGL/OpenGL.h>

#include <EGL/egl.h>

#include <cstdint>

namespace cgl {

// The share group of a context: a number given to a context made without a share context
// and inherited by every context made sharing with it.
uint64_t ShareGroupOf(CGLContextObj context);

// Called with `egl` (the primary or a shadow of `context`) just made current on the calling
// thread: binds the attached drawable's framebuffer object when this EGL context has not
// seen the latest attachment. Does nothing quickly when no context has a drawable attached.
void BindAttachedDrawable(CGLContextObj context, EGLContext egl);

// Called by CGLFlushDrawable for a context current on the calling thread without a window:
// copies the drawn pixels into attached offscreen memory.
void FlushAttachedDrawable(CGLContextObj context);

// Called when a context is destroyed, before its EGL contexts: forgets its attachment.
void ForgetAttachedDrawable(CGLContextObj context);

}  // namespace cgl
