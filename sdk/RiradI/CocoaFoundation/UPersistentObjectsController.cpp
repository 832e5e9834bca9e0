#include "UPersistentObjectsController.h"

#include "PersistentKeyPaths.h"

#include <Foundation/NSApplication.h>
#include <Foundation/NSException.h>

#include <dispatch/dispatch.h>

#include <algorithm>
#include <exception>
#include <mutex>

// ---- UPersistentObject ----------------------------------------------------------------------

UPersistentObject::~UPersistentObject() = default;

QObject *UPersistentObject::persistentQObject() const {
    return dynamic_cast<QObject *>(const_cast<UPersistentObject *>(this));
}

QString UPersistentObject::persistenceObjectKey() const {
    const QObject *object = persistentQObject();
    return object ? QString::fromLatin1(object->metaObject()->className()) : QString();
}

QString UPersistentObject::safePersistenceObjectKey() const { return persistenceObjectKey(); }

QStringList UPersistentObject::safePersistentObjectKeyPaths() const {
    QStringList keyPaths = persistentObjectKeyPaths().values();
    keyPaths.sort();
    return keyPaths;
}

void UPersistentObject::persistentObjectSaveData() {
    PersistentKeyPaths::persistentObjectSaveKeyPaths(persistentQObject(), safePersistentObjectKeyPaths(),
                                                     safePersistenceObjectKey());
}

void UPersistentObject::persistentObjectLoadData() {
    PersistentKeyPaths::persistentObjectLoadKeyPaths(persistentQObject(), safePersistentObjectKeyPaths(),
                                                     safePersistenceObjectKey());
}

QVariantMap UPersistentObject::persistentObjectDisplayPersistentKeyValues() {
    return PersistentKeyPaths::persistentDictionaryWithValuesForKeyPaths(persistentQObject(),
                                                                         safePersistentObjectKeyPaths());
}

// ---- UPersistentObjectsController -----------------------------------------------------------

namespace {

void LogException(const char *method, const QString &what) {
    NSLog(QStringLiteral("UPersistentObjectsController::%1 exception:%2").arg(QLatin1String(method), what));
}

}  // namespace

UPersistentObjectsController::UPersistentObjectsController() = default;

UPersistentObjectsController::~UPersistentObjectsController() {
    NSNotificationCenter::defaultCenter().removeObserver(this);
}

UPersistentObjectsController *UPersistentObjectsController::sharedPersistentObjectsController() {
    static std::once_flag once;
    static UPersistentObjectsController *shared = nullptr;
    std::call_once(once, [] {
        shared = qobject_cast<UPersistentObjectsController *>(allocInit<UPersistentObjectsController>());
    });
    return shared;
}

void UPersistentObjectsController::initOnceInstance() {
    mWasLaunched = false;
    mObjects.reserve(9);
    NSNotificationCenter &center = NSNotificationCenter::defaultCenter();
    center.addObserver(this, "applicationWillFinishLaunching", NSApplicationWillFinishLaunchingNotification, nullptr);
    center.addObserver(this, "applicationWillTerminate", NSApplicationWillTerminateNotification, nullptr);
}

bool UPersistentObjectsController::conformsPersistentObject(QObject *object) const {
    return object != nullptr && dynamic_cast<UPersistentObject *>(object) != nullptr;
}

bool UPersistentObjectsController::wasLaunched() const {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    return mWasLaunched;
}

void UPersistentObjectsController::setWasLaunched(bool launched) {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    mWasLaunched = launched;
}

std::vector<QPointer<QObject>> UPersistentObjectsController::snapshot() const {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    std::vector<QPointer<QObject>> members;
    for (const QPointer<QObject> &object : mObjects)
        if (!object.isNull()) members.push_back(object);
    return members;
}

std::vector<QObject *> UPersistentObjectsController::objects() const {
    std::vector<QObject *> members;
    for (const QPointer<QObject> &object : snapshot()) members.push_back(object.data());
    return members;
}

