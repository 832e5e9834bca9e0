// The application delegate: class preferences, files handed over before and after launch,
// the open panel's answers, the launch and terminate fan-out, the main window's close and the
// snapshot folder it reveals.
#include <LumoraApp/AppController.h>

#include <Foundation/NSUserDefaults.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdlib>

namespace {

QApplication *Application() {
    if (QCoreApplication::instance() == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "LumoraStartupTests";
        static char *argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    return qobject_cast<QApplication *>(QCoreApplication::instance());
}

void Drain() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Records the notifications and the compositions it is asked to open.
class RecordingController : public QObject {
    Q_OBJECT
public:
    RecordingController(QString name, QStringList *journal) : mName(std::move(name)), mJournal(journal) {}
    Q_INVOKABLE void applicationDidFinishLaunching(const NSNotification &) { mJournal->append(mName + " launch"); }
    Q_INVOKABLE void applicationWillTerminate(const NSNotification &) { mJournal->append(mName + " terminate"); }
    // The camera view's open: only existing files open.
    Q_INVOKABLE bool openCompositionPath(const QString &path) {
        mJournal->append(mName + " open " + QFileInfo(path).fileName());
        return QFileInfo::exists(path);
    }

private:
    QString mName;
    QStringList *mJournal;
};

class FolderObject : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString folderPath MEMBER folderPath)
public:
    QString folderPath;
};

class AppControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Application();
        NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
        for (const char *key : {"autoDetectVDIG", "loadAvistor", "loadMovidra", "loadWindrakeVDIG", "NSRecentDocuments"})
            defaults.removeObject(QString::fromLatin1(key));
        ASSERT_TRUE(mFiles.isValid());
        for (const char *name : {"a.qtz", "b.qtz", "c.qtz"}) {
            QFile file(mFiles.filePath(QString::fromLatin1(name)));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("composition");
        }
        mController.outletAppInspector = &mInspector;
        mController.outletRenderView = &mView;
        mController.outletBookmarksPanel = &mBookmarks;
        mController.outletInputController = &mInput;
        mController.awakeFromNib();
    }

    QString File(const char *name) const { return mFiles.filePath(QString::fromLatin1(name)); }
    QStringList Opened() const {
        QStringList opened;
        for (const QString &line : mJournal)
            if (line.startsWith("view open ")) opened.append(line.mid(10));
        return opened;
    }

    QTemporaryDir mFiles;
    QStringList mJournal;
    RecordingController mInspector{"inspector", &mJournal};
    RecordingController mView{"view", &mJournal};
    RecordingController mBookmarks{"bookmarks", &mJournal};
    RecordingController mInput{"input", &mJournal};
    AppController mController;
};

TEST_F(AppControllerTest, ClassPreferencesAnswerStoredValuesUnchangedAndDefaultsOnlyWhenMissing) {
    EXPECT_EQ(AppController::class_autoDetectVDIG(), QVariant(true));
    EXPECT_EQ(AppController::class_loadAvistor(), QVariant(false));
    EXPECT_EQ(AppController::class_loadMovidra(), QVariant(false));
    EXPECT_EQ(AppController::class_loadWindrakeVDIG(), QVariant(false));

    const QVariant stored[] = {QVariant(false), QVariant(qint64(7)), QVariant(QStringLiteral("sometimes")), QVariant(2.5)};
    for (const QVariant &value : stored) {
        AppController::class_setAutoDetectVDIG(value);
        AppController::class_setLoadAvistor(value);
        EXPECT_EQ(AppController::class_autoDetectVDIG(), value) << value.toString().toStdString();
        EXPECT_EQ(mController.loadAvistor(), value) << value.toString().toStdString();
    }
    // The setter wrote the file at once: a fresh reader of the same store sees it.
    NSUserDefaults again(NSUserDefaults::standardUserDefaults().applicationIdentifier());
    EXPECT_EQ(again.objectForKey("loadAvistor"), QVariant(2.5));
}

TEST_F(AppControllerTest, AFileHandedOverBeforeLaunchOpensOnceRightAfterIt) {
    EXPECT_FALSE(mController.launchComplete());
    EXPECT_FALSE(mController.applicationOpenFiles({}));
    EXPECT_TRUE(mController.applicationOpenFiles({File("a.qtz")}));
    EXPECT_TRUE(mController.applicationOpenFiles({File("b.qtz"), File("c.qtz")}));  // the last one wins
    Drain();
    EXPECT_TRUE(Opened().isEmpty()) << "nothing opens before launch";
    EXPECT_EQ(mController.launchFileOpenPath(), File("b.qtz"));

    mController.applicationDidFinishLaunching(NSNotification());
    EXPECT_TRUE(mController.launchComplete());
    Drain();
    Drain();
    EXPECT_EQ(Opened(), QStringList{"b.qtz"});
    EXPECT_TRUE(mController.launchFileOpenPath().isEmpty());
    EXPECT_EQ(AppController::recentDocuments().value(0), File("b.qtz"));
}

