#include "NSStringNumberValues.h"

#include <Foundation/NSNumber.h>

#include <QByteArray>

#include <charconv>
#include <cmath>
#include <limits>

namespace NSStringNumberValues {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// Where a number's digits start: after leading blanks and one sign (negative tells which).
const char *SkipBlanksAndSign(const char *begin, const char *end, bool &negative) {
    while (begin < end && IsBlank(*begin)) ++begin;
    negative = false;
    if (begin < end && (*begin == '+' || *begin == '-')) {
        negative = *begin == '-';
        ++begin;
    }
    return begin;
}

int ClampToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    if (value <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

}  // namespace

double stringDoubleValue(const QString &text) {
    const QByteArray utf8 = text.toUtf8();
    const char *end = utf8.constData() + utf8.size();
    bool negative = false;
    const char *begin = SkipBlanksAndSign(utf8.constData(), end, negative);
    // Digits or a point must follow: "nan", "inf" and the like are not numbers here.
    if (begin == end || !((*begin >= '0' && *begin <= '9') || *begin == '.')) return 0.0;
    double value = 0.0;
    const auto result = std::from_chars(begin, end, value, std::chars_format::general);
    if (result.ec == std::errc::invalid_argument) return 0.0;
    if (result.ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: as the C library does, infinity or zero.
        bool tiny = false;
        for (const char *p = begin; p < result.ptr; ++p) {
            if (*p == 'e' || *p == 'E') {
                tiny = p + 1 < result.ptr && p[1] == '-';
                break;
            }
        }
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

int stringIntValue(const QString &text) {
    const QByteArray utf8 = text.toUtf8();
    const char *end = utf8.constData() + utf8.size();
    bool negative = false;
    const char *begin = SkipBlanksAndSign(utf8.constData(), end, negative);
    long long value = 0;
    for (; begin < end && *begin >= '0' && *begin <= '9'; ++begin) {
        value = value * 10 + (*begin - '0');
        if (value > 1LL << 32) break;  // far past the int range: clamped below
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (value < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

double variantDoubleValue(const QVariant &value) {
    if (NSIsNumberValue(value)) return value.toDouble();
    if (value.typeId() == QMetaType::QString) return stringDoubleValue(value.toString());
    if (value.typeId() == QMetaType::QByteArray) return stringDoubleValue(QString::fromUtf8(value.toByteArray()));
    return 0.0;
}

int variantIntValue(const QVariant &value) {
    if (NSIsNumberValue(value)) {
        if (value.typeId() == QMetaType::Float || value.typeId() == QMetaType::Double)
            return ClampToInt(std::trunc(value.toDouble()));
        if (value.typeId() == QMetaType::Bool) return value.toBool() ? 1 : 0;
        const qlonglong wide = value.toLongLong();
        if (wide > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
        if (wide < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
        return static_cast<int>(wide);
    }
    if (value.typeId() == QMetaType::QString) return stringIntValue(value.toString());
    if (value.typeId() == QMetaType::QByteArray) return stringIntValue(QString::fromUtf8(value.toByteArray()));
    return 0;
}

}  // namespace NSStringNumberValues

bool import_NSStringNumberValues() { return true; }
