// Image bridges: pixel sizes, the world format of a bitmap, copies into ARGB worlds from each
// source layout, bitmaps over worlds and worlds over bitmaps, the aspect-fit arithmetic and the
// bilinear resampling into worlds of another size.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <CocoaFoundation/NSImage_QGWorld.h>
#include <CocoaFoundation/NSImage_RiradI.h>

#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string Report(const char *source, int line, const char *function, const char *text) {
    return std::string("VERIFY FAILED: ") + text + " in /Code/sdk/RiradI/CocoaFoundation/" + source + ":" +
           std::to_string(line) + " (" + function + ")\n";
}
std::string BridgeReport(int line, const char *function, const char *text) {
    return Report("NSImage_QGWorld", line, function, text);
}

// A bitmap of its own bytes, each row starting with `row` (the rest of the row zero).
std::shared_ptr<NSBitmapImageRep> Bitmap(long width, long height, long samples, bool alpha, NSBitmapFormat format,
                                         long bitsPerPixel, const std::vector<Bytes> &rows, long bytesPerRow = 0,
                                         long bitsPerSample = 8) {
    auto bitmap = NSBitmapImageRep::initWithBitmapDataPlanes(nullptr, width, height, bitsPerSample, samples, alpha,
                                                             false, NSDeviceRGBColorSpace, format, bytesPerRow,
                                                             bitsPerPixel);
    if (!bitmap) return nullptr;
    for (size_t row = 0; row < rows.size() && long(row) < height; ++row)
        std::memcpy(QGWorlds::getStartOfScanLine(*bitmap, long(row)), rows[row].data(), rows[row].size());
    return bitmap;
}

uint8_t *WorldRow(const QGWorld &world, long row) {
    const PixMapHandle pixmap = world.GetPixMap();
    return reinterpret_cast<uint8_t *>(GetPixBaseAddr(pixmap)) + row * GetPixRowBytes(pixmap);
}

// The bytes of one row of a 32-bit world.
Bytes WorldRowBytes(const QGWorld &world, long row) {
    const long width = world.GetSize().h;
    const uint8_t *bytes = WorldRow(world, row);
    return Bytes(bytes, bytes + width * 4);
}

void FillWorld(QGWorld &world, uint8_t value) {
    const long height = world.GetSize().v;
    for (long row = 0; row < height; ++row) std::memset(WorldRow(world, row), value, size_t(GetPixRowBytes(world.GetPixMap())));
}

class ImageBridgesTest : public corex_test::DebugLogFileTest {};

TEST_F(ImageBridgesTest, PixelFormatOfABitmapFollowsItsBitsAndSamples) {
    const struct {
        const char *name;
        long bitsPerSample, samples;
        bool alpha;
        NSBitmapFormat format;
        long bitsPerPixel;
        OSType expected;
        bool reported;
    } cases[] = {
        {"grey", 8, 1, false, NSBitmapFormat(0), 8, k8IndexedGrayPixelFormat, false},
        {"RGB", 8, 3, false, NSBitmapFormat(0), 24, k24RGBPixelFormat, false},
        {"ARGB", 8, 4, true, NSAlphaFirstBitmapFormat, 32, k32ARGBPixelFormat, false},
        {"RGBA", 8, 4, true, NSBitmapFormat(0), 32, k32ARGBPixelFormat, true},
        {"grey and alpha", 8, 2, true, NSBitmapFormat(0), 16, 0, false},
        {"RGB in 32 bits", 8, 3, false, NSBitmapFormat(0), 32, 0, false},
        {"16-bit grey", 16, 1, false, NSBitmapFormat(0), 16, 0, false},
        {"float grey", 32, 1, false, NSFloatingPointSamplesBitmapFormat, 32, 0, false},
    };
    for (const auto &c : cases) {
        ClearLog();
        auto bitmap = Bitmap(2, 2, c.samples, c.alpha, c.format, c.bitsPerPixel, {}, 0, c.bitsPerSample);
        ASSERT_TRUE(bitmap) << c.name;
        EXPECT_EQ(PixelFormatFromBitmapImageRep(bitmap.get()), c.expected) << c.name;
        EXPECT_EQ(LogText(), c.reported ? BridgeReport(48, "PixelFormatFromBitmapImageRep",
                                                       " code : bitmapFormat==NSAlphaFirstBitmapFormat")
                                        : "")
            << c.name;
    }
    ClearLog();
    EXPECT_EQ(PixelFormatFromBitmapImageRep(nullptr), 0u);
    EXPECT_EQ(LogText(), BridgeReport(37, "PixelFormatFromBitmapImageRep", " code : inBitmapImageRep"));
}

