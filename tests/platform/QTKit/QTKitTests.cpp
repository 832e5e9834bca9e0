#include <gtest/gtest.h>

#include <QTKit/QTKit.h>

#include <Foundation/NSNotification.h>
#include <QuickTime/QuickTime.h>
#include <QuickTime/TestCamera.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include <sys/stat.h>

#include "support/TestFolders.h"

namespace {

using namespace std::chrono_literals;

// The test camera's frame number from the cells of its top row (TestCamera.h); -1 when a cell
// is neither white nor black.
int64_t FrameNumberOf(const uint8_t *row, int width, uint32_t format) {
    uint32_t number = 0;
    for (int cell = 0; cell < 32; ++cell) {
        const int x = (2 * cell + 1) * width / 64;
        int luma = 0;
        if (format == kCVPixelFormatType_422YpCbCr8) luma = row[x * 2 + 1];
        else if (format == kCVPixelFormatType_32BGRA) luma = row[x * 4 + 1];
        else luma = row[x * 4 + 2];  // A R G B
        if (luma > 100 && luma < 170) return -1;
        number = (number << 1) | (luma >= 170 ? 1u : 0u);
    }
    return number;
}

struct Received {
    uint32_t format;
    size_t width, height;
    int64_t number;
    int64_t microseconds;
};

class Collector : public protocol_QTCaptureDecompressedVideoOutputDelegate {
public:
    void captureOutputDidOutputVideoFrame(QTCaptureOutput *, CVImageBufferRef frame, const QTSampleBuffer &sample,
                                          QTCaptureConnection *connection) override {
        EXPECT_NE(connection, nullptr);
        CVPixelBufferLockBaseAddress(frame, kCVPixelBufferLock_ReadOnly);
        const auto *base = static_cast<const uint8_t *>(CVPixelBufferGetBaseAddress(frame));
        const Received got{CVPixelBufferGetPixelFormatType(frame), CVPixelBufferGetWidth(frame),
                           CVPixelBufferGetHeight(frame),
                           FrameNumberOf(base, int(CVPixelBufferGetWidth(frame)), CVPixelBufferGetPixelFormatType(frame)),
                           sample.captureMicroseconds};
        CVPixelBufferUnlockBaseAddress(frame, kCVPixelBufferLock_ReadOnly);
        std::lock_guard guard(mLock);
        mFrames.push_back(got);
    }
    std::vector<Received> frames() {
        std::lock_guard guard(mLock);
        return mFrames;
    }
    bool waitFor(size_t count, std::chrono::milliseconds limit = 5000ms) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            if (frames().size() >= count) return true;
            std::this_thread::sleep_for(2ms);
        }
        return false;
    }

private:
    std::mutex mLock;
    std::vector<Received> mFrames;
};

QTCaptureDevice *TestCamera() {
    for (QTCaptureDevice *device : QTCaptureDevice::inputDevicesWithMediaType(QTMediaTypeVideo))
        if (device->localizedDisplayName() == QLatin1String("Lumora Test Camera")) return device;
    return nullptr;
}

class QTKitCapture : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("LUMORA_TEST_CAMERA", "1", 1);
        LumoraTestCameraSetUnplugged(false);
        mDevice = TestCamera();
        ASSERT_NE(mDevice, nullptr);
    }
    void TearDown() override {
        if (mDevice != nullptr) mDevice->close();
        unsetenv("LUMORA_TEST_CAMERA");
        LumoraTestCameraSetUnplugged(false);
    }
    // A running session of the test camera with the output.
    std::unique_ptr<QTCaptureSession> Start(const std::shared_ptr<QTCaptureOutput> &output) {
        auto session = std::make_unique<QTCaptureSession>();
        QTCaptureError error;
        EXPECT_TRUE(mDevice->open(&error)) << error.localizedDescription.toStdString();
        mInput = QTCaptureDeviceInput::deviceInputWithDevice(mDevice, &error);
        EXPECT_NE(mInput, nullptr);
        EXPECT_TRUE(session->addInput(mInput, &error));
        if (output) {
            EXPECT_TRUE(session->addOutput(output, &error));
        }
        session->startRunning();
        return session;
    }

    QTCaptureDevice *mDevice = nullptr;
    std::shared_ptr<QTCaptureDeviceInput> mInput;
};

