#include "CamInputBaseNibbler.h"

#include <CoreFoundation/CFBundle.h>
#include <CoreFoundation/CFURL.h>
#include <ImageIO/CGImageSource.h>

#include <QFile>

#include <climits>

namespace {
constexpr qint64 kMaximumResourceBytes = 64 * 1024 * 1024;
}

CamInputBaseNibbler::CamInputBaseNibbler(QWidget *parent) : NSUIViewNibbler(parent) {}

CamInputBaseNibbler::~CamInputBaseNibbler() = default;

CIImageRef CamInputBaseNibbler::resourceImage(const QString &name, const QString &type) {
    CFStringRef cfName = CFStringCreateWithCString(nullptr, name.toUtf8().constData(), kCFStringEncodingUTF8);
    CFStringRef cfType = CFStringCreateWithCString(nullptr, type.toUtf8().constData(), kCFStringEncodingUTF8);
    CFURLRef url = cfName && cfType ? CFBundleCopyResourceURL(CFBundleGetMainBundle(), cfName, cfType, nullptr) : nullptr;
    if (cfName) CFRelease(cfName);
    if (cfType) CFRelease(cfType);
    if (url == nullptr) return nullptr;
    char path[PATH_MAX];
    const bool ok = CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8 *>(path), sizeof path);
    CFRelease(url);
    if (!ok) return nullptr;
    QFile file(QString::fromUtf8(path));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaximumResourceBytes) return nullptr;
    const QByteArray bytes = file.readAll();
    CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(bytes.constData()), CFIndex(bytes.size()));
    if (data == nullptr) return nullptr;
    CGImageSourceRef source = CGImageSourceCreateWithData(data, nullptr);
    CFRelease(data);
    if (source == nullptr) return nullptr;
    CGImageRef image = CGImageSourceCreateImageAtIndex(source, 0, nullptr);
    CFRelease(source);
    if (image == nullptr) return nullptr;
    CIImageRef result = CIImage::imageWithCGImage(image);
    CGImageRelease(image);
    return result;
}

protocol_CamInputViewController *CamInputBaseNibbler::viewController() const {
    return dynamic_cast<protocol_CamInputViewController *>(nibblerController());
}

void CamInputBaseNibbler::applicationDidFinishLaunching(const NSNotification &notification) {
    if (protocol_CamInputViewController *controller = viewController())
        controller->applicationDidFinishLaunching(notification);
}

void CamInputBaseNibbler::applicationWillTerminate(const NSNotification &notification) {
    if (protocol_CamInputViewController *controller = viewController()) controller->applicationWillTerminate(notification);
}

void CamInputBaseNibbler::cameraTimerTick(QObject *sender) {
    protocol_CamInputViewController *controller = viewController();
    if (controller == nullptr) return;
    mFrameInputHostTime = CamInputFrame::currentFrameHostTimeStamp();
    controller->cameraTimerTick(sender);
}

CIImageRef CamInputBaseNibbler::cameraCIImage() {
    if (protocol_CamInputViewController *controller = viewController()) return controller->cameraCIImage();
    if (mResourceImage == nullptr) mResourceImage = resourceImage(QStringLiteral("cameraImage"), QStringLiteral("png"));
    return mResourceImage;
}

CamInputFrameRef CamInputBaseNibbler::cameraInputFrame() {
    return CamInputFrame::camInputFrameWithFrameImageFrameHostTimeStamp(cameraCIImage(), mFrameInputHostTime);
}

bool import_CamInputBaseNibbler() { return import_CamInputFrame(); }
