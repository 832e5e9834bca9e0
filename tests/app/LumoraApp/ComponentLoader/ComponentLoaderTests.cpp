// The component loader (component bundles registered for this process) and the digitizer
// camera input (the reflecter view's frames as pixel buffers on each tick).
#include <gtest/gtest.h>

#include <AppKit/NSButton.h>
#include <Carbon/Files.h>
#include <CoreFoundation/CFBundle.h>
#include <Foundation/NSUserDefaults.h>
#include <LumoraApp/CamInputVDIGController.h>
#include <LumoraApp/QComponentLoader.h>
#include <QCam/CameraControls/QCamPlayController.h>
#include <QCam/CameraControls/QCamReflecterView.h>
#include <QuickTime/ComponentRegistry.h>
#include <QuickTime/Components.h>
#include <QuickTime/TestCamera.h>

#include <QApplication>

#include <chrono>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <thread>

#include "sdk/CoreQ/CameraTestSupport.h"
#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"
#include "support/TestFolders.h"

namespace {

using lumora::test::ScopedFolder;
using lumora::test::WriteFile;

QApplication *Application() {
    if (QCoreApplication::instance() == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "ComponentLoaderTests";
        static char *argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    return qobject_cast<QApplication *>(QCoreApplication::instance());
}

constexpr OSType Code(const char (&text)[5]) {
    return (OSType(uint8_t(text[0])) << 24) | (OSType(uint8_t(text[1])) << 16) | (OSType(uint8_t(text[2])) << 8) |
           OSType(uint8_t(text[3]));
}

long CountOf(const char (&subType)[5]) {
    ComponentDescription looking{Code("vdig"), Code(subType), 0, 0, 0};
    return CountComponents(&looking);
}

const std::string kFixtures = LUMORA_TEST_COMPONENTS;

// ---- Component loader ------------------------------------------------------------------------

class ComponentLoaderTest : public corex_test::DebugLogFileTest {};

TEST_F(ComponentLoaderTest, RegistersABundleOnceForThisProcess) {
    const QString path = QString::fromStdString(kFixtures + "/TestDigitizer.component");
    EXPECT_TRUE(QComponentLoader::registerComponentPathName(path));
    EXPECT_EQ(CountOf("tstd"), 1);
    EXPECT_TRUE(QComponentLoader::registerComponentPathName(path)) << "a second registration is the same one";
    EXPECT_EQ(CountOf("tstd"), 1);
    ComponentDescription byMaker{0, 0, Code("Lumo"), 0, 0};
    EXPECT_GE(CountComponents(&byMaker), 1);
}

TEST_F(ComponentLoaderTest, RefusesWhatCannotBeRegisteredWithAReport) {
    ScopedFolder folder("components");
    const std::string notABundle = folder.file("Plain.component");
    ASSERT_TRUE(WriteFile(notABundle, "not a bundle"));
    const struct {
        std::string path;
        const char *reported;  // null: no report
    } cases[] = {
        {"", nullptr},
        {folder.file("Nowhere.component"), "FSRef_ConstructFromPath"},
        {notABundle, "RegisterComponentFileRef"},
        {kFixtures + "/MissingEntry.component", "RegisterComponentFileRef"},
    };
    for (const auto &c : cases) {
        ClearLog();
        EXPECT_FALSE(QComponentLoader::registerComponentPathName(QString::fromStdString(c.path))) << c.path;
        if (c.reported != nullptr) EXPECT_NE(LogText().find(c.reported), std::string::npos) << c.path << LogText();
    }
    EXPECT_EQ(CountOf("miss"), 0) << "nothing of a bundle with a missing entry point is registered";

    // Components are never registered for other processes.
    FSRef ref;
    ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8 *>((kFixtures + "/TestDigitizer.component").c_str()), &ref,
                            nullptr),
              noErr);
    EXPECT_EQ(RegisterComponentFileRef(&ref, true), paramErr);
    EXPECT_EQ(RegisterComponentFileRef(nullptr, false), fnfErr);
}

