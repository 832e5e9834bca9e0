// The fine slider: its nib, the value of its two knobs, settings from outside, its actions.
#include <UICocoaControls/NSControl_NormalValue.h>
#include <UICocoaControls/NSUIFineSlider.h>
#include <UICocoaControls/NSUISliderBase.h>

#include <AppKit/NSNib.h>
#include <Foundation/NSKeyValueCoding.h>

#include "../RiradITestApplication.h"
#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Records the actions it is sent, with the fine knob's place at the moment of each.
class ActionRecorder : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void valueChanged(QObject *sender) {
        senders.append(sender);
        auto *control = qobject_cast<NSUIFineSlider *>(sender);
        fineAtAction.append(control != nullptr && control->fineSlider() ? control->fineSlider()->doubleValue() : -1);
    }
    QList<QObject *> senders;
    QList<double> fineAtAction;
};

class FineSliderTest : public corex_test::DebugLogFileTest, public riradi_test::WithApplication {
protected:
    void SetUp() override {
        DebugLogFileTest::SetUp();
        QList<QObject *> topLevel;
        auto nib = NSNib::initWithNibNamed("NSUIFineSlider");
        ASSERT_NE(nib, nullptr);
        ASSERT_TRUE(nib->instantiateNibWithOwner(nullptr, &topLevel));
        ASSERT_EQ(topLevel.size(), 1);
        control.reset(qobject_cast<NSUIFineSlider *>(topLevel.first()));
        ASSERT_NE(control, nullptr);
        fine = control->fineSlider();
        gross = control->grossSlider();
        ASSERT_TRUE(fine && gross);
    }

    // An enabled control over [min, max] with its knobs placed by hand.
    void Place(double minValue, double maxValue, double grossAt, double fineAt) {
        control->setMinValue(minValue);
        control->setMaxValue(maxValue);
        control->setEnabled(true);
        gross->setDoubleValue(grossAt);
        fine->setDoubleValue(fineAt);
    }

    std::unique_ptr<NSUIFineSlider> control;
    NSSlider *fine = nullptr;
    NSSlider *gross = nullptr;
};

TEST_F(FineSliderTest, AFreshNibIsResetAndDisabled) {
    EXPECT_NE(qobject_cast<NSUISliderBase *>(gross), nullptr);
    EXPECT_NE(qobject_cast<NSUISliderBase *>(fine), nullptr);
    EXPECT_EQ(control->minValue(), 0);
    EXPECT_EQ(control->maxValue(), 1);
    EXPECT_EQ(fine->doubleValue(), 0.5);
    EXPECT_EQ(gross->doubleValue(), 0.5);
    EXPECT_EQ(control->doubleValue(), 0.5);
    EXPECT_EQ(control->normalValue(), 0.5);
    EXPECT_FALSE(control->isEnabled());
    EXPECT_FALSE(fine->isEnabled());
    EXPECT_FALSE(gross->isEnabled());
    // The inner sliders act on the control.
    EXPECT_EQ(fine->target(), control.get());
    EXPECT_EQ(gross->target(), control.get());
    EXPECT_EQ(fine->action(), "fineSliderChanged:");
    EXPECT_EQ(gross->action(), "grossSliderChanged:");
    EXPECT_FALSE(fine->toolTip().isEmpty());
    EXPECT_FALSE(gross->accessibleName().isEmpty());
    EXPECT_EQ(LogText(), "");

    control->setEnabled(true);
    EXPECT_TRUE(fine->isEnabled());
    EXPECT_TRUE(gross->isEnabled());
}

