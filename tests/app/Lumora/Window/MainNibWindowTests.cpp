// The main nib in a window on the X server, in the test's own process, the way the program
// runs it: start-up, the application object, the nib with the delegate as owner, the launch.
//  - the camera window shows the test camera's moving colour bars through "iSight" (pixels
//    read from the window with the window-image layer);
//  - launch and terminate reach the controllers in their order (recording controllers in the
//    inspector's and the bookmarks panel's places);
//  - quitting leaves no thread and no file in the runtime folder behind;
//  - every menu item the application names is there and works on what the nib joined: the
//    recorder makes a movie of the live picture, the effect stepper and amount reach the
//    composition, the look is copied as text and pasted back as a bookmark, the feed's saved
//    designs are listed in the Designs menu.
#include <Lumora/LumoraMainNib.h>
#include <Lumora/LumoraInputPanel.h>
#include <Lumora/LumoraMainWindow.h>

#include "WindowPixels.h"
#include "sdk/RiradI/RiradITestApplication.h"

#include <CoreGraphics/CGWindow.h>
#include <CoreGraphics/CGImage.h>
#include <CoreGraphics/CGDataProvider.h>
#include <Foundation/NSApplication.h>
#include <Foundation/NSNotification.h>
#include <LumoraApp/LumoraBookmarksPanel.h>
#include <LumoraApp/LumoraInterpolationController.h>
#include <LumoraApp/LumoraRecorder.h>
#include <LumoraApp/LumoraRenderBuffer.h>
#include <LumoraApp/LumoraStartup.h>
#include <LumoraApp/LumoraStepperController.h>
#include <LumoraApp/QMIDIController.h>
#include <QCam/Camera/QCamSwitcher.h>
#include <QCam/CameraControls/QCamReflecterView.h>
#include <QTKit/MovieFlattener.h>
#include <UICocoaControls/NSSlider.h>
#include <UICocoaControls/NSUIBookmarksController.h>
#include <UIParamMapping/ATOM_FEED.h>
#include <UIParamMapping/NSUIDesignCodes.h>
#include <UIParamMapping/NSUIDesignFeed.h>
#include <Foundation/NSUserDefaults.h>
#include <USecuritySandbox/USandboxUserFolder.h>
#include <dispatch/dispatch.h>
#include <LumoraApp/NSUILumoraView.h>
#include <LumoraApp/QTZInputController.h>
#include <LumoraApp/UCoreFnSampler.h>
#include <QuickTime/TestCamera.h>

#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <QTimer>
#include <QScreen>
#include <QPixmap>
#include <QImage>
#include <QFile>

#include <cstdlib>
#include <functional>

#include "support/EventLoop.h"

#include "MainNibTest.h"

namespace {

using namespace window_pixels;

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

class MainNibWindow : public MainNibTest {};

// One run of the application: start, launch, a few seconds of frames, what the test does
// with the running application, the main window closed. With recorders the launch order is
// journaled in the inspector's and the bookmarks panel's places; without, the nib's own
// panels launch.
struct Session {
    int frames = 0;
    WindowPixels first, later;
    QRect viewArea;
    bool compositionOpen = false;
    QStringList journal;
};

using SessionHook = std::function<void(LumoraMainNib &)>;

QAction *Item(LumoraMainNib &nib, const char *name) { return nib.mainWindow()->findChild<QAction *>(QString::fromLatin1(name)); }

Session RunSession(const SessionHook &whileRunning = {}, bool recorders = true) {
    Session session;
    NSApplication application;
    LumoraMainNib nib;
    if (!nib.load()) return session;
    AppController *delegate = nib.delegate();
    Recorder inspector("inspector", &session.journal), bookmarks("bookmarks", &session.journal);
    if (recorders) {
        delegate->outletAppInspector = &inspector;
        delegate->outletBookmarksPanel = &bookmarks;
    }
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
        if (whileRunning) whileRunning(nib);
        delegate->windowShouldClose(window);  // the camera window closes: the application ends
    });
    application.run();
    NSNotificationCenter::defaultCenter().removeObserver(token);
    nib.close();
    return session;
}

