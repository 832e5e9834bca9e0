#include <UICocoaControls/NSUIBlueSlider.h>
#include <UICocoaControls/NSUIClearSlider.h>
#include <UICocoaControls/NSUIGraphiteSlider.h>
#include <UICocoaControls/NSUISliderBase.h>

#include <AppKit/NSNib.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>

#include "../RiradITestApplication.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

struct StyleCase {
    const char *className;
    int tint;
    QColor highlight;  // invalid: the style's own
};

class SliderStyles : public ::testing::TestWithParam<StyleCase>, riradi_test::WithApplication {};

void ExpectShowsTint(NSUISliderBase *slider, const StyleCase &style, const QPalette &stylePalette) {
    EXPECT_EQ(slider->controlTint(), style.tint);
    EXPECT_EQ(NSKeyValueCoding::valueForKey(slider, "controlTint").toInt(), style.tint);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const QColor expected = style.highlight.isValid() ? style.highlight : stylePalette.color(group, QPalette::Highlight);
        EXPECT_EQ(slider->palette().color(group, QPalette::Highlight), expected) << style.className;
    }
    EXPECT_TRUE(slider->acceptsFirstMouse(nullptr));
}

// Made in code, by name (as the nib loader makes a registered class) and from a nib: the tint
// is set by the constructor every way.
TEST_P(SliderStyles, FixTheirTintHoweverMade) {
    const StyleCase &style = GetParam();
    const QPalette stylePalette = QSlider().palette();

    std::unique_ptr<QObject> byName(NSClassCreateInstance(NSClassFromString(style.className)));
    auto *slider = qobject_cast<NSUISliderBase *>(byName.get());
    ASSERT_NE(slider, nullptr);
    EXPECT_STREQ(slider->metaObject()->className(), style.className);
    ExpectShowsTint(slider, style, stylePalette);

    const QByteArray form = QByteArray(R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0"><class>Form</class>
 <widget class="QWidget" name="Form">
  <widget class=")") + style.className + R"(" name="slider"/>
 </widget>
</ui>)";
    QList<QObject *> topLevel;
    ASSERT_TRUE(NSNib::initWithNibData(form, "styles")->instantiateNibWithOwner(nullptr, &topLevel));
    ASSERT_EQ(topLevel.size(), 1);
    std::unique_ptr<QObject> root(topLevel.front());
    auto *fromNib = root->findChild<NSUISliderBase *>("slider");
    ASSERT_NE(fromNib, nullptr);
    ExpectShowsTint(fromNib, style, stylePalette);

    // Back to the default tint: the style's own highlight again.
    slider->setControlTint(NSDefaultControlTint);
    EXPECT_EQ(slider->palette().color(QPalette::Active, QPalette::Highlight),
              stylePalette.color(QPalette::Active, QPalette::Highlight));
}

INSTANTIATE_TEST_SUITE_P(
    Styles, SliderStyles,
    ::testing::Values(StyleCase{"NSUISliderBase", NSDefaultControlTint, QColor()},
                      StyleCase{"NSUIBlueSlider", NSBlueControlTint, QColor(0, 122, 255)},
                      StyleCase{"NSUIGraphiteSlider", NSGraphiteControlTint, QColor(142, 142, 147)},
                      StyleCase{"NSUIClearSlider", NSClearControlTint, QColor(0, 0, 0, 0)}),
    [](const auto &info) { return std::string(info.param.className); });

// The styles are sliders: the normal value and the knob work as NSSlider's.
TEST(SliderStylesValue, StylesAreSliders) {
    riradi_test::Application();
    NSUIBlueSlider slider;
    slider.setMaxValue(10);
    NSKeyValueCoding::setValueForKey(&slider, 0.5, "normalValue");
    EXPECT_DOUBLE_EQ(slider.doubleValue(), 5);
    EXPECT_EQ(slider.value(), NSSlider::kKnobSteps / 2);
    EXPECT_TRUE(import_NSUISliderBase());
}

}  // namespace
