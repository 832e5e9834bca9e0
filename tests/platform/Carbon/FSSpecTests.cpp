#include <gtest/gtest.h>

#include <Carbon/Files.h>

#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

#include "CarbonTestSupport.h"
#include "support/TestFolders.h"

using carbon_test::NameOf;
using carbon_test::PathOf;
using carbon_test::PName;
using carbon_test::RealPath;
using carbon_test::RefOf;
using lumora::test::ScopedFolder;
using lumora::test::WriteFile;

namespace {

void SetName(FSSpec &spec, const std::string &name) {
    ASSERT_LE(name.size(), 63u);
    spec.name[0] = UInt8(name.size());
    std::memcpy(spec.name + 1, name.data(), name.size());
}

bool SameSpec(const FSSpec &a, const FSSpec &b) {
    return a.vRefNum == b.vRefNum && a.parID == b.parID && NameOf(a) == NameOf(b);
}

// The whole content of the file an FSSpec names, read through the data fork calls.
std::string ReadThroughSpec(const FSSpec &spec, OSErr *status = nullptr) {
    FSIORefNum refNum = 0;
    OSErr result = FSpOpenDF(&spec, fsRdPerm, &refNum);
    std::string content;
    if (result == noErr) {
        long size = 0;
        result = GetEOF(refNum, &size);
        content.resize(size_t(size));
        if (result == noErr) result = FSRead(refNum, &size, content.data());
        FSClose(refNum);
    }
    if (status != nullptr) *status = result;
    return content;
}

bool IsValidUtf8Prefix(const std::string &text) {
    // No character is cut: the text does not end inside a multi-byte sequence.
    size_t i = text.size();
    size_t continuation = 0;
    while (i > 0 && (UInt8(text[i - 1]) & 0xC0) == 0x80) --i, ++continuation;
    if (i == 0) return continuation == 0;
    const UInt8 lead = UInt8(text[i - 1]);
    const size_t expected = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
    return continuation == expected;
}

ino_t InodeOf(const std::string &path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_ino;
}

class FSSpecTest : public ::testing::Test {
protected:
    OSErr SpecOfPath(const std::string &path, FSSpec &spec) {
        OSStatus status = noErr;
        const FSRef ref = RefOf(path, &status);
        if (status != noErr) return OSErr(status);
        return FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, nullptr, &spec, nullptr);
    }

    // The full path of an FSSpec built as the classic walk does: the names of the
    // folders up to the volume root (id 2), on the volume's mount point.
    std::string WalkedPath(const FSSpec &spec) {
        std::string path = NameOf(spec);
        long dirID = spec.parID;
        for (int guard = 0; dirID != fsRtDirID && guard < 256; ++guard) {
            Str255 name{};
            CInfoPBRec block{};
            block.dirInfo.ioNamePtr = name;
            block.dirInfo.ioVRefNum = spec.vRefNum;
            block.dirInfo.ioFDirIndex = -1;
            block.dirInfo.ioDrDirID = dirID;
            if (PBGetCatInfoSync(&block) != noErr) return "(walk failed)";
            path = std::string(reinterpret_cast<const char *>(name + 1), name[0]) + "/" + path;
            dirID = block.dirInfo.ioDrParID;
        }
        std::string root;
        if (lumora::carbon::VolumeMountPoint(spec.vRefNum, root) != noErr) return "(no volume)";
        return (root == "/" ? root : root + "/") + path;
    }

    ScopedFolder mFolder{"fsspec"};
    std::string mBase = RealPath(mFolder.path());
};

}  // namespace

