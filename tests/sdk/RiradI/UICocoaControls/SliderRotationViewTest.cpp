#include <UICocoaControls/NSSlider.h>
#include <UICocoaControls/NSUISliderRotationView.h>

#include <UICocoaViews/NSViewQuartzPainting.h>

#include <Foundation/NSKeyValueCoding.h>

#include "../RiradITestApplication.h"

#include <QApplication>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <vector>

namespace {

using NSKeyValueCoding::valueForKey;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(SliderRotationWrap, AnglesWrapIntoOneTurn) {
    struct Case {
        double degrees, wrapped;
    };
    const Case cases[] = {
        {0, 0},       {-0.5, 359.5}, {-400, 320},  {725.25, 5.25}, {360, 0},     {359.5, 359.5},
        {-720, 0},    {-359, 1},     {-359.5, 0.5}, {720.75, 0.75}, {90, 90},    {kNaN, 0},
        {std::numeric_limits<double>::infinity(), 0}, {-std::numeric_limits<double>::infinity(), 0},
    };
    for (const Case &c : cases) {
        EXPECT_NEAR(NSUISliderRotationView_WrapDegrees(c.degrees), c.wrapped, 1e-9) << c.degrees;
        const float single = NSUISliderRotationView_WrapDegrees(static_cast<float>(c.degrees));
        EXPECT_NEAR(single, c.wrapped, 1e-4) << c.degrees;
        EXPECT_GE(single, 0.0f);
        EXPECT_LT(single, 360.0f);
    }
    // A tiny negative angle stays below a full turn.
    EXPECT_LT(NSUISliderRotationView_WrapDegrees(-1e-7f), 360.0f);
}

// Points of a 100 × 100 view (Qt coordinates, centre (50, 50)): clockwise from twelve o'clock;
// the centre and points near it have no angle.
TEST(SliderRotationDial, PointsToFractions) {
    struct Case {
        QPointF point;
        std::optional<double> fraction;
    };
    const Case cases[] = {
        {{50, 10}, 0.0},    {{90, 50}, 0.25},  {{50, 90}, 0.5},   {{10, 50}, 0.75},  {{90, 10}, 0.125},
        {{90, 90}, 0.375},  {{10, 90}, 0.625}, {{10, 10}, 0.875}, {{52.5, 50}, 0.25}, {{50, 52.5}, 0.5},
        {{50, 50}, std::nullopt},           // the exact centre: atan(0/0)
        {{51, 50}, std::nullopt},           // near it, each way
        {{50, 48.5}, std::nullopt},
        {{51.2, 51.2}, std::nullopt},
        {{kNaN, 50}, std::nullopt},
    };
    const QRectF bounds(0, 0, 100, 100);
    for (const Case &c : cases) {
        const auto fraction = NSUISliderRotationView::dialFractionOfPoint(bounds, c.point);
        ASSERT_EQ(fraction.has_value(), c.fraction.has_value()) << c.point.x() << "," << c.point.y();
        if (fraction) {
            EXPECT_NEAR(*fraction, *c.fraction, 1e-6) << c.point.x() << "," << c.point.y();
        }
    }
    // The bounds' origin counts.
    EXPECT_NEAR(*NSUISliderRotationView::dialFractionOfPoint(QRectF(100, 100, 20, 20), {120, 110}), 0.25, 1e-6);
}

// A slider shown turned by a fixed angle.
class OffsetSlider : public NSSlider {
    Q_OBJECT
public:
    double radialSliderOffsetDegrees() const override { return 180; }
};

class Receiver : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void takeValue(const QVariant &value) { values.push_back(value); }
    std::vector<QVariant> values;
};

// A slider whose action turns the dial again, as a panel's handler may.
class Reentering : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void takeValue(const QVariant &) {
        ++calls;
        dial->setSynchronizedSliderNormalValue(0.9);
    }
    NSUISliderRotationView *dial = nullptr;
    int calls = 0;
};

class AngleField : public QObject {
    Q_OBJECT
    Q_PROPERTY(float floatValue MEMBER floatValue)
public:
    float floatValue = 0;
};

