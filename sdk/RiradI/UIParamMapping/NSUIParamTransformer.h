// The value transformers of parameter rows: control value to the string of a settings
// dictionary and back. A table names a transformer by a type word; the class is found by
// the name "<type word>ParamTransformer".
#pragma once

#include <QString>
#include <QVariant>

// protocol NSUIParamTransformer. An invalid QVariant is nil.
class NSUIParamTransformer {
public:
    virtual ~NSUIParamTransformer() = default;
    virtual const char *className() const = 0;
    // Control value to string; nil for nil.
    virtual QVariant paramValueFromObjectValue(const QVariant &objectValue) const = 0;
    // String to control value.
    virtual QVariant objectValueFromParamValue(const QVariant &paramValue) const = 0;

    // The transformer class named "<typeWord>ParamTransformer" ("BOOL", "NSNumber",
    // "float"); null (and a report) for a type word without a class, null for null.
    static const NSUIParamTransformer *transformerForTypeWord(const char *typeWord);
    // The class of that name; null when there is none.
    static const NSUIParamTransformer *transformerNamed(const QString &className);
};

// "true" for any non-zero value, else "false"; back: true exactly when the text equals
// "true" without regard to case (nil gives false).
class BOOLParamTransformer final : public NSUIParamTransformer {
public:
    const char *className() const override { return "BOOLParamTransformer"; }
    QVariant paramValueFromObjectValue(const QVariant &objectValue) const override;
    QVariant objectValueFromParamValue(const QVariant &paramValue) const override;
};

// The number's own text; back: a number of the text's double value (0 for nil).
class NSNumberParamTransformer final : public NSUIParamTransformer {
public:
    const char *className() const override { return "NSNumberParamTransformer"; }
    QVariant paramValueFromObjectValue(const QVariant &objectValue) const override;
    QVariant objectValueFromParamValue(const QVariant &paramValue) const override;
};

// "%f" of the value; back: the text's float value (0 for nil).
class floatParamTransformer final : public NSUIParamTransformer {
public:
    const char *className() const override { return "floatParamTransformer"; }
    QVariant paramValueFromObjectValue(const QVariant &objectValue) const override;
    QVariant objectValueFromParamValue(const QVariant &paramValue) const override;
};

bool import_NSUIParamTransformer();
