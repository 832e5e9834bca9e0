// Drawing paced by the display's refresh.
//
// NSUIDisplayLink owns one Core Video display link and its output callback, which calls
// displayLinkOutputForTime on the link's thread once per refresh. NSUIDisplayLinkViewController
// drives one master delegate (the camera view) and any number of slave delegates through it:
// each refresh calls every delegate in turn, master first,
//
//     lock ─ NO ─▶ (nothing more for this delegate)
//      │ YES
//     shouldRender ─ YES ─▶ render, flush
//      │
//     unlock (always after a successful lock, also when render or flush throws)
//
// and an exception ends that refresh (later delegates are skipped): the callback logs it and
// the link keeps running. NSUIDisplayLinkViewControllerProxy forwards to a controller.
//
// Threads. The delegate calls of a refresh run on the display link's thread; the delegates
// take their own locks (the camera view its CGL context in displayLinkLockDrawable, then its
// composition lock). Every other call, and displayLinkChanged / displayLinkCreated, comes on
// the thread that starts, stops or re-aims the link (the main thread). Master and slaves are
// changed on the main thread; each refresh works on a copy of the delegates taken under a lock.
//
// Stopping. stopDisplayLink answers once no refresh can begin any more; it does not wait for
// a refresh in progress, which may be waiting for a lock the caller holds. Destroying the
// object waits for a refresh in progress (except when it is destroyed by that refresh
// itself), so its delegates can go once it is gone: do not destroy it while holding a lock
// its delegates take while drawing.
#pragma once

#include <CoreVideo/CVDisplayLink.h>
#include <Foundation/NSNotification.h>
#include <OpenGL/CGDirectDisplay.h>
#include <OpenGL/OpenGL.h>

#include <QList>
#include <QObject>
#include <QPointer>

#include <memory>
#include <mutex>
#include <vector>

class QWidget;
class NSUIDisplayLinkViewController;

// What every delegate of a display-link view controller answers. The time stamp is the
// refresh's output time, read-only.
class protocol_NSUIDisplayLinkDelegate {
public:
    virtual ~protocol_NSUIDisplayLinkDelegate() = default;
    virtual bool displayLinkShouldRenderForTime(NSUIDisplayLinkViewController *controller,
                                                const CVTimeStamp *outputTime) = 0;
    virtual void displayLinkFlushDrawable(NSUIDisplayLinkViewController *controller) = 0;
    virtual void displayLinkChanged(NSUIDisplayLinkViewController *controller) = 0;
    virtual void displayLinkCreated(NSUIDisplayLinkViewController *controller) = 0;
    virtual void displayLinkRenderForTime(NSUIDisplayLinkViewController *controller,
                                          const CVTimeStamp *outputTime) = 0;
    virtual void displayLinkUnlockDrawable(NSUIDisplayLinkViewController *controller) = 0;
    virtual bool displayLinkLockDrawable(NSUIDisplayLinkViewController *controller) = 0;
};

// What a display-link view controller and its proxy answer. Delegates are QObjects that
// also derive from protocol_NSUIDisplayLinkDelegate.
class protocol_NSUIDisplayLinkViewControllerProtocol {
public:
    virtual ~protocol_NSUIDisplayLinkViewControllerProtocol() = default;
    virtual bool stopDisplayLinkDelegate(QObject *object) = 0;
    virtual bool startDisplayLinkDelegate(QObject *object) = 0;
    virtual void addSlaveDisplayLinkViewDelegate(QObject *object) = 0;
    virtual void setMasterDisplayLinkViewDelegate(QObject *object) = 0;
    virtual bool isMasterDisplayLinkViewDelegate(QObject *object) const = 0;
    virtual NSUIDisplayLinkViewController *displayLinkObject() = 0;
};

class NSUIDisplayLink : public QObject {
public:
    NSUIDisplayLink();
    // Stops the link, waits for a refresh in progress (not its own) and releases the link.
    ~NSUIDisplayLink() override;
    NSUIDisplayLink(const NSUIDisplayLink &) = delete;
    NSUIDisplayLink &operator=(const NSUIDisplayLink &) = delete;

    // The link (not retained), or null; displayLinkCopy retains it for the caller.
    CVDisplayLinkRef displayLink() const;
    CVDisplayLinkRef displayLinkCopy() const;
    // Releases the old link and retains the new one.
    void setDisplayLink(CVDisplayLinkRef displayLink);

    // Drops any link, makes one for the active displays with this object's output callback.
    bool createSystemDisplayLinkObjectWithHardwareTimerCallback();
    // Called right after startDisplayLink made a link; nothing here.
    virtual void createDisplayLinkSelf();
    // With a link startDisplayLinkSelf; without one, makes it, createDisplayLinkSelf, then
    // startDisplayLinkSelf. False when the link cannot be made.
    bool startDisplayLink();
    // False without a link or when it runs; else whether it started.
    virtual bool startDisplayLinkSelf();
    // False without a link or when it is not running; else whether it stopped.
    bool stopDisplayLink();
    // False without a link; else the main display, then startDisplayLink.
    bool startDisplayLinkOnMainDisplay();
    // False without a link; else whether the link's display became the main display.
    bool setDisplayLinkDisplayToMainDisplay();
    // The display of the widget's window's screen ("NSScreenNumber" of its device description).
    // False for a null widget, no display number, the current display already, or no link.
    bool setDisplayLinkDisplayToWindowDisplay(QWidget *window);
    // The display the context renders for, when the link and both arguments exist.
    bool setDisplayLinkDisplayWithCGLContext(CGLContextObj context, CGLPixelFormatObj pixelFormat);
    // 0 without a link.
    CGDirectDisplayID currentDisplayID() const;
    bool isDisplayLinkRunning() const;

