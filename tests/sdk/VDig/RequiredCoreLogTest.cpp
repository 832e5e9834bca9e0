// The requirement reporters: the lines they queue, as the system log receives them.
#include <VDig/RequiredCoreLog.h>

#include <Foundation/NSException.h>

#include <QTimer>
#include <QVariant>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <syslog.h>
#include <thread>
#include <vector>

#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"

namespace {

using corex_test::CapturedOutput;

// Runs `report`, then queues a marker, and answers what the queue wrote before the marker
// (syslog copies each message to standard error with LOG_PERROR).
std::string Reported(const std::function<void()> &report) {
    static int sMarker = 0;
    const std::string marker = "--marker " + std::to_string(++sMarker) + "--";
    ::openlog("vdig-test", LOG_PERROR, LOG_USER);
    CapturedOutput standardError(STDERR_FILENO);
    report();
    CFRequiredLogString("", marker.c_str());
    for (int attempt = 0; attempt < 500 && standardError.Text().find(marker) == std::string::npos; ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::string text = standardError.Finish();
    ::closelog();
    const std::size_t end = text.find(marker);
    EXPECT_NE(end, std::string::npos) << text;
    text.erase(end == std::string::npos ? text.size() : text.rfind('\n', end) + 1);
    // One message a line: drop syslog's "ident: " prefix (the message may itself end in \n).
    std::string lines;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t next = text.find('\n', at);
        if (next == std::string::npos) next = text.size();
        std::string line = text.substr(at, next - at);
        const std::string prefix = "vdig-test: ";
        if (line.rfind(prefix, 0) == 0) line.erase(0, prefix.size());
        if (!line.empty()) lines += line + "\n";
        at = next + 1;
    }
    return lines;
}

TEST(RequiredCoreLog, ReportLines) {
    CFStringRef string = CFSTR("text");
    CFNumberRef number = nullptr;
    const int value = 7;
    number = CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &value);
    char numberAddress[32];
    std::snprintf(numberAddress, sizeof numberAddress, "0x%08lx", (unsigned long)std::uintptr_t(number));
    char typeIds[64];
    std::snprintf(typeIds, sizeof typeIds, "(%08lx!=%08lx)", (unsigned long)CFNumberGetTypeID(),
                  (unsigned long)CFStringGetTypeID());

