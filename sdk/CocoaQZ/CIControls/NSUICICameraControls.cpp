#include "NSUICICameraControls.h"

#include "NSColorWell_CoreImage.h"

#include <CoreImage/CIPlugIn.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSObjCRuntime.h>
#include <Foundation/NSUserDefaults.h>
#include <UICocoaColor/NSColorWellWithAlpha.h>
#include <UICocoaControls/NSSlider.h>
#include <UIParamMapping/NSUIParamMapping.h>
#include <AppKit/NSButton.h>

#include <cmath>
#include <mutex>

NS_REGISTER_CLASS(NSUICICameraControls);

namespace {

constexpr CGFloat kFrameWidth = 640, kFrameHeight = 480;

bool BoxIsOn(const QAbstractButton *box) {
    if (box == nullptr) return false;
    if (const auto *button = qobject_cast<const NSButton *>(box)) return button->state() == 1;
    return box->isChecked();
}

void SetBox(QAbstractButton *box, int state) {
    if (box == nullptr) return;
    if (auto *button = qobject_cast<NSButton *>(box))
        button->setState(state);
    else
        box->setChecked(state != 0);
}

CIFilterRef MakeFilter(const char *name) {
    CIFilterRef filter = CIFilter::filterWithName(name);
    if (filter != nullptr) filter->setDefaults();
    return filter;
}

CIImageRef Through(const CIFilterRef &filter, CIImageRef image) {
    if (filter == nullptr || image == nullptr) return image;
    filter->setValue(image, kCIInputImageKey);
    return filter->outputImage();
}

// The slider's value as text, the way the defaults keep it.
QString SliderText(const NSSlider &slider) { return QString::number(slider.doubleValue(), 'g', 9); }

}  // namespace

NSUICICameraControls::NSUICICameraControls(QObject *parent) : NSObject(parent) {
    loadCoreImagePlugIns();
    mWhitePointAdjust = MakeFilter("CIWhitePointAdjust");
    setDefaultIdentity(mWhitePointAdjust, "inputColor");
    mExposure = MakeFilter("CIExposureAdjust");
    setDefaultIdentity(mExposure, "inputEV");
    mColor = MakeFilter("CIColorControls");
    setDefaultIdentity(mColor, "inputSaturation");
    setDefaultIdentity(mColor, "inputBrightness");
    setDefaultIdentity(mColor, "inputContrast");
    mCrop = MakeFilter("CICrop");
    if (mCrop != nullptr)
        mCrop->setValue(CIVector::vectorWithX(0, 0, kFrameWidth, kFrameHeight), "inputRectangle");
}

NSUICICameraControls::~NSUICICameraControls() = default;

void NSUICICameraControls::loadCoreImagePlugIns() {
    static std::once_flag once;
    std::call_once(once, [] { CIPlugIn::loadAllPlugIns(); });
}

void NSUICICameraControls::setDefaultIdentity(const CIFilterRef &filter, const std::string &key) {
    if (filter == nullptr) return;
    const CIFilterAttributes attributes = filter->attributes();
    const CIInputAttributes *input = attributes.input(key);
    if (input == nullptr) return;
    if (input->identity.has_value())
        filter->setValue(*input->identity, key);
    else if (input->className == "CIColor")
        filter->setValue(defaultWhiteBalanceCIColor(), key);
}

CIImageRef NSUICICameraControls::filteredImage(const CIImageRef &image) const {
    if (image == nullptr) return nullptr;
    CIImageRef result = Through(mWhitePointAdjust, image);
    result = Through(mExposure, result);
    result = Through(mColor, result);
    if (result == nullptr) return nullptr;
    result = result->imageByApplyingTransform(mMirrorTransform);
    return result->imageByCroppingToRect(CGRectMake(0, 0, kFrameWidth, kFrameHeight));
}

