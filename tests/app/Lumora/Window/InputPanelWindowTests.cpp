// The Input Settings panel of the main nib on the X server, in the test's own process:
//  - the panel is the delegate's input panel, a tool window whose named controls are all
//    there, described (tooltip, accessible name) and reached one after another with Tab;
//  - the camera controls, used from the keyboard, change the camera source's settings;
//  - the stencil (a fixture picture dropped on its well) and the tint, switched on in the
//    panel, change the pixels of the frame the input controller hands back;
//  - Escape closes the panel; its place and whether it is open are remembered.
#include <Lumora/LumoraInputPanel.h>
#include <Lumora/LumoraMainNib.h>

#include "CameraSettings.h"

#include <AppKit/NSSegmentedControl.h>
#include <CoreImage/CIContext.h>
#include <CoreImage/CIImage.h>
#include <Foundation/NSApplication.h>
#include <Foundation/NSNotification.h>
#include <Foundation/NSUserDefaults.h>
#include <LumoraApp/CamInputVDIGController.h>
#include <LumoraApp/LumoraStartup.h>
#include <LumoraApp/QTZInputController.h>
#include <LumoraApp/ZodAzerController.h>
#include <LumoraApp/ZodAzerMaskViewNibbler.h>
#include <QCam/CameraControls/QCamReflecterView.h>
#include <QuickTime/TestCamera.h>
#include <UICocoaControls/NSSlider.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QSet>
#include <QTest>
#include <QTabBar>
#include <QToolButton>
#include <QUrl>

#include <array>
#include <functional>
#include <cstdlib>
#include <vector>

#include "support/EventLoop.h"

#include "MainNibTest.h"

namespace {

using Pixel = std::array<int, 4>;  // R, G, B, A

// The frame's picture rendered at 640 x 480; the pixel (x, y), y down.
struct Frame {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(640 * 480 * 4);
    explicit Frame(const CamInputFrameRef &frame) {
        static CIContextRef context = CIContext::offscreenContext();
        EXPECT_TRUE(frame != nullptr && frame->frameImage() != nullptr &&
                    context->render(frame->frameImage(), bytes.data(), 640 * 4, CGRectMake(0, 0, 640, 480), kCIFormatRGBA8));
    }
    Pixel at(int x, int y) const {
        const uint8_t *p = &bytes[(size_t(y) * 640 + size_t(x)) * 4];
        return {p[0], p[1], p[2], p[3]};
    }
};

bool Near(const Pixel &a, const Pixel &b, int tolerance) {
    for (size_t i = 0; i < 4; ++i)
        if (std::abs(a[i] - b[i]) > tolerance) return false;
    return true;
}

std::string Describe(const Pixel &p) {
    return std::to_string(p[0]) + " " + std::to_string(p[1]) + " " + std::to_string(p[2]) + " " + std::to_string(p[3]);
}

// Writes a picture of the widget as "<name>.png" into LUMORA_SCREENSHOT_DIR (scripts/screenshots
// sets it); nothing without it.
void SaveScreenshot(QWidget *widget, const QString &name) {
    const QString folder = qEnvironmentVariable("LUMORA_SCREENSHOT_DIR");
    if (widget == nullptr || folder.isEmpty()) return;
    Spin(200);
    QDir().mkpath(folder);
    widget->grab().save(QDir(folder).filePath(name + QStringLiteral(".png")), "PNG");
}

class InputPanelWindow : public MainNibTest {
protected:
    void SetUp() override {
        MainNibTest::SetUp();
        if (IsSkipped()) return;
        NSUserDefaults::standardUserDefaults().removeObject(QString::fromLatin1(LumoraInputPanel::kFrameKey));
        NSUserDefaults::standardUserDefaults().removeObject(QString::fromLatin1(LumoraInputPanel::kVisibleKey));
        ASSERT_TRUE(nib.load());
        panel = nib.inputPanel();
        ASSERT_NE(panel, nullptr);
        window = panel->widget();
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override { nib.close(); }

    bool ShowPanel() {
        panel->show();
        return QTest::qWaitForWindowExposed(window);
    }
    template <typename T = QWidget>
    T *Control(const char *name) const {
        return window->findChild<T *>(QString::fromLatin1(name));
    }
    // Space on the control, as the keyboard presses it.
    void Press(const char *name) {
        QWidget *control = Control(name);
        ASSERT_NE(control, nullptr) << name;
        control->setFocus(Qt::TabFocusReason);
        QTest::keyClick(control, Qt::Key_Space);
    }

    LumoraMainNib nib;
    LumoraInputPanel *panel = nullptr;
    QWidget *window = nullptr;
};

TEST_F(InputPanelWindow, EveryNamedControlIsThereDescribedAndReachedWithTab) {
    // The panel is the delegate's, and the chain in it feeds the input controller.
    EXPECT_EQ(nib.delegate()->outletInputPanel.data(), window);
    auto *input = qobject_cast<QTZInputController *>(nib.delegate()->outletInputController.data());
    ASSERT_NE(input, nullptr);
    EXPECT_EQ(input->camViewNibbler(), panel->cameraNibbler());
    EXPECT_EQ(input->tintMaskNibbler(), panel->tintMaskNibbler());
    ASSERT_NE(nib.cameraInputController(), nullptr);
    EXPECT_EQ(nib.cameraInputController(), panel->cameraController());
    EXPECT_EQ(nib.cameraInputController()->camReflectorView(), panel->reflecterView());
    // The stage is wired to its controls by name.
    ZodAzerMaskViewNibbler *stage = panel->tintMaskNibbler();
    ASSERT_NE(stage, nullptr);
    ASSERT_NE(panel->tintController(), nullptr);
    EXPECT_NE(stage->sampledMaskController(), nullptr);
    EXPECT_NE(stage->filterMaskController(), nullptr);
    EXPECT_NE(stage->filterMaskControllerView(), nullptr);
    EXPECT_EQ(stage->tintGradientPointControls().size(), 4);
    for (QObject *box : {stage->filterMaskEnabled(), stage->filterAlphaEnabled(), stage->sampleMaskEnabled(),
                         stage->sampleAlphaEnabled(), stage->chromaTintEnabled()})
        EXPECT_NE(qobject_cast<NSButton *>(box), nullptr);

    ASSERT_TRUE(ShowPanel());
    EXPECT_TRUE(window->isWindow());
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::Tool));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Input Settings"));
    // The picture adjustments show their sliders once switched on.
    Press("enabledButton");
    SaveScreenshot(window, QStringLiteral("LumoraInputPanel"));
    SaveScreenshot(Control("scrollContents"), QStringLiteral("LumoraInputPanel-all"));

