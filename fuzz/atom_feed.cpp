// Atom feeds read from arbitrary bytes, as a download hands them to the feed reader: parsed
// into the XML tree, listed as entries and as the title-keyed dictionary the design feeds keep.
#include "FuzzSupport.h"

#include <Foundation/NSException.h>
#include <UIParamMapping/ATOM_FEED.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    ATOM_FEED feed;
    const bool parsed = feed.setFeedData(bytes, false);
    LUMORA_CHECK(parsed == feed.hasDocument());
    try {
        ATOM_FEED again;
        LUMORA_CHECK(again.setFeedData(bytes, true) == parsed);
    } catch (const NSException &exception) {
        LUMORA_CHECK(!parsed && exception.name() == QLatin1String("ATOM_FEED::XMLParseFailed"));
    }

    (void)feed.titleText();
    const auto items = feed.newsItems();
    const QVariantMap entries = feed.feedEntries();
    LUMORA_CHECK(entries.size() <= items.size());
    LUMORA_CHECK(items.isEmpty() || feed.hasFeedElement());
    for (const auto &item : items) {
        LUMORA_CHECK(!item->title().isEmpty());
        LUMORA_CHECK(ATOM_FEED_ITEM::fromVariant(entries.value(item->title())) != nullptr);
    }
    return 0;
}
