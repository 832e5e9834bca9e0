// The Core Image views, the camera controls, the colour-well bridge and the drawn sliders on
// the offscreen platform: the drag view's state machine and its key-value notices, the filter
// stack the camera controls drive and their defaults, the self-labelling slider's text and the
// cross-fader's values.
#include <CocoaQZ/CIControls/CIImageDisplayView.h>
#include <CocoaQZ/CIControls/CIImageMouseDragView.h>
#include <CocoaQZ/CIControls/NSColorWell_CoreImage.h>
#include <CocoaQZ/CIControls/NSUICICameraControls.h>
#include <CocoaQZ/CIControls/NSUICrossFaderSlider.h>
#include <CocoaQZ/CIControls/NSUISelfLabelingSlider.h>
#include <CocoaQZ/CIControls/NUCICoreImage.h>

#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObject.h>
#include <Foundation/NSUserDefaults.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QMouseEvent>
#include <QTest>

#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"
#include "sdk/RiradI/RiradITestApplication.h"

class ViewActionRecorder : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void viewAction(QObject *sender) {
        ++count;
        last = sender;
    }
    Q_INVOKABLE void sliderAction(QObject *sender) {
        ++count;
        last = sender;
        values.push_back(sender->property("doubleValue").toDouble());
    }
    int count = 0;
    QObject *last = nullptr;
    std::vector<double> values;
};

namespace {

// Counts the key-value notices of each key.
struct NoticeCounter : NSObject {
    void observeValueForKeyPath(const QString &keyPath, QObject *, const QVariantMap &, void *) override {
        ++notices[keyPath.toStdString()];
    }
    std::map<std::string, int> notices;
};

void Drag(QWidget &widget, QPointF point) {
    QMouseEvent move(QEvent::MouseMove, point, widget.mapToGlobal(point), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&widget, &move);
}

void ExpectPoint(QPointF p, double x, double y) {
    EXPECT_NEAR(p.x(), x, 1e-6);
    EXPECT_NEAR(p.y(), y, 1e-6);
}

// A 200 x 100 drag view with its four sliders, observed.
struct DragViewFixture : riradi_test::WithApplication {
    DragViewFixture() {
        view.resize(200, 100);
        for (NSSlider *slider : {&x0, &y0, &x1, &y1}) slider->setParent(&host);
        view.setSliderX0(&x0);
        view.setSliderY0(&y0);
        view.setSliderX1(&x1);
        view.setSliderY1(&y1);
        view.setTarget(&recorder);
        view.setAction("viewAction:");
        NSKeyValueCoding::addObserver(&view, &counter, "p0");
        NSKeyValueCoding::addObserver(&view, &counter, "p1");
    }
    ~DragViewFixture() {
        NSKeyValueCoding::removeObserver(&view, &counter, "p0");
        NSKeyValueCoding::removeObserver(&view, &counter, "p1");
    }
    QWidget host;
    CIImageMouseDragView view{&host};
    NSSlider x0, y0, x1, y1;
    ViewActionRecorder recorder;
    NoticeCounter counter;
};

TEST(CIImageMouseDragView, DragSetsBothPointsAndFiresOnce) {
    DragViewFixture f;
    // (40, 70) and (120, 10) in Qt's coordinates are (0.2, 0.3) and (0.6, 0.9) from the bottom-left.
    QTest::mousePress(&f.view, Qt::LeftButton, {}, QPoint(40, 70));
    EXPECT_TRUE(f.view.isMouseDragging());
    ExpectPoint(f.view.t0(), 0.2, 0.3);
    Drag(f.view, QPointF(100, 30));
    ExpectPoint(f.view.t1(), 0.5, 0.7);
    EXPECT_EQ(f.recorder.count, 0);
    QTest::mouseRelease(&f.view, Qt::LeftButton, {}, QPoint(120, 10));
    ExpectPoint(f.view.p0(), 0.2, 0.3);
    ExpectPoint(f.view.p1(), 0.6, 0.9);
    EXPECT_FLOAT_EQ(f.x0.floatValue(), 0.2f);
    EXPECT_FLOAT_EQ(f.y1.floatValue(), 0.9f);
    EXPECT_EQ(f.recorder.count, 1);
    EXPECT_EQ(f.recorder.last, &f.view);
    EXPECT_FALSE(f.view.isMouseDragging());
    ExpectPoint(f.view.t0(), 0, 0);
    ExpectPoint(f.view.t1(), 0, 0);
    EXPECT_GE(f.counter.notices["p0"], 1);
    EXPECT_GE(f.counter.notices["p1"], 1);
    // A release without a drag does nothing more.
    QTest::mouseRelease(&f.view, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(f.recorder.count, 1);
}

TEST(CIImageMouseDragView, LeavingWithoutADragKeepsThePoints) {
    DragViewFixture f;
    f.view.setP0(QPointF(0.1, 0.2));
    f.view.setP1(QPointF(0.7, 0.8));
    f.counter.notices.clear();
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), f.view.mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(&f.view, &enter);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&f.view, &leave);
    ExpectPoint(f.view.p0(), 0.1, 0.2);
    ExpectPoint(f.view.p1(), 0.7, 0.8);
    EXPECT_EQ(f.recorder.count, 0);
    EXPECT_TRUE(f.counter.notices.empty());
}

