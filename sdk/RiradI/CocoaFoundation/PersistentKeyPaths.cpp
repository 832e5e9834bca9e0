#include "PersistentKeyPaths.h"

#include "NSDictionaryPropertyListArchiving.h"

#include <CoreFoundation/CFBundle.h>
#include <CoreFoundation/CFString.h>
#include <CoreFoundation/CFURL.h>
#include <Foundation/NSException.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSUserDefaults.h>

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QSaveFile>

#include <climits>

namespace PersistentKeyPaths {

QString persistentPlistFileExtension() { return QStringLiteral("plist"); }

QVariantMap persistentDictionaryWithValuesForKeyPaths(QObject *object, const QStringList &keyPaths) {
    QVariantMap dictionary;
    if (object == nullptr) return dictionary;
    for (const QString &keyPath : keyPaths) {
        try {
            const QVariant value = NSKeyValueCoding::valueForKeyPath(object, keyPath);
            if (!NSKeyValueCoding::isNil(value)) dictionary.insert(keyPath, value);
        } catch (const NSException &exception) {
            NSLog(QStringLiteral("NSObject(PersistentKeyPaths)::persistentDictionaryWithValuesForKeyPaths: "
                                 "exception:%1\n")
                      .arg(exception.description()));
        }
    }
    return dictionary;
}

int setPersistentDictionary(QObject *object, const QVariantMap &dictionary, const QStringList &keyPaths) {
    return setPersistentDictionary(object, dictionary, keyPaths, nullptr);
}

int setPersistentDictionary(QObject *object, const QVariantMap &dictionary, const QStringList &keyPaths,
                            const QVariantMap *updatedKeyPaths) {
    if (object == nullptr) return 0;
    int count = 0;
    for (auto entry = dictionary.constBegin(); entry != dictionary.constEnd(); ++entry) {
        QString target;
        if (updatedKeyPaths != nullptr) target = updatedKeyPaths->value(entry.key()).toString();
        if (target.isEmpty()) {
            if (!keyPaths.contains(entry.key())) continue;
            target = entry.key();
        }
        try {
            NSKeyValueCoding::setValueForKeyPath(object, entry.value(), target);
            ++count;
        } catch (const NSException &exception) {
            NSLog(QStringLiteral("NSObject(PersistentKeyPaths)::setPersistentDictionary:withValuesForKeyPaths "
                                 "exception:%1\n")
                      .arg(exception.description()));
        }
    }
    return count;
}

std::optional<QVariantMap> persistentObjectSaveKeyPaths(QObject *object, const QStringList &keyPaths,
                                                        const QString &key) {
    if (object == nullptr || key.isNull()) return std::nullopt;
    const QVariantMap dictionary = persistentDictionaryWithValuesForKeyPaths(object, keyPaths);
    savePersistentObjectData(dictionary, key);
    return dictionary;
}

std::optional<QVariantMap> persistentObjectLoadKeyPaths(QObject *object, const QStringList &keyPaths,
                                                        const QString &key) {
    if (object == nullptr || key.isNull()) return std::nullopt;
    const QVariantMap dictionary = loadPersistentObjectDataForKey(key);
    setPersistentDictionary(object, dictionary, keyPaths);
    return dictionary;
}

bool savePersistentObjectData(const QVariantMap &dictionary, const QString &key) {
    if (dictionary.isEmpty() || key.isEmpty()) return false;
    const QByteArray data = PropertyListArchiving::propertyListData(dictionary, QString::fromLatin1(kPersistentObjectsArchiveKey));
    if (data.isEmpty()) return false;
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    defaults.setObject(data, key);
    return defaults.synchronize();
}

QVariantMap loadPersistentObjectDataForKey(const QString &key) {
    if (key.isEmpty()) return QVariantMap();
    const QVariant stored = NSUserDefaults::standardUserDefaults().objectForKey(key);
    if (!stored.isValid()) return QVariantMap();
    if (stored.typeId() != QMetaType::QByteArray)
        NSException::raise(NSInvalidUnarchiveOperationException,
                           QStringLiteral("the user-defaults entry %1 holds no archive").arg(key));
    return PropertyListArchiving::dictionaryWithPropertyListData(stored.toByteArray(), QString::fromLatin1(kPersistentObjectsArchiveKey))
        .value_or(QVariantMap());
}

QString persistentObjectDefaultValuesFilePath(const QString &key) {
    if (key.isEmpty()) return QString();
    return DirectoryLocations::mainBundleResourcePath(key, persistentPlistFileExtension());
}

QVariantMap persistentObjectDefaultValuesForPersistentDataKey(const QString &key) {
    const QString path = persistentObjectDefaultValuesFilePath(key);
    if (path.isEmpty()) return QVariantMap();
    return persistentObjectImportValuesFromFile(path).value_or(QVariantMap());
}

bool persistentObjectSaveDefaultValues(const QVariantMap &dictionary, const QString &key) {
    if (key.isEmpty()) return false;
    const QUrl url = DirectoryLocations::applicationSupportDirectoryFileName(key + QLatin1Char('.') +
                                                                             persistentPlistFileExtension());
    if (url.isEmpty()) return false;
    const QByteArray data = PropertyListArchiving::propertyListData(dictionary);
    if (data.isEmpty()) return false;
    QSaveFile file(url.toLocalFile());
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

std::optional<QVariantMap> persistentObjectImportValuesFromFile(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        NSLog(QStringLiteral("NSObject(PersistentKeyPaths)::persistentObjectImportValues: cannot read %1").arg(path));
        return std::nullopt;
    }
    const QByteArray data = file.readAll();
    if (data.isEmpty()) return std::nullopt;
    try {
        return PropertyListArchiving::dictionaryWithPropertyListData(data);
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("NSObject(PersistentKeyPaths)::persistentObjectImportValues: unreadable file %1: %2")
                  .arg(path, exception.description()));
        return std::nullopt;
    }
}

