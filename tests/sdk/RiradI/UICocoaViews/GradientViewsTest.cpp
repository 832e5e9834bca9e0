// The gradient views: the colours of each class, the gradient and border line down a rendered
// view, redrawing on colour changes (and not on the border colour), the border following
// resizes, another border shape from a subclass, and nib loading.
#include <UICocoaViews/NSUIGradientBlackToDarkGrayView.h>
#include <UICocoaViews/NSUIGradientDarkGrayToBlackView.h>
#include <UICocoaViews/NSUIGradientDarkGrayToGrayView.h>
#include <UICocoaViews/NSUIGradientDarkGrayToLightGrayView.h>
#include <UICocoaViews/NSUIGradientGrayToDarkGrayView.h>
#include <UICocoaViews/NSUIGradientGrayToLightGrayView.h>
#include <UICocoaViews/NSUIGradientLightGrayToDarkGrayView.h>
#include <UICocoaViews/NSUIGradientLightGrayToGrayView.h>
#include <UICocoaViews/NSUIGradientView.h>

#include <AppKit/NSNib.h>
#include <Foundation/NSKeyValueCoding.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "UICocoaViewsTestSupport.h"

namespace {

using views_test::Rendered;

constexpr double kBlack = 0, kDark = 1 / 3.0, kGray = 0.5, kLight = 2 / 3.0;

QColor Grey(double level) { return QColor::fromRgbF(float(level), float(level), float(level)); }

int RedAt(const QImage &image, int x, int row) { return image.constScanLine(row)[4 * x]; }

class GradientViews : public ::testing::Test, public riradi_test::WithApplication {};

TEST_F(GradientViews, EachClassShadesFromItsStartingColourAtTheBottomToItsEndingColourAtTheTop) {
    struct Case {
        std::function<NSUIGradientView *()> make;
        double start, end;
    };
    const Case cases[] = {
        {[] { return new NSUIGradientView; }, kGray, kDark},
        {[] { return new NSUIGradientLightGrayToDarkGrayView; }, kLight, kDark},
        {[] { return new NSUIGradientDarkGrayToLightGrayView; }, kDark, kLight},
        {[] { return new NSUIGradientGrayToDarkGrayView; }, kGray, kDark},
        {[] { return new NSUIGradientDarkGrayToGrayView; }, kDark, kGray},
        {[] { return new NSUIGradientLightGrayToGrayView; }, kLight, kGray},
        {[] { return new NSUIGradientGrayToLightGrayView; }, kGray, kLight},
        {[] { return new NSUIGradientBlackToDarkGrayView; }, kBlack, kDark},
        {[] { return new NSUIGradientDarkGrayToBlackView; }, kDark, kBlack},
    };
    for (const Case &c : cases) {
        std::unique_ptr<NSUIGradientView> view(c.make());
        const char *name = view->metaObject()->className();
        EXPECT_EQ(view->startColor(), Grey(c.start)) << name;
        EXPECT_EQ(view->endColor(), Grey(c.end)) << name;
        EXPECT_EQ(view->borderColor(), QColor(Qt::black)) << name;
        EXPECT_TRUE(view->isOpaque() && view->acceptsFirstMouse() && !view->acceptsFirstResponder()) << name;
        view->resize(10, 100);
        const QImage image = Rendered(view.get());
        // Row i is centred (99.5 - i) / 100 of the way up; the bottom row holds the border.
        for (int row : {0, 25, 50, 75, 98}) {
            const double f = (99.5 - row) / 100;
            EXPECT_NEAR(RedAt(image, 5, row), 255 * (c.start + (c.end - c.start) * f), 2) << name << " row " << row;
            EXPECT_EQ(image.pixelColor(5, row).alpha(), 255) << name;
        }
        // The border: a line of width 1 along y = 0, half of it inside the view, over the bottom row.
        for (int x : {0, 5, 9})
            EXPECT_NEAR(RedAt(image, x, 99), 255 * (c.start + (c.end - c.start) * 0.005) * 0.5, 2)
                << name << " column " << x;
    }
}

// Counts its paints.
class CountingGradientView : public NSUIGradientView {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *event) override {
        ++paints;
        NSUIGradientView::paintEvent(event);
    }
};

