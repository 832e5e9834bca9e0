#include <UICocoaControls/NSControl_NormalValue.h>
#include <UICocoaControls/NSSlider.h>

#include <AppKit/NSTextField.h>
#include <Foundation/NSException.h>
#include <Foundation/NSKeyValueCoding.h>

#include "../RiradITestApplication.h"

#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

using NSKeyValueCoding::setValueForKey;
using NSKeyValueCoding::valueForKey;

class NormalValues : public ::testing::Test, public riradi_test::WithApplication {};

// Setting a normal value: the slider's value, and the normal value read back. Every value read
// back is finite.
TEST_F(NormalValues, SettingAndReadingAcrossRanges) {
    struct Row {
        double min, max, normal;
        double value;      // expected slider value
        double readBack;   // expected normal value
    };
    const std::vector<Row> rows = {
        {0, 1, 0.25, 0.25, 0.25},
        {10, 20, 0.5, 15, 0.5},
        {10, 20, 1.5, 20, 1},                  // clamped to the maximum
        {10, 20, -0.2, 10, 0},                 // and to the minimum
        {-1, 1, 0.1, 2 * static_cast<double>(0.1f) - 1, static_cast<double>(0.1f)},  // single precision
        {20, 10, 0.25, 17.5, 0.25},            // a reversed range
        {10, 20, kNaN, 10, 0},                 // NaN sets the minimum
        {10, 20, kInf, 20, 1},
        {10, 20, -kInf, 10, 0},
        {10, 20, 1e300, 20, 1},                // beyond single precision: infinity, then clamped
        {5, 5, 0.7, 5, 0},                     // an empty range reads 0, not NaN
        {5, 5, kNaN, 5, 0},
        {-1e308, 1e308, 0.5, 0, 0.5},          // a range wider than the largest double
        {-1e308, 1e308, 1, 1e308, 1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(::testing::Message() << "[" << row.min << ", " << row.max << "] n=" << row.normal);
        NSSlider slider;
        slider.setMinValue(row.min);
        slider.setMaxValue(row.max);
        slider.setDoubleValue(row.min == 5 ? 5 : 3);
        NSSlider_SetNormalValue(&slider, row.normal);
        EXPECT_DOUBLE_EQ(slider.doubleValue(), row.value);
        const double read = NSSlider_GetNormalValue(&slider);
        EXPECT_TRUE(std::isfinite(read));
        EXPECT_DOUBLE_EQ(read, row.readBack);
        EXPECT_TRUE(std::isfinite(slider.normalParam().toFloat()));
    }
}

TEST_F(NormalValues, ReadingIsNotClamped) {
    NSSlider slider;
    slider.setMinValue(10);
    slider.setMaxValue(20);
    slider.setDoubleValue(25);
    EXPECT_DOUBLE_EQ(slider.normalValue(), 1.5);
    slider.setDoubleValue(5);
    EXPECT_DOUBLE_EQ(slider.normalValue(), -0.5);
    EXPECT_EQ(slider.value(), 0);  // the knob stops at its end

    // The slider refuses non-finite values and bounds.
    slider.setDoubleValue(kNaN);
    slider.setMaxValue(kInf);
    EXPECT_DOUBLE_EQ(slider.doubleValue(), 5);
    EXPECT_DOUBLE_EQ(slider.maxValue(), 20);
}

TEST_F(NormalValues, ClampTable) {
    const std::vector<std::pair<double, double>> rows = {
        {0.5, 0.5}, {0.1, static_cast<double>(0.1f)}, {-0.0, 0}, {1, 1}, {1.0000001, 1},
        {-1e-30, 0}, {kNaN, 0}, {-kNaN, 0}, {kInf, 1}, {-kInf, 0}, {1e300, 1}, {-1e300, 0},
    };
    for (const auto &[in, out] : rows) EXPECT_EQ(NSControl_ClampNormalValue(in), out) << in;
}

// A control that answers its own normal value (as the fine and movie sliders do).
class OwnNormal : public NSSlider {
    Q_OBJECT
public:
    double normalValue() const override { return mOwn; }
    void setNormalValue(double n) override { mOwn = n; }
    double mOwn = 0.75;
};

class PlainNormal : public QObject {
    Q_OBJECT
    Q_PROPERTY(double normalValue MEMBER normal)
public:
    double normal = 0.4;
};

TEST_F(NormalValues, DerivedFormsAndSenders) {
    NSSlider slider;
    slider.setMinValue(100);
    slider.setMaxValue(200);
    slider.setDoubleValue(100);
    EXPECT_DOUBLE_EQ(slider.inverseNormalValue(), 1);
    EXPECT_DOUBLE_EQ(slider.radialSliderOffsetDegrees(), 0);
    EXPECT_DOUBLE_EQ(RadialSliderDeltaValue::radialSliderOffsetDegrees(&slider), 0);

    // Through key-value coding, as the parameter mapping and bookmarks reach it.
    setValueForKey(&slider, 0.25, "inverseNormalValue");
    EXPECT_DOUBLE_EQ(slider.doubleValue(), 175);
    setValueForKey(&slider, QStringLiteral("0.5"), "normalParam");
    EXPECT_DOUBLE_EQ(slider.doubleValue(), 150);
    EXPECT_EQ(valueForKey(&slider, "normalParam"), QVariant(0.5f));
    setValueForKey(&slider, QVariant(), "normalParam");
    EXPECT_DOUBLE_EQ(slider.doubleValue(), 100);
    setValueForKey(&slider, QStringLiteral("nan"), "normalParam");
    EXPECT_DOUBLE_EQ(slider.doubleValue(), 100);

    // A text field holding 0.25 is taken as a normal value as it stands.
    NSTextField field;
    field.setStringValue("0.25");
    slider.takeNormalValueFrom(&field);
    EXPECT_DOUBLE_EQ(slider.doubleValue(), 125);
    field.setStringValue("junk");
    slider.takeNormalValueFrom(&field);
    EXPECT_DOUBLE_EQ(slider.doubleValue(), 100);

    // A sender with its own normal value gives that, not its text or its range.
    OwnNormal own;
    slider.takeNormalValueFrom(&own);
    EXPECT_DOUBLE_EQ(slider.doubleValue(), 175);
    PlainNormal plain;
    NormalValue::takeNormalValueFrom(&slider, &plain);
    EXPECT_DOUBLE_EQ(slider.doubleValue(), 100 + 100 * static_cast<double>(0.4f));
    QObject nothing;
    NormalValue::takeNormalValueFrom(&slider, &nothing);
    NormalValue::takeNormalValueFrom(&slider, nullptr);
    EXPECT_DOUBLE_EQ(slider.doubleValue(), 100 + 100 * static_cast<double>(0.4f));

    // The derived forms go through a subclass's own normal value.
    EXPECT_DOUBLE_EQ(own.inverseNormalValue(), 0.25);
    EXPECT_EQ(valueForKey(&own, "normalParam"), QVariant(0.75f));
    setValueForKey(&own, 0.2, "inverseNormalValue");
    EXPECT_DOUBLE_EQ(own.mOwn, 0.8);
    EXPECT_DOUBLE_EQ(own.doubleValue(), 0);  // the slider arithmetic was not used

    // Any control that answers normalValue gets the derived forms; one that does not raises.
    EXPECT_DOUBLE_EQ(NormalValue::inverseNormalValue(&plain), 0.6);
    NormalValue::setInverseNormalValue(&plain, 0.9);
    EXPECT_NEAR(plain.normal, 0.1, 1e-12);
    EXPECT_THROW(NormalValue::normalValue(&nothing), NSException);
    EXPECT_DOUBLE_EQ(RadialSliderDeltaValue::radialSliderOffsetDegrees(&nothing), 0);

    // Not a slider: reported, 0.5, nothing set.
    EXPECT_DOUBLE_EQ(NSSlider_GetNormalValue(&field), 0.5);
    NSSlider_SetNormalValue(&field, 1);
    EXPECT_EQ(field.stringValue(), QStringLiteral("junk"));
}

class ActionReceiver : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void sliderMoved(QObject *sender) {
        senders.push_back(sender);
        values.push_back(NSKeyValueCoding::valueForKey(sender, "doubleValue").toDouble());
    }
    std::vector<QObject *> senders;
    std::vector<double> values;
};

