#include <UICocoaControls/NSSlider.h>
#include <UICocoaControls/NSUIBigControlsView.h>
#include <UICocoaControls/NSUISliderRotationView.h>

#include <AppKit/NSNib.h>

#include "../RiradITestApplication.h"
#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"

#include <QAbstractButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// The owner of a small slider: records each action with the slider's value at that moment.
class SliderOwner : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void sliderMoved(QObject *sender) {
        auto *slider = qobject_cast<NSSlider *>(sender);
        values.push_back(slider != nullptr ? slider->doubleValue() : -1.0);
    }
    std::vector<double> values;
};

// The overlay view loaded from its nib, and small sliders of a panel.
struct BigControls : riradi_test::WithApplication {
    BigControls() {
        auto nib = NSNib::initWithNibNamed(QStringLiteral("NSUIBigControlsView"));
        QList<QObject *> top;
        if (nib != nullptr && nib->instantiateNibWithOwner(nullptr, &top) && !top.isEmpty())
            root.reset(qobject_cast<QWidget *>(top.first()));
        view = qobject_cast<NSUIBigControlsView *>(root.get());
    }

    std::unique_ptr<NSSlider> smallSlider(int width, int height, double minValue, double maxValue, double value) {
        auto slider = std::make_unique<NSSlider>(width >= height ? Qt::Horizontal : Qt::Vertical);
        slider->resize(width, height);
        slider->setMinValue(minValue);
        slider->setMaxValue(maxValue);
        slider->setDoubleValue(value);
        slider->setTarget(&owner);
        slider->setAction("sliderMoved:");
        return slider;
    }

    std::vector<QWidget *> radialControls() const {
        return {view->sliderView(),    view->exactAngleTextView(), view->angleButtonSet(), view->angleButton_90(),
                view->angleButton_45(), view->angleButton0(),       view->angleButton45(),  view->angleButton90(),
                view->angleButton180()};
    }
    bool radialShown() const {
        for (QWidget *control : radialControls())
            if (control->isHidden()) return false;
        return true;
    }
    bool radialHidden() const {
        for (QWidget *control : radialControls())
            if (!control->isHidden()) return false;
        return true;
    }

    SliderOwner owner;
    std::unique_ptr<QWidget> root;
    NSUIBigControlsView *view = nullptr;
};

TEST(BigControlsView, NibConnectsEveryOutletAndBecomesShared) {
    corex_test::CapturedOutput errors(STDERR_FILENO);
    BigControls big;
    const std::string text = errors.Finish();
    ASSERT_NE(big.view, nullptr);
    EXPECT_EQ(text.find("VERIFY"), std::string::npos) << text;
    EXPECT_EQ(NSUIBigControlsView::sharedBigControlsView(), big.view);
    for (QWidget *control : big.radialControls()) EXPECT_NE(control, nullptr);
    ASSERT_NE(big.view->verticalSlider(), nullptr);
    ASSERT_NE(big.view->horizontalSlider(), nullptr);
    EXPECT_EQ(big.view->verticalSlider()->orientation(), Qt::Vertical);
    EXPECT_EQ(big.view->horizontalSlider()->orientation(), Qt::Horizontal);
    EXPECT_EQ(big.view->attachedLinearSlider(), nullptr);
    EXPECT_EQ(big.view->syncLinearSlider(), nullptr);
    EXPECT_TRUE(big.view->acceptsFirstMouse(nullptr));
    for (QWidget *control : big.radialControls()) {
        EXPECT_FALSE(control->toolTip().isEmpty()) << control->objectName().toStdString();
        EXPECT_FALSE(control->accessibleName().isEmpty()) << control->objectName().toStdString();
    }
}

// A view woken without its nib reports each missing outlet by name; the operations that need
// one stop there.
TEST(BigControlsView, MissingOutletsAreReportedByName) {
    riradi_test::Application();
    NSUIBigControlsView bare;
    corex_test::CapturedOutput errors(STDERR_FILENO);
    bare.awakeFromNib();
    bare.attachRadialSlider(nullptr);
    bare.attachLinearSlider(nullptr);
    bare.onExactAngleClick(nullptr);
    const std::string text = errors.Finish();
    for (const char *name : {"mSliderView", "mExactAngleTextView", "mVerticalSlider", "mHorizontalSlider",
                             "mAngleButtonSet", "mAngleButton_90", "mAngleButton_45", "mAngleButton0",
                             "mAngleButton45", "mAngleButton90", "mAngleButton180"}) {
        EXPECT_NE(text.find(std::string(" code : ") + name + " in "), std::string::npos) << name << "\n" << text;
    }
    EXPECT_EQ(NSUIBigControlsView::sharedBigControlsView(), &bare);
}

