// The QTKit camera source, the base source nibbler and the camera view's mouse behaviour.
#include <LumoraApp/CamInputBaseNibbler.h>
#include <LumoraApp/CamInputQTKitController.h>
#include <LumoraApp/LumoraRenderBuffer.h>
#include <LumoraApp/NSUILumoraView_MouseyBehaviour.h>

#include <Foundation/NSUserDefaults.h>
#include <QuickTime/TestCamera.h>
#include <dispatch/dispatch.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "sdk/RiradI/RiradITestApplication.h"

namespace {

using namespace std::chrono_literals;

const NSNotification kLaunched(QStringLiteral("NSApplicationDidFinishLaunchingNotification"), nullptr);
const NSNotification kTerminating(QStringLiteral("NSApplicationWillTerminateNotification"), nullptr);

class CamInputQTKit : public ::testing::Test {
protected:
    void SetUp() override {
        riradi_test::Application();
        setenv("LUMORA_TEST_CAMERA", "1", 1);
        LumoraTestCameraSetUnplugged(false);
    }
    void TearDown() override {
        dispatch_main_queue_drain();
        unsetenv("LUMORA_TEST_CAMERA");
        LumoraTestCameraSetUnplugged(false);
    }
};

TEST_F(CamInputQTKit, FramesCarryTheCameraPictureAndIncreasingTickStamps) {
    QVTRControllerCVGrabber grabber;
    CamInputQTKitController controller;
    controller.setCaptureController(&grabber);
    CamInputQTKitNibbler nibbler;
    nibbler.setNibblerController(&controller);
    ASSERT_EQ(nibbler.viewController(), static_cast<protocol_CamInputViewController *>(&controller));
    nibbler.applicationDidFinishLaunching(kLaunched);
    ASSERT_NE(grabber.session(), nullptr);
    EXPECT_TRUE(grabber.session()->isRunning());

    std::vector<uint64_t> stamps;
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (stamps.size() < 5 && std::chrono::steady_clock::now() < end) {
        dispatch_main_queue_drain();
        nibbler.cameraTimerTick(nullptr);
        const CamInputFrameRef frame = nibbler.cameraInputFrame();
        ASSERT_NE(frame, nullptr);
        if (frame->hasFrameImage()) {
            const CGRect extent = frame->frameImage()->extent();
            EXPECT_EQ(extent.size.width, 640);
            EXPECT_EQ(extent.size.height, 480);
            stamps.push_back(frame->frameHostTimeStamp());
        }
        std::this_thread::sleep_for(2ms);
    }
    ASSERT_EQ(stamps.size(), 5u) << "the camera's frames arrive";
    EXPECT_NE(stamps.front(), 0u) << "each tick is stamped with the host time";
    for (size_t i = 1; i < stamps.size(); ++i) EXPECT_GT(stamps[i], stamps[i - 1]);
    nibbler.applicationWillTerminate(kTerminating);
    EXPECT_FALSE(grabber.session()->isRunning());
}

TEST_F(CamInputQTKit, WithoutACameraFrameThereIsNoPicture) {
    CamInputQTKitController controller;
    EXPECT_EQ(controller.cameraCIImage(), nullptr) << "no capture controller";
    QVTRControllerCVGrabber grabber;
    controller.setCaptureController(&grabber);
    EXPECT_EQ(controller.cameraCIImage(), nullptr) << "no frame yet";
}

TEST_F(CamInputQTKit, BaseNibblerWithoutControllerShowsTheTestImageUnstamped) {
    CamInputBaseNibbler nibbler;
    nibbler.cameraTimerTick(nullptr);
    const CamInputFrameRef frame = nibbler.cameraInputFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->hasFrameImage()) << "the application's cameraImage resource";
    EXPECT_EQ(frame->frameHostTimeStamp(), 0u) << "only a nibbler with a controller stamps";
}

