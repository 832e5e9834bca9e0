#include <UICocoaControls/NSSlider.h>

#include "../RiradITestApplication.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

// Marks spread from the minimum to the maximum; one mark stands at the middle; values are
// taken to the closest mark.
TEST(SliderTickMarks, ClosestMarkAcrossTheRange) {
    riradi_test::Application();
    struct Case {
        int marks;
        double minValue, maxValue, value, closest;
    };
    const Case cases[] = {
        {0, 0, 10, 3.3, 3.3},  {5, 0, 4, 2.4, 2},      {5, 0, 4, 2.6, 3},   {5, 0, 4, -7, 0},
        {5, 0, 4, 99, 4},      {3, -1, 1, 0.4, 0},     {3, -1, 1, 0.6, 1},  {1, 0, 10, 9, 5},
        {2, 0, 10, 4.9, 0},    {4, 10, 0, 6, 6.666666666666667}, {5, 2, 2, 7, 2},
        {5, 0, 4, std::numeric_limits<double>::quiet_NaN(), 0},
        {5, 0, 4, std::numeric_limits<double>::infinity(), 4},
        {5, 0, 4, -std::numeric_limits<double>::infinity(), 0},
        {5, 4, 0, std::numeric_limits<double>::infinity(), 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.marks << " marks " << c.minValue << ".." << c.maxValue << " " << c.value);
        NSSlider slider;
        slider.setMinValue(c.minValue);
        slider.setMaxValue(c.maxValue);
        slider.setNumberOfTickMarks(c.marks);
        const double closest = slider.closestTickMarkValueToValue(c.value);
        EXPECT_NEAR(closest, c.closest, 1e-12);
    }
}

// The user's moves stop at marks only when the slider allows mark values only; code sets any
// value.
TEST(SliderTickMarks, UserMovesStopAtMarks) {
    riradi_test::Application();
    NSSlider slider;
    slider.setMaxValue(4);
    slider.setNumberOfTickMarks(5);
    slider.setValue(NSSlider::kKnobSteps * 6 / 10);  // 2.4, as a drag does
    EXPECT_DOUBLE_EQ(slider.doubleValue(), 2.4);
    slider.setAllowsTickMarkValuesOnly(true);
    slider.setValue(NSSlider::kKnobSteps * 7 / 10);  // 2.8
    EXPECT_EQ(slider.doubleValue(), 3.0);
    EXPECT_EQ(slider.value(), NSSlider::kKnobSteps * 3 / 4);  // the knob sits on the mark
    slider.setDoubleValue(1.7);
    EXPECT_EQ(slider.doubleValue(), 1.7);
    EXPECT_EQ(slider.tickPosition(), QSlider::TicksBelow);
    slider.setNumberOfTickMarks(-3);  // reported
    EXPECT_EQ(slider.numberOfTickMarks(), 0);
    EXPECT_EQ(slider.tickPosition(), QSlider::NoTicks);
}

}  // namespace
