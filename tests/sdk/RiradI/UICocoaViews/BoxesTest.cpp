// Retro, reset and reset-lock boxes: where their cells go, the cells they make, the reset
// and lock buttons under the mouse, and the requests to the target through the main thread.
#include <UICocoaViews/NSUIResetLockBox.h>

#include <Foundation/NSObjCRuntime.h>
#include <dispatch/dispatch.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "UICocoaViewsTestSupport.h"
#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"

namespace {

using views_test::Click;
using views_test::RecordingCell;

class BoxTarget : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void resetBoxControls(QObject *box) { record("reset", QVariant::fromValue(box)); }
    Q_INVOKABLE void changedBoxControls(QObject *box) { record("changed", QVariant::fromValue(box)); }
    Q_INVOKABLE void takeObject(const QVariant &object) { record("take", object); }
    Q_INVOKABLE void sliderMoved(QObject *slider) {
        record("slider", qobject_cast<NSSliderCell *>(slider)->integerValue());
    }

    struct Call {
        QByteArray name;
        QVariant argument;
        std::thread::id thread;
    };
    std::vector<Call> calls;

private:
    void record(const char *name, const QVariant &argument) {
        calls.push_back({name, argument, std::this_thread::get_id()});
    }
};

// A reset box that resets its controls itself.
class SelfResettingBox : public NSUIResetBox {
    Q_OBJECT
public:
    Q_INVOKABLE void resetBoxControls(QObject *sender) { senders.push_back(sender); }
    std::vector<QObject *> senders;
};

class Boxes : public corex_test::DebugLogFileTest, public riradi_test::WithApplication {
protected:
    void SetUp() override {
        DebugLogFileTest::SetUp();
        dispatch_main_queue_drain();
    }
};

CGRect FrameOf(const NSUIRetroBox &box, size_t index) { return box.attachments().pairs.at(index).frame; }

TEST_F(Boxes, ButtonsRunAlongTheTopAndSettleTwoBelowItOnceDrawn) {
    NSUIResetLockBox box;
    box.resize(200, 100);
    EXPECT_FALSE(box.controlsLocked());
    box.setControlsLocked(true);  // no toggle yet: nothing
    EXPECT_FALSE(box.controlsLocked());
    box.awakeFromNib();
    ASSERT_EQ(box.attachments().pairs.size(), 2u);
    EXPECT_EQ(box.attachments().pairs[1].cell.get(), box.lockButton());
    EXPECT_TRUE(CGRectEqualToRect(FrameOf(box, 0), CGRectMake(4, 76, 16, 16)));
    EXPECT_TRUE(CGRectEqualToRect(FrameOf(box, 1), CGRectMake(24, 76, 16, 16)));
    const CGPoint origin = box.attachmentOrigin(box.lockButton());
    EXPECT_EQ(origin.x, 24);

    views_test::Rendered(&box);
    EXPECT_TRUE(CGRectEqualToRect(FrameOf(box, 0), CGRectMake(4, 82, 16, 16)));
    EXPECT_TRUE(CGRectEqualToRect(FrameOf(box, 1), CGRectMake(24, 82, 16, 16)));
    EXPECT_EQ(LogText(), "");
}

