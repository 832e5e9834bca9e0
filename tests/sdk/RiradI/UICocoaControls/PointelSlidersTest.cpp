// The panels' slider family: default values and ranges by class, the reset button laid out at
// the slider's start with the track shortened, clicks on the button and on the track with
// synthetic mouse events, the tint following the value, and the action's failed checks.
#include <gtest/gtest.h>

#include <QImage>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

#include <cmath>
#include <functional>
#include <memory>

#include <UICocoaControls/PointelAngleDeltaSlider.h>
#include <UICocoaControls/PointelAngleSlider.h>
#include <UICocoaControls/PointelDefaultOneSlider.h>
#include <UICocoaControls/PointelDefaultZeroSlider.h>
#include <UICocoaControls/PointelDeltaSlider.h>
#include <UICocoaControls/PointelKindSlider.h>
#include <UICocoaControls/PointelNormalOneHalfSlider.h>
#include <UICocoaControls/PointelNormalOneSlider.h>
#include <UICocoaControls/PointelNormalSlider.h>
#include <UICocoaControls/PointelNormalZeroSlider.h>
#include <UICocoaControls/PointelOpacitySlider.h>
#include <UICocoaControls/PointelScaleSlider.h>

#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"
#include "sdk/RiradI/RiradITestApplication.h"

namespace {

class Recorder : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void changed(QObject *sender) {
        senders.append(sender);
        if (auto *slider = qobject_cast<NSSlider *>(parent())) values.append(slider->doubleValue());
    }
    QList<QObject *> senders;
    QList<double> values;
};

// The style option the slider draws and tracks with.
struct PeekSlider : PointelNormalSlider {
    using PointelNormalSlider::initStyleOption;
};

class PointelSlidersTest : public corex_test::DebugLogFileTest, public riradi_test::WithApplication {};

