#include <gtest/gtest.h>

#include <Foundation/NSApplication.h>
#include <Foundation/NSException.h>
#include <Foundation/NSObject.h>

#include <dispatch/dispatch.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>

#include <atomic>
#include <thread>

#include "TestApplication.h"

class RuntimeControl : public NSObject {
    Q_OBJECT
    Q_PROPERTY(QString title MEMBER mTitle)
public:
    Q_INVOKABLE int intParam() const { return mValue; }
    Q_INVOKABLE void setIntParam(int value) {
        mValue = value;
        mThread = QThread::currentThread();
    }
    Q_INVOKABLE QVariant echo(const QVariant &value) { return value; }
    Q_INVOKABLE void takeObject(RuntimeControl *other) { mOther = other; }
    Q_INVOKABLE void fail() { NSException::raise(NSGenericException, QStringLiteral("failed")); }

    int mValue = 0;
    QString mTitle = QStringLiteral("Tint");
    RuntimeControl *mOther = nullptr;
    QThread *mThread = nullptr;
};

NS_REGISTER_CLASS(RuntimeControl);

namespace {

TEST(FoundationRuntime, ClassesByName) {
    const NSClass cls = NSClassFromString(QStringLiteral("RuntimeControl"));
    ASSERT_EQ(cls, &RuntimeControl::staticMetaObject);
    EXPECT_EQ(NSStringFromClass(cls), QStringLiteral("RuntimeControl"));
    std::unique_ptr<QObject> made(NSClassCreateInstance(cls));
    ASSERT_NE(qobject_cast<RuntimeControl *>(made.get()), nullptr);
    EXPECT_EQ(static_cast<RuntimeControl *>(made.get())->className(), QStringLiteral("RuntimeControl"));
    EXPECT_EQ(NSClassFromString(QStringLiteral("NoSuchClass")), nullptr);
    EXPECT_EQ(NSClassCreateInstance(&QObject::staticMetaObject), nullptr);  // not registered
    EXPECT_EQ(NSStringFromClass(nullptr), QString());
}

TEST(FoundationRuntime, RespondsAndPerformsSelectorsByName) {
    RuntimeControl control;
    RuntimeControl other;
    struct Responds {
        const char *selector;
        bool expected;
    } responds[] = {{"setIntParam:", true}, {"setIntParam", true}, {"intParam", true},
                    {"title", true},        {"noSuch", false},     {"destroyed", false}};
    for (const Responds &r : responds) EXPECT_EQ(respondsToSelector(&control, r.selector), r.expected) << r.selector;
    EXPECT_FALSE(respondsToSelector(nullptr, "intParam"));

    control.performSelector("setIntParam:", QStringLiteral("7"));  // converted to the parameter type
    EXPECT_EQ(control.mValue, 7);
    EXPECT_EQ(control.performSelector("intParam"), QVariant(7));
    EXPECT_EQ(control.performSelector("title"), QVariant(QStringLiteral("Tint")));
    EXPECT_EQ(control.performSelector("echo:", QVariantList{1, 2}), QVariant(QVariantList{1, 2}));
    control.performSelector("setIntParam:");  // no argument: the parameter's default
    EXPECT_EQ(control.mValue, 0);
    control.performSelector("takeObject:", NSKeyValueCoding::variantFromObject(&other));
    EXPECT_EQ(control.mOther, &other);
    EXPECT_EQ(performSelector(nullptr, "intParam"), QVariant());  // a message to nil

    auto raisedName = [](auto &&call) {
        try {
            call();
        } catch (const NSException &error) {
            return error.name();
        }
        return QString();
    };
    QObject stranger;
    EXPECT_EQ(raisedName([&] { control.performSelector("noSuch:", 1); }), QLatin1String(NSInvalidArgumentException));
    EXPECT_EQ(raisedName([&] { control.performSelector("setIntParam:", QVariantMap{}); }),
              QLatin1String(NSInvalidArgumentException));
    EXPECT_EQ(raisedName([&] { control.performSelector("takeObject:", NSKeyValueCoding::variantFromObject(&stranger)); }),
              QLatin1String(NSInvalidArgumentException));
    EXPECT_EQ(raisedName([&] { control.performSelector("fail"); }), QLatin1String(NSGenericException));
}

TEST(FoundationRuntime, PerformSelectorOnMainThread) {
    RuntimeControl control;
    // Waiting, on the main thread: at once.
    control.performSelectorOnMainThread("setIntParam:", 3, true);
    EXPECT_EQ(control.mValue, 3);

    // Not waiting: queued on the main queue even from the main thread.
    control.performSelectorOnMainThread("setIntParam:", 4, false);
    EXPECT_EQ(control.mValue, 3);
    EXPECT_EQ(dispatch_main_queue_drain(), 1);
    EXPECT_EQ(control.mValue, 4);

    // An object destroyed before its turn is not called.
    auto doomed = std::make_unique<RuntimeControl>();
    doomed->performSelectorOnMainThread("setIntParam:", 5, false);
    doomed.reset();
    EXPECT_EQ(dispatch_main_queue_drain(), 1);

    // Waiting from another thread: the main thread runs it, the caller waits for it.
    std::atomic<bool> returned{false};
    std::thread caller([&] {
        control.performSelectorOnMainThread("setIntParam:", 6, true);
        returned = true;
    });
    while (dispatch_main_queue_drain() == 0) std::this_thread::yield();
    caller.join();
    EXPECT_TRUE(returned);
    EXPECT_EQ(control.mValue, 6);
    EXPECT_EQ(control.mThread, QThread::currentThread());

    EXPECT_THROW(control.performSelectorOnMainThread("noSuch:", 1, false), NSException);
}

TEST(FoundationRuntime, MainQueueIsServedByTheQtEventLoopWhileTheApplicationLives) {
    QCoreApplication &qt = TestApplication();
    QThread *mainThread = QThread::currentThread();
    {
        NSApplication application;
        QEventLoop loop;
        QThread *ranOn = nullptr;
        std::thread worker([&] {
            dispatch_async(dispatch_get_main_queue(), [&] {
                ranOn = QThread::currentThread();
                loop.quit();
            });
        });
        worker.join();
        QElapsedTimer timer;
        timer.start();
        while (ranOn == nullptr && timer.elapsed() < 5000) qt.processEvents(QEventLoop::AllEvents, 50);
        EXPECT_EQ(ranOn, mainThread);
    }
    // Without the application object, work waits for a drain again.
    int ran = 0;
    dispatch_async(dispatch_get_main_queue(), [&] { ++ran; });
    qt.processEvents();
    EXPECT_EQ(ran, 0);
    EXPECT_EQ(dispatch_main_queue_drain(), 1);
}

}  // namespace

#include "RuntimeTests.moc"
