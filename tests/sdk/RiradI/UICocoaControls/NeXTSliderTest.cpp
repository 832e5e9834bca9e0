// The NeXT-look slider, its cell, content view, button and control images, drawn offscreen.
#include <UICocoaControls/NSNeXTButton.h>
#include <UICocoaControls/NSNeXTContentView.h>
#include <UICocoaControls/NSNeXTControl.h>
#include <UICocoaControls/NSNeXTSlider.h>
#include <UICocoaControls/protocol_NSUIControlCellDelegate.h>

#include <CocoaGraphics/NSImage_NSNextRetinaImage.h>
#include <Foundation/NSObjCRuntime.h>

#include "../RiradITestApplication.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTest>

namespace {

class Describer : public QObject, public protocol_NSUIControlCellDelegate {
public:
    std::optional<QString> controlCell(QObject *, const QVariant &value) override {
        return QStringLiteral("level %1").arg(value.toDouble());
    }
};

struct FormatCase {
    const char *format;
    const char *expected;  // null: refused
};

TEST(NeXTSliderCell, LabelFormats) {
    const FormatCase cases[] = {
        {"%1.2lf", "0.50"},  {"%.0f%%", "0%"},     {"x = %g", "x = 0.5"}, {"%08.3f", "0000.500"},
        {"%s", nullptr},     {"%d", nullptr},      {"%f %f", nullptr},    {"plain", nullptr},
        {"%n", nullptr},     {"%*f", nullptr},     {"%999f", nullptr},    {"%", nullptr},
    };
    for (const FormatCase &c : cases) {
        const QString text = NSNeXTSliderCell::formatDouble(QString::fromUtf8(c.format), 0.5);
        if (c.expected == nullptr) {
            EXPECT_TRUE(text.isNull()) << c.format;
        } else {
            EXPECT_EQ(text, QString::fromUtf8(c.expected)) << c.format;
        }
    }
}

TEST(NeXTSliderCell, LabelFromFormatOrDelegate) {
    riradi_test::Application();
    NSNeXTSliderCell cell;
    EXPECT_EQ(cell.descriptiveSelfLabelWithFormat(NSNeXTSliderCell::kDefaultLabelFormat, 0.25), "0.25");
    EXPECT_EQ(cell.descriptiveSelfLabelWithFormat("%s", 0.25), "0.25");  // refused format: the default
    Describer describer;
    cell.setDelegate(&describer);
    EXPECT_EQ(cell.descriptiveSelfLabelWithFormat(NSNeXTSliderCell::kDefaultLabelFormat, 0.25), "level 0.25");
    QObject plain;
    cell.setDelegate(&plain);  // answers nothing
    EXPECT_EQ(cell.descriptiveSelfLabelWithFormat("%.1f", 0.25), "0.2");
}

TEST(NeXTSliderCell, CopyTakesRangeTargetActionAndFormatNotValue) {
    NSNeXTSliderCell original;
    original.setMinValue(-2);
    original.setMaxValue(8);
    original.setDoubleValue(3);
    QObject target;
    original.setTarget(&target);
    original.setAction("moved:");
    original.setOutletLabelFormat("%.1f");
    auto copy = NSNeXTSliderCell::sliderCellWithCopyOfSliderCell(original);
    EXPECT_EQ(copy->minValue(), -2);
    EXPECT_EQ(copy->maxValue(), 8);
    EXPECT_NE(copy->doubleValue(), 3);
    EXPECT_EQ(copy->target(), &target);
    EXPECT_EQ(copy->action(), "moved:");
    EXPECT_EQ(copy->outletLabelFormat(), "%.1f");
    NSSliderCell plainCell;
    EXPECT_TRUE(NSNeXTSliderCell::sliderCellWithCopyOfSliderCell(plainCell)->outletLabelFormat().isEmpty());
}

// Grey level of a pixel (red channel) of a grabbed picture.
int Grey(const QImage &picture, int x, int y) { return qRed(picture.pixel(x, y)); }

TEST(NeXTSlider, DrawsBarKnobAndLabel) {
    riradi_test::Application();
    NSNeXTSlider slider;
    slider.resize(200, 20);
    slider.setDoubleValue(0.0);
    const QImage picture = slider.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(picture.size(), QSize(200, 20));
    // The knob at the minimum: knob grey (away from its dimple) inside the black line.
    EXPECT_NEAR(Grey(picture, 4, 15), 170, 3);
    EXPECT_LT(Grey(picture, 0, 10), 60);  // the black line round the bar, half of it inside
    EXPECT_LT(Grey(picture, 40, 0), 60);
    // The bar's dark dither to the right of the knob, away from the label.
    EXPECT_LT(Grey(picture, 40, 5), 110);
    EXPECT_GT(Grey(picture, 40, 5), 75);
    // The label's light capsule in the middle, with dark text on it.
    EXPECT_GT(Grey(picture, 70, 10), 160);
    bool text = false;
    for (int x = 80; x < 120; ++x) text = text || Grey(picture, x, 10) < 60;
    EXPECT_TRUE(text);

    slider.setDoubleValue(1.0);
    const QImage atMaximum = slider.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_NEAR(Grey(atMaximum, 184, 15), 170, 3);
    EXPECT_LT(Grey(atMaximum, 4, 15), 110);
}

TEST(NeXTSlider, VerticalLabelIsTurned) {
    riradi_test::Application();
    NSNeXTSlider slider(Qt::Vertical);
    slider.resize(20, 200);
    slider.setDoubleValue(1.0);  // knob at the top
    const QImage picture = slider.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_NEAR(Grey(picture, 4, 15), 170, 3);
    EXPECT_LT(Grey(picture, 4, 195), 110);
    // The label's capsule runs up the middle of the bar, the text along it.
    EXPECT_GT(Grey(picture, 10, 70), 160);
    EXPECT_GT(Grey(picture, 10, 130), 160);
    bool text = false;
    for (int y = 80; y < 120; ++y) text = text || Grey(picture, 10, y) < 60;
    EXPECT_TRUE(text);
}

TEST(NeXTSlider, MousePlacesTheKnobAndSendsTheAction) {
    riradi_test::Application();
    NSNeXTSlider slider;
    slider.resize(200, 20);
    slider.setMinValue(0);
    slider.setMaxValue(100);
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(100, 10));
    EXPECT_NEAR(slider.doubleValue(), 50, 0.6);
    QTest::mouseMove(&slider, QPoint(500, 10));
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(500, 10));
    EXPECT_EQ(slider.doubleValue(), 100);

    NSNeXTSlider vertical(Qt::Vertical);
    vertical.resize(20, 200);
    EXPECT_EQ(vertical.valueAtPoint(QPointF(10, 0)), 1.0);  // the top is the maximum
    EXPECT_EQ(vertical.valueAtPoint(QPointF(10, 199)), 0.0);
}

