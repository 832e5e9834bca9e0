// The frame queues of the asynchronous frame grabber: oldest frame first, owned by the
// caller, null when empty, and a free and a filled queue shared by two threads.
#include <CocoaGL/FrameQueue.h>

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <type_traits>
#include <vector>

namespace {

struct Frame {
    int number = 0;
};

using Frames = FrameQueue<Frame>;
static_assert(std::is_same_v<decltype(Frames::emptyObjectQueue()), std::shared_ptr<Frames>>,
              "the factory answers a frame queue");

TEST(FrameQueue, GivesOwnedFramesOldestFirstAndNullWhenEmpty) {
    ASSERT_TRUE(import_FrameQueue());
    const std::shared_ptr<Frames> queue = Frames::emptyObjectQueue();
    ASSERT_NE(queue, nullptr);
    EXPECT_EQ(queue->copyAndRemoveOldestObject(), nullptr);

    std::weak_ptr<Frame> watched;
    for (int n = 1; n <= 3; ++n) {
        auto frame = std::make_shared<Frame>(Frame{n});
        if (n == 1) watched = frame;
        queue->addNewestObject(std::move(frame));
    }
    EXPECT_EQ(queue->numberOfObjectsInQueue(), 3u);
    for (int n = 1; n <= 3; ++n) {
        const std::shared_ptr<Frame> frame = queue->copyAndRemoveOldestObject();
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->number, n);
        EXPECT_EQ(frame.use_count(), 1) << "the queue kept no reference";
    }
    EXPECT_TRUE(watched.expired()) << "the caller's frame went with the caller";
    EXPECT_EQ(queue->copyAndRemoveOldestObject(), nullptr);
}

// A pool of frames circulates: one thread takes free frames, numbers them and queues them
// as filled; another takes filled frames in order and frees them again. No frame is lost,
// duplicated or delivered out of order.
TEST(FrameQueue, FreeAndFilledQueuesSharedByTwoThreads) {
    constexpr int kPool = 9;
    constexpr int kFrames = 5000;
    const auto freeQ = Frames::emptyObjectQueue();
    const auto filledQ = Frames::emptyObjectQueue();
    for (int i = 0; i < kPool; ++i) freeQ->addNewestObject(std::make_shared<Frame>());

    std::thread filler([&] {
        for (int n = 1; n <= kFrames;) {
            if (std::shared_ptr<Frame> frame = freeQ->copyAndRemoveOldestObject()) {
                frame->number = n++;
                filledQ->addNewestObject(std::move(frame));
            } else {
                std::this_thread::yield();
            }
        }
    });
    std::vector<int> received;
    received.reserve(kFrames);
    while (static_cast<int>(received.size()) < kFrames) {
        if (std::shared_ptr<Frame> frame = filledQ->copyAndRemoveOldestObject()) {
            received.push_back(frame->number);
            freeQ->addNewestObject(std::move(frame));
        } else {
            std::this_thread::yield();
        }
    }
    filler.join();

    for (int i = 0; i < kFrames; ++i) ASSERT_EQ(received[static_cast<size_t>(i)], i + 1);
    EXPECT_EQ(filledQ->numberOfObjectsInQueue(), 0u);
    EXPECT_EQ(freeQ->numberOfObjectsInQueue(), static_cast<size_t>(kPool));
}

}  // namespace
