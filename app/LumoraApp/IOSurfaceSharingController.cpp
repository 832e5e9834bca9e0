#include <LumoraApp/IOSurfaceSharingController.h>

#include <CocoaGL/NSOGLSharingContext.h>
#include <CocoaGL/NSOGLTextureIOSurface.h>
#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>
#include <FrameSharing/Mach/IOSurfaceIPC.h>
#include <FrameSharing/Outputs/IOSurfaceSharingServerOutput.h>
#include <FrameSharing/Window/IOSurfaceSharingNSWindowServer.h>

#include <CoreFoundation/CoreFoundation.h>
#include <Foundation/NSObjCRuntime.h>

#include <QHash>

NS_REGISTER_CLASS(IOSurfaceSharingController);

namespace {

std::mutex &ClassesLock() {
    static std::mutex lock;
    return lock;
}

QHash<QString, std::function<IOSurfaceSharingTextureRef(IOSurfaceRef)>> &Classes() {
    static QHash<QString, std::function<IOSurfaceSharingTextureRef(IOSurfaceRef)>> classes;
    return classes;
}

}  // namespace

// ---- IOSurfaceServerTextureQueue --------------------------------------------------------------

void IOSurfaceServerTextureQueue::registerTextureClass(
    const QString &name, std::function<IOSurfaceSharingTextureRef(IOSurfaceRef)> textureWithIOSurface) {
    std::lock_guard<std::mutex> lock(ClassesLock());
    Classes().insert(name, std::move(textureWithIOSurface));
}

IOSurfaceSharingTextureClass IOSurfaceServerTextureQueue::textureClassNamed(const QString &name) {
    std::lock_guard<std::mutex> lock(ClassesLock());
    return IOSurfaceSharingTextureClass{name, Classes().value(name)};
}

IOSurfaceServerTextureQueue::IOSurfaceServerTextureQueue(const IOSurfaceSharingTextureClass &textureClass,
                                                         uint32_t queueCount, float width, float height,
                                                         uint32_t surfacePixelFormat)
    : mQueueCount(queueCount), mTextureClass(textureClass), mSurfaceWidth(width), mSurfaceHeight(height),
      mSurfacePixelFormat(surfacePixelFormat) {
    if (queueCount == 0) return;
    mQueueArray.reserve(queueCount);
    const std::shared_ptr<NSOpenGLContext> root = NSOGLSharingContext::rootSharingContext();
    createQueueSurfacesWithSharedOpenGlContext(root.get());
}

IOSurfaceServerTextureQueue::~IOSurfaceServerTextureQueue() {
    std::vector<IOSurfaceSharingTextureRef> textures;
    {
        std::lock_guard<std::mutex> lock(mQueueLock);
        textures.swap(mQueueArray);
    }
    if (textures.empty()) return;
    // The textures give their GL objects up on the context they were made on.
    const std::shared_ptr<NSOpenGLContext> root = NSOGLSharingContext::rootSharingContext();
    const bool hadNone = CGLGetCurrentContext() == nullptr;
    {
        OpenGL::CGLContextState current(root.get());
        textures.clear();
    }
    if (hadNone) CGLSetCurrentContext(nullptr);
}

std::unique_ptr<IOSurfaceServerTextureQueue> IOSurfaceServerTextureQueue::doubleBufferedQueueWithTextureClass(
    const IOSurfaceSharingTextureClass &textureClass, float width, float height, uint32_t surfacePixelFormat) {
    return std::make_unique<IOSurfaceServerTextureQueue>(textureClass, 2, width, height, surfacePixelFormat);
}

std::unique_ptr<IOSurfaceServerTextureQueue> IOSurfaceServerTextureQueue::bufferedOutputQueueWithTextureClass(
    const IOSurfaceSharingTextureClass &textureClass, float width, float height, uint32_t surfacePixelFormat) {
    return std::make_unique<IOSurfaceServerTextureQueue>(textureClass, 3, width, height, surfacePixelFormat);
}

