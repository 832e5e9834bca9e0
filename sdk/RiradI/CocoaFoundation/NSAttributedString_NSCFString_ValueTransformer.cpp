#include "NSAttributedString_NSCFString_ValueTransformer.h"

#include <Foundation/NSAttributedString.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>

#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLocale>

namespace {

bool IsNumber(const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Float:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

QString NumberText(const QVariant &value) {
    if (value.typeId() == QMetaType::Bool) return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float)
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    return value.toString();
}

// The text the value answers to the selector ("string" or "stringValue"), when it does.
std::optional<QString> AnsweredText(const QVariant &value, const char *selector) {
    QObject *object = NSKeyValueCoding::objectFromVariant(value);
    if (object == nullptr || !respondsToSelector(object, selector)) return std::nullopt;
    const QVariant text = performSelector(object, selector);
    if (text.typeId() == QMetaType::QString) return text.toString();
    if (const auto attributed = attributedStringFromVariant(text)) return attributed->string();
    return text.isValid() ? std::optional<QString>(text.toString()) : std::optional<QString>(QString());
}

QString ClassName(const QVariant &value) {
    if (QObject *object = NSKeyValueCoding::objectFromVariant(value))
        return QString::fromLatin1(object->metaObject()->className());
    return QString::fromLatin1(value.typeName());
}

QString Description(const QVariant &value) {
    if (QObject *object = NSKeyValueCoding::objectFromVariant(value))
        return QStringLiteral("<%1: %2>")
            .arg(QString::fromLatin1(object->metaObject()->className()))
            .arg(reinterpret_cast<quintptr>(object), 0, 16);
    if (value.canConvert<QString>()) {
        const QString text = value.toString();
        if (!text.isNull()) return text;
    }
    return QString::fromLatin1(value.typeName());
}

}  // namespace

QMetaType NSAttributedString_NSCFString_ValueTransformer::transformedValueClass() {
    return QMetaType::fromType<NSMutableAttributedString>();
}

bool NSAttributedString_NSCFString_ValueTransformer::allowsReverseTransformation() const { return true; }

const QVariantMap &NSAttributedString_NSCFString_ValueTransformer::defaultTextAttributes() {
    // The font database needs a GUI application; without one the attributes name a generic
    // fixed-pitch font and are not kept.
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()) == nullptr) {
        thread_local QVariantMap fallback;
        QFont font(QStringLiteral("monospace"));
        font.setStyleHint(QFont::TypeWriter);
        font.setPointSizeF(11.0);
        fallback = QVariantMap{{QString::fromLatin1(NSFontAttributeName), QVariant::fromValue(font)}};
        return fallback;
    }
    static const QVariantMap attributes = [] {
        QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        const qreal small = QFontDatabase::systemFont(QFontDatabase::SmallestReadableFont).pointSizeF();
        font.setPointSizeF(small > 0 ? small : 11.0);
        return QVariantMap{{QString::fromLatin1(NSFontAttributeName), QVariant::fromValue(font)}};
    }();
    return attributes;
}

QVariant NSAttributedString_NSCFString_ValueTransformer::transformedValue(const QVariant &value) const {
    if (NSKeyValueCoding::isNil(value)) return QVariant();
    NSMutableAttributedString result;
    if (value.typeId() == QMetaType::QString) {
        result = NSMutableAttributedString(value.toString());
    } else if (const auto attributed = attributedStringFromVariant(value)) {
        result = NSMutableAttributedString(*attributed);  // a copy: the caller's value stays as it is
    } else if (const auto text = AnsweredText(value, "string")) {
        result = NSMutableAttributedString(*text);
    } else if (const auto text = AnsweredText(value, "stringValue")) {
        result = NSMutableAttributedString(*text);
    } else if (IsNumber(value)) {
        result = NSMutableAttributedString(NumberText(value));
    } else {
        result = NSMutableAttributedString(QStringLiteral("!!!%1(%2)!!!").arg(Description(value), ClassName(value)));
    }
    result.setAttributes(defaultTextAttributes(), NSMakeRange(0, result.length()));
    return QVariant::fromValue(result);
}

QVariant NSAttributedString_NSCFString_ValueTransformer::reverseTransformedValue(const QVariant &value) const {
    if (NSKeyValueCoding::isNil(value)) return QVariant();
    if (const auto attributed = attributedStringFromVariant(value)) return attributed->string();
    if (const auto text = AnsweredText(value, "string")) return *text;
    if (value.typeId() == QMetaType::QString) return value.toString();
    if (const auto text = AnsweredText(value, "stringValue")) return *text;
    if (IsNumber(value)) return NumberText(value);
    return QStringLiteral("###%1(%2)###").arg(Description(value), ClassName(value));
}

void NSAttributedString_NSCFString_ValueTransformer::registerValueTransformer() {
    NSValueTransformer::setValueTransformer(std::make_shared<NSAttributedString_NSCFString_ValueTransformer>(),
                                            QString::fromLatin1(kValueTransformerName));
}

bool import_NSAttributedString_NSCFString_ValueTransformer() { return true; }
