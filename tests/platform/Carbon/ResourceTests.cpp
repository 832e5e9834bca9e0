#include <gtest/gtest.h>

#include <Carbon/Resources.h>

#include <cstring>
#include <sys/stat.h>
#include <sys/xattr.h>

#include "CarbonTestSupport.h"
#include "support/TestFolders.h"

using carbon_test::PName;
using carbon_test::RealPath;
using carbon_test::RefOf;
using lumora::test::ScopedFolder;
using lumora::test::WriteFile;

namespace {

constexpr ResType kAliasType = MakeFourCharCode("alis");

class ResourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_USER_ATTRIBUTES(mBase);
        ASSERT_TRUE(WriteFile(mBase + "/.anchor", ""));
        const FSRef anchorRef = RefOf(mBase + "/.anchor");
        ASSERT_EQ(FSGetCatalogInfo(&anchorRef, kFSCatInfoNone, nullptr, nullptr, &mAnchor, nullptr), noErr);
    }

    // The FSSpec of `name` in the test folder.
    FSSpec Spec(const std::string &name) {
        FSSpec spec{};
        const PName pname(name);
        const OSErr status = FSMakeFSSpec(mAnchor.vRefNum, mAnchor.parID, pname.bytes, &spec);
        EXPECT_TRUE(status == noErr || status == fnfErr) << status;
        return spec;
    }

    static Handle HandleOf(const std::string &bytes) {
        Handle h = nullptr;
        EXPECT_EQ(PtrToHand(bytes.data(), &h, long(bytes.size())), noErr);
        return h;
    }
    static std::string BytesOf(Handle h) { return std::string(*h, size_t(GetHandleSize(h))); }

    ScopedFolder mFolder{"resources"};
    std::string mBase = RealPath(mFolder.path());
    FSSpec mAnchor{};
};

}  // namespace

// The round trip the alias code makes: a resource file, an 'alis' resource added, written,
// closed, and read again from a fresh open.
TEST_F(ResourceTest, ResourcesSurviveClosingAndReopening) {
    const FSSpec spec = Spec("settings");
    FSpCreateResFile(&spec, MakeFourCharCode("LMRA"), MakeFourCharCode("pref"), smSystemScript);
    ASSERT_EQ(ResError(), noErr);
    FInfo info{};
    ASSERT_EQ(FSpGetFInfo(&spec, &info), noErr);
    EXPECT_EQ(info.fdType, MakeFourCharCode("pref"));
    FSpCreateResFile(&spec, 0, 0, smSystemScript);
    EXPECT_EQ(ResError(), dupFNErr) << "the file has its resource fork";

    ResFileRefNum file = FSpOpenResFile(&spec, fsRdWrPerm);
    ASSERT_NE(file, -1);
    EXPECT_EQ(CurResFile(), file);
    Handle first = HandleOf("first alias");
    AddResource(first, kAliasType, 128, PName("main").bytes);
    ASSERT_EQ(ResError(), noErr);
    EXPECT_NE(HGetState(first) & kHandleIsResourceMask, 0);
    Handle other = HandleOf("other");
    AddResource(other, kAliasType, 128, nullptr);
    EXPECT_EQ(ResError(), addResFailed) << "the id is taken";
    DisposeHandle(other);
    AddResource(first, kAliasType, 129, nullptr);
    EXPECT_EQ(ResError(), addResFailed) << "already a resource";
    Handle second = HandleOf(std::string("\0\1\2 binary", 10));
    AddResource(second, kAliasType, 200, nullptr);
    ASSERT_EQ(ResError(), noErr);
    EXPECT_EQ(Get1Resource(kAliasType, 128), first);
    CloseResFile(file);
    ASSERT_EQ(ResError(), noErr);  // written on closing; the handles went with the file
    EXPECT_EQ(CurResFile(), -1);

    file = FSpOpenResFile(&spec, fsRdPerm);
    ASSERT_NE(file, -1);
    Handle loaded = Get1Resource(kAliasType, 128);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(BytesOf(loaded), "first alias");
    EXPECT_EQ(Get1Resource(kAliasType, 128), loaded) << "the same handle until it is let go";
    Handle binary = Get1Resource(kAliasType, 200);
    ASSERT_NE(binary, nullptr);
    EXPECT_EQ(BytesOf(binary), std::string("\0\1\2 binary", 10));
    EXPECT_EQ(Get1Resource(kAliasType, 999), nullptr);
    EXPECT_EQ(ResError(), resNotFound);
    EXPECT_EQ(Get1Resource(MakeFourCharCode("PICT"), 128), nullptr);

    // A file opened for reading takes no changes.
    Handle refused = HandleOf("x");
    AddResource(refused, kAliasType, 300, nullptr);
    EXPECT_EQ(ResError(), resAttrErr);
    DisposeHandle(refused);
    SetResInfo(loaded, 129, nullptr);
    EXPECT_EQ(ResError(), resAttrErr);
    RemoveResource(loaded);
    EXPECT_EQ(ResError(), resAttrErr);

    // A detached handle is the caller's and outlives the file.
    DetachResource(binary);
    ASSERT_EQ(ResError(), noErr);
    EXPECT_EQ(HGetState(binary) & kHandleIsResourceMask, 0);
    DetachResource(binary);
    EXPECT_EQ(ResError(), resNotFound);
    CloseResFile(file);
    EXPECT_EQ(BytesOf(binary), std::string("\0\1\2 binary", 10));
    DisposeHandle(binary);
    CloseResFile(file);
    EXPECT_EQ(ResError(), resFNotFound);
}

