// Asynchronous still-frame movies: refusals that start nothing, a recording through the
// frame pool and the compressor queue, and a frame whose compression throws.
#include <QCam/QAsyncStillFrameMovieRecorder.h>
#include <QCam/QImageCompressionSettings.h>

#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGDataProvider.h>
#include <Foundation/NSException.h>
#include <QTKit/MovieFlattener.h>
#include <QuickTime/QuickTime.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "support/TestFolders.h"

namespace {

CGImageRef GreyImage(int width, int height, uint8_t value) {
    auto *bytes = new std::vector<uint8_t>(size_t(width) * height * 4, value);
    CGDataProviderRef provider = CGDataProviderCreateWithData(
        bytes, bytes->data(), bytes->size(),
        [](void *info, const void *, size_t) { delete static_cast<std::vector<uint8_t> *>(info); });
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGImageRef image = CGImageCreate(size_t(width), size_t(height), 8, 32, size_t(width) * 4, space,
                                     kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little, provider,
                                     nullptr, false, kCGRenderingIntentDefault);
    CGColorSpaceRelease(space);
    CGDataProviderRelease(provider);
    return image;
}

QUrl FileURL(const lumora::test::ScopedFolder &folder, const char *name) {
    return QUrl::fromLocalFile(QString::fromStdString(folder.file(name)));
}

TEST(AsyncStillFrameMovieRecorder, RefusesToBeginWhatItCannotRecord) {
    lumora::test::ScopedFolder folder("async-refusals");
    QAsyncStillFrameMovieRecorder recorder;
    recorder.setImageSizePixels(CGSize{64, 48});
    CGImageRef image = GreyImage(64, 48, 10);
    // No settings: no movie could ever be written, so begin must not answer yes (the caller
    // would start the microphone and never stop it).
    EXPECT_FALSE(recorder.beginRecordingMovieFileURL(FileURL(folder, "a.mov")));
    EXPECT_FALSE(recorder.isRecordingMovie());
    EXPECT_FALSE(recorder.addFrameImageRef(image, 0.1)) << "no recording under way";
    QImageCompressionSettings settings;
    recorder.outletCompressionSettings = &settings;
    recorder.setImageSizePixels(CGSize{64, 48});
    EXPECT_EQ(settings.outputFrameSize(), QSizeF(64, 48));
    // A taken file name.
    ASSERT_TRUE(lumora::test::WriteFile(folder.file("taken.mov"), "mine"));
    EXPECT_FALSE(recorder.beginRecordingMovieFileURL(FileURL(folder, "taken.mov")));
    EXPECT_EQ(lumora::test::ReadFile(folder.file("taken.mov")), "mine");
    EXPECT_FALSE(recorder.endRecordingMovie());
    settings.setFrameRate(25);
    ASSERT_TRUE(recorder.beginRecordingMovieFileURL(FileURL(folder, "b.mov")));
    EXPECT_DOUBLE_EQ(recorder.getFrameDurationNow(), 0.04);
    EXPECT_FALSE(recorder.beginRecordingMovieFileURL(FileURL(folder, "c.mov"))) << "already recording";
    EXPECT_TRUE(recorder.endRecordingMovie());
    CGImageRelease(image);
}

TEST(AsyncStillFrameMovieRecorder, FramesPassThroughThePoolIntoTheMovie) {
    lumora::test::ScopedFolder folder("async-movie");
    QImageCompressionSettings settings;
    settings.setFrameRate(30);
    QAsyncStillFrameMovieRecorder recorder;
    recorder.outletCompressionSettings = &settings;
    recorder.setImageSizePixels(CGSize{128, 96});
    ASSERT_TRUE(recorder.beginRecordingMovieFileURL(FileURL(folder, "async.mov")));
    EXPECT_TRUE(recorder.isRecordingMovie());
    const auto start = std::chrono::steady_clock::now();
    for (int n = 0; n < 12; ++n) {
        CGImageRef image = GreyImage(128, 96, uint8_t(20 * n));
        EXPECT_TRUE(recorder.addFrameImageRef(image, 1 / 30.0));
        CGImageRelease(image);
        std::this_thread::sleep_until(start + std::chrono::milliseconds(33 * (n + 1)));
    }
    EXPECT_TRUE(recorder.endRecordingMovie());
    EXPECT_FALSE(recorder.isRecordingMovie());
    lumora::qtkit::MovieFileInfo info;
    ASSERT_EQ(lumora::qtkit::GetMovieFileInfo(folder.file("async.mov"), info), noErr);
    EXPECT_EQ(info.videoCodec, "qtrle");
    EXPECT_EQ(info.width, 128);
    EXPECT_GE(info.videoFrames, 2);
    EXPECT_LE(info.videoFrames, 12);
    // Frames are timed by their capture: 12 frames 33 ms apart plus one frame's duration.
    EXPECT_GT(info.videoSeconds, 0.3);
    EXPECT_LT(info.videoSeconds, 5.0);
    // The movie layer plays it, for as long as its frames last.
    CFStringRef text = CFStringCreateWithCString(nullptr, folder.file("async.mov").c_str(), kCFStringEncodingUTF8);
    Handle dataRef = nullptr;
    OSType dataRefType = 0;
    ASSERT_EQ(QTNewDataReferenceFromFullPathCFString(text, kQTPOSIXPathStyle, 0, &dataRef, &dataRefType), noErr);
    CFRelease(text);
    Movie movie = nullptr;
    short id = 0;
    EXPECT_EQ(NewMovieFromDataRef(&movie, 0, &id, dataRef, dataRefType), noErr);
    DisposeHandle(dataRef);
    ASSERT_NE(movie, nullptr);
    EXPECT_NEAR(double(GetMovieDuration(movie)) / GetMovieTimeScale(movie), info.videoSeconds, 1 / 30.0);
    DisposeMovie(movie);
}

// A compressor whose encoding throws for every frame.
class ThrowingCompressor : public QAsyncFrameCompressor {
public:
    using QAsyncFrameCompressor::QAsyncFrameCompressor;

protected:
    void compressFrameOnCurrentThread(const std::shared_ptr<QAsyncEncoderFrameProtocol> &) override {
        NSException::raise(NSGenericException, QStringLiteral("the encoder failed"));
    }
};

TEST(AsyncStillFrameMovieRecorder, AFrameThatThrowsIsDroppedAndItsReaderReturns) {
    QImageCompressionSettings settings;
    ThrowingCompressor compressor(settings);
    CGImageFrameQueue queue(AsyncBaseGrabber::defaultReaderQueueSize(), 16, 16);
    CGImageRef image = GreyImage(16, 16, 1);
    for (int n = 0; n < 20; ++n) {
        std::shared_ptr<AsyncBaseReader> reader = queue.copyAndRemoveOldestItemFromFreeQ();
        ASSERT_NE(reader, nullptr) << "frame " << n << ": the pool shrank";
        queue.setPendingFrame(image);
        reader->asyncBeginCaptureFrameWithSequenceStartTime(AsyncGrabberTimeNow());
        ASSERT_EQ(queue.copyAndRemoveOldestItemFromFilledQ(), reader);
        EXPECT_TRUE(compressor.compressInputFrameAsynchronous(QAsyncCapturedFrame::frameWithAsyncFrameSource(reader)));
        reader.reset();
        compressor.flushImageCompressionQueue();
    }
    EXPECT_EQ(queue.freeQ()->numberOfObjectsInQueue(), 9u) << "every reader came back";
    EXPECT_TRUE(compressor.compressInputFrameAsynchronous(nullptr));
    CGImageRelease(image);
}

}  // namespace
