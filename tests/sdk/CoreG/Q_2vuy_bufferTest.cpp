// 4:2:2 frames: the ARGB conversion and blends by value, the frame's own memory, copies
// between frames (plain, 'yuvs' order, through the luma table and the equalisation), the
// bottom-aligned bitmap rows, the mask blend and the 2:1 side-by-side band.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include <CoreG/Frames422/Q_2vuy_buffer.h>
#include <CoreG/Drawing/namespace_CoreGraphics_BitmapContext.h>
#include <CoreG/Masks/namespace_CoreGraphics_MaskContext.h>
#include <CoreQ/QGWorld.h>

#include "Q2vuyTestSupport.h"

using namespace coreg_2vuy_test;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

struct Pixel {
    uint8_t a, r, g, b;
};

Bytes Argb(Pixel p0, Pixel p1) { return Bytes{p0.a, p0.r, p0.g, p0.b, p1.a, p1.r, p1.g, p1.b}; }

Bytes ConvertPair(Pixel p0, Pixel p1) {
    const Bytes src = Argb(p0, p1);
    Bytes dst(4, 0xEE);
    Q_2vuy_buffer::ConvertARGBRowTo2vuy(src.data(), dst.data(), 2);
    return dst;
}

constexpr Pixel kWhite = {255, 255, 255, 255};
constexpr Pixel kBlack = {255, 0, 0, 0};
constexpr Pixel kRed = {255, 255, 0, 0};
constexpr Pixel kGreen = {255, 0, 255, 0};
constexpr Pixel kBlue = {255, 0, 0, 255};

TEST(Q2vuyConversion, ARGBPairsTo2vuy) {
    const struct {
        const char *name;
        Pixel p0, p1;
        Bytes expected;  // Cb Y'0 Cr Y'1
    } cases[] = {
        {"white", kWhite, kWhite, {128, 234, 128, 234}},
        {"black", kBlack, kBlack, {128, 16, 128, 16}},
        {"red", kRed, kRed, {102, 62, 240, 62}},
        {"green", kGreen, kGreen, {42, 172, 27, 172}},
        {"blue", kBlue, kBlue, {240, 32, 118, 32}},
        // Alpha plays no part.
        {"transparent white", {0, 255, 255, 255}, {0, 255, 255, 255}, {128, 234, 128, 234}},
        // The chroma of a pair is the mean of its two pixels' chroma, rounded down:
        // Cb (102 + 240) >> 1, Cr (240 + 118) >> 1.
        {"red then blue", kRed, kBlue, {171, 62, 179, 32}},
        // Exact halves round down (adding 0.49999999): Cr 54.5 gives 54, Y' 125.5 gives 125.
        {"Cr at a half", {255, 0, 168, 168}, {255, 0, 168, 168}, {145, 129, 54, 129}},
        {"Y' at a half", {255, 2, 162, 162}, {255, 2, 162, 162}, {144, 125, 58, 125}},
        {"both halves", {255, 0, 168, 168}, {255, 2, 162, 162}, {144, 129, 56, 125}},
        {"Y' at a half then black", {255, 2, 188, 131}, kBlack, {125, 139, 88, 16}},
    };
    for (const auto &c : cases) EXPECT_EQ(ConvertPair(c.p0, c.p1), c.expected) << c.name;
}

TEST(Q2vuyConversion, RowsOfOddWidthLeaveTheLastPixel) {
    const Bytes src = {255, 255, 255, 255, 255, 255, 255, 255, 255, 0, 0, 0};
    Bytes dst(6, 0xEE);
    Q_2vuy_buffer::ConvertARGBRowTo2vuy(src.data(), dst.data(), 3);
    EXPECT_EQ(dst, (Bytes{128, 234, 128, 234, 0xEE, 0xEE}));
}

