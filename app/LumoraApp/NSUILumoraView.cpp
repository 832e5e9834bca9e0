#include "NSUILumoraView.h"
#include "FramebufferViewportScope.h"

#include "LumBroadcastControl.h"
#include "LumoraControlDefaults.h"
#include "LumoraIOSurfaceFBO.h"
#include "LumoraRecorder.h"
#include "NSOGLTextureLayerPBuffer.h"
#include "QActualFPSController.h"
#include "LumoraRenderBuffer.h"
#include "QTZInputController.h"
#include "UCoreFnSampler.h"

#include <UIParamMapping/NSUIParamMapping.h>

#include <CocoaGL/LumoraShaderSourceCode.h>
#include <CocoaGL/NSOGLSharingContext.h>
#include <CocoaGL/NSOGLTextureBase.h>
#include <CoreFoundation/CFData.h>
#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>

#include <Foundation/NSException.h>
#include <Foundation/NSObjCRuntime.h>
#include <OpenGL/gl.h>

#include <QAbstractButton>
#include <QAction>
#include <QMetaMethod>

#include <chrono>
#include <cmath>

NS_REGISTER_CLASS(NSUILumoraView);

using namespace LumoraControlDefaults;

namespace {

std::atomic<NSUILumoraView *> sSharedView{nullptr};

// The object when it has the invokable method of that signature; null otherwise.
QObject *Implementing(QObject *object, const char *signature) {
    return object != nullptr && object->metaObject()->indexOfMethod(signature) >= 0 ? object : nullptr;
}

// Sends a notification method ("applicationDidFinishLaunching") to an outlet that has it.
void Forward(QObject *object, const char *method, const NSNotification &notification) {
    const QByteArray signature = QByteArray(method) + "(NSNotification)";
    if (QObject *target = Implementing(object, signature.constData()))
        QMetaObject::invokeMethod(target, method, Qt::DirectConnection, Q_ARG(NSNotification, notification));
}

// Sends a method with one object argument ("broadcastButtonChanged") to an outlet that has it.
bool SendObject(QObject *object, const char *method, QObject *argument) {
    const QByteArray signature = QByteArray(method) + "(QObject*)";
    QObject *target = Implementing(object, signature.constData());
    return target != nullptr &&
           QMetaObject::invokeMethod(target, method, Qt::DirectConnection, Q_ARG(QObject *, argument));
}

// Sends a method without arguments ("stopBroadcasting") to an outlet that has it.
bool Send(QObject *object, const char *method) {
    const QByteArray signature = QByteArray(method) + "()";
    QObject *target = Implementing(object, signature.constData());
    return target != nullptr && QMetaObject::invokeMethod(target, method, Qt::DirectConnection);
}

// A boolean answer of a method without arguments ("isRecording"); false without one.
bool AskBool(QObject *object, const char *method) {
    const QByteArray signature = QByteArray(method) + "()";
    QObject *target = Implementing(object, signature.constData());
    bool answer = false;
    if (target != nullptr)
        QMetaObject::invokeMethod(target, method, Qt::DirectConnection, Q_RETURN_ARG(bool, answer));
    return answer;
}

// Seconds since the reference date (the first instant of 2001, UTC).
double SecondsSinceReferenceDate() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count() - 978307200.0;
}

// The render buffer's own lock for a scope.
class RenderBufferLock {
public:
    explicit RenderBufferLock(LumoraRenderBuffer &buffer) : mBuffer(buffer) { mBuffer.lock(); }
    ~RenderBufferLock() { mBuffer.unlock(); }
    RenderBufferLock(const RenderBufferLock &) = delete;
    RenderBufferLock &operator=(const RenderBufferLock &) = delete;

private:
    LumoraRenderBuffer &mBuffer;
};

// Clears the in-progress flag when the frame step is left, whatever way.
class InProgressScope {
public:
    explicit InProgressScope(std::atomic<bool> &flag) : mFlag(flag) {}
    ~InProgressScope() { mFlag.store(false, std::memory_order_release); }
    InProgressScope(const InProgressScope &) = delete;
    InProgressScope &operator=(const InProgressScope &) = delete;

private:
    std::atomic<bool> &mFlag;
};

void LogException(const char *method, const QString &description) {
    NSLog(QStringLiteral("NSUILumoraView::%1 exception:%2").arg(QLatin1String(method), description));
}

}  // namespace

// ---- Life cycle ---------------------------------------------------------------------------------