TEST_F(QTKitCapture, ListsTheTestCameraWithoutTransportOrSound) {
    const auto video = QTCaptureDevice::inputDevicesWithMediaType(QTMediaTypeVideo);
    ASSERT_FALSE(video.empty());
    EXPECT_EQ(video.front(), mDevice) << "listed first with LUMORA_TEST_CAMERA=1";
    EXPECT_EQ(TestCamera(), mDevice) << "one object per device";
    EXPECT_TRUE(QTCaptureDevice::inputDevicesWithMediaType(QTMediaTypeMuxed).empty());
    EXPECT_TRUE(QTCaptureDevice::inputDevicesWithMediaType(QTMediaTypeSound).empty());
    EXPECT_TRUE(mDevice->hasMediaType(QTMediaTypeVideo));
    EXPECT_FALSE(mDevice->hasMediaType(QTMediaTypeMuxed));
    EXPECT_FALSE(mDevice->attributeForKey(QTCaptureDeviceAVCTransportControlsAttribute).isValid());
    EXPECT_TRUE(mDevice->attributeIsReadOnly(QTCaptureDeviceAVCTransportControlsAttribute));
    EXPECT_FALSE(mDevice->setAttribute(QVariantMap{}, QTCaptureDeviceAVCTransportControlsAttribute));
    EXPECT_EQ(QTCaptureDevice::deviceWithUniqueID(mDevice->uniqueID()), mDevice);
}

TEST_F(QTKitCapture, ImageControlsReachAnOpenDeviceThatHasThem) {
    double value = -1;
    EXPECT_FALSE(mDevice->imageControlValue(QTCaptureImageControl::Brightness, value)) << "closed";
    EXPECT_FALSE(mDevice->setImageControlValue(QTCaptureImageControl::Brightness, 0.25)) << "closed";
    ASSERT_TRUE(mDevice->open());
    const struct {
        QTCaptureImageControl control;
        double set, expect;
        bool present;
    } cases[] = {
        {QTCaptureImageControl::Brightness, 0.25, 0.25, true},
        {QTCaptureImageControl::Contrast, 1.5, 1.0, true},     // clamped
        {QTCaptureImageControl::Saturation, -3.0, 0.0, true},  // clamped
        {QTCaptureImageControl::Gamma, 0.5, 0.0, false},       // the test camera has none
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(int(c.control));
        EXPECT_EQ(mDevice->setImageControlValue(c.control, c.set), c.present);
        value = -1;
        EXPECT_EQ(mDevice->imageControlValue(c.control, value), c.present);
        if (c.present) {
            EXPECT_DOUBLE_EQ(value, c.expect);
        }
    }
    EXPECT_FALSE(mDevice->setImageControlValue(QTCaptureImageControl::Brightness, std::nan(""))) << "not a number";
}

