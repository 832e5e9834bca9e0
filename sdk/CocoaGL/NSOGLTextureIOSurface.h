// NSOGLTextureIOSurface: a rectangle texture whose storage is an IOSurface.
//
// Frames that cross threads, contexts and processes live in IOSurfaces of one pixel format
// ('BGRA', 4 bytes per element). The texture binds its surface as storage when its texture
// object is made (CGLTexImageIOSurface2D), so drawing the texture shows the surface and
// rendering into it (NSOGLTextureIOSurfaceFBO) reaches the surface's memory at the OpenGL
// layer's sync points (flush, finish, a CPU lock of the surface). It also makes surfaces,
// fills a surface with a byte, and hands the surface out retained. The CGContextTexture part
// turns the surface into a CGImage, by copying its pixels or by keeping it locked read-only
// for the image's life.
//
//     auto texture = NSOGLTextureIOSurface::textureWithIOSurface(surface);
//
// The surface reference is read and replaced under the object's own lock, so a renderer may
// swap surfaces while another thread takes surfaceCopy(). GL work uses the CGL context
// current on the calling thread.
#pragma once

#include <CocoaGL/NSOGLTextureBase.h>

#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFString.h>
#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGImage.h>
#include <IOSurface/IOSurfaceRef.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class NSOGLTextureIOSurface : public NSOGLTextureBase {
public:
    // ---- The surface format --------------------------------------------------------------

    // 'BGRA'.
    static OSType surfaceCVPixelBufferPixelFormatType();
    // 4.
    static uint32_t surfaceCVPixelBufferPixelFormatTypeBytesPerElement();
    // GL_RGBA, GL_BGRA and GL_UNSIGNED_INT_8_8_8_8_REV: how the texture reads its surface.
    static GLenum textureTexImageIOSurface2D_internal_format();
    static GLenum textureTexImageIOSurface2D_format();
    static GLenum textureTexImageIOSurface2D_type();

    // ---- Surfaces ------------------------------------------------------------------------

    // A new mutable dictionary {kIOSurfacePixelFormat, kIOSurfaceBytesPerElement} of the
    // format above, owned by the caller; null when it cannot be made.
    static CFMutableDictionaryRef surfaceProperties();
    // A new surface of the format and size, global (found by its id from other processes)
    // when asked; owned by the caller (CFRelease), null when it cannot be made.
    static IOSurfaceRef surfaceWithSurfaceWidth(uint32_t width, uint32_t height, bool globalShared);
    // The same, not global.
    static IOSurfaceRef surfaceWithSurfaceWidth(uint32_t width, uint32_t height);

    // ---- Textures ------------------------------------------------------------------------

    // A texture on the surface without use-count management; null for a null surface.
    static std::shared_ptr<NSOGLTextureIOSurface> textureWithIOSurface(IOSurfaceRef surface);
    // A texture on the surface that raises the surface's use count while it holds it.
    static std::shared_ptr<NSOGLTextureIOSurface> copyTextureWithIOSurfaceWithManagedUseCount(IOSurfaceRef surface);

    // Holds no surface and no texture object: call an initialiser.
    NSOGLTextureIOSurface();
    // Gives up the surface (setSurface(null)), then the base releases the texture.
    ~NSOGLTextureIOSurface() override;

    // Stores (retains) the surface, then makes a GL_TEXTURE_RECTANGLE_EXT texture of the
    // surface's size on the current context with the surface as its storage. A null surface
    // leaves the object as it is, with no texture and no surface.
    void initWithIOSurface(IOSurfaceRef surface);
    // Sets the use-count switch first, then initWithIOSurface.
    void initWithIOSurface(IOSurfaceRef surface, bool manageUseCount);

    // The base's properties, then textureUpdateWithSurface (the texture is bound).
    void initTextureProperties() override;
    // Binds the surface as the storage of the texture bound to the target, on the context
    // current on the calling thread (level 0, plane 0, the format above). False without a
    // surface or current context, or when the layer refuses the surface.
    virtual bool textureUpdateWithSurface();
    // Clears the dirty flag: the surface is the storage, nothing is uploaded.
    bool textureUpdate() override;
    using NSOGLTextureBase::textureUpdate;

    // Replaces the surface (null gives it up). The new surface is retained (and its use count
    // raised when the switch is on) before the old one is let go, so setting the surface the
    // texture already holds is safe. The texture object is not re-bound.
    void setSurface(IOSurfaceRef surface);
    // The surface, not retained (null when none).
    IOSurfaceRef surface() const;
    // The surface retained for the caller (CFRelease); null when none.
    IOSurfaceRef surfaceCopy() const;
    bool manageSurfaceUseCount() const { return mManageSurfaceUseCount; }

    // Fills the surface's whole allocation (row padding included) with the byte under a
    // write lock. False without a surface, when the lock fails or the surface has no memory.
    // The sync flag changes nothing (the lock is always a plain write lock).
    bool setSurfacePixelsValue(uint8_t value, bool withSyncLock);
    // setSurfacePixelsValue(value, false).
    bool setSurfacePixelsInitialValue(uint8_t value);

    // "NSOGLTextureIOSurface{<surface as hex>,manageUseCount:<0|1> {<base description>}}".
    std::string description() const override;

    // ---- CGContextTexture: images of the surface -----------------------------------------
    //
    // Each answers a CGImage owned by the caller, or null: 8 bits per component, 32 bits per
    // pixel, the surface's width, height and row bytes, interpolation on, the default
    // intent. Layout from the surface's pixel format: 'BGRA' premultiplied alpha first in
    // 32-bit little-endian order; 32 (k32ARGBPixelFormat) premultiplied alpha first,
    // big-endian; anything else alpha skipped last.

    // With the colour space of the name (null when there is no such space).
    CGImageRef createSurfaceImageByCopyingPixelsWithColorSpaceName(CFStringRef colorSpaceName) const;
    CGImageRef createSurfaceImageLockingSurfaceWithColorSpaceName(CFStringRef colorSpaceName) const;
    // A copy of the surface's pixels, read under a read-only lock.
    CGImageRef createSurfaceImageByCopyingPixelsWithColorSpace(CGColorSpaceRef colorSpace) const;
    // An image over the surface's memory itself: the surface stays locked read-only (and
    // retained) until the image goes, so writers must not lock it for writing meanwhile.
    CGImageRef createSurfaceImageLockingSurfaceWithColorSpace(CGColorSpaceRef colorSpace) const;

private:
    mutable std::recursive_mutex mSurfaceLock;  // guards mSurface
    IOSurfaceRef mSurface = nullptr;            // retained
    bool mManageSurfaceUseCount = false;
};

bool import_NSOGLTextureIOSurface();
