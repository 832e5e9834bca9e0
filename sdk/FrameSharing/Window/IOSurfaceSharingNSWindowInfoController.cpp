#include <FrameSharing/Window/IOSurfaceSharingNSWindowInfoController.h>
#include <FrameSharing/Window/IOSurfaceSharingNSWindowServer.h>

#include <CocoaFoundation/NSObject_MultipleKVO.h>
#include <Foundation/NSObjCRuntime.h>

#include <CoreFoundation/CFData.h>
#include <CoreGraphics/CGDataProvider.h>

#include <cstring>

NS_REGISTER_CLASS(IOSurfaceSharingNSWindowInfoController);
NS_REGISTER_CLASS(IOSurfaceSharingNSWindowViewNibbler);

namespace {

// The image as a QImage (8/32-bit images; null for others).
QImage QImageOf(CGImageRef image) {
    if (image == nullptr || CGImageGetBitsPerComponent(image) != 8 || CGImageGetBitsPerPixel(image) != 32)
        return QImage();
    const size_t width = CGImageGetWidth(image), height = CGImageGetHeight(image), row = CGImageGetBytesPerRow(image);
    CFDataRef data = CGDataProviderCopyData(CGImageGetDataProvider(image));
    if (data == nullptr) return QImage();
    QImage result;
    if (size_t(CFDataGetLength(data)) >= row * height && width > 0 && height > 0) {
        result = QImage(int(width), int(height), QImage::Format_RGB32);
        for (size_t y = 0; y < height; ++y)
            std::memcpy(result.scanLine(int(y)), CFDataGetBytePtr(data) + y * row, width * 4);
    }
    CFRelease(data);
    return result;
}

}  // namespace

IOSurfaceSharingNSWindowInfoController::IOSurfaceSharingNSWindowInfoController(QObject *parent) : QObject(parent) {
    mMessage.sizeofIOSurfaceMessagePacket = 0;
    mTimer.setInterval(1000);
    connect(&mTimer, &QTimer::timeout, this, [this] { timerFired(); });
    mTimer.start();
}

IOSurfaceSharingNSWindowInfoController::~IOSurfaceSharingNSWindowInfoController() {
    mTimer.stop();
    std::lock_guard<std::recursive_mutex> lock(mLock);
    CGImageRelease(mWindowImage);
}

QSet<QString> IOSurfaceSharingNSWindowInfoController::shownKeys() {
    return {"globalWindowName",      "globalWindowOwnerName",   "windowID",
            "imageRefHexValue",      "imageSizePixels",         "messageChecksumVerify",
            "messageChecksumHexValue", "sizeofMessagePacket",   "messageSequenceNumber",
            "messageSurfaceID"};
}

void IOSurfaceSharingNSWindowInfoController::setWindowImage(CGImageRef image, uint32_t windowID, const QString &name,
                                                            const QString &ownerName) {
    {
        std::lock_guard<std::recursive_mutex> lock(mLock);
        CGImageRetain(image);
        CGImageRelease(mWindowImage);
        mWindowImage = image;
        mWindowID = windowID;
        mWindowName = name;
        mWindowOwnerName = ownerName;
    }
    if (liveUpdates()) updateShownValues();
}

bool IOSurfaceSharingNSWindowInfoController::messageConstruct(CGImageRef image) {
    IOSurfaceMessagePacketBytes bytes{};
    const bool valid = IOSurfaceSharingNSWindowDecodeImage(image, bytes);
    std::lock_guard<std::recursive_mutex> lock(mLock);
    mMessage = IOSurfaceMessagePacketDecode(bytes);
    mMessageValid = valid;
    mImage = QImageOf(image);
    return valid;
}

void IOSurfaceSharingNSWindowInfoController::updateShownValues() {
    const QSet<QString> keys = shownKeys();
    MultipleKVO::willChangeValueForMultipleKeys(this, keys);
    CGImageRef image = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(mLock);
        image = CGImageRetain(mWindowImage);
    }
    messageConstruct(image);
    CGImageRelease(image);
    MultipleKVO::didChangeValueForMultipleKeys(this, keys);
}

void IOSurfaceSharingNSWindowInfoController::timerFired() {
    if (!liveUpdates()) updateShownValues();
}

bool IOSurfaceSharingNSWindowInfoController::liveUpdates() const {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    return mLiveUpdates;
}

void IOSurfaceSharingNSWindowInfoController::setLiveUpdates(bool live) {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    mLiveUpdates = live;
}

QString IOSurfaceSharingNSWindowInfoController::globalWindowName() const {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    return mWindowName;
}

QString IOSurfaceSharingNSWindowInfoController::globalWindowOwnerName() const {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    return mWindowOwnerName;
}

QString IOSurfaceSharingNSWindowInfoController::windowDescription() const {
    return QStringLiteral("%1 (%2)").arg(globalWindowName(), globalWindowOwnerName());
}

uint IOSurfaceSharingNSWindowInfoController::windowID() const {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    return mWindowID;
}

QString IOSurfaceSharingNSWindowInfoController::imageRefHexValue() const {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    if (mWindowImage == nullptr) return QStringLiteral("CGImageRef(NULL)");
    return QString::asprintf("CGImageRef(0x%08llX)", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(mWindowImage)));
}

QString IOSurfaceSharingNSWindowInfoController::imageSizePixels() const {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    if (mWindowImage == nullptr) return QStringLiteral("CGSize(0,0)");
    return QString::asprintf("CGSize(%d,%d)", int(CGImageGetWidth(mWindowImage)), int(CGImageGetHeight(mWindowImage)));
}

bool IOSurfaceSharingNSWindowInfoController::messageChecksumVerify() const {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    return mMessageValid;
}

QString IOSurfaceSharingNSWindowInfoController::messageChecksumHexValue() const {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    return QString::asprintf("%08lX", static_cast<unsigned long>(mMessage.messageChecksum));
}

uint IOSurfaceSharingNSWindowInfoController::sizeofMessagePacket() const {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    return mMessage.sizeofIOSurfaceMessagePacket;
}

uint IOSurfaceSharingNSWindowInfoController::messageSequenceNumber() const {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    return mMessage.sequenceNumber;
}

qulonglong IOSurfaceSharingNSWindowInfoController::messageSurfaceID() const {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    return mMessage.surfaceID;
}

QImage IOSurfaceSharingNSWindowInfoController::image() const {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    return mImage;
}

// ---- IOSurfaceSharingNSWindowViewNibbler ------------------------------------------------------

IOSurfaceSharingNSWindowViewNibbler::IOSurfaceSharingNSWindowViewNibbler(QWidget *parent) : NSUIViewNibbler(parent) {}

IOSurfaceSharingNSWindowInfoController *IOSurfaceSharingNSWindowViewNibbler::windowInfoController() {
    if (auto *controller = qobject_cast<IOSurfaceSharingNSWindowInfoController *>(nibblerController())) return controller;
    if (mOwnController == nullptr) mOwnController = new IOSurfaceSharingNSWindowInfoController(this);
    return mOwnController.data();
}