TEST_F(ImageBridgesTest, PixelSizeIsInPixelsNotPoints) {
    auto bitmap = Bitmap(200, 100, 4, true, NSBitmapFormat(0), 32, {});
    bitmap->setSize(NSMakeSize(100, 50));  // 144 dpi
    NSImage image;
    image.addRepresentation(bitmap);
    EXPECT_TRUE(NSEqualSizes(image.size(), NSMakeSize(100, 50)));
    EXPECT_TRUE(NSEqualSizes(RiradI::sizePixels(*bitmap), NSMakeSize(200, 100)));
    EXPECT_TRUE(NSEqualSizes(RiradI::sizePixels(image), NSMakeSize(200, 100)));
    EXPECT_EQ(RiradI::firstBitmapImageRep(image), bitmap);
    EXPECT_EQ(LogText(), "");

    const NSImage empty(NSMakeSize(10, 10));
    EXPECT_EQ(RiradI::firstBitmapImageRep(empty), nullptr);
    EXPECT_TRUE(NSEqualSizes(RiradI::sizePixels(empty), NSMakeSize(0, 0)));
    EXPECT_EQ(LogText(), Report("NSImage(RiradI)", 63, "-[NSImage(RiradI) sizePixels]", " code : firstBitmapImageRep"));
}

TEST_F(ImageBridgesTest, SameSizeCopyTurnsEachLayoutIntoStraightARGB) {
    const auto first = NSAlphaFirstBitmapFormat, straight = NSAlphaNonpremultipliedBitmapFormat;
    const struct {
        const char *name;
        long samples;
        bool alpha;
        NSBitmapFormat format;
        long bitsPerPixel;
        Bytes pixels;  // two pixels
        Bytes expected;
    } cases[] = {
        {"grey", 1, false, NSBitmapFormat(0), 8, {7, 200}, {255, 7, 7, 7, 255, 200, 200, 200}},
        {"RGB", 3, false, NSBitmapFormat(0), 24, {1, 2, 3, 4, 5, 6}, {255, 1, 2, 3, 255, 4, 5, 6}},
        {"RGB, skipped byte last", 3, false, NSBitmapFormat(0), 32, {1, 2, 3, 99, 4, 5, 6, 99},
         {255, 1, 2, 3, 255, 4, 5, 6}},
        {"RGB, skipped byte first", 3, false, first, 32, {99, 1, 2, 3, 99, 4, 5, 6}, {255, 1, 2, 3, 255, 4, 5, 6}},
        {"RGBA straight", 4, true, straight, 32, {10, 20, 30, 40, 1, 2, 3, 255}, {40, 10, 20, 30, 255, 1, 2, 3}},
        {"ARGB straight", 4, true, first | straight, 32, {40, 10, 20, 30, 0, 9, 8, 7}, {40, 10, 20, 30, 0, 9, 8, 7}},
        // (c x 255 + a / 2) / a: 10 under 40 is 64, 20 is 128, 30 is 191; nothing under 0.
        {"RGBA premultiplied", 4, true, NSBitmapFormat(0), 32, {10, 20, 30, 40, 0, 0, 0, 0},
         {40, 64, 128, 191, 0, 0, 0, 0}},
        {"ARGB premultiplied", 4, true, first, 32, {128, 64, 128, 0, 255, 1, 2, 3}, {128, 128, 255, 0, 255, 1, 2, 3}},
    };
    for (const auto &c : cases) {
        auto bitmap = Bitmap(2, 1, c.samples, c.alpha, c.format, c.bitsPerPixel, {c.pixels});
        ASSERT_TRUE(bitmap) << c.name;
        QGWorld world(::QPoint(2, 1));
        EXPECT_TRUE(QGWorlds::sameDimensions(*bitmap, world)) << c.name;
        ASSERT_TRUE(QGWorlds::copyToWorldWithSameDimensions(*bitmap, world)) << c.name;
        EXPECT_EQ(WorldRowBytes(world, 0), c.expected) << c.name;
    }
    EXPECT_EQ(LogText(), "");
}

