// NSOGLPBufferRendererBase: renders a scene into a pixel buffer with a context of its own and
// hands the result out as a texture of a sharing context (normally the root sharing context),
// so that every context of the share group can draw it.
//
// A subclass renders in renderSceneForTime(seconds); the base owns the pixel buffer, the
// pixel-buffer context, the texture name, the render lock and the protocol that turns a
// rendered frame into the texture:
//
//     textureUpdateWithTime(seconds) -> textureUpdate(time as a number)
//         renders under the render lock (renderSceneForTime), then
//     updateTextureInTextureSharingContext()
//         copies the frame into the texture when one waits (textureUpdateNeeded)
//
// Making a renderer is two-phase, so that the overridable steps (defaultSharedPixelFormat,
// clearDrawablePixels) run the subclass's code: construct, then call one initialiser, or use
// makeWithTextureTarget. An initialiser refuses (false) a target other than GL_TEXTURE_2D and
// GL_TEXTURE_RECTANGLE_ARB, a side under 16 pixels or a null context. It may also stop
// early (no pixel format, no context, no pixel buffer): the renderer then renders nothing and
// every update answers false.
//
// Threads and locks. Rendering, replacing the pixel buffer, clearing and updating the texture
// each take the recursive render lock, so a renderer used from several threads renders and
// copies one frame at a time. A CGL context lock is always taken before the render lock and
// given back after it: rendering holds the pixel-buffer context's lock, the texture update
// and the destructor the sharing context's. Callers that draw the texture lock their own
// context first, then the renderer (lock / unlock).
//
// The dirty flag (textureUpdateNeeded) is read and written under the render lock by the
// renderer: rendering clears it before the scene is drawn and sets it when a frame was
// drawn; the update clears it before the copy. A frame drawn (or an update requested) by
// another thread while one is being copied is never lost.
//
// GL errors are drained after each step and never reported.
#pragma once

#include <CocoaGL/protocol_NSOGLDynamicTexture.h>
#include <CocoaGL/NSOGLTextureBase.h>
#include <CocoaGL/protocol_NSOGLDrawable.h>

#include <CoreGraphics/CGGeometry.h>
#include <Foundation/NSGeometry.h>
#include <OpenGL/NSOpenGL.h>
#include <OpenGL/OpenGL.h>
#include <OpenGL/gl.h>

#include <QVariant>

#include <atomic>
#include <memory>
#include <mutex>

class NSOGLPBufferRendererBase : public protocol_NSOGLDynamicTexture, public protocol_NSOGLDrawable {
public:
    // Without pixel buffer, contexts or lock: call an initialiser.
    NSOGLPBufferRendererBase();
    // Under the render lock, the sharing context current and locked: detaches the pixel
    // buffer when rendererClearDrawable is set, lets the contexts, pixel buffer and format go
    // and deletes the texture name.
    ~NSOGLPBufferRendererBase() override;
    NSOGLPBufferRendererBase(const NSOGLPBufferRendererBase &) = delete;
    NSOGLPBufferRendererBase &operator=(const NSOGLPBufferRendererBase &) = delete;

    // ---- Creation --------------------------------------------------------------------------

    // See the top of the file. The texture lives in `openGLContext`'s share group; the pixel
    // buffer is `width` x `height`. False only for refused arguments (nothing changed then).
    bool initWithTextureTarget(GLenum target, GLuint width, GLuint height,
                               std::shared_ptr<NSOpenGLContext> openGLContext);
    // The same in sharingTextureContext().
    bool initWithTextureTarget(GLenum target, GLuint width, GLuint height);

