#include <gtest/gtest.h>

#include <CocoaQZ/QTKit/QVTRControllerCVGrabber.h>

#include <QuickTime/TestCamera.h>
#include <dispatch/dispatch.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

#include <sys/stat.h>

#include "support/TestFolders.h"

namespace {

using namespace std::chrono_literals;

// Runs the main queue (the tests' fake main thread) until the condition holds.
bool DrainUntil(const std::function<bool()> &condition, std::chrono::milliseconds limit = 5000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        dispatch_main_queue_drain();
        if (condition()) return true;
        std::this_thread::sleep_for(5ms);
    }
    return false;
}

// The bytes of the first pixels of a buffer.
std::vector<uint8_t> FirstBytes(CVPixelBufferRef buffer, size_t count) {
    CVPixelBufferLockBaseAddress(buffer, kCVPixelBufferLock_ReadOnly);
    const auto *base = static_cast<const uint8_t *>(CVPixelBufferGetBaseAddress(buffer));
    std::vector<uint8_t> bytes(base, base + count);
    CVPixelBufferUnlockBaseAddress(buffer, kCVPixelBufferLock_ReadOnly);
    return bytes;
}

// Every byte of every row of the buffer repeats the 4-byte pattern.
bool AllPixelsAre(CVPixelBufferRef buffer, const std::vector<uint8_t> &pattern) {
    CVPixelBufferLockBaseAddress(buffer, kCVPixelBufferLock_ReadOnly);
    const auto *base = static_cast<const uint8_t *>(CVPixelBufferGetBaseAddress(buffer));
    const size_t rowBytes = CVPixelBufferGetBytesPerRow(buffer);
    const size_t used = CVPixelBufferGetWidth(buffer) * (CVPixelBufferGetPixelFormatType(buffer) ==
                                                                 kCVPixelFormatType_422YpCbCr8 ? 2 : 4);
    bool same = true;
    for (size_t y = 0; same && y < CVPixelBufferGetHeight(buffer); ++y)
        for (size_t x = 0; same && x < used; ++x) same = base[y * rowBytes + x] == pattern[x % 4];
    CVPixelBufferUnlockBaseAddress(buffer, kCVPixelBufferLock_ReadOnly);
    return same;
}

struct SessionDelegate : protocol_QVTRControllerSession {
    void captureSessionError(const QTCaptureError &error) override { errors.push_back(error); }
    void captureSessionEnded(const QString &url) override { ended.push_back(url); }
    std::vector<QTCaptureError> errors;
    std::vector<QString> ended;
};

class QVTRController : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("LUMORA_TEST_CAMERA", "1", 1);
        LumoraTestCameraSetUnplugged(false);
    }
    void TearDown() override {
        dispatch_main_queue_drain();
        unsetenv("LUMORA_TEST_CAMERA");
        LumoraTestCameraSetUnplugged(false);
    }
};

