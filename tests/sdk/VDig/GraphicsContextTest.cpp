// Frames drawn by Quartz: the bitmap's bytes are the frame's, erased, drawn with text and
// copied out exactly; a frame locked elsewhere is left alone.
#include <VDig/UVideoFrameBuffer_GraphicsContext.h>

#include <gtest/gtest.h>

#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace UVideoFrameBuffer;

std::vector<UInt8> Bytes(const Data &frame) {
    const UInt8 *data = static_cast<const UInt8 *>(frame.mFrameBufferData);
    return std::vector<UInt8>(data, data + frame.mFrameBufferDataSizeBytes);
}

// Memory rows (top-down) holding a pixel unlike pixel (0, 0) of the top row.
std::vector<SInt32> RowsDrawnOn(const Data &frame, const UInt8 *background) {
    std::vector<SInt32> rows;
    for (SInt32 y = 0; y < frame.mFrameBufferFormat.mPixelHeight; ++y)
        for (SInt32 x = 0; x < frame.mFrameBufferFormat.mPixelWidth; ++x)
            if (std::memcmp(frame.GetPixelAtPoint(x, y), background, 4) != 0) {
                rows.push_back(y);
                break;
            }
    return rows;
}

TEST(GraphicsContext, MadeErasedAndCopied) {
    GraphicsContext frame;
    Base &base = frame;
    ASSERT_TRUE(base.Construct(CGSize{64, 30}));
    EXPECT_EQ(frame.mFrameBufferFormat.mPixelFormat, kPixelFormat_ARGB);
    EXPECT_EQ(frame.mFrameBufferFormat.mPixelWidth, 64);
    EXPECT_EQ(frame.mFrameBufferFormat.mPixelRowBytes, 256);
    EXPECT_EQ(frame.mFrameBufferDataSizeBytes, 256 * 30);
    EXPECT_EQ(frame.mFrameBufferData, frame.mBitmapContext.mImageDataBytes);

    // Opaque grey 0.05 everywhere, bytes A R G B.
    const UInt8 *first = frame.GetPixelAtPoint(0, 0);
    EXPECT_EQ(first[0], 255);
    EXPECT_NEAR(first[1], 0.05 * 255, 1);
    EXPECT_EQ(first[1], first[2]);
    EXPECT_EQ(first[2], first[3]);
    EXPECT_TRUE(RowsDrawnOn(frame, first).empty());

    Memory copy;
    ASSERT_TRUE(copy.Construct(frame.mFrameBufferFormat));
    ASSERT_TRUE(XXXX_ExactCopySameSizeTo_XXXX(copy, frame));
    EXPECT_EQ(Bytes(copy), Bytes(frame));

    ASSERT_TRUE(frame.EraseBackgroundTransparent());
    EXPECT_EQ(Bytes(frame), std::vector<UInt8>(256 * 30, 0));
    ASSERT_TRUE(frame.EraseBackground());
    EXPECT_EQ(Bytes(frame), Bytes(copy));

    frame.Destruct();
    EXPECT_EQ(frame.mFrameBufferData, nullptr);
    EXPECT_FALSE(frame.mBitmapContext.IsConstructed());
    EXPECT_FALSE(frame.EraseBackground());
    EXPECT_FALSE(frame.DrawTextCentered("x"));
}

TEST(GraphicsContext, SizesRefused) {
    const CGSize sizes[] = {{0, 10}, {10, 0}, {-4, 10}, {10, -4}, {NAN, 10}, {INFINITY, 10}, {70000, 70000}};
    for (const CGSize &size : sizes) {
        GraphicsContext frame;
        EXPECT_FALSE(frame.Construct(size)) << size.width << " x " << size.height;
        EXPECT_EQ(frame.mFrameBufferData, nullptr);
        EXPECT_FALSE(frame.mBitmapContext.IsConstructed());
    }
}

TEST(GraphicsContext, TextCentredOrInTheLowerThird) {
    struct Case {
        const char *name;
        bool lowerThird;
    };
    for (const Case &c : {Case{"centred", false}, Case{"lower third", true}}) {
        SCOPED_TRACE(c.name);
        GraphicsContext frame;
        ASSERT_TRUE(frame.Construct(CGSize{240, 120}));
        frame.mTextMessage.mFontSize = 24;
        const std::vector<UInt8> background(static_cast<UInt8 *>(frame.mFrameBufferData),
                                            static_cast<UInt8 *>(frame.mFrameBufferData) + 4);
        ASSERT_TRUE(c.lowerThird ? frame.DrawTextCenteredLowerThird("HIGH") : frame.DrawTextCentered("HIGH"));
        const std::vector<SInt32> rows = RowsDrawnOn(frame, background.data());
        ASSERT_FALSE(rows.empty());
        if (c.lowerThird) {
            EXPECT_GE(rows.front(), 120 - 40);  // memory rows run top-down
        } else {
            EXPECT_LT(rows.front(), 60);
            EXPECT_GT(rows.back(), 60);
        }
    }
}

TEST(GraphicsContext, DrawingSkipsAFrameLockedElsewhere) {
    GraphicsContext frame;
    ASSERT_TRUE(frame.Construct(CGSize{40, 20}));
    const std::vector<UInt8> before = Bytes(frame);
    std::mutex mutex;
    std::condition_variable changed;
    bool locked = false, done = false;
    std::thread holder([&] {
        frame.LockFrameBuffer();
        std::unique_lock<std::mutex> lock(mutex);
        locked = true;
        changed.notify_all();
        changed.wait(lock, [&] { return done; });
        frame.UnlockFrameBuffer();
    });
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return locked; });
    }
    EXPECT_FALSE(frame.EraseBackgroundTransparent());
    EXPECT_FALSE(frame.DrawTextCentered("busy"));
    EXPECT_FALSE(frame.Construct(CGSize{8, 8}));
    frame.Destruct();  // nothing while locked elsewhere
    EXPECT_EQ(Bytes(frame), before);
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
    }
    changed.notify_all();
    holder.join();
    EXPECT_TRUE(frame.EraseBackgroundTransparent());
}

}  // namespace
