// Presets files chosen by the user: the whole import check of the presets controller (the
// allow-listed archive decoder, the root dictionary, a list of presets only), under both root
// keys a list is stored with.
#include "FuzzSupport.h"

#include <CocoaFoundation/NSDictionaryPropertyListArchiving.h>
#include <CocoaFoundation/NSUIKeyPathsPresetsController.h>
#include <CocoaFoundation/PersistentKeyPaths.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const char *rootKey : {PropertyListArchiving::kDefaultKey, PersistentKeyPaths::kPersistentObjectsArchiveKey}) {
        QString error;
        const auto dictionary =
            NSUIKeyPathsPresetsController::presetsDictionaryWithData(bytes, QString::fromLatin1(rootKey), &error);
        LUMORA_CHECK(dictionary.has_value() == error.isEmpty());
        if (!dictionary) continue;
        for (const QVariant &row : dictionary->value(QStringLiteral("keyPathPresetsArray")).toList()) {
            const NSUIKeyPathPreset *preset = NSUIKeyPathPreset::presetOfRow(row);
            LUMORA_CHECK(preset != nullptr);
            (void)preset->description();
        }
    }
    return 0;
}
