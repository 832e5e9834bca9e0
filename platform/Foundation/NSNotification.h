// Notifications: a name, the object that posts it and a user-info map, delivered by a
// notification centre to the observers registered for that name and object.
//
// An observer registers either an object and a selector (a Q_INVOKABLE method or slot taking
// const NSNotification & or nothing) or a function. An empty name matches every name; a null
// object matches every poster. Posting delivers at once, on the poster's thread, to the
// observers registered when the post starts, in the order they registered; an observer
// removed meanwhile (by another observer, or by itself) is not called any more. An observer
// object that is destroyed is removed. An exception of an observer reaches the poster and
// ends that delivery.
#pragma once

#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class NSNotification {
public:
    NSNotification() = default;
    NSNotification(QString name, QObject *object, QVariantMap userInfo = {})
        : mName(std::move(name)), mObject(object), mUserInfo(std::move(userInfo)) {}

    const QString &name() const { return mName; }
    QObject *object() const { return mObject; }
    const QVariantMap &userInfo() const { return mUserInfo; }

private:
    QString mName;
    QPointer<QObject> mObject;
    QVariantMap mUserInfo;
};
Q_DECLARE_METATYPE(NSNotification)

class NSNotificationCenter {
public:
    // What addObserverForName answers: keep it to remove the observer.
    class ObserverToken {
    public:
        ObserverToken() = default;
        bool isValid() const { return mId != 0; }

    private:
        friend class NSNotificationCenter;
        explicit ObserverToken(quint64 id) : mId(id) {}
        quint64 mId = 0;
    };

    NSNotificationCenter() = default;
    NSNotificationCenter(const NSNotificationCenter &) = delete;
    NSNotificationCenter &operator=(const NSNotificationCenter &) = delete;

    // The process's centre; never destroyed.
    static NSNotificationCenter &defaultCenter();

    // Raises "NSInvalidArgumentException" when the observer is null or does not answer the
    // selector with a method of no parameter or one NSNotification parameter.
    void addObserver(QObject *observer, QByteArrayView selector, const QString &name, QObject *object);
    ObserverToken addObserverForName(const QString &name, QObject *object,
                                     std::function<void(const NSNotification &)> block);

    // Every registration of the observer; those for the name (empty: any) and object (null: any).
    void removeObserver(QObject *observer);
    void removeObserver(QObject *observer, const QString &name, QObject *object);
    void removeObserver(const ObserverToken &token);

    void postNotification(const NSNotification &notification);
    void postNotificationName(const QString &name, QObject *object, const QVariantMap &userInfo = {});

private:
    struct Registration;
    std::mutex mMutex;
    std::vector<std::shared_ptr<Registration>> mRegistrations;
    quint64 mNextId = 1;
};
