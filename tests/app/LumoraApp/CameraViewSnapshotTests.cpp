// The camera view's snapshots and its shared surfaces, with a real render buffer playing the
// inverting effect over pictures of one colour:
//  - a snapshot in each quick-save type lands as the next free "Lumora %04d" picture of the
//    Pictures folder with the frame's colour, and never replaces a file already there; the
//    open-snapshot switch decides whether a viewer opens;
//  - while ten snapshots wait to be written (the writer held), every frame of the loop is
//    still composed, and each picture holds the frame it was taken of (the pixels are copied
//    before the save is queued, not read from the reused read-back surface later);
//  - the view's own sharing controller makes its three "LumoraIOSurfaceFBO" textures, and a
//    client of the sharing service sees the view's pixels; without a render buffer a shared
//    surface is erased to transparent.
#include <LumoraApp/LumoraIOSurfaceFBO.h>
#include <LumoraApp/LumoraLayerViewNibbler.h>
#include <LumoraApp/NSOGLTextureLayerViewNibbler.h>
#include <AppKit/NSButton.h>
#include <CocoaGL/NSOGLTextureMatrixController.h>
#include <LumoraApp/LumoraRenderBuffer.h>
#include <LumoraApp/NSUILumoraView.h>
#include <LumoraApp/SnapViewWindowController.h>

#include <CocoaGraphics/NSBitmapImageRep_QuickSaveFile.h>
#include <IOSurface/IOSurface.h>
#include <USecuritySandbox/USandboxFolderController.h>
#include <USecuritySandbox/USandboxUserFolder.h>
#include <dispatch/dispatch.h>

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPointer>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "app/LumoraApp/CameraViewTestSupport.h"
#include "sdk/RiradI/RiradITestApplication.h"
#include "support/ChildProcess.h"

using namespace cameraview_test;

namespace {

class SteppedView : public NSUILumoraView {
public:
    using NSUILumoraView::NSUILumoraView;
    CamInputFrameRef captureInputFrameStack() override { return CamInputFrame::camInputFrameWithFrameImage(picture); }
    CIImageRef picture;
};

class BroadcastSwitch : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE bool isBroadcasting() const { return broadcasting; }
    bool broadcasting = false;
};

// The writer's stamping step held at a gate: saves stop there until it opens.
std::mutex sGateLock;
std::condition_variable sGateChanged;
bool sGateOpen = true;
bool HeldStamper(const char *, OSType, OSType) {
    std::unique_lock<std::mutex> lock(sGateLock);
    sGateChanged.wait_for(lock, std::chrono::seconds(20), [] { return sGateOpen; });
    return true;
}
void SetGate(bool open) {
    {
        std::lock_guard<std::mutex> lock(sGateLock);
        sGateOpen = open;
    }
    sGateChanged.notify_all();
}

// Runs the main queue and the event loop until every snapshot is written (or 20 s passed).
bool WaitForSaves() {
    const auto start = std::chrono::steady_clock::now();
    while (NSUILumoraView::pendingSnapshotSaves() > 0) {
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(20)) return false;
        dispatch_main_queue_drain();
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    dispatch_main_queue_drain();
    QCoreApplication::processEvents();
    return true;
}

int SnapViewers() {
    int count = 0;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (qobject_cast<SnapViewWindow *>(widget) != nullptr) ++count;
    return count;
}

void CloseSnapViewers() {
    std::vector<QPointer<SnapViewWindow>> viewers;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *viewer = qobject_cast<SnapViewWindow *>(widget)) viewers.emplace_back(viewer);
    for (const QPointer<SnapViewWindow> &viewer : viewers) delete viewer.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The picture of the colour; the view shows it inverted.
uint32_t Inverted(uint32_t colour) { return 0xFFFFFFu ^ colour; }