NSUILumoraView::NSUILumoraView(QWidget *parent) : NSUIOGLOrthoUnitView(parent) {
    sSharedView.store(this);
    mRenderQueue = dispatch_queue_create("NSUILumoraView.renderQueue", DISPATCH_QUEUE_SERIAL);
    mWorkerQueue = dispatch_queue_create("NSUILumoraView.workerQueue", DISPATCH_QUEUE_SERIAL);
    // The base made the context before this class was there: its hook runs now.
    if (renderContext() != nullptr) NSUILumoraView::initializeGLContext();
}

NSUILumoraView::~NSUILumoraView() {
    delete mDownload.data();  // its thread ends before the view's fields go
    stopRenderTimer();
    stopDisplayLinkDrawing();
    if (mObservedSettings) NSKeyValueCoding::removeObserver(mObservedSettings.data(), this, QStringLiteral("frameRate"));
    if (mRenderQueue != nullptr) dispatch_release(mRenderQueue);
    if (mWorkerQueue != nullptr) dispatch_release(mWorkerQueue);
    {
        std::lock_guard<std::recursive_mutex> composition(mCompositionLock);
        if (LumoraRenderBuffer *buffer = lumoraBuffer()) buffer->closeComposition();
    }
    NSUILumoraView *self = this;
    sSharedView.compare_exchange_strong(self, nullptr);
}

NSUILumoraView *NSUILumoraView::sharedSingleton() { return sSharedView.load(); }

void NSUILumoraView::awakeFromNib() {
    try {
        QObject *settings = outletCompressionSettings.data();
        if (settings != nullptr) {
            NSKeyValueCoding::addObserver(settings, this, QStringLiteral("frameRate"), 0, settings);
            mObservedSettings = settings;
        }
        dragAndDropRegisterUserInterface();
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("NSUILumoraView::awakeFromNib exception: %1\n").arg(exception.description()));
    }
}

void NSUILumoraView::observeValueForKeyPath(const QString &keyPath, QObject *object, const QVariantMap &,
                                            void *) {
    if (object != nullptr && object == outletCompressionSettings.data() && keyPath == QLatin1String("frameRate"))
        renderSceneTimerInitialize();
}

void NSUILumoraView::initializeGLContext() {
    NSUIOGLOrthoUnitView::initializeGLContext();
    const auto context = glContext();
    if (!context) return;
    // A surface's opacity is the X window's own here: an X server without a compositor shows
    // no window through another, so there is no transparent surface to ask for.
    // The context is left current on no thread: its primary (the one EGL context that draws
    // into the window) stays free for the display-link thread.
    const bool hadNone = CGLGetCurrentContext() == nullptr;
    {
        OpenGL::CGLContextStateLock current(context->CGLContextObj());
        OpenGL::DiscardGLErrors();
    }
    if (hadNone) CGLSetCurrentContext(nullptr);
}

void NSUILumoraView::applicationDidFinishLaunching(const NSNotification &notification) {
    bookmarksLinkUserInterfaceOnce();
    if (QObject *item = outletMenuItemOpenSnapshot.data()) {
        const int state = loadInteger("outletMenuItemOpenSnapshot", 1);
        if (auto *action = qobject_cast<QAction *>(item)) action->setChecked(state != 0);
        else setIntValue(item, state);
    }
    if (!isCompositionOpenPrivate()) {
        loadPopUpTitle(outletEffectsPopupButton.data(), "outletEffectsPopupButton", QStringLiteral("iSight"));
        loadPopUpTitle(outletShutterPopupButton.data(), "outletShutterPopupButton", QStringLiteral("Default"));
    }
    if (QObject *control = outletCameraRebroadcastControl.data()) {
        if (auto *udp = qobject_cast<NSUICamBroadcastControlUDP *>(control))
            if (QAbstractButton *button = udp->outletRebroadcastButton()) button->setVisible(true);
        SendObject(control, "broadcastButtonChanged", this);
    }
    protocol_IOSurfaceSharingController *sharing = surfaceSharing();
    sharing->setSurfaceSharingDelegate(this);
    // The texture class the shared surfaces are made of: without it no frame goes out.
    LumoraIOSurfaceFBO::registerTextureClass();
    sharing->publishServerWithTextureClass(QString::fromLatin1(LumoraIOSurfaceFBO::kTextureClassName));
    // The application's shaders are compiled into the kit (LumoraShaderSourceCode).
    mRecordingTexture = CGImageRenderTexture::textureWithShaderSourceClass(
        LumoraShaderSourceCode::sourceCodeClass(), "CGImageRenderTexture_nop_BGRA", kFrameWidth, kFrameHeight);
    mSnapshotTexture = CGImageRenderTexture::textureWithShaderSourceClass(
        LumoraShaderSourceCode::sourceCodeClass(), "CGImageRenderTexture_nop_BGRA", kFrameWidth, kFrameHeight);
    mInputStackRenderer = CIContextFBORenderer::rendererWithWidthPixels(kFrameWidth, kFrameHeight);
    renderSceneTimerInitialize();
    Forward(outletCameraRebroadcastControl.data(), "applicationDidFinishLaunching", notification);
    Forward(outletShutterCountDown.data(), "applicationDidFinishLaunching", notification);
    Forward(outletInterpolator.data(), "applicationDidFinishLaunching", notification);
}

