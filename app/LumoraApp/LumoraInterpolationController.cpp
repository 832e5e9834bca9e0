#include "LumoraInterpolationController.h"

#include <cmath>

namespace {

// A number's double value: 0 for nil and for what holds no number.
double DoubleValue(const QVariant &value) {
    if (NSKeyValueCoding::isNil(value)) return 0.0;
    bool ok = false;
    const double number = value.toDouble(&ok);
    return ok ? number : 0.0;
}

}  // namespace

LumoraInterpolationController::LumoraInterpolationController(QObject *parent) : NSObject(parent) {}

LumoraInterpolationController::~LumoraInterpolationController() = default;

void LumoraInterpolationController::setAutomaticEffectTime(bool automaticEffectTime) {
    if (mAutomaticEffectTime.exchange(automaticEffectTime) != automaticEffectTime) emit automaticEffectTimeChanged();
}

void LumoraInterpolationController::setTimeMirrored(bool timeMirrored) {
    if (mTimeMirrored.exchange(timeMirrored) != timeMirrored) emit timeMirroredChanged();
}

void LumoraInterpolationController::setInputEffectAmount(const QVariant &value) {
    setInputEffectAmountNormal(DoubleValue(value));
    emit inputEffectAmountChanged();
}

void LumoraInterpolationController::setInputEffectParameter(const QVariant &value) {
    setInputEffectParameterNormal(DoubleValue(value));
    emit inputEffectParameterChanged();
}

void LumoraInterpolationController::setInputEffectTime(const QVariant &value) {
    setInputEffectTimeNormal(DoubleValue(value));
    emit inputEffectTimeChanged();
}

void LumoraInterpolationController::setMasterTimeSeconds(double seconds) {
    if (NSKeyValueCoding::isNil(mPatchTime)) mPatchTime = seconds;
    const double elapsed = seconds - mPatchTime.toDouble();
    const double remainder = std::fmod(elapsed, 8.0);
    double value = remainder * 0.125;
    if (timeMirrored()) {
        const double period = std::trunc(elapsed * 0.125);
        if (std::fabs(std::fmod(period, 2.0)) == 1.0) value = 1.0 - remainder * 0.125;
    }
    if (automaticEffectTime()) setInputEffectTimeNormal(value);
}

void LumoraInterpolationController::resetDefaultValues(QObject *) {
    setTimeMirrored(true);
    setAutomaticEffectTime(true);
    setInputEffectTime(0.0);
    setInputEffectAmount(0.5);
    setInputEffectParameter(0.5);
}

void LumoraInterpolationController::applicationDidFinishLaunching(const NSNotification &) { resetDefaultValues(); }

void LumoraInterpolationController::applicationWillTerminate(const NSNotification &) {}

bool import_LumoraInterpolationController() { return true; }
