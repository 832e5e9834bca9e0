#include "LumoraRenderBuffer.h"

#include <CocoaGL/NSOGLSharingContext.h>
#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>
#include <Foundation/NSException.h>
#include <OpenGL/glext.h>

#include <QFile>

#include <exception>
#include <utility>

namespace {

constexpr char kInputEffectAmount[] = "inputEffectAmount";
constexpr char kInputEffectTime[] = "inputEffectTime";
constexpr char kInputEffectFrequency[] = "advancedInputEffectFrequency";
constexpr char kInputEffectTex1DY[] = "advancedInputEffectTexture1DY";
constexpr char kInputEffectTex1DYAmount[] = "advancedInputEffectTexture1DYAmount";
constexpr char kInputEffectTex1DX[] = "advancedInputEffectTexture1DX";
constexpr char kInputEffectTex1DXAmount[] = "advancedInputEffectTexture1DXAmount";
constexpr char kCameraImage[] = "cameraImage";

// The largest composition file read (the engine's own bound).
constexpr qint64 kMaximumCompositionBytes = 64 * 1024 * 1024;

// The text of a caught exception for the log lines.
QString Describe(const std::exception &exception) {
    if (const auto *ns = dynamic_cast<const NSException *>(&exception)) return ns->description();
    return QString::fromUtf8(exception.what());
}

void LogException(const char *place, const std::exception &exception) {
    NSLog(QStringLiteral("LumoraRenderBuffer::%1 exception:%2\n").arg(QLatin1String(place), Describe(exception)));
}

// A number's float value: 0 for nil and for what holds no number.
float FloatValue(const QVariant &value) {
    if (NSKeyValueCoding::isNil(value)) return 0.0f;
    bool ok = false;
    const double number = value.toDouble(&ok);
    return ok ? float(number) : 0.0f;
}

CIImageRef ImageOf(CGImageRef image) { return image != nullptr ? CIImage::imageWithCGImage(image) : nullptr; }

}  // namespace

LumoraRenderBuffer::LumoraRenderBuffer(QObject *parent) : NSObject(parent) {
    mInitialized = initWithTextureTarget(GL_TEXTURE_RECTANGLE_ARB, kBufferWidth, kBufferHeight);
    // The composition pass clears the buffer; the base's clearing stays off.
    setRendererClearDrawable(false);
    mInputEffectTex1DXAmountNormal = 0.5f;
    mInputEffectTex1DYAmountNormal = 0.5f;
}

LumoraRenderBuffer::~LumoraRenderBuffer() {
    closeComposition();
    mCameraLayerTexture.reset();
    setInputCameraFrame(nullptr);
    setInputCameraImage(nullptr);
    setInputCameraImageRef(nullptr);
    mInputEffectTex1DXAmountNormal = 0.0f;
    mInputEffectTex1DYAmountNormal = 0.0f;
    setMouseEvent(nullptr);
}

void LumoraRenderBuffer::awakeFromNib() { mSharedCameraBufferNumber = 0; }

// ---- The composition ---------------------------------------------------------------------------

void LumoraRenderBuffer::openCompositionPath(const std::string &path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaximumCompositionBytes) {
        NSLog(QStringLiteral("LumoraRenderBuffer::openCompositionPath cannot read %1\n").arg(file.fileName()));
        return;
    }
    const QByteArray bytes = file.readAll();
    CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(bytes.constData()), CFIndex(bytes.size()));
    openCompositionData(data);
    if (data != nullptr) CFRelease(data);
}

void LumoraRenderBuffer::openCompositionData(CFDataRef data) {
    if (mCameraLayerTexture == nullptr) {
        const OpenGL::CGLContextStateLock scope(NSOGLSharingContext::rootSharingContext().get());
        auto layer = std::make_shared<NSOGLQuartzTextureLayer>();
        if (layer->initWithTextureTarget(GL_TEXTURE_RECTANGLE_ARB, kBufferWidth, kBufferHeight))
            mCameraLayerTexture = std::move(layer);
    }
    const std::shared_ptr<NSOGLQuartzTextureLayer> layer = mCameraLayerTexture;
    if (layer == nullptr) return;
    try {
        // The engine answers data that is no composition with null, not an exception: it is
        // reported the same way, and the composition of before stays.
        std::string error;
        QCCompositionRef composition = data != nullptr ? QCComposition::compositionWithData(data, &error) : nullptr;
        if (composition == nullptr)
            NSException::raise(NSInvalidArgumentException,
                               QStringLiteral("the data does not open as a composition: %1")
                                   .arg(QString::fromStdString(data != nullptr ? error : "no data")));
        if (!layer->openComposition(std::move(composition)))
            NSException::raise(NSInternalInconsistencyException, QStringLiteral("the composition cannot be played"));
        layer->setController(mLayerController.data());
        if (layer->isCompositionOpen()) openCompositionTextureLayer(*layer);
    } catch (const std::exception &exception) {
        LogException("openCompositionData", exception);
    }
}

