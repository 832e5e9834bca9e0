// Image sources: PNG and JPEG bytes decode to CGImages of their pixels; bytes that are no
// image, or are cut short, give no image and no crash.
#include <ImageIO/ImageIO.h>

#include <CoreGraphics/CGDataProvider.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

// A 3 x 2 picture: opaque red, half-transparent green, transparent on top; blue, white,
// black below.
QImage Picture(bool alpha) {
    QImage image(3, 2, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(255, 0, 0, 255));
    image.setPixel(1, 0, qRgba(0, 255, 0, alpha ? 128 : 255));
    image.setPixel(2, 0, qRgba(0, 0, 0, alpha ? 0 : 255));
    image.setPixel(0, 1, qRgba(0, 0, 255, 255));
    image.setPixel(1, 1, qRgba(255, 255, 255, 255));
    image.setPixel(2, 1, qRgba(0, 0, 0, 255));
    return alpha ? image : image.convertToFormat(QImage::Format_RGB32);
}

std::vector<UInt8> Encoded(const QImage &image, const char *format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format, 100));
    return std::vector<UInt8>(bytes.begin(), bytes.end());
}

// The image's pixel (x, y), y down, as premultiplied R, G, B, A.
std::array<int, 4> PixelOf(CGImageRef image, size_t x, size_t y) {
    CFDataRef data = CGDataProviderCopyData(CGImageGetDataProvider(image));
    const UInt8 *p = CFDataGetBytePtr(data) + y * CGImageGetBytesPerRow(image) + x * 4;
    std::array<int, 4> rgba = {p[2], p[1], p[0], p[3]};
    CFRelease(data);
    if (CGImageGetAlphaInfo(image) == kCGImageAlphaNoneSkipFirst) rgba[3] = 255;
    return rgba;
}

}  // namespace

TEST(ImageSource, DecodesWhatItReadsAndNothingElse) {
    const std::vector<UInt8> png = Encoded(Picture(true), "png");
    const std::vector<UInt8> jpeg = Encoded(Picture(false), "jpeg");
    const std::vector<UInt8> opaquePng = Encoded(Picture(false), "png");
    struct Case {
        const char *name;
        std::vector<UInt8> bytes;
        size_t count;
        bool decodes;
    };
    const std::vector<Case> cases = {
        {"PNG with alpha", png, 1, true},
        {"opaque PNG", opaquePng, 1, true},
        {"JPEG", jpeg, 1, true},
        {"garbage", std::vector<UInt8>(64, 0x5A), 0, false},
        {"a PNG signature and nothing more", std::vector<UInt8>(png.begin(), png.begin() + 8), 0, false},
        {"a PNG cut in its pixel data", std::vector<UInt8>(png.begin(), png.end() - 20), 1, false},
        // JPEG's decoder fills what is missing: a picture still comes out.
        {"a JPEG cut in its scan", std::vector<UInt8>(jpeg.begin(), jpeg.end() - 40), 1, true},
        {"a JPEG signature and garbage", {0xFF, 0xD8, 0xFF, 0x00, 0x01, 0x02, 0x03}, 0, false},
        {"empty", {}, 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CFDataRef data = CFDataCreate(nullptr, c.bytes.data(), CFIndex(c.bytes.size()));
        CGImageSourceRef source = CGImageSourceCreateWithData(data, nullptr);
        CFRelease(data);  // the source keeps its own copy
        ASSERT_NE(source, nullptr);
        EXPECT_EQ(CFGetTypeID(source), CGImageSourceGetTypeID());
        EXPECT_EQ(CGImageSourceGetCount(source), c.count);
        CGImageRef image = CGImageSourceCreateImageAtIndex(source, 0, nullptr);
        EXPECT_EQ(image != nullptr, c.decodes);
        EXPECT_EQ(CGImageSourceCreateImageAtIndex(source, 1, nullptr), nullptr);
        if (image != nullptr) {
            EXPECT_EQ(CGImageGetWidth(image), 3u);
            EXPECT_EQ(CGImageGetHeight(image), 2u);
        }
        CGImageRelease(image);
        CFRelease(source);
    }
    EXPECT_EQ(CGImageSourceCreateWithData(nullptr, nullptr), nullptr);
    EXPECT_EQ(CGImageSourceGetCount(nullptr), 0u);
    EXPECT_EQ(CGImageSourceCreateImageAtIndex(nullptr, 0, nullptr), nullptr);
}

TEST(ImageSource, PixelsComeOutPremultipliedTopRowFirst) {
    // JPEG blurs small detail: its picture is 16 x 16, red over blue, checked in the corners.
    QImage bands(16, 16, QImage::Format_RGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) bands.setPixel(x, y, y < 8 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
    struct Point {
        size_t x, y;  // y down
        std::array<int, 4> rgba;
    };
    struct Case {
        const char *name;
        std::vector<UInt8> bytes;
        int tolerance;
        std::vector<Point> points;
    };
    const Case cases[] = {
        {"PNG",
         Encoded(Picture(true), "png"),
         1,
         {{0, 0, {255, 0, 0, 255}},
          {1, 0, {0, 128, 0, 128}},
          {2, 0, {0, 0, 0, 0}},
          {0, 1, {0, 0, 255, 255}},
          {1, 1, {255, 255, 255, 255}},
          {2, 1, {0, 0, 0, 255}}}},
        {"JPEG",
         Encoded(bands, "jpeg"),
         12,
         {{0, 0, {255, 0, 0, 255}}, {15, 1, {255, 0, 0, 255}}, {0, 15, {0, 0, 255, 255}}, {15, 14, {0, 0, 255, 255}}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CFDataRef data = CFDataCreate(nullptr, c.bytes.data(), CFIndex(c.bytes.size()));
        CGImageSourceRef source = CGImageSourceCreateWithData(data, nullptr);
        CFRelease(data);
        CGImageRef image = CGImageSourceCreateImageAtIndex(source, 0, nullptr);
        ASSERT_NE(image, nullptr);
        for (const Point &p : c.points) {
            const std::array<int, 4> got = PixelOf(image, p.x, p.y);
            for (size_t k = 0; k < 4; ++k) EXPECT_NEAR(got[k], p.rgba[k], c.tolerance) << p.x << "," << p.y;
        }
        CGImageRelease(image);
        CFRelease(source);
    }
}
