// Calls into "QuickTime.framework", loaded at run time by name from the system Frameworks
// folder; functions are looked up by name at each call.
//
// Every call first makes sure the framework is loaded; when it cannot be, the call fails
// (false, or paramErr). A function the loaded framework lacks fails the same way, with
// the outputs cleared.
#pragma once

#include <CoreX/CFBaseDLL.h>
#include <QuickTime/Movies.h>

class QFramework {
public:
    // The process-wide handle on "QuickTime.framework", made on first use.
    static T_CFBaseDLL<I_CFBundleDLL> &QuickTime();

    // SampleNumToMediaDecodeTime, then GetMoviesError; false on an error, a missing
    // function or an unloaded framework (the outputs are 0 then).
    static bool SampleNumToMediaDecodeTime(Media media, SInt64 sampleNum, TimeValue64 *decodeTime,
                                           TimeValue64 *decodeDuration);
    // QTNewDataReferenceFromFSRefCFString's status; paramErr (outputs null and 0) when the
    // framework is not loaded or lacks the function.
    static OSErr NewDataReferenceFromFSRefCFString(const FSRef *folderRef, CFStringRef name, UInt32 flags,
                                                   Handle *dataRef, OSType *dataRefType);
    // QTNewDataReferenceFromFSRef (called directly) once the framework is loaded.
    static OSErr NewDataReferenceFromFSRef(const FSRef *ref, UInt32 flags, Handle *dataRef, OSType *dataRefType);

    // The same calls through another framework handle.
    static bool SampleNumToMediaDecodeTime(T_CFBaseDLL<I_CFBundleDLL> &sQuickTime, Media media, SInt64 sampleNum,
                                           TimeValue64 *decodeTime, TimeValue64 *decodeDuration);
    static OSErr NewDataReferenceFromFSRefCFString(T_CFBaseDLL<I_CFBundleDLL> &sQuickTime, const FSRef *folderRef,
                                                   CFStringRef name, UInt32 flags, Handle *dataRef,
                                                   OSType *dataRefType);
    static OSErr NewDataReferenceFromFSRef(T_CFBaseDLL<I_CFBundleDLL> &sQuickTime, const FSRef *ref, UInt32 flags,
                                           Handle *dataRef, OSType *dataRefType);
};