TEST_F(QVTRController, BlackFrameIsRealBlackOfTheAttributesFormatAndSize) {
    const struct {
        const char *name;
        QVariantMap attributes;
        uint32_t format;
        size_t width, height;
        std::vector<uint8_t> pattern;
    } cases[] = {
        {"default 2vuy of a size", QVTRControllerCVGrabber::defaultVideoFrameFormatWithFrameSize(640, 480),
         kCVPixelFormatType_422YpCbCr8, 640, 480, {128, 16, 128, 16}},
        {"default 2vuy, no size", QVTRControllerCVGrabber::defaultVideoFrameFormat(), kCVPixelFormatType_422YpCbCr8,
         640, 480, {128, 16, 128, 16}},
        {"BGRA", {{QTPixelBufferPixelFormatTypeKey, uint(kCVPixelFormatType_32BGRA)}, {QTPixelBufferWidthKey, 320},
                  {QTPixelBufferHeightKey, 240}},
         kCVPixelFormatType_32BGRA, 320, 240, {0, 0, 0, 255}},
        {"no format, sizes 0", {{QTPixelBufferIOSurfacePropertiesKey, QVariantMap{}}, {QTPixelBufferWidthKey, 0}},
         kCVPixelFormatType_32BGRA, 640, 480, {0, 0, 0, 255}},
        {"32 ARGB", {{QTPixelBufferPixelFormatTypeKey, uint(kCVPixelFormatType_32ARGB)}, {QTPixelBufferWidthKey, 64},
                     {QTPixelBufferHeightKey, 2}},
         kCVPixelFormatType_32ARGB, 64, 2, {255, 0, 0, 0}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QVTRControllerCVGrabber grabber;
        grabber.setPixelBufferAttributes(c.attributes);
        CVPixelBufferRef black = grabber.createEmptyBlackVideoFramePixelBuffer();
        ASSERT_NE(black, nullptr);
        EXPECT_EQ(CVPixelBufferGetPixelFormatType(black), c.format);
        EXPECT_EQ(CVPixelBufferGetWidth(black), c.width);
        EXPECT_EQ(CVPixelBufferGetHeight(black), c.height);
        EXPECT_TRUE(AllPixelsAre(black, c.pattern));
        CVPixelBufferRelease(black);
    }
    QVTRControllerCVGrabber grabber;
    grabber.setPixelBufferAttributes({});
    EXPECT_EQ(grabber.createEmptyBlackVideoFramePixelBuffer(), nullptr) << "no attributes, no frame";
}

TEST_F(QVTRController, BeginSelectsTheFirstCameraAndNoneDeselectsIt) {
    QVTRControllerVideo controller;
    EXPECT_EQ(controller.videoDevicesLocalizedNames(), (QStringList{"None", "Lumora Test Camera"}));
    EXPECT_EQ(controller.selectedVideoDeviceLocalizedName(), QStringLiteral("None"));
    controller.captureSessionBegin();
    ASSERT_NE(controller.session(), nullptr);
    EXPECT_TRUE(controller.session()->isRunning());
    EXPECT_EQ(controller.selectedVideoDeviceLocalizedName(), QStringLiteral("Lumora Test Camera"));
    EXPECT_TRUE(controller.hasRecordingDevice());
    EXPECT_FALSE(controller.selectedVideoDeviceProvidesAudio());
    EXPECT_EQ(controller.mediaFormatSummary(), QStringLiteral("Video, 2vuy, 640 x 480\n"));
    // No tape transport on a camera: nothing to control, nothing changes.
    EXPECT_EQ(controller.controllableDevice(), nullptr);
    controller.setDevicePlaying(true);
    controller.setDeviceFastforwarding(true);
    EXPECT_FALSE(controller.isDevicePlaying());
    EXPECT_FALSE(controller.isDeviceFastforwarding());
    EXPECT_FALSE(controller.isDeviceRewinding());

    controller.setSelectedVideoDeviceLocalizedName(QStringLiteral("None"));
    EXPECT_EQ(controller.selectedVideoDevice(), nullptr);
    EXPECT_FALSE(controller.hasRecordingDevice());
    EXPECT_EQ(controller.mediaFormatSummary(), QString());
    EXPECT_TRUE(controller.session()->isRunning()) << "the session runs on without input";
    controller.setSelectedVideoDeviceLocalizedName(QStringLiteral("Lumora Test Camera"));
    EXPECT_NE(controller.selectedVideoDevice(), nullptr);
    controller.captureSessionEnd();
    EXPECT_EQ(controller.selectedVideoDevice(), nullptr);
    EXPECT_FALSE(controller.session()->isRunning());
}

TEST_F(QVTRController, GrabberKeepsTheLatestCameraFrame) {
    QVTRControllerCVGrabber grabber;
    EXPECT_EQ(grabber.videoFrame(), nullptr) << "none before the first frame";
    grabber.setVideoFrameSize(320, 240);
    grabber.captureSessionBegin();
    ASSERT_NE(grabber.videoCaptureOutput(), nullptr);
    ASSERT_TRUE(DrainUntil([&] { return grabber.videoFrame() != nullptr; }));
    CVPixelBufferRef kept = grabber.videoFrameCopy();
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(CVPixelBufferGetPixelFormatType(kept), uint32_t(kCVPixelFormatType_422YpCbCr8));
    EXPECT_EQ(CVPixelBufferGetWidth(kept), 320u);
    EXPECT_EQ(CVPixelBufferGetHeight(kept), 240u);
    ASSERT_TRUE(DrainUntil([&] { return grabber.videoFrame() != kept; })) << "newer frames replace it";
    EXPECT_EQ(CVPixelBufferGetWidth(kept), 320u) << "the copy stays valid";
    CVPixelBufferRelease(kept);
    grabber.captureSessionEnd();
    // Ending closes the input: the frame is the black frame of the size asked for.
    CVPixelBufferRef black = grabber.videoFrame();
    ASSERT_NE(black, nullptr);
    EXPECT_EQ(CVPixelBufferGetWidth(black), 320u);
    EXPECT_TRUE(AllPixelsAre(black, {128, 16, 128, 16}));
}

TEST_F(QVTRController, UnpluggedCameraIsDeselectedAndTheFrameTurnsBlack) {
    QVTRControllerCVGrabber grabber;
    grabber.captureSessionBegin();
    ASSERT_TRUE(DrainUntil([&] { return grabber.videoFrame() != nullptr; }));
    ASSERT_NE(grabber.selectedVideoDevice(), nullptr);

    LumoraTestCameraSetUnplugged(true);
    ASSERT_TRUE(DrainUntil([&] { return grabber.selectedVideoDevice() == nullptr; }));
    EXPECT_EQ(grabber.videoDevicesLocalizedNames(), QStringList{"None"});
    EXPECT_TRUE(grabber.session()->isRunning());
    CVPixelBufferRef frame = grabber.videoFrame();
    ASSERT_NE(frame, nullptr);
    // No size was set: the default attributes' '2vuy' at 640 x 480, black (not 0xFF).
    EXPECT_EQ(CVPixelBufferGetPixelFormatType(frame), uint32_t(kCVPixelFormatType_422YpCbCr8));
    EXPECT_EQ(CVPixelBufferGetWidth(frame), 640u);
    EXPECT_EQ(CVPixelBufferGetHeight(frame), 480u);
    EXPECT_EQ(FirstBytes(frame, 4), (std::vector<uint8_t>{128, 16, 128, 16}));

    LumoraTestCameraSetUnplugged(false);
    ASSERT_TRUE(DrainUntil([&] { return grabber.videoDevicesLocalizedNames().size() == 2; }));
    EXPECT_EQ(grabber.selectedVideoDevice(), nullptr) << "a camera that comes back is not selected by itself";
    grabber.setSelectedVideoDeviceLocalizedName(QStringLiteral("Lumora Test Camera"));
    EXPECT_NE(grabber.selectedVideoDevice(), nullptr);
    grabber.captureSessionEnd();
}

TEST_F(QVTRController, RecordsANumberedMovieInTheTemporaryFolder) {
    lumora::test::ScopedFolder folder("qvtr-tmp");
    const char *previous = getenv("TMPDIR");
    const std::string saved = previous != nullptr ? previous : "";
    setenv("TMPDIR", folder.path().c_str(), 1);
    ASSERT_TRUE(lumora::test::WriteFile(folder.file("Lumora_000.mov"), "taken"));
    {
        SessionDelegate delegate;
        QVTRControllerVideo controller;
        controller.setDelegate(&delegate);
        controller.captureSessionBegin();
        controller.setRecording(true);
        ASSERT_TRUE(controller.isRecording());
        const std::string path = folder.file("Lumora_001.mov");
        std::this_thread::sleep_for(300ms);
        controller.setRecording(true);  // already recording: nothing
        controller.setRecording(false);
        EXPECT_FALSE(controller.isRecording());
        ASSERT_TRUE(DrainUntil([&] { return !delegate.ended.empty() || !delegate.errors.empty(); }));
        ASSERT_EQ(delegate.ended.size(), 1u);
        EXPECT_EQ(delegate.ended.front().toStdString(), path);
        struct stat info{};
        EXPECT_EQ(stat(path.c_str(), &info), 0);
        EXPECT_GT(info.st_size, 0);
        EXPECT_EQ(lumora::test::ReadFile(folder.file("Lumora_000.mov")), "taken");
        controller.captureSessionEnd();
    }
    if (previous != nullptr) setenv("TMPDIR", saved.c_str(), 1);
    else unsetenv("TMPDIR");
}

}  // namespace