TEST_F(ComponentLoaderTest, FindsComponentsInResourcesBeforePlugIns) {
    ScopedFolder folder("bundle");
    const std::string app = folder.file("Host.app");
    for (const char *dir : {"", "/Contents", "/Contents/Linux", "/Contents/Resources", "/Contents/PlugIns",
                            "/Contents/Resources/Both.component", "/Contents/PlugIns/Both.component",
                            "/Contents/PlugIns/Only.component"})
        ASSERT_EQ(::mkdir((app + dir).c_str(), 0700), 0) << dir;
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(app.c_str()),
                                                           CFIndex(app.size()), true);
    CFBundleRef bundle = CFBundleCreate(nullptr, url);
    CFRelease(url);
    ASSERT_NE(bundle, nullptr);
    EXPECT_EQ(QComponentLoader::componentPathNameInBundle(bundle, "Both.component").toStdString(),
              app + "/Contents/Resources/Both.component");
    EXPECT_EQ(QComponentLoader::componentPathNameInBundle(bundle, "Only.component").toStdString(),
              app + "/Contents/PlugIns/Only.component");
    EXPECT_TRUE(QComponentLoader::componentPathNameInBundle(bundle, "Missing.component").isEmpty());
    EXPECT_TRUE(QComponentLoader::componentPathNameInBundle(bundle, "../Resources/Both.component").isEmpty());
    CFRelease(bundle);
    EXPECT_FALSE(QComponentLoader::registerComponentName("NotShipped.component"));
}

TEST(ComponentInfoTest, ReadsOnlyWellFormedComponentLists) {
    std::vector<lumora::qt::ComponentFileEntry> entries;
    const std::string good = R"(<?xml version="1.0"?><plist version="1.0"><dict><key>QTComponents</key><array>
        <dict><key>componentType</key><string>vdig</string><key>componentSubType</key><string>abcd</string>
        <key>componentManufacturer</key><string>Lumo</string><key>componentEntryPoint</key><string>Entry_1</string></dict>
        </array></dict></plist>)";
    ASSERT_TRUE(lumora::qt::ParseComponentInfo(good.data(), good.size(), entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].description.componentType, Code("vdig"));
    EXPECT_EQ(entries[0].entryPoint, "Entry_1");

    const std::string bad[] = {
        "",
        "not a plist",
        R"(<plist version="1.0"><dict/></plist>)",
        R"(<plist version="1.0"><dict><key>QTComponents</key><array/></dict></plist>)",
        R"(<plist version="1.0"><dict><key>QTComponents</key><array><string>x</string></array></dict></plist>)",
        R"(<plist version="1.0"><dict><key>QTComponents</key><array><dict><key>componentType</key><string>vdi</string>
           <key>componentSubType</key><string>abcd</string><key>componentManufacturer</key><string>Lumo</string>
           <key>componentEntryPoint</key><string>E</string></dict></array></dict></plist>)",
        R"(<plist version="1.0"><dict><key>QTComponents</key><array><dict><key>componentType</key><string>vdig</string>
           <key>componentSubType</key><string>abcd</string><key>componentManufacturer</key><string>Lumo</string>
           <key>componentEntryPoint</key><string>a;rm -rf</string></dict></array></dict></plist>)",
    };
    for (const std::string &text : bad) {
        EXPECT_FALSE(lumora::qt::ParseComponentInfo(text.data(), text.size(), entries)) << text;
        EXPECT_TRUE(entries.empty());
    }
}

// ---- Digitizer camera input ------------------------------------------------------------------

class DigitizerInputTest : public corex_test::DebugLogFileTest {
protected:
    struct ApplicationFirst {
        ApplicationFirst() {
            Application();
            ::setenv("LUMORA_TEST_CAMERA", "1", 1);
            LumoraTestCameraSetUnplugged(false);
        }
    };

    void SetUp() override {
        DebugLogFileTest::SetUp();
        view = new QCamReflecterView;
        previewButton = new NSButton(view);
        auto *controls = new QCamPlayController(view);
        view->setProperty("_previewButton", QVariant::fromValue(previewButton));
        view->setProperty("_camController", QVariant::fromValue(controls));
        view->awakeFromNib();
        controller.setCamReflectorView(view);
        controller.awakeFromNib();
    }
    void TearDown() override {
        controller.setCamReflectorView(nullptr);
        delete view;
        DebugLogFileTest::TearDown();
    }

    ApplicationFirst application;
    CamInputVDIGController controller;
    QCamReflecterView *view = nullptr;
    NSButton *previewButton = nullptr;
};

