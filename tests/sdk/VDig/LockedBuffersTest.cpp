// Frames viewing locked IOSurfaces and pixel buffers: every format the frame library holds,
// its bytes seen and copied exactly, and the buffers whose frames are not sound refused.
#include <VDig/UVideoFrameBuffer_LockedBuffers.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace UVideoFrameBuffer;

void SetNumber(CFMutableDictionaryRef dictionary, CFStringRef key, long long value) {
    CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberLongLongType, &value);
    CFDictionarySetValue(dictionary, key, number);
    CFRelease(number);
}

IOSurfaceRef NewSurface(long long width, long long height, long long bytesPerElement, long long bytesPerRow,
                        OSType format) {
    CFMutableDictionaryRef properties = CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                                                  &kCFTypeDictionaryValueCallBacks);
    SetNumber(properties, kIOSurfaceWidth, width);
    SetNumber(properties, kIOSurfaceHeight, height);
    SetNumber(properties, kIOSurfaceBytesPerElement, bytesPerElement);
    SetNumber(properties, kIOSurfaceBytesPerRow, bytesPerRow);
    SetNumber(properties, kIOSurfacePixelFormat, format);
    IOSurfaceRef surface = IOSurfaceCreate(properties);
    CFRelease(properties);
    return surface;
}

UInt8 Pattern(std::size_t offset) { return UInt8(offset * 13 + 5); }

// Writes the pattern into the surface's rows (not its padding).
void WriteRows(IOSurfaceRef surface, std::size_t rowLength) {
    ASSERT_EQ(IOSurfaceLock(surface, 0, nullptr), kIOReturnSuccess);
    UInt8 *base = static_cast<UInt8 *>(IOSurfaceGetBaseAddress(surface));
    for (std::size_t y = 0; y < IOSurfaceGetHeight(surface); ++y)
        for (std::size_t i = 0; i < rowLength; ++i) base[y * IOSurfaceGetBytesPerRow(surface) + i] = Pattern(y * 1000 + i);
    ASSERT_EQ(IOSurfaceUnlock(surface, 0, nullptr), kIOReturnSuccess);
}

int RowMismatches(const Data &frame, std::size_t rowLength) {
    int mismatches = 0;
    for (SInt32 y = 0; y < frame.mFrameBufferFormat.mPixelHeight; ++y) {
        const UInt8 *row = frame.GetPixelScanline(y);
        for (std::size_t i = 0; i < rowLength; ++i) mismatches += row[i] != Pattern(std::size_t(y) * 1000 + i);
    }
    return mismatches;
}

