#include <CocoaQZ/DisplayLink/NSUIDisplayLink.h>

#include <AppKit/NSScreen.h>
#include <AppKit/NSView.h>
#include <CoreVideo/CVHostTime.h>
#include <Foundation/NSException.h>
#include <Foundation/NSObjCRuntime.h>

#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <condition_variable>
#include <exception>

NS_REGISTER_CLASS(NSUIDisplayLinkViewControllerProxy);

// ---- NSUIDisplayLink ----

// The output callback's context: how many refreshes are in the object now, and whether the
// object still takes them. It outlives the object while a refresh that destroyed the object
// is still on its way out.
struct NSUIDisplayLink::Gate : std::enable_shared_from_this<Gate> {
    std::mutex mutex;
    std::condition_variable idle;
    NSUIDisplayLink *owner = nullptr;
    int inside = 0;
    bool closed = false;
};

namespace {

// The gate of the refresh the calling thread is in, if any.
thread_local const void *tRefreshGate = nullptr;

// Holds a retained link and releases it.
class LinkHolder {
public:
    explicit LinkHolder(CVDisplayLinkRef link) : mLink(link) {}
    ~LinkHolder() { CVDisplayLinkRelease(mLink); }
    LinkHolder(const LinkHolder &) = delete;
    LinkHolder &operator=(const LinkHolder &) = delete;
    CVDisplayLinkRef get() const { return mLink; }
    explicit operator bool() const { return mLink != nullptr; }

private:
    CVDisplayLinkRef mLink;
};

void LogCallbackException(const QString &description) {
    NSLog(QStringLiteral("sNSUIDisplayLinkCallback:: exception: %1\n").arg(description));
}

}  // namespace

NSUIDisplayLink::NSUIDisplayLink() : mGate(std::make_shared<Gate>()) { mGate->owner = this; }

NSUIDisplayLink::~NSUIDisplayLink() {
    endDisplayLinkRefreshes();
    setDisplayLink(nullptr);
}

void NSUIDisplayLink::endDisplayLinkRefreshes() {
    {
        LinkHolder link(displayLinkCopy());
        if (link && CVDisplayLinkIsRunning(link.get())) CVDisplayLinkStop(link.get());
    }
    std::unique_lock<std::mutex> lock(mGate->mutex);
    mGate->closed = true;
    if (tRefreshGate == mGate.get()) return;  // destroyed by its own refresh: that one is on its way out
    mGate->idle.wait(lock, [this] { return mGate->inside == 0; });
}

void NSUIDisplayLink::waitForRefreshInProgress() {
    std::unique_lock<std::mutex> lock(mGate->mutex);
    if (tRefreshGate == mGate.get()) return;
    mGate->idle.wait(lock, [this] { return mGate->inside == 0; });
}

CVDisplayLinkRef NSUIDisplayLink::displayLink() const {
    std::lock_guard<std::mutex> guard(mLinkMutex);
    return mDisplayLink;
}

CVDisplayLinkRef NSUIDisplayLink::displayLinkCopy() const {
    std::lock_guard<std::mutex> guard(mLinkMutex);
    return CVDisplayLinkRetain(mDisplayLink);
}

void NSUIDisplayLink::setDisplayLink(CVDisplayLinkRef displayLink) {
    CVDisplayLinkRef old = nullptr;
    {
        std::lock_guard<std::mutex> guard(mLinkMutex);
        if (displayLink == mDisplayLink) return;
        old = mDisplayLink;
        mDisplayLink = CVDisplayLinkRetain(displayLink);
    }
    // Outside the section: the last release of a link waits for its refresh in progress,
    // which may read the link.
    CVDisplayLinkRelease(old);
}

bool NSUIDisplayLink::createSystemDisplayLinkObjectWithHardwareTimerCallback() {
    setDisplayLink(nullptr);
    CVDisplayLinkRef made = nullptr;
    if (CVDisplayLinkCreateWithActiveCGDisplays(&made) != kCVReturnSuccess) return false;
    LinkHolder link(made);
    if (CVDisplayLinkSetOutputCallback(link.get(), sNSUIDisplayLinkCallback, mGate.get()) != kCVReturnSuccess)
        return false;
    setDisplayLink(link.get());
    return true;
}

void NSUIDisplayLink::createDisplayLinkSelf() {}

bool NSUIDisplayLink::startDisplayLink() {
    if (displayLink() != nullptr) return startDisplayLinkSelf();
    if (!createSystemDisplayLinkObjectWithHardwareTimerCallback()) return false;
    createDisplayLinkSelf();
    return startDisplayLinkSelf();
}