// Reading the value from the two knobs. Every value read is finite, an empty range included.
TEST_F(FineSliderTest, ValueOfTheTwoKnobs) {
    struct Row {
        double min, max, grossAt, fineAt;
        double value, normal, offset;
    };
    const float third = 1.0f / 3.0f;
    const std::vector<Row> rows = {
        {0, 100, 0.5, 1, 50.25, 0.5025, 0.25},
        {0, 100, 0.5, 0, 49.75, 0.4975, -0.25},
        {0, 100, 0.5, 0.5, 50, 0.5, 0},
        {0, 100, 1, 0.75, 100, 1, 0.125},       // held at the maximum
        {0, 100, 0, 0, 0, 0, -0.25},            // and at the minimum
        {0, 100, 0.5, -3, 49.75, 0.4975, -0.25}, // the fine knob beyond its ends adds no more
        {0, 100, 0.5, 7, 50.25, 0.5025, 0.25},
        {0, 100, 3, 0.5, 100, 1, 0},            // nor the gross knob
        {-10, 10, third, 0.5, 20.0 * third - 10, (20.0 * third) / 20, 0},  // single precision
        {5, 5, 0.5, 1, 5, 0, 0},                // an empty range: its one value, normal value 0
        {5, 5, 0, 0, 5, 0, 0},
        {-1e308, 1e308, 0.5, 0.5, 0, 0.5, 0},   // a range wider than the largest double
        {-1e308, 1e308, 1, 1, 1e308, 1, 0.5e308 / 200 * 2},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(::testing::Message() << "[" << row.min << ", " << row.max << "] gross " << row.grossAt
                                          << " fine " << row.fineAt);
        Place(row.min, row.max, row.grossAt, row.fineAt);
        EXPECT_DOUBLE_EQ(control->fineDoubleValue(), row.offset);
        EXPECT_DOUBLE_EQ(control->doubleValue(), row.value);
        EXPECT_FLOAT_EQ(control->floatValue(), static_cast<float>(row.value));
        EXPECT_DOUBLE_EQ(control->normalValue(), row.normal);
        // As key-value coding and the parameter mapping read it.
        const double byKey = NSKeyValueCoding::valueForKey(control.get(), "normalValue").toDouble();
        EXPECT_TRUE(std::isfinite(byKey));
        EXPECT_DOUBLE_EQ(byKey, row.normal);
        EXPECT_DOUBLE_EQ(NormalValue::normalValue(control.get()), row.normal);
    }
}

// Settings from outside recentre the fine knob and put the gross knob in place.
TEST_F(FineSliderTest, SettingTheValue) {
    enum Op { Double, Float, Normal };
    struct Row {
        Op op;
        double min, max, in;
        double grossAt, value;
    };
    const double tenth = static_cast<float>(0.1);
    const std::vector<Row> rows = {
        {Double, 0, 100, 25, 0.25, 25},
        {Double, 0, 100, 150, 1, 100},        // clamped: the gross knob at its right end
        {Double, 0, 100, -5, 0, 0},
        {Double, 0, 100, kNaN, 0, 0},         // NaN: the minimum
        {Double, 0, 100, kInf, 1, 100},
        {Double, 0, 100, 10, tenth, tenth * 100},  // the gross knob holds single precision
        {Double, 5, 5, 7, 0, 5},              // an empty range: the gross knob at its start
        {Double, 5, 5, 5, 0, 5},
        {Double, 5, 5, kNaN, 0, 5},
        {Double, -1e308, 1e308, 0, 0.5, 0},
        {Float, 0, 100, 75, 0.75, 75},
        {Float, 5, 5, 1, 0, 5},
        {Normal, 0, 100, 0.25, 0.25, 25},     // a fraction of the control's range
        {Normal, 0, 100, 1.5, 1, 100},
        {Normal, 0, 100, kNaN, 0, 0},
        {Normal, 5, 5, 0.5, 0.5, 5},          // the gross knob moves; the value is the range's one
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(::testing::Message() << "op " << row.op << " [" << row.min << ", " << row.max << "] "
                                          << row.in);
        Place(row.min, row.max, 0.7, 0.9);
        switch (row.op) {
        case Double: control->setDoubleValue(row.in); break;
        case Float: control->setFloatValue(static_cast<float>(row.in)); break;
        case Normal: control->setNormalValue(row.in); break;
        }
        EXPECT_EQ(fine->doubleValue(), 0.5);
        EXPECT_DOUBLE_EQ(gross->doubleValue(), row.grossAt);
        EXPECT_DOUBLE_EQ(control->doubleValue(), row.value);
        EXPECT_TRUE(std::isfinite(control->normalValue()));
    }
    // Through key-value coding, as bookmarks restore it.
    Place(0, 100, 0.7, 0.9);
    NSKeyValueCoding::setValueForKey(control.get(), 0.5, "normalValue");
    EXPECT_DOUBLE_EQ(control->doubleValue(), 50);
    NormalValue::setNormalValue(control.get(), 0.25);
    EXPECT_DOUBLE_EQ(control->doubleValue(), 25);
    EXPECT_EQ(LogText(), "");
}

