// The glossy views: the shading's colours down a rendered view against its formula for colours
// of each kind (grey, tinted towards yellow, towards magenta, hue past 0.95), the defaults of
// each class, a full opaque fill, no redraw on a colour change, and nib loading.
#include <UICocoaViews/GlossyShading.h>
#include <UICocoaViews/NSUIBlackGlossyView.h>
#include <UICocoaViews/NSUIBlueGlossyView.h>
#include <UICocoaViews/NSUIDarkGrayGlossyView.h>
#include <UICocoaViews/NSUIGlossetteGlossyView.h>
#include <UICocoaViews/NSUIGrayGlossyView.h>

#include <AppKit/NSNib.h>
#include <Foundation/NSKeyValueCoding.h>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "UICocoaViewsTestSupport.h"

namespace {

using views_test::Rendered;

struct Rgb {
    double r, g, b;
};

// The shading at t (0 at the top edge, 1 at the bottom) as the formula gives it, from the
// colour, the tint worked out by hand and the white mixed in at the top edge (the middle gets a
// third of it).
Rgb Expected(Rgb base, Rgb tint, double top, double t) {
    const double floor = std::exp(-1.2), scale = 1 / (1 - floor);
    const auto mix = [](Rgb a, Rgb b, double f) {
        return Rgb{a.r * (1 - f) + b.r * f, a.g * (1 - f) + b.g * f, a.b * (1 - f) + b.b * f};
    };
    if (t < 0.5) {
        const double k = (std::exp(-2.4 * t) - floor) * scale;
        const double v = (top / 3 - top) * (1 - k) + top;
        return mix(base, Rgb{1, 1, 1}, v);
    }
    const double k = (std::exp(-1.2 * (2 - 2 * t)) - floor) * scale;
    return mix(base, tint, k);
}

void ExpectRow(const QImage &image, int row, Rgb want, const std::string &where) {
    const uchar *p = image.constScanLine(row) + 4 * (image.width() / 2);
    EXPECT_NEAR(p[0], want.r * 255, 2) << where << " row " << row << " red";
    EXPECT_NEAR(p[1], want.g * 255, 2) << where << " row " << row << " green";
    EXPECT_NEAR(p[2], want.b * 255, 2) << where << " row " << row << " blue";
    EXPECT_EQ(p[3], 255) << where << " row " << row;
}

class GlossyViews : public ::testing::Test, public riradi_test::WithApplication {};

TEST_F(GlossyViews, ShadingFollowsTheFormulaDownTheView) {
    // The tints and luminance factors L (white at the top: 0.6 x gloss 0.5 x L) worked out by hand.
    struct Case {
        const char *name;
        Rgb base, tint;
        double top;
    };
    const Case cases[] = {
        // A grey takes hue 1/6 and saturation 0.2: m = 0.6, brightness 0.6 + 0.5 x 0.4 = 0.8,
        // tint (0.8, 0.8, 0.64) made grey by its largest component. L = 0.5^0.2.
        {"grey", {0.5, 0.5, 0.5}, {0.8, 0.8, 0.8}, 0.3 * std::pow(0.5, 0.2)},
        // Blue (hue 2/3) towards yellow: m = (cos(0.7 pi) + 1) x 0.3 = 0.12366, hue 0.60484,
        // full saturation and brightness. L = 0.114^0.2.
        {"blue", {0, 0, 1}, {0, 0.37097, 1}, 0.3 * std::pow(0.114, 0.2)},
        // Purple (hue 0.75) towards magenta (hue 5/6): m = (cos(-0.11667 pi) + 1) x 0.3 =
        // 0.58010, hue 0.79838. L = (0.1495 + 0.114)^0.2.
        {"purple", {0.5, 0, 1}, {0.79028, 0, 1}, 0.3 * std::pow(0.2635, 0.2)},
        // Hue 0.96667 counts as -0.03333: m = (cos(-0.28 pi) + 1) x 0.3 = 0.49120, hue 0.06491.
        // L = (0.299 + 0.0228)^0.2.
        {"rose", {1, 0, 0.2}, {1, 0.38948, 0}, 0.3 * std::pow(0.3218, 0.2)},
    };
    for (const Case &c : cases) {
        NSUIGlossetteGlossyView view;
        view.resize(4, 200);
        view.setGlossyColor(QColor::fromRgbF(c.base.r, c.base.g, c.base.b));
        const QImage image = Rendered(&view);
        // Row i is centred at t = (i + 0.5) / 200: the top edge, the top half, just above and
        // just below the middle (whitened by a third, then the plain colour), and the bottom.
        for (int row : {0, 50, 99, 100, 150, 199})
            ExpectRow(image, row, Expected(c.base, c.tint, c.top, (row + 0.5) / 200), c.name);
    }
}

TEST_F(GlossyViews, InfoRecordAtTheEdges) {
    // The edges as the record gives them: the top whitened by 0.6 x g x L, the middle by a
    // third of that, the bottom exactly the tint; an invalid colour is mid grey.
    const GlossyShadingInfo grey = GlossyShadingInfoMake(QColor(), 1.0);
    EXPECT_FLOAT_EQ(grey.baseRGBA[0], 0.5f);
    EXPECT_FLOAT_EQ(grey.baseRGBA[3], 1.0f);
    EXPECT_NEAR(grey.highlightTop, 0.6 * std::pow(0.5, 0.2), 1e-6);
    EXPECT_NEAR(grey.highlightMid, 0.2 * std::pow(0.5, 0.2), 1e-6);
    EXPECT_EQ(grey.tintRGBA[0], grey.tintRGBA[1]);
    EXPECT_EQ(grey.tintRGBA[1], grey.tintRGBA[2]);
    EXPECT_NEAR(grey.falloffFloor, std::exp(-1.2), 1e-7);

    GlossyShadingInfo info = GlossyShadingInfoMake(QColor::fromRgbF(0.2f, 0.4f, 0.6f, 0.5f), 0.5);
    CGFloat in = 0, out[4];
    GlossyShadingEvaluate(&info, &in, out);
    const float v = info.highlightTop;
    EXPECT_NEAR(out[0], 0.2 * (1 - v) + v, 1e-4);
    EXPECT_NEAR(out[3], 0.5 * (1 - v) + v, 1e-4);  // alpha is whitened alike (16-bit colour)
    in = 0.5;
    GlossyShadingEvaluate(&info, &in, out);
    EXPECT_NEAR(out[2], 0.6, 1e-4);
    in = 1;
    GlossyShadingEvaluate(&info, &in, out);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(out[i], info.tintRGBA[i], 1e-6) << i;
    EXPECT_NEAR(info.tintRGBA[3], 0.5, 1e-4);
}

TEST_F(GlossyViews, EachClassHasItsDefaultColourAndFillsItsWholeBounds) {
    struct Case {
        std::unique_ptr<NSUIGlossetteGlossyView> view;
        QColor colour;
    };
    Case cases[] = {{std::make_unique<NSUIGlossetteGlossyView>(), QColor::fromRgbF(1 / 3.f, 1 / 3.f, 1 / 3.f)},
                    {std::make_unique<NSUIBlackGlossyView>(), QColor::fromRgbF(0, 0, 0)},
                    {std::make_unique<NSUIDarkGrayGlossyView>(), QColor::fromRgbF(1 / 3.f, 1 / 3.f, 1 / 3.f)},
                    {std::make_unique<NSUIGrayGlossyView>(), QColor::fromRgbF(0.5, 0.5, 0.5)},
                    {std::make_unique<NSUIBlueGlossyView>(), QColor::fromRgbF(0, 0, 1)}};
    for (Case &c : cases) {
        const char *name = c.view->metaObject()->className();
        EXPECT_EQ(c.view->glossyColor(), c.colour) << name;
        EXPECT_TRUE(c.view->isOpaque());
        EXPECT_FALSE(c.view->acceptsFirstResponder());
        EXPECT_EQ(c.view->focusPolicy(), Qt::NoFocus);
        EXPECT_TRUE(c.view->testAttribute(Qt::WA_OpaquePaintEvent));
        for (QSize size : {QSize(1, 1), QSize(7, 3), QSize(33, 61)}) {
            c.view->resize(size);
            const QImage image = Rendered(c.view.get());
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    ASSERT_EQ(image.pixelColor(x, y).alpha(), 255) << name << " " << x << "," << y;
        }
    }
}

TEST_F(GlossyViews, BadArgumentsDrawNothing) {
    QImage image(8, 8, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGContextRef context = CGBitmapContextCreate(image.bits(), 8, 8, 8, image.bytesPerLine(), space,
                                                 kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little);
    CGColorSpaceRelease(space);
    ASSERT_NE(context, nullptr);
    FillGlossyShading(context, Qt::red, CGRectMake(0, 0, 8, 8), 0.5, CFSTR("no such space"));
    FillGlossyShading(context, Qt::red, CGRectMake(0, 0, 8, 8), 0.5, nullptr);
    FillGlossyShading(context, Qt::red, CGRectMake(0, 0, 0, 0), 0.5, kCGColorSpaceSRGB);
    FillGlossyShading(context, Qt::red, CGRectMake(NAN, 0, 8, NAN), 0.5, kCGColorSpaceSRGB);
    FillGlossyShading(nullptr, Qt::red, CGRectMake(0, 0, 8, 8), 0.5, kCGColorSpaceSRGB);
    CGBitmapContextWillAccessData(context);
    EXPECT_EQ(image.pixelColor(4, 4).alpha(), 0);
    // The clip is the rectangle only: a fill of the left half leaves the right half alone, and
    // the context's own clip is back afterwards.
    FillGlossyShading(context, Qt::red, CGRectMake(0, 0, 4, 8), 0.5, kCGColorSpaceSRGB);
    CGContextSetRGBFillColor(context, 0, 1, 0, 1);
    CGContextFillRect(context, CGRectMake(7, 0, 1, 8));
    CGBitmapContextWillAccessData(context);
    CGContextRelease(context);
    EXPECT_EQ(image.pixelColor(1, 4).alpha(), 255);
    EXPECT_EQ(image.pixelColor(5, 4).alpha(), 0);
    EXPECT_EQ(image.pixelColor(7, 4), QColor(0, 255, 0));
}

// Counts its paints.
class CountingGlossyView : public NSUIGlossetteGlossyView {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *event) override {
        ++paints;
        NSUIGlossetteGlossyView::paintEvent(event);
    }
};

TEST_F(GlossyViews, SettingTheColourDoesNotRedraw) {
    CountingGlossyView view;
    view.resize(20, 20);
    view.show();
    riradi_test::RunPendingEvents();
    const int shown = view.paints;
    ASSERT_GT(shown, 0);
    view.setGlossyColor(Qt::blue);
    riradi_test::RunPendingEvents();
    EXPECT_EQ(view.paints, shown);
    view.update();
    riradi_test::RunPendingEvents();
    EXPECT_EQ(view.paints, shown + 1);
}

TEST_F(GlossyViews, KeyValueCodingAndNibsTakeTheClassColour) {
    const QByteArray form = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <widget class="NSUIBlueGlossyView" name="backdrop">
  <property name="geometry"><rect><x>0</x><y>0</y><width>40</width><height>20</height></rect></property>
  <property name="glossyColor" stdset="0"><color><red>255</red><green>0</green><blue>0</blue></color></property>
 </widget>
</ui>)";
    std::unique_ptr<NSNib> nib = NSNib::initWithNibData(form, "GlossyBackdrop");
    ASSERT_TRUE(nib);
    QList<QObject *> objects;
    ASSERT_TRUE(nib->instantiateNibWithOwner(nullptr, &objects));
    ASSERT_EQ(objects.size(), 1);
    std::unique_ptr<QObject> root(objects.front());
    auto *view = qobject_cast<NSUIBlueGlossyView *>(root.get());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->glossyColor(), QColor::fromRgbF(0, 0, 1));

    NSKeyValueCoding::setValueForKey(view, QColor(Qt::yellow), "glossyColor");
    EXPECT_EQ(view->glossyColor(), QColor(Qt::yellow));
    EXPECT_EQ(NSKeyValueCoding::valueForKey(view, "glossyColor").value<QColor>(), QColor(Qt::yellow));
}

}  // namespace
