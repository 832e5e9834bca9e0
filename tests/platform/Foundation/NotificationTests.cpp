#include <gtest/gtest.h>

#include <Foundation/NSApplication.h>
#include <Foundation/NSException.h>
#include <Foundation/NSNotification.h>

#include <QTimer>

#include <stdexcept>
#include <thread>

#include "TestApplication.h"

class NoteListener : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void noteArrived(const NSNotification &notification) { mSeen.append(notification.name()); }
    Q_INVOKABLE void ping() { ++mPings; }
    Q_INVOKABLE void wrongParameter(int) {}
    QStringList mSeen;
    int mPings = 0;
};

namespace {

TEST(FoundationNotifications, NamesObjectsAndObservers) {
    NSNotificationCenter center;
    NoteListener listener;
    QObject poster;
    QObject otherPoster;
    center.addObserver(&listener, "noteArrived:", QStringLiteral("A"), nullptr);  // any poster
    center.addObserver(&listener, "ping", QString(), &poster);                    // any name of one poster
    QVariantMap received;
    auto token = center.addObserverForName(QStringLiteral("B"), &poster, [&](const NSNotification &notification) {
        received = notification.userInfo();
        EXPECT_EQ(notification.object(), &poster);
    });

    center.postNotificationName(QStringLiteral("A"), &otherPoster);
    center.postNotificationName(QStringLiteral("B"), &otherPoster, {{QStringLiteral("k"), 1}});
    EXPECT_TRUE(received.isEmpty());
    center.postNotificationName(QStringLiteral("B"), &poster, {{QStringLiteral("k"), 2}});
    center.postNotificationName(QStringLiteral("A"), &poster);
    EXPECT_EQ(listener.mSeen, (QStringList{QStringLiteral("A"), QStringLiteral("A")}));
    EXPECT_EQ(listener.mPings, 2);
    EXPECT_EQ(received.value(QStringLiteral("k")), QVariant(2));

    center.removeObserver(&listener, QStringLiteral("A"), nullptr);
    center.removeObserver(token);
    received.clear();
    center.postNotificationName(QStringLiteral("A"), &poster);
    center.postNotificationName(QStringLiteral("B"), &poster, {{QStringLiteral("k"), 3}});
    EXPECT_EQ(listener.mSeen.size(), 2);
    EXPECT_EQ(listener.mPings, 4);
    EXPECT_TRUE(received.isEmpty());

    EXPECT_THROW(center.addObserver(&listener, "noSuch:", QStringLiteral("A"), nullptr), NSException);
    EXPECT_THROW(center.addObserver(&listener, "wrongParameter:", QStringLiteral("A"), nullptr), NSException);
}

TEST(FoundationNotifications, RemovalDuringDeliveryAndDestroyedObservers) {
    NSNotificationCenter center;
    NSNotificationCenter::ObserverToken second;
    int firstCalls = 0;
    int secondCalls = 0;
    NSNotificationCenter::ObserverToken first;
    first = center.addObserverForName(QStringLiteral("N"), nullptr, [&](const NSNotification &) {
        ++firstCalls;
        center.removeObserver(second);  // the later observer is not called any more
        center.removeObserver(first);   // nor is this one, next time
    });
    second = center.addObserverForName(QStringLiteral("N"), nullptr, [&](const NSNotification &) { ++secondCalls; });
    center.postNotificationName(QStringLiteral("N"), nullptr);
    center.postNotificationName(QStringLiteral("N"), nullptr);
    EXPECT_EQ(firstCalls, 1);
    EXPECT_EQ(secondCalls, 0);

    {
        NoteListener shortLived;
        center.addObserver(&shortLived, "ping", QStringLiteral("N"), nullptr);
    }
    center.postNotificationName(QStringLiteral("N"), nullptr);  // nothing calls the destroyed listener

    // Delivery runs on the poster's thread; an observer's exception reaches the poster.
    std::thread::id deliveredOn;
    center.addObserverForName(QStringLiteral("T"), nullptr, [&](const NSNotification &) {
        deliveredOn = std::this_thread::get_id();
    });
    std::thread::id posterThread;
    std::thread poster([&] {
        posterThread = std::this_thread::get_id();
        center.postNotificationName(QStringLiteral("T"), nullptr);
    });
    poster.join();
    EXPECT_EQ(deliveredOn, posterThread);
    center.addObserverForName(QStringLiteral("X"), nullptr, [](const NSNotification &) { throw std::runtime_error("x"); });
    EXPECT_THROW(center.postNotificationName(QStringLiteral("X"), nullptr), std::runtime_error);
}

TEST(FoundationNotifications, ApplicationPostsLaunchAndTerminationOnce) {
    TestApplication();
    NSNotificationCenter &center = NSNotificationCenter::defaultCenter();
    QStringList seen;
    QObject *sender = nullptr;
    auto launch = center.addObserverForName(NSApplicationWillFinishLaunchingNotification, nullptr,
                                            [&](const NSNotification &n) {
                                                seen.append(n.name());
                                                sender = n.object();
                                            });
    auto launched = center.addObserverForName(NSApplicationDidFinishLaunchingNotification, nullptr,
                                              [&](const NSNotification &n) { seen.append(n.name()); });
    auto quit = center.addObserverForName(NSApplicationWillTerminateNotification, nullptr,
                                          [&](const NSNotification &n) { seen.append(n.name()); });
    {
        NSApplication application;
        EXPECT_EQ(NSApplication::sharedApplication(), &application);
        EXPECT_THROW(NSApplication second, NSException);
        QTimer::singleShot(0, &application, [&] { application.terminate(nullptr); });
        EXPECT_EQ(application.run(), 0);
        application.finishLaunching();
        application.terminate(nullptr);
        EXPECT_EQ(sender, &application);
    }
    EXPECT_EQ(NSApplication::sharedApplication(), nullptr);
    EXPECT_EQ(seen, (QStringList{NSApplicationWillFinishLaunchingNotification, NSApplicationDidFinishLaunchingNotification,
                                 NSApplicationWillTerminateNotification}));
    center.removeObserver(launch);
    center.removeObserver(launched);
    center.removeObserver(quit);
}

}  // namespace

#include "NotificationTests.moc"
