// The camera panels: image controls, the camera menu (with the test camera coming and going),
// the available-sources pop-up, the play controller's routing and play states, the reflecter
// view's tick pacing and source buttons, and the network-path check.
#include <gtest/gtest.h>

#include <AppKit/NSButton.h>
#include <Foundation/NSNotification.h>
#include <QCam/Camera/QCamFileLocation.h>
#include <QCam/Camera/QCamOutputBase.h>
#include <QCam/Camera/QCamSwitcher.h>
#include <QCam/CameraControls/CamAvailablePopupButton.h>
#include <QCam/CameraControls/NSUIBaseImageControls.h>
#include <QCam/CameraControls/NSUICamMenuController.h>
#include <QCam/CameraControls/QCamPlayController.h>
#include <QCam/CameraControls/QCamReflecterView.h>
#include <QuickTime/TestCamera.h>
#include <UICocoaMenus/NSMenuItemQt.h>
#include <UICocoaControls/NSSlider.h>
#include <UICocoaControls/NSUIMovieSlider.h>
#include <UICocoaControls/NSUIScrubControl.h>

#include <QApplication>
#include <QMenu>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"
#include "support/TestFolders.h"
#include "support/media/TestMedia.h"

namespace {

QApplication *Application() {
    if (QCoreApplication::instance() == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "QCamTests";
        static char *argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    return qobject_cast<QApplication *>(QCoreApplication::instance());
}

// A fixture member made first: the application exists before any widget member.
struct ApplicationFirst {
    ApplicationFirst() { Application(); }
};

// Records what the panels ask of the switcher.
class FakeSwitcher : public QCamSwitcher {
public:
    float brightness = -1, contrast = -1, gamma = -1, black = -1, white = -1, saturation = -1;
    int lowLight = -1, adjustments = -1, playState = -1, looping = -1, useCamera = 0;
    int32_t source = 0;
    std::vector<std::string> opened;  // "movie:<path>", "vector:<path>", "raster:<path>", "resource:<name>"
    std::vector<std::string> devices;
    std::string current;
    bool channel = false;
    int closed = 0;
    std::vector<std::string> used;

    void SetBrightness(float v) override { brightness = v; }
    void SetContrast(float v) override { contrast = v; }
    void SetGamma(float v) override { gamma = v; }
    void SetLevels(float b, float w) override { black = b, white = w; }
    void SetImageAdjustmentsEnabled(bool on) override { adjustments = on; }
    void SetSaturation(float v) override { saturation = v; }
    void SetLowLight(bool on) override { lowLight = on; }
    int32_t Source() const override { return source; }
    void SetSourceMode(int32_t s, bool) override { source = s; }
    void OpenSourceResource(const char *name) override { opened.push_back(std::string("resource:") + (name ? name : "")); }
    void OpenRasterFile(CFURLRef url) override { opened.push_back("raster:" + PathOf(url)); }
    void OpenVectorFile(CFURLRef url) override { opened.push_back("vector:" + PathOf(url)); }
    void OpenMovieFile(CFURLRef url) override { opened.push_back("movie:" + PathOf(url)); }
    void UseCameraIfOpen() override { ++useCamera; }
    void SetPlayState(int32_t s) override { playState = s; }
    void SetLooping(bool loop) override { looping = loop; }
    Movie CurrentMovie() const override { return nullptr; }
    void SetView(QObject *) override {}
    void SetActivePreview(bool) override {}
    bool SetOutput(QCamOutputBase *sink) override { return sink != nullptr; }
    void SetOutputEnabled(bool) override {}
    int16_t BeginCameraGrab(long) override { return 0; }
    int16_t StartCameraRecord() override { return 0; }
    void EndCamera() override {}
    bool HasGrabberComponent() const override { return channel; }
    double GetPaceRate(double frameRate) const override { return frameRate; }
    void GrabTick() override {}
    int32_t PreviewKind() const override { return 0; }
    void UpdatePreview() override {}
    CGImageRef CopyPreviewImage() override { return nullptr; }
    bool HasVideoChannel() const override { return channel; }
    std::vector<std::string> CameraDeviceNames() override { return devices; }
    bool CurrentCameraDeviceName(std::string &name) override {
        if (!channel) return false;
        name = current;
        return true;
    }
    void CloseCamera() override {
        ++closed;
        channel = false;
    }
    bool UseCameraDevice(const std::string &name) override {
        used.push_back(name);
        if (channel && current == name) return false;
        channel = true;
        current = name;
        return true;
    }
    bool UseNextCameraDevice() override { return false; }
    bool UsePrevCameraDevice() override { return false; }

    static std::string PathOf(CFURLRef url) {
        char buffer[4096];
        if (!CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8 *>(buffer), sizeof buffer)) return "?";
        return buffer;
    }
};

struct MenuItemState {
    std::string title;
    int state;
};

// The items after the placeholder, separators as "-".
std::vector<MenuItemState> ItemsAfter(QMenu &menu, QAction *placeholder) {
    std::vector<MenuItemState> items;
    const QList<QAction *> actions = menu.actions();
    for (int i = int(actions.indexOf(placeholder)) + 1; i < actions.size(); ++i) {
        QAction *a = actions[i];
        items.push_back({a->isSeparator() ? "-" : a->text().toStdString(), NSMenuItemQt::state(a)});
    }
    return items;
}

// ---- Image controls --------------------------------------------------------------------------

class ImageControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Application();
        for (NSSlider **slider : {&brightness, &contrast, &gammaSlider, &blackLevel, &whiteLevel, &saturationSlider})
            *slider = new NSSlider(&controls);
        reset = new NSButton(&controls);
        enabled = new NSButton(&controls);
        lowLight = new NSButton(&controls);
        controls.setProperty("_BrightnessSlider", QVariant::fromValue(brightness));
        controls.setProperty("_ContrastSlider", QVariant::fromValue(contrast));
        controls.setProperty("_GammaSlider", QVariant::fromValue(gammaSlider));
        controls.setProperty("_BlackLevelSlider", QVariant::fromValue(blackLevel));
        controls.setProperty("_WhiteLevelSlider", QVariant::fromValue(whiteLevel));
        controls.setProperty("_SaturationSlider", QVariant::fromValue(saturationSlider));
        controls.setProperty("_ResetButton", QVariant::fromValue(reset));
        controls.setProperty("_EnabledButton", QVariant::fromValue(enabled));
        controls.setProperty("_LowLightButton", QVariant::fromValue(lowLight));
    }

    ApplicationFirst application;
    NSUICamImageControls controls;
    NSSlider *brightness, *contrast, *gammaSlider, *blackLevel, *whiteLevel, *saturationSlider;
    NSButton *reset, *enabled, *lowLight;
    FakeSwitcher camera;
};