TEST_F(ImageBridgesTest, SameSizeCopyFollowsEachRowsBytesPerRow) {
    // Rows of 5 bytes for 3 grey pixels.
    auto bitmap = Bitmap(3, 2, 1, false, NSBitmapFormat(0), 8, {{1, 2, 3, 77, 77}, {4, 5, 6, 77, 77}}, 5);
    QGWorld world(::QPoint(3, 2));
    ASSERT_TRUE(QGWorlds::copyToWorldWithSameDimensions(*bitmap, world));
    EXPECT_EQ(WorldRowBytes(world, 0), (Bytes{255, 1, 1, 1, 255, 2, 2, 2, 255, 3, 3, 3}));
    EXPECT_EQ(WorldRowBytes(world, 1), (Bytes{255, 4, 4, 4, 255, 5, 5, 5, 255, 6, 6, 6}));
}

TEST_F(ImageBridgesTest, SameSizeCopyRefusesWhatItCannotWrite) {
    const char *function = "-[NSBitmapImageRep(QGWorlds) copyToWorldWithSameDimensions:]";
    // Layouts without a copy: refused without a report, the world untouched.
    const struct {
        const char *name;
        long bitsPerSample, samples;
        bool alpha;
        NSBitmapFormat format;
        long bitsPerPixel;
    } layouts[] = {
        {"grey and alpha", 8, 2, true, NSBitmapFormat(0), 16},
        {"16-bit RGBA", 16, 4, true, NSBitmapFormat(0), 64},
        {"float grey", 32, 1, false, NSFloatingPointSamplesBitmapFormat, 32},
        {"four samples without alpha", 8, 4, false, NSBitmapFormat(0), 32},
    };
    for (const auto &c : layouts) {
        auto bitmap = Bitmap(2, 1, c.samples, c.alpha, c.format, c.bitsPerPixel, {}, 0, c.bitsPerSample);
        ASSERT_TRUE(bitmap) << c.name;
        QGWorld world(::QPoint(2, 1));
        FillWorld(world, 0x5A);
        EXPECT_FALSE(QGWorlds::copyToWorldWithSameDimensions(*bitmap, world)) << c.name;
        EXPECT_EQ(WorldRowBytes(world, 0), Bytes(8, 0x5A)) << c.name;
    }
    EXPECT_EQ(LogText(), "");

    auto grey = Bitmap(2, 1, 1, false, NSBitmapFormat(0), 8, {{1, 2}});
    QGWorld unbuilt;
    EXPECT_FALSE(QGWorlds::copyToWorldWithSameDimensions(*grey, unbuilt));
    QGWorld rgbWorld(::Dimensions{1, 2}, k24RGBPixelFormat);
    EXPECT_FALSE(QGWorlds::copyToWorldWithSameDimensions(*grey, rgbWorld));
    QGWorld wider(::QPoint(3, 1));
    EXPECT_FALSE(QGWorlds::copyToWorldWithSameDimensions(*grey, wider));
    EXPECT_EQ(LogText(), BridgeReport(158, function, " code : hPixMap") +
                             BridgeReport(160, function, " code : QPixMap_GetPixelFormat(hPixMap)==k32ARGBPixelFormat") +
                             BridgeReport(161, function, " code : sameDimensions(bitmap, theWorld)"));
}

TEST_F(ImageBridgesTest, NewWorldWithImageContentsIsBuiltAtTheBitmapsSize) {
    auto bitmap = Bitmap(3, 2, 1, false, NSBitmapFormat(0), 8, {{1, 2, 3}, {4, 5, 6}});
    QGWorld world;  // none yet
    ASSERT_TRUE(QGWorlds::constructNewWorldWithImageContents(*bitmap, world));
    EXPECT_EQ(world.GetSize().h, 3);
    EXPECT_EQ(world.GetSize().v, 2);
    EXPECT_EQ(WorldRowBytes(world, 1), (Bytes{255, 4, 4, 4, 255, 5, 5, 5, 255, 6, 6, 6}));

    // A world of the right size and format is kept; one of another size or format rebuilt.
    const GWorldPtr kept = world.mGWorld;
    EXPECT_TRUE(QGWorlds::constructNewWorldWithImageContents(*bitmap, world));
    EXPECT_EQ(world.mGWorld, kept);
    QGWorld other(::Dimensions{2, 3}, k24RGBPixelFormat);
    EXPECT_TRUE(QGWorlds::constructNewWorldWithImageContents(*bitmap, other));
    EXPECT_EQ(other.GetPixelFormat(), OSType(k32ARGBPixelFormat));
    EXPECT_EQ(WorldRowBytes(other, 0), (Bytes{255, 1, 1, 1, 255, 2, 2, 2, 255, 3, 3, 3}));
    EXPECT_EQ(LogText(), "");
}

