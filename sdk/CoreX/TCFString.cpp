// The string wrapper's operations live in T_CFString_inlines.h, the file their failed-check
// reports name; it is compiled here, once.
#include <CoreX/TCFString.h>

#include <CoreX/CFTypeRefClass.h>
#include <CoreX/CoreCString.h>
#include <CoreX/CoreMachDebugLog.h>

bool import_TCFString() { return import_CFTypeRefClass() && import_CoreCString() && import_CoreMachDebugLog(); }

#define CORE_TCFSTRING_IMPLEMENTATION
#include "T_CFString_inlines.h"
