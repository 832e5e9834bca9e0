// The debug log and the reporters of failed checks.
//
// A failed check writes one line to the debug log and the caller goes on with its own
// failure value; nothing here stops the program or throws. The log goes to one of four
// sinks chosen process-wide (CoreMachDebugLogSetUseLogger): the Apple System Log (copied to
// standard error), syslog, standard output plus the log file, or the log file alone
// (g_CoreMachDebug_LogFileName in the user's Logs folder, opened for appending per message).
//
// The check macros pass the reporter the enclosing function's name, the source file, the
// line and " code : " followed by the checked expression as written:
//
//     if (!VERIFY(in_cstring != NULL)) return false;
//     OSStatus status = VERIFY_OSERR(FSGetCatalogInfo(...));
//     if (!VERIFY_CFERROR(CFSomethingWithError(..., &error), error)) ...
//     VERIFY_TEXT(fOk, " code : bool_FSRef_IsValid(fileRef)");   // text given as is
//
// Each macro evaluates its expression once and yields its result (the boolean, or the
// status for VERIFY_OSERR), which the caller may test or ignore.
#pragma once

#include <CoreFoundation/CFError.h>
#include <CoreFoundation/CFString.h>

// The selected sink. Only 1, 2 and 4 are distinguished; every other value means the log
// file alone (0 is the usual one).
typedef SInt32 kCoreLogOutput;
enum : SInt32 {
    kCoreLogOutput_File = 0,
    kCoreLogOutput_ASL = 1,
    kCoreLogOutput_Syslog = 2,
    kCoreLogOutput_StdoutAndFile = 4,
};

// The identity of this deliverable's log: the ASL ident and the prefix of syslog and
// standard-output lines ("Lumora" by default), and the log file's name in the user's Logs
// folder ("Lumora.log" by default; an empty name means "CoreConsole.log"). A deliverable
// assigns its own values before its first message; after changing the file name later,
// call CoreMachDebugLogResetFilePath.
extern const char *g_CoreMachDebug_LogPrefix;
extern const char *g_CoreMachDebug_LogFileName;

// Selects the sink for every later message (initially kCoreLogOutput_ASL).
void CoreMachDebugLogSetUseLogger(kCoreLogOutput output);
kCoreLogOutput CoreMachDebugLogGetUseLogger();

// Formats with printf rules (cut at 24575 characters) and writes to the selected sink.
void CoreMachDebugLog(const char *format, ...) __attribute__((format(printf, 1, 2)));
// Writes an already formatted text, unchanged, to the selected sink.
void CoreMachDebugLogString(const char *text);

// Finds the user's Logs folder (never creating it) and builds the log file's path. Called
// by the file sink with the log's lock held; a failure is written straight to standard
// error and the message is dropped, and the next message tries again.
bool CoreMachDebugLogClassInitialize();
// Forgets the log file's path, so the next message to the file sink finds the Logs folder
// and g_CoreMachDebug_LogFileName again.
void CoreMachDebugLogResetFilePath();

// The reporters behind the check macros. Each writes one line and returns.
//   "VERIFY FAILED: %s in %s:%d (%s)\n"                        text, file, line, function
//   "VERIFY_OSERR FAILED: OSErr:%d (%s/%s) %s in %s:%d (%s)\n" status, error and comment
//                                                             strings, text, file, line,
//                                                             function
//   "VERIFY_CFERROR FAILED: (%s) %s in %s:%d (%s)\n"           error description, text,
//                                                             file, line, function
void _CoreMachDebugVerifyBody(const char *function, const char *file, int line, const char *text);
void _CoreMachDebugVerifyOSerrBody(int status, const char *function, const char *file, int line,
                                   const char *text);
void _CoreMachDebugVerifyCFErrorBody(CFErrorRef error, const char *function, const char *file,
                                     int line, const char *text);

// A C string of a CFString for debug output: null for a null string, "" when it cannot be
// converted. The characters are either the string's own or this thread's copy, valid until
// the string is released or the thread's next call.
const char *CFStringDebugCStringPtr(CFStringRef string, CFStringEncoding encoding);

// The queued Core Foundation log: messages are written to syslog (LOG_WARNING) one after
// the other by the serial queue "sCFTypeRefOutputQueue", made on first use.
void RequiredCoreLogTypeRefConstructor();
// Writes the messages still queued and releases the queue; later messages are ignored.
// Registered to run at exit by the constructor.
void RequiredCoreLogTypeRefDestructor();
// Queues one message; null, kCFNull and anything that is not a CFString are ignored.
void __CFNSLogStringQueue(CFStringRef message);
// Formats "name format" with the arguments (Core Foundation format rules) and queues it.
void __CFRequiredLogPrintf(const char *name, const char *format, ...);

bool import_CoreMachDebugLog();

// Helpers of the macros; not called directly.
inline bool _CoreMachDebugVerifyCheck(bool ok, const char *function, const char *file, int line,
                                      const char *text) {
    if (!ok) _CoreMachDebugVerifyBody(function, file, line, text);
    return ok;
}
inline OSStatus _CoreMachDebugVerifyOSerrCheck(OSStatus status, const char *function,
                                               const char *file, int line, const char *text) {
    if (status != noErr) _CoreMachDebugVerifyOSerrBody(status, function, file, line, text);
    return status;
}
inline bool _CoreMachDebugVerifyCFErrorFailed(CFErrorRef error, const char *function,
                                              const char *file, int line, const char *text) {
    _CoreMachDebugVerifyCFErrorBody(error, function, file, line, text);
    return false;
}
inline bool _CoreMachDebugVerifyResult(bool ok) { return ok; }

#define VERIFY(...)                                                                          \
    _CoreMachDebugVerifyCheck(static_cast<bool>(__VA_ARGS__), __func__, __FILE__, __LINE__,  \
                              " code : " #__VA_ARGS__)

#define VERIFY_OSERR(...)                                                                    \
    _CoreMachDebugVerifyOSerrCheck(static_cast<OSStatus>(__VA_ARGS__), __func__, __FILE__,   \
                                   __LINE__, " code : " #__VA_ARGS__)

// The error is read only after the expression has been evaluated and found false.
#define VERIFY_CFERROR(expr, error)                                                          \
    _CoreMachDebugVerifyResult(static_cast<bool>(expr) ||                                    \
                               _CoreMachDebugVerifyCFErrorFailed((error), __func__, __FILE__, \
                                                                 __LINE__, " code : " #expr))

// A check whose report text is given as it stands (no " code : " prefix added).
#define VERIFY_TEXT(cond, text)                                                              \
    _CoreMachDebugVerifyCheck(static_cast<bool>(cond), __func__, __FILE__, __LINE__, (text))