// The user moves the knob with the keyboard and the mouse: every step fires the action with the
// slider and the values read back through key-value coding follow the range.
TEST_F(NormalValues, SliderDrivenByEvents) {
    NSSlider slider;
    slider.resize(200, 24);
    slider.setMinValue(-50);
    slider.setMaxValue(50);
    slider.setDoubleValue(0);
    ActionReceiver receiver;
    setValueForKey(&slider, QVariant::fromValue<QObject *>(&receiver), "target");
    setValueForKey(&slider, QByteArray("sliderMoved:"), "action");

    QTest::keyClick(&slider, Qt::Key_Right);
    ASSERT_EQ(receiver.values.size(), 1u);
    EXPECT_EQ(receiver.senders[0], &slider);
    EXPECT_NEAR(receiver.values[0], 1, 1e-9);
    EXPECT_NEAR(valueForKey(&slider, "normalValue").toDouble(), 0.51, 1e-9);

    QTest::keyClick(&slider, Qt::Key_End);
    EXPECT_DOUBLE_EQ(valueForKey(&slider, "doubleValue").toDouble(), 50);
    EXPECT_EQ(valueForKey(&slider, "normalParam"), QVariant(1.0f));
    QTest::keyClick(&slider, Qt::Key_Home);
    EXPECT_DOUBLE_EQ(valueForKey(&slider, "doubleValue").toDouble(), -50);
    EXPECT_EQ(valueForKey(&slider, "intValue"), QVariant(-50));
    EXPECT_EQ(receiver.values.size(), 3u);

    // A click on the groove pages towards the click.
    slider.show();
    QTest::mouseClick(&slider, Qt::LeftButton, Qt::NoModifier, QPoint(190, 12));
    EXPECT_GT(slider.doubleValue(), -50);
    ASSERT_GE(receiver.values.size(), 4u);
    EXPECT_DOUBLE_EQ(receiver.values.back(), slider.doubleValue());
    const size_t fired = receiver.values.size();

    // Values set in code fire nothing; an empty range puts the knob at its start.
    slider.setNormalValue(0.5);
    slider.setMinValue(3);
    slider.setMaxValue(3);
    EXPECT_EQ(slider.value(), 0);
    EXPECT_EQ(valueForKey(&slider, "normalValue"), QVariant(0.0));
    EXPECT_EQ(receiver.values.size(), fired);
}

}  // namespace

#include "NormalValueTest.moc"
