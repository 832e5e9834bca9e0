#include <Foundation/NSArrayController.h>

#include <gtest/gtest.h>


namespace {

QVariantMap Row(int n) { return {{"n", n}}; }

QList<int> Numbers(const NSArrayController &controller) {
    QList<int> numbers;
    for (const QVariant &row : controller.arrangedObjects()) numbers.append(row.toMap().value("n").toInt());
    return numbers;
}

TEST(NSIndexSet, CountsIndexesInARange) {
    using CountOfIndexesInRange::countOfIndexesInRange;
    const NSIndexSet set{1, 3, 5};
    EXPECT_EQ(countOfIndexesInRange(set, 0, 4), 2);
    EXPECT_EQ(countOfIndexesInRange(set, 0, 0), 0);
    EXPECT_EQ(countOfIndexesInRange(set, 3, 3), 2);
    EXPECT_EQ(countOfIndexesInRange(set, 6, 10), 0);
    EXPECT_EQ(countOfIndexesInRange(NSIndexSet{}, 0, 10), 0);
    EXPECT_EQ((NSIndexSet{3, 1, 3, -2}), (NSIndexSet{1, 3}));
}

TEST(NSArrayController, InsertsRemovesAndKeepsTheSelectionOnItsObjects) {
    NSArrayController controller;
    controller.setContent({Row(0), Row(1), Row(2), Row(3)});
    EXPECT_EQ(controller.selectionIndexes(), NSIndexSet{0});  // avoids an empty selection

    controller.setSelectionIndexes({1, 3});
    controller.setSelectsInsertedObjects(false);
    controller.insertObjectsAtArrangedObjectIndexes({Row(10), Row(11)}, {0, 3});
    EXPECT_EQ(Numbers(controller), (QList<int>{10, 0, 1, 11, 2, 3}));
    EXPECT_EQ(controller.selectionIndexes(), (NSIndexSet{2, 5}));  // still rows 1 and 3

    controller.removeObjectsAtArrangedObjectIndexes({0, 2});
    EXPECT_EQ(Numbers(controller), (QList<int>{0, 11, 2, 3}));
    EXPECT_EQ(controller.selectionIndexes(), NSIndexSet{3});

    controller.setSelectsInsertedObjects(true);
    controller.addObject(Row(12));
    EXPECT_EQ(controller.selectionIndexes(), NSIndexSet{4});

    // Removing the selection selects a row near it; past the end counts from the last row.
    controller.remove();
    EXPECT_EQ(Numbers(controller), (QList<int>{0, 11, 2, 3}));
    EXPECT_EQ(controller.selectionIndexes(), NSIndexSet{3});
    controller.setAvoidsEmptySelection(false);
    controller.remove();
    EXPECT_TRUE(controller.selectionIndexes().isEmpty());
    EXPECT_FALSE(controller.setSelectionIndexes({7}));  // past the end: dropped, nothing changes
}

TEST(NSArrayController, ObserversOfAShrinkingContentReadOnlyRowsThatExist) {
    NSArrayController controller;
    controller.setContent({Row(0), Row(1), Row(2)});
    controller.setSelectionIndexes({2});
    QList<qsizetype> seen;
    QObject::connect(&controller, &QAbstractItemModel::modelReset, [&] { seen.append(controller.selectedObjects().size()); });
    controller.setContent({Row(5)});
    EXPECT_EQ(seen, QList<qsizetype>{0});
    EXPECT_EQ(controller.selectedObjects(), QVariantList{Row(5)});
}

TEST(NSArrayController, ShowsAndEditsRowsThroughColumnBindings) {
    NSArrayController controller;
    controller.setColumnBindings({{"name", "name", true}, {"depth", "options.depth", false}});
    controller.setContent({QVariantMap{{"name", "a"}, {"options", QVariantMap{{"depth", 2}}}}});
    EXPECT_EQ(controller.rowCount(), 1);
    EXPECT_EQ(controller.columnCount(), 2);
    EXPECT_EQ(controller.data(controller.index(0, 1)), QVariant(2));
    EXPECT_EQ(controller.columnWithIdentifier("depth"), 1);
    EXPECT_EQ(controller.columnWithIdentifier("none"), -1);

    int changed = 0;
    QObject::connect(&controller, &QAbstractItemModel::dataChanged, [&changed] { ++changed; });
    EXPECT_TRUE(controller.setData(controller.index(0, 0), "b"));
    EXPECT_FALSE(controller.setData(controller.index(0, 1), 5));  // not editable
    EXPECT_EQ(controller.arrangedObjects().first().toMap().value("name"), QVariant("b"));
    EXPECT_EQ(changed, 1);
    EXPECT_FALSE(controller.flags(controller.index(0, 1)).testFlag(Qt::ItemIsEditable));
    EXPECT_TRUE(controller.flags(controller.index(0, 0)).testFlag(Qt::ItemIsEditable));
    // A view never removes rows by itself.
    EXPECT_FALSE(controller.removeRows(0, 1));
    EXPECT_EQ(controller.rowCount(), 1);
}

}  // namespace
