// The main nib in a window on the X server, in the test's own process, the way the program
// runs it: start-up, the application object, the nib with the delegate as owner, the launch.
//  - the camera window shows the test camera's moving colour bars through "iSight" (pixels
//    read from the window with the window-image layer);
//  - launch and terminate reach the controllers in their order (recording controllers in the
//    inspector's and the bookmarks panel's places);
//  - quitting leaves no thread and no file in the runtime folder behind;
//  - every menu item the application names is there, the unbuilt ones disabled.
#include <Lumora/LumoraMainNib.h>
#include <Lumora/LumoraMainWindow.h>

#include "WindowPixels.h"

#include <CoreGraphics/CGWindow.h>
#include <CoreGraphics/CGImage.h>
#include <CoreGraphics/CGDataProvider.h>
#include <Foundation/NSApplication.h>
#include <Foundation/NSNotification.h>
#include <LumoraApp/LumoraStartup.h>
#include <LumoraApp/NSUILumoraView.h>
#include <LumoraApp/QTZInputController.h>
#include <LumoraApp/UCoreFnSampler.h>
#include <QuickTime/TestCamera.h>

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QScreen>
#include <QPixmap>
#include <QImage>
#include <QFile>

#include <cstdlib>

namespace {

using namespace window_pixels;

void Spin(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

template <typename Condition>
bool SpinUntil(Condition condition, int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < milliseconds) Spin(10);
    return condition();
}

int ThreadCount() { return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size()); }

QStringList RuntimeFiles() {
    const QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return folder.isEmpty() ? QStringList() : QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

class Recorder : public QObject {
    Q_OBJECT
public:
    Recorder(QString name, QStringList *journal) : mName(std::move(name)), mJournal(journal) {}
    Q_INVOKABLE void applicationDidFinishLaunching(const NSNotification &) { mJournal->append(mName + " launch"); }
    Q_INVOKABLE void applicationWillTerminate(const NSNotification &) { mJournal->append(mName + " terminate"); }

private:
    QString mName;
    QStringList *mJournal;
};

class MainNibWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ::setenv("LUMORA_TEST_CAMERA", "1", 1);
        LumoraTestCameraSetUnplugged(false);
    }
    void SetUp() override {
        const char *display = std::getenv("DISPLAY");
        if (display == nullptr || *display == '\0') GTEST_SKIP() << "needs an X display (scripts/test runs this under Xvfb)";
        if (QCoreApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "LumoraProgramWindowTests";
            static char *argv[] = {name, nullptr};
            new QApplication(argc, argv);
            QApplication::setQuitOnLastWindowClosed(false);
        }
        LumoraProcessStartup();
    }
};

// One run of the application: start, launch, a few seconds of frames, the main window closed.
struct Session {
    int frames = 0;
    WindowPixels first, later;
    QRect viewArea;
    bool compositionOpen = false;
    QStringList journal;
};

Session RunSession() {
    Session session;
    NSApplication application;
    LumoraMainNib nib;
    if (!nib.load()) return session;
    AppController *delegate = nib.delegate();
    Recorder inspector("inspector", &session.journal), bookmarks("bookmarks", &session.journal);
    delegate->outletAppInspector = &inspector;
    delegate->outletBookmarksPanel = &bookmarks;
    delegate->observeApplication();
    NSNotificationCenter::ObserverToken token = NSNotificationCenter::defaultCenter().addObserverForName(
        QString::fromLatin1(NSApplicationDidFinishLaunchingNotification), nullptr, [&nib, &session](const NSNotification &) {
            nib.didFinishLaunching();
            session.journal.append(nib.renderView()->isCompositionOpenPrivate() ? "effect open" : "no effect");
        });
    NSUILumoraView *view = nib.renderView();
    QWidget *window = nib.mainWindow();
    window->show();
    if (!QTest::qWaitForWindowExposed(window) || !SpinUntil([view] { return view->hasWindowSurface(); }, 5000)) return session;
    QTimer::singleShot(0, [&] {
        // Frames enough for the camera to have started and the bars to show.
        SpinUntil([view] { return view->displayLinkFrameCount() >= 30; }, 20000);
        Spin(500);
        session.frames = int(view->displayLinkFrameCount());
        session.first = Capture(CGWindowID(window->winId()));
        Spin(400);
        session.later = Capture(CGWindowID(window->winId()));
        session.viewArea = QRect(view->mapTo(window, QPoint(0, 0)), view->size());
        session.compositionOpen = view->isCompositionOpenPrivate();
        delegate->windowShouldClose(window);  // the camera window closes: the application ends
    });
    application.run();
    NSNotificationCenter::defaultCenter().removeObserver(token);
    nib.close();
    return session;
}

// The threads of the process by id.
QStringList Threads() { return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot); }

// The runtime folder's files, but for what lives as long as the user's session: the surface
// registry and the lock files beside service names.
QStringList SessionRuntimeFiles() {
    QStringList files;
    for (const QString &name : RuntimeFiles())
        if (name != QLatin1String("IOSurface.registry") && !name.endsWith(QLatin1String(".lock"))) files.append(name);
    return files;
}

