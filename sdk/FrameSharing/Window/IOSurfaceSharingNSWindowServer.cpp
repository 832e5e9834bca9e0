#include <FrameSharing/Mach/IOSurfaceMachConnection.h>
#include <FrameSharing/Window/CGImageDataWrapper.h>
#include <FrameSharing/Window/IOSurfaceSharingNSWindowInfoController.h>
#include <FrameSharing/Window/IOSurfaceSharingNSWindowServer.h>

#include <IOSurface/IOSurface.h>

#include <QApplication>

// ---- IOSurfaceSharingNSWindow -----------------------------------------------------------------

QString IOSurfaceSharingNSWindow::mangledServerPortNameWithPublishedPortName(const QString &name, uint32_t number) {
    if (name.isNull()) return QString();
    if (number == 0) return QStringLiteral("%1.%2").arg(name, QStringLiteral("NSWindow"));
    return QStringLiteral("%1:%2.%3").arg(name).arg(number).arg(QStringLiteral("NSWindow"));
}

IOSurfaceSharingNSWindow::IOSurfaceSharingNSWindow(const QVariant &connectionID) {
    if (connectionID.canConvert<IOSurfaceSharingConnectionID>() &&
        connectionID.metaType() == QMetaType::fromType<IOSurfaceSharingConnectionID>())
        mConnectionID = connectionID.value<IOSurfaceSharingConnectionID>();
}

QString IOSurfaceSharingNSWindow::mangledPublishedPortName() const {
    return mangledServerPortNameWithPublishedPortName(serverPublishedPortName(), serverPublishedPortNumber());
}

QString IOSurfaceSharingNSWindow::serverPublishedPortName() const {
    return mConnectionID ? mConnectionID->portName() : QString();
}

uint32_t IOSurfaceSharingNSWindow::serverPublishedPortNumber() const {
    return mConnectionID ? mConnectionID->unsignedPortNumber() : 0;
}

// ---- IOSurfaceSharingNSWindowServer -----------------------------------------------------------

std::shared_ptr<IOSurfaceSharingNSWindowServer> IOSurfaceSharingNSWindowServer::serverOutputWithConnectionID(
    const QVariant &connectionID) {
    return std::make_shared<IOSurfaceSharingNSWindowServer>(connectionID);
}

IOSurfaceSharingNSWindowServer::IOSurfaceSharingNSWindowServer(const QVariant &connectionID)
    : IOSurfaceSharingNSWindow(connectionID) {
    // A window needs the application object of a widget program, on X11 (where readers find
    // it through the window list) or the offscreen platform; elsewhere (Wayland, say) it would
    // be an ordinary window on the desktop, so there is no channel (hasServerConnection
    // answers NO).
    const QString platform = QGuiApplication::platformName();
    if (qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr &&
        (platform == QLatin1String("xcb") || platform == QLatin1String("offscreen"))) {
        mWindow = std::make_unique<NSWindowExactBytes>(uint32_t(kIOSurfaceMessagePacketSize));
        mWindow->setAbstractWindowName(mangledPublishedPortName());
    }
    mMessage = tagIOSurfaceMessagePacket();
}

IOSurfaceSharingNSWindowServer::~IOSurfaceSharingNSWindowServer() { setWindowImageGlobal(nullptr); }

bool IOSurfaceSharingNSWindowServer::broadcastSurfaceWithSurfaceTime(IOSurfaceRef surface, uint64_t surfaceTime) {
    if (mWindow == nullptr) return false;
    return sendMessageSurface(surface, surfaceTime);
}

bool IOSurfaceSharingNSWindowServer::broadcastSurface(IOSurfaceRef surface) {
    return broadcastSurfaceWithSurfaceTime(surface, IOSurfaceMachConnection::currentHostGetSurfaceTimeStamp());
}

bool IOSurfaceSharingNSWindowServer::sendMessageSurface(IOSurfaceRef surface, uint64_t surfaceTime) {
    if (surface == nullptr || IOSurfaceGetID(surface) == 0 || mWindow == nullptr) return false;
    mMessage.sizeofIOSurfaceMessagePacket = uint32_t(kIOSurfaceMessagePacketSize);
    mMessage.sequenceNumber += 1;
    mMessage.surfaceID = IOSurfaceGetID(surface);
    mMessage.surfaceTime = surfaceTime;
    IOSurfaceMessagePacketSeal(mMessage);
    const IOSurfaceMessagePacketBytes bytes = IOSurfaceMessagePacketEncode(mMessage);
    CGImageRef image = CGImageDataWrapper::sharedPacketWrapper().createImageWithBytes(bytes.data(), bytes.size());
    if (image == nullptr) return false;
    const bool shown = mWindow->writeImageData(image);
    if (IOSurfaceSharingNSWindowViewNibbler *panel = mSentImageInfo.data()) {
        CGImageRef read = mWindow->copyWindowViewImage();
        panel->windowInfoController()->setWindowImage(read, mWindow->quartzWindowID(), QStringLiteral("n/a"), QString());
        CGImageRelease(read);
    }
    if (IOSurfaceSharingNSWindowViewNibbler *panel = mGlobalImageInfo.data(); panel != nullptr && findServerPublishedPortName())
        panel->windowInfoController()->setWindowImage(windowImageGlobalCached(), mGlobalWindowID,
                                                      mWindow->abstractWindowName(), QString());
    CGImageRelease(image);
    return shown;
}