TEST(Q2vuyConversion, BlendARGBIntoPairs) {
    const Bytes old = {100, 50, 150, 200};
    const struct {
        const char *name;
        Pixel p0, p1;
        float opacity;
        Bytes expected;
    } cases[] = {
        {"opaque", kWhite, kWhite, 1.0f, {128, 234, 128, 234}},
        {"transparent", {0, 0, 0, 0}, {0, 0, 0, 0}, 1.0f, {100, 50, 150, 200}},
        // Chroma weighs the old pair by the mean transparency m = 0.5.
        {"opaque then transparent", kWhite, {0, 255, 255, 255}, 1.0f, {114, 234, 139, 200}},
        {"half alpha", {128, 128, 0, 0}, {128, 128, 0, 0}, 1.0f, {107, 44, 167, 119}},
        {"half opacity", kWhite, kWhite, 0.5f, {114, 142, 139, 217}},
        {"opacity above 1", kWhite, kWhite, 2.0f, {128, 234, 128, 234}},
        {"opacity NaN", kWhite, kWhite, kNaN, {100, 50, 150, 200}},
    };
    for (const auto &c : cases) {
        const Bytes src = Argb(c.p0, c.p1);
        Bytes dst = old;
        Q_2vuy_buffer::BlendARGBRowInto2vuy(src.data(), dst.data(), 2, c.opacity);
        EXPECT_EQ(dst, c.expected) << c.name;
    }
}

TEST(Q2vuyConversion, BlendRowsByMask) {
    const Bytes a = {100, 50, 150, 200};
    const Bytes b = {200, 250, 50, 0};
    const struct {
        uint8_t mask0, mask1;
        float strength;
        Bytes expected;
    } cases[] = {
        // w = min(1, 2 (mask / 255 + s) s): 0.125 and 0.625, chroma by their mean 0.375.
        {0, 255, 0.25f, {137, 75, 112, 75}},
        {0, 0, 0.0f, {100, 50, 150, 200}},
        {255, 255, 1.0f, {200, 250, 50, 0}},
        {0, 0, 0.5f, {150, 150, 100, 100}},
        {64, 192, 0.3f, {148, 116, 101, 73}},
        {0, 0, kNaN, {100, 50, 150, 200}},
        {255, 0, -1.0f, {100, 50, 150, 200}},
    };
    for (const auto &c : cases) {
        const uint8_t mask[2] = {c.mask0, c.mask1};
        Bytes dst(4, 0);
        Q_2vuy_buffer::BlendRowsByMask(dst.data(), a.data(), b.data(), 2, c.strength, mask);
        EXPECT_EQ(dst, c.expected) << int(c.mask0) << "/" << int(c.mask1) << " at " << c.strength;
    }
}

TEST(Q2vuyBuffer, AllocateFillsBlackAndRefusesTwice) {
    Q_2vuy_buffer frame;
    EXPECT_FALSE(frame.IsAllocated());
    ASSERT_TRUE(frame.Allocate(Format(4, 2, 12)));
    EXPECT_TRUE(frame.IsAllocated());
    EXPECT_EQ(frame._PixelDataSize, 24u);
    EXPECT_EQ(Row(frame, 1), Pairs({128, 0, 128, 0}, 2));

    uint8_t *pixels = frame._PixelData;
    EXPECT_FALSE(frame.Allocate(Format(8, 8)));
    EXPECT_EQ(frame._PixelData, pixels);
    EXPECT_EQ(frame._Width, 4);

    EXPECT_TRUE(frame.Free());
    EXPECT_EQ(frame._PixelData, nullptr);
    EXPECT_EQ(frame._PixelDataSize, 0u);
    EXPECT_EQ(frame._Width, 0);
    EXPECT_EQ(frame._Height, 0);
    EXPECT_EQ(frame._PixelFormat, k2vuyPixelFormat);
    EXPECT_FALSE(frame.Free());
}

TEST(Q2vuyBuffer, AllocateRefusesFormatsWithoutRows) {
    const Q_2vuy_format formats[] = {
        Format(4, 0), Format(0, 4), Format(-4, 2), Format(4, -2), Format(4, 2, 6),
    };
    for (const Q_2vuy_format &format : formats) {
        Q_2vuy_buffer frame;
        EXPECT_FALSE(frame.Allocate(format)) << format._Width << " x " << format._Height << " / " << format._RowBytes;
        EXPECT_EQ(frame._PixelData, nullptr);
    }
}

TEST(Q2vuyBuffer, FillYUVInTheFramesOwnOrder) {
    Q_2vuy_buffer vuy, yuvs;
    ASSERT_TRUE(vuy.Allocate(Format(4, 1)));
    ASSERT_TRUE(yuvs.Allocate(Format(4, 1, 0, kYUVSPixelFormat)));
    EXPECT_TRUE(vuy.FillYUV(16, 90, 240));
    EXPECT_TRUE(yuvs.FillYUV(16, 90, 240));
    EXPECT_EQ(Row(vuy, 0), Pairs({90, 16, 240, 16}, 2));
    EXPECT_EQ(Row(yuvs, 0), Pairs({16, 90, 16, 240}, 2));
}

