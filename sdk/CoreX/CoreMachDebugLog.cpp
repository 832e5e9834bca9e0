#include <CoreX/CoreMachDebugLog.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <syslog.h>

#include <Carbon/Carbon.h>
#include <CoreFoundation/CoreFoundation.h>
#include <CoreX/CFBaseDLL.h>
#include <asl/asl.h>
#include <dispatch/dispatch.h>

const char *g_CoreMachDebug_LogPrefix = "Lumora";
const char *g_CoreMachDebug_LogFileName = "Lumora.log";

namespace {

const char kVerifyFormat[] = "VERIFY FAILED: %s in %s:%d (%s)\n";
const char kVerifyOSerrFormat[] = "VERIFY_OSERR FAILED: OSErr:%d (%s/%s) %s in %s:%d (%s)\n";
const char kVerifyCFErrorFormat[] = "VERIFY_CFERROR FAILED: (%s) %s in %s:%d (%s)\n";

enum : std::size_t { kBufferSize = 24576, kPathSize = 1024 };

// The sink; read by every message, so it is atomic.
constinit std::atomic<kCoreLogOutput> sLogOutput{kCoreLogOutput_ASL};

// s_Mutex guards the formatting buffer and the log file's path. It is a std::mutex
// (constant-initialised, never allocates): a writer may hold it through file I/O, which a
// spin lock would burn a core on. It is not recursive: nothing that runs under it may log
// through it again. tInsideLog marks the thread that holds it, so that a message arriving
// from inside the log on that thread goes straight to standard error instead of
// deadlocking.
constinit std::mutex s_Mutex;
constinit thread_local bool tInsideLog = false;

constinit char s_Buffer[kBufferSize] = {};
constinit char sUserLogsPath[kPathSize] = {};
constinit char sCoreDebugLogFileName[kPathSize] = {};
constinit bool fClassInitialized = false;

const char *Text(const char *text) { return text != nullptr ? text : ""; }

// A failed check met while the lock is held. It is written to standard error once the
// lock is released (routing it through the log would re-enter the log, and with the file
// sink fail again in the same way).
struct PendingReport {
    bool used = false;
    bool isStatus = false;
    int status = 0;
    const char *function = "";
    int line = 0;
    const char *text = "";
};

struct PendingReports {
    PendingReport reports[2];
    void Add(const char *function, int line, const char *text, bool isStatus = false,
             int status = 0) {
        for (PendingReport &report : reports) {
            if (report.used) continue;
            report = PendingReport{true, isStatus, status, function, line, text};
            return;
        }
    }
    void WriteToStandardError() const;
};

// Holds s_Mutex and marks this thread as inside the log.
class LogLock {
public:
    LogLock() : mLock(s_Mutex) { tInsideLog = true; }
    ~LogLock() { tInsideLog = false; }
    LogLock(const LogLock &) = delete;
    LogLock &operator=(const LogLock &) = delete;

private:
    std::lock_guard<std::mutex> mLock;
};

// The error and comment strings of a status from CoreServices ("" when unavailable).
void StatusStrings(int status, const char *&errorString, const char *&commentString) {
    typedef const char *(*StatusStringFunction)(OSStatus);
    errorString = "";
    commentString = "";
    T_CFBaseDLL<I_CFBundleDLL> &coreServices = CoreServicesFramework::CoreServices();
    if (auto function = reinterpret_cast<StatusStringFunction>(
            coreServices.FunctionPointerForName(CFSTR("GetMacOSStatusErrorString")))) {
        errorString = Text(function(OSStatus(status)));
    }
    if (auto function = reinterpret_cast<StatusStringFunction>(
            coreServices.FunctionPointerForName(CFSTR("GetMacOSStatusCommentString")))) {
        commentString = Text(function(OSStatus(status)));
    }
}

void PendingReports::WriteToStandardError() const {
    for (const PendingReport &report : reports) {
        if (!report.used) continue;
        if (report.isStatus) {
            const char *errorString;
            const char *commentString;
            StatusStrings(report.status, errorString, commentString);
            std::fprintf(stderr, kVerifyOSerrFormat, report.status, errorString, commentString,
                         report.text, __FILE__, report.line, report.function);
        } else {
            std::fprintf(stderr, kVerifyFormat, report.text, __FILE__, report.line,
                         report.function);
        }
    }
}

// CoreMachDebugLogClassInitialize with s_Mutex held; failures go to `pending`.
bool ClassInitializeLocked(PendingReports &pending) {
    FSRef sUserLogsFolder;
    const short domain = kUserDomain;
    const int findLine = __LINE__ + 1;
    const OSStatus status = FSFindFolder(domain, kLogsFolderType, kDontCreateFolder, &sUserLogsFolder);
    if (status != noErr) {
        pending.Add("CoreMachDebugLogClassInitialize", findLine,
                    " code : FSFindFolder(domain, kLogsFolderType, kDontCreateFolder, &sUserLogsFolder)",
                    true, status);
        return false;
    }

    sUserLogsPath[0] = '\0';
    bool fOk = FSGetCatalogInfo(&sUserLogsFolder, kFSCatInfoNone, nullptr, nullptr, nullptr,
                                nullptr) == noErr;
    if (!fOk) pending.Add("bool_FSRef_GetUnixPath", __LINE__, " code : bool_FSRef_IsValid(fileRef)");
    fOk = fOk && FSRefMakePath(&sUserLogsFolder, reinterpret_cast<UInt8 *>(sUserLogsPath),
                               sizeof(sUserLogsPath)) == noErr;
    if (!fOk) {
        sUserLogsPath[0] = '\0';
        pending.Add("CoreMachDebugLogClassInitialize", __LINE__,
                    " code : fOk=bool_FSRef_GetUnixPath(sUserLogsFolder, sUserLogsPath)");
        return false;
    }

    const char *fileName = Text(g_CoreMachDebug_LogFileName);
    if (*fileName == '\0') fileName = "CoreConsole.log";
    const int length = std::snprintf(sCoreDebugLogFileName, sizeof(sCoreDebugLogFileName), "%s/%s",
                                     sUserLogsPath, fileName);
    if (length < 0 || std::size_t(length) >= sizeof(sCoreDebugLogFileName)) {
        sCoreDebugLogFileName[0] = '\0';
        pending.Add("CoreMachDebugLogClassInitialize", __LINE__,
                    " code : length<sizeof(sCoreDebugLogFileName)");
        return false;
    }
    return true;
}

void WriteFileLocked(const char *text, PendingReports &pending) {
    if (!fClassInitialized) fClassInitialized = ClassInitializeLocked(pending);
    if (!fClassInitialized) return;
    FILE *file = std::fopen(sCoreDebugLogFileName, "a");
    if (file == nullptr) return;  // an unwritable file drops the message
    std::fputs(text, file);
    std::fclose(file);
}

// Writes the text to the selected sink; s_Mutex is held.
void WriteLocked(const char *text, PendingReports &pending) {
    const char *prefix = Text(g_CoreMachDebug_LogPrefix);
    switch (sLogOutput.load(std::memory_order_relaxed)) {
    case kCoreLogOutput_ASL: {
        aslclient client = asl_open(prefix, "CoreMachDebugLog", ASL_OPT_STDERR);
        asl_log(client, nullptr, ASL_LEVEL_DEBUG, "%s\n", text);
        asl_close(client);
        break;
    }
    case kCoreLogOutput_Syslog:
        ::syslog(LOG_DEBUG, "%s:%s\n", prefix, text);
        break;
    case kCoreLogOutput_StdoutAndFile:
        std::printf("%s:%s", prefix, text);
        std::fflush(stdout);
        WriteFileLocked(text, pending);
        break;
    default:
        WriteFileLocked(text, pending);
        break;
    }
}

}  // namespace