// FSRef -> FSSpec -> the same file again, for names that fit the record and names that do
// not (up to the 255 bytes Linux allows), two long names that share their first bytes, and
// a UTF-8 name whose shortened form must not cut a character.
TEST_F(FSSpecTest, SpecificationsRoundTripForNamesOfAnyLength) {
    std::string accented;
    for (int i = 0; i < 40; ++i) accented += "\xC3\xA9";  // 80 bytes of "é"
    const std::string shared(60, 's');
    const std::string names[] = {
        "short.png",
        "with spaces and \xE2\x82\xAC.jpg",
        std::string(63, 'e'),  // fits exactly
        std::string(64, 'f'),  // the first length that does not
        std::string(196, 'g') + ".png",
        shared + "-one-" + std::string(100, '1'),
        shared + "-two-" + std::string(100, '2'),
        accented + ".tif",
        std::string(255, 'h'),
    };
    for (const std::string &name : names) {
        ASSERT_TRUE(WriteFile(mBase + "/" + name, "content of " + name));
    }
    for (const std::string &name : names) {
        SCOPED_TRACE(name.size());
        const std::string path = mBase + "/" + name;
        FSSpec spec{};
        ASSERT_EQ(SpecOfPath(path, spec), noErr);
        EXPECT_LT(spec.vRefNum, 0);
        EXPECT_EQ(spec.parID, long(InodeOf(mBase)));
        const std::string stored = NameOf(spec);
        if (name.size() <= 63) {
            EXPECT_EQ(stored, name);
        } else {
            // The shortened name reads as a C string of the name's first characters.
            const std::string shown = stored.substr(0, stored.find('\0'));
            EXPECT_NE(stored.find('\0'), std::string::npos);
            EXPECT_GE(shown.size(), 50u);
            EXPECT_EQ(name.compare(0, shown.size(), shown), 0);
            EXPECT_TRUE(IsValidUtf8Prefix(shown));
        }

        OSErr status = noErr;
        EXPECT_EQ(ReadThroughSpec(spec, &status), "content of " + name);
        EXPECT_EQ(status, noErr);

        FSRef back;
        ASSERT_EQ(FSpMakeFSRef(&spec, &back), noErr);
        EXPECT_EQ(PathOf(back), path);

        // The FSSpec remade from its own parts, from the full name, and on the
        // default volume.
        FSSpec remade{};
        EXPECT_EQ(FSMakeFSSpec(spec.vRefNum, spec.parID, spec.name, &remade), noErr);
        EXPECT_TRUE(SameSpec(remade, spec));
        const PName full(name);
        EXPECT_EQ(FSMakeFSSpec(spec.vRefNum, spec.parID, full.bytes, &remade), noErr);
        EXPECT_TRUE(SameSpec(remade, spec));
        EXPECT_EQ(FSMakeFSSpec(0, spec.parID, full.bytes, &remade), noErr);
        EXPECT_TRUE(SameSpec(remade, spec));

        // The empty name names the folder itself.
        FSSpec folder{};
        const PName empty("");
        ASSERT_EQ(FSMakeFSSpec(spec.vRefNum, spec.parID, empty.bytes, &folder), noErr);
        ASSERT_EQ(FSpMakeFSRef(&folder, &back), noErr);
        EXPECT_EQ(PathOf(back), mBase);
    }
}

