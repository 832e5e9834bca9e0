// UNibSingleton: the base of classes that exist once per process however they are made: by
// code, by a nib that instantiates the class, or by several nibs that each name it. Every
// creation path goes through allocInit<Class>() and yields the one shared instance of the
// class's instance key; the instance lives until the process ends.
//
// Hooks: initOnceInstance runs once, at the first init of the shared instance;
// initEveryInstance runs at every init (each nib that instantiates the class inits the
// shared instance again).
//
// The instance key is the class name. A subclass may declare its own
//     static QString instanceKey();
// to share one instance with other classes (answering their key) or to split a class.
//
// Class needs a constructor of no argument that UNibSingleton may call (public, or the class
// befriends UNibSingleton).
//
// A nib loader makes such classes through the class registry: register them with
// NS_REGISTER_NIB_SINGLETON(Class) instead of NS_REGISTER_CLASS; the registry then answers
// the shared instance, which the loader must not delete or reparent.
#pragma once

#include <Foundation/NSObject.h>

#include <QString>

#include <concepts>
#include <mutex>

class UNibSingleton : public NSObject {
    Q_OBJECT
public:
    // The shared instance of the class's instance key, made with `new Class` when there is
    // none; then init: the first init runs initOnceInstance, every init runs
    // initEveryInstance. Answers the shared instance, which is of another class when a
    // class with the same key made it first.
    template <class Class>
    static UNibSingleton *allocInit() {
        std::lock_guard<std::recursive_mutex> lock(TableMutex());
        const QString key = InstanceKeyOf<Class>();
        if (sharedInstanceForKey(key) == nullptr) setSharedInstance(key, new Class);
        return initSharedInstance(key);
    }

    // The shared instance of the class's key as that class; null when none was made or it is
    // of another class.
    template <class Class>
    static Class *sharedInstance() {
        return qobject_cast<Class *>(sharedInstanceForKey(InstanceKeyOf<Class>()));
    }

    template <class Class>
    static QString InstanceKeyOf() {
        if constexpr (requires { { Class::instanceKey() } -> std::convertible_to<QString>; })
            return Class::instanceKey();
        else
            return QString::fromLatin1(Class::staticMetaObject.className());
    }

    // The tables, by instance key.
    static UNibSingleton *sharedInstanceForKey(const QString &key);
    // Stores the instance unless the key has one already (a second registration is ignored).
    static void setSharedInstance(const QString &key, UNibSingleton *instance);
    static bool sharedInstanceWasInitialized(const QString &key);
    static void setSharedInstanceWasInitialized(const QString &key, bool initialized);

protected:
    UNibSingleton();
    ~UNibSingleton() override;

    virtual void initOnceInstance();
    virtual void initEveryInstance();

private:
    static std::recursive_mutex &TableMutex();
    static UNibSingleton *initSharedInstance(const QString &key);
};

#define NS_REGISTER_NIB_SINGLETON(Class)                                                     \
    static const bool ns_class_registered_##Class = (NSRegisterClass(                        \
        #Class, &Class::staticMetaObject,                                                    \
        []() -> QObject * { return UNibSingleton::allocInit<Class>(); }), true)

bool import_UNibSingleton();
