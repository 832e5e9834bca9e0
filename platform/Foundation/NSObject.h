// NSObject: the base of the interface and controller classes that are not widgets. It gives
// key-value coding its hooks (undefined keys, dependent keys), observes through
// observeValueForKeyPath, and carries the runtime messages as members. Widgets and other Qt
// classes get the same key-value coding and selectors through the free functions of
// NSKeyValueCoding.h and NSObjCRuntime.h.
#pragma once

#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>

#include <QObject>
#include <QSet>
#include <QString>
#include <QVariant>

class NSObject : public QObject, public NSKeyValueObserver {
    Q_OBJECT
public:
    explicit NSObject(QObject *parent = nullptr);
    ~NSObject() override;

    // Key-value coding. The defaults use the accessor lookup and then the undefined-key hooks.
    virtual QVariant valueForKey(const QString &key);
    virtual void setValueForKey(const QVariant &value, const QString &key);
    virtual QVariant valueForKeyPath(const QString &keyPath);
    virtual void setValueForKeyPath(const QVariant &value, const QString &keyPath);
    // Raise "NSUnknownKeyException" unless overridden.
    virtual QVariant valueForUndefinedKey(const QString &key);
    virtual void setValueForUndefinedKey(const QVariant &value, const QString &key);

    // Key-value observing of this object's key paths.
    void addObserver(QObject *observer, const QString &keyPath, unsigned options = 0, void *context = nullptr);
    void removeObserver(QObject *observer, const QString &keyPath);
    void removeObserver(QObject *observer, const QString &keyPath, void *context);
    void willChangeValueForKey(const QString &key);
    void didChangeValueForKey(const QString &key);
    // The key paths (relative to this object) whose changes are changes of the key; none here.
    virtual QSet<QString> keyPathsForValuesAffectingValueForKey(const QString &key) const;
    // Called for observations this object made; does nothing here.
    void observeValueForKeyPath(const QString &keyPath, QObject *object, const QVariantMap &change,
                                void *context) override;

    // The runtime messages of NSObjCRuntime.h on this object.
    bool respondsToSelector(QByteArrayView selector) const;
    QVariant performSelector(QByteArrayView selector);
    QVariant performSelector(QByteArrayView selector, const QVariant &withObject);
    void performSelectorOnMainThread(QByteArrayView selector, const QVariant &withObject, bool waitUntilDone);

    // NSStringFromClass of this object's class.
    QString className() const;
};
