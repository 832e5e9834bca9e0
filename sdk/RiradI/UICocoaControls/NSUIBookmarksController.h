// NSUIBookmarksController: the user's list of bookmarks for one bookmark target.
//
// A bookmark is a dictionary {"presetNameString": name, "presetCodeString": code string} (see
// UIParamMapping/NSUIDesignCodes.h for the code string). The controller shows the list through
// an array controller and a table, keeps it in the user defaults, captures the target's current
// settings into a new or the selected bookmark, applies a text to the target, copies and pastes
// settings as plain text (the clipboard), and exports and imports the whole list as a designs
// file ({name: bookmark} as a keyed archive, NSUIDesignFeed::saveDesigns).
//
// Every list operation reads the array controller's rows (the list as shown), so a first
// launch with nothing stored works like any other; without an array controller the list as
// loaded (presetsArray) stands in, and adding does nothing.
//
// User defaults: key "<class name>presetDataSerializationKey" (every subclass its own list),
// value the XML property list of the array of bookmarks. An empty list is stored too.
//
// Outside data is checked: a stored list or an imported file brings in only dictionaries whose
// name and code string are both strings (and only those two entries); anything else is skipped
// and named in the report. A file that cannot be read or decoded changes nothing.
//
// Export names every bookmark uniquely: a name met again becomes "<name> 2", "<name> 3" ...
// (the first free one), an unnamed bookmark takes presetNameDefaultValue, so no bookmark is
// lost in the file's dictionary.
#pragma once

#include <AppKit/NSTextView.h>
#include <Foundation/NSArrayController.h>
#include <Foundation/NSObject.h>

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTableView>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

class protocol_NSUIBookmarksTarget;

class NSUIBookmarksController : public NSObject {
    Q_OBJECT
    Q_PROPERTY(QObject *delegate READ delegate WRITE setDelegate)
    Q_PROPERTY(NSArrayController *outletArrayController READ outletArrayController WRITE setOutletArrayController)
    Q_PROPERTY(QTableView *outletTableView READ outletTableView WRITE setOutletTableView)
    Q_PROPERTY(NSTextView *outletScriptEditorView READ outletTextView WRITE setoutletTextView)
    Q_PROPERTY(QObject *outletTarget READ outletTarget WRITE setOutletTarget)
    Q_PROPERTY(QVariantList presetsArray READ presetsArray WRITE setPresetsArray)
    Q_PROPERTY(QString presetDataSerializationKey READ presetDataSerializationKey WRITE setPresetDataSerializationKey)
    Q_PROPERTY(QString presetNameDefaultValue READ presetNameDefaultValue WRITE setPresetNameDefaultValue)

public:
    static constexpr char kPresetNameKey[] = "presetNameString";
    static constexpr char kPresetCodeKey[] = "presetCodeString";
    static constexpr char kSerializationKeySuffix[] = "presetDataSerializationKey";

    Q_INVOKABLE explicit NSUIBookmarksController(QObject *parent = nullptr);
    ~NSUIBookmarksController() override;

    // The class name followed by the suffix.
    QString defaultClassKeyValue(const QString &suffix) const;
    // The suggested export file name: the class name.
    QString defaultXMLExportFileName() const;

    // Outlets (not owned).
    QObject *delegate() const { return mDelegate; }
    void setDelegate(QObject *delegate) { mDelegate = delegate; }
    NSArrayController *outletArrayController() const { return mArrayController; }
    void setOutletArrayController(NSArrayController *controller) { mArrayController = controller; }
    QTableView *outletTableView() const { return mTableView; }
    void setOutletTableView(QTableView *tableView) { mTableView = tableView; }
    NSTextView *outletTextView() const { return mTextView; }
    void setoutletTextView(NSTextView *textView) { mTextView = textView; }
    QObject *outletTarget() const { return mTarget; }
    void setOutletTarget(QObject *target) { mTarget = target; }
    // The target as a bookmark target; null when there is none or it is no bookmark target.
    protocol_NSUIBookmarksTarget *bookmarkTarget() const;

    // The list as loaded from the user defaults; empty when none was loaded (hasPresetsArray).
    QVariantList presetsArray() const { return mPresetsArray.value_or(QVariantList()); }
    void setPresetsArray(const QVariantList &presets) { mPresetsArray = presets; }
    bool hasPresetsArray() const { return mPresetsArray.has_value(); }
    void clearPresetsArray() { mPresetsArray.reset(); }
    // The user-defaults key; defaultClassKeyValue("presetDataSerializationKey") unless one was set.
    QString presetDataSerializationKey() const;
    void setPresetDataSerializationKey(const QString &key) { mSerializationKey = key; }
    QString presetNameDefaultValue() const { return mPresetNameDefaultValue; }
    void setPresetNameDefaultValue(const QString &name) { mPresetNameDefaultValue = name; }

    // The list the operations work on: the array controller's rows, else presetsArray.
    QVariantList presets() const;

