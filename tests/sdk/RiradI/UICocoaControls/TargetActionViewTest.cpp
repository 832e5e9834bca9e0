#include <UICocoaControls/NSSlider.h>
#include <UICocoaControls/NSUITargetActionView.h>
#include <UICocoaControls/NSUITextFieldForwarder.h>
#include <UICocoaControls/NSUITextViewTakesStringValue.h>

#include <Foundation/NSException.h>
#include <Foundation/NSKeyValueCoding.h>
#include <dispatch/dispatch.h>

#include "../RiradITestApplication.h"

#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using NSKeyValueCoding::setValueForKeyPath;
using NSKeyValueCoding::valueForKey;

class Receiver : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void takeValue(const QVariant &value) {
        values.push_back(value);
        threads.push_back(std::this_thread::get_id());
        if (QObject *sender = NSKeyValueCoding::objectFromVariant(value); sender && sender->property("stringValue").isValid())
            texts.push_back(sender->property("stringValue").toString());
    }
    std::vector<QVariant> values;
    std::vector<std::thread::id> threads;
    std::vector<QString> texts;
};

// A panel holding a view by outlet, as a nib does; the target and action are set by key path.
class Panel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject *outletView MEMBER outletView)
public:
    QObject *outletView = nullptr;
};

// A composite control whose inner value is brought into line by updateViewControls, and which
// answers a delegate as its target.
class Composite : public NSUITargetActionView {
    Q_OBJECT
public:
    void updateViewControls() override { ++updates; }
    QObject *target() const override { return delegate; }
    int updates = 0;
    QObject *delegate = nullptr;
};

class UpdateCheckingReceiver : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void takeValue(QObject *sender) { updatesSeen.push_back(static_cast<Composite *>(sender)->updates); }
    std::vector<int> updatesSeen;
};

class TargetAction : public ::testing::Test, public riradi_test::WithApplication {
protected:
    void SetUp() override { dispatch_main_queue_drain(); }
};

TEST_F(TargetAction, PerformAndQueue) {
    Receiver receiver;
    NSUITargetActionView view;
    Panel panel;
    panel.outletView = &view;
    setValueForKeyPath(&panel, QVariant::fromValue<QObject *>(&receiver), "outletView.target");
    setValueForKeyPath(&panel, QByteArray("takeValue:"), "outletView.action");
    EXPECT_EQ(view.target(), &receiver);

    // Performed: the target's method has run when the call returns.
    view.performTargetActionWithObject(QVariant(7));
    ASSERT_EQ(receiver.values.size(), 1u);
    EXPECT_EQ(receiver.values[0], QVariant(7));

    // Queued from another thread: nothing yet; later on the main thread.
    std::thread([&] { view.queueTargetActionWithObject(&view); }).join();
    EXPECT_EQ(receiver.values.size(), 1u);
    EXPECT_EQ(dispatch_main_queue_drain(), 1);
    ASSERT_EQ(receiver.values.size(), 2u);
    EXPECT_EQ(NSKeyValueCoding::objectFromVariant(receiver.values[1]), &view);
    EXPECT_EQ(receiver.threads[1], std::this_thread::get_id());

    // Queued on the main thread too: after the call returns.
    view.queueTargetActionWithObject(QVariant(8));
    EXPECT_EQ(receiver.values.size(), 2u);
    dispatch_main_queue_drain();
    EXPECT_EQ(receiver.values.size(), 3u);

    // A target without an action, or an action without a target, sends nothing, silently.
    view.setAction(QByteArray());
    view.performTargetActionWithObject(QVariant(1));
    view.queueTargetActionWithObject(QVariant(1));
    view.setAction("takeValue:");
    view.setTarget(nullptr);
    view.performTargetActionWithObject(QVariant(1));
    view.queueTargetActionWithObject(QVariant(1));
    EXPECT_EQ(dispatch_main_queue_drain(), 0);
    EXPECT_EQ(receiver.values.size(), 3u);

    // A destroyed target reads nil.
    {
        Receiver shortLived;
        view.setTarget(&shortLived);
    }
    EXPECT_EQ(valueForKey(&view, "target"), QVariant::fromValue<QObject *>(nullptr));
    view.performTargetActionWithObject(QVariant(1));

    // A target that does not answer the action is the caller's error.
    QObject mute;
    view.setTarget(&mute);
    EXPECT_THROW(view.performTargetActionWithObject(QVariant(1)), NSException);
    EXPECT_TRUE(view.acceptsFirstMouse(nullptr));
}

TEST_F(TargetAction, OverriddenTargetAndUpdatesFirst) {
    UpdateCheckingReceiver delegate;
    Composite composite;
    composite.delegate = &delegate;
    composite.setAction("takeValue:");
    composite.updateViewControlsPerformAction(&composite);
    ASSERT_EQ(delegate.updatesSeen.size(), 1u);
    EXPECT_EQ(delegate.updatesSeen[0], 1);  // the target saw the inner controls already updated

    composite.updateViewControlsQueueAction(&composite);
    EXPECT_EQ(composite.updates, 2);
    EXPECT_EQ(delegate.updatesSeen.size(), 1u);
    dispatch_main_queue_drain();
    ASSERT_EQ(delegate.updatesSeen.size(), 2u);
    EXPECT_EQ(delegate.updatesSeen[1], 2);
}

