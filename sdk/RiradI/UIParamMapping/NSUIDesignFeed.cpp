#include "NSUIDesignFeed.h"

#include "NSUIBookmarksTarget.h"

#include <CocoaFoundation/NSDictionaryPropertyListArchiving.h>
#include <CocoaFoundation/PersistentKeyPaths.h>
#include <Foundation/NSException.h>
#include <Foundation/NSObjCRuntime.h>
#include <Foundation/NSUserDefaults.h>

#include <QFile>
#include <QSaveFile>

#include <algorithm>

namespace {

// True when the value, or anything inside it, is an archivable object of the program
// (settings dictionaries hold property-list values only).
bool HoldsCodingObject(const QVariant &value) {
    if (value.metaType() == QMetaType::fromType<NSCodingObject>()) return true;
    if (value.typeId() == QMetaType::QVariantMap) {
        const QVariantMap map = value.toMap();
        return std::any_of(map.cbegin(), map.cend(), HoldsCodingObject);
    }
    if (value.typeId() == QMetaType::QVariantList) {
        const QVariantList list = value.toList();
        return std::any_of(list.cbegin(), list.cend(), HoldsCodingObject);
    }
    return false;
}

// A designs dictionary: every value a feed entry or a settings dictionary.
bool IsDesignsDictionary(const QVariantMap &designs, QString &why) {
    for (auto design = designs.cbegin(); design != designs.cend(); ++design) {
        if (ATOM_FEED_ITEM::fromVariant(design.value())) continue;
        if (design.value().typeId() == QMetaType::QVariantMap && !HoldsCodingObject(design.value())) continue;
        why = QStringLiteral("the design \"%1\" is neither a feed entry nor a settings dictionary").arg(design.key());
        return false;
    }
    return true;
}

std::optional<QVariantMap> DecodeDesigns(const QByteArray &data, const QString &key, const QString &source) {
    try {
        const std::optional<QVariantMap> designs =
            PropertyListArchiving::dictionaryWithPropertyListData(data, key, NSUIDesignFeed::designsAllowedClasses());
        if (!designs) {
            NSLog(QStringLiteral("NSUIDesignFeed: %1 holds no designs under \"%2\"").arg(source, key));
            return std::nullopt;
        }
        QString why;
        if (!IsDesignsDictionary(*designs, why)) {
            NSLog(QStringLiteral("NSUIDesignFeed: %1 is refused: %2").arg(source, why));
            return std::nullopt;
        }
        return designs;
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("NSUIDesignFeed: %1 cannot be decoded: %2").arg(source, exception.description()));
        return std::nullopt;
    }
}


}  // namespace

NSUIDesignFeed::NSUIDesignFeed(QObject *parent) : QObject(parent) {}

NSUIDesignFeed::~NSUIDesignFeed() = default;

void NSUIDesignFeed::initFeedWithCategory(const QString &category, const QString &feedURL, const QString &prefsKey,
                                          const QString &updateURL) {
    std::lock_guard lock(mLock);
    mCategoryName = category;
    mFeedURL = feedURL;
    mPrefsKey = prefsKey;
    mFeedDesignDictionary.clear();
    mBuiltinDesignDictionary = builtinDesignsForCategoryName(category);
    if (!prefsKey.isEmpty()) {
        if (const std::optional<QVariantMap> saved = designsDictionaryFromPrefs(prefsKey)) mFeedDesignDictionary = *saved;
    }
    mUpdateURL = updateURL;
}

std::unique_ptr<NSUIDesignFeed> NSUIDesignFeed::designFeedWithCategory(const QString &category, const QString &feedURL,
                                                                       const QString &prefsKey, const QString &updateURL) {
    auto feed = std::make_unique<NSUIDesignFeed>();
    feed->initFeedWithCategory(category, feedURL, prefsKey, updateURL);
    return feed;
}

std::unique_ptr<NSUIDesignFeed> NSUIDesignFeed::designFeedWithCategory(const QString &category, const QString &feedURL,
                                                                       const QString &prefsKey) {
    return designFeedWithCategory(category, feedURL, prefsKey, QString());
}

// ---------------------------------------------------------------------------------------------
// Properties