TEST(CIImageMouseDragView, ADragThatLeavesEndsOnTheEdge) {
    DragViewFixture f;
    QTest::mousePress(&f.view, Qt::LeftButton, {}, QPoint(40, 70));
    Drag(f.view, QPointF(150, 50));
    Drag(f.view, QPointF(260, 50));  // out through the right edge
    EXPECT_FALSE(f.view.isMouseDragging());
    EXPECT_EQ(f.recorder.count, 1);
    ExpectPoint(f.view.p0(), 0.2, 0.3);
    ExpectPoint(f.view.p1(), 1.0, 0.5);
    // The release that follows ends nothing.
    QTest::mouseRelease(&f.view, Qt::LeftButton, {}, QPoint(260, 50));
    EXPECT_EQ(f.recorder.count, 1);
    ExpectPoint(f.view.p1(), 1.0, 0.5);
}

TEST(CIImageMouseDragView, PressAtTheOriginIsStillADrag) {
    DragViewFixture f;
    f.view.setP1(QPointF(0.5, 0.5));
    QTest::mousePress(&f.view, Qt::LeftButton, {}, QPoint(0, 99));  // about (0, 0)
    f.view.beginTrackingNormal(QPointF(0, 0));
    EXPECT_TRUE(f.view.isMouseDragging());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&f.view, &leave);
    EXPECT_EQ(f.recorder.count, 1);
    ExpectPoint(f.view.p1(), 0, 0);
}

TEST(CIImageMouseDragView, EnteringAndLeavingKeepTheWindowsTracking) {
    DragViewFixture f;
    f.host.setMouseTracking(false);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), f.view.mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(&f.view, &enter);
    EXPECT_TRUE(f.host.hasMouseTracking());
    EXPECT_FALSE(f.view.wasTracking());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&f.view, &leave);
    EXPECT_FALSE(f.host.hasMouseTracking());
}

TEST(CIImageMouseDragView, SlidersAnnounceTheirPoint) {
    DragViewFixture f;
    NSSlider stranger;
    struct Row {
        NSSlider *sender;
        int p0, p1, actions;
    } rows[] = {{&f.x0, 1, 0, 1}, {&f.y0, 1, 0, 1}, {&f.x1, 0, 1, 1}, {&f.y1, 0, 1, 1}, {&stranger, 0, 0, 0}};
    for (const Row &row : rows) {
        f.counter.notices.clear();
        f.recorder.count = 0;
        row.sender->setDoubleValue(0.25);
        f.view.sliderChanged(row.sender);
        EXPECT_EQ(f.counter.notices["p0"], row.p0);
        EXPECT_EQ(f.counter.notices["p1"], row.p1);
        EXPECT_EQ(f.recorder.count, row.actions);
    }
    // The outlets' own action reaches the view.
    EXPECT_EQ(f.x0.target(), &f.view);
    f.counter.notices.clear();
    f.view.viewControlsWereUpdated();
    EXPECT_EQ(f.counter.notices["p0"], 1);
    EXPECT_EQ(f.counter.notices["p1"], 1);
    f.view.setSlidersHidden(true);
    EXPECT_TRUE(f.x0.isHidden());
}