bool NSUIDisplayLink::startDisplayLinkSelf() {
    LinkHolder link(displayLinkCopy());
    if (!link || CVDisplayLinkIsRunning(link.get())) return false;
    return CVDisplayLinkStart(link.get()) == kCVReturnSuccess;
}

bool NSUIDisplayLink::stopDisplayLink() {
    LinkHolder link(displayLinkCopy());
    if (!link || !CVDisplayLinkIsRunning(link.get())) return false;
    return CVDisplayLinkStop(link.get()) == kCVReturnSuccess;
}

bool NSUIDisplayLink::startDisplayLinkOnMainDisplay() {
    if (displayLink() == nullptr) return false;
    setDisplayLinkDisplayToMainDisplay();
    return startDisplayLink();
}

bool NSUIDisplayLink::setDisplayLinkDisplayToMainDisplay() {
    LinkHolder link(displayLinkCopy());
    return link && CVDisplayLinkSetCurrentCGDisplay(link.get(), CGMainDisplayID()) == kCVReturnSuccess;
}

bool NSUIDisplayLink::setDisplayLinkDisplayToWindowDisplay(QWidget *window) {
    if (window == nullptr) return false;
    const CGDirectDisplayID number =
        NSScreen::deviceDescription(window->screen()).value(NSScreen::NSScreenNumber).toUInt();
    if (number == 0 || number == currentDisplayID()) return false;
    LinkHolder link(displayLinkCopy());
    return link && CVDisplayLinkSetCurrentCGDisplay(link.get(), number) == kCVReturnSuccess;
}

bool NSUIDisplayLink::setDisplayLinkDisplayWithCGLContext(CGLContextObj context, CGLPixelFormatObj pixelFormat) {
    LinkHolder link(displayLinkCopy());
    if (!link || context == nullptr || pixelFormat == nullptr) return false;
    return CVDisplayLinkSetCurrentCGDisplayFromOpenGLContext(link.get(), context, pixelFormat) == kCVReturnSuccess;
}

CGDirectDisplayID NSUIDisplayLink::currentDisplayID() const {
    LinkHolder link(displayLinkCopy());
    return link ? CVDisplayLinkGetCurrentCGDisplay(link.get()) : 0;
}

bool NSUIDisplayLink::isDisplayLinkRunning() const {
    LinkHolder link(displayLinkCopy());
    return link && CVDisplayLinkIsRunning(link.get());
}

CVTimeStamp NSUIDisplayLink::displayLinkCurrentTime() {
    CVTimeStamp stamp{};
    stamp.version = 0;
    stamp.hostTime = CVGetCurrentHostTime();
    stamp.flags = kCVTimeStampHostTimeValid;
    return stamp;
}

CVReturn NSUIDisplayLink::displayLinkOutputForTime(const CVTimeStamp *) { return kCVReturnSuccess; }

// Every exception stays on this thread: an NSException, as any other, is logged and the
// link goes on with its next refresh.
CVReturn NSUIDisplayLink::sNSUIDisplayLinkCallback(CVDisplayLinkRef, const CVTimeStamp *, const CVTimeStamp *outputTime,
                                                   CVOptionFlags, CVOptionFlags *, void *context) {
    auto *gate = static_cast<Gate *>(context);
    std::shared_ptr<Gate> hold;
    NSUIDisplayLink *self = nullptr;
    {
        std::lock_guard<std::mutex> guard(gate->mutex);
        if (gate->closed) return kCVReturnSuccess;
        hold = gate->shared_from_this();
        self = gate->owner;
        ++gate->inside;
    }
    const void *outer = tRefreshGate;
    tRefreshGate = gate;
    CVReturn result = kCVReturnSuccess;
    try {
        result = self->displayLinkOutputForTime(outputTime);
    } catch (const NSException &exception) {
        LogCallbackException(exception.description());
    } catch (const std::exception &exception) {
        LogCallbackException(QString::fromUtf8(exception.what()));
    } catch (...) {
        LogCallbackException(QStringLiteral("unknown exception"));
    }
    tRefreshGate = outer;
    // `self` may be gone now (a delegate may have destroyed the object); the gate is held.
    std::lock_guard<std::mutex> guard(hold->mutex);
    if (--hold->inside == 0) hold->idle.notify_all();
    return result;
}

// ---- NSUIDisplayLinkViewController ----