// The threads of the process by id, but for the global queues' pool: its threads live as long as
// the process and it grows to the peak of the parallel work asked of it (the masks' row bands),
// which depends on the machine's load.
QStringList Threads() {
    QStringList threads;
    for (const QString &id : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile name(QStringLiteral("/proc/self/task/%1/comm").arg(id));
        if (!name.open(QIODevice::ReadOnly) || name.readAll().trimmed() != "dispatch-pool") threads.append(id);
    }
    return threads;
}

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

TEST_F(MainNibWindow, EveryMenuItemIsThereAndJoinedToWhatItWorksOn) {
    LumoraMainNib nib;
    ASSERT_TRUE(nib.load());
    QWidget *window = nib.mainWindow();
    const struct {
        const char *name;
        bool enabled;
        const char *shortcut;
    } items[] = {
        {"menuOpenComposition", true, "Ctrl+O"},       {"menuReloadComposition", true, "Ctrl+R"},
        {"menuOpenBackgroundImage", true, ""},         {"menuOpenStencilImage", true, ""},
        {"menuRevealSnapshotFolder", true, ""},        {"menuQuit", true, "Ctrl+Q"},
        {"menuCopy", true, "Ctrl+C"},                  {"menuPaste", true, "Ctrl+V"},
        {"menuSnapShotTexture", true, "Ctrl+T"},       {"menuSnapShotDefaults", true, ""},
        {"menuSnapShotFormatJPEG", true, ""},          {"menuOpenSnapshot", true, ""},
        {"menuSnapshotCountDown", true, ""},
        {"menuToggleMovieRecording", true, "Ctrl+Shift+R"},
        {"menuPreviousEffect", true, "Ctrl+Up"},       {"menuNextEffect", true, "Ctrl+Down"},
        {"menuBookmarks", true, "Ctrl+B"},             {"menuCheckNewDesigns", true, ""},
        {"menuRefreshDesigns", true, ""},              {"menuInputSettings", true, "Ctrl+Shift+I"},
        {"menuInspector", true, "Ctrl+I"},             {"menuFilters", true, "Ctrl+Shift+F"},
        {"menuHelpContents", true, "F1"},
        {"_menuCheckForUpdates", true, ""},            {"menuInstallPlugIns", true, ""},
        {"mMenuItemAboutApp", true, ""},
    };
    for (const auto &item : items) {
        auto *action = window->findChild<QAction *>(QString::fromLatin1(item.name));
        ASSERT_NE(action, nullptr) << item.name;
        EXPECT_EQ(action->isEnabled(), item.enabled) << item.name;
        EXPECT_EQ(action->shortcut().toString(), QString::fromLatin1(item.shortcut)) << item.name;
    }
    AppController *delegate = nib.delegate();
    NSUILumoraView *view = nib.renderView();
    EXPECT_EQ(delegate->_openRecentMenu.data(), window->findChild<QMenu *>("_openRecentMenu"));
    // The nib's plain objects are connected, and so are the objects joined to it.
    EXPECT_NE(delegate->outletInputController.data(), nullptr);
    EXPECT_NE(delegate->outletPicturesFolder.data(), nullptr);
    EXPECT_NE(delegate->outletMoviesFolder.data(), nullptr);
    EXPECT_NE(view->lumoraBuffer(), nullptr);
    EXPECT_EQ(view->outletMenuItemOpenSnapshot.data(), Item(nib, "menuOpenSnapshot")) << "a menu item as an outlet";
    EXPECT_EQ(view->outletLumoraRecorder.data(), nib.recorder());
    EXPECT_NE(view->outletInterpolator.data(), nullptr);
    EXPECT_EQ(view->lumoraBuffer()->interpolationController(), view->outletInterpolator.data());
    EXPECT_EQ(delegate->outletBookmarksPanel.data(), nib.bookmarksPanel());
    ASSERT_NE(nib.bookmarksPanel(), nullptr);
    EXPECT_EQ(nib.bookmarksPanel()->mBookmarkTargetObject(), view);
    EXPECT_NE(view->outletBrowseController.data(), nullptr);
    ASSERT_NE(nib.midiController(), nullptr);
    EXPECT_EQ(nib.midiController()->outletAppController(), delegate) << "a MIDI note asks the delegate for a snapshot";
    // The effect pop-up: "iSight", a separator, then every effect of the packs, in the packs' order.
    const QStringList titles = nib.effectTitles();
    ASSERT_GT(titles.size(), 40);
    EXPECT_EQ(titles.first(), "iSight");
    EXPECT_TRUE(nib.effectsPopup()->itemText(1).isEmpty()) << "the separator";
    EXPECT_EQ(nib.stepper()->lumoraStepperMaximumValue(), nib.effectsPopup()->count() - 3);
    // At launch the About item takes its title and the window its picture's aspect ratio.
    delegate->applicationDidFinishLaunching(NSNotification());
    EXPECT_EQ(delegate->mMenuItemAboutApp->text(), "About Lum@ra 2.0.4");
    delegate->applicationWillTerminate(NSNotification());
}

