// UILocalLanguageController: the interface-language string table. Every user-visible text of
// the interface has a string ID, a dotted key path ("app.string.localization.usenglish");
// interface elements bind their texts to the one controller with the string ID as key path
// (UILocalLanguageBinding) and code asks for texts with stringWithID.
//
// The text of an ID is, in this order of precedence:
//   1. the selected user localisation (current), when it holds the ID;
//   2. the US English defaults (nibDefaults): the first text recorded for the ID wins, and
//      the entries of the static default-string table (UILocalLanguageStringID) are recorded
//      first, when the controller is made; then the text an element shows when it binds;
//   3. nil.
// A key path that names a property or value-answering method of the controller ("current",
// "persistentSettings") answers that instead. Every ID and key asked is kept in
// requestedKeyPaths.
//
// Selecting a localisation is applying a settings dictionary {string ID: text}
// (setSettingsDictionary, or the bookmark-target script operations): it replaces current as a
// whole, brackets the change with will/did-change sends for the root key (the text up to the
// first ".") of every ID in the old or new selection, and posts
// UILocalLanguageControllerWillChangeLanguage before and
// UILocalLanguageControllerDidChangeLanguage after it (object: the controller), once each.
// Observers of a root key re-read their whole key path, so bound elements update.
//
// One instance per process (UNibSingleton, instance key "UILocalLanguageController");
// UFLocalLanguageController shares it. The selection is persisted through the
// persistent-objects registry under the key "UILocalLanguageController" (key path
// "persistentSettings"), whichever class made the instance. Main thread only; the fields are
// guarded, and no lock is held while observers or notifications run.
#pragma once

#include <CocoaFoundation/UNibSingleton.h>
#include <CocoaFoundation/UPersistentObjectsController.h>
#include <UIParamMapping/NSUIBookmarksTarget.h>

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <mutex>

inline constexpr char UILocalLanguageControllerWillChangeLanguage[] = "UILocalLanguageControllerWillChangeLanguage";
inline constexpr char UILocalLanguageControllerDidChangeLanguage[] = "UILocalLanguageControllerDidChangeLanguage";