// The small slider's shape picks the large slider, which takes its range, tick marks and value.
TEST(BigControlsView, LinearAttachPicksTheLargeSliderByShape) {
    struct Case {
        int width, height;
        bool vertical;
    };
    for (const Case c : {Case{20, 120, true}, Case{120, 20, false}, Case{40, 40, false}}) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        BigControls big;
        ASSERT_NE(big.view, nullptr);
        auto slider = big.smallSlider(c.width, c.height, -5.0, 15.0, 7.5);
        slider->setNumberOfTickMarks(9);
        slider->setAllowsTickMarkValuesOnly(false);
        big.view->attachLinearSlider(slider.get());

        NSSlider *shown = c.vertical ? big.view->verticalSlider() : big.view->horizontalSlider();
        NSSlider *other = c.vertical ? big.view->horizontalSlider() : big.view->verticalSlider();
        EXPECT_EQ(big.view->attachedLinearSlider(), slider.get());
        EXPECT_EQ(big.view->syncLinearSlider(), shown);
        EXPECT_FALSE(shown->isHidden());
        EXPECT_TRUE(other->isHidden());
        EXPECT_TRUE(big.radialHidden());
        EXPECT_EQ(shown->minValue(), -5.0);
        EXPECT_EQ(shown->maxValue(), 15.0);
        EXPECT_EQ(shown->numberOfTickMarks(), 9);
        EXPECT_FALSE(shown->allowsTickMarkValuesOnly());
        EXPECT_EQ(shown->doubleValue(), 7.5);
        EXPECT_TRUE(big.owner.values.empty());  // attaching tells the owner nothing
    }
}

// Moving the large slider moves the small one and fires the small one's action, once per step;
// a slider of tick-mark values only gets whole marks.
TEST(BigControlsView, LargeSliderMovesTheSmallOneAndFiresItsAction) {
    BigControls big;
    ASSERT_NE(big.view, nullptr);
    auto slider = big.smallSlider(200, 20, 0.0, 10.0, 2.0);
    big.view->attachLinearSlider(slider.get());
    NSSlider *large = big.view->horizontalSlider();
    large->setValue(NSSlider::kKnobSteps / 4);  // as the user's drag does
    EXPECT_DOUBLE_EQ(slider->doubleValue(), 2.5);
    ASSERT_EQ(big.owner.values.size(), 1u);
    EXPECT_DOUBLE_EQ(big.owner.values[0], 2.5);

    auto ticks = big.smallSlider(200, 20, 0.0, 4.0, 1.0);
    ticks->setNumberOfTickMarks(5);
    ticks->setAllowsTickMarkValuesOnly(true);
    big.view->attachLinearSlider(ticks.get());
    EXPECT_TRUE(large->allowsTickMarkValuesOnly());
    large->setValue(NSSlider::kKnobSteps * 7 / 10);  // 2.8: the closest mark is 3
    EXPECT_EQ(ticks->doubleValue(), 3.0);
    EXPECT_EQ(large->doubleValue(), 3.0);
    ASSERT_EQ(big.owner.values.size(), 2u);
    EXPECT_EQ(big.owner.values[1], 3.0);
    EXPECT_DOUBLE_EQ(slider->doubleValue(), 2.5);  // the one before is no longer attached
}

// Attaching the slider already attached only refreshes the large slider.
TEST(BigControlsView, ReattachOnlyRefreshesTheLargeSlider) {
    BigControls big;
    ASSERT_NE(big.view, nullptr);
    auto slider = big.smallSlider(200, 20, 0.0, 1.0, 0.2);
    big.view->attachLinearSlider(slider.get());
    NSSlider *large = big.view->horizontalSlider();
    large->setMaxValue(2.0);  // left alone by a refresh
    slider->setDoubleValue(0.6);
    big.view->attachLinearSliderControl(slider.get(), big.view->verticalSlider());
    EXPECT_EQ(big.view->syncLinearSlider(), large);
    EXPECT_EQ(large->doubleValue(), 0.6);
    EXPECT_EQ(large->maxValue(), 2.0);
    EXPECT_FALSE(large->isHidden());
}

// A small slider destroyed while attached is never messaged again.
TEST(BigControlsView, DestroyedSmallSliderIsDropped) {
    BigControls big;
    ASSERT_NE(big.view, nullptr);
    auto slider = big.smallSlider(200, 20, 0.0, 1.0, 0.2);
    big.view->attachLinearSlider(slider.get());
    slider.reset();
    EXPECT_EQ(big.view->attachedLinearSlider(), nullptr);
    big.view->horizontalSlider()->setValue(NSSlider::kKnobSteps / 2);
    big.view->takeLinearSliderValueFromAttached();  // reported, nothing touched
    EXPECT_TRUE(big.owner.values.empty());
}

