#include <VDig/RequiredCoreLog.h>

#include <Foundation/NSException.h>

#include <QObject>
#include <QVariant>

#include <CoreX/CFBaseDLL.h>
#include <CoreX/CoreMachDebugLog.h>
#include <asl/asl.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>
#include <cstring>

namespace {

const char *Text(const char *text) { return text != nullptr ? text : ""; }

bool IsFormat(CFStringRef format) {
    return format != nullptr && static_cast<CFTypeRef>(format) != static_cast<CFTypeRef>(kCFNull) &&
           CFGetTypeID(format) == CFStringGetTypeID();
}

bool IsCFormat(const char *format) {
    return format != nullptr && static_cast<const void *>(format) != static_cast<const void *>(kCFNull);
}

// Queues a string made here and releases it.
void QueueAndRelease(CFStringRef message) {
    if (message == nullptr) return;
    __CFNSLogStringQueue(message);
    CFRelease(message);
}

void QueueFormatted(CFStringRef format, va_list arguments) {
    if (!IsFormat(format)) return;
    QueueAndRelease(CFStringCreateWithFormatAndArguments(kCFAllocatorDefault, nullptr, format, arguments));
}

// "<message> <text> : in <file> LINE# <line> (<function>)\n"
void QueueLocated(CFStringRef message, const char *function, const char *file, int line, const char *text) {
    QueueAndRelease(CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR("%@ %s : in %s LINE# %d (%s)\n"),
                                             message, Text(text), CFConstStaticJustFileNameUTF8(file), line,
                                             Text(function)));
}

void QueueLocatedC(const char *message, const char *function, const char *file, int line, const char *text) {
    CFStringRef string = CFStringCreateWithCString(kCFAllocatorDefault, message, kCFStringEncodingUTF8);
    if (string == nullptr) return;
    QueueLocated(string, function, file, line, text);
    CFRelease(string);
}

// Error and comment strings of a status from CoreServices, looked up by name ("" when the
// system does not offer them).
void StatusStrings(OSStatus status, const char *&errorString, const char *&commentString) {
    typedef const char *(*StatusStringFunction)(OSStatus);
    errorString = "";
    commentString = "";
    T_CFBaseDLL<I_CFBundleDLL> &coreServices = CoreServicesFramework::CoreServices();
    if (auto function = reinterpret_cast<StatusStringFunction>(
            coreServices.FunctionPointerForName(CFSTR("GetMacOSStatusErrorString"))))
        errorString = Text(function(status));
    if (auto function = reinterpret_cast<StatusStringFunction>(
            coreServices.FunctionPointerForName(CFSTR("GetMacOSStatusCommentString"))))
        commentString = Text(function(status));
}

const char *CoreVideoReturnName(CVReturn code) {
    switch (code) {
    case 0: return "kCVReturnSuccess";
    case -6660: return "kCVReturnError";
    case -6661: return "kCVReturnInvalidArgument";
    case -6662: return "kCVReturnAllocationFailed";
    case -6670: return "kCVReturnInvalidDisplay";
    case -6671: return "kCVReturnDisplayLinkAlreadyRunning";
    case -6672: return "kCVReturnDisplayLinkNotRunning";
    case -6673: return "kCVReturnDisplayLinkCallbacksNotSet";
    case -6680: return "kCVReturnInvalidPixelFormat";
    case -6681: return "kCVReturnInvalidSize";
    case -6682: return "kCVReturnInvalidPixelBufferAttributes";
    case -6683: return "kCVReturnPixelBufferNotOpenGLCompatible";
    case -6690: return "kCVReturnPoolAllocationFailed";
    case -6691: return "kCVReturnInvalidPoolAttributes";
    default: return nullptr;
    }
}

const char *CoreMediaStatusName(OSStatus status) {
    switch (status) {
    case -12711: return "kCMFormatDescriptionError_AllocationFailed";
    case -12710: return "kCMFormatDescriptionError_InvalidParameter";
    default: return nullptr;
    }
}

// "<name> (<code>)" or "statusValue=<code>".
void StatusValueText(const char *name, int code, char *buffer, size_t size) {
    if (name != nullptr)
        std::snprintf(buffer, size, "%s (%d)", name, code);
    else
        std::snprintf(buffer, size, "statusValue=%d", code);
}

thread_local bool tInRequiredLogString = false;

}  // namespace

// ---- Output ---------------------------------------------------------------------------------

void CFNSLogStringQueue(CFStringRef text) { __CFNSLogStringQueue(text); }

void CFLogPrintf(CFStringRef format, ...) {
    va_list arguments;
    va_start(arguments, format);
    QueueFormatted(format, arguments);
    va_end(arguments);
}

void CFNSLog(CFStringRef format, ...) {
    va_list arguments;
    va_start(arguments, format);
    QueueFormatted(format, arguments);
    va_end(arguments);
}

