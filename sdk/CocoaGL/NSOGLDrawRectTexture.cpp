#include <CocoaGL/NSOGLDrawRectTexture.h>

#include <CoreX/CoreMachDebugLog.h>

#include <AppKit/NSBitmapImageRep.h>
#include <AppKit/NSGraphicsContext.h>
#include <CoreGraphics/CGContext.h>

#include <memory>

void NSOGLDrawRectTexture::drawRect(CGRect rect) {
    const auto context = NSGraphicsContext::currentContext();
    if (context == nullptr || context->graphicsPort() == nullptr) return;
    CGContextClearRect(context->graphicsPort(), rect);
}

namespace {

// The current graphics context of the thread saved, `context` made current; the saved one
// current again at the end of the scope, also when drawing throws.
class FocusScope {
public:
    explicit FocusScope(std::shared_ptr<NSGraphicsContext> context) {
        NSGraphicsContext::saveGraphicsState();
        NSGraphicsContext::setCurrentContext(std::move(context));
    }
    ~FocusScope() { NSGraphicsContext::restoreGraphicsState(); }
    FocusScope(const FocusScope &) = delete;
    FocusScope &operator=(const FocusScope &) = delete;
};

// Clears the dirty flag when the update ends, however it ends.
class ClearDirty {
public:
    explicit ClearDirty(NSOGLTextureBase &texture) : mTexture(texture) {}
    ~ClearDirty() { mTexture.setDirty(false); }
    ClearDirty(const ClearDirty &) = delete;
    ClearDirty &operator=(const ClearDirty &) = delete;

private:
    NSOGLTextureBase &mTexture;
};

}  // namespace

bool NSOGLDrawRectTexture::textureUpdate() {
    const ClearDirty clearDirty(*this);
    const NSSize size = textureSize();
    // The picture: 8-bit R, G, B, A, premultiplied, transparent; the layout the bitmap upload
    // reads.
    const std::shared_ptr<NSBitmapImageRep> image =
        NSBitmapImageRep::initWithBitmapDataPlanes(nullptr, long(size.width), long(size.height), 8, 4, true, false,
                                                   NSDeviceRGBColorSpace, NSBitmapFormat(0), 0, 0);
    if (!VERIFY(image)) return false;
    const auto focus = NSGraphicsContext::graphicsContextWithBitmapImageRep(image);
    if (!VERIFY(focus)) return false;
    {
        const FocusScope scope(focus);
        drawRect(CGRectMake(0, 0, CGFloat(image->pixelsWide()), CGFloat(image->pixelsHigh())));
    }
    focus->flushGraphics();
    return textureUpdateFromBitmapData(image);
}

bool import_NSOGLDrawRectTexture() { return import_NSOGLTextureBase() && import_CoreMachDebugLog(); }
