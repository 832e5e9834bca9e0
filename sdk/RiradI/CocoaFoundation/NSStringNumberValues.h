// Number values of text as the interface code reads them: leading blanks skipped, then as
// much of a number as the text holds ("8b1" is 8, "yes" is 0). Locale-independent.
#pragma once

#include <QString>
#include <QVariant>

namespace NSStringNumberValues {

double stringDoubleValue(const QString &text);
// The integer part of the text's leading number, clamped to the int range.
int stringIntValue(const QString &text);

// The same for a value: numbers and booleans directly, text as above, anything else 0.
double variantDoubleValue(const QVariant &value);
int variantIntValue(const QVariant &value);

}  // namespace NSStringNumberValues

bool import_NSStringNumberValues();
