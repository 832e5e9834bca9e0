// Normalised mouse points: view points to the unit square of the view's size and back.
#include <UICocoaViews/NSView_NormalizedMouse.h>

#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QWidget>

#include "sdk/RiradI/RiradITestApplication.h"

namespace {

class NormalizedMouseTest : public ::testing::Test, public riradi_test::WithApplication {
protected:
    NormalizedMouseTest() { view.setGeometry(30, 40, 200, 100); }
    QWidget view;
};

TEST_F(NormalizedMouseTest, PointsMapBothWaysWithoutTheViewsPosition) {
    struct Case {
        QPointF view;
        QPointF normalized;
    };
    for (const Case &c : {Case{{0, 0}, {0, 0}}, Case{{200, 100}, {1, 1}}, Case{{50, 75}, {0.25, 0.75}},
                          Case{{-20, 150}, {-0.1, 1.5}}}) {
        EXPECT_EQ(NormalizedMouse::normalizedPointFromViewPoint(view, c.view), c.normalized);
        EXPECT_EQ(NormalizedMouse::viewPointFromNormalizedPoint(view, c.normalized), c.view);
        const CGPoint p = NormalizedMouse::viewCGPointFromNormalizedCGPoint(view, {c.normalized.x(), c.normalized.y()});
        EXPECT_EQ(QPointF(p.x, p.y), c.view);
    }
}

TEST_F(NormalizedMouseTest, EventsAreTakenInTheView) {
    EXPECT_EQ(NormalizedMouse::normalizedPointFromEvent(view, nullptr), QPointF(0, 0));
    const QPointF local(100, 25);
    QMouseEvent event(QEvent::MouseButtonPress, local, view.mapToGlobal(local), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    EXPECT_EQ(NormalizedMouse::normalizedPointFromEvent(view, &event), QPointF(0.5, 0.25));
}

TEST_F(NormalizedMouseTest, AViewWithoutAreaGivesZeroNotInfinity) {
    view.resize(0, 0);
    EXPECT_EQ(NormalizedMouse::normalizedPointFromViewPoint(view, {5, 5}), QPointF(0, 0));
}

}  // namespace
