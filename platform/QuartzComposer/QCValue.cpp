#include <QuartzComposer/QCValue.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

double QCValue::numberValue(double fallback) const {
    if (const double *n = std::get_if<double>(&m_value)) return *n;
    if (const bool *b = std::get_if<bool>(&m_value)) return *b ? 1.0 : 0.0;
    if (const std::string *s = std::get_if<std::string>(&m_value)) {
        char *end = nullptr;
        const double v = std::strtod(s->c_str(), &end);
        if (end != s->c_str() && *end == '\0' && std::isfinite(v)) return v;
    }
    return fallback;
}

bool QCValue::booleanValue(bool fallback) const {
    if (const bool *b = std::get_if<bool>(&m_value)) return *b;
    if (const double *n = std::get_if<double>(&m_value)) return *n != 0;
    return fallback;
}

std::string QCValue::stringValue() const {
    if (const std::string *s = std::get_if<std::string>(&m_value)) return *s;
    if (const double *n = std::get_if<double>(&m_value)) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", *n);
        return text;
    }
    if (const bool *b = std::get_if<bool>(&m_value)) return *b ? "1" : "0";
    return "";
}

CIColor QCValue::colorValue(const CIColor &fallback) const {
    if (const CIColor *c = std::get_if<CIColor>(&m_value)) return *c;
    return fallback;
}

CIImageRef QCValue::imageValue() const {
    if (const CIImageRef *image = std::get_if<CIImageRef>(&m_value)) return *image;
    return nullptr;
}

const QCStructure &QCValue::structureValue() const {
    static const QCStructure empty;
    if (const auto *s = std::get_if<std::shared_ptr<const QCStructure>>(&m_value)) return **s;
    return empty;
}

bool QCValue::operator==(const QCValue &other) const {
    if (m_value.index() != other.m_value.index()) return false;
    if (isStructure()) return structureValue() == other.structureValue();
    return m_value == other.m_value;
}
