#include <CocoaFoundation/NSUIDNDArrayController.h>
#include <CocoaFoundation/NSUITableViewArrayController.h>

#include <Foundation/NSKeyedArchiver.h>
#include <Foundation/NSPropertyList.h>

#include <dispatch/dispatch.h>

#include <gtest/gtest.h>

#include <QItemSelectionModel>
#include <QMimeData>
#include <QTableView>
#include <QUrl>

#include <memory>

#include "../RiradITestApplication.h"

namespace {

QVariantMap Row(int n) { return {{"n", n}, {"url", QStringLiteral("https://example.com/%1").arg(n)}}; }

QVariantList Rows(int count) {
    QVariantList rows;
    for (int n = 0; n < count; ++n) rows.append(Row(n));
    return rows;
}

// The rows' "n" values, in order; -1 for rows without one.
QList<int> Numbers(const NSArrayController &controller) {
    QList<int> numbers;
    for (const QVariant &row : controller.arrangedObjects())
        numbers.append(row.toMap().value("n", -1).toInt());
    return numbers;
}

struct DNDFixture : riradi_test::WithApplication, ::testing::Test {
    DNDFixture() {
        controller.setColumnBindings({{"n", "n", false}, {"url", "url", true}});
        controller.setTableView(&table);
        controller.awakeFromNib();
        controller.setContent(Rows(5));
    }
    QTableView table;
    QTableView otherTable;
    NSUIDNDArrayController controller;
};

TEST_F(DNDFixture, MovesRowsToTheGapTheyWereDroppedIn) {
    struct Case {
        NSIndexSet rows;
        qsizetype to;
        QList<int> order;
        NSIndexSet nowAt;
    };
    const Case cases[] = {
        {{1, 3}, 4, {0, 2, 1, 3, 4}, {2, 3}},
        {{1, 3}, 0, {1, 3, 0, 2, 4}, {0, 1}},
        {{1, 3}, 5, {0, 2, 4, 1, 3}, {3, 4}},
        {{0}, 1, {0, 1, 2, 3, 4}, {0}},   // onto its own gap: nothing moves
        {{4}, 0, {4, 0, 1, 2, 3}, {0}},
        {{0, 1, 2, 3, 4}, 2, {0, 1, 2, 3, 4}, {0, 1, 2, 3, 4}},
        {{2}, 99, {0, 1, 3, 4, 2}, {4}},  // past the end: to the end
    };
    for (const Case &c : cases) {
        controller.setContent(Rows(5));
        EXPECT_EQ(controller.moveObjectsInArrangedObjectsFromIndexes(c.rows, c.to), c.nowAt) << "to " << c.to;
        EXPECT_EQ(Numbers(controller), c.order) << "to " << c.to;
    }
}

TEST_F(DNDFixture, KeepsTheTablesSelectionAndItsOwnTogether) {
    QItemSelectionModel *shown = table.selectionModel();
    EXPECT_TRUE(shown->isRowSelected(0));  // after the content was set
    controller.setSelectionIndexes({1, 3});
    EXPECT_EQ(shown->selectedRows().size(), 2);
    EXPECT_TRUE(shown->isRowSelected(1) && shown->isRowSelected(3));
    controller.setContent(Rows(5));  // same indexes, the view's selection reset by the model
    EXPECT_TRUE(shown->isRowSelected(1) && shown->isRowSelected(3));
    shown->select(controller.index(4, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(controller.selectionIndexes(), NSIndexSet{4});
}

TEST_F(DNDFixture, DecidesTheDropOperationBySourceAndOptionKey) {
    struct Case {
        QObject *source;
        bool option;
        NSDragOperation operation;
    };
    QObject other;
    const Case cases[] = {
        {&table, false, NSDragOperationMove}, {&table, true, NSDragOperationCopy},
        {&otherTable, false, NSDragOperationCopy}, {&otherTable, true, NSDragOperationCopy},
        {nullptr, false, NSDragOperationCopy},  // from another program
        {&other, false, NSDragOperationCopy},
    };
    for (const Case &c : cases) EXPECT_EQ(controller.validateDrop(c.source, 2, c.option), c.operation);
}

TEST_F(DNDFixture, WritesTheRowTypesAndTheURLOfASingleRow) {
    QMimeData pasteboard;
    ASSERT_TRUE(controller.writeRowsWithIndexes({3, 1}, &pasteboard));
    const QVariant moved = NSKeyedUnarchiver::unarchivedObjectOfClass(
        "NSArray", {"NSArray", "NSNumber"}, pasteboard.data(NSUIDNDArrayController_MovedRowsTypeID));
    EXPECT_EQ(moved, QVariant(QVariantList{1, 3}));
    EXPECT_EQ(NSPropertyListSerialization::propertyListWithData(pasteboard.data(NSUIDNDArrayController_CopiedRowsTypeID)),
              QVariant(QVariantList{Row(1), Row(3)}));
    EXPECT_FALSE(pasteboard.hasUrls());  // two rows: no URL

    QMimeData single;
    controller.writeRowsWithIndexes({2}, &single);
    EXPECT_EQ(single.urls(), QList<QUrl>{QUrl("https://example.com/2")});

    // A row whose url is no URL writes none; the model's drag data is the same writing.
    controller.setContent({QVariantMap{{"url", "http://exa mple.com/%zz"}}});
    std::unique_ptr<QMimeData> dragged(controller.mimeData({controller.index(0, 0), controller.index(0, 1)}));
    ASSERT_NE(dragged, nullptr);
    EXPECT_FALSE(dragged->hasUrls());
    EXPECT_TRUE(dragged->hasFormat(NSUIDNDArrayController_MovedRowsTypeID));
    EXPECT_TRUE(dragged->hasFormat(NSUIDNDArrayController_CopiedRowsTypeID));
}

TEST_F(DNDFixture, AcceptsMovesCopiesFilesAndURLs) {
    QMimeData dragged;
    controller.writeRowsWithIndexes({1, 3}, &dragged);

    // Within the table: a move, with the moved rows selected.
    EXPECT_TRUE(controller.acceptDrop(&dragged, &table, 4, false));
    EXPECT_EQ(Numbers(controller), (QList<int>{0, 2, 1, 3, 4}));
    EXPECT_EQ(controller.selectionIndexes(), (NSIndexSet{2, 3}));

    // With the option key: copies at the drop row; the dragged rows stay.
    controller.setContent(Rows(5));
    EXPECT_TRUE(controller.acceptDrop(&dragged, &table, 2, true));
    EXPECT_EQ(Numbers(controller), (QList<int>{0, 1, 1, 3, 2, 3, 4}));
    EXPECT_EQ(controller.selectionIndexes(), (NSIndexSet{2, 3}));

    // From another table: copies, whatever the key; a negative row counts as 0.
    controller.setContent(Rows(5));
    EXPECT_TRUE(controller.acceptDrop(&dragged, &otherTable, -3, false));
    EXPECT_EQ(Numbers(controller), (QList<int>{1, 3, 0, 1, 2, 3, 4}));

    // Files: one new row each, at consecutive rows from the drop row.
    controller.setContent(Rows(2));
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile("/tmp/a b.png"), QUrl::fromLocalFile("/tmp/c.png"),
                   QUrl::fromLocalFile("/tmp/d.png")});
    EXPECT_TRUE(controller.acceptDrop(&files, nullptr, 1, false));
    ASSERT_EQ(controller.arrangedObjects().size(), 5);
    EXPECT_EQ(Numbers(controller), (QList<int>{0, -1, -1, -1, 1}));
    EXPECT_EQ(controller.arrangedObjects().at(1).toMap().value("url"), QVariant("file:///tmp/a%20b.png"));
    EXPECT_EQ(controller.arrangedObjects().at(3).toMap().value("url"), QVariant("file:///tmp/d.png"));

    // A URL: one row with the URL and the date of the drop, selected.
    controller.setContent(Rows(2));
    QMimeData link;
    link.setUrls({QUrl("https://example.org/page")});
    const QDateTime before = QDateTime::currentDateTime();
    EXPECT_TRUE(controller.acceptDrop(&link, nullptr, 5, false));
    const QVariantMap added = controller.arrangedObjects().at(2).toMap();
    EXPECT_EQ(added.value("url"), QVariant("https://example.org/page"));
    EXPECT_GE(added.value("date").toDateTime(), before);
    EXPECT_EQ(controller.selectionIndexes(), NSIndexSet{2});
}

TEST_F(DNDFixture, RefusesDropsItCannotRead) {
    QMimeData empty;
    empty.setText("just text");
    EXPECT_FALSE(controller.acceptDrop(&empty, nullptr, 0, false));
    EXPECT_FALSE(controller.acceptDrop(nullptr, nullptr, 0, false));

    // Moved rows that are garbage, point past the list or are of the wrong class.
    for (const QByteArray &moved :
         {QByteArray("garbage"), NSKeyedArchiver::archivedDataWithRootObject(QVariantList{1, 9}),
          NSKeyedArchiver::archivedDataWithRootObject(QVariantList{QVariant("1")}),
          NSKeyedArchiver::archivedDataWithRootObject(QVariantMap{{"a", 1}})}) {
        QMimeData pasteboard;
        pasteboard.setData(NSUIDNDArrayController_MovedRowsTypeID, moved);
        EXPECT_FALSE(controller.acceptDrop(&pasteboard, &table, 0, false));
    }
    QMimeData copied;
    copied.setData(NSUIDNDArrayController_CopiedRowsTypeID, "<plist><dict/></plist>");
    EXPECT_FALSE(controller.acceptDrop(&copied, &otherTable, 0, false));
    EXPECT_EQ(Numbers(controller), (QList<int>{0, 1, 2, 3, 4}));
}

// A delegate that counts the change messages.
class CountingDelegate : public QObject {
    Q_OBJECT
public:
    int changes = 0;
    QObject *last = nullptr;
    Q_INVOKABLE void arrayControllerDidChangeContents(QObject *controller) {
        ++changes;
        last = controller;
    }
};

TEST(NSUITableViewArrayController, TellsItsDelegateAfterAddRemoveAndEditing) {
    riradi_test::Application();
    QTableView table;
    NSUITableViewArrayController controller;
    CountingDelegate delegate;
    controller.setColumnBindings({{"name", "name", true}});
    controller.setDelegate(&delegate);
    controller.setOutletTableViewOrNil(&table);
    controller.awakeFromNib();
    EXPECT_EQ(table.model(), &controller);

    controller.setContentArray({QVariantMap{{"name", "a"}}});
    EXPECT_EQ(delegate.changes, 0);  // setting the content is no change of the user's
    controller.addObject(QVariantMap{{"name", "b"}});
    EXPECT_EQ(delegate.changes, 1);
    EXPECT_EQ(delegate.last, &controller);
    controller.setSelectionIndexes({0});
    controller.remove();
    EXPECT_EQ(delegate.changes, 2);
    EXPECT_EQ(controller.contentArray(), (QVariantList{QVariantMap{{"name", "b"}}}));

    // The end of in-place editing in the table.
    table.show();
    table.edit(controller.index(0, 0));
    QWidget *editor = table.indexWidget(controller.index(0, 0));
    if (editor == nullptr) editor = table.viewport()->findChild<QWidget *>();
    ASSERT_NE(editor, nullptr);
    emit table.itemDelegate()->closeEditor(editor);
    EXPECT_EQ(delegate.changes, 3);

    // A delegate that does not answer is not asked; none at all is fine.
    QObject mute;
    controller.setDelegate(&mute);
    controller.addObject(QVariantMap{});
    controller.setDelegate(nullptr);
    controller.addObject(QVariantMap{});
    EXPECT_EQ(delegate.changes, 3);
}

TEST(NSUISynchronizedArrayController, SharesChangesWithControllersOfTheSameKeyOnly) {
    riradi_test::Application();
    dispatch_main_queue_drain();
    NSUISynchronizedArrayController first, second, other;
    EXPECT_EQ(first.synchronizationKey(), "NSUISynchronizedArrayController");
    first.setOutletSynchronizationKey("SharedList");
    second.setOutletSynchronizationKey("SharedList");
    other.setOutletSynchronizationKey("OtherList");
    second.setContentArray({Row(9)});
    other.setContentArray({Row(7)});

    first.addObject(Row(1));
    // Applied on the main queue, after the posting change.
    EXPECT_EQ(Numbers(second), QList<int>{9});
    dispatch_main_queue_drain();
    EXPECT_EQ(Numbers(second), QList<int>{1});
    EXPECT_EQ(Numbers(first), QList<int>{1});  // never reloaded from its own notification
    EXPECT_EQ(Numbers(other), QList<int>{7});

    second.addObject(Row(2));
    dispatch_main_queue_drain();
    EXPECT_EQ(Numbers(first), (QList<int>{1, 2}));

    // Notifications without sender, from itself or without an array are ignored.
    NSNotificationCenter &center = NSNotificationCenter::defaultCenter();
    center.postNotificationName("SharedList", nullptr, {{"content", QVariantList{Row(5)}}});
    center.postNotificationName("SharedList", &other, {{"content", "no list"}});
    center.postNotificationName("SharedList", &other, {});
    dispatch_main_queue_drain();
    EXPECT_EQ(Numbers(first), (QList<int>{1, 2}));
    EXPECT_EQ(Numbers(second), (QList<int>{1, 2}));
    center.postNotificationName("SharedList", &first, {{"content", QVariantList{Row(5)}}});
    dispatch_main_queue_drain();
    EXPECT_EQ(Numbers(first), (QList<int>{1, 2}));
    EXPECT_EQ(Numbers(second), QList<int>{5});

    // A controller gone before the main queue runs is skipped.
    {
        NSUISynchronizedArrayController shortLived;
        shortLived.setOutletSynchronizationKey("SharedList");
        first.remove();
    }
    dispatch_main_queue_drain();
    EXPECT_EQ(Numbers(second), Numbers(first));

    // A new key stops the old one.
    second.setOutletSynchronizationKey("Elsewhere");
    first.addObject(Row(3));
    dispatch_main_queue_drain();
    EXPECT_NE(Numbers(second), Numbers(first));
}

}  // namespace

#include "ArrayControllersTest.moc"
