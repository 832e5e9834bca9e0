// Image sources over arbitrary bytes: the count, then the image decoded; an image that comes
// out has a sane size and a provider holding all of its rows.
#include "FuzzSupport.h"

#include <ImageIO/ImageIO.h>

#include <CoreGraphics/CGDataProvider.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    CFDataRef bytes = CFDataCreate(nullptr, data, CFIndex(size));
    CGImageSourceRef source = CGImageSourceCreateWithData(bytes, nullptr);
    CFRelease(bytes);
    LUMORA_CHECK(source != nullptr);
    const size_t count = CGImageSourceGetCount(source);
    LUMORA_CHECK(count <= 1);
    CGImageRef image = CGImageSourceCreateImageAtIndex(source, 0, nullptr);
    LUMORA_CHECK(count == 1 || image == nullptr);
    if (image != nullptr) {
        const size_t width = CGImageGetWidth(image), height = CGImageGetHeight(image);
        LUMORA_CHECK(width > 0 && height > 0 && width <= 16384 && height <= 16384);
        LUMORA_CHECK(CGImageGetBytesPerRow(image) == width * 4);
        CFDataRef pixels = CGDataProviderCopyData(CGImageGetDataProvider(image));
        LUMORA_CHECK(pixels != nullptr && size_t(CFDataGetLength(pixels)) == width * 4 * height);
        CFRelease(pixels);
        CGImageRelease(image);
    }
    LUMORA_CHECK(CGImageSourceCreateImageAtIndex(source, 1, nullptr) == nullptr);
    CFRelease(source);
    return 0;
}