TEST_F(ImageControlsTest, SliderValuesReachTheSwitcherClampedAndLevelsInverted) {
    controls.setCamera(&camera);
    brightness->setDoubleValue(1.7);  // outside the slider's range
    controls.brightnessSliderChanged(brightness);
    EXPECT_FLOAT_EQ(camera.brightness, 1.0f);
    contrast->setDoubleValue(-0.3);
    controls.contrastSliderChanged(contrast);
    EXPECT_FLOAT_EQ(camera.contrast, 0.0f);
    gammaSlider->setDoubleValue(0.25);
    controls.gammaSliderChanged(gammaSlider);
    EXPECT_FLOAT_EQ(camera.gamma, 0.25f);
    blackLevel->setDoubleValue(0.25);
    whiteLevel->setDoubleValue(0.1);
    controls.levelSliderChanged(blackLevel);
    EXPECT_FLOAT_EQ(camera.black, 0.75f);
    EXPECT_FLOAT_EQ(camera.white, 0.9f);
    saturationSlider->setDoubleValue(0.4);
    controls.saturationSliderChanged(saturationSlider);
    EXPECT_FLOAT_EQ(camera.saturation, 0.4f);
    lowLight->setState(1);
    controls.lowLightButtonChanged(lowLight);
    EXPECT_EQ(camera.lowLight, 1);
    enabled->setState(1);
    controls.enabledButtonChanged(enabled);
    EXPECT_EQ(camera.adjustments, 1);
    EXPECT_FALSE(saturationSlider->isHidden());
    enabled->setState(0);
    controls.enabledButtonChanged(enabled);
    EXPECT_TRUE(saturationSlider->isHidden());
    EXPECT_TRUE(reset->isHidden());
}