TEST_F(FineSliderTest, TheRangeAloneMovesNoKnob) {
    Place(0, 100, 0.5, 0.5);
    control->setDoubleValue(50);
    control->setMinValue(50);
    EXPECT_EQ(gross->doubleValue(), 0.5);
    EXPECT_EQ(fine->doubleValue(), 0.5);
    EXPECT_DOUBLE_EQ(control->rangeDoubleValue(), 50);
    EXPECT_DOUBLE_EQ(control->doubleValue(), 75);
    control->setMaxValue(60);
    EXPECT_DOUBLE_EQ(control->doubleValue(), 55);
    EXPECT_EQ(control->clampedDoubleValue(61), 60);
    EXPECT_EQ(control->clampedDoubleValue(kNaN), 50);

    // Non-finite ends are refused.
    control->setMinValue(kNaN);
    control->setMaxValue(kInf);
    EXPECT_EQ(control->minValue(), 50);
    EXPECT_EQ(control->maxValue(), 60);
    EXPECT_NE(LogText().find(" code : std::isfinite(minValue)"), std::string::npos) << LogText();
    EXPECT_NE(LogText().find(" code : std::isfinite(maxValue)"), std::string::npos) << LogText();

    control->resetRangeValue();
    EXPECT_EQ(control->minValue(), 0);
    EXPECT_EQ(control->maxValue(), 1);
    EXPECT_EQ(gross->doubleValue(), 0.5);
    EXPECT_FALSE(gross->isEnabled());
}

// A move of a knob by the user delivers the control's action at once; a move of the gross knob
// first recentres the fine one. Settings from outside send nothing.
TEST_F(FineSliderTest, KnobMovesDeliverTheAction) {
    ActionRecorder recorder;
    control->setTarget(&recorder);
    control->setAction("valueChanged:");
    Place(0, 100, 0.5, 0.5);
    control->setDoubleValue(40);
    EXPECT_TRUE(recorder.senders.isEmpty());

    fine->setValue(NSSlider::kKnobSteps);  // as a drag does
    ASSERT_EQ(recorder.senders.size(), 1);
    EXPECT_EQ(recorder.senders[0], control.get());
    EXPECT_EQ(recorder.fineAtAction[0], 1);
    EXPECT_DOUBLE_EQ(control->doubleValue(), static_cast<double>(static_cast<float>(0.4)) * 100 + 0.25);

    gross->setValue(NSSlider::kKnobSteps * 6 / 10);
    ASSERT_EQ(recorder.senders.size(), 2);
    EXPECT_EQ(recorder.senders[1], control.get());
    EXPECT_EQ(recorder.fineAtAction[1], 0.5);  // recentred before the action
    EXPECT_NEAR(control->doubleValue(), 60, 1e-4);

    // Without a target nothing is sent and nothing fails.
    control->setTarget(nullptr);
    fine->setValue(0);
    EXPECT_EQ(recorder.senders.size(), 2);
}

TEST_F(FineSliderTest, TakingTheValueFromASender) {
    Place(0, 100, 0.5, 0.9);
    NSSlider sender;
    sender.setMinValue(0);
    sender.setMaxValue(200);
    sender.setDoubleValue(25);
    control->takeDoubleValueFrom(&sender);
    EXPECT_DOUBLE_EQ(control->doubleValue(), 25);
    fine->setDoubleValue(0.9);
    sender.setDoubleValue(75);
    control->takeFloatValueFrom(&sender);
    EXPECT_DOUBLE_EQ(control->doubleValue(), 75);
    EXPECT_EQ(fine->doubleValue(), 0.5);
    sender.setDoubleValue(50);  // normal value 0.25
    control->takeNormalValueFrom(&sender);
    EXPECT_DOUBLE_EQ(control->doubleValue(), 25);

    // The control as the sender of another.
    NSSlider follower;
    follower.takeNormalValueFrom(control.get());
    EXPECT_DOUBLE_EQ(follower.doubleValue(), 0.25);

    // No sender: reported, nothing changes.
    control->takeDoubleValueFrom(nullptr);
    control->takeFloatValueFrom(nullptr);
    control->takeNormalValueFrom(nullptr);
    EXPECT_DOUBLE_EQ(control->doubleValue(), 25);
    EXPECT_NE(LogText().find(" code : sender"), std::string::npos) << LogText();
}

// A fine slider made in code has no knobs: it reads its minimum and settings do nothing.
TEST_F(FineSliderTest, WithoutItsNibItReadsItsMinimum) {
    NSUIFineSlider bare;
    bare.setMinValue(3);
    bare.setMaxValue(9);
    EXPECT_EQ(bare.doubleValue(), 3);
    EXPECT_EQ(bare.fineDoubleValue(), 0);
    bare.setDoubleValue(5);
    bare.setNormalValue(0.5);
    bare.grossSliderChanged(nullptr);
    bare.awakeFromNib();
    EXPECT_EQ(bare.doubleValue(), 0);
    EXPECT_FALSE(bare.isEnabled());
    EXPECT_TRUE(import_NSUIFineSlider());
}

}  // namespace

#include "FineSliderTest.moc"