bool IOSurfaceSharingNSWindowServer::findServerPublishedPortName() {
    if (mGlobalWindowID == 0 && mWindow != nullptr)
        mGlobalWindowID = NSWindowExactBytes::findGlobalWindowWithName(mWindow->abstractWindowName());
    return mGlobalWindowID != 0;
}

CGImageRef IOSurfaceSharingNSWindowServer::windowImageGlobalCached() {
    if (findServerPublishedPortName()) {
        CGImageRef image = NSWindowExactBytes::createWindowImageWithWindowID(mGlobalWindowID);
        setWindowImageGlobal(image);
        CGImageRelease(image);
    }
    return windowImageGlobal();
}

CGImageRef IOSurfaceSharingNSWindowServer::windowImageGlobal() const {
    std::lock_guard<std::mutex> lock(mLock);
    return mWindowImageGlobal;
}

CGImageRef IOSurfaceSharingNSWindowServer::windowImageGlobalCopy() const {
    std::lock_guard<std::mutex> lock(mLock);
    return CGImageRetain(mWindowImageGlobal);
}

void IOSurfaceSharingNSWindowServer::setWindowImageGlobal(CGImageRef image) {
    std::lock_guard<std::mutex> lock(mLock);
    CGImageRetain(image);
    CGImageRelease(mWindowImageGlobal);
    mWindowImageGlobal = image;
}

bool IOSurfaceSharingNSWindowServer::verifyMessage(CGImageRef image, bool andReleaseImage) {
    IOSurfaceMessagePacketBytes bytes{};
    const bool valid = IOSurfaceSharingNSWindowDecodeImage(image, bytes);
    if (andReleaseImage) CGImageRelease(image);
    return valid;
}

bool IOSurfaceSharingNSWindowDecodeImage(CGImageRef image, IOSurfaceMessagePacketBytes &bytes) {
    bytes.fill(0);
    const CGImageDataWrapper &wrapper = CGImageDataWrapper::sharedPacketWrapper();
    CGImageRef prepared = wrapper.createPreparedImage(image);
    if (prepared == nullptr) return false;
    const bool valid = wrapper.readBytes(prepared, bytes.data(), bytes.size()) && IOSurfaceMessagePacketIsValid(bytes);
    CGImageRelease(prepared);
    if (!valid) bytes.fill(0);
    return valid;
}

// ---- IOSurfaceSharingNSWindowClient -----------------------------------------------------------

IOSurfaceSharingNSWindowClient::IOSurfaceSharingNSWindowClient(const QString &portName, uint32_t portNumber,
                                                               Callback callback, const QString &ownerName)
    : mTitle(IOSurfaceSharingNSWindow::mangledServerPortNameWithPublishedPortName(portName, portNumber)),
      mOwnerName(ownerName), mCallback(std::move(callback)) {}

bool IOSurfaceSharingNSWindowClient::poll() {
    if (mWindowID == 0) mWindowID = NSWindowExactBytes::findGlobalWindowWithName(mTitle, mOwnerName);
    if (mWindowID == 0) return false;
    CGImageRef image = NSWindowExactBytes::createWindowImageWithWindowID(mWindowID);
    if (image == nullptr) {
        mWindowID = 0;  // gone, or not shown: look again next time
        return false;
    }
    IOSurfaceMessagePacketBytes bytes{};
    const bool valid = IOSurfaceSharingNSWindowDecodeImage(image, bytes);
    CGImageRelease(image);
    if (!valid) return false;
    const tagIOSurfaceMessagePacket packet = IOSurfaceMessagePacketDecode(bytes);
    if (mLastChecksum == packet.messageChecksum) return false;
    mLastChecksum = packet.messageChecksum;
    if (mCallback) mCallback(packet);
    return true;
}

bool import_IOSurfaceSharingNSWindowServer() { return true; }
