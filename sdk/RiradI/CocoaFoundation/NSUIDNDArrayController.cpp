#include "NSUIDNDArrayController.h"

#include <Foundation/NSException.h>
#include <Foundation/NSKeyedArchiver.h>
#include <Foundation/NSPropertyList.h>

#include <QDateTime>
#include <QDropEvent>
#include <QHeaderView>
#include <QUrl>

#include <optional>

namespace {

QUrl RowURL(const QVariant &row) {
    QVariant value;
    try {
        value = NSArrayController::valueForKeyPathOfObject(row, QStringLiteral("url"));
    } catch (const NSException &) {
        return QUrl();
    }
    if (value.typeId() != QMetaType::QString) return QUrl();
    const QString text = value.toString();
    if (text.isEmpty()) return QUrl();
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() ? url : QUrl();
}

// The moved rows' indexes, each inside the list; nothing for unreadable data.
std::optional<NSIndexSet> MovedRows(const QByteArray &data, qsizetype count) {
    QVariant root;
    try {
        root = NSKeyedUnarchiver::unarchivedObjectOfClass(
            QStringLiteral("NSArray"), {QStringLiteral("NSArray"), QStringLiteral("NSNumber")}, data);
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("NSUIDNDArrayController: unreadable moved rows: %1").arg(exception.description()));
        return std::nullopt;
    }
    NSIndexSet rows;
    for (const QVariant &entry : root.toList()) {
        bool ok = false;
        const qlonglong index = entry.toLongLong(&ok);
        if (!ok || index < 0 || index >= count) return std::nullopt;
        rows.addIndex(qsizetype(index));
    }
    if (rows.isEmpty()) return std::nullopt;
    return rows;
}

}  // namespace

NSUIDNDArrayController::NSUIDNDArrayController(QObject *parent) : NSArrayController(parent) {}

NSUIDNDArrayController::~NSUIDNDArrayController() {
    if (mTableView != nullptr) mTableView->viewport()->removeEventFilter(this);
}

void NSUIDNDArrayController::awakeFromNib() {
    if (mTableView == nullptr) return;
    bindTableView(mTableView);
    mTableView->setDragEnabled(true);
    mTableView->setAcceptDrops(true);
    mTableView->viewport()->setAcceptDrops(true);
    mTableView->setDragDropMode(QAbstractItemView::DragDrop);
    // A view ending a move would otherwise blank the dragged cells itself.
    mTableView->setDragDropOverwriteMode(false);
    mTableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    mTableView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    mTableView->viewport()->installEventFilter(this);
}

int NSUIDNDArrayController::numberOfRowsInTableView(QTableView *) const { return int(arrangedObjects().size()); }

bool NSUIDNDArrayController::writeRowsWithIndexes(const NSIndexSet &rows, QMimeData *pasteboard) const {
    if (pasteboard == nullptr) return false;
    const QVariantList objects = arrangedObjects();
    QVariantList indexes;
    QVariantList copied;
    for (qsizetype row : rows) {
        if (row >= objects.size()) continue;
        indexes.append(qlonglong(row));
        copied.append(objects.at(row));
    }
    pasteboard->setData(QString::fromLatin1(NSUIDNDArrayController_MovedRowsTypeID),
                        NSKeyedArchiver::archivedDataWithRootObject(indexes));
    QString error;
    const QByteArray list = NSPropertyListSerialization::dataWithPropertyList(copied, &error);
    if (!list.isEmpty())
        pasteboard->setData(QString::fromLatin1(NSUIDNDArrayController_CopiedRowsTypeID), list);
    else
        NSLog(QStringLiteral("NSUIDNDArrayController: the rows are no property list: %1").arg(error));
    if (copied.size() == 1) {
        const QUrl url = RowURL(copied.first());
        if (!url.isEmpty()) pasteboard->setUrls({url});
    }
    return true;
}

NSDragOperation NSUIDNDArrayController::validateDrop(QObject *draggingSource, qsizetype, bool optionKey) const {
    const bool ownTable = mTableView != nullptr && draggingSource == mTableView;
    if (ownTable && !optionKey) return NSDragOperationMove;
    return NSDragOperationCopy;
}