void IOSurfaceServerTextureQueue::createQueueSurfacesWithSharedOpenGlContext(NSOpenGLContext *context) {
    for (uint32_t i = 0; i < mQueueCount; ++i) {
        IOSurfaceRef surface = IOSurfaceIPC::globalSurfaceWithSizePixels(mSurfaceWidth, mSurfaceHeight,
                                                                         mSurfacePixelFormat);
        if (surface == nullptr) continue;
        if (mTextureClass.answersTextureWithIOSurface()) {
            const bool hadNone = CGLGetCurrentContext() == nullptr;
            {
                OpenGL::CGLContextState current(context);
                IOSurfaceSharingTextureRef texture = mTextureClass.textureWithIOSurface(surface);
                // Appended, not put at the slot's index: a slot left out before it leaves no gap.
                if (texture != nullptr) {
                    std::lock_guard<std::mutex> lock(mQueueLock);
                    mQueueArray.push_back(std::move(texture));
                }
            }
            if (hadNone) CGLSetCurrentContext(nullptr);
        }
        CFRelease(surface);
    }
}

IOSurfaceSharingTextureRef IOSurfaceServerTextureQueue::textureWithIndex(uint32_t index) const {
    std::lock_guard<std::mutex> lock(mQueueLock);
    if (mQueueArray.empty()) return nullptr;
    return mQueueArray[index % mQueueArray.size()];
}

std::vector<IOSurfaceSharingTextureRef> IOSurfaceServerTextureQueue::surfaceTextures() const {
    std::lock_guard<std::mutex> lock(mQueueLock);
    return mQueueArray;
}

size_t IOSurfaceServerTextureQueue::textureCount() const {
    std::lock_guard<std::mutex> lock(mQueueLock);
    return mQueueArray.size();
}

// ---- IOSurfaceSharingController ---------------------------------------------------------------

IOSurfaceSharingController::IOSurfaceSharingController(QObject *parent)
    : QObject(parent), mServerOutputs(IOSurfaceSharingServerOutputSet::serverOutputSet()) {}

IOSurfaceSharingController::~IOSurfaceSharingController() {
    mServerOutputs.reset();
    mSurfaceTextures.reset();
}

bool IOSurfaceSharingController::publishServerWithTextureClass(const QString &textureClassName) {
    return publishServerWithTextureClass(IOSurfaceServerTextureQueue::textureClassNamed(textureClassName));
}

bool IOSurfaceSharingController::publishServerWithTextureClass(const IOSurfaceSharingTextureClass &textureClass) {
    if (mPublished) return mPublishedConnected;
    mPublished = true;
    mSurfaceTextures = IOSurfaceServerTextureQueue::bufferedOutputQueueWithTextureClass(
        textureClass, kSurfaceWidth, kSurfaceHeight, kSurfacePixelFormat);
    if (mServerOutputs == nullptr) return false;
    const QString service = QString::fromLatin1(kServiceName);
    mServerOutputs->addServerOutputWithConnectionID(service);
    mServerOutputs->addServerOutputWithConnectionID(QVariant::fromValue(uint32_t(kUDPPortNumber)));
    mServerOutputs->addServerOutputWithConnectionID(
        QVariant::fromValue(IOSurfaceSharingConnectionID(service, uint32_t(kUDPPortNumber))));
    mPublishedConnected = mServerOutputs->outputConnect();
    return mPublishedConnected;
}

bool IOSurfaceSharingController::broadcastNextSurface(bool broadcast, bool render) {
    // The user's rebroadcast switch: off, the frame stays in this process.
    if (!broadcast) return false;
    const IOSurfaceSharingTextureRef texture =
        mSurfaceTextures != nullptr ? mSurfaceTextures->textureWithIndex(mNextSurfaceIndex) : nullptr;
    if (render) delegatedRenderSurface(texture);
    if (mServerOutputs == nullptr || texture == nullptr) return false;
    IOSurfaceRef surface = texture->surfaceCopy();
    if (surface == nullptr) return false;
    mServerOutputs->broadcastSurface(surface);
    mNextSurfaceIndex += 1;
    CFRelease(surface);
    return true;
}

void IOSurfaceSharingController::applicationWillTerminate(const NSNotification &) {
    if (mServerOutputs != nullptr) mServerOutputs->outputDisconnect();
}

void IOSurfaceSharingController::delegatedRenderSurface(const IOSurfaceSharingTextureRef &texture) {
    if (mDelegate == nullptr) return;
    mDelegate->surfaceSharingRenderSurface(this, dynamic_cast<protocol_IOSurfaceSharingSurface *>(texture.get()));
}

bool import_IOSurfaceSharingController() {
    return import_IOSurfaceSharingServerOutputMachMessage() && import_IOSurfaceSharingServerOutputNetworkUDP() &&
           import_IOSurfaceSharingNSWindowServer();
}