void NSUILumoraView::applicationWillTerminate(const NSNotification &notification) {
    Forward(outletInterpolator.data(), "applicationWillTerminate", notification);
    surfaceSharing()->applicationWillTerminate(notification);
    stopRenderTimer();
    stopDisplayLinkDrawing();
    if (auto *control = qobject_cast<NSUICamBroadcastControlUDP *>(outletCameraRebroadcastControl.data()))
        control->stopBroadcasting();
    else
        Send(outletCameraRebroadcastControl.data(), "stopBroadcasting");
    Forward(outletShutterCountDown.data(), "applicationWillTerminate", notification);
    Forward(outletCameraRebroadcastControl.data(), "applicationWillTerminate", notification);
    savePopUpTitle(outletEffectsPopupButton.data(), "outletEffectsPopupButton");
    savePopUpTitle(outletShutterPopupButton.data(), "outletShutterPopupButton");
    if (QObject *item = outletMenuItemOpenSnapshot.data()) {
        const auto *action = qobject_cast<QAction *>(item);
        saveInteger("outletMenuItemOpenSnapshot", action != nullptr ? (action->isChecked() ? 1 : 0) : intValue(item));
    }
    // The frame buffers go under the composition lock: the display link never sees them half gone.
    std::lock_guard<std::recursive_mutex> composition(mCompositionLock);
    mRecordingTexture.reset();
    mSnapshotTexture.reset();
    mInputStackRenderer.reset();
}

// ---- Outlets ------------------------------------------------------------------------------------

LumoraRenderBuffer *NSUILumoraView::lumoraBuffer() const {
    return qobject_cast<LumoraRenderBuffer *>(outletLumoraBuffer.data());
}

protocol_IOSurfaceSharingController *NSUILumoraView::surfaceSharing() {
    if (auto *sharing = dynamic_cast<protocol_IOSurfaceSharingController *>(outletIOSurfaceSharing.data()))
        return sharing;
    return &mSharingController;
}

protocol_NSUIDisplayLinkViewControllerProtocol *NSUILumoraView::displayLinkController() const {
    return dynamic_cast<protocol_NSUIDisplayLinkViewControllerProtocol *>(outletDisplayLinkViewController.data());
}

void NSUILumoraView::stopDisplayLinkDrawing() {
    protocol_NSUIDisplayLinkViewControllerProtocol *display = displayLinkController();
    if (display == nullptr || !display->isMasterDisplayLinkViewDelegate(this)) return;
    display->stopDisplayLinkDelegate(this);
    display->setMasterDisplayLinkViewDelegate(nullptr);
    // A refresh that took this view as its master before may still be drawing it.
    if (NSUIDisplayLinkViewController *controller = display->displayLinkObject()) controller->waitForRefreshInProgress();
}

bool NSUILumoraView::isBroadcasting() const {
    QObject *control = outletCameraRebroadcastControl.data();
    if (auto *udp = qobject_cast<NSUICamBroadcastControlUDP *>(control)) return udp->isBroadcasting();
    return AskBool(control, "isBroadcasting");
}

// ---- Frame loop ---------------------------------------------------------------------------------

void NSUILumoraView::stopRenderTimer() {
    if (mRenderTimer) mRenderTimer->invalidate();
    mRenderTimer.reset();
}

void NSUILumoraView::renderSceneTimerInitialize() {
    const double frameRate =
        outletCompressionSettings ? outletCompressionSettings->property("frameRate").toDouble() : 0.0;
    stopRenderTimer();
    if (std::isfinite(frameRate) && frameRate > 0)
        mRenderTimer = category_NSOGLRenderTimer::renderTimerWithFPS(frameRate * 4.0, this, "renderSceneDoubleTimer");
    setRenderFrameAvailable(false);
    setRenderFrameInProgress(false);
    if (protocol_NSUIDisplayLinkViewControllerProtocol *display = displayLinkController()) {
        if (!display->isMasterDisplayLinkViewDelegate(this)) display->setMasterDisplayLinkViewDelegate(this);
        display->startDisplayLinkDelegate(this);
    }
}

