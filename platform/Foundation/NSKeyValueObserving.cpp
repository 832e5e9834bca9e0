// Key-value observing. Each observation keeps one hook object whose slot is connected to the
// NOTIFY signals of every (object, key) along its key path and along the key paths the keys
// depend on; any of them firing re-walks the path (objects along it may have changed), takes
// the new value and tells the observer. Hooks are deleted only when no notification is being
// delivered, so an observer may remove observations from inside its callback.
//
// The registry lock guards the registry's own state only. Code of the observed objects
// (getters, invokable methods, keyPathsForValuesAffectingValueForKey), Qt's connect and
// disconnect (connectNotify) and the observer never run under it: a walk and a value are
// read outside, then swapped in under the lock. A getter may therefore wait for another
// thread that changes an observed value.
#include <Foundation/NSKeyValueCoding.h>

#include <Foundation/NSException.h>
#include <Foundation/NSObject.h>

#include <QMetaMethod>
#include <QMetaProperty>
#include <QPointer>

#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace {

struct Observation;

class ObservationHook : public QObject {
    Q_OBJECT
public:
    std::weak_ptr<Observation> mOwner;  // set under the registry lock once registered
public Q_SLOTS:
    void fire();
};

using Connections = std::vector<QMetaObject::Connection>;
using Links = std::vector<std::pair<QObject *, QString>>;  // every (object, key) hooked

struct Observation {
    // Fixed once made.
    QObject *mObjectAddress = nullptr;
    QObject *mObserverAddress = nullptr;
    NSKeyValueObserver *mObserver = nullptr;
    QString mKeyPath;
    unsigned mOptions = 0;
    void *mContext = nullptr;
    // Under the registry lock.
    QPointer<QObject> mObject;
    QPointer<QObject> mObserverObject;
    QVariant mLastValue;
    ObservationHook *mHook = nullptr;
    Connections mConnections;
    Links mLinks;
    uint64_t mWalks = 0;       // walks started
    uint64_t mHookedWalk = 0;  // the walk whose connections are in place
    bool mActive = true;
};

constexpr int kMaxDependencyDepth = 16;

void Disconnect(const Connections &connections) {
    for (const auto &connection : connections) QObject::disconnect(connection);
}

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

    // Under the lock: the hooks to delete (outside it) once no delivery is under way.
    std::vector<ObservationHook *> sweep() {
        std::vector<ObservationHook *> retired;
        if (mDelivering == 0) retired.swap(mRetiredHooks);
        return retired;
    }

    // Under the lock: ends the observation; its connections are to be cut outside it.
    void deactivate(Observation &observation, Connections &stale) {
        if (!observation.mActive) return;
        observation.mActive = false;
        stale.insert(stale.end(), observation.mConnections.begin(), observation.mConnections.end());
        observation.mConnections.clear();
        observation.mLinks.clear();
        mRetiredHooks.push_back(observation.mHook);
        observation.mHook = nullptr;
    }

    // Cuts the connections and deletes the hooks, outside the lock.
    static void release(const Connections &stale, const std::vector<ObservationHook *> &retired) {
        Disconnect(stale);
        for (ObservationHook *hook : retired) delete hook;
    }

    void forget(QObject *object) {
        Connections stale;
        std::vector<ObservationHook *> retired;
        {
            std::lock_guard<std::recursive_mutex> lock(mMutex);
            mWatched.remove(object);
            std::erase_if(mObservations, [&](const std::shared_ptr<Observation> &observation) {
                if (observation->mObjectAddress != object && observation->mObserverAddress != object) return false;
                deactivate(*observation, stale);
                return true;
            });
            retired = sweep();
        }
        release(stale, retired);
    }

    // Outside the lock: the first observation that involves the object connects to its end.
    void watch(QObject *object) {
        {
            std::lock_guard<std::recursive_mutex> lock(mMutex);
            if (mWatched.contains(object)) return;
            mWatched.insert(object);
        }
        QObject::connect(object, &QObject::destroyed, mLifeContext, [object] { Shared().forget(object); },
                         Qt::DirectConnection);
    }

    // Ends a delivery (or a walk) begun by incrementing mDelivering under the lock.
    void endDelivery() {
        std::vector<ObservationHook *> retired;
        {
            std::lock_guard<std::recursive_mutex> lock(mMutex);
            --mDelivering;
            retired = sweep();
        }
        release({}, retired);
    }
};

QVariant SafeValue(QObject *object, const QString &keyPath) {
    if (object == nullptr) return QVariant();
    try {
        return NSKeyValueCoding::valueForKeyPath(object, keyPath);
    } catch (const NSException &) {
        return QVariant();
    }
}

