#include <CoreX/UVideoFrameBuffer.h>

#include <gtest/gtest.h>

#include <thread>

namespace {

using UVideoFrameBuffer::Base;
using UVideoFrameBuffer::Data;
using UVideoFrameBuffer::Format;

Format SomeFormat() {
    Format format;
    format.mPixelWidth = 640;
    format.mPixelHeight = 480;
    format.mPixelFormat = UVideoFrameBuffer::kPixelFormat_BGRA;
    format.mPixelRowBytes = 2560;
    return format;
}

void ExpectEmpty(const Format &format) {
    EXPECT_EQ(format.mPixelWidth, 0);
    EXPECT_EQ(format.mPixelHeight, 0);
    EXPECT_EQ(format.mPixelFormat, MakeFourCharCode("none"));
    EXPECT_EQ(format.mPixelRowBytes, 0);
}

TEST(UVideoFrameBufferFormat, EmptiesAndCopies) {
    EXPECT_EQ(UVideoFrameBuffer::kPixelFormat_None, 0x6E6F6E65u);  // 'none'
    EXPECT_EQ(UVideoFrameBuffer::kPixelFormat_ARGB, 0x41524742u);  // 'ARGB'
    ExpectEmpty(Format());

    Format copy;
    copy.SetFrameBufferFormat(SomeFormat());
    EXPECT_EQ(copy.mPixelWidth, 640);
    EXPECT_EQ(copy.mPixelHeight, 480);
    EXPECT_EQ(copy.mPixelFormat, MakeFourCharCode("BGRA"));
    EXPECT_EQ(copy.mPixelRowBytes, 2560);
    copy.SetFrameBufferFormatNone();
    ExpectEmpty(copy);
    copy = SomeFormat();
    copy.Empty();
    ExpectEmpty(copy);
}

TEST(UVideoFrameBufferData, ConstructAnswersWhetherThereAreBytes) {
    unsigned char bytes[16] = {};
    struct Case {
        void *data;
        SInt32 size;
        bool expected;
    };
    const Case cases[] = {{bytes, 16, true}, {nullptr, 16, false}, {bytes, 0, false}, {nullptr, 0, false}};
    for (const Case &c : cases) {
        Data data;
        ExpectEmpty(data.mFrameBufferFormat);
        EXPECT_EQ(data.mFrameBufferData, nullptr);
        EXPECT_EQ(data.mFrameBufferDataSizeBytes, 0);

        EXPECT_EQ(data.ConstructData(SomeFormat(), c.data, c.size), c.expected) << c.size;
        // Everything given is kept, whatever the answer.
        EXPECT_EQ(data.mFrameBufferData, c.data);
        EXPECT_EQ(data.mFrameBufferDataSizeBytes, c.size);
        EXPECT_EQ(data.mFrameBufferFormat.mPixelFormat, MakeFourCharCode("BGRA"));

        data.DestructData();
        ExpectEmpty(data.mFrameBufferFormat);
        EXPECT_EQ(data.mFrameBufferData, nullptr);
        EXPECT_EQ(data.mFrameBufferDataSizeBytes, 0);
    }
}

bool TryLockOnAnotherThread(Base &buffer) {
    bool locked = false;
    std::thread([&] {
        locked = buffer.TryLockFrameBuffer();
        if (locked) buffer.UnlockFrameBuffer();
    }).join();
    return locked;
}

TEST(UVideoFrameBufferBase, FrameLockIsARecursiveMutex) {
    Base buffer;
    ASSERT_TRUE(buffer.mFrameBufferMutexCreated);
    EXPECT_EQ(buffer.mFrameBufferData, nullptr);
    ExpectEmpty(buffer.mFrameBufferFormat);

    buffer.LockFrameBuffer();
    EXPECT_TRUE(buffer.TryLockFrameBuffer());
    EXPECT_FALSE(TryLockOnAnotherThread(buffer));
    buffer.UnlockFrameBuffer();
    EXPECT_FALSE(TryLockOnAnotherThread(buffer));
    buffer.UnlockFrameBuffer();
    EXPECT_TRUE(TryLockOnAnotherThread(buffer));
}

TEST(UVideoFrameBufferBase, WithoutAMutexLockingDoesNothing) {
    Base buffer;
    buffer.mFrameBufferMutex.Destroy();
    buffer.mFrameBufferMutexCreated = false;
    buffer.LockFrameBuffer();
    EXPECT_FALSE(buffer.TryLockFrameBuffer());
    buffer.UnlockFrameBuffer();
    EXPECT_FALSE(TryLockOnAnotherThread(buffer));
}

TEST(UVideoFrameBufferBase, FramesAreMadeOnlyByDerivedBuffers) {
    Base buffer;
    EXPECT_FALSE(buffer.Construct(CGSize{640, 480}));
    EXPECT_FALSE(buffer.Construct(static_cast<IOSurfaceRef>(nullptr)));
    EXPECT_FALSE(buffer.Construct(SomeFormat()));
    buffer.Destruct();
    ExpectEmpty(buffer.mFrameBufferFormat);

    // Construct(format) is the buffer's to override; the frame data is Data's.
    struct Memory : Base {
        unsigned char bytes[8] = {};
        bool Construct(const Format &format) override { return ConstructData(format, bytes, sizeof bytes); }
    } memory;
    Base &base = memory;
    EXPECT_TRUE(base.Construct(SomeFormat()));
    EXPECT_EQ(base.mFrameBufferData, memory.bytes);
    EXPECT_EQ(base.mFrameBufferFormat.mPixelWidth, 640);
}

}  // namespace
