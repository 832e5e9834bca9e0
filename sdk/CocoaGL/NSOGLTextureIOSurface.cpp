#include "NSOGLTextureIOSurface.h"

#include "UIOSurfaceAPI.h"

#include <CoreFoundation/CFNumber.h>
#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>
#include <IOSurface/IOSurface.h>
#include <OpenGL/CGLIOSurface.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

constexpr OSType kBGRAPixelFormat = 0x42475241u;  // 'BGRA'

// Sets an integer number under a key.
void SetNumber(CFMutableDictionaryRef dictionary, CFStringRef key, int32_t value) {
    CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &value);
    if (number == nullptr) return;
    CFDictionarySetValue(dictionary, key, number);
    CFRelease(number);
}

}  // namespace

// ---- the surface format -------------------------------------------------------------------

OSType NSOGLTextureIOSurface::surfaceCVPixelBufferPixelFormatType() { return kBGRAPixelFormat; }

uint32_t NSOGLTextureIOSurface::surfaceCVPixelBufferPixelFormatTypeBytesPerElement() { return 4; }

GLenum NSOGLTextureIOSurface::textureTexImageIOSurface2D_internal_format() { return GL_RGBA; }

GLenum NSOGLTextureIOSurface::textureTexImageIOSurface2D_format() { return GL_BGRA; }

GLenum NSOGLTextureIOSurface::textureTexImageIOSurface2D_type() { return GL_UNSIGNED_INT_8_8_8_8_REV; }

// ---- surfaces -----------------------------------------------------------------------------

CFMutableDictionaryRef NSOGLTextureIOSurface::surfaceProperties() {
    CFMutableDictionaryRef properties = CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                                                  &kCFTypeDictionaryValueCallBacks);
    if (properties == nullptr) return nullptr;
    SetNumber(properties, kIOSurfacePixelFormat, static_cast<int32_t>(surfaceCVPixelBufferPixelFormatType()));
    SetNumber(properties, kIOSurfaceBytesPerElement,
              static_cast<int32_t>(surfaceCVPixelBufferPixelFormatTypeBytesPerElement()));
    return properties;
}

IOSurfaceRef NSOGLTextureIOSurface::surfaceWithSurfaceWidth(uint32_t width, uint32_t height, bool globalShared) {
    CFMutableDictionaryRef properties = surfaceProperties();
    if (properties == nullptr) return nullptr;
    SetNumber(properties, kIOSurfaceWidth, static_cast<int32_t>(width));
    SetNumber(properties, kIOSurfaceHeight, static_cast<int32_t>(height));
    CFDictionarySetValue(properties, kIOSurfaceIsGlobal, globalShared ? kCFBooleanTrue : kCFBooleanFalse);
    IOSurfaceRef surface = IOSurfaceCreate(properties);
    CFRelease(properties);
    return surface;
}

IOSurfaceRef NSOGLTextureIOSurface::surfaceWithSurfaceWidth(uint32_t width, uint32_t height) {
    return surfaceWithSurfaceWidth(width, height, false);
}

// ---- textures -----------------------------------------------------------------------------

std::shared_ptr<NSOGLTextureIOSurface> NSOGLTextureIOSurface::textureWithIOSurface(IOSurfaceRef surface) {
    if (surface == nullptr) return nullptr;
    auto texture = std::make_shared<NSOGLTextureIOSurface>();
    texture->initWithIOSurface(surface, false);
    return texture;
}

std::shared_ptr<NSOGLTextureIOSurface>
NSOGLTextureIOSurface::copyTextureWithIOSurfaceWithManagedUseCount(IOSurfaceRef surface) {
    if (surface == nullptr) return nullptr;
    auto texture = std::make_shared<NSOGLTextureIOSurface>();
    texture->initWithIOSurface(surface, true);
    return texture;
}

NSOGLTextureIOSurface::NSOGLTextureIOSurface() = default;

NSOGLTextureIOSurface::~NSOGLTextureIOSurface() { setSurface(nullptr); }

