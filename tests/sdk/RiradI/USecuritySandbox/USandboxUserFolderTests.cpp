#include <gtest/gtest.h>

#include <USecuritySandbox/NSURL_SandboxURL.h>
#include <USecuritySandbox/USandboxFolderController.h>
#include <USecuritySandbox/USandboxUserFolder.h>

#include <CocoaGraphics/NSBitmapImageRep_QuickSaveFile.h>
#include <Foundation/NSNotification.h>
#include <Foundation/NSUserDefaults.h>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "support/TestFolders.h"

using namespace lumora::test;

namespace {

QString Q(const std::string &text) { return QString::fromStdString(text); }
QUrl FileURL(const std::string &path) { return QUrl::fromLocalFile(Q(path)); }

// A controller whose folder panel answers a prepared choice.
class ChoosingController : public USandboxFriendlyQuickSaveFolder {
public:
    QUrl choice;
    int panels = 0;

protected:
    QUrl runFolderPanel(const QString &) override {
        ++panels;
        return choice;
    }
};

}  // namespace

// The bookmark is the folder's path: it round-trips through the user defaults; anything that
// is not an absolute path of something that exists resolves to nothing.
TEST(SandboxURL, BookmarkDataRoundTrip) {
    ScopedFolder folder("chosen folder é");
    const QByteArray data = SandboxURL::bookmarkDataForSandboxURL(FileURL(folder.path()));
    EXPECT_EQ(data.toStdString(), folder.path());
    EXPECT_EQ(SandboxURL::sandboxURLWithSecurityBookmarkData(data), FileURL(folder.path()));
    EXPECT_TRUE(SandboxURL::standardBookmarkDataForSandboxURL(QUrl("http://example.org/")).isEmpty());
    EXPECT_TRUE(SandboxURL::standardBookmarkDataForSandboxURL(QUrl()).isEmpty());

    const QByteArray bad[] = {QByteArray(), QByteArray(""), QByteArray("relative/path"),
                              QByteArray((folder.path() + std::string("\0x", 2)).c_str(), qsizetype(folder.path().size() + 2)),
                              QByteArray((folder.path() + "/missing").c_str()), QByteArray(5000, '/'),
                              QByteArray("bplist00\xd1\x01\x02", 11)};
    for (const QByteArray &data : bad)
        EXPECT_TRUE(SandboxURL::sandboxURLWithSecurityBookmarkData(data).isEmpty()) << data.toStdString();

    // No security-scoped resources: access calls do nothing.
    EXPECT_FALSE(SandboxURL::sandboxURLBeginSecurityAccess(FileURL(folder.path())));
    EXPECT_FALSE(SandboxURL::sandboxURLEndSecurityAccess(FileURL(folder.path())));
    EXPECT_EQ(SandboxURL::localizedDisplayPathWithSandboxFilePath(QString()), "");
    const QString display = SandboxURL::localizedDisplaySandboxURLFilePath(FileURL(folder.path()));
    EXPECT_TRUE(display.contains(':')) << display.toStdString();
    EXPECT_TRUE(display.endsWith(Q(folder.path()).mid(1))) << display.toStdString();  // the path below "/"
}

// A fresh Pictures folder points at the user's Pictures folder and is kept under its class's
// key; a new folder read from that key resolves to it again.
TEST(USandboxUserFolder, DefaultFolderSavedAndLoadedUnderItsKey) {
    const std::string pictures = HomeFolder() + "/Pictures";
    ::mkdir(pictures.c_str(), 0700);
    USandboxPicturesFolder folder;
    EXPECT_EQ(folder.folderPath().toStdString(), pictures);
    EXPECT_EQ(folder.folderName(), "Pictures");
    EXPECT_EQ(folder.serializationKey(), "USandboxPicturesFolderUserDefaultsKey");
    folder.serializeSaveDataWithKey(folder.serializationKey());

    std::unique_ptr<USandboxUserFolder> loaded(
        USandboxUserFolder::sandboxPrefsFolderWithUserDefaultsKey("USandboxPicturesFolderUserDefaultsKey"));
    EXPECT_EQ(loaded->folderPath().toStdString(), pictures);
    EXPECT_EQ(loaded->serializationKey(), "USandboxUserFolderUserDefaultsKey");

    USandboxUserFolder home;
    EXPECT_EQ(home.folderPath().toStdString(), HomeFolder());
    ::rmdir(pictures.c_str());
    USandboxMoviesFolder movies;  // no Videos folder: the home folder
    EXPECT_EQ(movies.folderPath().toStdString(), HomeFolder());
}