TEST_F(ImageBridgesTest, BitmapOverAWorldUsesItsPixelsInPlace) {
    QGWorld world(::QPoint(2, 2));
    FillWorld(world, 0);
    const PixMapHandle pixmap = world.GetPixMap();
    QGWorldPixelRecord record{k32ARGBPixelFormat, 2, 2, SInt32(GetPixRowBytes(pixmap)), GetPixBaseAddr(pixmap)};
    auto bitmap = QGWorlds::bitmapWithGWorldData(&record);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->bitmapData(), reinterpret_cast<unsigned char *>(record.baseAddr));
    EXPECT_EQ(bitmap->bytesPerRow(), record.rowBytes);
    EXPECT_EQ(bitmap->bitsPerPixel(), 32);
    EXPECT_EQ(bitmap->samplesPerPixel(), 4);
    EXPECT_TRUE(bitmap->hasAlpha());
    EXPECT_EQ(bitmap->bitmapFormat(), NSAlphaFirstBitmapFormat | NSAlphaNonpremultipliedBitmapFormat);
    EXPECT_EQ(bitmap->colorSpaceName(), NSCalibratedRGBColorSpace);
    QGWorlds::getStartOfScanLine(*bitmap, 1)[5] = 42;  // row 1, pixel 1, red
    EXPECT_EQ(WorldRow(world, 1)[5], 42);

    auto image = QGWorlds::imageWithGWorldData(&record);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->representations().size(), 1u);
    EXPECT_EQ(image->representations()[0]->bitmapData(), bitmap->bitmapData());
    EXPECT_TRUE(NSEqualSizes(image->size(), NSMakeSize(2, 2)));
    EXPECT_EQ(LogText(), "");

    const char *function = "+[NSBitmapImageRep(QGWorlds) bitmapWithGWorldData:]";
    EXPECT_EQ(QGWorlds::bitmapWithGWorldData(nullptr), nullptr);
    QGWorldPixelRecord grey = record;
    grey.pixelFormat = k8IndexedGrayPixelFormat;
    EXPECT_EQ(QGWorlds::bitmapWithGWorldData(&grey), nullptr);
    QGWorldPixelRecord shortRows = record;
    shortRows.rowBytes = 4;
    EXPECT_EQ(QGWorlds::bitmapWithGWorldData(&shortRows), nullptr);
    EXPECT_EQ(LogText(), BridgeReport(101, function, " code : bitmapData") +
                             BridgeReport(101, function, " code : bitmapData->pixelFormat==k32ARGBPixelFormat") +
                             BridgeReport(103, function, " code : bitmapImageRep"));
}

TEST_F(ImageBridgesTest, WorldOverABitmapKeepsTheBitmapAlive) {
    auto bitmap = Bitmap(3, 2, 4, true, NSAlphaFirstBitmapFormat, 32, {{1, 2, 3, 4}});
    const std::weak_ptr<NSBitmapImageRep> watched = bitmap;
    unsigned char *pixels = bitmap->bitmapData();
    {
        QGWorldBitmapAlias alias;
        ASSERT_TRUE(QGWorlds::constructNewWorldForImageContents(bitmap, alias));
        bitmap.reset();
        EXPECT_FALSE(watched.expired());
        EXPECT_EQ(reinterpret_cast<unsigned char *>(GetPixBaseAddr(alias.GetPixMap())), pixels);
        EXPECT_EQ(alias.GetPixelFormat(), OSType(k32ARGBPixelFormat));
        EXPECT_EQ(alias.GetSize().h, 3);
        EXPECT_EQ(alias.GetSize().v, 2);
        EXPECT_EQ(WorldRow(alias, 0)[2], 3);
    }
    EXPECT_TRUE(watched.expired());

    auto grey = Bitmap(5, 4, 1, false, NSBitmapFormat(0), 8, {});
    QGWorldBitmapAlias greyAlias;
    ASSERT_TRUE(greyAlias.Construct(grey));
    EXPECT_EQ(greyAlias.GetPixelFormat(), OSType(k8IndexedGrayPixelFormat));
    EXPECT_EQ(LogText(), "");

    // Failures leave the alias empty.
    EXPECT_FALSE(greyAlias.Construct(nullptr));
    EXPECT_FALSE(greyAlias.IsConstructed());
    auto greyAndAlpha = Bitmap(2, 2, 2, true, NSBitmapFormat(0), 16, {});
    const std::weak_ptr<NSBitmapImageRep> refused = greyAndAlpha;
    EXPECT_FALSE(greyAlias.Construct(std::move(greyAndAlpha)));
    EXPECT_TRUE(refused.expired());
    auto huge = Bitmap(40000, 1, 1, false, NSBitmapFormat(0), 8, {});
    EXPECT_FALSE(greyAlias.Construct(huge));
    EXPECT_FALSE(greyAlias.IsConstructed());
    EXPECT_EQ(LogText(), BridgeReport(67, "Construct", " code : inBitmapImageRep") +
                             BridgeReport(73, "Construct", " code : pixelFormat") +
                             BridgeReport(75, "Construct", " code : pixelsWide<=32767 && pixelsHigh<=32767"));
}