void NSUICICameraControls::updateFilterStackState(QObject *) {
    if (mWhitePointAdjust != nullptr) {
        const CIColor white = BoxIsOn(_whiteBalanceEnable) && _whiteBalanceColor != nullptr
                                  ? NSColorWell_CoreImage::getCIColorOpaque(*_whiteBalanceColor)
                                  : defaultWhiteBalanceCIColor();
        mWhitePointAdjust->setValue(white, "inputColor");
    }
    if (mExposure != nullptr && _exposureSlider != nullptr)
        mExposure->setValue(_exposureSlider->doubleValue(), "inputEV");
    if (mColor != nullptr) {
        if (_brightnessSlider != nullptr) mColor->setValue(_brightnessSlider->doubleValue(), "inputBrightness");
        if (_contrastSlider != nullptr) mColor->setValue(_contrastSlider->doubleValue(), "inputContrast");
        if (_saturationSlider != nullptr) mColor->setValue(_saturationSlider->doubleValue(), "inputSaturation");
    }
    CGAffineTransform mirror = CGAffineTransformIdentity;
    if (BoxIsOn(_mirrorImageX)) {
        mirror = CGAffineTransformTranslate(mirror, kFrameWidth, 0);
        mirror = CGAffineTransformScale(mirror, -1, 1);
    }
    if (BoxIsOn(_mirrorImageY)) {
        mirror = CGAffineTransformTranslate(mirror, 0, kFrameHeight);
        mirror = CGAffineTransformScale(mirror, 1, -1);
    }
    mMirrorTransform = mirror;
}

void NSUICICameraControls::resetDefaults(QObject *sender) {
    if (_whiteBalanceColor != nullptr) _whiteBalanceColor->setColor(defaultWhiteBalanceColor());
    SetBox(_whiteBalanceEnable, 0);
    SetBox(_mirrorImageX, 0);
    SetBox(_mirrorImageY, 0);
    if (_exposureSlider != nullptr) _exposureSlider->setDoubleValue(0.0);
    if (_brightnessSlider != nullptr) _brightnessSlider->setDoubleValue(0.0);
    if (_contrastSlider != nullptr) _contrastSlider->setDoubleValue(1.0);
    if (_saturationSlider != nullptr) _saturationSlider->setDoubleValue(1.0);
    updateFilterStackState(sender);
}

void NSUICICameraControls::preferencesSaveDefaults(QObject *) {
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    const std::pair<const char *, NSSlider *> sliders[] = {{"_exposureSlider", _exposureSlider},
                                                           {"_brightnessSlider", _brightnessSlider},
                                                           {"_contrastSlider", _contrastSlider},
                                                           {"_saturationSlider", _saturationSlider}};
    for (const auto &[key, slider] : sliders)
        if (VERIFY_TEXT(slider != nullptr, "inObject")) defaults.setObject(SliderText(*slider), key);
    const std::pair<const char *, QAbstractButton *> boxes[] = {{"_mirrorImageX", _mirrorImageX},
                                                                {"_mirrorImageY", _mirrorImageY},
                                                                {"_whiteBalanceEnable", _whiteBalanceEnable}};
    for (const auto &[key, box] : boxes)
        if (VERIFY_TEXT(box != nullptr, "inObject")) defaults.setInteger(BoxIsOn(box) ? 1 : 0, key);
    if (VERIFY_TEXT(_whiteBalanceColor != nullptr, "inObject"))
        defaults.setObject(NSParamMapping::sendGetter(_whiteBalanceColor, "color4DParam"), "_whiteBalanceColor");
}

void NSUICICameraControls::preferencesLoadDefaults(QObject *sender) {
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    auto text = [&](const char *key, const char *fallback) {
        const QString stored = defaults.stringForKey(key);
        return stored.isEmpty() ? QString::fromLatin1(fallback) : stored;
    };
    auto number = [&](const char *key, const char *fallback) {
        bool ok = false;
        const double value = text(key, fallback).toDouble(&ok);
        return ok && std::isfinite(value) ? value : QString::fromLatin1(fallback).toDouble();
    };
    if (_exposureSlider != nullptr) _exposureSlider->setDoubleValue(number("_exposureSlider", "0.0"));
    if (_brightnessSlider != nullptr) _brightnessSlider->setDoubleValue(number("_brightnessSlider", "0.0"));
    if (_contrastSlider != nullptr) _contrastSlider->setDoubleValue(number("_contrastSlider", "1.0"));
    if (_saturationSlider != nullptr) _saturationSlider->setDoubleValue(number("_saturationSlider", "1.0"));
    SetBox(_mirrorImageX, int(defaults.integerForKey("_mirrorImageX")));
    SetBox(_mirrorImageY, int(defaults.integerForKey("_mirrorImageY")));
    SetBox(_whiteBalanceEnable, int(defaults.integerForKey("_whiteBalanceEnable")));
    if (_whiteBalanceColor != nullptr)
        NSParamMapping::sendSetter(_whiteBalanceColor, "setColor4DParam:",
                                   text("_whiteBalanceColor", "rgba(1.0f,1.0f,1.0f,1.0f)"));
    updateFilterStackState(sender);
}

bool import_NSUICICameraControls() { return true; }