TEST(CIImageViews, ImagesChangeOnTheMainThread) {
    riradi_test::Application();
    CIImageDisplayView display;
    CIImageMouseDragView drag;
    const CIImageRef image = CIImage::imageWithColor(CIColor::colorWithRed(1, 0, 0, 1))->imageByCroppingToRect(
        CGRectMake(0, 0, 8, 8));
    std::thread other([&] {
        display.setInputImage(image);
        drag.setImage(image);
    });
    other.join();
    EXPECT_EQ(display.image(), nullptr);
    EXPECT_EQ(drag.image(), nullptr);
    riradi_test::RunPendingEvents();
    EXPECT_EQ(display.inputImage(), image);
    EXPECT_EQ(drag.image(), image);
    // Drawn: the image fills the view.
    display.resize(16, 16);
    const QImage picture = display.grab().toImage();
    EXPECT_EQ(picture.pixelColor(picture.width() / 2, picture.height() / 2).red(), 255);
}

// ---- camera controls

struct CameraControlsFixture : riradi_test::WithApplication {
    CameraControlsFixture() {
        controls.set_brightnessSlider(&brightness);
        controls.set_contrastSlider(&contrast);
        controls.set_saturationSlider(&saturation);
        controls.set_exposureSlider(&exposure);
        controls.set_mirrorImageX(&mirrorX);
        controls.set_mirrorImageY(&mirrorY);
        controls.set_whiteBalanceEnable(&whiteBalance);
        controls.set_whiteBalanceColor(&well);
        for (NSSlider *slider : {&brightness, &contrast, &saturation, &exposure}) {
            slider->setMinValue(-10);
            slider->setMaxValue(10);
        }
    }
    NSUICICameraControls controls;
    NSSlider brightness, contrast, saturation, exposure;
    QCheckBox mirrorX, mirrorY, whiteBalance;
    NSColorWell well;
};

TEST(NSUICICameraControls, MadeAtTheIdentity) {
    riradi_test::Application();
    NSUICICameraControls controls;
    ASSERT_NE(controls.whitePointAdjust(), nullptr);
    EXPECT_EQ(controls.whitePointAdjust()->colorForKey("inputColor").red(), 1.0);
    EXPECT_EQ(controls.exposure()->numberForKey("inputEV", -1), 0.0);
    EXPECT_EQ(controls.color()->numberForKey("inputSaturation"), 1.0);
    EXPECT_EQ(controls.color()->numberForKey("inputBrightness", -1), 0.0);
    EXPECT_EQ(controls.color()->numberForKey("inputContrast"), 1.0);
    const CIVector crop = controls.crop()->vectorForKey("inputRectangle");
    EXPECT_EQ(crop.valueAtIndex(2), 640);
    EXPECT_EQ(crop.valueAtIndex(3), 480);
    EXPECT_EQ(controls.filteredImage(nullptr), nullptr);
}