// The reset reaches the switcher at once: the panel never shows values that are not in effect.
TEST_F(ImageControlsTest, ResetAppliesTheDefaultValuesToTheSwitcher) {
    brightness->setDoubleValue(0.9);
    contrast->setDoubleValue(0.1);
    gammaSlider->setDoubleValue(0.8);
    blackLevel->setDoubleValue(0.0);
    whiteLevel->setDoubleValue(0.7);
    saturationSlider->setDoubleValue(0.2);
    lowLight->setState(1);
    controls.setCamera(&camera);
    EXPECT_FLOAT_EQ(camera.brightness, 0.9f);

    controls.resetButtonChanged(reset);
    EXPECT_FLOAT_EQ(camera.brightness, 0.5f);
    EXPECT_FLOAT_EQ(camera.contrast, 0.5f);
    EXPECT_FLOAT_EQ(camera.gamma, 0.5f);
    EXPECT_FLOAT_EQ(camera.black, 0.5f);
    EXPECT_FLOAT_EQ(camera.white, 1.0f);
    EXPECT_FLOAT_EQ(camera.saturation, 1.0f);
    EXPECT_EQ(camera.lowLight, 0);
    EXPECT_FLOAT_EQ(controls.whiteLevel(), 1.0f);
    EXPECT_FLOAT_EQ(controls.blackLevel(), 0.5f);
}

TEST_F(ImageControlsTest, LowLightSurvivesThroughTheUserDefaults) {
    controls.setCamera(&camera);
    lowLight->setState(1);
    controls.savePreferences();
    lowLight->setState(0);
    camera.lowLight = -1;
    controls.loadPreferences();
    EXPECT_EQ(lowLight->state(), 1);
    EXPECT_EQ(camera.lowLight, 1);
}

// ---- Camera menu -----------------------------------------------------------------------------

class CameraMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        Application();
        placeholder = menu.addSeparator();
        controller.setCameraMenuSeparator(placeholder);
        token = NSNotificationCenter::defaultCenter().addObserverForName(
            QString::fromLatin1(NSUICamMenuController::kAvailableCamerasChangedNotification), nullptr,
            [this](const NSNotification &) { ++posted; });
    }
    void TearDown() override { NSNotificationCenter::defaultCenter().removeObserver(token); }

    ApplicationFirst application;
    QMenu menu;
    QAction *placeholder = nullptr;
    NSUICamMenuController controller;
    NSNotificationCenter::ObserverToken token;
    int posted = 0;
};

TEST_F(CameraMenuTest, ListsDevicesWithCheckMarksAndLeavesFilteredOnesOut) {
    FakeSwitcher camera;
    camera.devices = {"Lumora Test Camera", "Capture (Ocellix)", "USB Camera"};
    controller.updateForCameraGrabber(&camera);
    std::vector<MenuItemState> items = ItemsAfter(menu, placeholder);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].title, "No Camera");
    EXPECT_EQ(items[0].state, 1);
    EXPECT_EQ(items[1].title, "-");
    EXPECT_EQ(items[2].title, "Lumora Test Camera");
    EXPECT_EQ(items[2].state, 0);
    EXPECT_EQ(items[3].title, "USB Camera");
    EXPECT_EQ(controller.cameraDeviceInputName().toStdString(), "No Camera");

    camera.channel = true;
    camera.current = "USB Camera";
    controller.updateForCameraGrabber(&camera);
    items = ItemsAfter(menu, placeholder);
    ASSERT_EQ(items.size(), 4u) << "rebuilt, not appended";
    EXPECT_EQ(items[0].state, 0);
    EXPECT_EQ(items[2].state, 0);
    EXPECT_EQ(items[3].state, 1);
    EXPECT_EQ(controller.cameraDeviceInputName().toStdString(), "USB Camera");
}

TEST_F(CameraMenuTest, ChoosingSwitchesOnceAndPostsTheChange) {
    FakeSwitcher camera;
    camera.devices = {"Lumora Test Camera"};
    controller.updateForCameraGrabber(&camera);

    controller.setCameraDeviceInputName("Lumora Test Camera");
    EXPECT_TRUE(controller.changeCameraGrabberDevice(&camera));
    EXPECT_EQ(posted, 1);
    EXPECT_EQ(ItemsAfter(menu, placeholder)[2].state, 1);

    // The device already in use: nothing changes, nothing is posted.
    EXPECT_FALSE(controller.changeCameraGrabberDevice(&camera));
    EXPECT_EQ(posted, 1);

    controller.setCameraDeviceInputName("No Camera");
    EXPECT_TRUE(controller.changeCameraGrabberDevice(&camera));
    EXPECT_EQ(camera.closed, 1);
    EXPECT_EQ(posted, 2);
    EXPECT_EQ(ItemsAfter(menu, placeholder)[0].state, 1);

    controller.setCameraDeviceInputName("");
    EXPECT_FALSE(controller.changeCameraGrabberDevice(&camera));
}