TEST(AspectFit, TargetRectangleKeepsTheSourceRatioCentred) {
    using QGWorlds::AspectFit;
    const struct {
        const char *name;
        long sourceWidth, sourceHeight;
        Rect destination, expected;
        AspectFit fit;
    } cases[] = {
        {"4:3 into twice as wide", 640, 480, {0, 0, 480, 1280}, {0, 320, 480, 960}, AspectFit::kWider},
        {"4:3 into twice as tall", 640, 480, {0, 0, 960, 640}, {240, 0, 720, 640}, AspectFit::kTaller},
        {"same ratio", 640, 480, {0, 0, 240, 320}, {0, 0, 240, 320}, AspectFit::kWhole},
        {"1.333 and 1.334 are both 133", 1333, 1000, {0, 0, 500, 667}, {0, 0, 500, 667}, AspectFit::kWhole},
        // 133 columns wide, one free column: a margin of 0 at each end.
        {"1.33 and 1.34 are not", 133, 100, {0, 0, 100, 134}, {0, 0, 100, 134}, AspectFit::kWider},
        // An odd free space: the integer margin comes off both ends, the target one wider.
        {"odd margin", 1, 1, {0, 0, 2, 5}, {0, 1, 2, 4}, AspectFit::kWider},
        {"odd margin, taller", 1, 1, {0, 0, 5, 2}, {1, 0, 4, 2}, AspectFit::kTaller},
        // 16:9 into 4:3: 640 / 1.7777778 = 359.99999 truncated.
        {"16:9 into 4:3", 1920, 1080, {0, 0, 480, 640}, {60, 0, 420, 640}, AspectFit::kTaller},
        {"a line", 1000, 1, {0, 0, 10, 10}, {5, 0, 5, 10}, AspectFit::kTaller},
    };
    for (const auto &c : cases) {
        Rect target{};
        EXPECT_EQ(QGWorlds::AspectFitRect(c.sourceWidth, c.sourceHeight, c.destination, target), c.fit) << c.name;
        EXPECT_EQ(target.top, c.expected.top) << c.name;
        EXPECT_EQ(target.left, c.expected.left) << c.name;
        EXPECT_EQ(target.bottom, c.expected.bottom) << c.name;
        EXPECT_EQ(target.right, c.expected.right) << c.name;
    }
}

TEST_F(ImageBridgesTest, AnySizeCopyResamplesBilinearly) {
    // Two grey rows (0, 100) and (200, 40) doubled each way: each output row and column steps
    // half a source pixel; past the last source pixel the edge holds.
    auto grey = Bitmap(2, 2, 1, false, NSBitmapFormat(0), 8, {{0, 100}, {200, 40}});
    QGWorld world(::QPoint(4, 4));
    ASSERT_TRUE(QGWorlds::copyToWorldWithAnyDimensions(*grey, world));
    auto greyRow = [](std::initializer_list<uint8_t> values) {
        Bytes row;
        for (uint8_t v : values) row.insert(row.end(), {255, v, v, v});
        return row;
    };
    EXPECT_EQ(WorldRowBytes(world, 0), greyRow({0, 50, 100, 100}));
    EXPECT_EQ(WorldRowBytes(world, 1), greyRow({100, 85, 70, 70}));
    EXPECT_EQ(WorldRowBytes(world, 2), greyRow({200, 120, 40, 40}));
    EXPECT_EQ(WorldRowBytes(world, 3), greyRow({200, 120, 40, 40}));

    // A 2 x 1 picture into a square: rows 1 and 2 get it, rows 0 and 3 keep what they held.
    auto wide = Bitmap(2, 1, 4, true, NSAlphaFirstBitmapFormat | NSAlphaNonpremultipliedBitmapFormat, 32,
                       {{255, 0, 100, 200, 255, 100, 50, 0}});
    QGWorld square(::QPoint(4, 4));
    FillWorld(square, 0x11);
    ASSERT_TRUE(QGWorlds::copyToWorldWithAnyDimensions(*wide, square));
    const Bytes picture{255, 0, 100, 200, 255, 50, 75, 100, 255, 100, 50, 0, 255, 100, 50, 0};
    EXPECT_EQ(WorldRowBytes(square, 0), Bytes(16, 0x11));
    EXPECT_EQ(WorldRowBytes(square, 1), picture);
    EXPECT_EQ(WorldRowBytes(square, 2), picture);
    EXPECT_EQ(WorldRowBytes(square, 3), Bytes(16, 0x11));
    EXPECT_EQ(LogText(), "");
}