TEST_F(QTKitCapture, OutputDeliversPixelBuffersOfTheFormatAskedForWithTheCameraFrames) {
    const struct {
        uint32_t format;
        int width, height;
    } cases[] = {
        {kCVPixelFormatType_422YpCbCr8, 640, 480},
        {kCVPixelFormatType_32BGRA, 640, 480},
        {kCVPixelFormatType_32ARGB, 320, 240},
        {0, 0, 0},  // no attributes: '2vuy' at 640 x 480
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.format << std::dec << " " << c.width << "x" << c.height);
        Collector collector;
        auto output = std::make_shared<QTCaptureDecompressedVideoOutput>();
        QVariantMap attributes;
        if (c.format != 0) attributes.insert(QTPixelBufferPixelFormatTypeKey, uint(c.format));
        if (c.width != 0) {
            attributes.insert(QTPixelBufferWidthKey, c.width);
            attributes.insert(QTPixelBufferHeightKey, c.height);
        }
        output->setPixelBufferAttributes(attributes);
        output->setDelegate(&collector);
        auto session = Start(output);
        EXPECT_TRUE(session->isRunning());
        ASSERT_TRUE(collector.waitFor(4));
        session->stopRunning();
        const size_t stopped = collector.frames().size();
        std::this_thread::sleep_for(60ms);
        EXPECT_EQ(collector.frames().size(), stopped) << "nothing after stopRunning";
        const auto frames = collector.frames();
        int64_t previous = -1;
        for (const Received &f : frames) {
            EXPECT_EQ(f.format, c.format != 0 ? c.format : uint32_t(kCVPixelFormatType_422YpCbCr8));
            EXPECT_EQ(f.width, size_t(c.width != 0 ? c.width : 640));
            EXPECT_EQ(f.height, size_t(c.height != 0 ? c.height : 480));
            EXPECT_GT(f.number, previous) << "the test camera's numbers, increasing";
            previous = f.number;
        }
        output->setDelegate(nullptr);
        mDevice->close();
    }
}

TEST_F(QTKitCapture, ConnectionDescribesTheFormatAndAnnouncesTheChange) {
    std::vector<QString> names;
    auto &centre = NSNotificationCenter::defaultCenter();
    auto will = centre.addObserverForName(QTCaptureConnectionFormatDescriptionWillChangeNotification, nullptr,
                                          [&](const NSNotification &n) { names.push_back(n.name()); });
    auto did = centre.addObserverForName(QTCaptureConnectionFormatDescriptionDidChangeNotification, nullptr,
                                         [&](const NSNotification &n) { names.push_back(n.name()); });
    auto session = Start(nullptr);
    ASSERT_EQ(mInput->connections().size(), 1u);
    QTCaptureConnection *connection = mInput->connections().front();
    EXPECT_EQ(connection->mediaType(), QTMediaTypeVideo);
    EXPECT_EQ(connection->formatDescription().localizedFormatSummary(), QStringLiteral("Video, 2vuy, 640 x 480"));
    EXPECT_EQ(names, (std::vector<QString>{QTCaptureConnectionFormatDescriptionWillChangeNotification,
                                           QTCaptureConnectionFormatDescriptionDidChangeNotification}));
    session->stopRunning();
    centre.removeObserver(will);
    centre.removeObserver(did);
    EXPECT_EQ(QTFormatDescription().localizedFormatSummary(), QString());
}

