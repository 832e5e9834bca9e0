#include <CoreVideo/CoreVideo.h>

#include <CoreFoundation/CFNumber.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

IOSurfaceRef MakeSurface(int width, int height, int bytesPerElement, OSType format) {
    int values[] = {width, height, bytesPerElement, int(format)};
    const void *keys[] = {kIOSurfaceWidth, kIOSurfaceHeight, kIOSurfaceBytesPerElement, kIOSurfacePixelFormat};
    CFNumberRef numbers[4];
    for (int i = 0; i < 4; ++i) numbers[i] = CFNumberCreate(nullptr, kCFNumberIntType, &values[i]);
    CFDictionaryRef properties =
        CFDictionaryCreate(nullptr, keys, reinterpret_cast<const void **>(numbers), 4, &kCFTypeDictionaryKeyCallBacks,
                           &kCFTypeDictionaryValueCallBacks);
    IOSurfaceRef surface = IOSurfaceCreate(properties);
    CFRelease(properties);
    for (CFNumberRef number : numbers) CFRelease(number);
    return surface;
}

TEST(CVPixelBuffer, CreateInItsOwnMemory) {
    struct Case {
        size_t width, height;
        OSType format;
        CVReturn result;
        size_t bytesPerRow;
    };
    const Case cases[] = {
        {640, 480, kCVPixelFormatType_32BGRA, kCVReturnSuccess, 2560},
        {10, 3, kCVPixelFormatType_32ARGB, kCVReturnSuccess, 64},        // 40 rounded up to 64
        {3, 2, kCVPixelFormatType_422YpCbCr8, kCVReturnSuccess, 64},     // two pairs of pixels: 8 bytes
        {640, 480, kCVPixelFormatType_422YpCbCr8, kCVReturnSuccess, 1280},
        {4, 4, 0x79757673 /* 'yuvs' */, kCVReturnInvalidPixelFormat, 0},
        {0, 4, kCVPixelFormatType_32BGRA, kCVReturnInvalidSize, 0},
        {4, 0, kCVPixelFormatType_32BGRA, kCVReturnInvalidSize, 0},
        {65537, 1, kCVPixelFormatType_32BGRA, kCVReturnInvalidSize, 0},
        {65536, 65536, kCVPixelFormatType_32BGRA, kCVReturnInvalidSize, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << " format " << c.format);
        CVPixelBufferRef buffer = reinterpret_cast<CVPixelBufferRef>(1);
        EXPECT_EQ(CVPixelBufferCreate(nullptr, c.width, c.height, c.format, nullptr, &buffer), c.result);
        if (c.result != kCVReturnSuccess) {
            EXPECT_EQ(buffer, nullptr);
            continue;
        }
        ASSERT_NE(buffer, nullptr);
        EXPECT_EQ(CFGetTypeID(buffer), CVPixelBufferGetTypeID());
        EXPECT_EQ(CVPixelBufferGetWidth(buffer), c.width);
        EXPECT_EQ(CVPixelBufferGetHeight(buffer), c.height);
        EXPECT_EQ(CVPixelBufferGetPixelFormatType(buffer), c.format);
        EXPECT_EQ(CVPixelBufferGetBytesPerRow(buffer), c.bytesPerRow);
        EXPECT_EQ(CVPixelBufferGetDataSize(buffer), c.bytesPerRow * c.height);
        EXPECT_EQ(CVPixelBufferGetIOSurface(buffer), nullptr);
        ASSERT_EQ(CVPixelBufferLockBaseAddress(buffer, 0), kCVReturnSuccess);
        const uint8_t *bytes = static_cast<const uint8_t *>(CVPixelBufferGetBaseAddress(buffer));
        ASSERT_NE(bytes, nullptr);
        EXPECT_EQ(bytes[0], 0);
        EXPECT_EQ(bytes[CVPixelBufferGetDataSize(buffer) - 1], 0);
        EXPECT_EQ(CVPixelBufferUnlockBaseAddress(buffer, 0), kCVReturnSuccess);
        CVPixelBufferRelease(buffer);
    }
    EXPECT_EQ(CVPixelBufferCreate(nullptr, 4, 4, kCVPixelFormatType_32BGRA, nullptr, nullptr),
              kCVReturnInvalidArgument);
}

