#include <CocoaFoundation/category_NSViewControlTarget.h>

#include <Foundation/NSKeyValueCoding.h>

#include <dispatch/dispatch.h>

#include <gtest/gtest.h>

#include <thread>

namespace {

class Receiver : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void takeValue(const QVariant &value) {
        values.push_back(value);
        threads.push_back(std::this_thread::get_id());
    }
    std::vector<QVariant> values;
    std::vector<std::thread::id> threads;
};

class TargetView : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject *target MEMBER target)
    Q_PROPERTY(QByteArray action MEMBER action)
public:
    QObject *target = nullptr;
    QByteArray action;
};

using namespace category_NSViewControlTarget;

TEST(ViewControlTarget, PerformsAtOnceOrQueuesToTheMainQueue) {
    dispatch_main_queue_drain();
    Receiver receiver;
    TargetView view;
    view.target = &receiver;
    view.action = "takeValue:";

    performTargetActionWithObject(&view, 7);
    ASSERT_EQ(receiver.values.size(), 1u);
    EXPECT_EQ(receiver.values[0], QVariant(7));

    // Queued from another thread: runs on the main thread when the main queue is served.
    std::thread([&] { queueTargetActionWithObject(&view, QStringLiteral("queued")); }).join();
    EXPECT_EQ(receiver.values.size(), 1u);
    EXPECT_EQ(dispatch_main_queue_drain(), 1);
    ASSERT_EQ(receiver.values.size(), 2u);
    EXPECT_EQ(receiver.values[1], QVariant("queued"));
    EXPECT_EQ(receiver.threads[1], std::this_thread::get_id());

    // A nil target or action is reported and sends nothing; a view without them is ignored.
    view.action.clear();
    performTargetActionWithObject(&view, 1);
    view.action = "takeValue:";
    view.target = nullptr;
    performTargetActionWithObject(&view, 1);
    QObject plain;
    performTargetActionWithObject(&plain, 1);
    EXPECT_EQ(receiver.values.size(), 2u);
    EXPECT_EQ(dispatch_main_queue_drain(), 0);
}

}  // namespace

#include "ViewControlTargetTest.moc"
