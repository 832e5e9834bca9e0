// The fixture of the tests that run the main nib in their own process on the X server: the
// test camera and the test microphone, the application object, the process start-up. Without
// an X display the test is skipped (scripts/test runs these under Xvfb).
#pragma once

#include <LumoraApp/LumoraStartup.h>
#include <QuickTime/TestCamera.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QList>
#include <QRect>
#include <QWidget>

#include <cstdlib>

class MainNibTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ::setenv("LUMORA_TEST_CAMERA", "1", 1);
        ::setenv("LUMORA_TEST_MICROPHONE", "1", 1);
        LumoraTestCameraSetUnplugged(false);
    }
    // A fixture of its own returns at once when this skipped (IsSkipped()).
    void SetUp() override {
        const char *display = std::getenv("DISPLAY");
        if (display == nullptr || *display == '\0') GTEST_SKIP() << "needs an X display (scripts/test runs this under Xvfb)";
        if (QCoreApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "LumoraProgramWindowTests";
            static char *argv[] = {name, nullptr};
            new QApplication(argc, argv);
            QApplication::setQuitOnLastWindowClosed(false);
        }
        LumoraProcessStartup();
    }
};

// Tab goes through every one of the controls once, in reading order: a control above another
// comes first; of two on one row, the left one. The chain of the controls.
inline QList<QWidget *> ExpectTabChainInReadingOrder(QWidget *window, const QList<QWidget *> &controls) {
    QList<QWidget *> chain;
    for (QWidget *widget = window->nextInFocusChain(); widget != window; widget = widget->nextInFocusChain())
        if (controls.contains(widget) && !chain.contains(widget)) chain << widget;
    EXPECT_EQ(chain.size(), controls.size());
    const auto rect = [window](QWidget *widget) { return QRect(widget->mapTo(window, QPoint(0, 0)), widget->size()); };
    for (qsizetype i = 1; i < chain.size(); ++i) {
        const QRect a = rect(chain[i - 1]), b = rect(chain[i]);
        const bool oneRow = a.top() < b.bottom() && b.top() < a.bottom();
        EXPECT_TRUE(oneRow ? a.left() < b.left() : a.top() < b.top())
            << chain[i - 1]->objectName().toStdString() << " before " << chain[i]->objectName().toStdString();
    }
    return chain;
}
