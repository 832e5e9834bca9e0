#include "NSUIBookmarksTarget.h"

#include "NSUIDesignCodes.h"

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>

protocol_NSUIBookmarksTarget::~protocol_NSUIBookmarksTarget() = default;

bool protocol_NSUIBookmarksTarget::setSettingsDictionary(const QVariantMap &) { return false; }

QVariantMap protocol_NSUIBookmarksTarget::currentSettingsDictionary(bool) { return emptySettingsDictionary(); }

QString protocol_NSUIBookmarksTarget::currentSettingsDictionaryName() {
    return QStringLiteral("NSObject(protocol_NSUIBookmarksTarget)::currentSettingsDictionaryName");
}

QVariantMap protocol_NSUIBookmarksTarget::emptySettingsDictionary() {
    return QVariantMap{{QStringLiteral("com.tarvex.version"), 1}};
}

QString protocol_NSUIBookmarksTarget::scriptFromDictionary(const QVariantMap &dictionary) {
    return NSUIDesignCodes::codesWithCodeDictionary(dictionary)->codeString();
}

bool protocol_NSUIBookmarksTarget::setSettingsDictionaryScript(const QString &script) {
    if (script.isNull()) return false;
    const auto codes = NSUIDesignCodes::codesWithCodeString(script);
    if (!codes) return false;
    return setSettingsDictionary(codes->codeDictionary());
}

QString protocol_NSUIBookmarksTarget::currentSettingsDictionaryScript(bool includeAllParameters) {
    return scriptFromDictionary(currentSettingsDictionary(includeAllParameters));
}

QString protocol_NSUIBookmarksTarget::currentSettingsDictionaryScript() {
    return currentSettingsDictionaryScript(false);
}

QString protocol_NSUIBookmarksTarget::emptySettingsDictionaryScript() {
    return scriptFromDictionary(emptySettingsDictionary());
}

void protocol_NSUIBookmarksTarget::takeSettingsDictionaryScriptFrom(QObject *sender) {
    if (sender == nullptr) return;
    QObject *source = sender;
    if (respondsToSelector(sender, "dataSource")) {
        source = NSKeyValueCoding::objectFromVariant(performSelector(sender, "dataSource"));
        if (source == nullptr) return;
    }
    if (!respondsToSelector(source, "stringValue")) return;
    const QVariant text = performSelector(source, "stringValue");
    if (text.typeId() != QMetaType::QString || text.toString().isEmpty()) return;
    setSettingsDictionaryScript(text.toString());
}

bool protocol_NSUIBookmarksTarget::setSettingsDictionaryStrings(const QVariantMap &settings) {
    return setSettingsDictionary(settings);
}

void protocol_NSUIBookmarksTarget::pushSettingsDictionaryScriptTo(QObject *receiver) {
    const QString stringSettings = currentSettingsDictionaryScript();
    if (!VERIFY_TEXT(!stringSettings.isNull(), "code : stringSettings")) return;
    if (!respondsToSelector(receiver, "setStringValue")) return;
    performSelector(receiver, "setStringValue", stringSettings);
}

bool import_NSUIBookmarksTarget() { return import_NSUIDesignCodes() && import_CoreMachDebugLog(); }
