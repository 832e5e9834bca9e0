// The colour views and capsules: presets of every class made by name, and what they paint,
// checked by pixels of offscreen renderings (Qt pixel (x, y) counts rows from the top; the
// views' own y runs upwards).
#include <UICocoaViews/NSUIColorContentView.h>
#include <UICocoaViews/NSUILozengeView.h>
#include <UICocoaViews/NSViewQuartzPainting.h>

#include <Foundation/NSObjCRuntime.h>

#include <gtest/gtest.h>

#include <QPainter>

#include <cmath>
#include <limits>
#include <memory>

#include "UICocoaViewsTestSupport.h"

namespace {

using views_test::Rendered;

int Alpha(const QImage &image, int x, int y) { return qAlpha(image.pixel(x, y)); }

void ExpectRgba(const QImage &image, int x, int y, int r, int g, int b, int a, int tolerance = 2) {
    const QRgb p = image.pixel(x, y);  // RGBA8888 reads back as straight ARGB
    EXPECT_NEAR(qRed(p), r, tolerance) << "at " << x << ", " << y;
    EXPECT_NEAR(qGreen(p), g, tolerance) << "at " << x << ", " << y;
    EXPECT_NEAR(qBlue(p), b, tolerance) << "at " << x << ", " << y;
    EXPECT_NEAR(qAlpha(p), a, tolerance) << "at " << x << ", " << y;
}

// Inside a shape / outside it, allowing for antialiased edges nearby.
void ExpectInside(const QImage &image, int x, int y, int threshold = 200) {
    EXPECT_GT(Alpha(image, x, y), threshold) << "at " << x << ", " << y;
}
void ExpectOutside(const QImage &image, int x, int y) { EXPECT_LT(Alpha(image, x, y), 30) << "at " << x << ", " << y; }

template <typename View>
std::unique_ptr<View> Sized(int width, int height, QWidget *parent = nullptr) {
    auto view = std::make_unique<View>(parent);
    view->resize(width, height);
    return view;
}

class ColourViews : public ::testing::Test, public riradi_test::WithApplication {};

// Every class is found by name, as the nib loader makes it, with the preset of its name; the
// shape classes keep the grey of the opaque view they derive from.
TEST_F(ColourViews, PresetsOfEveryClassMadeByName) {
    ASSERT_TRUE(import_NSUIColorContentView());
    struct Case {
        const char *name;
        float grey, opacity;
    } const cases[] = {
        {"NSUIColorContentView", 1.0f, 1.0f},
        {"NSUIWhiteOpaqueView", 1.0f, 1.0f},
        {"NSUILightGreyOpaqueView", 0.85f, 1.0f},
        {"NSUIGreyOpaqueView", 0.75f, 1.0f},
        {"NSUIMedGreyOpaqueView", 0.5f, 1.0f},
        {"NSUIDarkGreyOpaqueView", 0.25f, 1.0f},
        {"NSUIOpaqueBlackView", 0.05f, 1.0f},
        {"NSUITransparentView", 1.0f, 0.0f},
        {"NSUIGreyStrokedRoundRectView", 0.75f, 0.0f},
        {"NSUIBlackRoundRectView", 0.05f, 1.0f},
        {"NSUIDarkGreyRoundRectView", 0.25f, 1.0f},
        {"NSUIGreyRoundRectView", 0.75f, 1.0f},
        {"NSUIWhiteRoundRectView", 1.0f, 1.0f},
        {"NSUIBlackRoundRectViewCorner10", 0.05f, 1.0f},
        {"NSUIDarkGreyRoundRectViewCorner10", 0.25f, 1.0f},
        {"NSUIGreyRoundRectViewCorner10", 0.75f, 1.0f},
        {"NSUIMedGreyRoundRectViewCorner10", 0.5f, 1.0f},
        {"NSUIWhiteRoundRectViewCorner10", 1.0f, 1.0f},
        {"NSUIBlackRoundRectTopViewCorner10", 0.05f, 1.0f},
        {"NSUIDarkGreyRoundRectTopViewCorner10", 0.25f, 1.0f},
        {"NSUIGreyRoundRectTopViewCorner10", 0.75f, 1.0f},
        {"NSUIMedGreyRoundRectTopViewCorner10", 0.5f, 1.0f},
        {"NSUIWhiteRoundRectTopViewCorner10", 1.0f, 1.0f},
        {"NSUIBlackRoundRectBottomViewCorner10", 0.05f, 1.0f},
        {"NSUIDarkGreyRoundRectBottomViewCorner10", 0.25f, 1.0f},
        {"NSUIGreyRoundRectBottomViewCorner10", 0.75f, 1.0f},
        {"NSUIMedGreyRoundRectBottomViewCorner10", 0.5f, 1.0f},
        {"NSUIWhiteRoundRectBottomViewCorner10", 1.0f, 1.0f},
        {"NSUIAccentRoundRectView", 0.5f, 0.25f},
        {"NSUIAccentRoundRectViewCorner10", 0.5f, 0.25f},
        {"NSUIBaseLozengeView", 0.75f, 0.8f},
        {"NSUIGreyLozengeView", 0.75f, 0.8f},
        {"NSUIMedGreyLozengeView", 0.5f, 0.75f},
        {"NSUIDarkGreyLozengeView", 0.25f, 0.75f},
        {"NSUIBlackLozengeView", 0.05f, 0.75f},
        {"NSUIAccentLozengeView", 0.5f, 0.25f},
        {"NSUIBlackCircleView", 0.05f, 1.0f},
        {"NSUIDarkGreyCircleView", 0.25f, 1.0f},
        {"NSUIGreyCircleView", 0.75f, 1.0f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<QObject> object(NSClassCreateInstance(NSClassFromString(c.name)));
        auto *view = qobject_cast<NSUIColorContentView *>(object.get());
        ASSERT_NE(view, nullptr);
        EXPECT_STREQ(view->metaObject()->className(), c.name);
        const color_3D colour = view->viewColorRGB();
        EXPECT_FLOAT_EQ(colour.red, c.grey);
        EXPECT_FLOAT_EQ(colour.green, c.grey);
        EXPECT_FLOAT_EQ(colour.blue, c.grey);
        EXPECT_FLOAT_EQ(view->alphaOpacity(), c.opacity);
        EXPECT_FALSE(view->isOpaque());
        EXPECT_TRUE(view->acceptsFirstMouse(nullptr));
        EXPECT_EQ(view->focusPolicy(), Qt::NoFocus);
    }
}

TEST_F(ColourViews, ColorViewWithFillsItsColour) {
    std::unique_ptr<NSUIColorContentView> view = NSUIColorContentView::colorViewWith(0, 0, 1);
    ASSERT_NE(view, nullptr);
    EXPECT_STREQ(view->metaObject()->className(), "NSUIColorContentView");
    view->resize(30, 20);
    const QImage image = Rendered(view.get());
    for (const QPoint p : {QPoint(0, 0), QPoint(15, 10), QPoint(29, 19)}) ExpectRgba(image, p.x(), p.y(), 0, 0, 255, 255);

    // The opacity is the fill's alpha; the setters after the preset.
    view->setGreyColor(0.5f, 0.5f);
    ExpectRgba(Rendered(view.get()), 15, 10, 128, 128, 128, 128, 3);
}

// What is behind a transparent view shows through, and behind a circle's corners.
TEST_F(ColourViews, TransparentAndCirclesShowWhatIsBehind) {
    auto back = NSUIColorContentView::colorViewWith(1, 0, 0);
    back->resize(100, 60);
    auto transparent = Sized<NSUITransparentView>(40, 40, back.get());
    transparent->move(0, 0);
    auto circle = Sized<NSUIGreyCircleView>(40, 40, back.get());
    circle->move(50, 0);
    QImage image(back->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    back->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    image = image.convertToFormat(QImage::Format_RGBA8888);
    ExpectRgba(image, 20, 20, 255, 0, 0, 255);      // through the transparent view
    ExpectRgba(image, 70, 20, 191, 191, 191, 255);  // the circle's middle
    ExpectRgba(image, 51, 1, 255, 0, 0, 255);       // its corners
    ExpectRgba(image, 88, 38, 255, 0, 0, 255);
}

// A circle view clears its bounds before drawing: what the context held at its corners is gone.
TEST_F(ColourViews, CircleErasesItsBounds) {
    auto circle = Sized<NSUIBlackCircleView>(40, 40);
    NSViewQuartzPainting painting(circle.get());
    ASSERT_NE(painting.context(), nullptr);
    CGContextSetRGBFillColor(painting.context(), 1, 0, 0, 1);
    CGContextFillRect(painting.context(), CGRectMake(0, 0, 40, 40));
    circle->drawRect(painting.context(), CGRectMake(0, 0, 40, 40));
    const QImage image = painting.image().convertToFormat(QImage::Format_RGBA8888);
    ExpectOutside(image, 1, 1);
    ExpectOutside(image, 38, 38);
    ExpectRgba(image, 20, 20, 13, 13, 13, 255);
}

// Only a grey outline: the fill's alpha is 0; the 3-wide stroke is centred on the bounds.
TEST_F(ColourViews, StrokedRoundRectIsAnOutline) {
    auto view = Sized<NSUIGreyStrokedRoundRectView>(100, 40);
    const QImage image = Rendered(view.get());
    ExpectRgba(image, 50, 20, 0, 0, 0, 0);
    ExpectRgba(image, 50, 0, 191, 191, 191, 255);
    ExpectRgba(image, 0, 20, 191, 191, 191, 255);
    EXPECT_NEAR(Alpha(image, 50, 1), 128, 10);  // half the stroke's inner half
    ExpectOutside(image, 50, 3);
}

// A fraction of 0.25 on 100 x 40 is a 10-point corner, as is Corner10 at any size: a pixel
// 1 in from a corner is outside, one 4 in is inside (a 25-point corner would leave it out).
TEST_F(ColourViews, RoundRectCornerSizes) {
    std::unique_ptr<NSUIColorContentView> views[] = {
        Sized<NSUIGreyRoundRectView>(100, 40), Sized<NSUIGreyRoundRectViewCorner10>(100, 40),
        Sized<NSUIGreyRoundRectViewCorner10>(200, 100), Sized<NSUIAccentRoundRectViewCorner10>(200, 100)};
    for (const auto &view : views) {
        SCOPED_TRACE(view->metaObject()->className());
        const QImage image = Rendered(view.get());
        const int w = image.width() - 1, h = image.height() - 1;
        for (const QPoint corner : {QPoint(1, 1), QPoint(w - 1, 1), QPoint(1, h - 1), QPoint(w - 1, h - 1)})
            ExpectOutside(image, corner.x(), corner.y());
        if (view->alphaOpacity() == 1.0f) {
            for (const QPoint in : {QPoint(4, 4), QPoint(w - 4, 4), QPoint(4, h - 4), QPoint(w - 4, h - 4)})
                ExpectInside(image, in.x(), in.y());
            // The edges are straight between the corners.
            ExpectInside(image, 0, image.height() / 2);
            ExpectInside(image, image.width() / 2, 0);
        } else {
            EXPECT_NEAR(Alpha(image, 4, 4), 64, 3);  // the accent, at opacity 0.25
            EXPECT_NEAR(Alpha(image, 0, image.height() / 2), 64, 3);
        }
    }

    // A fraction applies to the smaller side: 0.25 x 40 on a 200 x 40 view, not 0.25 x 200.
    auto wide = Sized<NSUIWhiteRoundRectView>(200, 40);
    const QImage image = Rendered(wide.get());
    ExpectInside(image, 4, 4);
    ExpectInside(image, 30, 1);
}

// Bottom-corner views round the bottom edge only, top-corner views the top edge only.
TEST_F(ColourViews, TopAndBottomCorners) {
    auto bottom = Sized<NSUIDarkGreyRoundRectBottomViewCorner10>(100, 40);
    QImage image = Rendered(bottom.get());
    ExpectInside(image, 0, 0);
    ExpectInside(image, 99, 0);
    ExpectOutside(image, 1, 38);
    ExpectOutside(image, 98, 38);
    ExpectRgba(image, 50, 20, 64, 64, 64, 255);

    auto top = Sized<NSUIMedGreyRoundRectTopViewCorner10>(100, 40);
    image = Rendered(top.get());
    ExpectOutside(image, 1, 1);
    ExpectOutside(image, 98, 1);
    ExpectInside(image, 0, 39);
    ExpectInside(image, 99, 39);
}

// Capsules: 100 x 20 is 18 thick with its round ends touching the sides; 20 x 20 a capsule 20
// wide and 18 high; 18 x 20 a filled circle of diameter 18.
TEST_F(ColourViews, LozengeShapes) {
    auto wide = Sized<NSUIGreyLozengeView>(100, 20);
    QImage image = Rendered(wide.get());
    ExpectRgba(image, 50, 10, 191, 191, 191, 204);
    ExpectOutside(image, 50, 0);
    ExpectInside(image, 50, 1, 150);
    ExpectInside(image, 50, 18, 150);
    ExpectOutside(image, 50, 19);
    ExpectInside(image, 0, 10, 150);
    ExpectInside(image, 99, 10, 150);
    ExpectOutside(image, 1, 2);
    ExpectOutside(image, 98, 17);

    auto square = Sized<NSUIBlackLozengeView>(20, 20);
    image = Rendered(square.get());
    ExpectInside(image, 0, 10, 150);
    ExpectInside(image, 19, 10, 150);
    ExpectOutside(image, 10, 0);
    ExpectInside(image, 10, 1, 150);
    ExpectOutside(image, 1, 2);

    auto tall = Sized<NSUIDarkGreyLozengeView>(18, 20);
    image = Rendered(tall.get());
    ExpectOutside(image, 9, 0);
    ExpectInside(image, 9, 1, 150);
    ExpectInside(image, 9, 18, 150);
    ExpectOutside(image, 9, 19);
    ExpectInside(image, 0, 10, 150);
    ExpectInside(image, 17, 10, 150);
    ExpectOutside(image, 1, 2);
    ExpectOutside(image, 16, 17);
}

// Corners that are not numbers and flags that name no corners draw nothing; a rectangle of NaN
// draws no capsule.
TEST_F(ColourViews, BadShapesDrawNothing) {
    auto view = Sized<NSUIColorContentView>(40, 20);
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        float corner;
        int flags;
        bool draws;
    } const cases[] = {
        {10, 3, true},     {0.25f, 1, true}, {0.25f, 2, true},  {kNaN, 3, false},
        {-1, 3, false},    {10, 0, false},   {10, 4, false},    {INFINITY, 3, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.corner << " flags " << c.flags);
        NSViewQuartzPainting painting(view.get());
        ASSERT_NE(painting.context(), nullptr);
        view->drawRect_roundRect(painting.context(), c.corner, c.flags);
        EXPECT_EQ(qAlpha(painting.image().pixel(20, 10)) > 0, c.draws);
    }
    NSViewQuartzPainting painting(view.get());
    DrawLozenge(painting.context(), 0, 0, kNaN, 20, 1, 1, 1, 1);
    DrawLozenge(nullptr, 0, 0, 40, 20, 1, 1, 1, 1);
    EXPECT_EQ(qAlpha(painting.image().pixel(20, 10)), 0);
}

}  // namespace