struct Dial : riradi_test::WithApplication {
    Dial() {
        view.resize(100, 100);
        view.setTarget(&viewTarget);
        view.setAction("takeValue:");
        view.awakeFromNib();
        slider.setTarget(&sliderTarget);
        slider.setAction("takeValue:");
    }
    void send(QEvent::Type type, QPointF point) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, point, view.mapToGlobal(point), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(&view, &event);
    }
    void drag(std::initializer_list<QPointF> points) {
        auto it = points.begin();
        send(QEvent::MouseButtonPress, *it);
        for (++it; it != points.end(); ++it) send(QEvent::MouseMove, *it);
        send(QEvent::MouseButtonRelease, *(points.end() - 1));
    }
    double sliderValue() { return valueForKey(&slider, "normalValue").toDouble(); }

    NSUISliderRotationView view;
    OffsetSlider slider;
    Receiver viewTarget, sliderTarget;
};

TEST(SliderRotationView, OffsetTurnsTheDialBothWays) {
    Dial dial;
    dial.slider.setNormalValue(0.25);
    dial.view.attachSlider(&dial.slider);
    // 90 + 180: the pointer at nine o'clock.
    EXPECT_DOUBLE_EQ(NSUISliderRotationView::radialSliderNormalValue(&dial.slider), 0.75);
    EXPECT_EQ(valueForKey(&dial.view, "synchronizedSlider").value<QObject *>(), &dial.slider);

    // Dragged to twelve o'clock: 0 − 180 wrapped.
    dial.drag({{90, 50}, {50, 5}});
    EXPECT_NEAR(dial.sliderValue(), 0.5, 1e-6);
    ASSERT_FALSE(dial.viewTarget.values.empty());
    EXPECT_NEAR(dial.viewTarget.values.back().toFloat(), 0.0f, 1e-3);  // the dial's angle in degrees
    EXPECT_EQ(dial.sliderTarget.values.size(), dial.viewTarget.values.size());  // the slider's own action each step
    EXPECT_EQ(NSKeyValueCoding::objectFromVariant(dial.sliderTarget.values.back()), &dial.slider);

    // Detaching with restore puts it back exactly; the view no longer holds it.
    dial.view.detachSliderControl(true);
    EXPECT_DOUBLE_EQ(dial.sliderValue(), 0.25);
    EXPECT_EQ(dial.view.synchronizedSlider(), nullptr);
    // Without a slider a drag sets nothing.
    const size_t sent = dial.viewTarget.values.size();
    dial.drag({{50, 90}});
    EXPECT_EQ(dial.viewTarget.values.size(), sent);
    EXPECT_DOUBLE_EQ(dial.sliderValue(), 0.25);
}

TEST(SliderRotationView, CentreOfTheDialSetsNothing) {
    Dial dial;
    dial.slider.setNormalValue(0.375);
    dial.view.attachSlider(&dial.slider);
    dial.drag({{50, 50}, {50.5, 49.5}, {50, 50}});
    EXPECT_DOUBLE_EQ(dial.sliderValue(), 0.375);
    EXPECT_TRUE(dial.viewTarget.values.empty());
    EXPECT_TRUE(dial.sliderTarget.values.empty());
    // Out of the centre the drag takes over: right of the centre is 0.25, less the offset.
    dial.drag({{50, 50}, {80, 50}, {50, 50}});
    EXPECT_NEAR(dial.sliderValue(), 0.75, 1e-6);
}

TEST(SliderRotationView, AttachingTheSameSliderRepeatsTheAngle) {
    Dial dial;
    dial.slider.setNormalValue(0.25);
    dial.view.attachSlider(&dial.slider);
    EXPECT_TRUE(dial.viewTarget.values.empty());
    EXPECT_DOUBLE_EQ(dial.view.synchronizedSliderInitialValue(), 0.25);
    dial.slider.setNormalValue(0.5);
    dial.view.attachSlider(&dial.slider);
    ASSERT_EQ(dial.viewTarget.values.size(), 1u);
    EXPECT_FLOAT_EQ(dial.viewTarget.values[0].toFloat(), 0.0f);  // (0.5 × 360 + 180) wrapped
    EXPECT_DOUBLE_EQ(dial.view.synchronizedSliderInitialValue(), 0.25);
    EXPECT_DOUBLE_EQ(dial.sliderValue(), 0.5);
    EXPECT_TRUE(dial.sliderTarget.values.empty());

    // Another slider: the first is let go without restoring.
    NSSlider other;
    other.setNormalValue(0.125);
    dial.view.attachSlider(&other);
    EXPECT_DOUBLE_EQ(dial.sliderValue(), 0.5);
    EXPECT_DOUBLE_EQ(dial.view.synchronizedSliderInitialValue(), 0.125);
}

