// Numbers are QVariants; these tell which QVariant types count as numbers (what an NSNumber
// holds): booleans, every whole-number type and the two floating-point types.
#pragma once

#include <QVariant>

// The whole-number types (char, short, int, long, long long, signed and unsigned).
bool NSIsWholeNumberType(int typeId);

// A boolean, a whole number, a float or a double.
bool NSIsNumberValue(const QVariant &value);
