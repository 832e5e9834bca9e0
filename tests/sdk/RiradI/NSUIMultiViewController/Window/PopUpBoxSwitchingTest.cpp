// A multi-view pop-up box on the display: the pages are switched with real keyboard and mouse
// input on the pop-up, and the page shown is the one on screen.
#include <NSUIMultiViewController/NSUIMultiViewPopUpBox.h>

#include "../../RiradITestApplication.h"
#include "../MultiViewBoxPanel.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QImage>
#include <QTest>

// The AddressSanitizer suppressions of this program, read at start-up.
extern "C" const char *__asan_default_options() { return "suppressions=" LUMORA_ASAN_SUPPRESSIONS; }

namespace {

// The colour on screen in the lower right of the box's page area, away from the label's text.
QRgb PageColour(QWidget *root, NSUIMultiViewPopUpBox *box) {
    riradi_test::RunPendingEvents();
    QWidget *slot = box->viewPlaceholder();
    const QPoint point = slot->mapTo(root, QPoint(slot->width() - 6, slot->height() - 6));
    return root->grab().toImage().pixel(point);
}

TEST(PopUpBoxSwitchingTest, KeyboardAndMouseSwitchThePageOnScreen) {
    riradi_test::WindowApplication();
    multiview_test::BoxPanel panel;
    ASSERT_TRUE(panel.Load());
    QWidget *root = panel.root.get();
    root->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(root));
    EXPECT_EQ(panel.box->selectedView(), nullptr);

    // The keyboard: the first Down chooses the first entry ("blur", the list is sorted), the
    // second one "Noise".
    panel.popup->setFocus();
    QTest::keyClick(panel.popup, Qt::Key_Down);
    EXPECT_EQ(panel.box->selectedView(), panel.blurPage);
    EXPECT_EQ(qBlue(PageColour(root, panel.box)), 200);
    QTest::keyClick(panel.popup, Qt::Key_Down);
    EXPECT_EQ(panel.box->selectedView(), panel.noisePage);
    const QRgb noise = PageColour(root, panel.box);
    EXPECT_EQ(qRed(noise), 200);
    EXPECT_EQ(qBlue(noise), 40);
    riradi_test::SaveScreenshot(root, QStringLiteral("NSUIMultiViewPopUpBox"));

    // The mouse: open the list and click "blur" in it.
    QTest::mouseClick(panel.popup, Qt::LeftButton, Qt::NoModifier, panel.popup->rect().center());
    QAbstractItemView *list = panel.popup->view();
    ASSERT_TRUE(QTest::qWaitFor([list] { return list->isVisible(); }));
    // The open list ignores a release that comes within a double-click time of its opening.
    QTest::qWait(QApplication::doubleClickInterval() + 100);
    const QRect item = list->visualRect(panel.popup->model()->index(0, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, item.center());
    ASSERT_TRUE(QTest::qWaitFor([&panel] { return panel.box->selectedView() == panel.blurPage; }));
    EXPECT_EQ(panel.popup->currentText(), "blur");
    EXPECT_EQ(qBlue(PageColour(root, panel.box)), 200);
    EXPECT_FALSE(panel.noisePage->isVisible());
}

}  // namespace
