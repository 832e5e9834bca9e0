// NSOGLQCRendererPBuffer: plays a composition into a pixel buffer and hands the frames out as
// a texture of the sharing context (normally the root sharing context), so that every view
// and render target can draw the composition.
//
//     auto renderer = std::make_shared<NSOGLQCRendererPBuffer>();
//     renderer->initWithCompositionPath(path, GL_TEXTURE_RECTANGLE_ARB, 640, 480);
//     renderer->setValue(QCValue(cameraImage), "cameraImage");   // published keys only
//     renderer->textureUpdateWithTime(seconds);                   // renders, then copies
//     CIImageRef frame = renderer->textureImage();
//
// The renderer is its state's delegate: the composition renders on the pixel-buffer context,
// and a composition that opens is rendered once at time zero straight away, so the texture
// shows it before the first update. Opening a path or a composition first closes what was
// open and clears the pixel buffer; data that is not a composition changes nothing.
//
// Construction is two-phase, like the base's: construct, then call one initialiser.
#pragma once

#include <CocoaGL/NSOGLPBufferRendererBase.h>
#include <CocoaQZ/QuartzCore/NSOGLQCRendererState.h>

#include <CoreImage/CIImage.h>

#include <memory>
#include <string>

// What a composition renderer of the kit answers (the composition texture layer drives
// renderers through it).
class NSOGLQCRendererProtocol {
public:
    virtual ~NSOGLQCRendererProtocol() = default;

    virtual std::shared_ptr<QCRenderer> renderer() const = 0;
    virtual NSOGLQCRendererInputKeys rendererInputKeys() const = 0;
    virtual void setRendererArguments(const QCRenderArguments &arguments) = 0;
    virtual QCRenderArguments rendererArguments() const = 0;
    virtual CIImageRef textureImage() = 0;
    virtual bool hasInputKey(const std::string &key) const = 0;
    virtual bool setValue(const QCValue &value, const std::string &key) = 0;
    virtual void closeComposition() = 0;
    virtual bool isCompositionOpen() const = 0;
    virtual bool openCompositionComposition(QCCompositionRef composition) = 0;
    virtual bool openCompositionData(CFDataRef data) = 0;
    virtual bool openCompositionPath(const std::string &path) = 0;
    virtual bool initWithCompositionPath(const std::string &path, GLenum target, GLuint width, GLuint height) = 0;
};

class NSOGLQCRendererPBuffer : public NSOGLPBufferRendererBase,
                               public NSOGLQCRendererProtocol,
                               public NSOGLQCRendererStateDelegate {
public:
    // Without state: call an initialiser.
    NSOGLQCRendererPBuffer();
    // Closes the composition and lets the state go.
    ~NSOGLQCRendererPBuffer() override;

    // ---- Creation --------------------------------------------------------------------------

    // The base's initialiser (false when it refuses the arguments), then a new state with
    // this renderer as delegate and the base's clearDrawablePixels.
    bool initWithTextureTarget(GLenum target, GLuint width, GLuint height,
                               std::shared_ptr<NSOpenGLContext> openGLContext);
    // The same, then openCompositionPath when `path` is not empty. True when the renderer
    // was made, whether or not the composition opened (isCompositionOpen tells).
    bool initWithCompositionPath(const std::string &path, GLenum target, GLuint width, GLuint height,
                                 std::shared_ptr<NSOpenGLContext> openGLContext);
    // The two above in the root sharing context.
    bool initWithTextureTarget(GLenum target, GLuint width, GLuint height);
    bool initWithCompositionPath(const std::string &path, GLenum target, GLuint width, GLuint height) override;

    // ---- The composition -------------------------------------------------------------------

    bool openCompositionObject(QCCompositionRef composition);
    bool openCompositionComposition(QCCompositionRef composition) override;
    // openCompositionComposition of the composition read from the data (null changes nothing).
    bool openCompositionData(CFDataRef data) override;
    // closeComposition(false), the base's clearDrawablePixels(), then the state's open.
    bool openCompositionPath(const std::string &path) override;
    void closeComposition() override;
    // The state's closeComposition; the flag changes nothing.
    void closeComposition(bool flag);
    bool isCompositionOpen() const override;
    bool hasInputKey(const std::string &key) const override;
    bool setValue(const QCValue &value, const std::string &key) override;
    std::shared_ptr<QCRenderer> renderer() const override;
    NSOGLQCRendererInputKeys rendererInputKeys() const override;
    QCRenderArguments rendererArguments() const override;
    void setRendererArguments(const QCRenderArguments &arguments) override;

    std::shared_ptr<NSOGLQCRendererState> rendererState() const;
    void setRendererState(std::shared_ptr<NSOGLQCRendererState> rendererState);

    // ---- Rendering -------------------------------------------------------------------------

    // With the pixel-buffer context current (the caller's put back after, also when an
    // exception passes): clears when rendererClearDrawable is set, then renders the
    // composition with the renderer arguments. False without a composition (nothing drawn)
    // and when the pixel-buffer context could not be made current.
    bool renderSceneForTime(double seconds) override;
    // The texture as an image of the sharing context's share group: its name and size,
    // flipped when flipVertical is set, in the linear generic RGB space. Null without a
    // texture.
    CIImageRef textureImage() override;

    // ---- NSOGLQCRendererStateDelegate ------------------------------------------------------

    std::shared_ptr<NSOpenGLContext> rendererOpenGLContext() override;
    std::shared_ptr<NSOpenGLPixelFormat> rendererOpenGLPixelFormat() override;
    // The base's clearDrawablePixels(flag), then a render at time zero copied into the texture.
    void rendererStateRendererInitialize(NSOGLQCRendererState *state, bool flag) override;
    void rendererStateClearDrawablePixels(NSOGLQCRendererState *state, bool force) override;

private:
    mutable std::mutex mStateLock;
    std::shared_ptr<NSOGLQCRendererState> mRendererState;
};

bool import_NSOGLQCRendererPBuffer();
