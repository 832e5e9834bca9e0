// Offscreen contexts: an object that owns a CGL context made for one display, in one of
// several backings (no drawable, a pixel buffer, a framebuffer object of its own, a block of
// main memory, or memory beside an IOSurface), and the holder of the kit's process-wide
// objects: the three default pixel formats and the root sharing context, the anchor of the
// share group of every OpenGL object of the process (NSOGLSharingContext forwards to them).
//
// Objects are made in two phases: construct, then call one initialiser
// (initWithDisplayID, initWithMainDisplayID), which runs the subclass's hooks:
//   pixelFormatObjForDisplay  the CGL pixel format of the context (borrowed; null: no context)
//   rootGLContextObj          the share context (the root's when the role is 2)
//   copyNewOffscreenCGLContextObject  the context, made with that format and share context,
//                                     its backing attached (the caller owns the result)
// makeWithDisplayID does both.
//
// Sharing roles: 0 shared, 1 stand-alone (the default), 2 shares the root sharing context,
// 3 pixel buffer. Only role 2 makes a context share the root.
//
// Sizes: openGLTargetRect is half the display's size in each direction (whole pixels);
// every backing is made that size.
//
// Read-back: copyCGImageWithReadPixelsWithSizePixels reads the current context's framebuffer
// into an upright image (bytes B, G, R, X, the top row first); writeCGImageRef writes an image
// to a file of an ImageIO type ("public.jpeg"...).
//
// Process-wide objects are made once, on first use from any thread, and never released (no
// GL call for them at exit). GL errors are discarded after each call and never reported.
#pragma once

#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>
#include <CoreGraphics/CGGeometry.h>
#include <CoreGraphics/CGImage.h>
#include <IOSurface/IOSurface.h>
#include <OpenGL/CGDirectDisplay.h>
#include <OpenGL/NSOpenGL.h>
#include <OpenGL/OpenGL.h>

#include <CocoaGL/NSOGLFrameBufferObjectState.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

enum : int32_t {
    kNSOGLSharingContextRoleShared = 0,
    kNSOGLSharingContextRoleStandAlone = 1,
    kNSOGLSharingContextRoleSharesRoot = 2,
    kNSOGLSharingContextRolePBuffer = 3,
};

class NSOGLOffscreenContextBase {
public:
    NSOGLOffscreenContextBase() = default;
    // Clears the CGL pixel format, the pixel format and the display identifier.
    virtual ~NSOGLOffscreenContextBase();
    NSOGLOffscreenContextBase(const NSOGLOffscreenContextBase &) = delete;
    NSOGLOffscreenContextBase &operator=(const NSOGLOffscreenContextBase &) = delete;

    // Stores display and role and sets the pixel format of pixelFormatObjForDisplay.
    virtual void initWithDisplayID(CGDirectDisplayID displayID, int32_t role);
    // The main display, role 1.
    void initWithMainDisplayID() { initWithDisplayID(CGMainDisplayID(), kNSOGLSharingContextRoleStandAlone); }

    // A new object of class T initialised for the display and role.
    template <class T>
    static std::shared_ptr<T> makeWithDisplayID(CGDirectDisplayID displayID, int32_t role) {
        auto made = std::make_shared<T>();
        made->initWithDisplayID(displayID, role);
        return made;
    }
    // An object of this class for the main display sharing the root (role 2).
    static std::shared_ptr<NSOGLOffscreenContextBase> offscreenDrawableWithSharedRoot();

    // Hooks (see the top of the file).
    virtual CGLPixelFormatObj pixelFormatObjForDisplay(CGDirectDisplayID displayID, int32_t role) const;
    virtual CGLContextObj rootGLContextObj() const;
    virtual CGLContextObj copyNewOffscreenCGLContextObject(CGLPixelFormatObj pixelFormat);

    // The context: null for this class (the CGL subclasses have one).
    virtual std::shared_ptr<NSOpenGLContext> openGLContext() const { return nullptr; }

    // The CGL pixel format (borrowed), and its setter: keeps a reference on the new one and
    // wraps it in a new pixel format object (none for null).
    CGLPixelFormatObj openGLPixelFormatObj() const;
    void setOpenGLPixelFormatObj(CGLPixelFormatObj pixelFormat);
    std::shared_ptr<NSOpenGLPixelFormat> openGLPixelFormat() const;

    CGDirectDisplayID openGLDisplayID() const { return mDisplayID; }
    void setOpenGLDisplayID(CGDirectDisplayID displayID) { mDisplayID = displayID; }
    int32_t openGLSharingContextRole() const { return mSharingContextRole; }
    void setOpenGLSharingContextRole(int32_t role) { mSharingContextRole = role; }
    // True when the role is not 0.
    bool openGLSharingContext() const { return mSharingContextRole != kNSOGLSharingContextRoleShared; }