bool NSUIDNDArrayController::acceptDrop(const QMimeData *pasteboard, QObject *draggingSource, qsizetype row,
                                        bool optionKey) {
    if (pasteboard == nullptr) return false;
    const qsizetype count = arrangedObjects().size();
    row = std::clamp<qsizetype>(row, 0, count);
    const bool ownTable = mTableView != nullptr && draggingSource == mTableView;

    if (ownTable && !optionKey) {
        const auto moved =
            MovedRows(pasteboard->data(QString::fromLatin1(NSUIDNDArrayController_MovedRowsTypeID)), count);
        if (!moved) return false;
        setSelectionIndexes(moveObjectsInArrangedObjectsFromIndexes(*moved, row));
        return true;
    }

    if (pasteboard->hasFormat(QString::fromLatin1(NSUIDNDArrayController_CopiedRowsTypeID))) {
        QString error;
        const QVariant list = NSPropertyListSerialization::propertyListWithData(
            pasteboard->data(QString::fromLatin1(NSUIDNDArrayController_CopiedRowsTypeID)), nullptr, &error);
        if (list.typeId() != QMetaType::QVariantList || list.toList().isEmpty()) {
            NSLog(QStringLiteral("NSUIDNDArrayController: unreadable copied rows %1").arg(error));
            return false;
        }
        const QVariantList objects = list.toList();
        const NSIndexSet indexes = NSIndexSet::indexSetWithIndexesInRange(row, objects.size());
        insertObjectsAtArrangedObjectIndexes(objects, indexes);
        setSelectionIndexes(indexes);
        return true;
    }

    const QList<QUrl> urls = pasteboard->urls();
    QList<QUrl> files;
    for (const QUrl &url : urls)
        if (url.isLocalFile()) files.append(url);
    if (!files.isEmpty()) {
        for (qsizetype i = 0; i < files.size(); ++i) {
            QVariant object = newObject();
            setValueForKeyPathOfObject(object, files.at(i).toString(QUrl::FullyEncoded), QStringLiteral("url"));
            insertObjectAtArrangedObjectIndex(object, row + i);
        }
        return true;
    }

    if (!urls.isEmpty() && urls.first().isValid()) {
        QVariant object = newObject();
        setValueForKeyPathOfObject(object, urls.first().toString(QUrl::FullyEncoded), QStringLiteral("url"));
        setValueForKeyPathOfObject(object, QDateTime::currentDateTime(), QStringLiteral("date"));
        insertObjectAtArrangedObjectIndex(object, row);
        setSelectionIndexes(NSIndexSet{row});
        return true;
    }
    return false;
}

NSIndexSet NSUIDNDArrayController::moveObjectsInArrangedObjectsFromIndexes(const NSIndexSet &indexes,
                                                                           qsizetype toIndex) {
    const QVariantList objects = arrangedObjects();
    NSIndexSet moving;
    QVariantList moved;
    for (qsizetype index : indexes) {
        if (index >= objects.size()) continue;
        moving.addIndex(index);
        moved.append(objects.at(index));
    }
    toIndex = std::clamp<qsizetype>(toIndex, 0, objects.size());
    const qsizetype below = CountOfIndexesInRange::countOfIndexesInRange(moving, 0, toIndex);
    const NSIndexSet destination = NSIndexSet::indexSetWithIndexesInRange(toIndex - below, moving.count());
    if (moving.isEmpty()) return destination;
    removeObjectsAtArrangedObjectIndexes(moving);
    insertObjectsAtArrangedObjectIndexes(moved, destination);
    return destination;
}

QStringList NSUIDNDArrayController::mimeTypes() const {
    return {QString::fromLatin1(NSUIDNDArrayController_CopiedRowsTypeID),
            QString::fromLatin1(NSUIDNDArrayController_MovedRowsTypeID), QStringLiteral("text/uri-list")};
}

QMimeData *NSUIDNDArrayController::mimeData(const QModelIndexList &indexes) const {
    NSIndexSet rows;
    for (const QModelIndex &index : indexes)
        if (index.isValid()) rows.addIndex(index.row());
    if (rows.isEmpty()) return nullptr;
    auto *pasteboard = new QMimeData;
    writeRowsWithIndexes(rows, pasteboard);
    return pasteboard;
}

Qt::DropActions NSUIDNDArrayController::supportedDragActions() const {
    return Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
}

Qt::DropActions NSUIDNDArrayController::supportedDropActions() const { return Qt::CopyAction | Qt::MoveAction; }

Qt::ItemFlags NSUIDNDArrayController::flags(const QModelIndex &index) const {
    Qt::ItemFlags flags = NSArrayController::flags(index) | Qt::ItemIsDropEnabled;
    if (index.isValid()) flags |= Qt::ItemIsDragEnabled;
    return flags;
}

qsizetype NSUIDNDArrayController::proposedRowAt(const QPoint &position) const {
    const int row = mTableView->rowAt(position.y());
    if (row < 0) return arrangedObjects().size();
    const int middle = mTableView->rowViewportPosition(row) + mTableView->rowHeight(row) / 2;
    return position.y() > middle ? row + 1 : row;
}

bool NSUIDNDArrayController::eventFilter(QObject *watched, QEvent *event) {
    if (mTableView == nullptr || watched != mTableView->viewport()) return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QMimeData *pasteboard = drop->mimeData();
        const bool usable = pasteboard != nullptr &&
                            (pasteboard->hasFormat(QString::fromLatin1(NSUIDNDArrayController_MovedRowsTypeID)) ||
                             pasteboard->hasFormat(QString::fromLatin1(NSUIDNDArrayController_CopiedRowsTypeID)) ||
                             pasteboard->hasUrls());
        if (!usable) {
            drop->ignore();
            return true;
        }
        const qsizetype row = proposedRowAt(drop->position().toPoint());
        const bool optionKey = drop->modifiers().testFlag(Qt::AltModifier);
        const NSDragOperation operation = validateDrop(drop->source(), row, optionKey);
        drop->setDropAction(operation == NSDragOperationMove ? Qt::MoveAction : Qt::CopyAction);
        if (event->type() != QEvent::Drop || acceptDrop(pasteboard, drop->source(), row, optionKey))
            drop->accept();
        else
            drop->ignore();
        return true;
    }
    default:
        return false;
    }
}

bool import_NSUIDNDArrayController() { return true; }
