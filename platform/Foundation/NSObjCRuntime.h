// Classes by name and selectors kept as data.
//
// A class is its QMetaObject. Classes that code or files name at run time are registered with
// NS_REGISTER_CLASS(Class) in the class's own source file (a default-constructible QObject
// subclass); NSClassFromString finds them, NSClassCreateInstance makes one.
//
// A selector is a method name ("setIntParam"); a selector written the Objective-C way
// ("setIntParam:") is cut at its first colon. An object responds to a selector when it has a
// Q_INVOKABLE method or slot of that name, or a readable property of that name (a getter of
// no argument). Invoking converts the argument to the method's parameter type (a QVariant
// parameter takes it as it is) and answers the method's result as a QVariant (invalid for
// void).
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QVariant>

using NSClass = const QMetaObject *;

// The registered class of that name; null when none.
NSClass NSClassFromString(const QString &name);
// The class's name; "" for null.
QString NSStringFromClass(NSClass cls);
// A new instance of a registered class (no parent); null for a class that is not registered.
QObject *NSClassCreateInstance(NSClass cls);

// Registration, used by NS_REGISTER_CLASS. A second registration of a name replaces the first.
void NSRegisterClass(const char *name, NSClass cls, QObject *(*create)());

#define NS_REGISTER_CLASS(Class)                                                             \
    [[maybe_unused]] static const bool ns_class_registered_##Class = (NSRegisterClass(                        \
        #Class, &Class::staticMetaObject, []() -> QObject * { return new Class; }), true)

// True when the object answers the selector (false for a null object).
bool respondsToSelector(const QObject *object, QByteArrayView selector);

// Sends the selector to the object on the calling thread, with one argument or none (a method
// of no parameter ignores the argument; a method of one parameter without an argument gets the
// parameter type's default value). A null object answers nil (a message to nil). A selector the
// object does not answer, or an argument the parameter cannot take, raises
// "NSInvalidArgumentException"; an exception of the method reaches the caller.
QVariant performSelector(QObject *object, QByteArrayView selector);
QVariant performSelector(QObject *object, QByteArrayView selector, const QVariant &withObject);

// Sends the selector on the main thread. Waiting: on the main thread it runs at once, from
// another thread the caller waits until the main thread has run it (an exception reaches the
// caller). Not waiting: it is queued on the main queue (dispatch_get_main_queue), also when
// called on the main thread, and is dropped if the object is destroyed before its turn; an
// exception then is reported on standard error. A selector the object does not answer raises
// at once.
void performSelectorOnMainThread(QObject *object, QByteArrayView selector, const QVariant &withObject,
                                 bool waitUntilDone);

// True on the main thread: the thread of the QCoreApplication, or the process's first thread
// when there is none.
bool NSIsMainThread();