TEST_F(ImageBridgesTest, AnySizeCopyIntoAWiderWorldFillsTheCentreColumnsOnly) {
    const Bytes pixel{9, 8, 7, 255};  // RGBA
    Bytes row;
    for (int i = 0; i < 640; ++i) row.insert(row.end(), pixel.begin(), pixel.end());
    auto bitmap = Bitmap(640, 480, 4, true, NSAlphaNonpremultipliedBitmapFormat, 32, std::vector<Bytes>(480, row));
    QGWorld world(::QPoint(1280, 480));
    FillWorld(world, 0x11);
    ASSERT_TRUE(QGWorlds::copyToWorldWithAnyDimensions(*bitmap, world));
    for (long r : {0L, 239L, 479L}) {
        const Bytes bytes = WorldRowBytes(world, r);
        EXPECT_EQ(Bytes(bytes.begin() + 319 * 4, bytes.begin() + 320 * 4), Bytes(4, 0x11)) << r;
        EXPECT_EQ(Bytes(bytes.begin() + 320 * 4, bytes.begin() + 321 * 4), (Bytes{255, 9, 8, 7})) << r;
        EXPECT_EQ(Bytes(bytes.begin() + 959 * 4, bytes.begin() + 960 * 4), (Bytes{255, 9, 8, 7})) << r;
        EXPECT_EQ(Bytes(bytes.begin() + 960 * 4, bytes.begin() + 961 * 4), Bytes(4, 0x11)) << r;
    }
}

TEST_F(ImageBridgesTest, ImageOperationsWorkOnTheFirstBitmap) {
    auto image = std::make_shared<NSImage>();
    image->addRepresentation(Bitmap(1, 1, 1, false, NSBitmapFormat(0), 8, {{33}}));
    image->addRepresentation(Bitmap(1, 1, 1, false, NSBitmapFormat(0), 8, {{66}}));
    QGWorld world;
    ASSERT_TRUE(QGWorlds::constructNewWorldWithImageContents(*image, world));
    EXPECT_EQ(WorldRowBytes(world, 0), (Bytes{255, 33, 33, 33}));
    QGWorld larger(::QPoint(3, 3));
    ASSERT_TRUE(QGWorlds::copyToWorldWithAnyDimensions(*image, larger));
    EXPECT_EQ(WorldRowBytes(larger, 2), (Bytes{255, 33, 33, 33, 255, 33, 33, 33, 255, 33, 33, 33}));
    EXPECT_EQ(LogText(), "");

    const NSImage empty;
    EXPECT_FALSE(QGWorlds::constructNewWorldWithImageContents(empty, world));
    EXPECT_FALSE(QGWorlds::copyToWorldWithSameDimensions(empty, world));
    EXPECT_FALSE(QGWorlds::copyToWorldWithAnyDimensions(empty, world));
    QGWorld unbuilt;
    EXPECT_FALSE(QGWorlds::copyToWorldWithAnyDimensions(*image, unbuilt));
    EXPECT_EQ(LogText(),
              BridgeReport(382, "-[NSImage(QGWorlds) constructNewWorldWithImageContents:]", " code : bitmapRep") +
                  BridgeReport(396, "-[NSImage(QGWorlds) copyToWorldWithSameDimensions:]", " code : bitmapRep") +
                  BridgeReport(410, "-[NSImage(QGWorlds) copyToWorldWithAnyDimensions:]", " code : bitmapRep") +
                  BridgeReport(288, "-[NSBitmapImageRep(QGWorlds) copyToWorldWithAnyDimensions:]",
                               " code : theWorld.IsConstructed()") +
                  BridgeReport(412, "-[NSImage(QGWorlds) copyToWorldWithAnyDimensions:]",
                               " code : copyToWorldWithAnyDimensions(*bitmapRep, theWorld)"));
}

}  // namespace