void CFLogError(const char *function, const char *file, int line, const char *text, CFStringRef format, ...) {
    if (!IsFormat(format)) return;
    va_list arguments;
    va_start(arguments, format);
    CFStringRef message = CFStringCreateWithFormatAndArguments(kCFAllocatorDefault, nullptr, format, arguments);
    va_end(arguments);
    if (message == nullptr) return;
    QueueAndRelease(CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR("%@ - %s in %s:%d (%s)"), message,
                                             Text(text), Text(function), line, CFConstStaticJustFileNameUTF8(file)));
    CFRelease(message);
}

void CFRequiredLogString(const char *prefix, const char *text) {
    if (!IsCFormat(text)) return;
    QueueAndRelease(CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR("%s:%s"), Text(prefix), text));
}

void CFRequiredLogPrintf(const char *name, const char *format, ...) {
    if (!IsCFormat(name) || !IsCFormat(format)) return;
    CFStringRef combined = CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR("%s %s"), name, format);
    if (combined == nullptr) return;
    va_list arguments;
    va_start(arguments, format);
    QueueFormatted(combined, arguments);
    va_end(arguments);
    CFRelease(combined);
}

void CFRequiredPrintf(const char *format, ...) {
    if (!IsCFormat(format)) return;
    CFStringRef cfFormat = CFStringCreateWithCString(kCFAllocatorDefault, format, kCFStringEncodingUTF8);
    if (cfFormat == nullptr) return;
    va_list arguments;
    va_start(arguments, format);
    QueueFormatted(cfFormat, arguments);
    va_end(arguments);
    CFRelease(cfFormat);
}

namespace {

void RequiredVPrintf(const char *prefix, const char *format, va_list arguments) {
    if (!IsCFormat(format)) return;
    char buffer[6144];
    const int length = std::vsnprintf(buffer, sizeof buffer, format, arguments);
    if (length < 0 || length > 4095) return;
    CFRequiredLogString(prefix, buffer);
}

}  // namespace

void requiredPrintf(const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    RequiredVPrintf("", format, arguments);
    va_end(arguments);
}

void requiredLogPrintf(const char *prefix, const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    RequiredVPrintf(Text(prefix), format, arguments);
    va_end(arguments);
}

void requiredLogString(const char *facility, const char *text) {
    if (text == nullptr || tInRequiredLogString) return;
    tInRequiredLogString = true;
    aslclient client = asl_open(nullptr, facility, 0);
    asl_log(client, nullptr, ASL_LEVEL_DEBUG, "%s", text);
    if (client != nullptr) asl_close(client);
    tInRequiredLogString = false;
}

void CFLogShowTypeRef(CFTypeRef object) {
    if (object == nullptr) return;
    QueueAndRelease(CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR("%@"), object));
}

const char *CFConstStaticJustFileNameUTF8(const char *path) {
    if (path == nullptr) return "";
    const char *slash = std::strrchr(path, '/');
    return slash != nullptr ? slash + 1 : path;
}

const char *CFConstStaticJustFileNameASCII(const char *path, size_t length) {
    if (path == nullptr) return "";
    for (size_t at = length; at > 0; --at)
        if (path[at - 1] == '/') return path + at;
    return path;
}

// ---- Reporters ------------------------------------------------------------------------------

void CFRequiredBody(const char *function, const char *file, int line, const char *text) {
    QueueLocatedC("REQUIREMENT", function, file, line, text);
}

void CFRequiredTypeOfBody(const char *name, CFTypeRef object, CFTypeID expectedType, const char *function,
                          const char *file, int line, const char *text) {
    CFStringRef message;
    if (object == nullptr) {
        message = CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR("%s==NULL"), Text(name));
    } else {
        const CFTypeID type = CFGetTypeID(object);
        CFStringRef typeName = CFCopyTypeIDDescription(type);
        CFStringRef expectedName = CFCopyTypeIDDescription(expectedType);
        message = CFStringCreateWithFormat(kCFAllocatorDefault, nullptr,
                                           CFSTR("[%s ((%@)0x%08lx) != %@GetTypeID() (%08lx!=%08lx)] FAILED"),
                                           Text(name), typeName != nullptr ? typeName : CFSTR("?"),
                                           (unsigned long)std::uintptr_t(object),
                                           expectedName != nullptr ? expectedName : CFSTR("?"), (unsigned long)type,
                                           (unsigned long)expectedType);
        if (typeName != nullptr) CFRelease(typeName);
        if (expectedName != nullptr) CFRelease(expectedName);
    }
    if (message == nullptr) return;
    QueueLocated(message, function, file, line, text);
    CFRelease(message);
}

void CFRequiredNotCFNullBody(CFTypeRef object, const char *function, const char *file, int line, const char *text) {
    char message[64];
    std::snprintf(message, sizeof message, "0x%08lx==NULL", (unsigned long)std::uintptr_t(object));
    QueueAndRelease(CFStringCreateWithFormat(kCFAllocatorDefault, nullptr,
                                             CFSTR("REQUIRED_NOT_NULL %s : %s in %s LINE# %d (%s)\n"), message,
                                             Text(text), CFConstStaticJustFileNameUTF8(file), line, Text(function)));
}