TEST(NeXTSlider, LabelFormatReachesTheCellAndIsMadeByName) {
    riradi_test::Application();
    NSNeXTSlider slider;
    slider.setOutletLabelFormat("%.1f");
    EXPECT_EQ(slider.cellLabelFormat(), "%.1f");
    EXPECT_EQ(slider.cell()->outletLabelFormat(), "%.1f");
    std::unique_ptr<QObject> made(NSClassCreateInstance(NSClassFromString("NSNeXTSlider")));
    EXPECT_NE(qobject_cast<NSNeXTSlider *>(made.get()), nullptr);
    std::unique_ptr<QObject> button(NSClassCreateInstance(NSClassFromString("NSNeXTButton")));
    EXPECT_NE(qobject_cast<NSButton *>(button.get()), nullptr);
}

TEST(NeXTContentView, ColoursAndFill) {
    riradi_test::Application();
    EXPECT_EQ(NSNeXTContentView::sliderKnobColor(), QColor::fromRgbF(0.6666667f, 0.6666667f, 0.6666667f, 1.0f));
    EXPECT_EQ(NSNeXTContentView::sliderBarColor().style(), Qt::TexturePattern);
    NSNeXTContentView view;
    view.resize(30, 30);
    const QImage picture = view.grab().toImage();
    EXPECT_EQ(picture.pixelColor(15, 15).rgb(), NSNeXTContentView::contentViewColor().rgb());
}

TEST(NeXTControl, ControlImageIsFlippedVertically) {
    riradi_test::Application();
    QImage source(2, 2, QImage::Format_ARGB32);
    source.setPixel(0, 0, qRgb(255, 0, 0));
    source.setPixel(1, 0, qRgb(255, 0, 0));
    source.setPixel(0, 1, qRgb(0, 0, 255));
    source.setPixel(1, 1, qRgb(0, 0, 255));
    auto image = NSImage::imageWithQImage(source);
    CGImageRef flipped = NSNeXTControl::controlImageCreate(image.get());
    ASSERT_NE(flipped, nullptr);
    auto bitmap = NSBitmapImageRep::initWithBitmapDataPlanes(nullptr, 2, 2, 8, 4, true, false, NSDeviceRGBColorSpace,
                                                             NSAlphaFirstBitmapFormat, 0, 32);
    auto context = NSGraphicsContext::graphicsContextWithBitmapImageRep(bitmap);
    CGContextDrawImage(context->graphicsPort(), CGRectMake(0, 0, 2, 2), flipped);
    context->flushGraphics();
    const QImage result = bitmap->toQImage();
    EXPECT_EQ(result.pixel(0, 0), qRgb(0, 0, 255));  // the bottom row is now on top
    EXPECT_EQ(result.pixel(0, 1), qRgb(255, 0, 0));
    CGImageRelease(flipped);
    EXPECT_EQ(NSNeXTControl::controlImageCreate(nullptr), nullptr);
    CGImageRef knob = NSNeXTControl::controlImageNamedCreate("NSNeXTSliderKnob");
    ASSERT_NE(knob, nullptr);
    EXPECT_EQ(CGImageGetWidth(knob), 16u);
    CGImageRelease(knob);
}

}  // namespace