std::optional<QVariantMap> persistentObjectImportValuesForPersistentDataKey(const QString &key) {
    const QString fileName = key + QLatin1Char('.') + persistentPlistFileExtension();
    QFileDialog panel(nullptr, QString(), DirectoryLocations::applicationSupportDirectory().toLocalFile(), fileName);
    panel.setFileMode(QFileDialog::ExistingFile);
    panel.setNameFilter(QStringLiteral("*.%1").arg(persistentPlistFileExtension()));
    if (panel.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = panel.selectedFiles();
    if (chosen.size() != 1) return std::nullopt;
    return persistentObjectImportValuesFromFile(chosen.first());
}

}  // namespace PersistentKeyPaths

namespace DirectoryLocations {

QString applicationIdentifier() { return NSUserDefaults::standardUserDefaults().applicationIdentifier(); }

QString findOrCreateDirectory(unsigned long directory, unsigned long domainMask, const QString &appendComponent,
                              QString *error) {
    if (directory != NSApplicationSupportDirectory || (domainMask & NSUserDomainMask) == 0) {
        if (error) *error = QStringLiteral("No path found for directory in domain.");
        return QString();
    }
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + QStringLiteral("/.local/share");
    QString path = base;
    if (!appendComponent.isEmpty()) path += QLatin1Char('/') + appendComponent;
    if (!QDir().mkpath(path)) {
        if (error) *error = QStringLiteral("Cannot create the folder %1.").arg(path);
        return QString();
    }
    if (error) error->clear();
    return path;
}

QUrl applicationSupportDirectoryFileName(const QString &fileName) {
    const QString identifier = applicationIdentifier();
    if (identifier.isEmpty() || identifier.contains(QLatin1Char('/'))) return QUrl();
    const QString folder = findOrCreateDirectory(NSApplicationSupportDirectory, NSUserDomainMask, identifier);
    if (folder.isNull()) return QUrl();
    return QUrl::fromLocalFile(fileName.isEmpty() ? folder + QLatin1Char('/') : folder + QLatin1Char('/') + fileName);
}

QUrl applicationSupportDirectory() { return applicationSupportDirectoryFileName(QString()); }

}  // namespace DirectoryLocations

bool import_PersistentKeyPaths() { return import_NSDictionaryPropertyListArchiving(); }

QString DirectoryLocations::mainBundleResourcesFolder() {
    CFBundleRef bundle = CFBundleGetMainBundle();
    CFURLRef url = bundle != nullptr ? CFBundleCopyResourcesDirectoryURL(bundle) : nullptr;
    if (url == nullptr) return QString();
    UInt8 buffer[PATH_MAX];
    const bool ok = CFURLGetFileSystemRepresentation(url, true, buffer, sizeof buffer);
    CFRelease(url);
    return ok ? QString::fromUtf8(reinterpret_cast<const char *>(buffer)) : QString();
}

QString DirectoryLocations::mainBundleResourcePath(const QString &name, const QString &type) {
    CFBundleRef bundle = CFBundleGetMainBundle();
    if (bundle == nullptr || name.isEmpty()) return QString();
    CFStringRef cfName = CFStringCreateWithCString(nullptr, name.toUtf8().constData(), kCFStringEncodingUTF8);
    CFStringRef cfType = CFStringCreateWithCString(nullptr, type.toUtf8().constData(), kCFStringEncodingUTF8);
    QString path;
    if (cfName != nullptr && cfType != nullptr) {
        if (CFURLRef url = CFBundleCopyResourceURL(bundle, cfName, cfType, nullptr)) {
            UInt8 buffer[PATH_MAX];
            if (CFURLGetFileSystemRepresentation(url, true, buffer, sizeof buffer))
                path = QString::fromUtf8(reinterpret_cast<const char *>(buffer));
            CFRelease(url);
        }
    }
    if (cfName) CFRelease(cfName);
    if (cfType) CFRelease(cfType);
    return path;
}