    // Makers of bookmarks. A null script gives an empty dictionary; a null name a bookmark
    // without name.
    static QVariantMap newPresetWithScript(const QString &script, const QString &scriptName);
    QVariantMap newPresetWithScript(const QString &script) const;
    // From the target's current settings and name; an empty dictionary without target.
    QVariantMap newPresetWithCurrentPreset() const;
    // The target's empty settings with the default name.
    QVariantMap newPresetWithEmptyPreset() const;
    void addNewPresetForScript(const QString &script);
    void addNewPresetForScript(const QString &script, const QString &scriptName);
    void addNewPresetForScriptDictionary(const QVariantMap &preset);

    // setSettingsDictionaryScript on the target; nothing for a null text or no target.
    void applyPresetScriptToBookmarkTarget(const QString &script);

    // The bookmark at the array controller's selection (and its index); nothing when the
    // selection is not within the list.
    std::optional<QVariantMap> selectedPresetIndex(qsizetype *index) const;
    std::optional<QVariantMap> selectedPreset() const;

    // {unique name: copy of the bookmark named so} over the list.
    QVariantMap allPresetsDictionaryWithNamedPresets() const;

    // True when the row is a bookmark: a dictionary whose name and code string are strings.
    static bool isValidPreset(const QVariant &row);
    // The bookmarks among the designs (each reduced to its two entries), in the dictionary's
    // order; every other entry is named in *skipped with the reason.
    static QVariantList presetsFromDesignsDictionary(const QVariantMap &designs, QStringList *skipped = nullptr);
    // A bookmarks file read and checked: nothing, with the reason in *error, when it cannot be
    // read or decoded.
    static std::optional<QVariantList> presetsFromFile(const QString &path, QStringList *skipped = nullptr,
                                                       QString *error = nullptr);

    // The same for the file's bytes (the reader of outside files).
    static std::optional<QVariantList> presetsFromFileData(const QByteArray &data, QStringList *skipped = nullptr,
                                                           QString *error = nullptr);

    // Adds the bookmarks among the designs to the array controller (nothing without one);
    // answers how many were added.
    qsizetype importPresetsFromDictionary(const QVariantMap &designs, QStringList *skipped = nullptr);
    // Imports a file; false, with the reason, when it cannot be read or decoded (the list is
    // unchanged). Skipped entries are named in *skipped.
    bool importPresetsFromFile(const QString &path, QStringList *skipped = nullptr, QString *error = nullptr);
    // Writes allPresetsDictionaryWithNamedPresets to the file atomically; false when it fails.
    bool exportPresetsToFile(const QString &path) const;

    // Stores the array controller's rows under the key and synchronises the defaults; false
    // without key or array controller, or when the rows cannot be stored.
    bool savePresetsToUserDefaults();
    bool savePresetsToUserDefaults(const QString &key);
    // Reads the list under the key into presetsArray: a missing value leaves it as it was, an
    // unreadable one clears it; rows that are no bookmarks are left out (and logged).
    void loadPresetsFromUserDefaults();
    void loadPresetsFromUserDefaults(const QString &key);

    // Plain-text editor, small table font, single selection; the editor follows the selected
    // bookmark (and edits go into it); then the stored list becomes the array controller's rows.
    Q_INVOKABLE virtual void awakeFromNib();

    // Actions (the sender is ignored).
    Q_INVOKABLE void actionAddNewPresetForCurrentPreset(QObject *sender = nullptr);
    Q_INVOKABLE void actionAddNewPresetForEmptyPreset(QObject *sender = nullptr);
    Q_INVOKABLE void actionDuplicateCurrentPreset(QObject *sender = nullptr);
    Q_INVOKABLE void actionDeleteCurrentPreset(QObject *sender = nullptr);
    Q_INVOKABLE void actionPresetScriptRead(QObject *sender = nullptr);
    Q_INVOKABLE void actionPresetScriptApply(QObject *sender = nullptr);
    Q_INVOKABLE void actionCopyToPasteboardAsText(QObject *sender = nullptr);
    Q_INVOKABLE void actionPasteFromPasteboardAsText(QObject *sender = nullptr);
    Q_INVOKABLE void actionExportXML(QObject *sender = nullptr);
    Q_INVOKABLE void actionImportXML(QObject *sender = nullptr);

protected:
    // The file dialogs and the report of the import actions; empty answers mean cancelled.
    virtual QString chooseExportFile();
    virtual QString chooseImportFile();
    // Shows what an import or export skipped or why it failed (nothing when all went well).
    virtual void reportFileProblem(const QString &title, const QString &message);

private:
    QWidget *dialogParent() const;
    void showSelectedPresetInEditor();
    void takeEditorTextIntoSelectedPreset();

    QPointer<QObject> mDelegate;
    QPointer<NSArrayController> mArrayController;
    QPointer<QTableView> mTableView;
    QPointer<NSTextView> mTextView;
    QPointer<QObject> mTarget;
    std::optional<QVariantList> mPresetsArray;
    QString mSerializationKey;
    QString mPresetNameDefaultValue;
    bool mEditorFollowsSelection = false;
    bool mUpdatingEditor = false;
};

bool import_NSUIBookmarksController();
