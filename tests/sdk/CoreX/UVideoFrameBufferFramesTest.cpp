// Frames in memory: formats, views, the double buffer, and the copy routines, byte-exact.
#include <CoreX/UVideoFrameBuffer.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <utility>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace UVideoFrameBuffer;

struct FormatCase {
    OSType format;
    SInt32 pixelBytes;
};
// Every format the library holds, with its bytes per pixel.
const FormatCase kSupported[] = {
    {kPixelFormat_ARGB, 4}, {kPixelFormat_BGRA, 4}, {kPixelFormat_8888, 4}, {kPixelFormat_raw, 4},
    {kPixelFormat_2VUY, 4}, {kPixelFormat_2vuy, 2}, {kPixelFormat_DATA, 1},
};

std::string Name(OSType format) { return Format::stringFromPixelFormat(format); }

// A byte that tells where it is: (x, y, byte within the pixel).
UInt8 Pattern(SInt32 x, SInt32 y, SInt32 byte) { return UInt8(x * 7 + y * 31 + byte * 3 + 1); }

void FillPattern(Data &frame) {
    const Format &f = frame.mFrameBufferFormat;
    const SInt32 bytes = Format::PixelSizeBytesFromPixelFormat(f.mPixelFormat);
    for (SInt32 y = 0; y < f.mPixelHeight; ++y)
        for (SInt32 x = 0; x < f.mPixelWidth; ++x)
            for (SInt32 b = 0; b < bytes; ++b) frame.GetPixelAtPoint(x, y)[b] = Pattern(x, y, b);
}

// Number of bytes of the frame's pixels that differ from the pattern, offset by (dx, dy).
int PatternMismatches(const Data &frame, SInt32 dx = 0, SInt32 dy = 0) {
    const Format &f = frame.mFrameBufferFormat;
    const SInt32 bytes = Format::PixelSizeBytesFromPixelFormat(f.mPixelFormat);
    int mismatches = 0;
    for (SInt32 y = 0; y < f.mPixelHeight; ++y)
        for (SInt32 x = 0; x < f.mPixelWidth; ++x)
            for (SInt32 b = 0; b < bytes; ++b) mismatches += frame.GetPixelAtPoint(x, y)[b] != Pattern(x + dx, y + dy, b);
    return mismatches;
}

TEST(UVideoFrameBufferFormats, PixelSizesAndRowBytes) {
    for (const FormatCase &c : kSupported) {
        EXPECT_EQ(Format::PixelSizeBytesFromPixelFormat(c.format), c.pixelBytes) << Name(c.format);
        EXPECT_EQ(Format::GetCanonicalPixelFormatRowBytes(c.format, 10), 10 * c.pixelBytes) << Name(c.format);
        EXPECT_EQ(Format::GetCanonicalPixelFormatRowBytes(c.format, 0), 0);
    }
    for (OSType other : {OSType(kPixelFormat_None), OSType(kPixelFormat_RGBA), OSType(0), OSType(0x20)}) {
        EXPECT_EQ(Format::PixelSizeBytesFromPixelFormat(other), 0) << Name(other);
        EXPECT_EQ(Format::GetCanonicalPixelFormatRowBytes(other, 10), 0);
    }
    EXPECT_EQ(Format::GetCanonicalPixelFormatRowBytes(kPixelFormat_ARGB, -4), 0);

    struct Case {
        Format format;
        SInt32 rowBytes;
    };
    const Case cases[] = {
        {Format(640, 480, kPixelFormat_raw), 2560},         {Format(0, 480, kPixelFormat_raw), 0},
        {Format(640, 0, kPixelFormat_raw), 0},              {Format(640, 480, kPixelFormat_None), 0},
        {Format(640, 480, kPixelFormat_2vuy), 1280},        {Format(640, 480, kPixelFormat_BGRA, 4096), 4096},
    };
    for (const Case &c : cases) EXPECT_EQ(c.format.mPixelRowBytes, c.rowBytes) << c.format.mPixelWidth;

    EXPECT_EQ(Format::stringFromPixelFormat(kPixelFormat_2vuy), "'2vuy' (32767579)");
    EXPECT_EQ(Format::stringFromPixelFormat(kPixelFormat_raw), "'raw ' (72617720)");
}