TEST_F(CameraMenuTest, AnotherControllersChangeRebuildsThisMenu) {
    FakeSwitcher camera;
    camera.devices = {"A"};
    controller.updateForCameraGrabber(&camera);
    camera.devices = {"A", "B"};
    NSUICamMenuController other;
    other.setCameraDeviceInputName("B");
    ASSERT_TRUE(other.changeCameraGrabberDevice(&camera));
    EXPECT_EQ(ItemsAfter(menu, placeholder).size(), 4u);
}

// The real switcher with the test camera plugged in and out.
TEST_F(CameraMenuTest, TheTestCameraAppearsAndDisappears) {
    ::setenv("LUMORA_TEST_CAMERA", "1", 1);
    std::unique_ptr<QCamSwitcher> camera = QCamSwitcherCreate();
    auto titles = [&] {
        std::vector<std::string> out;
        for (const MenuItemState &item : ItemsAfter(menu, placeholder)) out.push_back(item.title);
        return out;
    };
    auto has = [&](const char *name) {
        const std::vector<std::string> all = titles();
        return std::find(all.begin(), all.end(), name) != all.end();
    };
    controller.updateForCameraGrabber(camera.get());
    EXPECT_TRUE(has("Lumora Test Camera"));

    LumoraTestCameraSetUnplugged(true);
    controller.updateForCameraGrabber(camera.get());
    EXPECT_FALSE(has("Lumora Test Camera"));
    LumoraTestCameraSetUnplugged(false);

    // Chosen from the menu: the grabber opens on it and it is checked.
    ASSERT_EQ(camera->BeginCameraGrab(32), 0);
    ASSERT_EQ(camera->StartCameraRecord(), 0);
    controller.updateForCameraGrabber(camera.get());
    const std::vector<MenuItemState> items = ItemsAfter(menu, placeholder);
    bool checked = false;
    for (const MenuItemState &item : items)
        if (item.title == "Lumora Test Camera") checked = item.state == 1;
    EXPECT_TRUE(checked);
    EXPECT_EQ(items[0].state, 0);

    controller.setCameraDeviceInputName("No Camera");
    EXPECT_TRUE(controller.changeCameraGrabberDevice(camera.get()));
    EXPECT_FALSE(camera->HasGrabberComponent());
    EXPECT_EQ(camera->Source(), 0) << "no camera: black";
    EXPECT_EQ(ItemsAfter(menu, placeholder)[0].state, 1);
}

// ---- Available sources, play controller ------------------------------------------------------

class PlayControllerTest : public corex_test::DebugLogFileTest {
protected:
    void SetUp() override {
        DebugLogFileTest::SetUp();
        Application();
        popup = new CamAvailablePopupButton(&controller);
        for (const char *title : {"Sources", "Available", "", "Camera", "Logo", "Bars"}) popup->addItem(title);
        popup->insertSeparator(2);  // index 2 becomes the separator
        popup->removeItem(3);       // the empty entry
        popup->setItemData(3, 0, CamAvailablePopupButton::kTagRole);
        popup->setItemData(4, 1, CamAvailablePopupButton::kTagRole);
        popup->setItemData(5, 2, CamAvailablePopupButton::kTagRole);
        play = new NSButton(&controller);
        pause = new NSButton(&controller);
        looped = new NSButton(&controller);
        menuController = new NSUICamMenuController(&controller);
        controller.setProperty("mAvailablePopupButton", QVariant::fromValue(popup));
        controller.setProperty("_playButton", QVariant::fromValue(play));
        controller.setProperty("_pauseButton", QVariant::fromValue(pause));
        controller.setProperty("_loopedButton", QVariant::fromValue(looped));
        controller.setProperty("_cameraMenuController", QVariant::fromValue(menuController));
        controller.awakeFromNib();
    }
    void TearDown() override {
        QCamPlayController::setRemotePathCheck(nullptr);
        DebugLogFileTest::TearDown();
    }

