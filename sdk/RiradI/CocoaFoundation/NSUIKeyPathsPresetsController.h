// Key-path presets: a favourites list for a group of settings. A preset (NSUIKeyPathPreset) is a
// name and the values of a source object's key paths taken at one moment; applying it puts the
// values back. NSUIKeyPathsPresetsController owns the list, shows it through an array
// controller and a table, adds, removes, renames, applies and imports presets, and saves the
// list after every change: in the user defaults under its serialization key (keyed archive,
// root key "UPersistentObjectsController") and in "<key>.plist" in the application-support
// folder (root key "NSDictionary_PropertyListArchivingDefaultKey", written atomically). A
// resource "<key>.plist" of the main bundle is the factory list, read only when the user
// defaults hold no list at all (an emptied list stays empty).
//
// The source answers, each optionally (Q_INVOKABLE methods taking the preset or the sender as
// a QObject pointer):
//   QString favoritesNameForNewBookmark(QObject *preset)
//   QSet<QString> favoritesKeyPathsForSerialization(QObject *preset)   (any other type, or an
//       empty set, means no key paths)
//   void favoritesWillChangeKeyPathValues(QObject *preset), favoritesDidChangeKeyPathValues(...)
//   void favoritesResetKeyPathValuesToDefault(QObject *sender)
// The controller's delegate answers
//   QObject *favoritesSourceObjectWithKeyPaths(QObject *controller)   (required)
//   QString favoritesSerializationKey(QObject *controller)            (optional)
//
// Reading a stored or imported list accepts only the property-list classes, NSColor and the
// preset classes, wants a dictionary whose "keyPathPresetsArray" is an array of presets, and
// applies nothing from a list that fails any of that.
#pragma once

#include <Foundation/NSArrayController.h>
#include <Foundation/NSKeyedArchiver.h>
#include <Foundation/NSObject.h>

#include <QColor>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTableView>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

class NSUIKeyPathPreset : public NSObject, public NSCoding {
    Q_OBJECT
    Q_PROPERTY(QString presetName READ presetName WRITE setPresetName NOTIFY presetNameChanged)
    Q_PROPERTY(QVariantMap keyPathValues READ keyPathValues WRITE setKeyPathValues NOTIFY keyPathValuesChanged)
    Q_PROPERTY(QString presetButtonText READ presetButtonText CONSTANT)

public:
    // An unnamed preset without values (what the unarchiver and the class registry make).
    NSUIKeyPathPreset();
    ~NSUIKeyPathPreset() override;

    // Names the preset "Preset <n>" with the process-wide counter (0 first), then asks the
    // source for a name and captures the source's key paths.
    void initWithSource(QObject *source);
    // A new preset of the class (NSUIKeyPathPreset or a registered subclass) made with
    // initWithSource; null for any other class.
    static std::shared_ptr<NSUIKeyPathPreset> presetWithSource(QObject *source,
                                                               NSClass presetClass = &staticMetaObject);
    // The preset a list row holds; null when the row is no preset.
    static NSUIKeyPathPreset *presetOfRow(const QVariant &row);

    void applyPresetToSource(QObject *source) const;

    QString presetName() const;
    void setPresetName(const QString &name);
    QVariantMap keyPathValues() const;
    void setKeyPathValues(const QVariantMap &values);
    // "█"
    QString presetButtonText() const;
    // "<class>.<name>[<number of values>]"
    QString description() const;

    void encodeWithCoder(NSCoder &coder) const override;
    bool initWithCoder(NSCoder &coder) override;

signals:
    void presetNameChanged();
    void keyPathValuesChanged();

private:
    QString mPresetName;
    QVariantMap mKeyPathValues;
};

// The colour-scheme favourites: the scheme's colours are stored under the flat keys
// "colorScheme.dominantColor", "colorScheme.secondaryColor", "colorScheme.tertiaryColor".
class NSUIColorKeyPathPreset : public NSUIKeyPathPreset {
    Q_OBJECT
    Q_PROPERTY(QVariant dominantColor READ dominantColor STORED false)
    Q_PROPERTY(QVariant secondaryColor READ secondaryColor STORED false)
    Q_PROPERTY(QVariant tertiaryColor READ tertiaryColor STORED false)
    Q_PROPERTY(QString dominantHeader READ dominantHeader CONSTANT)
    Q_PROPERTY(QString columnHeader READ columnHeader CONSTANT)

public:
    NSUIColorKeyPathPreset();

    QVariant dominantColor() const;
    QVariant secondaryColor() const;
    QVariant tertiaryColor() const;
    // "███"
    QString dominantHeader() const;
    QString columnHeader() const;
};

