#include <CoreX/CoreUnixPath.h>

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include <CoreFoundation/CFString.h>
#include <CoreFoundation/CFURL.h>
#include <CoreX/CoreRefPath.h>
#include <CoreX/LUnixPath.h>

#include "CoreMachDebugLogTestSupport.h"

namespace {

// ---- the string operations, one table for both path classes ------------------------------

enum class Op {
    AddTrailingSlash,      // path -> path
    RemoveTrailingSlash,   // path -> path
    GetPathParent,         // path -> parent
    GetPathJustName,       // path -> name
    AddPathExtension,      // path, arg -> path
    HasValidFileExtension, // path
    GetPathExtension,      // path -> extension
    HasPathExtension,      // path, arg
    ReplacePathExtension,  // path, arg -> path
    IsRootPath,
    IsFullyQualified,
    IsPartiallyQualified,
    IsQualified,
    IsJustName,
    BaseAndName,           // path -> "base|name"
};

struct Case {
    Op op;
    const char *path;
    const char *arg;
    bool result;
    const char *out;  // the out-string (or the changed path); null: not checked
};

// Root forms, trailing slashes, paths without an extension and dots in folder names.
const Case kCases[] = {
    {Op::AddTrailingSlash, "", nullptr, true, "/"},
    {Op::AddTrailingSlash, "/a/", nullptr, false, "/a/"},
    {Op::AddTrailingSlash, "/a", nullptr, true, "/a/"},
    {Op::RemoveTrailingSlash, "/a//", nullptr, true, "/a/"},
    {Op::RemoveTrailingSlash, "/", nullptr, true, ""},
    {Op::RemoveTrailingSlash, "a", nullptr, false, "a"},
    {Op::RemoveTrailingSlash, "", nullptr, false, ""},

    {Op::GetPathParent, "/a/b", nullptr, true, "/a/"},
    {Op::GetPathParent, "/a/b/", nullptr, true, "/a/"},
    {Op::GetPathParent, "/a//", nullptr, true, "/a/"},
    {Op::GetPathParent, "a/b", nullptr, true, "a/"},
    {Op::GetPathParent, "/a", nullptr, false, ""},
    {Op::GetPathParent, "a", nullptr, false, ""},
    {Op::GetPathParent, "/", nullptr, false, ""},
    {Op::GetPathParent, "./", nullptr, false, ""},

    {Op::GetPathJustName, "/a/b/", nullptr, true, "b"},
    {Op::GetPathJustName, "x/b/", nullptr, true, "b"},
    {Op::GetPathJustName, "/a.d/b.c", nullptr, true, "b.c"},
    {Op::GetPathJustName, "/b", nullptr, false, ""},
    {Op::GetPathJustName, "b", nullptr, false, ""},
    {Op::GetPathJustName, "/a//", nullptr, false, ""},
    {Op::GetPathJustName, "~/", nullptr, false, ""},

    {Op::AddPathExtension, "a", "jpg", true, "a.jpg"},
    {Op::AddPathExtension, "a", ".jpg", true, "a.jpg"},
    {Op::AddPathExtension, "/", "ext", true, "/.ext"},
    {Op::AddPathExtension, "./", "ext", false, "./"},
    {Op::AddPathExtension, "a", "", false, "a"},
    {Op::AddPathExtension, "a", nullptr, false, "a"},

    {Op::HasValidFileExtension, "a.b", nullptr, true, nullptr},
    {Op::HasValidFileExtension, "/x/a.tar.gz", nullptr, true, nullptr},
    {Op::HasValidFileExtension, "a", nullptr, false, nullptr},
    {Op::HasValidFileExtension, ".profile", nullptr, false, nullptr},
    {Op::HasValidFileExtension, "/a/.profile", nullptr, false, nullptr},
    {Op::HasValidFileExtension, "/a.b/c", nullptr, false, nullptr},
    {Op::HasValidFileExtension, "/a.b/", nullptr, false, nullptr},

    {Op::GetPathExtension, "/x/a.tar.gz", nullptr, true, "gz"},
    {Op::GetPathExtension, "x.JPG", nullptr, true, "JPG"},
    {Op::GetPathExtension, "a", nullptr, false, ""},
    {Op::GetPathExtension, ".profile", nullptr, false, ""},
    {Op::GetPathExtension, "a/.profile", nullptr, false, ""},
    {Op::GetPathExtension, "/a.b/c", nullptr, false, ""},  // not "b/c"
    {Op::GetPathExtension, "./", nullptr, false, ""},

    {Op::HasPathExtension, "x.JPG", ".jpg", true, nullptr},
    {Op::HasPathExtension, "x.jpg", "JPG", true, nullptr},
    {Op::HasPathExtension, "x.jpeg", "jpg", false, nullptr},
    {Op::HasPathExtension, "x.jpg", "jpeg", false, nullptr},
    {Op::HasPathExtension, "/a.jpg/c", "jpg", false, nullptr},
    {Op::HasPathExtension, "x.jpg", nullptr, false, nullptr},

    {Op::ReplacePathExtension, "a/b.tif", "png", true, "a/b.png"},
    {Op::ReplacePathExtension, "a/b", "png", true, "a/b.png"},
    {Op::ReplacePathExtension, "a.d/b", "png", true, "a.d/b.png"},
    {Op::ReplacePathExtension, "a/.profile", "png", true, "a/.profile.png"},
    {Op::ReplacePathExtension, "a/b.tar.gz", ".bz2", true, "a/b.tar.bz2"},
    {Op::ReplacePathExtension, "~/", "png", false, "~/"},

    {Op::IsRootPath, "./", nullptr, true, nullptr},
    {Op::IsRootPath, "~/", nullptr, true, nullptr},
    {Op::IsRootPath, "/", nullptr, false, nullptr},
    {Op::IsRootPath, "", nullptr, false, nullptr},
    {Op::IsRootPath, "ab/", nullptr, false, nullptr},

    {Op::IsFullyQualified, "/a", nullptr, true, nullptr},
    {Op::IsFullyQualified, "a/b", nullptr, false, nullptr},
    {Op::IsPartiallyQualified, "a/b", nullptr, true, nullptr},
    {Op::IsPartiallyQualified, "./", nullptr, true, nullptr},
    {Op::IsPartiallyQualified, "/a", nullptr, false, nullptr},
    {Op::IsPartiallyQualified, "a", nullptr, false, nullptr},
    {Op::IsQualified, "/", nullptr, true, nullptr},
    {Op::IsQualified, "a/", nullptr, true, nullptr},
    {Op::IsQualified, "a", nullptr, false, nullptr},
    {Op::IsQualified, "", nullptr, false, nullptr},
    {Op::IsJustName, "a.b", nullptr, true, nullptr},
    {Op::IsJustName, "a/", nullptr, false, nullptr},
    {Op::IsJustName, "", nullptr, false, nullptr},

    {Op::BaseAndName, "a/b/c", nullptr, true, "a/|b/c"},
    {Op::BaseAndName, "/a/b", nullptr, true, "/|a/b"},
    {Op::BaseAndName, "/", nullptr, true, "/|"},
    {Op::BaseAndName, "a", nullptr, true, "a|"},
    {Op::BaseAndName, "", nullptr, false, "|"},
};

template <class Path>
void RunCase(const Case &c) {
    std::string path = c.path;
    std::string out = "stale";
    bool result = false;
    switch (c.op) {
    case Op::AddTrailingSlash: result = Path::AddTrailingSlash(path); out = path; break;
    case Op::RemoveTrailingSlash: result = Path::RemoveTrailingSlash(path); out = path; break;
    case Op::GetPathParent: result = Path::GetPathParent(path, out); break;
    case Op::GetPathJustName: result = Path::GetPathJustName(path, out); break;
    case Op::AddPathExtension: result = Path::AddPathExtension(path, c.arg); out = path; break;
    case Op::HasValidFileExtension: result = Path::HasValidFileExtension(path); break;
    case Op::GetPathExtension: result = Path::GetPathExtension(path, out); break;
    case Op::HasPathExtension: result = Path::HasPathExtension(path, c.arg); break;
    case Op::ReplacePathExtension: result = Path::ReplacePathExtension(path, c.arg); out = path; break;
    case Op::IsRootPath: result = Path::IsRootPath(c.path); break;
    case Op::IsFullyQualified: result = Path::IsFullyQualified(c.path); break;
    case Op::IsPartiallyQualified: result = Path::IsPartiallyQualified(c.path); break;
    case Op::IsQualified: result = Path::IsQualified(c.path); break;
    case Op::IsJustName: result = Path::IsJustName(c.path); break;
    case Op::BaseAndName: {
        std::string base = "stale", name = "stale";
        result = Path::GetPathBasePartAndNamePart(path, base, name);
        out = base + "|" + name;
        break;
    }
    }
    EXPECT_EQ(result, c.result);
    if (c.out != nullptr) {
        EXPECT_EQ(out, c.out);
    }
}

template <class Path>
class PathOperations : public corex_test::DebugLogFileTest {};
using PathClasses = ::testing::Types<CoreUnixPath, LUnixPath>;
TYPED_TEST_SUITE(PathOperations, PathClasses);

TYPED_TEST(PathOperations, EdgeCaseTable) {
    for (const Case &c : kCases) {
        SCOPED_TRACE(std::string("op ") + std::to_string(int(c.op)) + " on \"" + c.path + "\" arg " +
                     (c.arg ? c.arg : "null"));
        RunCase<TypeParam>(c);
    }
}

TYPED_TEST(PathOperations, MembersUseTheSameRules) {
    TypeParam path("a/b.TIF");
    std::string text;
    EXPECT_TRUE(path.GetExtension(text));
    EXPECT_EQ(text, "TIF");
    EXPECT_TRUE(path.HasExtension("tif"));
    EXPECT_TRUE(path.ReplaceExtension("png"));
    EXPECT_STREQ(static_cast<const char *>(path), "a/b.png");
    EXPECT_TRUE(path.GetParent(text));
    EXPECT_EQ(text, "a/");
    EXPECT_TRUE(path.GetJustName(text));
    EXPECT_EQ(text, "b.png");
    EXPECT_TRUE(path.IsPartiallyQualified());
    EXPECT_FALSE(path.IsJustName());

    // A null C string empties a path and answers false; the empty path's members report.
    EXPECT_FALSE(path.Construct(static_cast<const char *>(nullptr)));
    EXPECT_TRUE(path.IsEmpty());
    EXPECT_FALSE(path.IsQualified());
    EXPECT_NE(this->LogText().find(" code : !IsEmpty()"), std::string::npos);
}

TYPED_TEST(PathOperations, PairWalks) {
    struct Walk {
        const char *path;
        std::vector<std::pair<std::string, std::string>> pairs;
    };
    const Walk walks[] = {
        {"/a/b/c", {{"/", "a/b/c"}, {"/a/", "b/c"}, {"/a/b/", "c"}}},
        {"/a/b/", {{"/", "a/b/"}, {"/a/", "b/"}, {"/a/b/", ""}}},
        {"a/b", {{"a/", "b"}}},
        {"x", {{"./", "x"}}},
        {"/", {{"/", ""}}},
    };
    for (const Walk &walk : walks) {
        SCOPED_TRACE(walk.path);
        const TypeParam path(walk.path);
        std::vector<std::pair<std::string, std::string>> seen;
        std::string base, name;
        for (bool more = path.GetFirstPair(base, name); more && seen.size() < 10; more = path.GetNextPair(base, name))
            seen.emplace_back(base, name);
        EXPECT_EQ(seen, walk.pairs);
    }
    const TypeParam empty;
    std::string base = "x", name = "y";
    EXPECT_FALSE(empty.GetFirstPair(base, name));
    EXPECT_EQ(base, "");
    // A base that is not the start of the path ends the walk instead of reading past it.
    const TypeParam path("/a/b");
    base = "/zzzzzzzz/";
    name = "b/c";
    EXPECT_FALSE(path.GetNextPair(base, name));
}

// The extension of /a.b/c: the core class reports, the file layer's class only answers.
using UnixPathReports = PathOperations<CoreUnixPath>;
TEST_F(UnixPathReports, ExtensionInFolderNameReportsOnlyInCoreUnixPath) {
    std::string extension;
    EXPECT_FALSE(LUnixPath::GetPathExtension("/a.b/c", extension));
    EXPECT_FALSE(LUnixPath::HasPathExtension("/a.b/c", "b/c"));
    EXPECT_EQ(LogText(), "");
    EXPECT_FALSE(CoreUnixPath::GetPathExtension("/a.b/c", extension));
    EXPECT_NE(LogText().find(" code : rfound_dot_at>rfound_slash_at"), std::string::npos) << LogText();
    EXPECT_FALSE(CoreUnixPath::IsQualified(nullptr));
    EXPECT_NE(LogText().find(" code : CoreUnixPath_NotNull"), std::string::npos);
    EXPECT_FALSE(LUnixPath::IsQualified(nullptr));
    EXPECT_NE(LogText().find(" code : LUnixPath_NotNull"), std::string::npos);
    EXPECT_FALSE(CoreUnixPath::IsJustName(nullptr));
}

// ---- conversions and file-system calls -------------------------------------------------

class UnixPathFiles : public ::testing::Test {
protected:
    lumora::test::ScopedFolder mFolder{"unixpath"};
};

TEST_F(UnixPathFiles, ConversionsFromStringsURLsAndReferences) {
    CFStringRef string = CFStringCreateWithCString(nullptr, "/tmp/Caf\xC3\xA9 x", kCFStringEncodingUTF8);
    CoreUnixPath fromString(string);
    EXPECT_STREQ(fromString, "/tmp/Caf\xC3\xA9 x");
    CFRelease(string);

    const std::string folder = mFolder.path();
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(
        nullptr, reinterpret_cast<const UInt8 *>(folder.c_str()), CFIndex(folder.size()), true);
    CoreUnixPath fromURL(url);
    CFRelease(url);
    std::string fromURLText = static_cast<const char *>(fromURL);
    CoreUnixPath::RemoveTrailingSlash(fromURLText);
    EXPECT_EQ(fromURLText, folder);

    CoreUnixPath none;
    EXPECT_FALSE(none.Construct(static_cast<CFStringRef>(nullptr)));
    EXPECT_FALSE(none.Construct(static_cast<CFURLRef>(nullptr)));
    EXPECT_TRUE(none.IsEmpty());

    CoreRefPath refPath;
    ASSERT_TRUE(refPath.Construct(folder.c_str()));
    const CoreUnixPath fromRef(refPath);
    char resolved[PATH_MAX];
    ASSERT_NE(::realpath(folder.c_str(), resolved), nullptr);
    EXPECT_STREQ(fromRef, resolved);
    EXPECT_FALSE(refPath.Construct((folder + "/missing").c_str()));
    EXPECT_STREQ(refPath.GetUnixPath(), "");
}

TEST_F(UnixPathFiles, ExistenceDeleteAndLinks) {
    const std::string file = mFolder.file("file.txt");
    const std::string sub = mFolder.file("sub");
    ASSERT_TRUE(lumora::test::WriteFile(file, "x"));
    ASSERT_EQ(::mkdir(sub.c_str(), 0700), 0);

    EXPECT_TRUE(CoreUnixPath::FileExists(file.c_str()));
    EXPECT_TRUE(CoreUnixPath::FileExistsRead(file.c_str()));
    EXPECT_TRUE(CoreUnixPath::FileExistsReadWrite(file.c_str()));
    EXPECT_FALSE(CoreUnixPath::FileExists(mFolder.file("missing").c_str()));
    EXPECT_FALSE(CoreUnixPath::FileExists(nullptr));

    // The link is made at "to" and points at "from"; trailing slashes are dropped.
    const std::string link = mFolder.file("link");
    EXPECT_TRUE(CoreUnixPath::MakeSymbolicLinkFromTo((sub + "/").c_str(), (link + "/").c_str()));
    char target[PATH_MAX] = {};
    ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), sub);
    // A "from" that does not exist: false, and nothing is made.
    const std::string dangling = mFolder.file("dangling");
    EXPECT_FALSE(CoreUnixPath::MakeSymbolicLinkFromTo(mFolder.file("missing").c_str(), dangling.c_str()));
    struct stat info;
    EXPECT_NE(::lstat(dangling.c_str(), &info), 0);

    EXPECT_TRUE(CoreUnixPath::FileDelete(file.c_str()));
    EXPECT_FALSE(CoreUnixPath::FileExists(file.c_str()));
    EXPECT_FALSE(CoreUnixPath::FileDelete(file.c_str()));
    EXPECT_FALSE(CoreUnixPath::FolderDelete(mFolder.path().c_str()));  // not empty
    EXPECT_TRUE(CoreUnixPath::FileDelete(link.c_str()));
    EXPECT_TRUE(CoreUnixPath::FolderDelete(sub.c_str()));
}

TEST_F(UnixPathFiles, ChdirAndGetcwd) {
    char saved[PATH_MAX];
    ASSERT_NE(::getcwd(saved, sizeof saved), nullptr);
    const CoreUnixPath folder(mFolder.path().c_str());
    EXPECT_TRUE(folder.chdir());
    CoreUnixPath current;
    EXPECT_TRUE(current.getcwd());
    char resolved[PATH_MAX];
    ASSERT_NE(::realpath(mFolder.path().c_str(), resolved), nullptr);
    EXPECT_STREQ(current, resolved);
    EXPECT_FALSE(CoreUnixPath(mFolder.file("missing").c_str()).chdir());
    EXPECT_FALSE(CoreUnixPath().chdir());
    ASSERT_EQ(::chdir(saved), 0);
}

}  // namespace