    // An error, and an object whose delegate is another object.
    CFErrorRef error = CFErrorCreate(kCFAllocatorDefault, CFSTR("NSOSStatusErrorDomain"), -50, nullptr);
    CFStringRef errorDescription = CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR("%@"), error);
    char errorBytes[512] = "";
    CFStringGetCString(errorDescription, errorBytes, sizeof errorBytes, kCFStringEncodingUTF8);
    CFRelease(errorDescription);
    const std::string errorText = errorBytes;
    QTimer owner;
    QObject delegate;
    owner.setProperty("delegate", QVariant::fromValue(static_cast<QObject *>(&delegate)));
    char delegateAddress[32];
    std::snprintf(delegateAddress, sizeof delegateAddress, "%p", static_cast<void *>(&delegate));
    const std::string delegateText = std::string("<QObject: ") + delegateAddress + ">";

    struct Case {
        const char *name;
        std::function<void()> report;
        std::string expected;
    };
    const Case cases[] = {
        {"requirement", [] { CFRequiredBody("Run", "/src/dir/Camera.cpp", 12, " code : ok"); },
         "REQUIREMENT  code : ok : in Camera.cpp LINE# 12 (Run)\n"},
        {"type: null", [] { CFRequiredTypeOfBody("name", nullptr, CFStringGetTypeID(), "Run", "a/B.cpp", 3, "x"); },
         "name==NULL x : in B.cpp LINE# 3 (Run)\n"},
        {"type: wrong",
         [&] { CFRequiredTypeOfBody("value", number, CFStringGetTypeID(), "Run", "B.cpp", 4, "t"); },
         std::string("[value ((CFNumber)") + numberAddress + ") != CFStringGetTypeID() " + typeIds +
             "] FAILED t : in B.cpp LINE# 4 (Run)\n"},
        {"not null", [] { CFRequiredNotCFNullBody(nullptr, "Run", "B.cpp", 5, "ref"); },
         "REQUIRED_NOT_NULL 0x00000000==NULL : ref in B.cpp LINE# 5 (Run)\n"},
        {"Core Video, listed", [] { CoreVideoRequiredBody(-6680, "Lock", "x/Buf.cpp", 9, "SRC>>call()"); },
         "REQUIRED_CVRETURN FAILED: kCVReturnInvalidPixelFormat (-6680) SRC>>call() : in Buf.cpp LINE# 9 (Lock)\n"},
        {"Core Video, success", [] { CoreVideoRequiredBody(0, "F", "f.cpp", 1, nullptr); },
         "REQUIRED_CVRETURN FAILED: kCVReturnSuccess (0)  : in f.cpp LINE# 1 (F)\n"},
        {"Core Video, unlisted", [] { CoreVideoRequiredBody(-6663, "F", "f.cpp", 2, "t"); },
         "REQUIRED_CVRETURN FAILED: statusValue=-6663 t : in f.cpp LINE# 2 (F)\n"},
        {"Core Video, pool", [] { CoreVideoRequiredBody(-6691, "F", "f.cpp", 3, "t"); },
         "REQUIRED_CVRETURN FAILED: kCVReturnInvalidPoolAttributes (-6691) t : in f.cpp LINE# 3 (F)\n"},
        {"OSStatus", [] { OSStatusRequiredBody(-43, "F", "f.cpp", 4, "t"); },
         "REQUIRED_OSSTATUS(-43) fnfErr-'File not found' t : in f.cpp LINE# 4 (F)\n"},
        {"Core Media, listed", [] { CoreMediaOSStatusRequiredBody(-12710, "F", "f.cpp", 5, "t"); },
         "REQUIRED_CMSTATUS -12710:kCMFormatDescriptionError_InvalidParameter (-12710) t : in f.cpp LINE# 5 (F)\n"
         "REQUIRED_OSSTATUS(-12710) -'' t : in f.cpp LINE# 5 (F)\n"},
        {"Core Media, unlisted", [] { CoreMediaOSStatusRequiredBody(-1, "F", "f.cpp", 6, "t"); },
         "REQUIRED_CMSTATUS -1:statusValue=-1 t : in f.cpp LINE# 6 (F)\n"
         "REQUIRED_OSSTATUS(-1) -'' t : in f.cpp LINE# 6 (F)\n"},
        {"error", [] { CFLogError("Run", "d/E.cpp", 7, "open()", CFSTR("failed %d"), 2); },
         "failed 2 - open() in Run:7 (E.cpp)\n"},
        {"percent text unchanged", [] { CFNSLogStringQueue(CFSTR("100% %d %@ done")); }, "100% %d %@ done\n"},
        {"log string", [] { CFRequiredLogString("pre", "50%s"); }, "pre:50%s\n"},
        {"log printf", [] { CFRequiredLogPrintf("libX", "%d frames", 3); }, "libX 3 frames\n"},
        {"printf", [] { CFRequiredPrintf("%s-%d", "a", 1); }, "a-1\n"},
        {"CF printf", [] { CFLogPrintf(CFSTR("%@!"), CFSTR("hi")); }, "hi!\n"},
        {"NSLog", [] { CFNSLog(CFSTR("n=%d"), 4); }, "n=4\n"},
        {"required printf", [] { requiredPrintf("%d%%", 5); }, ":5%\n"},
        {"required log printf", [] { requiredLogPrintf("cam", "%s", "up"); }, "cam:up\n"},
        {"show", [&] { CFLogShowTypeRef(string); }, "text\n"},
        {"formats that are not", [] {
             CFNSLogStringQueue(nullptr);
             CFLogPrintf(nullptr);
             CFNSLog(reinterpret_cast<CFStringRef>(kCFNull));
             CFNSLog(reinterpret_cast<CFStringRef>(kCFBooleanTrue));
             CFRequiredPrintf(nullptr);
             requiredPrintf(nullptr);
             CFLogError("F", "f", 1, "t", nullptr);
         }, ""},
        {"CMTime", [] { CoreMediaCMTimeLogMessage("Tick", "a/Cam.cpp", 8, CMTimeMake(20, 600), "late by %d%%", 3); },
         "CMTime '{20/600 = 0.033}' late by 3% {Cam.cpp:8 Tick}\n"},
        {"NSError", [&] { NSRequiredNSErrorNilBody(error, "Open", "o/Dev.cpp", 21, "[device open:&error]"); },
         "REQUIRED_NSERROR_NIL " + errorText + " [device open:&error] : in Dev.cpp LINE# 21 (Open)\n"},
        {"exception", [] {
             NSRequiredNoExceptionBody(NSException("NSRangeException", "index 9 beyond bounds"), "Get", "G.cpp", 2, "t");
         }, "REQUIRED_NO_EXCEPTION NSException{ NSRangeException: index 9 beyond bounds } t : in G.cpp LINE# 2 (Get)\n"},
        {"delegate without the selector", [&] {
             NSRequiredDelegateSelectorBody(&owner, "cameraDidStart:", "Start", "S.cpp", 3, "SRC>>delegate");
         }, "SRC>>delegate QTimer.delegate=" + delegateText + " has no @selector(cameraDidStart:) : in S.cpp LINE# 3 (Start)\n"},
        {"delegate of nothing", [] { NSRequiredDelegateSelectorBody(nullptr, "go:", "F", "f.cpp", 4, "t"); },
         "t (nil).delegate=(null) has no @selector(go:) : in f.cpp LINE# 4 (F)\n"},
        {"not nil: null object", [] { NSRequiredNotNilBody(NSRequiredNotNSNullCachedValue(), "F", "f.cpp", 5, "t"); },
         "REQUIRED_NOT_NIL NSNull==NSNull t : in f.cpp LINE# 5 (F)\n"},
        {"not nil: nothing", [] { NSRequiredNotNilBody(nullptr, "F", "f.cpp", 6, "t"); },
         "REQUIRED_NOT_NIL (null)==nil t : in f.cpp LINE# 6 (F)\n"},
        {"kind of class", [&] { NSRequiredKindOfClassBody(&owner, "NSImageView", "F", "f.cpp", 7, "t"); },
         "[QTimer isKindOfClass:NSImageView] FAILED t : in f.cpp LINE# 7 (F)\n"},
        {"kind of class of nothing", [] { NSRequiredKindOfClassBody(nullptr, "NSView", "F", "f.cpp", 8, "t"); },
         "[(null) isKindOfClass:NSView] FAILED t : in f.cpp LINE# 8 (F)\n"},
        {"4096 characters or more", [] {
             const std::string longText(4096, 'x');
             requiredPrintf("%s", longText.c_str());
             requiredLogPrintf("p", "%s", longText.c_str());
             requiredPrintf("%s", longText.substr(0, 4095).c_str());
         }, ":" + std::string(4095, 'x') + "\n"},
    };
    for (const Case &c : cases) EXPECT_EQ(Reported(c.report), c.expected) << c.name;
    CFRelease(number);
    CFRelease(error);
}

