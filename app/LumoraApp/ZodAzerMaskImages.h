// ZodAzerMaskImages: the tint stage's masks as Core Image images. The mask headers bring the
// QuickDraw world, whose QPoint clashes with Qt's, so the stage's widget classes reach the
// masks through these functions (implemented in a file free of Qt).
//
// Every image is of a copy of the mask's bytes, as opaque grey B, G, R, A pixels (the first row
// the top of the picture, the extent (0, 0, width, height)): a mask that changes or goes later
// never changes or breaks an image handed out, and a render uploads it as it is.
#pragma once

#include <CoreImage/CIImage.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace CoreGraphics {
class MaskContext;
}
class NSCGMaskContextBase;

namespace ZodAzerMaskImages {

// Null when the width or height is 0 or above 16384, rows are shorter than the width, or the
// image cannot be made. The bytes hold rowBytes x height values.
CIImageRef imageOfGreyBytes(const uint8_t *bytes, size_t width, size_t height, size_t rowBytes);
// The mask's bytes; null for a null mask or one without size or pixel memory.
CIImageRef imageOfMask(CoreGraphics::MaskContext *mask);
// imageOfMask of the mask context's mask; null for a null context.
CIImageRef imageOfMaskContext(NSCGMaskContextBase *maskContext);

}  // namespace ZodAzerMaskImages

bool import_ZodAzerMaskImages();
