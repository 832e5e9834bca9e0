#include "NSArrayController.h"

#include "NSException.h"
#include "NSKeyValueCoding.h"
#include "NSKeyedArchiver.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>

#include <algorithm>

NSIndexSet::NSIndexSet(std::initializer_list<qsizetype> indexes) {
    for (qsizetype index : indexes) addIndex(index);
}

NSIndexSet NSIndexSet::indexSetWithIndexesInRange(qsizetype location, qsizetype length) {
    NSIndexSet set;
    for (qsizetype index = std::max<qsizetype>(location, 0); index < location + length; ++index)
        set.mIndexes.push_back(index);
    return set;
}

void NSIndexSet::addIndex(qsizetype index) {
    if (index < 0) return;
    const auto place = std::lower_bound(mIndexes.begin(), mIndexes.end(), index);
    if (place == mIndexes.end() || *place != index) mIndexes.insert(place, index);
}

bool NSIndexSet::containsIndex(qsizetype index) const {
    return std::binary_search(mIndexes.begin(), mIndexes.end(), index);
}

qsizetype NSIndexSet::firstIndex() const { return mIndexes.empty() ? -1 : mIndexes.front(); }
qsizetype NSIndexSet::lastIndex() const { return mIndexes.empty() ? -1 : mIndexes.back(); }

namespace CountOfIndexesInRange {

qsizetype countOfIndexesInRange(const NSIndexSet &set, qsizetype location, qsizetype length) {
    if (length <= 0) return 0;
    const auto first = std::lower_bound(set.begin(), set.end(), location);
    const auto last = std::lower_bound(first, set.end(), location + length);
    return qsizetype(last - first);
}

}  // namespace CountOfIndexesInRange

NSArrayController::NSArrayController(QObject *parent) : QAbstractTableModel(parent) {
    connect(this, &NSArrayController::selectionIndexesChanged, this, &NSArrayController::showSelectionInViews);
}

NSArrayController::~NSArrayController() = default;

void NSArrayController::setContent(const QVariantList &content) {
    beginResetModel();
    mContent = content;
    endResetModel();
    emit contentChanged();
    NSIndexSet kept;
    for (qsizetype index : mSelection)
        if (index < mContent.size()) kept.addIndex(index);
    adjustSelectionAfterChange(kept, 0);
    // A reset clears the views' selections even when the indexes stayed the same.
    showSelectionInViews();
}

void NSArrayController::rearrangeObjects() {
    if (!mContent.isEmpty() && !mColumns.isEmpty())
        emit dataChanged(index(0, 0), index(int(mContent.size()) - 1, int(mColumns.size()) - 1));
    emit contentChanged();
}

QVariant NSArrayController::newObject() const {
    if (mObjectClass != nullptr) {
        QObject *object = NSClassCreateInstance(mObjectClass);
        if (auto *coding = dynamic_cast<NSCoding *>(object)) return QVariant::fromValue(NSCodingObject(coding));
        delete object;
    }
    return QVariantMap();
}

void NSArrayController::addObject(const QVariant &object) {
    insertObjectAtArrangedObjectIndex(object, mContent.size());
}

void NSArrayController::insertObjectAtArrangedObjectIndex(const QVariant &object, qsizetype index) {
    insertObjectsAtArrangedObjectIndexes({object}, NSIndexSet{index});
}

void NSArrayController::insertObjectsAtArrangedObjectIndexes(const QVariantList &objects, const NSIndexSet &indexes) {
    if (objects.isEmpty() || objects.size() != indexes.count()) return;
    NSIndexSet selection = mSelection;
    NSIndexSet inserted;
    qsizetype next = 0;
    for (qsizetype wanted : indexes) {
        const qsizetype at = std::min(wanted, mContent.size());
        beginInsertRows(QModelIndex(), int(at), int(at));
        mContent.insert(at, objects.at(next++));
        endInsertRows();
        NSIndexSet shifted;
        for (qsizetype index : selection) shifted.addIndex(index >= at ? index + 1 : index);
        selection = shifted;
        NSIndexSet shiftedInserted;
        for (qsizetype index : inserted) shiftedInserted.addIndex(index >= at ? index + 1 : index);
        shiftedInserted.addIndex(at);
        inserted = shiftedInserted;
    }
    emit contentChanged();
    adjustSelectionAfterChange(mSelectsInsertedObjects ? inserted : selection, inserted.firstIndex());
}

void NSArrayController::removeObjectAtArrangedObjectIndex(qsizetype index) {
    removeObjectsAtArrangedObjectIndexes(NSIndexSet{index});
}

void NSArrayController::removeObjectsAtArrangedObjectIndexes(const NSIndexSet &indexes) {
    NSIndexSet removed;
    for (qsizetype index : indexes)
        if (index < mContent.size()) removed.addIndex(index);
    if (removed.isEmpty()) return;
    for (auto index = removed.end(); index != removed.begin();) {
        --index;
        beginRemoveRows(QModelIndex(), int(*index), int(*index));
        mContent.removeAt(*index);
        endRemoveRows();
    }
    NSIndexSet selection;
    for (qsizetype index : mSelection)
        if (!removed.containsIndex(index))
            selection.addIndex(index - CountOfIndexesInRange::countOfIndexesInRange(removed, 0, index));
    emit contentChanged();
    adjustSelectionAfterChange(selection, removed.firstIndex());
}

