// The Qt application of the Foundation tests: one QCoreApplication for the whole program,
// made on first use on the main thread (headless: no platform plug-in is needed).
#pragma once

#include <QCoreApplication>

inline QCoreApplication &TestApplication() {
    static int argc = 1;
    static char name[] = "FoundationTests";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *application = new QCoreApplication(argc, argv);
    return *application;
}