class NSUIKeyPathsPresetsController : public NSObject {
    Q_OBJECT
    Q_PROPERTY(QObject *delegate READ delegate WRITE setDelegate)
    Q_PROPERTY(NSArrayController *outletArrayController READ outletArrayController WRITE setOutletArrayController)
    Q_PROPERTY(QTableView *outletTableView READ outletTableView WRITE setOutletTableView)
    Q_PROPERTY(QVariantList keyPathPresetsArray READ keyPathPresetsArray WRITE setKeyPathPresetsArray)
    Q_PROPERTY(QString outletKeyPathPresetClass READ outletKeyPathPresetClass WRITE setOutletKeyPathPresetClass)
    Q_PROPERTY(QString outletFavoritesSerializationKey READ outletFavoritesSerializationKey WRITE
                   setOutletFavoritesSerializationKey)

public:
    NSUIKeyPathsPresetsController();
    ~NSUIKeyPathsPresetsController() override;

    // "NSUIKeyPathsPresetsController"; NSUIKeyPathPreset.
    static QString favoritesSerializationKeyDefault();
    static NSClass classNSUIKeyPathPreset();
    // The allow-list of stored and imported lists.
    static QStringList allowedArchiveClasses();
    // The list dictionary of archive data under the root key: nothing, with the reason in
    // *error, when it is no keyed archive of allowed classes, has another root, or its
    // "keyPathPresetsArray" is missing or holds anything but presets.
    static std::optional<QVariantMap> presetsDictionaryWithData(const QByteArray &data, const QString &rootKey,
                                                                QString *error = nullptr);

    QObject *delegate() const { return mDelegate; }
    void setDelegate(QObject *delegate) { mDelegate = delegate; }
    NSArrayController *outletArrayController() const { return mArrayController; }
    void setOutletArrayController(NSArrayController *controller) { mArrayController = controller; }
    QTableView *outletTableView() const { return mTableView; }
    void setOutletTableView(QTableView *tableView) { mTableView = tableView; }

    QVariantList keyPathPresetsArray() const;
    void setKeyPathPresetsArray(const QVariantList &presets);

    QString favoritesSerializationKey() const { return mFavoritesSerializationKey; }
    QString delegateFavoritesSerializationKey() const;
    QObject *delegateSourceObject() const;
    NSClass keyPathPresetClass() const { return mKeyPathPresetClass; }

    void setOutletKeyPathPresetClass(const QString &className);
    QString outletKeyPathPresetClass() const;
    void setOutletFavoritesSerializationKey(const QString &key) { mFavoritesSerializationKey = key; }
    QString outletFavoritesSerializationKey() const { return mFavoritesSerializationKey; }

    // Loads the list (user defaults, else the factory list), sets up the array controller and
    // the table.
    void awakeFromNib();

    // Actions.
    Q_INVOKABLE void actionAddKeyPathPreset(QObject *sender = nullptr);
    Q_INVOKABLE void actionRemoveKeyPathPreset(QObject *sender = nullptr);
    Q_INVOKABLE void actionApplyKeyPathPreset(QObject *sender = nullptr);
    Q_INVOKABLE void actionDefaultNoKeyPathPreset(QObject *sender = nullptr);
    // Runs an open panel on the support folder and imports the chosen file.
    Q_INVOKABLE void actionImportSerializedPresets(QObject *sender = nullptr);
    // The double click on a cell of the table (row -1: below the last row).
    void actionTableDoubleClicked(int clickedRow, int clickedColumn);

    // Replaces the list with the file's and saves it; false, with the reason logged and in
    // *error, for a file that cannot be read or holds no valid list (the list is unchanged).
    bool importPresetsFromFile(const QString &path, QString *error = nullptr);

    NSUIKeyPathPreset *selectedKeyPathPreset() const;
    bool hasSelection() const;
    NSIndexSet arraySelectionIndexes() const;
    void setArraySelectionIndexes(const NSIndexSet &indexes);
    NSIndexSet presetArraySelectionIndexes() const { return arraySelectionIndexes(); }
    void setPresetArraySelectionIndexes(const NSIndexSet &indexes) { setArraySelectionIndexes(indexes); }
    NSIndexSet presetTableSelectionIndexes() const { return arraySelectionIndexes(); }
    void setPresetTableSelectionIndexes(const NSIndexSet &indexes) { setArraySelectionIndexes(indexes); }
    NSIndexSet indexSetForSelectedObject() const;

    // Sent by a table-view array controller after every change of the list.
    Q_INVOKABLE void arrayControllerDidChangeContents(QObject *controller);
    // Saves the list to the user defaults and the support folder's file.
    void persistentObjectSerializeData();

private:
    void applyStoredDictionary(const QVariantMap &dictionary);
    bool importPresetsFromFile(const QString &path, QString *error, bool save);

    QPointer<QObject> mDelegate;
    QPointer<NSArrayController> mArrayController;
    QPointer<QTableView> mTableView;
    QVariantList mKeyPathPresetsArray;
    NSIndexSet mArraySelectionIndexes;
    QString mFavoritesSerializationKey;
    NSClass mKeyPathPresetClass;
    bool mArrayControllerHoldsList = false;
};

bool import_NSUIKeyPathsPresetsController();