void OSStatusRequiredBody(OSStatus status, const char *function, const char *file, int line, const char *text) {
    const char *errorString;
    const char *commentString;
    StatusStrings(status, errorString, commentString);
    CFStringRef message = CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR("REQUIRED_OSSTATUS(%ld) %s-'%s'"),
                                                   long(status), errorString, commentString);
    if (message == nullptr) return;
    QueueLocated(message, function, file, line, text);
    CFRelease(message);
}

void CoreMediaOSStatusRequiredBody(OSStatus status, const char *function, const char *file, int line,
                                   const char *text) {
    char value[96];
    StatusValueText(CoreMediaStatusName(status), int(status), value, sizeof value);
    char message[160];
    std::snprintf(message, sizeof message, "REQUIRED_CMSTATUS %d:%s", int(status), value);
    QueueLocatedC(message, function, file, line, text);
    OSStatusRequiredBody(status, function, file, line, text);
}

void CoreVideoRequiredBody(CVReturn code, const char *function, const char *file, int line, const char *text) {
    char value[96];
    StatusValueText(CoreVideoReturnName(code), int(code), value, sizeof value);
    char message[160];
    std::snprintf(message, sizeof message, "REQUIRED_CVRETURN FAILED: %s", value);
    QueueLocatedC(message, function, file, line, text);
}

void CoreMediaCMTimeLogMessage(const char *function, const char *file, int line, CMTime time, const char *format,
                               ...) {
    if (!IsCFormat(format)) return;
    char message[4096];
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    if (length < 0) return;
    CFStringRef description = CMTimeCopyDescription(kCFAllocatorDefault, time);
    QueueAndRelease(CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR("CMTime '%@' %s {%s:%d %s}\n"),
                                             description, message, CFConstStaticJustFileNameUTF8(file), line,
                                             Text(function)));
    if (description != nullptr) CFRelease(description);
}

namespace {

// An object's class name as the reporters write it.
std::string ClassName(const QObject *object, const char *none) {
    return object != nullptr ? object->metaObject()->className() : none;
}

} // namespace

CFTypeRef NSRequiredNotNSNullCachedValue() {
    static const CFTypeRef null = kCFNull;
    return null;
}

void NSRequiredNSErrorNilBody(CFErrorRef error, const char *function, const char *file, int line, const char *text) {
    CFStringRef message = error != nullptr
        ? CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR("REQUIRED_NSERROR_NIL %@"), error)
        : CFStringCreateWithCString(kCFAllocatorDefault, "REQUIRED_NSERROR_NIL (null)", kCFStringEncodingUTF8);
    if (message == nullptr) return;
    QueueLocated(message, function, file, line, text);
    CFRelease(message);
}

void NSRequiredNoExceptionBody(const NSException &exception, const char *function, const char *file, int line,
                               const char *text) {
    const std::string message = "REQUIRED_NO_EXCEPTION NSException{ " + exception.description().toStdString() + " }";
    QueueLocatedC(message.c_str(), function, file, line, text);
}

void NSRequiredDelegateSelectorBody(const QObject *object, const char *selector, const char *function,
                                    const char *file, int line, const char *text) {
    std::string delegate = "(null)";
    if (object != nullptr) {
        const QVariant value = object->property("delegate");
        if (QObject *d = value.value<QObject *>()) {
            char address[32];
            std::snprintf(address, sizeof address, "%p", static_cast<void *>(d));
            delegate = std::string("<") + d->metaObject()->className() + ": " + address + ">";
        }
    }
    const std::string message = std::string(Text(text)) + " " + ClassName(object, "(nil)") + ".delegate=" + delegate +
                                " has no @selector(" + Text(selector) + ")";
    CFStringRef string = CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR("%s : in %s LINE# %d (%s)\n"),
                                                  message.c_str(), CFConstStaticJustFileNameUTF8(file), line,
                                                  Text(function));
    QueueAndRelease(string);
}

void NSRequiredNotNilBody(CFTypeRef object, const char *function, const char *file, int line, const char *text) {
    const bool null = object != nullptr && object == NSRequiredNotNSNullCachedValue();
    QueueLocatedC(null ? "REQUIRED_NOT_NIL NSNull==NSNull" : "REQUIRED_NOT_NIL (null)==nil", function, file, line,
                  text);
}

void NSRequiredKindOfClassBody(const QObject *object, const char *expectedClassName, const char *function,
                               const char *file, int line, const char *text) {
    const std::string message =
        "[" + ClassName(object, "(null)") + " isKindOfClass:" + Text(expectedClassName) + "] FAILED";
    QueueLocatedC(message.c_str(), function, file, line, text);
}

bool import_RequiredCoreLog() { return import_CoreMachDebugLog(); }
