// UILocalizationEditorArrayController: the row editor of the selected interface language.
//
// The bookmarks' array controller (outletArrayController) holds the languages as bookmarks
// {"presetNameString": name, "presetCodeString": code string}. This controller shows the code
// string of the selected bookmark as rows {"propertyKeyPath": string ID, "propertyKeyValue":
// text}, IDs in ascending order ignoring case, as the model of the row editor (outletTableView);
// only the text column is editable. Editing a text marks the rows dirty; updateValues writes the
// rows back into the selected bookmark as a code string (which rebuilds the rows), revertValues
// writes back the code string the rows were built from.
//
// The selection's code string is followed through the array controller's signals (selection,
// content and row changes): a change of the selected bookmark, or of its code string, rebuilds
// the rows. A selection without a code string (no bookmark, several different ones, or an empty
// text) shows no rows and cannot be updated or reverted, so the rows of one language can never be
// written into another bookmark.
#pragma once

#include <Foundation/NSArrayController.h>

#include <QPointer>
#include <QString>
#include <QTableView>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

class UILocalizationEditorArrayController : public NSArrayController {
    Q_OBJECT
    Q_PROPERTY(NSArrayController *outletArrayController READ outletArrayController WRITE setOutletArrayController)
    Q_PROPERTY(QTableView *outletTableView READ outletTableView WRITE setOutletTableView)
    Q_PROPERTY(bool arrangedObjectsDirty READ arrangedObjectsDirty NOTIFY editorStateChanged)
    Q_PROPERTY(bool canUpdateValues READ canUpdateValues NOTIFY editorStateChanged)
    Q_PROPERTY(bool canRevertValues READ canRevertValues NOTIFY editorStateChanged)
    Q_PROPERTY(QString arrangedObjectsStringValue READ arrangedObjectsStringValue WRITE setArrangedObjectsStringValue)
    Q_PROPERTY(QString stringValue READ stringValue)

public:
    static constexpr char kKeyPathColumn[] = "propertyKeyPath";
    static constexpr char kKeyValueColumn[] = "propertyKeyValue";
    static constexpr char kSelectionCodeStringKey[] = "presetCodeString";

    Q_INVOKABLE explicit UILocalizationEditorArrayController(QObject *parent = nullptr);
    ~UILocalizationEditorArrayController() override;

    NSArrayController *outletArrayController() const { return mArrayController.data(); }
    void setOutletArrayController(NSArrayController *controller);
    QTableView *outletTableView() const { return mTableView.data(); }
    void setOutletTableView(QTableView *tableView) { mTableView = tableView; }

    // Rows empty, nothing saved; shows the rows in the table; with an array controller, loads its
    // selection and follows it.
    Q_INVOKABLE void awakeFromNib();

    // The selected bookmarks' code string: null when nothing is selected, the selected bookmarks
    // differ, or the row has none.
    QString selectionCodeString() const;
    // Writes the code string into every selected bookmark.
    void setSelectionCodeString(const QString &codeString);

    void outletArrayControllerSelectionChanged();
    // A non-empty text rebuilds the rows from it; anything else empties them and clears the
    // saved text.
    void controllerSelectionChanged(const QVariant &value);

    // A non-null text is parsed and the rows rebuilt; the saved text becomes the argument (a
    // null text empties the rows).
    void setArrangedObjectsStringValue(const QString &text);
    QString arrangedObjectsStringValue() const;
    QString stringValue() const { return arrangedObjectsStringValue(); }
    // The code string the rows were built from; null when there is none.
    QString arrangedObjectsStringValueSaved() const { return mSavedText; }

    // Rows rebuilt from the dictionary (sorted IDs), dirty cleared, the table reloaded.
    void setArrangedObjectsDictionary(const QVariantMap &dictionary);
    QVariantMap arrangedObjectsDictionary() const;

    // The settings of a code string ({} for null or no entries), and the code string of settings.
    static QVariantMap dictionaryFromScript(const QString &script);
    static QString scriptFromDictionary(const QVariantMap &dictionary);

    bool arrangedObjectsDirty() const { return mDirty; }
    bool canUpdateValues() const { return !mSavedText.isNull(); }
    bool canRevertValues() const { return !mSavedText.isNull(); }

    // Actions of the editor's buttons (sender ignored).
    Q_INVOKABLE void updateValues(QObject *sender = nullptr);
    Q_INVOKABLE void revertValues(QObject *sender = nullptr);

    // The data source side: the row count, a row's value for a column identifier ("" when no
    // such row), and the edit of a text (the only editable column; marks the rows dirty).
    int numberOfRowsInTableView() const { return rowCount(); }
    QVariant tableViewObjectValue(const QString &columnIdentifier, int row) const;
    bool tableViewSetObjectValue(const QVariant &value, const QString &columnIdentifier, int row);

    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    void editorStateChanged();

private:
    void setDirty(bool dirty);
    // The selection's code string changed since it was last seen: follow it.
    void arrayControllerContentChanged();

    QPointer<NSArrayController> mArrayController;
    QPointer<QTableView> mTableView;
    QList<QMetaObject::Connection> mConnections;
    bool mDirty = false;
    QString mSavedText;     // an owned copy of the code string the rows came from
    QString mLastSeenCode;  // the selection's code string when last followed
};

bool import_UILocalizationEditorArrayController();
