#include <UICocoaControls/NSSlider.h>
#include <UICocoaControls/NSUIBigLinearSliderPanel.h>
#include <UICocoaControls/NSUIFineSlider.h>

#include <AppKit/NSNib.h>

#include "../RiradITestApplication.h"
#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"

#include <QAbstractButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// The owner of a small slider: records each action with the slider's value at that moment, and
// may do more while the action runs.
class SliderOwner : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void sliderMoved(QObject *sender) {
        auto *slider = qobject_cast<NSSlider *>(sender);
        values.push_back(slider != nullptr ? slider->doubleValue() : -1.0);
        if (during) during();
    }
    std::vector<double> values;
    std::function<void()> during;
};

struct Panel : riradi_test::WithApplication {
    Panel() {
        auto nib = NSNib::initWithNibNamed(QStringLiteral("NSUIBigLinearSliderPanel"));
        QList<QObject *> top;
        if (nib != nullptr && nib->instantiateNibWithOwner(nullptr, &top) && !top.isEmpty())
            root.reset(qobject_cast<QWidget *>(top.first()));
        panel = qobject_cast<NSUIBigLinearSliderPanel *>(root.get());
        slider.setMinValue(10.0);
        slider.setMaxValue(30.0);
        slider.setDoubleValue(12.0);
        slider.setToolTip(QStringLiteral("Edge softness"));
        slider.setTarget(&owner);
        slider.setAction("sliderMoved:");
    }

    // Moves the panel's coarse knob as the user's drag does.
    void dragGross(double fraction) const {
        panel->sliderUI()->grossSlider()->setValue(static_cast<int>(fraction * NSSlider::kKnobSteps));
    }

    bool looksDetached() const {
        return panel->attachedSlider() == nullptr && panel->sliderHelpCaption()->text().isEmpty() &&
               panel->sliderValueCaption()->text().isEmpty() && !panel->sliderUI()->isEnabled() &&
               !panel->buttonOKControl()->isEnabled() && !panel->buttonCancelControl()->isEnabled() &&
               panel->sliderUI()->minValue() == 0.0 && panel->sliderUI()->maxValue() == 1.0 &&
               panel->attachedSliderInitialValue() == 0.0;
    }

    SliderOwner owner;
    NSSlider slider;
    std::unique_ptr<QWidget> root;
    NSUIBigLinearSliderPanel *panel = nullptr;
};

