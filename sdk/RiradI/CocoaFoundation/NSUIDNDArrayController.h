// NSUIDNDArrayController: the array controller behind a table whose rows are reordered by
// dragging, copied (with the option key, or into another table) and added by dropping files
// or URLs. The controller is the table's model (data source); row objects are dictionaries (or
// objects answering key-value coding) with "url" and, for dropped URLs, "date".
//
// A drag carries, as MIME types:
//   application/x-NSUIDNDArrayController_MovedRowsTypeID   the keyed archive (root object) of
//       the dragged rows' indexes, an array of numbers;
//   application/x-NSUIDNDArrayController_CopiedRowsTypeID  the XML property list of the array
//       of the dragged row objects, in index order (left out when a row is no property list);
//   text/uri-list   the row's "url" when exactly one row is dragged and it parses as a URL.
// The option key is Qt's Alt modifier. Qt keeps no separate operation masks for drags within
// and out of the program, so a drag offers copy, move and link everywhere and the drop side
// decides (validateDrop).
#pragma once

#include <Foundation/NSArrayController.h>

#include <QMimeData>
#include <QPointer>
#include <QTableView>

// The operations of a drag.
enum NSDragOperation : unsigned {
    NSDragOperationNone = 0,
    NSDragOperationCopy = 1,
    NSDragOperationLink = 2,
    NSDragOperationMove = 16,
};

inline constexpr char NSUIDNDArrayController_MovedRowsTypeID[] =
    "application/x-NSUIDNDArrayController_MovedRowsTypeID";
inline constexpr char NSUIDNDArrayController_CopiedRowsTypeID[] =
    "application/x-NSUIDNDArrayController_CopiedRowsTypeID";

class NSUIDNDArrayController : public NSArrayController {
    Q_OBJECT
    Q_PROPERTY(QTableView *outletTableView READ outletTableView WRITE setTableView)

public:
    explicit NSUIDNDArrayController(QObject *parent = nullptr);
    ~NSUIDNDArrayController() override;

    // With a table: this controller becomes its model, rows can be dragged out and dropped in
    // (the two row types, URLs and files), several rows can be selected.
    virtual void awakeFromNib();
    QTableView *outletTableView() const { return mTableView; }
    void setTableView(QTableView *tableView) { mTableView = tableView; }

    // Data source.
    int numberOfRowsInTableView(QTableView *tableView) const;
    // Writes the rows' drag data; true.
    bool writeRowsWithIndexes(const NSIndexSet &rows, QMimeData *pasteboard) const;
    // The operation of a drop from the source: within this controller's table a move, or a copy
    // with the option key; from anywhere else a copy. The drop falls between rows, above the
    // proposed row, which stays as it is.
    NSDragOperation validateDrop(QObject *draggingSource, qsizetype proposedRow, bool optionKey) const;
    // Takes the drop at the row (negative counts as 0): moves, copies, or adds files or a URL;
    // false when the pasteboard holds nothing usable (the list is then unchanged).
    bool acceptDrop(const QMimeData *pasteboard, QObject *draggingSource, qsizetype row, bool optionKey);
    // Moves the arranged objects at the indexes to the row and answers where they are now.
    NSIndexSet moveObjectsInArrangedObjectsFromIndexes(const NSIndexSet &indexes, qsizetype toIndex);

    // The Qt model's side of dragging.
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override;
    Qt::DropActions supportedDropActions() const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

protected:
    // Drags over the table's viewport go to validateDrop and acceptDrop.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The row above which a drop at the viewport position lands.
    qsizetype proposedRowAt(const QPoint &position) const;

    QPointer<QTableView> mTableView;
};

bool import_NSUIDNDArrayController();
