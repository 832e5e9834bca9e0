// Borderless windows on the X11 display moved and sized by synthetic drags (mouse events with
// their screen positions, given to the window as the window system gives them), and the first
// click of an inactive application.
#include <UICocoaWindows/NSAlphaWindow.h>
#include <UICocoaWindows/NSUIFirstClickApp.h>
#include <UICocoaWindows/category_NSWindow_MouseMoveSize.h>

#include "../../RiradITestApplication.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include <cstdlib>
#include <vector>

// The AddressSanitizer suppressions of this program, read at start-up.
extern "C" const char *__asan_default_options() { return "suppressions=" LUMORA_ASAN_SUPPRESSIONS; }

namespace {

using riradi_test::WindowApplication;

class OnDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) GTEST_FAIL() << "the gui tests run on an X display (xvfb-run)";
        WindowApplication();
    }
};

// A mouse event at a screen position, given to the window's QWindow (which finds the widget
// under it and keeps Qt's implicit grab, as for the window system's events).
void Send(QWidget &window, QEvent::Type type, QPointF global, Qt::MouseButton button, Qt::MouseButtons buttons) {
    const QPointF local = window.mapFromGlobal(global);
    QMouseEvent event(type, local, local, global, button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(window.windowHandle(), &event);
    QCoreApplication::processEvents();
}

// Press at a point of the window, drag through the offsets from there, release at the last.
void Drag(QWidget &window, QPoint pressInWindow, const std::vector<QPoint> &offsets) {
    const QPointF start = window.mapToGlobal(QPointF(pressInWindow));
    Send(window, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    QPointF at = start;
    for (const QPoint &offset : offsets) {
        at = start + QPointF(offset);
        Send(window, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
    }
    Send(window, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    QTest::qWait(30);
}

// Waits until the X server has given the window the frame.
::testing::AssertionResult HasFrame(QWidget &window, QRect frame) {
    for (int i = 0; i < 100 && (window.frameGeometry() != frame || window.windowHandle()->geometry() != frame); ++i)
        QTest::qWait(10);
    if (window.frameGeometry() == frame && window.windowHandle()->geometry() == frame)
        return ::testing::AssertionSuccess();
    const QRect got = window.frameGeometry();
    return ::testing::AssertionFailure() << "frame " << got.x() << "," << got.y() << " " << got.width() << "x"
                                         << got.height();
}

// A borderless window with the standard move-and-size behaviour, or with a given hit region.
class MovingWindow : public NSAlphaWindowWithoutShadow, public category_NSWindow_MouseMoveSize {
public:
    explicit MovingWindow(QRect frame) : NSAlphaWindowWithoutShadow(frame), category_NSWindow_MouseMoveSize(this) {}
    int hitRegion = -1;  // -1: the standard behaviour
    bool hideOnSingleClick = false;
    int singleClicks = 0;
    int dragMoves = 0;
    int ends = 0;

    void windowMouseMoveSize_SingleClick() override {
        ++singleClicks;
        if (hideOnSingleClick) hide();
    }
    void windowMouseMoveSize_OnDragMoved() override { ++dragMoves; }
    void mouseCaptureEnd(MouseCaptureRecord &) override { ++ends; }

protected:
    void mousePressEvent(QMouseEvent *event) override {
        if (hitRegion < 0)
            windowMouseMoveSize_StandardBehaviour(*event);
        else
            windowMouseMoveSize_FromHitRegion(*event, hitRegion);
    }
};

using WindowDrag = OnDisplay;

TEST_F(WindowDrag, PanelsFollowTheMouseEvenFromACorner) {
    NSAlphaPanelWithoutShadow panel(QRect(100, 100, 200, 150));
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    Drag(panel, {60, 50}, {{10, 5}, {50, 30}});
    EXPECT_TRUE(HasFrame(panel, QRect(150, 130, 200, 150)));
    Drag(panel, {5, 5}, {{-20, 40}});  // the top-left corner
    EXPECT_TRUE(HasFrame(panel, QRect(130, 170, 200, 150)));
    Drag(panel, {195, 145}, {{10, 10}});  // the bottom-right corner
    EXPECT_TRUE(HasFrame(panel, QRect(140, 180, 200, 150)));
}

TEST_F(WindowDrag, StandardAndGivenRegionsMoveOrSizeAsTheyShould) {
    struct Case {
        const char *name;
        int hitRegion;
        QPoint press;
        std::vector<QPoint> offsets;
        QRect frame;
    };
    const std::vector<Case> cases = {
        {"bottom-right corner sizes", -1, {195, 145}, {{20, 10}, {50, 30}}, {100, 200, 250, 180}},
        {"top-left corner moves", -1, {5, 5}, {{20, 10}}, {120, 210, 200, 150}},
        {"past the minimum width the window is pushed left", -1, {195, 145}, {{-190, 0}}, {50, 200, 60, 150}},
        {"the top stops at the top of the screen", -1, {100, 75}, {{0, -100}, {0, -300}}, {100, 0, 200, 150}},
        {"a given region may go higher", 0, {100, 75}, {{0, -300}}, {100, -100, 200, 150}},
        {"top-left region sizes", 1, {5, 5}, {{-20, -10}}, {80, 190, 220, 160}},
        {"top-right region sizes", 2, {195, 5}, {{20, 10}}, {100, 210, 220, 140}},
        {"bottom-left region sizes", 3, {5, 145}, {{20, 10}}, {120, 200, 180, 160}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MovingWindow window(QRect(100, 200, 200, 150));
        window.setMinimumSize(60, 40);
        window.hitRegion = c.hitRegion;
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        Drag(window, c.press, c.offsets);
        EXPECT_TRUE(HasFrame(window, c.frame));
        EXPECT_EQ(window.singleClicks, 0);
        EXPECT_EQ(window.ends, 1);
        EXPECT_FALSE(window.mouseCaptureIsTracking());
    }
}

TEST_F(WindowDrag, AClickOrADragBackToThePressIsASingleClick) {
    MovingWindow window(QRect(100, 200, 200, 150));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    Drag(window, {100, 75}, {});
    EXPECT_EQ(window.singleClicks, 1);
    EXPECT_EQ(window.dragMoves, 1);  // the release is a move too
    Drag(window, {100, 75}, {{30, 20}, {0, 0}});
    EXPECT_EQ(window.singleClicks, 2);
    Drag(window, {100, 75}, {{30, 20}});
    EXPECT_EQ(window.singleClicks, 2);
    EXPECT_TRUE(HasFrame(window, QRect(130, 220, 200, 150)));
    EXPECT_EQ(window.ends, 3);
}

TEST_F(WindowDrag, ASingleClickThatHidesTheWindowEndsTheLoopOnce) {
    MovingWindow window(QRect(100, 200, 200, 150));
    window.hideOnSingleClick = true;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    Drag(window, {100, 75}, {});
    EXPECT_EQ(window.singleClicks, 1);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.ends, 1);
}

TEST_F(WindowDrag, HidingTheWindowMidDragCancelsTheLoop) {
    MovingWindow window(QRect(100, 200, 200, 150));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QPointF start = window.mapToGlobal(QPointF(100, 75));
    Send(window, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    Send(window, QEvent::MouseMove, start + QPointF(10, 0), Qt::NoButton, Qt::LeftButton);
    window.hide();
    EXPECT_EQ(window.ends, 1);
    EXPECT_FALSE(window.mouseCaptureIsTracking());
    // The release comes later: the loop has ended already.
    Send(window, QEvent::MouseButtonRelease, start, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(window.ends, 1);
    EXPECT_EQ(window.singleClicks, 0);
}

// A view that takes the first click, and one that does not; both write down their presses.
class ClickView : public QWidget {
    Q_OBJECT
public:
    ClickView(QWidget *parent, bool accepts) : QWidget(parent), mAccepts(accepts) {}
    Q_INVOKABLE bool acceptsFirstMouse(QMouseEvent *) const { return mAccepts; }
    QStringList presses;

protected:
    void mousePressEvent(QMouseEvent *event) override {
        presses << QString("%1 %2 at %3,%4")
                       .arg(event->type() == QEvent::MouseButtonDblClick ? "double" : "press")
                       .arg(event->button() == Qt::LeftButton ? "left" : "other")
                       .arg(event->position().x())
                       .arg(event->position().y());
    }
    void mouseReleaseEvent(QMouseEvent *) override { presses << "release"; }

private:
    bool mAccepts;
};

class FirstClick : public OnDisplay {
protected:
    void SetUp() override {
        OnDisplay::SetUp();
        window.setGeometry(200, 200, 300, 100);
        accepting.setGeometry(0, 0, 150, 100);
        refusing.setGeometry(150, 0, 150, 100);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        // No button is held as the application is activated (an earlier test may have left Qt
        // thinking one is).
        if (QGuiApplication::mouseButtons() != Qt::NoButton) QTest::mouseRelease(&window, Qt::LeftButton, {}, {299, 99});
        ASSERT_EQ(QGuiApplication::mouseButtons(), Qt::NoButton);
    }
    bool Activate(QPoint inWindow) {
        QCursor::setPos(window.mapToGlobal(inWindow));
        for (int i = 0; i < 100 && QCursor::pos() != window.mapToGlobal(inWindow); ++i) QTest::qWait(10);
        QEvent activate(QEvent::ApplicationActivate);
        return application.sendEvent(QCoreApplication::instance(), &activate);
    }
    struct ApplicationFirst {
        ApplicationFirst() { WindowApplication(); }
    } applicationFirst;
    NSUIFirstClickApp application;
    QWidget window;
    ClickView accepting{&window, true};
    ClickView refusing{&window, false};
};

TEST_F(FirstClick, TheActivatingClickReachesAViewThatAcceptsItAsOneLeftPress) {
    EXPECT_FALSE(Activate({40, 30}));  // the activation itself still goes on to Qt
    EXPECT_EQ(accepting.presses, QStringList{"press left at 40,30"});
    // The window manager passes the same click through: it is not given twice.
    QTest::mousePress(&accepting, Qt::LeftButton, {}, {40, 30});
    QTest::mouseRelease(&accepting, Qt::LeftButton, {}, {40, 30});
    EXPECT_EQ(accepting.presses, (QStringList{"press left at 40,30", "release"}));
    // Later clicks are the user's own.
    QTest::mouseClick(&accepting, Qt::LeftButton, {}, {10, 10}, 600);
    EXPECT_EQ(accepting.presses.size(), 4);
    EXPECT_TRUE(refusing.presses.isEmpty());
}

TEST_F(FirstClick, AViewThatRefusesTheFirstMouseGetsNothing) {
    EXPECT_FALSE(Activate({200, 30}));
    QTest::qWait(20);
    EXPECT_TRUE(refusing.presses.isEmpty());
    EXPECT_TRUE(accepting.presses.isEmpty());
    // Its clicks then arrive as usual.
    QTest::mouseClick(&refusing, Qt::LeftButton, {}, {20, 20});
    EXPECT_EQ(refusing.presses, (QStringList{"press left at 20,20", "release"}));
}

TEST_F(FirstClick, OutsideEveryWindowNothingIsMade) {
    EXPECT_FALSE(Activate({-50, 30}));
    EXPECT_TRUE(accepting.presses.isEmpty());
    EXPECT_TRUE(refusing.presses.isEmpty());
}

}  // namespace

#include "WindowDragTest.moc"