TEST(BigLinearSliderPanel, NibWakesEmptyDisabledAndShared) {
    corex_test::CapturedOutput errors(STDERR_FILENO);
    Panel p;
    const std::string text = errors.Finish();
    ASSERT_NE(p.panel, nullptr);
    EXPECT_EQ(text.find("VERIFY"), std::string::npos) << text;
    EXPECT_EQ(NSUIBigLinearSliderPanel::sharedPanel(), p.panel);
    ASSERT_NE(p.panel->sliderUI(), nullptr);
    ASSERT_NE(p.panel->sliderUI()->grossSlider(), nullptr);
    ASSERT_NE(p.panel->sliderUI()->fineSlider(), nullptr);
    ASSERT_NE(p.panel->sliderHelpCaption(), nullptr);
    ASSERT_NE(p.panel->sliderValueCaption(), nullptr);
    ASSERT_NE(p.panel->buttonOKControl(), nullptr);
    ASSERT_NE(p.panel->buttonCancelControl(), nullptr);
    EXPECT_TRUE(p.looksDetached());
    EXPECT_TRUE(p.panel->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(p.panel->windowFlags().testFlag(Qt::Tool));
}

TEST(BigLinearSliderPanel, OnlyFreeSlidersCanAttach) {
    Panel p;
    ASSERT_NE(p.panel, nullptr);
    NSSlider ticksOnly;
    ticksOnly.setNumberOfTickMarks(5);
    ticksOnly.setAllowsTickMarkValuesOnly(true);
    NSSlider ticksShown;
    ticksShown.setNumberOfTickMarks(5);
    QObject notASlider;
    struct Case {
        QObject *object;
        bool can;
    };
    for (const Case c : {Case{&p.slider, true}, Case{&ticksShown, true}, Case{&ticksOnly, false},
                         Case{&notASlider, false}, Case{nullptr, false}})
        EXPECT_EQ(NSUIBigLinearSliderPanel::canAttachToSlider(c.object), c.can);

    // A refused slider leaves the panel as it was.
    ASSERT_TRUE(NSUIBigLinearSliderPanel::attachSlider(&p.slider));
    EXPECT_FALSE(NSUIBigLinearSliderPanel::attachSlider(&ticksOnly));
    EXPECT_FALSE(NSUIBigLinearSliderPanel::attachSlider(&notASlider));
    EXPECT_EQ(p.panel->attachedSlider(), &p.slider);
    EXPECT_EQ(p.panel->attachedSliderInitialValue(), 12.0);
    EXPECT_TRUE(p.owner.values.empty());
}

TEST(BigLinearSliderPanel, AttachFillsThePanel) {
    Panel p;
    ASSERT_NE(p.panel, nullptr);
    ASSERT_TRUE(NSUIBigLinearSliderPanel::attachSlider(&p.slider));
    EXPECT_TRUE(p.panel->isAttachedSlider(&p.slider));
    EXPECT_EQ(p.panel->sliderHelpCaption()->text(), QStringLiteral("Edge softness"));
    EXPECT_EQ(p.panel->sliderUI()->minValue(), 10.0);
    EXPECT_EQ(p.panel->sliderUI()->maxValue(), 30.0);
    EXPECT_NEAR(p.panel->sliderUI()->doubleValue(), 12.0, 1e-5);
    EXPECT_NEAR(p.panel->sliderValueCaption()->doubleValue(), 12.0, 1e-5);
    EXPECT_TRUE(p.panel->sliderUI()->isEnabled());
    EXPECT_TRUE(p.panel->buttonOKControl()->isEnabled());
    EXPECT_TRUE(p.panel->buttonCancelControl()->isEnabled());
    EXPECT_TRUE(p.owner.values.empty());
}

// Moving the fine slider sets the small one and runs its action before the move returns (on the
// main thread the wait for the main queue runs it at once). Cancel puts the value at attaching
// back and fires once more; OK keeps the last value and fires nothing.
TEST(BigLinearSliderPanel, CancelRestoresAndFiresOnceOkKeeps) {
    for (const bool cancel : {true, false}) {
        SCOPED_TRACE(cancel ? "Cancel" : "OK");
        Panel p;
        ASSERT_NE(p.panel, nullptr);
        ASSERT_TRUE(NSUIBigLinearSliderPanel::attachSlider(&p.slider));
        p.panel->show();
        p.dragGross(0.75);
        ASSERT_EQ(p.owner.values.size(), 1u);
        EXPECT_NEAR(p.owner.values[0], 25.0, 1e-4);
        EXPECT_NEAR(p.slider.doubleValue(), 25.0, 1e-4);
        EXPECT_NEAR(p.panel->sliderValueCaption()->doubleValue(), 25.0, 1e-4);

        (cancel ? p.panel->buttonCancelControl() : p.panel->buttonOKControl())->click();
        if (cancel) {
            ASSERT_EQ(p.owner.values.size(), 2u);
            EXPECT_EQ(p.owner.values[1], 12.0);
            EXPECT_EQ(p.slider.doubleValue(), 12.0);
        } else {
            EXPECT_EQ(p.owner.values.size(), 1u);
            EXPECT_NEAR(p.slider.doubleValue(), 25.0, 1e-4);
        }
        EXPECT_TRUE(p.looksDetached());
        EXPECT_TRUE(p.panel->isHidden());
    }
}

// Attaching the attached slider again refreshes the fine slider and the caption and keeps the
// value recorded at the first attach; closing the panel keeps the slider attached.
TEST(BigLinearSliderPanel, ReattachKeepsTheInitialValue) {
    Panel p;
    ASSERT_NE(p.panel, nullptr);
    ASSERT_TRUE(NSUIBigLinearSliderPanel::attachSlider(&p.slider));
    p.panel->show();
    QTest::keyClick(p.panel, Qt::Key_Escape);
    EXPECT_TRUE(p.panel->isHidden());
    EXPECT_EQ(p.panel->attachedSlider(), &p.slider);
    p.slider.setDoubleValue(20.0);  // moved in its own panel meanwhile
    ASSERT_TRUE(NSUIBigLinearSliderPanel::attachSlider(&p.slider));
    EXPECT_EQ(p.panel->attachedSliderInitialValue(), 12.0);
    EXPECT_NEAR(p.panel->sliderUI()->doubleValue(), 20.0, 1e-5);
    EXPECT_NEAR(p.panel->sliderValueCaption()->doubleValue(), 20.0, 1e-5);
    p.panel->buttonCancel();
    EXPECT_EQ(p.slider.doubleValue(), 12.0);

    // Another slider replaces the one attached, which keeps its value.
    NSSlider other;
    p.slider.setDoubleValue(15.0);
    ASSERT_TRUE(NSUIBigLinearSliderPanel::attachSlider(&p.slider));
    ASSERT_TRUE(NSUIBigLinearSliderPanel::attachSlider(&other));
    EXPECT_EQ(p.slider.doubleValue(), 15.0);
    EXPECT_EQ(p.panel->attachedSlider(), &other);
}

// Setting the attached slider from inside its own action is ignored, and so is the owner's
// request to reflect the value back into the panel.
TEST(BigLinearSliderPanel, ReentryFromTheActionIsIgnored) {
    Panel p;
    ASSERT_NE(p.panel, nullptr);
    ASSERT_TRUE(NSUIBigLinearSliderPanel::attachSlider(&p.slider));
    p.owner.during = [&p] {
        p.panel->setAttachedDoubleValue(29.0, true);
        p.panel->reflectAttachedSliderValueToBigSlider();
    };
    p.panel->setAttachedDoubleValue(18.0, true);
    ASSERT_EQ(p.owner.values.size(), 1u);
    EXPECT_EQ(p.slider.doubleValue(), 18.0);
    // After the action the panel answers again.
    p.owner.during = nullptr;
    p.panel->setAttachedDoubleValue(19.0, false);
    EXPECT_EQ(p.slider.doubleValue(), 19.0);
    EXPECT_EQ(p.owner.values.size(), 1u);
}

// A slider without a target is set and reported; a destroyed slider or panel is never messaged.
TEST(BigLinearSliderPanel, MissingTargetAndDestroyedObjects) {
    Panel p;
    ASSERT_NE(p.panel, nullptr);
    auto loose = std::make_unique<NSSlider>();
    ASSERT_TRUE(NSUIBigLinearSliderPanel::attachSlider(loose.get()));
    {
        corex_test::CapturedOutput errors(STDERR_FILENO);
        p.panel->setAttachedDoubleValue(0.4, true);
        EXPECT_NE(errors.Finish().find(" code : [_attachedSlider target]"), std::string::npos);
        EXPECT_EQ(loose->doubleValue(), 0.4);
    }
    loose.reset();
    EXPECT_FALSE(p.panel->hasAttachedSlider());
    p.dragGross(0.5);  // nothing attached: nothing sent
    EXPECT_EQ(p.panel->detachFromSlider(true), nullptr);

    p.root.reset();
    EXPECT_EQ(NSUIBigLinearSliderPanel::sharedPanel(), nullptr);
    EXPECT_FALSE(NSUIBigLinearSliderPanel::attachSlider(&p.slider));
    EXPECT_TRUE(p.owner.values.empty());
}

}  // namespace

#include "BigLinearSliderPanelTest.moc"
