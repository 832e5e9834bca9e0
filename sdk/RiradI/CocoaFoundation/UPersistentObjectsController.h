// Persistent objects: objects that name a set of key paths whose values survive between
// launches, and the registry that restores them at launch and saves them at quit.
//
// A class becomes persistent by deriving from UPersistentObject (beside QObject) and
// answering persistentObjectKeyPaths; by default its values are stored in the user
// defaults under its class name (persistenceObjectKey) as the keyed archive of
// {key path: value} (PersistentKeyPaths). It registers its instance with the shared
// UPersistentObjectsController:
//   - objects of the main nib register from awakeFromNib (registerPersistentObject) and are
//     restored by the will-finish-launching pass;
//   - objects made later register with restoreIfAlreadyLaunched true and are restored on the
//     main queue, after the registering call has returned;
//   - an object that goes away before quitting unregisters, and is saved then;
//   - at will-terminate every registered object is saved.
// An object that throws while loading or saving is logged and the pass goes on with the
// others. The registry holds its objects weakly: an object destroyed without unregistering
// is dropped unsaved, so persistent objects unregister before they go.
#pragma once

#include "UNibSingleton.h"

#include <Foundation/NSNotification.h>

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

#include <mutex>
#include <vector>

// NSObject(UPersistentObject): the persistence behaviour of a persistent object.
class UPersistentObject {
public:
    virtual ~UPersistentObject();

    // The key paths to persist (the class's set).
    virtual QSet<QString> persistentObjectKeyPaths() const = 0;
    // The user-defaults key; the class name here.
    virtual QString persistenceObjectKey() const;
    QString safePersistenceObjectKey() const;
    // The key paths as a list, sorted.
    QStringList safePersistentObjectKeyPaths() const;
    // Saves / loads the key paths' values under the key (PersistentKeyPaths).
    virtual void persistentObjectSaveData();
    virtual void persistentObjectLoadData();
    // The key-path dictionary of the object, for a debugger; no output.
    QVariantMap persistentObjectDisplayPersistentKeyValues();

    // The QObject this is part of; null when the object is no QObject.
    QObject *persistentQObject() const;
};

class UPersistentObjectsController : public UNibSingleton {
    Q_OBJECT
    Q_PROPERTY(bool wasLaunched READ wasLaunched WRITE setWasLaunched)

public:
    UPersistentObjectsController();
    ~UPersistentObjectsController() override;

    static UPersistentObjectsController *sharedPersistentObjectsController();

    // True for a QObject that is a UPersistentObject.
    bool conformsPersistentObject(QObject *object) const;
    void registerPersistentObject(QObject *object, bool restoreIfAlreadyLaunched);
    void registerPersistentObject(QObject *object);
    // Saves a registered object, then forgets it; nothing for any other object.
    void unregisterPersistentObject(QObject *object);

    // Class-level forwards to the shared controller; nothing for null.
    static void registerPersistentObjectShared(QObject *object);
    static void registerPersistentObjectShared(QObject *object, bool restoreIfAlreadyLaunched);
    static void unregisterPersistentObjectShared(QObject *object);

    bool wasLaunched() const;
    void setWasLaunched(bool launched);
    // The registered objects that still live, in registration order.
    std::vector<QObject *> objects() const;

    // The handlers of the application notifications.
    Q_INVOKABLE void applicationWillFinishLaunching(const NSNotification &notification);
    Q_INVOKABLE void applicationWillTerminate(const NSNotification &notification);

protected:
    void initOnceInstance() override;

private:
    // The live members, taken under the lock; the passes run over this copy.
    std::vector<QPointer<QObject>> snapshot() const;
    static void loadObject(QObject *object, const char *method);
    static void saveObject(QObject *object, const char *method);

    mutable std::recursive_mutex mMutex;
    std::vector<QPointer<QObject>> mObjects;
    bool mWasLaunched = false;
};

bool import_UPersistentObjectsController();
