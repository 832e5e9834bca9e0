#include <CoreG/Capture/CGImageDataWrapper.h>
#include <CoreG/Capture/UVideoFrameBuffer_CGImageBuffer.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using UVideoFrameBuffer::CGImageBuffer;
using UVideoFrameBuffer::Format;
using UVideoFrameBuffer::T_CGImageRef;

// An image over a CFData of `rowBytes` x `height` bytes counting up from `first`.
CGImageRef MakeImage(size_t width, size_t height, size_t bitsPerPixel, size_t rowBytes, CGBitmapInfo info,
                     unsigned char first = 0, bool grey = false) {
    std::vector<UInt8> bytes(rowBytes * height);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = UInt8(first + i);
    CFDataRef data = CFDataCreate(nullptr, bytes.data(), CFIndex(bytes.size()));
    CGDataProviderRef provider = CGDataProviderCreateWithCFData(data);
    CGColorSpaceRef space = grey ? CGColorSpaceCreateDeviceGray() : CGColorSpaceCreateDeviceRGB();
    CGImageRef image = CGImageCreate(width, height, 8, bitsPerPixel, rowBytes, space, info, provider, nullptr, false,
                                     kCGRenderingIntentDefault);
    CGColorSpaceRelease(space);
    CGDataProviderRelease(provider);
    CFRelease(data);
    return image;
}

std::string Bytes(CFDataRef data) {
    if (data == nullptr) return "(null)";
    return std::string(reinterpret_cast<const char *>(CFDataGetBytePtr(data)), size_t(CFDataGetLength(data)));
}

std::string ImageBytes(CGImageRef image) {
    CFDataRef data = CGDataProviderCopyData(CGImageGetDataProvider(image));
    std::string bytes = Bytes(data);
    CFRelease(data);
    return bytes;
}

std::string HeldBytes(CGImageBuffer &buffer) {
    CFDataRef data = buffer.mCFTypeRefData.CopyData();
    std::string bytes = Bytes(data);
    if (data != nullptr) CFRelease(data);
    return bytes;
}

std::string Code(OSType code) {
    const char text[] = {char(code >> 24), char(code >> 16), char(code >> 8), char(code), 0};
    return text;
}

TEST(CGImageBuffer, StartsEmpty) {
    CGImageBuffer buffer;
    EXPECT_EQ(buffer.mCFTypeRef, nullptr);
    EXPECT_EQ(buffer.mCFTypeRefData.mData, nullptr);
    EXPECT_EQ(buffer.mFrameBufferData, nullptr);
    EXPECT_EQ(buffer.mFrameBufferDataSizeBytes, 0);
    EXPECT_EQ(buffer.mFrameBufferFormat.mPixelFormat, UVideoFrameBuffer::kPixelFormat_None);
    EXPECT_TRUE(buffer.mFrameBufferMutexCreated);
}