TEST_F(TargetAction, TextFieldForwarderForwardsEveryValue) {
    Receiver receiver;
    NSUITextFieldForwarder field;
    field.setTarget(&receiver);
    field.setAction("takeValue:");
    NSSlider slider;
    slider.setMaxValue(10);
    slider.setDoubleValue(2.5);

    struct Row {
        void (NSTextField::*take)(QObject *);
        const char *text;
    };
    const std::vector<Row> rows = {
        {&NSTextField::takeDoubleValueFrom, "2.5"},
        {&NSTextField::takeFloatValueFrom, "2.5"},
        {&NSTextField::takeIntValueFrom, "2"},
        {&NSTextField::takeStringValueFrom, "2.5"},  // the slider has no text
        {&NSTextField::takeObjectValueFrom, "junk"},
    };
    NSTextField source;
    source.setStringValue("junk");
    for (size_t i = 0; i < rows.size(); ++i) {
        QObject *sender = i < 3 ? static_cast<QObject *>(&slider) : static_cast<QObject *>(&source);
        if (i == 3) source.setStringValue("2.5");
        if (i == 4) source.setStringValue("junk");
        (field.*rows[i].take)(sender);
        ASSERT_EQ(receiver.values.size(), i + 1) << i;
        EXPECT_EQ(NSKeyValueCoding::objectFromVariant(receiver.values[i]), &field);  // the field, not the sender
        EXPECT_EQ(receiver.texts[i], QString::fromLatin1(rows[i].text));
    }

    // A target without the method, a nil target or no action: the value is taken, nothing sent.
    QObject mute;
    field.setTarget(&mute);
    EXPECT_NO_THROW(field.takeDoubleValueFrom(&slider));
    field.setTarget(nullptr);
    field.takeDoubleValueFrom(&slider);
    field.setTarget(&receiver);
    field.setAction(QByteArray());
    field.takeDoubleValueFrom(&slider);
    EXPECT_EQ(receiver.values.size(), rows.size());
    EXPECT_EQ(field.stringValue(), QStringLiteral("2.5"));

    // From another thread the caller waits while the main thread runs the action.
    field.setAction("takeValue:");
    std::atomic<bool> done = false;
    std::thread worker([&] {
        field.forwardActionEventFrom(nullptr);
        done = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done && std::chrono::steady_clock::now() < deadline) {
        dispatch_main_queue_drain();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    worker.join();
    ASSERT_EQ(receiver.values.size(), rows.size() + 1);
    EXPECT_EQ(receiver.threads.back(), std::this_thread::get_id());

    // Return in the field sends its action with the typed text.
    field.clear();
    QTest::keyClicks(&field, "0.75");
    QTest::keyClick(&field, Qt::Key_Return);
    ASSERT_EQ(receiver.values.size(), rows.size() + 2);
    EXPECT_EQ(receiver.texts.back(), QStringLiteral("0.75"));
    EXPECT_DOUBLE_EQ(valueForKey(&field, "doubleValue").toDouble(), 0.75);
}

TEST_F(TargetAction, TextFieldNumbers) {
    const std::vector<std::tuple<QString, double, int>> rows = {
        {"0.25", 0.25, 0}, {"  -3.5e2px", -350, -3}, {"8b1", 8, 8}, {"yes", 0, 0}, {".5", 0.5, 0},
        {"1e", 1, 1}, {"+7.", 7, 7}, {"", 0, 0}, {"1e999", std::numeric_limits<double>::infinity(), 1},
        {"-99999999999", -99999999999.0, std::numeric_limits<int>::min()}, {"nan", 0, 0},
    };
    for (const auto &[text, number, integer] : rows) {
        EXPECT_EQ(NSTextField::leadingDoubleValue(text), number) << text.toStdString();
        EXPECT_EQ(NSTextField::leadingIntValue(text), integer) << text.toStdString();
    }
    NSTextField field;
    field.setDoubleValue(0.1);
    EXPECT_EQ(field.stringValue(), QStringLiteral("0.1"));
    field.setFloatValue(0.1f);
    EXPECT_EQ(field.stringValue(), QStringLiteral("0.1"));
}

TEST_F(TargetAction, TextViewTakesStringValue) {
    NSUITextViewTakesStringValue view;
    view.setStringValue("first");
    const QString taken = valueForKey(&view, "stringValue").toString();
    view.moveCursor(QTextCursor::End);
    QTest::keyClicks(&view, " typing");
    EXPECT_EQ(taken, QStringLiteral("first"));
    EXPECT_TRUE(view.stringValue().endsWith(QStringLiteral(" typing")));

    NSTextField source;
    source.setStringValue("from the field");
    view.takeStringValueFrom(&source);
    EXPECT_EQ(view.string(), QStringLiteral("from the field"));
    QObject mute;
    EXPECT_THROW(view.takeStringValueFrom(&mute), NSException);
    EXPECT_EQ(view.string(), QStringLiteral("from the field"));
}

}  // namespace

#include "TargetActionViewTest.moc"
