#include "NSUICamTimedSnapper.h"

#include <AppKit/NSButton.h>
#include <AppKit/NSImage.h>
#include <CoreAudio/AudioServices.h>
#include <CoreFoundation/CFBundle.h>
#include <CoreFoundation/CFString.h>
#include <CoreFoundation/CFURL.h>
#include <Foundation/NSException.h>
#include <dispatch/dispatch.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMutex>
#include <QThread>
#include <QTimer>
#include <QVariant>

#include <chrono>

namespace {

bool OnMainThread() {
    QCoreApplication *application = QCoreApplication::instance();
    return application == nullptr || QThread::currentThread() == application->thread();
}

// The sound ids of the application's sounds by file name, made once each (0: not playable).
SystemSoundID SoundNamed(const QString &fileName) {
    static QMutex lock;
    static QHash<QString, SystemSoundID> sounds;
    QMutexLocker locked(&lock);
    const auto found = sounds.constFind(fileName);
    if (found != sounds.constEnd()) return *found;
    SystemSoundID sound = 0;
    const QFileInfo info(fileName);
    const QByteArray base = info.completeBaseName().toUtf8(), type = info.suffix().toUtf8();
    CFStringRef name = CFStringCreateWithCString(nullptr, base.constData(), kCFStringEncodingUTF8);
    CFStringRef extension = CFStringCreateWithCString(nullptr, type.constData(), kCFStringEncodingUTF8);
    CFBundleRef bundle = CFBundleGetMainBundle();
    CFURLRef url = name != nullptr && extension != nullptr && bundle != nullptr
                       ? CFBundleCopyResourceURL(bundle, name, extension, nullptr)
                       : nullptr;
    if (url != nullptr) {
        if (AudioServicesCreateSystemSoundID(url, &sound) != 0) sound = 0;
        CFRelease(url);
    } else {
        NSLog(QStringLiteral("NSUICamTimedSnapper: no sound named %1").arg(fileName));
    }
    if (name != nullptr) CFRelease(name);
    if (extension != nullptr) CFRelease(extension);
    sounds.insert(fileName, sound);
    return sound;
}

}  // namespace

NSUICamTimedSnapper::NSUICamTimedSnapper(QWidget *parent) : NSUITargetActionView(parent) { mElapsed = now(); }

NSUICamTimedSnapper::~NSUICamTimedSnapper() {
    *mAlive = false;
    countDownReset();
}

int64_t NSUICamTimedSnapper::now() const {
    if (mClock) return mClock();
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void NSUICamTimedSnapper::setClockForTesting(std::function<int64_t()> clock) { mClock = std::move(clock); }

QString NSUICamTimedSnapper::imageNameForState(int state) {
    switch (state) {
    case kStateTimer: return QStringLiteral("ButtonSnapshotTimer");
    case kStateOne: return QStringLiteral("ButtonSnapshotOne");
    case kStateTwo: return QStringLiteral("ButtonSnapshotTwo");
    case kStateFire: return QStringLiteral("ButtonSnapshotFire");
    default: return QStringLiteral("ButtonSnapshotNormal");
    }
}

void NSUICamTimedSnapper::awakeFromNib() { showCountDown(kStateNormal); }

bool NSUICamTimedSnapper::countdownEnabled() const {
    QObject *control = mEnabled.data();
    if (control == nullptr) return false;
    if (auto *button = qobject_cast<QAbstractButton *>(control); button != nullptr && button->isCheckable())
        return button->isChecked();
    const QVariant state = control->property("state");
    if (state.isValid()) return state.toInt() != 0;
    return control->property("checked").toBool();
}

void NSUICamTimedSnapper::setCountdownEnabled(bool enabled) {
    QObject *control = mEnabled.data();
    if (control == nullptr) return;
    if (auto *button = qobject_cast<NSButton *>(control)) button->setState(enabled ? 1 : 0);
    else if (auto *plain = qobject_cast<QAbstractButton *>(control); plain != nullptr && plain->isCheckable())
        plain->setChecked(enabled);
    else if (control->property("state").isValid()) control->setProperty("state", enabled ? 1 : 0);
    else control->setProperty("checked", enabled);
}

void NSUICamTimedSnapper::beginCountDown(QObject *sender) {
    countDownReset();
    if (countdownEnabled()) {
        playCountTickSound();
        showCountDown(kStateTimer);
        startCountDownTimer();
    } else {
        showCountDown(kStateFire);
        fireCountDown(sender);
        showCountDown(kStateNormal);
    }
}

void NSUICamTimedSnapper::startCountDownTimer() {
    auto *timer = new QTimer(this);
    timer->setInterval(mIntervalMilliseconds);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, [this, timer] { countDownTimer(timer); });
    mTimer = timer;
    timer->start();
}

void NSUICamTimedSnapper::countDownTimer(QObject *timer) {
    if (!countdownEnabled()) return;
    const int64_t seconds = (now() - mElapsed) / 1000000;
    if (seconds < 3) {
        playCountTickSound();
        showCountDown(int(seconds));
    } else {
        showCountDown(kStateFire);
        // The timer stops now: a late tick never fires twice.
        if (mTimer != nullptr) mTimer->stop();
        fireCountDown(timer);
    }
}

void NSUICamTimedSnapper::fireCountDown(QObject *) {
    const std::weak_ptr<bool> alive = mAlive;
    playSoundNamed(cameraClickSoundFile(), [this, alive] {
        if (const auto living = alive.lock(); living && *living) soundDidFinishPlaying();
    });
    queueTargetActionWithObject(this);
    QPointer<NSUICamTimedSnapper> self(this);
    dispatch_async(dispatch_get_main_queue(), [self] {
        if (self) self->countDownReset();
    });
}

void NSUICamTimedSnapper::countDownReset() {
    mElapsed = now();
    if (mTimer != nullptr) {
        mTimer->stop();
        mTimer->deleteLater();
        mTimer = nullptr;
    }
}

void NSUICamTimedSnapper::showCountDown(int state) {
    if (!OnMainThread()) {
        QPointer<NSUICamTimedSnapper> self(this);
        QMetaObject::invokeMethod(
            this,
            [self, state] {
                if (self) self->showCountDown(state);
            },
            Qt::QueuedConnection);
        return;
    }
    mShownState = state;
    setSnapshotImageNamed(imageNameForState(state));
}

void NSUICamTimedSnapper::setSnapshotImageNamed(const QString &imageName) {
    QObject *target = mSnapshot.data();
    if (target == nullptr) return;
    if (auto *button = qobject_cast<NSButton *>(target)) {
        button->setImage(NSImage::imageNamed(imageName));
        button->update();
    } else if (auto *widget = qobject_cast<QWidget *>(target)) {
        widget->setProperty("imageName", imageName);
        widget->update();
    }
}

void NSUICamTimedSnapper::playCountTickSound() { playSoundNamed(QString::fromLatin1(kTickSound), {}); }

void NSUICamTimedSnapper::soundDidFinishPlaying() { showCountDown(kStateNormal); }

void NSUICamTimedSnapper::playSoundNamed(const QString &fileName, std::function<void()> finished) {
    const SystemSoundID sound = SoundNamed(fileName);
    auto report = [finished = std::move(finished)] {
        if (finished) dispatch_async(dispatch_get_main_queue(), finished);
    };
    if (sound == 0) {
        report();
        return;
    }
    AudioServicesPlaySystemSoundWithCompletion(sound, std::move(report));
}

bool import_NSUICamTimedSnapper() { return true; }