    // For role 2 the root sharing context (and its CGL context), else none.
    std::shared_ptr<NSOpenGLContext> rootGLContext() const;

    // Process-wide objects; null when their CGL object could not be made.
    static std::shared_ptr<NSOpenGLContext> rootSharedOpenGLContext();
    static std::shared_ptr<NSOpenGLPixelFormat> sharedOpenGLPixelFormat();     // role 0
    static std::shared_ptr<NSOpenGLPixelFormat> defaultTexturePixelFormat();   // role 2
    static std::shared_ptr<NSOpenGLPixelFormat> defaultPBufferPixelFormat();   // role 3

    // (0, 0, display width / 2, display height / 2), halved in whole pixels.
    CGRect openGLTargetRect() const;
    // (0, 0, 1280, 800).
    static CGRect defaultOpenGLTargetRect();
    // The display's width and height in pixels.
    static CGSize displaySizePixels(CGDirectDisplayID displayID);

    // Reading back the current context's framebuffer (0, 0, truncated size) into a new image
    // (owned by the caller), upright; glFlush first when `flush`. Null without a current
    // context, for an empty size or when memory runs out. The context is locked meanwhile.
    static CGImageRef copyCGImageWithReadPixelsWithSizePixels(CGSize size, bool flush);
    // The same on this object's context (made current for the call) and target size.
    CGImageRef copyCGImageWithReadPixels(bool flush);

    // Writes `image` to the file at the POSIX `path` as `type`; false for a null image, a
    // type that cannot be written or a file that cannot.
    static bool writeCGImageRef(CGImageRef image, const std::string &path, CFStringRef type);
    // With a context current only: reads back `size` (flushed) and writes it; true when
    // written.
    static bool readPixelsImageSize(CGSize size, const std::string &path, CFStringRef type);
    // The same with this object's context current and its target size.
    bool readPixelsAndWriteToFileSystemPath(const std::string &path, CFStringRef type);
    bool readPixelsAndWriteToFileSystemPath_kUTTypeJPEG(const std::string &path);

    // With the context current: viewport (0, 0, width, height), projection identity,
    // model-view an orthographic projection of (0, width) x (0, height) x (-1, 1), cleared to
    // opaque black. Nothing without a context.
    void reshapeOpenGLContext(CGRect rect);
    void reshapeOpenGLContext() { reshapeOpenGLContext(openGLTargetRect()); }

protected:
    mutable std::mutex mSync;  // the instance's synchronisation

private:
    CGLPixelFormatObj mPixelFormatObj = nullptr;  // retained
    std::shared_ptr<NSOpenGLPixelFormat> mPixelFormat;
    CGDirectDisplayID mDisplayID = 0;
    int32_t mSharingContextRole = kNSOGLSharingContextRoleStandAlone;
};

// An offscreen context that owns a CGL context.
class NSOGLOffscreenContextBaseCGL : public NSOGLOffscreenContextBase {
public:
    NSOGLOffscreenContextBaseCGL() = default;
    // Lets go of the context object and the CGL context.
    ~NSOGLOffscreenContextBaseCGL() override;

    // The base's, then, with a pixel format, the context of copyNewOffscreenCGLContextObject.
    void initWithDisplayID(CGDirectDisplayID displayID, int32_t role) override;
    // CGLCreateContext with the pixel format and rootGLContextObj as share context.
    CGLContextObj copyNewOffscreenCGLContextObject(CGLPixelFormatObj pixelFormat) override;

    std::shared_ptr<NSOpenGLContext> openGLContext() const override;
    CGLContextObj openGLContextObj() const;
    // Keeps a reference on the new context (null: none), wraps it in a new context object,
    // then reshapes it.
    void setOpenGLContextObj(CGLContextObj context);

private:
    CGLContextObj mContextObj = nullptr;  // retained
    std::shared_ptr<NSOpenGLContext> mContext;
};

// A context without a drawable: it draws only into framebuffer objects. The pool's members.
class NSOGLOffscreenContextWithCGLNoBacking : public NSOGLOffscreenContextBaseCGL {
public:
    // The texture (role 2) format.
    CGLPixelFormatObj pixelFormatObjForDisplay(CGDirectDisplayID displayID, int32_t role) const override;
};

// A context drawing into a pixel buffer of the target size (rectangle texture, RGBA).
class NSOGLOffscreenContextWithCGLPBufferBacking : public NSOGLOffscreenContextBaseCGL {
public:
    ~NSOGLOffscreenContextWithCGLPBufferBacking() override;

