// The camera grabber with a bitmap-context frame buffer, against the Sequence Grabber's
// test camera: frames decompressed into the ARGB bitmap with known pixels, the frame buffer
// kept or rebuilt, the pixel format it accepts, stopping and closing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <CoreG/Capture/QCameraGrabCGContext.h>

#include "sdk/CoreQ/CameraTestSupport.h"
#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"

namespace {

// Counts the frames decompressed and checks each against the camera's own data: the frame
// number the camera wrote must be the one now in the bitmap.
class CheckingGrabber : public QCameraGrabCGContext {
public:
    OSErr DefaultDataProc(Ptr data, long dataSize) override {
        const OSErr err = QCameraGrabCGContext::DefaultDataProc(data, dataSize);
        if (err != noErr) return err;
        long rowBytes = 0;
        EXPECT_TRUE(mCameraImageDesc.GetExtension_rowb(rowBytes));
        const uint32_t sent = camera_test::ReadFrameNumber2vuy(reinterpret_cast<const uint8_t *>(data), rowBytes,
                                                               mCameraImageDesc.GetWidth());
        EXPECT_EQ(FrameNumberInBitmap(), sent);
        lastFrame = sent;
        ++frames;
        return noErr;
    }

    uint32_t FrameNumberInBitmap() const {
        return camera_test::ReadFrameNumberARGB(mFrameBuffer.mImageDataBytes, mFrameBuffer.mImageRowBytes,
                                                int(mFrameBuffer.mImageWidth));
    }

    // A, R, G, B of the bitmap's pixel.
    const uint8_t *Pixel(int x, int y) const {
        return mFrameBuffer.mImageDataBytes + size_t(y) * mFrameBuffer.mImageRowBytes + size_t(x) * 4;
    }

    bool IdleForFrames(int count) {
        const int wanted = frames + count;
        OSErr err = noErr;
        return camera_test::Until([&] { return frames >= wanted || err != noErr; }, [&] { err = Idle(); }) &&
               err == noErr;
    }