// Outside the lock: calls the objects' getters and dependent-key lists, and connects their
// NOTIFY signals to the hook.
void HookPath(ObservationHook *hook, QObject *start, const QString &keyPath, Links &links, Connections &connections,
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
            links.emplace_back(current, key);
            const QMetaObject *meta = current->metaObject();
            const int index = meta->indexOfProperty(key.toUtf8().constData());
            if (index >= 0 && meta->property(index).hasNotifySignal())
                connections.push_back(
                    QObject::connect(current, meta->property(index).notifySignal(), hook, fire, Qt::DirectConnection));
            if (auto *nsObject = qobject_cast<NSObject *>(current))
                for (const QString &dependency : nsObject->keyPathsForValuesAffectingValueForKey(key))
                    HookPath(hook, current, dependency, links, connections, visited, depth + 1);
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

// Outside the lock, while mDelivering keeps the hook alive: a fresh walk of the observation's
// paths and its value, swapped in under the lock unless a later walk got there first.
// Answers the previous and the new value, or nothing when the observation ended meanwhile.
std::optional<std::pair<QVariant, QVariant>> Rewalk(Observation &observation, QObject *object, ObservationHook *hook, uint64_t walk) {
    Links links;
    Connections connections;
    QSet<std::pair<QObject *, QString>> visited;
    HookPath(hook, object, observation.mKeyPath, links, connections, visited, 0);
    const QVariant value = SafeValue(object, observation.mKeyPath);
    std::optional<std::pair<QVariant, QVariant>> values;
    {
        std::lock_guard<std::recursive_mutex> lock(Registry::Shared().mMutex);
        if (observation.mActive) {
            if (walk > observation.mHookedWalk) {
                observation.mHookedWalk = walk;
                observation.mConnections.swap(connections);
                observation.mLinks.swap(links);
            }
            values.emplace(std::exchange(observation.mLastValue, value), value);
        }
    }
    Disconnect(connections);  // whichever set is not in place
    return values;
}

// Re-walks the path and tells the observer (initial: no re-walk, no old value).
void Deliver(const std::shared_ptr<Observation> &observation, bool initial) {
    Registry &registry = Registry::Shared();
    QPointer<QObject> object;
    ObservationHook *hook = nullptr;
    uint64_t walk = 0;
    QVariant value;
    {
        std::lock_guard<std::recursive_mutex> lock(registry.mMutex);
        if (!observation->mActive) return;
        if (observation->mObject.isNull() || observation->mObserverObject.isNull()) return;
        object = observation->mObject;
        hook = observation->mHook;
        walk = ++observation->mWalks;
        value = observation->mLastValue;
        ++registry.mDelivering;
    }
    struct EndDelivery {
        Registry &registry;
        ~EndDelivery() { registry.endDelivery(); }
    } end{registry};
    QVariantMap change{{NSKeyValueChangeKindKey, NSKeyValueChangeSetting}};
    if (!initial) {
        const auto values = Rewalk(*observation, object, hook, walk);
        if (!values) return;
        if (observation->mOptions & NSKeyValueObservingOptionOld) change.insert(NSKeyValueChangeOldKey, values->first);
        value = values->second;
    }
    if (observation->mOptions & NSKeyValueObservingOptionNew) change.insert(NSKeyValueChangeNewKey, value);
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
    std::shared_ptr<Observation> owner;
    {
        std::lock_guard<std::recursive_mutex> lock(Registry::Shared().mMutex);
        owner = mOwner.lock();
    }
    if (owner) Deliver(owner, false);
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
    // Not yet registered: the hook has no owner, so a signal during the walk is ignored, and
    // it goes with its connections if the object's code throws.
    auto hook = std::make_unique<ObservationHook>();
    Links links;
    Connections connections;
    QSet<std::pair<QObject *, QString>> visited;
    HookPath(hook.get(), object, keyPath, links, connections, visited, 0);
    const QVariant value = SafeValue(object, keyPath);
    Registry &registry = Registry::Shared();
    registry.watch(object);
    registry.watch(observer);
    {
        std::lock_guard<std::recursive_mutex> lock(registry.mMutex);
        observation->mConnections = std::move(connections);
        observation->mLinks = std::move(links);
        observation->mLastValue = value;
        observation->mHook = hook.release();
        observation->mHook->mOwner = observation;
        registry.mObservations.push_back(observation);
    }
    if (options & NSKeyValueObservingOptionInitial) Deliver(observation, true);
}

namespace {
void RemoveObservation(QObject *object, QObject *observer, const QString &keyPath, const void *const *context) {
    Registry &registry = Registry::Shared();
    Connections stale;
    std::vector<ObservationHook *> retired;
    {
        std::lock_guard<std::recursive_mutex> lock(registry.mMutex);
        auto &observations = registry.mObservations;
        for (auto it = observations.rbegin(); it != observations.rend(); ++it) {  // the latest first
            Observation &observation = **it;
            if (observation.mObjectAddress != object || observation.mObserverAddress != observer ||
                observation.mKeyPath != keyPath || (context != nullptr && observation.mContext != *context))
                continue;
            registry.deactivate(observation, stale);
            observations.erase(std::next(it).base());
            break;
        }
        retired = registry.sweep();
    }
    Registry::release(stale, retired);
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
    Registry &registry = Registry::Shared();
    for (const auto &observation : ObservationsThrough(object, key)) {
        QPointer<QObject> target;
        {
            std::lock_guard<std::recursive_mutex> lock(registry.mMutex);
            if (!observation->mActive) continue;
            target = observation->mObject;
        }
        if (target.isNull()) continue;
        const QVariant value = SafeValue(target, observation->mKeyPath);
        std::lock_guard<std::recursive_mutex> lock(registry.mMutex);
        if (observation->mActive) observation->mLastValue = value;
    }
}

void didChangeValueForKey(QObject *object, const QString &key) {
    for (const auto &observation : ObservationsThrough(object, key)) Deliver(observation, false);
}

}  // namespace NSKeyValueCoding

#include "NSKeyValueObserving.moc"
