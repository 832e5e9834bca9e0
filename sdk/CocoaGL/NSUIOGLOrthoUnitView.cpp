#include <CocoaGL/NSUIOGLOrthoUnitView.h>

#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>

#include <Foundation/NSObjCRuntime.h>
#include <OpenGL/gl.h>

#include <cmath>

NS_REGISTER_CLASS(NSUIOGLOrthoUnitView);

using namespace category_protocol_NSOGLDrawable;

NSUIOGLOrthoUnitView::NSUIOGLOrthoUnitView(QWidget *parent) : NSUIOGLCGContextView(parent) {}

NSUIOGLOrthoUnitView::~NSUIOGLOrthoUnitView() = default;

void NSUIOGLOrthoUnitView::renderSceneReshape() {
    const CGLContextObj context = renderContext();
    if (context == nullptr) return;
    const CGRect bounds = renderBounds();
    const double width = std::trunc(bounds.size.width);
    const double height = std::trunc(bounds.size.height);
    const bool hadNone = CGLGetCurrentContext() == nullptr;
    {
        OpenGL::CGLContextStateLock current(context);
        // update: the window surface follows the window's size by itself.
        if (width >= 1 && height >= 1 && width <= 65535 && height <= 65535)
            glViewport(0, 0, GLsizei(width), GLsizei(height));
        renderScene();
        OpenGL::DiscardGLErrors();
    }
    if (hadNone) CGLSetCurrentContext(nullptr);
}

void NSUIOGLOrthoUnitView::renderSceneBegin() {
    if (renderContext() == nullptr) return;
    NSUIOGLCGContextView::renderSceneBegin();
    const auto color = clearDrawableColor();
    drawableOrthoCubeViewBeginEraseColor(this, clearDrawableBeforeRender(), color ? &*color : nullptr);
    renderSceneBlend();
}

void NSUIOGLOrthoUnitView::renderSceneBlend() {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void NSUIOGLOrthoUnitView::renderSceneSelf() {
    protocol_NSUIOGLRenderSceneDelegate *delegate = renderSceneDelegate();
    if (delegate == nullptr) return;
    const CGRect bounds = renderBounds();
    // Bounds without area have no unit cube: there is no rectangle to hand out.
    if (!(bounds.size.width > 0 && bounds.size.height > 0)) return;
    delegate->renderScene(this, drawableRectFromRenderBoundsRect(this, bounds));
}

bool NSUIOGLOrthoUnitView::renderSceneEnd(bool flush) {
    if (const CGLContextObj context = renderContext()) {
        CGLSetCurrentContext(context);
        drawableOrthoCubeViewEnd(this);
    }
    return NSUIOGLCGContextView::renderSceneEnd(flush);
}

NSOGLDrawableRect NSUIOGLOrthoUnitView::renderCoordsFrom(CGRect rect) const {
    return drawableRectFromRenderBoundsRect(this, rect);
}

void NSUIOGLOrthoUnitView::renderDrawQuad(NSOGLDrawableRect rect, const NSOGLTextureBase *texture) {
    drawableDrawQuadTextureQuadMatrix(this, rect, texture, nullptr);
}

void NSUIOGLOrthoUnitView::renderDrawQuadQuadMatrix(NSOGLDrawableRect rect, const NSOGLTextureBase *texture,
                                                    NSOGLQuadMatrixProtocol *quadMatrix) {
    drawableDrawQuadTextureQuadMatrix(this, rect, texture, quadMatrix);
}

void NSUIOGLOrthoUnitView::renderDrawQuadTextureMatrix(NSOGLDrawableRect rect, const NSOGLTextureBase *texture,
                                                       NSOGLQuadMatrixProtocol *textureMatrix) {
    drawableDrawQuadTextureQuadMatrix(this, rect, texture, textureMatrix);
}

void NSUIOGLOrthoUnitView::renderDrawQuadMaskTexture(NSOGLDrawableRect rect, const NSOGLTextureBase *texture,
                                                     const NSOGLTextureBase *maskTexture) {
    drawableDrawQuadTextureQuadMatrixMaskTextureMaskMatrix(this, rect, texture, nullptr, maskTexture, nullptr);
}

void NSUIOGLOrthoUnitView::renderDrawQuadMaskTextureMaskMatrix(NSOGLDrawableRect rect, const NSOGLTextureBase *texture,
                                                               const NSOGLTextureBase *maskTexture,
                                                               const NSOGLNormalMatrix *maskMatrix) {
    drawableDrawQuadTextureQuadMatrixMaskTextureMaskMatrix(this, rect, texture, nullptr, maskTexture, maskMatrix);
}

void NSUIOGLOrthoUnitView::renderDrawQuadTextureMatrixMaskTextureMaskMatrix(
    NSOGLDrawableRect rect, const NSOGLTextureBase *texture, NSOGLQuadMatrixProtocol *textureMatrix,
    const NSOGLTextureBase *maskTexture, const NSOGLNormalMatrix *maskMatrix) {
    drawableDrawQuadTextureQuadMatrixMaskTextureMaskMatrix(this, rect, texture, textureMatrix, maskTexture,
                                                           maskMatrix);
}

void NSUIOGLOrthoUnitView::renderDrawQuadColor(NSOGLDrawableRect rect, const QColor *color) {
    drawableDrawQuadColor(this, rect, color);
}

std::optional<QColor> NSUIOGLOrthoUnitView::clearDrawableColor() const {
    std::lock_guard lock(mColorLock);
    return mClearDrawableColor;
}

void NSUIOGLOrthoUnitView::setClearDrawableColor(std::optional<QColor> color) {
    std::lock_guard lock(mColorLock);
    mClearDrawableColor = std::move(color);
}

bool import_NSUIOGLOrthoUnitView() { return import_NSUIOGLCGContextView(); }
