#include "NSUIParamTransformer.h"

#include "NSUIDesignCodes.h"

#include <CocoaFoundation/NSStringNumberValues.h>
#include <CoreX/CoreMachDebugLog.h>

#include <cstring>

namespace {

constinit const BOOLParamTransformer kBOOLParamTransformer;
constinit const NSNumberParamTransformer kNSNumberParamTransformer;
constinit const floatParamTransformer kFloatParamTransformer;

const NSUIParamTransformer *const kTransformers[] = {
    &kBOOLParamTransformer, &kNSNumberParamTransformer, &kFloatParamTransformer};

bool IsText(const QVariant &value) {
    return value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray;
}

// A text is true when, after blanks, a sign and leading zeros, it starts with Y, T or a
// digit 1 to 9 ("YES", "true", "1", "007").
bool TextBoolValue(const QString &text) {
    qsizetype index = 0;
    while (index < text.size() && text[index].isSpace()) ++index;
    if (index < text.size() && (text[index] == QLatin1Char('+') || text[index] == QLatin1Char('-'))) ++index;
    while (index < text.size() && text[index] == QLatin1Char('0')) ++index;
    if (index == text.size()) return false;
    const QChar c = text[index];
    return c == QLatin1Char('Y') || c == QLatin1Char('y') || c == QLatin1Char('T') ||
           c == QLatin1Char('t') || (c >= QLatin1Char('1') && c <= QLatin1Char('9'));
}

}  // namespace

const NSUIParamTransformer *NSUIParamTransformer::transformerNamed(const QString &className) {
    for (const NSUIParamTransformer *transformer : kTransformers)
        if (className == QLatin1String(transformer->className())) return transformer;
    return nullptr;
}

const NSUIParamTransformer *NSUIParamTransformer::transformerForTypeWord(const char *typeWord) {
    if (typeWord == nullptr) return nullptr;
    const QString name = QString::asprintf("%sParamTransformer", typeWord);
    const NSUIParamTransformer *transformer = transformerNamed(name);
    VERIFY(transformer!=nullptr);
    return transformer;
}

QVariant BOOLParamTransformer::paramValueFromObjectValue(const QVariant &objectValue) const {
    if (!objectValue.isValid()) return QVariant();
    const bool set = IsText(objectValue) ? TextBoolValue(objectValue.toString())
                                         : NSStringNumberValues::variantDoubleValue(objectValue) != 0.0;
    return set ? QStringLiteral("true") : QStringLiteral("false");
}

QVariant BOOLParamTransformer::objectValueFromParamValue(const QVariant &paramValue) const {
    if (!paramValue.isValid()) return false;
    return paramValue.toString().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

QVariant NSNumberParamTransformer::paramValueFromObjectValue(const QVariant &objectValue) const {
    if (!objectValue.isValid()) return QVariant();
    return NSUIDesignCodes::valueString(objectValue);
}

QVariant NSNumberParamTransformer::objectValueFromParamValue(const QVariant &paramValue) const {
    return NSStringNumberValues::variantDoubleValue(paramValue);
}

QVariant floatParamTransformer::paramValueFromObjectValue(const QVariant &objectValue) const {
    if (!objectValue.isValid()) return QVariant();
    return QString::asprintf("%f", NSStringNumberValues::variantDoubleValue(objectValue));
}

QVariant floatParamTransformer::objectValueFromParamValue(const QVariant &paramValue) const {
    return static_cast<float>(NSStringNumberValues::variantDoubleValue(paramValue));
}

bool import_NSUIParamTransformer() { return import_NSUIDesignCodes() && import_NSStringNumberValues(); }
