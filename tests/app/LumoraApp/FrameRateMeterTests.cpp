// The frame-rate meter on a clock the test moves: the first frame only begins, the average over
// every frame since the start, the text, the announcements on the main queue (and only there,
// whatever thread sampled), and sampling from several threads at once.
#include <LumoraApp/QActualFPSController.h>

#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObject.h>
#include <dispatch/dispatch.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

class ClockedFPSController : public QActualFPSController {
public:
    std::atomic<double> now{1000.0};

protected:
    double currentTime() const override { return now.load(); }
};

// Counts the changes it hears of, and on which thread.
class Observer : public NSObject {
public:
    void observeValueForKeyPath(const QString &keyPath, QObject *, const QVariantMap &, void *) override {
        heard.append(keyPath);
        if (std::this_thread::get_id() != mainThread) offMainThread = true;
    }
    QStringList heard;
    std::thread::id mainThread = std::this_thread::get_id();
    bool offMainThread = false;
};

void DrainMainQueue() {
    while (dispatch_main_queue_drain() > 0) {
    }
}

class FrameRateMeterTest : public ::testing::Test {
protected:
    void SetUp() override { DrainMainQueue(); }
    void TearDown() override { DrainMainQueue(); }

    void Frames(ClockedFPSController &meter, int count, double interval) {
        for (int i = 0; i < count; ++i) {
            if (i > 0 || meter.lastSample() != 0.0) meter.now = meter.now + interval;
            meter.sampleNow();
        }
    }
};

TEST_F(FrameRateMeterTest, AverageOverEveryFrameSinceSamplingBegan) {
    const struct {
        const char *name;
        int frames;
        double interval;
        const char *display;
    } cases[] = {
        {"one frame only begins", 1, 0.1, "0.00 fps"},
        {"ten frames 0.1 s apart", 10, 0.1, "10.00 fps"},
        {"thirty-one frames at 30 fps", 31, 1.0 / 30.0, "30.00 fps"},
        {"two frames at once (no time)", 2, 0.0, "0.00 fps"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ClockedFPSController meter;
        meter.awakeFromNib();
        EXPECT_EQ(meter.framesPerSecond(), 0.0);
        Frames(meter, c.frames, c.interval);
        EXPECT_EQ(meter.sampleCount(), uint32_t(c.frames - 1));
        EXPECT_EQ(meter.sampleRateDisplay(), QString::fromLatin1(c.display));
        EXPECT_EQ(NSKeyValueCoding::valueForKey(&meter, QStringLiteral("sampleRateDisplay")).toString(),
                  QString::fromLatin1(c.display));
    }
}

TEST_F(FrameRateMeterTest, ASlowStartLowersTheFigureUntilSamplingBeginsAgain) {
    ClockedFPSController meter;
    meter.sampleNow();
    meter.now = meter.now + 1.0;  // one slow frame
    meter.sampleNow();
    Frames(meter, 9, 0.1);  // then nine at 10 fps
    EXPECT_NEAR(meter.framesPerSecond(), 10.0 / 1.9, 1e-9);

    meter.endSampling();
    EXPECT_EQ(meter.lastSample(), 0.0);
    EXPECT_EQ(meter.framesPerSecond(), 0.0);
    EXPECT_EQ(meter.sampleAccumulator(), 0.0);

    meter.beginSampling();
    EXPECT_EQ(meter.lastSample(), meter.now.load());
    Frames(meter, 5, 0.1);
    EXPECT_EQ(meter.sampleRateDisplay(), QStringLiteral("10.00 fps"));
}

TEST_F(FrameRateMeterTest, ChangesAreAnnouncedOnTheMainQueue) {
    ClockedFPSController meter;
    Observer observer;
    meter.addObserver(&observer, QStringLiteral("sampleRateDisplay"));
    meter.addObserver(&observer, QStringLiteral("framesPerSecond"));

    // Sampled on another thread: beginning, then 29 frames (no announcement), then the 30th.
    std::thread sampler([&] {
        meter.sampleNow();
        for (int i = 0; i < 29; ++i) {
            meter.now = meter.now + 0.05;
            meter.sampleNow();
        }
    });
    sampler.join();
    EXPECT_TRUE(observer.heard.isEmpty()) << "nothing is announced before the main queue runs";
    DrainMainQueue();
    EXPECT_EQ(observer.heard.count(QStringLiteral("framesPerSecond")), 1) << "only the beginning";
    EXPECT_EQ(observer.heard.count(QStringLiteral("sampleRateDisplay")), 1);

    observer.heard.clear();
    meter.now = meter.now + 0.05;
    meter.sampleNow();  // the 30th frame
    DrainMainQueue();
    EXPECT_EQ(observer.heard.count(QStringLiteral("framesPerSecond")), 1);
    EXPECT_EQ(observer.heard.count(QStringLiteral("sampleRateDisplay")), 1);
    EXPECT_EQ(meter.sampleRateDisplay(), QStringLiteral("20.00 fps"));

    observer.heard.clear();
    meter.endSampling();
    DrainMainQueue();
    EXPECT_EQ(observer.heard.count(QStringLiteral("sampleRateDisplay")), 1);
    EXPECT_FALSE(observer.offMainThread);
    meter.removeObserver(&observer, QStringLiteral("sampleRateDisplay"));
    meter.removeObserver(&observer, QStringLiteral("framesPerSecond"));
}

TEST_F(FrameRateMeterTest, AnAnnouncementOutlivingTheMeterDoesNothing) {
    auto meter = std::make_unique<ClockedFPSController>();
    meter->beginSampling();
    meter.reset();
    EXPECT_EQ(dispatch_main_queue_drain(), 1);
}

TEST_F(FrameRateMeterTest, SamplingFromSeveralThreadsCountsEveryFrame) {
    QActualFPSController meter;  // the real clock
    constexpr int kThreads = 4, kFrames = 500;
    meter.sampleNow();
    std::vector<std::thread> threads;
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        while (!stop.load()) {
            const double rate = meter.framesPerSecond();
            EXPECT_GE(rate, 0.0);
            (void)meter.sampleRateDisplay();
        }
    });
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kFrames; ++i) meter.sampleNow();
        });
    }
    for (std::thread &thread : threads) thread.join();
    stop.store(true);
    reader.join();
    EXPECT_EQ(meter.sampleCount(), uint32_t(kThreads * kFrames));
    EXPECT_GE(meter.sampleAccumulator(), 0.0);
    EXPECT_TRUE(import_QActualFPSController());
}

}  // namespace
