// NSObject(PersistentKeyPaths): the storage under persistent objects and key-path presets.
//
// A list of key paths of an object becomes a dictionary {key path: value} by key-value
// coding and back; such a dictionary is kept in the standard user defaults under a
// persistence key, as the keyed archive (XML) with the root key
// "UPersistentObjectsController". Defaults files are the same archive with the root key
// "NSDictionary_PropertyListArchivingDefaultKey", named "<key>.plist": shipped in the main
// bundle's resources, or saved and imported in the application's support folder
// (NSFileManager(DirectoryLocations)).
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

#include <optional>

namespace PersistentKeyPaths {

// The root key of user-defaults records.
inline constexpr char kPersistentObjectsArchiveKey[] = "UPersistentObjectsController";

// "plist"
QString persistentPlistFileExtension();

// {key path: valueForKeyPath} of the object; nil values are left out, and a key path that
// raises NSException is logged and left out. A null object gives an empty dictionary.
QVariantMap persistentDictionaryWithValuesForKeyPaths(QObject *object, const QStringList &keyPaths);

// Sets the dictionary's values on the object: a key with an entry in updatedKeyPaths
// ({stored key: key path}) is set at that key path; any other key only when keyPaths lists
// it. A set that raises NSException is logged and the others go on. Answers the number of
// values set.
int setPersistentDictionary(QObject *object, const QVariantMap &dictionary, const QStringList &keyPaths);
int setPersistentDictionary(QObject *object, const QVariantMap &dictionary, const QStringList &keyPaths,
                            const QVariantMap *updatedKeyPaths);

// Builds the object's dictionary and saves it under the key; answers the dictionary, or
// nothing for a null object or a null key.
std::optional<QVariantMap> persistentObjectSaveKeyPaths(QObject *object, const QStringList &keyPaths,
                                                        const QString &key);
// Loads the dictionary under the key and applies it; answers it, or nothing for a null
// object or key. Raises NSException when the stored record cannot be decoded.
std::optional<QVariantMap> persistentObjectLoadKeyPaths(QObject *object, const QStringList &keyPaths,
                                                        const QString &key);

// Stores the dictionary's archive in the user defaults under the key and synchronises them;
// false for an empty dictionary (the stored record stays as it was), a null key, or a
// dictionary that cannot be archived.
bool savePersistentObjectData(const QVariantMap &dictionary, const QString &key);
// The dictionary stored under the key; empty when there is none. Raises NSException when
// the record cannot be decoded.
QVariantMap loadPersistentObjectDataForKey(const QString &key);

// The main bundle's resource "<key>.plist" unarchived with the default root key; empty when
// there is none or it cannot be read (logged).
QVariantMap persistentObjectDefaultValuesForPersistentDataKey(const QString &key);
// The path of the main bundle's resource "<key>.plist"; empty when there is none.
QString persistentObjectDefaultValuesFilePath(const QString &key);
// Writes the dictionary (default root key) atomically to "<support folder>/<key>.plist".
bool persistentObjectSaveDefaultValues(const QVariantMap &dictionary, const QString &key);
// Runs an open panel on the support folder for a "plist" file and reads the chosen one
// (persistentObjectImportValuesFromFile); nothing on cancel.
std::optional<QVariantMap> persistentObjectImportValuesForPersistentDataKey(const QString &key);
// The dictionary of a defaults file; nothing (logged) for a file that cannot be read, is no
// keyed archive of allowed classes, or holds no dictionary under the default root key.
std::optional<QVariantMap> persistentObjectImportValuesFromFile(const QString &path);

}  // namespace PersistentKeyPaths

// NSFileManager(DirectoryLocations): the application's support folder,
// "$XDG_DATA_HOME/<bundle identifier>" (by default ~/.local/share/<bundle identifier>), made
// with its parents on first use.
namespace DirectoryLocations {

// The folder for the directory kind (NSApplicationSupportDirectory) and domain (the user
// domain), with the component appended, created with its parents. A null string and the
// error's text when it cannot be had: "No path found for directory in domain." for an
// unknown directory or domain.
enum : unsigned long { NSApplicationSupportDirectory = 14 };
enum : unsigned long { NSUserDomainMask = 1 };
QString findOrCreateDirectory(unsigned long directory, unsigned long domainMask, const QString &appendComponent,
                              QString *error = nullptr);
// A file URL of the support folder of the main bundle's identifier, plus the file name when
// one is given; an empty URL when the folder cannot be had.
QUrl applicationSupportDirectoryFileName(const QString &fileName);
QUrl applicationSupportDirectory();
// The identifier the folder is named after: the main bundle's CFBundleIdentifier, else the
// Qt application's organisation domain and name, else the program's name.
QString applicationIdentifier();
// The path of the main bundle's resource name.type; an empty string when the name is empty or
// the bundle has no such resource.
QString mainBundleResourcePath(const QString &name, const QString &type);
// The main bundle's resources folder; empty without one.
QString mainBundleResourcesFolder();

}  // namespace DirectoryLocations

bool import_PersistentKeyPaths();
