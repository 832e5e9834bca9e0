#include "LumoraStartup.h"

#include "AppController.h"
#include "QComponentLoader.h"

#include <Carbon/Gestalt.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSUserDefaults.h>

#include <QRegularExpression>

namespace {

// ---- The tables ----------------------------------------------------------------------------

const ParamMappingRow kVideoInputParamRows[] = {
    {3, 2, "video.input.option.mask.enabled", "intParam", "setIntParam:", nullptr},
    {3, 2, "video.input.option.mask.transparent", "intParam", "setIntParam:", nullptr},
    {3, 2, "video.input.mask.screen.type", "intParam", "setIntParam:", nullptr},
    {3, 2, "video.input.mask.screen.opacity", "floatParam", "setFloatParam:", nullptr},
    {3, 2, "video.input.mask.screen.phase", "floatParam", "setFloatParam:", nullptr},
    {3, 2, "video.input.mask.screen.param.0", "floatParam", "setFloatParam:", nullptr},
    {3, 2, "video.input.mask.screen.param.1", "floatParam", "setFloatParam:", nullptr},
    {3, 2, "video.input.mask.screen.param.2", "floatParam", "setFloatParam:", nullptr},
    {3, 2, "video.input.mask.shape.type", "intParam", "setIntParam:", nullptr},
    {3, 2, "video.input.mask.shape.opacity", "floatParam", "setFloatParam:", nullptr},
    {3, 2, "video.input.mask.shape.rotation", "floatParam", "setFloatParam:", nullptr},
    {3, 2, "video.input.mask.shape.param.0", "floatParam", "setFloatParam:", nullptr},
    {3, 2, "video.input.mask.shape.param.1", "floatParam", "setFloatParam:", nullptr},
    {3, 2, "video.input.mask.shape.param.2", "floatParam", "setFloatParam:", nullptr},
    {3, 2, "video.input.mask.shape.param.3", "floatParam", "setFloatParam:", nullptr},
    {3, 2, "video.input.mask.operator", "intParam", "setIntParam:", nullptr},
    {3, 2, "video.input.option.tint.enabled", "intParam", "setIntParam:", nullptr},
    {3, 2, "video.input.tint.kind", "intParam", "setIntParam:", nullptr},
    {3, 2, "video.input.tint.amount", "floatParam", "setFloatParam:", nullptr},
    {3, 2, "video.input.tint.gradient.type", "intParam", "setIntParam:", nullptr},
    {3, 2, "video.input.tint.gradient.point.x0", "floatParam", "setFloatParam:", nullptr},
    {3, 2, "video.input.tint.gradient.point.x1", "floatParam", "setFloatParam:", nullptr},
    {3, 2, "video.input.tint.gradient.point.y0", "floatParam", "setFloatParam:", nullptr},
    {3, 2, "video.input.tint.gradient.point.y1", "floatParam", "setFloatParam:", nullptr},
    {3, 4, "video.input.tint.color.one", "color4DParam", "setColor4DParam:", nullptr},
    {3, 4, "video.input.tint.color.two", "color4DParam", "setColor4DParam:", nullptr},
    {3, 1, "video.input.tint.picture.menu", "nameParamValue", "setNameParamValue:", nullptr},
    {3, 2, "video.input.tint.picture.path", "pathParamValue", "setPathParamValue:", nullptr},
    {3, 2, "video.input.tint.picture.url", "URLParamValue", "setURLParamValue:", nullptr},
    {3, 2, "video.input.option.stencil.enabled", "intParam", "setIntParam:", nullptr},
    {3, 2, "video.input.option.stencil.transparent", "intParam", "setIntParam:", nullptr},
    {3, 1, "video.input.stencil.picture.menu", "nameParamValue", "setNameParamValue:", nullptr},
    {3, 2, "video.input.stencil.picture.path", "pathParamValue", "setPathParamValue:", nullptr},
    {3, 2, "video.input.stencil.picture.url", "URLParamValue", "setURLParamValue:", nullptr},
    {0, 0, nullptr, nullptr, nullptr, nullptr},
};

#define LUMORA_FILTER_ROWS(axis, amountGetter, amountSetter)                                                   \
    {3, 2, "camera.filter." axis ".function.type", "typeStringValue", "setTypeStringValue:", nullptr},          \
        {3, 2, "camera.filter." axis ".function.phase", "phaseStringValue", "setPhaseStringValue:", nullptr},   \
        {3, 2, "camera.filter." axis ".function.amplitude", "amplitudeStringValue", "setAmplitudeStringValue:", \
         nullptr},                                                                                               \
        {3, 2, "camera.filter." axis ".function.frequency", "frequencyStringValue", "setFrequencyStringValue:", \
         nullptr},                                                                                               \
        {3, 2, "camera.filter." axis ".quantization", "quantizeStringValue", "setQuantizeStringValue:", nullptr}, \
        {2, 3, "camera.filter." axis ".values", "writeOnlyParam", "setFilterStringValue:", nullptr},            \
        {3, 2, "camera.filter." axis ".amount", amountGetter, amountSetter, "NSNumber"},                         \
        {3, 2, "camera.filter." axis ".sampledata", "filterSamplesStringValue", "setFilterSamplesStringValue:",  \
         nullptr},                                                                                               \
        {3, 4, "camera.filter." axis ".savesamplevalues", "saveSamplesStringValue", "setSaveSamplesStringValue:", \
         nullptr}

const ParamMappingRow kDesignBookmarkParamRows[] = {
    {3, 0, "bookmark.refines", "compositionRefinesParamValue", "setCompositionRefinesParamValue:", nullptr},
    {1, 2, "requires.version", "applicationVersion", "setReadOnlyParam:", nullptr},
    {3, 2, "camera.composition.menu", "compositionNameValue", "setCompositionNameValue:", nullptr},
    {3, 2, "camera.composition.pathname", "compositionPathValue", "setCompositionPathValue:", nullptr},
    {3, 2, "camera.composition.url", "compositionURLParamValue", "setCompositionURLParamValue:", nullptr},
    {2, 2, "camera.broadcast.enabled", "writeOnlyParam", "setIntParam:", nullptr},
    {3, 2, "camera.background.color.rgba", "color4DParam", "setColor4DParam:", nullptr},
    {3, 2, "camera.background.color.erase", "intParam", "setIntParam:", nullptr},
    {3, 1, "camera.background.picture.menu", "nameParamValue", "setNameParamValue:", nullptr},
    {3, 2, "camera.background.picture.pathname", "pathParamValue", "setPathParamValue:", nullptr},
    {3, 2, "camera.background.picture.url", "URLParamValue", "setURLParamValue:", nullptr},
    {3, 2, "camera.background.picture.enabled", "intParam", "setIntParam:", nullptr},
    {3, 2, "camera.shutter.menu", "stringParamValue", "setStringParamValue:", nullptr},
    {3, 2, "camera.draw.enabled", "buttonStateParam", "setButtonStateParam:", nullptr},
    {3, 2, "camera.draw.flipped.x", "buttonStateParam", "setButtonStateParam:", nullptr},
    {3, 2, "camera.draw.flipped.y", "buttonStateParam", "setButtonStateParam:", nullptr},
    {3, 2, "camera.draw.scale.xy", "normalParam", "setNormalParam:", nullptr},
    {3, 2, "camera.draw.translate.x", "normalParam", "setNormalParam:", nullptr},
    {3, 2, "camera.draw.translate.y", "normalParam", "setNormalParam:", nullptr},
    {3, 2, "camera.draw.translate.z", "normalParam", "setNormalParam:", nullptr},
    {3, 2, "camera.draw.angle", "normalParam", "setNormalParam:", nullptr},
    {3, 2, "camera.draw.angle.x", "normalParam", "setNormalParam:", nullptr},
    {3, 2, "camera.draw.angle.y", "normalParam", "setNormalParam:", nullptr},
    {3, 2, "camera.interpolation.mirror", "timeMirrored", "setTimeMirrored:", "BOOL"},
    {3, 2, "camera.interpolation.auto", "automaticEffectTime", "setAutomaticEffectTime:", "BOOL"},
    {3, 2, "camera.interpolation.time", "inputEffectTime", "setInputEffectTime:", "NSNumber"},
    {3, 2, "camera.interpolation.amplitude", "inputEffectAmount", "setInputEffectAmount:", "NSNumber"},
    {3, 2, "camera.interpolation.parameter", "inputEffectParameter", "setInputEffectParameter:", "NSNumber"},
    LUMORA_FILTER_ROWS("vertical", "inputEffectTex1DYAmount", "setInputEffectTex1DYAmount:"),
    LUMORA_FILTER_ROWS("horizontal", "inputEffectTex1DXAmount", "setInputEffectTex1DXAmount:"),
    {0, 0, nullptr, nullptr, nullptr, nullptr},
};

#undef LUMORA_FILTER_ROWS

const ParamMappingRow kSpareParamRows[] = {
    {3, 2, "param.one", "stringValue", "setStringValue:", nullptr},
    {3, 2, "param.two", "stringValue", "setStringValue:", nullptr},
    {3, 2, "param.three", "stringValue", "setStringValue:", "BOOL"},
    {0, 0, nullptr, nullptr, nullptr, nullptr},
};

// Counted once, at start-up (static initialisation of this module).
const LumoraParamTable kVideoInputParamTable{kVideoInputParamRows, LumoraParamTableRowCount(kVideoInputParamRows)};
const LumoraParamTable kDesignBookmarkParamTable{kDesignBookmarkParamRows,
                                                 LumoraParamTableRowCount(kDesignBookmarkParamRows)};
const LumoraParamTable kSpareParamTable{kSpareParamRows, LumoraParamTableRowCount(kSpareParamRows)};

void Log(const QString &line) { CoreMachDebugLogString(line.toUtf8().constData()); }

QString Minor(int major, int minor) {
    return QStringLiteral("10.%1.%2 = getOSMinorVersionNumber()\n").arg(major).arg(minor);
}

}  // namespace