TEST(NSUICICameraControls, ControlsMapToTheFilterInputs) {
    CameraControlsFixture f;
    f.exposure.setDoubleValue(1.5);
    f.brightness.setDoubleValue(-0.25);
    f.contrast.setDoubleValue(2.0);
    f.saturation.setDoubleValue(0.5);
    f.well.setColor(QColor::fromRgbF(0.5f, 0.25f, 1.0f, 0.4f));
    f.controls.controlsChanged(nullptr);
    EXPECT_DOUBLE_EQ(f.controls.exposure()->numberForKey("inputEV"), 1.5);
    EXPECT_DOUBLE_EQ(f.controls.color()->numberForKey("inputBrightness"), -0.25);
    EXPECT_DOUBLE_EQ(f.controls.color()->numberForKey("inputContrast"), 2.0);
    EXPECT_DOUBLE_EQ(f.controls.color()->numberForKey("inputSaturation"), 0.5);
    // White balance off: white whatever the well holds.
    CIColor white = f.controls.whitePointAdjust()->colorForKey("inputColor");
    EXPECT_EQ(white.red(), 1.0);
    EXPECT_EQ(white.green(), 1.0);
    f.whiteBalance.setChecked(true);
    f.controls.updateFilterStackState(nullptr);
    white = f.controls.whitePointAdjust()->colorForKey("inputColor");
    EXPECT_NEAR(white.red(), 0.5, 1e-3);
    EXPECT_NEAR(white.green(), 0.25, 1e-3);
    EXPECT_NEAR(white.blue(), 1.0, 1e-3);
    EXPECT_EQ(white.alpha(), 1.0);  // opaque whatever the well's alpha
}

TEST(NSUICICameraControls, MirrorTransforms) {
    CameraControlsFixture f;
    struct Row {
        bool x, y;
        CGAffineTransform expected;
    } rows[] = {{false, false, {1, 0, 0, 1, 0, 0}},
                {true, false, {-1, 0, 0, 1, 640, 0}},
                {false, true, {1, 0, 0, -1, 0, 480}},
                {true, true, {-1, 0, 0, -1, 640, 480}}};
    for (const Row &row : rows) {
        f.mirrorX.setChecked(row.x);
        f.mirrorY.setChecked(row.y);
        f.controls.updateFilterStackState(nullptr);
        EXPECT_TRUE(CGAffineTransformEqualToTransform(f.controls.mirrorTransform(), row.expected))
            << row.x << row.y;
    }
}

TEST(NSUICICameraControls, MirroredBothWaysTurnsTheFrameAndKeepsItsSize) {
    CameraControlsFixture f;
    f.controls.resetDefaults(nullptr);
    // A 640 x 480 frame: red on the left half, blue on the right, from the bottom-left.
    std::vector<uint8_t> argb(640 * 480 * 4);
    for (size_t i = 0; i < 640 * 480; ++i) {
        const bool left = i % 640 < 320;
        const bool top = i / 640 < 240;
        argb[i * 4] = 255;
        argb[i * 4 + 1] = left ? 255 : 0;
        argb[i * 4 + 2] = top ? 255 : 0;
        argb[i * 4 + 3] = left ? 0 : 255;
    }
    CFDataRef data = CFDataCreate(nullptr, argb.data(), CFIndex(argb.size()));
    const CIImageRef frame = CIImage::imageWithBitmapData(data, 640 * 4, CGSizeMake(640, 480), kCIFormatARGB8);
    CFRelease(data);

    const QImage plain = NUCIRenderCIImage(f.controls.filteredImage(frame));
    ASSERT_EQ(plain.size(), QSize(640, 480));
    EXPECT_EQ(plain.pixelColor(10, 10), QColor(255, 255, 0));     // top left: red and green
    EXPECT_EQ(plain.pixelColor(630, 470), QColor(0, 0, 255));     // bottom right: blue

    f.mirrorX.setChecked(true);
    f.mirrorY.setChecked(true);
    f.controls.updateFilterStackState(nullptr);
    const CIImageRef turned = f.controls.filteredImage(frame);
    EXPECT_TRUE(CGRectEqualToRect(turned->extent(), CGRectMake(0, 0, 640, 480)));
    const QImage picture = NUCIRenderCIImage(turned);
    ASSERT_EQ(picture.size(), QSize(640, 480));
    EXPECT_EQ(picture.pixelColor(630, 470), QColor(255, 255, 0));
    EXPECT_EQ(picture.pixelColor(10, 10), QColor(0, 0, 255));
}

