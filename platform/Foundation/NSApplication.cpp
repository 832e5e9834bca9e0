#include <Foundation/NSApplication.h>

#include <Foundation/NSException.h>
#include <Foundation/NSNotification.h>

#include <dispatch/dispatch.h>

#include <QCoreApplication>

#include <atomic>

namespace {

std::atomic<NSApplication *> gApplication{nullptr};

// Hands main-queue work to the Qt event loop: each submission posts one drain.
void PumpIntoEventLoop(void *) {
    if (QCoreApplication *application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, [] { dispatch_main_queue_drain(); }, Qt::QueuedConnection);
}

}  // namespace

NSApplication::NSApplication() {
    QCoreApplication *application = QCoreApplication::instance();
    if (application == nullptr)
        NSException::raise(NSInternalInconsistencyException, QStringLiteral("NSApplication needs a Qt application"));
    NSApplication *expected = nullptr;
    if (!gApplication.compare_exchange_strong(expected, this))
        NSException::raise(NSInternalInconsistencyException, QStringLiteral("there is an NSApplication already"));
    connect(application, &QCoreApplication::aboutToQuit, this, &NSApplication::postWillTerminate, Qt::DirectConnection);
    dispatch_main_queue_set_pump(PumpIntoEventLoop, nullptr);
}

NSApplication::~NSApplication() {
    dispatch_main_queue_set_pump(nullptr, nullptr);
    gApplication = nullptr;
}

NSApplication *NSApplication::sharedApplication() { return gApplication; }

void NSApplication::finishLaunching() {
    if (mLaunched) return;
    mLaunched = true;
    NSNotificationCenter::defaultCenter().postNotificationName(NSApplicationWillFinishLaunchingNotification, this);
    NSNotificationCenter::defaultCenter().postNotificationName(NSApplicationDidFinishLaunchingNotification, this);
}

int NSApplication::run() {
    finishLaunching();
    return QCoreApplication::exec();
}

void NSApplication::terminate(QObject *) {
    postWillTerminate();
    QCoreApplication::quit();
}

void NSApplication::postWillTerminate() {
    if (mTerminated) return;
    mTerminated = true;
    NSNotificationCenter::defaultCenter().postNotificationName(NSApplicationWillTerminateNotification, this);
}