NSUIDisplayLinkViewController::NSUIDisplayLinkViewController() = default;

NSUIDisplayLinkViewController::~NSUIDisplayLinkViewController() {
    endDisplayLinkRefreshes();
    stopDisplayLinkNotifyDelegates(false);
    stopObservingMaster();  // also when the master went first
    std::lock_guard<std::mutex> guard(mDelegatesMutex);
    mMaster = {};
    mSlaves.clear();
}

NSUIDisplayLinkViewController::Entry NSUIDisplayLinkViewController::EntryOf(QObject *object) {
    return Entry{object, dynamic_cast<protocol_NSUIDisplayLinkDelegate *>(object)};
}

void NSUIDisplayLinkViewController::setDelegate(QObject *delegate) {
    if (this->delegate() != delegate) stopObservingMaster();  // the observation is the old master's
    std::lock_guard<std::mutex> guard(mDelegatesMutex);
    mMaster = EntryOf(delegate);
}

QObject *NSUIDisplayLinkViewController::delegate() const {
    std::lock_guard<std::mutex> guard(mDelegatesMutex);
    return mMaster.object;
}

void NSUIDisplayLinkViewController::setMasterDisplayLinkViewDelegate(QObject *object) { setDelegate(object); }

bool NSUIDisplayLinkViewController::isMasterDisplayLinkViewDelegate(QObject *object) const {
    return object != nullptr && object == delegate();
}

void NSUIDisplayLinkViewController::addSlaveDisplayLinkViewDelegate(QObject *object) {
    if (object == nullptr) return;
    std::lock_guard<std::mutex> guard(mDelegatesMutex);
    if (object == mMaster.object) return;
    mSlaves.erase(std::remove_if(mSlaves.begin(), mSlaves.end(), [](const Entry &entry) { return !entry.object; }),
                  mSlaves.end());
    for (const Entry &entry : mSlaves) {
        if (entry.object == object) return;
    }
    mSlaves.push_back(EntryOf(object));
}

QList<QObject *> NSUIDisplayLinkViewController::slaves() const {
    QList<QObject *> list;
    std::lock_guard<std::mutex> guard(mDelegatesMutex);
    for (const Entry &entry : mSlaves) {
        if (entry.object) list.append(entry.object);
    }
    return list;
}

void NSUIDisplayLinkViewController::setSlaves(const QList<QObject *> &slaves) {
    {
        std::lock_guard<std::mutex> guard(mDelegatesMutex);
        mSlaves.clear();
    }
    for (QObject *slave : slaves) addSlaveDisplayLinkViewDelegate(slave);
}

QList<QObject *> NSUIDisplayLinkViewController::allDelegates() const {
    QList<QObject *> list;
    for (const Entry &entry : entries()) list.append(entry.object);
    return list;
}

std::vector<NSUIDisplayLinkViewController::Entry> NSUIDisplayLinkViewController::entries() const {
    std::vector<Entry> list;
    std::lock_guard<std::mutex> guard(mDelegatesMutex);
    list.reserve(mSlaves.size() + 1);
    if (mMaster.object) list.push_back(mMaster);
    for (const Entry &entry : mSlaves) {
        if (entry.object) list.push_back(entry);
    }
    return list;
}

void NSUIDisplayLinkViewController::notifyDelegates(
    void (protocol_NSUIDisplayLinkDelegate::*call)(NSUIDisplayLinkViewController *)) {
    for (const Entry &entry : entries()) {
        if (entry.object && entry.protocol != nullptr) (entry.protocol->*call)(this);
    }
}

void NSUIDisplayLinkViewController::observeMaster(QObject *master) {
    stopObservingMaster();
    if (auto *view = qobject_cast<QWidget *>(master)) NSView::postGlobalFrameChangedNotifications(view);
    mObservation = NSNotificationCenter::defaultCenter().addObserverForName(
        NSViewGlobalFrameDidChangeNotification, master,
        [this](const NSNotification &notification) { viewDidChangeDisplays(notification); });
}

void NSUIDisplayLinkViewController::stopObservingMaster() {
    if (!mObservation.isValid()) return;
    NSNotificationCenter::defaultCenter().removeObserver(mObservation);
    mObservation = {};
}

bool NSUIDisplayLinkViewController::startDisplayLinkDelegate(QObject *object) {
    if (!isMasterDisplayLinkViewDelegate(object)) return false;
    auto *window = qobject_cast<QWidget *>(object);
    const bool hadLink = displayLink() != nullptr;
    setDisplayLinkDisplayToWindowDisplay(window);
    observeMaster(object);
    const bool started = startDisplayLink();
    // A link made just now starts on the main display: aim it at the window's display as well.
    if (started && !hadLink) setDisplayLinkDisplayToWindowDisplay(window);
    return started;
}

