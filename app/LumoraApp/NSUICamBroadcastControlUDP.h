// NSUICamBroadcastControlUDP: the rebroadcast control. It links the virtual-camera component
// into the user's QuickTime Components folder while the application runs (shared_vdig_bundle),
// and holds the rebroadcast switch that the frame loop and the sharing outputs read.
//
// The switch starts off; the camera view flips it once when launching has finished (through
// broadcastButtonChanged, which needs the button to be connected) and each press of the button
// flips it again. isBroadcasting answers the switch: it is what the sharing outputs honour, and
// it does not depend on the component link (the Core Image input and the window channel need
// no link). The switch is atomic, so any thread may read it.
//
// The link is made when launching has finished and removed when the application terminates,
// whatever the switch says; a link that cannot be made or removed is reported through VERIFY
// and the application goes on.
#pragma once

#include <Foundation/NSNotification.h>
#include <UICocoaControls/NSUITargetActionView.h>

#include <QAbstractButton>
#include <QPointer>

#include <atomic>

class NSUICamBroadcastControlUDP : public NSUITargetActionView {
    Q_OBJECT
    Q_PROPERTY(QAbstractButton *outletRebroadcastButton READ outletRebroadcastButton WRITE setOutletRebroadcastButton)
    Q_PROPERTY(bool broadcastEnabled READ broadcastEnabled WRITE setBroadcastEnabled NOTIFY broadcastEnabledChanged)

public:
    Q_INVOKABLE explicit NSUICamBroadcastControlUDP(QWidget *parent = nullptr);
    ~NSUICamBroadcastControlUDP() override;

    // Whether the application has the shared-memory camera output component: it has.
    static bool hasSharedMemoryCameraOutputComponent();

    QAbstractButton *outletRebroadcastButton() const { return mRebroadcastButton.data(); }
    void setOutletRebroadcastButton(QAbstractButton *button) { mRebroadcastButton = button; }

    bool broadcastEnabled() const { return mBroadcastEnabled.load(std::memory_order_acquire); }
    // Sets the switch, then updateSharedLibraryBroadcastingState.
    void setBroadcastEnabled(bool enabled);
    // A hook for the state of the shared library; does nothing.
    virtual void updateSharedLibraryBroadcastingState();
    // The button's action: with the button connected, flips the switch; otherwise nothing.
    Q_INVOKABLE void broadcastButtonChanged(QObject *sender = nullptr);

    // Whether frames are rebroadcast: the switch (any thread).
    bool isBroadcasting() const { return broadcastEnabled(); }

    Q_INVOKABLE virtual void applicationDidFinishLaunching(const NSNotification &notification = NSNotification());
    Q_INVOKABLE virtual void applicationWillTerminate(const NSNotification &notification = NSNotification());
    void startBroadcasting();
    void stopBroadcasting();
    // Install / remove the component link; a failure is reported. Answer whether it worked.
    bool installQuickTimeComponentSymbolicLink();
    bool removeQuickTimeComponentSymbolicLink();

signals:
    void broadcastEnabledChanged();

private:
    QPointer<QAbstractButton> mRebroadcastButton;
    std::atomic<bool> mBroadcastEnabled{false};
};

bool import_NSUICamBroadcastControlUDP();
