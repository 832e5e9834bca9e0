// Info-graphic buttons and the slider family with reset buttons in a window on the X11
// display: the reset button clicked with the mouse, the buttons' pictures on screen, and a
// picture of the window.
#include <UICocoaControls/NSUINfoGraffikRound.h>
#include <UICocoaControls/NSUINfoGraffikRoundPushOnPushOff.h>
#include <UICocoaControls/NSUINfoGraffikRoundRect.h>
#include <UICocoaControls/PointelNormalSlider.h>
#include <UICocoaControls/PointelScaleSlider.h>

#include "../../RiradITestApplication.h"

#include <gtest/gtest.h>

#include <QFormLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QTest>

#include <cstdlib>
#include <memory>

namespace {

class Counter : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void changed(QObject *) { ++count; }
    int count = 0;
};

TEST(InfoGraffikSlidersWindow, ResetByMouseAndPicturesOnScreen) {
    if (std::getenv("DISPLAY") == nullptr) GTEST_FAIL() << "the gui tests run on an X display (xvfb-run)";
    riradi_test::WindowApplication();

    QWidget window;
    window.setWindowTitle("Sliders and info-graphic buttons");
    auto *form = new QFormLayout(&window);
    auto *scale = new PointelScaleSlider;
    auto *normal = new PointelNormalSlider;
    auto *vertical = new PointelNormalSlider;
    vertical->setOrientation(Qt::Vertical);
    vertical->setFixedHeight(90);
    form->addRow("Scale", scale);
    form->addRow("Normal", normal);
    auto *buttons = new QHBoxLayout;
    auto *round = new NSUINfoGraffikRound;
    auto *roundRect = new NSUINfoGraffikRoundRect;
    auto *push = new NSUINfoGraffikRoundPushOnPushOff;
    for (NSUIToolButton *button : {static_cast<NSUIToolButton *>(round), static_cast<NSUIToolButton *>(roundRect),
                                   static_cast<NSUIToolButton *>(push)})
        button->setFixedSize(32, 32);
    buttons->addWidget(round);
    buttons->addWidget(roundRect);
    buttons->addWidget(push);
    buttons->addWidget(vertical);
    buttons->addStretch();
    form->addRow("Buttons", buttons);
    window.resize(320, 200);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    riradi_test::RunPendingEvents();

    // Named after the layout gave them their size, as a nib's title arrives.
    round->setTitle("RoundPicture");
    roundRect->setTitle("RectPicture");
    push->NSButton::setTitle("PushPicture");
    push->awakeFromNib();

    Counter counter;
    scale->setTarget(&counter);
    scale->setAction("changed:");
    scale->setDoubleValue(4.0);
    vertical->setDoubleValue(0.9);
    const NSSize button = PointelDefaultSlider::miniResetImage()->size();
    const QPoint onReset(int(button.width) / 2, scale->height() - int(button.height) / 2);
    QTest::mouseClick(scale, Qt::LeftButton, {}, onReset);
    riradi_test::RunPendingEvents();
    EXPECT_EQ(scale->doubleValue(), 1.0);
    EXPECT_EQ(scale->controlTint(), NSGraphiteControlTint);
    EXPECT_EQ(counter.count, 1);

    QTest::mouseClick(vertical, Qt::LeftButton, {}, QPoint(int(button.width) / 2, vertical->height() - 3));
    riradi_test::RunPendingEvents();
    EXPECT_EQ(vertical->doubleValue(), 0.5);

    // The round button's circle shows its off fill (light grey) at its centre.
    const QImage shown = window.grab().toImage();
    const QPoint centre = round->mapTo(&window, QPoint(16, 16)) * shown.devicePixelRatio();
    EXPECT_NEAR(shown.pixelColor(centre).red(), 191, 2);
    push->click();
    EXPECT_EQ(push->state(), NSControlStateValueOn);

    riradi_test::SaveScreenshot(&window, "PointelSlidersInfoGraffik");
}

}  // namespace

#include "InfoGraffikSlidersWindowTest.moc"
