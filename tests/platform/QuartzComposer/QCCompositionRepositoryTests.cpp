// The composition repository: the search order of the Library domains and the application's
// resources, files that do not open, identifiers that are not plain file names.
#include <QuartzComposer/QCCompositionRepository.h>

#include "support/TestFolders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// A composition whose "name" tells which copy was read.
std::string NamedComposition(const std::string &name) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>name</key><string>" + name + "</string>"
           "<key>rootPatch</key><dict><key>class</key><string>QCPatch</string><key>state</key><dict>"
           "<key>nodes</key><array><dict><key>key</key><string>Clear</string><key>class</key><string>QCClear</string>"
           "<key>state</key><dict/></dict></array>"
           "</dict></dict></dict></plist>";
}

std::string ExecutableFolder() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
}

// Files written for one test, removed at its end (the local, system and resources folders
// belong to the build tree, shared by tests running side by side: each test writes files of
// its own names).
class RepositoryTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (const std::string &path : mWritten) std::filesystem::remove(path);
    }
    // Writes `content` as `folder`/`name`, making the folder.
    void Write(const std::string &folder, const std::string &name, const std::string &content) {
        std::filesystem::create_directories(folder);
        const std::string path = folder + "/" + name;
        ASSERT_TRUE(lumora::test::WriteFile(path, content)) << path;
        mWritten.push_back(path);
    }

    const std::string mUser = std::string(std::getenv("XDG_DATA_HOME")) + "/Lumora/Library/Compositions";
    const std::string mLocal = std::string(std::getenv("LUMORA_LOCAL_LIBRARY")) + "/Compositions";
    const std::string mSystem = std::string(std::getenv("LUMORA_SYSTEM_LIBRARY")) + "/Compositions";
    const std::string mResources = ExecutableFolder();
    std::vector<std::string> mWritten;
};

TEST_F(RepositoryTest, FindsCompositionsByFileNameInDomainOrderThenTheResources) {
    const QCCompositionRepository &repository = QCCompositionRepository::sharedCompositionRepository();
    EXPECT_EQ(repository.searchFolders(), (std::vector<std::string>{mUser, mLocal, mSystem, mResources}));
    Write(mUser, "RepoShadowed.qtz", NamedComposition("user"));
    Write(mSystem, "RepoShadowed.qtz", NamedComposition("system"));
    Write(mLocal, "RepoLocal.qtz", NamedComposition("local"));
    Write(mSystem, "RepoSystem.qtz", NamedComposition("system"));
    Write(mResources, "RepoResource.qtz", NamedComposition("resources"));
    Write(mLocal, "RepoResource.qtz", NamedComposition("local"));
    // A copy that does not open does not hide a later one.
    Write(mUser, "RepoBroken.qtz", "not a composition");
    Write(mSystem, "RepoBroken.qtz", NamedComposition("system"));
    Write(mUser, "RepoOnlyBroken.qtz", "not a composition");
    Write(mUser, "RepoText.txt", NamedComposition("user"));

    const struct {
        const char *identifier;
        const char *from;  // null: not found
    } cases[] = {
        {"RepoShadowed.qtz", "user"},   {"RepoLocal.qtz", "local"}, {"RepoSystem.qtz", "system"},
        {"RepoResource.qtz", "local"},  {"RepoBroken.qtz", "system"}, {"RepoOnlyBroken.qtz", nullptr},
        {"RepoMissing.qtz", nullptr},   {"RepoText.txt", nullptr},  {"RepoLocal", nullptr},
    };
    for (const auto &c : cases) {
        QCCompositionRef composition = repository.compositionWithIdentifier(c.identifier);
        if (!c.from) {
            EXPECT_EQ(composition, nullptr) << c.identifier;
            continue;
        }
        ASSERT_NE(composition, nullptr) << c.identifier;
        EXPECT_EQ(composition->attributes().name, c.from) << c.identifier;
    }
    std::filesystem::remove(mLocal + "/RepoResource.qtz");
    ASSERT_NE(repository.compositionWithIdentifier("RepoResource.qtz"), nullptr);
    EXPECT_EQ(repository.compositionWithIdentifier("RepoResource.qtz")->attributes().name, "resources");

    // Every composition once, by identifier, from the copy the lookup reads.
    std::vector<std::string> listed;
    for (const QCCompositionRepositoryEntry &entry : repository.allCompositions()) {
        if (entry.identifier.rfind("Repo", 0) != 0) continue;  // others installed in the build tree
        ASSERT_NE(entry.composition, nullptr);
        listed.push_back(entry.identifier + ":" + entry.composition->attributes().name);
    }
    EXPECT_EQ(listed, (std::vector<std::string>{"RepoBroken.qtz:system", "RepoLocal.qtz:local",
                                                "RepoResource.qtz:resources", "RepoShadowed.qtz:user",
                                                "RepoSystem.qtz:system"}));
}

TEST_F(RepositoryTest, RefusesIdentifiersThatAreNotPlainFileNames) {
    Write(mLocal, "PlainName.qtz", NamedComposition("local"));
    Write(mLocal + "/Nested", "PlainNested.qtz", NamedComposition("nested"));
    const std::string refused[] = {
        "",
        ".qtz",
        "Nested/PlainNested.qtz",
        "../Compositions/PlainName.qtz",
        "..qtz",
        "Plain..Name.qtz",
        std::string("PlainName.qtz\0x.qtz", 19),
        mLocal + "/PlainName.qtz",
    };
    for (const std::string &identifier : refused) {
        EXPECT_FALSE(QCCompositionRepository::isValidIdentifier(identifier)) << identifier;
        EXPECT_EQ(QCCompositionRepository::sharedCompositionRepository().compositionWithIdentifier(identifier), nullptr)
            << identifier;
    }
    EXPECT_NE(QCCompositionRepository::sharedCompositionRepository().compositionWithIdentifier("PlainName.qtz"), nullptr);
    std::filesystem::remove_all(mLocal + "/Nested");
}

} // namespace
