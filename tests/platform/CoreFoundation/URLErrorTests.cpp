#include <gtest/gtest.h>

#include <CoreFoundation/CoreFoundation.h>

#include <unistd.h>

#include "CFTestSupport.h"

using cftest::MakeString;
using cftest::Owned;
using cftest::Text;

namespace {

CFURLRef FileURL(const std::string &path, bool directory) {
    Owned<CFStringRef> text(MakeString(path));
    return CFURLCreateWithFileSystemPath(nullptr, text, kCFURLPOSIXPathStyle, directory);
}

CFURLRef URLFromString(const std::string &text) {
    Owned<CFStringRef> string(MakeString(text));
    return CFURLCreateWithString(nullptr, string, nullptr);
}

std::string URLText(CFURLRef url) { return url ? Text(CFURLGetString(url)) : "<null>"; }

std::string PathOf(CFURLRef url) {
    Owned<CFStringRef> path(CFURLCopyFileSystemPath(url, kCFURLPOSIXPathStyle));
    return Text(path);
}

TEST(CFURL, FilePathsAndTheirStrings) {
    Owned<CFURLRef> file(FileURL("/tmp/a b/é#.txt", false));
    EXPECT_EQ(URLText(file), "file:///tmp/a%20b/%C3%A9%23.txt");
    EXPECT_EQ(PathOf(file), "/tmp/a b/é#.txt");
    EXPECT_FALSE(CFURLHasDirectoryPath(file));
    Owned<CFStringRef> last(CFURLCopyLastPathComponent(file));
    EXPECT_EQ(Text(last), "é#.txt");
    Owned<CFStringRef> description(CFCopyDescription(file));
    EXPECT_EQ(Text(description), "file:///tmp/a%20b/%C3%A9%23.txt");

    Owned<CFURLRef> folder(FileURL("/tmp/dir", true));
    EXPECT_EQ(URLText(folder), "file:///tmp/dir/");
    EXPECT_EQ(PathOf(folder), "/tmp/dir");
    EXPECT_TRUE(CFURLHasDirectoryPath(folder));
    Owned<CFURLRef> slashed(FileURL("/tmp/dir/", false));  // a final "/" means a folder
    EXPECT_TRUE(CFEqual(slashed, folder));

    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    Owned<CFURLRef> relative(FileURL("some/file", false));
    EXPECT_EQ(PathOf(relative), std::string(cwd) + "/some/file");

    Owned<CFStringRef> hfs(MakeString("Disk:folder"));
    EXPECT_EQ(CFURLCreateWithFileSystemPath(nullptr, hfs, CFURLPathStyle(1), false), nullptr);
    EXPECT_EQ(FileURL("", false), nullptr);
}

TEST(CFURL, ComponentOperations) {
    Owned<CFURLRef> folder(FileURL("/tmp/dir", true));
    Owned<CFStringRef> name(MakeString("x.plist"));
    Owned<CFURLRef> file(CFURLCreateCopyAppendingPathComponent(nullptr, folder, name, false));
    EXPECT_EQ(URLText(file), "file:///tmp/dir/x.plist");
    Owned<CFStringRef> sub(MakeString("Sub"));
    Owned<CFURLRef> subfolder(CFURLCreateCopyAppendingPathComponent(nullptr, folder, sub, true));
    EXPECT_EQ(URLText(subfolder), "file:///tmp/dir/Sub/");

    Owned<CFURLRef> parent(CFURLCreateCopyDeletingLastPathComponent(nullptr, file));
    EXPECT_EQ(URLText(parent), "file:///tmp/dir/");
    Owned<CFURLRef> top(FileURL("/tmp", false));
    Owned<CFURLRef> root(CFURLCreateCopyDeletingLastPathComponent(nullptr, top));
    EXPECT_EQ(URLText(root), "file:///");
    Owned<CFURLRef> stillRoot(CFURLCreateCopyDeletingLastPathComponent(nullptr, root));
    EXPECT_EQ(URLText(stillRoot), "file:///");
    Owned<CFStringRef> rootName(CFURLCopyLastPathComponent(root));
    EXPECT_EQ(Text(rootName), "/");
    Owned<CFURLRef> underRoot(CFURLCreateCopyAppendingPathComponent(nullptr, root, name, false));
    EXPECT_EQ(URLText(underRoot), "file:///x.plist");
}

TEST(CFURL, FileSystemRepresentation) {
    const UInt8 raw[] = {'/', 't', 'm', 'p', '/', 0xFF};  // not UTF-8: still a valid Linux file name
    Owned<CFURLRef> url(CFURLCreateFromFileSystemRepresentation(nullptr, raw, sizeof raw, false));
    EXPECT_EQ(URLText(url), "file:///tmp/%FF");
    UInt8 buffer[7];
    ASSERT_TRUE(CFURLGetFileSystemRepresentation(url, true, buffer, sizeof buffer));  // 6 bytes and the zero
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buffer)), std::string(reinterpret_cast<const char *>(raw), 6));
    EXPECT_FALSE(CFURLGetFileSystemRepresentation(url, true, buffer, 6));
    EXPECT_EQ(CFURLCopyFileSystemPath(url, kCFURLPOSIXPathStyle), nullptr);  // no string for it
}