void NSUILumoraView::renderSceneDoubleTimer() {
    // A timer's action is called by the event loop: nothing may pass out of it.
    try {
        UCoreFnStageTimer timing(kRenderTimer);
        renderCameraInputOnMainThread(mRenderTimer.get());
    } catch (const NSException &exception) {
        LogException("renderSceneDoubleTimer", exception.description());
    } catch (const std::exception &exception) {
        LogException("renderSceneDoubleTimer", QString::fromUtf8(exception.what()));
    } catch (...) {
        LogException("renderSceneDoubleTimer", QStringLiteral("unknown exception"));
    }
}

void NSUILumoraView::renderCameraInputOnMainThread(QObject *) {
    bool idle = false;
    if (!mRenderFrameInProgress.compare_exchange_strong(idle, true, std::memory_order_acq_rel)) return;
    InProgressScope inProgress(mRenderFrameInProgress);
    CamInputFrameRef frame = captureInputFrameStack();
    // A frame without a picture never reaches the input stack: no frame is derived from it.
    if (!frame || !frame->frameImage()) return;
    renderCameraInputAndRelease(std::move(frame));
}

CamInputFrameRef NSUILumoraView::captureInputFrameStack() {
    UCoreFnStageTimer timing(kRenderInputFrame);
    auto *input = qobject_cast<QTZInputController *>(outletInputController.data());
    if (input == nullptr) return nullptr;
    input->cameraUpdateTimer(this);
    return input->pullCameraImageThroughTintMaskQCFilter();
}

void NSUILumoraView::renderCameraInputAndRelease(CamInputFrameRef frame) {
    if (!frame) return;
    std::lock_guard<std::recursive_mutex> composition(mCompositionLock);
    {
        InProgressScope inProgress(mRenderFrameInProgress);
        renderInputFrameStack(frame);
        renderLumoraBufferSync();
        if (auto *fps = qobject_cast<QActualFPSController *>(outletActualFPSController.data())) fps->sampleNow();
        else Send(outletActualFPSController.data(), "sampleNow");
    }
    frame.reset();
    surfaceSharing()->broadcastNextSurface(isBroadcasting(), true);
    auto *recorder = qobject_cast<QMovieRecorderController *>(outletLumoraRecorder.data());
    if (recorder != nullptr ? recorder->isRecording() : AskBool(outletLumoraRecorder.data(), "isRecording"))
        renderMovieRecording();
}

void NSUILumoraView::renderInputFrameStack(const CamInputFrameRef &frame) {
    UCoreFnStageTimer timing(kRenderInputStack);
    const std::shared_ptr<CIContextFBORenderer> renderer = mInputStackRenderer;
    if (!frame || !renderer) return;
    const CIImageRef image = frame->frameImage();
    if (!image) return;
    renderer->renderToSurfaceWithBlock([&](const CIContextRef &context) {
        if (!context) return true;
        const CIImageRef flipped = CIContextFBORenderer::imageFlippedUpsideDown(image);
        if (flipped) context->drawImage(flipped, renderer->rendererBounds(), flipped->extent());
        return true;
    });
    CGImageRef surfaceImage = renderer->createSurfaceCGImageByLockingSurface();
    if (surfaceImage == nullptr) return;
    CamInputFrameRef stacked = CamInputFrame::camInputFrameWithFrameImageRefSourceCamInputFrame(surfaceImage, frame);
    CGImageRelease(surfaceImage);
    if (LumoraRenderBuffer *buffer = lumoraBuffer(); buffer != nullptr && stacked) buffer->setInputCameraFrame(stacked);
}

void NSUILumoraView::renderLumoraBufferSync() {
    UCoreFnStageTimer timing(kRenderQuartzComposition);
    const double time = renderTime();
    LumoraRenderBuffer *buffer = lumoraBuffer();
    if (buffer == nullptr) return;
    // The render buffer renders on its own context and copies into a texture of the root
    // sharing context; the view's context is the display link's and is never used here.
    const auto root = NSOGLSharingContext::rootSharingContext();
    if (!root) return;
    const bool hadNone = CGLGetCurrentContext() == nullptr;
    {
        OpenGL::CGLContextStateLock current(root.get());
        FramebufferViewportScope framebuffer;
        {
            RenderBufferLock locked(*buffer);
            buffer->textureUpdateWithTime(time);
        }
        // The texture is complete before another thread's context draws it.
        glFinish();
    }
    if (hadNone) CGLSetCurrentContext(nullptr);
    setRenderFrameAvailable(true);
}

