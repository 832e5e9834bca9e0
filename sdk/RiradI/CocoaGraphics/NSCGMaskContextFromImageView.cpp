#include "NSCGMaskContextFromImageView.h"

#include <AppKit/NSImageView.h>
#include <CocoaFoundation/NSImage_RiradI.h>

#include <CoreX/CoreMachDebugLog.h>

namespace {
constexpr const char *kFile = "/Code/sdk/RiradI/CocoaGraphics/NSCGMaskContextFromImageView";
}

NSCGMaskContextFromImageView::NSCGMaskContextFromImageView(NSImageView *imageView, unsigned maskWidth,
                                                           unsigned maskHeight, QObject *parent)
    : NSCGMaskContextBase(maskWidth, maskHeight, parent), _imageView(imageView) {
    maskUpdate();
}

NSCGMaskContextFromImageView::~NSCGMaskContextFromImageView() = default;

NSImageView *NSCGMaskContextFromImageView::imageView() const { return static_cast<NSImageView *>(_imageView.data()); }

void NSCGMaskContextFromImageView::setImageView(NSImageView *imageView) {
    if (imageView == this->imageView()) return;
    _imageView = imageView;
}

bool NSCGMaskContextFromImageView::maskUpdate() {
    static constexpr const char *kFunction = "-[NSCGMaskContextFromImageView maskUpdate]";
    NSImageView *view = imageView();
    if (view == nullptr) return false;
    const std::shared_ptr<NSImage> image = view->image();
    if (!image) return false;
    const std::shared_ptr<NSBitmapImageRep> bitmapImageRep = RiradI::firstBitmapImageRep(*image);
    if (!bitmapImageRep) {
        _CoreMachDebugVerifyBody(kFunction, kFile, 65, " code : bitmapImageRep");
        return false;
    }
    const bool updated = maskUpdateFromBitmapData(bitmapImageRep.get());
    if (!updated) _CoreMachDebugVerifyBody(kFunction, kFile, 67, " code : maskUpdateFromBitmapData(bitmapImageRep)");
    return updated;
}

bool import_NSCGMaskContextFromImageView() { return import_NSCGMaskContextBase(); }
