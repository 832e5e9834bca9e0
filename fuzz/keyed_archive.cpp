// Keyed archives read from arbitrary bytes with the allow-lists the program uses: the
// property-list classes (and NSColor, as the settings files allow it), through the
// unarchiver's calls and the dictionary archiving of the persistence code.
#include "FuzzSupport.h"

#include <Foundation/NSKeyedArchiver.h>
#include <CocoaFoundation/NSDictionaryPropertyListArchiving.h>

namespace {

void Unarchive(const QByteArray &bytes, const QString &rootClass, const QStringList &allowed) {
    try {
        const QVariant root = NSKeyedUnarchiver::unarchivedObjectOfClass(rootClass, allowed, bytes);
        const QString name = NSKeyedUnarchiver::classNameOfValue(root);
        LUMORA_CHECK(name.isEmpty() || allowed.contains(name));
    } catch (const NSException &exception) {
        LUMORA_CHECK(exception.name() == NSInvalidUnarchiveOperationException);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList plistClasses = NSKeyedUnarchiver::propertyListClasses();
    Unarchive(bytes, QStringLiteral("NSDictionary"), plistClasses);
    Unarchive(bytes, QStringLiteral("NSArray"), plistClasses + QStringList{QStringLiteral("NSColor")});

    // The coder's own calls on the top-level object.
    try {
        NSKeyedUnarchiver coder(bytes, plistClasses);
        for (const QString &key : {QStringLiteral("root"), QStringLiteral("NS.objects")}) {
            (void)coder.containsValueForKey(key);
            (void)coder.decodeBool(key);
            (void)coder.decodeInteger(key);
            (void)coder.decodeDouble(key);
            (void)coder.decodeObjectOfClass(QStringLiteral("NSString"), key);
        }
    } catch (const NSException &exception) {
        LUMORA_CHECK(exception.name() == NSInvalidUnarchiveOperationException);
    }

    try {
        (void)PropertyListArchiving::dictionaryWithPropertyListData(bytes);
    } catch (const NSException &exception) {
        LUMORA_CHECK(exception.name() == NSInvalidUnarchiveOperationException);
    }
    return 0;
}
