// The big controls on the X11 display: the overlay over a panel window, driven with the mouse,
// and the fine-adjustment panel, with pictures of both.
#include <UICocoaControls/NSSlider.h>
#include <UICocoaControls/NSUIBigControlsView.h>
#include <UICocoaControls/NSUIBigLinearSliderPanel.h>
#include <UICocoaControls/NSUIFineSlider.h>

#include <AppKit/NSNib.h>
#include <UICocoaViews/NSUITransparentWindow.h>

#include "../../RiradITestApplication.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTest>

#include <memory>

namespace {

template <class T>
std::unique_ptr<T> LoadNib(const char *name) {
    riradi_test::WindowApplication();
    auto nib = NSNib::initWithNibNamed(QString::fromLatin1(name));
    QList<QObject *> top;
    if (nib == nullptr || !nib->instantiateNibWithOwner(nullptr, &top) || top.isEmpty()) return nullptr;
    return std::unique_ptr<T>(qobject_cast<T *>(top.first()));
}

class SliderOwner : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void sliderMoved(QObject *) { ++actions; }
    int actions = 0;
};

// The overlay lies over its panel window: clear where it has no control, the large horizontal
// slider dragged with the mouse moves the small slider of the panel.
TEST(BigControlsWindow, OverlayOverItsPanelDrivenByTheMouse) {
    auto view = LoadNib<NSUIBigControlsView>("NSUIBigControlsView");
    ASSERT_NE(view, nullptr);
    QWidget underlay;
    underlay.setGeometry(100, 100, 480, 520);
    underlay.setAutoFillBackground(true);
    SliderOwner owner;
    auto *small = new NSSlider(Qt::Horizontal, &underlay);
    small->setGeometry(20, 20, 160, 22);
    small->setMaxValue(100.0);
    small->setTarget(&owner);
    small->setAction("sliderMoved:");
    underlay.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&underlay));

    NSUITransparentWindow overlay(QRect(100, 100, 480, 520));
    view->setParent(&overlay);
    view->setGeometry(0, 0, 480, 520);
    overlay.setOverlayView(view.get());
    overlay.setUnderlayWindow(&underlay);
    overlay.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&overlay));

    view->attachLinearSlider(small);
    NSSlider *large = view->horizontalSlider();
    ASSERT_FALSE(large->isHidden());
    riradi_test::RunPendingEvents();
    const QPoint from(large->width() / 2, large->height() / 2);
    large->setValue(NSSlider::kKnobSteps / 2);
    QTest::mousePress(large, Qt::LeftButton, {}, from);
    for (int step = 1; step <= 4; ++step) QTest::mouseMove(large, from + QPoint(step * large->width() / 10, 0));
    QTest::mouseRelease(large, Qt::LeftButton, {}, from + QPoint(4 * large->width() / 10, 0));
    riradi_test::RunPendingEvents();
    EXPECT_GT(small->doubleValue(), 60.0);
    EXPECT_EQ(small->doubleValue(), large->doubleValue());
    EXPECT_GT(owner.actions, 0);

    // The radial side: the dial drawn, the rest of the overlay clear.
    NSSlider radial;
    ASSERT_TRUE(NSUIBigControlsView::attachRadial(&radial));
    riradi_test::RunPendingEvents();
    riradi_test::SaveScreenshot(&overlay, QStringLiteral("NSUIBigControlsView"));
    const QImage picture = view->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(picture.pixel(2, 2)), 0);  // a corner of the overlay: see-through
    const QRect dial = view->sliderView()->geometry();
    int drawn = 0;
    for (int y = dial.top(); y <= dial.bottom(); y += 4)
        for (int x = dial.left(); x <= dial.right(); x += 4) drawn += qAlpha(picture.pixel(x, y)) > 0 ? 1 : 0;
    EXPECT_GT(drawn, 20);  // the dial's face
    view->setParent(nullptr);
}

// The panel from its nib: every control there, a rounded face in the window colour on a clear
// window, the fine slider driving the attached slider.
TEST(BigControlsWindow, FineAdjustmentPanel) {
    auto panel = LoadNib<NSUIBigLinearSliderPanel>("NSUIBigLinearSliderPanel");
    ASSERT_NE(panel, nullptr);
    SliderOwner owner;
    NSSlider slider;
    slider.setMaxValue(10.0);
    slider.setDoubleValue(4.0);
    slider.setToolTip(QStringLiteral("Mask edge softness"));
    slider.setTarget(&owner);
    slider.setAction("sliderMoved:");
    ASSERT_TRUE(NSUIBigLinearSliderPanel::attachSlider(&slider));
    panel->move(200, 200);
    panel->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
    for (QWidget *control :
         {static_cast<QWidget *>(panel->sliderUI()), static_cast<QWidget *>(panel->sliderHelpCaption()),
          static_cast<QWidget *>(panel->sliderValueCaption()), static_cast<QWidget *>(panel->buttonOKControl()),
          static_cast<QWidget *>(panel->buttonCancelControl())}) {
        ASSERT_NE(control, nullptr);
        EXPECT_TRUE(control->isVisible());
        EXPECT_FALSE(control->toolTip().isEmpty());
        EXPECT_FALSE(control->accessibleName().isEmpty());
    }
    riradi_test::SaveScreenshot(panel.get(), QStringLiteral("NSUIBigLinearSliderPanel"));

    const QImage picture = panel->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(picture.pixel(0, 0)), 0);  // outside the rounded corner
    const QColor face = panel->palette().color(QPalette::Window);
    const QRgb margin = picture.pixel(6, picture.height() / 2);
    EXPECT_EQ(qAlpha(margin), 255);
    EXPECT_NEAR(qRed(margin), face.red(), 2);
    EXPECT_NEAR(qGreen(margin), face.green(), 2);
    EXPECT_NEAR(qBlue(margin), face.blue(), 2);

    NSSlider *gross = panel->sliderUI()->grossSlider();
    const QPoint left(gross->width() / 10, gross->height() / 2);
    QTest::mouseClick(gross, Qt::LeftButton, {}, left);  // a page step towards the press
    riradi_test::RunPendingEvents();
    EXPECT_LT(slider.doubleValue(), 4.0);
    EXPECT_GT(owner.actions, 0);
    const int actions = owner.actions;
    QTest::mouseClick(panel->buttonCancelControl(), Qt::LeftButton);
    EXPECT_EQ(slider.doubleValue(), 4.0);
    EXPECT_EQ(owner.actions, actions + 1);
    EXPECT_FALSE(panel->isVisible());
}

}  // namespace

#include "BigControlsWindowTest.moc"
