// NSDictionary(PropertyListArchiving): a dictionary as the XML property list of a keyed
// archive, under a root key, and back. The persistence of persistent objects, defaults files
// and design imports all go through these.
//
// Decoding accepts only the allowed classes (by default the property-list classes and
// NSColor) and a dictionary under the key; data that is no keyed archive, a class outside the
// list and another root than a dictionary raise NSException
// "NSInvalidUnarchiveOperationException". A valid archive without the key gives nothing.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

namespace PropertyListArchiving {

inline constexpr char kDefaultKey[] = "NSDictionary_PropertyListArchivingDefaultKey";

// NSString, NSNumber, NSData, NSDate, NSArray, NSDictionary and NSColor.
QStringList defaultAllowedClasses();

// The keyed archive (XML property list) of the dictionary under the key; empty data when the
// dictionary holds a value that cannot be archived.
QByteArray propertyListData(const QVariantMap &dictionary, const QString &key);
QByteArray propertyListData(const QVariantMap &dictionary);

// The dictionary stored under the key; nothing when the archive holds nothing there. Raises
// as said above.
std::optional<QVariantMap> dictionaryWithPropertyListData(const QByteArray &data, const QString &key,
                                                          const QStringList &allowedClasses = defaultAllowedClasses());
std::optional<QVariantMap> dictionaryWithPropertyListData(const QByteArray &data);
// The same (the caller's own copy, as every result here).
std::optional<QVariantMap> createDictionaryFromPropertyListData(const QByteArray &data, const QString &key);

}  // namespace PropertyListArchiving

bool import_NSDictionaryPropertyListArchiving();