class UILocalLanguageController : public UNibSingleton,
                                  public UPersistentObject,
                                  public protocol_NSUIBookmarksTarget {
    Q_OBJECT
    Q_PROPERTY(QVariantMap current READ current)
    Q_PROPERTY(QStringList requestedKeyPaths READ requestedKeyPathList)
    Q_PROPERTY(QVariantMap nibDefaults READ nibDefaults)
    Q_PROPERTY(QVariantMap persistentSettings READ persistentSettings WRITE setPersistentSettings)

public:
    // "UILocalLanguageController": the key of the shared instance and of its stored selection.
    static QString instanceKey();
    // The shared instance, made and initialised on first use.
    static UILocalLanguageController *language();

    // The text of the ID (valueForKeyPath of the shared instance); null when no source has it.
    static QString stringWithID(const QString &stringID);
    // Records the default for the ID when it has none yet, then stringWithID.
    static QString stringWithIDDefaultValue(const QString &stringID, const QString &defaultValue);
    // Records the default; true when it was recorded now.
    static bool registerDefaultValue(const QString &defaultValue, const QString &stringID);

    // Persistence: {"persistentSettings"}, stored under the instance key.
    QSet<QString> persistentObjectKeyPaths() const override;
    QString persistenceObjectKey() const override;

    QVariantMap current() const;
    QSet<QString> requestedKeyPaths() const;
    QStringList requestedKeyPathList() const;  // sorted
    QVariantMap nibDefaults() const;
    QVariantMap persistentSettings() const;
    void setPersistentSettings(const QVariantMap &settings);

    // Key-value coding: a key path is a string ID (see above); a single key is only noted in
    // requestedKeyPaths and answers nil, so observing an ID ends its walk at the root key.
    QVariant valueForKeyPath(const QString &keyPath) override;
    QVariant valueForKey(const QString &key) override;
    // "valueForUndefinedKey:<key>"
    QVariant valueForUndefinedKey(const QString &key) override;

    // Bookmark target: selects the localisation (always true); the selection; "UI for <locale>".
    bool setSettingsDictionary(const QVariantMap &settings) override;
    QVariantMap currentSettingsDictionary(bool includeAllParameters) override;
    QString currentSettingsDictionaryName() override;
    // The name of the system's locale ("en_US").
    static QString currentLocaleID();

    // The sources of a text, each nil when it does not hold the ID.
    QVariant defaultValueForKeyPathInUSEnglishLocale(const QString &keyPath) const;
    QVariant defaultValueForKeyPathInCurrentLocale(const QString &keyPath) const;  // always nil
    QVariant valueForKeyPathInSelectedUserLocalization(const QString &keyPath) const;
    // A copy of the US English defaults, and its code string.
    Q_INVOKABLE QVariantMap defaultsDictionaryForUSEnglishLocalization() const;
    Q_INVOKABLE QString defaultsForUSEnglishLocalization() const;
    // Selects the US English defaults as the localisation.
    Q_INVOKABLE void actionResetLanguageToDefaultUSEnglishLocalization(QObject *sender);

    // Records a non-nil value as the ID's default when it has none; true when recorded.
    bool recordKeyPath(const QString &keyPath, const QVariant &defaultObjectValue);
    // When the element answers the selector (a readable property, or a method of no argument
    // that returns a value): records the answer as default and answers true, also when a
    // default existed already; otherwise false.
    bool recordUIElementObjectKeyPathWithSelector(QObject *element, const QString &keyPath, const QString &selector);
    // The same with the selector named by the key path's last component.
    bool recordUIElementObjectKeyPath(QObject *element, const QString &keyPath);
    // The key path's last dot component (the whole text without a dot); null for "".
    static QString selectorFromKeyPath(const QString &keyPath);
    // The answer of a property or value-answering method of the controller named exactly as
    // the key path; nil when there is none.
    QVariant respondsToKeyPathSelectorOrNil(const QString &keyPath);

    static QString rootKeyForKeyPath(const QString &keyPath);
    static QSet<QString> rootKeysForAllKeyPaths(const QSet<QString> &keyPaths);
    // Will/did-change sends for the root keys of the IDs, then the will/did notification.
    void willChangeValuesForAllKeyPaths(const QSet<QString> &keyPaths);
    void didChangeValuesForAllKeyPaths(const QSet<QString> &keyPaths);
    // The will/did-change sends for the root keys alone.
    void willChangeValuesForAllRootKeys(const QSet<QString> &rootKeys);
    void didChangeValuesForAllRootKeys(const QSet<QString> &rootKeys);

    // Observing an ID: when the observer answers "object" (a binding reports its element),
    // the element's text becomes the ID's default unless one is recorded; the element is
    // asked, in order, for the key path's last component, "title", "stringValue" and the
    // property the observer names as "boundProperty". Any failure there is swallowed; the
    // observer is registered in every case. Bind through this method (not the free
    // NSKeyValueCoding::addObserver) for the capture to happen.
    void addObserver(QObject *observer, const QString &keyPath, unsigned options = 0, void *context = nullptr);

protected:
    UILocalLanguageController();
    ~UILocalLanguageController() override;
    friend class UNibSingleton;

    // Empty selection and defaults, the static table's entries recorded, then registered
    // with the persistent-objects registry (which restores the saved selection when the
    // application has launched already).
    void initOnceInstance() override;

private:
    mutable std::recursive_mutex mMutex;
    QVariantMap mCurrent;
    QSet<QString> mRequestedKeyPaths;
    QVariantMap mNibDefaults;
};

// The same controller under the name some nibs use: it shares the instance.
class UFLocalLanguageController : public UILocalLanguageController {
    Q_OBJECT
protected:
    UFLocalLanguageController();
    ~UFLocalLanguageController() override;
    friend class UNibSingleton;
};

bool import_UILocalLanguageController();