TEST(NSUICICameraControls, ResetRestoresTheDefaults) {
    CameraControlsFixture f;
    f.exposure.setDoubleValue(3);
    f.brightness.setDoubleValue(0.5);
    f.contrast.setDoubleValue(3);
    f.saturation.setDoubleValue(0);
    f.mirrorX.setChecked(true);
    f.mirrorY.setChecked(true);
    f.whiteBalance.setChecked(true);
    f.well.setColor(Qt::red);
    f.controls.updateFilterStackState(nullptr);
    f.controls.resetDefaults(nullptr);
    EXPECT_EQ(f.exposure.doubleValue(), 0.0);
    EXPECT_EQ(f.brightness.doubleValue(), 0.0);
    EXPECT_EQ(f.contrast.doubleValue(), 1.0);
    EXPECT_EQ(f.saturation.doubleValue(), 1.0);
    EXPECT_FALSE(f.mirrorX.isChecked());
    EXPECT_FALSE(f.mirrorY.isChecked());
    EXPECT_FALSE(f.whiteBalance.isChecked());
    EXPECT_EQ(f.well.color().rgba(), QColor(Qt::white).rgba());
    EXPECT_TRUE(CGAffineTransformIsIdentity(f.controls.mirrorTransform()));
    EXPECT_EQ(f.controls.exposure()->numberForKey("inputEV", -1), 0.0);
    EXPECT_EQ(f.controls.color()->numberForKey("inputContrast"), 1.0);
}

TEST(NSUICICameraControls, AFreshInstallBalancesToWhite) {
    CameraControlsFixture f;
    f.well.setColor(Qt::black);
    f.exposure.setDoubleValue(4);
    f.controls.preferencesLoadDefaults(nullptr);  // nothing stored yet
    EXPECT_EQ(f.well.color().rgba(), QColor(Qt::white).rgba());
    EXPECT_EQ(f.exposure.doubleValue(), 0.0);
    EXPECT_EQ(f.contrast.doubleValue(), 1.0);
    EXPECT_EQ(f.saturation.doubleValue(), 1.0);
    EXPECT_FALSE(f.whiteBalance.isChecked());
}

TEST(NSUICICameraControls, SettingsRoundTripThroughTheDefaults) {
    CameraControlsFixture f;
    f.exposure.setDoubleValue(-1.25);
    f.brightness.setDoubleValue(0.125);
    f.contrast.setDoubleValue(1.5);
    f.saturation.setDoubleValue(0.75);
    f.mirrorY.setChecked(true);
    f.whiteBalance.setChecked(true);
    f.well.setColor(QColor::fromRgbF(0.5f, 0.2f, 0.8f, 1.0f));
    f.controls.preferencesSaveDefaults(nullptr);
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    EXPECT_EQ(defaults.stringForKey("_exposureSlider"), "-1.25");
    EXPECT_EQ(defaults.integerForKey("_mirrorImageY"), 1);
    EXPECT_EQ(defaults.stringForKey("_whiteBalanceColor"), "rgba(0.5,0.2,0.8,1.0)");

    CameraControlsFixture g;
    g.controls.preferencesLoadDefaults(nullptr);
    EXPECT_EQ(g.exposure.doubleValue(), -1.25);
    EXPECT_EQ(g.brightness.doubleValue(), 0.125);
    EXPECT_EQ(g.contrast.doubleValue(), 1.5);
    EXPECT_EQ(g.saturation.doubleValue(), 0.75);
    EXPECT_FALSE(g.mirrorX.isChecked());
    EXPECT_TRUE(g.mirrorY.isChecked());
    EXPECT_TRUE(g.whiteBalance.isChecked());
    EXPECT_NEAR(g.well.color().redF(), 0.5, 1e-3);
    EXPECT_DOUBLE_EQ(g.controls.exposure()->numberForKey("inputEV"), -1.25);

    // A value that is not a number falls back to the default.
    defaults.setObject(QStringLiteral("lots"), "_contrastSlider");
    g.controls.preferencesLoadDefaults(nullptr);
    EXPECT_EQ(g.contrast.doubleValue(), 1.0);
}