TEST(SliderRotationView, TakesAnglesInDegrees) {
    Dial dial;
    NSSlider plain;
    dial.view.attachSlider(&plain);
    AngleField field;
    const struct {
        float degrees;
        double normal;
    } cases[] = {{450, 0.25}, {-90, 0.75}, {180, 0.5}, {-400, 320.0 / 360}};
    for (const auto &c : cases) {
        field.floatValue = c.degrees;
        QMetaObject::invokeMethod(&dial.view, "takeFloatValueFrom", Q_ARG(QObject *, &field));
        EXPECT_NEAR(valueForKey(&plain, "normalValue").toDouble(), c.normal, 1e-6) << c.degrees;
    }
    // A sender with a normal value gives it as it stands.
    NSSlider source;
    source.setNormalValue(0.625);
    dial.view.takeFloatValueFrom(&source);
    EXPECT_NEAR(plain.normalValue(), 0.625, 1e-6);

    // Nil, the view itself and an object without a value change nothing.
    const size_t sent = dial.viewTarget.values.size();
    dial.view.takeFloatValueFrom(nullptr);
    dial.view.takeFloatValueFrom(&dial.view);
    EXPECT_EQ(dial.viewTarget.values.size(), sent);
    EXPECT_NEAR(plain.normalValue(), 0.625, 1e-6);
    QObject mute;
    EXPECT_DOUBLE_EQ(NSUISliderRotationView::objectNormalValue(&mute), 0.0);
    EXPECT_TRUE(import_NSUISliderRotationView());
}

TEST(SliderRotationView, ReentryThroughTheSliderActionIsCutOff) {
    Dial dial;
    Reentering handler;
    handler.dial = &dial.view;
    NSSlider plain;
    plain.setTarget(&handler);
    plain.setAction("takeValue:");
    dial.view.attachSlider(&plain);
    dial.view.setSynchronizedSliderNormalValue(0.4);
    EXPECT_EQ(handler.calls, 1);
    EXPECT_NEAR(plain.normalValue(), 0.4, 1e-6);
    EXPECT_EQ(dial.viewTarget.values.size(), 1u);
}

// The dial drawn by hand into a 100 × 100 view: R is 5..95, radius 40.5 about (50, 50).
TEST(SliderRotationView, DrawsRingTicksAndPointer) {
    Dial dial;
    NSSlider plain;
    auto render = [&] {
        NSViewQuartzPainting painting(&dial.view);
        dial.view.drawRect(painting.context(), CGRectMake(0, 0, 100, 100));
        return painting.image().convertToFormat(QImage::Format_ARGB32);
    };
    // Nothing without a slider.
    QImage image = render();
    for (QPoint p : {QPoint(50, 50), QPoint(30, 50), QPoint(50, 20)}) EXPECT_EQ(qAlpha(image.pixel(p)), 0);

    dial.view.attachSlider(&plain);
    plain.setNormalValue(0.25);  // three o'clock
    image = render();
    auto isBlack = [&](QPoint p) { return image.pixel(p) == qRgba(0, 0, 0, 255); };
    // The pointer: round the top right quarter, then in from three o'clock.
    EXPECT_TRUE(isBlack({70, 50}));
    EXPECT_TRUE(isBlack({78, 21}));  // on the arc at 45 degrees (radius 40.5)
    // The ring alone between the ticks (which are a quarter of a degree wide, every 22.5):
    // grey (0.25) at alpha 0.25; a tick darkens it.
    for (QPoint p : {QPoint(46, 70), QPoint(30, 54)}) {
        const QColor c = image.pixelColor(p);
        EXPECT_NEAR(c.alpha(), 64, 2) << p.x() << "," << p.y();
        EXPECT_NEAR(c.red(), 64, 3);
    }
    // Twelve o'clock: the pointer starts there but the upright line is gone.
    EXPECT_FALSE(isBlack({50, 30}));
    EXPECT_GT(qAlpha(image.pixel(21, 21)), 80);  // the tick at 135 degrees
    // Inside the ring (radius 40.5 − 32) and off the pointer: nothing.
    EXPECT_EQ(qAlpha(image.pixel(45, 54)), 0);

    plain.setNormalValue(0);  // twelve o'clock: only the upright line
    image = render();
    EXPECT_TRUE(isBlack({50, 30}));
    EXPECT_FALSE(isBlack({70, 50}));
}

}  // namespace

#include "SliderRotationViewTest.moc"
