// NSBitmapImageRep(RiradI), NSImage(RiradI): pixel sizes and the first bitmap of an image.
//
// Failed checks are reported through the debug log under the source
// "/Code/sdk/RiradI/CocoaFoundation/NSImage(RiradI)".
#pragma once

#include <AppKit/NSBitmapImageRep.h>
#include <AppKit/NSImage.h>
#include <Foundation/NSGeometry.h>

#include <memory>

namespace RiradI {

// (pixels wide, pixels high), whatever the size in points.
NSSize sizePixels(const NSBitmapImageRep &bitmap);

// The first representation that is a bitmap, or null.
std::shared_ptr<NSBitmapImageRep> firstBitmapImageRep(const NSImage &image);

// The pixel size of the image's first bitmap; (0, 0) and a report
// (" code : firstBitmapImageRep") when it has none.
NSSize sizePixels(const NSImage &image);

}  // namespace RiradI

bool import_NSImage_RiradI();