    int frames = 0;
    uint32_t lastFrame = 0;
};

class QCameraGrabCGContextTest : public corex_test::DebugLogFileTest {
protected:
    camera_test::TestCameraScope mCamera;
};

// The test camera's bars, full intensity: white, yellow, cyan, green, magenta, red, blue,
// black; column x of frame n shows bar ((x - 4n) mod 256) / 32.
void ExpectBar(const uint8_t *argb, int bar) {
    static const int kColours[8][3] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                                       {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
    EXPECT_EQ(argb[0], 255);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(argb[1 + c], kColours[bar][c], 12) << "bar " << bar << " component " << c;
}

TEST_F(QCameraGrabCGContextTest, DecompressesEachFrameIntoTheBitmap) {
    CheckingGrabber grabber;
    grabber.SetFramePacing(false, 1.0f);
    const Rect frame = {0, 0, 240, 320};
    ASSERT_EQ(grabber.OpenInitialize(frame, k32ARGBPixelFormat, nullptr), noErr);
    ASSERT_TRUE(grabber.IsFrameBufferConstructed());
    EXPECT_EQ(grabber.mFrameBuffer.mImageWidth, 320u);
    EXPECT_EQ(grabber.mFrameBuffer.mImageHeight, 240u);
    ASSERT_EQ(grabber.StartRecord(), noErr);
    ASSERT_TRUE(grabber.IdleForFrames(3));

    // The bars below the number rows, where they are not near an edge.
    const int n = int(grabber.lastFrame);
    for (int x = 8; x < 320; x += 32) {
        const int phase = (((x - 4 * n) % 256) + 256) % 256;
        if (phase % 32 < 4 || phase % 32 > 28) continue;
        ExpectBar(grabber.Pixel(x, 200), phase / 32);
    }
    EXPECT_EQ(LogText(), "");
}

TEST_F(QCameraGrabCGContextTest, ScalesTheCameraFrameOntoALargerFrameBuffer) {
    CheckingGrabber grabber;
    grabber.SetFramePacing(false, 1.0f);
    ASSERT_EQ(grabber.OpenInitialize(Rect{0, 0, 120, 160}, k32ARGBPixelFormat, nullptr), noErr);
    // A larger frame buffer: the camera is still asked for the first size.
    ASSERT_EQ(grabber.OpenInitialize(Rect{0, 0, 240, 320}, k32ARGBPixelFormat, nullptr), noErr);
    ASSERT_EQ(grabber.StartRecord(), noErr);
    EXPECT_EQ(grabber.mCameraImageDesc.GetWidth(), 160);
    ASSERT_TRUE(grabber.IdleForFrames(2));  // the number is read back from the scaled bitmap
    const int n = int(grabber.lastFrame);
    for (int x = 16; x < 320; x += 64) {
        const int cameraX = x / 2;
        const int phase = (((cameraX - 4 * n) % 256) + 256) % 256;
        if (phase % 32 < 4 || phase % 32 > 28) continue;
        ExpectBar(grabber.Pixel(x, 200), phase / 32);
    }
}

TEST_F(QCameraGrabCGContextTest, KeepsAFrameBufferOfTheSameSizeAndFormatAndRebuildsAnother) {
    CheckingGrabber grabber;
    grabber.SetFramePacing(false, 1.0f);
    ASSERT_EQ(grabber.OpenInitialize(Rect{0, 0, 120, 160}, k32ARGBPixelFormat, nullptr), noErr);
    const uint8_t *pixels = grabber.mFrameBuffer.mImageDataBytes;
    const GWorldPtr world = grabber.GetFrameBufferGWorldPtr();
    ASSERT_NE(pixels, nullptr);

    // The same size elsewhere: kept (the origin is not compared), the rectangle taken.
    ASSERT_EQ(grabber.OpenInitialize(Rect{10, 20, 130, 180}, k32ARGBPixelFormat, nullptr), noErr);
    EXPECT_EQ(grabber.mFrameBuffer.mImageDataBytes, pixels);
    EXPECT_EQ(grabber.GetFrameBufferGWorldPtr(), world);
    EXPECT_EQ(grabber.mFrameBufferRect.top, 10);
    EXPECT_EQ(grabber.mFrameBufferRect.left, 20);

    // Another size: rebuilt.
    ASSERT_EQ(grabber.OpenInitialize(Rect{0, 0, 60, 80}, k32ARGBPixelFormat, nullptr), noErr);
    EXPECT_EQ(grabber.mFrameBuffer.mImageWidth, 80u);
    EXPECT_EQ(grabber.mFrameBuffer.mImageHeight, 60u);
    QImageDescription description;
    ASSERT_TRUE(grabber.GetFrameBufferImageDescription(description));
    EXPECT_EQ(description.GetWidth(), 80);
    EXPECT_EQ(description.GetHeight(), 60);
    EXPECT_EQ(description.GetCodecType(), k32ARGBPixelFormat);
    EXPECT_EQ(LogText(), "");
}

TEST_F(QCameraGrabCGContextTest, AcceptsOnlyARGBFrameBuffers) {
    CheckingGrabber grabber;
    EXPECT_EQ(grabber.OpenInitialize(Rect{0, 0, 120, 160}, k2vuyPixelFormat, nullptr), paramErr);
    EXPECT_EQ(grabber.mComponent, nullptr);  // refused before any component is opened
    EXPECT_FALSE(grabber.IsFrameBufferConstructed());
    EXPECT_NE(LogText().find(" code : inFrameBufferPixelFormat==k32ARGBPixelFormat"), std::string::npos)
        << LogText();

    // Nor rectangles that make no bitmap.
    EXPECT_EQ(grabber.OpenInitialize(Rect{0, 0, 0, 160}, k32ARGBPixelFormat, nullptr), paramErr);
    EXPECT_EQ(grabber.OpenInitialize(Rect{50, 50, 10, 10}, k32ARGBPixelFormat, nullptr), paramErr);
    EXPECT_EQ(grabber.mComponent, nullptr);
}

TEST_F(QCameraGrabCGContextTest, StopRecordAnswersTheEndOfTheDecompression) {
    CheckingGrabber grabber;
    // Nothing was recording: ending no sequence is no error (the base answers paramErr).
    EXPECT_EQ(grabber.StopRecord(), noErr);
    // No sequence, no frame.
    char data[16] = {};
    EXPECT_EQ(grabber.QCameraGrabCGContext::DefaultDataProc(data, sizeof(data)), paramErr);

    grabber.SetFramePacing(false, 1.0f);
    ASSERT_EQ(grabber.OpenInitialize(Rect{0, 0, 120, 160}, k32ARGBPixelFormat, nullptr), noErr);
    ASSERT_EQ(grabber.StartRecord(), noErr);
    ASSERT_TRUE(grabber.IdleForFrames(1));
    EXPECT_TRUE(grabber.mDecomSeq.IsRunning());
    EXPECT_EQ(grabber.StopRecord(), noErr);
    EXPECT_FALSE(grabber.mDecomSeq.IsRunning());
    EXPECT_EQ(grabber.mVideoChannel, nullptr);
    EXPECT_TRUE(grabber.IsFrameBufferConstructed());  // the frame buffer outlives the channel
    EXPECT_TRUE(grabber.StopCamera());
}

TEST_F(QCameraGrabCGContextTest, CloseReleasesTheFrameBufferAndIdleThenDoesNothing) {
    CheckingGrabber grabber;
    grabber.SetFramePacing(true, 0.0f);
    ASSERT_EQ(grabber.OpenInitialize(Rect{0, 0, 120, 160}, k32ARGBPixelFormat, nullptr), noErr);
    ASSERT_EQ(grabber.StartRecord(), noErr);
    ASSERT_TRUE(grabber.IdleForFrames(1));
    EXPECT_EQ(grabber.Close(), noErr);
    EXPECT_FALSE(grabber.IsFrameBufferConstructed());
    EXPECT_EQ(grabber.GetFrameBufferGWorldPtr(), nullptr);
    EXPECT_EQ(grabber.GetFrameBufferPixMap(), nullptr);
    QImageDescription description;
    EXPECT_FALSE(grabber.GetFrameBufferImageDescription(description));
    for (int i = 0; i < 5; ++i) EXPECT_EQ(grabber.Idle(), noErr);
    EXPECT_EQ(grabber.mComponent, nullptr);
}

TEST_F(QCameraGrabCGContextTest, CanBeDestroyedWhileRecording) {
    for (int i = 0; i < 3; ++i) {
        CheckingGrabber grabber;
        grabber.SetFramePacing(false, 1.0f);
        ASSERT_EQ(grabber.OpenInitialize(Rect{0, 0, 120, 160}, k32ARGBPixelFormat, nullptr), noErr);
        ASSERT_EQ(grabber.StartRecord(), noErr);
        ASSERT_TRUE(grabber.IdleForFrames(1));
    }
    EXPECT_EQ(LogText(), "");
}

}  // namespace
