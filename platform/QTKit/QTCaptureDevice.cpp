#include <QTKit/QTCaptureDevice.h>

#include <CoreFoundation/CFString.h>
#include <Foundation/NSNotification.h>
#include <QuickTime/CaptureDevices.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <set>
#include <thread>

#include <syslog.h>

using lumora::qt::CaptureControl;
using lumora::qt::CaptureDeviceInfo;

const QString QTMediaTypeVideo = QStringLiteral("vide");
const QString QTMediaTypeMuxed = QStringLiteral("muxx");
const QString QTMediaTypeSound = QStringLiteral("soun");
const QString QTCaptureDeviceWasConnectedNotification = QStringLiteral("QTCaptureDeviceWasConnectedNotification");
const QString QTCaptureDeviceWasDisconnectedNotification =
    QStringLiteral("QTCaptureDeviceWasDisconnectedNotification");
const QString QTCaptureDeviceAttributeWillChangeNotification =
    QStringLiteral("QTCaptureDeviceAttributeWillChangeNotification");
const QString QTCaptureDeviceAttributeDidChangeNotification =
    QStringLiteral("QTCaptureDeviceAttributeDidChangeNotification");
const QString QTCaptureDeviceChangedAttributeKey = QStringLiteral("QTCaptureDeviceChangedAttributeKey");
const QString QTCaptureDeviceAVCTransportControlsAttribute =
    QStringLiteral("QTCaptureDeviceAVCTransportControlsAttribute");
const QString QTCaptureDeviceAVCTransportControlsSpeedKey = QStringLiteral("QTCaptureDeviceAVCTransportControlsSpeedKey");
const QString QTCaptureDeviceAVCTransportControlsPlaybackModeKey =
    QStringLiteral("QTCaptureDeviceAVCTransportControlsPlaybackModeKey");

namespace {

// The registry: one object per device for the whole process, and what the last look saw.
struct Registry {
    std::mutex lock;
    std::map<std::string, QTCaptureDevice *> devices;  // never destroyed
    std::set<std::string> connected;                   // as last posted
    bool looked = false;
};
Registry &TheRegistry() {
    static Registry *registry = new Registry;  // lives to the end of the process
    return *registry;
}

std::string UniqueIDOf(const CaptureDeviceInfo &info) {
    return info.path.empty() ? std::string("lumora-test-camera") : info.path;
}

std::string Utf8FromMacRoman(const std::string &name) {
    CFStringRef text = CFStringCreateWithCString(nullptr, name.c_str(), kCFStringEncodingMacRoman);
    if (text == nullptr) return name;
    char buffer[256];
    std::string result = CFStringGetCString(text, buffer, sizeof buffer, kCFStringEncodingUTF8) ? buffer : name;
    CFRelease(text);
    return result;
}

CaptureControl ControlOf(QTCaptureImageControl control) {
    switch (control) {
    case QTCaptureImageControl::Brightness: return CaptureControl::Brightness;
    case QTCaptureImageControl::Contrast: return CaptureControl::Contrast;
    case QTCaptureImageControl::Saturation: return CaptureControl::Saturation;
    case QTCaptureImageControl::Gamma: break;
    }
    return CaptureControl::Gamma;
}

void PostConnection(QTCaptureDevice *device, bool connected) {
    NSNotificationCenter::defaultCenter().postNotificationName(
        connected ? QTCaptureDeviceWasConnectedNotification : QTCaptureDeviceWasDisconnectedNotification, device);
}

// The monitor thread.
struct Monitor {
    std::mutex lock;
    std::condition_variable wake;
    int count = 0;
    std::thread thread;
};
Monitor &TheMonitor() {
    static Monitor *monitor = new Monitor;
    return *monitor;
}

}  // namespace

QTCaptureDevice::QTCaptureDevice(const CaptureDeviceInfo &info)
    : mUniqueID(UniqueIDOf(info)), mName(Utf8FromMacRoman(info.name)), mListedName(info.name) {}

QTCaptureDevice::~QTCaptureDevice() = default;

QTCaptureDevice *QTCaptureDevice::deviceFor(const CaptureDeviceInfo &info) {
    Registry &registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    QTCaptureDevice *&device = registry.devices[UniqueIDOf(info)];
    if (device == nullptr) device = new QTCaptureDevice(info);
    {
        std::lock_guard deviceGuard(device->mLock);
        device->mListedName = info.name;  // a V4L2 node may now hold another camera
        device->mName = Utf8FromMacRoman(info.name);
        device->mConnected = true;
    }
    return device;
}

std::vector<QTCaptureDevice *> QTCaptureDevice::inputDevicesWithMediaType(const QString &mediaType) {
    std::vector<QTCaptureDevice *> devices;
    if (mediaType != QTMediaTypeVideo) return devices;  // no muxed or sound devices here
    for (const CaptureDeviceInfo &info : lumora::qt::ListCaptureDevices()) devices.push_back(deviceFor(info));
    return devices;
}