    ApplicationFirst application;
    QCamPlayController controller;
    CamAvailablePopupButton *popup;
    NSButton *play, *pause, *looped;
    NSUICamMenuController *menuController;
    FakeSwitcher camera;
};

TEST_F(PlayControllerTest, RoutesFilesByTheirExactSuffix) {
    controller.setCamera(&camera);
    const struct {
        const char *path;
        const char *opened;  // null: refused
    } cases[] = {
        {"/media/clip.mov", "movie"},   {"/media/clip.MP4", "movie"},  {"/media/clip.dv", "movie"},
        {"/media/clip.m4v", "movie"},   {"/media/page.pdf", "vector"}, {"/media/page.PDF", "vector"},
        {"/media/still.png", "raster"}, {"/media/still.JPEG", "raster"},
        {"/media/clip.Mp4", nullptr},   {"/media/page.Pdf", nullptr},  {"/media/notes.txt", nullptr},
        {"/media/noextension", nullptr},
    };
    for (const auto &c : cases) {
        camera.opened.clear();
        ClearLog();
        const bool ok = controller.openFile(QString::fromUtf8(c.path));
        if (c.opened == nullptr) {
            EXPECT_FALSE(ok) << c.path;
            EXPECT_TRUE(camera.opened.empty()) << c.path;
            EXPECT_NE(LogText().find("cannot open"), std::string::npos) << c.path;
        } else {
            EXPECT_TRUE(ok) << c.path;
            ASSERT_EQ(camera.opened.size(), 1u) << c.path;
            EXPECT_EQ(camera.opened[0], std::string(c.opened) + ":" + c.path);
        }
    }
}

TEST_F(PlayControllerTest, RefusesFilesOnANetworkFileSystemWithoutTouchingThem) {
    controller.setCamera(&camera);
    std::vector<std::string> asked;
    QCamPlayController::setRemotePathCheck([&](const std::string &path, std::string *type) {
        asked.push_back(path);
        if (type != nullptr) *type = "nfs4";
        return path.rfind("/net/", 0) == 0;
    });
    EXPECT_FALSE(controller.openFile("/net/server/clip.mov"));
    EXPECT_TRUE(camera.opened.empty());
    EXPECT_NE(LogText().find("network file system (nfs4)"), std::string::npos) << LogText();
    EXPECT_TRUE(controller.openFile("/home/me/clip.mov"));
    EXPECT_EQ(asked.size(), 2u);
}

TEST_F(PlayControllerTest, PlayPauseAndLoopReachTheSwitcher) {
    controller.setCamera(&camera);
    EXPECT_EQ(camera.playState, 1) << "the play button is the state button after awakeFromNib";
    controller.playPauseButtonChanged(pause);
    EXPECT_EQ(controller.playStateButton(), 0);
    EXPECT_EQ(camera.playState, 0);
    EXPECT_EQ(play->state(), 0);
    EXPECT_EQ(pause->state(), 1);
    controller.playPauseButtonChanged(play);
    EXPECT_EQ(camera.playState, 1);
    ClearLog();
    controller.setStateButton(popup);  // not a button
    EXPECT_NE(LogText().find("stateType"), std::string::npos);
    EXPECT_EQ(controller.playStateButton(), 1);

    looped->setState(1);
    controller.loopControlChanged(looped);
    EXPECT_EQ(camera.looping, 1);
    looped->setState(0);
    controller.savePreferences();
    looped->setState(1);
    controller.loadPreferences();
    EXPECT_EQ(looped->state(), 0);
    EXPECT_EQ(camera.looping, 0);
}

TEST_F(PlayControllerTest, ThePopUpOpensResourcesByTitleOrTheCamera) {
    controller.setCamera(&camera);
    camera.opened.clear();
    controller.selectSourceByName("Logo");
    ASSERT_EQ(camera.opened.size(), 1u);
    EXPECT_EQ(camera.opened[0], "resource:Logo");
    const int before = camera.useCamera;
    controller.selectSourceByName("Camera");
    EXPECT_EQ(camera.useCamera, before + 1);
    EXPECT_EQ(popup->availableMenuItem(), 1);
    EXPECT_EQ(popup->firstSourceItem(), 3);

    // awakeFromNib of the pop-up hands the first source item's action to the later ones.
    popup->setItemData(3, QVariant::fromValue<QObject *>(&controller), CamAvailablePopupButton::kTargetRole);
    popup->setItemData(3, QByteArray("availableSourceChanged"), CamAvailablePopupButton::kActionRole);
    popup->awakeFromNib();
    EXPECT_EQ(popup->itemData(5, CamAvailablePopupButton::kActionRole).toByteArray(), "availableSourceChanged");
    camera.opened.clear();
    popup->setCurrentIndex(5);
    popup->performItemAction(5);
    ASSERT_EQ(camera.opened.size(), 1u);
    EXPECT_EQ(camera.opened[0], "resource:Bars");
}

