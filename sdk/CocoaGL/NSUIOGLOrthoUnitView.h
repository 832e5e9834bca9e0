// NSUIOGLOrthoUnitView: an OpenGL view drawing in the orthographic unit cube (-0.5..0.5) with
// source-alpha blending. Each render erases (when asked, to the erase colour or transparent
// black without one), hands the scene to the delegate with the drawable rectangle of the
// bounds and ends the cube. The quad helpers forward to the drawable categories.
#pragma once

#include <CocoaGL/NSUIOGLCGContextView.h>

#include <QColor>

#include <optional>

class NSUIOGLOrthoUnitView;

// The delegate of an ortho view: draws the scene into the drawable rectangle (unit-cube
// coordinates) with the view's context current and locked.
class protocol_NSUIOGLRenderSceneDelegate {
public:
    virtual ~protocol_NSUIOGLRenderSceneDelegate() = default;
    virtual void renderScene(NSUIOGLOrthoUnitView *view, NSOGLDrawableRect drawableRect) = 0;
};

class NSUIOGLOrthoUnitView : public NSUIOGLCGContextView {
    Q_OBJECT

public:
    // Also made by name, as a nib makes it (the context is made here either way).
    Q_INVOKABLE explicit NSUIOGLOrthoUnitView(QWidget *parent = nullptr);
    ~NSUIOGLOrthoUnitView() override;

    // Makes the context current, sets the viewport to the truncated bounds and renders once.
    void renderSceneReshape() override;
    // Makes the context current, begins the unit cube (erasing as asked), then blends.
    void renderSceneBegin() override;
    // GL_BLEND with (GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA).
    void renderSceneBlend();
    // The delegate's renderScene with the drawable rectangle of the bounds.
    void renderSceneSelf() override;
    // Ends the unit cube, then the base's end.
    bool renderSceneEnd(bool flush) override;

    NSOGLDrawableRect renderCoordsFrom(CGRect rect) const;

    // Quads (the absent matrices and masks are null).
    void renderDrawQuad(NSOGLDrawableRect rect, const NSOGLTextureBase *texture);
    void renderDrawQuadQuadMatrix(NSOGLDrawableRect rect, const NSOGLTextureBase *texture,
                                  NSOGLQuadMatrixProtocol *quadMatrix);
    void renderDrawQuadTextureMatrix(NSOGLDrawableRect rect, const NSOGLTextureBase *texture,
                                     NSOGLQuadMatrixProtocol *textureMatrix);
    void renderDrawQuadMaskTexture(NSOGLDrawableRect rect, const NSOGLTextureBase *texture,
                                   const NSOGLTextureBase *maskTexture);
    void renderDrawQuadMaskTextureMaskMatrix(NSOGLDrawableRect rect, const NSOGLTextureBase *texture,
                                             const NSOGLTextureBase *maskTexture, const NSOGLNormalMatrix *maskMatrix);
    void renderDrawQuadTextureMatrixMaskTextureMaskMatrix(NSOGLDrawableRect rect, const NSOGLTextureBase *texture,
                                                          NSOGLQuadMatrixProtocol *textureMatrix,
                                                          const NSOGLTextureBase *maskTexture,
                                                          const NSOGLNormalMatrix *maskMatrix);
    void renderDrawQuadColor(NSOGLDrawableRect rect, const QColor *color);

    // Not owned.
    protocol_NSUIOGLRenderSceneDelegate *renderSceneDelegate() const { return mRenderSceneDelegate.load(); }
    void setRenderSceneDelegate(protocol_NSUIOGLRenderSceneDelegate *delegate) { mRenderSceneDelegate = delegate; }
    bool clearDrawableBeforeRender() const { return mClearDrawableBeforeRender.load(); }
    void setClearDrawableBeforeRender(bool clear) { mClearDrawableBeforeRender = clear; }
    // Empty: no erase colour.
    std::optional<QColor> clearDrawableColor() const;
    void setClearDrawableColor(std::optional<QColor> color);

private:
    std::atomic<protocol_NSUIOGLRenderSceneDelegate *> mRenderSceneDelegate{nullptr};
    std::atomic<bool> mClearDrawableBeforeRender{true};
    mutable std::mutex mColorLock;
    std::optional<QColor> mClearDrawableColor;
};

bool import_NSUIOGLOrthoUnitView();
