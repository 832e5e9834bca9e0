// The reader of the window channel: a captured window image, whose pixels another process
// drew, decoded into the 44-byte packet. The first bytes choose the image's width and height
// (as multiples of the packet's 24 x 40 or anything small), its layout and a byte count for
// the size rule; the rest are its pixels. A packet read is always sound (size 44, its CRC),
// and a byte count the rule takes always has room for its bytes.
#include "FuzzSupport.h"

#include <FrameSharing/Window/CGImageDataWrapper.h>
#include <FrameSharing/Window/IOSurfaceSharingNSWindowServer.h>

#include <CoreFoundation/CFData.h>
#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGDataProvider.h>

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    lumora::fuzz::Input input(data, size);
    const uint8_t shape = input.byte();
    const uint8_t scale = uint8_t(1 + input.byte() % 3);
    const uint8_t layout = input.byte();
    const uint16_t count = input.u16();
    size_t width = 0, height = 0;
    if (CGImageDataWrapper::calculatedPixelSize(count, width, height)) {
        LUMORA_CHECK(height > 0 && width * height > count);
    } else {
        LUMORA_CHECK(width == 0 && height == 0);
    }
    // Mostly the packet's own size (at a scale), at times any small size.
    if (shape & 1) {
        width = 24 * scale, height = 40 * scale;
    } else {
        width = 1 + (shape >> 1) % 64, height = 1 + input.byte() % 96;
    }
    const std::string_view rest = input.rest();
    std::string pixels(width * height * 4, '\0');
    for (size_t i = 0; i < pixels.size() && !rest.empty(); ++i) pixels[i] = rest[i % rest.size()];
    CFDataRef bytes = CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(pixels.data()), CFIndex(pixels.size()));
    CGDataProviderRef provider = CGDataProviderCreateWithCFData(bytes);
    CFRelease(bytes);
    CGColorSpaceRef space = (layout & 4) ? CGColorSpaceCreateDeviceGray() : CGColorSpaceCreateDeviceRGB();
    const CGBitmapInfo infos[] = {kCGImageAlphaNoneSkipFirst | kCGBitmapByteOrder32Little,
                                  kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little,
                                  kCGImageAlphaPremultipliedLast, kCGImageAlphaNoneSkipLast};
    const bool grey = layout & 4;
    CGImageRef image = CGImageCreate(width, height, 8, grey ? 8 : 32, grey ? width : width * 4, space,
                                     grey ? CGBitmapInfo(kCGImageAlphaNone) : infos[layout % 4], provider, nullptr,
                                     false, kCGRenderingIntentDefault);
    CGColorSpaceRelease(space);
    CGDataProviderRelease(provider);
    if (image == nullptr) return 0;
    IOSurfaceMessagePacketBytes packet{};
    if (IOSurfaceSharingNSWindowDecodeImage(image, packet)) {
        LUMORA_CHECK(IOSurfaceMessagePacketIsValid(packet));
        LUMORA_CHECK(IOSurfaceMessagePacketDecode(packet).sizeofIOSurfaceMessagePacket == 44);
    } else {
        for (uint8_t b : packet) LUMORA_CHECK(b == 0);  // nothing half read is left behind
    }
    CGImageRelease(image);
    return 0;
}