TEST(Q2vuyBuffer, CopiesAndAliasesNeverFreeThePixels) {
    Q_2vuy_buffer frame;
    ASSERT_TRUE(frame.Allocate(Format(2, 2)));
    {
        Q_2vuy_buffer alias(frame);
        EXPECT_EQ(alias._PixelData, frame._PixelData);
        EXPECT_EQ(alias._PixelDataSize, frame._PixelDataSize);
        EXPECT_TRUE(alias.FillYUV(200, 1, 2));
        EXPECT_TRUE(alias.Free());  // forgets the pixels without freeing them
    }
    EXPECT_EQ(Row(frame, 1), (Bytes{1, 200, 2, 200}));
}

TEST(Q2vuyBuffer, PixelsTooSmallForTheFormatAreNeverTouched) {
    // An alias whose memory holds fewer rows than its format claims.
    Q_2vuy_buffer owner;
    ASSERT_TRUE(owner.Allocate(Format(4, 1)));  // 8 bytes
    Q_2vuy_buffer alias(owner);
    alias._Height = 4;
    EXPECT_TRUE(alias.IsAllocated());
    EXPECT_FALSE(alias.HasPixelRows());
    EXPECT_FALSE(alias.FillYUV(1, 2, 3));
    Q_2vuy_buffer src;
    ASSERT_TRUE(src.Allocate(Format(4, 4)));
    EXPECT_FALSE(alias.CopyFrom(src));
    EXPECT_FALSE(src.CopyFrom(alias));
    QGWorld world;
    EXPECT_FALSE(alias.ConstructGWorldAlias(world));
    EXPECT_FALSE(world.IsConstructed());
    EXPECT_EQ(Row(owner, 0), Pairs({128, 0, 128, 0}, 2));
}

TEST(Q2vuyBuffer, CopyFrom) {
    const Bytes rowA = {1, 2, 3, 4, 5, 6, 7, 8};
    const Bytes rowB = {11, 12, 13, 14, 15, 16, 17, 18};
    const Bytes swappedA = {2, 1, 4, 3, 6, 5, 8, 7};
    const Bytes swappedB = {12, 11, 14, 13, 16, 15, 18, 17};
    const Bytes black = Pairs({128, 0, 128, 0}, 2);
    const struct {
        const char *name;
        Q_2vuy_format dst, src;
        bool copied;
        Bytes row0, row1;
    } cases[] = {
        {"same format, other row bytes", Format(4, 2), Format(4, 2, 20), true, rowA, rowB},
        {"yuvs into 2vuy", Format(4, 2), Format(4, 2, 0, kYUVSPixelFormat), true, swappedA, swappedB},
        {"yuvs into yuvs", Format(4, 2, 0, kYUVSPixelFormat), Format(4, 2, 0, kYUVSPixelFormat), true, rowA, rowB},
        {"2vuy into yuvs", Format(4, 2, 0, kYUVSPixelFormat), Format(4, 2), false, {}, {}},
        {"other width", Format(4, 2), Format(6, 2), false, {}, {}},
        {"other height", Format(4, 2), Format(4, 3), false, {}, {}},
        {"not 4:2:2", Format(4, 2), Format(4, 2, 16, k32ARGBPixelFormat), false, {}, {}},
    };
    for (const auto &c : cases) {
        Q_2vuy_buffer src, dst;
        ASSERT_TRUE(src.Allocate(c.src));
        for (long r = 0; r < src._Height; ++r)
            for (long i = 0; i < src._Width * 2; ++i) src._PixelData[r * src._RowBytes + i] = uint8_t(r * 10 + i + 1);
        ASSERT_TRUE(dst.Allocate(c.dst));
        const Bytes before = Row(dst, 0);
        EXPECT_EQ(dst.CopyFrom(src), c.copied) << c.name;
        EXPECT_EQ(Row(dst, 0), c.copied ? c.row0 : before) << c.name;
        if (c.copied) {
            EXPECT_EQ(Row(dst, 1), c.row1) << c.name;
        }
    }
}

// A table that tells which entry a luma went through: entry i is 255 - i, plus bits above
// the low byte that must be dropped.
struct ReversedTable {
    uint16_t entries[256];
    ReversedTable() {
        for (int i = 0; i < 256; ++i) entries[i] = uint16_t(0x100 | (255 - i));
    }
};

