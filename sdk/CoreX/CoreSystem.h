// The running system's version, compared with revisions written as Gestalt numbers
// (0x1070 for 10.7, 0x1090 for 10.9: major, minor and patch digits in hexadecimal nibbles).
#pragma once

#include <CoreFoundation/CoreFoundation.h>

// A revision to compare the running system with.
struct CoreSystemName {
    constexpr explicit CoreSystemName(SInt32 version) : mVersion(version) {}
    SInt32 mVersion;
};

class CoreSystem {
public:
    // The system version from Gestalt, asked until a query succeeds (0 after a failure,
    // which is reported).
    static SInt32 GetVersion();
    static bool IsEarlierThanRevision(const CoreSystemName &revision);
    static bool IsAtLeast(const CoreSystemName &revision);
    // Whether the system framework (from the system Frameworks folder) exports the function.
    static bool SystemFrameworkHasFunction(CFStringRef framework, CFStringRef function);
};

bool import_CoreSystem();
