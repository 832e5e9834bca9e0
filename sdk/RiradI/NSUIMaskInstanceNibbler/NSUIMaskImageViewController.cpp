#include "NSUIMaskImageViewController.h"

#include <AppKit/NSButton.h>
#include <CocoaGraphics/NSCGMaskContextFromImageView.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSObjCRuntime.h>
#include <UICocoaControls/NSControl_NormalValue.h>
#include <UICocoaMenus/mutex_NSMenu.h>

#include <QAbstractButton>
#include <QAction>
#include <QMenu>

#include <algorithm>
#include <cmath>

NS_REGISTER_CLASS(NSUIMaskImageViewController);

namespace {

constexpr char kFile[] = "/Code/sdk/RiradI/NSUIMaskInstanceNibbler/NSUIMaskImageViewController";

void Report(const char *function, int line, const char *text) { _CoreMachDebugVerifyBody(function, kFile, line, text); }

// A normal value kept in 0..1 (NaN is 0).
float Clamped(double value) { return std::isnan(value) ? 0.0f : std::clamp(float(value), 0.0f, 1.0f); }

}  // namespace

NSUIMaskImageViewController::NSUIMaskImageViewController(QWidget *parent) : NSUITargetActionView(parent) {
    // initTargetActionView
    setBrightnessRange(3.0f);
    setContrastRange(6.0f);
}

NSUIMaskImageViewController::~NSUIMaskImageViewController() = default;

double NSUIMaskImageViewController::brightnessDefaultValue() const {
    return _brightnessRangeValue > 0 ? 1.0 / _brightnessRangeValue : 1.0 / 3.0;
}

double NSUIMaskImageViewController::contrastDefaultValue() const {
    return _contrastRangeValue > 0 ? 1.0 / _contrastRangeValue : 1.0 / 6.0;
}

double NSUIMaskImageViewController::brightness() const {
    return _brightnessSlider ? NormalValue::normalValue(_brightnessSlider.data()) : brightnessDefaultValue();
}

double NSUIMaskImageViewController::contrast() const {
    return _contrastSlider ? NormalValue::normalValue(_contrastSlider.data()) : contrastDefaultValue();
}

void NSUIMaskImageViewController::setBrightness(double value) {
    if (_brightnessSlider) NormalValue::setNormalValue(_brightnessSlider.data(), value);
}

void NSUIMaskImageViewController::setContrast(double value) {
    if (_contrastSlider) NormalValue::setNormalValue(_contrastSlider.data(), value);
}

bool NSUIMaskImageViewController::maskInverted() const {
    if (_invertButton.isNull()) {
        Report("-[NSUIMaskImageViewController maskInverted]", 120, " code : _invertButton");
        return false;
    }
    if (auto *button = qobject_cast<NSButton *>(_invertButton.data())) return button->state() == 1;
    if (auto *button = qobject_cast<QAbstractButton *>(_invertButton.data())) return button->isChecked();
    return false;
}

void NSUIMaskImageViewController::setMaskInverted(bool inverted) {
    if (_invertButton.isNull()) {
        Report("-[NSUIMaskImageViewController setMaskInverted:]", 127, " code : _invertButton");
        return;
    }
    if (auto *button = qobject_cast<NSButton *>(_invertButton.data()))
        button->setState(inverted ? 1 : 0);
    else if (auto *button = qobject_cast<QAbstractButton *>(_invertButton.data()))
        button->setChecked(inverted);
}

void NSUIMaskImageViewController::setDefaultValues() {
    setContrast(contrastDefaultValue());
    setBrightness(brightnessDefaultValue());
    setMaskInverted(false);
}

void NSUIMaskImageViewController::awakeFromNib() {
    if (_maskContextFromImageView == nullptr) setMaskSizePixels(defaultMaskSizePixels());
    setDefaultValues();
}

void NSUIMaskImageViewController::setMaskSizePixels(NSSize size) {
    const auto side = [](double v) { return std::isfinite(v) && v >= 0 && v < 65536 ? unsigned(v) : 0u; };
    _maskContextFromImageView =
        std::make_unique<NSCGMaskContextFromImageView>(_imageView.data(), side(size.width), side(size.height));
}