    const char *const controls[] = {
        // Camera
        "previewButton", "enabledButton", "brightnessSlider", "contrastSlider", "saturationSlider", "gammaSlider",
        "blackLevelSlider", "whiteLevelSlider", "lowLightButton", "playButton", "pauseButton", "resetButton",
        // Tint
        "outletChromaTintEnabled", "tintAmountSlider", "colorWellOne", "colorWellTwo", "gradientTypePopUp", "gradientView",
        "gradientX0Slider", "gradientY0Slider", "gradientX1Slider", "gradientY1Slider",
        // Stencil
        "outletSampleMaskEnabled", "outletSampleAlphaEnabled", "stencilImageWell", "stencilContrastSlider",
        "stencilBrightnessSlider", "stencilInvertButton",
        // Drawn mask
        "outletFilterMaskEnabled", "outletFilterAlphaEnabled", "outletCombineOperatorSlider", "outletSelectedMask",
        "outletShapeTypePopUp", "outletShapeTypeSlider", "outletShapeAngleSlider", "outletShapeParam0Slider",
        "outletShapeOpacitySlider",
    };
    QSet<QWidget *> wanted;
    for (const char *name : controls) {
        QWidget *control = Control(name);
        ASSERT_NE(control, nullptr) << name;
        EXPECT_TRUE(control->isVisible()) << name;
        EXPECT_FALSE(control->accessibleName().isEmpty()) << name;
        if (qobject_cast<QTabBar *>(control) == nullptr) {
            EXPECT_FALSE(control->toolTip().isEmpty()) << name;
        }
        wanted.insert(control);
    }
    // The tint kinds are three segments, each a stop of its own.
    auto *kinds = Control<NSSegmentedControl>("tintTypeSelected");
    ASSERT_NE(kinds, nullptr);
    ASSERT_EQ(kinds->segmentCount(), 3);

