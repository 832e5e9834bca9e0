#include "NSUIDesignCodes.h"

#include <CocoaFoundation/NSStringNumberValues.h>
#include <CocoaFoundation/NSStringVersionComparand.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSNumber.h>

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QLocale>
#include <QStringList>

#include <algorithm>

namespace {

constexpr QChar kEscape = QLatin1Char('\\');

// Splits at every unescaped occurrence of the separator; escape pairs stay as they are.
QStringList SplitUnescaped(const QString &text, QChar separator) {
    QStringList pieces;
    QString current;
    const qsizetype count = text.size();
    for (qsizetype index = 0; index < count; ++index) {
        const QChar c = text[index];
        if (c == kEscape && index + 1 < count) {
            current += c;
            current += text[++index];
        } else if (c == separator) {
            pieces.append(current);
            current.clear();
        } else {
            current += c;
        }
    }
    pieces.append(current);
    return pieces;
}

}  // namespace

NSUIDesignCodes::NSUIDesignCodes(const QString &codeString, const QString &title,
                                 const QString &identifier, QObject *parent)
    : QObject(parent), mIdentifier(identifier), mTitle(title) {
    setCodeString(codeString);
}

NSUIDesignCodes::~NSUIDesignCodes() = default;

std::unique_ptr<NSUIDesignCodes> NSUIDesignCodes::codesWithCodeString(const QString &codeString,
                                                                      const QString &title,
                                                                      const QString &identifier) {
    return std::make_unique<NSUIDesignCodes>(codeString, title, identifier);
}

std::unique_ptr<NSUIDesignCodes> NSUIDesignCodes::codesWithCodeString(const QString &codeString,
                                                                      const QString &title) {
    return codesWithCodeString(codeString, title, QString::fromLatin1(kDefaultIdentifier));
}

std::unique_ptr<NSUIDesignCodes> NSUIDesignCodes::codesWithCodeString(const QString &codeString) {
    return codesWithCodeString(codeString, QString::fromLatin1(kDefaultTitle), QString::fromLatin1(kDefaultIdentifier));
}

std::unique_ptr<NSUIDesignCodes> NSUIDesignCodes::codesWithCodeDictionary(const QVariantMap &dictionary) {
    const QString code = codeStringFromDictionary(dictionary, QString::fromLatin1(kDefaultIdentifier));
    return codesWithCodeString(code, QString::fromLatin1(kDefaultTitle));
}

QString NSUIDesignCodes::beginCodeMarker(const QString &identifier) {
    return identifier + QStringLiteral(".begin;\r\n");
}

QString NSUIDesignCodes::endCodeMarker(const QString &identifier) {
    return identifier + QStringLiteral(".end;\r\n");
}

QString NSUIDesignCodes::beginCodeMarker() const { return beginCodeMarker(mIdentifier); }

QString NSUIDesignCodes::endCodeMarker() const { return endCodeMarker(mIdentifier); }

QString NSUIDesignCodes::valueString(const QVariant &value) {
    if (!value.isValid()) return QString();
    const int type = value.typeId();
    if (type == QMetaType::QString) {
        const QString text = value.toString();
        return text.isNull() ? QStringLiteral("") : text;
    }
    if (type == QMetaType::Bool) return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    if (NSIsWholeNumberType(type)) {
        if (type == QMetaType::ULongLong || type == QMetaType::ULong || type == QMetaType::UInt)
            return QString::number(value.toULongLong());
        return QString::number(value.toLongLong());
    }
    if (type == QMetaType::Double || type == QMetaType::Float)
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    if (type == QMetaType::QByteArray)
        return QLatin1Char('<') + QString::fromLatin1(value.toByteArray().toHex(' ')) + QLatin1Char('>');
    if (type == QMetaType::QDateTime) return value.toDateTime().toString(Qt::ISODateWithMs);
    if (type == QMetaType::QVariantList || type == QMetaType::QStringList ||
        type == QMetaType::QVariantMap || type == QMetaType::QVariantHash) {
        const QJsonValue json = QJsonValue::fromVariant(value);
        if (json.isArray()) return QString::fromUtf8(QJsonDocument(json.toArray()).toJson(QJsonDocument::Compact));
        if (json.isObject()) return QString::fromUtf8(QJsonDocument(json.toObject()).toJson(QJsonDocument::Compact));
    }
    if (value.canConvert<QString>()) {
        const QString text = value.toString();
        if (!text.isNull()) return text;
    }
    return QString::fromLatin1(value.typeName());
}

