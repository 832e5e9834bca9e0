// NSUICamMenuController: the menu of camera devices. The device items follow a placeholder
// item of a menu (mCameraMenuSeparator): first "No Camera", a separator, then one item per
// device of the grabber's device list (devices whose name contains "(Ocellix)" are left
// out). The device in use is checked; "No Camera" is checked when no camera is open.
//
// Choosing an item makes its title the input name (the delegate, when it answers
// camMenuControllerDidSelectCameraDeviceName, hears of it on the main thread) and sends the
// controller's target-action; the target then asks changeCameraGrabberDevice to switch the
// grabber. Every change of device posts "NSUICamMenuController_AvailableCamerasChangedNotification"
// (object: the controller), on which the other controllers rebuild their menus.
//
// Main thread only.
#pragma once

#include <UICocoaControls/NSUITargetActionView.h>

#include <Foundation/NSNotification.h>

#include <QAction>
#include <QPointer>
#include <QString>
#include <QStringList>

class QCamSwitcher;

class NSUICamMenuController : public NSUITargetActionView {
    Q_OBJECT
    Q_PROPERTY(QAction *mCameraMenuSeparator MEMBER mCameraMenuSeparator)
    Q_PROPERTY(QObject *delegate READ delegate WRITE setDelegate)

public:
    static constexpr const char *kNoCameraTitle = "No Camera";
    static constexpr const char *kAvailableCamerasChangedNotification =
        "NSUICamMenuController_AvailableCamerasChangedNotification";
    // Devices whose name contains one of these are never listed.
    static const QStringList &deviceNameFilters();

    explicit NSUICamMenuController(QWidget *parent = nullptr);
    ~NSUICamMenuController() override;

    // Clears the input name and the placeholder flag and observes the change notice.
    void initTargetActionView();

    // Rebuilds the items after the placeholder for the grabber (see above).
    Q_INVOKABLE void updateForCameraGrabber(QCamSwitcher *grabber);
    // Switches the grabber to the input name's device; YES when something changed.
    bool changeCameraGrabberDevice(QCamSwitcher *grabber);
    bool useNextCameraGrabberDevice(QCamSwitcher *grabber);
    bool usePrevCameraGrabberDevice(QCamSwitcher *grabber);
    // The action of every item: the item's title becomes the input name, then the
    // controller's target-action.
    Q_INVOKABLE void cameraSelectionChanged(QObject *item);
    Q_INVOKABLE void cameraHardwareDeviceListChanged(const NSNotification &notification);

    QString cameraDeviceInputName() const { return _cameraDeviceInputName; }
    void setCameraDeviceInputName(const QString &name);
    QObject *delegate() const { return mDelegate.data(); }
    void setDelegate(QObject *delegate) { mDelegate = delegate; }
    QCamSwitcher *cachedCammeraGrabber() const { return _cachedCammeraGrabber; }
    bool removeCameraMenuSeparatorPlaceholder() const { return _removeCameraMenuSeparatorPlaceholder; }
    void setRemoveCameraMenuSeparatorPlaceholder(bool remove) { _removeCameraMenuSeparatorPlaceholder = remove; }
    QAction *cameraMenuSeparator() const { return mCameraMenuSeparator.data(); }
    void setCameraMenuSeparator(QAction *placeholder) { mCameraMenuSeparator = placeholder; }

    // The device names of the grabber's list in order, filtered.
    static QStringList cameraDeviceNames(QCamSwitcher *grabber);

private:
    QPointer<QAction> mCameraMenuSeparator;
    QPointer<QObject> mDelegate;
    QString _cameraDeviceInputName;
    QCamSwitcher *_cachedCammeraGrabber;
    bool _removeCameraMenuSeparatorPlaceholder;
};
