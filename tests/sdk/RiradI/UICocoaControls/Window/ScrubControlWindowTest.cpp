// The scrub strip beside a movie slider, over colour views, in a window on the X11 display: the
// strip is pressed and dragged with the mouse, and a picture of the window is saved.
#include <UICocoaControls/NSUIClearSegmentedControl.h>
#include <UICocoaControls/NSUIGraphiteSegmentedControl.h>
#include <UICocoaControls/NSUIMovieSlider.h>
#include <UICocoaControls/NSUIScrubControl.h>
#include <UICocoaViews/NSUIColorContentView.h>
#include <UICocoaViews/NSUILozengeView.h>

#include "../../RiradITestApplication.h"

#include <gtest/gtest.h>

#include <QTest>

#include <vector>

// (The program's AddressSanitizer suppressions are set up in FineSliderWindowTest.cpp.)

namespace {

class ScrubRecorder : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void scrubbed(QObject *sender) { values.push_back(qobject_cast<NSUIScrubControl *>(sender)->normalValue()); }
    std::vector<double> values;
};

TEST(ScrubControlWindow, DraggedWithTheMouseOverColourViews) {
    riradi_test::WindowApplication();
    NSUIGreyOpaqueView window;
    window.setWindowTitle(QStringLiteral("Scrub strip"));
    window.resize(360, 200);

    NSUIDarkGreyRoundRectTopViewCorner10 bar(&window);
    bar.setGeometry(10, 10, 340, 40);
    NSUIWhiteRoundRectViewCorner10 card(&window);
    card.setGeometry(10, 60, 340, 80);
    NSUIMovieSlider slider(&card);
    slider.setOrientation(Qt::Horizontal);
    slider.setGeometry(10, 10, 280, 24);
    slider.setNormalValue(0.5);
    NSUIScrubControl scrub(&card);
    scrub.setGeometry(305, 5, 20, 70);
    scrub.setGrossSlider(&slider);
    scrub.awakeFromNib();
    NSUIAccentLozengeView pill(&card);
    pill.setGeometry(10, 45, 120, 20);
    NSUIBlackCircleView dot(&card);
    dot.setGeometry(140, 45, 20, 20);
    NSUIClearSegmentedControl clear(&window);
    clear.setLabels({QStringLiteral("Shape"), QStringLiteral("Screen")});
    clear.setGeometry(10, 155, 160, 30);
    clear.awakeFromNib();
    clear.setSelectedSegment(0);
    NSUIGraphiteSegmentedControl graphite(&window);
    graphite.setLabels({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    graphite.setGeometry(190, 155, 160, 30);
    graphite.awakeFromNib();
    graphite.setSelectedSegment(1);

    ScrubRecorder recorder;
    scrub.setTarget(&recorder);
    scrub.setAction("scrubbed:");
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    // Pressed at the middle, dragged to the top, released there.
    QTest::mousePress(&scrub, Qt::LeftButton, {}, QPoint(10, 35));
    QTest::mouseMove(&scrub, QPoint(10, 0));
    QTest::mouseRelease(&scrub, Qt::LeftButton, {}, QPoint(10, 0));
    riradi_test::RunPendingEvents();
    ASSERT_GE(recorder.values.size(), 3u);
    EXPECT_NEAR(recorder.values.front(), 0.5, 1e-6);
    EXPECT_NEAR(recorder.values.back(), 0.51, 1e-6);
    EXPECT_DOUBLE_EQ(scrub.normalValue(), slider.normalValue());

    // On the screen: the strip's capsule and the white card behind it.
    const QImage shown = window.grab().toImage();
    const QColor strip = shown.pixelColor(card.x() + scrub.x() + 5, card.y() + scrub.y() + 35);
    const QColor cardColour = shown.pixelColor(card.x() + 200, card.y() + 70);
    EXPECT_EQ(cardColour, QColor(255, 255, 255));
    EXPECT_NEAR(strip.red(), 191, 3);  // grey 0.5 at alpha 0.5 over white
    riradi_test::SaveScreenshot(&window, QStringLiteral("NSUIScrubControl"));
}

}  // namespace

#include "ScrubControlWindowTest.moc"