// Folder ids are inode numbers, the volume root is 2 and its parent 1; the classic walk up
// the folders ends on the volume's mount point and gives the item's path.
TEST_F(FSSpecTest, FolderIdsWalkUpToTheVolumeRoot) {
    // Folder names longer than an FSSpec's name field come back whole.
    const std::string a = mBase + "/" + std::string(100, 'a');
    ASSERT_EQ(::mkdir(a.c_str(), 0700), 0);
    ASSERT_EQ(::mkdir((a + "/b c").c_str(), 0700), 0);
    const std::string file = a + "/b c/leaf.txt";
    ASSERT_TRUE(WriteFile(file, "x"));
    FSSpec spec{};
    ASSERT_EQ(SpecOfPath(file, spec), noErr);
    EXPECT_EQ(spec.parID, long(InodeOf(a + "/b c")));
    EXPECT_EQ(WalkedPath(spec), file);

    std::string mountPoint, volumeRoot;
    ASSERT_EQ(lumora::carbon::MountPointOf(file, mountPoint), noErr);
    ASSERT_EQ(lumora::carbon::VolumeMountPoint(spec.vRefNum, volumeRoot), noErr);
    EXPECT_EQ(mountPoint, volumeRoot);
    struct stat fileInfo {}, rootInfo {};
    ASSERT_EQ(::stat(file.c_str(), &fileInfo), 0);
    ASSERT_EQ(::stat(mountPoint.c_str(), &rootInfo), 0);
    EXPECT_EQ(rootInfo.st_dev, fileInfo.st_dev);
    if (mountPoint != "/") {
        struct stat above {};
        ASSERT_EQ(::stat(mountPoint.substr(0, std::max<size_t>(mountPoint.rfind('/'), 1)).c_str(), &above), 0);
        EXPECT_TRUE(above.st_dev != rootInfo.st_dev || above.st_ino == rootInfo.st_ino) << "not the top of its volume";
    }

    // The root folder: id 2 answers its parent 1 and the volume's name; its own
    // FSSpec is {volume, 1, name} and names the mount point.
    Str255 name{};
    CInfoPBRec block{};
    block.dirInfo.ioNamePtr = name;
    block.dirInfo.ioVRefNum = spec.vRefNum;
    block.dirInfo.ioFDirIndex = -1;
    block.dirInfo.ioDrDirID = fsRtDirID;
    ASSERT_EQ(PBGetCatInfoSync(&block), noErr);
    EXPECT_EQ(block.dirInfo.ioDrParID, fsRtParID);
    EXPECT_EQ(block.dirInfo.ioDrDirID, fsRtDirID);
    EXPECT_NE(block.dirInfo.ioFlAttrib & kioFlAttribDirMask, 0);
    const std::string volumeName = mountPoint == "/" ? "" : mountPoint.substr(mountPoint.rfind('/') + 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(name + 1), name[0]), volumeName);

    FSSpec root{};
    ASSERT_EQ(SpecOfPath(mountPoint, root), noErr);
    EXPECT_EQ(root.vRefNum, spec.vRefNum);
    EXPECT_EQ(root.parID, fsRtParID);
    EXPECT_EQ(NameOf(root), volumeName);
    FSRef ref;
    ASSERT_EQ(FSpMakeFSRef(&root, &ref), noErr);
    EXPECT_EQ(PathOf(ref), mountPoint);
    const PName empty(""), other("no such volume");
    FSSpec made{};
    ASSERT_EQ(FSMakeFSSpec(spec.vRefNum, fsRtDirID, empty.bytes, &made), noErr);
    EXPECT_TRUE(SameSpec(made, root));
    ASSERT_EQ(FSMakeFSSpec(spec.vRefNum, fsRtParID, empty.bytes, &made), noErr);
    EXPECT_TRUE(SameSpec(made, root));
    EXPECT_EQ(FSMakeFSSpec(spec.vRefNum, fsRtParID, other.bytes, &made), nsvErr);

    // The same ids in the catalog information.
    FSCatalogInfo info{};
    const FSRef folderRef = RefOf(a);
    ASSERT_EQ(FSGetCatalogInfo(&folderRef, kFSCatInfoNodeID | kFSCatInfoParentDirID | kFSCatInfoVolume, &info, nullptr,
                               nullptr, nullptr),
              noErr);
    EXPECT_EQ(info.nodeID, long(InodeOf(a)));
    EXPECT_EQ(info.parentDirID, long(InodeOf(mBase)));
    EXPECT_EQ(info.volume, spec.vRefNum);
}