TEST_F(QTKitCapture, UnpluggingPostsTheDisconnectionAndTheSessionGoesOn) {
    std::mutex lock;
    std::vector<std::pair<QString, QObject *>> posted;
    auto &centre = NSNotificationCenter::defaultCenter();
    auto record = [&](const NSNotification &n) {
        std::lock_guard guard(lock);
        posted.emplace_back(n.name(), n.object());
    };
    auto gone = centre.addObserverForName(QTCaptureDeviceWasDisconnectedNotification, nullptr, record);
    auto back = centre.addObserverForName(QTCaptureDeviceWasConnectedNotification, nullptr, record);
    auto waitCount = [&](size_t n) {
        for (int i = 0; i < 300; ++i) {
            {
                std::lock_guard guard(lock);
                if (posted.size() >= n) return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    };
    Collector collector;
    auto output = std::make_shared<QTCaptureDecompressedVideoOutput>();
    output->setDelegate(&collector);
    auto session = Start(output);
    ASSERT_TRUE(collector.waitFor(2));

    LumoraTestCameraSetUnplugged(true);
    ASSERT_TRUE(waitCount(1));
    std::this_thread::sleep_for(250ms);  // the monitor looks again: no second disconnection
    {
        std::lock_guard guard(lock);
        ASSERT_EQ(posted.size(), 1u);
        EXPECT_EQ(posted[0].first, QTCaptureDeviceWasDisconnectedNotification);
        EXPECT_EQ(posted[0].second, mDevice);
    }
    EXPECT_FALSE(mDevice->isConnected());
    EXPECT_TRUE(session->isRunning()) << "the session goes on without the camera";
    const size_t frames = collector.frames().size();
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(collector.frames().size(), frames);

    LumoraTestCameraSetUnplugged(false);
    ASSERT_TRUE(waitCount(2));
    {
        std::lock_guard guard(lock);
        EXPECT_EQ(posted[1].first, QTCaptureDeviceWasConnectedNotification);
        EXPECT_EQ(posted[1].second, mDevice);
    }
    EXPECT_TRUE(mDevice->isConnected());
    session->stopRunning();
    output->setDelegate(nullptr);
    centre.removeObserver(gone);
    centre.removeObserver(back);
}

TEST_F(QTKitCapture, AnUnpluggedDeviceCannotBeOpened) {
    LumoraTestCameraSetUnplugged(true);
    QTCaptureError error;
    EXPECT_FALSE(mDevice->open(&error));
    EXPECT_EQ(error.code, noDeviceForChannel);
    EXPECT_EQ(QTCaptureDeviceInput::deviceInputWithDevice(mDevice), nullptr);
}

// Records what the movie output tells its delegate.
class FileDelegate : public protocol_QTCaptureFileOutputDelegate {
public:
    void captureOutputDidStartRecordingToOutputFileAtURL(QTCaptureMovieFileOutput *, const QString &url,
                                                         const std::vector<QTCaptureConnection *> &) override {
        std::lock_guard guard(lock);
        events.push_back("start " + url.toStdString());
    }
    void captureOutputDidFinishRecordingToOutputFileAtURL(QTCaptureMovieFileOutput *, const QString &url,
                                                          const QTCaptureError &error) override {
        std::lock_guard guard(lock);
        events.push_back("finish " + url.toStdString());
        finishError = error;
    }
    std::mutex lock;
    std::vector<std::string> events;
    QTCaptureError finishError;
};

TEST_F(QTKitCapture, MovieFileOutputWritesAMovieTheQuickTimeLayerOpens) {
    lumora::test::ScopedFolder folder("qtkit-movie");
    const std::string path = folder.file("Lumora_000.mov");
    Collector collector;
    auto frames = std::make_shared<QTCaptureDecompressedVideoOutput>();
    frames->setDelegate(&collector);
    auto movieOutput = std::make_shared<QTCaptureMovieFileOutput>();
    FileDelegate delegate;
    movieOutput->setDelegate(&delegate);
    auto session = Start(frames);
    ASSERT_TRUE(session->addOutput(movieOutput));
    movieOutput->recordToOutputFileURL(QString::fromStdString(path));
    EXPECT_EQ(movieOutput->outputFileURL(), QString::fromStdString(path));
    const size_t before = collector.frames().size();
    ASSERT_TRUE(collector.waitFor(before + 8));
    struct stat info{};
    EXPECT_NE(stat(path.c_str(), &info), 0) << "no half-written movie under the name";
    movieOutput->recordToOutputFileURL(QString());
    EXPECT_TRUE(movieOutput->outputFileURL().isEmpty());
    session->stopRunning();
    frames->setDelegate(nullptr);
    {
        std::lock_guard guard(delegate.lock);
        ASSERT_EQ(delegate.events.size(), 2u);
        EXPECT_EQ(delegate.events[0], "start " + path);
        EXPECT_EQ(delegate.events[1], "finish " + path);
        EXPECT_FALSE(delegate.finishError) << delegate.finishError.localizedDescription.toStdString();
    }

    EnterMovies();
    CFStringRef cfPath = CFStringCreateWithCString(nullptr, path.c_str(), kCFStringEncodingUTF8);
    Handle dataRef = nullptr;
    OSType dataRefType = 0;
    ASSERT_EQ(QTNewDataReferenceFromFullPathCFString(cfPath, kQTPOSIXPathStyle, 0, &dataRef, &dataRefType), noErr);
    CFRelease(cfPath);
    const Rect bounds{0, 0, 480, 640};
    GWorldPtr world = nullptr;
    ASSERT_EQ(QTNewGWorld(&world, k32ARGBPixelFormat, &bounds, nullptr, nullptr, 0), noErr);
    SetGWorld(world, nullptr);
    Movie movie = nullptr;
    short id = 0;
    EXPECT_EQ(NewMovieFromDataRef(&movie, newMovieActive, &id, dataRef, dataRefType), noErr);
    SetGWorld(nullptr, nullptr);
    DisposeHandle(dataRef);
    ASSERT_NE(movie, nullptr);
    EXPECT_GT(GetMovieDuration(movie), 0);
    SetMovieGWorld(movie, world, nullptr);
    SetMovieTimeValue(movie, 0);
    UpdateMovie(movie);
    MoviesTask(movie, 0);
    PixMapHandle pixels = GetGWorldPixMap(world);
    const auto *row = reinterpret_cast<const uint8_t *>((**pixels).baseAddr);
    const int64_t first = FrameNumberOf(row, 640, kCVPixelFormatType_32ARGB);
    bool seen = false;
    for (const Received &f : collector.frames()) seen = seen || f.number == first;
    EXPECT_TRUE(seen) << "the movie's first frame is a delivered camera frame (number " << first << ")";
    DisposeMovie(movie);
    DisposeGWorld(world);
}

TEST_F(QTKitCapture, MovieFileOutputNeverOverwritesAFile) {
    lumora::test::ScopedFolder folder("qtkit-taken");
    const std::string path = folder.file("taken.mov");
    ASSERT_TRUE(lumora::test::WriteFile(path, "mine"));
    Collector collector;
    auto frames = std::make_shared<QTCaptureDecompressedVideoOutput>();
    frames->setDelegate(&collector);
    auto movieOutput = std::make_shared<QTCaptureMovieFileOutput>();
    FileDelegate delegate;
    movieOutput->setDelegate(&delegate);
    auto session = Start(frames);
    ASSERT_TRUE(session->addOutput(movieOutput));
    movieOutput->recordToOutputFileURL(QString::fromStdString(path));
    ASSERT_TRUE(collector.waitFor(collector.frames().size() + 4));
    session->stopRunning();
    frames->setDelegate(nullptr);
    EXPECT_TRUE(movieOutput->outputFileURL().isEmpty()) << "the failed recording ended";
    EXPECT_EQ(lumora::test::ReadFile(path), "mine");
    std::lock_guard guard(delegate.lock);
    ASSERT_FALSE(delegate.events.empty());
    EXPECT_EQ(delegate.events.back(), "finish " + path);
    EXPECT_EQ(delegate.finishError.code, dupFNErr);
}

TEST_F(QTKitCapture, ARecordingWithoutFramesEndsWithAnError) {
    lumora::test::ScopedFolder folder("qtkit-empty");
    const std::string path = folder.file("empty.mov");
    auto movieOutput = std::make_shared<QTCaptureMovieFileOutput>();
    FileDelegate delegate;
    movieOutput->setDelegate(&delegate);
    movieOutput->recordToOutputFileURL(QString::fromStdString(path));
    movieOutput->recordToOutputFileURL(QString());
    struct stat info{};
    EXPECT_NE(stat(path.c_str(), &info), 0);
    std::lock_guard guard(delegate.lock);
    ASSERT_EQ(delegate.events.size(), 1u);
    EXPECT_TRUE(bool(delegate.finishError));
    EXPECT_FALSE(delegate.finishError.recordingSuccessfullyFinished);
}

}  // namespace