TEST(RequiredCoreLog, JustFileName) {
    struct Case {
        const char *path;
        const char *expected;
    };
    const Case cases[] = {{"/a/b/c.cpp", "c.cpp"}, {"c.cpp", "c.cpp"}, {"dir/", ""}, {nullptr, ""}};
    for (const Case &c : cases) EXPECT_STREQ(CFConstStaticJustFileNameUTF8(c.path), c.expected);
    const char path[] = "/a/b/c.cpp";
    EXPECT_STREQ(CFConstStaticJustFileNameASCII(path, 10), "c.cpp");
    EXPECT_STREQ(CFConstStaticJustFileNameASCII(path, 3), "b/c.cpp");  // searched back from 3
    EXPECT_STREQ(CFConstStaticJustFileNameASCII(path, 0), path);
}

TEST(RequiredCoreLog, ReportsFromManyThreadsEachWrittenWhole) {
    const std::string text = Reported([] {
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([t] {
                for (int i = 0; i < 25; ++i) CoreVideoRequiredBody(-6661, "T", "t.cpp", t * 100 + i, "x");
            });
        for (std::thread &thread : threads) thread.join();
    });
    for (int t = 0; t < 4; ++t)
        for (int i = 0; i < 25; ++i)
            EXPECT_NE(text.find("kCVReturnInvalidArgument (-6661) x : in t.cpp LINE# " + std::to_string(t * 100 + i) +
                                " (T)\n"),
                      std::string::npos);
}

}  // namespace
