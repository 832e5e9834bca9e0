// Status codes of the Carbon layer, beyond the common ones in <CoreFoundation/MacTypes.h>.
#pragma once

#include <CoreFoundation/MacTypes.h>

enum : OSErr {
    dskFulErr = -34,        // disk or volume full
    tmfoErr = -42,          // too many files open
    wPrErr = -44,           // volume is read-only
    rfNumErr = -51,         // not the reference number of an open file
    userCanceledErr = -128,
    errFSBadFSRef = -1401,  // the FSRef was not made by the File Manager
    errFSBadInfoBitmap = -1405,  // catalog information asked for that is not provided
    errFSNameTooLong = -1410,
    notAFileErr = -1302,         // a folder (or other non-file) where a file was expected
    pathTooLongErr = -2095,      // a path does not fit the caller's buffer
    afpAccessDenied = -5000,     // insufficient access privileges
    gestaltUndefSelectorErr = -5551,
    eventLoopTimedOutErr = -9875,  // RunCurrentEventLoop: the time ran out
    eventLoopQuitErr = -9876,      // RunCurrentEventLoop: QuitEventLoop ended the run
};
