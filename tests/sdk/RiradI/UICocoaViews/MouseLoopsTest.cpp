// The modal mouse loops as state machines: what the hooks see for a sequence of presses, drags,
// idle moments, releases and cancellations, given to the widget as its own events.
#include <UICocoaViews/NSView_ModalMouse.h>
#include <UICocoaViews/protocol_MouseCapture.h>

#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QStringList>

#include "sdk/RiradI/RiradITestApplication.h"

namespace {

QString Point(QPointF p) { return QString("%1,%2").arg(p.x()).arg(p.y()); }

// One step of a case: "press x y", "alt-press x y", "right-press", "right-release",
// "drag x y", "stray x y" (a move with no button held), "release x y", "idle", "hide".
void Step(QWidget &view, const QString &step) {
    const QStringList words = step.split(' ');
    const QString &what = words[0];
    if (what == "idle") {
        riradi_test::RunPendingEvents();
        return;
    }
    if (what == "hide") {
        view.hide();
        return;
    }
    const QPointF local = words.size() == 3 ? QPointF(words[1].toDouble(), words[2].toDouble()) : QPointF(5, 5);
    const QPointF global = view.mapToGlobal(local);
    auto send = [&](QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons,
                    Qt::KeyboardModifiers modifiers = {}) {
        QMouseEvent event(type, local, global, button, buttons, modifiers);
        QCoreApplication::sendEvent(&view, &event);
    };
    if (what == "press") send(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton);
    else if (what == "alt-press") send(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, Qt::AltModifier);
    else if (what == "right-press") send(QEvent::MouseButtonPress, Qt::RightButton, Qt::LeftButton | Qt::RightButton);
    else if (what == "right-release") send(QEvent::MouseButtonRelease, Qt::RightButton, Qt::LeftButton);
    else if (what == "drag") send(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton);
    else if (what == "stray") send(QEvent::MouseMove, Qt::NoButton, Qt::NoButton);
    else if (what == "release") send(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton);
    else ADD_FAILURE() << "unknown step " << step.toStdString();
}

// A view that starts the view loop on every press and writes down each hook and each mouse
// event that still reaches it. It tracks the mouse, so moves without a button reach it too.
class ModalView : public QWidget, public NSView_ModalMouse {
public:
    ModalView() : NSView_ModalMouse(this) {
        setGeometry(100, 100, 200, 100);
        setMouseTracking(true);
    }
    QStringList log;
    NSViewModalMouse start;