TEST_F(MainNibWindow, RecordMovieMakesAMovieOfTheLivePictureWithSound) {
    const QString movies = USandboxMoviesFolder::defaultFolderPath();
    ASSERT_TRUE(QDir().mkpath(movies));
    bool recording = false, finished = false, made = false;
    QString moviePath;
    const Session session = RunSession([&](LumoraMainNib &nib) {
        QAction *record = Item(nib, "menuToggleMovieRecording");
        LumoraRecorder *recorder = nib.recorder();
        if (record == nullptr || recorder == nullptr) return;
        QObject::connect(recorder, &QMovieRecorderController::recordingFinished, [&](const QString &path, bool succeeded) {
            finished = true;
            made = succeeded;
            moviePath = path;
        });
        nib.mainWindow()->findChild<QToolButton *>("recordButton")->click();  // the bar's button is the item's
        recording = recorder->isRecording() && record->isChecked();
        Spin(1500);
        record->trigger();
        EXPECT_FALSE(record->isChecked());
        SpinUntil([&] {
            recorder->waitUntilFlatteningsFinished();
            dispatch_main_queue_drain();
            return finished;
        }, 30000);
    });
    EXPECT_GE(session.frames, 30);
    EXPECT_TRUE(recording) << "the item starts the recorder and shows it";
    ASSERT_TRUE(finished);
    EXPECT_TRUE(made);
    EXPECT_EQ(QFileInfo(moviePath).fileName(), "Lumora 0000.mov");
    lumora::qtkit::MovieFileInfo info;
    ASSERT_EQ(lumora::qtkit::GetMovieFileInfo(moviePath.toStdString(), info), 0);
    EXPECT_TRUE(info.hasVideo);
    EXPECT_TRUE(info.hasAudio) << "the test microphone's sound";
    EXPECT_EQ(info.width, 640);
    EXPECT_GE(info.videoFrames, 10) << "about a second and a half of frames";
    // Nothing but the movie is left in the folder.
    EXPECT_EQ(QDir(movies).entryList(QDir::Files), QStringList{"Lumora 0000.mov"});
}

TEST_F(MainNibWindow, QuittingWhileRecordingFinishesTheMovie) {
    const QString movies = USandboxMoviesFolder::defaultFolderPath();
    ASSERT_TRUE(QDir().mkpath(movies));
    bool recording = false;
    RunSession([&](LumoraMainNib &nib) {
        Item(nib, "menuToggleMovieRecording")->trigger();
        recording = nib.recorder()->isRecording();
        Spin(1000);
    });  // the window closes with the recording under way
    ASSERT_TRUE(recording);
    const QString movie = QDir(movies).filePath("Lumora 0000.mov");
    EXPECT_TRUE(SpinUntil([&] { return QFileInfo::exists(movie); }, 10000));
    lumora::qtkit::MovieFileInfo info;
    ASSERT_EQ(lumora::qtkit::GetMovieFileInfo(movie.toStdString(), info), 0);
    EXPECT_GE(info.videoFrames, 5);
    EXPECT_EQ(QDir(movies).entryList(QDir::Files), QStringList{"Lumora 0000.mov"}) << "nothing half-made left beside it";
}