TEST_F(PlayControllerTest, TagZeroWithoutACameraSelectsBlack) {
    std::unique_ptr<QCamSwitcher> real = QCamSwitcherCreate();
    real->SetSourceMode(1, true);
    controller.setCamera(real.get());
    controller.selectSourceByName("Camera");
    EXPECT_EQ(real->Source(), 0);
}

// ---- Reflecter view --------------------------------------------------------------------------

TEST(QCamReflecterViewTest, SkipsTicksInsideTheIntervalInWholeHundredths) {
    const struct {
        double elapsed, interval;
        bool skip;
    } cases[] = {
        {0.010, 1.0 / 30.0, true},   // 10 ms after the last grab at 30 frames per second
        {0.030, 1.0 / 30.0, false},  // 3 hundredths are not below 3
        {0.029, 1.0 / 30.0, true},
        {0.5, 1.0, true},
        {1.0, 1.0, false},
    };
    for (const auto &c : cases) EXPECT_EQ(QCamReflecterView::shouldSkipTick(c.elapsed, c.interval), c.skip) << c.elapsed;
}

TEST(QCamReflecterViewTest, SourceNumbersShowAndHideTheMovieControls) {
    Application();
    QCamReflecterView view;
    auto *controller = new QCamPlayController(&view);
    auto *slider = new NSUIMovieSlider(&view);
    auto *scrub = new NSUIScrubControl(&view);
    auto *looped = new NSButton(controller);
    NSButton *buttons[4];
    const char *names[4] = {"_sourceNone", "_sourceImage", "_sourceLive", "_sourceMovie"};
    for (int i = 0; i < 4; ++i) {
        buttons[i] = new NSButton(&view);
        view.setProperty(names[i], QVariant::fromValue(buttons[i]));
    }
    controller->setProperty("_loopedButton", QVariant::fromValue(looped));
    view.setProperty("_camController", QVariant::fromValue(controller));
    view.setProperty("_movieSlider", QVariant::fromValue(slider));
    view.setProperty("_scrubControl", QVariant::fromValue(scrub));
    view.awakeFromNib();
    EXPECT_EQ(controller->camera(), view.camReflecter());
    view.show();

    view.QCamReflecterSourceChanged(3);
    EXPECT_TRUE(slider->isVisible());
    EXPECT_TRUE(scrub->isVisible());
    EXPECT_TRUE(looped->isVisible());
    EXPECT_EQ(view.camReflecterSourceButton(), 3);
    EXPECT_EQ(buttons[3]->state(), 1);

    for (int source : {0, 1, 2}) {
        view.QCamReflecterSourceChanged(source);
        EXPECT_FALSE(slider->isVisible()) << source;
        EXPECT_FALSE(scrub->isVisible()) << source;
        EXPECT_FALSE(looped->isVisible()) << source;
        EXPECT_EQ(view.camReflecterSourceButton(), source);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(buttons[i]->state(), i == source ? 1 : 0);
    }
    // A source button switches the switcher without force.
    view.cameraSourceButtonChanged(buttons[1]);
    EXPECT_EQ(view.camReflecter()->Source(), 1);
}

TEST(QCamReflecterViewTest, ATickOnAGrabberlessSwitcherDoesNothing) {
    Application();
    QCamReflecterView view;
    view.setCamFrameTime(0.0);
    view.cameraGrabTimer(true);
    EXPECT_EQ(view.camFrameTime(), 0.0) << "no grabber component: no grab";
}

