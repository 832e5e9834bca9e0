// The camera view's snapshots: the render buffer read back through the snapshot texture, the
// pixels copied at once, and the copy saved on a background serial queue as the next free
// "Lumora %04d" picture of the snapshot folder.
//
// The read-back runs on the main thread under the render buffer's lock; the copy is what
// crosses to the background queue, so the next snapshot (which renders into the same surface)
// never changes a picture still waiting to be written. The name is claimed by the quick-save
// writer's exclusive creation: an existing file is never replaced.
#include "NSUILumoraView.h"
#include "FramebufferViewportScope.h"

#include "LumoraRenderBuffer.h"
#include "LumoraRecorder.h"
#include "SnapViewWindowController.h"

#include <CocoaGL/NSOGLSharingContext.h>
#include <CocoaGraphics/NSBitmapImageRep_QuickSaveFile.h>
#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>
#include <CoreGraphics/CGBitmapContext.h>
#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGContext.h>
#include <CoreGraphics/CGDataProvider.h>
#include <CoreFoundation/CFData.h>
#include <Foundation/NSException.h>
#include <Foundation/NSObjCRuntime.h>
#include <OpenGL/gl.h>
#include <USecuritySandbox/USandboxFolderController.h>
#include <USecuritySandbox/USandboxUserFolder.h>
#include <dispatch/dispatch.h>

#include <QAction>
#include <QPointer>
#include <QVariant>

#include <cstring>

namespace {

std::atomic<int> sPendingSaves{0};

// One serial queue for every snapshot save, made once: snapshots are numbered in the order they
// were taken, and none waits on the frame loop.
dispatch_queue_t SnapshotSaveQueue() {
    static dispatch_queue_t queue = dispatch_queue_create("NSUILumoraView.snapshotSaveQueue", DISPATCH_QUEUE_SERIAL);
    return queue;
}

// The render buffer as the read-back texture's source for a scope, not owned: the source is
// cleared again at the end, so the texture never keeps a buffer that may go away.
class BorrowedSource {
public:
    BorrowedSource(CGImageRenderTexture &texture, LumoraRenderBuffer &buffer) : mTexture(texture) {
        mTexture.setSourceTexture(std::shared_ptr<protocol_NSOGLDynamicTexture>(std::shared_ptr<void>(), &buffer));
    }
    ~BorrowedSource() { mTexture.setSourceTexture(nullptr); }
    BorrowedSource(const BorrowedSource &) = delete;
    BorrowedSource &operator=(const BorrowedSource &) = delete;

private:
    CGImageRenderTexture &mTexture;
};

}  // namespace

int NSUILumoraView::pendingSnapshotSaves() { return sPendingSaves.load(); }

QImage NSUILumoraView::imageCopyOfCGImage(CGImageRef image) {
    if (image == nullptr) return {};
    const size_t width = CGImageGetWidth(image), height = CGImageGetHeight(image);
    if (width == 0 || height == 0 || width > 65535 || height > 65535) return {};
    QImage copy(int(width), int(height), QImage::Format_ARGB32_Premultiplied);
    if (copy.isNull()) return {};
    // The read-back's own layout (premultiplied BGRA, 8 bits a sample): its rows copied as
    // they are.
    const CGBitmapInfo info = CGImageGetBitmapInfo(image);
    const CGBitmapInfo alpha = info & kCGBitmapAlphaInfoMask, order = info & kCGBitmapByteOrderMask;
    if (CGImageGetBitsPerPixel(image) == 32 && CGImageGetBitsPerComponent(image) == 8 &&
        order == kCGBitmapByteOrder32Little && alpha == CGBitmapInfo(kCGImageAlphaPremultipliedFirst)) {
        CFDataRef data = CGDataProviderCopyData(CGImageGetDataProvider(image));
        const size_t rowBytes = CGImageGetBytesPerRow(image);
        if (data != nullptr && rowBytes >= width * 4 && size_t(CFDataGetLength(data)) >= rowBytes * (height - 1) + width * 4) {
            const uint8_t *bytes = CFDataGetBytePtr(data);
            for (size_t row = 0; row < height; ++row)
                std::memcpy(copy.scanLine(int(row)), bytes + row * rowBytes, width * 4);
            CFRelease(data);
            return copy;
        }
        if (data != nullptr) CFRelease(data);
    }
    copy.fill(Qt::transparent);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGContextRef context = CGBitmapContextCreate(copy.bits(), width, height, 8, size_t(copy.bytesPerLine()), space,
                                                 kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little);
    CGColorSpaceRelease(space);
    if (context == nullptr) return {};
    CGContextDrawImage(context, CGRectMake(0, 0, double(width), double(height)), image);
    CGContextRelease(context);
    return copy;
}

