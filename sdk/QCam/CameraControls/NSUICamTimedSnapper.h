// NSUICamTimedSnapper: the snapshot button with an optional three-second count-down.
//
// Pressed with the count-down switched on, it shows the timer image and ticks once a second
// (the tick sound "CountClick.aiff" and the next image); on the third second it shows the
// fire image, plays the camera click and sends its target-action. With the count-down off it
// fires at once. Images by state: 0 "ButtonSnapshotTimer", 1 "ButtonSnapshotOne",
// 2 "ButtonSnapshotTwo", 3 "ButtonSnapshotFire", any other (4) "ButtonSnapshotNormal".
//
// Threads: everything runs on the main thread, the image changes included (showCountDown
// called from another thread hands the change to the main thread). The count-down timer is a
// Qt timer of the main thread, so it keeps running in every event loop there: while a menu is
// tracked, a slider dragged or a modal panel open. The sounds play through the Core Audio
// layer's system sounds (a background thread); their end is reported on the main thread.
#pragma once

#include <UICocoaControls/NSUITargetActionView.h>

#include <QHash>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QAbstractButton;
class QTimer;

class NSUICamTimedSnapper : public NSUITargetActionView {
    Q_OBJECT
    Q_PROPERTY(QObject *_snapshot READ snapshotButton WRITE setSnapshotButton)
    Q_PROPERTY(QObject *_enabled READ enabledSwitch WRITE setEnabledSwitch)
public:
    static constexpr int kStateTimer = 0, kStateOne = 1, kStateTwo = 2, kStateFire = 3, kStateNormal = 4;
    static constexpr char kTickSound[] = "CountClick.aiff";

    explicit NSUICamTimedSnapper(QWidget *parent = nullptr);
    ~NSUICamTimedSnapper() override;

    QObject *snapshotButton() const { return mSnapshot.data(); }
    void setSnapshotButton(QObject *button) { mSnapshot = button; }
    QObject *enabledSwitch() const { return mEnabled.data(); }
    void setEnabledSwitch(QObject *control) { mEnabled = control; }

    // The interface action: resets; with the count-down on, ticks, shows state 0 and starts
    // the timer; otherwise shows state 3, fires with the sender and shows state 4.
    Q_INVOKABLE void beginCountDown(QObject *sender = nullptr);
    // The timer's callback: nothing while the count-down is off; otherwise by the whole
    // seconds since the reset: below 3 a tick and that state, else state 3 and the fire.
    void countDownTimer(QObject *timer = nullptr);
    // Plays the click (this object told when it ends), queues the target-action with this
    // object to the main thread, then queues the reset there.
    void fireCountDown(QObject *sender = nullptr);
    // Stamps the start with now; stops and drops the timer.
    void countDownReset();
    // Shows the state's image on the snapshot button, on the main thread.
    void showCountDown(int state);
    // A repeating timer of one second calling countDownTimer.
    void startCountDownTimer();
    void playCountTickSound();
    // The click's file name ("Default.aiff" here).
    virtual QString cameraClickSoundFile() const { return QStringLiteral("Default.aiff"); }
    // The count-down switch's value; setting turns it on or off. Off without a switch.
    bool countdownEnabled() const;
    void setCountdownEnabled(bool enabled);
    // The click has finished: back to state 4.
    void soundDidFinishPlaying();
    Q_INVOKABLE void awakeFromNib();
    Q_INVOKABLE void timedEnableButtonChanged(QObject *) {}

    static QString imageNameForState(int state);
    // The state shown last (main thread), -1 before any.
    int shownState() const { return mShownState; }
    bool isCountingDown() const { return mTimer != nullptr; }
    int64_t elapsedStart() const { return mElapsed; }

    // Test seams: the clock (microseconds; null restores the monotonic clock) and the timer's
    // interval in milliseconds (1000).
    void setClockForTesting(std::function<int64_t()> clock);
    void setTimerIntervalForTesting(int milliseconds) { mIntervalMilliseconds = milliseconds; }

protected:
    // Sets the named image on the snapshot button (main thread).
    virtual void setSnapshotImageNamed(const QString &imageName);
    // Plays the application's sound of that file name; `finished` (may be empty) runs on the
    // main thread when it has played, or at once there when it cannot be played.
    virtual void playSoundNamed(const QString &fileName, std::function<void()> finished);

private:
    int64_t now() const;

    QPointer<QObject> mSnapshot;
    QPointer<QObject> mEnabled;
    QTimer *mTimer = nullptr;
    int64_t mElapsed = 0;
    int mShownState = -1;
    int mIntervalMilliseconds = 1000;
    std::function<int64_t()> mClock;
    std::shared_ptr<bool> mAlive = std::make_shared<bool>(true);
};

bool import_NSUICamTimedSnapper();
