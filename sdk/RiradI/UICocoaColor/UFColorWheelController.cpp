#include "UFColorWheelController.h"

#include "UFColorSchemeController.h"

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSObjCRuntime.h>
#include <dispatch/dispatch.h>

#include <algorithm>
#include <cmath>

NS_REGISTER_CLASS(UFColorWheelController);

namespace {

constexpr float kPi = 3.1415927f;

// Radii of the hue marks, and how far out they sit.
constexpr CGFloat kDominantMarkRadius = 6.6666;
constexpr CGFloat kOtherMarkRadius = 3.3333;
constexpr float kMarkDistance = 0.333f;

float Clamp(float value, float low, float high) { return std::clamp(value, low, high); }

// The hue of a colour as a value in [0, 1]; greys have hue 0.
float HueComponent(const QColor &color) { return Clamp(static_cast<float>(color.hsvHueF()), 0.0f, 1.0f); }

// Qt wants a hue below a whole turn.
QColor HsbColor(float hue, float saturation, float brightness, float alpha) {
    return QColor::fromHsvF(std::fmod(Clamp(hue, 0.0f, 1.0f), 1.0f), saturation, brightness, alpha);
}

}  // namespace

UFColorWheelController::UFColorWheelController(QObject *parent) : NSObject(parent) {
    setNumberOfSlices(6);
    resetHueSelectionArray();
}

UFColorWheelController::~UFColorWheelController() = default;

UFColorSchemeController *UFColorWheelController::outletColorSchemeController() const { return mColorScheme.data(); }

void UFColorWheelController::setOutletColorSchemeController(UFColorSchemeController *controller) {
    mColorScheme = controller;
}

void UFColorWheelController::queueColorWheelChanged() {
    QPointer<UFColorWheelController> guarded(this);
    dispatch_async(dispatch_get_main_queue(), [guarded] {
        if (!guarded.isNull()) guarded->actionColorWheelChanged(guarded.data());
    });
}

// ---- Slices -------------------------------------------------------------------------------

void UFColorWheelController::setNumberOfSlices(uint n) {
    const uint count = std::max(n, 3u);
    std::vector<UFColorWheelHueSlice> slices;
    slices.reserve(count);
    for (uint k = 1; k <= count; ++k)
        slices.push_back(UFColorWheelHueSlice::hueSliceFromPolar(
            {0.5f, static_cast<float>(k - 1) * kUFColorWheelTwoPi / static_cast<float>(count)},
            {0.5f, static_cast<float>(k) * kUFColorWheelTwoPi / static_cast<float>(count)}));
    setHueSlices(std::move(slices));
    queueColorWheelChanged();
}

void UFColorWheelController::setHueSlices(std::vector<UFColorWheelHueSlice> slices) {
    mHueSlices = std::move(slices);
    emit hueSlicesChanged();
}

float UFColorWheelController::hueSliceWidthRadians() const {
    return kUFColorWheelTwoPi / static_cast<float>(numberOfSlices());
}

// ---- Selection ----------------------------------------------------------------------------

void UFColorWheelController::setSelectedSliceIndex(uint index) {
    if (index != mSelectedSliceIndex) {
        mSelectedSliceIndex = index;
        emit selectedSliceIndexChanged();
    }
    queueColorWheelChanged();
}

const UFColorWheelHueSlice *UFColorWheelController::selectedSlice() const {
    if (mSelectedSliceIndex == kNoSelectedSlice || mSelectedSliceIndex >= mHueSlices.size()) return nullptr;
    return &mHueSlices[mSelectedSliceIndex];
}

float UFColorWheelController::selectedColorHueAngleRadians() const {
    const UFColorWheelHueSlice *slice = selectedSlice();
    return slice != nullptr ? slice->centerAngleRadians() : 0.0f;
}

// ---- Recomputing the colours --------------------------------------------------------------

void UFColorWheelController::actionColorWheelChanged(QObject *) {
    switch (mHueCombination) {
    case kHueCombinationAnalogous: updateAnalagousColorHueSelection(); break;
    case kHueCombinationTriadic: updateTriadicColorHueSelection(); break;
    case kHueCombinationComplementary: updateComplementaryColorHueSelection(); break;
    case kHueCombinationSplitComplementary: updateSplitComplementaryColorHueSelection(); break;
    case kHueCombinationBlackAndWhite: updateBlackAndWhiteColorHueSelection(); break;
    default: break;
    }
    if (QObject *delegate = mDelegate.data();
        delegate != nullptr && ::respondsToSelector(delegate, "colorWheelControllerDidChange")) {
        QPointer<QObject> guardedDelegate(delegate);
        QPointer<UFColorWheelController> guarded(this);
        dispatch_async(dispatch_get_main_queue(), [guardedDelegate, guarded] {
            if (guardedDelegate.isNull() || guarded.isNull()) return;
            ::performSelector(guardedDelegate.data(), "colorWheelControllerDidChange",
                            QVariant::fromValue<QObject *>(guarded.data()));
        });
    }
    setColorChangedCount(mColorChangedCount + 1);
}

