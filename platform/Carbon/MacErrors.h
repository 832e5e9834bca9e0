// Status codes of the Carbon layer, beyond the common ones in <CoreFoundation/MacTypes.h>.
#pragma once

#include <CoreFoundation/MacTypes.h>

enum : OSErr {
    dirFulErr = -33,        // folder full
    dskFulErr = -34,        // disk or volume full
    posErr = -40,           // a position before the start of a fork
    tmfoErr = -42,          // too many files open
    wPrErr = -44,           // volume is read-only
    fLckdErr = -45,         // file is locked
    fBsyErr = -47,          // file busy, or a folder that is not empty
    opWrErr = -49,          // fork already open for writing
    rfNumErr = -51,         // not the reference number of an open file
    wrPermErr = -61,        // the fork was not opened for writing
    userCanceledErr = -128,
    resNotFound = -192,     // Resource Manager: no such resource
    resFNotFound = -193,    // Resource Manager: no such resource file
    addResFailed = -194,    // AddResource: the data is already a resource, or no file to add to
    rmvResFailed = -196,    // RemoveResource: not a resource of a writable file
    resAttrErr = -198,      // the resource file is read-only
    mapReadErr = -199,      // the resource fork holds no valid resource map
    notAFileErr = -1302,    // a folder (or other non-file) where a file was expected
    errFSBadFSRef = -1401,  // the FSRef was not made by the File Manager
    errFSBadForkName = -1402,
    errFSBadInfoBitmap = -1405,  // catalog information asked for that is not provided
    errFSNotAFolder = -1407,
    errFSForkNotFound = -1409,
    errFSNameTooLong = -1410,
    errFSMissingName = -1411,
    errFSBadPosMode = -1412,
    errFSForkExists = -1421,
    errFSOperationNotSupported = -1426,  // e.g. extended attributes on a file system without them
    pathTooLongErr = -2095,      // a path does not fit the caller's buffer
    afpAccessDenied = -5000,     // insufficient access privileges
    gestaltUndefSelectorErr = -5551,
    eventLoopTimedOutErr = -9875,  // RunCurrentEventLoop: the time ran out
    eventLoopQuitErr = -9876,      // RunCurrentEventLoop: QuitEventLoop ended the run
};

// Text Encoding Converter and Unicode Converter status codes (OSStatus).
enum : OSStatus {
    kTextUnsupportedEncodingErr = -8738,  // an encoding this system does not convert
    kTextMalformedInputErr = -8739,       // the input is not valid in its encoding
    kTextUndefinedElementErr = -8740,     // an input character the encoding does not define
    kTECNoConversionPathErr = -8749,
    kTECPartialCharErr = -8753,           // the input ends inside a character
    kTECUnmappableElementErr = -8754,     // a character the output encoding cannot hold
    kTECUsedFallbacksStatus = -8783,      // done, with substitutes for unmappable characters
    kTECOutputBufferFullStatus = -8785,   // the output buffer is full; more input is left
};