// What the movie recorder relies on: new file URLs inside the chosen folder, nothing once
// the folder has moved or gone; the folder keeps its data but loses its URL.
TEST(USandboxUserFolder, FileURLsFollowTheBookmark) {
    ScopedFolder movies("movies");
    std::unique_ptr<USandboxUserFolder> folder(USandboxUserFolder::sandboxPrefsFolderWithFolderURL(FileURL(movies.path())));
    FileURLFactory &factory = *folder;
    const QUrl url = factory.createFileURLWithFileName("Lumora 0000.mov");
    EXPECT_EQ(url, FileURL(movies.file("Lumora 0000.mov")));
    factory.releaseFileURLWithFileName(url);
    for (const char *bad : {"", ".", "..", "a/b", "../escape.mov"})
        EXPECT_TRUE(factory.createFileURLWithFileName(bad).isEmpty()) << bad;

    const std::string moved = movies.path() + "-moved";
    ASSERT_EQ(::rename(movies.path().c_str(), moved.c_str()), 0);
    EXPECT_TRUE(factory.createFileURLWithFileName("Lumora 0000.mov").isEmpty());
    std::unique_ptr<USandboxUserFolder> reloaded(
        USandboxUserFolder::sandboxPrefsFolderWithSandboxBookmarkData(folder->sandboxBookmarkData()));
    EXPECT_TRUE(reloaded->folderURL().isEmpty());
    EXPECT_TRUE(reloaded->folderPath().isNull());
    EXPECT_EQ(reloaded->localizedDisplayFolderPath(), "");
    EXPECT_EQ(reloaded->sandboxBookmarkData(), folder->sandboxBookmarkData());
    ASSERT_EQ(::rename(moved.c_str(), movies.path().c_str()), 0);
    EXPECT_FALSE(factory.createFileURLWithFileName("Lumora 0000.mov").isEmpty());
    ASSERT_TRUE(RemoveTree(movies.path()));
    EXPECT_TRUE(factory.createFileURLWithFileName("Lumora 0000.mov").isEmpty());
}

// Setting the data already held changes nothing; new data moves the URL and tells observers.
TEST(USandboxUserFolder, SameDataKeepsTheURL) {
    ScopedFolder first("first"), second("second");
    std::unique_ptr<USandboxUserFolder> folder(USandboxUserFolder::sandboxPrefsFolderWithFolderURL(FileURL(first.path())));
    int urlChanges = 0;
    QObject::connect(folder.get(), &USandboxUserFolder::securityURLChanged, [&] { ++urlChanges; });
    folder->setSandboxBookmarkData(QByteArray(first.path().c_str()));
    EXPECT_EQ(urlChanges, 0);
    folder->setSandboxBookmarkData(QByteArray(second.path().c_str()));
    EXPECT_EQ(urlChanges, 1);
    EXPECT_EQ(folder->folderPath().toStdString(), second.path());
    EXPECT_TRUE(folder->keyPathsForValuesAffectingValueForKey("folderPath").contains("securityURL"));
    folder->setSandboxBookmarkData(QByteArray());
    EXPECT_TRUE(folder->folderURL().isEmpty());
}

// Browsing keeps and saves the chosen folder; the next launch resolves to it; the snapshot
// folder is pushed to the quick-save writer; a cancelled panel changes nothing.
TEST(USandboxFriendlyQuickSaveFolder, ChosenFolderSurvivesRelaunchAndFeedsSnapshots) {
    EXPECT_TRUE(USandboxFriendlyQuickSaveFolder::sharedSnapshotFolder().isNull());
    ScopedFolder chosen("snapshots");
    ::mkdir((HomeFolder() + "/Pictures").c_str(), 0700);
    {
        USandboxPicturesFolder folder;
        ChoosingController controller;
        controller.setOutletRequiredPrefsFolder(&folder);
        controller.awakeFromNib();
        EXPECT_EQ(USandboxFriendlyQuickSaveFolder::sharedInstance(), &controller);
        EXPECT_EQ(QuickSaveFile::defaultQuikSaveImageType(), QuikSaveImageType_PNG);
        controller.quickSaveDocumentsFolderBrowseAction(nullptr);  // cancelled
        EXPECT_EQ(controller.panels, 1);
        EXPECT_EQ(folder.folderPath().toStdString(), HomeFolder() + "/Pictures");
        controller.choice = FileURL(chosen.path());
        controller.quickSaveDocumentsFolderBrowseAction(nullptr);
        EXPECT_EQ(folder.folderPath().toStdString(), chosen.path());
        EXPECT_EQ(QuickSaveFile::quickSaveFolderUnixPath(), chosen.path());
    }
    EXPECT_EQ(USandboxFriendlyQuickSaveFolder::sharedInstance(), nullptr);
    QuickSaveFile::setQuikSaveLocation(0);

    USandboxPicturesFolder folder;
    USandboxFriendlyQuickSaveFolder controller;
    controller.setOutletRequiredPrefsFolder(&folder);
    controller.awakeFromNib();
    EXPECT_EQ(folder.folderPath().toStdString(), chosen.path());
    EXPECT_EQ(USandboxFriendlyQuickSaveFolder::sharedSnapshotFolder().toStdString(), chosen.path());
    EXPECT_EQ(QuickSaveFile::quickSaveFolderUnixPath(), chosen.path());

    // Quitting saves the folder as it is then.
    folder.setSandboxBookmarkData(QByteArray(HomeFolder().c_str()));
    NSNotificationCenter::defaultCenter().postNotificationName("NSApplicationWillTerminateNotification", nullptr);
    EXPECT_EQ(NSUserDefaults::standardUserDefaults().dataForKey("USandboxPicturesFolderUserDefaultsKey").toStdString(),
              HomeFolder());

    // The snapshot folder has gone: no snapshot folder.
    controller.setOutletRequiredPrefsFolder(nullptr);
    EXPECT_TRUE(USandboxFriendlyQuickSaveFolder::sharedSnapshotFolder().isNull());
}