TEST(LockedIOSurface, EveryFormatViewedAndCopied) {
    struct Case {
        OSType surfaceFormat;
        long long bytesPerElement;
        OSType frameFormat;
        SInt32 frameWidth;  // of a 6-element-wide surface
    };
    const Case cases[] = {
        {kPixelFormat_ARGB, 4, kPixelFormat_ARGB, 6}, {kPixelFormat_BGRA, 4, kPixelFormat_BGRA, 6},
        {kPixelFormat_8888, 4, kPixelFormat_8888, 6}, {kPixelFormat_raw, 4, kPixelFormat_raw, 6},
        {kPixelFormat_2VUY, 4, kPixelFormat_2vuy, 12}, {kPixelFormat_2vuy, 2, kPixelFormat_2vuy, 6},
        {kPixelFormat_DATA, 1, kPixelFormat_DATA, 6},  {0, 4, kPixelFormat_BGRA, 6},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(Format::stringFromPixelFormat(c.surfaceFormat));
        const long long rowBytes = 6 * c.bytesPerElement + 8;
        IOSurfaceRef surface = NewSurface(6, 5, c.bytesPerElement, rowBytes, c.surfaceFormat);
        ASSERT_NE(surface, nullptr);
        const std::size_t rowLength = std::size_t(6 * c.bytesPerElement);
        WriteRows(surface, rowLength);

        LockedIOSurface view;
        Base &base = view;
        ASSERT_TRUE(base.Construct(surface));
        EXPECT_EQ(view.mFrameBufferFormat.mPixelFormat, c.frameFormat);
        EXPECT_EQ(view.mFrameBufferFormat.mPixelWidth, c.frameWidth);
        EXPECT_EQ(view.mFrameBufferFormat.mPixelHeight, 5);
        EXPECT_EQ(view.mFrameBufferFormat.mPixelRowBytes, rowBytes);
        EXPECT_EQ(view.mFrameBufferData, IOSurfaceGetBaseAddress(surface));
        EXPECT_EQ(std::size_t(view.mFrameBufferDataSizeBytes), IOSurfaceGetAllocSize(surface));
        EXPECT_TRUE(view.mBufferLocked);
        EXPECT_TRUE(view.HasCFTypeRef());
        EXPECT_EQ(RowMismatches(view, rowLength), 0);

        // The frame lock, and an exact copy out of the view.
        view.LockFrameBuffer();
        bool lockedElsewhere = true;
        std::thread([&] { lockedElsewhere = view.TryLockFrameBuffer(); }).join();
        EXPECT_FALSE(lockedElsewhere);
        Memory copy;
        ASSERT_TRUE(copy.Construct(view.mFrameBufferFormat));
        ASSERT_TRUE(XXXX_ExactCopySameSizeTo_XXXX(copy, view));
        view.UnlockFrameBuffer();
        EXPECT_EQ(RowMismatches(copy, rowLength), 0);

        // The view keeps the surface alive and locked until it goes.
        CFRelease(surface);
        EXPECT_EQ(RowMismatches(view, rowLength), 0);
        view.Destruct();
        EXPECT_FALSE(view.HasCFTypeRef());
        EXPECT_EQ(view.mFrameBufferData, nullptr);
        EXPECT_EQ(view.mFrameBufferFormat.mPixelFormat, kPixelFormat_None);
    }
}

TEST(LockedIOSurface, SurfacesWhoseFramesAreNotSoundAreRefused) {
    struct Case {
        const char *what;
        long long width, bytesPerElement, bytesPerRow;
        OSType format;
    };
    const Case cases[] = {
        {"unsupported format", 4, 4, 16, kPixelFormat_RGBA},
        {"format none", 4, 4, 16, kPixelFormat_None},
        {"rows shorter than a row of the format", 4, 1, 4, kPixelFormat_ARGB},
        {"'2VUY' rows shorter than the pixel pairs", 4, 2, 8, kPixelFormat_2VUY},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        IOSurfaceRef surface = NewSurface(c.width, 3, c.bytesPerElement, c.bytesPerRow, c.format);
        ASSERT_NE(surface, nullptr);
        LockedIOSurface view;
        EXPECT_FALSE(view.Construct(surface));
        EXPECT_FALSE(view.HasCFTypeRef());
        EXPECT_FALSE(view.mBufferLocked);
        EXPECT_EQ(view.mFrameBufferData, nullptr);
        CFRelease(surface);
    }
    LockedIOSurface view;
    EXPECT_FALSE(view.Construct(static_cast<IOSurfaceRef>(nullptr)));
    Format format(1, 1, kPixelFormat_ARGB);
    EXPECT_FALSE(T_IOSurfaceRef::GetBufferFormat(nullptr, format));
    EXPECT_EQ(format.mPixelFormat, kPixelFormat_None);
}

TEST(LockedIOSurface, A2VUYSurfaceReadsAsA2vuyFrameTwiceAsWide) {
    IOSurfaceRef surface = NewSurface(320, 2, 4, 1280, kPixelFormat_2VUY);
    ASSERT_NE(surface, nullptr);
    Format format;
    ASSERT_TRUE(T_IOSurfaceRef::GetBufferFormat(surface, format));
    EXPECT_EQ(format.mPixelFormat, kPixelFormat_2vuy);
    EXPECT_EQ(format.mPixelWidth, 640);
    CFRelease(surface);
}

