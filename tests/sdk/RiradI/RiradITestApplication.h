// The one QApplication of a test program, made on first use: on the offscreen platform, or on
// the display for window tests.
#pragma once

#include <QApplication>
#include <QDir>
#include <QWidget>

#include <cstdlib>

namespace riradi_test {

inline QApplication *Application() {
    static QApplication *application = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "RiradITests";
        static char *argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return application;
}

// The one QApplication of a window test program, on the display the test runs under (Xvfb
// in scripts/test).
inline QApplication *WindowApplication() {
    static QApplication *application = [] {
        static int argc = 1;
        static char name[] = "RiradIWindowTests";
        static char *argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return application;
}

// A base for fixtures whose members are widgets: the application exists before them.
struct WithApplication {
    WithApplication() { Application(); }
};

// Runs the event loop until nothing more is pending (posted events and queued calls).
inline void RunPendingEvents() {
    for (int round = 0; round < 5; ++round) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// Writes a picture of a shown window as "<name>.png" into the folder named by
// LUMORA_SCREENSHOT_DIR (scripts/screenshots sets it); does nothing without it. Answers whether
// a picture was written.
inline bool SaveScreenshot(QWidget *window, const QString &name) {
    const char *folder = std::getenv("LUMORA_SCREENSHOT_DIR");
    if (window == nullptr || folder == nullptr || *folder == '\0') return false;
    RunPendingEvents();
    QDir().mkpath(QString::fromLocal8Bit(folder));
    return window->grab().save(QDir(QString::fromLocal8Bit(folder)).filePath(name + ".png"), "PNG");
}

}  // namespace riradi_test