void NSArrayController::remove() { removeObjectsAtArrangedObjectIndexes(mSelection); }

bool NSArrayController::setSelectionIndexes(const NSIndexSet &indexes) {
    NSIndexSet selection;
    for (qsizetype index : indexes)
        if (index < mContent.size()) selection.addIndex(index);
    if (selection == mSelection) return false;
    mSelection = selection;
    emit selectionIndexesChanged();
    return true;
}

QVariantList NSArrayController::selectedObjects() const {
    QVariantList objects;
    // While a content change is told to observers the selection may still name rows that are
    // gone; those are no objects.
    for (qsizetype index : mSelection)
        if (index < mContent.size()) objects.append(mContent.at(index));
    return objects;
}

void NSArrayController::setAvoidsEmptySelection(bool avoids) {
    mAvoidsEmptySelection = avoids;
    adjustSelectionAfterChange(mSelection, 0);
}

void NSArrayController::adjustSelectionAfterChange(NSIndexSet selection, qsizetype nearIndex) {
    if (selection.isEmpty() && mAvoidsEmptySelection && !mContent.isEmpty())
        selection.addIndex(std::clamp<qsizetype>(nearIndex, 0, mContent.size() - 1));
    setSelectionIndexes(selection);
}

void NSArrayController::setColumnBindings(const QList<NSTableColumnBinding> &columns) {
    beginResetModel();
    mColumns = columns;
    endResetModel();
}

int NSArrayController::columnWithIdentifier(const QString &identifier) const {
    for (int column = 0; column < mColumns.size(); ++column)
        if (mColumns.at(column).identifier == identifier) return column;
    return -1;
}

void NSArrayController::bindTableView(QAbstractItemView *view) {
    if (view == nullptr) return;
    if (view->model() != this) view->setModel(this);
    for (const QPointer<QAbstractItemView> &bound : mBoundViews)
        if (bound == view) return;
    mBoundViews.append(view);
    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this, view = QPointer(view)] {
        if (mSyncingViews || view == nullptr) return;
        NSIndexSet rows;
        for (const QModelIndex &index : view->selectionModel()->selectedIndexes()) rows.addIndex(index.row());
        mSyncingViews = true;
        setSelectionIndexes(rows);
        mSyncingViews = false;
    });
    showSelectionInViews();
}

void NSArrayController::showSelectionInViews() {
    if (mSyncingViews) return;
    mSyncingViews = true;
    for (const QPointer<QAbstractItemView> &view : mBoundViews) {
        if (view == nullptr || view->model() != this || view->selectionModel() == nullptr) continue;
        QItemSelection selection;
        const int lastColumn = std::max(columnCount() - 1, 0);
        for (qsizetype row : mSelection) selection.select(index(int(row), 0), index(int(row), lastColumn));
        view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    mSyncingViews = false;
}

QObject *NSArrayController::objectOfRow(const QVariant &row) {
    if (row.metaType() == QMetaType::fromType<NSCodingObject>())
        return dynamic_cast<QObject *>(row.value<NSCodingObject>().get());
    return NSKeyValueCoding::objectFromVariant(row);
}

QVariant NSArrayController::valueForKeyPathOfObject(const QVariant &row, const QString &keyPath) {
    if (QObject *object = objectOfRow(row)) return NSKeyValueCoding::valueForKeyPath(object, keyPath);
    return NSKeyValueCoding::valueForKeyPath(row, keyPath);
}

void NSArrayController::setValueForKeyPathOfObject(QVariant &row, const QVariant &value, const QString &keyPath) {
    if (QObject *object = objectOfRow(row)) {
        NSKeyValueCoding::setValueForKeyPath(object, value, keyPath);
        return;
    }
    NSKeyValueCoding::setValueForKeyPath(row, value, keyPath);
}

int NSArrayController::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(mContent.size());
}

int NSArrayController::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(mColumns.size());
}

QVariant NSArrayController::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= mContent.size() || index.column() >= mColumns.size()) return QVariant();
    if (role != Qt::DisplayRole && role != Qt::EditRole) return QVariant();
    try {
        return valueForKeyPathOfObject(mContent.at(index.row()), mColumns.at(index.column()).keyPath);
    } catch (const NSException &) {
        return QVariant();
    }
}

bool NSArrayController::setData(const QModelIndex &index, const QVariant &value, int role) {
    if (role != Qt::EditRole || !index.isValid() || index.row() >= mContent.size() ||
        index.column() >= mColumns.size() || !mColumns.at(index.column()).editable)
        return false;
    try {
        setValueForKeyPathOfObject(mContent[index.row()], value, mColumns.at(index.column()).keyPath);
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("NSArrayController: cannot set %1: %2")
                  .arg(mColumns.at(index.column()).keyPath, exception.description()));
        return false;
    }
    emit dataChanged(index, index);
    return true;
}

QVariant NSArrayController::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < mColumns.size())
        return mColumns.at(section).identifier;
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags NSArrayController::flags(const QModelIndex &index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() < mColumns.size() && mColumns.at(index.column()).editable)
        flags |= Qt::ItemIsEditable;
    return flags;
}