    // Tab from the first control visits them all, in the order they are read.
    QWidget *first = Control("previewButton");
    first->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(window->focusWidget(), first);
    QList<QWidget *> visited{first};
    for (int step = 0; step < 400; ++step) {
        QTest::keyClick(window->focusWidget(), Qt::Key_Tab);
        QWidget *now = window->focusWidget();
        if (now == nullptr || now == first) break;
        visited.append(now);
    }
    for (QWidget *control : wanted)
        EXPECT_TRUE(visited.contains(control)) << control->objectName().toStdString() << " is not reached with Tab";
    // The kinds are one group of choices: Tab reaches the chosen one, the arrows the others.
    EXPECT_TRUE(visited.contains(kinds->segmentButton(kinds->selectedSegment()))) << "the tint kinds are not reached with Tab";
    EXPECT_LT(visited.indexOf(Control("resetButton")), visited.indexOf(Control("outletChromaTintEnabled")))
        << "the camera section comes first";
    EXPECT_LT(visited.indexOf(Control("gradientY1Slider")), visited.indexOf(Control("outletSampleMaskEnabled")));

    // The picture kind of tint shows its well (with its label) in place of the gradient.
    QWidget *tintWell = Control("tintImageWell");
    ASSERT_NE(tintWell, nullptr);
    EXPECT_FALSE(tintWell->isVisible());
    EXPECT_FALSE(Control("tintImageLabel")->isVisible());
    QTest::mouseClick(kinds->segmentButton(2), Qt::LeftButton);
    EXPECT_EQ(panel->tintController()->tintType(), 2);
    EXPECT_TRUE(tintWell->isVisible());
    EXPECT_TRUE(Control("tintImageLabel")->isVisible());
    EXPECT_FALSE(Control("gradientView")->isVisible());
    EXPECT_FALSE(tintWell->accessibleName().isEmpty());
    EXPECT_FALSE(tintWell->toolTip().isEmpty());
    EXPECT_TRUE(tintWell->focusPolicy() & Qt::TabFocus);
    EXPECT_LT(visited.indexOf(Control("stencilInvertButton")), visited.indexOf(Control("outletFilterMaskEnabled")));
}

TEST_F(InputPanelWindow, TheCameraControlsChangeTheCameraSettings) {
    ASSERT_TRUE(ShowPanel());
    ASSERT_NE(panel->reflecterView(), nullptr);
    QCamSwitcher *switcher = panel->reflecterView()->camReflecter();
    auto camera = [switcher] { return ReadCameraSettings(switcher); };
    ASSERT_TRUE(camera().valid);
    EXPECT_FALSE(camera().adjustments);
    Press("enabledButton");
    EXPECT_TRUE(camera().adjustments);
    EXPECT_TRUE(Control("brightnessSlider")->isVisible());

    struct Case {
        const char *control;
        Qt::Key key;
        std::function<bool()> changed;
    };
    const Case cases[] = {
        {"brightnessSlider", Qt::Key_PageUp, [&] { return camera().brightness > 0.55f; }},
        {"contrastSlider", Qt::Key_PageDown, [&] { return camera().contrast < 0.45f; }},
        {"saturationSlider", Qt::Key_PageDown, [&] { return camera().saturation < 0.95f; }},
        {"gammaSlider", Qt::Key_PageUp, [&] { return camera().gamma > 0.55f; }},
        {"blackLevelSlider", Qt::Key_PageUp, [&] { return camera().blackLevel < 0.45f; }},  // read inverted
        {"whiteLevelSlider", Qt::Key_PageUp, [&] { return camera().whiteLevel < 0.95f; }},
        {"lowLightButton", Qt::Key_Space, [&] { return camera().lowLight; }},
    };
    for (const Case &c : cases) {
        QWidget *control = Control(c.control);
        ASSERT_NE(control, nullptr) << c.control;
        EXPECT_FALSE(c.changed()) << c.control << " before";
        control->setFocus(Qt::TabFocusReason);
        QTest::keyClick(control, c.key);
        EXPECT_TRUE(c.changed()) << c.control;
    }
    // Reset Defaults puts every one back.
    Press("resetButton");
    for (const Case &c : cases) EXPECT_FALSE(c.changed()) << c.control << " after the reset";
    EXPECT_NEAR(Control<NSSlider>("brightnessSlider")->normalValue(), 0.5, 1e-6);
    // Switched off, the adjustments hide their sliders and the sliders' labels.
    Press("enabledButton");
    EXPECT_FALSE(camera().adjustments);
    EXPECT_FALSE(Control("brightnessSlider")->isVisible());
    EXPECT_FALSE(Control("brightnessLabel")->isVisible());
}

