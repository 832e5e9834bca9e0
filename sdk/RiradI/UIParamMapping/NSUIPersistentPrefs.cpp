#include "NSUIPersistentPrefs.h"

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSException.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSUserDefaults.h>

namespace {

bool IsNumber(const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

QVariant StoredValue(const char *inValueName) {
    return NSUserDefaults::standardUserDefaults().objectForKey(QString::fromUtf8(inValueName));
}

void Store(const char *inValueName, const QVariant &value) {
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    defaults.setObject(value, QString::fromUtf8(inValueName));
    defaults.synchronize();
}

}  // namespace

void NSUserDefaultSaveObject(const char *inValueName, const QVariant &inObject) {
    if (!VERIFY_TEXT(inValueName != nullptr, " code : inValueName")) return;
    if (!VERIFY_TEXT(!NSKeyValueCoding::isNil(inObject), "inObject")) return;
    Store(inValueName, inObject);
}

void NSUserDefaultSaveObject(const char *inValueName, int value) {
    if (!VERIFY_TEXT(inValueName != nullptr, " code : inValueName")) return;
    Store(inValueName, static_cast<qlonglong>(value));
}

void NSUserDefaultSaveObject(const char *inValueName, QObject *inObject) {
    if (!VERIFY_TEXT(inValueName != nullptr, " code : inValueName")) return;
    if (!VERIFY_TEXT(inObject != nullptr, "inObject")) return;
    QVariant title;
    try {
        title = NSKeyValueCoding::valueForKeyPath(inObject, QStringLiteral("exclusiveSelection.title"));
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("NSUserDefaultSaveObject exception:%1").arg(exception.description()));
        return;
    }
    if (!VERIFY_TEXT(title.typeId() == QMetaType::QString, "inObject")) return;
    Store(inValueName, title);
}

double NSUserDefaultLoadKind(const char *inValueName, double defaultValue) {
    if (!VERIFY_TEXT(inValueName != nullptr, " code : inValueName")) return defaultValue;
    const QVariant stored = StoredValue(inValueName);
    return IsNumber(stored) ? stored.toDouble() : defaultValue;
}

int NSUserDefaultLoadKind(const char *inValueName, int defaultValue) {
    if (!VERIFY_TEXT(inValueName != nullptr, " code : inValueName")) return defaultValue;
    const QVariant stored = StoredValue(inValueName);
    return IsNumber(stored) ? stored.toInt() : defaultValue;
}

QString NSUserDefaultLoadKind(const char *inValueName, const QString &defaultValue) {
    if (!VERIFY_TEXT(inValueName != nullptr, " code : inValueName")) return defaultValue;
    const QVariant stored = StoredValue(inValueName);
    return stored.typeId() == QMetaType::QString ? stored.toString() : defaultValue;
}

bool import_NSUIPersistentPrefs() { return import_CoreMachDebugLog(); }
