#include "NSOGLTextureLayerViewNibbler.h"

#include <CocoaGL/NSOGLTextureMatrixController.h>

#include <AppKit/NSButton.h>
#include <AppKit/NSImageView.h>
#include <CocoaGL/NSOGLSharingContext.h>
#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>
#include <Foundation/NSObjCRuntime.h>
#include <UICocoaColor/NSColorWellWithAlpha.h>

#include <QAbstractButton>

#include <cmath>

NS_REGISTER_CLASS(NSOGLTextureLayerViewNibbler);

namespace {

// The recursive lock held for a scope.
class RenderLockScope {
public:
    explicit RenderLockScope(NSOGLTextureLayerViewNibbler &nibbler) : mNibbler(nibbler) { mNibbler.lock(); }
    ~RenderLockScope() { mNibbler.unlock(); }
    RenderLockScope(const RenderLockScope &) = delete;
    RenderLockScope &operator=(const RenderLockScope &) = delete;

private:
    NSOGLTextureLayerViewNibbler &mNibbler;
};

// A side of the bounds as a whole number of pixels; 0 when not finite or out of range.
GLuint Side(double value) { return std::isfinite(value) && value >= 1 && value <= 16384 ? GLuint(value) : 0u; }

// The object when it has the invokable method of that signature; null otherwise.
QObject *Implementing(QObject *object, const char *signature) {
    return object != nullptr && object->metaObject()->indexOfMethod(signature) >= 0 ? object : nullptr;
}

}  // namespace

NSOGLTextureLayerViewNibbler::NSOGLTextureLayerViewNibbler(QWidget *parent) : NSUIViewNibbler(parent) {}

NSOGLTextureLayerViewNibbler::~NSOGLTextureLayerViewNibbler() {
    // The texture's name goes with the context that made it (NSOGLTextureBase).
    std::lock_guard<std::mutex> guard(mTextureLock);
    mBackgroundTexture.reset();
}

QObject *NSOGLTextureLayerViewNibbler::layerMatrixController() const { return mMatrixController.data(); }
void NSOGLTextureLayerViewNibbler::setLayerMatrixController(QObject *controller) { mMatrixController = controller; }


namespace {
// A button is on: an NSButton's state is not 0, a Qt button is checked, another object's
// "state" property is not 0; false for null.
bool NSOGLButtonIsOn(const QObject *button) {
    if (auto *ns = qobject_cast<const NSButton *>(button)) return ns->state() != 0;
    if (auto *qt = qobject_cast<const QAbstractButton *>(button)) return qt->isChecked();
    return button != nullptr && button->property("state").toInt() != 0;
}
} // namespace

NSOGLTextureMatrixController *NSOGLTextureLayerViewNibbler::matrixController() const {
    return qobject_cast<NSOGLTextureMatrixController *>(mMatrixController.data());
}

bool NSOGLTextureLayerViewNibbler::layerTextureEnabled() const {
    const NSOGLTextureMatrixController *controller = matrixController();
    return controller != nullptr && controller->textureEnabled();
}

bool NSOGLTextureLayerViewNibbler::layerFlippedHorizontal() const {
    const NSOGLTextureMatrixController *controller = matrixController();
    return NSOGLButtonIsOn(outletLayerQuickFlipX.data()) || (controller != nullptr && controller->textureFlippedX());
}

bool NSOGLTextureLayerViewNibbler::layerFlippedVertical() const {
    const NSOGLTextureMatrixController *controller = matrixController();
    return NSOGLButtonIsOn(outletLayerQuickFlipY.data()) || (controller != nullptr && controller->textureFlippedY());
}

std::shared_ptr<NSOGLNormalQuadMatrix> NSOGLTextureLayerViewNibbler::layerQuadMatrix() const {
    NSOGLNormalMatrix record;
    if (const NSOGLTextureMatrixController *controller = matrixController()) controller->getNormalTextureMatrix(&record);
    std::shared_ptr<NSOGLNormalQuadMatrix> matrix = NSOGLNormalQuadMatrix::matrixWithTextureMatrix(&record);
    matrix->setTextureMatrixApplyTranslate(true);
    return matrix;
}

bool NSOGLTextureLayerViewNibbler::layerBackgroundEnabled() const {
    return NSOGLButtonIsOn(outletBackgroundColorDraw.data());
}

bool NSOGLTextureLayerViewNibbler::layerBackgroundImageEnabled() const {
    return NSOGLButtonIsOn(outletBackgroundImageDraw.data());
}

QColor NSOGLTextureLayerViewNibbler::layerBackgroundColorInNSCalibratedRGBColorSpace() const {
    const auto *well = qobject_cast<const NSColorWell *>(outletBackgroundColorWell.data());
    const QColor colour = well ? well->color() : QColor();
    if (!colour.isValid()) return QColor(0, 0, 0, 0);
    return colour.toRgb();
}