void UFColorWheelController::updateSelectedDominantColorHue() {
    resetHueSelectionArray();
    const float angle = selectedColorHueAngleRadians();
    mSelectedHues[0] = angle;
    if (mColorScheme) mColorScheme->setDominantColor(dominantHueColorWithHueNormalValue(hueValueFromHueColorAngleRadians(angle)));
}

void UFColorWheelController::updateSecondaryColorAngleRadians(float angle) {
    setCenterAngleRadians(angle, 1);
    if (mColorScheme)
        mColorScheme->setSecondaryColor(secondaryHueColorWithHueNormalValue(hueValueFromHueColorAngleRadians(angle)));
}

void UFColorWheelController::updateTertiaryColorAngleRadians(float angle) {
    setCenterAngleRadians(angle, 2);
    if (mColorScheme)
        mColorScheme->setTertiaryColor(secondaryHueColorWithHueNormalValue(hueValueFromHueColorAngleRadians(angle)));
}

void UFColorWheelController::updateAnalagousColorHueSelection() {
    updateSelectedDominantColorHue();
    const float theta = selectedColorHueAngleRadians();
    const float width = hueSliceWidthRadians();
    updateSecondaryColorAngleRadians(theta - width);
    updateTertiaryColorAngleRadians(theta + width);
}

void UFColorWheelController::updateTriadicColorHueSelection() {
    updateSelectedDominantColorHue();
    const float theta = selectedColorHueAngleRadians();
    updateSecondaryColorAngleRadians(theta - kThirdOfATurn);
    updateTertiaryColorAngleRadians(theta + kThirdOfATurn);
}

void UFColorWheelController::updateComplementaryColorHueSelection() {
    updateSelectedDominantColorHue();
    updateSecondaryColorAngleRadians(selectedColorHueAngleRadians() - kPi);
    if (mSelectedHues.size() > 2) mSelectedHues.erase(mSelectedHues.begin() + 2);
    if (mColorScheme) mColorScheme->setTertiaryColor(userSelectedHueComplementaryColorForTwoColorSchemes());
}

void UFColorWheelController::updateSplitComplementaryColorHueSelection() {
    updateSelectedDominantColorHue();
    const float theta = selectedColorHueAngleRadians();
    const float width = hueSliceWidthRadians();
    updateSecondaryColorAngleRadians(theta + kPi - width);
    updateTertiaryColorAngleRadians(theta + kPi + width);
}

void UFColorWheelController::updateBlackAndWhiteColorHueSelection() {
    updateSelectedDominantColorHue();
    updateSecondaryColorAngleRadians(selectedColorHueAngleRadians() - kPi);
    if (mSelectedHues.size() > 2) mSelectedHues.erase(mSelectedHues.begin() + 2);
    if (mColorScheme) mColorScheme->setTertiaryColor(userSelectedHueComplementaryColorForTwoColorSchemes());
}

// ---- Marks --------------------------------------------------------------------------------

void UFColorWheelController::setCenterAngleRadians(float angle, uint index) {
    if (index <= 2 && index < mSelectedHues.size()) mSelectedHues[index] = angle;
}

void UFColorWheelController::resetHueSelectionArray() { mSelectedHues.assign(3, 0.0f); }

// ---- Colours ------------------------------------------------------------------------------

float UFColorWheelController::hueValueFromHueColorAngleRadians(float angle) {
    if (angle < 0.0f)
        angle += kUFColorWheelTwoPi;
    else if (angle >= kUFColorWheelTwoPi)
        angle -= kUFColorWheelTwoPi;
    return angle / kUFColorWheelTwoPi;
}

float UFColorWheelController::colorBrightness() const { return Clamp(1.0f - mContrast, 0.0f, 1.0f); }

float UFColorWheelController::colorSaturation() const { return Clamp(mContrast, 0.0f, 1.0f); }

QColor UFColorWheelController::dominantHueColorWithHueNormalValue(float hue) const {
    const float saturation = Clamp(colorSaturation() + 0.5f, 0.33f, 1.0f);
    const float brightness = Clamp(colorBrightness() + 0.5f, 0.33f, 1.0f);
    return transformColorBlackAndWhite(HsbColor(hue, saturation, brightness, 1.0f));
}

QColor UFColorWheelController::secondaryHueColorWithHueNormalValue(float hue) const {
    const float saturation = Clamp(1.5f - colorSaturation(), 0.33f, 1.0f);
    const float brightness = Clamp(1.5f - colorBrightness(), 0.33f, 1.0f);
    return transformColorBlackAndWhite(HsbColor(hue, saturation, brightness, 1.0f));
}

QColor UFColorWheelController::transformColorBlackAndWhite(const QColor &color) const {
    if (mHueCombination != kHueCombinationBlackAndWhite) return color;
    return QColor::fromHsvF(0.0f, 0.01f, HueComponent(color), color.alphaF());
}

QColor UFColorWheelController::userSelectedHueComplementaryColorForTwoColorSchemes() const {
    return QColor::fromHsvF(0.0f, 0.0f, Clamp(mGreyLevel, 0.0f, 1.0f), 1.0f);
}

// ---- The scheme ---------------------------------------------------------------------------

