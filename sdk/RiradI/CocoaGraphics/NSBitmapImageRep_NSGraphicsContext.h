// NSBitmapImageRep(category_NSGraphicsContext): any image rendered into a new bitmap of a
// chosen pixel size over a background colour (how pictures become texture pixels).
//
// The new bitmap is 8 bits a sample, R, G, B, A, alpha last and premultiplied, device RGB, the
// size truncated to whole pixels. Rendering: the whole bitmap is erased to opaque white, then
// filled with the background colour (replacing what is there, its alpha included), then the
// image's whole extent is drawn over it scaled to the bitmap (source over, full opacity).
// Without an image the bitmap is just filled with the colour, black when there is none.
//
// A background colour "nil" is an invalid QColor. Failed checks are reported through the
// debug log under "/Code/sdk/RiradI/CocoaGraphics/NSBitmapImageRep_NSGraphicsContext".
#pragma once

#include <AppKit/NSBitmapImageRep.h>
#include <AppKit/NSImage.h>
#include <Foundation/NSGeometry.h>

#include <QColor>

#include <memory>

namespace category_NSGraphicsContext {

// The image (or null) rendered as above. Null for a size that gives no whole pixel on a side
// (or more than 65535) and when the bitmap or its context cannot be made. An NSException
// raised while drawing is logged with NSLog and the bitmap made so far is answered.
std::shared_ptr<NSBitmapImageRep> bitmapImageRepWithImage(const NSImage *image, NSSize sizePixels,
                                                          const QColor &backgroundColor);
// The same over black.
std::shared_ptr<NSBitmapImageRep> bitmapImageRepWithImage(const NSImage *image, NSSize sizePixels);

// The bitmap wrapped in an image the size of its pixels, rendered as above. Null and a report
// (" code : image") for a null bitmap.
std::shared_ptr<NSBitmapImageRep> bitmapImageRepWithBitmap(const std::shared_ptr<NSBitmapImageRep> &bitmap,
                                                           NSSize sizePixels, const QColor &backgroundColor);

// A bitmap read back from the image's TIFF encoding (its first bitmap, encoded by Qt's TIFF
// writer): 8-bit R, G, B, A with straight alpha. Null for a null image, one without a bitmap
// or when the encoding or decoding fails.
std::shared_ptr<NSBitmapImageRep> bitmapImageRepFromImageTIFFData(const NSImage *image);

}  // namespace category_NSGraphicsContext

bool import_NSBitmapImageRep_NSGraphicsContext();
