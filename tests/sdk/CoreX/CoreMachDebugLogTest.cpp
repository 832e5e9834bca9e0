#include <CoreX/CoreMachDebugLog.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <set>
#include <sstream>
#include <string>
#include <syslog.h>
#include <thread>
#include <vector>

#include <CoreFoundation/CoreFoundation.h>

#include "CoreMachDebugLogTestSupport.h"

using corex_test::CapturedOutput;
using corex_test::DebugLogFileTest;

namespace {

std::string Pid() { return std::to_string(::getpid()); }

// ---- The reporters --------------------------------------------------------------------------

struct ReporterCase {
    const char *name;
    std::function<void()> report;
    std::string expected;
};

CFErrorRef CreatePosixError(CFIndex code) {
    return CFErrorCreate(kCFAllocatorDefault, kCFErrorDomainPOSIX, code, nullptr);
}

TEST_F(DebugLogFileTest, EachReporterWritesItsExactLine) {
    CFErrorRef error = CreatePosixError(2);
    CFStringRef description = CFErrorCopyDescription(error);
    const std::string descriptionText = CFStringDebugCStringPtr(description, kCFStringEncodingUTF8);
    CFRelease(description);
    ASSERT_FALSE(descriptionText.empty());

    const std::vector<ReporterCase> cases = {
        {"boolean", [] { _CoreMachDebugVerifyBody("GetVersion", "F", 8, " code : x"); },
         "VERIFY FAILED:  code : x in F:8 (GetVersion)\n"},
        {"boolean, null texts", [] { _CoreMachDebugVerifyBody(nullptr, nullptr, 0, nullptr); },
         "VERIFY FAILED:  in :0 ()\n"},
        {"OSStatus with CoreServices strings",
         [] { _CoreMachDebugVerifyOSerrBody(-43, "GetVersion", "F", 8, " code : x"); },
         "VERIFY_OSERR FAILED: OSErr:-43 (fnfErr/File not found)  code : x in F:8 (GetVersion)\n"},
        {"OSStatus without a known name",
         [] { _CoreMachDebugVerifyOSerrBody(-31999, "f", "F", 9, " code : y"); },
         "VERIFY_OSERR FAILED: OSErr:-31999 (/)  code : y in F:9 (f)\n"},
        {"CFError", [error] { _CoreMachDebugVerifyCFErrorBody(error, "Open", "G.cpp", 12, " code : ok"); },
         "VERIFY_CFERROR FAILED: (" + descriptionText + ")  code : ok in G.cpp:12 (Open)\n"},
        {"null CFError", [] { _CoreMachDebugVerifyCFErrorBody(nullptr, "Open", "G.cpp", 13, " code : ok"); },
         "VERIFY_CFERROR FAILED: ()  code : ok in G.cpp:13 (Open)\n"},
    };
    for (const ReporterCase &reporterCase : cases) {
        SCOPED_TRACE(reporterCase.name);
        ClearLog();
        reporterCase.report();
        EXPECT_EQ(LogText(), reporterCase.expected);
    }
    CFRelease(error);
}

// ---- The check macros ----------------------------------------------------------------------

int gEvaluations = 0;

bool CheckedFunction(const char *in_cstring) { return VERIFY(in_cstring!=NULL); } const int kCheckedLine = __LINE__;
bool CountedCheck(bool value) { return VERIFY((++gEvaluations, value)); }
OSStatus StatusCheck(OSStatus status) { return VERIFY_OSERR(status); } const int kStatusLine = __LINE__;
bool TextCheck(bool value) { return VERIFY_TEXT(value, "VDIG not found"); } const int kTextLine = __LINE__;

// Fills *error only when it fails, as Core Foundation calls do.
bool FailingCall(bool fail, CFErrorRef *error) {
    ++gEvaluations;
    if (fail) *error = CreatePosixError(13);
    return !fail;
}
bool ErrorCheck(bool fail) {
    CFErrorRef error = nullptr;
    const bool ok = VERIFY_CFERROR(FailingCall(fail, &error), error);
    if (error != nullptr) CFRelease(error);
    return ok;
}

std::string At(int line, const char *function) {
    return std::string(" in ") + __FILE__ + ":" + std::to_string(line) + " (" + function + ")\n";
}

TEST_F(DebugLogFileTest, VerifyReportsTheExpressionAsWritten) {
    EXPECT_TRUE(CheckedFunction("text"));
    EXPECT_EQ(LogText(), "");
    EXPECT_FALSE(CheckedFunction(nullptr));
    EXPECT_EQ(LogText(), "VERIFY FAILED:  code : in_cstring!=NULL" + At(kCheckedLine, "CheckedFunction"));
}

TEST_F(DebugLogFileTest, EachMacroEvaluatesItsExpressionOnce) {
    gEvaluations = 0;
    EXPECT_TRUE(CountedCheck(true));
    EXPECT_FALSE(CountedCheck(false));
    EXPECT_FALSE(ErrorCheck(true));
    EXPECT_TRUE(ErrorCheck(false));
    EXPECT_EQ(gEvaluations, 4);
}

TEST_F(DebugLogFileTest, VerifyOSerrYieldsTheStatusAndReportsOnlyFailures) {
    EXPECT_EQ(StatusCheck(noErr), noErr);
    EXPECT_EQ(LogText(), "");
    EXPECT_EQ(StatusCheck(-43), -43);
    EXPECT_EQ(LogText(), "VERIFY_OSERR FAILED: OSErr:-43 (fnfErr/File not found)  code : status" +
                             At(kStatusLine, "StatusCheck"));
}

TEST_F(DebugLogFileTest, VerifyTextStandsWithoutPrefix) {
    EXPECT_TRUE(TextCheck(true));
    EXPECT_FALSE(TextCheck(false));
    EXPECT_EQ(LogText(), "VERIFY FAILED: VDIG not found" + At(kTextLine, "TextCheck"));
}

TEST_F(DebugLogFileTest, VerifyCFErrorReadsTheErrorTheCallFilled) {
    ErrorCheck(true);
    const std::string text = LogText();
    EXPECT_EQ(text.rfind("VERIFY_CFERROR FAILED: (", 0), 0u) << text;
    EXPECT_EQ(text.find("()"), std::string::npos) << "the error was read before the call: " << text;
    EXPECT_NE(text.find(".))  code : FailingCall(fail, &error) in "), std::string::npos) << text;
    EXPECT_NE(text.find("(ErrorCheck)\n"), std::string::npos) << text;
}

// ---- The sinks --------------------------------------------------------------------------------

struct SinkCase {
    kCoreLogOutput sink;
    bool file;
    bool standardOutput;
    bool aslCopy;
    bool syslogCopy;
};

TEST_F(DebugLogFileTest, EverySinkValueWritesWhereItShould) {
    const SinkCase cases[] = {
        {0, true, false, false, false},  {1, false, false, true, false}, {2, false, false, false, true},
        {3, true, false, false, false},  {4, true, true, false, false},  {5, true, false, false, false},
        {-1, true, false, false, false},
    };
    for (const SinkCase &sinkCase : cases) {
        SCOPED_TRACE("sink " + std::to_string(sinkCase.sink));
        ClearLog();
        const std::string message = "sink " + std::to_string(sinkCase.sink) + " message\n";
        // glibc copies syslog messages to standard error with LOG_PERROR.
        ::openlog("corex-test", LOG_PERROR, LOG_USER);
        CoreMachDebugLogSetUseLogger(sinkCase.sink);
        CapturedOutput standardError(STDERR_FILENO);
        CapturedOutput standardOutput(STDOUT_FILENO);
        CoreMachDebugLog("sink %d message\n", int(sinkCase.sink));
        const std::string out = standardOutput.Finish();
        const std::string err = standardError.Finish();
        ::closelog();

        EXPECT_EQ(LogText(), sinkCase.file ? message : "");
        EXPECT_EQ(out, sinkCase.standardOutput ? "Lumora:" + message : "");
        const std::string aslLine = "Lumora[" + Pid() + "] <Debug>: " + message;
        EXPECT_EQ(err.find(aslLine) != std::string::npos, sinkCase.aslCopy) << err;
        EXPECT_EQ(err.find("Lumora:" + message) != std::string::npos, sinkCase.syslogCopy) << err;
    }
}

TEST_F(DebugLogFileTest, TheLogPrefixNamesTheLines) {
    g_CoreMachDebug_LogPrefix = "Avistor";
    CoreMachDebugLogSetUseLogger(kCoreLogOutput_StdoutAndFile);
    CapturedOutput standardOutput(STDOUT_FILENO);
    CoreMachDebugLogString("component opened\n");
    EXPECT_EQ(standardOutput.Finish(), "Avistor:component opened\n");
    EXPECT_EQ(LogText(), "component opened\n");
}

TEST_F(DebugLogFileTest, PercentSignsReachTheFileUnchanged) {
    CoreMachDebugLogString("100% of %s %d %n %%\n");
    CoreMachDebugLog("%s", "50% %s\n");
    EXPECT_EQ(LogText(), "100% of %s %d %n %%\n50% %s\n");
}

TEST_F(DebugLogFileTest, MessagesAppendToTheFile) {
    CoreMachDebugLog("first %d\n", 1);
    CoreMachDebugLog("second %s\n", "two");
    EXPECT_EQ(LogText(), "first 1\nsecond two\n");
}

TEST_F(DebugLogFileTest, AnEmptyFileNameMeansCoreConsoleLog) {
    g_CoreMachDebug_LogFileName = "";
    CoreMachDebugLogResetFilePath();
    CoreMachDebugLog("console\n");
    EXPECT_EQ(LogText("CoreConsole.log"), "console\n");
    EXPECT_FALSE(corex_test::Exists(LogPath()));
}

TEST_F(DebugLogFileTest, TheFileNameIsTakenAgainAfterReset) {
    CoreMachDebugLog("one\n");
    g_CoreMachDebug_LogFileName = "Windrake.log";
    CoreMachDebugLog("two\n");  // the path, once found, is kept
    CoreMachDebugLogResetFilePath();
    CoreMachDebugLog("three\n");
    EXPECT_EQ(LogText(), "one\ntwo\n");
    EXPECT_EQ(LogText("Windrake.log"), "three\n");
}

TEST_F(DebugLogFileTest, ALongMessageIsCutToTheBuffer) {
    const std::string longText(30000, 'a');
    CoreMachDebugLog("%s", longText.c_str());
    EXPECT_EQ(LogText(), std::string(24575, 'a'));
    ClearLog();
    CoreMachDebugLogString(longText.c_str());  // an already formatted text is written whole
    EXPECT_EQ(LogText(), longText);
}

TEST_F(DebugLogFileTest, NullTextsAreIgnored) {
    CoreMachDebugLog(nullptr);
    CoreMachDebugLogString(nullptr);
    EXPECT_EQ(LogText(), "");
}

TEST_F(DebugLogFileTest, ClassInitializeFindsTheLogsFolder) {
    EXPECT_TRUE(CoreMachDebugLogClassInitialize());
    CoreMachDebugLog("after\n");
    EXPECT_EQ(LogText(), "after\n");
}

TEST_F(DebugLogFileTest, MessagesFromManyThreadsStayWhole) {
    enum { kThreads = 8, kMessages = 150 };
    std::vector<std::thread> threads;
    for (int thread = 0; thread < kThreads; ++thread) {
        threads.emplace_back([thread] {
            for (int message = 0; message < kMessages; ++message)
                CoreMachDebugLog("thread %d message %d %s\n", thread, message, "abcdefghijklmnopqrstuvwxyz");
        });
    }
    for (std::thread &thread : threads) thread.join();

    std::istringstream lines(LogText());
    std::set<std::string> seen;
    std::string line;
    while (std::getline(lines, line)) seen.insert(line);
    EXPECT_EQ(seen.size(), std::size_t(kThreads * kMessages));
    for (int thread = 0; thread < kThreads; ++thread)
        for (int message = 0; message < kMessages; ++message)
            EXPECT_TRUE(seen.count("thread " + std::to_string(thread) + " message " + std::to_string(message) +
                                   " abcdefghijklmnopqrstuvwxyz"));
}

// Runs the work on another thread; a hang ends the program with a failure.
void WithinSeconds(int seconds, const std::function<void()> &work) {
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    std::thread([&work, &done] {
        work();
        done.set_value();
    }).detach();
    if (finished.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
        std::fprintf(stderr, "the log hung\n");
        std::_Exit(3);
    }
}

TEST_F(DebugLogFileTest, AMissingLogsFolderDropsTheMessageWithoutHangingOrCreatingIt) {
    lumora::test::RemoveTree(corex_test::LogsFolder());
    CapturedOutput standardError(STDERR_FILENO);
    WithinSeconds(20, [] {
        CoreMachDebugLog("lost %d\n", 1);
        CoreMachDebugLogString("lost 2\n");
        _CoreMachDebugVerifyBody("f", "F", 1, " code : lost 3");
        EXPECT_FALSE(CoreMachDebugLogClassInitialize());
    });
    const std::string err = standardError.Finish();
    EXPECT_FALSE(corex_test::Exists(corex_test::LogsFolder()));

    // The failure is reported on standard error, once per message, never into the log.
    const std::string report = "VERIFY_OSERR FAILED: OSErr:-43 (fnfErr/File not found)  code : "
                               "FSFindFolder(domain, kLogsFolderType, kDontCreateFolder, &sUserLogsFolder) in ";
    std::size_t count = 0;
    for (std::size_t at = err.find(report); at != std::string::npos; at = err.find(report, at + 1)) ++count;
    EXPECT_EQ(count, 4u) << err;
    EXPECT_NE(err.find("CoreMachDebugLog.cpp:"), std::string::npos) << err;
    EXPECT_NE(err.find("(CoreMachDebugLogClassInitialize)\n"), std::string::npos) << err;
    EXPECT_EQ(err.find("lost"), std::string::npos) << err;

    // Found again with the next message once the folder exists.
    corex_test::MakeFolders(corex_test::LogsFolder());
    CoreMachDebugLog("found\n");
    EXPECT_EQ(LogText(), "found\n");
}

TEST_F(DebugLogFileTest, AnUnwritableLogFileDropsTheMessage) {
    corex_test::MakeFolders(LogPath());  // a folder where the file should be
    CoreMachDebugLog("dropped\n");
    EXPECT_TRUE(corex_test::Exists(LogPath()));
    lumora::test::RemoveTree(LogPath());
    CoreMachDebugLog("kept\n");
    EXPECT_EQ(LogText(), "kept\n");
}

// ---- CoreServices unavailable ------------------------------------------------------------------

// Run again in a child whose system Library folder holds no frameworks.
TEST(DebugLogWithoutCoreServices, StatusStringsAreEmpty) {
    if (corex_test::RanWithoutSystemFrameworks("DebugLogWithoutCoreServices.StatusStringsAreEmpty")) return;
    CoreMachDebugLogSetUseLogger(kCoreLogOutput_StdoutAndFile);
    CapturedOutput standardOutput(STDOUT_FILENO);
    _CoreMachDebugVerifyOSerrBody(-43, "GetVersion", "F", 8, " code : x");
    EXPECT_EQ(standardOutput.Finish(), "Lumora:VERIFY_OSERR FAILED: OSErr:-43 (/)  code : x in F:8 (GetVersion)\n");
}

// ---- CFStringDebugCStringPtr -------------------------------------------------------------------

CFStringRef CreateFromUTF16(const std::u16string &text) {
    return CFStringCreateWithCharacters(kCFAllocatorDefault, reinterpret_cast<const UniChar *>(text.data()),
                                        CFIndex(text.size()));
}

TEST(CFStringDebugCStringPtr, AnswersTheTextOrEmpty) {
    EXPECT_EQ(CFStringDebugCStringPtr(nullptr, kCFStringEncodingUTF8), nullptr);
    EXPECT_STREQ(CFStringDebugCStringPtr(CFSTR("plain"), kCFStringEncodingUTF8), "plain");

    CFStringRef accented = CreateFromUTF16(u"caf\u00e9 cr\u00e8me");
    ASSERT_NE(accented, nullptr);
    EXPECT_EQ(CFStringGetCStringPtr(accented, kCFStringEncodingUTF8), nullptr);
    EXPECT_STREQ(CFStringDebugCStringPtr(accented, kCFStringEncodingUTF8), "caf\u00e9 cr\u00e8me");
    // Not representable: "" rather than the text of an earlier call.
    EXPECT_STREQ(CFStringDebugCStringPtr(accented, kCFStringEncodingASCII), "");
    CFRelease(accented);

    CFStringRef empty = CreateFromUTF16(u"");
    EXPECT_STREQ(CFStringDebugCStringPtr(empty, kCFStringEncodingUTF8), "");
    CFRelease(empty);
}

TEST(CFStringDebugCStringPtr, EachThreadKeepsItsOwnText) {
    const std::u16string texts[] = {u"premi\u00e8re cha\u00eene", u"zweite Zeichenkette \u00fc\u00f6\u00e4"};
    const std::string expected[] = {"premi\u00e8re cha\u00eene", "zweite Zeichenkette \u00fc\u00f6\u00e4"};
    int mismatches[2] = {0, 0};
    std::vector<std::thread> threads;
    for (int index = 0; index < 2; ++index) {
        threads.emplace_back([&, index] {
            CFStringRef string = CreateFromUTF16(texts[index]);
            for (int round = 0; round < 2000; ++round) {
                const char *text = CFStringDebugCStringPtr(string, kCFStringEncodingUTF8);
                if (expected[index] != text) ++mismatches[index];
            }
            CFRelease(string);
        });
    }
    for (std::thread &thread : threads) thread.join();
    EXPECT_EQ(mismatches[0], 0);
    EXPECT_EQ(mismatches[1], 0);
}

// ---- The queued Core Foundation log ----------------------------------------------------------

// Waits until the captured text holds every expected piece (syslog copies to standard
// error with LOG_PERROR).
bool WaitForAll(const CapturedOutput &output, const std::vector<std::string> &pieces) {
    for (int attempt = 0; attempt < 500; ++attempt) {
        const std::string text = output.Text();
        bool all = true;
        for (const std::string &piece : pieces) all = all && text.find(piece) != std::string::npos;
        if (all) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST(QueuedCFLog, WritesEveryStringMessageInOrder) {
    ::openlog("corex-queue", LOG_PERROR, LOG_USER);
    CapturedOutput standardError(STDERR_FILENO);
    CFStringRef accented = CreateFromUTF16(u"queued d\u00e9j\u00e0 vu");  // no direct UTF-8 pointer
    CFMutableStringRef mutableText = CFStringCreateMutable(kCFAllocatorDefault, 0);
    CFStringAppendCString(mutableText, "queued mutable", kCFStringEncodingUTF8);

    __CFNSLogStringQueue(nullptr);
    __CFNSLogStringQueue(reinterpret_cast<CFStringRef>(kCFNull));
    __CFNSLogStringQueue(reinterpret_cast<CFStringRef>(kCFBooleanTrue));
    __CFRequiredLogPrintf(nullptr, "ignored %d", 1);
    __CFRequiredLogPrintf("libUVideoFrameBuffer", nullptr);
    __CFNSLogStringQueue(CFSTR("queued first"));
    __CFNSLogStringQueue(accented);
    __CFNSLogStringQueue(mutableText);
    __CFRequiredLogPrintf("libUVideoFrameBuffer", "frame %d of %s", 3, "camera");
    CFRelease(accented);
    CFRelease(mutableText);

    const std::vector<std::string> pieces = {"queued first", "queued d\u00e9j\u00e0 vu", "queued mutable",
                                             "libUVideoFrameBuffer frame 3 of camera"};
    EXPECT_TRUE(WaitForAll(standardError, pieces)) << standardError.Text();
    const std::string err = standardError.Finish();
    ::closelog();
    std::size_t previous = 0;
    for (const std::string &piece : pieces) {
        const std::size_t at = err.find(piece);
        EXPECT_GE(at, previous) << piece;
        previous = at;
    }
    EXPECT_EQ(err.find("ignored"), std::string::npos);
}

}  // namespace