TEST_F(Boxes, CellsMadeForBoxes) {
    NSUIRetroBox box;
    box.resize(200, 100);
    auto slider = box.addIntSliderCell(5, "sliderMoved:");
    ASSERT_TRUE(slider);
    EXPECT_EQ(slider->numberOfTickMarks(), 5);
    EXPECT_EQ(slider->minValue(), 0);
    EXPECT_EQ(slider->maxValue(), 4);
    EXPECT_TRUE(slider->allowsTickMarkValuesOnly());
    EXPECT_TRUE(slider->isContinuous());
    EXPECT_EQ(slider->controlSize(), NSMiniControlSize);
    EXPECT_EQ(slider->tickMarkPosition(), NSTickMarkAbove);
    EXPECT_EQ(slider->integerValue(), 0);
    EXPECT_EQ(slider->target(), &box);
    EXPECT_EQ(slider->action(), "sliderMoved:");
    // At (0, 2) past the first free x (4), 20 x 4 wide, 12 high, no margin.
    EXPECT_TRUE(CGRectEqualToRect(FrameOf(box, 0), CGRectMake(4, 90, 80, 12)));

    // The next cell follows with no gap; a plain cell sits on the top edge.
    auto plain = std::make_shared<RecordingCell>(NSMakeSize(10, 6));
    box.addAttachmentCell(plain);
    EXPECT_TRUE(CGRectEqualToRect(FrameOf(box, 1), CGRectMake(84, 94, 10, 6)));

    // A null slider is reported and not added.
    EXPECT_EQ(box.addSliderCell(nullptr), nullptr);
    EXPECT_EQ(box.attachments().pairs.size(), 2u);
    EXPECT_EQ(LogText(), "VERIFY FAILED:  code : sliderCell in /Code/sdk/RiradI/UICocoaViews/NSUIRetroBox:233 "
                         "(-[NSUIRetroBox addSliderCell:])\n");

    // Buttons: image only, no border; a down image is shown by contents instead of a highlight.
    auto up = NSUIRetroBox::boxImageNamed("LockButton");
    auto down = NSUIRetroBox::boxImageNamed("LockedButton");
    ASSERT_TRUE(up && down);
    EXPECT_EQ(NSUIRetroBox::boxImageNamed("Other"), nullptr);
    const auto pair = NSUIRetroBox::buttonCellType(NSToggleButton, up, down, "lock:", &box);
    EXPECT_EQ(pair->bezelStyle(), NSShadowlessSquareBezelStyle);
    EXPECT_EQ(pair->imagePosition(), NSImageOnly);
    EXPECT_FALSE(pair->isBordered() || pair->isBezeled());
    EXPECT_EQ(pair->title(), "");
    EXPECT_EQ(pair->alternateImage(), down);
    EXPECT_EQ(pair->highlightsBy(), NSContentsCellMask);  // lights by contents only
    EXPECT_EQ(pair->cellAttribute(NSCellLightsByContents), 1);
    EXPECT_EQ(pair->shownImage(), up);
    pair->setState(1);
    EXPECT_EQ(pair->shownImage(), down);  // a toggle that is on
    const auto single = NSUIRetroBox::buttonCellType(NSMomentaryPushInButton, up, nullptr, "push:", nullptr);
    EXPECT_EQ(single->alternateImage(), nullptr);
    EXPECT_NE(single->highlightsBy(), 0);
    EXPECT_EQ(single->cellAttribute(NSCellLightsByContents), 0);
    EXPECT_TRUE(NSEqualSizes(single->cellSize(), NSMakeSize(16, 16)));
}

// The reset button (Qt (12, 10) lies in it once drawn) asks the target through the main
// queue, without waiting; a box that resets itself is asked at once with the button.
TEST_F(Boxes, ResetButtonAsksTheBoxOrQueuesToTheTarget) {
    BoxTarget target;
    NSUIResetLockBox box;
    box.resize(200, 100);
    box.setTarget(&target);
    box.awakeFromNib();
    views_test::Rendered(&box);
    Click(&box, QPointF(12, 10));
    EXPECT_TRUE(target.calls.empty());
    EXPECT_EQ(dispatch_main_queue_drain(), 1);
    ASSERT_EQ(target.calls.size(), 1u);
    EXPECT_EQ(target.calls[0].name, "reset");
    EXPECT_EQ(target.calls[0].argument.value<QObject *>(), &box);
    EXPECT_EQ(target.calls[0].thread, std::this_thread::get_id());

    // The lock toggle flips the lock at each click; the reset button stays first.
    Click(&box, QPointF(32, 10));
    EXPECT_TRUE(box.controlsLocked());
    Click(&box, QPointF(32, 10));
    EXPECT_FALSE(box.controlsLocked());
    box.setControlsLocked(true);
    EXPECT_EQ(box.lockButton()->state(), 1);
    EXPECT_EQ(dispatch_main_queue_drain(), 0);

    SelfResettingBox own;
    own.resize(200, 100);
    own.setTarget(&target);
    own.awakeFromNib();
    views_test::Rendered(&own);
    Click(&own, QPointF(12, 10));
    ASSERT_EQ(own.senders.size(), 1u);
    EXPECT_EQ(own.senders[0], own.attachments().pairs[0].cell.get());
    EXPECT_EQ(dispatch_main_queue_drain(), 0);
    EXPECT_EQ(target.calls.size(), 1u);

    // A click beside the cells is the box's own: nothing is asked.
    Click(&box, QPointF(100, 50));
    EXPECT_EQ(dispatch_main_queue_drain(), 0);
    EXPECT_EQ(LogText(), "");
}