struct Released {
    int calls = 0;
    const void *base = nullptr;
};

void CountRelease(void *refCon, const void *base) {
    auto *released = static_cast<Released *>(refCon);
    ++released->calls;
    released->base = base;
}

TEST(CVPixelBuffer, TheCallerMemoryIsReleasedOnceWhenTheBufferEnds) {
    std::vector<uint8_t> memory(100 * 4);
    Released released;
    CVPixelBufferRef buffer = nullptr;
    ASSERT_EQ(CVPixelBufferCreateWithBytes(nullptr, 20, 4, kCVPixelFormatType_32BGRA, memory.data(), 100,
                                           CountRelease, &released, nullptr, &buffer),
              kCVReturnSuccess);
    EXPECT_EQ(CVPixelBufferGetBaseAddress(buffer), memory.data());
    EXPECT_EQ(CVPixelBufferGetBytesPerRow(buffer), 100u);
    EXPECT_EQ(CVPixelBufferGetDataSize(buffer), 400u);
    CVPixelBufferRetain(buffer);
    CVPixelBufferRelease(buffer);
    EXPECT_EQ(released.calls, 0);
    CVPixelBufferRelease(buffer);
    EXPECT_EQ(released.calls, 1);
    EXPECT_EQ(released.base, memory.data());

    // Refused creations leave the memory to the caller: no call.
    struct Refused {
        size_t width, bytesPerRow;
        OSType format;
        void *base;
        CVReturn result;
    };
    const Refused refusals[] = {
        {26, 100, kCVPixelFormatType_32BGRA, memory.data(), kCVReturnInvalidArgument},   // rows too short
        {51, 100, kCVPixelFormatType_422YpCbCr8, memory.data(), kCVReturnInvalidArgument},
        {20, 100, 0x20202020, memory.data(), kCVReturnInvalidPixelFormat},
        {20, 100, kCVPixelFormatType_32BGRA, nullptr, kCVReturnInvalidArgument},
        {20, size_t(1) << 40, kCVPixelFormatType_32BGRA, memory.data(), kCVReturnInvalidSize},
    };
    for (const Refused &r : refusals) {
        buffer = reinterpret_cast<CVPixelBufferRef>(1);
        EXPECT_EQ(CVPixelBufferCreateWithBytes(nullptr, r.width, 4, r.format, r.base, r.bytesPerRow, CountRelease,
                                               &released, nullptr, &buffer),
                  r.result);
        EXPECT_EQ(buffer, nullptr);
    }
    EXPECT_EQ(released.calls, 1);

    // No callback is fine too.
    ASSERT_EQ(CVPixelBufferCreateWithBytes(nullptr, 20, 4, kCVPixelFormatType_32ARGB, memory.data(), 80, nullptr,
                                           nullptr, nullptr, &buffer),
              kCVReturnSuccess);
    CVPixelBufferRelease(buffer);
}

