#include <gtest/gtest.h>

#include <Carbon/Aliases.h>
#include <Carbon/FileRefs.h>
#include <Carbon/Resources.h>

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "CarbonTestSupport.h"
#include "support/TestFolders.h"

using carbon_test::PathOf;
using carbon_test::PName;
using carbon_test::RealPath;
using carbon_test::RefOf;
using lumora::test::ReadFile;
using lumora::test::ScopedFolder;
using lumora::test::WriteFile;

namespace {

class AliasTest : public ::testing::Test {
protected:
    void MakeFolder(const std::string &relative) { ASSERT_EQ(::mkdir((mBase + relative).c_str(), 0700), 0); }
    void Move(const std::string &from, const std::string &to) {
        ASSERT_EQ(::rename((mBase + from).c_str(), (mBase + to).c_str()), 0);
    }

    // Resolves the alias; the path found ("" on failure) and whether the record changed.
    std::string Resolve(AliasHandle alias, bool &changed, OSErr *status = nullptr, const FSRef *fromFile = nullptr) {
        FSRef target;
        Boolean wasChanged = 7;
        const OSErr result = FSResolveAlias(fromFile, alias, &target, &wasChanged);
        if (status != nullptr) *status = result;
        changed = wasChanged;
        return result == noErr ? PathOf(target) : std::string();
    }

    ScopedFolder mFolder{"aliases"};
    std::string mBase = RealPath(mFolder.path());
};

}  // namespace

// An alias follows its target through renames and moves on the volume, including a move of
// a folder above it; once found again the record is updated.
TEST_F(AliasTest, ResolvesAfterRenamesAndMoves) {
    const struct {
        const char *what;
        const char *from;     // what is renamed or moved
        const char *to;
        const char *target;   // where the target is then
    } steps[] = {
        {"renamed in its folder", "/docs/clip.mov", "/docs/clip 2.mov", "/docs/clip 2.mov"},
        {"moved to another folder", "/docs/clip 2.mov", "/other/clip 2.mov", "/other/clip 2.mov"},
        {"its folder renamed", "/other", "/renamed", "/renamed/clip 2.mov"},
        {"its folder moved down", "/renamed", "/docs/deeper", "/docs/deeper/clip 2.mov"},
    };
    MakeFolder("/docs");
    MakeFolder("/other");
    ASSERT_TRUE(WriteFile(mBase + "/docs/clip.mov", "movie"));
    FSRef target = RefOf(mBase + "/docs/clip.mov");
    AliasHandle alias = nullptr;
    ASSERT_EQ(FSNewAliasMinimal(&target, &alias), noErr);
    ASSERT_NE(alias, nullptr);

    bool changed = true;
    EXPECT_EQ(Resolve(alias, changed), mBase + "/docs/clip.mov");
    EXPECT_FALSE(changed);
    for (const auto &step : steps) {
        SCOPED_TRACE(step.what);
        Move(step.from, step.to);
        EXPECT_EQ(Resolve(alias, changed), mBase + step.target);
        EXPECT_TRUE(changed);
        EXPECT_EQ(Resolve(alias, changed), mBase + step.target);
        EXPECT_FALSE(changed) << "the record was updated";
    }
    ASSERT_EQ(::unlink((mBase + "/docs/deeper/clip 2.mov").c_str()), 0);
    OSErr status = noErr;
    EXPECT_EQ(Resolve(alias, changed, &status), "");
    EXPECT_EQ(status, fnfErr);
    DisposeHandle(reinterpret_cast<Handle>(alias));
}