bool LumoraRenderBuffer::isCompositionOpen() const {
    return mCameraLayerTexture != nullptr && mCameraLayerTexture->isCompositionOpen();
}

void LumoraRenderBuffer::closeComposition() {
    if (mCameraLayerTexture != nullptr) mCameraLayerTexture->closeComposition();
    clearPublishedInputFlags();
}

std::shared_ptr<NSOGLQuartzTextureLayer> LumoraRenderBuffer::cameraLayerTexture() const { return mCameraLayerTexture; }

void LumoraRenderBuffer::clearPublishedInputFlags() {
    mHasInputEffectTime = mHasInputEffectAmount = mHasInputEffectParameter = false;
    mHasInputEffectTex1DX = mHasInputEffectTex1DXAmount = false;
    mHasInputEffectTex1DY = mHasInputEffectTex1DYAmount = false;
}

void LumoraRenderBuffer::openCompositionTextureLayer(NSOGLQuartzTextureLayer &layer) {
    mLastUpdateTime = 0;
    clearPublishedInputFlags();
    setMousePointValue(CGPointMake(0.5, 0.5));
    LumoraInterpolationController *tweening = interpolationController();

    mHasInputEffectAmount = layer.hasInputKey(kInputEffectAmount);
    if (mHasInputEffectAmount && tweening != nullptr)
        setCompositionInputEffectAmount(float(tweening->inputEffectAmountNormal()));
    mHasInputEffectTime = layer.hasInputKey(kInputEffectTime);
    if (mHasInputEffectTime && tweening != nullptr) setCompositionInputEffectTime(float(tweening->inputEffectTimeNormal()));
    mHasInputEffectParameter = layer.hasInputKey(kInputEffectFrequency);
    if (mHasInputEffectParameter && tweening != nullptr)
        setCompositionInputEffectParameter(float(tweening->inputEffectParameterNormal()));
    mHasInputEffectTex1DY = layer.hasInputKey(kInputEffectTex1DY);
    if (mHasInputEffectTex1DY && y1DTextureView() != nullptr)
        setCompositionInputEffectTex1DYParameter(y1DTextureView()->textureImage1D());
    mHasInputEffectTex1DYAmount = layer.hasInputKey(kInputEffectTex1DYAmount);
    if (mHasInputEffectTex1DYAmount) setCompositionInputEffectTex1DYAmount(inputEffectTex1DYAmount());
    mHasInputEffectTex1DX = layer.hasInputKey(kInputEffectTex1DX);
    if (mHasInputEffectTex1DX && x1DTextureView() != nullptr)
        setCompositionInputEffectTex1DXParameter(x1DTextureView()->textureImage1D());
    mHasInputEffectTex1DXAmount = layer.hasInputKey(kInputEffectTex1DXAmount);
    if (mHasInputEffectTex1DXAmount) setCompositionInputEffectTex1DXAmount(inputEffectTex1DXAmount());
}

// ---- Published inputs --------------------------------------------------------------------------

bool LumoraRenderBuffer::setLayerValue(bool published, const QCValue &value, const char *key) {
    if (!published || mCameraLayerTexture == nullptr) return false;
    return mCameraLayerTexture->setValue(value, key);
}

void LumoraRenderBuffer::setCompositionInputEffectAmount(float value) {
    setLayerValue(mHasInputEffectAmount, QCValue(double(value)), kInputEffectAmount);
}

void LumoraRenderBuffer::setCompositionInputEffectTime(float value) {
    setLayerValue(mHasInputEffectTime, QCValue(double(value)), kInputEffectTime);
}

void LumoraRenderBuffer::setCompositionInputEffectParameter(float value) {
    setLayerValue(mHasInputEffectParameter, QCValue(double(value)), kInputEffectFrequency);
}

void LumoraRenderBuffer::setCompositionInputEffectTex1DYParameter(CGImageRef image) {
    if (mHasInputEffectTex1DY) setLayerValue(true, QCValue(ImageOf(image)), kInputEffectTex1DY);
}

void LumoraRenderBuffer::setCompositionInputEffectTex1DXParameter(CGImageRef image) {
    if (mHasInputEffectTex1DX) setLayerValue(true, QCValue(ImageOf(image)), kInputEffectTex1DX);
}

void LumoraRenderBuffer::setCompositionInputEffectTex1DYAmount(const QVariant &amount) {
    setLayerValue(mHasInputEffectTex1DYAmount, QCValue(double(FloatValue(amount))), kInputEffectTex1DYAmount);
}