// ---- Operating-system version ---------------------------------------------------------------

int getOSMinorVersionNumberFromRelease(const QString &darwinRelease, const QString &buildNumber) {
    Log(QStringLiteral("getOSVersionInfo darwinVersion='%1' buildNumber='%2'\n")
            .arg(darwinRelease.isNull() ? QStringLiteral("(null)") : darwinRelease,
                 buildNumber.isNull() ? QStringLiteral("(null)") : buildNumber));
    if (darwinRelease.isNull() || buildNumber.isNull()) return 0;
    static const QRegularExpression punctuation(QStringLiteral("[\\p{P}]"));
    const QStringList chunks = darwinRelease.split(punctuation);
    if (!VERIFY_TEXT(chunks.count() > 1, " code : darwinVersionChunks.count>1")) {
        Log(Minor(0, 0));
        return 0;
    }
    const int major = chunks.at(0).toInt();
    if (major > 4) {
        Log(Minor(major - 4, chunks.at(1).toInt()));
        return major - 4;
    }
    Log(Minor(0, 0));
    return 0;
}

int getOSMinorVersionNumber() {
    SInt32 minor = 0;
    if (Gestalt(gestaltSystemVersionMinor, &minor) != noErr) return 0;
    SInt32 bugFix = 0;
    if (Gestalt(gestaltSystemVersionBugFix, &bugFix) != noErr) bugFix = 0;
    Log(Minor(int(minor), int(bugFix)));
    return int(minor);
}