void CoreMachDebugLogSetUseLogger(kCoreLogOutput output) {
    sLogOutput.store(output, std::memory_order_relaxed);
}

kCoreLogOutput CoreMachDebugLogGetUseLogger() { return sLogOutput.load(std::memory_order_relaxed); }

void CoreMachDebugLog(const char *format, ...) {
    if (format == nullptr) return;
    va_list arguments;
    va_start(arguments, format);
    if (tInsideLog) {
        // Reached from inside the log on this thread: the buffer is in use.
        std::vfprintf(stderr, format, arguments);
        va_end(arguments);
        return;
    }
    PendingReports pending;
    {
        LogLock lock;
        // Cut at kBufferSize - 1 characters; always terminated.
        if (std::vsnprintf(s_Buffer, sizeof(s_Buffer), format, arguments) < 0) s_Buffer[0] = '\0';
        WriteLocked(s_Buffer, pending);
    }
    va_end(arguments);
    pending.WriteToStandardError();
}

void CoreMachDebugLogString(const char *text) {
    if (text == nullptr) return;
    if (tInsideLog) {
        std::fputs(text, stderr);
        return;
    }
    PendingReports pending;
    {
        LogLock lock;
        WriteLocked(text, pending);
    }
    pending.WriteToStandardError();
}

bool CoreMachDebugLogClassInitialize() {
    if (tInsideLog) return fClassInitialized;
    PendingReports pending;
    bool initialized;
    {
        LogLock lock;
        if (!fClassInitialized) fClassInitialized = ClassInitializeLocked(pending);
        initialized = fClassInitialized;
    }
    pending.WriteToStandardError();
    return initialized;
}

void CoreMachDebugLogResetFilePath() {
    if (tInsideLog) return;
    LogLock lock;
    fClassInitialized = false;
    sUserLogsPath[0] = '\0';
    sCoreDebugLogFileName[0] = '\0';
}

void _CoreMachDebugVerifyBody(const char *function, const char *file, int line, const char *text) {
    CoreMachDebugLog(kVerifyFormat, Text(text), Text(file), line, Text(function));
}

void _CoreMachDebugVerifyOSerrBody(int status, const char *function, const char *file, int line,
                                   const char *text) {
    const char *errorString;
    const char *commentString;
    StatusStrings(status, errorString, commentString);
    CoreMachDebugLog(kVerifyOSerrFormat, status, errorString, commentString, Text(text), Text(file),
                     line, Text(function));
}

