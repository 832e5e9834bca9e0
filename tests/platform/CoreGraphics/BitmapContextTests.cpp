// Bitmap contexts: byte layouts, coordinates, state and the basic fills.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "CGTestSupport.h"

using cgtest::Bitmap;
using cgtest::Holder;

namespace {

constexpr uint32_t kARGB = kCGImageAlphaPremultipliedFirst;
constexpr uint32_t kRGBA = kCGImageAlphaPremultipliedLast;
constexpr uint32_t kXRGB = kCGImageAlphaNoneSkipFirst;
constexpr uint32_t kRGBX = kCGImageAlphaNoneSkipLast;
constexpr uint32_t kLittle = kCGBitmapByteOrder32Little;

struct LayoutCase {
    const char *name;
    uint32_t info;
    bool grey;
    CGFloat r, g, b, a;
    std::vector<uint8_t> expected;  // every pixel after filling a cleared bitmap
};

std::string Bytes(const std::vector<uint8_t> &v) {
    std::string s;
    for (uint8_t b : v) s += std::to_string(b) + " ";
    return s;
}

class BitmapLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(BitmapLayout, FillReadsBackAsExactBytes) {
    const LayoutCase &c = GetParam();
    Bitmap bitmap = Bitmap::Make(5, 3, c.info, c.grey);
    ASSERT_TRUE(bitmap.context);
    CGContextSetRGBFillColor(bitmap.context, c.r, c.g, c.b, c.a);
    CGContextFillRect(bitmap.context, CGRectMake(0, 0, 5, 3));
    for (size_t y = 0; y < 3; ++y)
        for (size_t x = 0; x < 5; ++x)
            ASSERT_EQ(Bytes(bitmap.pixel(x, y)), Bytes(c.expected)) << "pixel " << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(
    AllLayouts, BitmapLayout,
    testing::Values(
        LayoutCase{"ARGB", kARGB, false, 1, 0.6, 0.2, 1, {255, 255, 153, 51}},
        LayoutCase{"ARGBBig", kARGB | kCGBitmapByteOrder32Big, false, 1, 0.6, 0.2, 1, {255, 255, 153, 51}},
        LayoutCase{"ARGBPremultiplied", kARGB, false, 1, 0.5, 0, 0.5, {128, 128, 64, 0}},
        LayoutCase{"RGBA", kRGBA, false, 1, 0.6, 0.2, 1, {255, 153, 51, 255}},
        LayoutCase{"RGBAPremultiplied", kRGBA, false, 1, 0.5, 0, 0.5, {128, 64, 0, 128}},
        LayoutCase{"XRGB", kXRGB, false, 1, 0.6, 0.2, 1, {255, 255, 153, 51}},
        LayoutCase{"XRGBOverBlack", kXRGB, false, 1, 0.5, 0, 0.5, {255, 128, 64, 0}},
        LayoutCase{"RGBX", kRGBX, false, 1, 0.6, 0.2, 1, {255, 153, 51, 255}},
        LayoutCase{"LittleARGB", kARGB | kLittle, false, 1, 0.6, 0.2, 1, {51, 153, 255, 255}},
        LayoutCase{"LittleARGBPremultiplied", kARGB | kLittle, false, 1, 0.5, 0, 0.5, {0, 64, 128, 128}},
        LayoutCase{"LittleXRGB", kXRGB | kLittle, false, 1, 0.6, 0.2, 1, {51, 153, 255, 255}},
        LayoutCase{"LittleRGBA", kRGBA | kLittle, false, 1, 0.6, 0.2, 1, {255, 51, 153, 255}},
        LayoutCase{"LittleRGBX", kRGBX | kLittle, false, 1, 0.6, 0.2, 1, {255, 51, 153, 255}},
        LayoutCase{"Grey", kCGImageAlphaNone, true, 0.6, 0.6, 0.6, 1, {153}},
        LayoutCase{"GreyOverBlack", kCGImageAlphaNone, true, 1, 1, 1, 0.5, {128}},
        // Colours are turned into grey by their Rec. 601 luma.
        LayoutCase{"GreyFromRed", kCGImageAlphaNone, true, 1, 0, 0, 1, {77}}),
    [](const testing::TestParamInfo<LayoutCase> &info) { return std::string(info.param.name); });

struct RefusedCase {
    const char *name;
    size_t width, height, bitsPerComponent, rowBytes;
    bool grey;
    uint32_t info;
};

class RefusedLayout : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedLayout, CreateAnswersNull) {
    const RefusedCase &c = GetParam();
    std::vector<uint8_t> memory(4096);
    Holder<CGColorSpaceRef> space(c.grey ? CGColorSpaceCreateDeviceGray() : CGColorSpaceCreateDeviceRGB());
    EXPECT_EQ(CGBitmapContextCreate(memory.data(), c.width, c.height, c.bitsPerComponent, c.rowBytes, space, c.info),
              nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, RefusedLayout,
    testing::Values(RefusedCase{"NotPremultipliedFirst", 4, 4, 8, 16, false, kCGImageAlphaFirst},
                    RefusedCase{"NotPremultipliedLast", 4, 4, 8, 16, false, kCGImageAlphaLast},
                    RefusedCase{"RGBWithoutAlpha", 4, 4, 8, 16, false, kCGImageAlphaNone},
                    RefusedCase{"GreyWithAlpha", 4, 4, 8, 4, true, kCGImageAlphaPremultipliedLast},
                    RefusedCase{"SixteenBitComponents", 4, 4, 16, 32, false, kARGB},
                    RefusedCase{"FloatComponents", 4, 4, 8, 16, false, kARGB | kCGBitmapFloatComponents},
                    RefusedCase{"SixteenBitOrder", 4, 4, 8, 16, false, kARGB | kCGBitmapByteOrder16Little},
                    RefusedCase{"RowBytesTooSmall", 4, 4, 8, 15, false, kARGB},
                    RefusedCase{"ZeroWidth", 0, 4, 8, 16, false, kARGB},
                    RefusedCase{"TooWide", 40000, 1, 8, 0, true, kCGImageAlphaNone}),
    [](const testing::TestParamInfo<RefusedCase> &info) { return std::string(info.param.name); });

TEST(BitmapContext, NullSpaceIsRefused) {
    std::vector<uint8_t> memory(64);
    EXPECT_EQ(CGBitmapContextCreate(memory.data(), 4, 4, 8, 16, nullptr, kARGB), nullptr);
}

TEST(BitmapContext, OwnMemoryIsClearedAndAccessorsDescribeIt) {
    Holder<CGColorSpaceRef> space(CGColorSpaceCreateWithName(kCGColorSpaceSRGB));
    Holder<CGContextRef> context(CGBitmapContextCreate(nullptr, 7, 3, 8, 0, space, kXRGB));
    ASSERT_TRUE(context);
    EXPECT_EQ(CGBitmapContextGetWidth(context), 7u);
    EXPECT_EQ(CGBitmapContextGetHeight(context), 3u);
    EXPECT_EQ(CGBitmapContextGetBitsPerComponent(context), 8u);
    EXPECT_EQ(CGBitmapContextGetBitsPerPixel(context), 32u);
    EXPECT_EQ(CGBitmapContextGetBytesPerRow(context), 28u);
    EXPECT_EQ(CGBitmapContextGetAlphaInfo(context), kCGImageAlphaNoneSkipFirst);
    EXPECT_EQ(CGBitmapContextGetBitmapInfo(context), kXRGB);
    EXPECT_EQ(CGBitmapContextGetColorSpace(context), space.get());
    EXPECT_EQ(CFGetTypeID(context), CGContextGetTypeID());
    const auto *data = static_cast<const uint8_t *>(CGBitmapContextGetData(context));
    ASSERT_NE(data, nullptr);
    for (size_t i = 0; i < 28 * 3; ++i) ASSERT_EQ(data[i], 0) << i;
    CGContextSetRGBFillColor(context, 0, 0, 1, 1);
    CGContextFillRect(context, CGRectMake(0, 0, 7, 3));
    EXPECT_EQ(CGBitmapContextGetData(context), data);  // the same memory, now up to date
    EXPECT_EQ(data[0], 255);
    EXPECT_EQ(data[3], 255);
}

TEST(BitmapContext, LargerRowBytesLeavePaddingAlone) {
    Bitmap bitmap = Bitmap::Make(3, 2, kARGB, false, 0x22, 20);
    CGContextSetRGBFillColor(bitmap.context, 1, 1, 1, 1);
    CGContextFillRect(bitmap.context, CGRectMake(0, 0, 3, 2));
    for (size_t row = 0; row < 2; ++row) {
        for (size_t i = 0; i < 12; ++i) EXPECT_EQ(bitmap.bytes()[row * 20 + i], 255);
        for (size_t i = 12; i < 20; ++i) EXPECT_EQ(bitmap.bytes()[row * 20 + i], 0x22);
    }
}

// Which memory rows and columns of an 8 x 8 bitmap a fill painted (non-zero alpha).
std::vector<std::string> Painted(const Bitmap &bitmap) {
    std::vector<std::string> rows;
    for (size_t y = 0; y < bitmap.height; ++y) {
        std::string row;
        for (size_t x = 0; x < bitmap.width; ++x) row += bitmap.at(x, y)[0] ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

struct PlacementCase {
    const char *name;
    std::function<void(CGContextRef)> draw;
    std::vector<std::string> expected;  // memory row 0 first
};

class Placement : public testing::TestWithParam<PlacementCase> {};

TEST_P(Placement, LandsInTheRightPixels) {
    Bitmap bitmap = Bitmap::Make(8, 8, kARGB);
    CGContextSetRGBFillColor(bitmap.context, 1, 1, 1, 1);
    GetParam().draw(bitmap.context);
    EXPECT_EQ(Painted(bitmap), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    CoordinatesAndCTM, Placement,
    testing::Values(
        PlacementCase{"BottomRowsAreTheLastInMemory",
                      [](CGContextRef c) { CGContextFillRect(c, CGRectMake(0, 0, 3, 2)); },
                      {"........", "........", "........", "........", "........", "........", "###.....",
                       "###....."}},
        PlacementCase{"Translate",
                      [](CGContextRef c) {
                          CGContextTranslateCTM(c, 2, 3);
                          CGContextFillRect(c, CGRectMake(0, 0, 1, 1));
                      },
                      {"........", "........", "........", "........", "..#.....", "........", "........",
                       "........"}},
        PlacementCase{"Scale",
                      [](CGContextRef c) {
                          CGContextScaleCTM(c, 2, 3);
                          CGContextFillRect(c, CGRectMake(1, 1, 1, 1));
                      },
                      {"........", "........", "..##....", "..##....", "..##....", "........", "........",
                       "........"}},
        PlacementCase{"RotateQuarterTurn",
                      [](CGContextRef c) {
                          CGContextTranslateCTM(c, 5, 0);
                          CGContextRotateCTM(c, M_PI / 2);  // (x, y) -> (-y, x)
                          CGContextFillRect(c, CGRectMake(0, 0, 3, 1));
                      },
                      {"........", "........", "........", "........", "........", "....#...", "....#...",
                       "....#..."}},
        PlacementCase{"ConcatFlip",
                      [](CGContextRef c) {
                          CGContextConcatCTM(c, CGAffineTransformMake(1, 0, 0, -1, 0, 8));  // y down from the top
                          CGContextFillRect(c, CGRectMake(1, 0, 2, 1));
                      },
                      {".##.....", "........", "........", "........", "........", "........", "........",
                       "........"}},
        PlacementCase{"SaveRestoreUndoesTheCTM",
                      [](CGContextRef c) {
                          CGContextSaveGState(c);
                          CGContextTranslateCTM(c, 4, 4);
                          CGContextRestoreGState(c);
                          CGContextFillRect(c, CGRectMake(0, 7, 1, 1));
                      },
                      {"#.......", "........", "........", "........", "........", "........", "........",
                       "........"}},
        PlacementCase{"PathIsFixedWhenBuilt",
                      [](CGContextRef c) {
                          CGContextAddRect(c, CGRectMake(0, 0, 1, 1));
                          CGContextTranslateCTM(c, 4, 4);
                          CGContextFillPath(c);
                      },
                      {"........", "........", "........", "........", "........", "........", "........",
                       "#......."}},
        PlacementCase{"ClipToRect",
                      [](CGContextRef c) {
                          CGContextClipToRect(c, CGRectMake(2, 2, 3, 2));
                          CGContextFillRect(c, CGRectMake(0, 0, 8, 8));
                      },
                      {"........", "........", "........", "........", "..###...", "..###...", "........",
                       "........"}},
        PlacementCase{"RestoreRemovesTheClip",
                      [](CGContextRef c) {
                          CGContextSaveGState(c);
                          CGContextClipToRect(c, CGRectMake(0, 0, 1, 1));
                          CGContextRestoreGState(c);
                          CGContextFillRect(c, CGRectMake(7, 7, 1, 1));
                      },
                      {".......#", "........", "........", "........", "........", "........", "........",
                       "........"}},
        PlacementCase{"EvenOddLeavesTheHole",
                      [](CGContextRef c) {
                          CGContextAddRect(c, CGRectMake(1, 1, 6, 6));
                          CGContextAddRect(c, CGRectMake(3, 3, 2, 2));
                          CGContextEOFillPath(c);
                      },
                      {"........", ".######.", ".######.", ".##..##.", ".##..##.", ".######.", ".######.",
                       "........"}},
        PlacementCase{"WindingFillsTheHole",
                      [](CGContextRef c) {
                          CGContextAddRect(c, CGRectMake(1, 1, 6, 6));
                          CGContextAddRect(c, CGRectMake(3, 3, 2, 2));
                          CGContextFillPath(c);
                      },
                      {"........", ".######.", ".######.", ".######.", ".######.", ".######.", ".######.",
                       "........"}},
        PlacementCase{"StrokeButtCaps",
                      [](CGContextRef c) {
                          CGContextSetLineWidth(c, 2);
                          CGContextMoveToPoint(c, 2, 5);
                          CGContextAddLineToPoint(c, 6, 5);
                          CGContextStrokePath(c);
                      },
                      {"........", "........", "..####..", "..####..", "........", "........", "........",
                       "........"}},
        PlacementCase{"StrokeSquareCaps",
                      [](CGContextRef c) {
                          CGContextSetLineWidth(c, 2);
                          CGContextSetLineCap(c, kCGLineCapSquare);
                          const CGPoint segment[2] = {{2, 5}, {6, 5}};
                          CGContextStrokeLineSegments(c, segment, 2);
                      },
                      {"........", "........", ".######.", ".######.", "........", "........", "........",
                       "........"}},
        PlacementCase{"LineWidthScalesWithTheCTMAtStrokeTime",
                      [](CGContextRef c) {
                          CGContextMoveToPoint(c, 0, 4);
                          CGContextAddLineToPoint(c, 8, 4);
                          CGContextScaleCTM(c, 1, 4);
                          CGContextStrokePath(c);
                      },
                      {"........", "........", "########", "########", "########", "########", "........",
                       "........"}},
        PlacementCase{"StrokeRect",
                      [](CGContextRef c) {
                          CGContextSetAllowsAntialiasing(c, false);
                          CGContextStrokeRectWithWidth(c, CGRectMake(1.5, 1.5, 5, 5), 1);
                      },
                      {"........", ".######.", ".#....#.", ".#....#.", ".#....#.", ".#....#.", ".######.",
                       "........"}}),
    [](const testing::TestParamInfo<PlacementCase> &info) { return std::string(info.param.name); });

TEST(BitmapContext, CTMIsComposedAndReported) {
    Bitmap bitmap = Bitmap::Make(4, 4, kARGB);
    EXPECT_TRUE(CGAffineTransformIsIdentity(CGContextGetCTM(bitmap.context)));
    CGContextTranslateCTM(bitmap.context, 10, 20);
    CGContextScaleCTM(bitmap.context, 2, 3);
    const CGAffineTransform ctm = CGContextGetCTM(bitmap.context);
    const CGPoint p = CGPointApplyAffineTransform(CGPointMake(1, 1), ctm);
    EXPECT_DOUBLE_EQ(p.x, 12);
    EXPECT_DOUBLE_EQ(p.y, 23);
}

TEST(BitmapContext, DrawingLeavesUnreachedPixelsAndSkipBytesAlone) {
    // Every pixel starts as X=7, R=1, G=2, B=3; only the filled ones change, and they get X=255.
    Bitmap bitmap = Bitmap::Make(6, 6, kXRGB);
    std::vector<uint8_t> &bytes = bitmap.writableBytes();
    for (size_t i = 0; i < bytes.size(); i += 4) bytes[i] = 7, bytes[i + 1] = 1, bytes[i + 2] = 2, bytes[i + 3] = 3;
    bitmap.wrote();
    CGContextSetRGBFillColor(bitmap.context, 1, 1, 1, 1);
    CGContextFillRect(bitmap.context, CGRectMake(2, 2, 2, 2));
    for (size_t y = 0; y < 6; ++y) {
        for (size_t x = 0; x < 6; ++x) {
            const bool inside = x >= 2 && x < 4 && y >= 2 && y < 4;
            const std::vector<uint8_t> expected = inside ? std::vector<uint8_t>{255, 255, 255, 255}
                                                         : std::vector<uint8_t>{7, 1, 2, 3};
            EXPECT_EQ(bitmap.pixel(x, y), expected) << x << "," << y;
        }
    }
}

// Drawing, direct reads and direct writes interleaved, in every layout. The shadow of the
// layouts other than cairo's own is ahead of the memory between calls: a direct reader must
// see every drawing call so far, and a direct write must be what the next call draws over and
// must survive it. Each case is checked against the same sequence drawn in place.
struct AccessCase {
    const char *name;
    uint32_t info;
    bool grey;
    size_t rowBytes;      // 0: exactly the width
    int r, g, b, a;       // byte index of each component in a 32-bit pixel; a -1 without alpha
};

class InterleavedAccess : public testing::TestWithParam<AccessCase> {};

// One pixel as cairo holds it: premultiplied A,R,G,B (grey: the grey in R, G and B).
std::vector<int> Canonical(const Bitmap &bitmap, const AccessCase &c, size_t x) {
    const uint8_t *p = bitmap.at(x, 0);
    if (c.grey) return {255, p[0], p[0], p[0]};
    return {c.a >= 0 ? p[c.a] : 255, p[c.r], p[c.g], p[c.b]};
}

void WritePixel(Bitmap &bitmap, const AccessCase &c, uint8_t *memory, size_t x, std::vector<int> argb) {
    uint8_t *p = memory + x * bitmap.bytesPerPixel;
    if (c.grey) {
        p[0] = uint8_t(argb[1]);
        return;
    }
    if (c.a >= 0) p[c.a] = uint8_t(argb[0]);
    p[c.r] = uint8_t(argb[1]), p[c.g] = uint8_t(argb[2]), p[c.b] = uint8_t(argb[3]);
}

TEST_P(InterleavedAccess, DirectReadsAndWritesBetweenDrawingCallsAreExact) {
    const AccessCase &c = GetParam();
    const AccessCase inPlace{"InPlace", kARGB | kLittle, false, 0, 2, 1, 0, 3};
    // Greys for the grey layout, colours for the others (opaque: every layout keeps them).
    const std::vector<int> written = c.grey ? std::vector<int>{255, 90, 90, 90} : std::vector<int>{255, 90, 30, 200};
    using Colour = std::array<CGFloat, 4>;
    const std::array<Colour, 4> colours =
        c.grey ? std::array<Colour, 4>{{{0.8, 0.8, 0.8, 1}, {0.1, 0.1, 0.1, 1}, {0.6, 0.6, 0.6, 0.5}, {0.3, 0.3, 0.3, 0.5}}}
               : std::array<Colour, 4>{{{0.8, 0.2, 0.4, 1}, {0.1, 0.1, 0.9, 1}, {0.3, 1, 0.5, 0.5}, {0, 0.5, 0.25, 0.5}}};
    auto setFill = [](CGContextRef context, const Colour &k) {
        CGContextSetRGBFillColor(context, k[0], k[1], k[2], k[3]);
    };
    auto run = [&](const AccessCase &layout, std::vector<std::vector<int>> &seen) {
        Bitmap bitmap = Bitmap::Make(4, 1, layout.info, layout.grey, 0, layout.rowBytes);
        EXPECT_TRUE(bitmap.context) << layout.name;
        if (!bitmap.context) return;
        auto look = [&] {
            for (size_t x = 0; x < 4; ++x) seen.push_back(Canonical(bitmap, layout, x));
        };
        setFill(bitmap.context, colours[0]);
        CGContextFillRect(bitmap.context, CGRectMake(0, 0, 4, 1));
        look();  // a read right after drawing
        std::vector<uint8_t> &memory = bitmap.writableBytes();
        WritePixel(bitmap, layout, memory.data(), 1, written);
        WritePixel(bitmap, layout, memory.data(), 2, written);
        bitmap.wrote();
        setFill(bitmap.context, colours[1]);
        CGContextFillRect(bitmap.context, CGRectMake(3, 0, 1, 1));
        // Over the written pixel 2; pixel 1 is within the call's reach but left alone.
        setFill(bitmap.context, colours[2]);
        CGContextFillRect(bitmap.context, CGRectMake(2, 0, 1, 1));
        look();
        // Through CGBitmapContextGetData's pointer, without a further call.
        auto *data = static_cast<uint8_t *>(CGBitmapContextGetData(bitmap.context));
        WritePixel(bitmap, layout, data, 0, written);
        setFill(bitmap.context, colours[3]);
        CGContextFillRect(bitmap.context, CGRectMake(0, 0, 1, 1));
        look();
        // An image of the memory sees the drawing too.
        Holder<CGImageRef> image(CGBitmapContextCreateImage(bitmap.context));
        Holder<CFDataRef> copy(CGDataProviderCopyData(CGImageGetDataProvider(image)));
        const std::vector<uint8_t> &bytes = bitmap.bytes();
        ASSERT_LE(size_t(CFDataGetLength(copy)), bytes.size());
        EXPECT_TRUE(std::equal(CFDataGetBytePtr(copy), CFDataGetBytePtr(copy) + CFDataGetLength(copy), bytes.begin()));
    };
    std::vector<std::vector<int>> expected, seen;
    run(inPlace, expected);
    run(c, seen);
    ASSERT_EQ(seen.size(), expected.size());
    for (size_t i = 0; i < seen.size(); ++i)
        EXPECT_EQ(seen[i], expected[i]) << "look " << i / 4 << ", pixel " << i % 4;
}

INSTANTIATE_TEST_SUITE_P(
    AllLayouts, InterleavedAccess,
    testing::Values(AccessCase{"Grey", kCGImageAlphaNone, true, 0, 0, 0, 0, -1},
                    AccessCase{"GreyPaddedRows", kCGImageAlphaNone, true, 7, 0, 0, 0, -1},
                    AccessCase{"ARGB", kARGB, false, 0, 1, 2, 3, 0},
                    AccessCase{"RGBA", kRGBA, false, 0, 0, 1, 2, 3},
                    AccessCase{"XRGB", kXRGB, false, 0, 1, 2, 3, -1},
                    AccessCase{"RGBX", kRGBX, false, 0, 0, 1, 2, -1},
                    AccessCase{"LittleARGBInPlace", kARGB | kLittle, false, 0, 2, 1, 0, 3},
                    // Rows that are not a multiple of 4 bytes keep cairo's layout off the memory.
                    AccessCase{"LittleARGBOddRows", kARGB | kLittle, false, 18, 2, 1, 0, 3},
                    AccessCase{"LittleRGBA", kRGBA | kLittle, false, 0, 3, 2, 1, 0},
                    AccessCase{"LittleXRGB", kXRGB | kLittle, false, 0, 2, 1, 0, -1},
                    AccessCase{"LittleRGBX", kRGBX | kLittle, false, 0, 3, 2, 1, -1}),
    [](const testing::TestParamInfo<AccessCase> &info) { return std::string(info.param.name); });

TEST(BitmapContext, GreyKeepsOnlyTheLumaBetweenCalls) {
    // A colour drawn into grey leaves its luma; the next call composites over that grey, as
    // over the same grey written by hand, not over the colour.
    Bitmap drawn = Bitmap::Make(2, 2, kCGImageAlphaNone, true);
    CGContextSetRGBFillColor(drawn.context, 0, 0, 0.5, 1);
    CGContextFillRect(drawn.context, CGRectMake(0, 0, 2, 2));
    const uint8_t luma = drawn.bytes()[0];
    Bitmap written = Bitmap::Make(2, 2, kCGImageAlphaNone, true, luma);
    for (Bitmap *bitmap : {&drawn, &written}) {
        // Luma and compositing are both linear: only cairo's rounding tells the two apart.
        CGContextSetRGBFillColor(bitmap->context, 0, 1, 0.5, 0.5);
        CGContextFillRect(bitmap->context, CGRectMake(0, 0, 2, 2));
    }
    EXPECT_EQ(drawn.bytes(), written.bytes());
}

TEST(BitmapContext, GreyCompositesOverTheBytes) {
    Bitmap bitmap = Bitmap::Make(4, 4, kCGImageAlphaNone, true, 200);
    CGContextSetGrayFillColor(bitmap.context, 0.5, 0.5);
    CGContextFillRect(bitmap.context, CGRectMake(0, 0, 4, 4));
    // 0.5 * 0.5 * 255 + 200 * 0.5, within cairo's rounding.
    EXPECT_NEAR(bitmap.bytes()[0], 164, 1);
    EXPECT_EQ(bitmap.bytes()[0], bitmap.bytes()[15]);
}

TEST(BitmapContext, ClearRectIgnoresAlphaAndBlendMode) {
    Bitmap argb = Bitmap::Make(2, 1, kARGB, false, 0x80);
    Bitmap xrgb = Bitmap::Make(2, 1, kXRGB, false, 0x80);
    for (Bitmap *b : {&argb, &xrgb}) {
        CGContextSetAlpha(b->context, 0.25);
        CGContextClearRect(b->context, CGRectMake(0, 0, 1, 1));
    }
    EXPECT_EQ(argb.pixel(0, 0), (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(argb.pixel(1, 0), (std::vector<uint8_t>{0x80, 0x80, 0x80, 0x80}));
    EXPECT_EQ(xrgb.pixel(0, 0), (std::vector<uint8_t>{255, 0, 0, 0}));  // black without alpha
}

TEST(BitmapContext, AlphaAndCopyBlendMode) {
    Bitmap bitmap = Bitmap::Make(3, 1, kARGB);
    CGContextSetRGBFillColor(bitmap.context, 0, 0, 1, 1);
    CGContextFillRect(bitmap.context, CGRectMake(0, 0, 3, 1));
    CGContextSetRGBFillColor(bitmap.context, 1, 0, 0, 0.5);
    CGContextFillRect(bitmap.context, CGRectMake(0, 0, 1, 1));  // over: blue shows through
    CGContextSetBlendMode(bitmap.context, kCGBlendModeCopy);
    CGContextFillRect(bitmap.context, CGRectMake(1, 0, 1, 1));  // copy: replaces
    CGContextSetBlendMode(bitmap.context, kCGBlendModeNormal);
    CGContextSetAlpha(bitmap.context, 0.5);
    CGContextSetRGBFillColor(bitmap.context, 1, 1, 1, 1);
    CGContextFillRect(bitmap.context, CGRectMake(2, 0, 1, 1));  // half white over blue
    EXPECT_EQ(bitmap.pixel(0, 0), (std::vector<uint8_t>{255, 128, 0, 127}));
    EXPECT_EQ(bitmap.pixel(1, 0), (std::vector<uint8_t>{128, 128, 0, 0}));
    EXPECT_EQ(bitmap.pixel(2, 0), (std::vector<uint8_t>{255, 128, 128, 255}));
}

TEST(BitmapContext, AntialiasingSwitches) {
    auto partialPixels = [](bool should, bool allows) {
        Bitmap bitmap = Bitmap::Make(6, 6, kARGB);
        CGContextSetShouldAntialias(bitmap.context, should);
        CGContextSetAllowsAntialiasing(bitmap.context, allows);
        CGContextSetRGBFillColor(bitmap.context, 1, 1, 1, 1);
        CGContextFillEllipseInRect(bitmap.context, CGRectMake(0.3, 0.3, 5.2, 5.2));
        int partial = 0, full = 0;
        for (size_t i = 0; i < bitmap.bytes().size(); i += 4) {
            partial += bitmap.bytes()[i] != 0 && bitmap.bytes()[i] != 255;
            full += bitmap.bytes()[i] == 255;
        }
        EXPECT_GT(full, 0);
        return partial;
    };
    EXPECT_GT(partialPixels(true, true), 0);
    EXPECT_EQ(partialPixels(false, true), 0);
    EXPECT_EQ(partialPixels(true, false), 0);
}

TEST(BitmapContext, StateIsSavedAndRestoredAsAWhole) {
    Bitmap bitmap = Bitmap::Make(2, 1, kARGB);
    CGContextSetRGBFillColor(bitmap.context, 1, 0, 0, 1);
    CGContextSaveGState(bitmap.context);
    CGContextSetRGBFillColor(bitmap.context, 0, 1, 0, 1);
    CGContextSetAlpha(bitmap.context, 0);
    CGContextSetInterpolationQuality(bitmap.context, kCGInterpolationNone);
    CGContextRestoreGState(bitmap.context);
    CGContextRestoreGState(bitmap.context);  // unbalanced: ignored
    EXPECT_EQ(CGContextGetInterpolationQuality(bitmap.context), kCGInterpolationDefault);
    CGContextFillRect(bitmap.context, CGRectMake(0, 0, 1, 1));
    EXPECT_EQ(bitmap.pixel(0, 0), (std::vector<uint8_t>{255, 255, 0, 0}));
}

TEST(BitmapContext, CreateImageCopiesThePixelsOfThatMoment) {
    Bitmap bitmap = Bitmap::Make(3, 2, kRGBX);
    CGContextSetRGBFillColor(bitmap.context, 1, 0, 0, 1);
    CGContextFillRect(bitmap.context, CGRectMake(0, 0, 3, 2));
    Holder<CGImageRef> image(CGBitmapContextCreateImage(bitmap.context));
    ASSERT_TRUE(image);
    CGContextSetRGBFillColor(bitmap.context, 0, 0, 1, 1);
    CGContextFillRect(bitmap.context, CGRectMake(0, 0, 3, 2));
    EXPECT_EQ(CGImageGetWidth(image), 3u);
    EXPECT_EQ(CGImageGetHeight(image), 2u);
    EXPECT_EQ(CGImageGetBitsPerPixel(image), 32u);
    EXPECT_EQ(CGImageGetBytesPerRow(image), 12u);
    EXPECT_EQ(CGImageGetAlphaInfo(image), kCGImageAlphaNoneSkipLast);
    Holder<CFDataRef> data(CGDataProviderCopyData(CGImageGetDataProvider(image)));
    ASSERT_EQ(CFDataGetLength(data), 24);
    const UInt8 *bytes = CFDataGetBytePtr(data);
    EXPECT_EQ((std::vector<uint8_t>(bytes, bytes + 4)), (std::vector<uint8_t>{255, 0, 0, 255}));
    EXPECT_EQ(bitmap.pixel(0, 0), (std::vector<uint8_t>{0, 0, 255, 255}));
}

TEST(BitmapContext, NonFiniteGeometryDrawsNothing) {
    Bitmap bitmap = Bitmap::Make(4, 4, kARGB);
    CGContextSetRGBFillColor(bitmap.context, 1, 1, 1, 1);
    CGContextFillRect(bitmap.context, CGRectMake(NAN, 0, 2, 2));
    CGContextScaleCTM(bitmap.context, 0, 1);  // cannot be inverted
    CGContextFillRect(bitmap.context, CGRectMake(0, 0, 4, 4));
    CGContextStrokeRect(bitmap.context, CGRectMake(0, 0, 4, 4));
    CGContextScaleCTM(bitmap.context, INFINITY, 1);
    CGContextFillRect(bitmap.context, CGRectMake(0, 0, 4, 4));
    for (uint8_t b : bitmap.bytes()) ASSERT_EQ(b, 0);
}

TEST(BitmapContext, SharpMiterCornerIsDrawnInFull) {
    // A narrow V: the miter at its apex (16, 14) reaches 1 / sin(9.46 deg) = 6.1 above it,
    // to y = 20.1, well past the half line width.
    Bitmap bitmap = Bitmap::Make(32, 32, kARGB);
    CGContextSetRGBStrokeColor(bitmap.context, 1, 1, 1, 1);
    CGContextSetLineWidth(bitmap.context, 2);
    CGContextMoveToPoint(bitmap.context, 14, 2);
    CGContextAddLineToPoint(bitmap.context, 16, 14);
    CGContextAddLineToPoint(bitmap.context, 18, 2);
    CGContextStrokePath(bitmap.context);
    EXPECT_GT(bitmap.at(16, 32 - 20)[0], 0);   // y 19..20 holds the tip
    EXPECT_EQ(bitmap.at(16, 32 - 22)[0], 0);   // y 21..22 is past it
}

TEST(BitmapContext, HugeGeometryIsClippedNotChoked) {
    Bitmap bitmap = Bitmap::Make(16, 16, kARGB);
    CGContextSetRGBFillColor(bitmap.context, 1, 1, 1, 1);
    CGContextFillRect(bitmap.context, CGRectMake(-1e12, -1e12, 2e12, 2e12));
    EXPECT_EQ(Painted(bitmap), std::vector<std::string>(16, "################"));
    CGContextClearRect(bitmap.context, CGRectMake(0, 0, 16, 16));
    CGContextSetLineWidth(bitmap.context, 1e9);
    CGContextMoveToPoint(bitmap.context, -1e15, 3);
    CGContextAddLineToPoint(bitmap.context, 1e15, 7);
    CGContextStrokePath(bitmap.context);
    CGContextAddArc(bitmap.context, 8, 8, 1e13, 0, 6, 0);
    CGContextFillPath(bitmap.context);
    CGContextFillEllipseInRect(bitmap.context, CGRectMake(1e300, 0, 1e300, 1));
}

}  // namespace