CoreGraphics::MaskContext *NSUIMaskImageViewController::mask() const {
    return _maskContextFromImageView ? &_maskContextFromImageView->mask() : nullptr;
}

void NSUIMaskImageViewController::ensureMaskContext() {
    if (_maskContextFromImageView == nullptr) setMaskSizePixels(defaultMaskSizePixels());
    else if (_maskContextFromImageView->imageView() != _imageView.data())
        _maskContextFromImageView->setImageView(_imageView.data());
}

void NSUIMaskImageViewController::imageChanged(QObject *) {
    ensureMaskContext();
    _maskContextFromImageView->setDirty(true);
    _maskContextFromImageView->maskUpdate();
    applyMaskGreyRemapping();
    performTargetActionWithObject(static_cast<QObject *>(this));
}

void NSUIMaskImageViewController::imageSourceChanged(QObject *sender) {
    setDefaultValues();
    if (_imageView) _imageView->clearMaskImageRef();
    imageChanged(sender);
}

void NSUIMaskImageViewController::maskControlsReset(QObject *sender) {
    setDefaultValues();
    imageChanged(sender);
}

bool NSUIMaskImageViewController::setImageNamed(const QString &name) {
    if (name.isEmpty()) {
        Report("-[NSUIMaskImageViewController setImageNamed:]", 180, " code : imageName");
        return false;
    }
    std::shared_ptr<NSImage> image = NSImage::imageNamed(name);
    if (image == nullptr) {
        Report("-[NSUIMaskImageViewController setImageNamed:]", 185, " code : imageNamed");
        return false;
    }
    if (_imageView) _imageView->setImage(std::move(image));
    return true;
}

void NSUIMaskImageViewController::setImageNamedByStringValue(QObject *sender) {
    const QString name = sender ? sender->property("stringValue").toString() : QString();
    if (setImageNamed(name))
        imageSourceChanged(sender);
    else
        Report("-[NSUIMaskImageViewController setImageNamedByStringValue:]", 196, " code : setImageNamed");
}

void NSUIMaskImageViewController::setImageNamedBySenderTitle(QAction *item) {
    if (item == nullptr) return;
    mutex_NSMenu::selectExclusive(item);
    if (setImageNamed(item->text()))
        imageSourceChanged(item);
    else
        Report("-[NSUIMaskImageViewController setImageNamedBySenderTitle:]", 205, " code : setImageNamed");
}

void NSUIMaskImageViewController::setPresetsMenuResourceFileNames(const QStringList &names) {
    if (_imageView) _imageView->setPresetsMenuResourceFileNames(names);
}

NSUIMaskGreyRemapTable NSUIMaskImageViewController::maskGreyRemapTable() const {
    NSUIMaskGreyRemapTable table;
    table.Build(Clamped(contrast()) * _contrastRangeValue, Clamped(brightness()) * _brightnessRangeValue);
    if (maskInverted()) table.Reverse();
    return table;
}

void NSUIMaskImageViewController::applyMaskGreyRemapping() {
    const float c = Clamped(contrast()), b = Clamped(brightness());
    const bool inverted = maskInverted();
    // Compared as the single-precision values the sliders hold.
    if (c == float(contrastDefaultValue()) && b == float(brightnessDefaultValue()) && !inverted) {
        if (_imageView) _imageView->clearMaskImageRef();
        return;
    }
    CoreGraphics::MaskContext *maskContext = mask();
    if (maskContext == nullptr) {
        Report("-[NSUIMaskImageViewController applyMaskGreyRemapping]", 236, " code : mask");
        if (_imageView) _imageView->clearMaskImageRef();
        return;
    }
    maskGreyRemapTable().MapMask(*maskContext);
    CGImageRef image = _maskContextFromImageView->copyMaskImageRef();
    if (_imageView) _imageView->setMaskImageRef(image);
    CGImageRelease(image);
}

bool import_NSUIMaskImageViewController() {
    return import_NSUIMaskImageView() && import_NSUIMaskGreyRemapTable() && import_NSCGMaskContextFromImageView() &&
           import_mutex_NSMenu();
}
