// QCValue: what travels along a composition's wires and through its published ports: nothing,
// a number, a boolean, an index, a text, a colour, an image (a Core Image recipe) or a
// structure (an ordered list of values, which is also how points travel).
#pragma once

#include <CoreImage/CIColor.h>
#include <CoreImage/CIImage.h>

#include <memory>
#include <string>
#include <variant>
#include <vector>

class QCValue;
using QCStructure = std::vector<QCValue>;

class QCValue {
public:
    QCValue() = default;
    QCValue(double number) : m_value(number) {}
    QCValue(int number) : m_value(double(number)) {}
    QCValue(bool flag) : m_value(flag) {}
    QCValue(std::string text) : m_value(std::move(text)) {}
    QCValue(const char *text) : m_value(std::string(text)) {}
    QCValue(const CIColor &color) : m_value(color) {}
    QCValue(CIImageRef image) : m_value(std::move(image)) {}
    QCValue(QCStructure structure) : m_value(std::make_shared<const QCStructure>(std::move(structure))) {}

    bool isNull() const { return std::holds_alternative<std::monostate>(m_value); }
    bool isNumber() const { return std::holds_alternative<double>(m_value); }
    bool isBoolean() const { return std::holds_alternative<bool>(m_value); }
    bool isString() const { return std::holds_alternative<std::string>(m_value); }
    bool isColor() const { return std::holds_alternative<CIColor>(m_value); }
    bool isImage() const { return std::holds_alternative<CIImageRef>(m_value); }
    bool isStructure() const { return std::holds_alternative<std::shared_ptr<const QCStructure>>(m_value); }

    // Conversions as a port of that type reads the value: a number from a number or a boolean
    // (1/0) or a numeric text, else the fallback; a boolean from a number (non-zero) or a
    // boolean; a colour from a colour, else the fallback; an image only from an image.
    double numberValue(double fallback = 0) const;
    bool booleanValue(bool fallback = false) const;
    std::string stringValue() const;
    CIColor colorValue(const CIColor &fallback = CIColor::colorWithRed(0, 0, 0, 0)) const;
    CIImageRef imageValue() const;
    const QCStructure &structureValue() const;

    bool operator==(const QCValue &other) const;

private:
    std::variant<std::monostate, double, bool, std::string, CIColor, CIImageRef, std::shared_ptr<const QCStructure>>
        m_value;
};
