#include <CoreX/LFSSpec.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <CoreX/LAlias.h>
#include <CoreX/LFSRef.h>
#include <CoreX/LFSRefFunctions.h>
#include <CoreX/LUnixPath.h>
#include <CoreX/MAC_fopen.h>
#include <CoreX/TCFString.h>
#include <CoreX/XFileName.h>

#include "CoreMachDebugLogTestSupport.h"

namespace {

std::string RealPath(const std::string &path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

std::basic_string<unsigned char> Prefixed(const std::string &text) {
    std::basic_string<unsigned char> result(1, static_cast<unsigned char>(text.size()));
    result.append(reinterpret_cast<const unsigned char *>(text.data()), text.size());
    return result;
}

bool Exists(const std::string &path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

class FileSpecs : public corex_test::DebugLogFileTest {
protected:
    std::string Item(const std::string &name) const { return mRoot + "/" + name; }

    // The FSSpec of `name` in the folder at `folder` (the item need not exist).
    LFSSpec SpecIn(const std::string &folder, const std::string &name) {
        LFSSpec folderSpec;
        FSRef folderRef;
        EXPECT_TRUE(bool_FSRef_ConstructFromPath(folderRef, folder.c_str()));
        EXPECT_TRUE(folderSpec.Construct(folderRef));
        long folderID = 0;
        EXPECT_TRUE(folderSpec.GetFolderID(folderID));
        FSSpec fileSpec;
        const OSErr err = FSMakeFSSpec(folderSpec.vRefNum, folderID, Prefixed(name).c_str(), &fileSpec);
        EXPECT_TRUE(err == noErr || err == fnfErr) << err;
        return LFSSpec(fileSpec);
    }

    lumora::test::ScopedFolder mFolder{"fsspec"};
    const std::string mRoot = RealPath(mFolder.path());
};

TEST_F(FileSpecs, FullPathWalksUpToTheMountPoint) {
    ASSERT_EQ(::mkdir(Item("a").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(Item("a/b").c_str(), 0700), 0);
    ASSERT_TRUE(lumora::test::WriteFile(Item("a/b/file.txt"), "x"));
    FSRef ref;
    ASSERT_TRUE(bool_FSRef_ConstructFromPath(ref, Item("a/b/file.txt").c_str()));
    const LFSSpec fileSpec(ref);
    EXPECT_TRUE(fileSpec.Exists());
    EXPECT_FALSE(fileSpec.IsFolder());

    std::string folder;
    ASSERT_TRUE(fileSpec.GetFullPath_unix(folder));
    EXPECT_EQ(folder, Item("a/b/"));
    std::string path;
    ASSERT_TRUE(fileSpec.GetUnixPath(path));
    EXPECT_EQ(path, Item("a/b/file.txt"));

    // A name that does not exist yet still has its path.
    const LFSSpec missing = SpecIn(Item("a"), "new file");
    EXPECT_FALSE(missing.Exists());
    ASSERT_TRUE(missing.GetUnixPath(path));
    EXPECT_EQ(path, Item("a/new file"));

    // The root folder of the volume is its mount point.
    LFSSpec parent;
    ASSERT_TRUE(fileSpec.GetParentFolder(parent));
    ASSERT_TRUE(parent.GetUnixPath(path));
    EXPECT_EQ(path, Item("a/b"));
    FSRef rootRef;
    ASSERT_TRUE(bool_FSRef_ConstructFromPath(rootRef, "/"));
    const LFSSpec root(rootRef);
    ASSERT_TRUE(root.GetUnixPath(path));
    EXPECT_EQ(path, "/");
    LFSSpec above;
    EXPECT_FALSE(root.GetParentFolder(above));

    // Long names (more than 63 bytes) are kept in the layer's long form.
    const std::string longName(100, 'n');
    ASSERT_TRUE(lumora::test::WriteFile(Item(longName), "x"));
    FSRef longRef;
    ASSERT_TRUE(bool_FSRef_ConstructFromPath(longRef, Item(longName).c_str()));
    ASSERT_TRUE(LFSSpec(longRef).GetUnixPath(path));
    EXPECT_EQ(path, Item(longName));
}

TEST_F(FileSpecs, FinderInformationRenameAndFolders) {
    LFSSpec folder;
    ASSERT_TRUE(SpecIn(mRoot, "a").GetParentFolder(folder));
    EXPECT_TRUE(folder.IsFolder());
    LFSSpec created;
    ASSERT_TRUE(folder.CreateFile("made.txt", created));
    EXPECT_TRUE(Exists(Item("made.txt")));
    LFSSpec unused;
    EXPECT_FALSE(created.CreateFile("x", unused));  // a file is no folder
    ClearLog();

    FInfo info;
    ASSERT_TRUE(created.GetFInfo(info));
    info.fdType = MakeFourCharCode("TEXT");
    info.fdCreator = MakeFourCharCode("ttxt");
    ASSERT_TRUE(created.SetFInfo(info));
    FInfo reread;
    ASSERT_TRUE(created.GetFInfo(reread));
    EXPECT_EQ(reread.fdType, MakeFourCharCode("TEXT"));
    EXPECT_EQ(reread.fdCreator, MakeFourCharCode("ttxt"));

    ASSERT_TRUE(created.Rename(Prefixed("renamed.txt").c_str()));
    EXPECT_TRUE(Exists(Item("renamed.txt")));
    EXPECT_TRUE(created.Exists());
    EXPECT_TRUE(created.FlushVolume());

    ASSERT_EQ(::mkdir(Item("other").c_str(), 0700), 0);
    FSRef otherRef;
    ASSERT_TRUE(bool_FSRef_ConstructFromPath(otherRef, Item("other").c_str()));
    ASSERT_TRUE(created.ReplaceFolder(LFSSpec(otherRef)));
    std::string path;
    ASSERT_TRUE(created.GetUnixPath(path));
    EXPECT_EQ(path, Item("other/renamed.txt"));
    EXPECT_FALSE(created.Exists());

    // At most 63 characters are copied into the name field.
    LFSSpec named;
    named.SetName(Prefixed(std::string(80, 'z')).c_str());
    EXPECT_EQ(named.name[0], 63);
    EXPECT_TRUE(LFSSpec().IsEmpty());
    EXPECT_FALSE(LFSSpec().Exists());
}

TEST_F(FileSpecs, ReferencesFromSpecifications) {
    ASSERT_TRUE(lumora::test::WriteFile(Item("there.txt"), "x"));
    LFSRef ref;
    ASSERT_TRUE(ref.Construct(SpecIn(mRoot, "there.txt")));
    EXPECT_TRUE(ref.IsState(LFSRef::State_Exists));
    ASSERT_TRUE(ref.Construct(SpecIn(mRoot, "absent.txt")));
    EXPECT_TRUE(ref.IsState(LFSRef::State_ExistsWithLatentPath));
    EXPECT_STREQ(ref.GetUnixPath(), Item("absent.txt").c_str());
    // A name below the folder an FSSpec names.
    ASSERT_TRUE(ref.Construct(SpecIn(mRoot, ""), Prefixed("below.txt").c_str()));
    EXPECT_STREQ(ref.GetUnixPath(), Item("below.txt").c_str());

    // And back: the FSSpec of an existing and of a latent item.
    FSSpec fileSpec;
    ASSERT_TRUE(ref.GetFileSpec(fileSpec));
    std::string path;
    ASSERT_TRUE(LFSSpec(fileSpec).GetUnixPath(path));
    EXPECT_EQ(path, Item("below.txt"));
}

TEST_F(FileSpecs, AliasResourcesInAResourceFile) {
    ASSERT_TRUE(lumora::test::WriteFile(Item("target.txt"), "x"));
    FSRef target;
    ASSERT_TRUE(bool_FSRef_ConstructFromPath(target, Item("target.txt").c_str()));
    LAliasRef made;
    ASSERT_TRUE(made.Construct(target));

    const LFSSpec holder = SpecIn(mRoot, "holder.rsrc");
    const ResFileRefNum resFile = holder.CreateFileWithResFork(MakeFourCharCode("ttxt"), MakeFourCharCode("rsrc"));
    ASSERT_NE(resFile, -1);
    AddResource(reinterpret_cast<Handle>(made.DetachAliasHandle()), LAliasBase::kAliasResourceType, 128,
                Prefixed("target").c_str());
    ASSERT_EQ(ResError(), noErr);
    UpdateResFile(resFile);

    ASSERT_EQ(::rename(Item("target.txt").c_str(), Item("moved.txt").c_str()), 0);
    {
        LAliasRef fromResource;
        ASSERT_TRUE(fromResource.Construct(short(128)));
        EXPECT_TRUE(fromResource.IsResource());
        bool changed = false;
        ASSERT_EQ(fromResource.ResolveWasChanged(changed), noErr);
        TCFString path;
        ASSERT_TRUE(fromResource.GetUnixPath(path));
        std::string text;
        path.GetValue(text);
        EXPECT_EQ(text, Item("moved.txt"));
        EXPECT_TRUE(fromResource.SetResInfo(129, nullptr));
        EXPECT_TRUE(fromResource.DetachResource());
        EXPECT_FALSE(fromResource.IsResource());
    }
    {
        LAliasRef renumbered;
        ASSERT_TRUE(renumbered.Construct(short(129)));
        EXPECT_TRUE(renumbered.RemoveResource());
        LAliasRef gone;
        EXPECT_FALSE(gone.Construct(short(129)));
    }
    CloseResFile(resFile);

    // Aliases of FSSpecs.
    const LFSSpec moved = SpecIn(mRoot, "moved.txt");
    AliasHandle alias = moved.AsNewAliasHandle();
    ASSERT_NE(alias, nullptr);
    ASSERT_EQ(::rename(Item("moved.txt").c_str(), Item("last.txt").c_str()), 0);
    LAliasSpec aliasSpec;
    ASSERT_TRUE(aliasSpec.Construct(alias));
    bool changed = false;
    ASSERT_EQ(aliasSpec.ResolveWasChanged(changed), noErr);
    std::string path;
    ASSERT_TRUE(aliasSpec.GetUnixPath(path));
    EXPECT_EQ(path, Item("last.txt"));
    EXPECT_EQ(LFSSpec().AsNewAliasHandle(), nullptr);
}

// ---- MAC_fopen and XFileName -----------------------------------------------------------

TEST_F(FileSpecs, MacFopenCreatesOnlyForWriting) {
    const LFSSpec fileSpec = SpecIn(mRoot, "stream.bin");
    short resFile = 7;
    EXPECT_EQ(MAC_fopen(&fileSpec, "r", MakeFourCharCode("prvw"), MakeFourCharCode("JPEG"), &resFile), nullptr);
    EXPECT_EQ(resFile, -1);
    EXPECT_FALSE(Exists(Item("stream.bin")));

    std::FILE *file = MAC_fopen(&fileSpec, "w", MakeFourCharCode("prvw"), MakeFourCharCode("JPEG"), &resFile);
    ASSERT_NE(file, nullptr);
    EXPECT_NE(resFile, -1);
    std::fputs("bytes", file);
    std::fclose(file);
    CloseResFile(resFile);
    EXPECT_EQ(lumora::test::ReadFile(Item("stream.bin")), "bytes");
    FInfo info;
    ASSERT_EQ(FSpGetFInfo(&fileSpec, &info), noErr);
    EXPECT_EQ(info.fdType, MakeFourCharCode("JPEG"));
    EXPECT_EQ(info.fdCreator, MakeFourCharCode("prvw"));

    // Through a reference: no resource file, reported.
    LFSRef ref;
    ASSERT_TRUE(ref.Construct(Item("ref.bin").c_str()));
    resFile = 7;
    file = MAC_fopen(ref, "w", MakeFourCharCode("8BIM"), MakeFourCharCode("TIFF"), &resFile);
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    EXPECT_EQ(resFile, -1);
    EXPECT_NE(LogText().find(" code : *outResFile!=-1"), std::string::npos);
    OSType type = 0, creator = 0;
    ASSERT_TRUE(ref.GetFileTypeCreator(type, creator));
    EXPECT_EQ(type, MakeFourCharCode("TIFF"));
    EXPECT_EQ(creator, MakeFourCharCode("8BIM"));
}

TEST_F(FileSpecs, XFileNameForwards) {
    ASSERT_TRUE(lumora::test::WriteFile(Item("older.txt"), "x"));
    ASSERT_TRUE(lumora::test::WriteFile(Item("newer.txt"), "x"));
    struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, Item("older.txt").c_str(), times, 0), 0);

    XFileName older, newer;
    ASSERT_TRUE(older.Construct(Item("older.txt").c_str()));
    ASSERT_TRUE(newer.Construct(Item("newer.txt").c_str()));
    EXPECT_TRUE(newer.IsNewerThan(older));
    EXPECT_FALSE(older.IsNewerThan(newer));
    EXPECT_FALSE(newer.IsNewerThan(newer));
    EXPECT_TRUE(older.Exists());

    std::string name;
    EXPECT_TRUE(newer.GetJustName(name));
    EXPECT_EQ(name, "newer.txt");
    XFileName folder;
    ASSERT_TRUE(newer.GetParentFolder(folder));
    LUnixPath folderPath;
    ASSERT_TRUE(folder.GetSystemRepresentation(folderPath));
    EXPECT_EQ(folderPath.str(), mRoot);

    XFileName copy;
    EXPECT_TRUE(copy.Construct(&newer));
    EXPECT_FALSE(copy.Construct(static_cast<const XFileName *>(nullptr)));
    FSRef folderRef;
    ASSERT_TRUE(bool_FSRef_ConstructFromPath(folderRef, mRoot.c_str()));
    EXPECT_TRUE(copy.Construct(folderRef, "older.txt"));
    EXPECT_FALSE(copy.Construct(folderRef, "absent.txt"));

    std::FILE *file = newer.fopen("w");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    OSType type = 0, creator = 0;
    ASSERT_TRUE(newer.GetFileTypeCreator(type, creator));
    EXPECT_EQ(type, MakeFourCharCode("BINA"));

    ASSERT_TRUE(newer.RenameFile("renamed.txt"));
    EXPECT_TRUE(Exists(Item("renamed.txt")));
    ASSERT_TRUE(newer.DeleteFile());
    EXPECT_FALSE(Exists(Item("renamed.txt")));
    ClearLog();

    // A file whose time cannot be read is not newer, and says so.
    EXPECT_FALSE(newer.IsNewerThan(older));
    EXPECT_NE(LogText().find("GetDateTimeModified"), std::string::npos) << LogText();
}

}  // namespace
