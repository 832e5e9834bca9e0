#include <QCam/CameraControls/NSUICamMenuController.h>

#include <CoreFoundation/CFString.h>
#include <QCam/Camera/QCamSwitcher.h>
#include <CoreX/CoreMachDebugLog.h>
#include <UICocoaMenus/NSMenuItemQt.h>
#include <UICocoaMenus/mutex_NSMenu.h>

#include <QMenu>
#include <QMetaObject>

namespace {

QString TextOf(const std::string &name) { return QString::fromStdString(name); }

// The name has a Mac OS Roman form (what device names are).
bool HasMacRomanForm(const QString &name) {
    const QByteArray utf8 = name.toUtf8();
    CFStringRef string = CFStringCreateWithCString(nullptr, utf8.constData(), kCFStringEncodingUTF8);
    if (string == nullptr) return false;
    char roman[256];  // a device name is a Pascal string: at most 255 bytes
    const bool ok = CFStringGetCString(string, roman, sizeof roman, kCFStringEncodingMacRoman);
    CFRelease(string);
    return ok;
}

bool IsFiltered(const QString &name) {
    for (const QString &filter : NSUICamMenuController::deviceNameFilters())
        if (name.contains(filter)) return true;
    return false;
}

}  // namespace

const QStringList &NSUICamMenuController::deviceNameFilters() {
    static const QStringList sFilters = {QStringLiteral("(Ocellix)")};
    return sFilters;
}

NSUICamMenuController::NSUICamMenuController(QWidget *parent)
    : NSUITargetActionView(parent), _cachedCammeraGrabber(nullptr), _removeCameraMenuSeparatorPlaceholder(false) {
    initTargetActionView();
}

NSUICamMenuController::~NSUICamMenuController() { NSNotificationCenter::defaultCenter().removeObserver(this); }

void NSUICamMenuController::initTargetActionView() {
    _cameraDeviceInputName.clear();
    _removeCameraMenuSeparatorPlaceholder = false;
    NSNotificationCenter::defaultCenter().addObserver(this, "cameraHardwareDeviceListChanged",
                                                      QString::fromLatin1(kAvailableCamerasChangedNotification),
                                                      nullptr);
}

QStringList NSUICamMenuController::cameraDeviceNames(QCamSwitcher *grabber) {
    QStringList names;
    if (grabber == nullptr) return names;
    for (const std::string &name : grabber->CameraDeviceNames()) {
        const QString text = TextOf(name);
        if (!text.isEmpty() && !IsFiltered(text)) names.append(text);
    }
    return names;
}

void NSUICamMenuController::updateForCameraGrabber(QCamSwitcher *grabber) {
    QAction *placeholder = mCameraMenuSeparator.data();
    if (placeholder == nullptr) return;
    _cachedCammeraGrabber = grabber;
    QMenu *menu = NSMenuItemQt::menu(placeholder);
    if (!VERIFY_TEXT(menu != nullptr, " code : cameraMenu")) return;
    NSMenuRemoveItemsFromIndex(menu, int(menu->actions().indexOf(placeholder)) + 1);

    const QString noCameraTitle = QString::fromLatin1(kNoCameraTitle);
    const bool channelOpen = grabber != nullptr && grabber->HasVideoChannel();
    std::string current;
    QString currentName = noCameraTitle;
    bool noCamera = true;
    if (channelOpen && grabber->CurrentCameraDeviceName(current)) {
        currentName = TextOf(current);
        noCamera = false;
    }

    const bool placeholderIsSeparator = placeholder->isSeparator();
    QAction *noCameraItem = placeholder;
    if (placeholderIsSeparator) {
        noCameraItem = new QAction(noCameraTitle, menu);
        menu->addAction(noCameraItem);
    }
    menu->addSeparator();
    NSMenuItemQt::setTargetAction(noCameraItem, this, "cameraSelectionChanged");
    NSMenuItemQt::setState(noCameraItem, noCamera ? NSOnState : NSOffState);
    if (noCamera) _cameraDeviceInputName = noCameraTitle;
    if (placeholderIsSeparator && _removeCameraMenuSeparatorPlaceholder) {
        menu->removeAction(placeholder);
        mCameraMenuSeparator = noCameraItem;
    }

    for (const QString &name : cameraDeviceNames(grabber)) {
        QAction *item = new QAction(name, menu);
        menu->addAction(item);
        NSMenuItemQt::setTargetAction(item, this, "cameraSelectionChanged");
        NSMenuItemQt::setState(item, channelOpen && name == currentName ? NSOnState : NSOffState);
        if (name == currentName) _cameraDeviceInputName = name;
    }
}

void NSUICamMenuController::cameraSelectionChanged(QObject *item) {
    const QAction *action = qobject_cast<QAction *>(item);
    if (action != nullptr && !action->text().isEmpty()) setCameraDeviceInputName(action->text());
    performTargetActionWithObject(static_cast<QObject *>(this));
}

void NSUICamMenuController::setCameraDeviceInputName(const QString &name) {
    _cameraDeviceInputName = name;
    QObject *target = mDelegate.data();
    if (target != nullptr &&
        target->metaObject()->indexOfMethod("camMenuControllerDidSelectCameraDeviceName(QString)") >= 0)
        QMetaObject::invokeMethod(target, "camMenuControllerDidSelectCameraDeviceName", Qt::QueuedConnection,
                                  Q_ARG(QString, name));
}

bool NSUICamMenuController::changeCameraGrabberDevice(QCamSwitcher *grabber) {
    if (grabber == nullptr || _cameraDeviceInputName.isEmpty() || !HasMacRomanForm(_cameraDeviceInputName))
        return false;
    bool changed = false;
    if (_cameraDeviceInputName == QString::fromLatin1(kNoCameraTitle)) {
        grabber->CloseCamera();
        changed = true;
    } else {
        changed = grabber->UseCameraDevice(_cameraDeviceInputName.toStdString());
    }
    if (!changed) return false;
    updateForCameraGrabber(grabber);
    NSNotificationCenter::defaultCenter().postNotificationName(
        QString::fromLatin1(kAvailableCamerasChangedNotification), this);
    return true;
}

bool NSUICamMenuController::useNextCameraGrabberDevice(QCamSwitcher *grabber) {
    if (grabber == nullptr || !grabber->UseNextCameraDevice()) return false;
    updateForCameraGrabber(grabber);
    return true;
}

bool NSUICamMenuController::usePrevCameraGrabberDevice(QCamSwitcher *grabber) {
    if (grabber == nullptr || !grabber->UsePrevCameraDevice()) return false;
    updateForCameraGrabber(grabber);
    return true;
}

void NSUICamMenuController::cameraHardwareDeviceListChanged(const NSNotification &notification) {
    if (notification.object() == this || _cachedCammeraGrabber == nullptr) return;
    updateForCameraGrabber(_cachedCammeraGrabber);
}