    void modalMouseBegin(NSViewModalMouse &r) override { log << "Begin " + Point(r.location); }
    void modalMouseMove(NSViewModalMouse &r) override { log << "Move " + Point(r.location); }
    void modalMouseIdle(NSViewModalMouse &r) override {
        log << (r.optionDrag ? "Idle " + Point(r.optionAnchor) + ">" + Point(r.optionLocation)
                             : "Idle " + Point(r.location));
    }
    void modalMouseUp(NSViewModalMouse &r) override { log << "Up " + Point(r.location); }
    void modalMouseEnd(NSViewModalMouse &r) override { log << QString("End option=%1").arg(r.optionDrag); }

protected:
    void mousePressEvent(QMouseEvent *event) override {
        if (!mouseDown(start, *event)) log << "view press";
    }
    void mouseMoveEvent(QMouseEvent *) override { log << "view move"; }
    void mouseReleaseEvent(QMouseEvent *) override { log << "view release"; }
};

struct LoopCase {
    const char *name;
    QStringList steps;
    QStringList expected;
};

class ModalMouseLoop : public ::testing::TestWithParam<LoopCase>, public riradi_test::WithApplication {};

TEST_P(ModalMouseLoop, HooksFollowTheEvents) {
    ModalView view;
    view.show();
    for (const QString &step : GetParam().steps) Step(view, step);
    riradi_test::RunPendingEvents();
    EXPECT_EQ(view.log, GetParam().expected) << view.log.join(" | ").toStdString();
    EXPECT_FALSE(view.modalMouseIsTracking());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ModalMouseLoop,
    ::testing::Values(
        // One Move per event, the release included; one Idle per burst.
        LoopCase{"Drag",
                 {"press 10 10", "drag 20 10", "drag 30 12", "idle", "drag 40 12", "idle", "release 41 13"},
                 {"Begin 10,10", "Move 20,10", "Move 30,12", "Idle 30,12", "Move 40,12", "Idle 40,12", "Move 41,13",
                  "Up 41,13", "End option=0"}},
        LoopCase{"ClickWithoutDrag", {"press 10 10", "release 10 10"}, {"Begin 10,10", "Move 10,10", "Up 10,10", "End option=0"}},
        // A release before the pending idle step: no Idle after End.
        LoopCase{"ReleaseBeforeIdle",
                 {"press 10 10", "drag 20 10", "release 20 10"},
                 {"Begin 10,10", "Move 20,10", "Move 20,10", "Up 20,10", "End option=0"}},
        // Option mode: no Move at all; Idle sees the anchor and the latest point.
        LoopCase{"OptionDrag",
                 {"alt-press 10 10", "drag 15 20", "idle", "drag 20 25", "drag 25 30", "idle", "release 26 31"},
                 {"Begin 10,10", "Idle 10,10>15,20", "Idle 10,10>25,30", "Up 26,31", "End option=0"}},
        // The window goes away in the middle: End without Up; the view's own events come back.
        LoopCase{"HiddenWhileDragging",
                 {"press 10 10", "drag 20 10", "hide", "drag 30 10"},
                 {"Begin 10,10", "Move 20,10", "End option=0", "view move"}},
        // The release went elsewhere: the next press ends the old loop and starts a new one.
        LoopCase{"LostReleaseThenPress",
                 {"press 10 10", "drag 20 10", "press 50 50", "release 50 50"},
                 {"Begin 10,10", "Move 20,10", "End option=0", "Begin 50,50", "Move 50,50", "Up 50,50", "End option=0"}},
        LoopCase{"LostReleaseThenStrayMove",
                 {"alt-press 10 10", "drag 20 10", "stray 30 10"},
                 {"Begin 10,10", "End option=0", "view move"}},
        // Other buttons neither start nor end a loop, nor disturb one.
        LoopCase{"OtherButtons",
                 {"right-press", "press 10 10", "right-press", "right-release", "drag 12 10", "release 12 10"},
                 {"view press", "Begin 10,10", "view press", "view release", "Move 12,10", "Move 12,10", "Up 12,10",
                  "End option=0"}}),
    [](const ::testing::TestParamInfo<LoopCase> &info) { return std::string(info.param.name); });

// A widget whose paints are counted: the record's view in option mode.
class CountingView : public QWidget {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *) override { ++paints; }
};