void NSUILumoraView::renderMovieRecording() {
    UCoreFnStageTimer timing(kRenderMovieFrame);
    FramebufferViewportScope framebuffer;
    movieRecordingRecordCurrentFrame();
}

double NSUILumoraView::renderTime() {
    const double now = SecondsSinceReferenceDate();
    if (mStartTime < 0) {
        mStartTime = now;
        return 0.0;
    }
    return now - mStartTime;
}

void NSUILumoraView::surfaceSharingRenderSurface(protocol_IOSurfaceSharingController *,
                                                 protocol_IOSurfaceSharingSurface *surface) {
    UCoreFnStageTimer timing(kRenderSharedImage);
    LumoraRenderBuffer *buffer = lumoraBuffer();
    if (surface == nullptr || buffer == nullptr) return;
    OpenGL::CGLContextState current;
    FramebufferViewportScope framebuffer;
    RenderBufferLock locked(*buffer);
    surface->renderScene();
}

// ---- Composition access -------------------------------------------------------------------------

void NSUILumoraView::beginUpdateCompositionSequence() {
    Send(outletActualFPSController.data(), "endSampling");
    mCompositionLock.lock();
    if (LumoraRenderBuffer *buffer = lumoraBuffer()) buffer->lock();
}

void NSUILumoraView::endUpdateCompositionSequence() {
    // The locks are given back on the main thread, after the work already queued there. The
    // buffer was locked by begin (if it is gone, its lock went with it).
    QPointer<NSUILumoraView> view(this);
    QPointer<LumoraRenderBuffer> buffer(lumoraBuffer());
    dispatch_async(dispatch_get_main_queue(), [view, buffer] {
        if (buffer) buffer->unlock();
        if (!view) return;
        view->mCompositionLock.unlock();
        if (UCoreFnSampler *sampler = UCoreFnSampler::sharedFnSampler()) sampler->resetAction(view.data());
    });
}

void NSUILumoraView::openCompositionPrivateData(const QByteArray &data) {
    LumoraRenderBuffer *buffer = lumoraBuffer();
    if (buffer == nullptr) return;
    CFDataRef bytes = CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(data.constData()), CFIndex(data.size()));
    if (bytes == nullptr) return;
    {
        std::lock_guard<std::recursive_mutex> composition(mCompositionLock);
        buffer->openCompositionData(bytes);
    }
    CFRelease(bytes);
}

void NSUILumoraView::closeCompositionPrivate() {
    LumoraRenderBuffer *buffer = lumoraBuffer();
    if (buffer == nullptr) return;
    std::lock_guard<std::recursive_mutex> composition(mCompositionLock);
    RenderBufferLock locked(*buffer);
    buffer->closeComposition();
}

bool NSUILumoraView::isCompositionOpenPrivate() const {
    const LumoraRenderBuffer *buffer = lumoraBuffer();
    return buffer != nullptr && buffer->isCompositionOpen();
}

// ---- Drawing ------------------------------------------------------------------------------------

void NSUILumoraView::renderSceneBegin() {
    if (renderContext() != nullptr) {
        CGLSetCurrentContext(renderContext());
        const CGRect bounds = renderBounds();
        const double width = std::trunc(bounds.size.width), height = std::trunc(bounds.size.height);
        if (width >= 1 && height >= 1 && width <= 65535 && height <= 65535)
            glViewport(0, 0, GLsizei(width), GLsizei(height));
    }
    NSUIOGLOrthoUnitView::renderSceneBegin();
}

void NSUILumoraView::renderSceneSelf() {
    // Whatever the drawing throws stays here: the scene is still ended (the unit cube's
    // matrices popped, the buffer swapped) and the locks of the callers given back.
    try {
        LumoraRenderBuffer *buffer = lumoraBuffer();
        if (buffer == nullptr) return;
        const NSOGLDrawableRect rect = renderCoordsFrom(renderBounds());
        RenderBufferLock locked(*buffer);
        const NSOGLBorrowedRendererTexture texture(*buffer);
        renderDrawQuad(rect, &texture);
    } catch (const NSException &exception) {
        LogException("renderSceneSelf", exception.description());
    } catch (const std::exception &exception) {
        LogException("renderSceneSelf", QString::fromUtf8(exception.what()));
    }
}

bool import_NSUILumoraView() {
    return import_NSUIOGLOrthoUnitView() && import_category_NSOGLRenderTimer() && import_CIContextFBORenderer() &&
           import_CamInputFrame() && import_UCoreFnSampler() && import_LumoraControlDefaults() &&
           import_LumoraIOSurfaceFBO();
}
