// NSString(VersionComparandDoubleValue): dotted version text as numbers.
#pragma once

#include <QString>

namespace VersionComparandDoubleValue {

// One number for a dotted version: from 0, each component (its leading number, so "8b1"
// counts 8 and a non-numeric component 0) gives value * 100 + component. "10.6.8" is
// 100608, "10.7" is 1007, "" is 0. Only versions with the same number of components
// compare correctly this way, and components of 100 or more carry into the next place;
// use stringVersionCompare to order versions.
double stringVersionComparandDoubleValue(const QString &version);

// Orders two dotted versions component by component (each component's leading number,
// missing components 0): -1, 0 or 1. "2.1" is above "2.0.4"; "2" equals "2.0".
int stringVersionCompare(const QString &left, const QString &right);

}  // namespace VersionComparandDoubleValue

bool import_NSStringVersionComparand();