TEST(Q2vuyBuffer, CopyFromWithLUTMapsLumaOnly) {
    const ReversedTable table;
    const struct {
        OSType format;
        Bytes src, expected;
    } cases[] = {
        {k2vuyPixelFormat, {90, 16, 240, 235}, {90, 239, 240, 20}},
        {kYUVSPixelFormat, {16, 90, 235, 240}, {90, 239, 240, 20}},
    };
    for (const auto &c : cases) {
        Q_2vuy_buffer src, dst;
        Fill(src, Format(2, 1, 0, c.format), {c.src});
        ASSERT_TRUE(dst.Allocate(Format(2, 1)));
        EXPECT_TRUE(dst.CopyFromWithLUT(src, table.entries));
        EXPECT_EQ(Row(dst, 0), c.expected);
    }
    Q_2vuy_buffer other, dst, yuvsDst;
    ASSERT_TRUE(other.Allocate(Format(4, 1)));
    ASSERT_TRUE(dst.Allocate(Format(2, 1)));
    ASSERT_TRUE(yuvsDst.Allocate(Format(2, 1, 0, kYUVSPixelFormat)));
    EXPECT_FALSE(dst.CopyFromWithLUT(other, table.entries));
    EXPECT_FALSE(yuvsDst.CopyFromWithLUT(dst, table.entries));
}

TEST(Q2vuyBuffer, EqualisationLagsOneFrame) {
    const ReversedTable table;
    Q_2vuy_buffer::LumaHistogram record;
    Q_2vuy_buffer black, out;
    Fill(black, Format(4, 2), {Pairs({128, 16, 128, 16}, 2), Pairs({128, 16, 128, 16}, 2)});
    ASSERT_TRUE(out.Allocate(Format(4, 2)));

    // First frame: the all-zero record sends every luma through entry 0 + 15.
    EXPECT_TRUE(out.CopyFromWithLUTAndHistogram(black, table.entries, record));
    EXPECT_EQ(Row(out, 1), Pairs({128, 240, 128, 240}, 2));
    // Every sample fell in bin 1 (luma 16): bin 0 maps to 0, the rest to 240.
    EXPECT_EQ(record.mSampleCount, 8u);
    EXPECT_EQ(record.mSampleBin[0], 0u);
    EXPECT_EQ(record.mSampleBin[1], 240u);
    EXPECT_EQ(record.mSampleBin[240], 240u);

    // Second frame: luma 16 now goes through entry 240 + 15.
    EXPECT_TRUE(out.CopyFromWithLUTAndHistogram(black, table.entries, record));
    EXPECT_EQ(Row(out, 0), Pairs({128, 0, 128, 0}, 2));
}

TEST(Q2vuyBuffer, EqualisationOfATwoToneFrame) {
    uint16_t identity[256];
    for (int i = 0; i < 256; ++i) identity[i] = uint16_t(i);
    Q_2vuy_buffer::LumaHistogram record;
    Q_2vuy_buffer twoTone, probe, out;
    // Half the lumas at or below 15 (bin 0), half at 255 (bin 240), from a 'yuvs' frame.
    Fill(twoTone, Format(4, 1, 0, kYUVSPixelFormat), {{0, 128, 255, 128, 15, 128, 255, 128}});
    Fill(probe, Format(4, 1), {{128, 15, 128, 100, 128, 254, 128, 255}});
    ASSERT_TRUE(out.Allocate(Format(4, 1)));
    EXPECT_TRUE(out.CopyFromWithLUTAndHistogram(twoTone, identity, record));
    EXPECT_EQ(record.mSampleBin[0], 120u);
    EXPECT_EQ(record.mSampleBin[239], 120u);
    EXPECT_EQ(record.mSampleBin[240], 240u);
    EXPECT_TRUE(out.CopyFromWithLUTAndHistogram(probe, identity, record));
    EXPECT_EQ(Row(out, 0), (Bytes{128, 135, 128, 135, 128, 135, 128, 255}));
}

