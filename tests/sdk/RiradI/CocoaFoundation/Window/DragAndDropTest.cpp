// Rows dragged with the mouse in table views on the X11 display: Qt's own drag loop carries the
// drag data from the controller's model to the drop handling of the same or another table.
#include <CocoaFoundation/NSUIDNDArrayController.h>

#include "../../RiradITestApplication.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QTest>
#include <QTimer>

#include <cstdlib>

// The AddressSanitizer suppressions of this program, read at start-up.
extern "C" const char *__asan_default_options() { return "suppressions=" LUMORA_ASAN_SUPPRESSIONS; }

namespace {

using riradi_test::WindowApplication;

QList<int> Numbers(const NSArrayController &controller) {
    QList<int> numbers;
    for (const QVariant &row : controller.arrangedObjects()) numbers.append(row.toMap().value("n").toInt());
    return numbers;
}

struct Table {
    Table(int rows, int x) {
        QVariantList content;
        for (int n = 0; n < rows; ++n) content.append(QVariantMap{{"n", n}});
        controller.setColumnBindings({{"n", "n", false}});
        controller.setTableView(&view);
        controller.awakeFromNib();
        controller.setContent(content);
        view.verticalHeader()->setDefaultSectionSize(24);
        view.setGeometry(x, 40, 200, 260);
        view.show();
    }
    QPoint rowPoint(int row, int dy) const {
        return QPoint(40, view.rowViewportPosition(row) + view.rowHeight(row) / 2 + dy);
    }
    QTableView view;
    NSUIDNDArrayController controller;
};

// Presses on a row of the source, moves far enough to start Qt's drag, and lets the drag loop
// (which runs nested inside the move) take the rest of the steps from timers: move over the
// target point, then release there. A guard releases the mouse if the loop never ends.
void Drag(Table &from, int row, QWidget *targetViewport, QPoint target, Qt::KeyboardModifiers modifiers = {}) {
    QWidget *source = from.view.viewport();
    const QPoint start = from.rowPoint(row, 0);
    QTest::mousePress(source, Qt::LeftButton, modifiers, start);
    bool released = false;
    QTimer::singleShot(150, [&] { QTest::mouseMove(targetViewport, target - QPoint(0, 3)); });
    QTimer::singleShot(300, [&] { QTest::mouseMove(targetViewport, target); });
    QTimer::singleShot(450, [&] {
        QTest::mouseRelease(targetViewport, Qt::LeftButton, modifiers, target);
        released = true;
    });
    QTest::mouseMove(source, start + QPoint(0, 2 * QApplication::startDragDistance() + 2));
    QTest::mouseMove(source, start + QPoint(0, 4 * QApplication::startDragDistance() + 4));
    QTest::qWait(600);
    if (!released) QTest::mouseRelease(targetViewport, Qt::LeftButton, modifiers, target);
    QTest::qWait(100);
}

class DragAndDropWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) GTEST_FAIL() << "the gui tests run on an X display (xvfb-run)";
        WindowApplication();
    }
};

TEST_F(DragAndDropWindow, DraggingARowWithinTheTableMovesIt) {
    Table table(5, 20);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&table.view));
    // Over the lower half of row 3: the drop falls above row 4.
    Drag(table, 1, table.view.viewport(), table.rowPoint(3, 6));
    EXPECT_EQ(Numbers(table.controller), (QList<int>{0, 2, 3, 1, 4}));
    EXPECT_EQ(table.controller.selectionIndexes(), NSIndexSet{3});
}

TEST_F(DragAndDropWindow, DraggingARowIntoAnotherTableCopiesIt) {
    Table from(3, 20);
    Table to(2, 300);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&from.view));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&to.view));
    Drag(from, 2, to.view.viewport(), to.rowPoint(0, 6));
    EXPECT_EQ(Numbers(from.controller), (QList<int>{0, 1, 2}));
    EXPECT_EQ(Numbers(to.controller), (QList<int>{0, 2, 1}));
}

}  // namespace