class CameraViewSnapshots : public ::testing::Test, public riradi_test::WithApplication {
protected:
    void SetUp() override {
        ASSERT_TRUE(import_NSUILumoraView());
        QuickSaveFile::setFileStamperForTesting(nullptr);
        mPictures = QDir::homePath() + "/Pictures";
        QDir(mPictures).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(mPictures));
        mFolder = std::make_unique<USandboxPicturesFolder>();
        mQuickSave = std::make_unique<USandboxFriendlyQuickSaveFolder>();
        mQuickSave->setOutletRequiredPrefsFolder(mFolder.get());
        mQuickSave->awakeFromNib();
        mBuffer = std::make_unique<LumoraRenderBuffer>();
        ASSERT_TRUE(mBuffer->isInitialized());
        // The layer panel: the composition's texture shown, not mirrored.
        mPanel = std::make_unique<LumoraLayerViewNibbler>();
        auto *textureOn = new NSButton(mPanel.get());
        textureOn->setState(1);
        auto *matrix = new NSOGLTextureMatrixController(mPanel.get());
        matrix->set_textureEnabled(textureOn);
        mPanel->setLayerMatrixController(matrix);
        mBuffer->setLayerController(mPanel.get());
        mView = std::make_unique<SteppedView>();
        mView->outletLumoraLayerController = mPanel.get();
        mView->resize(64, 48);
        mView->outletLumoraBuffer = mBuffer.get();
        mView->outletCameraRebroadcastControl = &mBroadcast;
        mView->outletMenuItemOpenSnapshot = &mOpenSnapshot;
        mOpenSnapshot.setCheckable(true);
        mView->openCompositionPrivateData(InvertCameraComposition());
        ASSERT_TRUE(mView->isCompositionOpenPrivate());
        mView->applicationDidFinishLaunching(NSNotification());
        mOpenSnapshot.setChecked(false);
        ASSERT_TRUE(mView->snapshotTexture());
        ShowColour(0x336699);
    }
    void TearDown() override {
        SetGate(true);
        WaitForSaves();
        QuickSaveFile::setFileStamperForTesting(nullptr);
        CloseSnapViewers();
        mView->applicationWillTerminate(NSNotification());
        mView.reset();
        mBuffer.reset();
        mPanel.reset();
        mQuickSave.reset();
        mFolder.reset();
    }

    // One tick of the frame loop showing the colour; true when the frame was composed.
    bool ShowColour(uint32_t colour) {
        mView->picture = QuadrantCIImage(64, 48, {colour, colour, colour, colour});
        mView->setRenderFrameAvailable(false);
        mView->renderSceneDoubleTimer();
        return mView->renderFrameAvailable();
    }

    QStringList Snapshots() const {
        return QDir(mPictures).entryList({"Lumora *"}, QDir::Files, QDir::Name);
    }

    static bool HasColour(const QImage &image, uint32_t colour, int tolerance) {
        if (image.isNull()) return false;
        const QRgb pixel = image.pixel(image.width() / 2, image.height() / 2);
        return std::abs(qRed(pixel) - int((colour >> 16) & 0xFF)) <= tolerance &&
               std::abs(qGreen(pixel) - int((colour >> 8) & 0xFF)) <= tolerance &&
               std::abs(qBlue(pixel) - int(colour & 0xFF)) <= tolerance;
    }

    QString mPictures;
    std::unique_ptr<USandboxPicturesFolder> mFolder;
    std::unique_ptr<USandboxFriendlyQuickSaveFolder> mQuickSave;
    std::unique_ptr<LumoraLayerViewNibbler> mPanel;
    std::unique_ptr<LumoraRenderBuffer> mBuffer;
    std::unique_ptr<SteppedView> mView;
    BroadcastSwitch mBroadcast;
    QAction mOpenSnapshot{nullptr};
};

