#include <Foundation/NSObjCRuntime.h>

#include <Foundation/NSException.h>
#include <Foundation/NSKeyValueCoding.h>

#include <dispatch/dispatch.h>

#include <QCoreApplication>
#include <QHash>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QPointer>
#include <QThread>

#include <mutex>
#include <unistd.h>

namespace {

struct ClassEntry {
    NSClass cls = nullptr;
    QObject *(*create)() = nullptr;
};

struct ClassRegistry {
    std::mutex mMutex;
    QHash<QString, ClassEntry> mClasses;

    static ClassRegistry &Shared() {
        static ClassRegistry *registry = new ClassRegistry;
        return *registry;
    }
};

QByteArray MethodName(QByteArrayView selector) {
    const qsizetype colon = selector.indexOf(':');
    return (colon < 0 ? selector : selector.first(colon)).toByteArray();
}

// The method answering the selector with the preferred number of parameters (0 or 1), else
// with the other number; invalid when there is none.
QMetaMethod FindSelector(const QMetaObject *meta, const QByteArray &name, int preferred) {
    QMetaMethod other;
    for (int i = meta->methodCount() - 1; i >= 0; --i) {  // the most derived first
        const QMetaMethod method = meta->method(i);
        if (method.methodType() != QMetaMethod::Method && method.methodType() != QMetaMethod::Slot) continue;
        if (method.name() != name || method.parameterCount() > 1) continue;
        if (method.parameterCount() == preferred) return method;
        if (!other.isValid()) other = method;
    }
    return other;
}

int ReadableProperty(const QMetaObject *meta, const QByteArray &name) {
    const int index = meta->indexOfProperty(name.constData());
    return index >= 0 && meta->property(index).isReadable() ? index : -1;
}

[[noreturn]] void RaiseUnrecognised(const QObject *object, const QByteArray &name) {
    NSException::raise(NSInvalidArgumentException,
                       QStringLiteral("-[%1 %2]: unrecognized selector sent to instance")
                           .arg(QString::fromLatin1(object->metaObject()->className()), QString::fromUtf8(name)));
}

QVariant Invoke(QObject *object, const QByteArray &name, const QVariant *withObject) {
    const QMetaObject *meta = object->metaObject();
    const QMetaMethod method = FindSelector(meta, name, withObject != nullptr ? 1 : 0);
    if (!method.isValid()) {
        const int property = ReadableProperty(meta, name);
        if (property < 0) RaiseUnrecognised(object, name);
        return meta->property(property).read(object);
    }
    QVariant argument;
    const void *argumentData = nullptr;
    const QMetaType parameterType = method.parameterCount() == 1 ? method.parameterMetaType(0) : QMetaType();
    if (method.parameterCount() == 1) {
        const QVariant given = withObject != nullptr ? *withObject : QVariant();
        if (parameterType == QMetaType::fromType<QVariant>()) {
            argument = given;
            argumentData = &argument;
        } else if (!given.isValid()) {
            argument = QVariant(parameterType);
            argumentData = argument.constData();
        } else if (parameterType.flags() & QMetaType::PointerToQObject) {
            QObject *value = NSKeyValueCoding::objectFromVariant(given);
            if ((value == nullptr && !NSKeyValueCoding::isNil(given)) ||
                (value != nullptr && parameterType.metaObject() != nullptr &&
                 !value->metaObject()->inherits(parameterType.metaObject())))
                NSException::raise(NSInvalidArgumentException,
                                   QStringLiteral("%1: the argument is not a %2")
                                       .arg(QString::fromUtf8(name), QString::fromLatin1(parameterType.name())));
            argument = QVariant(parameterType);
            *static_cast<QObject **>(argument.data()) = value;
            argumentData = argument.constData();
        } else {
            argument = given;
            if (argument.metaType() != parameterType && !argument.convert(parameterType))
                NSException::raise(NSInvalidArgumentException,
                                   QStringLiteral("%1: a %2 argument cannot be a %3")
                                       .arg(QString::fromUtf8(name), QString::fromLatin1(given.metaType().name()),
                                            QString::fromLatin1(parameterType.name())));
            argumentData = argument.constData();
        }
    }
    const QMetaType returnType = method.returnMetaType();
    const bool returnsValue = returnType.isValid() && returnType != QMetaType::fromType<void>();
    QVariant result = returnsValue ? QVariant(returnType) : QVariant();
    const QGenericReturnArgument returnArgument =
        returnsValue ? QGenericReturnArgument(returnType.name(), result.data()) : QGenericReturnArgument();
    const bool invoked =
        method.parameterCount() == 1
            ? method.invoke(object, Qt::DirectConnection, returnArgument, QGenericArgument(parameterType.name(), argumentData))
            : method.invoke(object, Qt::DirectConnection, returnArgument);
    if (!invoked) RaiseUnrecognised(object, name);
    if (result.metaType() == QMetaType::fromType<QVariant>()) return result.value<QVariant>();
    return result;
}

}  // namespace