QString NSUIDesignCodes::escapeCodeText(const QString &text) {
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\': escaped += QStringLiteral("\\\\"); break;
        case ';': escaped += QStringLiteral("\\;"); break;
        case '=': escaped += QStringLiteral("\\="); break;
        case '\r': escaped += QStringLiteral("\\r"); break;
        case '\n': escaped += QStringLiteral("\\n"); break;
        default: escaped += c; break;
        }
    }
    return escaped;
}

QString NSUIDesignCodes::unescapeCodeText(const QString &text) {
    if (!text.contains(kEscape)) return text;
    QString plain;
    plain.reserve(text.size());
    const qsizetype count = text.size();
    for (qsizetype index = 0; index < count; ++index) {
        const QChar c = text[index];
        if (c != kEscape || index + 1 == count) {
            plain += c;
            continue;
        }
        const QChar next = text[index + 1];
        switch (next.unicode()) {
        case '\\': plain += kEscape; break;
        case ';': plain += QLatin1Char(';'); break;
        case '=': plain += QLatin1Char('='); break;
        case 'r': plain += QLatin1Char('\r'); break;
        case 'n': plain += QLatin1Char('\n'); break;
        default:
            // Not an escape: both characters stand as written.
            plain += c;
            plain += next;
            break;
        }
        ++index;
    }
    return plain;
}

QString NSUIDesignCodes::codeStringFromDictionary(const QVariantMap &dictionary) {
    return codeStringFromDictionary(dictionary, QString::fromLatin1(kDefaultIdentifier));
}

QString NSUIDesignCodes::codeStringFromDictionary(const QVariantMap &dictionary,
                                                  const QString &identifier) {
    QString code = beginCodeMarker(identifier);
    QStringList keys = dictionary.keys();
    std::stable_sort(keys.begin(), keys.end(), [](const QString &a, const QString &b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    for (const QString &key : keys) {
        const QString objectAtKey = valueString(dictionary.value(key));
        if (!VERIFY_TEXT(!objectAtKey.isNull(), " code : objectAtKey")) continue;
        code += escapeCodeText(key);
        code += QLatin1Char('=');
        code += escapeCodeText(objectAtKey);
        code += QStringLiteral(";\r\n");
    }
    code += endCodeMarker(identifier);
    return code;
}

QString NSUIDesignCodes::codeString() const { return codeStringFromDictionary(mDictionary, mIdentifier); }

bool NSUIDesignCodes::setCodeString(const QString &codeString) {
    if (codeString.isNull()) return false;
    mDictionary.clear();
    QString text = codeString;
    text.remove(QStringLiteral("\r\n"));
    text.remove(QLatin1Char('\r'));
    text.remove(QLatin1Char('\n'));
    bool stored = false;
    for (const QString &statement : SplitUnescaped(text, QLatin1Char(';'))) {
        const QStringList pieces = SplitUnescaped(statement, QLatin1Char('='));
        if (pieces.size() != 2) continue;
        mDictionary.insert(unescapeCodeText(pieces[0]), unescapeCodeText(pieces[1]));
        stored = true;
    }
    return stored;
}

QVariantMap NSUIDesignCodes::codeDictionary() const { return mDictionary; }

void NSUIDesignCodes::setCodeDictionary(const QVariantMap &dictionary) {
    setCodeString(codeStringFromDictionary(dictionary, mIdentifier));
}

QVariant NSUIDesignCodes::objectForKey(const QString &key) const { return mDictionary.value(key); }

bool NSUIDesignCodes::hasBooleanValue(const QString &key, bool booleanValue) const {
    const auto found = mDictionary.constFind(key);
    if (found == mDictionary.constEnd()) return false;
    return (NSStringNumberValues::variantIntValue(found.value()) != 0) == booleanValue;
}

bool NSUIDesignCodes::isVersionRequiredAndNotMet(const QString &key,
                                                 const QString &versionStringValue) const {
    const auto found = mDictionary.constFind(key);
    if (found == mDictionary.constEnd()) return false;
    const QString stored = valueString(found.value());
    return VersionComparandDoubleValue::stringVersionCompare(stored, versionStringValue) > 0;
}

bool NSUIDesignCodes::isDoubleValueRequiredAndNotMet(const QString &key,
                                                     double versionDoubleValue) const {
    const auto found = mDictionary.constFind(key);
    if (found == mDictionary.constEnd()) return false;
    return NSStringNumberValues::variantDoubleValue(found.value()) > versionDoubleValue;
}

QString NSUIDesignCodes::description() const {
    return QStringLiteral("<NSUIDesignCodes title:%1>").arg(mTitle);
}

bool import_NSUIDesignCodes() {
    return import_CoreMachDebugLog() && import_NSStringNumberValues() && import_NSStringVersionComparand();
}