bool NSOGLTextureLayerViewNibbler::layerHasOpaqueBackgroundWithAlpha(float alpha) const {
    return layerBackgroundImageEnabled() || (layerBackgroundEnabled() && alpha > 0.001f);
}

std::shared_ptr<NSOGLImageViewTexture> NSOGLTextureLayerViewNibbler::backgroundTexture() const {
    std::lock_guard<std::mutex> guard(mTextureLock);
    return mBackgroundTexture;
}

void NSOGLTextureLayerViewNibbler::setBackgroundTexture(std::shared_ptr<NSOGLImageViewTexture> texture) {
    std::lock_guard<std::mutex> guard(mTextureLock);
    mBackgroundTexture = std::move(texture);
}

std::shared_ptr<NSOGLImageViewTexture> NSOGLTextureLayerViewNibbler::layerBackgroundTextureUpdateIfDirty() {
    std::shared_ptr<NSOGLImageViewTexture> texture = backgroundTexture();
    if (texture == nullptr) {
        updateBackgroundTexture();
        return backgroundTexture();
    }
    if (texture->textureUpdateNeeded()) {
        const OpenGL::CGLContextStateLock scope(NSOGLSharingContext::offscreenPoolContext().get());
        texture->textureUpdate();
    }
    return texture;
}

void NSOGLTextureLayerViewNibbler::updateBackgroundTexture() {
    RenderLockScope locked(*this);
    auto *imageView = qobject_cast<NSImageView *>(outletBackgroundImageView.data());
    if (backgroundTexture() == nullptr && imageView != nullptr) {
        std::lock_guard<std::mutex> synchronized(mSynchronized);
        const CGRect bounds = delegateBounds();
        const GLuint width = Side(bounds.size.width), height = Side(bounds.size.height);
        if (width != 0 && height != 0) {
            const OpenGL::CGLContextStateLock scope(delegateSharingContext().get());
            auto texture = std::make_shared<NSOGLImageViewTexture>();
            texture->initWithImageView(imageView, GL_TEXTURE_RECTANGLE_ARB, width, height);
            setBackgroundTexture(std::move(texture));
        }
    }
    if (std::shared_ptr<NSOGLImageViewTexture> texture = backgroundTexture()) {
        const OpenGL::CGLContextStateLock scope(NSOGLSharingContext::offscreenPoolContext().get());
        texture->setTextureUpdateNeeded(true);
        texture->textureUpdate();
    }
}

void NSOGLTextureLayerViewNibbler::backgroundImageParamChanged(QObject *) { updateBackgroundTexture(); }

void NSOGLTextureLayerViewNibbler::backgroundImageViewChanged(QObject *) {
    updateBackgroundTexture();
    if (auto *view = qobject_cast<QWidget *>(outletBackgroundImageView.data())) view->update();
}

void NSOGLTextureLayerViewNibbler::layerTextureMatrixChanged(QObject *) {}
void NSOGLTextureLayerViewNibbler::layerMaskTextureChanged(QObject *) {}

void NSOGLTextureLayerViewNibbler::applicationDidFinishLaunching(const NSNotification &notification) {
    if (QObject *controller = Implementing(mMatrixController.data(), "applicationDidFinishLaunching(NSNotification)"))
        QMetaObject::invokeMethod(controller, "applicationDidFinishLaunching", Qt::DirectConnection,
                                  Q_ARG(NSNotification, notification));
    updateBackgroundTexture();
}

void NSOGLTextureLayerViewNibbler::applicationWillTerminate(const NSNotification &notification) {
    if (QObject *controller = Implementing(mMatrixController.data(), "applicationWillTerminate(NSNotification)"))
        QMetaObject::invokeMethod(controller, "applicationWillTerminate", Qt::DirectConnection,
                                  Q_ARG(NSNotification, notification));
}

protocol_NSOGLDrawable *NSOGLTextureLayerViewNibbler::delegateDrawable() const {
    return dynamic_cast<protocol_NSOGLDrawable *>(delegate());
}

CGLContextObj NSOGLTextureLayerViewNibbler::delegateContext() const {
    const protocol_NSOGLDrawable *drawable = delegateDrawable();
    return drawable ? drawable->renderContext() : nullptr;
}

std::shared_ptr<NSOpenGLContext> NSOGLTextureLayerViewNibbler::delegateSharingContext() {
    return NSOGLSharingContext::rootSharingContext();
}

CGRect NSOGLTextureLayerViewNibbler::delegateBounds() const {
    const protocol_NSOGLDrawable *drawable = delegateDrawable();
    return drawable ? drawable->renderBounds() : CGRectMake(0, 0, 0, 0);
}

bool import_NSOGLTextureLayerViewNibbler() {
    return import_NSOGLTextureMatrixController() && import_NSOGLImageViewTexture();
}