TEST_F(CameraViewSnapshots, EachFormatIsSavedAsTheNextFreeNumberAndNothingIsReplaced) {
    // Somebody's picture already holds the first name.
    QFile kept(mPictures + "/Lumora 0000.png");
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
    kept.write("keep me");
    kept.close();

    const QImage read = mView->snapCurrentNSBitmapImageRep();
    ASSERT_EQ(read.size(), QSize(640, 480));
    EXPECT_TRUE(HasColour(read, Inverted(0x336699), 2));

    const struct {
        int type;
        const char *extension, *format;
        int tolerance;
    } cases[] = {{QuikSaveImageType_JPEG, "jpg", "jpeg", 12},
                 {QuikSaveImageType_PNG, "png", "png", 2},
                 {QuikSaveImageType_TIFF, "tiff", "tiff", 2},
                 {QuikSaveImageType_PNG, "png", "png", 2}};
    QStringList before = Snapshots();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.extension);
        mView->snapShotSceneWithImageFormat(c.type);
        ASSERT_TRUE(WaitForSaves());
        const QStringList after = Snapshots();
        ASSERT_EQ(after.size(), before.size() + 1);
        QString added;
        for (const QString &name : after)
            if (!before.contains(name)) added = name;
        EXPECT_TRUE(added.startsWith("Lumora ")) << added.toStdString();
        EXPECT_TRUE(added.endsWith(QStringLiteral(".") + c.extension)) << added.toStdString();
        QImageReader reader(mPictures + "/" + added);
        EXPECT_EQ(reader.format(), QByteArray(c.format));
        EXPECT_TRUE(HasColour(reader.read(), Inverted(0x336699), c.tolerance));
        before = after;
    }
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("keep me"));
    EXPECT_TRUE(Snapshots().contains("Lumora 0001.png"));
    EXPECT_EQ(SnapViewers(), 0);  // the open-snapshot switch is off

    // Switched on: the next snapshot opens a viewer on the saved file.
    mView->toggleOpenSnapAction(nullptr);
    EXPECT_TRUE(mOpenSnapshot.isChecked());
    mView->snapShotScene(nullptr);
    ASSERT_TRUE(WaitForSaves());
    ASSERT_EQ(SnapViewers(), 1);
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *viewer = qobject_cast<SnapViewWindow *>(widget)) {
            EXPECT_TRUE(viewer->mediaPath().startsWith(mPictures + "/Lumora ")) << viewer->mediaPath().toStdString();
            EXPECT_FALSE(viewer->image().isNull());
        }
}

TEST_F(CameraViewSnapshots, NoFolderOrNoBufferSavesNothing) {
    mView->outletLumoraBuffer = nullptr;
    bool called = false;
    EXPECT_FALSE(mView->snapCurrentFrameWithCompletion([&](CGImageRef) { called = true; }));
    EXPECT_FALSE(called);
    EXPECT_TRUE(mView->snapCurrentNSBitmapImageRep().isNull());
    mView->snapShotSceneWithDefaultImageFormat();
    mView->outletLumoraBuffer = mBuffer.get();
    mQuickSave.reset();  // no snapshot folder
    mView->snapShotSceneWithDefaultImageFormat();
    EXPECT_EQ(NSUILumoraView::pendingSnapshotSaves(), 0);
    ASSERT_TRUE(WaitForSaves());
    EXPECT_TRUE(Snapshots().isEmpty());
}

