// Camera input frames: the stacks of derived frames, the ownership of the Core Graphics image,
// the snapshot of the stack and the host time stamp.
#include <LumoraApp/CamInputFrame.h>

#include <CoreFoundation/CFBase.h>
#include <CoreImage/CIColor.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "FrameTestSupport.h"

namespace {

CIImageRef Colour(double red) { return CIImage::imageWithColor(CIColor::colorWithRed(red, 0, 0, 1)); }

TEST(CamInputFrameTest, AFrameOfANullImageHasAnEmptyStack) {
    const CamInputFrameRef frame = CamInputFrame::camInputFrameWithFrameImageFrameHostTimeStamp(nullptr, 42);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->frameImage(), nullptr);
    EXPECT_EQ(frame->frameImageRef(), nullptr);
    EXPECT_FALSE(frame->hasFrameImage());
    EXPECT_EQ(frame->frameHostTimeStamp(), 42u);
    ASSERT_NE(frame->frameStack(), nullptr);
    EXPECT_TRUE(frame->frameStack()->empty());
}

TEST(CamInputFrameTest, DerivedFramesStackTheirImagesNewestFirstAndKeepTheSourceStamp) {
    const CIImageRef camera = Colour(1);
    const CamInputFrameRef source = CamInputFrame::camInputFrameWithFrameImageFrameHostTimeStamp(camera, 1234);
    ASSERT_EQ(source->frameStack()->size(), 1u);

    CGImageRef bitmap = frame_test::SolidCGImage(4, 4, 0, 255, 0);
    const CamInputFrameRef drawn = CamInputFrame::camInputFrameWithFrameImageRefSourceCamInputFrame(bitmap, source);
    ASSERT_NE(drawn, nullptr);
    EXPECT_EQ(drawn->frameHostTimeStamp(), 1234u);
    EXPECT_EQ(drawn->frameImage(), nullptr);
    EXPECT_EQ(drawn->frameImageRef(), bitmap);
    EXPECT_TRUE(drawn->hasFrameImage());
    const CamInputFrameStack stack = drawn->frameInputStack();
    ASSERT_EQ(stack.size(), 2u);
    EXPECT_TRUE(stack[0].isCGImage());
    EXPECT_EQ(stack[0].cgImage(), bitmap);
    EXPECT_TRUE(stack[1].isCIImage());
    EXPECT_EQ(stack[1].ciImage(), camera);
    EXPECT_EQ(source->frameStack()->size(), 1u) << "the source's stack is not touched";

    const CIImageRef tinted = Colour(0.5);
    const CamInputFrameRef filtered = CamInputFrame::camInputFrameWithFrameImageSourceCamInputFrame(tinted, drawn);
    ASSERT_NE(filtered, nullptr);
    EXPECT_EQ(filtered->frameImage(), tinted);
    EXPECT_EQ(filtered->frameImageRef(), nullptr);
    EXPECT_EQ(filtered->frameHostTimeStamp(), 1234u);
    ASSERT_EQ(filtered->frameInputStack().size(), 3u);
    EXPECT_EQ(filtered->frameInputStack()[0].ciImage(), tinted);
    EXPECT_EQ(filtered->frameInputStack()[1].cgImage(), bitmap);
    CGImageRelease(bitmap);
}

TEST(CamInputFrameTest, NoFrameIsDerivedFromANullImageOrANullSource) {
    const CamInputFrameRef source = CamInputFrame::camInputFrameWithFrameImage(Colour(1));
    EXPECT_EQ(CamInputFrame::camInputFrameWithFrameImageSourceCamInputFrame(nullptr, source), nullptr);
    EXPECT_EQ(CamInputFrame::camInputFrameWithFrameImageRefSourceCamInputFrame(nullptr, source), nullptr);
    EXPECT_EQ(CamInputFrame::camInputFrameWithFrameImageSourceCamInputFrame(Colour(0), nullptr), nullptr);
    CGImageRef bitmap = frame_test::SolidCGImage(2, 2, 1, 2, 3);
    EXPECT_EQ(CamInputFrame::camInputFrameWithFrameImageRefSourceCamInputFrame(bitmap, nullptr), nullptr);
    EXPECT_EQ(CFGetRetainCount(bitmap), 1);
    CGImageRelease(bitmap);
}

TEST(CamInputFrameTest, TheFrameOwnsItsBitmapAndCopiesRetainIt) {
    CGImageRef first = frame_test::SolidCGImage(2, 2, 1, 2, 3);
    CGImageRef second = frame_test::SolidCGImage(2, 2, 4, 5, 6);
    {
        const CamInputFrameRef plain = CamInputFrame::camInputFrameWithFrameImage(nullptr);
        EXPECT_EQ(plain->frameImageRefCopy(), nullptr) << "nothing to retain";

        const CamInputFrameRef frame = CamInputFrame::camInputFrameWithFrameImageRefSourceCamInputFrame(first, plain);
        const CFIndex held = CFGetRetainCount(first);
        EXPECT_GE(held, 2);
        CGImageRef copy = frame->frameImageRefCopy();
        EXPECT_EQ(copy, first);
        EXPECT_EQ(CFGetRetainCount(first), held + 1);
        CGImageRelease(copy);

        frame->setFrameImageRef(second);
        EXPECT_EQ(frame->frameImageRef(), second);
        EXPECT_EQ(CFGetRetainCount(first), held - 1) << "the replaced image is released";
        frame->setFrameImageRef(second);  // the same image again keeps it alive
        EXPECT_EQ(CFGetRetainCount(second), 2);
    }
    EXPECT_EQ(CFGetRetainCount(first), 1) << "frame and stack let the image go";
    EXPECT_EQ(CFGetRetainCount(second), 1);
    CGImageRelease(first);
    CGImageRelease(second);
}

TEST(CamInputFrameTest, TheInputStackIsASnapshot) {
    const CamInputFrameRef frame = CamInputFrame::camInputFrameWithFrameImage(Colour(1));
    const CamInputFrameStack snapshot = frame->frameInputStack();
    frame->frameStack()->insert(frame->frameStack()->begin(), CamInputFrameImage(Colour(0)));
    EXPECT_EQ(snapshot.size(), 1u);
    EXPECT_EQ(frame->frameStack()->size(), 2u);
    frame->setFrameStack(nullptr);
    EXPECT_TRUE(frame->frameInputStack().empty());
}

TEST(CamInputFrameTest, TheHostTimeStampGrowsInNanoseconds) {
    const uint64_t first = CamInputFrame::currentFrameHostTimeStamp();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const uint64_t second = CamInputFrame::currentFrameHostTimeStamp();
    ASSERT_GT(second, first);
    EXPECT_GE(second - first, 50'000'000u);
    EXPECT_LT(second - first, 5'000'000'000u);
    const CamInputFrameRef frame = CamInputFrame::camInputFrameWithFrameImage(nullptr);
    EXPECT_GE(frame->frameHostTimeStamp(), second);
}

}  // namespace
