// Images drawn into a frame by Core Image: placed at a point of the bottom-up bitmap,
// flipped or not, from an image, a pixel buffer and a surface, byte for byte.
#include <VDig/UVideoFrameBuffer_CoreImageContext.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace UVideoFrameBuffer;

using Pixel = std::vector<UInt8>;  // A R G B
const Pixel kRed = {255, 255, 0, 0}, kGreen = {255, 0, 255, 0}, kBlue = {255, 0, 0, 255}, kWhite = {255, 255, 255, 255};

Pixel At(const Data &frame, SInt32 x, SInt32 memoryRow) {
    const UInt8 *p = frame.GetPixelAtPoint(x, memoryRow);
    return Pixel(p, p + 4);
}

// Two rows, top first: red green / blue white, in ARGB or BGRA bytes.
std::vector<UInt8> Picture(bool bgra) {
    std::vector<UInt8> bytes;
    for (const Pixel &p : {kRed, kGreen, kBlue, kWhite}) {
        if (bgra)
            bytes.insert(bytes.end(), {p[3], p[2], p[1], p[0]});
        else
            bytes.insert(bytes.end(), p.begin(), p.end());
    }
    return bytes;
}

IOSurfaceRef NewBGRASurface() {
    CFMutableDictionaryRef properties = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                                  &kCFTypeDictionaryValueCallBacks);
    const int values[] = {2, 2, 4, 8, int(kPixelFormat_BGRA)};
    const CFStringRef keys[] = {kIOSurfaceWidth, kIOSurfaceHeight, kIOSurfaceBytesPerElement, kIOSurfaceBytesPerRow,
                                kIOSurfacePixelFormat};
    for (int i = 0; i < 5; ++i) {
        CFNumberRef number = CFNumberCreate(nullptr, kCFNumberIntType, &values[i]);
        CFDictionarySetValue(properties, keys[i], number);
        CFRelease(number);
    }
    IOSurfaceRef surface = IOSurfaceCreate(properties);
    CFRelease(properties);
    if (surface == nullptr) return nullptr;
    IOSurfaceLock(surface, 0, nullptr);
    const std::vector<UInt8> picture = Picture(true);
    std::memcpy(IOSurfaceGetBaseAddress(surface), picture.data(), picture.size());
    IOSurfaceUnlock(surface, 0, nullptr);
    return surface;
}

TEST(CoreImageContext, ImagesDrawnAtAPoint) {
    CoreImageContext frame;
    ASSERT_TRUE(frame.Construct(CGSize{4, 4}));
    ASSERT_NE(frame.mCIContext, nullptr);
    const Pixel background = At(frame, 0, 0);

    const std::vector<UInt8> argb = Picture(false);
    CFDataRef data = CFDataCreate(nullptr, argb.data(), CFIndex(argb.size()));
    const CIImageRef image = CIImage::imageWithBitmapData(data, 8, CGSize{2, 2}, kCIFormatARGB8);
    CFRelease(data);
    ASSERT_NE(image, nullptr);
    IOSurfaceRef surface = NewBGRASurface();
    ASSERT_NE(surface, nullptr);
    CVPixelBufferRef pixelBuffer = nullptr;
    ASSERT_EQ(CVPixelBufferCreateWithIOSurface(nullptr, surface, nullptr, &pixelBuffer), kCVReturnSuccess);

    struct Case {
        const char *name;
        std::function<bool(CGPoint, bool)> draw;
    };
    const Case cases[] = {
        {"image", [&](CGPoint at, bool flip) { return frame.DrawImageAtPoint(image, at, flip); }},
        {"pixel buffer", [&](CGPoint at, bool flip) { return frame.DrawPixelBufferAtPoint(pixelBuffer, at, flip); }},
        {"surface", [&](CGPoint at, bool flip) { return frame.DrawIOSurfaceAtPoint(surface, at, flip); }},
    };
    for (const Case &c : cases) {
        for (bool flip : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (flip ? ", flipped" : ""));
            ASSERT_TRUE(frame.EraseBackground());
            // At (1, 1) bottom-up: the picture's top row is memory row 1, its bottom row 2.
            ASSERT_TRUE(c.draw(CGPoint{1, 1}, flip));
            const Pixel &topLeft = flip ? kBlue : kRed, &topRight = flip ? kWhite : kGreen;
            const Pixel &bottomLeft = flip ? kRed : kBlue, &bottomRight = flip ? kGreen : kWhite;
            EXPECT_EQ(At(frame, 1, 1), topLeft);
            EXPECT_EQ(At(frame, 2, 1), topRight);
            EXPECT_EQ(At(frame, 1, 2), bottomLeft);
            EXPECT_EQ(At(frame, 2, 2), bottomRight);
            for (SInt32 y = 0; y < 4; ++y)
                for (SInt32 x = 0; x < 4; ++x)
                    if (x == 0 || x == 3 || y == 0 || y == 3) {
                        EXPECT_EQ(At(frame, x, y), background) << x << "," << y;
                    }
            // Half outside the frame: the part inside is drawn.
            ASSERT_TRUE(frame.EraseBackground());
            ASSERT_TRUE(c.draw(CGPoint{3, -1}, flip));
            EXPECT_EQ(At(frame, 3, 3), topLeft);
            EXPECT_EQ(At(frame, 2, 3), background);
        }
    }

    EXPECT_FALSE(frame.DrawImageAtPoint(nullptr, CGPoint{0, 0}, false));
    EXPECT_FALSE(frame.DrawPixelBufferAtPoint(nullptr, CGPoint{0, 0}, false));
    EXPECT_FALSE(frame.DrawIOSurfaceAtPoint(nullptr, CGPoint{0, 0}, false));
    CVPixelBufferRelease(pixelBuffer);
    CFRelease(surface);

    CoreImageContext unmade;
    EXPECT_FALSE(unmade.DrawImageAtPoint(image, CGPoint{0, 0}, false));
    EXPECT_FALSE(unmade.Construct(CGSize{0, 4}));
}

}  // namespace
