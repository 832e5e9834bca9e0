#include <gtest/gtest.h>

#include <CoreFoundation/CoreFoundation.h>

#include <climits>
#include <cstdio>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "CFTestSupport.h"
#include "support/TestFolders.h"

using cftest::MakeString;
using cftest::Owned;
using cftest::Text;

namespace {

const std::string kBinaryDir = CF_TEST_BINARY_DIR;

CFURLRef FolderURL(const std::string &path) {
    return CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(path.data()),
                                                   CFIndex(path.size()), true);
}

std::string PathOf(CFURLRef url) {
    if (url == nullptr) return "-";
    char path[PATH_MAX];
    const bool known = CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8 *>(path), sizeof path);
    CFRelease(url);
    return known ? path : "?";
}

CFBundleRef BundleAt(const std::string &path) {
    Owned<CFURLRef> url(FolderURL(path));
    return CFBundleCreate(nullptr, url);
}

TEST(CFBundle, LoadsARealExecutableAndFindsItsFunctions) {
    const std::string path = kBinaryDir + "/TestPlugIn.bundle";
    Owned<CFBundleRef> bundle(BundleAt(path));
    ASSERT_TRUE(bundle);
    EXPECT_EQ(CFGetTypeID(bundle), CFBundleGetTypeID());
    EXPECT_EQ(PathOf(CFBundleCopyBundleURL(bundle)), path);
    EXPECT_EQ(PathOf(CFBundleCopyExecutableURL(bundle)), path + "/Contents/Linux/TestPlugIn");
    EXPECT_EQ(PathOf(CFBundleCopyResourcesDirectoryURL(bundle)), path + "/Contents/Resources");
    EXPECT_EQ(PathOf(CFBundleCopyPrivateFrameworksURL(bundle)), path + "/Contents/Frameworks");
    EXPECT_EQ(PathOf(CFBundleCopySharedFrameworksURL(bundle)), path + "/Contents/SharedFrameworks");
    EXPECT_EQ(PathOf(CFBundleCopyBuiltInPlugInsURL(bundle)), path + "/Contents/PlugIns");
    EXPECT_EQ(PathOf(CFBundleCopySharedSupportURL(bundle)), path + "/Contents/SharedSupport");

    Owned<CFStringRef> answer(MakeString("LumoraTestPlugInAnswer"));
    EXPECT_FALSE(CFBundleIsExecutableLoaded(bundle));
    EXPECT_EQ(CFBundleGetFunctionPointerForName(bundle, answer), nullptr);  // not loaded yet
    ASSERT_TRUE(CFBundleLoadExecutable(bundle));
    EXPECT_TRUE(CFBundleIsExecutableLoaded(bundle));
    auto function = reinterpret_cast<int (*)()>(CFBundleGetFunctionPointerForName(bundle, answer));
    ASSERT_NE(function, nullptr);
    EXPECT_EQ(function(), 42);
    Owned<CFStringRef> missing(MakeString("NoSuchFunction"));
    EXPECT_EQ(CFBundleGetFunctionPointerForName(bundle, missing), nullptr);

    CFBundleUnloadExecutable(bundle);
    EXPECT_FALSE(CFBundleIsExecutableLoaded(bundle));
    EXPECT_EQ(CFBundleGetFunctionPointerForName(bundle, answer), nullptr);
}

