// The asynchronous frame grabber: the pool of nine readers between the free and the filled
// queue, drops while every reader is out, pacing by a minimum frame interval, and the
// still-image readers and their pixel buffers.
#include <CocoaGL/AsyncFrameGrabber.h>

#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGDataProvider.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

// A width x height BGRA image whose every byte is `value`.
CGImageRef MakeImage(int width, int height, uint8_t value) {
    const size_t rowBytes = size_t(width) * 4;
    auto *bytes = new std::vector<uint8_t>(rowBytes * size_t(height), value);
    CGDataProviderRef provider = CGDataProviderCreateWithData(
        bytes, bytes->data(), bytes->size(),
        [](void *info, const void *, size_t) { delete static_cast<std::vector<uint8_t> *>(info); });
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGImageRef image = CGImageCreate(size_t(width), size_t(height), 8, 32, rowBytes, space,
                                     kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little, provider,
                                     nullptr, false, kCGRenderingIntentDefault);
    CGColorSpaceRelease(space);
    CGDataProviderRelease(provider);
    return image;
}

// A grabber on a clock the test moves, keeping the readers it is handed.
class TestGrabber : public AsyncBaseGrabber {
public:
    double clock = 1024.0;
    std::vector<std::shared_ptr<AsyncBaseReader>> delivered;
    void capturedFrameReady(const std::shared_ptr<AsyncBaseReader> &reader) override { delivered.push_back(reader); }

protected:
    double now() const override { return clock; }
};

struct Pool {
    TestGrabber grabber;
    std::shared_ptr<CGImageFrameQueue> queue;
    CGImageRef image;
    Pool() : queue(std::make_shared<CGImageFrameQueue>(AsyncBaseGrabber::defaultReaderQueueSize(), 8, 6)) {
        grabber.setFrameQueueController(queue);
        image = MakeImage(8, 6, 0x40);
    }
    ~Pool() { CGImageRelease(image); }
    void frame() {
        queue->setPendingFrame(image);
        grabber.captureFramesWithUnlimitedFrameRate();
    }
    size_t freeCount() const { return queue->freeQ()->numberOfObjectsInQueue(); }
};

TEST(AsyncFrameGrabber, PoolDropsFramesWhileEveryReaderIsOutAndResumesOnReuse) {
    ASSERT_TRUE(import_AsyncFrameGrabber());
    Pool pool;
    EXPECT_EQ(pool.freeCount(), 9u);
    for (int n = 0; n < 9; ++n) pool.frame();
    EXPECT_EQ(pool.grabber.delivered.size(), 9u);
    EXPECT_EQ(pool.freeCount(), 0u);

    // The tenth frame finds no free reader: nothing begins, the image stays pending.
    pool.frame();
    EXPECT_EQ(pool.grabber.delivered.size(), 9u);
    EXPECT_EQ(pool.queue->pendingFrame(), pool.image);

    // A reader given back by the encoder takes the next frame.
    pool.grabber.delivered.front()->asyncReuseCaptureFrame();
    EXPECT_EQ(pool.freeCount(), 1u);
    pool.frame();
    EXPECT_EQ(pool.grabber.delivered.size(), 10u);
    EXPECT_EQ(pool.grabber.delivered.back(), pool.grabber.delivered.front()) << "the reused reader";
    EXPECT_EQ(pool.queue->pendingFrame(), nullptr);
}

TEST(AsyncFrameGrabber, EndDeliversAFilledReaderEvenWhenNoneIsFree) {
    Pool pool;
    for (int n = 0; n < 9; ++n) {
        pool.queue->setPendingFrame(pool.image);
        pool.grabber.beginAsyncCaptureSequence();
        ASSERT_TRUE(pool.grabber.beginAsyncFrameWithCaptureFrameTime(pool.grabber.captureStart()));
    }
    pool.frame();  // begins nothing, delivers the oldest filled reader
    EXPECT_EQ(pool.grabber.delivered.size(), 1u);
}

TEST(AsyncFrameGrabber, ReaderBegunWithoutAPendingImageGoesBackToTheFreeQueue) {
    Pool pool;
    // Twenty frame-loop ticks with nothing rendered: before the mend each took one reader for
    // good, so after nine the pool was empty and every later frame was dropped.
    for (int n = 0; n < 20; ++n) pool.grabber.captureFramesWithUnlimitedFrameRate();
    EXPECT_EQ(pool.freeCount(), 9u);
    EXPECT_TRUE(pool.grabber.delivered.empty());
    pool.frame();
    EXPECT_EQ(pool.grabber.delivered.size(), 1u);
}

