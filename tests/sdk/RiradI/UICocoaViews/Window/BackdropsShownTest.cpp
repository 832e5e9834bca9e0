// The glossy and gradient backdrops shown in a window on the X11 display: every class of each
// family side by side, painted on screen as they render offscreen, with a picture of each family
// when LUMORA_SCREENSHOT_DIR is set.
#include <UICocoaViews/NSUIBlackGlossyView.h>
#include <UICocoaViews/NSUIBlueGlossyView.h>
#include <UICocoaViews/NSUIDarkGrayGlossyView.h>
#include <UICocoaViews/NSUIGlossetteGlossyView.h>
#include <UICocoaViews/NSUIGradientBlackToDarkGrayView.h>
#include <UICocoaViews/NSUIGradientDarkGrayToBlackView.h>
#include <UICocoaViews/NSUIGradientDarkGrayToGrayView.h>
#include <UICocoaViews/NSUIGradientDarkGrayToLightGrayView.h>
#include <UICocoaViews/NSUIGradientGrayToDarkGrayView.h>
#include <UICocoaViews/NSUIGradientGrayToLightGrayView.h>
#include <UICocoaViews/NSUIGradientLightGrayToDarkGrayView.h>
#include <UICocoaViews/NSUIGradientLightGrayToGrayView.h>
#include <UICocoaViews/NSUIGrayGlossyView.h>

#include "../../RiradITestApplication.h"

#include <gtest/gtest.h>

#include <QHBoxLayout>
#include <QImage>
#include <QTest>

#include <cstdlib>
#include <functional>
#include <vector>

namespace {

// A window of the views in a row, 60 x 120 each, shown and exposed; checks that every view's
// middle column on screen matches its own offscreen rendering.
void ShowFamily(const std::vector<std::function<QWidget *(QWidget *)>> &makers, const QString &name) {
    if (std::getenv("DISPLAY") == nullptr) GTEST_FAIL() << "the gui tests run on an X display (xvfb-run)";
    riradi_test::WindowApplication();
    QWidget window;
    window.setWindowTitle(name);
    auto *row = new QHBoxLayout(&window);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    std::vector<QWidget *> views;
    for (const auto &make : makers) {
        QWidget *view = make(&window);
        view->setFixedSize(60, 120);
        view->setToolTip(QString::fromLatin1(view->metaObject()->className()));
        row->addWidget(view);
        views.push_back(view);
    }
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(50);
    const QImage screen = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (QWidget *view : views) {
        QImage own(view->size(), QImage::Format_RGB32);
        view->render(&own);
        const QPoint origin = view->mapTo(&window, QPoint(0, 0));
        for (int y : {0, 30, 60, 90, 119})
            EXPECT_EQ(screen.pixel(origin + QPoint(30, y)), own.pixel(30, y))
                << view->metaObject()->className() << " row " << y;
    }
    riradi_test::SaveScreenshot(&window, name);
}

template <class View>
std::function<QWidget *(QWidget *)> Maker() {
    return [](QWidget *parent) { return new View(parent); };
}

TEST(Backdrops, GlossyViewsOnScreen) {
    ShowFamily({Maker<NSUIGlossetteGlossyView>(), Maker<NSUIBlackGlossyView>(), Maker<NSUIDarkGrayGlossyView>(),
                Maker<NSUIGrayGlossyView>(), Maker<NSUIBlueGlossyView>()},
               "NSUIGlossetteGlossyView");
}

TEST(Backdrops, GradientViewsOnScreen) {
    ShowFamily({Maker<NSUIGradientView>(), Maker<NSUIGradientLightGrayToDarkGrayView>(),
                Maker<NSUIGradientDarkGrayToLightGrayView>(), Maker<NSUIGradientGrayToDarkGrayView>(),
                Maker<NSUIGradientDarkGrayToGrayView>(), Maker<NSUIGradientLightGrayToGrayView>(),
                Maker<NSUIGradientGrayToLightGrayView>(), Maker<NSUIGradientBlackToDarkGrayView>(),
                Maker<NSUIGradientDarkGrayToBlackView>()},
               "NSUIGradientView");
}

}  // namespace