void LumoraRenderBuffer::setCompositionInputEffectTex1DXAmount(const QVariant &amount) {
    setLayerValue(mHasInputEffectTex1DXAmount, QCValue(double(FloatValue(amount))), kInputEffectTex1DXAmount);
}

void LumoraRenderBuffer::setTimeBasedInputKeys(double seconds) {
    LumoraInterpolationController *tweening = interpolationController();
    if (tweening != nullptr) {
        tweening->setMasterTimeSeconds(seconds);
        if (mHasInputEffectAmount) setCompositionInputEffectAmount(float(tweening->inputEffectAmountNormal()));
        if (mHasInputEffectTime) setCompositionInputEffectTime(float(tweening->inputEffectTimeNormal()));
        if (mHasInputEffectParameter) setCompositionInputEffectParameter(float(tweening->inputEffectParameterNormal()));
    }
    if (mHasInputEffectTex1DY && y1DTextureView() != nullptr)
        setCompositionInputEffectTex1DYParameter(y1DTextureView()->textureImage1D());
    if (mHasInputEffectTex1DYAmount) setCompositionInputEffectTex1DYAmount(inputEffectTex1DYAmount());
    if (mHasInputEffectTex1DX && x1DTextureView() != nullptr)
        setCompositionInputEffectTex1DXParameter(x1DTextureView()->textureImage1D());
    if (mHasInputEffectTex1DXAmount) setCompositionInputEffectTex1DXAmount(inputEffectTex1DXAmount());
}

void LumoraRenderBuffer::setInputEffectTex1DXAmount(const QVariant &amount) {
    mInputEffectTex1DXAmountNormal = FloatValue(amount);
}

void LumoraRenderBuffer::setInputEffectTex1DYAmount(const QVariant &amount) {
    mInputEffectTex1DYAmountNormal = FloatValue(amount);
}

// ---- Rendering ---------------------------------------------------------------------------------

bool LumoraRenderBuffer::textureUpdateWithTime(double seconds) {
    setTimeBasedInputKeys(seconds);
    const bool updated = NSOGLPBufferRendererBase::textureUpdateWithTime(seconds);
    mLastUpdateTime = seconds;
    return updated;
}

bool LumoraRenderBuffer::renderSceneForTime(double seconds) {
    const CGLContextObj context = renderContext();
    if (context == nullptr) return false;
    const OpenGL::CGLContextStateLock scope(context);
    const NSOGLDrawableRect rect =
        category_protocol_NSOGLDrawable::drawableRectFromRenderBoundsRect(this, renderBounds());
    updateCameraLayerTextureForTime(seconds);
    OpenGL::DiscardGLErrors();
    renderSceneWithComposition(rect);
    OpenGL::DiscardGLErrors();
    return true;
}

void LumoraRenderBuffer::updateCameraLayerTextureForTime(double seconds) {
    const std::shared_ptr<NSOGLQuartzTextureLayer> layer = mCameraLayerTexture;
    if (layer == nullptr) return;
    const CIImageRef image = cameraImageForInputPublishedPort();
    if (image == nullptr) return;
    const CGLContextObj context = renderContext();
    if (context == nullptr) return;
    const OpenGL::CGLContextStateLock scope(context);
    try {
        layer->setValue(QCValue(image), kCameraImage);
        setQCRendererArguments();
        layer->textureUpdateWithTime(seconds);
        OpenGL::DiscardGLErrors();
    } catch (const std::exception &exception) {
        LogException("updateCameraLayerTextureForTime:", exception);
    }
}

void LumoraRenderBuffer::setQCRendererArguments() {
    const std::shared_ptr<NSOGLQuartzTextureLayer> layer = mCameraLayerTexture;
    if (layer == nullptr) return;
    try {
        QCRenderArguments arguments = layer->rendererArguments();
        std::lock_guard<std::mutex> guard(mPropertyLock);
        if (mMouseEvent != nullptr) arguments.leftButtonDown = (mMouseEvent->buttons() & Qt::LeftButton) != 0;
        if (mMousePointValue.has_value()) {
            arguments.hasMouseLocation = true;
            arguments.mouseLocation = *mMousePointValue;
        }
        layer->setRendererArguments(arguments);
    } catch (const std::exception &exception) {
        LogException("setQCRendererArguments", exception);
    }
}

