// The fixture of the tests that run the main nib in their own process on the X server: the
// test camera and the test microphone, the application object, the process start-up. Without
// an X display the test is skipped (scripts/test runs these under Xvfb).
#pragma once

#include <LumoraApp/LumoraStartup.h>
#include <QuickTime/TestCamera.h>

#include <gtest/gtest.h>

#include <QApplication>

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