// A folder id names the folder, not a path: FSSpecs follow a folder that was renamed
// or moved on its volume, and fail once it is gone.
TEST_F(FSSpecTest, FolderIdsFollowRenamedAndMovedFolders) {
    ASSERT_EQ(::mkdir((mBase + "/first").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir((mBase + "/elsewhere").c_str(), 0700), 0);
    ASSERT_TRUE(WriteFile(mBase + "/first/file", "f"));
    FSSpec spec{};
    ASSERT_EQ(SpecOfPath(mBase + "/first/file", spec), noErr);

    const struct {
        const char *from;
        const char *to;
    } moves[] = {{"/first", "/renamed"}, {"/renamed", "/elsewhere/moved"}, {"/elsewhere", "/outer"}};
    for (const auto &move : moves) {
        SCOPED_TRACE(move.to);
        ASSERT_EQ(::rename((mBase + move.from).c_str(), (mBase + move.to).c_str()), 0);
        const std::string now = move.to == std::string("/outer") ? mBase + "/outer/moved/file" : mBase + move.to + "/file";
        FSRef ref;
        ASSERT_EQ(FSpMakeFSRef(&spec, &ref), noErr);
        EXPECT_EQ(PathOf(ref), now);
        OSErr status = noErr;
        EXPECT_EQ(ReadThroughSpec(spec, &status), "f");
        EXPECT_EQ(WalkedPath(spec), now);
    }
    ASSERT_TRUE(lumora::test::RemoveTree(mBase + "/outer"));
    FSRef ref;
    EXPECT_EQ(FSpMakeFSRef(&spec, &ref), dirNFErr);
}

// FSMakeFSSpec of a name that is not there yet answers fnfErr with a usable FSSpec.
TEST_F(FSSpecTest, SpecificationOfAMissingFileIsFilledIn) {
    ASSERT_TRUE(WriteFile(mBase + "/anchor", ""));
    FSSpec anchor{};
    ASSERT_EQ(SpecOfPath(mBase + "/anchor", anchor), noErr);

    for (const std::string &name : {std::string("later.png"), std::string(150, 'L')}) {
        SCOPED_TRACE(name.size());
        FSSpec spec{};
        const PName pname(name);
        ASSERT_EQ(FSMakeFSSpec(anchor.vRefNum, anchor.parID, pname.bytes, &spec), fnfErr);
        EXPECT_EQ(spec.parID, anchor.parID);
        EXPECT_EQ(spec.vRefNum, anchor.vRefNum);
        FSRef ref;
        EXPECT_EQ(FSpMakeFSRef(&spec, &ref), fnfErr);
        OSErr status = noErr;
        ReadThroughSpec(spec, &status);
        EXPECT_EQ(status, fnfErr);

        ASSERT_TRUE(WriteFile(mBase + "/" + name, "now here"));
        EXPECT_EQ(ReadThroughSpec(spec, &status), "now here");
        EXPECT_EQ(status, noErr);
    }
}

TEST_F(FSSpecTest, SpecificationsThatNameNoFileInTheirFolderAreRefused) {
    ASSERT_EQ(::mkdir((mBase + "/other").c_str(), 0700), 0);
    const std::string longName(100, 'x');
    ASSERT_TRUE(WriteFile(mBase + "/file", "f"));
    ASSERT_TRUE(WriteFile(mBase + "/other/" + longName, "o"));
    FSSpec file{}, otherLong{};
    ASSERT_EQ(SpecOfPath(mBase + "/file", file), noErr);
    ASSERT_EQ(SpecOfPath(mBase + "/other/" + longName, otherLong), noErr);
    ASSERT_NE(file.parID, otherLong.parID);
    const std::string otherForm = NameOf(otherLong);
    const short volume = file.vRefNum;

    struct Case {
        const char *what;
        short vRefNum;
        long parID;
        std::string name;
        OSErr status;
    };
    const std::string forgedID = otherForm.substr(0, otherForm.size() - 8) + "FFFFFFF0";
    const std::string badHex = otherForm.substr(0, otherForm.size() - 8) + "0000000g";
    const std::string wrongStart = "y" + otherForm.substr(1);
    const Case cases[] = {
        {"a volume never met", 3, file.parID, "file", nsvErr},
        {"another volume never met", -30000, file.parID, "file", nsvErr},
        {"negative folder id", volume, -7, "file", dirNFErr},
        {"no folder has the id", volume, 0x7FFFFFF0, "file", dirNFErr},
        {"a path, not a name", volume, file.parID, "other/x", bdNamErr},
        {"the parent folder", volume, file.parID, "..", bdNamErr},
        {"a forged long-name id", volume, otherLong.parID, forgedID, bdNamErr},
        {"a malformed long-name id", volume, otherLong.parID, badHex, bdNamErr},
        {"a long-name form of another name", volume, otherLong.parID, wrongStart, bdNamErr},
        {"a NUL inside a short name", volume, file.parID, std::string("fi\0le", 5), bdNamErr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        FSSpec spec{};
        spec.vRefNum = c.vRefNum;
        spec.parID = c.parID;
        SetName(spec, c.name);
        FSRef ref;
        EXPECT_EQ(FSpMakeFSRef(&spec, &ref), c.status);
        FSIORefNum refNum = 0;
        EXPECT_EQ(FSpOpenDF(&spec, fsRdPerm, &refNum), c.status);
        EXPECT_EQ(refNum, 0);
        FSSpec untouched{};
        untouched.parID = 12345;
        const PName pname(c.name);
        EXPECT_EQ(FSMakeFSSpec(c.vRefNum, c.parID, pname.bytes, &untouched), c.status);
        EXPECT_EQ(untouched.parID, 12345);
    }

    // A long-name form is a name: in another folder it names that folder's file of that
    // name, which is not there.
    FSSpec moved = otherLong;
    moved.parID = file.parID;
    FSRef ref;
    EXPECT_EQ(FSpMakeFSRef(&moved, &ref), fnfErr);

    // A folder id that is a file's inode number, and a folder that has gone.
    FSSpec spec{};
    const PName name("x");
    EXPECT_EQ(FSMakeFSSpec(volume, long(InodeOf(mBase + "/file")), name.bytes, &spec), dirNFErr);
    ASSERT_EQ(::unlink((mBase + "/other/" + longName).c_str()), 0);
    ASSERT_EQ(::rmdir((mBase + "/other").c_str()), 0);
    EXPECT_EQ(FSMakeFSSpec(volume, otherLong.parID, name.bytes, &spec), dirNFErr);
    FSIORefNum refNum = 0;
    EXPECT_EQ(FSpOpenDF(&otherLong, fsRdPerm, &refNum), dirNFErr);

    FSRef fileRef;
    EXPECT_EQ(FSMakeFSSpec(0, 1, nullptr, &spec), paramErr);
    EXPECT_EQ(FSMakeFSSpec(0, 1, name.bytes, nullptr), paramErr);
    EXPECT_EQ(FSpMakeFSRef(nullptr, &fileRef), paramErr);
}

// Volume 0 and folder 0 are the working folder.
TEST_F(FSSpecTest, TheDefaultFolderIsTheWorkingFolder) {
    ASSERT_TRUE(WriteFile(mBase + "/here", "h"));
    char saved[4096];
    ASSERT_NE(::getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(::chdir(mBase.c_str()), 0);
    FSSpec spec{}, folder{};
    const PName here("here"), empty("");
    const OSErr status = FSMakeFSSpec(0, 0, here.bytes, &spec);
    const OSErr folderStatus = FSMakeFSSpec(0, 0, empty.bytes, &folder);
    ASSERT_EQ(::chdir(saved), 0);
    ASSERT_EQ(status, noErr);
    ASSERT_EQ(folderStatus, noErr);
    FSRef ref;
    ASSERT_EQ(FSpMakeFSRef(&spec, &ref), noErr);
    EXPECT_EQ(PathOf(ref), mBase + "/here");
    ASSERT_EQ(FSpMakeFSRef(&folder, &ref), noErr);
    EXPECT_EQ(PathOf(ref), mBase);
}

TEST_F(FSSpecTest, ClassicCallsCreateRenameAndDescribe) {
    ASSERT_TRUE(WriteFile(mBase + "/anchor", ""));
    FSSpec anchor{};
    ASSERT_EQ(SpecOfPath(mBase + "/anchor", anchor), noErr);
    FSSpec spec{};
    const PName name("made.txt");
    ASSERT_EQ(FSMakeFSSpec(anchor.vRefNum, anchor.parID, name.bytes, &spec), fnfErr);
    ASSERT_EQ(FSpCreate(&spec, MakeFourCharCode("ttxt"), MakeFourCharCode("TEXT"), smSystemScript), noErr);
    EXPECT_EQ(FSpCreate(&spec, MakeFourCharCode("ttxt"), MakeFourCharCode("TEXT"), smSystemScript), dupFNErr);
    EXPECT_EQ(lumora::test::ReadFile(mBase + "/made.txt"), "");

    // The parameter-block calls on the new file.
    FSRef ref;
    FSRefParam refBlock{};
    refBlock.ioNamePtr = name.bytes;
    refBlock.ioVRefNum = spec.vRefNum;
    refBlock.ioDirID = spec.parID;
    refBlock.newRef = &ref;
    ASSERT_EQ(PBMakeFSRefSync(&refBlock), noErr);
    EXPECT_EQ(refBlock.ioResult, noErr);
    EXPECT_EQ(PathOf(ref), mBase + "/made.txt");

    ASSERT_TRUE(WriteFile(mBase + "/made.txt", "twelve bytes"));
    Str255 given{};
    std::memcpy(given, name.bytes, name.bytes[0] + 1);
    CInfoPBRec block{};
    block.hFileInfo.ioNamePtr = given;
    block.hFileInfo.ioVRefNum = spec.vRefNum;
    block.hFileInfo.ioDirID = spec.parID;
    block.hFileInfo.ioFDirIndex = 0;
    ASSERT_EQ(PBGetCatInfoSync(&block), noErr);
    EXPECT_EQ(block.hFileInfo.ioFlAttrib & kioFlAttribDirMask, 0);
    EXPECT_EQ(block.hFileInfo.ioFlLgLen, 12);
    EXPECT_EQ(block.hFileInfo.ioFlParID, spec.parID);
    EXPECT_EQ(block.hFileInfo.ioDirID, long(InodeOf(mBase + "/made.txt")));
    // Local seconds since 1904 of the modification time.
    struct stat info {};
    ASSERT_EQ(::stat((mBase + "/made.txt").c_str(), &info), 0);
    struct tm local {};
    ASSERT_NE(::localtime_r(&info.st_mtime, &local), nullptr);
    EXPECT_EQ(SInt64(block.hFileInfo.ioFlMdDat), SInt64(info.st_mtime) + local.tm_gmtoff + 2082844800);
    block.hFileInfo.ioFDirIndex = 3;
    EXPECT_EQ(PBGetCatInfoSync(&block), paramErr);
    EXPECT_EQ(PBGetCatInfoSync(nullptr), paramErr);

    const PName newName("renamed.txt"), taken("anchor");
    EXPECT_EQ(FSpRename(&spec, taken.bytes), dupFNErr);
    ASSERT_EQ(FSpRename(&spec, newName.bytes), noErr);
    EXPECT_EQ(lumora::test::ReadFile(mBase + "/renamed.txt"), "twelve bytes");
    EXPECT_EQ(FSpRename(&spec, newName.bytes), fnfErr);

    EXPECT_EQ(FlushVol(nullptr, spec.vRefNum), noErr);
    EXPECT_EQ(FlushVol(nullptr, 77), nsvErr);
}

TEST_F(FSSpecTest, FinderInfoOfSpecifications) {
    SKIP_WITHOUT_USER_ATTRIBUTES(mBase);
    ASSERT_TRUE(WriteFile(mBase + "/anchor", ""));
    FSSpec anchor{}, spec{};
    ASSERT_EQ(SpecOfPath(mBase + "/anchor", anchor), noErr);
    const PName name("typed");
    ASSERT_EQ(FSMakeFSSpec(anchor.vRefNum, anchor.parID, name.bytes, &spec), fnfErr);
    ASSERT_EQ(FSpCreate(&spec, MakeFourCharCode("LMRA"), MakeFourCharCode("JPEG"), smSystemScript), noErr);
    FInfo info{};
    ASSERT_EQ(FSpGetFInfo(&spec, &info), noErr);
    EXPECT_EQ(info.fdType, (MakeFourCharCode("JPEG")));
    EXPECT_EQ(info.fdCreator, (MakeFourCharCode("LMRA")));
    info.fdType = MakeFourCharCode("BINA");
    info.fdFlags = 0x4000;
    ASSERT_EQ(FSpSetFInfo(&spec, &info), noErr);
    FInfo again{};
    ASSERT_EQ(FSpGetFInfo(&spec, &again), noErr);
    EXPECT_EQ(again.fdType, (MakeFourCharCode("BINA")));
    EXPECT_EQ(again.fdCreator, (MakeFourCharCode("LMRA")));
    EXPECT_EQ(again.fdFlags, 0x4000);

    FSSpec folder{};
    ASSERT_EQ(SpecOfPath(mBase, folder), noErr);
    EXPECT_EQ(FSpGetFInfo(&folder, &info), notAFileErr);
}
