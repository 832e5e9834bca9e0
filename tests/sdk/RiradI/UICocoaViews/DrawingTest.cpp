// What the boxes, the rounded rectangles and the opacity grid paint, checked by pixels of
// offscreen renderings (Qt pixel (x, y) counts rows from the top; the views' own y runs
// upwards).
#include <UICocoaViews/NSUIOpacityGridView.h>
#include <UICocoaViews/NSUIResetBox.h>

#include <gtest/gtest.h>

#include <QRect>

#include <vector>

#include "UICocoaViewsTestSupport.h"

namespace {

using views_test::Rendered;

struct Rgba {
    int r, g, b, a;
};

Rgba Pixel(const QImage &image, int x, int y) {
    const uchar *p = image.constScanLine(y) + 4 * x;
    return {p[0], p[1], p[2], p[3]};
}

// The box of the pixels with some alpha.
QRect PaintedBox(const QImage &image) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (Pixel(image, x, y).a > 0) box |= QRect(x, y, 1, 1);
    return box;
}

void ExpectPixel(const QImage &image, int x, int y, Rgba want, int tolerance = 2) {
    const Rgba got = Pixel(image, x, y);
    EXPECT_NEAR(got.r, want.r, tolerance) << "at " << x << ", " << y;
    EXPECT_NEAR(got.g, want.g, tolerance) << "at " << x << ", " << y;
    EXPECT_NEAR(got.b, want.b, tolerance) << "at " << x << ", " << y;
    EXPECT_NEAR(got.a, want.a, tolerance) << "at " << x << ", " << y;
}

class Drawing : public ::testing::Test, public riradi_test::WithApplication {};

// The background fills the bounds inset by 1; the border, 1 wide, is centred on that inset
// edge, so it covers half of the outermost pixels and half of the next.
TEST_F(Drawing, BoxBackgroundBorderAndButton) {
    NSUIResetBox box;
    box.resize(120, 60);
    box.setBoxFillColor({1, 0, 0, 1});
    box.setBoxBorderColor({0, 0, 1, 1});
    QImage image = Rendered(&box);
    ExpectPixel(image, 60, 30, {255, 0, 0, 255});
    ExpectPixel(image, 0, 30, {0, 0, 255, 128});
    ExpectPixel(image, 1, 30, {128, 0, 127, 255});
    ExpectPixel(image, 60, 59, {0, 0, 255, 128});
    ExpectPixel(image, 2, 30, {255, 0, 0, 255});

    // The default colours: grey fill at alpha 0.1, grey border at alpha 0.462.
    NSUIResetBox plain;
    plain.resize(120, 60);
    plain.awakeFromNib();
    image = Rendered(&plain);
    // (Straight colours of such faint pixels are coarse: premultiplied they are 2 or 3.)
    ExpectPixel(image, 60, 40, {26, 26, 26, 26}, 10);
    ExpectPixel(image, 60, 0, {153, 153, 153, 59}, 6);
    // The reset button's picture sits in Qt rows 2 ... 17 from x 4.
    int ink = 0;
    for (int y = 2; y < 18; ++y)
        for (int x = 4; x < 20; ++x) ink = std::max(ink, Pixel(image, x, y).a);
    EXPECT_GT(ink, 150);
    ExpectPixel(image, 30, 10, {26, 26, 26, 26}, 10);  // beside it: background only
}

// With both alphas 0 only the title is painted: right-aligned 2 from the right edge, its top
// 2 below the box's top; a title wider than the box less 10 is cut at its tail and kept in
// x 8 ... width - 2.
TEST_F(Drawing, TitleOnlyRightAlignedAndTruncated) {
    NSUIRetroBox box;
    box.resize(200, 40);
    box.setBoxFillColor({0, 0, 0, 0});
    box.setBoxBorderColor({0, 0, 0, 0});
    EXPECT_TRUE(PaintedBox(Rendered(&box)).isEmpty());

    box.setTitle("Mask");
    QRect painted = PaintedBox(Rendered(&box));
    ASSERT_FALSE(painted.isEmpty());
    EXPECT_LE(painted.right(), 197);
    EXPECT_GE(painted.right(), 190);
    EXPECT_GE(painted.top(), 2);
    EXPECT_LT(painted.bottom(), 20);
    EXPECT_GT(painted.left(), 120);

    box.resize(100, 40);
    box.setTitle(QString(200, QChar('W')));
    painted = PaintedBox(Rendered(&box));
    ASSERT_FALSE(painted.isEmpty());
    EXPECT_GE(painted.left(), 8);
    EXPECT_LE(painted.right(), 97);
    EXPECT_GT(painted.width(), 60);
}