TEST_F(CamInputQTKit, SlidersStartAtTheirDefaultsAndSurviveARelaunch) {
    NSUICICameraControls controls;
    const auto makeSliders = [](std::vector<std::unique_ptr<NSSlider>> &sliders, CamInputQTKitController &c) {
        for (int i = 0; i < 4; ++i) {
            sliders.push_back(std::make_unique<NSSlider>());
            sliders.back()->setMinValue(-10);
            sliders.back()->setMaxValue(10);
        }
        c.cameraExposure = sliders[0].get();
        c.cameraBrightness = sliders[1].get();
        c.cameraContrast = sliders[2].get();
        c.cameraSaturation = sliders[3].get();
    };
    {
        std::vector<std::unique_ptr<NSSlider>> sliders;
        CamInputQTKitController first;
        first.setCameraControls(&controls);
        makeSliders(sliders, first);
        first.applicationDidFinishLaunching(kLaunched);
        EXPECT_EQ(sliders[0]->doubleValue(), 0.0);
        EXPECT_EQ(sliders[1]->doubleValue(), 0.0);
        EXPECT_EQ(sliders[2]->doubleValue(), 1.0);
        EXPECT_EQ(sliders[3]->doubleValue(), 1.0);
        sliders[0]->setDoubleValue(0.5);
        sliders[1]->setDoubleValue(-0.25);
        sliders[2]->setDoubleValue(1.75);
        sliders[3]->setDoubleValue(0.125);
        first.applicationWillTerminate(kTerminating);
    }
    EXPECT_EQ(NSUserDefaults::standardUserDefaults().stringForKey(QStringLiteral("cameraContrast")), QStringLiteral("1.75"));
    std::vector<std::unique_ptr<NSSlider>> sliders;
    CamInputQTKitController second;
    second.setCameraControls(&controls);
    makeSliders(sliders, second);
    second.cameraBrightness = nullptr;  // a missing slider is passed over
    second.loadPreferencesFromDefaults();
    EXPECT_EQ(sliders[0]->doubleValue(), 0.5);
    EXPECT_EQ(sliders[1]->doubleValue(), 0.0) << "not connected, untouched";
    EXPECT_EQ(sliders[2]->doubleValue(), 1.75);
    EXPECT_EQ(sliders[3]->doubleValue(), 0.125);
    for (const char *key : {"cameraExposure", "cameraBrightness", "cameraContrast", "cameraSaturation"})
        NSUserDefaults::standardUserDefaults().removeObject(QString::fromLatin1(key));
}

TEST_F(CamInputQTKit, MouseOverTheViewReachesTheRenderBuffer) {
    QWidget view;
    view.resize(200, 100);
    view.show();
    LumoraRenderBuffer buffer;
    NSUILumoraView_MouseyBehaviour mousey(&view, [&] { return &buffer; });
    EXPECT_TRUE(NSUILumoraView_MouseyBehaviour::acceptsFirstMouse(nullptr));

    QMouseEvent move(QEvent::MouseMove, QPointF(50, 25), view.mapToGlobal(QPointF(50, 25)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &move);
    ASSERT_TRUE(buffer.mousePointValue().has_value());
    EXPECT_DOUBLE_EQ(buffer.mousePointValue()->x, 0.25);
    EXPECT_DOUBLE_EQ(buffer.mousePointValue()->y, 0.75) << "origin at the bottom left";
    EXPECT_FALSE(buffer.hasMouseEvent()) << "a plain move sets only the point";

    QMouseEvent press(QEvent::MouseButtonPress, QPointF(100, 50), view.mapToGlobal(QPointF(100, 50)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &press);
    EXPECT_TRUE(buffer.hasMouseEvent()) << "for the length of the drag";
    QMouseEvent drag(QEvent::MouseMove, QPointF(150, 50), view.mapToGlobal(QPointF(150, 50)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &drag);
    riradi_test::RunPendingEvents();
    EXPECT_TRUE(buffer.hasMouseEvent());
    EXPECT_DOUBLE_EQ(buffer.mousePointValue()->x, 0.75);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(150, 50), view.mapToGlobal(QPointF(150, 50)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &release);
    riradi_test::RunPendingEvents();
    EXPECT_FALSE(buffer.hasMouseEvent()) << "cleared when the drag ends";
}

}  // namespace
