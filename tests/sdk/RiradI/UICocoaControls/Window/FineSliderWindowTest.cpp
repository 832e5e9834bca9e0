// The fine slider from its nib in a window on the X11 display, its knobs dragged with the mouse.
#include <UICocoaControls/NSUIFineSlider.h>

#include <AppKit/NSNib.h>

#include "../../RiradITestApplication.h"

#include <gtest/gtest.h>

#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

#include <cstdlib>
#include <memory>

// The AddressSanitizer suppressions of this program, read at start-up.
extern "C" const char *__asan_default_options() { return "suppressions=" LUMORA_ASAN_SUPPRESSIONS; }

namespace {

class ActionRecorder : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void valueChanged(QObject *sender) {
        auto *control = qobject_cast<NSUIFineSlider *>(sender);
        ASSERT_NE(control, nullptr);
        values.append(control->doubleValue());
        fineAtAction.append(control->fineSlider()->doubleValue());
    }
    QList<double> values;
    QList<double> fineAtAction;
};

// The centre of the slider's knob, in the slider's coordinates.
QPoint KnobCentre(QSlider *slider) {
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    option.singleStep = slider->singleStep();
    option.pageStep = slider->pageStep();
    option.upsideDown = slider->invertedAppearance();
    option.subControls = QStyle::SC_All;
    return slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider).center();
}

// Presses on the knob, moves in steps to x (in the slider's coordinates) and releases there.
void DragKnob(QSlider *slider, int x) {
    const QPoint start = KnobCentre(slider);
    QTest::mousePress(slider, Qt::LeftButton, {}, start);
    for (int step = 1; step <= 4; ++step)
        QTest::mouseMove(slider, QPoint(start.x() + (x - start.x()) * step / 4, start.y()));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(x, start.y()));
    riradi_test::RunPendingEvents();
}

class FineSliderWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) GTEST_FAIL() << "the gui tests run on an X display (xvfb-run)";
        riradi_test::WindowApplication();
        QList<QObject *> topLevel;
        ASSERT_TRUE(NSNib::initWithNibNamed("NSUIFineSlider")->instantiateNibWithOwner(nullptr, &topLevel));
        control.reset(qobject_cast<NSUIFineSlider *>(topLevel.value(0)));
        ASSERT_NE(control, nullptr);
        control->setTarget(&recorder);
        control->setAction("valueChanged:");
        control->resize(300, 60);
        control->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(control.get()));
    }

    // What its owner does when the parameter becomes available.
    void Enable() {
        control->setMinValue(0);
        control->setMaxValue(100);
        control->setDoubleValue(50);
        control->setEnabled(true);
    }

    ActionRecorder recorder;
    std::unique_ptr<NSUIFineSlider> control;
};

TEST_F(FineSliderWindow, AFreshControlIgnoresTheMouse) {
    DragKnob(control->grossSlider(), control->grossSlider()->width() - 2);
    DragKnob(control->fineSlider(), 2);
    EXPECT_TRUE(recorder.values.isEmpty());
    EXPECT_EQ(control->doubleValue(), 0.5);
}

TEST_F(FineSliderWindow, DraggingTheFineKnobAddsASmallOffset) {
    Enable();
    riradi_test::SaveScreenshot(control.get(), "NSUIFineSlider");
    NSSlider *fine = control->fineSlider();
    DragKnob(fine, fine->width() + 20);  // past its right end
    ASSERT_FALSE(recorder.values.isEmpty());
    for (double value : recorder.values) {
        EXPECT_GT(value, 50);
        EXPECT_LE(value, 50.25);
    }
    EXPECT_DOUBLE_EQ(control->doubleValue(), 50.25);
    EXPECT_EQ(control->grossSlider()->doubleValue(), 0.5);

    DragKnob(fine, -20);  // past its left end
    EXPECT_DOUBLE_EQ(control->doubleValue(), 49.75);
    EXPECT_DOUBLE_EQ(recorder.values.last(), 49.75);
}

TEST_F(FineSliderWindow, DraggingTheGrossKnobRecentresTheFineOne) {
    Enable();
    NSSlider *fine = control->fineSlider();
    NSSlider *gross = control->grossSlider();
    DragKnob(fine, fine->width() * 3 / 4);
    ASSERT_GT(fine->doubleValue(), 0.5);
    const qsizetype fineActions = recorder.values.size();

    DragKnob(gross, gross->width() + 20);
    ASSERT_GT(recorder.values.size(), fineActions);
    for (qsizetype i = fineActions; i < recorder.values.size(); ++i)
        EXPECT_EQ(recorder.fineAtAction[i], 0.5) << i;  // before every action of the gross knob
    EXPECT_DOUBLE_EQ(control->doubleValue(), 100);
    EXPECT_EQ(fine->doubleValue(), 0.5);

    DragKnob(gross, -20);
    EXPECT_DOUBLE_EQ(control->doubleValue(), 0);
}

}  // namespace

#include "FineSliderWindowTest.moc"