TEST(Q2vuyBuffer, EqualisationWithoutSamplesKeepsTheRecord) {
    // A frame one pixel wide has no pairs: nothing is counted and the record stays.
    uint16_t identity[256];
    for (int i = 0; i < 256; ++i) identity[i] = uint16_t(i);
    Q_2vuy_buffer::LumaHistogram record;
    for (uint32_t &bin : record.mSampleBin) bin = 7;
    record.mSampleCount = 99;
    Q_2vuy_buffer narrow, out;
    ASSERT_TRUE(narrow.Allocate(Format(1, 3, 4)));
    ASSERT_TRUE(out.Allocate(Format(1, 3, 4)));
    EXPECT_TRUE(out.CopyFromWithLUTAndHistogram(narrow, identity, record));
    EXPECT_EQ(record.mSampleCount, 99u);
    EXPECT_EQ(record.mSampleBin[120], 7u);
}

// An ARGB32 bitmap whose memory row r is the opaque grey 40 r + 10.
void FillGreyRows(CoreGraphics::BitmapContext &bitmap) {
    for (uint32_t r = 0; r < bitmap.mImageHeight; ++r)
        for (uint32_t x = 0; x < bitmap.mImageWidth; ++x) {
            uint8_t *p = bitmap.mImageDataBytes + r * bitmap.mImageRowBytes + x * 4;
            p[0] = 255;
            p[1] = p[2] = p[3] = uint8_t(40 * r + 10);
        }
}

// Luma of the greys 10, 50, 90, 130, 170, 210 (memory rows 0..5).
constexpr uint8_t kGreyLuma[] = {25, 59, 93, 127, 161, 196};

TEST(Q2vuyBuffer, BitmapRowsAlignAtTheBottom) {
    const struct {
        const char *name;
        int bitmapWidth, bitmapHeight, frameWidth, frameHeight;
        std::vector<int> bitmapRowOfFrameRow;  // -1: left as it was
        int convertedPixels;
    } cases[] = {
        {"taller bitmap", 4, 6, 4, 3, {3, 4, 5}, 4},
        {"shorter bitmap", 4, 2, 4, 4, {-1, -1, 0, 1}, 4},
        {"narrower bitmap", 2, 3, 6, 3, {0, 1, 2}, 2},
        {"wider bitmap", 8, 2, 4, 2, {0, 1}, 4},
    };
    for (const auto &c : cases) {
        CoreGraphics::BitmapContext bitmap;
        ASSERT_TRUE(bitmap.Construct(c.bitmapWidth, c.bitmapHeight, CoreGraphics::kBitmapType_ARGB32));
        FillGreyRows(bitmap);
        Q_2vuy_buffer frame;
        ASSERT_TRUE(frame.Allocate(Format(c.frameWidth, c.frameHeight)));
        EXPECT_TRUE(frame.CopyFromBitmapContext(bitmap, false)) << c.name;
        for (int row = 0; row < c.frameHeight; ++row) {
            const int source = c.bitmapRowOfFrameRow[size_t(row)];
            Bytes expected;
            for (int pair = 0; pair < c.frameWidth / 2; ++pair) {
                const bool converted = source >= 0 && pair * 2 < c.convertedPixels;
                const uint8_t y = converted ? kGreyLuma[source] : 0;
                expected.insert(expected.end(), {128, y, 128, y});
            }
            EXPECT_EQ(Row(frame, row), expected) << c.name << ", row " << row;
        }
    }
}

TEST(Q2vuyBuffer, BitmapsOfOtherLayoutsAreRefused) {
    Q_2vuy_buffer frame;
    ASSERT_TRUE(frame.Allocate(Format(2, 2)));
    CoreGraphics::BitmapContext grey, xrgb, none;
    ASSERT_TRUE(grey.Construct(2, 2, CoreGraphics::kBitmapType_Gray8));
    ASSERT_TRUE(xrgb.Construct(2, 2, CoreGraphics::kBitmapType_XRGB32));
    EXPECT_FALSE(frame.CopyFromBitmapContext(grey, false));
    EXPECT_FALSE(frame.CopyFromBitmapContext(xrgb, false));
    EXPECT_FALSE(frame.CopyFromBitmapContext(none, false));
    Q_2vuy_buffer yuvs;
    ASSERT_TRUE(yuvs.Allocate(Format(2, 2, 0, kYUVSPixelFormat)));
    CoreGraphics::BitmapContext argb;
    ASSERT_TRUE(argb.Construct(2, 2, CoreGraphics::kBitmapType_ARGB32));
    EXPECT_FALSE(yuvs.CopyFromBitmapContext(argb, false));
}

