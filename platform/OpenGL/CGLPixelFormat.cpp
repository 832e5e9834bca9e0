#include <OpenGL/CGLPixelFormatInternal.h>

#include <OpenGL/CGDirectDisplay.h>
#include <OpenGL/CGLDisplayInternal.h>

namespace {

// The mask bit of the one OpenGL display.
GLint DisplayMaskBit() { return static_cast<GLint>(CGDisplayIDToOpenGLDisplayMask(CGMainDisplayID())); }

CGLError Parse(const CGLPixelFormatAttribute *attribs, _CGLPixelFormatObject &format) {
    if (attribs == nullptr) return kCGLNoError;
    for (const CGLPixelFormatAttribute *at = attribs; *at != 0; ++at) {
        switch (*at) {
        case kCGLPFADoubleBuffer:
            format.mDoubleBuffer = true;
            break;
        // Nothing to choose between on Linux: one renderer (Mesa) that never falls back,
        // and window surfaces that keep their back buffer. Pixel buffers are framebuffer
        // objects, which every context has, and so is offscreen memory.
        case kCGLPFANoRecovery:
        case kCGLPFAOffScreen:
        case kCGLPFAAccelerated:
        case kCGLPFABackingStore:
        case kCGLPFAPBuffer:
            break;
        case kCGLPFAColorSize:
        case kCGLPFAAlphaSize:
        case kCGLPFADepthSize:
        case kCGLPFADisplayMask: {
            const CGLPixelFormatAttribute name = *at;
            const GLint value = *++at;
            if (name == kCGLPFADisplayMask) {
                if ((value & DisplayMaskBit()) == 0) return kCGLBadDisplay;
                break;
            }
            if (value < 0) return kCGLBadValue;
            (name == kCGLPFAColorSize ? format.mColorSize : name == kCGLPFAAlphaSize ? format.mAlphaSize
                                                                                    : format.mDepthSize) = value;
            break;
        }
        default:
            return kCGLBadAttribute;
        }
    }
    return kCGLNoError;
}

}  // namespace

CGLError CGLChoosePixelFormat(const CGLPixelFormatAttribute *attribs, CGLPixelFormatObj *pix, GLint *npix) {
    if (pix == nullptr) return kCGLBadAddress;
    *pix = nullptr;
    if (npix != nullptr) *npix = 0;
    auto *format = new _CGLPixelFormatObject;
    if (const CGLError error = Parse(attribs, *format); error != kCGLNoError) {
        delete format;
        return error;
    }
    if (cgl::DisplayFor("CGLChoosePixelFormat") == nullptr) {
        delete format;
        return kCGLBadConnection;
    }
    *pix = format;
    if (npix != nullptr) *npix = 1;
    return kCGLNoError;
}

CGLPixelFormatObj CGLRetainPixelFormat(CGLPixelFormatObj pix) {
    if (pix != nullptr) pix->mRetainCount.fetch_add(1, std::memory_order_relaxed);
    return pix;
}

void CGLReleasePixelFormat(CGLPixelFormatObj pix) {
    if (pix != nullptr && pix->mRetainCount.fetch_sub(1, std::memory_order_acq_rel) == 1) delete pix;
}

CGLError CGLDestroyPixelFormat(CGLPixelFormatObj pix) {
    if (pix == nullptr) return kCGLBadPixelFormat;
    CGLReleasePixelFormat(pix);
    return kCGLNoError;
}

GLuint CGLGetPixelFormatRetainCount(CGLPixelFormatObj pix) {
    return pix != nullptr ? pix->mRetainCount.load(std::memory_order_relaxed) : 0;
}