TEST_F(AppControllerTest, AfterLaunchOnlyTheFirstFileOpensAtOnceAndTheAnswerSaysWhetherItOpened) {
    mController.applicationDidFinishLaunching(NSNotification());
    Drain();
    EXPECT_FALSE(mController.applicationOpenFiles({}));
    EXPECT_TRUE(mController.applicationOpenFiles({File("a.qtz"), File("b.qtz"), File("c.qtz")}));
    EXPECT_EQ(Opened(), QStringList{"a.qtz"});
    // A composition that does not open is no success (it used to answer YES whatever happened).
    EXPECT_FALSE(mController.openFile(File("missing.qtz")));
    EXPECT_FALSE(mController.applicationOpenFiles({File("missing.qtz")}));
    EXPECT_FALSE(mController.openFile(QString()));
    // Without a view that opens paths, a file that is no composition does not open either.
    AppController bare;
    EXPECT_FALSE(bare.openFile(File("a.qtz")));
}

TEST_F(AppControllerTest, TheOpenPanelGivesAPathOnlyForOKWithAFile) {
    const struct {
        const char *name;
        bool accepted;
        QString file;
        QString answer;
    } cases[] = {
        {"cancel", false, QString(), QString()},
        {"cancel with a file", false, "/x/a.qtz", QString()},
        {"OK without a file", true, QString(), QString()},
        {"OK with a file", true, "/x/a.qtz", "/x/a.qtz"},
    };
    for (const auto &c : cases) {
        QStringList asked;
        mController.setOpenPanel([&](const QStringList &extensions) {
            asked = extensions;
            return std::make_pair(c.accepted, c.file);
        });
        EXPECT_EQ(mController.openFileForType("qtz"), c.answer) << c.name;
        EXPECT_EQ(asked, QStringList{"qtz"}) << c.name;
    }
    // The composition menu item with a cancelled panel opens nothing.
    mController.setOpenPanel([](const QStringList &) { return std::make_pair(true, QString()); });
    mController.openComposition(nullptr);
    EXPECT_TRUE(Opened().isEmpty());
    // Images are chosen among the still-image extensions.
    QStringList asked;
    mController.setOpenPanel([&](const QStringList &extensions) {
        asked = extensions;
        return std::make_pair(false, QString());
    });
    mController.openBackgroundImage(nullptr);
    EXPECT_EQ(asked, (QStringList{"jpg", "png", "tif", "tiff"}));
}

TEST_F(AppControllerTest, LaunchAndTerminateFanOutInTheirOrder) {
    mController.applicationDidFinishLaunching(NSNotification());
    mController.applicationWillTerminate(NSNotification());
    EXPECT_EQ(mJournal, (QStringList{"inspector launch", "view launch", "bookmarks launch", "input launch", "input terminate",
                                     "view terminate", "bookmarks terminate", "inspector terminate"}));
}

TEST_F(AppControllerTest, OnlyTheMainWindowEndsTheApplication) {
    QWidget main, other;
    mController.outletMainWindow = &main;
    bool quit = false;
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, [&] { quit = true; });
    EXPECT_TRUE(mController.windowShouldClose(&other));
    EXPECT_TRUE(mController.windowShouldClose(nullptr));
    Drain();
    EXPECT_FALSE(quit);
}

TEST_F(AppControllerTest, TheSnapshotFolderOrWithCommandTheMoviesFolderIsRevealed) {
    FolderObject pictures, movies, none;
    pictures.folderPath = "/home/u/Pictures";
    movies.folderPath = "/home/u/Videos";
    mController.outletPicturesFolder = &pictures;
    mController.outletMoviesFolder = &movies;
    QStringList shown;
    bool refuse = false;
    mController.setFolderRevealer([&](const QString &path) {
        shown.append(path);
        return !refuse;
    });
    EXPECT_TRUE(mController.revealSnapshotFolder(0));
    EXPECT_TRUE(mController.revealSnapshotFolder(AppController::kCommandKeyMask));
    EXPECT_EQ(shown, (QStringList{"/home/u/Pictures", "/home/u/Videos"}));
    refuse = true;
    EXPECT_FALSE(mController.revealSnapshotFolder(0));
    mController.outletPicturesFolder = &none;  // no folder path: nothing shown
    EXPECT_FALSE(mController.revealSnapshotFolder(0));
    EXPECT_EQ(shown.size(), 3);
}

TEST_F(AppControllerTest, RecentDocumentsAreOurOwnListNewestFirst) {
    for (int i = 0; i < AppController::kRecentDocumentsLimit + 3; ++i)
        AppController::noteNewRecentDocument(QStringLiteral("/d/%1.qtz").arg(i));
    AppController::noteNewRecentDocument("/d/4.qtz");
    const QStringList recent = AppController::recentDocuments();
    ASSERT_EQ(recent.size(), AppController::kRecentDocumentsLimit);
    EXPECT_EQ(recent.first(), "/d/4.qtz");
    EXPECT_EQ(recent.count("/d/4.qtz"), 1);
    // A stored value of another kind is no list of paths.
    NSUserDefaults::standardUserDefaults().setObject(QVariant(5), "NSRecentDocuments");
    EXPECT_TRUE(AppController::recentDocuments().isEmpty());
    AppController::clearRecentDocuments();
    EXPECT_TRUE(AppController::recentDocuments().isEmpty());
}

}  // namespace

#include "AppControllerTests.moc"
