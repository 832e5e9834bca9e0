// Lumora: the program. Start-up (components, image units), the application object, the main
// nib, the launch; it ends when the camera window closes, on Quit, or on SIGTERM / SIGINT, with
// the terminate fan-out run and the window taken down before the process exits.
//
// Without a window system it says so and exits with status 2; everything else that may be
// missing (a camera, a component, readable user defaults) is logged and the program goes on.
#include "LumoraMainNib.h"

#include <LumoraApp/LumoraStartup.h>
#include <LumoraApp/NSUILumoraView.h>
#include <Foundation/NSApplication.h>
#include <Foundation/NSNotification.h>

#include <QApplication>
#include <QComboBox>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int gSignalPipe[2] = {-1, -1};

extern "C" void OnTerminateSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(gSignalPipe[1], &byte, 1);
}

}  // namespace

int main(int argc, char **argv) {
    if (!LumoraHasDisplay()) {
        std::fprintf(stderr, "Lumora: no display to show the camera window on (set DISPLAY or WAYLAND_DISPLAY, "
                             "or run it under xvfb-run).\n");
        return 2;
    }
    LumoraProcessStartup();

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumora"));
    QApplication::setApplicationDisplayName(QStringLiteral("Lumora"));
    QApplication::setQuitOnLastWindowClosed(false);
    NSApplication nsApplication;

    // SIGTERM and SIGINT end the application the way Quit does.
    if (pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        struct sigaction action = {};
        action.sa_handler = OnTerminateSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGTERM, &action, nullptr);
        sigaction(SIGINT, &action, nullptr);
    }
    QSocketNotifier signalNotifier(gSignalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &nsApplication, [&nsApplication] {
        char byte;
        while (read(gSignalPipe[0], &byte, 1) > 0) {
        }
        nsApplication.terminate(nullptr);
    });

    LumoraMainNib nib;
    if (!nib.load()) {
        std::fprintf(stderr, "Lumora: the camera window could not be made (see the log).\n");
        return 1;
    }
    AppController *delegate = nib.delegate();
    delegate->observeApplication();
    // Once the controllers have launched, the camera is the source and the effect the pop-up
    // shows plays.
    NSNotificationCenter::defaultCenter().addObserverForName(
        QString::fromLatin1(NSApplicationDidFinishLaunchingNotification), nullptr,
        [&nib](const NSNotification &) { nib.didFinishLaunching(); });

    // Files named on the command line: the first one opens once launch has completed.
    QStringList files = QApplication::arguments();
    files.removeFirst();
    delegate->applicationOpenFiles(files);

    nib.mainWindow()->show();
    const int status = nsApplication.run();
    nib.close();
    return status;
}
