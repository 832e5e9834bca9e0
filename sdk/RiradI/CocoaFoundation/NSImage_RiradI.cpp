#include "NSImage_RiradI.h"

#include <CoreX/CoreMachDebugLog.h>

namespace RiradI {

namespace {
constexpr const char *kFile = "/Code/sdk/RiradI/CocoaFoundation/NSImage(RiradI)";
}

NSSize sizePixels(const NSBitmapImageRep &bitmap) {
    return NSSize{double(bitmap.pixelsWide()), double(bitmap.pixelsHigh())};
}

std::shared_ptr<NSBitmapImageRep> firstBitmapImageRep(const NSImage &image) {
    // Every representation is a bitmap.
    const auto &representations = image.representations();
    return representations.empty() ? nullptr : representations.front();
}

NSSize sizePixels(const NSImage &image) {
    const std::shared_ptr<NSBitmapImageRep> bitmap = firstBitmapImageRep(image);
    if (!bitmap) {
        _CoreMachDebugVerifyBody("-[NSImage(RiradI) sizePixels]", kFile, 63, " code : firstBitmapImageRep");
        return NSSize{0, 0};
    }
    return sizePixels(*bitmap);
}

}  // namespace RiradI

bool import_NSImage_RiradI() { return import_CoreMachDebugLog(); }