// ---- Component decision ---------------------------------------------------------------------

StartupComponentDecision startupComponentDecision(const StartupComponentPreferences &preferences,
                                                  const std::function<int()> &minorVersion) {
    StartupComponentDecision decision;
    auto minor = [&]() {
        ++decision.osVersionQueries;
        return minorVersion ? minorVersion() : 0;
    };
    if (preferences.loadWindrakeVDIG) {
        decision.components.append(QStringLiteral("Windrake.VDIG.component"));
    } else {
        decision.logLines.append(QStringLiteral("Lum@ra: not loading Windrake.VDIG.component\n"));
    }
    const bool autoDetect = preferences.autoDetectVDIG;
    // Each step asks for the version only when auto-detection needs it.
    if ((autoDetect && minor() >= 8) || preferences.loadAvistor) {
        decision.logLines.append(QStringLiteral("Lum@ra: loading private Avistor.component\n"));
        decision.components.append(QStringLiteral("Avistor.component"));
    } else {
        decision.logLines.append(QStringLiteral("Lum@ra: not loading private Avistor.component\n"));
    }
    if ((autoDetect && minor() < 8) || preferences.loadMovidra) {
        decision.logLines.append(QStringLiteral("Lum@ra: loading private Movidra.component\n"));
        decision.components.append(QStringLiteral("Movidra.component"));
    } else {
        decision.logLines.append(QStringLiteral("Lum@ra: not loading private Movidra.component\n"));
    }
    return decision;
}