TEST(NSUICICameraControls, MissingOutletsAreReportedAndPassedOver) {
    riradi_test::Application();
    NSUICICameraControls controls;
    NSSlider exposure;
    exposure.setMinValue(-10);
    exposure.setMaxValue(10);
    exposure.setDoubleValue(2);
    controls.set_exposureSlider(&exposure);
    corex_test::CapturedOutput errors(STDERR_FILENO);
    controls.preferencesSaveDefaults(nullptr);
    const std::string text = errors.Finish();
    EXPECT_NE(text.find("inObject"), std::string::npos) << text;
    EXPECT_EQ(NSUserDefaults::standardUserDefaults().stringForKey("_exposureSlider"), "2");
    EXPECT_TRUE(NSUserDefaults::standardUserDefaults().objectForKey("_brightnessSlider").isNull());
    controls.resetDefaults(nullptr);  // the missing ones are passed over
    EXPECT_EQ(exposure.doubleValue(), 0.0);
}

TEST(NSColorWellCoreImage, ColoursBothWays) {
    riradi_test::Application();
    NSColorWell well;
    well.setColor(QColor::fromRgbF(0.25f, 0.5f, 0.75f, 0.5f));
    const CIColor alpha = NSColorWell_CoreImage::getCIColorAlpha(well);
    EXPECT_NEAR(alpha.alpha(), 0.5, 1e-3);
    EXPECT_NEAR(alpha.blue(), 0.75, 1e-3);
    EXPECT_EQ(NSColorWell_CoreImage::getCIColorOpaque(well).alpha(), 1.0);
    NSColorWell_CoreImage::setCIColorPreserveAlpha(well, CIColor::colorWithRed(1, 0, 0, 0.1));
    EXPECT_NEAR(well.color().alphaF(), 0.5, 1e-3);
    EXPECT_NEAR(well.color().redF(), 1.0, 1e-3);
    NSColorWell_CoreImage::setCIColorOpaque(well, CIColor::colorWithRed(0, 1, 0, 0.1));
    EXPECT_NEAR(well.color().alphaF(), 1.0, 1e-3);
    NSColorWell_CoreImage::setCIColor(well, CIColor::colorWithRed(0, 0, 1, 0.25));
    EXPECT_NEAR(well.color().alphaF(), 0.25, 1e-3);
    EXPECT_NEAR(well.color().blueF(), 1.0, 1e-3);
}

// ---- the self-labelling slider

struct FixedTextDelegate : protocol_NSUIControlCellDelegate {
    std::optional<QString> controlCell(QObject *, const QVariant &value) override {
        return QStringLiteral("gain %1").arg(value.toDouble());
    }
};

TEST(NSUISelfLabelingSlider, LabelText) {
    riradi_test::Application();
    NSUISelfLabelingSliderCell cell;
    struct Row {
        QString label;
        QVariant value;
        const char *text;
    } rows[] = {{"Amount", 0.5, "Amount   0.50\n"},
                {"", 0.5, "   0.50\n"},
                {QString(), 0.5, "   0.50\n"},
                {"Amount", QVariant(), "Amount   0.00\n"},
                {"Speed", -1.005f, "Speed   -1.00\n"},
                {"Zoom", 12.345, "Zoom   12.35\n"}};
    for (const Row &row : rows)
        EXPECT_EQ(cell.descriptiveSelfLabelWithString(row.label, row.value).toStdString(), row.text);
    FixedTextDelegate delegate;
    cell.setDelegate(&delegate);
    EXPECT_EQ(cell.descriptiveSelfLabelWithString("Amount", 0.5), "gain 0.5");
}

