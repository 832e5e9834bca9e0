#include "NSDictionaryPropertyListArchiving.h"

#include <Foundation/NSException.h>
#include <Foundation/NSKeyedArchiver.h>

namespace PropertyListArchiving {

QStringList defaultAllowedClasses() {
    QStringList classes = NSKeyedUnarchiver::propertyListClasses();
    classes.append(QStringLiteral("NSColor"));
    return classes;
}

QByteArray propertyListData(const QVariantMap &dictionary, const QString &key) {
    try {
        NSKeyedArchiver archiver;
        archiver.encodeObject(dictionary, key);
        return archiver.finishEncoding();
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("NSDictionary(PropertyListArchiving)::propertyListData: exception:%1")
                  .arg(exception.description()));
        return QByteArray();
    }
}

QByteArray propertyListData(const QVariantMap &dictionary) { return propertyListData(dictionary, QString::fromLatin1(kDefaultKey)); }

std::optional<QVariantMap> dictionaryWithPropertyListData(const QByteArray &data, const QString &key,
                                                          const QStringList &allowedClasses) {
    const QVariant root = NSKeyedUnarchiver::unarchivedObjectOfClass(QStringLiteral("NSDictionary"),
                                                                     allowedClasses, data, key);
    if (!root.isValid()) return std::nullopt;
    return root.toMap();
}

std::optional<QVariantMap> dictionaryWithPropertyListData(const QByteArray &data) {
    return dictionaryWithPropertyListData(data, QString::fromLatin1(kDefaultKey));
}

std::optional<QVariantMap> createDictionaryFromPropertyListData(const QByteArray &data, const QString &key) {
    return dictionaryWithPropertyListData(data, key);
}

}  // namespace PropertyListArchiving

bool import_NSDictionaryPropertyListArchiving() { return true; }
