// CGL drawables other than windows: pixel buffers and offscreen memory (included by OpenGL.h).
//
// A pixel buffer is a texture image of its own (2D, rectangle or cube map, RGB or RGBA, with
// mipmap levels up to its maximum level) and, per face and level that a context draws into,
// a framebuffer object with that image as its colour and a 24-bit depth render buffer. The
// GL objects are made the first time a context uses the pixel buffer (CGLSetPBuffer followed
// by making the context current, or CGLTexImagePBuffer), in that context's share group, and
// only contexts of that share group can use it afterwards (others get kCGLBadMatch). They
// are deleted with the pixel buffer.
//
// A context with a pixel buffer or offscreen memory attached draws into it: on each thread
// the attached drawable's framebuffer object is bound (draw and read) and the viewport set to
// its size the first time the context is made current there after the attachment changed;
// on the calling thread at once when the context is current on it. Binding framebuffer 0
// afterwards draws nowhere useful (it is no longer "the drawable"), so code that renders into
// framebuffer objects saves and restores the binding it found.
#pragma once

typedef struct _CGLPBufferObject *CGLPBufferObj;

// Pixel buffers. Width and height 1 to 16384 (a cube map square), target GL_TEXTURE_2D,
// GL_TEXTURE_RECTANGLE_EXT or GL_TEXTURE_CUBE_MAP, internal format GL_RGB or GL_RGBA, max
// level 0 for rectangles and at most log2 of the larger side otherwise: kCGLBadValue when
// one of these does not hold, kCGLBadAddress for a null result pointer.
CGLError CGLCreatePBuffer(GLsizei width, GLsizei height, GLenum target, GLenum internalFormat, GLint max_level,
                          CGLPBufferObj *pbuffer);
CGLPBufferObj CGLRetainPBuffer(CGLPBufferObj pbuffer);
void CGLReleasePBuffer(CGLPBufferObj pbuffer);
// Releases the caller's reference (the same as CGLReleasePBuffer).
CGLError CGLDestroyPBuffer(CGLPBufferObj pbuffer);
GLuint CGLGetPBufferRetainCount(CGLPBufferObj pbuffer);
// Any of the out pointers may be null.
CGLError CGLDescribePBuffer(CGLPBufferObj obj, GLsizei *width, GLsizei *height, GLenum *target,
                            GLenum *internalFormat, GLint *mipmap);

// Makes `pbuffer` the drawable of `ctx` (the context holds a reference): the given cube-map
// face (0 for other targets, GL_TEXTURE_CUBE_MAP_POSITIVE_X... for cube maps) and mipmap level
// of the pixel buffer's image on virtual screen `screen` (always 0). kCGLBadValue for a
// face, level or screen out of range, kCGLBadMatch when the pixel buffer's objects belong to
// another share group. Replaces an earlier pixel buffer or offscreen memory.
CGLError CGLSetPBuffer(CGLContextObj ctx, CGLPBufferObj pbuffer, GLenum face, GLint level, GLint screen);
// The attached pixel buffer (borrowed; null when none) and its face, level and screen.
CGLError CGLGetPBuffer(CGLContextObj ctx, CGLPBufferObj *pbuffer, GLenum *face, GLint *level, GLint *screen);
// The texture bound to the pixel buffer's target in `ctx` takes a copy of the pixel buffer's
// current image (level 0; every face of a cube map) in the pixel buffer's internal format
// and size. `source` names the colour buffer: GL_FRONT, GL_BACK, GL_FRONT_LEFT or
// GL_BACK_LEFT (a pixel buffer has one). `ctx` is made current on the calling thread for the
// call when it is not; the caller's context is current again afterwards. The drawing to be
// copied must have been flushed by the context that drew it. kCGLBadValue for another
// source, kCGLBadMatch for a pixel buffer of another share group or a GL error of the copy.
CGLError CGLTexImagePBuffer(CGLContextObj ctx, CGLPBufferObj pbuffer, GLenum source);

// Makes `rowbytes` x `height` bytes at `baseaddr` the drawable of `ctx`: a `width` x `height`
// image of 32-bit pixels, bytes B, G, R, A (little-endian ARGB), the top row first. The
// context draws into a framebuffer object of that size, whose pixels are copied into the
// memory by CGLFlushDrawable (and glSwapAPPLE) with the context current. kCGLBadValue for a
// size outside 1 to 16384 or rows shorter than width x 4 bytes, kCGLBadAddress for null
// memory. The memory must stay valid while attached.
CGLError CGLSetOffScreen(CGLContextObj ctx, GLsizei width, GLsizei height, GLint rowbytes, void *baseaddr);
// Detaches the context's pixel buffer or offscreen memory (not its window); after it the
// context draws into framebuffer 0 again.
CGLError CGLClearDrawable(CGLContextObj ctx);