bool NSUIDisplayLinkViewController::startDisplayLinkDelegate(QObject *object, CGLContextObj context,
                                                             CGLPixelFormatObj pixelFormat) {
    if (displayLink() == nullptr || context == nullptr || pixelFormat == nullptr) return false;
    setDisplayLinkDisplayWithCGLContext(context, pixelFormat);
    return startDisplayLinkDelegate(object);
}

bool NSUIDisplayLinkViewController::stopDisplayLinkDelegate(QObject *object) {
    if (!isMasterDisplayLinkViewDelegate(object)) return false;
    return stopDisplayLink();
}

bool NSUIDisplayLinkViewController::stopDisplayLinkNotifyDelegates(bool notify) {
    if (notify) notifyDelegates(&protocol_NSUIDisplayLinkDelegate::displayLinkChanged);
    if (delegate() != nullptr) stopObservingMaster();
    return stopDisplayLink();
}

bool NSUIDisplayLinkViewController::startDisplayLinkSelf() {
    if (!NSUIDisplayLink::startDisplayLinkSelf()) return false;
    notifyDelegates(&protocol_NSUIDisplayLinkDelegate::displayLinkChanged);
    return true;
}

void NSUIDisplayLinkViewController::createDisplayLinkSelf() {
    if (displayLink() != nullptr) notifyDelegates(&protocol_NSUIDisplayLinkDelegate::displayLinkCreated);
}

void NSUIDisplayLinkViewController::viewDidChangeDisplays(const NSNotification &) {
    if (QObject *master = delegate()) setDisplayLinkDisplayToWindowDisplay(qobject_cast<QWidget *>(master));
    notifyDelegates(&protocol_NSUIDisplayLinkDelegate::displayLinkChanged);
}

CVReturn NSUIDisplayLinkViewController::displayLinkOutputForTime(const CVTimeStamp *outputTime) {
    for (const Entry &entry : entries()) {
        if (entry.protocol != nullptr) callDisplayLinkDelegate(entry.object, outputTime);
    }
    return kCVReturnSuccess;
}

void NSUIDisplayLinkViewController::callDisplayLinkDelegate(QObject *delegate, const CVTimeStamp *outputTime) {
    auto *target = dynamic_cast<protocol_NSUIDisplayLinkDelegate *>(delegate);
    if (target == nullptr || !target->displayLinkLockDrawable(this)) return;
    struct Unlock {
        protocol_NSUIDisplayLinkDelegate *target;
        NSUIDisplayLinkViewController *controller;
        ~Unlock() { target->displayLinkUnlockDrawable(controller); }
    } unlock{target, this};
    if (target->displayLinkShouldRenderForTime(this, outputTime)) {
        target->displayLinkRenderForTime(this, outputTime);
        target->displayLinkFlushDrawable(this);
    }
}

// ---- NSUIDisplayLinkViewControllerProxy ----

NSUIDisplayLinkViewControllerProxy::NSUIDisplayLinkViewControllerProxy(QObject *parent) : QObject(parent) {}

NSUIDisplayLinkViewController *NSUIDisplayLinkViewControllerProxy::displayLinkObject() {
    return mController ? mController->displayLinkObject() : nullptr;
}

bool NSUIDisplayLinkViewControllerProxy::isMasterDisplayLinkViewDelegate(QObject *object) const {
    return mController && mController->isMasterDisplayLinkViewDelegate(object);
}

void NSUIDisplayLinkViewControllerProxy::setMasterDisplayLinkViewDelegate(QObject *object) {
    if (mController) mController->setMasterDisplayLinkViewDelegate(object);
}

void NSUIDisplayLinkViewControllerProxy::addSlaveDisplayLinkViewDelegate(QObject *object) {
    if (mController) mController->addSlaveDisplayLinkViewDelegate(object);
}

bool NSUIDisplayLinkViewControllerProxy::startDisplayLinkDelegate(QObject *object) {
    return mController && mController->startDisplayLinkDelegate(object);
}

bool NSUIDisplayLinkViewControllerProxy::stopDisplayLinkDelegate(QObject *object) {
    return mController && mController->stopDisplayLinkDelegate(object);
}

bool import_NSUIDisplayLink() { return true; }
