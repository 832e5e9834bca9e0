#include <Foundation/NSNotification.h>

#include <Foundation/NSException.h>

#include <QMetaMethod>

#include <atomic>

struct NSNotificationCenter::Registration {
    quint64 mId = 0;
    QString mName;
    QPointer<QObject> mObject;
    bool mHasObject = false;
    QPointer<QObject> mObserver;
    QObject *mObserverAddress = nullptr;
    QMetaMethod mMethod;
    std::function<void(const NSNotification &)> mBlock;
    std::atomic<bool> mRemoved{false};

    bool matches(const NSNotification &notification) const {
        if (!mName.isEmpty() && mName != notification.name()) return false;
        if (!mHasObject) return true;
        const QObject *object = mObject.data();
        return object != nullptr && object == notification.object();
    }
};

NSNotificationCenter &NSNotificationCenter::defaultCenter() {
    static NSNotificationCenter *center = new NSNotificationCenter;
    return *center;
}

void NSNotificationCenter::addObserver(QObject *observer, QByteArrayView selector, const QString &name,
                                       QObject *object) {
    if (observer == nullptr)
        NSException::raise(NSInvalidArgumentException, QStringLiteral("addObserver: the observer is nil"));
    const qsizetype colon = selector.indexOf(':');
    const QByteArray methodName = (colon < 0 ? selector : selector.first(colon)).toByteArray();
    const QMetaObject *meta = observer->metaObject();
    QMetaMethod found;
    for (int i = meta->methodCount() - 1; i >= 0 && !found.isValid(); --i) {
        const QMetaMethod method = meta->method(i);
        if (method.name() != methodName) continue;
        if (method.methodType() != QMetaMethod::Method && method.methodType() != QMetaMethod::Slot) continue;
        if (method.parameterCount() == 0 ||
            (method.parameterCount() == 1 && method.parameterMetaType(0) == QMetaType::fromType<NSNotification>()))
            found = method;
    }
    if (!found.isValid())
        NSException::raise(NSInvalidArgumentException,
                           QStringLiteral("addObserver: %1 does not answer %2(NSNotification)")
                               .arg(QString::fromLatin1(meta->className()), QString::fromUtf8(methodName)));
    auto registration = std::make_shared<Registration>();
    registration->mName = name;
    registration->mObject = object;
    registration->mHasObject = object != nullptr;
    registration->mObserver = observer;
    registration->mObserverAddress = observer;
    registration->mMethod = found;
    std::lock_guard<std::mutex> lock(mMutex);
    registration->mId = mNextId++;
    mRegistrations.push_back(std::move(registration));
}

NSNotificationCenter::ObserverToken NSNotificationCenter::addObserverForName(
    const QString &name, QObject *object, std::function<void(const NSNotification &)> block) {
    if (!block) NSException::raise(NSInvalidArgumentException, QStringLiteral("addObserverForName: no block"));
    auto registration = std::make_shared<Registration>();
    registration->mName = name;
    registration->mObject = object;
    registration->mHasObject = object != nullptr;
    registration->mBlock = std::move(block);
    std::lock_guard<std::mutex> lock(mMutex);
    registration->mId = mNextId++;
    const quint64 id = registration->mId;
    mRegistrations.push_back(std::move(registration));
    return ObserverToken(id);
}

void NSNotificationCenter::removeObserver(QObject *observer) {
    if (observer != nullptr) removeObserver(observer, QString(), nullptr);
}

void NSNotificationCenter::removeObserver(QObject *observer, const QString &name, QObject *object) {
    if (observer == nullptr) return;
    std::lock_guard<std::mutex> lock(mMutex);
    std::erase_if(mRegistrations, [&](const std::shared_ptr<Registration> &registration) {
        if (registration->mObserverAddress != observer) return false;
        if (!name.isEmpty() && registration->mName != name) return false;
        if (object != nullptr && registration->mObject.data() != object) return false;
        registration->mRemoved = true;
        return true;
    });
}

void NSNotificationCenter::removeObserver(const ObserverToken &token) {
    if (!token.isValid()) return;
    std::lock_guard<std::mutex> lock(mMutex);
    std::erase_if(mRegistrations, [&](const std::shared_ptr<Registration> &registration) {
        if (registration->mId != token.mId) return false;
        registration->mRemoved = true;
        return true;
    });
}

void NSNotificationCenter::postNotification(const NSNotification &notification) {
    std::vector<std::shared_ptr<Registration>> due;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        // Registrations of destroyed observers go.
        std::erase_if(mRegistrations, [](const std::shared_ptr<Registration> &registration) {
            const bool gone = registration->mObserverAddress != nullptr && registration->mObserver.isNull();
            if (gone) registration->mRemoved = true;
            return gone;
        });
        for (const auto &registration : mRegistrations)
            if (registration->matches(notification)) due.push_back(registration);
    }
    for (const auto &registration : due) {
        if (registration->mRemoved) continue;
        if (registration->mBlock) {
            registration->mBlock(notification);
            continue;
        }
        QObject *observer = registration->mObserver.data();
        if (observer == nullptr) continue;
        if (registration->mMethod.parameterCount() == 0)
            registration->mMethod.invoke(observer, Qt::DirectConnection);
        else
            registration->mMethod.invoke(observer, Qt::DirectConnection,
                                         QGenericArgument("NSNotification", &notification));
    }
}

void NSNotificationCenter::postNotificationName(const QString &name, QObject *object, const QVariantMap &userInfo) {
    postNotification(NSNotification(name, object, userInfo));
}
