#include <CocoaFoundation/UPersistentObjectsController.h>
#include <Foundation/NSUserDefaults.h>
#include <NSUIMaskInstanceNibbler/NSUIMaskInstanceNibbler.h>

#include "../../RiradITestApplication.h"

#include <dispatch/dispatch.h>

#include <gtest/gtest.h>

#include <QAbstractSlider>
#include <QComboBox>
#include <QImage>
#include <QTabBar>
#include <QTest>

#include <memory>

namespace {

TEST(MaskDesignerPanelWindow, ShowsEveryControlNamedAndReachable) {
    riradi_test::WindowApplication();
    ASSERT_TRUE(import_NSUIMaskInstanceNibbler());
    NSUserDefaults::standardUserDefaults().removeObject(QStringLiteral("NSUIMaskInstanceNibbler"));
    UPersistentObjectsController::sharedPersistentObjectsController()->setWasLaunched(true);

    auto panel = std::make_unique<NSUIMaskInstanceNibbler>();
    panel->setWindowTitle(QStringLiteral("Mask Designer"));
    panel->setWindowFlag(Qt::Tool);
    panel->resize(360, 640);
    panel->awakeFromNib();
    dispatch_main_queue_drain();
    panel->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));

    NSUIMaskInstance *mask = panel->outletMaskInstance();
    ASSERT_NE(mask, nullptr);
    mask->shapeTypeSlider()->setIntValue(16);
    mask->screenTypeSlider()->setIntValue(3);
    mask->updateMaskContext();

    const char *sliders[] = {"outletShapeTypeSlider",     "outletShapeAngleSlider",    "outletShapeParam0Slider",
                             "outletShapeParam1Slider",   "outletShapeParam2Slider",   "outletShapeParam3Slider",
                             "outletShapeOpacitySlider",  "outletScreenTypeSlider",    "outletScreenAngleSlider",
                             "outletScreenParam0Slider",  "outletScreenParam1Slider",  "outletScreenParam2Slider",
                             "outletScreenOpacitySlider", "outletCombineOperatorSlider"};
    for (const char *name : sliders) {
        SCOPED_TRACE(name);
        auto *slider = panel->findChild<QAbstractSlider *>(QLatin1String(name));
        ASSERT_NE(slider, nullptr);
        EXPECT_FALSE(slider->toolTip().isEmpty());
        EXPECT_FALSE(slider->accessibleName().isEmpty());
        EXPECT_NE(slider->focusPolicy() & Qt::TabFocus, 0);
    }
    for (const char *name : {"outletShapeTypePopUp", "outletScreenTypePopUp"}) {
        auto *popUp = panel->findChild<QComboBox *>(QLatin1String(name));
        ASSERT_NE(popUp, nullptr) << name;
        EXPECT_FALSE(popUp->accessibleName().isEmpty());
    }
    ASSERT_NE(panel->findChild<QTabBar *>(QStringLiteral("outletSelectedMask")), nullptr);
    ASSERT_NE(panel->outletMaskView(), nullptr);
    EXPECT_GE(panel->outletMaskView()->width(), 240);

    // The preview shows the mask: white and black both present over the view.
    const QImage preview = panel->outletMaskView()->grab().toImage();
    bool white = false, black = false;
    for (int y = 0; y < preview.height(); y += 4)
        for (int x = 0; x < preview.width(); x += 4) {
            const QColor c = preview.pixelColor(x, y);
            white = white || c == Qt::white;
            black = black || c == Qt::black;
        }
    EXPECT_TRUE(white);
    EXPECT_TRUE(black);

    riradi_test::SaveScreenshot(panel.get(), QStringLiteral("NSUIMaskInstanceNibbler"));
    panel->outletPlaceholder()->setSelectedSegment(1);
    riradi_test::SaveScreenshot(panel.get(), QStringLiteral("NSUIMaskInstanceNibbler-Screen"));

    // Escape closes the panel.
    QTest::keyClick(mask->combineOperatorSlider(), Qt::Key_Escape);
    EXPECT_FALSE(panel->isVisible());
    panel.reset();
    NSUserDefaults::standardUserDefaults().removeObject(QStringLiteral("NSUIMaskInstanceNibbler"));
}

}  // namespace
