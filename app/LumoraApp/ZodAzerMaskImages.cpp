#include "ZodAzerMaskImages.h"

#include <CocoaGraphics/NSCGMaskContextBase.h>
#include <CoreFoundation/CFData.h>
#include <CoreG/Masks/namespace_CoreGraphics_MaskContext.h>

#include <bit>
#include <cstdint>
#include <vector>

namespace ZodAzerMaskImages {

namespace {
// The largest side taken (the masks here are 640 x 480).
constexpr size_t kMaximumSide = 16384;
static_assert(std::endian::native == std::endian::little, "B, G, R, A bytes are written as one 32-bit word");
}  // namespace

CIImageRef imageOfGreyBytes(const uint8_t *bytes, size_t width, size_t height, size_t rowBytes) {
    if (bytes == nullptr || width == 0 || height == 0 || rowBytes < width) return nullptr;
    if (width > kMaximumSide || height > kMaximumSide) return nullptr;
    // Opaque B, G, R, A pixels of the grey: the form a render uploads as it is, where a grey
    // CGImage would be converted by Quartz at every render of every frame.
    const size_t outRowBytes = width * 4;
    std::vector<uint32_t> pixels(width * height);
    for (size_t y = 0; y < height; ++y) {
        const uint8_t *in = bytes + y * rowBytes;
        uint32_t *out = pixels.data() + y * width;
        for (size_t x = 0; x < width; ++x) out[x] = 0xFF000000u | uint32_t(in[x]) * 0x010101u;
    }
    CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(pixels.data()),
                                  CFIndex(pixels.size() * sizeof(uint32_t)));
    if (data == nullptr) return nullptr;
    CIImageRef result = CIImage::imageWithBitmapData(data, outRowBytes, CGSizeMake(double(width), double(height)),
                                                     kCIFormatBGRA8);
    CFRelease(data);
    return result;
}

CIImageRef imageOfMask(CoreGraphics::MaskContext *mask) {
    if (mask == nullptr || mask->mImageDataBytes == nullptr) return nullptr;
    mask->WillAccessPixels();
    return imageOfGreyBytes(mask->mImageDataBytes, mask->mImageWidth, mask->mImageHeight, mask->mImageRowBytes);
}

CIImageRef imageOfMaskContext(NSCGMaskContextBase *maskContext) {
    if (maskContext == nullptr) return nullptr;
    return imageOfMask(&maskContext->mask());
}

}  // namespace ZodAzerMaskImages

bool import_ZodAzerMaskImages() { return import_NSCGMaskContextBase() && import_namespace_CoreGraphics_MaskContext(); }
