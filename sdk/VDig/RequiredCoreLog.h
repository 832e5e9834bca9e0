// Requirement reporters of the digitizer components.
//
// Each reporter formats one line about a failed call or assumption and hands it to the
// process-wide serial output queue "sCFTypeRefOutputQueue" (CoreMachDebugLog), which writes
// it to the system log at the warning level, in the order queued. A reporter returns; the
// caller goes on with its own failure value. Every routine may be called from any thread.
//
// Location of a report: the function name, the source file (written as its last path
// component), the line, and the text of the failed expression or call. A missing text is
// written as "".
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <CoreMedia/CMTime.h>
#include <CoreVideo/CVReturn.h>

class NSException;
class QObject;

// ---- Output ---------------------------------------------------------------------------------

// Queues the text as it is (not as a format). Null, kCFNull and non-strings do nothing.
void CFNSLogStringQueue(CFStringRef text);
// Formats with Core Foundation rules and queues the result.
void CFLogPrintf(CFStringRef format, ...);
void CFNSLog(CFStringRef format, ...);
// "<message> - <text> in <function>:<line> (<file>)".
void CFLogError(const char *function, const char *file, int line, const char *text, CFStringRef format, ...);
// "<prefix>:<text>".
void CFRequiredLogString(const char *prefix, const char *text);
// The format "<name> <format>" filled with the arguments.
void CFRequiredLogPrintf(const char *name, const char *format, ...);
// A UTF-8 C format filled with the arguments.
void CFRequiredPrintf(const char *format, ...);
// Formatted into a 6144-byte buffer; a result over 4095 characters is dropped, else written
// through CFRequiredLogString with an empty or the given prefix.
void requiredPrintf(const char *format, ...);
void requiredLogPrintf(const char *prefix, const char *format, ...);
// Writes the text to the system log at the debug level under `facility`; a call made while
// another is under way on this thread does nothing.
void requiredLogString(const char *facility, const char *text);
// Queues the object's description.
void CFLogShowTypeRef(CFTypeRef object);

// The part of a path after its last "/" (the path itself when it has none; "" for null).
const char *CFConstStaticJustFileNameUTF8(const char *path);
// The same, searching back from `length`.
const char *CFConstStaticJustFileNameASCII(const char *path, size_t length);

// ---- Reporters ------------------------------------------------------------------------------

// "REQUIREMENT <text> : in <file> LINE# <line> (<function>)\n"
void CFRequiredBody(const char *function, const char *file, int line, const char *text);
// "<name>==NULL" for a null object, else
// "[<name> ((<type>)0x<address>) != <expected>GetTypeID() (<type id>!=<expected id>)] FAILED";
// then "<message> <text> : in <file> LINE# <line> (<function>)\n".
void CFRequiredTypeOfBody(const char *name, CFTypeRef object, CFTypeID expectedType, const char *function,
                          const char *file, int line, const char *text);
// "0x<object>==NULL", then "REQUIRED_NOT_NULL <message> : <text> in <file> LINE# <line> (<function>)\n".
void CFRequiredNotCFNullBody(CFTypeRef object, const char *function, const char *file, int line, const char *text);
// "REQUIRED_OSSTATUS(<status>) <error string>-'<comment string>'" with the location.
void OSStatusRequiredBody(OSStatus status, const char *function, const char *file, int line, const char *text);
// "REQUIRED_CMSTATUS <status>:<name (status) or statusValue=status>" with the location,
// then the OSStatus report.
void CoreMediaOSStatusRequiredBody(OSStatus status, const char *function, const char *file, int line,
                                   const char *text);
// "REQUIRED_CVRETURN FAILED: <name> (<code>)" or "REQUIRED_CVRETURN FAILED: statusValue=<code>"
// with the location.
void CoreVideoRequiredBody(CVReturn code, const char *function, const char *file, int line, const char *text);

// "CMTime '<time>' <message> {<file>:<line> <function>}\n": a time worth a look, with the
// message made of `format` and its arguments (a UTF-8 C format).
void CoreMediaCMTimeLogMessage(const char *function, const char *file, int line, CMTime time, const char *format,
                               ...);

// ---- Reporters about objects ----------------------------------------------------------------
// The process's null object, fetched once (kCFNull: what the reporters and the camera stack
// treat like no object at all).
CFTypeRef NSRequiredNotNSNullCachedValue();
// "REQUIRED_NSERROR_NIL <error>" with the location (an error that should not have come).
void NSRequiredNSErrorNilBody(CFErrorRef error, const char *function, const char *file, int line, const char *text);
// "REQUIRED_NO_EXCEPTION NSException{ <name: reason> }" with the location.
void NSRequiredNoExceptionBody(const NSException &exception, const char *function, const char *file, int line,
                               const char *text);
// "<text> <Class>.delegate=<delegate> has no @selector(<selector>)", then the location: the
// object's delegate (its "delegate" property) does not answer `selector`. A missing object
// is "(nil)", a missing delegate "(null)".
void NSRequiredDelegateSelectorBody(const QObject *object, const char *selector, const char *function,
                                    const char *file, int line, const char *text);
// "REQUIRED_NOT_NIL NSNull==NSNull" for the null object, "REQUIRED_NOT_NIL (null)==nil" for
// none, with the location.
void NSRequiredNotNilBody(CFTypeRef object, const char *function, const char *file, int line, const char *text);
// "[<Class> isKindOfClass:<expected>] FAILED" with the location ("(null)" for no object).
void NSRequiredKindOfClassBody(const QObject *object, const char *expectedClassName, const char *function,
                               const char *file, int line, const char *text);

bool import_RequiredCoreLog();