TEST_F(GradientViews, NewColoursRebuildTheGradientAndRedrawButTheBorderColourWaits) {
    CountingGradientView view;
    view.resize(20, 40);
    view.show();
    riradi_test::RunPendingEvents();
    int paints = view.paints;
    ASSERT_GT(paints, 0);

    CGGradientRef before = view.gradient();
    view.setStartColor(Qt::red);
    riradi_test::RunPendingEvents();
    EXPECT_EQ(view.paints, ++paints);
    EXPECT_NE(view.gradient(), before);
    view.setEndColor(Qt::blue);
    riradi_test::RunPendingEvents();
    EXPECT_EQ(view.paints, ++paints);
    QImage image = Rendered(&view);
    EXPECT_GT(image.pixelColor(10, 37).red(), 230);  // red near the bottom (above the border)
    EXPECT_GT(image.pixelColor(10, 0).blue(), 240);  // blue at the top
    paints = view.paints;                            // rendering paints too

    view.setBorderColor(Qt::green);
    riradi_test::RunPendingEvents();
    EXPECT_EQ(view.paints, paints);
    EXPECT_EQ(view.borderColor(), QColor(Qt::green));

    // The plain accessors only store.
    view.set_startColor(Qt::yellow);
    riradi_test::RunPendingEvents();
    EXPECT_EQ(view.paints, paints);
    EXPECT_EQ(view._startColor(), QColor(Qt::yellow));

    // An invalid colour leaves no gradient and draws none; the view still paints its border.
    view.setEndColor(QColor());
    EXPECT_EQ(view.gradient(), nullptr);
    image = Rendered(&view);
    EXPECT_EQ(image.pixelColor(10, 10).alpha(), 0);
}

TEST_F(GradientViews, TheBorderFollowsTheViewsWidth) {
    NSUIGradientView view;
    for (QSize size : {QSize(30, 10), QSize(200, 12), QSize(5, 5)}) {
        view.resize(size);
        const CGRect box = CGPathGetBoundingBox(view.border());
        EXPECT_EQ(box.origin.x, 0);
        EXPECT_EQ(box.origin.y, 0);
        EXPECT_EQ(box.size.width, size.width());
        EXPECT_EQ(box.size.height, 0);
        // The bottom row, centred half a pixel up the gradient, is half covered by the line.
        const QImage image = Rendered(&view);
        const double bottom = kGray + (kDark - kGray) * 0.5 / size.height();
        EXPECT_NEAR(RedAt(image, size.width() - 1, size.height() - 1), 255 * bottom * 0.5, 2) << size.width();
    }
}

// A subclass with a frame around the whole view as its border.
class FramedGradientView : public NSUIGradientView {
public:
    CGPathRef createBorderForFrameSize(CGSize size) const override {
        CGMutablePathRef path = CGPathCreateMutable();
        CGPathAddRect(path, nullptr, CGRectMake(0.5, 0.5, size.width - 1, size.height - 1));
        return path;
    }
};

TEST_F(GradientViews, ASubclassGivesItsOwnBorderShapeFromTheStart) {
    FramedGradientView view;
    EXPECT_EQ(CGPathGetBoundingBox(view.border()).size.height, view.height() - 1);
    view.resize(20, 20);
    EXPECT_EQ(CGPathGetBoundingBox(view.border()).size.height, 19);
    view.setBorderColor(Qt::red);
    const QImage image = Rendered(&view);
    EXPECT_EQ(image.pixelColor(10, 0), QColor(Qt::red));  // the top edge is framed
    EXPECT_EQ(image.pixelColor(0, 10), QColor(Qt::red));
}

TEST_F(GradientViews, KeyValueCodingAndNibsTakeTheClassColours) {
    const QByteArray form = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <widget class="NSUIGradientDarkGrayToBlackView" name="header">
  <property name="geometry"><rect><x>0</x><y>0</y><width>60</width><height>20</height></rect></property>
  <property name="startColor" stdset="0"><color><red>255</red><green>0</green><blue>0</blue></color></property>
  <property name="endColor" stdset="0"><color><red>0</red><green>255</green><blue>0</blue></color></property>
 </widget>
</ui>)";
    std::unique_ptr<NSNib> nib = NSNib::initWithNibData(form, "GradientHeader");
    ASSERT_TRUE(nib);
    QList<QObject *> objects;
    ASSERT_TRUE(nib->instantiateNibWithOwner(nullptr, &objects));
    ASSERT_EQ(objects.size(), 1);
    std::unique_ptr<QObject> root(objects.front());
    auto *view = qobject_cast<NSUIGradientDarkGrayToBlackView *>(root.get());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->startColor(), Grey(kDark));
    EXPECT_EQ(view->endColor(), Grey(kBlack));
    EXPECT_EQ(CGPathGetBoundingBox(view->border()).size.width, 60);

    NSKeyValueCoding::setValueForKey(view, QColor(Qt::white), "startColor");
    EXPECT_EQ(view->startColor(), QColor(Qt::white));
    EXPECT_EQ(NSKeyValueCoding::valueForKey(view, "endColor").value<QColor>(), Grey(kBlack));
}

}  // namespace