    // Now, as a version 0 time stamp whose only valid field is the host time.
    static CVTimeStamp displayLinkCurrentTime();
    // Waits until no refresh is in this object (at once when the caller is that refresh). With
    // the link stopped, or a delegate removed, before the call, no refresh reaches what was
    // stopped or removed once it returns. Do not call it holding a lock the delegates take.
    void waitForRefreshInProgress();
    // The per-refresh hook, on the link's thread: kCVReturnSuccess here.
    virtual CVReturn displayLinkOutputForTime(const CVTimeStamp *outputTime);

protected:
    // Stops the link and waits for a refresh in progress unless the caller is that refresh;
    // after it no refresh reaches this object. Subclasses call it first in their destructor,
    // so no refresh runs in a half-destroyed object. Idempotent.
    void endDisplayLinkRefreshes();

private:
    struct Gate;
    static CVReturn sNSUIDisplayLinkCallback(CVDisplayLinkRef displayLink, const CVTimeStamp *now,
                                             const CVTimeStamp *outputTime, CVOptionFlags flagsIn,
                                             CVOptionFlags *flagsOut, void *context);

    mutable std::mutex mLinkMutex;  // the object's synchronized section: _displayLink
    CVDisplayLinkRef mDisplayLink = nullptr;
    std::shared_ptr<Gate> mGate;
};

class NSUIDisplayLinkViewController : public NSUIDisplayLink, public protocol_NSUIDisplayLinkViewControllerProtocol {
public:
    // No master, no slaves.
    NSUIDisplayLinkViewController();
    // Ends the refreshes, stopDisplayLinkNotifyDelegates(false), then forgets the delegates.
    ~NSUIDisplayLinkViewController() override;

    // The master (not owned; forgotten when it is destroyed).
    void setDelegate(QObject *delegate);
    QObject *delegate() const;
    void setMasterDisplayLinkViewDelegate(QObject *object) override;
    // By identity; null is never the master.
    bool isMasterDisplayLinkViewDelegate(QObject *object) const override;
    NSUIDisplayLinkViewController *displayLinkObject() override { return this; }

    // Ignored for null, the master or a slave already there. Slaves are not owned either: one
    // that is destroyed drops out of the set.
    void addSlaveDisplayLinkViewDelegate(QObject *object) override;
    QList<QObject *> slaves() const;
    // Replaces the slave set (with the same rules as adding).
    void setSlaves(const QList<QObject *> &slaves);
    QList<QObject *> slaveDelegates() const { return slaves(); }
    // The master first, then the slaves in the order they were added.
    QList<QObject *> allDelegates() const;

    // False unless the object is the master. Aims the link at the master's window's display,
    // observes the master's NSViewGlobalFrameDidChangeNotification (once, however often it
    // starts) and answers startDisplayLink.
    bool startDisplayLinkDelegate(QObject *object) override;
    // False without a link or with a null context or pixel format; else aims the link from them
    // and answers startDisplayLinkDelegate.
    bool startDisplayLinkDelegate(QObject *object, CGLContextObj context, CGLPixelFormatObj pixelFormat);
    // False unless the object is the master; else stopDisplayLink.
    bool stopDisplayLinkDelegate(QObject *object) override;
    // With the flag, every delegate is told displayLinkChanged; the observation of the master
    // ends; answers stopDisplayLink.
    bool stopDisplayLinkNotifyDelegates(bool notify);

    // The base's start, then displayLinkChanged for every delegate when it started.
    bool startDisplayLinkSelf() override;
    // displayLinkCreated for every delegate, with a link.
    void createDisplayLinkSelf() override;
    // The master's frame changed: the link follows its window's display, then every delegate
    // is told displayLinkChanged.
    void viewDidChangeDisplays(const NSNotification &notification);
    // callDisplayLinkDelegate for each delegate of allDelegates, in order.
    CVReturn displayLinkOutputForTime(const CVTimeStamp *outputTime) override;
    // One delegate's refresh: lock, should-render, render and flush, unlock (see above).
    void callDisplayLinkDelegate(QObject *delegate, const CVTimeStamp *outputTime);

private:
    struct Entry {
        QPointer<QObject> object;
        protocol_NSUIDisplayLinkDelegate *protocol = nullptr;
    };
    static Entry EntryOf(QObject *object);
    std::vector<Entry> entries() const;
    void notifyDelegates(void (protocol_NSUIDisplayLinkDelegate::*call)(NSUIDisplayLinkViewController *));
    void observeMaster(QObject *master);
    void stopObservingMaster();

    mutable std::mutex mDelegatesMutex;
    Entry mMaster;
    std::vector<Entry> mSlaves;
    NSNotificationCenter::ObserverToken mObservation;
};

class NSUIDisplayLinkViewControllerProxy : public QObject, public protocol_NSUIDisplayLinkViewControllerProtocol {
    Q_OBJECT

public:
    Q_INVOKABLE explicit NSUIDisplayLinkViewControllerProxy(QObject *parent = nullptr);

    // The controller it forwards to (not owned); null answers null or false and does nothing.
    NSUIDisplayLinkViewController *displayLinkViewController() const { return mController; }
    void setDisplayLinkViewController(NSUIDisplayLinkViewController *controller) { mController = controller; }

    NSUIDisplayLinkViewController *displayLinkObject() override;
    bool isMasterDisplayLinkViewDelegate(QObject *object) const override;
    void setMasterDisplayLinkViewDelegate(QObject *object) override;
    void addSlaveDisplayLinkViewDelegate(QObject *object) override;
    bool startDisplayLinkDelegate(QObject *object) override;
    bool stopDisplayLinkDelegate(QObject *object) override;

private:
    QPointer<NSUIDisplayLinkViewController> mController;
};

bool import_NSUIDisplayLink();
