// QActualFPSController: the frame rate the frame loop really reaches, the average over every
// frame since sampling began, shown as text ("%1.2lf fps").
//
// The frame loop calls sampleNow once per rendered frame. The first call only begins sampling;
// each later one adds the time since the previous frame. Every 30th frame, and when sampling
// begins or ends, a change of "framesPerSecond" (and so of "sampleRateDisplay", which depends on
// it) is announced on the main queue, whatever thread sampled, so observers update on the main
// thread. All state is kept under the object's lock, so any thread may sample or read.
//
// Times are seconds on the monotonic clock (never 0 while the machine runs, which keeps 0 free
// to mean "not sampling"): a wall-clock step would otherwise bend the average.
#pragma once

#include <Foundation/NSObject.h>

#include <QSet>
#include <QString>

#include <cstdint>
#include <mutex>

class QActualFPSController : public NSObject {
    Q_OBJECT
    Q_PROPERTY(double framesPerSecond READ framesPerSecond)
    Q_PROPERTY(QString sampleRateDisplay READ sampleRateDisplay)
    Q_PROPERTY(double lastSample READ lastSample WRITE setLastSample)
    Q_PROPERTY(double sampleAccumulator READ sampleAccumulator WRITE setSampleAccumulator)
    Q_PROPERTY(uint sampleCount READ sampleCount WRITE setSampleCount)

public:
    Q_INVOKABLE explicit QActualFPSController(QObject *parent = nullptr);
    ~QActualFPSController() override;

    // Not sampling.
    Q_INVOKABLE void awakeFromNib();
    // Starts a new average now (announced).
    Q_INVOKABLE void beginSampling();
    // Stops sampling: the rate reads 0 (announced).
    Q_INVOKABLE void endSampling();
    // One rendered frame (see above).
    Q_INVOKABLE void sampleNow();

    // 1 / (accumulated seconds / frames), or 0 before the second frame (or when no time passed).
    double framesPerSecond() const;
    QString sampleRateDisplay() const;

    // Posts will-change and did-change of the key to the main queue; nothing reaches an object
    // destroyed before the queue runs.
    void notifyKVObserversKeyChange(const QString &key);

    double lastSample() const;
    void setLastSample(double seconds);
    double sampleAccumulator() const;
    void setSampleAccumulator(double seconds);
    uint32_t sampleCount() const;
    void setSampleCount(uint32_t count);

    QSet<QString> keyPathsForValuesAffectingValueForKey(const QString &key) const override;

protected:
    // Now, in seconds on the monotonic clock; tests give their own clock.
    virtual double currentTime() const;

private:
    mutable std::mutex mLock;
    double mLastSample = 0.0;
    double mSampleAccumulator = 0.0;
    uint32_t mSampleCount = 0;
};

bool import_QActualFPSController();