TEST(CVPixelBuffer, OnASurface) {
    IOSurfaceRef surface = MakeSurface(640, 480, 4, kCVPixelFormatType_32BGRA);
    ASSERT_NE(surface, nullptr);
    CVPixelBufferRef buffer = nullptr;
    ASSERT_EQ(CVPixelBufferCreateWithIOSurface(nullptr, surface, nullptr, &buffer), kCVReturnSuccess);
    const uint32_t seed = IOSurfaceGetSeed(surface);
    CFRelease(surface);  // the buffer keeps it
    surface = CVPixelBufferGetIOSurface(buffer);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(CVPixelBufferGetBaseAddress(buffer), IOSurfaceGetBaseAddress(surface));
    EXPECT_EQ(CVPixelBufferGetWidth(buffer), 640u);
    EXPECT_EQ(CVPixelBufferGetHeight(buffer), 480u);
    EXPECT_EQ(CVPixelBufferGetBytesPerRow(buffer), 2560u);
    EXPECT_EQ(CVPixelBufferGetPixelFormatType(buffer), kCVPixelFormatType_32BGRA);
    EXPECT_EQ(CVPixelBufferGetDataSize(buffer), 2560u * 480u);
    // Read-only locks leave the surface's seed; a write lock advances it.
    ASSERT_EQ(CVPixelBufferLockBaseAddress(buffer, kCVPixelBufferLock_ReadOnly), kCVReturnSuccess);
    ASSERT_EQ(CVPixelBufferUnlockBaseAddress(buffer, kCVPixelBufferLock_ReadOnly), kCVReturnSuccess);
    EXPECT_EQ(IOSurfaceGetSeed(surface), seed);
    ASSERT_EQ(CVPixelBufferLockBaseAddress(buffer, 0), kCVReturnSuccess);
    std::memset(CVPixelBufferGetBaseAddress(buffer), 0xAB, CVPixelBufferGetDataSize(buffer));
    ASSERT_EQ(CVPixelBufferUnlockBaseAddress(buffer, 0), kCVReturnSuccess);
    EXPECT_EQ(IOSurfaceGetSeed(surface), seed + 1);
    // Unlocks that match no lock.
    EXPECT_EQ(CVPixelBufferUnlockBaseAddress(buffer, 0), kCVReturnError);
    ASSERT_EQ(CVPixelBufferLockBaseAddress(buffer, kCVPixelBufferLock_ReadOnly), kCVReturnSuccess);
    EXPECT_EQ(CVPixelBufferUnlockBaseAddress(buffer, 0), kCVReturnError);
    EXPECT_EQ(CVPixelBufferUnlockBaseAddress(buffer, kCVPixelBufferLock_ReadOnly), kCVReturnSuccess);
    EXPECT_EQ(CVPixelBufferLockBaseAddress(buffer, 8), kCVReturnInvalidArgument);
    EXPECT_EQ(IOSurfaceGetSeed(surface), seed + 1);
    CVPixelBufferRelease(buffer);

    // Surfaces of other formats, or whose rows cannot hold the format's pixels.
    IOSurfaceRef yuvs = MakeSurface(8, 8, 2, 0x79757673);
    IOSurfaceRef narrow = MakeSurface(8, 8, 2, kCVPixelFormatType_32BGRA);
    ASSERT_NE(yuvs, nullptr);
    ASSERT_NE(narrow, nullptr);
    EXPECT_EQ(CVPixelBufferCreateWithIOSurface(nullptr, yuvs, nullptr, &buffer), kCVReturnInvalidPixelFormat);
    EXPECT_EQ(CVPixelBufferCreateWithIOSurface(nullptr, narrow, nullptr, &buffer),
              kCVReturnInvalidPixelBufferAttributes);
    EXPECT_EQ(CVPixelBufferCreateWithIOSurface(nullptr, nullptr, nullptr, &buffer), kCVReturnInvalidArgument);
    EXPECT_EQ(buffer, nullptr);
    CFRelease(yuvs);
    CFRelease(narrow);
}

TEST(CVPixelBuffer, ForeignObjectsAnswerNothing) {
    const int one = 1;
    CFNumberRef number = CFNumberCreate(nullptr, kCFNumberIntType, &one);
    auto *notBuffer = reinterpret_cast<CVPixelBufferRef>(const_cast<void *>(static_cast<const void *>(number)));
    EXPECT_EQ(CVPixelBufferGetWidth(notBuffer), 0u);
    EXPECT_EQ(CVPixelBufferGetBaseAddress(notBuffer), nullptr);
    EXPECT_EQ(CVPixelBufferLockBaseAddress(notBuffer, 0), kCVReturnInvalidArgument);
    EXPECT_EQ(CVPixelBufferGetIOSurface(nullptr), nullptr);
    CFRelease(number);
}

}  // namespace