// A 100 x 40 rounded rectangle at (10, 20) with radius 0.2 has corners of 40 x 0.5 x 0.25 = 5
// and a 1-point outline. Pixels y-up in a 140 x 80 context.
TEST_F(Drawing, RoundRectCornersAndOutlineWidth) {
    std::vector<uint8_t> bytes(140 * 80 * 4, 0);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGContextRef context =
        CGBitmapContextCreate(bytes.data(), 140, 80, 8, 140 * 4, space, kCGImageAlphaPremultipliedFirst);
    CGColorSpaceRelease(space);
    ASSERT_NE(context, nullptr);
    NSUIRetroBox::drawRoundRect(context, CGRectMake(0, 0, 1, 1), CGRectMake(10, 20, 100, 40), {1, 0, 0, 1},
                                {0, 0, 1, 1}, 0.2);
    CGBitmapContextWillAccessData(context);
    // Bytes A, R, G, B; row 0 at the top.
    const auto at = [&](int x, int y) {
        const uint8_t *p = bytes.data() + (size_t(79 - y) * 140 + size_t(x)) * 4;
        return Rgba{p[1], p[2], p[3], p[0]};
    };
    // Half-covered pixels within cairo's coverage steps.
    const auto expect = [&](int x, int y, Rgba want) {
        const Rgba got = at(x, y);
        EXPECT_NEAR(got.r, want.r, 12) << x << ", " << y;
        EXPECT_NEAR(got.b, want.b, 12) << x << ", " << y;
        EXPECT_NEAR(got.a, want.a, 12) << x << ", " << y;
    };
    // Across the bottom edge (y = 20): half a line either side, then fill; nothing past it.
    expect(60, 18, {0, 0, 0, 0});
    expect(60, 19, {0, 0, 128, 128});
    expect(60, 20, {128, 0, 127, 255});
    expect(60, 21, {255, 0, 0, 255});
    // The same across the left edge.
    expect(8, 40, {0, 0, 0, 0});
    expect(9, 40, {0, 0, 128, 128});
    expect(11, 40, {255, 0, 0, 255});
    // Corners of 5: the corner pixel is cut away, 2 in along the diagonal is filled.
    expect(10, 20, {0, 0, 0, 0});
    expect(109, 59, {0, 0, 0, 0});
    expect(12, 22, {255, 0, 0, 255});
    expect(107, 57, {255, 0, 0, 255});
    CGContextRelease(context);
}

// 100 x 50 with squares of 10: 5 rows, light at the bottom-left corner, alternating along
// rows and columns; opaque everywhere.
TEST_F(Drawing, OpacityGrid) {
    NSUIOpacityGridView grid;
    EXPECT_EQ(grid.gridSizePixels(), 40);
    EXPECT_TRUE(grid.isOpaque());
    grid.resize(100, 50);
    grid.setGridSizePixels(10);
    const QImage image = Rendered(&grid);
    const Rgba light{230, 230, 230, 255}, dark{128, 128, 128, 255};
    for (int row = 0; row < 5; ++row) {
        for (int column = 0; column < 10; ++column) {
            const bool isLight = (row + column) % 2 == 0;
            // Row 0 is the bottom row: Qt rows 40 ... 49.
            const int y = 49 - row * 10 - 5, x = column * 10 + 5;
            ExpectPixel(image, x, y, isLight ? light : dark, 1);
        }
    }
    ExpectPixel(image, 0, 49, light, 1);
    ExpectPixel(image, 99, 0, dark, 1);  // column 9, row 4

    // Nothing below a grid size of 1.
    grid.setGridSizePixels(0);
    EXPECT_TRUE(PaintedBox(Rendered(&grid)).isEmpty());
}

}  // namespace
