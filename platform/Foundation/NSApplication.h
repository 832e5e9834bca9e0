// NSApplication: the application object over the program's QApplication (or QCoreApplication,
// which must exist first). It binds the main dispatch queue to the Qt event loop while it
// lives, and posts the two application notifications of the default centre, with itself as
// the object: "NSApplicationWillFinishLaunchingNotification" once, before the event loop
// starts, followed at once by "NSApplicationDidFinishLaunchingNotification" (so objects restored
// by the first are complete when the second arrives), and "NSApplicationWillTerminateNotification" once, when the event loop is about to
// end (terminate, or any quit of the Qt application).
#pragma once

#include <QObject>

inline constexpr char NSApplicationWillFinishLaunchingNotification[] = "NSApplicationWillFinishLaunchingNotification";
inline constexpr char NSApplicationDidFinishLaunchingNotification[] = "NSApplicationDidFinishLaunchingNotification";
inline constexpr char NSApplicationWillTerminateNotification[] = "NSApplicationWillTerminateNotification";

class NSApplication : public QObject {
    Q_OBJECT
public:
    // Raises "NSInternalInconsistencyException" without a Qt application or when another
    // NSApplication lives.
    NSApplication();
    ~NSApplication() override;

    // The application object; null when none lives.
    static NSApplication *sharedApplication();

    // Posts will- and did-finish-launching (the first call only).
    void finishLaunching();
    // finishLaunching, then the Qt event loop; answers its exit code.
    int run();
    // Posts will-terminate (once) and ends the event loop.
    Q_INVOKABLE void terminate(QObject *sender = nullptr);

private:
    void postWillTerminate();

    bool mLaunched = false;
    bool mTerminated = false;
};