TEST(Q2vuyBuffer, BitmapBlendKeepsWhatTransparentPixelsCover) {
    CoreGraphics::BitmapContext bitmap;
    ASSERT_TRUE(bitmap.Construct(4, 1, CoreGraphics::kBitmapType_ARGB32));
    const Bytes pixels = {255, 255, 255, 255, 0, 255, 255, 255, 0, 0, 0, 0, 0, 0, 0, 0};
    std::memcpy(bitmap.mImageDataBytes, pixels.data(), pixels.size());
    Q_2vuy_buffer frame;
    Fill(frame, Format(4, 1), {Pairs({100, 50, 150, 200}, 2)});
    EXPECT_TRUE(frame.CopyFromBitmapContext(bitmap, true));
    EXPECT_EQ(Row(frame, 0), (Bytes{114, 234, 139, 200, 100, 50, 150, 200}));
}

TEST(Q2vuyBuffer, CopyFromGWorld) {
    QGWorld world;
    ASSERT_TRUE(world.Construct(QPoint(4, 2), k32ARGBPixelFormat));
    const PixMapHandle pixmap = world.GetPixMap();
    uint8_t *base = reinterpret_cast<uint8_t *>(GetPixBaseAddr(pixmap));
    const long rowBytes = GetPixRowBytes(pixmap);
    const Bytes row0 = {255, 255, 255, 255, 255, 255, 255, 255, 255, 0, 0, 0, 255, 0, 0, 0};
    const Bytes row1 = {255, 255, 0, 0, 255, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    std::memcpy(base, row0.data(), row0.size());
    std::memcpy(base + rowBytes, row1.data(), row1.size());

    Q_2vuy_buffer frame;
    Fill(frame, Format(4, 2), {Pairs({100, 50, 150, 200}, 2), Pairs({100, 50, 150, 200}, 2)});
    EXPECT_TRUE(frame.CopyFromGWorld(world, true));
    EXPECT_EQ(Row(frame, 0), (Bytes{128, 234, 128, 234, 128, 16, 128, 16}));
    EXPECT_EQ(Row(frame, 1), (Bytes{102, 62, 240, 62, 100, 50, 150, 200}));
    EXPECT_TRUE(frame.CopyFromGWorld(world, false));
    EXPECT_EQ(Row(frame, 1), (Bytes{102, 62, 240, 62, 128, 16, 128, 16}));

    QGWorld wrongSize, bgra, empty;
    ASSERT_TRUE(wrongSize.Construct(QPoint(4, 3), k32ARGBPixelFormat));
    ASSERT_TRUE(bgra.Construct(QPoint(4, 2), k32BGRAPixelFormat));
    EXPECT_FALSE(frame.CopyFromGWorld(wrongSize, false));
    EXPECT_FALSE(frame.CopyFromGWorld(bgra, false));
    EXPECT_FALSE(frame.CopyFromGWorld(empty, false));
}

TEST(Q2vuyBuffer, BlendFramesByMask) {
    CoreGraphics::MaskContext mask;
    ASSERT_TRUE(mask.Construct(2, 2));
    const Bytes maskBytes = {0, 255, 64, 192};
    std::memcpy(mask.mImageDataBytes, maskBytes.data(), maskBytes.size());
    Q_2vuy_buffer a, b, out;
    Fill(a, Format(2, 2), {{100, 50, 150, 200}, {100, 50, 150, 200}});
    // b in 'yuvs' order: the pair Cb 200, Y0 250, Cr 50, Y1 0.
    Fill(b, Format(2, 2, 0, kYUVSPixelFormat), {{250, 200, 0, 50}, {250, 200, 0, 50}});
    ASSERT_TRUE(out.Allocate(Format(2, 2)));
    EXPECT_TRUE(out.BlendFrames(a, b, mask, 0.25f));
    EXPECT_EQ(Row(out, 0), (Bytes{137, 75, 112, 75}));
    EXPECT_TRUE(out.BlendFrames(a, b, mask, 0.3f));
    EXPECT_EQ(Row(out, 1), (Bytes{148, 116, 101, 73}));

    CoreGraphics::MaskContext small;
    ASSERT_TRUE(small.Construct(2, 1));
    EXPECT_FALSE(out.BlendFrames(a, b, small, 0.5f));
    Q_2vuy_buffer other;
    ASSERT_TRUE(other.Allocate(Format(4, 2)));
    EXPECT_FALSE(out.BlendFrames(a, other, mask, 0.5f));
}

// Two 8 x 4 sources and the band they make (computed by hand from the rule).
const std::vector<Bytes> kSideA = {
    {5, 16, 27, 38, 49, 60, 71, 82, 93, 104, 115, 126, 137, 148, 159, 170},
    {42, 53, 64, 75, 86, 97, 108, 119, 130, 141, 152, 163, 174, 185, 196, 207},
    {79, 90, 101, 112, 123, 134, 145, 156, 167, 178, 189, 200, 211, 222, 233, 244},
    {116, 127, 138, 149, 160, 171, 182, 193, 204, 215, 226, 237, 248, 3, 14, 25},
};
// In 'yuvs' order.
const std::vector<Bytes> kSideB = {
    {200, 193, 186, 179, 172, 165, 158, 151, 144, 137, 130, 123, 116, 109, 102, 95},
    {177, 170, 163, 156, 149, 142, 135, 128, 121, 114, 107, 100, 93, 86, 79, 72},
    {154, 147, 140, 133, 126, 119, 112, 105, 98, 91, 84, 77, 70, 63, 56, 49},
    {131, 124, 117, 110, 103, 96, 89, 82, 75, 68, 61, 54, 47, 40, 33, 26},
};
const std::vector<Bytes> kBand = {
    {45, 56, 67, 78, 133, 144, 155, 166, 167, 174, 153, 160, 111, 118, 97, 104},
    {119, 130, 141, 152, 207, 154, 165, 176, 121, 128, 107, 114, 65, 72, 51, 58},
};

TEST(Q2vuyBuffer, SideBySideBand) {
    const Bytes untouched = Pairs({128, 0, 128, 0}, 4);
    const struct {
        long firstRow;
        std::vector<Bytes> expected;
    } cases[] = {
        {0, {kBand[0], kBand[1], untouched, untouched}},
        {1, {untouched, kBand[0], kBand[1], untouched}},
        {2, {untouched, untouched, kBand[0], kBand[1]}},
        {3, {untouched, untouched, untouched, kBand[0]}},
        {-1, {kBand[1], untouched, untouched, untouched}},
        {LONG_MAX, {untouched, untouched, untouched, untouched}},
        {LONG_MIN, {untouched, untouched, untouched, untouched}},
    };
    Q_2vuy_buffer a, b;
    Fill(a, Format(8, 4), kSideA);
    Fill(b, Format(8, 4, 0, kYUVSPixelFormat), kSideB);
    for (const auto &c : cases) {
        Q_2vuy_buffer out;
        ASSERT_TRUE(out.Allocate(Format(8, 4)));
        EXPECT_TRUE(out.ComposeSideBySide(a, b, c.firstRow));
        for (long row = 0; row < 4; ++row)
            EXPECT_EQ(Row(out, row), c.expected[size_t(row)]) << "first row " << c.firstRow << ", row " << row;
    }
}

TEST(Q2vuyBuffer, SideBySideNeedsMatchingFrames) {
    Q_2vuy_buffer a, b, out, oneRow, oneRowOut, wide;
    ASSERT_TRUE(a.Allocate(Format(8, 4)));
    ASSERT_TRUE(b.Allocate(Format(8, 4)));
    ASSERT_TRUE(out.Allocate(Format(8, 4)));
    ASSERT_TRUE(wide.Allocate(Format(12, 4)));
    ASSERT_TRUE(oneRow.Allocate(Format(8, 1)));
    ASSERT_TRUE(oneRowOut.Allocate(Format(8, 1)));
    EXPECT_FALSE(out.ComposeSideBySide(a, wide, 0));
    EXPECT_FALSE(oneRowOut.ComposeSideBySide(oneRow, oneRow, 0));
    // An odd number of pairs: the last pair is kept.
    Q_2vuy_buffer odd, oddOut;
    Fill(odd, Format(6, 2), {Pairs({10, 20, 30, 40}, 3), Pairs({30, 40, 50, 60}, 3)});
    ASSERT_TRUE(oddOut.Allocate(Format(6, 2)));
    EXPECT_TRUE(oddOut.ComposeSideBySide(odd, odd, 0));
    EXPECT_EQ(Row(oddOut, 0), (Bytes{20, 30, 40, 50, 20, 30, 40, 50, 128, 0, 128, 0}));
}

}  // namespace
