#include "LumoraLayerViewNibbler.h"

#include "LumoraControlDefaults.h"

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSObjCRuntime.h>
#include <UIParamMapping/NSUIParamMapping.h>
#include <UIParamMapping/NSUIPersistentPrefs.h>

NS_REGISTER_CLASS(LumoraLayerViewNibbler);

using namespace LumoraControlDefaults;

namespace {

constexpr char kFile[] = "/Code/app/LumoraApp/LumoraLayerViewNibbler";
constexpr char kDefaultColor[] = "rgba(0.0f,0.0f,0.0f,1.0f)";

}  // namespace

LumoraLayerViewNibbler::LumoraLayerViewNibbler(QWidget *parent) : NSOGLTextureLayerViewNibbler(parent) {}

LumoraLayerViewNibbler::~LumoraLayerViewNibbler() = default;

bool LumoraLayerViewNibbler::layerFlippedHorizontal() const {
    return NSOGLTextureLayerViewNibbler::layerFlippedHorizontal() || cameraFlippedHorizontal();
}

bool LumoraLayerViewNibbler::cameraFlippedHorizontal() const { return intValue(_cameraFlipX.data()) != 0; }

void LumoraLayerViewNibbler::applicationDidFinishLaunching(const NSNotification &notification) {
    if (QObject *well = outletBackgroundColorWell.data())
        NSParamMapping::sendSetter(well, "setColor4DParam:",
                                   NSUserDefaultLoadKind("outletBackgroundColorWell", QString::fromLatin1(kDefaultColor)));
    setIntValue(outletBackgroundColorDraw.data(), loadInteger("outletBackgroundColorDraw", 1));
    setIntValue(outletBackgroundImageDraw.data(), loadInteger("outletBackgroundImageDraw", 0));
    setIntValue(outletLayerQuickFlipX.data(), loadInteger("outletLayerQuickFlipX", 1));
    setIntValue(outletLayerQuickFlipY.data(), loadInteger("outletLayerQuickFlipY", 0));
    loadPopUpTitle(outletBackgroundsPopupButton.data(), "outletBackgroundsPopupButton", QStringLiteral("Hollywood Sign"));
    NSOGLTextureLayerViewNibbler::applicationDidFinishLaunching(notification);
}

void LumoraLayerViewNibbler::applicationWillTerminate(const NSNotification &notification) {
    savePopUpTitle(outletBackgroundsPopupButton.data(), "outletBackgroundsPopupButton");
    const QVariant color = outletBackgroundColorWell
                               ? NSParamMapping::sendGetter(outletBackgroundColorWell.data(), "color4DParam")
                               : QVariant();
    if (color.typeId() == QMetaType::QString && !color.toString().isEmpty())
        NSUserDefaultSaveObject("outletBackgroundColorWell", color);
    else
        _CoreMachDebugVerifyBody("NSUserDefaultSave", kFile, __LINE__, "[outletBackgroundColorWell color4DParam]");
    const auto store = [](QObject *control, const char *key) {
        if (control != nullptr) saveInteger(key, intValue(control));
    };
    store(outletBackgroundColorDraw.data(), "outletBackgroundColorDraw");
    store(outletBackgroundImageDraw.data(), "outletBackgroundImageDraw");
    store(outletLayerQuickFlipX.data(), "outletLayerQuickFlipX");
    store(outletLayerQuickFlipY.data(), "outletLayerQuickFlipY");
    NSOGLTextureLayerViewNibbler::applicationWillTerminate(notification);
}

bool import_LumoraLayerViewNibbler() {
    return import_NSOGLTextureLayerViewNibbler() && import_LumoraControlDefaults();
}
