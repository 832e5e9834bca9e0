// QAspectRatio: a width-to-height ratio with an equality that ignores everything past the
// second decimal, used to fit movies and pictures into offscreen worlds.
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <QuickTime/QuickDraw.h>

#include <CoreQ/QPixMap.h>

class QGWorld;

class QAspectRatio {
public:
    // Each constructor runs Construct and reports a failure (a height of 0, which leaves the
    // ratio at 1.0).
    QAspectRatio() : mRatio(1.0f) {}
    explicit QAspectRatio(const Rect &rect);
    QAspectRatio(int width, int height);
    QAspectRatio(float width, float height);
    explicit QAspectRatio(const ::Dimensions &dimensions);
    // The world's dimensions; a world that is not built counts as 0 x 0 (reported).
    explicit QAspectRatio(const QGWorld &world);
    explicit QAspectRatio(const CGSize &size);
    explicit QAspectRatio(const CGRect &rect);
    // The pixel map's bounds.
    explicit QAspectRatio(const PixMap &pixmap);

    // ratio = |width| / |height|. A height of 0 is reported ("inHeight!=0.0") and answers
    // false with the ratio unchanged.
    bool Construct(float inWidth, float inHeight);

    float GetRatio() const { return mRatio; }

    // Exactly 1.
    bool IsSquare() const { return mRatio == 1.0f; }
    // Equal to two decimals, the rest cut off: 1.7777 equals 1.7799, 1.333 differs from 1.34.
    bool IsEqual(const QAspectRatio &other) const;
    bool IsEqual(float otherRatio) const;

private:
    float mRatio;
};
