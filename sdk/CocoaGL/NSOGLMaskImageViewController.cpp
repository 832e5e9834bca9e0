#include "NSOGLMaskImageViewController.h"

#include <AppKit/NSButton.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSObjCRuntime.h>
#include <Foundation/NSUserDefaults.h>
#include <UICocoaControls/NSControl_NormalValue.h>

#include <QAbstractButton>

#include <optional>

NS_REGISTER_CLASS(NSOGLMaskImageViewController);

namespace {

constexpr char kFile[] = "/Code/sdk/CocoaGL/NSOGLMaskImageViewController";

// The control's string value: its "stringValue", else its double value as text; none without
// a control or either property.
std::optional<QString> StringValue(const QObject *control) {
    if (control == nullptr) return std::nullopt;
    const QVariant text = control->property("stringValue");
    if (text.isValid()) return text.toString();
    const QVariant number = control->property("doubleValue");
    if (number.isValid()) return QString::number(number.toDouble(), 'g', 15);
    return std::nullopt;
}

void NSUserDefaultSaveObject(NSUserDefaults &defaults, const QObject *control, const char *key) {
    const std::optional<QString> value = StringValue(control);
    if (!value) {
        _CoreMachDebugVerifyBody("NSUserDefaultSaveObject", kFile, __LINE__, "inObject");
        return;
    }
    defaults.setObject(*value, QString::fromLatin1(key));
}

void SetDoubleValue(QObject *control, double value) {
    if (control) control->setProperty("doubleValue", value);
}

int IntegerValue(const QObject *button) {
    if (auto *ns = qobject_cast<const NSButton *>(button)) return ns->state();
    if (auto *qt = qobject_cast<const QAbstractButton *>(button)) return qt->isChecked() ? 1 : 0;
    return button ? button->property("intValue").toInt() : 0;
}

void SetIntegerValue(QObject *button, int value) {
    if (auto *ns = qobject_cast<NSButton *>(button)) ns->setState(value);
    else if (auto *qt = qobject_cast<QAbstractButton *>(button)) qt->setChecked(value != 0);
    else if (button) button->setProperty("intValue", value);
}

double Normal(const QObject *slider, double fallback) {
    return slider ? NormalValue::normalValue(const_cast<QObject *>(slider)) : fallback;
}

void SetNormal(QObject *slider, double value) {
    if (slider) NormalValue::setNormalValue(slider, value);
}

}  // namespace

NSOGLMaskImageViewController::NSOGLMaskImageViewController(QWidget *parent) : NSUIMaskImageViewController(parent) {}

NSOGLMaskImageViewController::~NSOGLMaskImageViewController() = default;

void NSOGLMaskImageViewController::setDefaultValues() {
    NSUIMaskImageViewController::setDefaultValues();
    SetNormal(_maskScaleSlider.data(), 0.5);
    SetNormal(_maskAngleSlider.data(), 0.0);
    SetNormal(_maskTranslateXSlider.data(), 0.5);
    SetNormal(_maskTranslateYSlider.data(), 0.5);
    imageChanged(this);
}

double NSOGLMaskImageViewController::maskScaleNormal() const { return 1.001 - Normal(_maskScaleSlider.data(), 0.5); }
double NSOGLMaskImageViewController::maskAngleNormal() const { return Normal(_maskAngleSlider.data(), 0.0); }
double NSOGLMaskImageViewController::maskTranslateXNormal() const { return Normal(_maskTranslateXSlider.data(), 0.5); }
double NSOGLMaskImageViewController::maskTranslateYNormal() const {
    return 1.0 - Normal(_maskTranslateYSlider.data(), 0.5);
}

void NSOGLMaskImageViewController::setMaskScaleNormal(double value) { SetNormal(_maskScaleSlider.data(), 1.001 - value); }
void NSOGLMaskImageViewController::setMaskAngleNormal(double value) { SetNormal(_maskAngleSlider.data(), value); }
void NSOGLMaskImageViewController::setMaskTranslateXNormal(double value) {
    SetNormal(_maskTranslateXSlider.data(), value);
}
void NSOGLMaskImageViewController::setMaskTranslateYNormal(double value) {
    SetNormal(_maskTranslateYSlider.data(), 1.0 - value);
}

void NSOGLMaskImageViewController::maskMatrixChanged(QObject *) {}

void NSOGLMaskImageViewController::imageSourceChanged(QObject *sender) {
    if (maskImageView()) maskImageView()->clearMaskImageRef();
    imageChanged(sender);
}

void NSOGLMaskImageViewController::maskControlsReset(QObject *) { setDefaultValues(); }

void NSOGLMaskImageViewController::applicationWillTerminate(const NSNotification &) {
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    NSUserDefaultSaveObject(defaults, contrastSlider(), "_contrastSlider");
    NSUserDefaultSaveObject(defaults, brightnessSlider(), "_brightnessSlider");
    if (invertButton()) defaults.setObject(IntegerValue(invertButton()), QStringLiteral("_invertButton"));
    NSUserDefaultSaveObject(defaults, _maskScaleSlider.data(), "_maskScaleSlider");
    NSUserDefaultSaveObject(defaults, _maskAngleSlider.data(), "_maskAngleSlider");
    NSUserDefaultSaveObject(defaults, _maskTranslateXSlider.data(), "_maskTranslateXSlider");
    NSUserDefaultSaveObject(defaults, _maskTranslateYSlider.data(), "_maskTranslateYSlider");
}

void NSOGLMaskImageViewController::applicationDidFinishLaunching(const NSNotification &) {
    setDefaultValues();
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    const auto restore = [&defaults](QObject *slider, const char *key, const char *fallback) {
        const QVariant stored = defaults.objectForKey(QString::fromLatin1(key));
        const QString text = stored.typeId() == QMetaType::QString ? stored.toString() : QString::fromLatin1(fallback);
        SetDoubleValue(slider, text.toDouble());
    };
    restore(contrastSlider(), "_contrastSlider", "0.0");
    restore(brightnessSlider(), "_brightnessSlider", "0.0");
    restore(_maskScaleSlider.data(), "_maskScaleSlider", "0.5");
    restore(_maskAngleSlider.data(), "_maskAngleSlider", "0.0");
    restore(_maskTranslateXSlider.data(), "_maskTranslateXSlider", "0.5");
    restore(_maskTranslateYSlider.data(), "_maskTranslateYSlider", "0.5");
    const QVariant inverted = defaults.objectForKey(QStringLiteral("_invertButton"));
    bool isNumber = false;
    const int value = inverted.typeId() == QMetaType::QString ? 0 : inverted.toInt(&isNumber);
    SetIntegerValue(invertButton(), isNumber ? value : 0);
}

bool import_NSOGLMaskImageViewController() { return import_NSUIMaskImageViewController(); }
