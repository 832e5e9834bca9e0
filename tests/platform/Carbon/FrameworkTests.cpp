#include <gtest/gtest.h>

#include <CoreFoundation/CFBundle.h>
#include <CoreFoundation/CFString.h>
#include <CoreFoundation/CFURL.h>
#include <Carbon/MacErrors.h>

#include <cstdlib>
#include <dlfcn.h>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "CarbonTestSupport.h"
#include "support/TestFolders.h"

namespace {

// The bundle folder of a framework in the build tree's system Library folder.
std::string FrameworkFolder(const char *name) {
    const char *library = std::getenv("LUMORA_SYSTEM_LIBRARY");
    return std::string(library != nullptr ? library : "") + "/Frameworks/" + name + ".framework";
}

std::string ExecutablePath(const char *name) { return FrameworkFolder(name) + "/Contents/Linux/" + name; }

// A framework's executable opened the way a bundle opens it.
class LoadedFramework {
public:
    explicit LoadedFramework(const char *name) : mHandle(::dlopen(ExecutablePath(name).c_str(), RTLD_NOW | RTLD_LOCAL)) {}
    ~LoadedFramework() {
        if (mHandle != nullptr) ::dlclose(mHandle);
    }
    LoadedFramework(const LoadedFramework &) = delete;
    LoadedFramework &operator=(const LoadedFramework &) = delete;

    void *handle() const { return mHandle; }
    template <class Function>
    Function lookup(const char *symbol) const {
        return reinterpret_cast<Function>(::dlsym(mHandle, symbol));
    }

private:
    void *mHandle;
};

using StatusString = const char *(*)(OSStatus);

}  // namespace

TEST(CoreServicesFramework, NamesAndDescribesStatusCodes) {
    LoadedFramework framework("CoreServices");
    ASSERT_NE(framework.handle(), nullptr) << ::dlerror();
    auto errorString = framework.lookup<StatusString>("GetMacOSStatusErrorString");
    auto commentString = framework.lookup<StatusString>("GetMacOSStatusCommentString");
    ASSERT_NE(errorString, nullptr);
    ASSERT_NE(commentString, nullptr);

    const struct {
        OSStatus status;
        const char *name;
        const char *comment;
    } cases[] = {
        {noErr, "noErr", "No error"},
        {fnfErr, "fnfErr", "File not found"},
        {paramErr, "paramErr", "Error in a parameter"},
        {memFullErr, "memFullErr", "Not enough memory"},
        {dirNFErr, "dirNFErr", "Directory not found"},
        {gestaltUndefSelectorErr, "gestaltUndefSelectorErr", "Undefined Gestalt selector"},
        {-60005, "errAuthorizationDenied", "Authorization denied"},
        {OSStatus(0x80008002), "badComponentSelector", "Component does not implement the selector"},
        // Unknown codes answer empty strings, never null.
        {12345, "", ""},
        {-1, "", ""},
        {INT32_MIN, "", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.status);
        const char *name = errorString(c.status);
        const char *comment = commentString(c.status);
        ASSERT_NE(name, nullptr);
        ASSERT_NE(comment, nullptr);
        EXPECT_STREQ(name, c.name);
        EXPECT_STREQ(comment, c.comment);
    }
    // Only the entry points are exported.
    EXPECT_EQ(framework.lookup<void *>("kStatusTexts"), nullptr);
}

TEST(SystemFramework, HandleFindsTheCLibrarysFunctions) {
    LoadedFramework framework("System");
    ASSERT_NE(framework.handle(), nullptr) << ::dlerror();

    auto getcwdFunction = framework.lookup<char *(*)(char *, size_t)>("getcwd");
    auto chdirFunction = framework.lookup<int (*)(const char *)>("chdir");
    auto mprotectFunction = framework.lookup<int (*)(void *, size_t, int)>("mprotect");
    ASSERT_NE(getcwdFunction, nullptr);
    ASSERT_NE(chdirFunction, nullptr);
    ASSERT_NE(mprotectFunction, nullptr);

    char expected[4096], viaFramework[4096];
    ASSERT_NE(::getcwd(expected, sizeof expected), nullptr);
    ASSERT_EQ(getcwdFunction(viaFramework, sizeof viaFramework), viaFramework);
    EXPECT_STREQ(viaFramework, expected);

    lumora::test::ScopedFolder folder("system-framework");
    ASSERT_EQ(chdirFunction(folder.path().c_str()), 0);
    ASSERT_NE(::getcwd(viaFramework, sizeof viaFramework), nullptr);
    EXPECT_EQ(std::string(viaFramework), carbon_test::RealPath(folder.path()));
    ASSERT_EQ(chdirFunction(expected), 0);
    EXPECT_EQ(chdirFunction("/no/such/folder"), -1);

    const long pageSize = ::sysconf(_SC_PAGESIZE);
    void *page = ::mmap(nullptr, size_t(pageSize), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(page, MAP_FAILED);
    EXPECT_EQ(mprotectFunction(page, size_t(pageSize), PROT_READ), 0);
    ::munmap(page, size_t(pageSize));
}

TEST(SystemFramework, BundleLookupReachesTheCLibrary) {
    const std::string folder = FrameworkFolder("System");
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(folder.c_str()),
                                                           CFIndex(folder.size()), true);
    ASSERT_NE(url, nullptr);
    CFBundleRef bundle = CFBundleCreate(kCFAllocatorSystemDefault, url);
    CFRelease(url);
    ASSERT_NE(bundle, nullptr);
    ASSERT_TRUE(CFBundleLoadExecutable(bundle));
    auto getcwdFunction = reinterpret_cast<char *(*)(char *, size_t)>(
        CFBundleGetFunctionPointerForName(bundle, CFSTR("getcwd")));
    ASSERT_NE(getcwdFunction, nullptr);
    char expected[4096], viaBundle[4096];
    ASSERT_NE(::getcwd(expected, sizeof expected), nullptr);
    ASSERT_EQ(getcwdFunction(viaBundle, sizeof viaBundle), viaBundle);
    EXPECT_STREQ(viaBundle, expected);
    EXPECT_EQ(CFBundleGetFunctionPointerForName(bundle, CFSTR("NoSuchFunctionAnywhere")), nullptr);
    CFBundleUnloadExecutable(bundle);
    CFRelease(bundle);
}
