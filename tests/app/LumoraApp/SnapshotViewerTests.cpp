// The snapshot viewer and the shutter's count-down control:
//  - viewers cascade down by one more title-bar height each, ten times, then start over;
//  - a picture is shown and titles the window; a movie that cannot be shown leaves the window
//    untitled with the image view hidden; the toolbar offers open and reveal (no photo
//    library here), reveal falling back to opening the folder when no file manager answers;
//  - the shutter sound is the chosen item's title with ".aiff", "Default.aiff" at launch, and
//    the count-down switch is kept under "_enabled".
#include <LumoraApp/LumCountDownCtrl.h>
#include <LumoraApp/SnapViewWindowController.h>

#include <AppKit/NSButton.h>
#include <Foundation/NSUserDefaults.h>

#include <gtest/gtest.h>

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QToolBar>

#include <vector>

#include "sdk/RiradI/RiradITestApplication.h"

namespace {

std::vector<QString> sOpened, sRevealed;
bool sRevealAnswers = true;
bool RecordOpen(const QString &path) {
    sOpened.push_back(path);
    return true;
}
bool RecordReveal(const QString &path) {
    sRevealed.push_back(path);
    return sRevealAnswers;
}

class SnapshotViewer : public ::testing::Test, public riradi_test::WithApplication {
protected:
    void SetUp() override {
        SnapViewWindowController::resetCascadeCount();
        SnapViewWindow::setUrlOpenerForTesting(&RecordOpen);
        SnapViewWindow::setFileRevealerForTesting(&RecordReveal);
        sOpened.clear();
        sRevealed.clear();
        mPicture = QDir::homePath() + "/Lumora 0000.png";
        QImage image(32, 24, QImage::Format_RGB32);
        image.fill(qRgb(10, 200, 30));
        ASSERT_TRUE(image.save(mPicture));
    }
    void TearDown() override {
        for (const QPointer<SnapViewWindow> &window : mWindows) delete window.data();
        SnapViewWindow::setUrlOpenerForTesting(nullptr);
        SnapViewWindow::setFileRevealerForTesting(nullptr);
    }
    SnapViewWindow *Open(const QString &path) {
        SnapViewWindow *window = SnapViewWindowController::snapViewForMediaPath(path);
        mWindows.emplace_back(window);
        return window;
    }
    QString mPicture;
    std::vector<QPointer<SnapViewWindow>> mWindows;
};

TEST_F(SnapshotViewer, TwelveViewersCascadeTenTimesThenStartOver) {
    std::vector<int> counters;
    for (int i = 0; i < 12; ++i) {
        counters.push_back(SnapViewWindowController::cascadeCount());
        ASSERT_NE(Open(mPicture), nullptr);
    }
    EXPECT_EQ(counters, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0}));
    EXPECT_EQ(SnapViewWindowController::cascadeCount(), 1);
    EXPECT_EQ(SnapViewWindowController::snapViewForMediaPath(QString()), nullptr);
}

TEST_F(SnapshotViewer, APictureIsShownAMovieItCannotShowLeavesItUntitled) {
    SnapViewWindow *window = Open(mPicture);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->mediaPath(), mPicture);
    EXPECT_EQ(window->image().size(), QSize(32, 24));
    EXPECT_FALSE(window->imageView()->isHidden());
    EXPECT_EQ(window->windowTitle(), "Lumora 0000.png");
    ASSERT_NE(window->controller(), nullptr);
    EXPECT_EQ(window->controller()->snapWindow(), window);

    SnapViewWindow *movie = Open(QDir::homePath() + "/Lumora 0000.mov");
    ASSERT_NE(movie, nullptr);
    EXPECT_TRUE(movie->imageView()->isHidden());
    EXPECT_TRUE(movie->windowTitle().isEmpty());
    SnapViewWindow *broken = Open(QDir::homePath() + "/missing.png");
    EXPECT_TRUE(broken->image().isNull());
    EXPECT_TRUE(broken->windowTitle().isEmpty());
}

TEST_F(SnapshotViewer, TheToolbarOpensAndRevealsTheFile) {
    SnapViewWindow *window = Open(mPicture);
    const QList<QAction *> items = window->toolbar()->actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0]->toolTip(), "Open with Finder");
    EXPECT_EQ(items[0]->text(), "Open");
    EXPECT_EQ(items[1]->toolTip(), "Reveal in Finder");
    EXPECT_EQ(items[1]->text(), "Reveal");

    items[0]->trigger();
    EXPECT_EQ(sOpened, (std::vector<QString>{mPicture}));
    items[1]->trigger();
    EXPECT_EQ(sRevealed, (std::vector<QString>{mPicture}));
    EXPECT_EQ(sOpened.size(), 1u);
    // No file manager answers: the folder is opened.
    sRevealAnswers = false;
    window->toolbarItemAction("Reveal in Finder");
    sRevealAnswers = true;
    ASSERT_EQ(sOpened.size(), 2u);
    EXPECT_EQ(sOpened[1], QDir::homePath());
    window->toolbarItemAction("Import in iPhoto");  // not offered: nothing happens
    EXPECT_EQ(sOpened.size(), 2u);
    EXPECT_EQ(sRevealed.size(), 2u);
}

TEST(LumCountDownCtrlTest, TheShutterSoundAndTheSwitchAreKept) {
    riradi_test::Application();
    NSUserDefaults::standardUserDefaults().removeObject("_enabled");
    LumCountDownCtrl control;
    NSButton enabled;
    control.setEnabledSwitch(&enabled);
    control.applicationDidFinishLaunching(NSNotification());
    EXPECT_EQ(control.cameraClickSoundFile(), "Default.aiff");
    EXPECT_FALSE(control.countdownEnabled());

    QActionGroup group(nullptr);
    QAction shutter("Shutter", &group), standard("Default", &group);
    for (QAction *item : {&shutter, &standard}) item->setCheckable(true);
    control.shutterSoundChanged(&shutter);
    EXPECT_EQ(control.cameraClickSoundFile(), "Shutter.aiff");
    EXPECT_TRUE(shutter.isChecked());
    control.shutterSoundChanged(&standard);
    EXPECT_EQ(control.cameraClickSoundFile(), "Default.aiff");
    EXPECT_TRUE(standard.isChecked());
    EXPECT_FALSE(shutter.isChecked());

    control.setCountdownEnabled(true);
    EXPECT_EQ(enabled.state(), 1);
    control.applicationWillTerminate(NSNotification());
    LumCountDownCtrl next;
    NSButton nextEnabled;
    next.setEnabledSwitch(&nextEnabled);
    next.applicationDidFinishLaunching(NSNotification());
    EXPECT_TRUE(next.countdownEnabled());
    NSUserDefaults::standardUserDefaults().removeObject("_enabled");
}

}  // namespace
