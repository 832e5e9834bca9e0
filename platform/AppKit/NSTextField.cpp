#include "NSTextField.h"

#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>

#include <QLocale>

#include <charconv>

#include <cmath>
#include <limits>

NS_REGISTER_CLASS(NSTextField);

namespace {

// The length of the number at position start: [+-]digits[.digits][(e|E)[+-]digits], at least
// one digit before the exponent. 0 when there is none.
qsizetype NumberLength(const QString &text, qsizetype start, bool integerOnly) {
    qsizetype at = start;
    const auto isDigit = [&](qsizetype i) { return i < text.size() && text[i] >= u'0' && text[i] <= u'9'; };
    if (at < text.size() && (text[at] == u'+' || text[at] == u'-')) ++at;
    qsizetype digits = 0;
    while (isDigit(at)) ++at, ++digits;
    if (!integerOnly && at < text.size() && text[at] == u'.') {
        ++at;
        while (isDigit(at)) ++at, ++digits;
    }
    if (digits == 0) return 0;
    if (!integerOnly && at < text.size() && (text[at] == u'e' || text[at] == u'E')) {
        qsizetype exponent = at + 1;
        if (exponent < text.size() && (text[exponent] == u'+' || text[exponent] == u'-')) ++exponent;
        if (isDigit(exponent)) {
            while (isDigit(exponent)) ++exponent;
            at = exponent;
        }
    }
    return at - start;
}

qsizetype SkipBlanks(const QString &text) {
    qsizetype at = 0;
    while (at < text.size() && text[at].isSpace()) ++at;
    return at;
}

// The shortest text that reads back as the same number (of the value's own precision).
template <typename Number>
QString ShortestText(Number value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

}  // namespace

NSTextField::NSTextField(QWidget *parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::returnPressed, this, &NSTextField::sendAction);
    connect(this, &QLineEdit::textChanged, this, &NSTextField::valueChanged);
}

NSTextField::~NSTextField() = default;

double NSTextField::leadingDoubleValue(const QString &text) {
    const qsizetype start = SkipBlanks(text);
    const qsizetype length = NumberLength(text, start, false);
    if (length == 0) return 0.0;
    QString number = text.mid(start, length);
    if (number.endsWith(u'.')) number.chop(1);
    bool ok = false;
    const double value = QLocale::c().toDouble(number, &ok);
    if (ok) return value;
    // Out of range: the sign's infinity for a huge magnitude, 0 for a tiny one.
    const bool negative = number.startsWith(u'-');
    const qsizetype e = number.indexOf(u'e', 0, Qt::CaseInsensitive);
    const bool tiny = e >= 0 && number.mid(e + 1).startsWith(u'-');
    const double magnitude = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    return negative ? -magnitude : magnitude;
}

int NSTextField::leadingIntValue(const QString &text) {
    const qsizetype start = SkipBlanks(text);
    const qsizetype length = NumberLength(text, start, true);
    if (length == 0) return 0;
    bool ok = false;
    const qlonglong value = QLocale::c().toLongLong(text.mid(start, length), &ok);
    const bool negative = text[start] == u'-';
    if (!ok || value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
        return negative ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
    return static_cast<int>(value);
}

void NSTextField::setStringValue(const QString &value) { setText(value); }

double NSTextField::doubleValue() const { return leadingDoubleValue(text()); }

void NSTextField::setDoubleValue(double value) { setText(ShortestText(value)); }

void NSTextField::setFloatValue(float value) { setText(ShortestText(value)); }

int NSTextField::intValue() const { return leadingIntValue(text()); }

void NSTextField::setIntValue(int value) { setText(QString::number(value)); }

void NSTextField::setObjectValue(const QVariant &value) {
    setText(NSKeyValueCoding::isNil(value) ? QString() : value.toString());
}

void NSTextField::takeDoubleValueFrom(QObject *sender) {
    setDoubleValue(performSelector(sender, "doubleValue").toDouble());
}

void NSTextField::takeFloatValueFrom(QObject *sender) {
    setFloatValue(performSelector(sender, "floatValue").toFloat());
}

void NSTextField::takeIntValueFrom(QObject *sender) {
    setIntValue(performSelector(sender, "intValue").toInt());
}

void NSTextField::takeObjectValueFrom(QObject *sender) { setObjectValue(performSelector(sender, "objectValue")); }

void NSTextField::takeStringValueFrom(QObject *sender) {
    setStringValue(performSelector(sender, "stringValue").toString());
}

void NSTextField::sendAction() {
    QObject *target = mTarget.data();
    if (target == nullptr || mAction.isEmpty()) return;
    performSelector(target, mAction, NSKeyValueCoding::variantFromObject(this));
}

bool import_NSTextField() { return true; }
