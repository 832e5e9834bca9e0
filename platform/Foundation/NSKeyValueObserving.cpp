// Key-value observing. Each observation keeps one hook object whose slot is connected to the
// NOTIFY signals of every (object, key) along its key path and along the key paths the keys
// depend on; any of them firing re-walks the path (objects along it may have changed), takes
// the new value and tells the observer. Hooks are deleted only when no notification is being
// delivered, so an observer may remove observations from inside its callback.
#include <Foundation/NSKeyValueCoding.h>

#include <Foundation/NSException.h>
#include <Foundation/NSObject.h>

#include <QMetaMethod>
#include <QMetaProperty>
#include <QPointer>

#include <memory>
#include <mutex>
#include <vector>

namespace {

struct Observation;

class ObservationHook : public QObject {
    Q_OBJECT
public:
    std::weak_ptr<Observation> mOwner;
public Q_SLOTS:
    void fire();
};

struct Observation {
    QPointer<QObject> mObject;
    QObject *mObjectAddress = nullptr;
    QPointer<QObject> mObserverObject;
    QObject *mObserverAddress = nullptr;
    NSKeyValueObserver *mObserver = nullptr;
    QString mKeyPath;
    unsigned mOptions = 0;
    void *mContext = nullptr;
    QVariant mLastValue;
    ObservationHook *mHook = nullptr;
    std::vector<QMetaObject::Connection> mConnections;
    std::vector<std::pair<QObject *, QString>> mLinks;  // every (object, key) hooked
    bool mActive = true;
};

constexpr int kMaxDependencyDepth = 16;

struct Registry {
    std::recursive_mutex mMutex;
    std::vector<std::shared_ptr<Observation>> mObservations;
    std::vector<ObservationHook *> mRetiredHooks;
    int mDelivering = 0;
    QSet<QObject *> mWatched;  // objects whose destruction ends their observations
    QObject *mLifeContext = new QObject;

    static Registry &Shared() {
        static Registry *registry = new Registry;
        return *registry;
    }

    // Under the lock.
    void sweep() {
        if (mDelivering > 0) return;
        std::vector<ObservationHook *> retired;
        retired.swap(mRetiredHooks);
        for (ObservationHook *hook : retired) delete hook;
    }

    void deactivate(Observation &observation) {
        if (!observation.mActive) return;
        observation.mActive = false;
        for (const auto &connection : observation.mConnections) QObject::disconnect(connection);
        observation.mConnections.clear();
        observation.mLinks.clear();
        mRetiredHooks.push_back(observation.mHook);
        observation.mHook = nullptr;
    }

    void forget(QObject *object) {
        std::lock_guard<std::recursive_mutex> lock(mMutex);
        mWatched.remove(object);
        std::erase_if(mObservations, [&](const std::shared_ptr<Observation> &observation) {
            if (observation->mObjectAddress != object && observation->mObserverAddress != object) return false;
            deactivate(*observation);
            return true;
        });
        sweep();
    }

    void watch(QObject *object) {
        if (mWatched.contains(object)) return;
        mWatched.insert(object);
        QObject::connect(object, &QObject::destroyed, mLifeContext, [object] { Shared().forget(object); },
                         Qt::DirectConnection);
    }
};

QVariant SafeValue(QObject *object, const QString &keyPath) {
    try {
        return NSKeyValueCoding::valueForKeyPath(object, keyPath);
    } catch (const NSException &) {
        return QVariant();
    }
}

void HookPath(Observation &observation, QObject *start, const QString &keyPath,
              QSet<std::pair<QObject *, QString>> &visited, int depth) {
    static const QMetaMethod fire =
        ObservationHook::staticMetaObject.method(ObservationHook::staticMetaObject.indexOfSlot("fire()"));
    if (depth > kMaxDependencyDepth) return;
    const QStringList keys = keyPath.split(u'.');
    QObject *current = start;
    for (qsizetype i = 0; i < keys.size() && current != nullptr; ++i) {
        const QString &key = keys[i];
        if (!visited.contains({current, key})) {
            visited.insert({current, key});
            observation.mLinks.emplace_back(current, key);
            const QMetaObject *meta = current->metaObject();
            const int index = meta->indexOfProperty(key.toUtf8().constData());
            if (index >= 0 && meta->property(index).hasNotifySignal())
                observation.mConnections.push_back(QObject::connect(current, meta->property(index).notifySignal(),
                                                                    observation.mHook, fire, Qt::DirectConnection));
            if (auto *nsObject = qobject_cast<NSObject *>(current))
                for (const QString &dependency : nsObject->keyPathsForValuesAffectingValueForKey(key))
                    HookPath(observation, current, dependency, visited, depth + 1);
        }
        if (i + 1 == keys.size()) break;
        QVariant next;
        try {
            next = NSKeyValueCoding::valueForKey(current, key);
        } catch (const NSException &) {
            break;
        }
        current = NSKeyValueCoding::objectFromVariant(next);
    }
}

// Under the lock.
void Rehook(Observation &observation) {
    for (const auto &connection : observation.mConnections) QObject::disconnect(connection);
    observation.mConnections.clear();
    observation.mLinks.clear();
    QSet<std::pair<QObject *, QString>> visited;
    HookPath(observation, observation.mObject, observation.mKeyPath, visited, 0);
}

// Re-walks the path and tells the observer (initial: no re-walk, no old value).
void Deliver(const std::shared_ptr<Observation> &observation, bool initial) {
    Registry &registry = Registry::Shared();
    QVariantMap change{{NSKeyValueChangeKindKey, NSKeyValueChangeSetting}};
    QObject *object = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(registry.mMutex);
        if (!observation->mActive) return;
        if (observation->mObject.isNull() || observation->mObserverObject.isNull()) return;
        object = observation->mObject;
        const QVariant old = observation->mLastValue;
        if (!initial) {
            Rehook(*observation);
            observation->mLastValue = SafeValue(object, observation->mKeyPath);
            if (observation->mOptions & NSKeyValueObservingOptionOld) change.insert(NSKeyValueChangeOldKey, old);
        }
        if (observation->mOptions & NSKeyValueObservingOptionNew)
            change.insert(NSKeyValueChangeNewKey, observation->mLastValue);
        ++registry.mDelivering;
    }
    struct EndDelivery {
        Registry &registry;
        ~EndDelivery() {
            std::lock_guard<std::recursive_mutex> lock(registry.mMutex);
            --registry.mDelivering;
            registry.sweep();
        }
    } end{registry};
    // The observer runs inside a signal emission: its exception is logged, not thrown through Qt.
    try {
        observation->mObserver->observeValueForKeyPath(observation->mKeyPath, object, change, observation->mContext);
    } catch (const std::exception &error) {
        NSLog(QStringLiteral("observeValueForKeyPath %1: exception %2").arg(observation->mKeyPath, QString::fromUtf8(error.what())));
    }
}