QObject *NSUIDesignFeed::delegate() const {
    std::lock_guard lock(mLock);
    return mDelegate.data();
}
void NSUIDesignFeed::setDelegate(QObject *delegate) {
    std::lock_guard lock(mLock);
    mDelegate = delegate;
}
QVariantMap NSUIDesignFeed::feedDesignDictionary() const {
    std::lock_guard lock(mLock);
    return mFeedDesignDictionary;
}
void NSUIDesignFeed::setFeedDesignDictionary(const QVariantMap &designs) {
    std::lock_guard lock(mLock);
    mFeedDesignDictionary = designs;
}
QVariantMap NSUIDesignFeed::builtinDesignDictionary() const {
    std::lock_guard lock(mLock);
    return mBuiltinDesignDictionary;
}
void NSUIDesignFeed::setBuiltinDesignDictionary(const QVariantMap &designs) {
    std::lock_guard lock(mLock);
    mBuiltinDesignDictionary = designs;
}
ATOM_FEED_HTTP_GET_Ref NSUIDesignFeed::http_get() const {
    std::lock_guard lock(mLock);
    return mHttpGet;
}
void NSUIDesignFeed::setHttp_get(const ATOM_FEED_HTTP_GET_Ref &request) {
    std::lock_guard lock(mLock);
    mHttpGet = request;
}
QString NSUIDesignFeed::categoryName() const {
    std::lock_guard lock(mLock);
    return mCategoryName;
}
void NSUIDesignFeed::setCategoryName(const QString &name) {
    std::lock_guard lock(mLock);
    mCategoryName = name;
}
QString NSUIDesignFeed::feedURL() const {
    std::lock_guard lock(mLock);
    return mFeedURL;
}
void NSUIDesignFeed::setFeedURL(const QString &address) {
    std::lock_guard lock(mLock);
    mFeedURL = address;
}
QString NSUIDesignFeed::updateURL() const {
    std::lock_guard lock(mLock);
    return mUpdateURL;
}
void NSUIDesignFeed::setUpdateURL(const QString &address) {
    std::lock_guard lock(mLock);
    mUpdateURL = address;
}
QString NSUIDesignFeed::prefsKey() const {
    std::lock_guard lock(mLock);
    return mPrefsKey;
}
void NSUIDesignFeed::setPrefsKey(const QString &key) {
    std::lock_guard lock(mLock);
    mPrefsKey = key;
}

// ---------------------------------------------------------------------------------------------
// The merged set

QVariantMap NSUIDesignFeed::designDictionary() {
    std::lock_guard lock(mLock);
    QVariantMap merged = mBuiltinDesignDictionary;
    for (auto design = mFeedDesignDictionary.cbegin(); design != mFeedDesignDictionary.cend(); ++design)
        merged.insert(design.key(), design.value());
    return merged;
}

QStringList NSUIDesignFeed::designNames() {
    std::lock_guard lock(mLock);
    QStringList names = designDictionary().keys();
    std::stable_sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    return names;
}

QString NSUIDesignFeed::feedDesignCodeStringForDesignNamed(const QString &name) {
    if (name.isNull()) return QString();
    std::lock_guard lock(mLock);
    const std::shared_ptr<ATOM_FEED_ITEM> item = ATOM_FEED_ITEM::fromVariant(mFeedDesignDictionary.value(name));
    if (!item) return QString();
    return item->content();
}

QString NSUIDesignFeed::designCodeStringForDesignNamed(const QString &name) {
    const QString feedCode = feedDesignCodeStringForDesignNamed(name);
    if (!feedCode.isNull()) return feedCode;
    const QVariant builtin = builtinDesignDictionary().value(name);
    if (const std::shared_ptr<ATOM_FEED_ITEM> item = ATOM_FEED_ITEM::fromVariant(builtin)) return item->content();
    return protocol_NSUIBookmarksTarget::scriptFromDictionary(builtin.toMap());
}

std::unique_ptr<NSUIDesignCodes> NSUIDesignFeed::designNamed(const QString &name) {
    return NSUIDesignCodes::codesWithCodeString(designCodeStringForDesignNamed(name), name);
}

void NSUIDesignFeed::setDesignDictionary(const QVariantMap &) {}

QString NSUIDesignFeed::description() {
    return QStringLiteral("<%1 name:%2 url:%3 (designDictionary: %4 items)>")
        .arg(QString::fromLatin1(metaObject()->className()), categoryName(), feedURL())
        .arg(designDictionary().size());
}

// ---------------------------------------------------------------------------------------------
// Refresh

void NSUIDesignFeed::refreshFeedDictionaryFromWebWithHTTP() {
    ATOM_FEED_HTTP_GET::backgroundGet(feedURL(), this, "thread_HTTP_GET_primary_completed");
}

// Only a parsed Atom feed (a document with a "feed" element) replaces the feed designs; a
// reply that is anything else keeps them, fetches no update and tells nobody.
void NSUIDesignFeed::thread_HTTP_GET_primary_completed(const QVariant &argument) {
    const ATOM_FEED_HTTP_GET_Ref request = ATOM_FEED_HTTP_GET::fromVariant(argument);
    if (!request) return;
    setHttp_get(request);
    const std::shared_ptr<ATOM_FEED> feed = request->atomFeed();
    if (!feed || !feed->hasFeedElement()) {
        NSLog(QStringLiteral("NSUIDesignFeed: %1 is no Atom feed; the designs are kept").arg(feedURL()));
        return;
    }
    setFeedDesignDictionary(feed->feedEntries());
    // Told at once: an update that fails (which sends no reply) must not leave the menus
    // showing the old list while the set already holds the new one.
    designDictionaryChanged(feedURL());
    const QString update = updateURL();
    if (!update.isEmpty()) ATOM_FEED_HTTP_GET::backgroundGet(update, this, "thread_HTTP_GET_secondary_completed");
}

