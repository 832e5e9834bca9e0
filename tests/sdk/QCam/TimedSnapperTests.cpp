// The timed snapshot button's state machine, driven by an injected clock: the images shown,
// the sounds played and the action sent, with the count-down off and on; a press during the
// count-down starts it over; image changes asked from another thread happen on the main
// thread; and the count-down keeps running while a modal panel is open.
#include <QCam/CameraControls/NSUICamTimedSnapper.h>

#include <AppKit/NSButton.h>
#include <Foundation/NSApplication.h>
#include <dispatch/dispatch.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "sdk/RiradI/RiradITestApplication.h"

namespace {

class Shutter : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void takeSnapshot(QObject *sender) {
        ++shots;
        lastSender = sender;
        if (onShot) onShot();
    }
    int shots = 0;
    QObject *lastSender = nullptr;
    std::function<void()> onShot;
};

// Records the images and the sounds; a sound "finishes" when the test says so.
class RecordingSnapper : public NSUICamTimedSnapper {
public:
    using NSUICamTimedSnapper::NSUICamTimedSnapper;
    std::vector<QString> images;
    std::vector<QThread *> imageThreads;
    std::vector<QString> sounds;
    std::vector<std::function<void()>> playing;
    void finishSounds() {
        auto finishing = std::move(playing);
        playing.clear();
        for (auto &finished : finishing)
            if (finished) finished();
    }

protected:
    void setSnapshotImageNamed(const QString &name) override {
        images.push_back(name);
        imageThreads.push_back(QThread::currentThread());
        NSUICamTimedSnapper::setSnapshotImageNamed(name);
    }
    void playSoundNamed(const QString &fileName, std::function<void()> finished) override {
        sounds.push_back(fileName);
        playing.push_back(std::move(finished));
    }
};

void RunMain() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        dispatch_main_queue_drain();
    }
}

class TimedSnapper : public ::testing::Test, public riradi_test::WithApplication {
protected:
    void SetUp() override {
        snapper.setClockForTesting([this] { return clock; });
        snapper.setSnapshotButton(&button);
        snapper.setEnabledSwitch(&enabled);
        snapper.setTarget(&shutter);
        snapper.setAction("takeSnapshot");
        snapper.awakeFromNib();
        snapper.images.clear();
    }
    void At(double seconds) {
        clock = int64_t(seconds * 1e6);
        snapper.countDownTimer(nullptr);
    }
    int64_t clock = 0;
    NSButton button;
    NSButton enabled;
    Shutter shutter;
    RecordingSnapper snapper;
};

const QString kTimer = "ButtonSnapshotTimer", kOne = "ButtonSnapshotOne", kTwo = "ButtonSnapshotTwo",
              kFire = "ButtonSnapshotFire", kNormal = "ButtonSnapshotNormal";

TEST_F(TimedSnapper, WithTheCountDownOffOnePressFiresOnce) {
    enabled.setState(0);
    snapper.beginCountDown(nullptr);
    EXPECT_EQ(snapper.images, (std::vector<QString>{kFire, kNormal}));
    EXPECT_FALSE(snapper.isCountingDown());
    EXPECT_EQ(shutter.shots, 0);  // queued to the main thread
    RunMain();
    EXPECT_EQ(shutter.shots, 1);
    EXPECT_EQ(shutter.lastSender, &snapper);
    EXPECT_EQ(snapper.sounds, (std::vector<QString>{"Default.aiff"}));
    snapper.finishSounds();
    EXPECT_EQ(snapper.images.back(), kNormal);
    EXPECT_EQ(snapper.shownState(), NSUICamTimedSnapper::kStateNormal);
}