bool NSUILumoraView::snapCurrentFrameWithCompletion(const std::function<void(CGImageRef image)> &completion) {
    LumoraRenderBuffer *buffer = lumoraBuffer();
    const std::shared_ptr<CGImageRenderTexture> texture = mSnapshotTexture;
    if (buffer == nullptr || !texture) return false;
    const auto root = NSOGLSharingContext::rootSharingContext();
    if (!root) return false;
    bool called = false;
    const bool hadNone = CGLGetCurrentContext() == nullptr;
    {
        FramebufferViewportScope callerFramebuffer;
        buffer->lock();
        struct Unlock {
            LumoraRenderBuffer *buffer;
            ~Unlock() { buffer->unlock(); }
        } unlock{buffer};
        OpenGL::CGLContextState current(root.get());
        FramebufferViewportScope framebuffer;
        BorrowedSource source(*texture, *buffer);
        if (texture->sourceTexture() != nullptr) {
            glFinish();
            texture->renderToCGImageLockingSurfacePixels(true, [&](CGImageRef image) {
                called = true;
                if (completion) completion(image);
            });
        }
    }
    if (hadNone) CGLSetCurrentContext(nullptr);
    return called;
}

QImage NSUILumoraView::snapCurrentNSBitmapImageRep() {
    QImage copy;
    snapCurrentFrameWithCompletion([&](CGImageRef image) { copy = imageCopyOfCGImage(image); });
    return copy;
}

void NSUILumoraView::snapShotScene(QObject *) { snapShotSceneWithDefaultImageFormat(); }

void NSUILumoraView::snapShotSceneWithDefaultImageFormat() { snapShotSceneWithImageFormat(QuikSaveImageType_PNG); }

void NSUILumoraView::snapShotSceneWithImageFormat(int quickSaveImageType) {
    try {
        if (USandboxFriendlyQuickSaveFolder::sharedSnapshotFolder().isNull()) return;
        // The pixels are copied here, on the main thread, before anything is queued.
        QImage picture = snapCurrentNSBitmapImageRep();
        if (picture.isNull()) return;
        sPendingSaves.fetch_add(1);
        QPointer<NSUILumoraView> view(this);
        dispatch_async(SnapshotSaveQueue(),
                       [picture = std::move(picture), quickSaveImageType, view] {
                           const QString path = QuickSaveFile::saveToNextNumberedFileNameWithQuikSaveImageType(
                               picture, "Lumora %04d", quickSaveImageType);
                           if (!path.isNull()) {
                               dispatch_async(dispatch_get_main_queue(), [view, path] {
                                   if (view) view->snapshotOpen(path);
                                   sPendingSaves.fetch_sub(1);
                               });
                           } else {
                               sPendingSaves.fetch_sub(1);
                           }
                       });
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("NSUILumoraView::snapShotSceneWithImageFormat exception:%1").arg(exception.description()));
    }
}

bool NSUILumoraView::openSnapshotEnabled() const {
    QObject *item = outletMenuItemOpenSnapshot.data();
    if (item == nullptr) return true;
    if (auto *action = qobject_cast<QAction *>(item)) return action->isChecked();
    const QVariant checked = item->property("checked");
    return checked.isValid() ? checked.toBool() : item->property("intValue").toInt() != 0;
}

void NSUILumoraView::snapshotOpen(const QString &path) {
    if (path.isNull() || !openSnapshotEnabled()) return;
    SnapViewWindowController::snapViewForImagePath(path);
}

void NSUILumoraView::toggleOpenSnapAction(QObject *) {
    QObject *item = outletMenuItemOpenSnapshot.data();
    if (item == nullptr) return;
    if (auto *action = qobject_cast<QAction *>(item)) {
        action->setChecked(!action->isChecked());
        return;
    }
    if (item->property("checked").isValid()) item->setProperty("checked", !item->property("checked").toBool());
}

void NSUILumoraView::movieRecordingRecordCurrentFrame() {
    auto *recorder = qobject_cast<QMovieRecorderController *>(outletLumoraRecorder.data());
    LumoraRenderBuffer *buffer = lumoraBuffer();
    const std::shared_ptr<CGImageRenderTexture> texture = mRecordingTexture;
    if (recorder == nullptr || buffer == nullptr || !texture) return;
    const auto root = NSOGLSharingContext::rootSharingContext();
    if (!root) return;
    const bool hadNone = CGLGetCurrentContext() == nullptr;
    {
        FramebufferViewportScope callerFramebuffer;
        OpenGL::CGLContextState current(root.get());
        FramebufferViewportScope framebuffer;
        buffer->lock();
        struct Unlock {
            LumoraRenderBuffer *buffer;
            ~Unlock() { buffer->unlock(); }
        } unlock{buffer};
        glFinish();
        BorrowedSource source(*texture, *buffer);
        if (texture->sourceTexture() != nullptr) {
            texture->renderToCGImageLockingSurfacePixels(false, [&](CGImageRef image) {
                const CamInputFrameRef frame = buffer->inputCameraFrame();
                const uint64_t timeStamp = frame ? frame->frameHostTimeStamp() : 0;
                recorder->addFrameImageRef(image, recorder->getFrameDurationNow(), timeStamp);
            });
        }
    }
    if (hadNone) CGLSetCurrentContext(nullptr);
}