TEST_F(CameraViewSnapshots, TenSnapshotsDropNoFrameAndEachKeepsItsOwnFrame) {
    SetGate(false);
    QuickSaveFile::setFileStamperForTesting(&HeldStamper);
    int dropped = 0;
    std::vector<uint32_t> shown;
    for (uint32_t i = 0; i < 10; ++i) {
        const uint32_t colour = ((i * 25u) << 16) | 0x4080u;
        if (!ShowColour(colour)) ++dropped;
        shown.push_back(Inverted(colour));
        mView->snapShotSceneWithImageFormat(QuikSaveImageType_PNG);
        // The next frame is composed at once, while the snapshot waits to be written.
        if (!ShowColour(0xFFFFFF)) ++dropped;
    }
    EXPECT_EQ(dropped, 0);
    // Not one save has finished: the frame loop never waited for the writer.
    EXPECT_EQ(NSUILumoraView::pendingSnapshotSaves(), 10);
    SetGate(true);
    ASSERT_TRUE(WaitForSaves());
    const QStringList names = Snapshots();
    ASSERT_EQ(names.size(), 10);
    for (int i = 0; i < 10; ++i) {
        char expected[32];
        std::snprintf(expected, sizeof expected, "Lumora %04d.png", i);
        EXPECT_EQ(names[i].toStdString(), expected);
        EXPECT_TRUE(HasColour(QImage(mPictures + "/" + names[i]), shown[size_t(i)], 2)) << i;
    }
}

// The client's "frame <id> <time> <first pixel>" line: the pixel's bytes (B, G, R, A).
bool PixelNear(const std::string &line, uint32_t colour) {
    if (line.size() < 8) return false;
    const unsigned long bytes = std::stoul(line.substr(line.size() - 8), nullptr, 16);
    const int b = int((bytes >> 24) & 0xFF), g = int((bytes >> 16) & 0xFF), r = int((bytes >> 8) & 0xFF),
              a = int(bytes & 0xFF);
    return std::abs(r - int((colour >> 16) & 0xFF)) <= 2 && std::abs(g - int((colour >> 8) & 0xFF)) <= 2 &&
           std::abs(b - int(colour & 0xFF)) <= 2 && a == 255;
}

TEST_F(CameraViewSnapshots, TheSharedSurfacesCarryTheViewsFrameToAClient) {
    IOSurfaceSharingController &sharing = mView->surfaceSharingController();
    ASSERT_NE(sharing.surfaceTextures(), nullptr);
    EXPECT_EQ(sharing.surfaceTextures()->textureClass().name, "LumoraIOSurfaceFBO");
    const std::vector<IOSurfaceSharingTextureRef> textures = sharing.surfaceTextures()->surfaceTextures();
    ASSERT_EQ(textures.size(), 3u);
    for (const auto &texture : textures) ASSERT_NE(dynamic_cast<LumoraIOSurfaceFBO *>(texture.get()), nullptr);

    mBroadcast.broadcasting = true;
    lumora::test::ChildProcess client({LUMORA_FRAMESHARING_CLIENT, "mach", "com.tarvex.Lumora2.IOSurfaceSharing", "3"});
    ASSERT_EQ(client.line(), "checkin 1 1");
    const uint32_t colours[] = {0x336699, 0x00FF00, 0xFF8000};
    for (uint32_t colour : colours) {
        ASSERT_TRUE(ShowColour(colour));
        const std::string line = client.line();
        EXPECT_TRUE(PixelNear(line, Inverted(colour))) << line;
    }
    EXPECT_EQ(WEXITSTATUS(client.finish()), 0);

    // Without a render buffer a shared surface is erased to transparent.
    auto *texture = dynamic_cast<LumoraIOSurfaceFBO *>(textures[0].get());
    mView->outletLumoraBuffer = nullptr;
    texture->renderScene();
    IOSurfaceRef surface = texture->surfaceCopy();
    ASSERT_NE(surface, nullptr);
    IOSurfaceLock(surface, kIOSurfaceLockReadOnly, nullptr);
    const auto *pixel = static_cast<const uint8_t *>(IOSurfaceGetBaseAddress(surface));
    EXPECT_EQ(pixel[0] | pixel[1] | pixel[2] | pixel[3], 0);
    IOSurfaceUnlock(surface, kIOSurfaceLockReadOnly, nullptr);
    CFRelease(surface);
    mView->outletLumoraBuffer = mBuffer.get();
}

}  // namespace

#include "CameraViewSnapshotTests.moc"
