// LumoraInterpolationController: the three normalised values every effect composition gets
// each frame (effect amount, effect parameter, effect time, each 0 to 1), and the automatic
// effect time that sweeps from 0 to 1 every 8 seconds, optionally back and forth.
//
//     setMasterTimeSeconds(t), once per rendered frame (the render buffer):
//         the first call keeps t as patchTime; d = t - patchTime; v = fmod(d, 8) / 8;
//         mirrored and floor(d / 8) odd: v = 1 - fmod(d, 8) / 8;
//         the automatic time on: inputEffectTimeNormal = v (otherwise the slider's value stays).
//
// The values are Qt properties, so bindings and the bookmark settings reach them by key path:
// "inputEffectAmount", "inputEffectParameter", "inputEffectTime" take any value with a double
// value and announce their changes; the "...Normal" doubles are plain stores without
// notification, no lock and no range check.
//
// Threads. The master time is set and the values read on the main thread; the MIDI input
// writes the amount and the parameter from its own thread (setInputEffectAmountNormal,
// setInputEffectParameterNormal), so the three doubles are atomic (relaxed: each value stands
// alone).
#pragma once

#include <Foundation/NSNotification.h>
#include <Foundation/NSObject.h>

#include <QPointer>
#include <QVariant>

#include <atomic>

class LumoraInterpolationController : public NSObject {
    Q_OBJECT
    Q_PROPERTY(QObject *outletEffectTimeSlider MEMBER outletEffectTimeSlider)
    Q_PROPERTY(QObject *outletEffectAmountSlider MEMBER outletEffectAmountSlider)
    Q_PROPERTY(QObject *outletEffectParameterSlider MEMBER outletEffectParameterSlider)
    Q_PROPERTY(QObject *outletAutoEffectTimeButton MEMBER outletAutoEffectTimeButton)
    Q_PROPERTY(QObject *outletTimeMirroredButton MEMBER outletTimeMirroredButton)
    Q_PROPERTY(bool automaticEffectTime READ automaticEffectTime WRITE setAutomaticEffectTime NOTIFY automaticEffectTimeChanged)
    Q_PROPERTY(bool timeMirrored READ timeMirrored WRITE setTimeMirrored NOTIFY timeMirroredChanged)
    Q_PROPERTY(double inputEffectAmountNormal READ inputEffectAmountNormal WRITE setInputEffectAmountNormal)
    Q_PROPERTY(double inputEffectParameterNormal READ inputEffectParameterNormal WRITE setInputEffectParameterNormal)
    Q_PROPERTY(double inputEffectTimeNormal READ inputEffectTimeNormal WRITE setInputEffectTimeNormal)
    Q_PROPERTY(QVariant inputEffectAmount READ inputEffectAmount WRITE setInputEffectAmount NOTIFY inputEffectAmountChanged)
    Q_PROPERTY(QVariant inputEffectParameter READ inputEffectParameter WRITE setInputEffectParameter NOTIFY inputEffectParameterChanged)
    Q_PROPERTY(QVariant inputEffectTime READ inputEffectTime WRITE setInputEffectTime NOTIFY inputEffectTimeChanged)
    Q_PROPERTY(QVariant patchTime READ patchTime WRITE setPatchTime)

public:
    Q_INVOKABLE explicit LumoraInterpolationController(QObject *parent = nullptr);
    ~LumoraInterpolationController() override;

    // Outlets (nib objects, not owned).
    QPointer<QObject> outletEffectTimeSlider;
    QPointer<QObject> outletEffectAmountSlider;
    QPointer<QObject> outletEffectParameterSlider;
    QPointer<QObject> outletAutoEffectTimeButton;
    QPointer<QObject> outletTimeMirroredButton;

    bool automaticEffectTime() const { return mAutomaticEffectTime.load(std::memory_order_relaxed); }
    void setAutomaticEffectTime(bool automaticEffectTime);
    bool timeMirrored() const { return mTimeMirrored.load(std::memory_order_relaxed); }
    void setTimeMirrored(bool timeMirrored);

    // Plain values, any thread.
    double inputEffectAmountNormal() const { return mInputEffectAmountNormal.load(std::memory_order_relaxed); }
    void setInputEffectAmountNormal(double value) { mInputEffectAmountNormal.store(value, std::memory_order_relaxed); }
    double inputEffectParameterNormal() const { return mInputEffectParameterNormal.load(std::memory_order_relaxed); }
    void setInputEffectParameterNormal(double value) {
        mInputEffectParameterNormal.store(value, std::memory_order_relaxed);
    }
    double inputEffectTimeNormal() const { return mInputEffectTimeNormal.load(std::memory_order_relaxed); }
    void setInputEffectTimeNormal(double value) { mInputEffectTimeNormal.store(value, std::memory_order_relaxed); }

    // The same values as numbers (key paths). A value without a double value (nil, text that
    // is no number) stores 0, as a nil number's doubleValue is 0.
    QVariant inputEffectAmount() const { return inputEffectAmountNormal(); }
    void setInputEffectAmount(const QVariant &value);
    QVariant inputEffectParameter() const { return inputEffectParameterNormal(); }
    void setInputEffectParameter(const QVariant &value);
    QVariant inputEffectTime() const { return inputEffectTimeNormal(); }
    void setInputEffectTime(const QVariant &value);

    // Master time of the first frame seen, in seconds; nil until then.
    QVariant patchTime() const { return mPatchTime; }
    void setPatchTime(const QVariant &patchTime) { mPatchTime = patchTime; }

    // See the top of the file.
    void setMasterTimeSeconds(double seconds);

    // Mirrored on, automatic on, time 0, amount 0.5, parameter 0.5.
    Q_INVOKABLE void resetDefaultValues(QObject *sender = nullptr);
    // resetDefaultValues.
    Q_INVOKABLE void applicationDidFinishLaunching(const NSNotification &notification);
    // Nothing.
    Q_INVOKABLE void applicationWillTerminate(const NSNotification &notification);

signals:
    void automaticEffectTimeChanged();
    void timeMirroredChanged();
    void inputEffectAmountChanged();
    void inputEffectParameterChanged();
    void inputEffectTimeChanged();

private:
    std::atomic<bool> mAutomaticEffectTime{false};
    std::atomic<bool> mTimeMirrored{false};
    std::atomic<double> mInputEffectAmountNormal{0.0};
    std::atomic<double> mInputEffectParameterNormal{0.0};
    std::atomic<double> mInputEffectTimeNormal{0.0};
    QVariant mPatchTime;
};

bool import_LumoraInterpolationController();
