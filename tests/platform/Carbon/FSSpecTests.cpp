#include <gtest/gtest.h>

#include <Carbon/Files.h>

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "CarbonTestSupport.h"
#include "support/TestFolders.h"

using carbon_test::PathOf;
using carbon_test::RealPath;
using lumora::test::ScopedFolder;
using lumora::test::WriteFile;

namespace {

std::string NameOf(const FSSpec &spec) {
    return std::string(reinterpret_cast<const char *>(spec.name + 1), std::min<size_t>(spec.name[0], 63));
}

void SetName(FSSpec &spec, const std::string &name) {
    ASSERT_LE(name.size(), 63u);
    spec.name[0] = UInt8(name.size());
    std::memcpy(spec.name + 1, name.data(), name.size());
}

// A Pascal string of up to 255 bytes.
struct PName {
    explicit PName(const std::string &text) {
        bytes[0] = UInt8(text.size());
        std::memcpy(bytes + 1, text.data(), text.size());
    }
    Str255 bytes{};
};

bool SameSpec(const FSSpec &a, const FSSpec &b) {
    return a.vRefNum == b.vRefNum && a.parID == b.parID && NameOf(a) == NameOf(b);
}

// The whole content of the file a specification names, read through the data fork calls.
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

class FSSpecTest : public ::testing::Test {
protected:
    OSErr SpecOfPath(const std::string &path, FSSpec &spec) {
        FSRef ref;
        const OSStatus status = FSPathMakeRef(reinterpret_cast<const UInt8 *>(path.c_str()), &ref, nullptr);
        if (status != noErr) return OSErr(status);
        return FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, nullptr, &spec, nullptr);
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
        EXPECT_EQ(spec.vRefNum, kFSSpecVolumeRefNum);
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

        // The specification remade from its own parts, and from the full name.
        FSSpec remade{};
        EXPECT_EQ(FSMakeFSSpec(spec.vRefNum, spec.parID, spec.name, &remade), noErr);
        EXPECT_TRUE(SameSpec(remade, spec));
        const PName full(name);
        EXPECT_EQ(FSMakeFSSpec(0, spec.parID, full.bytes, &remade), noErr);
        EXPECT_TRUE(SameSpec(remade, spec));

        // The empty name names the folder itself.
        FSSpec folder{};
        const PName empty("");
        ASSERT_EQ(FSMakeFSSpec(0, spec.parID, empty.bytes, &folder), noErr);
        ASSERT_EQ(FSpMakeFSRef(&folder, &back), noErr);
        EXPECT_EQ(PathOf(back), mBase);
    }
}

TEST_F(FSSpecTest, FoldersAndTheRootFolderHaveSpecifications) {
    FSSpec spec{};
    ASSERT_EQ(SpecOfPath(mBase, spec), noErr);
    EXPECT_EQ(NameOf(spec), mBase.substr(mBase.rfind('/') + 1));
    FSRef ref;
    ASSERT_EQ(FSpMakeFSRef(&spec, &ref), noErr);
    EXPECT_EQ(PathOf(ref), mBase);

    ASSERT_EQ(SpecOfPath("/", spec), noErr);
    EXPECT_EQ(NameOf(spec), "");
    ASSERT_EQ(FSpMakeFSRef(&spec, &ref), noErr);
    EXPECT_EQ(PathOf(ref), "/");
}

// FSMakeFSSpec of a name that is not there yet answers fnfErr with a usable specification.
TEST_F(FSSpecTest, SpecificationOfAMissingFileIsFilledIn) {
    // The id of the folder: a file's parID.
    ASSERT_TRUE(WriteFile(mBase + "/anchor", ""));
    FSSpec anchor{};
    ASSERT_EQ(SpecOfPath(mBase + "/anchor", anchor), noErr);

    for (const std::string &name : {std::string("later.png"), std::string(150, 'L')}) {
        SCOPED_TRACE(name.size());
        FSSpec spec{};
        const PName pname(name);
        ASSERT_EQ(FSMakeFSSpec(kFSSpecVolumeRefNum, anchor.parID, pname.bytes, &spec), fnfErr);
        EXPECT_EQ(spec.parID, anchor.parID);
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

    struct Case {
        const char *what;
        short vRefNum;
        long parID;
        std::string name;
        OSErr status;
    };
    const std::string forgedID = otherForm.substr(0, otherForm.size() - 8) + "FFFFFFF0";
    const std::string badHex = otherForm.substr(0, otherForm.size() - 8) + "0000000g";
    const Case cases[] = {
        {"another volume", 3, file.parID, "file", nsvErr},
        {"no folder id", kFSSpecVolumeRefNum, 0, "file", dirNFErr},
        {"negative folder id", kFSSpecVolumeRefNum, -7, "file", dirNFErr},
        {"unknown folder id", kFSSpecVolumeRefNum, 0x7FFFFFF0, "file", dirNFErr},
        {"a path, not a name", kFSSpecVolumeRefNum, file.parID, "other/x", bdNamErr},
        {"the parent folder", kFSSpecVolumeRefNum, file.parID, "..", bdNamErr},
        {"another folder's long name", kFSSpecVolumeRefNum, file.parID, otherForm, bdNamErr},
        {"a forged long-name id", kFSSpecVolumeRefNum, otherLong.parID, forgedID, bdNamErr},
        {"a malformed long-name id", kFSSpecVolumeRefNum, otherLong.parID, badHex, bdNamErr},
        {"a NUL inside a short name", kFSSpecVolumeRefNum, file.parID, std::string("fi\0le", 5), bdNamErr},
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

    // A folder id that names a file (the id in a long name is its file's path id), and a
    // folder that has gone.
    const long fileID = std::stol(otherForm.substr(otherForm.size() - 8), nullptr, 16);
    FSSpec spec{};
    const PName name("x");
    EXPECT_EQ(FSMakeFSSpec(0, fileID, name.bytes, &spec), dirNFErr);
    ASSERT_EQ(::unlink((mBase + "/other/" + longName).c_str()), 0);
    ASSERT_EQ(::rmdir((mBase + "/other").c_str()), 0);
    EXPECT_EQ(FSMakeFSSpec(0, otherLong.parID, name.bytes, &spec), dirNFErr);
    FSIORefNum refNum = 0;
    EXPECT_EQ(FSpOpenDF(&otherLong, fsRdPerm, &refNum), fnfErr);

    FSRef fileRef;
    EXPECT_EQ(FSMakeFSSpec(0, 1, nullptr, &spec), paramErr);
    EXPECT_EQ(FSMakeFSSpec(0, 1, name.bytes, nullptr), paramErr);
    EXPECT_EQ(FSpMakeFSRef(nullptr, &fileRef), paramErr);
}