void NSOGLTextureIOSurface::initWithIOSurface(IOSurfaceRef surface) {
    if (surface == nullptr) return;
    setSurface(surface);
    initWithTextureTarget(GL_TEXTURE_RECTANGLE_EXT, static_cast<GLuint>(IOSurfaceGetWidth(surface)),
                          static_cast<GLuint>(IOSurfaceGetHeight(surface)));
}

void NSOGLTextureIOSurface::initWithIOSurface(IOSurfaceRef surface, bool manageUseCount) {
    mManageSurfaceUseCount = manageUseCount;
    initWithIOSurface(surface);
}

void NSOGLTextureIOSurface::initTextureProperties() {
    NSOGLTextureBase::initTextureProperties();
    textureUpdateWithSurface();
}

bool NSOGLTextureIOSurface::textureUpdateWithSurface() {
    IOSurfaceRef surface = surfaceCopy();
    if (surface == nullptr) return false;
    bool bound = false;
    if (CGLContextObj context = CGLGetCurrentContext(); context != nullptr) {
        bound = CGLTexImageIOSurface2D(context, textureTarget(), textureTexImageIOSurface2D_internal_format(),
                                       static_cast<GLsizei>(textureWidth()), static_cast<GLsizei>(textureHeight()),
                                       textureTexImageIOSurface2D_format(), textureTexImageIOSurface2D_type(),
                                       surface, 0) == kCGLNoError;
        OpenGL::DiscardGLErrors();
    }
    CFRelease(surface);
    return bound;
}

bool NSOGLTextureIOSurface::textureUpdate() {
    setTextureUpdateNeeded(false);
    return true;
}

void NSOGLTextureIOSurface::setSurface(IOSurfaceRef surface) {
    std::lock_guard<std::recursive_mutex> lock(mSurfaceLock);
    // The new surface is taken before the old one is let go: they may be the same.
    if (surface != nullptr) {
        CFRetain(surface);
        if (mManageSurfaceUseCount) UIOSurfaceAPI::surfaceIncrementUseCount(surface);
    }
    IOSurfaceRef old = mSurface;
    mSurface = surface;
    if (old != nullptr) {
        if (mManageSurfaceUseCount) UIOSurfaceAPI::surfaceDecrementUseCount(old);
        CFRelease(old);
    }
}

IOSurfaceRef NSOGLTextureIOSurface::surface() const {
    std::lock_guard<std::recursive_mutex> lock(mSurfaceLock);
    return mSurface;
}

IOSurfaceRef NSOGLTextureIOSurface::surfaceCopy() const {
    std::lock_guard<std::recursive_mutex> lock(mSurfaceLock);
    if (mSurface != nullptr) CFRetain(mSurface);
    return mSurface;
}

bool NSOGLTextureIOSurface::setSurfacePixelsValue(uint8_t value, bool /*withSyncLock*/) {
    IOSurfaceRef surface = surfaceCopy();
    if (surface == nullptr) return false;
    bool filled = false;
    if (IOSurfaceLock(surface, 0, nullptr) == kIOReturnSuccess) {
        if (void *base = IOSurfaceGetBaseAddress(surface); base != nullptr) {
            std::memset(base, value, IOSurfaceGetAllocSize(surface));
            filled = true;
        }
        IOSurfaceUnlock(surface, 0, nullptr);
    }
    CFRelease(surface);
    return filled;
}

bool NSOGLTextureIOSurface::setSurfacePixelsInitialValue(uint8_t value) { return setSurfacePixelsValue(value, false); }

std::string NSOGLTextureIOSurface::description() const {
    char head[96];
    std::snprintf(head, sizeof head, "NSOGLTextureIOSurface{%" PRIxPTR ",manageUseCount:%d {",
                  reinterpret_cast<uintptr_t>(surface()), mManageSurfaceUseCount ? 1 : 0);
    return head + NSOGLTextureBase::description() + "}}";
}

bool import_NSOGLTextureIOSurface() { return import_NSOGLTextureBase() && import_UIOSurfaceAPI(); }