    // The pixel-buffer (role 3) format.
    CGLPixelFormatObj pixelFormatObjForDisplay(CGDirectDisplayID displayID, int32_t role) const override;
    CGLContextObj copyNewOffscreenCGLContextObject(CGLPixelFormatObj pixelFormat) override;

    // Makes the pixel buffer and attaches it to `context`; false when one exists already or
    // it cannot be made or attached.
    bool createOffscreenCGLPBufferObject(CGLContextObj context);
    // Attaches the pixel buffer to `context` on its virtual screen.
    bool selectOpenGLContextPBuffer(CGLContextObj context);
    CGLPBufferObj openGLPBufferObj() const { return mPBuffer; }

private:
    CGLPBufferObj mPBuffer = nullptr;  // owned
};

// A context drawing into a framebuffer object of its own of the target size, left bound (on
// the thread that made it: a framebuffer binding belongs to each thread's GL context).
class NSOGLOffscreenContextWithCGLDrawableFBO : public NSOGLOffscreenContextBaseCGL {
public:
    // With the context current: ends rendering into the framebuffer with a flush and
    // destroys it.
    ~NSOGLOffscreenContextWithCGLDrawableFBO() override;

    CGLContextObj copyNewOffscreenCGLContextObject(CGLPixelFormatObj pixelFormat) override;
    const NSOGLDrawableFBOState &fbo() const { return mFBO; }

private:
    NSOGLDrawableFBOState mFBO;
};

// The memory of the memory backings: width x height pixels of 4 bytes, rows of width x 4.
class NSOGLOffscreenContextWithCGLMemoryBase : public NSOGLOffscreenContextBaseCGL {
public:
    // Frees the memory.
    ~NSOGLOffscreenContextWithCGLMemoryBase() override;

    // None: this class makes no context.
    CGLPixelFormatObj pixelFormatObjForDisplay(CGDirectDisplayID displayID, int32_t role) const override;

    // Allocates the memory for the truncated size (none for an empty size); whether it was.
    bool createMemoryBackingBufferSizePixels(CGSize size);
    void *offscreenMemoryBuffer() const { return mBuffer; }
    uint32_t offscreenWidth() const { return mWidth; }
    uint32_t offscreenHeight() const { return mHeight; }
    uint32_t offscreenRowBytes() const { return mRowBytes; }
    uint32_t offscreenSizeBytes() const { return mSizeBytes; }

protected:
    void freeMemoryBackingBuffer();

private:
    void *mBuffer = nullptr;
    uint32_t mWidth = 0;
    uint32_t mHeight = 0;
    uint32_t mRowBytes = 0;
    uint32_t mSizeBytes = 0;
};

// A context drawing into the memory (CGLSetOffScreen); never shares.
class NSOGLOffscreenContextWithCGLMemoryBacking : public NSOGLOffscreenContextWithCGLMemoryBase {
public:
    // Detaches the memory from the context before it is freed.
    ~NSOGLOffscreenContextWithCGLMemoryBacking() override;

    // Its own offscreen format (OffScreen, colour 24, alpha 8), chosen once.
    CGLPixelFormatObj pixelFormatObjForDisplay(CGDirectDisplayID displayID, int32_t role) const override;
    // None, whatever the role.
    CGLContextObj rootGLContextObj() const override;
    CGLContextObj copyNewOffscreenCGLContextObject(CGLPixelFormatObj pixelFormat) override;

    // A new image (owned by the caller) of a copy of the memory, bytes B, G, R, A, after the
    // context's drawing has been copied into it; null without memory.
    CGImageRef copyCGImageDrawableContents();
};

// A context with memory of the target size and an IOSurface of that size ('BGRA').
class NSOGLOffscreenContextWithCGLMemoryTexture : public NSOGLOffscreenContextWithCGLMemoryBase {
public:
    ~NSOGLOffscreenContextWithCGLMemoryTexture() override;

    // The texture (role 2) format.
    CGLPixelFormatObj pixelFormatObjForDisplay(CGDirectDisplayID displayID, int32_t role) const override;
    CGLContextObj copyNewOffscreenCGLContextObject(CGLPixelFormatObj pixelFormat) override;

    // Makes the surface, with the root's context current meanwhile; whether it was made.
    bool createTexture(CGLContextObj context);
    // A new surface of the truncated size (owned by the caller), 'BGRA', not global.
    static IOSurfaceRef createSurfaceWithSizePixels(CGSize size);

    IOSurfaceID surfaceID() const;
    GLenum textureTarget() const { return mTextureTarget; }
    GLuint textureName() const { return mTextureName; }
    IOSurfaceRef surface() const { return mSurface; }

private:
    GLenum mTextureTarget = 0;
    GLuint mTextureName = 0;  // never set: 0
    IOSurfaceRef mSurface = nullptr;  // owned
};

bool import_NSOGLOffscreenContextBase();
