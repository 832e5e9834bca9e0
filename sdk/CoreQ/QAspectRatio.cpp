#include <CoreQ/QAspectRatio.h>

#include <cmath>

#include <CoreX/CoreMachDebugLog.h>

#include <CoreQ/QGWorld.h>

namespace {

// 100 x ratio in single precision with its fraction cut off (kept as a float: no integer
// conversion to overflow for huge ratios).
float Hundredths(float ratio) { return std::trunc(100.0f * ratio); }

::Dimensions DimensionsOf(const QGWorld &world) {
    if (!VERIFY(world.IsConstructed())) return ::Dimensions{0, 0};
    return world.Dimensions();
}

}  // namespace

QAspectRatio::QAspectRatio(const Rect &rect) : mRatio(1.0f) {
    VERIFY(Construct(float(int(rect.right) - rect.left), float(int(rect.bottom) - rect.top)));
}

QAspectRatio::QAspectRatio(int width, int height) : mRatio(1.0f) {
    VERIFY(Construct(float(width), float(height)));
}

QAspectRatio::QAspectRatio(float width, float height) : mRatio(1.0f) {
    VERIFY(Construct(width, height));
}

QAspectRatio::QAspectRatio(const ::Dimensions &dimensions) : mRatio(1.0f) {
    VERIFY(Construct(float(dimensions.h), float(dimensions.v)));
}

QAspectRatio::QAspectRatio(const QGWorld &world) : QAspectRatio(DimensionsOf(world)) {}

QAspectRatio::QAspectRatio(const CGSize &size) : mRatio(1.0f) {
    VERIFY(Construct(float(size.width), float(size.height)));
}

QAspectRatio::QAspectRatio(const CGRect &rect) : mRatio(1.0f) {
    VERIFY(Construct(float(rect.size.width), float(rect.size.height)));
}

QAspectRatio::QAspectRatio(const PixMap &pixmap) : mRatio(1.0f) {
    const Rect &bounds = pixmap.bounds;
    VERIFY(Construct(float(int(bounds.right) - bounds.left), float(int(bounds.bottom) - bounds.top)));
}

bool QAspectRatio::Construct(float inWidth, float inHeight) {
    if (!VERIFY(inHeight!=0.0)) return false;
    mRatio = std::fabs(inWidth) / std::fabs(inHeight);
    return true;
}

bool QAspectRatio::IsEqual(const QAspectRatio &other) const { return IsEqual(other.mRatio); }

bool QAspectRatio::IsEqual(float otherRatio) const { return Hundredths(mRatio) == Hundredths(otherRatio); }