void LumoraRenderBuffer::renderSceneWithComposition(NSOGLDrawableRect rect) {
    using namespace category_protocol_NSOGLDrawable;
    OpenGL::DiscardGLErrors();
    glDisable(GL_BLEND);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(0.0f, 0.0f, 0.0f, 0.001f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    drawableOrthoCubeViewBegin(this, false);
    OpenGL::DiscardGLErrors();
    GLint source = GL_ONE, destination = GL_ZERO;
    glGetIntegerv(GL_BLEND_SRC, &source);
    glGetIntegerv(GL_BLEND_DST, &destination);
    try {
        glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
        OpenGL::DiscardGLErrors();
        glEnable(GL_BLEND);
        if (const std::shared_ptr<NSOGLQuartzTextureLayer> layer = mCameraLayerTexture) {
            const NSOGLBorrowedRendererTexture texture(*layer);
            drawableDrawQuadTexture(this, rect, &texture);
        }
        OpenGL::DiscardGLErrors();
    } catch (const std::exception &exception) {
        NSLog(QStringLiteral("NSOGLTextureLayer::renderSceneForTime exception:%1\n").arg(Describe(exception)));
    }
    glBlendFunc(GLenum(source), GLenum(destination));
    drawableOrthoCubeViewEnd(this);
}

// ---- The camera image --------------------------------------------------------------------------

CamInputFrameRef LumoraRenderBuffer::inputCameraFrame() const {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    return mInputCameraFrame;
}

void LumoraRenderBuffer::setInputCameraFrame(CamInputFrameRef frame) {
    CamInputFrameRef previous;
    std::lock_guard<std::mutex> guard(mPropertyLock);
    previous = std::exchange(mInputCameraFrame, std::move(frame));
}

CIImageRef LumoraRenderBuffer::inputCameraImage() const {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    return mInputCameraImage;
}

void LumoraRenderBuffer::setInputCameraImage(CIImageRef image) {
    CIImageRef previous;
    std::lock_guard<std::mutex> guard(mPropertyLock);
    previous = std::exchange(mInputCameraImage, std::move(image));
}

CGImageRef LumoraRenderBuffer::inputCameraImageRef() const {
    std::lock_guard<std::recursive_mutex> guard(mMonitor);
    return mInputCameraImageRef;
}

CGImageRef LumoraRenderBuffer::inputCameraImageRefCopy() const {
    std::lock_guard<std::recursive_mutex> guard(mMonitor);
    return mInputCameraImageRef != nullptr ? CGImageRetain(mInputCameraImageRef) : nullptr;
}

void LumoraRenderBuffer::setInputCameraImageRef(CGImageRef image) {
    std::lock_guard<std::recursive_mutex> guard(mMonitor);
    if (image != nullptr) CGImageRetain(image);
    if (mInputCameraImageRef != nullptr) CGImageRelease(mInputCameraImageRef);
    mInputCameraImageRef = image;
}

bool LumoraRenderBuffer::hasCameraImageForInputPublishedPort() const {
    const CamInputFrameRef frame = inputCameraFrame();
    if (frame != nullptr && frame->hasFrameImage()) return true;
    if (inputCameraImage() != nullptr) return true;
    return inputCameraImageRef() != nullptr;
}

CIImageRef LumoraRenderBuffer::cameraImageForInputPublishedPort() const {
    if (const CamInputFrameRef frame = inputCameraFrame()) {
        CGImageRef bitmap = frame->frameImageRefCopy();
        if (bitmap != nullptr) {
            CIImageRef image = CIImage::imageWithCGImage(bitmap);
            CGImageRelease(bitmap);
            return image;
        }
        if (CIImageRef image = frame->frameImage()) return image;
    }
    if (CIImageRef image = inputCameraImage()) return image;
    CGImageRef bitmap = inputCameraImageRefCopy();
    if (bitmap == nullptr) return nullptr;
    CIImageRef image = CIImage::imageWithCGImage(bitmap);
    CGImageRelease(bitmap);
    return image;
}

// ---- The mouse ---------------------------------------------------------------------------------

void LumoraRenderBuffer::setMousePointNormalizedCoordinates(CGPoint point) {
    NSOGLTextureLayerViewNibbler *controller = layerController();
    if (controller != nullptr && controller->layerFlippedHorizontal()) point.x = 1.0 - point.x;
    setMousePointValue(point);
}

std::optional<CGPoint> LumoraRenderBuffer::mousePointValue() const {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    return mMousePointValue;
}

void LumoraRenderBuffer::setMousePointValue(std::optional<CGPoint> point) {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    mMousePointValue = point;
}

void LumoraRenderBuffer::setMouseEvent(const QMouseEvent *event) {
    std::unique_ptr<QMouseEvent> copy(event != nullptr ? static_cast<QMouseEvent *>(event->clone()) : nullptr);
    std::lock_guard<std::mutex> guard(mPropertyLock);
    std::swap(mMouseEvent, copy);
}

bool LumoraRenderBuffer::hasMouseEvent() const {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    return mMouseEvent != nullptr;
}

bool import_LumoraRenderBuffer() {
    return import_CamInputFrame() && import_LumoraInterpolationController() && import_NSOGLTextureLayerPBuffer();
}