TEST_F(MainNibWindow, TheStepperAndTheAmountReachTheComposition) {
    QString afterNext, afterPrevious, atTop;
    double amount = -1;
    RunSession([&](LumoraMainNib &nib) {
        QComboBox *popup = nib.effectsPopup();
        // From "iSight" (the bar's button is the item's): the first effect of the packs.
        nib.mainWindow()->findChild<QToolButton *>("nextEffectButton")->click();
        afterNext = nib.renderView()->compositionName();
        Item(nib, "menuNextEffect")->trigger();
        Item(nib, "menuPreviousEffect")->trigger();
        afterPrevious = nib.renderView()->compositionName();
        Item(nib, "menuPreviousEffect")->trigger();  // at the top: nothing above
        atTop = popup->currentText();
        auto *slider = nib.mainWindow()->findChild<NSSlider *>("effectAmountSlider");
        slider->setValue(slider->maximum());
        amount = qobject_cast<LumoraInterpolationController *>(nib.renderView()->outletInterpolator.data())->inputEffectAmountNormal();
        riradi_test::SaveScreenshot(nib.mainWindow(), QStringLiteral("CameraWindow"));
    });
    const QStringList titles = [] {
        LumoraMainNib nib;
        return nib.load() ? nib.effectTitles() : QStringList();
    }();
    ASSERT_GT(titles.size(), 1);
    EXPECT_EQ(afterNext, titles.at(1));
    EXPECT_EQ(afterPrevious, titles.at(1));
    EXPECT_EQ(atTop, titles.at(1));
    EXPECT_DOUBLE_EQ(amount, 1.0);
}

TEST_F(MainNibWindow, TheLookIsCopiedAsTextAndPastedBackAsABookmark) {
    QString copied, playing;
    qsizetype before = -1, after = -1;
    RunSession([&](LumoraMainNib &nib) {
        NSUIBookmarksController *bookmarks = nib.bookmarksPanel()->outletBookmarksController();
        QApplication::clipboard()->clear();
        Item(nib, "menuCopy")->trigger();
        copied = QApplication::clipboard()->text();
        playing = nib.renderView()->compositionName();
        before = bookmarks->presets().size();
        Item(nib, "menuPaste")->trigger();
        after = bookmarks->presets().size();
        LumoraMainNib::showPanel(nib.bookmarksPanel());
        riradi_test::SaveScreenshot(nib.bookmarksPanel(), QStringLiteral("BookmarksPanel"));
    });
    EXPECT_FALSE(playing.isEmpty()) << "the effect opened at launch is named";
    EXPECT_TRUE(copied.contains("camera.composition.menu=" + playing + ";")) << copied.toStdString();
    EXPECT_EQ(after, before + 1);
}

TEST_F(MainNibWindow, TheCameraDeviceMenuListsTheCamerasAndSwitchesBetweenThem) {
    // Items after "No Camera" and its separator: the cameras, the one in use checked.
    struct Listing {
        QStringList cameras;
        QString checked;
        bool channelOpen = false;
    };
    const auto list = [](LumoraMainNib &nib) {
        Listing listing;
        QMenu *menu = nib.mainWindow()->findChild<QMenu *>("menuCameraDevice");
        emit menu->aboutToShow();
        const QList<QAction *> items = menu->actions();
        for (qsizetype i = 0; i < items.size(); ++i) {
            if (items.at(i)->isChecked()) listing.checked = items.at(i)->text();
            if (i >= 2 && !items.at(i)->isSeparator()) listing.cameras.append(items.at(i)->text());
        }
        listing.channelOpen = nib.inputPanel()->reflecterView()->camReflecter()->HasVideoChannel();
        return listing;
    };
    Listing atLaunch, afterNoCamera, afterCamera;
    QString first;
    RunSession([&](LumoraMainNib &nib) {
        atLaunch = list(nib);
        QMenu *menu = nib.mainWindow()->findChild<QMenu *>("menuCameraDevice");
        ASSERT_GE(menu->actions().size(), 3);
        menu->actions().first()->trigger();  // "No Camera"
        afterNoCamera = list(nib);
        if (atLaunch.cameras.isEmpty()) return;
        first = atLaunch.cameras.first();
        for (QAction *item : menu->actions())
            if (item->text() == first) item->trigger();
        afterCamera = list(nib);
    });
    ASSERT_FALSE(atLaunch.cameras.isEmpty()) << "the test camera is listed";
    EXPECT_TRUE(atLaunch.channelOpen);
    EXPECT_EQ(atLaunch.checked, first);
    EXPECT_FALSE(afterNoCamera.channelOpen);
    EXPECT_EQ(afterNoCamera.checked, "No Camera");
    EXPECT_TRUE(afterCamera.channelOpen);
    EXPECT_EQ(afterCamera.checked, first);
}

