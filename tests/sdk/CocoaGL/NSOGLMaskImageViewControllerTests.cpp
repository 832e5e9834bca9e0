// The picture-mask controller of the OpenGL kit: the four placement sliders as normal values,
// the defaults and the reset, and the seven settings saved at quit and restored at launch.
#include <CocoaGL/NSOGLMaskImageViewController.h>

#include <AppKit/NSButton.h>
#include <Foundation/NSUserDefaults.h>
#include <NSUIMaskInstanceNibbler/NSUIMaskImageView.h>
#include <UICocoaControls/NSSlider.h>

#include <gtest/gtest.h>

#include <memory>

#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"
#include "sdk/RiradI/RiradITestApplication.h"

namespace {

const char *const kKeys[] = {"_contrastSlider",  "_brightnessSlider",     "_invertButton",        "_maskScaleSlider",
                             "_maskAngleSlider", "_maskTranslateXSlider", "_maskTranslateYSlider"};

void ForgetSettings() {
    for (const char *key : kKeys) NSUserDefaults::standardUserDefaults().removeObject(QString::fromLatin1(key));
}

// Counts the actions the controller sends its target.
class ActionCounter : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void maskImageChanged(QObject *) { ++count; }
    int count = 0;
};

// A controller with its controls made in code, as the nib makes them (sliders 0 ... 1).
struct Panel {
    Panel() {
        for (NSSlider *slider : {contrast, brightness, scale, angle, x, y}) slider->setParent(&controller);
        invert->setParent(&controller);
        imageView->setParent(&controller);
        controller.setContrastSlider(contrast);
        controller.setBrightnessSlider(brightness);
        controller.setInvertButton(invert);
        controller.setImageView(imageView);
        controller.setMaskScaleSlider(scale);
        controller.setMaskAngleSlider(angle);
        controller.setMaskTranslateXSlider(x);
        controller.setMaskTranslateYSlider(y);
        controller.setTarget(&counter);
        controller.setAction("maskImageChanged:");
    }
    ActionCounter counter;
    NSOGLMaskImageViewController controller;
    NSSlider *contrast = new NSSlider, *brightness = new NSSlider, *scale = new NSSlider, *angle = new NSSlider,
             *x = new NSSlider, *y = new NSSlider;
    NSButton *invert = new NSButton;
    NSUIMaskImageView *imageView = new NSUIMaskImageView;
};

class NSOGLMaskImageViewControllerTest : public corex_test::DebugLogFileTest, public riradi_test::WithApplication {
protected:
    void SetUp() override {
        DebugLogFileTest::SetUp();
        ASSERT_TRUE(import_NSOGLMaskImageViewController());
        ForgetSettings();
    }
    void TearDown() override {
        ForgetSettings();
        DebugLogFileTest::TearDown();
    }
};

TEST_F(NSOGLMaskImageViewControllerTest, NormalValuesReadAndSetThroughTheirSliders) {
    Panel panel;
    EXPECT_EQ(NSOGLMaskImageViewController::classDefaultMaskSizePixels().width, 640);
    EXPECT_EQ(panel.controller.defaultMaskSizePixels().height, 480);
    struct Case {
        const char *name;
        void (NSOGLMaskImageViewController::*set)(double);
        double (NSOGLMaskImageViewController::*get)() const;
        NSSlider *slider;
        double value, sliderValue;
    } cases[] = {
        {"scale", &NSOGLMaskImageViewController::setMaskScaleNormal, &NSOGLMaskImageViewController::maskScaleNormal,
         panel.scale, 0.5, 0.501},
        {"angle", &NSOGLMaskImageViewController::setMaskAngleNormal, &NSOGLMaskImageViewController::maskAngleNormal,
         panel.angle, 0.25, 0.25},
        {"x", &NSOGLMaskImageViewController::setMaskTranslateXNormal,
         &NSOGLMaskImageViewController::maskTranslateXNormal, panel.x, 0.3, 0.3},
        {"y", &NSOGLMaskImageViewController::setMaskTranslateYNormal,
         &NSOGLMaskImageViewController::maskTranslateYNormal, panel.y, 0.2, 0.8},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        (panel.controller.*c.set)(c.value);
        EXPECT_NEAR((panel.controller.*c.get)(), c.value, 1e-6);
        EXPECT_NEAR(c.slider->doubleValue(), c.sliderValue, 1e-6);
    }
    panel.controller.maskMatrixChanged(nullptr);  // does nothing
    EXPECT_NEAR(panel.y->doubleValue(), 0.8, 1e-6);
}

