// NSOGLTextureBase: the root of the texture family. One OpenGL texture object with its target,
// name, size, flip switches, a dirty flag and an optional recursive lock, and the upload paths
// (bitmaps, raw pixel data, 2vuy video frames, widget contents, a transparent fill).
//
// Making a texture is two-phase, so that the overridable steps (initTextureProperties,
// textureUpdate) run the subclass's code: construct the object, then call one initialiser.
//
//     auto texture = std::make_shared<NSOGLTextureBase>();
//     texture->initWithTextureTarget(GL_TEXTURE_RECTANGLE_EXT, 640, 480);
//
// A constructed object that has not been initialised is a GL_TEXTURE_2D texture of 0 x 0
// without a GL texture (its name has all 32 bits set). A subclass's own initialiser does its
// set-up and calls the base initialiser it needs.
//
// Contexts. GL work uses the CGL context current on the calling thread. The texture remembers
// the context current when its name was made (or wrapped, or set), holding a reference on it:
// releasing the texture deletes the name with that context (its share group) current and
// locked, making it current for the deletion when another context or none is current, and
// putting the caller's context back after. A texture whose name was made with no context
// current owns no context, and its name is deleted only when a context is current at release.
//
// GL errors are drained after each state change and never reported; failures answer false.
//
// Threads. Creating, sizing and deleting hold the CGL lock of the context used. The upload
// paths rely on the caller's context and take no CGL lock. The object's own recursive lock
// (lock / tryLock / unlock) is for owners that update a texture on one thread and draw it on
// another; the base never takes it itself. Take a CGL lock before the object's lock and give
// the object's lock back first.
#pragma once

#include <CocoaGL/protocol_NSOGLDynamicTexture.h>

#include <AppKit/NSBitmapImageRep.h>
#include <Foundation/NSGeometry.h>
#include <OpenGL/NSOpenGL.h>
#include <OpenGL/OpenGL.h>
#include <OpenGL/gl.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class QWidget;

// A recursive lock that is safe to misuse: unlocking a lock the calling thread does not hold
// does nothing (and answers false) instead of corrupting it.
class NSOGLRecursiveLock {
public:
    void lock();
    bool tryLock();
    bool unlock();

private:
    std::mutex mMutex;
    std::condition_variable mReleased;
    std::thread::id mOwner;
    unsigned mCount = 0;
};

class NSOGLTextureBase : public protocol_NSOGLDynamicTexture {
public:
    // The name of a texture that has no GL texture object.
    static constexpr GLuint kNoTextureName = 0xFFFFFFFFu;
    // The four-character code '2vuy' (Cb Y0 Cr Y1 for each pair of pixels).
    static constexpr uint32_t k2vuyPixelFormat = 0x32767579u;

    // GL_TEXTURE_2D, 0 x 0, no texture object: call an initialiser.
    NSOGLTextureBase();
    ~NSOGLTextureBase() override;
    NSOGLTextureBase(const NSOGLTextureBase &) = delete;
    NSOGLTextureBase &operator=(const NSOGLTextureBase &) = delete;

    // ---- Initialisers ----------------------------------------------------------------------

    // Stores the target and size. For GL_TEXTURE_2D and GL_TEXTURE_RECTANGLE_EXT then makes
    // the texture object (createTextureID), sets the dirty flag and calls textureUpdate();
    // any other target gets no texture object (the name keeps all bits set).
    void initWithTextureTarget(GLenum target, GLuint width, GLuint height);
    // The same; the context is not used (the current one is).
    void initWithTextureTarget(GLenum target, GLuint width, GLuint height, NSOpenGLContext *openGLContext);
    // GL_TEXTURE_2D, 0 x 0.
    void init();
    // Wraps an existing texture name (which the texture then owns and deletes) without making
    // one; sets the dirty flag to `needsUpdate` and calls textureUpdate() when it is set.
    void initWithTextureName(GLuint name, GLenum target, GLuint width, GLuint height, bool needsUpdate);

    // "NSOGLTextureBase{name:%d target:%d (%dx%d)}".
    virtual std::string description() const;

    // ---- Identity and state ----------------------------------------------------------------

    GLenum textureTarget() const { return mTextureTarget; }
    void setTextureTarget(GLenum target) { mTextureTarget = target; }