TEST(QCamReflecterViewTest, DrawsThePreviewOnlyWhileItIsOn) {
    Application();
    ::setenv("LUMORA_TEST_CAMERA", "1", 1);
    LumoraTestCameraSetUnplugged(false);
    lumora::test::ScopedFolder folder("view");
    const std::string png = folder.file("red.png");
    std::vector<uint8_t> red(64 * 48 * 4);
    for (size_t i = 0; i < red.size(); i += 4) red[i] = 255, red[i + 1] = 0, red[i + 2] = 0, red[i + 3] = 255;
    ASSERT_TRUE(lumora::test::WritePNG(png, 64, 48, red, true));

    QCamReflecterView view;
    auto *controller = new QCamPlayController(&view);
    view.setProperty("_camController", QVariant::fromValue(controller));
    view.awakeFromNib();
    view.resize(320, 240);
    QCamOutputBuffer sink;
    ASSERT_EQ(view.cameraGrabBegin(&sink, 30.0f, true), 0);
    ASSERT_TRUE(view.openFile(QString::fromStdString(png)));
    view.cameraGrabTimer(true);

    const QColor off = view.grab().toImage().pixelColor(160, 120);
    EXPECT_LT(off.red(), 40) << "preview off: no picture";
    view.setActivePreview(true);
    const QColor on = view.grab().toImage().pixelColor(160, 120);
    EXPECT_GT(on.red(), 200);
    EXPECT_LT(on.green(), 40);
    view.setDropHighlight(true);
    const QColor edge = view.grab().toImage().pixelColor(1, 120);
    EXPECT_NE(edge, on) << "the drop highlight frames the view";
    view.cameraGrabEnd();
}

// ---- Network paths ---------------------------------------------------------------------------

TEST(QCamFileLocationTest, ReadsMountInfoLines) {
    QCamMountEntry entry;
    ASSERT_TRUE(QCamParseMountInfoLine(
        "36 35 98:0 /mnt1 /mnt/my\\040share rw,noatime master:1 - nfs4 server:/export rw", entry));
    EXPECT_EQ(entry.mountPoint, "/mnt/my share");
    EXPECT_EQ(entry.type, "nfs4");
    ASSERT_TRUE(QCamParseMountInfoLine("22 1 8:1 / / rw - ext4 /dev/sda1 rw", entry));
    EXPECT_EQ(entry.type, "ext4");
    EXPECT_FALSE(QCamParseMountInfoLine("garbage", entry));
    EXPECT_FALSE(QCamParseMountInfoLine("1 2 3 4 5 6 7 8", entry));

    for (const char *type : {"nfs", "nfs4", "cifs", "smb3", "9p", "fuse.sshfs", "fuse.rclone", "ceph"})
        EXPECT_TRUE(QCamIsRemoteFileSystemType(type)) << type;
    for (const char *type : {"ext4", "xfs", "btrfs", "tmpfs", "fuseblk", "overlay", "vfat"})
        EXPECT_FALSE(QCamIsRemoteFileSystemType(type)) << type;
}

TEST(QCamFileLocationTest, FindsNetworkMountsAlsoBehindLocalLinks) {
    lumora::test::ScopedFolder folder("location");
    const std::string remoteMount = folder.file("server");
    const std::vector<QCamMountEntry> table = {{"/", "ext4"}, {remoteMount, "nfs4"}, {remoteMount + "/local", "ext4"}};
    std::string type;
    EXPECT_TRUE(QCamIsRemotePathInTable(table, remoteMount + "/clip.mov", &type));
    EXPECT_EQ(type, "nfs4");
    // A local mount inside the network one is reached through it (the lookup asks the server).
    EXPECT_TRUE(QCamIsRemotePathInTable(table, remoteMount + "/local/clip.mov"));
    EXPECT_FALSE(QCamIsRemotePathInTable(table, folder.file("clip.mov")));
    EXPECT_FALSE(QCamIsRemotePathInTable(table, folder.file("serverless/clip.mov")));
    EXPECT_TRUE(QCamIsRemotePathInTable(table, folder.file("other/../server/clip.mov")));

    // A local link that leads into the network mount.
    const std::string link = folder.file("shortcut");
    ASSERT_EQ(::symlink(remoteMount.c_str(), link.c_str()), 0);
    EXPECT_TRUE(QCamIsRemotePathInTable(table, link + "/clip.mov"));
    // Relative paths start from the working folder.
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(::chdir(folder.path().c_str()), 0);
    EXPECT_TRUE(QCamIsRemotePathInTable(table, "shortcut/clip.mov"));
    EXPECT_TRUE(::chdir(cwd) == 0);
    // This machine's own table: the test folder is local.
    EXPECT_FALSE(QCamIsRemotePath(folder.file("clip.mov")));
}

}  // namespace