TEST_F(MainNibWindow, TheCameraWindowShowsTheTestCameraThroughISightAndQuitsClean) {
    const QStringList runtimeBefore = SessionRuntimeFiles();
    const Session session = RunSession();
    EXPECT_GE(session.frames, 30);
    EXPECT_TRUE(session.compositionOpen);
    ASSERT_GT(session.first.width, 100);
    ASSERT_EQ(session.first.width, session.later.width);
    ASSERT_TRUE(QRect(0, 0, session.first.width, session.first.height).contains(session.viewArea));
    EXPECT_NEAR(double(session.viewArea.width()) / session.viewArea.height(), 640.0 / 480.0, 0.01) << "the picture keeps 4:3";
    // The bars of the test camera, moving: the picture is live.
    const QRect bars = session.viewArea.adjusted(0, session.viewArea.height() / 4, 0, -session.viewArea.height() / 4);
    EXPECT_GE(BarColoursSeen(session.first, bars), 5);
    EXPECT_NE(session.first.pixels, session.later.pixels) << "the bars move from frame to frame";
    // Launch and terminate in their order, the effect opened once the controllers launched.
    EXPECT_EQ(session.journal, (QStringList{"inspector launch", "bookmarks launch", "effect open", "bookmarks terminate",
                                            "inspector terminate"}));
    EXPECT_EQ(SessionRuntimeFiles(), runtimeBefore) << SessionRuntimeFiles().join(", ").toStdString();
}

TEST_F(MainNibWindow, WithoutACameraTheLoopRunsAllTheSame) {
    // No V4L2 camera and the test camera unplugged: launch does not wait for one.
    LumoraTestCameraSetUnplugged(true);
    const Session session = RunSession();
    LumoraTestCameraSetUnplugged(false);
    EXPECT_GE(session.frames, 30);
    EXPECT_TRUE(session.compositionOpen);
}

TEST_F(MainNibWindow, ARunLeavesNoThreadBehind) {
    // The first run starts what lives as long as the process (the GL driver's and Qt's
    // threads, the frame-sharing run loops); a second run adds nothing that stays.
    RunSession();
    Spin(300);
    const QStringList after = Threads();
    const Session again = RunSession();
    EXPECT_GE(again.frames, 30);
    EXPECT_TRUE(SpinUntil([&] { return Threads().size() <= after.size(); }, 5000))
        << Threads().size() << " threads after the second run, " << after.size() << " after the first";
}

TEST_F(MainNibWindow, EveryMenuItemIsThereAndTheUnbuiltOnesAreDisabled) {
    LumoraMainNib nib;
    ASSERT_TRUE(nib.load());
    QWidget *window = nib.mainWindow();
    const struct {
        const char *name;
        bool enabled;
        const char *shortcut;
    } items[] = {
        {"menuOpenComposition", true, "Ctrl+O"}, {"menuReloadComposition", true, "Ctrl+R"},
        {"menuOpenBackgroundImage", true, ""},   {"menuOpenStencilImage", true, ""},
        {"menuRevealSnapshotFolder", true, ""},  {"menuQuit", true, "Ctrl+Q"},
        {"menuSnapShotTexture", true, "Ctrl+T"}, {"menuSnapShotDefaults", true, ""},
        {"menuSnapShotFormatJPEG", true, ""},    {"menuToggleMovieRecording", false, ""},
        {"menuCopy", false, "Ctrl+C"},           {"menuPaste", false, "Ctrl+V"},
        {"menuInputSettings", false, ""},        {"menuBookmarks", false, ""},
        {"menuInspector", false, ""},            {"_menuCheckForUpdates", false, ""},
        {"mMenuItemAboutApp", true, ""},
    };
    for (const auto &item : items) {
        auto *action = window->findChild<QAction *>(QString::fromLatin1(item.name));
        ASSERT_NE(action, nullptr) << item.name;
        EXPECT_EQ(action->isEnabled(), item.enabled) << item.name;
        EXPECT_EQ(action->shortcut().toString(), QString::fromLatin1(item.shortcut)) << item.name;
    }
    EXPECT_EQ(nib.delegate()->_openRecentMenu.data(), window->findChild<QMenu *>("_openRecentMenu"));
    // The nib's plain objects are connected.
    EXPECT_NE(nib.delegate()->outletInputController.data(), nullptr);
    EXPECT_NE(nib.delegate()->outletPicturesFolder.data(), nullptr);
    EXPECT_NE(nib.delegate()->outletMoviesFolder.data(), nullptr);
    EXPECT_NE(nib.renderView()->lumoraBuffer(), nullptr);
    // At launch the About item takes its title and the window its picture's aspect ratio.
    nib.delegate()->applicationDidFinishLaunching(NSNotification());
    EXPECT_EQ(nib.delegate()->mMenuItemAboutApp->text(), "About Lum@ra 2.0.4");
    nib.delegate()->applicationWillTerminate(NSNotification());
}

TEST(AspectFrame, TheViewKeepsItsRatioCentredInAnyFrame) {
    const struct {
        QSize frame;
        QSizeF ratio;
        QRect view;
    } cases[] = {
        {{640, 480}, {640, 480}, {0, 0, 640, 480}},
        {{800, 480}, {640, 480}, {80, 0, 640, 480}},
        {{640, 600}, {4, 3}, {0, 60, 640, 480}},
        {{0, 0}, {4, 3}, {0, 0, 0, 0}},
        {{300, 200}, {0, 0}, {0, 0, 300, 200}},
    };
    for (const auto &c : cases) EXPECT_EQ(LumoraAspectFrame::fittedRect(c.frame, c.ratio), c.view) << c.frame.width();
}

}  // namespace

#include "MainNibWindowTests.moc"
