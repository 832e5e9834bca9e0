// NSUIDesignFeed: the designs of one category (named settings dictionaries the user applies
// with one choice: camera looks, interface languages) gathered from three sources:
//   - built-in designs: the main bundle's resource "<category>.plist", read once;
//   - feed designs: the entries of an Atom feed (ATOM_FEED), downloaded on request and kept in
//     the user defaults between launches;
//   - update designs: the entries of an optional second feed, fetched right after the first
//     and laid over the feed designs.
// designDictionary is the merged set (feed designs over built-in ones). A delegate hears
// designFeedUpdated(argument) when a download has changed the set.
//
// Dictionaries: {design name: ATOM_FEED_ITEM (as NSCodingObject)} for feed designs, whose
// content is the design's code string, and {design name: settings dictionary} for built-in
// ones. Design files and the built-in resource are keyed archives (XML property lists) under
// PropertyListArchiving::kDefaultKey; the defaults value is the same under the prefs key. They
// are decoded with the allow-list decoder (property-list classes, NSColor, ATOM_FEED_ITEM) and
// must hold a dictionary whose every value is an ATOM_FEED_ITEM or a settings dictionary (of
// property-list values only): anything else is refused whole, never half-applied.
//
// Every member runs on the main thread in practice; the state is guarded by a recursive lock
// of the object all the same.
#pragma once

#include "ATOM_FEED.h"
#include "NSUIDesignCodes.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>
#include <QVariantMap>

#include <memory>
#include <mutex>
#include <optional>

class NSUIDesignFeed : public QObject {
    Q_OBJECT

public:
    explicit NSUIDesignFeed(QObject *parent = nullptr);
    ~NSUIDesignFeed() override;

    // Sets category, addresses and prefs key; the built-in designs come from
    // builtinDesignsForCategoryName (a subclass may provide its own), the feed designs from the
    // defaults under the prefs key (when given). Downloads nothing.
    void initFeedWithCategory(const QString &category, const QString &feedURL, const QString &prefsKey,
                              const QString &updateURL);
    static std::unique_ptr<NSUIDesignFeed> designFeedWithCategory(const QString &category, const QString &feedURL,
                                                                  const QString &prefsKey, const QString &updateURL);
    static std::unique_ptr<NSUIDesignFeed> designFeedWithCategory(const QString &category, const QString &feedURL,
                                                                  const QString &prefsKey);

    // Not owned; a delegate that goes away is forgotten.
    QObject *delegate() const;
    void setDelegate(QObject *delegate);
    QVariantMap feedDesignDictionary() const;
    void setFeedDesignDictionary(const QVariantMap &designs);
    QVariantMap builtinDesignDictionary() const;
    void setBuiltinDesignDictionary(const QVariantMap &designs);
    // The last request that replied.
    ATOM_FEED_HTTP_GET_Ref http_get() const;
    void setHttp_get(const ATOM_FEED_HTTP_GET_Ref &request);
    QString categoryName() const;
    void setCategoryName(const QString &name);
    QString feedURL() const;
    void setFeedURL(const QString &address);
    QString updateURL() const;
    void setUpdateURL(const QString &address);
    QString prefsKey() const;
    void setPrefsKey(const QString &key);

    // The built-in designs with the feed designs over them (a feed design replaces a built-in
    // one of the same name).
    virtual QVariantMap designDictionary();
    // Its names, sorted ascending ignoring case.
    QStringList designNames();
    // The content of the feed design of that name; null for a null name, a missing design or
    // one that is no feed entry.
    QString feedDesignCodeStringForDesignNamed(const QString &name);
    // The feed design's code string, else the code string of the built-in design, else the
    // code string of an empty dictionary (the two markers); never null.
    QString designCodeStringForDesignNamed(const QString &name);
    std::unique_ptr<NSUIDesignCodes> designNamed(const QString &name);

    // Starts the primary download; the replies arrive on the main thread.
    void refreshFeedDictionaryFromWebWithHTTP();
    // Lays feed entries over the feed designs (an entry replaces a design of the same name).
    void updateDesignDictionary(const QVariantMap &update);
    // Sends the delegate designFeedUpdated(argument) when it answers it.
    virtual void designDictionaryChanged(const QVariant &argument);
    // Stores the feed designs in the standard defaults under the prefs key; false without one.
    bool saveToUserDefaults();
    // Does nothing.
    void setDesignDictionary(const QVariantMap &designs);
    // "<NSUIDesignFeed name:<category> url:<feed address> (designDictionary: <n> items)>"
    QString description();

    // The built-in designs of the category; builtinDesignsWithCategoryName here.
    virtual QVariantMap builtinDesignsForCategoryName(const QString &category);
    // The main bundle's resource "<category>.plist" read with loadDesignsPropertyListWithURL;
    // empty when there is none or it cannot be used.
    static QVariantMap builtinDesignsWithCategoryName(const QString &category);

    // A designs file: empty when it cannot be read, nothing when it cannot be decoded.
    static std::optional<QVariantMap> loadDesignsPropertyListWithURL(const QUrl &url);
    // Designs archive data decoded and checked; nothing when it is refused.
    static std::optional<QVariantMap> loadDesignsPropertyList(const QByteArray &data);
    // Writes the designs archive atomically; false when it cannot be archived or written.
    static bool saveDesigns(const QVariantMap &designs, const QUrl &url);
    // The designs saved under the key: empty for an empty key or no value; nothing when the
    // value cannot be decoded.
    static std::optional<QVariantMap> designsDictionaryFromPrefs(const QString &key);
    // Stores the designs' archive (under the key) in the standard defaults under the key.
    static bool setPrefsDesignsDictionary(const QVariantMap &designs, const QString &key);

    // The classes a designs archive may hold.
    static QStringList designsAllowedClasses();

    // The replies of the two downloads (the argument carries the ATOM_FEED_HTTP_GET_Ref).
    Q_INVOKABLE void thread_HTTP_GET_primary_completed(const QVariant &request);
    Q_INVOKABLE void thread_HTTP_GET_secondary_completed(const QVariant &request);

protected:
    mutable std::recursive_mutex mLock;

private:
    QPointer<QObject> mDelegate;
    QVariantMap mFeedDesignDictionary;
    QVariantMap mBuiltinDesignDictionary;
    ATOM_FEED_HTTP_GET_Ref mHttpGet;
    QString mCategoryName;
    QString mFeedURL;
    QString mUpdateURL;
    QString mPrefsKey;
};

bool import_NSUIDesignFeed();