TEST(LockedCVPixelBuffer, FormatsViewedAndCopied) {
    struct Case {
        OSType format;
        std::size_t rowLength;  // of a 6-pixel row
    };
    const Case cases[] = {{kCVPixelFormatType_32BGRA, 24}, {kCVPixelFormatType_422YpCbCr8, 12}};
    for (const Case &c : cases) {
        SCOPED_TRACE(Format::stringFromPixelFormat(c.format));
        // In the buffer's own memory and over a surface.
        for (bool onSurface : {false, true}) {
            SCOPED_TRACE(onSurface ? "on a surface" : "in memory");
            CVPixelBufferRef buffer = nullptr;
            IOSurfaceRef surface = nullptr;
            if (onSurface) {
                surface = NewSurface(6, 4, c.format == kCVPixelFormatType_32BGRA ? 4 : 2, 64, c.format);
                ASSERT_NE(surface, nullptr);
                WriteRows(surface, c.rowLength);
                ASSERT_EQ(CVPixelBufferCreateWithIOSurface(nullptr, surface, nullptr, &buffer), kCVReturnSuccess);
            } else {
                ASSERT_EQ(CVPixelBufferCreate(nullptr, 6, 4, c.format, nullptr, &buffer), kCVReturnSuccess);
                ASSERT_EQ(CVPixelBufferLockBaseAddress(buffer, 0), kCVReturnSuccess);
                UInt8 *base = static_cast<UInt8 *>(CVPixelBufferGetBaseAddress(buffer));
                for (std::size_t y = 0; y < 4; ++y)
                    for (std::size_t i = 0; i < c.rowLength; ++i)
                        base[y * CVPixelBufferGetBytesPerRow(buffer) + i] = Pattern(y * 1000 + i);
                ASSERT_EQ(CVPixelBufferUnlockBaseAddress(buffer, 0), kCVReturnSuccess);
            }
            LockedCVPixelBuffer view;
            ASSERT_TRUE(view.Construct(buffer));
            EXPECT_EQ(view.mFrameBufferFormat.mPixelFormat, c.format);
            EXPECT_EQ(view.mFrameBufferFormat.mPixelWidth, 6);
            EXPECT_EQ(view.mFrameBufferFormat.mPixelRowBytes, SInt32(CVPixelBufferGetBytesPerRow(buffer)));
            EXPECT_EQ(std::size_t(view.mFrameBufferDataSizeBytes), CVPixelBufferGetDataSize(buffer));
            EXPECT_EQ(RowMismatches(view, c.rowLength), 0);
            Memory copy;
            ASSERT_TRUE(copy.Construct(Format(6, 4, c.format)));
            ASSERT_TRUE(XXXX_CopyMinimumPixelsRegion_XXXX(copy, view));
            EXPECT_EQ(RowMismatches(copy, c.rowLength), 0);

            // Held again: the same buffer stays held and is locked once more.
            EXPECT_TRUE(view.SetBufferHandleLocked(buffer));
            view.Destruct();
            // Unlocked: a write lock now succeeds.
            EXPECT_EQ(CVPixelBufferLockBaseAddress(buffer, 0), kCVReturnSuccess);
            EXPECT_EQ(CVPixelBufferUnlockBaseAddress(buffer, 0), kCVReturnSuccess);
            CVPixelBufferRelease(buffer);
            if (surface != nullptr) CFRelease(surface);
        }
    }

    // 32-bit ARGB pixel buffers carry the code 32, which is not a frame format.
    CVPixelBufferRef argb = nullptr;
    ASSERT_EQ(CVPixelBufferCreate(nullptr, 4, 4, kCVPixelFormatType_32ARGB, nullptr, &argb), kCVReturnSuccess);
    LockedCVPixelBuffer view;
    EXPECT_FALSE(view.Construct(argb));
    EXPECT_FALSE(view.HasCFTypeRef());
    CVPixelBufferRelease(argb);
    EXPECT_FALSE(view.Construct(static_cast<CVPixelBufferRef>(nullptr)));
}

}  // namespace