TEST(CFURL, ParsesFileURLStrings) {
    const struct {
        const char *string;
        const char *path;  // null: no URL
        bool directory;
    } cases[] = {
        {"file:///tmp/a%20b/", "/tmp/a b", true},
        {"file://localhost/etc/hosts", "/etc/hosts", false},
        {"FILE:///x?query#fragment", "/x", false},
        {"file:/single/slash", "/single/slash", false},
        {"file:///", "/", true},
        {"file://otherhost/x", nullptr, false},
        {"file:///bad%zz", nullptr, false},
        {"file:///cut%2", nullptr, false},
        {"file:///zero%00byte", nullptr, false},
        {"file:///a b", nullptr, false},
        {"relative/path", nullptr, false},
        {"file:relative", nullptr, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.string);
        Owned<CFURLRef> url(URLFromString(c.string));
        if (c.path == nullptr) {
            EXPECT_FALSE(url);
            continue;
        }
        ASSERT_TRUE(url);
        EXPECT_EQ(PathOf(url), c.path);
        EXPECT_EQ(bool(CFURLHasDirectoryPath(url)), c.directory);
        EXPECT_EQ(URLText(url), c.string);  // the string is kept as written
    }
    Owned<CFURLRef> web(URLFromString("https://example.com/a/"));
    ASSERT_TRUE(web);
    EXPECT_EQ(URLText(web), "https://example.com/a/");
    EXPECT_EQ(CFURLCopyFileSystemPath(web, kCFURLPOSIXPathStyle), nullptr);
    UInt8 buffer[64];
    EXPECT_FALSE(CFURLGetFileSystemRepresentation(web, true, buffer, sizeof buffer));
}

TEST(CFError, DomainsCodesAndDescriptions) {
    Owned<CFErrorRef> plain(CFErrorCreate(nullptr, kCFErrorDomainPOSIX, 2, nullptr));
    EXPECT_EQ(CFErrorGetCode(plain), 2);
    EXPECT_TRUE(CFEqual(CFErrorGetDomain(plain), CFSTR("NSPOSIXErrorDomain")));
    Owned<CFStringRef> text(CFErrorCopyDescription(plain));
    EXPECT_EQ(Text(text), "The operation couldn\u2019t be completed. (NSPOSIXErrorDomain error 2.)");

    CFMutableDictionaryRef info =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    CFDictionarySetValue(info, kCFErrorLocalizedDescriptionKey, CFSTR("The camera is busy."));
    Owned<CFErrorRef> described(CFErrorCreate(nullptr, kCFErrorDomainOSStatus, -50, info));
    CFDictionarySetValue(info, kCFErrorLocalizedDescriptionKey, CFSTR("changed later"));  // the error kept a copy
    CFRelease(info);
    Owned<CFStringRef> user(CFErrorCopyDescription(described));
    EXPECT_EQ(Text(user), "The camera is busy.");
    Owned<CFStringRef> full(CFCopyDescription(described));
    EXPECT_EQ(Text(full), "Error Domain=NSOSStatusErrorDomain Code=-50 \"The camera is busy.\"");

    EXPECT_EQ(CFErrorCreate(nullptr, nullptr, 1, nullptr), nullptr);
    EXPECT_EQ(CFGetTypeID(kCFErrorDomainCocoa), CFStringGetTypeID());
    EXPECT_STREQ(CFStringGetCStringPtr(kCFErrorDomainCocoa, kCFStringEncodingUTF8), "NSCocoaErrorDomain");
    EXPECT_EQ(CFGetTypeID(plain), CFErrorGetTypeID());
}

}  // namespace