TEST(CFBundle, ResourcesByNameAndType) {
    lumora::test::ScopedFolder folder("Resources");
    const std::string path = folder.path() + "/Pack.qfxbundle";
    const std::string resources = path + "/Contents/Resources";
    ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
    ASSERT_EQ(::mkdir((path + "/Contents").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(resources.c_str(), 0700), 0);
    ASSERT_EQ(::mkdir((resources + "/Masks").c_str(), 0700), 0);
    ASSERT_TRUE(lumora::test::WriteFile(resources + "/Star.pdf", "%PDF"));
    ASSERT_TRUE(lumora::test::WriteFile(resources + "/Masks/Heart.png", "png"));
    ASSERT_TRUE(lumora::test::WriteFile(folder.path() + "/Outside.pdf", "%PDF"));
    Owned<CFBundleRef> bundle(BundleAt(path));
    ASSERT_TRUE(bundle);

    struct Case {
        const char *name, *type, *subfolder, *expected;  // expected: relative to Resources, or null
    };
    const Case cases[] = {
        {"Star", "pdf", nullptr, "Star.pdf"},
        {"Star", ".pdf", nullptr, "Star.pdf"},
        {"Star.pdf", nullptr, nullptr, "Star.pdf"},
        {"Star.pdf", "", nullptr, "Star.pdf"},
        {"Heart", "png", "Masks", "Masks/Heart.png"},
        {"Heart", "png", nullptr, nullptr},
        {"Star", "png", nullptr, nullptr},
        {"Masks", nullptr, nullptr, nullptr},  // a folder is not a resource file
        {"../../Outside", "pdf", nullptr, nullptr},
        {"Outside", "pdf", "../..", nullptr},
    };
    for (const Case &c : cases) {
        Owned<CFStringRef> name(MakeString(c.name));
        Owned<CFStringRef> type(c.type ? MakeString(c.type) : nullptr);
        Owned<CFStringRef> subfolder(c.subfolder ? MakeString(c.subfolder) : nullptr);
        const std::string found = PathOf(CFBundleCopyResourceURL(bundle, name, type, subfolder));
        EXPECT_EQ(found, c.expected ? resources + "/" + c.expected : std::string("-")) << c.name;
    }
    EXPECT_EQ(CFBundleCopyResourceURL(bundle, nullptr, nullptr, nullptr), nullptr);
}

TEST(CFBundle, MissingOrBrokenExecutables) {
    lumora::test::ScopedFolder folder("bundles");
    EXPECT_EQ(BundleAt(folder.file("Absent.bundle")), nullptr);  // no such folder

    // A bundle without an executable.
    const std::string empty = folder.file("Empty.bundle");
    ASSERT_EQ(::mkdir(empty.c_str(), 0700), 0);
    Owned<CFBundleRef> hollow(BundleAt(empty));
    ASSERT_TRUE(hollow);
    EXPECT_EQ(CFBundleCopyExecutableURL(hollow), nullptr);
    CFErrorRef error = nullptr;
    EXPECT_FALSE(CFBundleLoadExecutableAndReturnError(hollow, &error));
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(CFErrorGetCode(error), 3584);
    Owned<CFStringRef> why(CFErrorCopyDescription(error));
    EXPECT_NE(Text(why).find("Contents/Linux/Empty"), std::string::npos);
    CFRelease(error);

    // An executable the loader refuses: the loader's reason is kept.
    const std::string junk = folder.file("Junk.bundle");
    ASSERT_EQ(::mkdir(junk.c_str(), 0700), 0);
    ASSERT_EQ(::mkdir((junk + "/Contents").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir((junk + "/Contents/Linux").c_str(), 0700), 0);
    ASSERT_TRUE(lumora::test::WriteFile(junk + "/Contents/Linux/Junk", "not a shared object"));
    Owned<CFBundleRef> broken(BundleAt(junk));
    ASSERT_TRUE(broken);
    EXPECT_EQ(PathOf(CFBundleCopyExecutableURL(broken)), junk + "/Contents/Linux/Junk");
    EXPECT_FALSE(CFBundleLoadExecutable(broken));
    EXPECT_FALSE(CFBundleIsExecutableLoaded(broken));
    Owned<CFStringRef> description(CFCopyDescription(broken));
    EXPECT_NE(Text(description).find("not loaded: " + junk + "/Contents/Linux/Junk"), std::string::npos)
        << Text(description);
    EXPECT_FALSE(CFBundleLoadExecutableAndReturnError(broken, &error));
    EXPECT_EQ(CFErrorGetCode(error), 3587);
    CFRelease(error);
}

TEST(CFBundle, MainBundleOfABareTool) {
    char program[PATH_MAX + 1] = {};
    ASSERT_GT(::readlink("/proc/self/exe", program, PATH_MAX), 0);
    const std::string self = program;
    const std::string folder = self.substr(0, self.rfind('/'));

    std::vector<CFBundleRef> seen(4);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i) threads.emplace_back([&seen, i] { seen[i] = CFBundleGetMainBundle(); });
    for (std::thread &thread : threads) thread.join();
    CFBundleRef bundle = CFBundleGetMainBundle();
    ASSERT_NE(bundle, nullptr);
    for (CFBundleRef each : seen) EXPECT_EQ(each, bundle);

    EXPECT_EQ(PathOf(CFBundleCopyBundleURL(bundle)), folder);
    EXPECT_EQ(PathOf(CFBundleCopyExecutableURL(bundle)), self);
    EXPECT_EQ(PathOf(CFBundleCopyResourcesDirectoryURL(bundle)), folder);
    EXPECT_EQ(CFBundleCopyPrivateFrameworksURL(bundle), nullptr);  // no Frameworks folder beside the tests
    EXPECT_TRUE(CFBundleIsExecutableLoaded(bundle));
    CFBundleUnloadExecutable(bundle);  // the program stays
    EXPECT_TRUE(CFBundleIsExecutableLoaded(bundle));
}

// Runs the probe program and answers what it printed.
std::string RunProbe(const std::string &program) {
    std::string output;
    FILE *pipe = ::popen(("'" + program + "'").c_str(), "r");
    if (pipe == nullptr) return output;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe) != nullptr) output += line;
    output += "exit=" + std::to_string(::pclose(pipe));
    return output;
}

TEST(CFBundle, MainBundleOfAProgramInsideABundle) {
    const std::string app = kBinaryDir + "/Probe.app";
    EXPECT_EQ(RunProbe(app + "/Contents/Linux/Probe"), "bundle=" + app + "\n" + "executable=" + app +
                                                             "/Contents/Linux/Probe\n" + "resources=" + app +
                                                             "/Contents/Resources\n" + "frameworks=" + app +
                                                             "/Contents/Frameworks\n" + "plugins=" + app +
                                                             "/Contents/PlugIns\nexit=0");
    // The same program as a bare tool, with a PlugIns folder beside it and no Frameworks folder.
    const std::string tool = kBinaryDir + "/BareTool";
    EXPECT_EQ(RunProbe(tool + "/Probe"), "bundle=" + tool + "\nexecutable=" + tool + "/Probe\nresources=" + tool +
                                             "\nframeworks=-\nplugins=" + tool + "/PlugIns\nexit=0");
}

}  // namespace