QTCaptureDevice *QTCaptureDevice::deviceWithUniqueID(const QString &uniqueID) {
    for (QTCaptureDevice *device : inputDevicesWithMediaType(QTMediaTypeVideo))
        if (device->uniqueID() == uniqueID) return device;
    return nullptr;
}

QString QTCaptureDevice::uniqueID() const { return QString::fromStdString(mUniqueID); }

QString QTCaptureDevice::localizedDisplayName() const {
    std::lock_guard guard(mLock);
    return QString::fromStdString(mName);
}

bool QTCaptureDevice::hasMediaType(const QString &mediaType) const { return mediaType == QTMediaTypeVideo; }

bool QTCaptureDevice::isConnected() const {
    std::lock_guard guard(mLock);
    return mConnected;
}

bool QTCaptureDevice::open(QTCaptureError *error) {
    std::lock_guard guard(mLock);
    if (mSource) return true;
    OSErr err = noDeviceForChannel;
    for (const CaptureDeviceInfo &info : lumora::qt::ListCaptureDevices()) {
        if (UniqueIDOf(info) != mUniqueID) continue;
        mSource = lumora::qt::OpenCaptureSource(info, err);
        break;
    }
    if (mSource) {
        mConnected = true;
        return true;
    }
    if (error != nullptr) {
        error->code = err;
        error->localizedDescription =
            QStringLiteral("The device \"%1\" could not be opened (%2).").arg(QString::fromStdString(mName)).arg(err);
    }
    return false;
}

void QTCaptureDevice::close() {
    std::lock_guard guard(mLock);
    mSource.reset();
}

bool QTCaptureDevice::isOpen() const {
    std::lock_guard guard(mLock);
    return mSource != nullptr;
}

QVariant QTCaptureDevice::attributeForKey(const QString &) const {
    return {};  // no attribute here: in particular no tape transport
}

bool QTCaptureDevice::attributeIsReadOnly(const QString &) const { return true; }

bool QTCaptureDevice::setAttribute(const QVariant &, const QString &) { return false; }

bool QTCaptureDevice::imageControlValue(QTCaptureImageControl control, double &value) const {
    std::lock_guard guard(mLock);
    return mSource && mSource->GetControl(ControlOf(control), value);
}

bool QTCaptureDevice::setImageControlValue(QTCaptureImageControl control, double value) {
    std::lock_guard guard(mLock);
    return mSource && mSource->SetControl(ControlOf(control), value);
}

void QTCaptureDevice::deviceStoppedDelivering() {
    {
        std::lock_guard guard(mLock);
        mConnected = false;
    }
    Registry &registry = TheRegistry();
    {
        std::lock_guard guard(registry.lock);
        if (registry.connected.erase(mUniqueID) == 0 && registry.looked) return;  // already posted
    }
    PostConnection(this, false);
}

void QTCaptureDevice::refreshConnectedDevices() {
    const std::vector<CaptureDeviceInfo> listing = lumora::qt::ListCaptureDevices();
    std::vector<std::pair<QTCaptureDevice *, bool>> changes;
    std::set<std::string> now;
    for (const CaptureDeviceInfo &info : listing) now.insert(UniqueIDOf(info));
    std::vector<QTCaptureDevice *> present;
    for (const CaptureDeviceInfo &info : listing) present.push_back(deviceFor(info));
    Registry &registry = TheRegistry();
    {
        std::lock_guard guard(registry.lock);
        if (registry.looked) {
            for (QTCaptureDevice *device : present)
                if (registry.connected.count(device->mUniqueID) == 0) changes.emplace_back(device, true);
            for (const std::string &id : registry.connected)
                if (now.count(id) == 0) changes.emplace_back(registry.devices[id], false);
        }
        registry.connected = now;
        registry.looked = true;
        for (auto &entry : registry.devices)
            if (now.count(entry.first) == 0) {
                std::lock_guard deviceGuard(entry.second->mLock);
                entry.second->mConnected = false;
            }
    }
    for (const auto &change : changes) PostConnection(change.first, change.second);
}

void QTCaptureDevice::retainMonitor() {
    Monitor &monitor = TheMonitor();
    std::lock_guard guard(monitor.lock);
    if (monitor.count++ > 0) return;
    if (monitor.thread.joinable()) monitor.thread.detach();  // a monitor released from its own thread
    refreshConnectedDevices();  // the devices as the session starts
    monitor.thread = std::thread([&monitor] {
        std::unique_lock lock(monitor.lock);
        while (monitor.count > 0) {
            monitor.wake.wait_for(lock, std::chrono::milliseconds(100));
            if (monitor.count == 0) break;
            lock.unlock();
            refreshConnectedDevices();
            lock.lock();
        }
    });
}

void QTCaptureDevice::releaseMonitor() {
    Monitor &monitor = TheMonitor();
    std::thread finished;
    {
        std::lock_guard guard(monitor.lock);
        if (monitor.count == 0 || --monitor.count > 0) return;
        monitor.wake.notify_all();
        finished = std::move(monitor.thread);
    }
    if (finished.joinable() && finished.get_id() != std::this_thread::get_id()) finished.join();
    else if (finished.joinable()) finished.detach();
}

bool import_QTCaptureDevice() { return true; }