TEST(ModalMouseRedisplay, OptionModeRedisplaysTheRecordsViewAndPlainModeTheReceiver) {
    riradi_test::Application();
    CountingView other;
    other.setGeometry(400, 100, 50, 50);
    other.show();
    class PlainView : public CountingView, public NSView_ModalMouse {
    public:
        PlainView() : NSView_ModalMouse(this) { setGeometry(100, 100, 200, 100); }
    } view;
    view.show();
    riradi_test::RunPendingEvents();

    NSViewModalMouse record;
    record.view = &other;
    const QPointF local(10, 10);
    QMouseEvent altPress(QEvent::MouseButtonPress, local, view.mapToGlobal(local), Qt::LeftButton, Qt::LeftButton,
                         Qt::AltModifier);
    ASSERT_TRUE(view.mouseDown(record, altPress));
    view.paints = other.paints = 0;
    Step(view, "drag 20 20");
    Step(view, "idle");
    EXPECT_GT(other.paints, 0);
    EXPECT_EQ(view.paints, 0);
    other.paints = 0;
    Step(view, "release 20 20");
    riradi_test::RunPendingEvents();
    EXPECT_GT(other.paints, 0);  // the end of option mode
    EXPECT_FALSE(view.modalMouseRecord().optionDrag);

    record.view = nullptr;
    QMouseEvent press(QEvent::MouseButtonPress, local, view.mapToGlobal(local), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    ASSERT_TRUE(view.mouseDown(record, press));
    view.paints = other.paints = 0;
    Step(view, "drag 30 20");
    Step(view, "idle");
    Step(view, "release 30 20");
    riradi_test::RunPendingEvents();
    EXPECT_GT(view.paints, 0);
    EXPECT_EQ(other.paints, 0);
}

// The capture loop writes its record's fields down at each hook.
class CaptureWidget : public QWidget, public protocol_MouseCapture {
public:
    explicit CaptureWidget(QWidget *parent = nullptr) : QWidget(parent), protocol_MouseCapture(this) {}
    QStringList log;

    void mouseCaptureBegin(MouseCaptureRecord &r) override {
        log << "Begin down " + Point(r.downLocation) + " at " + Point(r.location);
    }
    void mouseCaptureMove(MouseCaptureRecord &r) override {
        log << "Move " + Point(r.location) + QString(" idle=%1 event=%2").arg(r.idle).arg(int(r.event->type()));
    }
    void mouseCaptureIdle(MouseCaptureRecord &r) override {
        log << (r.optionDrag ? "Idle " + Point(r.optionAnchor) + ">" + Point(r.optionLocation)
                             : QString("Idle idle=%1").arg(r.idle));
    }
    void mouseCaptureUp(MouseCaptureRecord &r) override { log << "Up " + Point(r.location); }
    void mouseCaptureEnd(MouseCaptureRecord &r) override { log << QString("End option=%1").arg(r.optionDrag); }

protected:
    void mousePressEvent(QMouseEvent *event) override {
        if (!protocol_MouseCaptureEventLoop(std::make_unique<MouseCaptureRecord>(*event))) log << "no loop";
    }
};

TEST(MouseCaptureLoop, AViewWorksInItsOwnCoordinates) {
    riradi_test::Application();
    QWidget window;
    window.setGeometry(100, 100, 300, 200);
    CaptureWidget view(&window);
    view.setGeometry(20, 30, 100, 100);
    window.show();
    for (const char *step : {"press 10 10", "drag 20 10", "drag 30 15", "idle", "release 31 16"}) Step(view, step);
    riradi_test::RunPendingEvents();
    EXPECT_EQ(view.log, (QStringList{"Begin down 10,10 at 10,10", "Move 20,10 idle=0 event=5", "Move 30,15 idle=0 event=5",
                                     "Idle idle=1", "Move 31,16 idle=0 event=3", "Up 31,16", "End option=0"}))
        << view.log.join(" | ").toStdString();
    EXPECT_EQ(view.mouseCaptureRecord()->event->type(), QEvent::MouseButtonRelease);
}

TEST(MouseCaptureLoop, AWindowWorksInScreenCoordinatesAndOptionModeFramesTheDrag) {
    riradi_test::Application();
    CaptureWidget window;
    window.setGeometry(100, 100, 300, 200);
    window.show();
    for (const char *step : {"alt-press 10 10", "drag 20 10", "idle", "hide"}) Step(window, step);
    EXPECT_EQ(window.log, (QStringList{"Begin down 110,110 at 110,110", "Idle 110,110>120,110", "End option=0"}))
        << window.log.join(" | ").toStdString();
}

TEST(MouseCaptureLoop, AnObjectThatIsNoWidgetRunsNoLoop) {
    riradi_test::Application();
    QObject object;
    struct Capture : protocol_MouseCapture {
        using protocol_MouseCapture::protocol_MouseCapture;
        int hooks = 0;
        void mouseCaptureBegin(MouseCaptureRecord &) override { ++hooks; }
        void mouseCaptureEnd(MouseCaptureRecord &) override { ++hooks; }
    } capture(&object);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(3, 4), QPointF(3, 4), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    auto record = std::make_unique<MouseCaptureRecord>(press);
    EXPECT_EQ(capture.mouseCaptureLocation(*record), QPointF(0, 0));
    EXPECT_FALSE(capture.protocol_MouseCaptureEventLoop(std::move(record)));
    EXPECT_FALSE(capture.mouseCaptureIsTracking());
    EXPECT_EQ(capture.hooks, 0);
}

}  // namespace
