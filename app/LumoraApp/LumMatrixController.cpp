#include "LumMatrixController.h"

#include "LumoraControlDefaults.h"

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSObjCRuntime.h>
#include <UIParamMapping/NSUIPersistentPrefs.h>

#include <QAbstractButton>
#include <QLocale>
#include <QVariant>

#include <cmath>

NS_REGISTER_CLASS(LumMatrixController);
NS_REGISTER_CLASS(LumMatrixSwitch);

LumMatrixSwitch::LumMatrixSwitch(QWidget *parent) : QCheckBox(parent) {}

using namespace LumoraControlDefaults;

namespace {

constexpr char kFile[] = "/Code/app/LumoraApp/LumMatrixController";

QString Formatted(double value) { return QString::asprintf("%1.1f", value); }

}  // namespace

const std::vector<LumMatrixController::DefaultsRow> &LumMatrixController::defaultsTable() {
    static const std::vector<DefaultsRow> table = {
        {"outletTextureEnabled", true, 1, {}},
        {"outletTextureFlippedX", true, 0, {}},
        {"outletTextureFlippedY", true, 0, {}},
        {"outletMatrixScaleSlider", false, 0, Formatted(0.5)},
        {"outletMatrixAngleZSlider", false, 0, Formatted(0.0)},
        {"outletMatrixAngleXSlider", false, 0, Formatted(0.0)},
        {"outletMatrixAngleYSlider", false, 0, Formatted(0.0)},
        {"outletMatrixTranslateXSlider", false, 0, Formatted(0.5)},
        {"outletMatrixTranslateYSlider", false, 0, Formatted(0.5)},
        {"outletMatrixTranslateZSlider", false, 0, Formatted(0.5)},
    };
    return table;
}

LumMatrixController::LumMatrixController(QWidget *parent) : NSOGLTextureMatrixController(parent) {}

LumMatrixController::~LumMatrixController() = default;

void LumMatrixController::awakeFromNib() {
    for (QObject *outlet : {_textureEnabled(), _textureFlippedX(), _textureFlippedY()})
        if (auto *button = qobject_cast<QAbstractButton *>(outlet))
            connect(button, &QAbstractButton::clicked, this, [this, button] { textureMatrixChanged(button); });
}

QObject *LumMatrixController::outletForKey(const char *key) const { return property(key).value<QObject *>(); }

QString LumMatrixController::sliderStringValue(const QObject *slider) {
    if (slider == nullptr) return {};
    const QVariant text = slider->property("stringValue");
    if (text.isValid()) return text.toString();
    const QVariant value = slider->property("doubleValue");
    if (!value.isValid()) return {};
    return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
}

void LumMatrixController::applicationDidFinishLaunching(const NSNotification &) {
    for (const DefaultsRow &row : defaultsTable()) {
        QObject *control = outletForKey(row.key);
        if (control == nullptr) continue;
        if (row.isSwitch) {
            setIntValue(control, NSUserDefaultLoadKind(row.key, row.switchDefault));
            continue;
        }
        bool ok = false;
        double value = NSUserDefaultLoadKind(row.key, row.sliderDefault).toDouble(&ok);
        // Defaults are outside data: a text that is no finite number gives the default.
        if (!ok || !std::isfinite(value)) value = row.sliderDefault.toDouble();
        control->setProperty("doubleValue", value);
    }
}

void LumMatrixController::applicationWillTerminate(const NSNotification &) {
    for (const DefaultsRow &row : defaultsTable()) {
        QObject *control = outletForKey(row.key);
        if (row.isSwitch) {
            if (control != nullptr) saveInteger(row.key, intValue(control));
            continue;
        }
        const QString text = sliderStringValue(control);
        if (text.isEmpty()) {
            _CoreMachDebugVerifyBody("NSUserDefaultSaveObject", kFile, __LINE__, row.key);
            continue;
        }
        NSUserDefaultSaveObject(row.key, QVariant(text));
    }
}

std::shared_ptr<NSOGLNormalQuadMatrix> LumMatrixController::layerQuadMatrices() const {
    NSOGLNormalMatrix textureMatrix;
    getNormalTextureMatrix(&textureMatrix);
    const NSOGLNormalMatrix modelViewMatrix = textureMatrix;
    return NSOGLNormalQuadMatrix::matrixWithTextureMatrix(&textureMatrix, &modelViewMatrix);
}

bool import_LumMatrixController() { return import_NSOGLTextureMatrixController() && import_LumoraControlDefaults(); }
