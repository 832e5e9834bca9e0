#include <Foundation/NSObject.h>

NSObject::NSObject(QObject *parent) : QObject(parent) {}

NSObject::~NSObject() = default;

QVariant NSObject::valueForKey(const QString &key) {
    if (std::optional<QVariant> value = NSKeyValueCoding::accessorValueForKey(this, key)) return *value;
    return valueForUndefinedKey(key);
}

void NSObject::setValueForKey(const QVariant &value, const QString &key) {
    if (!NSKeyValueCoding::accessorSetValueForKey(this, value, key)) setValueForUndefinedKey(value, key);
}

QVariant NSObject::valueForKeyPath(const QString &keyPath) { return NSKeyValueCoding::walkValueForKeyPath(this, keyPath); }

void NSObject::setValueForKeyPath(const QVariant &value, const QString &keyPath) {
    NSKeyValueCoding::walkSetValueForKeyPath(this, value, keyPath);
}

QVariant NSObject::valueForUndefinedKey(const QString &key) { NSKeyValueCoding::raiseUnknownKey(className(), key); }

void NSObject::setValueForUndefinedKey(const QVariant &, const QString &key) {
    NSKeyValueCoding::raiseUnknownKey(className(), key);
}

void NSObject::addObserver(QObject *observer, const QString &keyPath, unsigned options, void *context) {
    NSKeyValueCoding::addObserver(this, observer, keyPath, options, context);
}

void NSObject::removeObserver(QObject *observer, const QString &keyPath) {
    NSKeyValueCoding::removeObserver(this, observer, keyPath);
}

void NSObject::removeObserver(QObject *observer, const QString &keyPath, void *context) {
    NSKeyValueCoding::removeObserver(this, observer, keyPath, context);
}

void NSObject::willChangeValueForKey(const QString &key) { NSKeyValueCoding::willChangeValueForKey(this, key); }

void NSObject::didChangeValueForKey(const QString &key) { NSKeyValueCoding::didChangeValueForKey(this, key); }

QSet<QString> NSObject::keyPathsForValuesAffectingValueForKey(const QString &) const { return {}; }

void NSObject::observeValueForKeyPath(const QString &, QObject *, const QVariantMap &, void *) {}

bool NSObject::respondsToSelector(QByteArrayView selector) const { return ::respondsToSelector(this, selector); }

QVariant NSObject::performSelector(QByteArrayView selector) { return ::performSelector(this, selector); }

QVariant NSObject::performSelector(QByteArrayView selector, const QVariant &withObject) {
    return ::performSelector(this, selector, withObject);
}

void NSObject::performSelectorOnMainThread(QByteArrayView selector, const QVariant &withObject, bool waitUntilDone) {
    ::performSelectorOnMainThread(this, selector, withObject, waitUntilDone);
}

QString NSObject::className() const { return NSStringFromClass(metaObject()); }