// The target action and the change notice run on the main thread and the caller waits; a
// missing target or action is reported and nothing is sent.
TEST_F(Boxes, TargetRequestsRunOnTheMainThread) {
    BoxTarget target;
    NSUIResetBox box;
    box.setTarget(&target);
    box.setAction("takeObject:");

    std::atomic<bool> done{false};
    std::thread worker([&] {
        box.performTargetActionWithObject(QStringLiteral("from a worker"));
        box.performChangedBoxControlsNotification(QVariant(7));
        done = true;
    });
    while (!done) {
        dispatch_main_queue_drain();
        std::this_thread::yield();
    }
    worker.join();
    ASSERT_EQ(target.calls.size(), 2u);
    EXPECT_EQ(target.calls[0].name, "take");
    EXPECT_EQ(target.calls[0].argument, QVariant("from a worker"));
    EXPECT_EQ(target.calls[1].name, "changed");
    EXPECT_EQ(target.calls[1].argument.value<QObject *>(), &box);
    for (const auto &call : target.calls) EXPECT_EQ(call.thread, std::this_thread::get_id());
    EXPECT_EQ(LogText(), "");

    const std::string where = " in /Code/sdk/RiradI/UICocoaViews/NSUIResetBox:70 "
                              "(-[NSUIResetBox performTargetActionWithObject:])\n";
    box.setAction("");
    box.performTargetActionWithObject(1);
    EXPECT_EQ(LogText(), "VERIFY FAILED:  code : [self action]" + where);
    ClearLog();
    box.setAction("takeObject:");
    box.setTarget(nullptr);
    box.performTargetActionWithObject(1);
    EXPECT_EQ(LogText(), "VERIFY FAILED:  code : [self target]" + where);
    // Without a target that answers, a change notice goes nowhere.
    box.performChangedBoxControlsNotification(1);
    box.buttonResetBoxControls(nullptr);
    EXPECT_EQ(dispatch_main_queue_drain(), 0);
    EXPECT_EQ(target.calls.size(), 2u);
}

// A tick slider of 5 values tracked with the mouse: it stops at the ticks, from 0 at its
// left end to 4 at its right, and tells its target at each change.
TEST_F(Boxes, TickSliderFollowsTheMouse) {
    BoxTarget target;
    NSUIRetroBox box;
    box.resize(200, 100);
    auto slider = box.addIntSliderCell(5, "sliderMoved:");
    slider->setTarget(&target);
    views_test::Rendered(&box);  // frame (4, 86, 80, 12): Qt x 4 ... 83, rows 2 ... 13
    const auto send = [&](QEvent::Type type, double x) {
        QMouseEvent event = views_test::MouseEvent(&box, type, QPointF(x, 8));
        QApplication::sendEvent(&box, &event);
    };
    send(QEvent::MouseButtonPress, 83);
    EXPECT_EQ(slider->doubleValue(), 4);
    EXPECT_TRUE(slider->isHighlighted());
    send(QEvent::MouseMove, 44);
    EXPECT_EQ(slider->doubleValue(), 2);
    send(QEvent::MouseMove, 45);  // the same tick: no action
    send(QEvent::MouseMove, -50);
    EXPECT_EQ(slider->doubleValue(), 0);
    send(QEvent::MouseButtonRelease, -50);
    EXPECT_FALSE(slider->isHighlighted());
    std::vector<int> values;
    for (const auto &call : target.calls) values.push_back(call.argument.toInt());
    EXPECT_EQ(values, (std::vector<int>{4, 2, 0}));
    EXPECT_EQ(slider->doubleValue(), std::round(slider->doubleValue()));
}

TEST_F(Boxes, MadeByName) {
    for (const char *name : {"NSUIRetroBox", "NSUIResetBox", "NSUIResetLockBox", "NSUIOpacityGridView"}) {
        std::unique_ptr<QObject> made(NSClassCreateInstance(NSClassFromString(name)));
        ASSERT_NE(made, nullptr) << name;
        EXPECT_STREQ(made->metaObject()->className(), name);
    }
}

TEST_F(Boxes, FreeingTheBoxLetsEachCellGoOnce) {
    int destroyed = 0;
    std::weak_ptr<NSCell> watched;
    {
        NSUIRetroBox box;
        box.resize(100, 40);
        auto cell = std::make_shared<RecordingCell>(NSMakeSize(8, 8), &destroyed);
        watched = cell;
        box.addButtonCell(cell);
        box.addAttachmentCell(std::make_shared<RecordingCell>(NSMakeSize(8, 8), &destroyed));
    }
    EXPECT_TRUE(watched.expired());
    EXPECT_EQ(destroyed, 2);
}

}  // namespace

#include "BoxesTest.moc"
