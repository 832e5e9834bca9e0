// Textures whose storage is an IOSurface.
//
// Mesa cannot sample from or draw into the surface's shared memory itself, so a surface
// texture keeps a copy of the pixels in GL, and the layer moves them between the two at
// fixed points (the coherence points):
//
// - Surface to texture (upload): at CGLTexImageIOSurface2D, and at every sync point below
//   for a texture that has not been drawn into, when the surface's seed has moved since the
//   texture and the surface last agreed (another thread or process wrote it under a lock).
// - Texture to surface (read-back): for a texture drawn into since the texture and the
//   surface last agreed. A texture counts as drawn into when it is a colour attachment of the
//   framebuffer bound for drawing at a sync point, or when CGLSetIOSurfaceTextureRendered
//   says so. A read-back writes the surface under a write lock, so its seed moves and other
//   processes see a new frame.
//
// The sync points, each for the textures of the share group of the calling thread's current
// context: glFlushRenderAPPLE and glFinishRenderAPPLE (before the flush), CGLFlushDrawable
// and glSwapAPPLE (before the swap), CGLSyncIOSurfaceTextures; and IOSurfaceLock without
// kIOSurfaceLockAvoidSync, for the locked surface's textures only and read-back only (a
// thread without a current context syncs nothing there). Plain glFlush and glFinish are not
// sync points. Drawing done on another thread is read back once that thread has finished it
// (glFinishRenderAPPLE there, itself a sync point).
//
// The binding belongs to the texture object: it holds in every context of the share group,
// on every thread. It ends when the texture is deleted (noticed at the next sync point) or
// bound to another surface; the layer tags the texture with a debug label of its own
// ("IOSurface <n>") to notice a deleted name made again, so callers leave that label alone.
#pragma once

#include <IOSurface/IOSurfaceRef.h>
#include <OpenGL/OpenGL.h>

// Makes `surface` the storage of the texture bound to `target` (GL_TEXTURE_2D or
// GL_TEXTURE_RECTANGLE) in ctx, which is the calling thread's current context: level 0 gets
// `internal_format` and the surface's pixels, read as `format` and `type`. The size must be
// the surface's, a pixel of format and type its bytes per element, its rows a whole number of
// pixels; plane must be 0. Errors: kCGLBadContext when ctx is null or not current here;
// kCGLBadValue for any other unsuitable argument (a texture name of 0 included), the texture
// then unchanged. Pending GL errors of the context are cleared.
CGLError CGLTexImageIOSurface2D(CGLContextObj ctx, GLenum target, GLenum internal_format, GLsizei width,
                                GLsizei height, GLenum format, GLenum type, IOSurfaceRef surface, GLuint plane);

// Linux: the per-frame sync point. For every surface texture of the share group of ctx (the
// calling thread's current context), reads back what was drawn and uploads what the surface
// has newer (see above). kCGLBadContext when ctx is null or not current here.
CGLError CGLSyncIOSurfaceTextures(CGLContextObj ctx);

// Linux: says that `texture` (a surface texture of the share group of ctx, the current
// context) has been drawn into, so the next sync point reads it back; for drawing that is
// over by then (framebuffer unbound). kCGLBadContext when ctx is null or not current here,
// kCGLBadValue when the texture is not bound to a surface.
CGLError CGLSetIOSurfaceTextureRendered(CGLContextObj ctx, GLuint texture);
