// Image destinations: the file written holds the image's pixels, whatever its layout; what
// cannot be written is refused.
#include <ImageIO/ImageIO.h>

#include <CoreFoundation/CFURL.h>
#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGDataProvider.h>

#include <QImage>
#include <QImageReader>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

CFURLRef FileURL(const std::string &path, bool directory = false) {
    CFStringRef string = CFStringCreateWithCString(nullptr, path.c_str(), kCFStringEncodingUTF8);
    CFURLRef url = CFURLCreateWithFileSystemPath(nullptr, string, kCFURLPOSIXPathStyle, directory);
    CFRelease(string);
    return url;
}

std::string TempPath(const char *name) { return std::string(std::getenv("HOME")) + "/" + name; }

// A 2 x 2 image, bytes B, G, R, A per pixel (little-endian alpha first): red, green on top,
// blue, white below.
CGImageRef MakeImage() {
    static const uint8_t pixels[16] = {0, 0, 255, 255, 0, 255, 0, 255, 255, 0, 0, 255, 255, 255, 255, 255};
    CGDataProviderRef provider = CGDataProviderCreateWithData(nullptr, pixels, sizeof pixels, nullptr);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGImageRef image = CGImageCreate(2, 2, 8, 32, 8, space, kCGBitmapByteOrder32Little | kCGImageAlphaFirst, provider,
                                     nullptr, true, kCGRenderingIntentDefault);
    CGColorSpaceRelease(space);
    CGDataProviderRelease(provider);
    return image;
}

}  // namespace

TEST(ImageDestination, WritesTheImageInEachType) {
    struct Case {
        CFStringRef type;
        const char *name;
        const char *format;
        bool lossless;
    };
    const Case cases[] = {{kUTTypePNG, "image.png", "png", true},
                          {kUTTypeTIFF, "image.tiff", "tiff", true},
                          {kUTTypeBMP, "image.bmp", "bmp", true},
                          {kUTTypeJPEG, "image.jpg", "jpeg", false}};
    CGImageRef image = MakeImage();
    ASSERT_NE(image, nullptr);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = TempPath(c.name);
        CFURLRef url = FileURL(path);
        CGImageDestinationRef destination = CGImageDestinationCreateWithURL(url, c.type, 1, nullptr);
        CFRelease(url);
        ASSERT_NE(destination, nullptr);
        EXPECT_FALSE(CGImageDestinationFinalize(destination));  // nothing added yet
        CFRelease(destination);

        url = FileURL(path);
        destination = CGImageDestinationCreateWithURL(url, c.type, 1, nullptr);
        CFRelease(url);
        CGImageDestinationAddImage(destination, image, nullptr);
        EXPECT_TRUE(CGImageDestinationFinalize(destination));
        EXPECT_FALSE(CGImageDestinationFinalize(destination));  // once
        CFRelease(destination);

        QImage read(QString::fromStdString(path));
        ASSERT_FALSE(read.isNull());
        ASSERT_EQ(read.width(), 2);
        ASSERT_EQ(read.height(), 2);
        EXPECT_EQ(QImageReader::imageFormat(QString::fromStdString(path)).toStdString(), c.format);
        if (!c.lossless) continue;  // a 2 x 2 JPEG blurs its colours together
        const QRgb expected[4] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255)};
        for (int i = 0; i < 4; ++i) {
            const QRgb pixel = read.pixel(i % 2, i / 2);
            EXPECT_EQ(pixel | 0xFF000000u, expected[i]) << i;
        }
    }
    CGImageRelease(image);
}

TEST(ImageDestination, RefusesWhatItCannotWrite) {
    CFURLRef file = FileURL(TempPath("x.png"));
    CFURLRef folder = FileURL(TempPath("folder"), true);
    CFStringRef gif = CFSTR("com.compuserve.gif");
    EXPECT_EQ(CGImageDestinationCreateWithURL(file, gif, 1, nullptr), nullptr);
    EXPECT_EQ(CGImageDestinationCreateWithURL(file, kUTTypePNG, 2, nullptr), nullptr);
    EXPECT_EQ(CGImageDestinationCreateWithURL(folder, kUTTypePNG, 1, nullptr), nullptr);
    EXPECT_EQ(CGImageDestinationCreateWithURL(nullptr, kUTTypePNG, 1, nullptr), nullptr);
    CFRelease(file);
    CFRelease(folder);

    // A file in a folder that does not exist cannot be written.
    CFURLRef missing = FileURL(TempPath("no such folder/x.png"));
    CGImageDestinationRef destination = CGImageDestinationCreateWithURL(missing, kUTTypePNG, 1, nullptr);
    CFRelease(missing);
    ASSERT_NE(destination, nullptr);
    CGImageRef image = MakeImage();
    CGImageDestinationAddImage(destination, image, nullptr);
    EXPECT_FALSE(CGImageDestinationFinalize(destination));
    CFRelease(destination);
    CGImageRelease(image);
}