void _CoreMachDebugVerifyCFErrorBody(CFErrorRef error, const char *function, const char *file,
                                     int line, const char *text) {
    CFStringRef description = error != nullptr ? CFErrorCopyDescription(error) : nullptr;
    const char *descriptionText =
        description != nullptr ? Text(CFStringDebugCStringPtr(description, kCFStringEncodingUTF8)) : "";
    CoreMachDebugLog(kVerifyCFErrorFormat, descriptionText, Text(text), Text(file), line,
                     Text(function));
    if (description != nullptr) CFRelease(description);
}

const char *CFStringDebugCStringPtr(CFStringRef string, CFStringEncoding encoding) {
    if (string == nullptr) return nullptr;
    if (const char *characters = CFStringGetCStringPtr(string, encoding)) return characters;

    // Each thread converts into its own string, so a report on one thread never sees
    // another thread's text.
    thread_local std::string tConverted;
    tConverted.clear();
    const CFIndex size = CFStringGetMaximumSizeForEncoding(CFStringGetLength(string), encoding);
    if (size <= 0) return "";
    std::string buffer(std::size_t(size) + 1, '\0');
    if (!CFStringGetCString(string, buffer.data(), CFIndex(buffer.size()), encoding)) return "";
    tConverted.assign(buffer.c_str());
    return tConverted.c_str();
}

// ---- The queued Core Foundation log -------------------------------------------------------

namespace {

constinit std::once_flag sCFTypeRefOutputQueueOnce;
constinit std::mutex sCFTypeRefOutputQueueMutex;
constinit dispatch_queue_t sCFTypeRefOutputQueue = nullptr;

bool IsCFString(CFTypeRef object) {
    return object != nullptr && object != static_cast<CFTypeRef>(kCFNull) &&
           CFGetTypeID(object) == CFStringGetTypeID();
}

// The queue's writer: one message to syslog at LOG_WARNING, then its release.
void WriteQueuedMessage(void *context) {
    CFStringRef message = static_cast<CFStringRef>(context);
    if (const char *characters = CFStringGetCStringPtr(message, kCFStringEncodingUTF8)) {
        ::syslog(LOG_WARNING, "%s", characters);
    } else {
        const CFIndex size =
            CFStringGetMaximumSizeForEncoding(CFStringGetLength(message), kCFStringEncodingUTF8);
        if (size > 0) {
            std::string buffer(std::size_t(size) + 1, '\0');
            if (CFStringGetCString(message, buffer.data(), CFIndex(buffer.size()), kCFStringEncodingUTF8))
                ::syslog(LOG_WARNING, "%s", buffer.c_str());
        }
    }
    CFRelease(message);
}

void DrainNothing(void *) {}

}  // namespace

void RequiredCoreLogTypeRefConstructor() {
    std::call_once(sCFTypeRefOutputQueueOnce, [] {
        // Touch Core Foundation and make the queue before registering the destructor, so
        // that both layers are still alive when it runs at exit.
        (void)CFStringGetTypeID();
        dispatch_queue_t queue = dispatch_queue_create("sCFTypeRefOutputQueue", DISPATCH_QUEUE_SERIAL);
        {
            std::lock_guard<std::mutex> lock(sCFTypeRefOutputQueueMutex);
            sCFTypeRefOutputQueue = queue;
        }
        std::atexit(RequiredCoreLogTypeRefDestructor);
    });
}

void RequiredCoreLogTypeRefDestructor() {
    dispatch_queue_t queue;
    {
        std::lock_guard<std::mutex> lock(sCFTypeRefOutputQueueMutex);
        queue = sCFTypeRefOutputQueue;
        sCFTypeRefOutputQueue = nullptr;
    }
    if (queue == nullptr) return;
    dispatch_sync_f(queue, nullptr, DrainNothing);  // writes what is still queued
    dispatch_release(queue);
}

void __CFNSLogStringQueue(CFStringRef message) {
    if (!IsCFString(message)) return;
    RequiredCoreLogTypeRefConstructor();
    std::lock_guard<std::mutex> lock(sCFTypeRefOutputQueueMutex);
    if (sCFTypeRefOutputQueue == nullptr) return;
    CFRetain(message);
    dispatch_async_f(sCFTypeRefOutputQueue, const_cast<void *>(static_cast<const void *>(message)),
                     WriteQueuedMessage);
}

void __CFRequiredLogPrintf(const char *name, const char *format, ...) {
    const void *null = kCFNull;
    if (name == nullptr || format == nullptr || name == null || format == null) return;
    CFStringRef combined = CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR("%s %s"), name, format);
    if (combined == nullptr) return;
    va_list arguments;
    va_start(arguments, format);
    CFStringRef message = CFStringCreateWithFormatAndArguments(kCFAllocatorDefault, nullptr, combined, arguments);
    va_end(arguments);
    if (message != nullptr) {
        __CFNSLogStringQueue(message);
        CFRelease(message);
    }
    CFRelease(combined);
}

bool import_CoreMachDebugLog() { return import_CFBaseDLL(); }