TEST_F(MainNibWindow, WithTheCountDownOnTheSnapshotIsTakenThreeSecondsLater) {
    const QString pictures = USandboxPicturesFolder::defaultFolderPath();
    ASSERT_TRUE(QDir().mkpath(pictures));
    const auto taken = [&pictures] { return QDir(pictures).entryList(QDir::Files); };
    struct Shot {
        qint64 milliseconds = -1;
        QStringList countingFaces;
        QStringList files;
    };
    const auto shoot = [&](LumoraMainNib &nib, bool countDown) {
        Shot shot;
        Item(nib, "menuOpenSnapshot")->setChecked(false);
        Item(nib, "menuSnapshotCountDown")->setChecked(countDown);
        auto *button = nib.mainWindow()->findChild<QToolButton *>("snapshotButton");
        const QStringList before = taken();
        QElapsedTimer timer;
        timer.start();
        button->click();
        SpinUntil([&] {
            if (!shot.countingFaces.contains(button->text())) shot.countingFaces.append(button->text());
            return taken().size() > before.size();
        }, 15000);
        shot.milliseconds = timer.elapsed();
        shot.files = taken();
        return shot;
    };
    Shot counted, atOnce;
    RunSession([&](LumoraMainNib &nib) {
        counted = shoot(nib, true);
        SpinUntil([&] { return nib.mainWindow()->findChild<QToolButton *>("snapshotButton")->text() == "Snapshot"; }, 5000);
        atOnce = shoot(nib, false);
    });
    ASSERT_EQ(counted.files.size(), 1);
    EXPECT_GE(counted.milliseconds, 2500) << "three seconds counted down";
    EXPECT_TRUE(counted.countingFaces.contains("3…") && counted.countingFaces.contains("1…"))
        << counted.countingFaces.join(" ").toStdString();
    ASSERT_EQ(atOnce.files.size(), 2);
    EXPECT_LT(atOnce.milliseconds, counted.milliseconds);
    EXPECT_FALSE(atOnce.countingFaces.contains("3…"));
}

TEST_F(MainNibWindow, FramesAreSharedFromLaunchUntilTheShareButtonTurnsItOff) {
    struct State {
        bool sharing = false, checked = false;
    };
    std::vector<State> states;
    RunSession([&](LumoraMainNib &nib) {
        auto *button = nib.mainWindow()->findChild<QToolButton *>("shareButton");
        const auto note = [&] { states.push_back({nib.renderView()->isBroadcasting(), button->isChecked()}); };
        note();
        button->click();
        note();
        button->click();
        note();
    });
    ASSERT_EQ(states.size(), 3u);
    EXPECT_TRUE(states[0].sharing && states[0].checked) << "on from launch";
    EXPECT_TRUE(!states[1].sharing && !states[1].checked) << "off";
    EXPECT_TRUE(states[2].sharing && states[2].checked) << "on again";
}

TEST_F(MainNibWindow, TheSavedDesignsAreListedInTheDesignsMenu) {
    // Designs saved by an earlier download, and no check on start-up: nothing is downloaded.
    QVariantMap designs;
    for (const char *name : {"Alpha", "Beta"})
        designs.insert(name, ATOM_FEED_ITEM::toVariant(ATOM_FEED_ITEM::atomFeedItemWithTitle(
                                 name, NSUIDesignCodes::codeStringFromDictionary({{"design", name}}))));
    ASSERT_TRUE(NSUIDesignFeed::setPrefsDesignsDictionary(designs, QStringLiteral("Dedorodurero")));
    NSUserDefaults::standardUserDefaults().setObject(QVariant(qlonglong(0)), QStringLiteral("menuDesignsCheckNewDesignsOnStartup:"));
    QStringList listed;
    bool checkOnStartup = true;
    RunSession([&](LumoraMainNib &nib) {
        const QList<QAction *> items = nib.mainWindow()->findChild<QMenu *>("menuDesigns")->actions();
        for (qsizetype i = items.indexOf(Item(nib, "menuDesignsSeparator")) + 1; i > 0 && i < items.size(); ++i)
            listed.append(items.at(i)->text());
        checkOnStartup = Item(nib, "menuCheckNewDesigns")->isChecked();
    }, false);
    EXPECT_EQ(listed, (QStringList{"Alpha", "Beta"}));
    EXPECT_FALSE(checkOnStartup);
    EXPECT_EQ(ATOM_FEED_HTTP_GET::runningBackgroundGets(), 0);
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