    // Setting a real name (not 0, not kNoTextureName) while the texture owns no context makes
    // the current context its owner (see Contexts above).
    void setTextureName(GLuint textureName) override;
    GLuint textureName() const override { return mTextureName; }
    void setTextureWidth(GLuint textureWidth) override { mTextureWidth = textureWidth; }
    GLuint textureWidth() const override { return mTextureWidth; }
    void setTextureHeight(GLuint textureHeight) override { mTextureHeight = textureHeight; }
    GLuint textureHeight() const override { return mTextureHeight; }
    void setFlipVertical(bool flipVertical) override { mFlipVertical = flipVertical; }
    bool flipVertical() const override { return mFlipVertical; }
    void setFlipHorizontal(bool flipHorizontal) override { mFlipHorizontal = flipHorizontal; }
    bool flipHorizontal() const override { return mFlipHorizontal; }
    void setTextureUpdateNeeded(bool textureUpdateNeeded) override { mTextureUpdateNeeded = textureUpdateNeeded; }
    bool textureUpdateNeeded() const override { return mTextureUpdateNeeded; }
    bool isDirty() const { return textureUpdateNeeded(); }
    void setDirty(bool dirty) { setTextureUpdateNeeded(dirty); }

    // The context that owns the texture name (borrowed; null when none). Setting one retains
    // it and lets the previous one go; a subclass that makes its name in a context of its
    // choosing sets it.
    CGLContextObj textureShareContext() const;
    void setTextureShareContext(CGLContextObj context);

    // ---- Locking ---------------------------------------------------------------------------

    // The lock, made on the first lock() or tryLock(); null before.
    std::shared_ptr<NSOGLRecursiveLock> optionalMutex() const;
    void setOptionalMutex(std::shared_ptr<NSOGLRecursiveLock> mutex);
    void lock() override;
    bool tryLock();
    // Does nothing before the lock exists (or when the calling thread does not hold it).
    void unlock() override;

    // ---- Coordinates -----------------------------------------------------------------------

    // S 0..width and T 0..height for GL_TEXTURE_RECTANGLE_EXT, 0..1 for every other target.
    float targetTextureCoordSMin() const;
    float targetTextureCoordSMax() const;
    float targetTextureCoordTMin() const;
    float targetTextureCoordTMax() const;
    // The target range with minimum and maximum swapped on S when flipHorizontal is set and
    // on T when flipVertical is set.
    float textureCoordSMin() const override;
    float textureCoordSMax() const override;
    float textureCoordTMin() const override;
    float textureCoordTMax() const override;
    // (width, height).
    NSSize textureSize() const;

    // ---- Update chain ----------------------------------------------------------------------

    // textureUpdate(seconds as a number).
    bool textureUpdateWithTime(double seconds) override;
    // textureUpdate().
    bool textureUpdate(const QVariant &time) override;
    // textureUpdateDefault().
    bool textureUpdate() override;
    // textureUpdateTransparent_GL_RGBA().
    virtual bool textureUpdateDefault();

    // ---- GL set-up (the current context, its CGL lock held) -----------------------------------

    // Makes the texture name (nothing without a current context), binds it, calls
    // initTextureProperties and puts the target's previous binding back. The current context
    // becomes the texture's owner.
    virtual void createTextureID();
    // Called with the texture bound: filters GL_LINEAR; wrap GL_CLAMP_TO_BORDER for
    // rectangle textures, GL_REPEAT otherwise.
    virtual void initTextureProperties();
    // Storage without data: level 0, GL_RGBA, the texture's size, from GL_BGRA /
    // GL_UNSIGNED_INT_8_8_8_8_REV. Clears the dirty flag. False without a current context or
    // texture object.
    virtual bool textureUpdateNull();
    // On `context`, for the texture's target: border colour (0, 0, 0, 0), wrap S and T
    // GL_CLAMP_TO_BORDER. Acts on the texture bound to that target (callers bind first).
    static void textureClampToTransparentBorder(const NSOGLTextureBase *texture, CGLContextObj context);
    // Null loads the identity into the current matrix; otherwise the matrix's
    // applyTextureMatrix with this texture.
    void textureWithMatrix(NSOGLQuadMatrixProtocol *matrix) const;

    // The binding query of the target (GL_TEXTURE_BINDING_RECTANGLE_EXT for rectangle
    // textures, GL_TEXTURE_BINDING_2D otherwise).
    GLenum textureBindingQuery() const;