TEST_F(DigitizerInputTest, EachTickWrapsTheNewestFrameWithoutCopying) {
    EXPECT_EQ(view->camImagePDF(), QByteArray("CameraA"));
    controller.applicationDidFinishLaunching(NSNotification());
    EXPECT_EQ(controller.camOutputBufferFormat()._Width, 640);
    EXPECT_EQ(controller.camOutputBufferFormat()._Height, 480);
    EXPECT_EQ(controller.camOutputBufferFormat()._PixelFormat, OSType(kCVPixelFormatType_422YpCbCr8));

    CVPixelBufferRef pixelBuffer = nullptr;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    Q_2vuy_buffer frame;
    while (std::chrono::steady_clock::now() < deadline) {
        controller.cameraTimerTick(nullptr);
        controller.camOutputBuffer().GetFrameBuffer(frame);
        if (camera_test::ReadFrameNumber2vuy(frame._PixelData, long(frame._RowBytes), frame._Width) > 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_GT(camera_test::ReadFrameNumber2vuy(frame._PixelData, long(frame._RowBytes), frame._Width), 0u);
    pixelBuffer = controller.camPixelBuffer();
    ASSERT_NE(pixelBuffer, nullptr);
    EXPECT_EQ(CVPixelBufferGetWidth(pixelBuffer), 640u);
    EXPECT_EQ(CVPixelBufferGetHeight(pixelBuffer), 480u);
    EXPECT_EQ(CVPixelBufferGetPixelFormatType(pixelBuffer), OSType(kCVPixelFormatType_422YpCbCr8));
    CVPixelBufferLockBaseAddress(pixelBuffer, 0);
    EXPECT_EQ(CVPixelBufferGetBaseAddress(pixelBuffer), static_cast<void *>(frame._PixelData));
    CVPixelBufferUnlockBaseAddress(pixelBuffer, 0);
    EXPECT_NE(controller.cameraCIImage(), nullptr);

    controller.applicationWillTerminate(NSNotification());
    controller.camOutputBuffer().GetFrameBuffer(frame);
    for (int i = 0; i < frame._Width * 2; i += 4) {
        ASSERT_EQ(frame._PixelData[i + 1], 16) << "black luma after termination";
        ASSERT_EQ(frame._PixelData[i], 128);
    }
}

TEST_F(DigitizerInputTest, TheOneSecondTimerRunsOncePerElapsedSecond) {
    controller.applicationDidFinishLaunching(NSNotification());
    const double now = QCamReflecterView::nowMicroseconds();
    controller.setCamOutputClock(now - 0.5e6);
    controller.cameraTimerTick(nullptr);
    EXPECT_DOUBLE_EQ(controller.camOutputClock(), now - 0.5e6);
    controller.setCamOutputClock(now - 1.5e6);
    controller.cameraTimerTick(nullptr);
    EXPECT_GE(controller.camOutputClock(), now);
    const double restarted = controller.camOutputClock();
    controller.cameraTimerTick(nullptr);
    EXPECT_DOUBLE_EQ(controller.camOutputClock(), restarted);
    controller.applicationWillTerminate(NSNotification());
}

TEST_F(DigitizerInputTest, ThePreviewButtonSurvivesARelaunch) {
    controller.applicationDidFinishLaunching(NSNotification());
    previewButton->setState(1);
    controller.applicationWillTerminate(NSNotification());
    previewButton->setState(0);
    controller.applicationDidFinishLaunching(NSNotification());
    EXPECT_EQ(previewButton->state(), 1);
    controller.applicationWillTerminate(NSNotification());
}

TEST_F(DigitizerInputTest, OpensOnlyTheListedSpellingsAndRoutesThroughTheView) {
    const struct {
        const char *path;
        bool listed;
    } cases[] = {{"/a/clip.mov", true},  {"/a/clip.MP4", true},  {"/a/clip.mp4", true}, {"/a/page.PDF", true},
                 {"/a/still.jpeg", true}, {"/a/clip.MOV", false}, {"/a/clip.Mp4", false}, {"/a/still.Jpg", false},
                 {"/a/notes.txt", false}, {"/a.dir/noext", false}};
    for (const auto &c : cases) EXPECT_EQ(CamInputVDIGController::isOpenPanelType(c.path), c.listed) << c.path;
    EXPECT_FALSE(controller.openFileName("/a/notes.txt"));
}

TEST_F(DigitizerInputTest, TheNibblerStampsEachTickAndChecksItsController) {
    CamInputVDIGNibbler nibbler;
    nibbler.setNibblerController(&controller);
    controller.applicationDidFinishLaunching(NSNotification());
    EXPECT_EQ(nibbler.frameInputHostTime(), 0u);
    nibbler.cameraTimerTick(nullptr);
    const uint64_t first = nibbler.frameInputHostTime();
    EXPECT_NE(first, 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    nibbler.cameraTimerTick(nullptr);
    EXPECT_GT(nibbler.frameInputHostTime(), first);
    controller.applicationWillTerminate(NSNotification());

    QObject stranger;
    nibbler.setNibblerController(&stranger);
    ClearLog();
    EXPECT_EQ(nibbler.viewController(), nullptr);
    EXPECT_NE(LogText().find("self.nibblerController"), std::string::npos);
}

}  // namespace