    // A new renderer of class T, initialised; null when the initialiser refused.
    template <class T = NSOGLPBufferRendererBase>
    static std::shared_ptr<T> makeWithTextureTarget(GLenum target, GLuint width, GLuint height,
                                                    std::shared_ptr<NSOpenGLContext> openGLContext) {
        auto made = std::make_shared<T>();
        if (!made->initWithTextureTarget(target, width, height, std::move(openGLContext))) return nullptr;
        return made;
    }
    template <class T = NSOGLPBufferRendererBase>
    static std::shared_ptr<T> makeWithTextureTarget(GLenum target, GLuint width, GLuint height) {
        return makeWithTextureTarget<T>(target, width, height, sharingTextureContext());
    }

    // The root sharing context.
    static std::shared_ptr<NSOpenGLContext> sharingTextureContext();
    // The pixel-buffer format of the kit.
    static std::shared_ptr<NSOpenGLPixelFormat> classDefaultSharedPixelFormat();
    // The format the initialiser makes the pixel-buffer context with: the class's. A
    // subclass may choose another one (null: the renderer gets no context).
    virtual std::shared_ptr<NSOpenGLPixelFormat> defaultSharedPixelFormat() const;

    // ---- Hooks for subclasses --------------------------------------------------------------

    // Draws the frame for `seconds`; true when a frame was drawn. Runs with the pixel-buffer
    // context current and locked and the render lock held. The base clears the drawable
    // (clearDrawablePixels) and answers true.
    virtual bool renderSceneForTime(double seconds);
    // clearDrawablePixels(false).
    void clearDrawablePixels();
    // When rendererClearDrawable or `force` is set: with the render context current and
    // locked and the render lock held, erases the pixel buffer (colour to transparent black,
    // and depth).
    void clearDrawablePixels(bool force);

    // ---- Update chain ----------------------------------------------------------------------

    // textureUpdate(seconds as a number). Subclasses override it to prepare their inputs,
    // then call the base.
    bool textureUpdateWithTime(double seconds) override;
    // The same.
    bool updateTexture(double seconds);
    // Renders a frame for `time` (a number of seconds; null is 0) and, when one was drawn,
    // copies it into the texture. True when a frame was drawn. An exception of the scene
    // passes on with the locks given back, the previous context current and the dirty flag
    // cleared.
    bool textureUpdate(const QVariant &time) override;
    // textureUpdate(null).
    bool textureUpdate() override;
    // When a frame waits (textureUpdateNeeded): with the sharing context current and locked
    // and the render lock held, clears the flag, then copies the pixel buffer into the
    // texture (its binding in the sharing context put back after). True when copied.
    virtual bool updateTextureInTextureSharingContext();

    // ---- Pixel buffer ----------------------------------------------------------------------

    // A new pixel buffer of the texture target, GL_RGBA, no mipmaps, the truncated size,
    // attached (setPixelBuffer); false when it cannot be made.
    bool createOrUpdatePixelBuffer(NSSize size);
    // Under the render lock: detaches the old pixel buffer when rendererClearDrawable is set,
    // keeps `pixelBuffer` and attaches it to the pixel-buffer context for the sharing
    // context's virtual screen.
    void setPixelBuffer(std::shared_ptr<NSOpenGLPixelBuffer> pixelBuffer);
    std::shared_ptr<NSOpenGLPixelBuffer> pixelBuffer() const { return privatePixelBuffer(); }
    // With the sharing context current: linear filters; a transparent clamp-to-border edge
    // for rectangle textures, repeat otherwise (the target's binding put back after).
    void initTextureParameters();

    // ---- Locking ---------------------------------------------------------------------------

    // The render lock (nothing before initialisation).
    void lock() override;
    void unlock() override;

    // ---- Queries ---------------------------------------------------------------------------

    // The pixel buffer's size; 0 without one. The texture's size follows the pixel buffer.
    GLuint pixelsWide() const;
    GLuint pixelsHigh() const;
    GLuint textureWidth() const override { return pixelsWide(); }
    GLuint textureHeight() const override { return pixelsHigh(); }
    void setTextureWidth(GLuint) override {}
    void setTextureHeight(GLuint) override {}