void NSRegisterClass(const char *name, NSClass cls, QObject *(*create)()) {
    ClassRegistry &registry = ClassRegistry::Shared();
    std::lock_guard<std::mutex> lock(registry.mMutex);
    registry.mClasses.insert(QString::fromLatin1(name), ClassEntry{cls, create});
}

NSClass NSClassFromString(const QString &name) {
    ClassRegistry &registry = ClassRegistry::Shared();
    std::lock_guard<std::mutex> lock(registry.mMutex);
    return registry.mClasses.value(name).cls;
}

QString NSStringFromClass(NSClass cls) { return cls != nullptr ? QString::fromLatin1(cls->className()) : QString(); }

QObject *NSClassCreateInstance(NSClass cls) {
    if (cls == nullptr) return nullptr;
    QObject *(*create)() = nullptr;
    {
        ClassRegistry &registry = ClassRegistry::Shared();
        std::lock_guard<std::mutex> lock(registry.mMutex);
        for (const ClassEntry &entry : registry.mClasses)
            if (entry.cls == cls) create = entry.create;
    }
    return create != nullptr ? create() : nullptr;
}

bool respondsToSelector(const QObject *object, QByteArrayView selector) {
    if (object == nullptr) return false;
    const QByteArray name = MethodName(selector);
    const QMetaObject *meta = object->metaObject();
    return FindSelector(meta, name, 0).isValid() || ReadableProperty(meta, name) >= 0;
}

QVariant performSelector(QObject *object, QByteArrayView selector) {
    if (object == nullptr) return QVariant();
    return Invoke(object, MethodName(selector), nullptr);
}

QVariant performSelector(QObject *object, QByteArrayView selector, const QVariant &withObject) {
    if (object == nullptr) return QVariant();
    return Invoke(object, MethodName(selector), &withObject);
}

bool NSIsMainThread() {
    if (const QCoreApplication *application = QCoreApplication::instance())
        return QThread::currentThread() == application->thread();
    return ::gettid() == ::getpid();
}

void performSelectorOnMainThread(QObject *object, QByteArrayView selector, const QVariant &withObject,
                                 bool waitUntilDone) {
    if (object == nullptr) return;
    const QByteArray name = MethodName(selector);
    if (!respondsToSelector(object, name)) RaiseUnrecognised(object, name);
    if (waitUntilDone) {
        if (NSIsMainThread()) {
            Invoke(object, name, &withObject);
            return;
        }
        dispatch_sync(dispatch_get_main_queue(), [object, &name, &withObject] { Invoke(object, name, &withObject); });
        return;
    }
    dispatch_async(dispatch_get_main_queue(), [target = QPointer<QObject>(object), name, withObject] {
        if (!target.isNull()) Invoke(target.data(), name, &withObject);
    });
}
