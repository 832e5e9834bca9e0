// Design files (exported designs, the built-in resource, the saved defaults value) read from
// arbitrary bytes: a file is taken whole or refused, and what is taken survives being written
// and read again and answers every lookup of the design feed. The same bytes as a bookmarks
// file (an import): refused with a reason, or read entry by entry into checked bookmarks.
#include "FuzzSupport.h"

#include <CocoaFoundation/NSDictionaryPropertyListArchiving.h>
#include <UICocoaControls/NSUIBookmarksController.h>
#include <UIParamMapping/NSUIDesignFeed.h>

namespace {

// {name: content} of the feed entries; settings dictionaries by their size.
QVariantMap Summary(const QVariantMap &designs) {
    QVariantMap summary;
    for (auto design = designs.cbegin(); design != designs.cend(); ++design) {
        const auto item = ATOM_FEED_ITEM::fromVariant(design.value());
        summary.insert(design.key(), item ? QVariant(item->title() + QChar(0) + item->content())
                                          : QVariant(design.value().toMap().size()));
    }
    return summary;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    QStringList skipped;
    QString error;
    const std::optional<QVariantList> bookmarks = NSUIBookmarksController::presetsFromFileData(bytes, &skipped, &error);
    LUMORA_CHECK(bookmarks.has_value() == error.isEmpty());
    if (bookmarks) {
        for (const QVariant &bookmark : *bookmarks)
            LUMORA_CHECK(NSUIBookmarksController::isValidPreset(bookmark) && bookmark.toMap().size() == 2);
    }

    const std::optional<QVariantMap> designs = NSUIDesignFeed::loadDesignsPropertyList(bytes);
    if (!designs) return 0;
    for (const QVariant &design : *designs)
        LUMORA_CHECK(ATOM_FEED_ITEM::fromVariant(design) || design.typeId() == QMetaType::QVariantMap);

    const QByteArray written = PropertyListArchiving::propertyListData(*designs);
    LUMORA_CHECK(!written.isEmpty());
    const std::optional<QVariantMap> reread = NSUIDesignFeed::loadDesignsPropertyList(written);
    LUMORA_CHECK(reread && Summary(*reread) == Summary(*designs));

    // As built-in designs and as feed designs of a feed.
    NSUIDesignFeed feed;
    feed.setBuiltinDesignDictionary(*designs);
    feed.setFeedDesignDictionary(*designs);
    feed.updateDesignDictionary(*designs);
    LUMORA_CHECK(feed.designNames().size() == designs->size());
    for (const QString &name : designs->keys()) {
        LUMORA_CHECK(!feed.designCodeStringForDesignNamed(name).isNull());
        (void)feed.designNamed(name);
    }
    return 0;
}
