#include <CoreQ/QGWorld.h>
#include <CoreQ/QImageDescription.h>
#include <CoreQ/QPixMap.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <CoreX/CoreException.h>

#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"

namespace {

// Pixels of the test's own, sized exactly (a write outside them is caught by
// AddressSanitizer), with a world over them.
struct ExactWorld {
    std::vector<uint8_t> pixels;
    QGWorld world;

    ExactWorld(short width, short height, OSType format, long bytesPerPixel, uint8_t fill = 0) {
        pixels.assign(size_t(width) * size_t(height) * size_t(bytesPerPixel), fill);
        EXPECT_TRUE(world.ConstructAlias(pixels.data(), width * bytesPerPixel, Dimensions{height, width}, format));
    }
    PixMapHandle pm() const { return world.GetPixMap(); }
    uint8_t *Pixel(long row, long column, long bytesPerPixel) {
        return pixels.data() + size_t(row * (*pm())->rowBytes + column * bytesPerPixel);
    }
};

ImageDescriptionHandle NewDescription(CodecType type, short width, short height, SInt32 dataSize) {
    auto h = reinterpret_cast<ImageDescriptionHandle>(NewHandleClear(sizeof(ImageDescription)));
    (*h)->idSize = sizeof(ImageDescription);
    (*h)->cType = type;
    (*h)->width = width;
    (*h)->height = height;
    (*h)->dataSize = dataSize;
    return h;
}

class QGWorldTest : public corex_test::DebugLogFileTest {
protected:
    bool Logged(const char *text) { return LogText().find(text) != std::string::npos; }
};

// ---------------------------------------------------------------------------------------
// Pixel maps

TEST_F(QGWorldTest, Bilinear8SamplesInsideAndAtTheEdges) {
    ExactWorld grey(3, 2, k8IndexedGrayPixelFormat, 1);
    const uint8_t bytes[] = {10, 20, 40, 110, 120, 140};
    std::memcpy(grey.pixels.data(), bytes, sizeof(bytes));
    const struct {
        double x, y;
        int expected;
    } cases[] = {
        {0, 0, 10},   {2, 1, 140},  {1, 0, 20},     // integer positions give the pixel
        {0.5, 0, 15}, {1.5, 0, 30}, {0, 0.5, 60},   // halfway along a row and a column
        {0.5, 0.5, 65},                             // (15 x 0.5 + 115 x 0.5)
        {2.5, 0, 40}, {2.9, 1, 140},                // the last column stands in for its neighbour
        {1, 1.75, 120},                             // the last row too
        {-3, -3, 10}, {1e9, 1e9, 140}, {-0.5, 7, 110},  // far outside: clamped, never read outside
    };
    for (const auto &c : cases)
        EXPECT_EQ(QPixMap_GetPixel8_Bilinear(grey.pm(), c.x, c.y), c.expected) << c.x << ", " << c.y;
    EXPECT_EQ(QPixMap_GetPixel8_Bilinear(nullptr, 0, 0), 0);
    EXPECT_TRUE(Logged(" code : hPixMap"));
}

TEST_F(QGWorldTest, FillPixelARGB32FillsEveryRowAndChecksRowBytes) {
    ExactWorld world(3, 2, k32ARGBPixelFormat, 4, 7);
    EXPECT_TRUE(QPixMap_FillPixelARGB32(world.pm(), 0xAB));
    EXPECT_EQ(world.pixels, std::vector<uint8_t>(world.pixels.size(), 0xAB));

    PixMap made = **world.pm();
    PixMapPtr pointer = &made;
    made.rowBytes = 0;
    EXPECT_FALSE(QPixMap_FillPixelARGB32(&pointer, 1));
    EXPECT_TRUE(Logged(" code : rowBytes in "));
    made.rowBytes = -12;
    EXPECT_FALSE(QPixMap_FillPixelARGB32(&pointer, 1));
    EXPECT_TRUE(Logged(" code : rowBytes>0"));
    made.rowBytes = 12;
    made.bounds.bottom = made.bounds.top;  // no rows
    EXPECT_TRUE(QPixMap_FillPixelARGB32(&pointer, 1));
    EXPECT_EQ(world.pixels[0], 0xAB);
}

TEST_F(QGWorldTest, ResizeBilinearMixesEachByteOnItsOwn) {
    ExactWorld source(2, 2, k32ARGBPixelFormat, 4);
    const uint8_t bytes[] = {255, 0, 10, 100, 255, 100, 20, 0,  // row 0: A R G B, A R G B
                             0, 200, 30, 50, 0, 255, 40, 0};
    std::memcpy(source.pixels.data(), bytes, sizeof(bytes));

    ExactWorld same(2, 2, k32ARGBPixelFormat, 4);
    QPixMap_Resize_ARGB32_Bilinear(same.pm(), source.pm());
    EXPECT_EQ(same.pixels, source.pixels);

    ExactWorld larger(4, 2, k32ARGBPixelFormat, 4);
    QPixMap_Resize_ARGB32_Bilinear(larger.pm(), source.pm());
    const std::vector<uint8_t> expected = {255, 0, 10, 100, 255, 50, 15, 50, 255, 100, 20, 0, 255, 100, 20, 0,
                                           0, 200, 30, 50, 0, 227, 35, 25, 0, 255, 40, 0, 0, 255, 40, 0};
    EXPECT_EQ(larger.pixels, expected);

    ExactWorld smaller(1, 1, k32ARGBPixelFormat, 4);
    QPixMap_Resize_ARGB32_Bilinear(smaller.pm(), source.pm());
    EXPECT_EQ(std::vector<uint8_t>(smaller.pixels), (std::vector<uint8_t>{255, 0, 10, 100}));

    QPixMap_Resize_ARGB32_Bilinear(nullptr, source.pm());
    EXPECT_TRUE(Logged(" code : hDest"));
    QPixMap_Resize_ARGB32_Bilinear(larger.pm(), nullptr);
    EXPECT_TRUE(Logged(" code : hPixMap"));
}

struct BlendCase {
    const char *name;
    Point origin;
    float opacity;
    std::vector<uint8_t> expected;  // the destination, 3 x 2 pixels
};

TEST_F(QGWorldTest, BlendsInto32BitDestinationsClipped) {
    // A 2 x 1 image: an opaque pixel and a half-transparent one.
    ExactWorld image(2, 1, k32ARGBPixelFormat, 4);
    const uint8_t imageBytes[] = {255, 10, 20, 30, 127, 200, 200, 200};
    std::memcpy(image.pixels.data(), imageBytes, sizeof(imageBytes));
    const std::vector<uint8_t> grey(3 * 2 * 4, 100);
    auto with = [&](std::initializer_list<std::pair<int, std::vector<uint8_t>>> pixels) {
        std::vector<uint8_t> bytes = grey;
        for (const auto &[index, value] : pixels) std::memcpy(bytes.data() + index * 4, value.data(), 4);
        return bytes;
    };
    const std::vector<uint8_t> opaque = {255, 10, 20, 30};
    // The second pixel, A 127: each byte trunc(100 x (1 - 127/255) + s x 127/255).
    const BlendCase cases[] = {
        {"opacity 0", {0, 0}, 0.0f, grey},
        {"opaque copy at the origin", {0, 0}, 1.0f, with({{0, opaque}, {1, {113, 149, 149, 149}}})},
        {"inside at (1, 1)", {1, 1}, 1.0f, with({{4, opaque}, {5, {113, 149, 149, 149}}})},
        {"hanging off the right edge", {1, 2}, 1.0f, with({{5, opaque}})},
        {"hanging off the left edge", {0, -1}, 1.0f, with({{0, {113, 149, 149, 149}}})},
        {"above the top", {-1, 0}, 1.0f, grey},
        {"far outside", {32000, -32000}, 1.0f, grey},
    };
    for (const BlendCase &c : cases) {
        ExactWorld destination(3, 2, k32ARGBPixelFormat, 4, 100);
        QPM_4(destination.pm(), c.origin, image.pm(), c.opacity);
        EXPECT_EQ(destination.pixels, c.expected) << c.name;
    }
}

TEST_F(QGWorldTest, BlendsInto24BitDestinationsAndLeavesOthersAlone) {
    ExactWorld image(1, 1, k32ARGBPixelFormat, 4);
    const uint8_t imageBytes[] = {255, 10, 20, 30};
    std::memcpy(image.pixels.data(), imageBytes, sizeof(imageBytes));

    ExactWorld rgb(2, 1, k24RGBPixelFormat, 3, 100);
    QPM_4(rgb.pm(), Point{0, 1}, image.pm(), 1.0f);
    EXPECT_EQ(rgb.pixels, (std::vector<uint8_t>{100, 100, 100, 10, 20, 30}));
    QPM_4(rgb.pm(), Point{0, 2}, image.pm(), 1.0f);  // wholly outside: clipped away
    EXPECT_EQ(rgb.pixels, (std::vector<uint8_t>{100, 100, 100, 10, 20, 30}));

    ExactWorld sixteen(2, 1, k16BE555PixelFormat, 2, 100);
    QPM_4(sixteen.pm(), Point{0, 0}, image.pm(), 1.0f);
    EXPECT_EQ(sixteen.pixels, std::vector<uint8_t>(4, 100));

    // The image must be 32-bit ARGB.
    QPM_4(rgb.pm(), Point{0, 0}, sixteen.pm(), 1.0f);
    EXPECT_EQ(rgb.pixels[0], 100);
    EXPECT_TRUE(Logged(" code : QPixMap_GetPixelFormat(hAlphaPixMap)==k32ARGBPixelFormat"));
}

TEST(QPixMapGeometry, ThrowsForMissingOrWrongMaps) {
    QGWorld world(Dimensions{2, 3}, k32ARGBPixelFormat);
    const QPixMapGeometry32 geometry(world.GetPixMap());
    EXPECT_EQ(geometry.width, 3);
    EXPECT_EQ(geometry.height, 2);
    EXPECT_EQ(geometry.rowBytes, GetPixRowBytes(world.GetPixMap()));
    EXPECT_EQ(static_cast<void *>(geometry.baseAddr), GetPixBaseAddr(world.GetPixMap()));

    QGWorld rgb(Dimensions{2, 3}, k24RGBPixelFormat);
    EXPECT_EQ(QPixMapGeometry(rgb.GetPixMap()).pixelSize, 24);
    try {
        QPixMapGeometry32 wrong(rgb.GetPixMap());
        ADD_FAILURE() << "a 24-bit map has no 32-bit geometry";
    } catch (const CoreException &e) {
        EXPECT_STREQ(e.what(), "Nil exception pointer");
    }
    EXPECT_THROW(QPixMapGeometry(nullptr), CoreException);
}

// ---------------------------------------------------------------------------------------
// Worlds

TEST(QGWorldLayout, ConstructedWorldsHaveTheirSizeAndFormat) {
    const struct {
        Dimensions dimensions;
        OSType format;
        long minimumRowBytes;
        short depth;
    } cases[] = {
        {{240, 320}, k32ARGBPixelFormat, 1280, 32},
        {{3, 5}, k24RGBPixelFormat, 15, 24},
        {{240, 320}, k8IndexedGrayPixelFormat, 320, 8},
        {{1, 1}, k32ARGBPixelFormat, 4, 32},
    };
    for (const auto &c : cases) {
        QGWorld world;
        ASSERT_TRUE(world.Construct(c.dimensions, c.format));
        EXPECT_EQ(world.GetPixelFormat(), c.format);
        const Rect bounds = world.GetBounds();
        EXPECT_EQ(bounds.top, 0);
        EXPECT_EQ(bounds.left, 0);
        EXPECT_EQ(bounds.bottom, c.dimensions.v);
        EXPECT_EQ(bounds.right, c.dimensions.h);
        EXPECT_EQ(world.Dimensions().v, c.dimensions.v);
        EXPECT_EQ(world.Dimensions().h, c.dimensions.h);
        EXPECT_EQ(world.GetSize().h, c.dimensions.h);  // width first
        EXPECT_EQ(world.GetSize().v, c.dimensions.v);
        EXPECT_GE(GetPixRowBytes(world.GetPixMap()), c.minimumRowBytes);
        EXPECT_EQ(GetPixDepth(world.GetPixMap()), c.depth);
        // Every byte of every row is the world's to use.
        PixMapHandle pm = world.GetPixMap();
        std::memset(GetPixBaseAddr(pm), 1, size_t(GetPixRowBytes(pm)) * size_t(c.dimensions.v));
    }
}

TEST(QGWorldLayout, WidthFirstAndLikeAnotherWorld) {
    QGWorld world;
    ASSERT_TRUE(world.Construct(QPoint(64, 48)));
    EXPECT_EQ(world.Dimensions().v, 48);
    EXPECT_EQ(world.Dimensions().h, 64);
    EXPECT_EQ(world.GetPixelFormat(), k32ARGBPixelFormat);

    QGWorld rgb(Dimensions{10, 20}, k24RGBPixelFormat);
    QGWorld like;
    ASSERT_TRUE(like.Construct(rgb));
    EXPECT_EQ(like.GetPixelFormat(), k24RGBPixelFormat);
    EXPECT_TRUE(like.IsSameSizeAndFormat(rgb.GetBounds(), k24RGBPixelFormat));
    EXPECT_NE(GetPixBaseAddr(like.GetPixMap()), GetPixBaseAddr(rgb.GetPixMap()));  // pixels of its own

    // Construct again replaces the world.
    ASSERT_TRUE(like.Construct(Dimensions{1, 2}, k8IndexedGrayPixelFormat));
    EXPECT_EQ(like.GetPixelFormat(), k8IndexedGrayPixelFormat);
    like.Dispose();
    EXPECT_FALSE(like.IsConstructed());
    like.Dispose();
}

TEST_F(QGWorldTest, WorldsThatCannotBeBuilt) {
    QGWorld world;
    EXPECT_FALSE(world.Construct(Dimensions{0, 10}, k32ARGBPixelFormat));
    EXPECT_FALSE(world.IsConstructed());
    EXPECT_FALSE(world.Construct(Dimensions{10, 10}, MakeFourCharCode("none")));
    EXPECT_FALSE(world.IsConstructed());
    try {
        QGWorld thrown(Dimensions{-1, 10}, k32ARGBPixelFormat);
        ADD_FAILURE() << "an empty world was built";
    } catch (const CoreException &e) {
        EXPECT_STREQ(e.what(), "Nil exception pointer");
    }
    EXPECT_THROW(QGWorld(QPoint(10, 0)), CoreException);

    EXPECT_THROW(world.GetBounds(), CoreException);
    EXPECT_THROW(world.Dimensions(), CoreException);
    EXPECT_THROW(world.GetSize(), CoreException);
    EXPECT_EQ(world.GetPixelFormat(), 0u);
    EXPECT_TRUE(Logged(" code : mGWorld"));
    EXPECT_FALSE(world.IsSameSizeAndFormat(Rect{0, 0, 10, 10}, k32ARGBPixelFormat));
}

TEST_F(QGWorldTest, AliasOverCallerPixels) {
    std::vector<uint8_t> pixels(48 * 10, 0);
    QGWorld world;
    ASSERT_TRUE(world.ConstructAlias(pixels.data(), 48, Dimensions{10, 12}, k32ARGBPixelFormat));
    EXPECT_EQ(GetPixBaseAddr(world.GetPixMap()), reinterpret_cast<Ptr>(pixels.data()));
    EXPECT_EQ(GetPixRowBytes(world.GetPixMap()), 48);
    EXPECT_TRUE(world.FillTransparentBlack());

    EXPECT_FALSE(world.ConstructAlias(nullptr, 48, Dimensions{10, 12}, k32ARGBPixelFormat));
    EXPECT_FALSE(world.IsConstructed());
    EXPECT_TRUE(Logged(" code : inBaseAddr"));
    EXPECT_FALSE(world.ConstructAlias(pixels.data(), 0, Dimensions{10, 12}, k32ARGBPixelFormat));
    EXPECT_TRUE(Logged(" code : inRowBytes"));
    // Rows too short for the width: the QuickDraw call refuses.
    EXPECT_FALSE(world.ConstructAlias(pixels.data(), 40, Dimensions{10, 12}, k32ARGBPixelFormat));
    EXPECT_TRUE(Logged(" code : err"));
    EXPECT_FALSE(world.IsConstructed());

    const QGWorldPixelRecord record = {k32ARGBPixelFormat, 12, 10, 48, pixels.data()};
    ASSERT_TRUE(world.ConstructAlias(record));
    EXPECT_EQ(world.Dimensions().v, 10);
    EXPECT_EQ(world.Dimensions().h, 12);
}

TEST_F(QGWorldTest, AliasDescribedByAnImageDescription) {
    std::vector<uint8_t> pixels(1280 * 480);
    ImageDescriptionHandle yuv = NewDescription(k2vuyPixelFormat, 640, 480, 0);
    QGWorld world;
    ASSERT_TRUE(world.ConstructAlias(pixels.data(), yuv));
    EXPECT_EQ(world.GetPixelFormat(), k2vuyPixelFormat);
    EXPECT_EQ(GetPixRowBytes(world.GetPixMap()), 1280);
    EXPECT_EQ(world.Dimensions().v, 480);
    EXPECT_EQ(world.Dimensions().h, 640);
    EXPECT_EQ(GetHandleSize(reinterpret_cast<Handle>(yuv)), Size(sizeof(ImageDescription)));  // not disposed
    DisposeHandle(reinterpret_cast<Handle>(yuv));

    ImageDescriptionHandle raw = NewDescription(kRawCodecType, 640, 480, 0);
    EXPECT_FALSE(world.ConstructAlias(pixels.data(), raw));
    EXPECT_FALSE(world.IsConstructed());
    EXPECT_TRUE(Logged(" code : imageDescription.GetExtension_rowb(useRowBytes)"));
    DisposeHandle(reinterpret_cast<Handle>(raw));
}

TEST_F(QGWorldTest, AliasOfAnotherWorldAndOfARectangle) {
    QGWorld source(Dimensions{40, 50}, k32ARGBPixelFormat);
    const long rowBytes = GetPixRowBytes(source.GetPixMap());
    uint8_t *base = reinterpret_cast<uint8_t *>(GetPixBaseAddr(source.GetPixMap()));

    QGWorld whole;
    ASSERT_TRUE(whole.ConstructAlias(source));
    EXPECT_EQ(reinterpret_cast<uint8_t *>(GetPixBaseAddr(whole.GetPixMap())), base);
    EXPECT_EQ(GetPixRowBytes(whole.GetPixMap()), rowBytes);
    EXPECT_TRUE(whole.IsSameSizeAndFormat(source.GetBounds(), k32ARGBPixelFormat));
    EXPECT_FALSE(whole.ConstructAlias(whole));  // itself: refused, not a dangling alias

    QGWorld part;
    ASSERT_TRUE(part.ConstructAliasOverRect(source, Rect{10, 20, 30, 45}));
    EXPECT_EQ(reinterpret_cast<uint8_t *>(GetPixBaseAddr(part.GetPixMap())), base + 10 * rowBytes + 80);
    EXPECT_EQ(GetPixRowBytes(part.GetPixMap()), rowBytes);
    EXPECT_EQ(part.Dimensions().v, 20);
    EXPECT_EQ(part.Dimensions().h, 25);

    // Rectangles that reach outside the other world, or are empty, are refused.
    const Rect outside[] = {{-1, 0, 10, 10}, {0, 0, 41, 10}, {0, 45, 10, 51}, {5, 5, 5, 10}, {10, 10, 5, 5}};
    for (const Rect &rect : outside) EXPECT_FALSE(part.ConstructAliasOverRect(source, rect));
    QGWorld rgb(Dimensions{40, 50}, k24RGBPixelFormat);
    EXPECT_FALSE(part.ConstructAliasOverRect(rgb, Rect{0, 0, 10, 10}));

    QGWorld empty;
    EXPECT_FALSE(part.ConstructAlias(empty));
    EXPECT_TRUE(Logged(" code : inAliasThisWorld.IsConstructed()"));
}

TEST_F(QGWorldTest, FillTransparentBlackOnlyFor32BitWorlds) {
    QGWorld world(Dimensions{3, 4}, k32ARGBPixelFormat);
    PixMapHandle pm = world.GetPixMap();
    std::memset(GetPixBaseAddr(pm), 0x55, size_t(GetPixRowBytes(pm)) * 3);
    ASSERT_TRUE(world.FillTransparentBlack());
    const uint8_t *bytes = reinterpret_cast<uint8_t *>(GetPixBaseAddr(pm));
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + GetPixRowBytes(pm) * 3),
              std::vector<uint8_t>(size_t(GetPixRowBytes(pm)) * 3, 0));

    QGWorld rgb(Dimensions{3, 4}, k24RGBPixelFormat);
    EXPECT_FALSE(rgb.FillTransparentBlack());
    EXPECT_TRUE(Logged(" code : k32ARGBPixelFormat == GetPixelFormat()"));
}