    // The CGL context of the pixel-buffer context and of the sharing context (borrowed; null
    // when none), and (0, 0, width, height) of the pixel buffer.
    CGLContextObj renderContext() const override;
    CGLContextObj textureUpdateContextObj() const;
    CGRect renderBounds() const override;

    GLuint textureName() const override { return mTextureName; }
    void setTextureName(GLuint textureName) override { mTextureName = textureName; }
    GLenum textureTarget() const { return mTextureTarget; }
    bool textureUpdateNeeded() const override { return mTextureUpdateNeeded.load(); }
    void setTextureUpdateNeeded(bool textureUpdateNeeded) override { mTextureUpdateNeeded = textureUpdateNeeded; }
    bool flipVertical() const override { return mFlipVertical; }
    void setFlipVertical(bool flipVertical) override { mFlipVertical = flipVertical; }
    bool flipHorizontal() const override { return mFlipHorizontal; }
    void setFlipHorizontal(bool flipHorizontal) override { mFlipHorizontal = flipHorizontal; }
    bool rendererClearDrawable() const { return mRendererClearDrawable; }
    void setRendererClearDrawable(bool rendererClearDrawable) { mRendererClearDrawable = rendererClearDrawable; }

    // 0 to width and 0 to height for a rectangle target, 0 to 1 otherwise; minimum and
    // maximum swapped on S when flipHorizontal and on T when flipVertical is set.
    float textureCoordSMin() const override;
    float textureCoordSMax() const override;
    float textureCoordTMin() const override;
    float textureCoordTMax() const override;

    // Null loads the identity into the current matrix; otherwise the matrix's
    // applyTextureMatrix with this renderer.
    void textureWithMatrix(NSOGLQuadMatrixProtocol *matrix) const;

    // Whether both contexts exist and report the same virtual screen.
    virtual bool pixelBufferContextHasSameVirtualScreenAsSharingContext() const;

    // ---- Properties (each read and written atomically) -------------------------------------

    std::shared_ptr<NSOpenGLPixelFormat> pixelFormat() const;
    void setPixelFormat(std::shared_ptr<NSOpenGLPixelFormat> pixelFormat);
    std::shared_ptr<NSOpenGLContext> pixelBufferContext() const;
    void setPixelBufferContext(std::shared_ptr<NSOpenGLContext> pixelBufferContext);
    std::shared_ptr<NSOpenGLPixelBuffer> privatePixelBuffer() const;
    void setPrivatePixelBuffer(std::shared_ptr<NSOpenGLPixelBuffer> privatePixelBuffer);
    std::shared_ptr<NSOpenGLContext> sharingContext() const;
    void setSharingContext(std::shared_ptr<NSOpenGLContext> sharingContext);
    std::shared_ptr<NSOGLRecursiveLock> renderLock() const;
    void setRenderLock(std::shared_ptr<NSOGLRecursiveLock> renderLock);

protected:
    // The texture's extent before flips.
    float _textureCoordSMin() const { return 0.0f; }
    float _textureCoordTMin() const { return 0.0f; }
    float _textureCoordSMax() const;
    float _textureCoordTMax() const;

private:
    mutable std::mutex mPropertyLock;  // guards the five properties below
    std::shared_ptr<NSOpenGLPixelFormat> mPixelFormat;
    std::shared_ptr<NSOpenGLContext> mPixelBufferContext;
    std::shared_ptr<NSOpenGLPixelBuffer> mPrivatePixelBuffer;
    std::shared_ptr<NSOpenGLContext> mSharingContext;
    std::shared_ptr<NSOGLRecursiveLock> mRenderLock;

    GLenum mTextureTarget = GL_TEXTURE_2D;
    GLuint mTextureName = 0;
    std::atomic<bool> mFlipVertical{false};
    std::atomic<bool> mFlipHorizontal{false};
    std::atomic<bool> mRendererClearDrawable{false};
    std::atomic<bool> mTextureUpdateNeeded{false};
};

bool import_NSOGLPBufferRendererBase();
