#include "QActualFPSController.h"

#include <CoreX/CoreMachElapsedTime.h>
#include <dispatch/dispatch.h>

#include <QPointer>

#include <cstdio>

NS_REGISTER_CLASS(QActualFPSController);

namespace {

constexpr char kFramesPerSecondKey[] = "framesPerSecond";

}  // namespace

QActualFPSController::QActualFPSController(QObject *parent) : NSObject(parent) {}

QActualFPSController::~QActualFPSController() = default;

void QActualFPSController::awakeFromNib() {
    const std::lock_guard<std::mutex> lock(mLock);
    mLastSample = 0.0;
}

void QActualFPSController::beginSampling() {
    const double now = currentTime();
    {
        const std::lock_guard<std::mutex> lock(mLock);
        mLastSample = now;
        mSampleAccumulator = 0.0;
        mSampleCount = 0;
    }
    notifyKVObserversKeyChange(QString::fromLatin1(kFramesPerSecondKey));
}

void QActualFPSController::endSampling() {
    {
        const std::lock_guard<std::mutex> lock(mLock);
        mLastSample = 0.0;
        mSampleAccumulator = 0.0;
        mSampleCount = 0;
    }
    notifyKVObserversKeyChange(QString::fromLatin1(kFramesPerSecondKey));
}

void QActualFPSController::sampleNow() {
    bool announce = false;
    {
        const std::lock_guard<std::mutex> lock(mLock);
        const double now = currentTime();
        if (mLastSample == 0.0) {
            mLastSample = now;
            mSampleAccumulator = 0.0;
            mSampleCount = 0;
            announce = true;
        } else {
            mSampleAccumulator += now - mLastSample;
            ++mSampleCount;
            mLastSample = now;
            announce = mSampleCount % 30 == 0;
        }
    }
    if (announce) notifyKVObserversKeyChange(QString::fromLatin1(kFramesPerSecondKey));
}

double QActualFPSController::framesPerSecond() const {
    const std::lock_guard<std::mutex> lock(mLock);
    if (mSampleCount == 0 || !(mSampleAccumulator > 0.0)) return 0.0;
    return 1.0 / (mSampleAccumulator / double(mSampleCount));
}

QString QActualFPSController::sampleRateDisplay() const {
    char text[64];
    std::snprintf(text, sizeof text, "%1.2lf fps", framesPerSecond());
    return QString::fromLatin1(text);
}

void QActualFPSController::notifyKVObserversKeyChange(const QString &key) {
    QPointer<QActualFPSController> guarded(this);
    dispatch_async(dispatch_get_main_queue(), [guarded, key] {
        if (guarded.isNull()) return;
        guarded->willChangeValueForKey(key);
        if (guarded.isNull()) return;
        guarded->didChangeValueForKey(key);
    });
}

double QActualFPSController::lastSample() const {
    const std::lock_guard<std::mutex> lock(mLock);
    return mLastSample;
}

void QActualFPSController::setLastSample(double seconds) {
    const std::lock_guard<std::mutex> lock(mLock);
    mLastSample = seconds;
}

double QActualFPSController::sampleAccumulator() const {
    const std::lock_guard<std::mutex> lock(mLock);
    return mSampleAccumulator;
}

void QActualFPSController::setSampleAccumulator(double seconds) {
    const std::lock_guard<std::mutex> lock(mLock);
    mSampleAccumulator = seconds;
}

uint32_t QActualFPSController::sampleCount() const {
    const std::lock_guard<std::mutex> lock(mLock);
    return mSampleCount;
}

void QActualFPSController::setSampleCount(uint32_t count) {
    const std::lock_guard<std::mutex> lock(mLock);
    mSampleCount = count;
}

QSet<QString> QActualFPSController::keyPathsForValuesAffectingValueForKey(const QString &key) const {
    if (key == QLatin1StringView("sampleRateDisplay")) return {QString::fromLatin1(kFramesPerSecondKey)};
    return NSObject::keyPathsForValuesAffectingValueForKey(key);
}

double QActualFPSController::currentTime() const {
    return double(CoreMachElapsedTime::GetNanoseconds()) / 1000.0 / 1000.0 / 1000.0;
}

bool import_QActualFPSController() { return import_CoreMachElapsedTime(); }
