#include <CoreX/LFSRef.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <CoreX/LAlias.h>
#include <CoreX/LFSRefFunctions.h>
#include <CoreX/LFileFork.h>
#include <CoreX/LHFSUnicodeName.h>
#include <CoreX/LUnixPath.h>

#include "CoreMachDebugLogTestSupport.h"

namespace {

std::string RealPath(const std::string &path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

std::string PathOf(const LFSRef &ref) {
    std::string path;
    ref.GetUnixPath(path);
    return path;
}

std::string Latent(const LFSRef &ref) {
    LUnixPath latent;
    ref.GetLatentPath(latent);
    return latent.str();
}

bool Exists(const std::string &path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

// A temporary folder (its real path) and the file sink for reports.
class FileRefs : public corex_test::DebugLogFileTest {
protected:
    std::string Item(const std::string &name) const { return mRoot + "/" + name; }
    bool Write(const std::string &name, const std::string &content) {
        return lumora::test::WriteFile(Item(name), content);
    }

    lumora::test::ScopedFolder mFolder{"fsref"};
    const std::string mRoot = RealPath(mFolder.path());
};

// ---- states and latent paths ------------------------------------------------------------

TEST_F(FileRefs, StateMachine) {
    ASSERT_TRUE(Write("file.txt", "data"));
    ASSERT_EQ(::mkdir(Item("sub").c_str(), 0700), 0);

    struct Case {
        const char *name;
        std::string path;
        UInt16 state;
        std::string folder;  // the reference's own path
        std::string latent;
    };
    const Case cases[] = {
        {"root", "/", LFSRef::State_Exists, "/", ""},
        {"existing folder with slash", Item("sub/"), LFSRef::State_Exists, Item("sub"), ""},
        {"existing file", Item("file.txt"), LFSRef::State_ExistsWithLatentPath, mRoot, "file.txt"},
        {"existing folder", Item("sub"), LFSRef::State_ExistsWithLatentPath, mRoot, "sub"},
        {"missing file", Item("new.txt"), LFSRef::State_ExistsWithLatentPath, mRoot, "new.txt"},
        {"missing folders", Item("sub/a/b/c.txt"), LFSRef::State_ExistsWithLatentPath, Item("sub"), "a/b/c.txt"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LFSRef ref;
        EXPECT_TRUE(ref.IsState(LFSRef::State_Invalid));
        ASSERT_TRUE(ref.Construct(c.path.c_str()));
        EXPECT_EQ(ref.GetState(), c.state);
        std::string folder;
        EXPECT_TRUE(bool_FSRef_GetUnixPath(ref.GetFSRef(), folder));
        EXPECT_EQ(folder, c.folder);
        EXPECT_EQ(Latent(ref), c.latent);
        EXPECT_EQ(ref.HasLatentPath(), !c.latent.empty());
    }

    // An existing item normalises to State_Exists; a missing one stays latent, unchanged.
    LFSRef file;
    ASSERT_TRUE(file.Construct(Item("file.txt").c_str()));
    EXPECT_TRUE(file.FileExists());
    EXPECT_TRUE(file.IsState(LFSRef::State_ExistsWithLatentPath));  // queries leave it alone
    EXPECT_TRUE(file.Normalize());
    EXPECT_TRUE(file.IsState(LFSRef::State_Exists));
    EXPECT_EQ(PathOf(file), Item("file.txt"));

    LFSRef missing;
    ASSERT_TRUE(missing.Construct(Item("new.txt").c_str()));
    EXPECT_FALSE(missing.IsFolder());
    EXPECT_FALSE(missing.Normalize());
    EXPECT_TRUE(missing.IsState(LFSRef::State_ExistsWithLatentPath));
    EXPECT_EQ(PathOf(missing), Item("new.txt"));

    // Below a file nothing resolves past the folder holding it; the item never exists.
    LFSRef belowFile;
    ASSERT_TRUE(belowFile.Construct(Item("file.txt/below").c_str()));
    EXPECT_EQ(Latent(belowFile), "file.txt/below");
    EXPECT_FALSE(belowFile.Normalize());
    EXPECT_FALSE(belowFile.FileExists());

    // Failures leave the object invalid.
    LFSRef failed;
    EXPECT_FALSE(failed.Construct(""));
    EXPECT_FALSE(failed.Construct("relative/nowhere/x"));  // no level resolves
    EXPECT_TRUE(failed.IsState(LFSRef::State_Invalid));
    EXPECT_FALSE(failed.Normalize());
    std::string path = "stale";
    EXPECT_FALSE(failed.GetUnixPath(path));
    EXPECT_EQ(path, "");
    EXPECT_STREQ(failed.GetUnixPath(), "");
}

TEST_F(FileRefs, LatentPathOfSeveralLevelsNormalisesOnceItExists) {
    LFSRef deep;
    ASSERT_TRUE(deep.Construct(Item("a/b/c.txt").c_str()));
    EXPECT_EQ(Latent(deep), "a/b/c.txt");
    EXPECT_FALSE(deep.FileExists());

    ASSERT_EQ(::mkdir(Item("a").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(Item("a/b").c_str(), 0700), 0);
    ASSERT_TRUE(Write("a/b/c.txt", "x"));
    EXPECT_TRUE(deep.FileExists());
    EXPECT_TRUE(deep.Normalize());
    EXPECT_EQ(PathOf(deep), Item("a/b/c.txt"));

    // Its folder is the latent path's parent below the reference.
    LFSRef folder;
    LFSRef latent;
    ASSERT_TRUE(deep.GetLatentRef(latent));
    ASSERT_TRUE(latent.GetParentFolder(folder));
    EXPECT_EQ(PathOf(folder), Item("a/b"));
}

TEST_F(FileRefs, ConstructionFromParentsNamesAndCurrentFolder) {
    FSRef folder;
    ASSERT_TRUE(bool_FSRef_ConstructFromPath(folder, mRoot.c_str()));

    LFSRef ref;
    ASSERT_TRUE(ref.Construct(&folder, "x.txt"));
    EXPECT_TRUE(ref.IsState(LFSRef::State_ExistsWithLatentPath));
    ASSERT_TRUE(ref.Construct(&folder, std::string()));
    EXPECT_TRUE(ref.IsState(LFSRef::State_Exists));
    ASSERT_TRUE(ref.Construct(&folder, ""));  // an empty name is the folder itself
    EXPECT_TRUE(ref.IsState(LFSRef::State_Exists));
    ASSERT_TRUE(ref.Construct(&folder, LHFSUnicodeName("Caf\xC3\xA9")));
    EXPECT_EQ(PathOf(ref), Item("Caf\xC3\xA9"));
    EXPECT_FALSE(ref.Construct(static_cast<const FSRef *>(nullptr)));
    FSRef zero;
    std::memset(&zero, 0, sizeof zero);
    EXPECT_FALSE(ref.Construct(&zero, "x"));
    EXPECT_TRUE(ref.IsState(LFSRef::State_Invalid));

    char saved[PATH_MAX];
    ASSERT_NE(::getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(::chdir(mRoot.c_str()), 0);
    EXPECT_TRUE(ref.Construct_cwd());
    EXPECT_EQ(ref.GetState(), LFSRef::State_ExistsWithLatentPath);
    EXPECT_TRUE(ref.IsFolder());
    EXPECT_TRUE(ref.Construct("relative.txt"));  // a bare name is below the current folder
    EXPECT_EQ(PathOf(ref), Item("relative.txt"));
    ASSERT_EQ(::chdir(saved), 0);
}

TEST_F(FileRefs, CreateFolderNeedsALatentPath) {
    LFSRef folder;
    ASSERT_TRUE(folder.Construct((mRoot + "/").c_str()));
    EXPECT_FALSE(folder.CreateFolder());
    EXPECT_NE(LogText().find(" code : HasState(State_HasLatentPath)"), std::string::npos) << LogText();
}

// ---- create, rename, delete ---------------------------------------------------------------

TEST_F(FileRefs, CreateRenameDelete) {
    LFSRef file;
    ASSERT_TRUE(file.Construct(Item("new.txt").c_str()));
    ASSERT_TRUE(file.CreateFile());
    EXPECT_TRUE(file.IsState(LFSRef::State_Exists));
    EXPECT_TRUE(Exists(Item("new.txt")));
    EXPECT_FALSE(file.CreateFile());  // no latent path any more

    LFSRef again;
    ASSERT_TRUE(again.Construct(Item("new.txt").c_str()));
    EXPECT_FALSE(again.CreateFile());  // exists
    EXPECT_TRUE(again == file);
    ClearLog();

    ASSERT_TRUE(file.RenameFile("renamed.txt"));
    EXPECT_EQ(PathOf(file), Item("renamed.txt"));
    EXPECT_FALSE(Exists(Item("new.txt")));
    EXPECT_FALSE(file.RenameFile("a/b"));  // one name only
    EXPECT_FALSE(file.RenameFile(".."));
    std::string name;
    EXPECT_TRUE(file.GetJustName(name));
    EXPECT_EQ(name, "renamed.txt");
    EXPECT_TRUE(file.HasExtension("TXT"));

    // FileDelete leaves the latent reference of the same path.
    ASSERT_TRUE(file.FileDelete());
    EXPECT_FALSE(Exists(Item("renamed.txt")));
    EXPECT_TRUE(file.IsState(LFSRef::State_ExistsWithLatentPath));
    EXPECT_EQ(PathOf(file), Item("renamed.txt"));
    EXPECT_FALSE(file.FileExists());

    LFSRef folder;
    ASSERT_TRUE(folder.Construct(Item("dir").c_str()));
    ASSERT_TRUE(folder.CreateFolder());
    EXPECT_TRUE(folder.IsFolder());
    EXPECT_FALSE(folder.DeleteFile());  // not a file
    ASSERT_TRUE(Write("dir/inside", "x"));
    EXPECT_FALSE(folder.DeleteFolder());  // not empty
    ASSERT_EQ(::unlink(Item("dir/inside").c_str()), 0);
    EXPECT_TRUE(folder.DeleteFolder());
    EXPECT_FALSE(Exists(Item("dir")));

    // A latent path of several levels cannot be created in one step.
    LFSRef deep;
    ASSERT_TRUE(deep.Construct(Item("x/y").c_str()));
    EXPECT_FALSE(deep.CreateFolder());
    EXPECT_FALSE(Exists(Item("x")));
}

TEST_F(FileRefs, LatentFormChanges) {
    ASSERT_TRUE(Write("photo.tif", "x"));
    ASSERT_EQ(::mkdir(Item("other").c_str(), 0700), 0);
    LFSRef ref;
    ASSERT_TRUE(ref.Construct(Item("photo.tif").c_str()));
    ASSERT_TRUE(ref.Normalize());

    ASSERT_TRUE(ref.ReplaceExtension("png"));
    EXPECT_EQ(PathOf(ref), Item("photo.png"));
    ASSERT_TRUE(ref.AddExtension("gz"));
    EXPECT_EQ(PathOf(ref), Item("photo.png.gz"));
    ASSERT_TRUE(ref.ReplaceJustName("other.txt"));
    EXPECT_EQ(PathOf(ref), Item("other.txt"));
    EXPECT_FALSE(ref.ReplaceJustName("a/b"));
    FSRef other;
    ASSERT_TRUE(bool_FSRef_ConstructFromPath(other, Item("other").c_str()));
    ASSERT_TRUE(ref.ReplaceFolder(other));
    EXPECT_EQ(PathOf(ref), Item("other/other.txt"));
    LFSRef parent;
    ASSERT_TRUE(ref.GetParentFolder(parent));
    EXPECT_EQ(PathOf(parent), Item("other"));

    // Folders have no extension to change.
    LFSRef folder;
    ASSERT_TRUE(folder.Construct(&other));
    EXPECT_FALSE(folder.AddExtension("x"));
    // An existing item as folder plus name, and the root, which has neither.
    LFSRef file;
    ASSERT_TRUE(file.Construct(Item("photo.tif").c_str()));
    ASSERT_TRUE(file.Normalize());
    ASSERT_TRUE(file.MakeRefWithLatentPath());
    EXPECT_TRUE(file.IsState(LFSRef::State_ExistsWithLatentPath));
    EXPECT_EQ(Latent(file), "photo.tif");
    LFSRef root;
    LFSRef latent;
    ASSERT_TRUE(root.Construct("/"));
    EXPECT_FALSE(root.GetLatentRef(latent));

    // AddJustName takes length-prefixed names below a reference without a latent path.
    LFSRef named;
    ASSERT_TRUE(named.Construct((mRoot + "/").c_str()));
    ASSERT_TRUE(named.AddJustName(reinterpret_cast<ConstStr255Param>("\x03" "abc"),
                                  reinterpret_cast<ConstStr255Param>("\x03" "d.e")));
    EXPECT_EQ(Latent(named), "abc/d.e");
    EXPECT_FALSE(named.AddJustName(reinterpret_cast<ConstStr255Param>("\x01" "x")));
}

// ---- Finder information, forks and dates ------------------------------------------------

TEST_F(FileRefs, FinderInformationAndResourceForkRoundTrips) {
    LFSRef ref;
    ASSERT_TRUE(ref.Construct(Item("typed.jpg").c_str()));
    ASSERT_TRUE(ref.CreateFile(MakeFourCharCode("JPEG"), MakeFourCharCode("prvw")));
    OSType type = 0, creator = 0;
    ASSERT_TRUE(ref.GetFileTypeCreator(type, creator));
    EXPECT_EQ(type, MakeFourCharCode("JPEG"));
    EXPECT_EQ(creator, MakeFourCharCode("prvw"));
    EXPECT_FALSE(ref.CreateFile(MakeFourCharCode("JPEG"), MakeFourCharCode("prvw")));  // exists
    ASSERT_TRUE(ref.SetFileTypeCreator(MakeFourCharCode("PNGf"), MakeFourCharCode("8BIM")));
    LFSRef reread;
    ASSERT_TRUE(reread.Construct(Item("typed.jpg").c_str()));
    ASSERT_TRUE(reread.GetFileTypeCreator(type, creator));
    EXPECT_EQ(type, MakeFourCharCode("PNGf"));
    EXPECT_EQ(creator, MakeFourCharCode("8BIM"));

    // Data and resource forks hold their own bytes.
    FSRef file_ref;
    ASSERT_TRUE(ref.GetNormalizedRef(file_ref));
    {
        LFileFork data;
        ASSERT_TRUE(data.OpenData(ref));
        ASSERT_TRUE(data.Write("data fork", 9));
        LFileFork resource;
        ASSERT_TRUE(resource.Open(&file_ref, LHFSUnicodeName::sResourceFork()));
        ASSERT_TRUE(resource.Write("resource", 8));
        SInt64 position = 0;
        ASSERT_TRUE(resource.GetPosition(position));
        EXPECT_EQ(position, 8);
        ASSERT_TRUE(resource.SetPosition(fsFromStart, 0));
        char bytes[16] = {};
        ByteCount read = 0;
        ASSERT_TRUE(resource.Read(bytes, sizeof bytes, &read));
        EXPECT_EQ(std::string(bytes, read), "resource");
    }
    EXPECT_EQ(lumora::test::ReadFile(Item("typed.jpg")), "data fork");
    {
        LFileFork resource;
        ASSERT_TRUE(resource.Open(&file_ref, LHFSUnicodeName::sResourceFork(), fsRdPerm));
        SInt64 size = 0;
        ASSERT_TRUE(resource.GetSize(size));
        EXPECT_EQ(size, 8);
    }

    // RecreateFile keeps the data, drops the resource fork, stamps the new codes.
    ASSERT_TRUE(ref.RecreateFile(MakeFourCharCode("TIFF"), MakeFourCharCode("prvw")));
    EXPECT_EQ(lumora::test::ReadFile(Item("typed.jpg")), "data fork");
    {
        LFileFork resource;
        ASSERT_TRUE(resource.Open(&file_ref, LHFSUnicodeName::sResourceFork(), fsRdPerm));
        SInt64 size = -1;
        ASSERT_TRUE(resource.GetSize(size));
        EXPECT_EQ(size, 0);
    }
    ASSERT_TRUE(ref.GetFileTypeCreator(type, creator));
    EXPECT_EQ(type, MakeFourCharCode("TIFF"));
    // Creating a fork creates the fork named: the resource fork, never the data fork again.
    EXPECT_TRUE(LFileFork::Create(&file_ref, LHFSUnicodeName::sResourceFork()));
    EXPECT_FALSE(LFileFork::CreateData(&file_ref));  // every file has its data fork
    EXPECT_EQ(lumora::test::ReadFile(Item("typed.jpg")), "data fork");
    ClearLog();

    // A missing file is created by RecreateFile.
    LFSRef fresh;
    ASSERT_TRUE(fresh.Construct(Item("fresh.bin").c_str()));
    ASSERT_TRUE(fresh.RecreateFile(MakeFourCharCode("BINA"), MakeFourCharCode("BINA")));
    EXPECT_TRUE(fresh.FileExists());

    UTCDateTime created, modified;
    EXPECT_TRUE(ref.GetDateTimeCreated(created));
    EXPECT_TRUE(ref.GetDateTimeModified(modified));
    EXPECT_GT(modified.lowSeconds | modified.highSeconds, 0u);
}

TEST_F(FileRefs, ClosingAClosedForkReports) {
    LFileFork fork;
    EXPECT_FALSE(fork.IsOpen());
    EXPECT_FALSE(fork.Close());
    EXPECT_EQ(fork.GetRefNum(), -1);
    EXPECT_NE(LogText().find("FSCloseFork(mRef)"), std::string::npos) << LogText();
    char byte = 0;
    EXPECT_FALSE(fork.Write(&byte, 1));
    EXPECT_FALSE(fork.Open(nullptr, LHFSUnicodeName::sDataFork()));
}

// ---- aliases ------------------------------------------------------------------------------

TEST_F(FileRefs, AliasResolvesAfterRename) {
    ASSERT_TRUE(Write("before.txt", "content"));
    LFSRef ref;
    ASSERT_TRUE(ref.Construct(Item("before.txt").c_str()));
    AliasHandle alias = ref.AsNewAliasHandle();
    ASSERT_NE(alias, nullptr);

    ASSERT_EQ(::rename(Item("before.txt").c_str(), Item("after.txt").c_str()), 0);
    LFSRef resolved;
    bool wasChanged = false;
    ASSERT_TRUE(resolved.ResolveAlias(alias, nullptr, wasChanged));
    EXPECT_TRUE(wasChanged);
    EXPECT_EQ(PathOf(resolved), Item("after.txt"));

    // The same through the alias classes, which own their handle.
    LAliasRef aliasRef;
    ASSERT_TRUE(aliasRef.Construct(alias));
    ASSERT_EQ(::rename(Item("after.txt").c_str(), Item("third.txt").c_str()), 0);
    bool changed = false;
    ASSERT_EQ(aliasRef.ResolveWasChanged(changed), noErr);
    EXPECT_TRUE(changed);
    std::string path;
    ASSERT_TRUE(aliasRef.GetUnixPath(path));
    EXPECT_EQ(path, Item("third.txt"));
}

TEST_F(FileRefs, AliasWithoutHandle) {
    LAliasRef alias;
    bool changed = true;
    EXPECT_EQ(alias.ResolveWasChanged(changed), paramErr);
    EXPECT_FALSE(changed);
    LAliasSpec aliasSpec;
    EXPECT_EQ(aliasSpec.ResolveWasChanged(changed), paramErr);
    EXPECT_EQ(LogText(), "");
    FSRef zero;
    std::memset(&zero, 0, sizeof zero);
    EXPECT_FALSE(alias.Construct(zero));
}

// ---- the flat record ------------------------------------------------------------------

TEST_F(FileRefs, DataRecordRoundTrip) {
    LFSRef ref;
    ASSERT_TRUE(ref.Construct(Item("sub/\xC3\xA9t\xC3\xA9.txt").c_str()));
    LFSRef::Data data;
    ASSERT_TRUE(ref.GetData(data));
    EXPECT_EQ(data.state, LFSRef::State_ExistsWithLatentPath);
    EXPECT_EQ(data.latent_path.length, 11);  // "sub/été.txt"

    // A plain copy of the 594 bytes duplicates it.
    unsigned char bytes[sizeof(LFSRef::Data)];
    std::memcpy(bytes, &data, sizeof bytes);
    LFSRef::Data copy;
    std::memcpy(&copy, bytes, sizeof copy);
    LFSRef rebuilt;
    ASSERT_TRUE(rebuilt.Construct(copy));
    EXPECT_EQ(rebuilt.GetState(), ref.GetState());
    EXPECT_EQ(PathOf(rebuilt), PathOf(ref));
    EXPECT_TRUE(rebuilt == ref);

    // A record whose state does not agree with its latent path is refused.
    copy.state = LFSRef::State_Exists;
    EXPECT_FALSE(rebuilt.Construct(copy));
    copy.state = 7;
    EXPECT_FALSE(rebuilt.Construct(copy));
    EXPECT_TRUE(rebuilt.IsState(LFSRef::State_Invalid));
}

TEST_F(FileRefs, TraceWritesTheDump) {
    LFSRef ref;
    ASSERT_TRUE(ref.Construct(Item("traced").c_str()));
    ref.Trace("label");
    const std::string log = LogText();
    EXPECT_NE(log.find("label\n LFSRef contents = { mState:State_ExistsWithLatentPath '3'\nmLatentPath:traced\nmFSRef:" +
                       mRoot + "\n"),
              std::string::npos)
        << log;
    ClearLog();
    LFSRef().Trace("none");
    EXPECT_NE(LogText().find("mState:State_Invalid '0'\nmLatentPath:(empty)\n"), std::string::npos);
}

}  // namespace
