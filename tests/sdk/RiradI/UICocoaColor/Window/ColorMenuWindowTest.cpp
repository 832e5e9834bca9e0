#include <UICocoaColor/NSUIColorMenuViewController.h>
#include <UICocoaColor/NSUIColorMenuViewNibbler.h>
#include <UICocoaColor/NSUIColorWheelView.h>
#include <UICocoaColor/NSUIColorWheelViewNibbler.h>
#include <UICocoaColor/UFColorWheelController.h>

#include <Foundation/NSUserDefaults.h>
#include <dispatch/dispatch.h>

#include <gtest/gtest.h>

#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QWidgetAction>

#include "../../RiradITestApplication.h"

namespace {

void Drain() {
    for (int round = 0; round < 4; ++round) {
        dispatch_main_queue_drain();
        riradi_test::RunPendingEvents();
    }
}

// A menu whose item shows the colour wheel: opened on the display it lays the wheel out at the
// size of its nib, draws it, and a click on it selects the slice under the click.
TEST(ColorMenuWindow, TheMenuItemShowsTheWheel) {
    riradi_test::WindowApplication();
    NSUserDefaults::standardUserDefaults().removeObject("NSUIColorWheelViewNibbler");
    NSUserDefaults::standardUserDefaults().removeObject("NSUIColorWheelViewNibbler.colorWheel");
    QMenu menu;
    menu.addAction(QStringLiteral("Colour scheme"))->setEnabled(false);
    auto *item = new QWidgetAction(&menu);
    menu.addAction(item);

    QPointer<NSUIColorMenuViewNibbler> nibbler(new NSUIColorMenuViewNibbler);
    auto *controller = new NSUIColorMenuViewController(nibbler);
    controller->setOutletMenuItemHostsView(item);
    nibbler->setNibblerController(controller);
    nibbler->awakeFromNib();
    ASSERT_EQ(item->defaultWidget(), nibbler.data());
    auto *wheelNibbler = qobject_cast<NSUIColorWheelViewNibbler *>(nibbler->nibblerView());
    ASSERT_NE(wheelNibbler, nullptr);
    auto *view = qobject_cast<NSUIColorWheelView *>(wheelNibbler->nibblerView());
    ASSERT_NE(view, nullptr);
    UFColorWheelController *wheel = wheelNibbler->colorWheel();
    ASSERT_NE(wheel, nullptr);

    menu.popup(QPoint(40, 40));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    Drain();
    ASSERT_TRUE(nibbler->isVisible());
    EXPECT_EQ(nibbler->window(), &menu);
    EXPECT_GE(nibbler->width(), 200);
    EXPECT_EQ(nibbler->height(), 200);
    EXPECT_EQ(view->size(), nibbler->size());

    // A click right of the wheel's centre selects slice 1 of six.
    const QPoint centre(view->width() / 2, view->height() / 2);
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, centre + QPoint(60, 0));
    Drain();
    EXPECT_EQ(wheel->selectedSliceIndex(), 1u);
    riradi_test::SaveScreenshot(&menu, "NSUIColorMenuViewNibbler");

    // The menu shows the wheel: black at the corner, the colour of slice 1 (hue 1/4) right of
    // the centre beside the mark.
    const QImage pixels = menu.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint origin = nibbler->mapTo(&menu, QPoint(0, 0));
    EXPECT_EQ(pixels.pixelColor(origin + QPoint(4, 4)), QColor(Qt::black));
    const QColor slice = pixels.pixelColor(origin + centre + QPoint(40, 12));
    EXPECT_NEAR(slice.hsvHueF(), 0.25, 0.01);
    menu.hide();
    Drain();
}

}  // namespace