void UFColorWheelController::setHueCombination(uint combination) {
    if (combination == mHueCombination) return;
    mHueCombination = combination;
    emit hueCombinationChanged();
}

void UFColorWheelController::setColorScheme(uint scheme) {
    setHueCombination(scheme);
    queueColorWheelChanged();
}

QString UFColorWheelController::schemeSummary() const {
    switch (mHueCombination) {
    case kHueCombinationAnalogous: return QStringLiteral("Analogous");
    case kHueCombinationTriadic: return QStringLiteral("Triadic");
    case kHueCombinationComplementary: return QStringLiteral("Complementary");
    case kHueCombinationSplitComplementary: return QStringLiteral("Split");
    case kHueCombinationBlackAndWhite: return QStringLiteral("Black & White");
    default: return QStringLiteral("ColorWheel");
    }
}

bool UFColorWheelController::needsDesaturatedColorWheel() const {
    return mHueCombination == kHueCombinationBlackAndWhite;
}

bool UFColorWheelController::needsBlackWhiteGreyControl() const {
    return mHueCombination == kHueCombinationComplementary || mHueCombination == kHueCombinationBlackAndWhite;
}

bool UFColorWheelController::needsColorContrastControl() const {
    return mHueCombination != kHueCombinationBlackAndWhite;
}

QSet<QString> UFColorWheelController::keyPathsForValuesAffectingValueForKey(const QString &key) const {
    if (key == QLatin1String("needsDesaturatedColorWheel") || key == QLatin1String("needsBlackWhiteGreyControl") ||
        key == QLatin1String("needsColorContrastControl"))
        return {QStringLiteral("hueCombination")};
    return NSObject::keyPathsForValuesAffectingValueForKey(key);
}

void UFColorWheelController::setColorSchemeContrastNormalValue(float value) {
    if (value == mContrast) return;
    mContrast = value;
    emit colorSchemeContrastNormalValueChanged();
}

void UFColorWheelController::setColorSchemeGreyLevelNormalValue(float value) {
    if (value == mGreyLevel) return;
    mGreyLevel = value;
    emit colorSchemeGreyLevelNormalValueChanged();
}

void UFColorWheelController::setColorChangedCount(uint count) {
    if (count == mColorChangedCount) return;
    mColorChangedCount = count;
    emit colorChangedCountChanged();
}

// ---- Hit testing and drawing --------------------------------------------------------------

uint UFColorWheelController::sliceIndexFromHitTestAtUnitPolarPoint(UFPolarPoint point) const {
    for (std::size_t i = 0; i < mHueSlices.size(); ++i)
        if (mHueSlices[i].hitTestWithUnitPolarPoint(point)) return static_cast<uint>(i);
    return kNoSelectedSlice;
}

void UFColorWheelController::drawIntoDestinationRect(CGContextRef context, CGRect rect) const {
    drawWithSelectionChrome(true, context, rect);
}

void UFColorWheelController::drawWithSelectionChrome(bool chrome, CGContextRef context, CGRect rect) const {
    if (context == nullptr) return;
    const bool desaturated = needsDesaturatedColorWheel();
    for (std::size_t i = 0; i < mHueSlices.size(); ++i) {
        const UFColorWheelHueSlice &slice = mHueSlices[i];
        const UFPath path = slice.bezierPathWithinRect(rect, chrome && i == mSelectedSliceIndex);
        const QColor color = (desaturated ? slice.desaturatedColorHue() : slice.colorHue()).toRgb();
        CGContextSetRGBFillColor(context, color.redF(), color.greenF(), color.blueF(), color.alphaF());
        CGContextAddPath(context, path.get());
        CGContextFillPath(context);
    }
    if (chrome && selectedSlice() != nullptr) {
        const UFPath marks = bezierPathForSelectedHuesWithinRect(rect);
        CGContextSetRGBFillColor(context, 0, 0, 0, 1);
        CGContextAddPath(context, marks.get());
        CGContextFillPath(context);
    }
}

UFPath UFColorWheelController::bezierPathForSelectedHuesWithinRect(CGRect rect) const {
    CGMutablePathRef path = CGPathCreateMutable();
    for (std::size_t i = 0; i < mSelectedHues.size(); ++i) {
        const float angle = mSelectedHues[i];
        const CGPoint centre = UFColorWheelHueSlice::translateUnitPoint(
            CGPointMake(kMarkDistance * std::sin(angle), kMarkDistance * std::cos(angle)), rect);
        const CGFloat radius = i == 0 ? kDominantMarkRadius : kOtherMarkRadius;
        // A whole round dot; the arc's angles are radians.
        CGPathMoveToPoint(path, nullptr, centre.x + radius, centre.y);
        CGPathAddArc(path, nullptr, centre.x, centre.y, radius, 0, 2 * M_PI, false);
        CGPathCloseSubpath(path);
    }
    return UFPath(path);
}

bool import_UFColorWheelController() {
    return VERIFY_TEXT(import_UFColorWheelHueSlice(), " code : import_UFColorWheelHueSlice()") &&
           VERIFY_TEXT(import_UFColorSchemeController(), " code : import_UFColorSchemeController()");
}