TEST_F(ResourceTest, ChangingRemovingAndUpdating) {
    const FSSpec spec = Spec("changes");
    FSpCreateResFile(&spec, 0, 0, smSystemScript);
    ResFileRefNum file = FSpOpenResFile(&spec, fsRdWrPerm);
    ASSERT_NE(file, -1);
    AddResource(HandleOf("a"), kAliasType, 1, nullptr);
    AddResource(HandleOf("b"), kAliasType, 2, nullptr);
    Handle c = HandleOf("c");
    AddResource(c, kAliasType, 3, nullptr);
    UpdateResFile(file);
    ASSERT_EQ(ResError(), noErr);

    Handle a = Get1Resource(kAliasType, 1);
    SetResInfo(a, 2, nullptr);
    EXPECT_EQ(ResError(), addResFailed) << "id 2 is taken";
    SetResInfo(a, 10, PName("renumbered").bytes);
    ASSERT_EQ(ResError(), noErr);
    Handle removed = Get1Resource(kAliasType, 2);
    RemoveResource(removed);
    ASSERT_EQ(ResError(), noErr);
    EXPECT_EQ(BytesOf(removed), "b");  // the caller's now
    DisposeHandle(removed);
    std::memcpy(*c, "C", 1);
    WriteResource(c);
    ASSERT_EQ(ResError(), noErr);

    // What WriteResource put in the fork is what a second reader sees (the file is
    // reopened after closing, as another process would read it).
    CloseResFile(file);
    file = FSpOpenResFile(&spec, fsRdPerm);
    ASSERT_NE(file, -1);
    EXPECT_EQ(Get1Resource(kAliasType, 1), nullptr);
    EXPECT_EQ(Get1Resource(kAliasType, 2), nullptr);
    Handle renumbered = Get1Resource(kAliasType, 10);
    ASSERT_NE(renumbered, nullptr);
    EXPECT_EQ(BytesOf(renumbered), "a");
    EXPECT_EQ(BytesOf(Get1Resource(kAliasType, 3)), "C");
    // Disposing of a resource handle takes it from the file's memory; the resource stays.
    DisposeHandle(renumbered);
    Handle again = Get1Resource(kAliasType, 10);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(BytesOf(again), "a");
    CloseResFile(file);
}

TEST_F(ResourceTest, TheChainOfOpenFiles) {
    const FSSpec one = Spec("one"), two = Spec("two");
    FSpCreateResFile(&one, 0, 0, smSystemScript);
    FSpCreateResFile(&two, 0, 0, smSystemScript);
    const ResFileRefNum first = FSpOpenResFile(&one, fsRdWrPerm);
    AddResource(HandleOf("in one"), kAliasType, 5, nullptr);
    const ResFileRefNum second = FSpOpenResFile(&two, fsRdWrPerm);
    ASSERT_NE(first, -1);
    ASSERT_NE(second, -1);
    EXPECT_EQ(CurResFile(), second);
    EXPECT_EQ(Get1Resource(kAliasType, 5), nullptr) << "only the current file is searched";
    UseResFile(first);
    EXPECT_NE(Get1Resource(kAliasType, 5), nullptr);
    EXPECT_EQ(FSpOpenResFile(&one, fsRdWrPerm), first) << "an open file answers its number again";
    UseResFile(12345);
    EXPECT_EQ(ResError(), resFNotFound);
    EXPECT_EQ(CurResFile(), first);
    CloseResFile(first);
    EXPECT_EQ(CurResFile(), second);
    CloseResFile(second);
    EXPECT_EQ(Get1Resource(kAliasType, 5), nullptr);
    EXPECT_EQ(ResError(), resFNotFound);
}

TEST_F(ResourceTest, FilesWithoutAUsableMap) {
    ASSERT_TRUE(WriteFile(mBase + "/plain", "data only"));
    ASSERT_TRUE(WriteFile(mBase + "/garbage", ""));
    ASSERT_TRUE(WriteFile(mBase + "/truncated", ""));
    ASSERT_EQ(::setxattr((mBase + "/garbage").c_str(), "user.com.apple.ResourceFork", "not a map", 9, 0), 0);
    // A map that claims one resource of 100 bytes but holds 2.
    const char truncated[] = {'L', 'R', 's', 'F', 0, 1, 0, 0, 0, 1, 'a', 'l', 'i', 's', 0, 1, 0, 0, 0, 0, 0, 100, 'x', 'y'};
    ASSERT_EQ(::setxattr((mBase + "/truncated").c_str(), "user.com.apple.ResourceFork", truncated, sizeof truncated, 0), 0);
    const struct {
        const char *name;
        OSErr status;
    } cases[] = {{"plain", eofErr}, {"garbage", mapReadErr}, {"truncated", mapReadErr}, {"missing", fnfErr}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const FSSpec spec = Spec(c.name);
        EXPECT_EQ(FSpOpenResFile(&spec, fsRdPerm), -1);
        EXPECT_EQ(ResError(), c.status);
    }
    const FSSpec garbage = Spec("garbage");
    FSpCreateResFile(&garbage, 0, 0, smSystemScript);
    EXPECT_EQ(ResError(), dupFNErr) << "a resource fork with content is not replaced";
    EXPECT_EQ(FSpOpenResFile(nullptr, fsRdPerm), -1);
    EXPECT_EQ(ResError(), paramErr);
}