TEST_F(TimedSnapper, TheCountDownTicksTwiceAfterTheFirstAndFiresOnTheThirdSecond) {
    enabled.setState(1);
    clock = 5000000;
    snapper.beginCountDown(nullptr);
    EXPECT_EQ(snapper.elapsedStart(), 5000000);
    EXPECT_TRUE(snapper.isCountingDown());
    EXPECT_EQ(snapper.images, (std::vector<QString>{kTimer}));
    At(6.0);
    At(7.5);
    EXPECT_EQ(snapper.images, (std::vector<QString>{kTimer, kOne, kTwo}));
    EXPECT_EQ(snapper.sounds, (std::vector<QString>(3, "CountClick.aiff")));
    EXPECT_EQ(shutter.shots, 0);
    At(8.0);
    EXPECT_EQ(snapper.images.back(), kFire);
    RunMain();
    EXPECT_EQ(shutter.shots, 1);
    EXPECT_FALSE(snapper.isCountingDown());  // reset after the action
    EXPECT_EQ(snapper.sounds.back(), "Default.aiff");
    EXPECT_EQ(snapper.sounds.size(), 4u);
    snapper.finishSounds();
    EXPECT_EQ(snapper.images.back(), kNormal);

    // Switched off while counting: the timer's calls do nothing.
    snapper.images.clear();
    snapper.beginCountDown(nullptr);
    enabled.setState(0);
    At(20.0);
    EXPECT_EQ(snapper.images, (std::vector<QString>{kTimer}));
    RunMain();
    EXPECT_EQ(shutter.shots, 1);
}

TEST_F(TimedSnapper, APressDuringTheCountDownStartsItOver) {
    enabled.setState(1);
    snapper.beginCountDown(nullptr);
    At(1.2);
    At(2.4);
    EXPECT_EQ(snapper.images.back(), kTwo);
    clock = 2600000;
    snapper.beginCountDown(nullptr);
    EXPECT_EQ(snapper.images.back(), kTimer);
    EXPECT_EQ(snapper.elapsedStart(), 2600000);
    At(3.7);  // one second since the restart
    EXPECT_EQ(snapper.images.back(), kOne);
    At(5.6);
    EXPECT_EQ(snapper.images.back(), kFire);
    RunMain();
    EXPECT_EQ(shutter.shots, 1);
}

TEST_F(TimedSnapper, ImagesChangeOnTheMainThreadOnly) {
    std::thread other([this] { snapper.showCountDown(NSUICamTimedSnapper::kStateTwo); });
    other.join();
    RunMain();
    ASSERT_EQ(snapper.images, (std::vector<QString>{kTwo}));
    EXPECT_EQ(snapper.imageThreads[0], QCoreApplication::instance()->thread());
    EXPECT_EQ(snapper.shownState(), NSUICamTimedSnapper::kStateTwo);
    EXPECT_EQ(NSUICamTimedSnapper::imageNameForState(7), kNormal);
}

TEST_F(TimedSnapper, TheCountDownRunsOnInAModalPanel) {
    // The application's main queue runs in the event loop, as in the application.
    std::unique_ptr<NSApplication> application;
    if (NSApplication::sharedApplication() == nullptr) application = std::make_unique<NSApplication>();
    // Real timers, a clock that runs 50 times faster: a second of count-down is 20 ms.
    QElapsedTimer real;
    real.start();
    snapper.setClockForTesting([&real] { return int64_t(real.nsecsElapsed() / 1000 * 50); });
    snapper.setTimerIntervalForTesting(20);
    enabled.setState(1);
    QDialog panel;
    shutter.onShot = [&panel] { panel.accept(); };
    QTimer::singleShot(0, &panel, [this] { snapper.beginCountDown(nullptr); });
    QTimer::singleShot(20000, &panel, [&panel] { panel.reject(); });  // a safety net only
    panel.setModal(true);
    EXPECT_EQ(panel.exec(), QDialog::Accepted);
    EXPECT_EQ(shutter.shots, 1);
    EXPECT_GE(std::count(snapper.sounds.begin(), snapper.sounds.end(), QString("CountClick.aiff")), 1);
}

}  // namespace

#include "TimedSnapperTests.moc"