    // ---- Uploads (textureUpdate category) --------------------------------------------------
    //
    // Pixels are uploaded into level 0 at the texture's width and height, row 0 of the data
    // first (texture row 0). Rows are `rowBytes` apart: the row length given to OpenGL comes
    // from it, so padded rows upload straight. Row bytes that are not a whole number of pixels,
    // or fewer than a row of the texture's width, are refused.

    // Source layout: 8 bits and 1 sample without alpha from GL_LUMINANCE; 24 bits and 3
    // samples without alpha from GL_RGB; 32 bits or 4 samples from GL_RGBA (8-bit samples,
    // internal format GL_RGBA). A null pointer or zero row bytes is refused (reported) with
    // the dirty flag kept; another layout is reported ("0") and clears the dirty flag. False
    // without a current context or texture object.
    bool textureUpdateFromPixelData(const void *pixelData, std::size_t rowBytes, unsigned bitsPerPixel,
                                    unsigned samplesPerPixel, bool hasAlpha);
    // The bitmap's pixels through textureUpdateFromPixelData. A null bitmap ("bitmap"), one of
    // floating-point samples ("fFloatingPoint==false"), one smaller than the texture and a
    // failure of the pixel-data path are reported; each gives false.
    bool textureUpdateFromBitmapDataSameSize(const std::shared_ptr<NSBitmapImageRep> &bitmap);
    // False for null; the same-size path when the bitmap's pixel size is the texture's, else
    // the resize path.
    bool textureUpdateFromBitmapData(const std::shared_ptr<NSBitmapImageRep> &bitmap);
    // The bitmap drawn scaled to the texture's size into a transparent bitmap, then the
    // same-size path.
    bool textureUpdateFromBitmapDataResize(const std::shared_ptr<NSBitmapImageRep> &bitmap);
    // The bitmap scaled to the texture's size over black (bitmapImageRepWithBitmap), then the
    // same-size path; false when no bitmap results.
    bool textureUpdateFromBitmapDataResize_NewVersionDoesNotWorkWithMasks(
        const std::shared_ptr<NSBitmapImageRep> &bitmap);
    // A transparent bitmap of the texture's size through textureUpdateFromBitmapData.
    bool textureUpdateTransparent_GL_RGBA();
    // The widget's contents (its size must equal the texture's) copied into the texture with
    // `textureContext` current (the caller's context put back after), internal format
    // GL_RGBA, the widget's bottom row first (texture row 0), as a drawable read back into a
    // texture. The dirty flag is not touched. False for a null widget or a context without a
    // CGL context.
    bool textureUpdateFromViewContents(QWidget *view, NSOpenGLContext *textureContext);
    // A 2vuy frame (Cb Y0 Cr Y1 pairs, BT.709 video range) into a rectangle texture: the
    // pixels are converted to RGBA (the OpenGL here has no 4:2:2 texture format) and uploaded,
    // internal format GL_RGB8. False for a null pointer, refused row bytes, a pixel format
    // other than '2vuy', or no current context; true without upload for a target other than
    // GL_TEXTURE_RECTANGLE_EXT (dirty flag cleared). The dirty flag is kept on failure.
    bool textureUpdateFrom_2vuy_data(const void *pixelData, std::size_t rowBytes, uint32_t pixelFormat);
    // The same from the pixel-unpack buffer bound in the current context, at `offset`; rows
    // tightly packed (width x 2 bytes). False without a current context, without a bound
    // buffer, for a pixel format other than '2vuy' or when the frame lies outside the buffer;
    // true without upload (dirty flag untouched) for a target other than
    // GL_TEXTURE_RECTANGLE_EXT.
    bool textureUpdateFrom_2vuy_data_PBO(std::intptr_t offset, uint32_t pixelFormat);

protected:
    // Deletes the texture name in its owner's share group (see Contexts above) and forgets
    // it. Called by the destructor; a subclass may call it earlier.
    void releaseTextureName();

private:
    GLenum mTextureTarget = GL_TEXTURE_2D;
    GLuint mTextureName = kNoTextureName;
    GLuint mTextureWidth = 0;
    GLuint mTextureHeight = 0;
    bool mTextureUpdateNeeded = false;
    bool mFlipVertical = false;
    bool mFlipHorizontal = false;
    mutable std::mutex mPropertyLock;  // guards the lock's creation and the owner context
    std::shared_ptr<NSOGLRecursiveLock> mOptionalMutex;
    CGLContextObj mShareContext = nullptr;  // retained
};

bool import_NSOGLTextureBase();
