#include "NSOGLTextureLayerPBuffer.h"

#include <CoreX/CoreMachDebugLog.h>
#include <OpenGL/glext.h>

#include <exception>

namespace {

bool IsRealName(GLuint name) { return name != 0 && name != NSOGLTextureBase::kNoTextureName; }

}  // namespace

// ---- NSOGLBorrowedRendererTexture ---------------------------------------------------------------

NSOGLBorrowedRendererTexture::NSOGLBorrowedRendererTexture(const NSOGLPBufferRendererBase &renderer) {
    setTextureTarget(renderer.textureTarget());
    setTextureWidth(renderer.textureWidth());
    setTextureHeight(renderer.textureHeight());
    setFlipVertical(renderer.flipVertical());
    setFlipHorizontal(renderer.flipHorizontal());
    setTextureName(renderer.textureName());
}

NSOGLBorrowedRendererTexture::~NSOGLBorrowedRendererTexture() {
    setTextureShareContext(nullptr);
    setTextureName(kNoTextureName);
}

// ---- NSOGLTextureLayerPBuffer ------------------------------------------------------------------

NSOGLTextureLayerPBuffer::NSOGLTextureLayerPBuffer() = default;
NSOGLTextureLayerPBuffer::~NSOGLTextureLayerPBuffer() = default;

bool NSOGLTextureLayerPBuffer::initWithTextureTarget(GLenum target, GLuint width, GLuint height) {
    return NSOGLPBufferRendererBase::initWithTextureTarget(target, width, height);
}

bool NSOGLTextureLayerPBuffer::renderSceneForTime(double seconds) {
    using namespace category_protocol_NSOGLDrawable;
    drawableOrthoCubeViewBegin(this, false);
    try {
        const NSOGLDrawableRect rect = drawableRectFromRenderBoundsRect(this, renderBounds());
        float alpha = 1.0f;
        layerDrawBackgroundRect(rect, &alpha);
        layerDrawTextureRect(rect, seconds, alpha);
    } catch (const std::exception &error) {
        CoreMachDebugLog("NSOGLTextureLayerPBuffer renderSceneForTime: %s", error.what());
    } catch (...) {
        CoreMachDebugLog("NSOGLTextureLayerPBuffer renderSceneForTime: exception");
    }
    drawableOrthoCubeViewEnd(this);
    return true;
}

void NSOGLTextureLayerPBuffer::layerDrawBackgroundRect(NSOGLDrawableRect rect, float *alpha) {
    const CGLContextObj context = renderContext();
    if (context == nullptr) return;
    NSOGLTextureLayerViewNibbler *panel = controller();
    float red = 0, green = 0, blue = 0, clearAlpha = 0.001f;
    if (panel != nullptr && panel->layerBackgroundEnabled()) {
        const QColor colour = panel->layerBackgroundColorInNSCalibratedRGBColorSpace();
        red = float(colour.redF());
        green = float(colour.greenF());
        blue = float(colour.blueF());
        clearAlpha = float(colour.alphaF());
    }
    if (clearAlpha < 0.01f) clearAlpha = 0.001f;
    {
        const OpenGL::CGLContextState scope(context);
        glClearColor(red, green, blue, clearAlpha);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    if (alpha != nullptr) *alpha = clearAlpha;
    if (panel != nullptr && panel->layerBackgroundImageEnabled()) {
        if (std::shared_ptr<NSOGLImageViewTexture> background = panel->layerBackgroundTextureUpdateIfDirty())
            category_protocol_NSOGLDrawable::drawableDrawQuadTexture(this, rect, background.get());
    }
}

void NSOGLTextureLayerPBuffer::layerDrawTextureRect(NSOGLDrawableRect rect, double, float alpha) {
    NSOGLTextureLayerViewNibbler *panel = controller();
    if (panel == nullptr || !panel->layerTextureEnabled()) return;
    NSOGLPBufferRendererBase *texture = textureObject();
    if (texture == nullptr || !IsRealName(texture->textureName())) return;
    const CGLContextObj context = renderContext();
    if (context == nullptr) return;
    const OpenGL::CGLContextState scope(context);
    texture->setFlipVertical(panel->layerFlippedVertical());
    texture->setFlipHorizontal(panel->layerFlippedHorizontal());
    const std::shared_ptr<NSOGLNormalQuadMatrix> matrix = panel->layerQuadMatrix();
    layerDrawMaskedQuad(rect, texture, matrix.get(), alpha, false, nullptr, nullptr);
}

void NSOGLTextureLayerPBuffer::layerDrawMaskedQuad(NSOGLDrawableRect rect, NSOGLPBufferRendererBase *texture,
                                                   NSOGLQuadMatrixProtocol *quadMatrix, float alpha, bool enableMask,
                                                   const NSOGLTextureBase *maskTexture,
                                                   const NSOGLNormalMatrix *maskTextureMatrix) {
    using namespace category_protocol_NSOGLDrawable;
    if (texture == nullptr) return;
    const CGLContextObj context = renderContext();
    if (context == nullptr) return;
    const OpenGL::CGLContextState scope(context);
    const NSOGLBorrowedRendererTexture borrowed(*texture);
    glEnable(GL_BLEND);
    if (enableMask && maskTexture != nullptr) {
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        drawableDrawQuadTextureQuadMatrixMaskTextureMaskMatrix(this, rect, &borrowed, quadMatrix, maskTexture,
                                                               maskTextureMatrix);
    } else {
        if (sceneHasOpaqueBackgroundWithAlpha(alpha)) glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
        else glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        drawableDrawQuadTextureQuadMatrix(this, rect, &borrowed, quadMatrix);
    }
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_BLEND);
}

