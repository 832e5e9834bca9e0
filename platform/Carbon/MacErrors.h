// Status codes of the Carbon layer, beyond the common ones in <CoreFoundation/MacTypes.h>.
#pragma once

#include <CoreFoundation/MacTypes.h>

enum : OSErr {
    dskFulErr = -34,        // disk or volume full
    wPrErr = -44,           // volume is read-only
    userCanceledErr = -128,
    errFSBadFSRef = -1401,  // the FSRef was not made by the File Manager
    errFSBadInfoBitmap = -1405,  // catalog information asked for that is not provided
    errFSNameTooLong = -1410,
    pathTooLongErr = -2095,      // a path does not fit the caller's buffer
    afpAccessDenied = -5000,     // insufficient access privileges
    gestaltUndefSelectorErr = -5551,
};