// Threads naming different formats at once each get their own text.
TEST(UVideoFrameBufferFormats, PixelFormatTextPerCall) {
    const std::pair<OSType, std::string> formats[] = {
        {kPixelFormat_2vuy, "'2vuy' (32767579)"}, {kPixelFormat_BGRA, "'BGRA' (42475241)"},
        {kPixelFormat_ARGB, "'ARGB' (41524742)"}, {kPixelFormat_raw, "'raw ' (72617720)"}};
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (const auto &format : formats)
        threads.emplace_back([&wrong, format] {
            for (int i = 0; i < 20000; ++i)
                if (Format::stringFromPixelFormat(format.first) != format.second) ++wrong;
        });
    for (std::thread &thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(UVideoFrameBufferFormats, AspectRatios) {
    EXPECT_TRUE(Format(640, 480, kPixelFormat_ARGB).HasSameFrameAspectRatio(Format(960, 720, kPixelFormat_BGRA)));
    EXPECT_FALSE(Format(1280, 720, kPixelFormat_ARGB).HasSameFrameAspectRatio(Format(640, 480, kPixelFormat_ARGB)));
    EXPECT_FALSE(Format(640, 0, kPixelFormat_ARGB).HasSameFrameAspectRatio(Format(640, 0, kPixelFormat_ARGB)));

    Data frame;
    frame.ConstructData(Format(1280, 720, kPixelFormat_ARGB), nullptr, 0);
    const CGRect centred = frame.GetFrameBufferRectWithAspectRatio(4.0 / 3.0);
    EXPECT_EQ(centred.origin.x, 160);
    EXPECT_EQ(centred.origin.y, 0);
    EXPECT_EQ(centred.size.width, 960);
    EXPECT_EQ(centred.size.height, 720);
    const CGRect whole = frame.GetFrameBufferRectWithAspectRatio(1280.0 / 720.0);
    EXPECT_EQ(whole.size.width, 1280);
    EXPECT_EQ(whole.origin.x, 0);
}

// Frames that no routine may read or write: each is refused, and (under the sanitizers)
// nothing is read past the 64 bytes the frame really has.
TEST(UVideoFrameBufferFormats, FramesThatAreNotSoundAreRefused) {
    struct Case {
        const char *what;
        Format format;
        SInt32 size;
    };
    const Case cases[] = {
        {"unsupported format", Format(4, 4, kPixelFormat_RGBA, 16), 64},
        {"format none", Format(4, 4, kPixelFormat_None, 16), 64},
        {"zero width", Format(0, 4, kPixelFormat_ARGB, 16), 64},
        {"zero height", Format(4, 0, kPixelFormat_ARGB, 16), 64},
        {"negative width", Format(-4, 4, kPixelFormat_ARGB, 16), 64},
        {"negative height", Format(4, -4, kPixelFormat_ARGB, 16), 64},
        {"row bytes smaller than a row", Format(8, 4, kPixelFormat_ARGB, 16), 64},
        {"negative row bytes", Format(4, 4, kPixelFormat_ARGB, -16), 64},
        {"memory shorter than the rows", Format(4, 8, kPixelFormat_ARGB, 16), 64},
        {"huge frame", Format(0x10000, 0x10000, kPixelFormat_ARGB), 64},
        {"no size", Format(4, 4, kPixelFormat_ARGB, 16), 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<UInt8> bytes(64, 0xAB);
        Data bad;
        bad.ConstructData(c.format, bytes.data(), c.size);
        EXPECT_FALSE(bad.HasValidFrameData());
        EXPECT_EQ(bad.GetPixelScanline(0), nullptr);
        EXPECT_EQ(bad.GetPixelScanline(3), nullptr);
        EXPECT_EQ(bad.GetPixelAtPoint(1, 1), nullptr);

        Memory good;
        ASSERT_TRUE(good.Construct(Format(4, 4, kPixelFormat_ARGB)));
        Memory scratch, sourceMemory;
        Data view;
        EXPECT_FALSE(XXXX_ExactCopySameSizeTo_XXXX(good, bad));
        EXPECT_FALSE(XXXX_ExactCopySameSizeTo_XXXX(bad, good));
        EXPECT_FALSE(XXXX_CopyMinimumPixelsRegion_XXXX(good, bad));
        EXPECT_FALSE(XXXX_CopyMinimumPixelsRegion_XXXX(bad, good));
        EXPECT_FALSE(XXXX_BilinearResample_XXXX_vImage(good, scratch, bad));
        EXPECT_FALSE(XXXX_BilinearResample_XXXX_vImage(bad, scratch, good));
        EXPECT_FALSE(XXXX_CopyOrBilinearResample_XXXX(good, scratch, bad));
        EXPECT_FALSE(BGRA_InvertedCopySwizzleSameSizeTo_ARGB_Scalar(good, bad));
        EXPECT_FALSE(BGRA_InvertedCopySwizzleSameSizeTo_ARGB_vImage(bad, good));
        EXPECT_FALSE(BGRA_CopySwizzleSameSizeTo_ARGB_vImage(good, bad));
        EXPECT_FALSE(BGRA_CopyOrResizeFrameSurface(good, scratch, bad, sourceMemory));
        EXPECT_FALSE(view.ConstructWithBufferRegion(bad, CGRectMake(0, 0, 2, 2)));
        if (!c.format.HasValidFrameLayout()) {
            Memory refused;
            EXPECT_FALSE(refused.Construct(c.format));
            EXPECT_EQ(refused.mFrameBufferData, nullptr);
        }
        EXPECT_EQ(bytes, std::vector<UInt8>(64, 0xAB));
    }
}

// Every supported format held in memory, locked, written pixel by pixel, viewed through a
// region and copied, byte for byte.
TEST(UVideoFrameBufferFormats, EveryFormatHeldLockedWrittenAndCopied) {
    for (const FormatCase &c : kSupported) {
        SCOPED_TRACE(Name(c.format));
        const SInt32 width = 6, height = 5, padding = 3;
        const Format padded(width, height, c.format, width * c.pixelBytes + padding);
        Memory frame;
        ASSERT_TRUE(frame.Construct(padded));
        EXPECT_EQ(frame.mFrameBufferDataSizeBytes, height * padded.mPixelRowBytes);
        EXPECT_TRUE(frame.HasValidFrameData());

        frame.LockFrameBuffer();
        bool lockedElsewhere = true;
        std::thread([&] { lockedElsewhere = frame.TryLockFrameBuffer(); }).join();
        EXPECT_FALSE(lockedElsewhere);
        ASSERT_TRUE(frame.ErasePixelDataWithValue(0xEE));
        FillPattern(frame);
        frame.UnlockFrameBuffer();
        EXPECT_EQ(PatternMismatches(frame), 0);
        EXPECT_EQ(frame.CGGetPixelScanline(0), frame.GetPixelScanline(height - 1));
        EXPECT_EQ(frame.GetPixelAtPoint(width, 0), nullptr);
        EXPECT_EQ(frame.GetPixelScanline(height), nullptr);
        EXPECT_EQ(frame.GetPixelScanline(-1), nullptr);

        // Copied into canonical rows: the pixels, not the padding.
        Memory canonical;
        ASSERT_TRUE(canonical.Construct(Format(width, height, c.format)));
        ASSERT_TRUE(canonical.ErasePixelDataWithValue(0));
        EXPECT_FALSE(XXXX_ExactCopySameSizeTo_XXXX(canonical, frame));  // row bytes differ
        EXPECT_EQ(PatternMismatches(canonical), width * height * c.pixelBytes);
        ASSERT_TRUE(XXXX_CopyMinimumPixelsRegion_XXXX(canonical, frame));
        EXPECT_EQ(PatternMismatches(canonical), 0);

        Memory same;
        ASSERT_TRUE(same.Construct(padded));
        ASSERT_TRUE(XXXX_ExactCopySameSizeTo_XXXX(same, frame));
        EXPECT_EQ(PatternMismatches(same), 0);
        Memory whole;
        ASSERT_TRUE(whole.Construct(padded));
        ASSERT_TRUE(XXXX_CopySameBufferSizeBytes_XXXX(whole, frame));
        EXPECT_EQ(std::memcmp(whole.mFrameBufferData, frame.mFrameBufferData, std::size_t(whole.mFrameBufferDataSizeBytes)), 0);
        EXPECT_FALSE(XXXX_CopySameBufferSizeBytes_XXXX(whole, canonical));  // source smaller

        // A region at the bottom right: its pixels, and its memory ends with the frame's.
        Data region;
        ASSERT_TRUE(region.ConstructWithBufferRegion(frame, CGRectMake(2, 1, 4, 4)));
        EXPECT_EQ(region.mFrameBufferFormat.mPixelWidth, 4);
        EXPECT_EQ(region.mFrameBufferFormat.mPixelRowBytes, padded.mPixelRowBytes);
        EXPECT_EQ(PatternMismatches(region, 2, 1), 0);
        EXPECT_LE(static_cast<UInt8 *>(region.mFrameBufferData) + region.mFrameBufferDataSizeBytes,
                  static_cast<UInt8 *>(frame.mFrameBufferData) + frame.mFrameBufferDataSizeBytes);
        EXPECT_TRUE(region.ErasePixelDataWithValue(0));  // stays inside the frame's memory
        EXPECT_FALSE(region.ConstructWithBufferRegion(frame, CGRectMake(3, 0, 4, 1)));   // past the right edge
        EXPECT_FALSE(region.ConstructWithBufferRegion(frame, CGRectMake(0, 0, 0, 2)));   // empty
        EXPECT_FALSE(region.ConstructWithBufferRegion(frame, CGRectMake(-1, 0, 2, 2)));  // outside
    }
}

TEST(UVideoFrameBufferFormats, RegionOfAnAspectRatio) {
    Memory frame;
    ASSERT_TRUE(frame.Construct(Format(16, 9, kPixelFormat_BGRA)));
    FillPattern(frame);
    Data region;
    ASSERT_TRUE(region.ConstructWithBufferRegionHavingFrameAspectRatio(frame, 4.0 / 3.0));
    EXPECT_EQ(region.mFrameBufferFormat.mPixelWidth, 12);
    EXPECT_EQ(region.mFrameBufferFormat.mPixelHeight, 9);
    EXPECT_EQ(PatternMismatches(region, 2, 0), 0);
}

TEST(UVideoFrameBufferDouble, BuffersTakeTurns) {
    Double_T<Memory> frames;
    ASSERT_TRUE(frames.Construct(Format(4, 2, kPixelFormat_BGRA)));
    EXPECT_EQ(frames.mCurrentBuffer, 0);
    EXPECT_EQ(frames.mFrameBufferData, frames.mBuffers[0].mFrameBufferData);
    EXPECT_NE(frames.mBuffers[0].mFrameBufferData, frames.mBuffers[1].mFrameBufferData);
    ASSERT_TRUE(frames.SetCurrentBuffer(1));
    EXPECT_EQ(frames.mFrameBufferData, frames.mBuffers[1].mFrameBufferData);
    EXPECT_EQ(frames.mFrameBufferDataSizeBytes, 32);
    EXPECT_FALSE(frames.SetCurrentBuffer(2));

    frames.mBuffers[1].LockFrameBuffer();
    EXPECT_TRUE(frames.UnlockFrameBufferWithPixelDataPtr(frames.mBuffers[1].mFrameBufferData));
    bool locked = false;
    std::thread([&] {
        locked = frames.mBuffers[1].TryLockFrameBuffer();
        if (locked) frames.mBuffers[1].UnlockFrameBuffer();
    }).join();
    EXPECT_TRUE(locked);
    int other = 0;
    EXPECT_FALSE(frames.UnlockFrameBufferWithPixelDataPtr(&other));
    EXPECT_FALSE(frames.UnlockFrameBufferWithPixelDataPtr(nullptr));

    Double_T<Memory> refused;
    EXPECT_FALSE(refused.Construct(Format(4, 2, kPixelFormat_None)));
    EXPECT_EQ(refused.mFrameBufferData, nullptr);
}

// B G R A pixels numbered by position, as the swizzles see them.
void FillBGRA(Data &frame) {
    const Format &f = frame.mFrameBufferFormat;
    for (SInt32 y = 0; y < f.mPixelHeight; ++y)
        for (SInt32 x = 0; x < f.mPixelWidth; ++x) {
            UInt8 *p = frame.GetPixelAtPoint(x, y);
            const UInt8 n = UInt8(y * 16 + x);
            p[0] = UInt8(0x10 | n);  // B
            p[1] = UInt8(0x20 + n);  // G
            p[2] = UInt8(0x40 + n);  // R
            p[3] = UInt8(0x80 + n);  // A
        }
}

TEST(UVideoFrameBufferSwizzle, FlipsAndReversesEachPixel) {
    struct Case {
        const char *name;
        bool (*routine)(Data &, const Data &);
        bool flipped;
        SInt32 writtenWidth;  // of 5
    };
    const Case cases[] = {
        // Four pixels at a time and then the fifth: a row whose width is not a multiple of 4
        // is written to its end.
        {"scalar, flipped", BGRA_InvertedCopySwizzleSameSizeTo_ARGB_Scalar, true, 5},
        {"vImage, flipped", BGRA_InvertedCopySwizzleSameSizeTo_ARGB_vImage, true, 5},
        {"vImage", BGRA_CopySwizzleSameSizeTo_ARGB_vImage, false, 5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Memory src, dst;
        ASSERT_TRUE(src.Construct(Format(5, 3, kPixelFormat_BGRA)));
        ASSERT_TRUE(dst.Construct(Format(5, 3, kPixelFormat_ARGB)));
        FillBGRA(src);
        dst.ErasePixelDataWithValue(0);
        ASSERT_TRUE(c.routine(dst, src));
        for (SInt32 y = 0; y < 3; ++y)
            for (SInt32 x = 0; x < 5; ++x) {
                const UInt8 *out = dst.GetPixelAtPoint(x, y);
                const UInt8 *in = src.GetPixelAtPoint(x, c.flipped ? 2 - y : y);
                const std::vector<UInt8> got(out, out + 4);
                const std::vector<UInt8> expected =
                    x < c.writtenWidth ? std::vector<UInt8>{in[3], in[2], in[1], in[0]} : std::vector<UInt8>(4, 0);
                EXPECT_EQ(got, expected) << x << "," << y;
            }
        Memory other;
        ASSERT_TRUE(other.Construct(Format(4, 3, kPixelFormat_ARGB)));
        EXPECT_FALSE(c.routine(other, src));  // sizes differ
    }
}

TEST(UVideoFrameBufferResample, BilinearScaling) {
    Memory scratch;
    // 4 x 1 to 2 x 1: each result is the mean of two neighbours.
    Memory src, half;
    ASSERT_TRUE(src.Construct(Format(4, 1, kPixelFormat_ARGB)));
    ASSERT_TRUE(half.Construct(Format(2, 1, kPixelFormat_ARGB)));
    const UInt8 values[4] = {0, 100, 200, 250};
    for (SInt32 x = 0; x < 4; ++x) std::memset(src.GetPixelAtPoint(x, 0), values[x], 4);
    ASSERT_TRUE(XXXX_CopyOrBilinearResample_XXXX(half, scratch, src));
    EXPECT_EQ(half.GetPixelAtPoint(0, 0)[0], 50);
    EXPECT_EQ(half.GetPixelAtPoint(1, 0)[3], 225);

    // Same format: an exact copy; a uniform frame scales to the same colour.
    Memory same;
    ASSERT_TRUE(same.Construct(Format(4, 1, kPixelFormat_ARGB)));
    ASSERT_TRUE(XXXX_CopyOrBilinearResample_XXXX(same, scratch, src));
    EXPECT_EQ(std::memcmp(same.mFrameBufferData, src.mFrameBufferData, 16), 0);
    Memory uniform, large;
    ASSERT_TRUE(uniform.Construct(Format(3, 2, kPixelFormat_2vuy)));  // '2vuy': pixel pairs
    ASSERT_TRUE(uniform.ErasePixelDataWithValue(0x5A));
    ASSERT_TRUE(large.Construct(Format(10, 7, kPixelFormat_2vuy)));
    ASSERT_TRUE(XXXX_BilinearResample_XXXX_vImage(large, scratch, uniform));
    EXPECT_EQ(std::vector<UInt8>(large.GetPixelScanline(6), large.GetPixelScanline(6) + 20), std::vector<UInt8>(20, 0x5A));

    // Formats of other pixel sizes are not scaled.
    Memory bytes;
    ASSERT_TRUE(bytes.Construct(Format(4, 1, kPixelFormat_DATA)));
    EXPECT_FALSE(XXXX_BilinearResample_XXXX_vImage(bytes, scratch, src));
}

TEST(UVideoFrameBufferResample, BGRAFramesFlippedSwizzledAndResized) {
    Memory scratch, sourceMemory;
    Memory src;
    ASSERT_TRUE(src.Construct(Format(4, 2, kPixelFormat_BGRA)));
    FillBGRA(src);
    // Same size and format: the flipped swizzle.
    Memory same;
    ASSERT_TRUE(same.Construct(Format(4, 2, kPixelFormat_BGRA)));
    ASSERT_TRUE(BGRA_CopyOrResizeFrameSurface(same, scratch, src, sourceMemory));
    EXPECT_EQ(same.GetPixelAtPoint(1, 0)[0], src.GetPixelAtPoint(1, 1)[3]);
    // Another size: flipped and swizzled at the source's size, then scaled.
    Memory wide;
    ASSERT_TRUE(wide.Construct(Format(8, 4, kPixelFormat_ARGB)));
    ASSERT_TRUE(BGRA_CopyOrResizeFrameSurface(wide, scratch, src, sourceMemory));
    EXPECT_EQ(sourceMemory.mFrameBufferFormat.mPixelWidth, 4);
    EXPECT_EQ(sourceMemory.GetPixelAtPoint(0, 0)[1], src.GetPixelAtPoint(0, 1)[2]);
    EXPECT_EQ(wide.GetPixelAtPoint(0, 0)[0], src.GetPixelAtPoint(0, 1)[3]);  // corners are not blended
    EXPECT_EQ(wide.GetPixelAtPoint(7, 3)[3], src.GetPixelAtPoint(3, 0)[0]);
    // A source that is not 'BGRA': exact copies only.
    Memory argb, argbCopy, argbOther;
    ASSERT_TRUE(argb.Construct(Format(4, 2, kPixelFormat_ARGB)));
    FillPattern(argb);
    ASSERT_TRUE(argbCopy.Construct(Format(4, 2, kPixelFormat_ARGB)));
    ASSERT_TRUE(BGRA_CopyOrResizeFrameSurface(argbCopy, scratch, argb, sourceMemory));
    EXPECT_EQ(PatternMismatches(argbCopy), 0);
    ASSERT_TRUE(argbOther.Construct(Format(8, 4, kPixelFormat_ARGB)));
    EXPECT_FALSE(BGRA_CopyOrResizeFrameSurface(argbOther, scratch, argb, sourceMemory));
}

}  // namespace
