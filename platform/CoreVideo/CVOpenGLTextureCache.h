// OpenGL textures of image buffers, and the caches that make them.
//
// A cache belongs to one CGL context; its textures are rectangle textures
// (GL_TEXTURE_RECTANGLE) in that context's share group, with the image's first row in the
// texture's row 0, so they count as flipped. A pixel buffer on a surface of 4-byte pixels
// ('BGRA', 32-bit ARGB) gets a surface texture (CGLTexImageIOSurface2D: the texture follows
// the surface at the OpenGL layer's sync points); any other buffer is uploaded once, '2vuy'
// converted to RGB (ITU-R BT.601, video range) on the way. A texture keeps its image buffer.
// The GL texture of a released texture is deleted at the cache's next texture or flush, or
// when the cache ends, with the cache's context made current for the time.
#pragma once

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreVideo/CVPixelBuffer.h>
#include <CoreVideo/CVReturn.h>
#include <OpenGL/OpenGL.h>

typedef CVImageBufferRef CVOpenGLTextureRef;
typedef struct __CVOpenGLTextureCache *CVOpenGLTextureCacheRef;

CFTypeID CVOpenGLTextureGetTypeID(void);
CVOpenGLTextureRef CVOpenGLTextureRetain(CVOpenGLTextureRef texture);
void CVOpenGLTextureRelease(CVOpenGLTextureRef texture);
// The texture's target (GL_TEXTURE_RECTANGLE) and name; 0 for anything not a texture.
GLenum CVOpenGLTextureGetTarget(CVOpenGLTextureRef image);
GLuint CVOpenGLTextureGetName(CVOpenGLTextureRef image);
// Whether the image's top row is the texture's row 0 (always, for the cache's textures).
Boolean CVOpenGLTextureIsFlipped(CVOpenGLTextureRef image);

CFTypeID CVOpenGLTextureCacheGetTypeID(void);
// A cache for cglContext (retained, as is the pixel format). The attribute dictionaries are
// accepted and change nothing. kCVReturnInvalidArgument for a null context, pixel format or
// result pointer.
CVReturn CVOpenGLTextureCacheCreate(CFAllocatorRef allocator, CFDictionaryRef cacheAttributes,
                                    CGLContextObj cglContext, CGLPixelFormatObj cglPixelFormat,
                                    CFDictionaryRef textureAttributes, CVOpenGLTextureCacheRef *cacheOut);
CVOpenGLTextureCacheRef CVOpenGLTextureCacheRetain(CVOpenGLTextureCacheRef textureCache);
void CVOpenGLTextureCacheRelease(CVOpenGLTextureCacheRef textureCache);
// A new texture (released by the caller) of the pixel buffer's pixels, made on the cache's
// context (made current for the call when another context is). kCVReturnInvalidArgument for
// a null cache, result pointer or image that is not a pixel buffer; the errors of making the
// context current (kCVReturnError); kCVReturnAllocationFailed when GL refuses the texture.
CVReturn CVOpenGLTextureCacheCreateTextureFromImage(CFAllocatorRef allocator, CVOpenGLTextureCacheRef textureCache,
                                                    CVImageBufferRef sourceImage, CFDictionaryRef attributes,
                                                    CVOpenGLTextureRef *textureOut);
// Deletes the GL textures of the textures released so far. The options change nothing.
void CVOpenGLTextureCacheFlush(CVOpenGLTextureCacheRef textureCache, CVOptionFlags options);
