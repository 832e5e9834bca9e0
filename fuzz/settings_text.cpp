// The settings text form (bookmarks, designs and pasteboard text) read from arbitrary
// text: the entries it holds are written back and read again unchanged, and the
// requirement tests run on them.
#include "FuzzSupport.h"

#include <UIParamMapping/NSUIBookmarksTarget.h>
#include <UIParamMapping/NSUIDesignCodes.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::unique_ptr<NSUIDesignCodes> codes = NSUIDesignCodes::codesWithCodeString(text);
    LUMORA_CHECK(codes != nullptr);
    const QVariantMap entries = codes->codeDictionary();

    // Every entry survives being written and read again.
    const QString written = codes->codeString();
    NSUIDesignCodes reread(written, QStringLiteral("again"), QString::fromLatin1(NSUIDesignCodes::kDefaultIdentifier));
    LUMORA_CHECK(reread.codeDictionary() == entries);
    LUMORA_CHECK(NSUIDesignCodes::unescapeCodeText(NSUIDesignCodes::escapeCodeText(text)) == text);

    for (auto entry = entries.begin(); entry != entries.end(); ++entry) {
        (void)codes->hasBooleanValue(entry.key(), true);
        (void)codes->isVersionRequiredAndNotMet(entry.key(), QStringLiteral("2.0.4"));
        (void)codes->isDoubleValueRequiredAndNotMet(entry.key(), 1.5);
        // The value as a version to meet, against every entry.
        (void)codes->isVersionRequiredAndNotMet(entries.firstKey(), entry.value().toString());
    }

    // The bookmark target parses the same text.
    protocol_NSUIBookmarksTarget target;
    (void)target.setSettingsDictionaryScript(text);
    return 0;
}
