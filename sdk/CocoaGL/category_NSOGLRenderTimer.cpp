#include <CocoaGL/category_NSOGLRenderTimer.h>

#include <QMetaMethod>

#include <cmath>

using Clock = std::chrono::steady_clock;

NSOGLRenderTimer::NSOGLRenderTimer(std::chrono::duration<double> interval, QObject *target, int methodIndex)
    : mInterval(interval), mTarget(target), mMethodIndex(methodIndex) {
    mTimer.setSingleShot(true);
    mTimer.setTimerType(Qt::PreciseTimer);
    connect(&mTimer, &QTimer::timeout, this, &NSOGLRenderTimer::fire);
    mStart = Clock::now();
    mTick = 1;
    arm();
}

NSOGLRenderTimer::~NSOGLRenderTimer() = default;

void NSOGLRenderTimer::invalidate() {
    mValid = false;
    mTimer.stop();
}

void NSOGLRenderTimer::arm() {
    const auto due = mStart + std::chrono::duration_cast<Clock::duration>(mInterval * double(mTick));
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now());
    mTimer.start(std::max(left, std::chrono::milliseconds(0)));
}

void NSOGLRenderTimer::fire() {
    if (!mValid) return;
    const auto now = Clock::now();
    const auto due = mStart + std::chrono::duration_cast<Clock::duration>(mInterval * double(mTick));
    if (now < due) {  // the millisecond timer came early: wait for the due point
        arm();
        return;
    }
    // The next due point after now; the ones already past are skipped.
    const double elapsed = std::chrono::duration<double>(now - mStart).count() / mInterval.count();
    mTick = std::max(mTick + 1, uint64_t(std::floor(elapsed)) + 1);
    arm();
    ++mFireCount;
    if (QObject *target = mTarget.data())
        target->metaObject()->method(mMethodIndex).invoke(target, Qt::DirectConnection);
    else
        invalidate();  // the target is gone
}

namespace category_NSOGLRenderTimer {

std::unique_ptr<NSOGLRenderTimer> renderTimerWithFPS(double fps, QObject *target, const char *method) {
    if (!std::isfinite(fps) || fps <= 0.0 || target == nullptr || method == nullptr) return nullptr;
    const double seconds = 1.0 / fps;
    if (!(seconds >= 1e-6) || !std::isfinite(seconds) || seconds > 1e6) return nullptr;
    const QByteArray signature = QMetaObject::normalizedSignature((QByteArray(method) + "()").constData());
    const int index = target->metaObject()->indexOfMethod(signature.constData());
    if (index < 0) return nullptr;
    return std::unique_ptr<NSOGLRenderTimer>(
        new NSOGLRenderTimer(std::chrono::duration<double>(seconds), target, index));
}

}  // namespace category_NSOGLRenderTimer

bool import_category_NSOGLRenderTimer() { return true; }