TEST_F(NSOGLMaskImageViewControllerTest, ResetRestoresTheDefaultsAndANewSourceKeepsTheControls) {
    Panel panel;
    for (NSSlider *slider : {panel.scale, panel.angle, panel.x, panel.y}) slider->setDoubleValue(0.9);
    panel.invert->setState(1);
    panel.controller.maskControlsReset(nullptr);
    EXPECT_EQ(panel.counter.count, 1);
    EXPECT_DOUBLE_EQ(panel.scale->doubleValue(), 0.5);
    EXPECT_DOUBLE_EQ(panel.angle->doubleValue(), 0.0);
    EXPECT_DOUBLE_EQ(panel.x->doubleValue(), 0.5);
    EXPECT_DOUBLE_EQ(panel.y->doubleValue(), 0.5);
    EXPECT_FALSE(panel.controller.maskInverted());
    EXPECT_NEAR(panel.controller.maskScaleNormal(), 0.501, 1e-6);
    EXPECT_NEAR(panel.controller.maskTranslateYNormal(), 0.5, 1e-6);

    // A new picture source tells the target again and leaves the placement as it is.
    panel.angle->setDoubleValue(0.7);
    panel.controller.imageSourceChanged(nullptr);
    EXPECT_EQ(panel.counter.count, 2);
    EXPECT_DOUBLE_EQ(panel.angle->doubleValue(), 0.7);
}

TEST_F(NSOGLMaskImageViewControllerTest, AFirstLaunchShowsTheDefaults) {
    Panel panel;
    for (NSSlider *slider : {panel.contrast, panel.brightness, panel.scale, panel.angle, panel.x, panel.y})
        slider->setDoubleValue(0.9);
    panel.invert->setState(1);
    panel.controller.applicationDidFinishLaunching(NSNotification());
    EXPECT_DOUBLE_EQ(panel.scale->doubleValue(), 0.5);
    EXPECT_DOUBLE_EQ(panel.angle->doubleValue(), 0.0);
    EXPECT_DOUBLE_EQ(panel.x->doubleValue(), 0.5);
    EXPECT_DOUBLE_EQ(panel.y->doubleValue(), 0.5);
    EXPECT_DOUBLE_EQ(panel.contrast->doubleValue(), 0.0);
    EXPECT_DOUBLE_EQ(panel.brightness->doubleValue(), 0.0);
    EXPECT_EQ(panel.invert->state(), 0);
}

TEST_F(NSOGLMaskImageViewControllerTest, SettingsSurviveAQuitAndALaunch) {
    {
        Panel panel;
        panel.controller.applicationDidFinishLaunching(NSNotification());
        panel.y->setDoubleValue(0.2);
        panel.contrast->setDoubleValue(0.75);
        panel.angle->setDoubleValue(0.125);
        panel.invert->setState(1);
        panel.controller.applicationWillTerminate(NSNotification());
    }
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    EXPECT_EQ(defaults.objectForKey("_maskTranslateYSlider"), QVariant(QStringLiteral("0.2")));
    EXPECT_EQ(defaults.objectForKey("_invertButton").toInt(), 1);
    EXPECT_NE(defaults.objectForKey("_invertButton").typeId(), QMetaType::QString);  // a number

    Panel again;
    again.controller.applicationDidFinishLaunching(NSNotification());
    EXPECT_DOUBLE_EQ(again.y->doubleValue(), 0.2);
    EXPECT_NEAR(again.controller.maskTranslateYNormal(), 0.8, 1e-6);
    EXPECT_DOUBLE_EQ(again.contrast->doubleValue(), 0.75);
    EXPECT_DOUBLE_EQ(again.angle->doubleValue(), 0.125);
    EXPECT_DOUBLE_EQ(again.scale->doubleValue(), 0.5);
    EXPECT_EQ(again.invert->state(), 1);
}

TEST_F(NSOGLMaskImageViewControllerTest, MissingControlsAndForeignValuesFallBack) {
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    // A value that is not a string for a slider, a string for the button: the defaults are used.
    defaults.setObject(0.9, "_maskScaleSlider");
    defaults.setObject(QStringLiteral("1"), "_invertButton");
    defaults.setObject(QStringLiteral("0.3"), "_maskTranslateXSlider");
    {
        Panel panel;
        panel.controller.applicationDidFinishLaunching(NSNotification());
        EXPECT_DOUBLE_EQ(panel.scale->doubleValue(), 0.5);
        EXPECT_EQ(panel.invert->state(), 0);
        EXPECT_DOUBLE_EQ(panel.x->doubleValue(), 0.3);
    }

    // A controller without its placement sliders: saving reports each and skips it; the
    // normal values read as at the defaults.
    ForgetSettings();
    NSOGLMaskImageViewController bare;
    EXPECT_NEAR(bare.maskScaleNormal(), 0.501, 1e-9);
    EXPECT_EQ(bare.maskAngleNormal(), 0.0);
    EXPECT_EQ(bare.maskTranslateXNormal(), 0.5);
    EXPECT_EQ(bare.maskTranslateYNormal(), 0.5);
    bare.setMaskScaleNormal(0.2);  // nothing to set
    bare.applicationWillTerminate(NSNotification());
    const std::string log = LogText();
    std::size_t reports = 0;
    for (auto at = log.find("inObject"); at != std::string::npos; at = log.find("inObject", at + 1)) ++reports;
    EXPECT_EQ(reports, 6u) << log;
    EXPECT_NE(log.find("NSUserDefaultSaveObject"), std::string::npos) << log;
    for (const char *key : kKeys) EXPECT_FALSE(defaults.objectForKey(QString::fromLatin1(key)).isValid()) << key;
    bare.applicationDidFinishLaunching(NSNotification());  // nothing to restore into
}

}  // namespace

#include "NSOGLMaskImageViewControllerTests.moc"
