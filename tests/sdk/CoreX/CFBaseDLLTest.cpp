#include <CoreX/CFBaseDLL.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include <Carbon/Carbon.h>
#include <CoreX/CoreSystem.h>

#include "CoreMachDebugLogTestSupport.h"

using corex_test::CapturedOutput;
using corex_test::DebugLogFileTest;

namespace {

std::string SystemLibrary() {
    const char *library = std::getenv("LUMORA_SYSTEM_LIBRARY");
    return library != nullptr ? library : "";
}

std::string PathOf(CFURLRef url) {
    std::string path;
    CFBaseDLL::PathFromURL(url, path);
    return path;
}

std::string ExecutableFolder() {
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (length <= 0) return {};
    const std::string path(buffer, std::size_t(length));
    return path.substr(0, path.rfind('/'));
}

TEST(CFBaseDLL, URLOfNameInLocation) {
    struct Case {
        SInt32 location;
        std::string expectedPath;  // "" for a null URL
    };
    const Case cases[] = {
        {1, SystemLibrary() + "/Frameworks/CoreServices.framework"},
        {0, ExecutableFolder() + "/CoreServices.framework"},
        {11, ""},
        {-1, ""},
        {1000, ""},
    };
    for (const Case &locationCase : cases) {
        SCOPED_TRACE(locationCase.location);
        CFURLRef url = CFBaseDLL::URLOfNameInLocation(CFSTR("CoreServices.framework"),
                                                      CFBaseDLL::Location(locationCase.location));
        if (locationCase.expectedPath.empty()) {
            EXPECT_EQ(url, nullptr);
        } else {
            ASSERT_NE(url, nullptr);
            EXPECT_EQ(PathOf(url), locationCase.expectedPath);
            CFRelease(url);
        }
    }
    EXPECT_EQ(CFBaseDLL::URLOfNameInLocation(nullptr, CFBaseDLL::kLocation_SystemFrameworks), nullptr);
}

TEST(CFBaseDLL, TheSystemFrameworksURLIsTheRealBundle) {
    CFURLRef url = CFBaseDLL::URLOfNameInLocation(CFSTR("CoreServices.framework"), CFBaseDLL::kLocation_SystemFrameworks);
    ASSERT_NE(url, nullptr);
    I_CFBundleDLL bundle;
    EXPECT_TRUE(bundle.LoadFromURL(url));
    EXPECT_TRUE(bundle.IsLoaded());
    EXPECT_NE(CFBundleGetFunctionPointerForName(bundle.mBundle, CFSTR("GetMacOSStatusCommentString")), nullptr);
    EXPECT_TRUE(bundle.Unload());
    EXPECT_FALSE(bundle.Unload());
    EXPECT_EQ(bundle.mBundle, nullptr);
    CFRelease(url);
}

TEST(CFBaseDLL, LoadFromURLFailsWithoutABundle) {
    I_CFBundleDLL bundle;
    EXPECT_FALSE(bundle.LoadFromURL(nullptr));
    CFURLRef url = CFBaseDLL::URLOfNameInLocation(CFSTR("NoSuch.framework"), CFBaseDLL::kLocation_SystemFrameworks);
    ASSERT_NE(url, nullptr);  // a URL in an existing folder, naming nothing
    EXPECT_FALSE(bundle.LoadFromURL(url));
    EXPECT_FALSE(bundle.IsLoaded());
    CFRelease(url);
}

TEST_F(DebugLogFileTest, URLOfNameInFindFolderNeverCreatesTheFolder) {
    CFURLRef url = CFBaseDLL::URLOfNameInFindFolder(CFSTR("a.log"), kLogsFolderType, kUserDomain, CFSTR("Sub"));
    ASSERT_NE(url, nullptr);
    EXPECT_EQ(PathOf(url), corex_test::LogsFolder() + "/Sub/a.log");
    CFRelease(url);

    lumora::test::RemoveTree(corex_test::LogsFolder());
    EXPECT_EQ(CFBaseDLL::URLOfNameInFindFolder(CFSTR("a.log"), kLogsFolderType, kUserDomain), nullptr);
    EXPECT_FALSE(corex_test::Exists(corex_test::LogsFolder()));
}

TEST(CFBaseDLL, PathFromURLKeepsThePathWithoutAURL) {
    std::string path = "unchanged";
    EXPECT_STREQ(CFBaseDLL::PathFromURL(nullptr, path), "unchanged");
    CFURLRef url = CFURLCreateWithFileSystemPath(kCFAllocatorDefault, CFSTR("/tmp/a b"), kCFURLPOSIXPathStyle, false);
    EXPECT_STREQ(CFBaseDLL::PathFromURL(url, path), "/tmp/a b");
    EXPECT_EQ(path, "/tmp/a b");
    CFRelease(url);
}

TEST(T_CFBaseDLL, LoadsBySystemFrameworkName) {
    T_CFBaseDLL<I_CFBundleDLL> unnamed(nullptr);
    EXPECT_FALSE(unnamed.LoadSystemFramework());
    EXPECT_EQ(unnamed.FunctionPointerForName(CFSTR("getcwd")), nullptr);
    EXPECT_TRUE(unnamed.LoadSystemFramework(CFSTR("CoreServices.framework")));
    EXPECT_TRUE(unnamed.LoadSystemFramework());  // already loaded

    T_CFBaseDLL<I_CFBundleDLL> handle(CFSTR("CoreServices.framework"));
    EXPECT_FALSE(handle.IsFrameworkLoaded());
    typedef const char *(*StatusString)(OSStatus);
    auto errorString = reinterpret_cast<StatusString>(handle.FunctionPointerForName(CFSTR("GetMacOSStatusErrorString")));
    ASSERT_NE(errorString, nullptr);
    EXPECT_STREQ(errorString(-43), "fnfErr");
    EXPECT_TRUE(handle.IsFrameworkLoaded());
    EXPECT_EQ(handle.FunctionPointerForName(CFSTR("NoSuchFunction")), nullptr);
    EXPECT_EQ(handle.FunctionPointerForName(nullptr), nullptr);

    T_CFBaseDLL<I_CFBundleDLL> missing(CFSTR("NoSuch.framework"));
    EXPECT_FALSE(missing.LoadSystemFramework());
    EXPECT_EQ(missing.FunctionPointerForName(CFSTR("getcwd")), nullptr);
}

// ---- SystemFramework ------------------------------------------------------------------------

TEST(SystemFramework, GetcwdAndMprotectReachTheCLibrary) {
    char expected[PATH_MAX];
    char buffer[PATH_MAX];
    ASSERT_NE(::getcwd(expected, sizeof(expected)), nullptr);
    EXPECT_EQ(SystemFramework::getcwd(buffer, sizeof(buffer)), buffer);
    EXPECT_STREQ(buffer, expected);
    EXPECT_EQ(SystemFramework::getcwd(buffer, 1), nullptr);  // too small: the C library's answer

    const long pageSize = ::sysconf(_SC_PAGESIZE);
    void *page = ::mmap(nullptr, std::size_t(pageSize), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(page, MAP_FAILED);
    EXPECT_EQ(SystemFramework::mprotect(page, std::size_t(pageSize), PROT_READ), 0);
    EXPECT_EQ(SystemFramework::mprotect(page, std::size_t(pageSize), PROT_READ | PROT_WRITE), 0);
    static_cast<char *>(page)[0] = 1;
    EXPECT_EQ(SystemFramework::mprotect(static_cast<char *>(page) + 1, 1, PROT_READ), -1);  // unaligned
    ::munmap(page, std::size_t(pageSize));
}

TEST_F(DebugLogFileTest, SystemFrameworkChdir) {
    char original[PATH_MAX];
    ASSERT_NE(::getcwd(original, sizeof(original)), nullptr);
    corex_test::MakeFolders(corex_test::LogsFolder() + "/Here");

    EXPECT_EQ(SystemFramework::chdir((corex_test::LogsFolder() + "/Here").c_str()), 0);
    char now[PATH_MAX];
    ASSERT_NE(::getcwd(now, sizeof(now)), nullptr);
    EXPECT_EQ(std::string(now), corex_test::LogsFolder() + "/Here");
    EXPECT_EQ(SystemFramework::chdir("/no/such/folder"), -1);
    ASSERT_EQ(::chdir(original), 0);
    EXPECT_EQ(LogText(), "");

    EXPECT_EQ(SystemFramework::chdir(nullptr), -1);
    const std::string text = LogText();
    EXPECT_EQ(text.rfind("VERIFY FAILED:  code : in_utf8_path_string in ", 0), 0u) << text;
    EXPECT_NE(text.find("CFBaseDLL.cpp:"), std::string::npos) << text;
    EXPECT_NE(text.find(" (chdir)\n"), std::string::npos) << text;
}

// Run again in a child whose system Library folder holds no frameworks.
TEST(SystemFrameworkUnavailable, AnswersFailures) {
    if (corex_test::RanWithoutSystemFrameworks("SystemFrameworkUnavailable.AnswersFailures")) return;
    CoreMachDebugLogSetUseLogger(kCoreLogOutput_StdoutAndFile);
    CapturedOutput standardOutput(STDOUT_FILENO);
    char buffer[PATH_MAX];
    EXPECT_EQ(SystemFramework::getcwd(buffer, sizeof(buffer)), nullptr);
    EXPECT_EQ(SystemFramework::mprotect(buffer, 1, 0), -1);
    EXPECT_EQ(SystemFramework::chdir("/"), -1);
    EXPECT_EQ(SystemFramework::chdir(nullptr), -1);  // unavailable first: no report
    EXPECT_FALSE(CoreSystem::SystemFrameworkHasFunction(CFSTR("System.framework"), CFSTR("getcwd")));
    EXPECT_EQ(CFBaseDLL::URLOfNameInLocation(CFSTR("System.framework"), CFBaseDLL::kLocation_SystemFrameworks), nullptr);
    EXPECT_EQ(standardOutput.Finish(), "");
}

}  // namespace