TEST_F(PointelSlidersTest, DefaultsAndRangesByClass) {
    struct Case {
        const char *what;
        std::function<PointelBaseSlider *()> make;
        QVariant defaultValue;
        int resetButtons;
        double minValue, maxValue;
    };
    const Case cases[] = {
        {"kind", [] { return new PointelKindSlider; }, QVariant(), 0, 0, 1},
        {"opacity", [] { return new PointelOpacitySlider; }, QVariant(1.0), 0, 0, 1},
        {"angle", [] { return new PointelAngleSlider; }, QVariant(), 0, 0, 1},
        {"angle delta", [] { return new PointelAngleDeltaSlider; }, QVariant(), 0, 0, 1},
        {"default", [] { return new PointelDefaultSlider; }, QVariant(0), 1, 0, 1},
        {"default zero", [] { return new PointelDefaultZeroSlider; }, QVariant(0.0), 1, 0, 1},
        {"default one", [] { return new PointelDefaultOneSlider; }, QVariant(1.0), 1, 0, 1},
        {"normal", [] { return new PointelNormalSlider; }, QVariant(0.5), 1, 0, 1},
        {"normal one", [] { return new PointelNormalOneSlider; }, QVariant(1.0), 1, 0, 1},
        {"normal one half", [] { return new PointelNormalOneHalfSlider; }, QVariant(0.5), 1, 0, 1},
        {"normal zero", [] { return new PointelNormalZeroSlider; }, QVariant(0.0), 1, 0, 1},
        {"delta", [] { return new PointelDeltaSlider; }, QVariant(0.5), 1, 0, 1},
        {"scale", [] { return new PointelScaleSlider; }, QVariant(1.0), 1, 0.10000000149011612, 6.0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<PointelBaseSlider> slider(c.make());
        EXPECT_EQ(slider->defaultObjectValue(), c.defaultValue);
        EXPECT_EQ(slider->defaultObjectValue().typeId(), c.defaultValue.typeId());
        auto *cellSlider = dynamic_cast<PointelCellSlider *>(slider.get());
        EXPECT_EQ(cellSlider != nullptr ? int(cellSlider->attachments().pairs.size()) : 0, c.resetButtons);
        EXPECT_EQ(slider->minValue(), c.minValue);
        EXPECT_EQ(slider->maxValue(), c.maxValue);
        // Every slider of the family is clear unless it has a default to tint by.
        EXPECT_EQ(slider->controlTint(), c.resetButtons != 0 ? slider->controlTint() : int(NSClearControlTint));
    }
    PointelAngleDeltaSlider delta;
    EXPECT_EQ(delta.radialSliderOffsetDegrees(), 180.0);
    EXPECT_EQ(PointelAngleSlider().radialSliderOffsetDegrees(), 0.0);
}

TEST_F(PointelSlidersTest, ResetButtonAtTheStartShortensTheTrack) {
    const NSSize button = PointelDefaultSlider::miniResetImage()->size();
    ASSERT_GT(button.width, 0);
    struct Case {
        const char *what;
        Qt::Orientation orientation;
        QSize size;
        QRectF buttonRect;  // in Qt coordinates
        QRect track;
    };
    const int w = int(button.width), h = int(button.height);
    const Case cases[] = {
        {"horizontal", Qt::Horizontal, {200, h}, QRectF(0, 0, w, h), QRect(w + 2, 0, 200 - w - 2, h)},
        {"horizontal, taller", Qt::Horizontal, {200, 30}, QRectF(0, 30 - h, w, h), QRect(w + 2, 0, 200 - w - 2, 30)},
        // Vertical: the button at the bottom, the track above it, shorter by the button's height.
        {"vertical", Qt::Vertical, {22, 150}, QRectF(0, 150 - h, w, h), QRect(0, 0, 22, 150 - h)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        PeekSlider slider;
        // Set after construction, as a nib does.
        slider.setOrientation(c.orientation);
        slider.resize(c.size);
        slider.recalculateSliderCell();
        ASSERT_EQ(slider.attachments().pairs.size(), 1u);
        EXPECT_EQ(cellAttachmentsQtRect(&slider, slider.attachments().pairs[0].frame), c.buttonRect);
        const CGRect track = slider.sliderCellBounds();
        EXPECT_EQ(QRectF(track.origin.x, track.origin.y, track.size.width, track.size.height), QRectF(c.track));
        QStyleOptionSlider option;
        slider.initStyleOption(&option);
        EXPECT_EQ(option.rect, c.track);
    }

    // A second cell goes after the first; the track moves on by its width.
    PointelNormalSlider two;
    two.resize(200, 20);
    two.addPushButton(PointelDefaultSlider::miniResetImage(), "resetDefaultValue:");
    EXPECT_EQ(two.origin().x, 2 * button.width);
    EXPECT_EQ(two.attachments().pairs[1].frame.origin.x, button.width);
    EXPECT_EQ(two.sliderCellBounds().origin.x, 2 * button.width + 2);
    EXPECT_EQ(two.sliderCellFrame().size.width, 200 - 2 * button.width - 2);
    EXPECT_EQ(two.addButtonCell(nullptr), nullptr);
    EXPECT_NE(LogText().find(" code : cell"), std::string::npos);
}

// Where the mouse goes, what it does.
TEST_F(PointelSlidersTest, ClicksOnTheButtonAndOnTheTrack) {
    struct Case {
        const char *what;
        Qt::Orientation orientation;
        std::function<QPoint(const PointelScaleSlider &)> where;
        double valueAfter;       // NAN: only "moved away from 3.0"
        bool resetAction;        // the action came from the button (its cell as the sender)
        int tint;
    };
    const Case cases[] = {
        {"horizontal button", Qt::Horizontal, [](const auto &) { return QPoint(5, 10); }, 1.0, true,
         NSGraphiteControlTint},
        {"vertical button", Qt::Vertical, [](const auto &s) { return QPoint(5, s.height() - 5); }, 1.0, true,
         NSGraphiteControlTint},
        {"horizontal track end", Qt::Horizontal, [](const auto &s) { return QPoint(s.width() - 2, 10); }, NAN,
         false, NSBlueControlTint},
        {"vertical track top", Qt::Vertical, [](const auto &) { return QPoint(10, 2); }, NAN, false,
         NSBlueControlTint},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        PointelScaleSlider slider;
        slider.setOrientation(c.orientation);
        slider.resize(c.orientation == Qt::Horizontal ? QSize(200, 20) : QSize(20, 200));
        Recorder recorder;
        recorder.setParent(&slider);
        slider.setTarget(&recorder);
        slider.setAction("changed:");
        slider.setDoubleValue(3.0);
        EXPECT_EQ(slider.controlTint(), NSBlueControlTint);
        slider.show();
        const QPoint point = c.where(slider);
        QTest::mousePress(&slider, Qt::LeftButton, {}, point);
        QTest::mouseRelease(&slider, Qt::LeftButton, {}, point);
        riradi_test::RunPendingEvents();
        if (std::isnan(c.valueAfter)) {
            EXPECT_NE(slider.doubleValue(), 3.0);
        } else {
            EXPECT_EQ(slider.doubleValue(), c.valueAfter);
        }
        EXPECT_EQ(slider.controlTint(), c.tint);
        if (c.resetAction) {
            ASSERT_EQ(recorder.senders.size(), 1);
            EXPECT_EQ(recorder.senders[0], slider.attachments().pairs[0].cell.get());
            EXPECT_EQ(recorder.values[0], 1.0);
        } else {
            ASSERT_FALSE(recorder.senders.isEmpty());
            EXPECT_EQ(recorder.senders[0], &slider);
        }
        slider.setTarget(nullptr);
    }
}

TEST_F(PointelSlidersTest, TintFollowsTheValue) {
    PointelNormalSlider slider;
    EXPECT_EQ(slider.controlTint(), NSBlueControlTint);  // at 0, default 0.5
    slider.setDoubleValue(0.5);
    EXPECT_EQ(slider.controlTint(), NSGraphiteControlTint);
    slider.setDoubleValue(0.5000001);
    EXPECT_EQ(slider.controlTint(), NSBlueControlTint);
    slider.setFloatValue(0.5f);
    EXPECT_EQ(slider.controlTint(), NSGraphiteControlTint);
    slider.setObjectValue(QVariant(0.25));
    EXPECT_EQ(slider.controlTint(), NSBlueControlTint);
    slider.setNormalValue(0.5);
    EXPECT_EQ(slider.controlTint(), NSGraphiteControlTint);
    // The keyboard moves it off the default.
    slider.resize(200, 20);
    QTest::keyClick(&slider, Qt::Key_Right);
    EXPECT_GT(slider.doubleValue(), 0.5);
    EXPECT_EQ(slider.controlTint(), NSBlueControlTint);

    // The base default slider's default is the integer 0, at which it starts.
    PointelDefaultSlider base;
    EXPECT_TRUE(base.hasDefaultValue());
    EXPECT_EQ(base.controlTint(), NSGraphiteControlTint);
    PointelDefaultOneSlider one;
    EXPECT_FALSE(one.hasDefaultValue());
    EXPECT_EQ(one.controlTint(), NSBlueControlTint);
}

TEST_F(PointelSlidersTest, ResetWithoutTargetOrActionReportsAndSendsNothing) {
    PointelDeltaSlider slider;
    Recorder recorder;
    slider.setDoubleValue(0.9);
    slider.resetDefaultValue(nullptr);
    EXPECT_EQ(slider.doubleValue(), 0.5);
    EXPECT_NE(LogText().find("[self target] in /Code/sdk/RiradI/NSUIMaskInstanceNibbler/PointelBaseControls:70"),
              std::string::npos);
    EXPECT_NE(LogText().find("(-[PointelBaseSlider performTargetActionWithObject:])"), std::string::npos);
    EXPECT_EQ(LogText().find(" code : [self action]"), std::string::npos);

    slider.setTarget(&recorder);
    slider.resetDefaultValue(nullptr);
    EXPECT_NE(LogText().find(" code : [self action]"), std::string::npos);
    EXPECT_TRUE(recorder.senders.isEmpty());
}

TEST_F(PointelSlidersTest, AngleResetsByNormalValue) {
    PointelAngleSlider angle;
    PointelAngleDeltaSlider delta;
    Recorder recorder;
    for (PointelAngleSlider *slider : {static_cast<PointelAngleSlider *>(&angle), static_cast<PointelAngleSlider *>(&delta)}) {
        slider->setMinValue(-180);
        slider->setMaxValue(180);
        slider->setDoubleValue(90);
        slider->setTarget(&recorder);
        slider->setAction("changed:");
        slider->resetDefaultValue(slider);
    }
    EXPECT_EQ(angle.doubleValue(), -180);
    EXPECT_EQ(delta.doubleValue(), 0);
    EXPECT_EQ(recorder.senders, (QList<QObject *>{&angle, &delta}));
}

TEST_F(PointelSlidersTest, ButtonCellSettings) {
    auto up = PointelDefaultSlider::miniResetImage();
    auto down = PointelDefaultSlider::miniResetImage();
    Recorder recorder;
    const auto cell = PointelBaseSlider::buttonCellType(NSToggleButton, up, down, "changed:", &recorder);
    EXPECT_EQ(cell->buttonType(), NSToggleButton);
    EXPECT_EQ(cell->bezelStyle(), NSBezelStyleShadowlessSquare);
    EXPECT_EQ(cell->imagePosition(), NSImageOnly);
    EXPECT_FALSE(cell->isBordered());
    EXPECT_FALSE(cell->isBezeled());
    EXPECT_EQ(cell->title(), QString());
    EXPECT_EQ(cell->highlightsBy(), 0);
    EXPECT_EQ(cell->image(), up);
    EXPECT_EQ(cell->alternateImage(), down);
    EXPECT_EQ(cell->target(), &recorder);
    EXPECT_EQ(cell->action(), "changed:");
    EXPECT_EQ(PointelBaseSlider::buttonCellType(NSMomentaryPushInButton, up, nullptr, "x", nullptr)->alternateImage(),
              nullptr);
}

TEST_F(PointelSlidersTest, ButtonIsDrawnAtTheStart) {
    PointelNormalSlider slider;
    slider.resize(200, 20);
    const QImage picture = slider.grab().toImage();
    // The drawn reset picture: a dark grey disc at the left end.
    const NSSize size = PointelDefaultSlider::miniResetImage()->size();
    const QColor centre = picture.pixelColor(1, 20 - int(size.height / 2));
    EXPECT_LT(centre.red(), 128);
    EXPECT_EQ(centre.alpha(), 255);
}

}  // namespace

#include "PointelSlidersTest.moc"