// A radial attach shows the dial alone and drops a linear slider; a linear attach drops the
// dial's slider. Re-attaching the linear slider afterwards shows its large slider again.
TEST(BigControlsView, OneKindOfSliderAtATime) {
    BigControls big;
    ASSERT_NE(big.view, nullptr);
    auto linear = big.smallSlider(200, 20, 0.0, 1.0, 0.3);
    auto radial = big.smallSlider(20, 20, 0.0, 1.0, 0.5);
    big.view->attachLinearSlider(linear.get());
    big.view->attachRadialSlider(radial.get());
    EXPECT_TRUE(big.radialShown());
    EXPECT_TRUE(big.view->verticalSlider()->isHidden());
    EXPECT_TRUE(big.view->horizontalSlider()->isHidden());
    EXPECT_EQ(big.view->sliderView()->synchronizedSlider(), radial.get());
    EXPECT_EQ(big.view->attachedLinearSlider(), nullptr);

    big.view->attachLinearSlider(linear.get());
    EXPECT_EQ(big.view->sliderView()->synchronizedSlider(), nullptr);
    EXPECT_TRUE(big.radialHidden());
    EXPECT_FALSE(big.view->horizontalSlider()->isHidden());

    // Something that is not a slider detaches both.
    QObject notASlider;
    big.view->attachLinearSlider(&notASlider);
    EXPECT_EQ(big.view->attachedLinearSlider(), nullptr);
    EXPECT_TRUE(big.view->horizontalSlider()->isHidden());
    EXPECT_TRUE(big.radialHidden());
}

// The angle buttons, the Set button and Return in the field turn the dial, and so the slider.
TEST(BigControlsView, AngleButtonsAndExactAngleTurnTheSlider) {
    BigControls big;
    ASSERT_NE(big.view, nullptr);
    auto radial = big.smallSlider(20, 20, 0.0, 1.0, 0.0);
    ASSERT_TRUE(NSUIBigControlsView::attachRadial(radial.get()));
    struct Case {
        QAbstractButton *button;
        double normal;
    };
    for (const Case c : {Case{big.view->angleButton90(), 0.25}, Case{big.view->angleButton_90(), 0.75},
                         Case{big.view->angleButton_45(), 0.875}, Case{big.view->angleButton180(), 0.5},
                         Case{big.view->angleButton45(), 0.125}, Case{big.view->angleButton0(), 0.0}}) {
        SCOPED_TRACE(c.button->objectName().toStdString());
        c.button->click();
        EXPECT_NEAR(radial->doubleValue(), c.normal, 1e-6);
    }
    big.view->exactAngleTextView()->setText(QStringLiteral("270"));
    big.view->angleButtonSet()->click();
    EXPECT_NEAR(radial->doubleValue(), 0.75, 1e-6);
    big.view->exactAngleTextView()->setText(QStringLiteral("36"));
    QTest::keyClick(big.view->exactAngleTextView(), Qt::Key_Return);
    EXPECT_NEAR(radial->doubleValue(), 0.1, 1e-6);
    EXPECT_EQ(big.owner.values.size(), 8u);  // one action per turn

    // Cancel puts the slider back to its value at attaching; apply keeps it.
    big.view->cancelRadialAttach(nullptr);
    EXPECT_EQ(radial->doubleValue(), 0.0);
    EXPECT_EQ(big.view->sliderView()->synchronizedSlider(), nullptr);
}

// attachRadial answers whether the slider was attached, and does nothing without a slider or
// an overlay.
TEST(BigControlsView, AttachRadialAnswersWhetherItAttached) {
    riradi_test::Application();
    auto slider = std::make_unique<NSSlider>();
    {
        BigControls big;
        ASSERT_NE(big.view, nullptr);
        QObject notASlider;
        big.view->hide();
        EXPECT_FALSE(NSUIBigControlsView::attachRadial(&notASlider));
        EXPECT_FALSE(NSUIBigControlsView::attachRadial(nullptr));
        EXPECT_TRUE(big.view->isHidden());  // the overlay was not shown
        EXPECT_EQ(big.view->sliderView()->synchronizedSlider(), nullptr);
        EXPECT_TRUE(NSUIBigControlsView::attachRadial(slider.get()));
        EXPECT_FALSE(big.view->isHidden());
        EXPECT_EQ(big.view->sliderView()->synchronizedSlider(), slider.get());
    }
    // The shared overlay is gone: nothing dangles, nothing is attached.
    corex_test::CapturedOutput errors(STDERR_FILENO);
    EXPECT_EQ(NSUIBigControlsView::sharedBigControlsView(), nullptr);
    EXPECT_FALSE(NSUIBigControlsView::attachRadial(slider.get()));
    EXPECT_NE(errors.Finish().find(" code : sSingleton"), std::string::npos);
}

}  // namespace

#include "BigControlsViewTest.moc"
