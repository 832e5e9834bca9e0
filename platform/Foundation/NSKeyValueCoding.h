// Key-value coding and observing over Qt objects and nested maps.
//
// A key names a value of an object: a Qt property (Q_PROPERTY), else a Q_INVOKABLE method of
// no argument named as the key (getting) or "set" + Key of one argument (setting), else a
// dynamic property the object already has. A key path ("outletX.floatValue") is keys joined
// by dots and walks from object to object: a value that is a QObject pointer continues with
// that object's keys, a QVariantMap continues with its entries (a missing entry is nil), and a
// nil value (an invalid QVariant or a null object) in the middle of a path ends the walk:
// getting answers nil, setting does nothing. Any other value in the middle of a path, and a key
// that an object does not have, is an undefined key: NSObject subclasses get their
// valueForUndefinedKey / setValueForUndefinedKey hooks, other objects raise NSException
// "NSUnknownKeyException". Setting a key path through a map sets the entry in a copy of the map
// and writes the copy back to the key that holds it; setting nil in a map removes the entry.
// A value that the property cannot take raises "NSInvalidArgumentException". Setting nil on a
// property that is not an object or QVariant writes the property's reset or default value (Qt's
// rule).
//
// Observing: an observer (a QObject that also derives from NSKeyValueObserver, as NSObject
// does) registers for a key path of an object and is told, on the thread where the change
// happened, each time a value along the path changes: through the property's NOTIFY signal,
// through willChangeValueForKey / didChangeValueForKey (manual notification), or through a key
// path that the holder lists in keyPathsForValuesAffectingValueForKey (dependent keys; NSObject
// subclasses). Objects along the path that change are followed. An observation ends with
// removeObserver or when the object or the observer is destroyed.
#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

// Options of an observation.
enum NSKeyValueObservingOptions : unsigned {
    NSKeyValueObservingOptionNew = 0x01,      // the change holds "new"
    NSKeyValueObservingOptionOld = 0x02,      // the change holds "old" (the value last seen)
    NSKeyValueObservingOptionInitial = 0x04,  // one notification at once when registering
};

// Keys of the change dictionary; "kind" is always NSKeyValueChangeSetting.
inline constexpr char NSKeyValueChangeKindKey[] = "kind";
inline constexpr char NSKeyValueChangeNewKey[] = "new";
inline constexpr char NSKeyValueChangeOldKey[] = "old";
inline constexpr int NSKeyValueChangeSetting = 1;

// The observer side of key-value observing.
class NSKeyValueObserver {
public:
    virtual ~NSKeyValueObserver() = default;
    virtual void observeValueForKeyPath(const QString &keyPath, QObject *object, const QVariantMap &change,
                                        void *context) = 0;
};

namespace NSKeyValueCoding {

// QObject pointers inside QVariants (of any QObject subclass).
QObject *objectFromVariant(const QVariant &value);
QVariant variantFromObject(QObject *object);
// True for an invalid QVariant and for a null object pointer.
bool isNil(const QVariant &value);

// Getting and setting on any object (NSObject subclasses go through their virtual methods).
QVariant valueForKey(QObject *object, const QString &key);
QVariant valueForKeyPath(QObject *object, const QString &keyPath);
void setValueForKey(QObject *object, const QVariant &value, const QString &key);
void setValueForKeyPath(QObject *object, const QVariant &value, const QString &keyPath);

// The same on a value: an object pointer, a map, or nil (answers nil; setting does nothing).
QVariant valueForKeyPath(const QVariant &target, const QString &keyPath);
void setValueForKeyPath(QVariant &target, const QVariant &value, const QString &keyPath);
void setValueForKeyPath(QVariantMap &map, const QVariant &value, const QString &keyPath);

// The accessor lookup alone, for valueForKey / setValueForKey overrides to fall back on:
// the value (nothing when the object has no such key) / true when an accessor took the value.
std::optional<QVariant> accessorValueForKey(QObject *object, const QString &key);
bool accessorSetValueForKey(QObject *object, const QVariant &value, const QString &key);

// The walk of a key path from an object, for valueForKeyPath / setValueForKeyPath overrides to
// fall back on: the first key on the object, the rest on the value found.
QVariant walkValueForKeyPath(QObject *object, const QString &keyPath);
void walkSetValueForKeyPath(QObject *object, const QVariant &value, const QString &keyPath);

// Raises "NSUnknownKeyException" for the key of the object (or of a value's type).
[[noreturn]] void raiseUnknownKey(const QString &holder, const QString &key);

// Observing (see above). The observer must derive from NSKeyValueObserver, else the call
// raises "NSInvalidArgumentException". Removing an observation that does not exist does nothing.
void addObserver(QObject *object, QObject *observer, const QString &keyPath, unsigned options = 0,
                 void *context = nullptr);
void removeObserver(QObject *object, QObject *observer, const QString &keyPath);
void removeObserver(QObject *object, QObject *observer, const QString &keyPath, void *context);
void willChangeValueForKey(QObject *object, const QString &key);
void didChangeValueForKey(QObject *object, const QString &key);

}  // namespace NSKeyValueCoding