// An object with the target's device and inode number but another birth time is a newer
// object that reuses the number, never the target (otherwise an alias to a deleted file could
// resolve to an unrelated one). Rather than waiting for the file system to hand an inode
// number back, the record's birth time is made to differ from the object's; the object is
// moved so that only the inode search could find it. Works whether or not the file system
// keeps birth times (the record then holds 0, "unknown", which any object matches).
TEST_F(AliasTest, AnObjectBornAtAnotherTimeIsNotTheTarget) {
    constexpr size_t kBirthOffset = 30;  // the record's birth time: 8 bytes, big-endian
    const struct {
        const char *what;
        bool changeBirth;
        OSErr status;
    } cases[] = {
        {"the recorded birth time", false, noErr},
        {"another birth time", true, fnfErr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        MakeFolder("/docs");
        MakeFolder("/docs/later");
        ASSERT_TRUE(WriteFile(mBase + "/docs/clip.mov", "movie"));
        FSRef target = RefOf(mBase + "/docs/clip.mov");
        AliasHandle alias = nullptr;
        ASSERT_EQ(FSNewAliasMinimal(&target, &alias), noErr);
        Handle record = reinterpret_cast<Handle>(alias);
        ASSERT_GE(GetHandleSize(record), Size(kBirthOffset + 8));
        if (c.changeBirth) (*record)[kBirthOffset + 7] ^= 1;
        Move("/docs/clip.mov", "/docs/later/moved.mov");

        bool changed = false;
        OSErr status = noErr;
        const std::string resolved = Resolve(alias, changed, &status);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(resolved, c.status == noErr ? mBase + "/docs/later/moved.mov" : "");
        DisposeHandle(record);
        ASSERT_EQ(::unlink((mBase + "/docs/later/moved.mov").c_str()), 0);
        ASSERT_EQ(::rmdir((mBase + "/docs/later").c_str()), 0);
        ASSERT_EQ(::rmdir((mBase + "/docs").c_str()), 0);
    }
}

TEST_F(AliasTest, FolderTargetsAndReplacedFiles) {
    MakeFolder("/album");
    FSRef folder = RefOf(mBase + "/album");
    AliasHandle folderAlias = nullptr;
    ASSERT_EQ(FSNewAlias(nullptr, &folder, &folderAlias), noErr);
    Move("/album", "/Album 2014");
    bool changed = false;
    EXPECT_EQ(Resolve(folderAlias, changed), mBase + "/Album 2014");
    EXPECT_TRUE(changed);

    // A file saved by writing a new file over the old one has a new inode: the alias finds
    // what is at its path now.
    ASSERT_TRUE(WriteFile(mBase + "/saved.txt", "old"));
    FSRef file = RefOf(mBase + "/saved.txt");
    AliasHandle fileAlias = nullptr;
    ASSERT_EQ(FSNewAliasMinimal(&file, &fileAlias), noErr);
    ASSERT_TRUE(WriteFile(mBase + "/saved.txt.new", "new"));
    Move("/saved.txt.new", "/saved.txt");
    EXPECT_EQ(Resolve(fileAlias, changed), mBase + "/saved.txt");
    EXPECT_TRUE(changed);
    // ... but never an object of the other kind.
    ASSERT_EQ(::unlink((mBase + "/saved.txt").c_str()), 0);
    MakeFolder("/saved.txt");
    OSErr status = noErr;
    EXPECT_EQ(Resolve(fileAlias, changed, &status), "");
    EXPECT_EQ(status, fnfErr);
    DisposeHandle(reinterpret_cast<Handle>(folderAlias));
    DisposeHandle(reinterpret_cast<Handle>(fileAlias));
}

// A relative alias finds its target through fromFile when both were copied elsewhere (new
// inodes, the old ones gone).
TEST_F(AliasTest, RelativeAliasesFollowACopiedTree) {
    MakeFolder("/project");
    MakeFolder("/project/media");
    ASSERT_TRUE(WriteFile(mBase + "/project/doc.qfx", "document"));
    ASSERT_TRUE(WriteFile(mBase + "/project/media/take.mov", "take"));
    FSRef document = RefOf(mBase + "/project/doc.qfx");
    FSRef take = RefOf(mBase + "/project/media/take.mov");
    AliasHandle alias = nullptr;
    ASSERT_EQ(FSNewAlias(&document, &take, &alias), noErr);

    MakeFolder("/copy");
    MakeFolder("/copy/media");
    ASSERT_TRUE(WriteFile(mBase + "/copy/doc.qfx", "document"));
    ASSERT_TRUE(WriteFile(mBase + "/copy/media/take.mov", "take"));
    ASSERT_TRUE(lumora::test::RemoveTree(mBase + "/project"));
    FSRef copiedDocument = RefOf(mBase + "/copy/doc.qfx");
    bool changed = false;
    EXPECT_EQ(Resolve(alias, changed, nullptr, &copiedDocument), mBase + "/copy/media/take.mov");
    EXPECT_TRUE(changed);
    OSErr status = noErr;
    AliasHandle minimal = nullptr;
    FSRef copiedTake = RefOf(mBase + "/copy/media/take.mov");
    ASSERT_EQ(FSNewAliasMinimal(&copiedTake, &minimal), noErr);
    ASSERT_TRUE(lumora::test::RemoveTree(mBase + "/copy"));
    EXPECT_EQ(Resolve(minimal, changed, &status, &copiedDocument), "");
    EXPECT_NE(status, noErr);
    DisposeHandle(reinterpret_cast<Handle>(alias));
    DisposeHandle(reinterpret_cast<Handle>(minimal));
}

TEST_F(AliasTest, HandlesThatHoldNoAliasAreRefused) {
    ASSERT_TRUE(WriteFile(mBase + "/t", "t"));
    FSRef target = RefOf(mBase + "/t");
    AliasHandle good = nullptr;
    ASSERT_EQ(FSNewAliasMinimal(&target, &good), noErr);
    Handle copy = reinterpret_cast<Handle>(good);
    ASSERT_EQ(HandToHand(&copy), noErr);

    Handle empty = NewHandle(0);
    Handle text = nullptr;
    ASSERT_EQ(PtrToHand("this is not an alias record at all, just text", &text, 45), noErr);
    Handle truncated = nullptr;
    ASSERT_EQ(PtrToHand(*copy, &truncated, long(GetHandleSize(copy) - 3)), noErr);
    (*copy)[5] = char((*copy)[5] + 40);  // a size beyond the handle
    for (Handle h : {empty, text, truncated, copy}) {
        FSRef found;
        Boolean changed = false;
        EXPECT_EQ(FSResolveAlias(nullptr, reinterpret_cast<AliasHandle>(h), &found, &changed), paramErr);
        DisposeHandle(h);
    }
    FSRef found;
    EXPECT_EQ(FSResolveAlias(nullptr, nullptr, &found, nullptr), paramErr);
    EXPECT_EQ(FSResolveAlias(nullptr, good, nullptr, nullptr), paramErr);
    EXPECT_EQ(FSNewAliasMinimal(nullptr, &good), paramErr);
    FSRef zero{};
    AliasHandle none = nullptr;
    EXPECT_EQ(FSNewAliasMinimal(&zero, &none), errFSBadFSRef);
    EXPECT_EQ(none, nullptr);
    DisposeHandle(reinterpret_cast<Handle>(good));
}

// The classic forms, and an alias kept as an 'alis' resource in a file's resource fork, as
// the file layer stores them.
TEST_F(AliasTest, SpecificationAliasesKeptAsResources) {
    SKIP_WITHOUT_USER_ATTRIBUTES(mBase);
    ASSERT_TRUE(WriteFile(mBase + "/target.jpg", "jpeg"));
    ASSERT_TRUE(WriteFile(mBase + "/.anchor", ""));
    FSSpec anchor{}, target{}, holder{};
    const FSRef anchorRef = RefOf(mBase + "/.anchor");
    ASSERT_EQ(FSGetCatalogInfo(&anchorRef, kFSCatInfoNone, nullptr, nullptr, &anchor, nullptr), noErr);
    ASSERT_EQ(FSMakeFSSpec(anchor.vRefNum, anchor.parID, PName("target.jpg").bytes, &target), noErr);
    ASSERT_EQ(FSMakeFSSpec(anchor.vRefNum, anchor.parID, PName("holder").bytes, &holder), fnfErr);
    AliasHandle alias = nullptr;
    ASSERT_EQ(NewAlias(nullptr, &target, &alias), noErr);

    FSpCreateResFile(&holder, 0, 0, smSystemScript);
    ASSERT_EQ(ResError(), noErr);
    ResFileRefNum file = FSpOpenResFile(&holder, fsRdWrPerm);
    ASSERT_NE(file, -1);
    AddResource(reinterpret_cast<Handle>(alias), MakeFourCharCode("alis"), 128, nullptr);
    ASSERT_EQ(ResError(), noErr);
    CloseResFile(file);  // the alias handle went with the file
    ASSERT_EQ(ResError(), noErr);

    Move("/target.jpg", "/moved.jpg");
    file = FSpOpenResFile(&holder, fsRdPerm);
    ASSERT_NE(file, -1);
    Handle stored = Get1Resource(MakeFourCharCode("alis"), 128);
    ASSERT_NE(stored, nullptr);
    DetachResource(stored);
    CloseResFile(file);
    FSSpec resolved{};
    Boolean changed = false;
    ASSERT_EQ(ResolveAlias(nullptr, reinterpret_cast<AliasHandle>(stored), &resolved, &changed), noErr);
    EXPECT_TRUE(changed);
    EXPECT_EQ(carbon_test::NameOf(resolved), "moved.jpg");
    EXPECT_EQ(resolved.parID, anchor.parID);
    FSSpec missing = target;
    EXPECT_EQ(NewAlias(nullptr, &missing, &alias), fnfErr);
    DisposeHandle(stored);
}