void NSUIDesignFeed::thread_HTTP_GET_secondary_completed(const QVariant &argument) {
    const ATOM_FEED_HTTP_GET_Ref request = ATOM_FEED_HTTP_GET::fromVariant(argument);
    if (!request) return;
    setHttp_get(request);
    const std::shared_ptr<ATOM_FEED> feed = request->atomFeed();
    if (!feed || !feed->hasFeedElement()) {
        NSLog(QStringLiteral("NSUIDesignFeed: %1 is no Atom feed; nothing is updated").arg(updateURL()));
        return;
    }
    updateDesignDictionary(feed->feedEntries());
    designDictionaryChanged(updateURL());
}

// The update goes over the feed designs only: the built-in designs stay where they are, so
// the feed set never picks up settings dictionaries.
void NSUIDesignFeed::updateDesignDictionary(const QVariantMap &update) {
    std::lock_guard lock(mLock);
    QVariantMap designs = mFeedDesignDictionary;
    for (auto entry = update.cbegin(); entry != update.cend(); ++entry) designs.insert(entry.key(), entry.value());
    mFeedDesignDictionary = designs;
}

void NSUIDesignFeed::designDictionaryChanged(const QVariant &argument) {
    QObject *target = delegate();
    if (target != nullptr && respondsToSelector(target, "designFeedUpdated"))
        performSelector(target, "designFeedUpdated", argument);
}

// ---------------------------------------------------------------------------------------------
// Stored forms

QStringList NSUIDesignFeed::designsAllowedClasses() {
    QStringList classes = PropertyListArchiving::defaultAllowedClasses();
    classes.append(QStringLiteral("ATOM_FEED_ITEM"));
    return classes;
}

bool NSUIDesignFeed::saveToUserDefaults() {
    std::lock_guard lock(mLock);
    if (mPrefsKey.isEmpty()) return false;
    return setPrefsDesignsDictionary(mFeedDesignDictionary, mPrefsKey);
}

QVariantMap NSUIDesignFeed::builtinDesignsForCategoryName(const QString &category) {
    return builtinDesignsWithCategoryName(category);
}

QVariantMap NSUIDesignFeed::builtinDesignsWithCategoryName(const QString &category) {
    const QString path = DirectoryLocations::mainBundleResourcePath(category, QStringLiteral("plist"));
    if (path.isEmpty()) return QVariantMap();
    return loadDesignsPropertyListWithURL(QUrl::fromLocalFile(path)).value_or(QVariantMap());
}

std::optional<QVariantMap> NSUIDesignFeed::loadDesignsPropertyListWithURL(const QUrl &url) {
    QFile file(url.toLocalFile());
    if (!url.isLocalFile() || !file.open(QIODevice::ReadOnly)) {
        NSLog(QStringLiteral("NSUIDesignFeed: cannot read %1").arg(url.toString()));
        return QVariantMap();
    }
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        NSLog(QStringLiteral("NSUIDesignFeed: cannot read %1").arg(url.toString()));
        return QVariantMap();
    }
    return DecodeDesigns(data, QString::fromLatin1(PropertyListArchiving::kDefaultKey), url.toLocalFile());
}

std::optional<QVariantMap> NSUIDesignFeed::loadDesignsPropertyList(const QByteArray &data) {
    return DecodeDesigns(data, QString::fromLatin1(PropertyListArchiving::kDefaultKey), QStringLiteral("the designs data"));
}

bool NSUIDesignFeed::saveDesigns(const QVariantMap &designs, const QUrl &url) {
    const QByteArray data = PropertyListArchiving::propertyListData(designs);
    if (data.isEmpty() || !url.isLocalFile()) return false;
    QSaveFile file(url.toLocalFile());
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

std::optional<QVariantMap> NSUIDesignFeed::designsDictionaryFromPrefs(const QString &key) {
    if (key.isEmpty()) return QVariantMap();
    const QVariant value = NSUserDefaults::standardUserDefaults().objectForKey(key);
    if (!value.isValid()) return QVariantMap();
    if (value.typeId() != QMetaType::QByteArray) {
        NSLog(QStringLiteral("NSUIDesignFeed: the defaults value \"%1\" is no archive").arg(key));
        return std::nullopt;
    }
    return DecodeDesigns(value.toByteArray(), key, QStringLiteral("the defaults value \"%1\"").arg(key));
}

bool NSUIDesignFeed::setPrefsDesignsDictionary(const QVariantMap &designs, const QString &key) {
    if (key.isEmpty()) return false;
    const QByteArray data = PropertyListArchiving::propertyListData(designs, key);
    if (data.isEmpty()) return false;
    NSUserDefaults::standardUserDefaults().setObject(data, key);
    return true;
}

bool import_NSUIDesignFeed() { return import_ATOM_FEED(); }