void UPersistentObjectsController::loadObject(QObject *object, const char *method) {
    auto *persistent = dynamic_cast<UPersistentObject *>(object);
    if (persistent == nullptr) return;
    try {
        persistent->persistentObjectLoadData();
    } catch (const NSException &exception) {
        LogException(method, exception.description());
    } catch (const std::exception &exception) {
        LogException(method, QString::fromUtf8(exception.what()));
    }
}

void UPersistentObjectsController::saveObject(QObject *object, const char *method) {
    auto *persistent = dynamic_cast<UPersistentObject *>(object);
    if (persistent == nullptr) return;
    try {
        persistent->persistentObjectSaveData();
    } catch (const NSException &exception) {
        LogException(method, exception.description());
    } catch (const std::exception &exception) {
        LogException(method, QString::fromUtf8(exception.what()));
    }
}

void UPersistentObjectsController::registerPersistentObject(QObject *object, bool restoreIfAlreadyLaunched) {
    if (!conformsPersistentObject(object)) return;
    bool restore = false;
    {
        std::lock_guard<std::recursive_mutex> lock(mMutex);
        mObjects.erase(std::remove_if(mObjects.begin(), mObjects.end(),
                                      [](const QPointer<QObject> &o) { return o.isNull(); }),
                       mObjects.end());
        if (std::none_of(mObjects.begin(), mObjects.end(),
                         [object](const QPointer<QObject> &o) { return o.data() == object; }))
            mObjects.emplace_back(object);
        restore = mWasLaunched && restoreIfAlreadyLaunched;
    }
    if (!restore) return;
    QPointer<QObject> guarded(object);
    dispatch_async(dispatch_get_main_queue(), [guarded] {
        if (!guarded.isNull()) loadObject(guarded.data(), "registerPersistentObject:restoreIfAlreadyLaunched:");
    });
}

void UPersistentObjectsController::registerPersistentObject(QObject *object) {
    registerPersistentObject(object, false);
}

void UPersistentObjectsController::unregisterPersistentObject(QObject *object) {
    if (!conformsPersistentObject(object)) return;
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    const auto member = std::find_if(mObjects.begin(), mObjects.end(),
                                     [object](const QPointer<QObject> &o) { return o.data() == object; });
    if (member == mObjects.end()) return;
    saveObject(object, "unregisterPersistentObject:");
    mObjects.erase(std::find_if(mObjects.begin(), mObjects.end(),
                                [object](const QPointer<QObject> &o) { return o.data() == object; }));
}

void UPersistentObjectsController::registerPersistentObjectShared(QObject *object) {
    if (object != nullptr) sharedPersistentObjectsController()->registerPersistentObject(object);
}

void UPersistentObjectsController::registerPersistentObjectShared(QObject *object, bool restoreIfAlreadyLaunched) {
    if (object != nullptr)
        sharedPersistentObjectsController()->registerPersistentObject(object, restoreIfAlreadyLaunched);
}

void UPersistentObjectsController::unregisterPersistentObjectShared(QObject *object) {
    if (object != nullptr) sharedPersistentObjectsController()->unregisterPersistentObject(object);
}

void UPersistentObjectsController::applicationWillFinishLaunching(const NSNotification &) {
    setWasLaunched(true);
    for (const QPointer<QObject> &object : snapshot())
        if (!object.isNull()) loadObject(object.data(), "applicationWillFinishLaunching:");
}

void UPersistentObjectsController::applicationWillTerminate(const NSNotification &) {
    for (const QPointer<QObject> &object : snapshot())
        if (!object.isNull()) saveObject(object.data(), "applicationWillTerminate:");
}

NS_REGISTER_NIB_SINGLETON(UPersistentObjectsController);

bool import_UPersistentObjectsController() { return import_UNibSingleton() && import_PersistentKeyPaths(); }
