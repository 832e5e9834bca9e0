#include <Foundation/NSKeyValueCoding.h>

#include <Foundation/NSException.h>
#include <Foundation/NSObject.h>

#include <QMetaMethod>
#include <QMetaProperty>

namespace NSKeyValueCoding {

namespace {

// The key before the first dot and the rest of the path (empty when there is no dot).
std::pair<QString, QString> SplitPath(const QString &keyPath) {
    const qsizetype dot = keyPath.indexOf(u'.');
    if (dot < 0) return {keyPath, QString()};
    return {keyPath.left(dot), keyPath.mid(dot + 1)};
}

QString TypeNameOf(const QVariant &value) {
    const char *name = value.metaType().name();
    return name != nullptr ? QString::fromLatin1(name) : QStringLiteral("nil");
}

QString HolderName(const QObject *object) { return QString::fromLatin1(object->metaObject()->className()); }

bool IsMap(const QVariant &value) {
    return value.metaType() == QMetaType::fromType<QVariantMap>() ||
           value.metaType() == QMetaType::fromType<QVariantHash>();
}

QVariantMap MapOf(const QVariant &value) {
    if (value.metaType() == QMetaType::fromType<QVariantHash>()) {
        const QVariantHash hash = value.toHash();
        QVariantMap map;
        for (auto it = hash.cbegin(); it != hash.cend(); ++it) map.insert(it.key(), it.value());
        return map;
    }
    return value.toMap();
}

// The invokable method of that name with that many parameters, or an invalid one.
QMetaMethod FindMethod(const QMetaObject *meta, const QByteArray &name, int parameters) {
    for (int i = meta->methodCount() - 1; i >= 0; --i) {  // the most derived first
        const QMetaMethod method = meta->method(i);
        if (method.methodType() != QMetaMethod::Method && method.methodType() != QMetaMethod::Slot) continue;
        if (method.parameterCount() == parameters && method.name() == name) return method;
    }
    return QMetaMethod();
}

// The value converted to the type, or nothing when it cannot be.
std::optional<QVariant> Converted(const QVariant &value, QMetaType type) {
    if (type == QMetaType::fromType<QVariant>() || value.metaType() == type) return value;
    if (!value.isValid()) return QVariant(type);
    if (type.flags() & QMetaType::PointerToQObject) {
        QObject *object = objectFromVariant(value);
        if (object == nullptr && !isNil(value)) return std::nullopt;
        if (object != nullptr && type.metaObject() != nullptr && !object->metaObject()->inherits(type.metaObject()))
            return std::nullopt;
        QVariant result(type);
        *static_cast<QObject **>(result.data()) = object;
        return result;
    }
    QVariant copy = value;
    if (!copy.convert(type)) return std::nullopt;
    return copy;
}

}  // namespace

QObject *objectFromVariant(const QVariant &value) {
    if (!(value.metaType().flags() & QMetaType::PointerToQObject)) return nullptr;
    return *static_cast<QObject *const *>(value.constData());
}

QVariant variantFromObject(QObject *object) { return QVariant::fromValue(object); }

bool isNil(const QVariant &value) {
    if (!value.isValid()) return true;
    return (value.metaType().flags() & QMetaType::PointerToQObject) && objectFromVariant(value) == nullptr;
}

void raiseUnknownKey(const QString &holder, const QString &key) {
    NSException::raise(NSUnknownKeyException,
                       QStringLiteral("[<%1> valueForUndefinedKey:]: this class is not key value coding-compliant "
                                      "for the key %2.")
                           .arg(holder, key),
                       {{QStringLiteral("NSTargetObjectUserInfoKey"), holder},
                        {QStringLiteral("NSUnknownUserInfoKey"), key}});
}

std::optional<QVariant> accessorValueForKey(QObject *object, const QString &key) {
    const QByteArray name = key.toUtf8();
    const QMetaObject *meta = object->metaObject();
    const int index = meta->indexOfProperty(name.constData());
    if (index >= 0) {
        const QMetaProperty property = meta->property(index);
        if (property.isReadable()) {
            QVariant value = property.read(object);
            if (value.metaType() == QMetaType::fromType<QVariant>()) return value.value<QVariant>();
            return value;
        }
    }
    const QMetaMethod getter = FindMethod(meta, name, 0);
    if (getter.isValid() && getter.returnMetaType().isValid() &&
        getter.returnMetaType() != QMetaType::fromType<void>()) {
        QVariant result(getter.returnMetaType());
        getter.invoke(object, Qt::DirectConnection, QGenericReturnArgument(getter.returnMetaType().name(), result.data()));
        if (result.metaType() == QMetaType::fromType<QVariant>()) return result.value<QVariant>();
        return result;
    }
    if (object->dynamicPropertyNames().contains(name)) return object->property(name.constData());
    return std::nullopt;
}

bool accessorSetValueForKey(QObject *object, const QVariant &value, const QString &key) {
    const QByteArray name = key.toUtf8();
    const QMetaObject *meta = object->metaObject();
    auto refuse = [&](QMetaType type) {
        NSException::raise(NSInvalidArgumentException, QStringLiteral("[<%1> setValue:forKey:]: the key %2 (%3) cannot take a %4")
                                                           .arg(HolderName(object), key,
                                                                QString::fromLatin1(type.name()), TypeNameOf(value)));
    };
    const int index = meta->indexOfProperty(name.constData());
    if (index >= 0 && meta->property(index).isWritable()) {
        const QMetaProperty property = meta->property(index);
        if (!value.isValid()) {
            if (property.isResettable()) property.reset(object);
            else property.write(object, QVariant(property.metaType()));
            return true;
        }
        const std::optional<QVariant> converted = Converted(value, property.metaType());
        if (!converted || !property.write(object, *converted)) refuse(property.metaType());
        return true;
    }
    if (!key.isEmpty()) {
        const QByteArray setterName = "set" + name.left(1).toUpper() + name.mid(1);
        const QMetaMethod setter = FindMethod(meta, setterName, 1);
        if (setter.isValid()) {
            const std::optional<QVariant> converted = Converted(value, setter.parameterMetaType(0));
            if (!converted) refuse(setter.parameterMetaType(0));
            QVariant argument = *converted;
            const void *data = setter.parameterMetaType(0) == QMetaType::fromType<QVariant>()
                                   ? static_cast<const void *>(&argument)
                                   : argument.constData();
            setter.invoke(object, Qt::DirectConnection, QGenericArgument(setter.parameterMetaType(0).name(), data));
            return true;
        }
    }
    if (object->dynamicPropertyNames().contains(name)) {
        object->setProperty(name.constData(), value);
        return true;
    }
    return false;
}

QVariant valueForKey(QObject *object, const QString &key) {
    if (object == nullptr) return QVariant();
    if (auto *nsObject = qobject_cast<NSObject *>(object)) return nsObject->valueForKey(key);
    if (std::optional<QVariant> value = accessorValueForKey(object, key)) return *value;
    raiseUnknownKey(HolderName(object), key);
}

void setValueForKey(QObject *object, const QVariant &value, const QString &key) {
    if (object == nullptr) return;
    if (auto *nsObject = qobject_cast<NSObject *>(object)) return nsObject->setValueForKey(value, key);
    if (!accessorSetValueForKey(object, value, key)) raiseUnknownKey(HolderName(object), key);
}

namespace {

// One key of a value: an object's key, a map's entry, nil for nil.
QVariant ValueOfKey(const QVariant &target, const QString &key) {
    if (isNil(target)) return QVariant();
    if (QObject *object = objectFromVariant(target)) return valueForKey(object, key);
    if (target.metaType() == QMetaType::fromType<QVariantMap>()) return target.toMap().value(key);
    if (target.metaType() == QMetaType::fromType<QVariantHash>()) return target.toHash().value(key);
    raiseUnknownKey(TypeNameOf(target), key);
}

}  // namespace

QVariant valueForKeyPath(const QVariant &target, const QString &keyPath) {
    if (isNil(target)) return QVariant();
    if (QObject *object = objectFromVariant(target)) return valueForKeyPath(object, keyPath);
    auto [key, rest] = SplitPath(keyPath);
    const QVariant value = ValueOfKey(target, key);
    return rest.isEmpty() ? value : valueForKeyPath(value, rest);
}

QVariant valueForKeyPath(QObject *object, const QString &keyPath) {
    if (object == nullptr) return QVariant();
    if (auto *nsObject = qobject_cast<NSObject *>(object)) return nsObject->valueForKeyPath(keyPath);
    return walkValueForKeyPath(object, keyPath);
}

QVariant walkValueForKeyPath(QObject *object, const QString &keyPath) {
    auto [key, rest] = SplitPath(keyPath);
    const QVariant value = valueForKey(object, key);
    return rest.isEmpty() ? value : valueForKeyPath(value, rest);
}

void setValueForKeyPath(QVariantMap &map, const QVariant &value, const QString &keyPath) {
    auto [key, rest] = SplitPath(keyPath);
    if (rest.isEmpty()) {
        if (value.isValid()) map.insert(key, value);
        else map.remove(key);
        return;
    }
    auto entry = map.find(key);
    if (entry == map.end()) return;  // nil in the middle of the path
    setValueForKeyPath(*entry, value, rest);
}

void setValueForKeyPath(QVariant &target, const QVariant &value, const QString &keyPath) {
    if (isNil(target)) return;
    if (QObject *object = objectFromVariant(target)) return setValueForKeyPath(object, value, keyPath);
    if (IsMap(target)) {
        QVariantMap map = MapOf(target);
        setValueForKeyPath(map, value, keyPath);
        target = map;
        return;
    }
    raiseUnknownKey(TypeNameOf(target), SplitPath(keyPath).first);
}

void setValueForKeyPath(QObject *object, const QVariant &value, const QString &keyPath) {
    if (object == nullptr) return;
    if (auto *nsObject = qobject_cast<NSObject *>(object)) return nsObject->setValueForKeyPath(value, keyPath);
    walkSetValueForKeyPath(object, value, keyPath);
}

void walkSetValueForKeyPath(QObject *object, const QVariant &value, const QString &keyPath) {
    auto [key, rest] = SplitPath(keyPath);
    if (rest.isEmpty()) return setValueForKey(object, value, key);
    QVariant child = valueForKey(object, key);
    if (isNil(child)) return;
    if (QObject *childObject = objectFromVariant(child)) return setValueForKeyPath(childObject, value, rest);
    if (!IsMap(child)) raiseUnknownKey(TypeNameOf(child), SplitPath(rest).first);
    setValueForKeyPath(child, value, rest);
    setValueForKey(object, child, key);  // the changed copy of the map goes back to its holder
}

}  // namespace NSKeyValueCoding