bool NSOGLTextureLayerPBuffer::sceneHasOpaqueBackgroundWithAlpha(float alpha) const {
    const NSOGLTextureLayerViewNibbler *panel = controller();
    return panel != nullptr && panel->layerHasOpaqueBackgroundWithAlpha(alpha);
}

NSOGLPBufferRendererBase *NSOGLTextureLayerPBuffer::textureObject() { return this; }

// ---- NSOGLQuartzTextureLayer -------------------------------------------------------------------

NSOGLQuartzTextureLayer::NSOGLQuartzTextureLayer() = default;

NSOGLQuartzTextureLayer::~NSOGLQuartzTextureLayer() = default;

bool NSOGLQuartzTextureLayer::initWithTextureTarget(GLenum target, GLuint width, GLuint height) {
    if (!NSOGLTextureLayerPBuffer::initWithTextureTarget(target, width, height)) return false;
    auto composition = std::make_shared<NSOGLQCRendererPBuffer>();
    if (!composition->initWithTextureTarget(target, width, height)) return false;
    setComposition(std::move(composition));
    setRendererArguments({});
    return true;
}

bool NSOGLQuartzTextureLayer::initWithCompositionPath(const std::string &path, GLenum target, GLuint width,
                                                      GLuint height) {
    if (!initWithTextureTarget(target, width, height)) return false;
    openCompositionPath(path);
    return true;
}

std::shared_ptr<NSOGLQCRendererPBuffer> NSOGLQuartzTextureLayer::composition() const {
    std::lock_guard<std::mutex> guard(mCompositionLock);
    return mComposition;
}

void NSOGLQuartzTextureLayer::setComposition(std::shared_ptr<NSOGLQCRendererPBuffer> composition) {
    std::lock_guard<std::mutex> guard(mCompositionLock);
    mComposition = std::move(composition);
}

QCRenderArguments NSOGLQuartzTextureLayer::rendererArguments() const {
    std::lock_guard<std::mutex> guard(mCompositionLock);
    return mRendererArguments;
}

void NSOGLQuartzTextureLayer::setRendererArguments(const QCRenderArguments &arguments) {
    std::lock_guard<std::mutex> guard(mCompositionLock);
    mRendererArguments = arguments;
}

bool NSOGLQuartzTextureLayer::openCompositionPath(const std::string &path) {
    const auto renderer = composition();
    return renderer != nullptr && renderer->openCompositionPath(path);
}

bool NSOGLQuartzTextureLayer::openCompositionData(CFDataRef data) {
    const auto renderer = composition();
    return renderer != nullptr && renderer->openCompositionData(data);
}

bool NSOGLQuartzTextureLayer::openComposition(QCCompositionRef composition) {
    const auto renderer = this->composition();
    return renderer != nullptr && renderer->openCompositionComposition(std::move(composition));
}

bool NSOGLQuartzTextureLayer::isCompositionOpen() const {
    const auto renderer = composition();
    return renderer != nullptr && renderer->isCompositionOpen();
}

void NSOGLQuartzTextureLayer::closeComposition() {
    if (const auto renderer = composition()) renderer->closeComposition();
    setRendererArguments({});
}

bool NSOGLQuartzTextureLayer::setValue(const QCValue &value, const std::string &key) {
    const auto renderer = composition();
    return renderer != nullptr && renderer->setValue(value, key);
}

bool NSOGLQuartzTextureLayer::hasInputKey(const std::string &key) const {
    const auto renderer = composition();
    return renderer != nullptr && renderer->hasInputKey(key);
}

bool NSOGLQuartzTextureLayer::textureUpdateWithTime(double seconds) {
    if (const auto renderer = composition()) {
        renderer->setRendererArguments(rendererArguments());
        renderer->textureUpdateWithTime(seconds);
    }
    return NSOGLTextureLayerPBuffer::textureUpdateWithTime(seconds);
}

NSOGLPBufferRendererBase *NSOGLQuartzTextureLayer::textureObject() { return composition().get(); }

bool import_NSOGLTextureLayerPBuffer() {
    return import_NSOGLTextureLayerViewNibbler() && import_NSOGLQCRendererPBuffer() &&
           import_NSOGLPBufferRendererBase();
}