TEST_F(InputPanelWindow, StencilAndTintChangeTheFramesOfTheInputController) {
    ASSERT_TRUE(ShowPanel());
    auto *input = qobject_cast<QTZInputController *>(nib.delegate()->outletInputController.data());
    ASSERT_NE(input, nullptr);
    // A known picture in place of the camera: the stage is what changes it.
    input->setCamViewNibbler(nullptr);
    const Pixel orange{200, 100, 50, 255};
    input->setTestImage(CIImage::imageWithColor(CIColor::colorWithRed(200 / 255.0, 100 / 255.0, 50 / 255.0))
                            ->imageByCroppingToRect(CGRectMake(0, 0, 640, 480)));
    auto pull = [input] { return Frame(input->pullCameraImageThroughTintMaskQCFilter()); };
    {
        const Frame plain = pull();
        EXPECT_TRUE(Near(plain.at(100, 240), orange, 1)) << Describe(plain.at(100, 240));
        EXPECT_TRUE(Near(plain.at(540, 240), orange, 1)) << Describe(plain.at(540, 240));
    }

    // The stencil: a picture black on its left half, white on its right, dropped on the well.
    const QString fixture = qEnvironmentVariable("LUMORA_TEST_DATA") + QStringLiteral("/stencilHalves.png");
    ASSERT_TRUE(QFile::exists(fixture)) << fixture.toStdString();
    QWidget *well = Control("stencilImageWell");
    ASSERT_NE(well, nullptr);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(fixture)});
    QDragEnterEvent enter(well->rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(well, &enter);
    EXPECT_TRUE(enter.isAccepted()) << "the well takes a dragged picture";
    QDropEvent drop(QPointF(well->rect().center()), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(well, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(well->property("contents").toString(), fixture);
    {
        const Frame unchanged = pull();  // the switch is still off
        EXPECT_TRUE(Near(unchanged.at(100, 240), orange, 1)) << Describe(unchanged.at(100, 240));
    }
    Press("outletSampleMaskEnabled");
    {
        const Frame stencilled = pull();
        EXPECT_TRUE(Near(stencilled.at(100, 240), Pixel{0, 0, 0, 255}, 2)) << Describe(stencilled.at(100, 240));
        EXPECT_TRUE(Near(stencilled.at(540, 240), orange, 2)) << Describe(stencilled.at(540, 240));
    }
    Press("outletSampleAlphaEnabled");
    {
        const Frame cut = pull();
        EXPECT_EQ(cut.at(100, 240)[3], 0) << "the stencil's black is transparent: " << Describe(cut.at(100, 240));
        EXPECT_TRUE(Near(cut.at(540, 240), orange, 2)) << Describe(cut.at(540, 240));
    }
    Press("outletSampleAlphaEnabled");
    Press("outletSampleMaskEnabled");

    // The tint: colour one, pure blue, at full amount gives the picture blue's colour.
    ZodAzerController *tint = panel->tintController();
    ASSERT_NE(tint, nullptr);
    tint->setColorOne(QColor(0, 0, 255));
    auto *kinds = Control<NSSegmentedControl>("tintTypeSelected");
    ASSERT_NE(kinds, nullptr);
    // From the selected kind (the gradient) to the next with the arrow key, as in any group
    // of choices.
    ASSERT_EQ(tint->tintType(), 0);
    kinds->segmentButton(0)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(kinds->segmentButton(0), Qt::Key_Right);
    EXPECT_EQ(tint->tintType(), 1);
    EXPECT_EQ(Control<NSSlider>("tintAmountSlider")->doubleValue(), 1.0);
    Press("outletChromaTintEnabled");
    auto distance = [&orange](const Pixel &p) { return std::abs(p[0] - orange[0]) + std::abs(p[1] - orange[1]) + std::abs(p[2] - orange[2]); };
    const Pixel full = pull().at(320, 240);
    EXPECT_GT(full[2], full[0] + 40) << "blue outweighs red: " << Describe(full);
    EXPECT_GT(distance(full), 100) << Describe(full);
    // Half the amount, from the keyboard: nearer the picture again.
    {
        auto *amount = Control<NSSlider>("tintAmountSlider");
        amount->setFocus(Qt::TabFocusReason);
        for (int i = 0; i < 5; ++i) QTest::keyClick(amount, Qt::Key_PageDown);
        EXPECT_NEAR(amount->doubleValue(), 0.5, 0.01);
        const Pixel half = pull().at(320, 240);
        EXPECT_GT(distance(half), 20) << Describe(half);
        EXPECT_LT(distance(half), distance(full) - 20) << "half the tint: " << Describe(half) << " full: " << Describe(full);
    }
    Press("outletChromaTintEnabled");
    const Frame off = pull();
    EXPECT_TRUE(Near(off.at(320, 240), orange, 1)) << Describe(off.at(320, 240));

    // The drawn mask, switched on, changes the picture; off again, the picture is as it was.
    auto changedPixels = [&orange](const Frame &frame) {
        int changed = 0;
        for (int y = 20; y < 480; y += 40)
            for (int x = 20; x < 640; x += 40) changed += Near(frame.at(x, y), orange, 2) ? 0 : 1;
        return changed;
    };
    // A shape, chosen from its pop-up with the keyboard, draws the mask.
    auto *shapes = Control<QComboBox>("outletShapeTypePopUp");
    ASSERT_NE(shapes, nullptr);
    ASSERT_GT(shapes->count(), 1);
    shapes->setFocus(Qt::TabFocusReason);
    QTest::keyClick(shapes, Qt::Key_Down);
    EXPECT_EQ(shapes->currentIndex(), 1);
    Spin(100);
    ASSERT_NE(panel->tintMaskNibbler()->filterMaskCIImage(), nullptr) << "the drawn mask has its picture";
    EXPECT_EQ(changedPixels(pull()), 0) << "the mask's switch is off";
    Press("outletFilterMaskEnabled");
    EXPECT_GT(changedPixels(pull()), 0);
    Press("outletFilterMaskEnabled");
    EXPECT_EQ(changedPixels(pull()), 0);
}

TEST_F(InputPanelWindow, EscapeClosesThePanelWhichRemembersItsPlace) {
    ASSERT_TRUE(ShowPanel());
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    EXPECT_TRUE(defaults.boolForKey(QString::fromLatin1(LumoraInputPanel::kVisibleKey)));
    const QRect frame(120, 90, 430, 640);
    window->setGeometry(frame);
    EXPECT_TRUE(SpinUntil([&] { return !defaults.stringForKey(QString::fromLatin1(LumoraInputPanel::kFrameKey)).isEmpty(); }, 2000));

    QWidget *control = Control("contrastSlider");
    control->setFocus(Qt::TabFocusReason);
    QTest::keyClick(control, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(defaults.boolForKey(QString::fromLatin1(LumoraInputPanel::kVisibleKey)));

    // The next panel takes the remembered place.
    const QString saved = defaults.stringForKey(QString::fromLatin1(LumoraInputPanel::kFrameKey));
    LumoraInputPanel again(nullptr, nullptr);
    ASSERT_NE(again.widget(), nullptr);
    EXPECT_EQ(QStringLiteral("%1 %2 %3 %4")
                  .arg(again.widget()->x())
                  .arg(again.widget()->y())
                  .arg(again.widget()->width())
                  .arg(again.widget()->height()),
              saved);
    EXPECT_EQ(again.widget()->size(), frame.size());
    EXPECT_FALSE(again.widget()->isVisible());

    // Open when the application last ran: open again once the application has launched.
    defaults.setBool(true, QString::fromLatin1(LumoraInputPanel::kVisibleKey));
    NSNotificationCenter::defaultCenter().postNotificationName(QString::fromLatin1(NSApplicationDidFinishLaunchingNotification), nullptr);
    EXPECT_TRUE(SpinUntil([&] { return again.widget()->isVisible(); }, 3000));
    EXPECT_TRUE(again.widget()->isWindow());
}

TEST_F(InputPanelWindow, AFrameThatCannotBeUsedGivesTheDefaultPlace) {
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    const char *const frames[] = {"not a frame", "10 20 300", "10 20 300 x", "-9000 -9000 420 720", "10 10 40 30", ""};
    for (const char *text : frames) {
        defaults.setObject(QString::fromLatin1(text), QString::fromLatin1(LumoraInputPanel::kFrameKey));
        LumoraInputPanel other(nullptr, nullptr);
        ASSERT_NE(other.widget(), nullptr) << text;
        EXPECT_GE(other.widget()->width(), 420) << text;
        EXPECT_GE(other.widget()->height(), 720) << text;
    }
}

}  // namespace