// Holding, replacing and dropping images: each is retained once while held and released
// when replaced, dropped or destroyed with the buffer; the bytes follow the held image.
TEST(CGImageBuffer, HoldsReplacesAndCopiesTheImage) {
    CGImageRef first = MakeImage(4, 3, 32, 16, kCGImageAlphaPremultipliedFirst, 0);
    CGImageRef second = MakeImage(2, 2, 32, 12, kCGImageAlphaNoneSkipLast, 100);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    {
        CGImageBuffer buffer;
        EXPECT_TRUE(CGImageDataWrapper::SetCGImageBufferImage(buffer, first));
        EXPECT_EQ(buffer.mCFTypeRef, first);
        EXPECT_EQ(CFGetRetainCount(first), 2);
        EXPECT_EQ(HeldBytes(buffer), ImageBytes(first));
        EXPECT_EQ(HeldBytes(buffer).size(), 48u);

        // The same image again: not retained twice, its bytes copied afresh.
        CFDataRef before = buffer.mCFTypeRefData.CopyData();
        EXPECT_TRUE(CGImageDataWrapper::SetCGImageBufferImage(buffer, first));
        EXPECT_EQ(CFGetRetainCount(first), 2);
        EXPECT_NE(buffer.mCFTypeRefData.mData, before);
        EXPECT_EQ(CFGetRetainCount(before), 1);  // the buffer let the old copy go
        CFRelease(before);
        EXPECT_EQ(HeldBytes(buffer), ImageBytes(first));

        // A different one: the first is released.
        EXPECT_TRUE(CGImageDataWrapper::SetCGImageBufferImage(buffer, second));
        EXPECT_EQ(buffer.mCFTypeRef, second);
        EXPECT_EQ(CFGetRetainCount(first), 1);
        EXPECT_EQ(CFGetRetainCount(second), 2);
        EXPECT_EQ(HeldBytes(buffer), ImageBytes(second));

        // None: nothing held, no bytes.
        EXPECT_FALSE(CGImageDataWrapper::SetCGImageBufferImage(buffer, nullptr));
        EXPECT_EQ(buffer.mCFTypeRef, nullptr);
        EXPECT_EQ(buffer.mCFTypeRefData.mData, nullptr);
        EXPECT_EQ(CFGetRetainCount(second), 1);
        EXPECT_FALSE(CGImageDataWrapper::SetCGImageBufferImage(buffer, nullptr));

        // Held when the buffer goes.
        EXPECT_TRUE(CGImageDataWrapper::SetCGImageBufferImage(buffer, second));
        unsigned char frame[4] = {};
        buffer.ConstructData(Format(), frame, sizeof frame);
        EXPECT_EQ(CFGetRetainCount(second), 2);
    }
    EXPECT_EQ(CFGetRetainCount(second), 1);
    {
        CGImageBuffer never;  // destroyed holding nothing: nothing is released
    }
    EXPECT_EQ(CFGetRetainCount(first), 1);
    EXPECT_EQ(CFGetRetainCount(second), 1);
    CGImageRelease(first);
    CGImageRelease(second);
}

// The bytes are a copy: drawing into the source later does not change them.
TEST(CGImageBuffer, BytesAreAPrivateCopy) {
    std::vector<UInt8> pixels(8 * 2, 7);
    CGDataProviderRef provider = CGDataProviderCreateWithData(nullptr, pixels.data(), pixels.size(), nullptr);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGImageRef image = CGImageCreate(2, 2, 8, 32, 8, space, kCGImageAlphaNoneSkipFirst, provider, nullptr, false,
                                     kCGRenderingIntentDefault);
    CGColorSpaceRelease(space);
    CGDataProviderRelease(provider);
    ASSERT_NE(image, nullptr);
    CGImageBuffer buffer;
    ASSERT_TRUE(CGImageDataWrapper::SetCGImageBufferImage(buffer, image));
    pixels.assign(pixels.size(), 9);
    EXPECT_EQ(HeldBytes(buffer), std::string(16, char(7)));
    CGImageDataWrapper::SetCGImageBufferImage(buffer, nullptr);
    CGImageRelease(image);
}

// The code of every layout: the alpha information and the byte order together.
TEST(CGImageBufferFormat, CodeOfEveryLayout) {
    struct Order {
        CGBitmapInfo order;
        const char *first;  // alpha or skipped byte first
        const char *last;   // alpha or skipped byte last
    };
    const Order orders[] = {
        {kCGBitmapByteOrderDefault, "ARGB", "RGBA"},
        {kCGBitmapByteOrder32Big, "ARGB", "RGBA"},
        {kCGBitmapByteOrder32Little, "BGRA", "ABGR"},
        {kCGBitmapByteOrder16Little, "none", "none"},
        {kCGBitmapByteOrder16Big, "none", "none"},
    };
    struct Alpha {
        CGImageAlphaInfo info;
        int place;  // 0 none, 1 first, 2 last
    };
    const Alpha alphas[] = {
        {kCGImageAlphaNone, 0},           {kCGImageAlphaPremultipliedLast, 2}, {kCGImageAlphaPremultipliedFirst, 1},
        {kCGImageAlphaLast, 2},           {kCGImageAlphaFirst, 1},             {kCGImageAlphaNoneSkipLast, 2},
        {kCGImageAlphaNoneSkipFirst, 1},  {kCGImageAlphaOnly, 0},              {CGImageAlphaInfo(8), 0},
    };
    for (const Order &order : orders)
        for (const Alpha &alpha : alphas) {
            const CGBitmapInfo info = order.order | alpha.info;
            const char *expected = alpha.place == 1 ? order.first : alpha.place == 2 ? order.last : "none";
            EXPECT_EQ(Code(T_CGImageRef::GetBufferPixelFormat(8, 32, info)), expected) << std::hex << info;
            // Any other size of pixel or component, or float components, has no code.
            EXPECT_EQ(Code(T_CGImageRef::GetBufferPixelFormat(8, 24, info)), "none") << std::hex << info;
            EXPECT_EQ(Code(T_CGImageRef::GetBufferPixelFormat(16, 64, info)), "none") << std::hex << info;
            EXPECT_EQ(Code(T_CGImageRef::GetBufferPixelFormat(8, 8, info)), "none") << std::hex << info;
            EXPECT_EQ(Code(T_CGImageRef::GetBufferPixelFormat(8, 32, info | kCGBitmapFloatComponents)), "none");
        }
}