StartupComponentPreferences startupComponentPreferences() {
    StartupComponentPreferences preferences;
    preferences.loadWindrakeVDIG = AppController::class_loadWindrakeVDIG().toBool();
    preferences.autoDetectVDIG = AppController::class_autoDetectVDIG().toBool();
    preferences.loadAvistor = AppController::class_loadAvistor().toBool();
    preferences.loadMovidra = AppController::class_loadMovidra().toBool();
    return preferences;
}

StartupComponentDecision registerStartupComponents() {
    const StartupComponentDecision decision = startupComponentDecision(startupComponentPreferences(), getOSMinorVersionNumber);
    for (const QString &line : decision.logLines) Log(line);
    // A component that is not in the bundle is only logged by the loader: start-up goes on.
    for (const QString &component : decision.components) QComponentLoader::registerComponentName(component);
    return decision;
}

const StartupComponentDecision &LumoraProcessStartup() {
    static const StartupComponentDecision decision = [] {
        CoreMachDebugLogSetUseLogger(kCoreLogOutput_Syslog);
        AppController::initialize();
        return registerStartupComponents();
    }();
    return decision;
}

// ---- Parameter tables -----------------------------------------------------------------------

std::size_t LumoraParamTableRowCount(const ParamMappingRow *table) {
    if (table == nullptr) return 0;
    std::size_t count = 0;
    while (table[count].name != nullptr && table[count].name[0] != '\0') ++count;
    return count;
}

const LumoraParamTable &LumoraVideoInputParamTable() { return kVideoInputParamTable; }
const LumoraParamTable &LumoraDesignBookmarkParamTable() { return kDesignBookmarkParamTable; }
const LumoraParamTable &LumoraSpareParamTable() { return kSpareParamTable; }

const NSUIParamTransformer *LumoraParamTransformerForTypeName(const char *typeName) {
    if (typeName == nullptr || typeName[0] == '\0') return nullptr;
    return NSUIParamTransformer::transformerNamed(QStringLiteral("%1ParamTransformer").arg(QString::fromUtf8(typeName)));
}

// ---- Defaults and resource names ------------------------------------------------------------

QSizeF LumoraDefaultFrameSize() { return {kLumoraDefaultFrameWidth, kLumoraDefaultFrameHeight}; }
QPointF LumoraDefaultMousePoint() { return {0.5, 0.5}; }

const QStringList &LumoraBuiltInShaderResourceNames() {
    static const QStringList names{QStringLiteral("CGImageRenderTexture_nop_BGRA.vs"),
                                   QStringLiteral("CGImageRenderTexture_nop_BGRA.fs"),
                                   QStringLiteral("CGImageRenderTexture_swizzle_BGRA_to_ARGB.vs"),
                                   QStringLiteral("CGImageRenderTexture_swizzle_BGRA_to_ARGB.fs")};
    return names;
}

const QStringList &LumoraStillImageExtensions() {
    static const QStringList extensions{QStringLiteral("jpg"), QStringLiteral("png"), QStringLiteral("tif"),
                                        QStringLiteral("tiff")};
    return extensions;
}

bool import_LumoraStartup() { return true; }
