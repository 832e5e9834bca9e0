// NSArrayController: a list of row objects (its content) shown by tables, with a selection.
//
// It is a Qt table model, so a QTableView shows it directly: a row per arranged object, a
// column per column binding (identifier, key path of the row, editable). Row objects are
// QVariants: dictionaries (QVariantMap), objects (QObject pointers, owned elsewhere) or
// archivable objects (NSCodingObject; a QObject subclass shared by the lists that hold it).
// Values of a row are read and written by key-value coding (valueForKeyPathOfObject).
//
// The arranged objects are the content in its own order (this controller neither sorts nor
// filters). The selection is a set of row indexes: inserted objects are selected when
// selectsInsertedObjects is on (the default); with avoidsEmptySelection on (the default) a
// change that would leave a non-empty list without selection selects a row near the change.
//
// Rows are never removed by a Qt view on its own: removeRows keeps QAbstractItemModel's answer
// (false), so a view that ends a move drag does not delete what the controller moved.
#pragma once

#include <Foundation/NSObjCRuntime.h>

#include <QAbstractTableModel>
#include <QPointer>
#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <initializer_list>
#include <vector>

// A sorted set of non-negative indexes.
class NSIndexSet {
public:
    NSIndexSet() = default;
    NSIndexSet(std::initializer_list<qsizetype> indexes);
    static NSIndexSet indexSetWithIndexesInRange(qsizetype location, qsizetype length);

    void addIndex(qsizetype index);  // negative indexes are ignored
    bool containsIndex(qsizetype index) const;
    qsizetype count() const { return qsizetype(mIndexes.size()); }
    bool isEmpty() const { return mIndexes.empty(); }
    // -1 when empty.
    qsizetype firstIndex() const;
    qsizetype lastIndex() const;

    std::vector<qsizetype>::const_iterator begin() const { return mIndexes.begin(); }
    std::vector<qsizetype>::const_iterator end() const { return mIndexes.end(); }
    bool operator==(const NSIndexSet &other) const = default;

private:
    std::vector<qsizetype> mIndexes;
};

// NSIndexSet(CountOfIndexesInRange)
namespace CountOfIndexesInRange {
// The number of indexes in [location, location + length).
qsizetype countOfIndexesInRange(const NSIndexSet &set, qsizetype location, qsizetype length);
}  // namespace CountOfIndexesInRange

// A table column bound to a key path of the row objects.
struct NSTableColumnBinding {
    QString identifier;
    QString keyPath;
    bool editable = false;
};

class QAbstractItemView;

class NSArrayController : public QAbstractTableModel {
    Q_OBJECT
    Q_PROPERTY(QVariantList content READ content WRITE setContent NOTIFY contentChanged)
    Q_PROPERTY(QVariantList arrangedObjects READ arrangedObjects NOTIFY contentChanged)
    Q_PROPERTY(QVariantList selectedObjects READ selectedObjects NOTIFY selectionIndexesChanged)

public:
    explicit NSArrayController(QObject *parent = nullptr);
    ~NSArrayController() override;

    // The content; setting it replaces every row.
    QVariantList content() const { return mContent; }
    virtual void setContent(const QVariantList &content);
    QVariantList arrangedObjects() const { return mContent; }
    // Tells the views that the rows may have changed.
    virtual void rearrangeObjects();

    // The class of new objects (a registered class whose instances derive from NSCoding);
    // null means dictionaries.
    NSClass objectClass() const { return mObjectClass; }
    void setObjectClass(NSClass cls) { mObjectClass = cls; }
    // A new object of the object class, as a row value; an empty dictionary when the class
    // is null or makes no archivable object.
    virtual QVariant newObject() const;

    // Adding and removing rows.
    virtual void addObject(const QVariant &object);
    void insertObjectAtArrangedObjectIndex(const QVariant &object, qsizetype index);
    // The objects go at the indexes in order (each index counts the objects placed before it).
    void insertObjectsAtArrangedObjectIndexes(const QVariantList &objects, const NSIndexSet &indexes);
    void removeObjectAtArrangedObjectIndex(qsizetype index);
    void removeObjectsAtArrangedObjectIndexes(const NSIndexSet &indexes);
    // The remove: action: removes the selected objects.
    virtual void remove();

    // Selection.
    NSIndexSet selectionIndexes() const { return mSelection; }
    // Indexes past the end are dropped; answers whether the selection changed.
    bool setSelectionIndexes(const NSIndexSet &indexes);
    qsizetype selectionIndex() const { return mSelection.firstIndex(); }
    QVariantList selectedObjects() const;
    bool selectsInsertedObjects() const { return mSelectsInsertedObjects; }
    void setSelectsInsertedObjects(bool selects) { mSelectsInsertedObjects = selects; }
    bool avoidsEmptySelection() const { return mAvoidsEmptySelection; }
    void setAvoidsEmptySelection(bool avoids);

    // Columns shown by table views.
    QList<NSTableColumnBinding> columnBindings() const { return mColumns; }
    void setColumnBindings(const QList<NSTableColumnBinding> &columns);
    // The column of that identifier; -1 when none.
    int columnWithIdentifier(const QString &identifier) const;

    // Shows this controller in the view (its model) and keeps the view's selected rows and the
    // selection indexes the same both ways. Null does nothing.
    void bindTableView(QAbstractItemView *view);

    // Key-value coding on a row value: a map, a QObject pointer or an archivable QObject.
    static QObject *objectOfRow(const QVariant &row);
    static QVariant valueForKeyPathOfObject(const QVariant &row, const QString &keyPath);
    // Sets the value in the row (a map row is edited in place in the variant).
    static void setValueForKeyPathOfObject(QVariant &row, const QVariant &value, const QString &keyPath);

    // QAbstractItemModel.
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
    void contentChanged();
    void selectionIndexesChanged();

protected:
    // The selection after a change, kept inside the list and away from empty when asked.
    void adjustSelectionAfterChange(NSIndexSet selection, qsizetype nearIndex);

private:
    QVariantList mContent;
    NSIndexSet mSelection;
    NSClass mObjectClass = nullptr;
    bool mSelectsInsertedObjects = true;
    bool mAvoidsEmptySelection = true;
    QList<NSTableColumnBinding> mColumns;
    QList<QPointer<QAbstractItemView>> mBoundViews;
    bool mSyncingViews = false;

    void showSelectionInViews();
};