// The format of real images: their width, height and row bytes whatever the code.
TEST(CGImageBufferFormat, FormatOfImages) {
    struct Case {
        const char *name;
        size_t bitsPerPixel, rowBytes;
        CGBitmapInfo info;
        bool grey;
        const char *code;
    };
    const Case cases[] = {
        {"RGBA premultiplied last", 32, 24, kCGImageAlphaPremultipliedLast, false, "RGBA"},
        {"ARGB skip first", 32, 24, kCGImageAlphaNoneSkipFirst, false, "ARGB"},
        {"BGRA little-endian premultiplied first", 32, 28, kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little,
         false, "BGRA"},
        {"ABGR little-endian skip last", 32, 24, kCGImageAlphaNoneSkipLast | kCGBitmapByteOrder32Little, false, "ABGR"},
        {"RGB 24", 24, 20, kCGImageAlphaNone, false, "none"},
        {"grey 8", 8, 8, kCGImageAlphaNone, true, "none"},
    };
    for (const Case &c : cases) {
        CGImageRef image = MakeImage(5, 3, c.bitsPerPixel, c.rowBytes, c.info, 0, c.grey);
        ASSERT_NE(image, nullptr) << c.name;
        Format format;
        EXPECT_TRUE(T_CGImageRef::GetBufferFormat(image, format)) << c.name;
        EXPECT_EQ(format.mPixelWidth, 5) << c.name;
        EXPECT_EQ(format.mPixelHeight, 3) << c.name;
        EXPECT_EQ(format.mPixelRowBytes, SInt32(c.rowBytes)) << c.name;
        EXPECT_EQ(Code(format.mPixelFormat), c.code) << c.name;
        CGImageRelease(image);
    }

    // An image mask (alpha only, one byte a pixel).
    std::vector<UInt8> bytes(6 * 2, 0x80);
    CGDataProviderRef provider = CGDataProviderCreateWithData(nullptr, bytes.data(), bytes.size(), nullptr);
    CGImageRef mask = CGImageMaskCreate(5, 2, 8, 8, 6, provider, nullptr, false);
    CGDataProviderRelease(provider);
    ASSERT_NE(mask, nullptr);
    Format format;
    EXPECT_TRUE(T_CGImageRef::GetBufferFormat(mask, format));
    EXPECT_EQ(format.mPixelWidth, 5);
    EXPECT_EQ(format.mPixelHeight, 2);
    EXPECT_EQ(format.mPixelRowBytes, 6);
    EXPECT_EQ(Code(format.mPixelFormat), "none");
    CGImageRelease(mask);

    // No image: false and the format emptied.
    format.mPixelWidth = 9;
    format.mPixelHeight = 9;
    format.mPixelRowBytes = 36;
    format.mPixelFormat = UVideoFrameBuffer::kPixelFormat_ARGB;
    EXPECT_FALSE(T_CGImageRef::GetBufferFormat(nullptr, format));
    EXPECT_EQ(format.mPixelWidth, 0);
    EXPECT_EQ(format.mPixelHeight, 0);
    EXPECT_EQ(format.mPixelRowBytes, 0);
    EXPECT_EQ(Code(format.mPixelFormat), "none");
}

}  // namespace