TEST(QGWorldLayout, SameSizeAndFormatIgnoresTheOrigin) {
    QGWorld world(Dimensions{30, 40}, k32ARGBPixelFormat);
    EXPECT_TRUE(world.IsSameSizeAndFormat(Rect{0, 0, 30, 40}, k32ARGBPixelFormat));
    EXPECT_TRUE(world.IsSameSizeAndFormat(Rect{100, -20, 130, 20}, k32ARGBPixelFormat));
    EXPECT_FALSE(world.IsSameSizeAndFormat(Rect{0, 0, 30, 41}, k32ARGBPixelFormat));
    EXPECT_FALSE(world.IsSameSizeAndFormat(Rect{0, 0, 31, 40}, k32ARGBPixelFormat));
    EXPECT_FALSE(world.IsSameSizeAndFormat(Rect{0, 0, 30, 40}, k24RGBPixelFormat));
}

TEST(QGWorldLayout, ImageDescriptionOfTheWorld) {
    std::vector<uint8_t> pixels(2560 * 4);
    QGWorld world;
    ASSERT_TRUE(world.ConstructAlias(pixels.data(), 2560, Dimensions{4, 640}, k32ARGBPixelFormat));
    QImageDescription description;
    ASSERT_TRUE(world.GetImageDescription(description, true));
    EXPECT_TRUE(description.IsOwner());
    EXPECT_EQ(description.GetCodecType(), k32ARGBPixelFormat);
    EXPECT_EQ(description.GetWidth(), 640);
    EXPECT_EQ(description.GetHeight(), 4);
    long rowBytes = 0;
    ASSERT_TRUE(description.GetExtension_rowb(rowBytes));
    EXPECT_EQ(rowBytes, 2560);
    long count = 0;
    ASSERT_EQ(CountImageDescriptionExtensionType(description.mHandle, kImageDescriptionRowBytesExtension, &count), noErr);
    EXPECT_EQ(count, 1);  // one extension, however often it is asked for
}

}  // namespace