std::vector<std::shared_ptr<Observation>> ObservationsThrough(QObject *object, const QString &key) {
    Registry &registry = Registry::Shared();
    std::lock_guard<std::recursive_mutex> lock(registry.mMutex);
    std::vector<std::shared_ptr<Observation>> found;
    for (const auto &observation : registry.mObservations)
        for (const auto &link : observation->mLinks)
            if (link.first == object && link.second == key) {
                found.push_back(observation);
                break;
            }
    return found;
}

void ObservationHook::fire() {
    if (std::shared_ptr<Observation> owner = mOwner.lock()) Deliver(owner, false);
}

}  // namespace

namespace NSKeyValueCoding {

void addObserver(QObject *object, QObject *observer, const QString &keyPath, unsigned options, void *context) {
    if (object == nullptr) return;
    auto *observerInterface = dynamic_cast<NSKeyValueObserver *>(observer);
    if (observerInterface == nullptr)
        NSException::raise(NSInvalidArgumentException,
                           QStringLiteral("addObserver for %1: the observer does not observe key values").arg(keyPath));
    auto observation = std::make_shared<Observation>();
    observation->mObject = object;
    observation->mObjectAddress = object;
    observation->mObserverObject = observer;
    observation->mObserverAddress = observer;
    observation->mObserver = observerInterface;
    observation->mKeyPath = keyPath;
    observation->mOptions = options;
    observation->mContext = context;
    observation->mHook = new ObservationHook;
    observation->mHook->mOwner = observation;
    Registry &registry = Registry::Shared();
    {
        std::lock_guard<std::recursive_mutex> lock(registry.mMutex);
        Rehook(*observation);
        observation->mLastValue = SafeValue(object, keyPath);
        registry.watch(object);
        registry.watch(observer);
        registry.mObservations.push_back(observation);
    }
    if (options & NSKeyValueObservingOptionInitial) Deliver(observation, true);
}

namespace {
void RemoveObservation(QObject *object, QObject *observer, const QString &keyPath, const void *const *context) {
    Registry &registry = Registry::Shared();
    std::lock_guard<std::recursive_mutex> lock(registry.mMutex);
    auto &observations = registry.mObservations;
    for (auto it = observations.rbegin(); it != observations.rend(); ++it) {  // the latest first
        Observation &observation = **it;
        if (observation.mObjectAddress != object || observation.mObserverAddress != observer ||
            observation.mKeyPath != keyPath || (context != nullptr && observation.mContext != *context))
            continue;
        registry.deactivate(observation);
        observations.erase(std::next(it).base());
        break;
    }
    registry.sweep();
}
}  // namespace

void removeObserver(QObject *object, QObject *observer, const QString &keyPath) {
    RemoveObservation(object, observer, keyPath, nullptr);
}

void removeObserver(QObject *object, QObject *observer, const QString &keyPath, void *context) {
    RemoveObservation(object, observer, keyPath, const_cast<const void *const *>(&context));
}

void willChangeValueForKey(QObject *object, const QString &key) {
    // The old value is the one before the change, even when it moved without notification.
    for (const auto &observation : ObservationsThrough(object, key)) {
        std::lock_guard<std::recursive_mutex> lock(Registry::Shared().mMutex);
        if (observation->mActive && !observation->mObject.isNull())
            observation->mLastValue = SafeValue(observation->mObject, observation->mKeyPath);
    }
}

void didChangeValueForKey(QObject *object, const QString &key) {
    for (const auto &observation : ObservationsThrough(object, key)) Deliver(observation, false);
}

}  // namespace NSKeyValueCoding

#include "NSKeyValueObserving.moc"