TEST(NSUISelfLabelingSlider, TooltipLabelsTheCellAndANibCellIsCopied) {
    riradi_test::Application();
    NSUISelfLabelingSlider slider;
    slider.setToolTip(QStringLiteral("Amount"));
    EXPECT_EQ(slider.cell()->selfLabel(), "Amount");
    slider.settooltip(QStringLiteral("Gain"));
    EXPECT_EQ(slider.tooltip(), "Gain");
    EXPECT_EQ(slider.cell()->selfLabel(), "Gain");

    auto plain = std::make_shared<NSSliderCell>();
    plain->setMinValue(-2);
    plain->setMaxValue(2);
    plain->setDoubleValue(1.5);
    plain->setNumberOfTickMarks(5);
    plain->setAction("changed:");
    slider.setCell(plain);
    EXPECT_NE(static_cast<NSSliderCell *>(slider.cell()), plain.get());
    EXPECT_EQ(slider.cell()->minValue(), -2);
    EXPECT_EQ(slider.cell()->maxValue(), 2);
    EXPECT_EQ(slider.cell()->numberOfTickMarks(), 5);
    EXPECT_EQ(slider.cell()->action(), "changed:");
    EXPECT_EQ(slider.cell()->selfLabel(), "Gain");
    EXPECT_EQ(slider.doubleValue(), 1.5);
    EXPECT_FLOAT_EQ(slider.cell()->lozengeAlpha(), 0.125f);
    EXPECT_FLOAT_EQ(slider.cell()->lozengeGrey(), 0.75f);
    EXPECT_FLOAT_EQ(slider.cell()->lozengeMargin(), 1.0f);
}

TEST(NSUISelfLabelingSlider, KnobImageIsRemadeOnlyForANewKnobSize) {
    riradi_test::Application();
    NSUISelfLabelingSliderCell cell;
    cell.setDoubleValue(0.5);
    ASSERT_NE(cell.sliderCellImage(CGRectMake(0, 0, 200, 20), false), nullptr);
    const auto knob = cell.coolKnobImage();
    ASSERT_NE(knob, nullptr);
    EXPECT_EQ(knob->size().width, 19);  // one pixel under the 20 x 20 knob
    cell.setDoubleValue(0.8);
    cell.sliderCellImage(CGRectMake(0, 0, 200, 20), false);
    EXPECT_EQ(cell.coolKnobImage(), knob);
    cell.sliderCellImage(CGRectMake(0, 0, 200, 30), false);
    EXPECT_NE(cell.coolKnobImage(), knob);
    EXPECT_EQ(cell.coolKnobImage()->size().width, 29);
}

// ---- the cross-fader

TEST(NSUICrossFaderSliderView, StartsAtZeroAndReportsContinuously) {
    riradi_test::Application();
    ViewActionRecorder recorder;
    QWidget host;
    NSUICrossFaderSliderView view(&host);
    view.resize(220, 20);
    view.setTarget(&recorder);
    view.setAction("sliderAction:");
    view.awakeFromNib();
    NSUICrossFaderSlider *slider = view.slider();
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->geometry(), view.rect());
    EXPECT_EQ(view.doubleValue(), 0.0);
    EXPECT_EQ(slider->minValue(), 0.0);
    EXPECT_EQ(slider->maxValue(), 1.0);
    EXPECT_TRUE(slider->cell()->isContinuous());
    EXPECT_EQ(slider->target(), &recorder);

    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(5, 10));
    for (int x = 30; x <= 210; x += 30) Drag(*slider, QPointF(x, 10));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(215, 10));
    ASSERT_GE(recorder.values.size(), 8u);
    EXPECT_EQ(recorder.values.front(), 0.0);
    EXPECT_EQ(recorder.values.back(), 1.0);
    for (size_t i = 1; i < recorder.values.size(); ++i) EXPECT_GE(recorder.values[i], recorder.values[i - 1]);
    EXPECT_EQ(view.doubleValue(), 1.0);
    view.setDoubleValue(0.25);
    EXPECT_EQ(slider->doubleValue(), 0.25);
    // The knob face is the 70s face, 96 x 96.
    ASSERT_NE(slider->cell()->fadeKnob(), nullptr);
    EXPECT_EQ(slider->cell()->fadeKnob()->size().width, 96);
}

}  // namespace

#include "CIViewsAndSlidersTests.moc"