TEST(AsyncFrameGrabber, MinimumFrameRateBeginsOnlyAfterMoreThanOneInterval) {
    // 8 fps (times exact in binary) called every 62.5 ms: a frame on every other call; an
    // interval of exactly 125 ms is not enough.
    struct Step {
        double at;
        bool begins;
    };
    const Step steps[] = {{0.0, true},    {0.0625, false}, {0.125, false}, {0.1875, true},
                          {0.25, false},  {0.3125, false}, {0.375, true},  {0.4375, false}};
    Pool pool;
    const double start = pool.grabber.clock;
    size_t expected = 0;
    for (const Step &step : steps) {
        pool.grabber.clock = start + step.at;
        pool.queue->setPendingFrame(pool.image);
        pool.grabber.captureFramesWithMinimumFrameRate(8.0);
        if (step.begins) ++expected;
        EXPECT_EQ(pool.grabber.delivered.size(), expected) << "at " << step.at;
        for (auto &reader : pool.grabber.delivered) reader->asyncReuseCaptureFrame();
    }
    // A new sequence begins at once.
    pool.grabber.startGrabbering();
    pool.grabber.clock += 0.001;
    pool.queue->setPendingFrame(pool.image);
    pool.grabber.captureFramesWithMinimumFrameRate(8.0);
    EXPECT_EQ(pool.grabber.delivered.size(), expected + 1);
}

TEST(AsyncFrameGrabber, ReaderStampsTimeSinceTheSequenceStartAndTheFlippedMousePoint) {
    AsyncBaseReader::setMouseLocationFunction([] { return CGPoint{30, 100}; });
    CGImageFrameQueue queue(1, 640, 480);
    std::shared_ptr<AsyncBaseReader> reader = queue.copyAndRemoveOldestItemFromFreeQ();
    ASSERT_NE(reader, nullptr);
    CGImageRef image = MakeImage(640, 480, 1);
    queue.setPendingFrame(image);
    reader->asyncBeginCaptureFrameWithSequenceStartTime(AsyncGrabberTimeNow() - 2.5);
    EXPECT_NEAR(reader->captureFrameTimeStamp(), 2.5, 0.25);
    EXPECT_EQ(reader->point().x, 30);
    EXPECT_EQ(reader->point().y, 380);
    EXPECT_EQ(queue.copyAndRemoveOldestItemFromFilledQ(), reader);
    AsyncBaseReader::setMouseLocationFunction(nullptr);
    CGImageRelease(image);
}

TEST(AsyncFrameGrabber, FrameHandsOutAPixelBufferOfTheImageBytesOnce) {
    CGImageFrameQueue queue(1, 4, 2);
    std::shared_ptr<AsyncBaseReader> reader = queue.copyAndRemoveOldestItemFromFreeQ();
    CGImageRef image = MakeImage(4, 2, 0x7f);
    queue.setPendingFrame(image);
    reader->asyncBeginCaptureFrameWithSequenceStartTime(AsyncGrabberTimeNow());
    CVPixelBufferRef buffer = reader->asyncEndCaptureFrameCopyPixelBuffer();
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(CVPixelBufferGetPixelFormatType(buffer), OSType('BGRA'));
    EXPECT_EQ(CVPixelBufferGetWidth(buffer), 4u);
    EXPECT_EQ(CVPixelBufferGetHeight(buffer), 2u);
    const auto *bytes = static_cast<const uint8_t *>(CVPixelBufferGetBaseAddress(buffer));
    EXPECT_EQ(bytes[0], 0x7f);
    EXPECT_EQ(bytes[4 * 4 * 2 - 1], 0x7f);
    CVPixelBufferRelease(buffer);
    EXPECT_EQ(reader->asyncEndCaptureFrameCopyPixelBuffer(), nullptr) << "the image was dropped";
    CGImageRelease(image);
    EXPECT_EQ(CGImagePixelBuffer::copyPixelBufferWithCGImage(nullptr), nullptr);
    EXPECT_STREQ(CVReturnName(-6681), "kCVReturnInvalidSize = -6681");
    EXPECT_STREQ(CVReturnName(12), "CVReturn (UNKNOWN)");
}

}  // namespace
