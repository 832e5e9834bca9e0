#include <CocoaGL/NSOGLOffscreenContextBase.h>

#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFNumber.h>
#include <CoreFoundation/CFURL.h>
#include <CoreG/GL/namespace_Apple_CGL_OffscreenDrawable.h>
#include <CoreGraphics/CGBitmapContext.h>
#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGDataProvider.h>
#include <ImageIO/ImageIO.h>
#include <OpenGL/CGLPixelStore.h>
#include <OpenGL/glext.h>

#include <cstdlib>
#include <cstring>

using OpenGL::DiscardGLErrors;

namespace {

// A size in whole pixels: truncated; negative, NaN and sizes past 32767 (more than any
// context or image here takes) give 0.
uint32_t Pixels(CGFloat size) {
    if (!(size >= 1.0) || size > 32767.0) return 0;
    return static_cast<uint32_t>(size);
}

// A process-wide pixel format object over a CGL format, or null without one; never released.
std::shared_ptr<NSOpenGLPixelFormat> *NewPixelFormat(CGLPixelFormatObj format) {
    return new std::shared_ptr<NSOpenGLPixelFormat>(format != nullptr ? std::make_shared<NSOpenGLPixelFormat>(format)
                                                                       : nullptr);
}

}  // namespace

// ---- NSOGLOffscreenContextBase --------------------------------------------------------------

NSOGLOffscreenContextBase::~NSOGLOffscreenContextBase() {
    setOpenGLPixelFormatObj(nullptr);
    setOpenGLDisplayID(0);
}

void NSOGLOffscreenContextBase::initWithDisplayID(CGDirectDisplayID displayID, int32_t role) {
    setOpenGLDisplayID(displayID);
    setOpenGLSharingContextRole(role);
    setOpenGLPixelFormatObj(pixelFormatObjForDisplay(displayID, role));
}

std::shared_ptr<NSOGLOffscreenContextBase> NSOGLOffscreenContextBase::offscreenDrawableWithSharedRoot() {
    return makeWithDisplayID<NSOGLOffscreenContextBase>(CGMainDisplayID(), kNSOGLSharingContextRoleSharesRoot);
}

CGLPixelFormatObj NSOGLOffscreenContextBase::pixelFormatObjForDisplay(CGDirectDisplayID, int32_t) const {
    return Apple_CGL::PixelFormatWindow();
}

CGLContextObj NSOGLOffscreenContextBase::rootGLContextObj() const {
    const std::shared_ptr<NSOpenGLContext> root = rootGLContext();
    return root != nullptr ? root->CGLContextObj() : nullptr;
}

CGLContextObj NSOGLOffscreenContextBase::copyNewOffscreenCGLContextObject(CGLPixelFormatObj) { return nullptr; }

CGLPixelFormatObj NSOGLOffscreenContextBase::openGLPixelFormatObj() const {
    std::lock_guard<std::mutex> guard(mSync);
    return mPixelFormatObj;
}

void NSOGLOffscreenContextBase::setOpenGLPixelFormatObj(CGLPixelFormatObj pixelFormat) {
    std::lock_guard<std::mutex> guard(mSync);
    CGLRetainPixelFormat(pixelFormat);  // first, in case it is the held one
    CGLReleasePixelFormat(mPixelFormatObj);
    mPixelFormatObj = pixelFormat;
    mPixelFormat = pixelFormat != nullptr ? std::make_shared<NSOpenGLPixelFormat>(pixelFormat) : nullptr;
}

std::shared_ptr<NSOpenGLPixelFormat> NSOGLOffscreenContextBase::openGLPixelFormat() const {
    std::lock_guard<std::mutex> guard(mSync);
    return mPixelFormat;
}

std::shared_ptr<NSOpenGLContext> NSOGLOffscreenContextBase::rootGLContext() const {
    return mSharingContextRole == kNSOGLSharingContextRoleSharesRoot ? rootSharedOpenGLContext() : nullptr;
}

std::shared_ptr<NSOpenGLContext> NSOGLOffscreenContextBase::rootSharedOpenGLContext() {
    // Made once; a drawable without a context leaves it null for good.
    static const auto *const root = [] {
        const CGLContextObj context = Apple_CGL::OffscreenDrawableFBO::SharedContext();
        return new std::shared_ptr<NSOpenGLContext>(context != nullptr ? std::make_shared<NSOpenGLContext>(context)
                                                                       : nullptr);
    }();
    return *root;
}

std::shared_ptr<NSOpenGLPixelFormat> NSOGLOffscreenContextBase::sharedOpenGLPixelFormat() {
    static const auto *const format = NewPixelFormat(Apple_CGL::PixelFormatWindow());
    return *format;
}

std::shared_ptr<NSOpenGLPixelFormat> NSOGLOffscreenContextBase::defaultTexturePixelFormat() {
    static const auto *const format = NewPixelFormat(Apple_CGL::PixelFormatDisplay());
    return *format;
}

std::shared_ptr<NSOpenGLPixelFormat> NSOGLOffscreenContextBase::defaultPBufferPixelFormat() {
    static const auto *const format = NewPixelFormat(Apple_CGL::PixelFormatPBuffer());
    return *format;
}

CGRect NSOGLOffscreenContextBase::openGLTargetRect() const {
    const CGSize display = displaySizePixels(openGLDisplayID());
    const auto halfWidth = static_cast<uint32_t>(display.width) / 2;
    const auto halfHeight = static_cast<uint32_t>(display.height) / 2;
    return CGRectMake(0, 0, CGFloat(halfWidth), CGFloat(halfHeight));
}

CGRect NSOGLOffscreenContextBase::defaultOpenGLTargetRect() { return CGRectMake(0, 0, 1280, 800); }

CGSize NSOGLOffscreenContextBase::displaySizePixels(CGDirectDisplayID displayID) {
    return CGSizeMake(CGFloat(CGDisplayPixelsWide(displayID)), CGFloat(CGDisplayPixelsHigh(displayID)));
}

// ---- reading back and writing ---------------------------------------------------------------

CGImageRef NSOGLOffscreenContextBase::copyCGImageWithReadPixelsWithSizePixels(CGSize size, bool flush) {
    const CGLContextObj current = CGLGetCurrentContext();
    if (current == nullptr) return nullptr;
    const OpenGL::CGLContextStateLock scope(current);
    const uint32_t width = Pixels(size.width);
    const uint32_t height = Pixels(size.height);
    if (width == 0 || height == 0) return nullptr;
    const size_t rowBytes = size_t(width) * 4;
    const size_t bytes = rowBytes * height;
    auto *read = static_cast<uint8_t *>(std::malloc(bytes));
    if (read == nullptr) return nullptr;

    DiscardGLErrors();
    if (flush) {
        glFlush();
        DiscardGLErrors();
    }
    std::memset(read, 0, bytes);  // what a failed read leaves
    {
        // Tightly packed rows into client memory, whatever the caller left in the pack state.
        CGLPixelStoreScope pixelStore(CGLPixelStoreScope::kPack, 0, 4);
        glReadPixels(0, 0, GLsizei(width), GLsizei(height), GL_BGRA, GL_UNSIGNED_BYTE, read);
        DiscardGLErrors();
    }
    DiscardGLErrors();

    auto *upright = static_cast<uint8_t *>(std::malloc(bytes));
    if (upright == nullptr) {
        std::free(read);
        return nullptr;
    }
    // OpenGL's bottom row becomes the image's last row.
    for (uint32_t y = 0; y < height; ++y) std::memcpy(upright + y * rowBytes, read + (height - 1 - y) * rowBytes, rowBytes);
    std::free(read);

    CGColorSpaceRef space = CGColorSpaceCreateWithName(kCGColorSpaceGenericRGB);
    CGContextRef bitmap = CGBitmapContextCreate(upright, width, height, 8, rowBytes, space,
                                                kCGBitmapByteOrder32Little | kCGImageAlphaNoneSkipFirst);
    CGImageRef image = bitmap != nullptr ? CGBitmapContextCreateImage(bitmap) : nullptr;
    if (bitmap != nullptr) CGContextRelease(bitmap);
    CGColorSpaceRelease(space);
    std::free(upright);
    return image;
}

CGImageRef NSOGLOffscreenContextBase::copyCGImageWithReadPixels(bool flush) {
    const std::shared_ptr<NSOpenGLContext> context = openGLContext();
    if (context == nullptr) return nullptr;
    const OpenGL::CGLContextState scope(context.get());
    return copyCGImageWithReadPixelsWithSizePixels(openGLTargetRect().size, flush);
}

bool NSOGLOffscreenContextBase::writeCGImageRef(CGImageRef image, const std::string &path, CFStringRef type) {
    if (image == nullptr || path.empty()) return false;
    CFStringRef pathString = CFStringCreateWithCString(nullptr, path.c_str(), kCFStringEncodingUTF8);
    if (pathString == nullptr) return false;
    CFURLRef url = CFURLCreateWithFileSystemPath(nullptr, pathString, kCFURLPOSIXPathStyle, false);
    CFRelease(pathString);
    if (url == nullptr) return false;
    CGImageDestinationRef destination = CGImageDestinationCreateWithURL(url, type, 1, nullptr);
    CFRelease(url);
    if (destination == nullptr) return false;
    CFDictionaryRef options =
        CFDictionaryCreate(nullptr, nullptr, nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    CGImageDestinationAddImage(destination, image, options);
    if (options != nullptr) CFRelease(options);
    const bool written = CGImageDestinationFinalize(destination);
    CFRelease(destination);
    return written;
}

bool NSOGLOffscreenContextBase::readPixelsImageSize(CGSize size, const std::string &path, CFStringRef type) {
    if (CGLGetCurrentContext() == nullptr) return false;
    CGImageRef image = copyCGImageWithReadPixelsWithSizePixels(size, true);
    const bool written = writeCGImageRef(image, path, type);
    if (image != nullptr) CGImageRelease(image);
    return written;
}

bool NSOGLOffscreenContextBase::readPixelsAndWriteToFileSystemPath(const std::string &path, CFStringRef type) {
    const std::shared_ptr<NSOpenGLContext> context = openGLContext();
    if (context == nullptr) return false;
    const OpenGL::CGLContextState scope(context.get());
    return readPixelsImageSize(openGLTargetRect().size, path, type);
}

bool NSOGLOffscreenContextBase::readPixelsAndWriteToFileSystemPath_kUTTypeJPEG(const std::string &path) {
    return readPixelsAndWriteToFileSystemPath(path, kUTTypeJPEG);
}

void NSOGLOffscreenContextBase::reshapeOpenGLContext(CGRect rect) {
    const std::shared_ptr<NSOpenGLContext> context = openGLContext();
    if (context == nullptr) return;
    const OpenGL::CGLContextState scope(context.get());
    const auto width = GLsizei(Pixels(rect.size.width));
    const auto height = GLsizei(Pixels(rect.size.height));
    glViewport(0, 0, width, height);
    DiscardGLErrors();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    DiscardGLErrors();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    DiscardGLErrors();
    glClearColor(0, 0, 0, 1);
    DiscardGLErrors();
    glClear(GL_COLOR_BUFFER_BIT);
    DiscardGLErrors();
}

// ---- NSOGLOffscreenContextBaseCGL -----------------------------------------------------------

NSOGLOffscreenContextBaseCGL::~NSOGLOffscreenContextBaseCGL() {
    std::lock_guard<std::mutex> guard(mSync);
    mContext.reset();
    CGLReleaseContext(mContextObj);
    mContextObj = nullptr;
}

void NSOGLOffscreenContextBaseCGL::initWithDisplayID(CGDirectDisplayID displayID, int32_t role) {
    NSOGLOffscreenContextBase::initWithDisplayID(displayID, role);
    if (const CGLPixelFormatObj format = openGLPixelFormatObj()) {
        if (const CGLContextObj context = copyNewOffscreenCGLContextObject(format)) {
            setOpenGLContextObj(context);
            CGLReleaseContext(context);
        }
    }
    if (CGLGetCurrentContext() != nullptr) DiscardGLErrors();
}

CGLContextObj NSOGLOffscreenContextBaseCGL::copyNewOffscreenCGLContextObject(CGLPixelFormatObj pixelFormat) {
    CGLContextObj context = nullptr;
    if (CGLCreateContext(pixelFormat, rootGLContextObj(), &context) != kCGLNoError) return nullptr;
    return context;
}

std::shared_ptr<NSOpenGLContext> NSOGLOffscreenContextBaseCGL::openGLContext() const {
    std::lock_guard<std::mutex> guard(mSync);
    return mContext;
}

CGLContextObj NSOGLOffscreenContextBaseCGL::openGLContextObj() const {
    std::lock_guard<std::mutex> guard(mSync);
    return mContextObj;
}

void NSOGLOffscreenContextBaseCGL::setOpenGLContextObj(CGLContextObj context) {
    {
        std::lock_guard<std::mutex> guard(mSync);
        CGLRetainContext(context);  // first, in case it is the held one
        CGLReleaseContext(mContextObj);
        mContextObj = context;
        mContext = context != nullptr ? std::make_shared<NSOpenGLContext>(context) : nullptr;
    }
    if (context == nullptr) return;
    reshapeOpenGLContext();
    const OpenGL::CGLContextState scope(context);
    DiscardGLErrors();
}

// ---- NSOGLOffscreenContextWithCGLNoBacking --------------------------------------------------

CGLPixelFormatObj NSOGLOffscreenContextWithCGLNoBacking::pixelFormatObjForDisplay(CGDirectDisplayID, int32_t) const {
    return Apple_CGL::PixelFormatDisplay();
}

// ---- NSOGLOffscreenContextWithCGLPBufferBacking ---------------------------------------------

NSOGLOffscreenContextWithCGLPBufferBacking::~NSOGLOffscreenContextWithCGLPBufferBacking() {
    CGLReleasePBuffer(mPBuffer);  // the context keeps its own reference while it has it
    mPBuffer = nullptr;
}

CGLPixelFormatObj NSOGLOffscreenContextWithCGLPBufferBacking::pixelFormatObjForDisplay(CGDirectDisplayID,
                                                                                      int32_t) const {
    return Apple_CGL::PixelFormatPBuffer();
}

CGLContextObj NSOGLOffscreenContextWithCGLPBufferBacking::copyNewOffscreenCGLContextObject(
    CGLPixelFormatObj pixelFormat) {
    const CGLContextObj context = NSOGLOffscreenContextBaseCGL::copyNewOffscreenCGLContextObject(pixelFormat);
    if (context != nullptr) {
        const OpenGL::CGLContextStateLock scope(context);
        createOffscreenCGLPBufferObject(context);
    }
    return context;
}

bool NSOGLOffscreenContextWithCGLPBufferBacking::createOffscreenCGLPBufferObject(CGLContextObj context) {
    if (mPBuffer != nullptr) return false;
    const CGSize size = openGLTargetRect().size;
    if (CGLCreatePBuffer(GLsizei(Pixels(size.width)), GLsizei(Pixels(size.height)), GL_TEXTURE_RECTANGLE_EXT, GL_RGBA,
                         0, &mPBuffer) != kCGLNoError)
        return false;
    return selectOpenGLContextPBuffer(context);
}

bool NSOGLOffscreenContextWithCGLPBufferBacking::selectOpenGLContextPBuffer(CGLContextObj context) {
    GLint screen = 0;
    if (CGLGetVirtualScreen(context, &screen) != kCGLNoError || mPBuffer == nullptr) return false;
    return CGLSetPBuffer(context, mPBuffer, 0, 0, screen) == kCGLNoError;
}

// ---- NSOGLOffscreenContextWithCGLDrawableFBO ------------------------------------------------

NSOGLOffscreenContextWithCGLDrawableFBO::~NSOGLOffscreenContextWithCGLDrawableFBO() {
    const CGLContextObj context = openGLContextObj();
    if (context == nullptr || !NSOGLFrameBufferObjectState::IsValid(&mFBO)) return;
    const OpenGL::CGLContextStateLock scope(context);
    NSOGLFrameBufferObjectState::EndRender(&mFBO, true);
    NSOGLFrameBufferObjectState::Destruct(&mFBO);
}

CGLContextObj NSOGLOffscreenContextWithCGLDrawableFBO::copyNewOffscreenCGLContextObject(
    CGLPixelFormatObj pixelFormat) {
    const CGLContextObj context = NSOGLOffscreenContextBaseCGL::copyNewOffscreenCGLContextObject(pixelFormat);
    if (context != nullptr) {
        const OpenGL::CGLContextStateLock scope(context);
        const CGSize size = openGLTargetRect().size;
        if (NSOGLFrameBufferObjectState::Construct(&mFBO, Pixels(size.width), Pixels(size.height)))
            NSOGLFrameBufferObjectState::BeginRenderAndSetup(&mFBO);
    }
    return context;
}

// ---- NSOGLOffscreenContextWithCGLMemoryBase -------------------------------------------------

NSOGLOffscreenContextWithCGLMemoryBase::~NSOGLOffscreenContextWithCGLMemoryBase() { freeMemoryBackingBuffer(); }

CGLPixelFormatObj NSOGLOffscreenContextWithCGLMemoryBase::pixelFormatObjForDisplay(CGDirectDisplayID,
                                                                                  int32_t) const {
    return nullptr;
}

bool NSOGLOffscreenContextWithCGLMemoryBase::createMemoryBackingBufferSizePixels(CGSize size) {
    freeMemoryBackingBuffer();
    const uint32_t width = Pixels(size.width);
    const uint32_t height = Pixels(size.height);
    if (width == 0 || height == 0) return false;
    const uint64_t bytes = uint64_t(width) * 4 * height;  // at most 32767 squared x 4: fits
    mBuffer = std::calloc(1, size_t(bytes));
    if (mBuffer == nullptr) return false;
    mWidth = width;
    mHeight = height;
    mRowBytes = width * 4;
    mSizeBytes = uint32_t(bytes);
    return true;
}

void NSOGLOffscreenContextWithCGLMemoryBase::freeMemoryBackingBuffer() {
    std::free(mBuffer);
    mBuffer = nullptr;
    mWidth = mHeight = mRowBytes = mSizeBytes = 0;
}

// ---- NSOGLOffscreenContextWithCGLMemoryBacking ----------------------------------------------

NSOGLOffscreenContextWithCGLMemoryBacking::~NSOGLOffscreenContextWithCGLMemoryBacking() {
    // Someone else may still hold the context: it must not write into freed memory.
    if (const CGLContextObj context = openGLContextObj()) CGLClearDrawable(context);
}

CGLPixelFormatObj NSOGLOffscreenContextWithCGLMemoryBacking::pixelFormatObjForDisplay(CGDirectDisplayID,
                                                                                     int32_t) const {
    static const CGLPixelFormatObj format = [] {
        const CGLPixelFormatAttribute attributes[] = {kCGLPFAOffScreen, kCGLPFAColorSize, CGLPixelFormatAttribute(24),
                                                      kCGLPFAAlphaSize, CGLPixelFormatAttribute(8),
                                                      CGLPixelFormatAttribute(0)};
        CGLPixelFormatObj chosen = nullptr;
        GLint count = 0;
        CGLChoosePixelFormat(attributes, &chosen, &count);
        return chosen;
    }();
    return format;
}

CGLContextObj NSOGLOffscreenContextWithCGLMemoryBacking::rootGLContextObj() const { return nullptr; }

CGLContextObj NSOGLOffscreenContextWithCGLMemoryBacking::copyNewOffscreenCGLContextObject(
    CGLPixelFormatObj pixelFormat) {
    const CGLContextObj context = NSOGLOffscreenContextBaseCGL::copyNewOffscreenCGLContextObject(pixelFormat);
    if (context != nullptr) {
        const OpenGL::CGLContextStateLock scope(context);
        if (createMemoryBackingBufferSizePixels(openGLTargetRect().size))
            CGLSetOffScreen(context, GLsizei(offscreenWidth()), GLsizei(offscreenHeight()), GLint(offscreenRowBytes()),
                            offscreenMemoryBuffer());
    }
    return context;
}

CGImageRef NSOGLOffscreenContextWithCGLMemoryBacking::copyCGImageDrawableContents() {
    if (offscreenMemoryBuffer() == nullptr) return nullptr;
    if (const CGLContextObj context = openGLContextObj()) {
        const OpenGL::CGLContextStateLock scope(context);
        CGLFlushDrawable(context);  // the drawing into the memory
    }
    CFDataRef copy = CFDataCreate(nullptr, static_cast<const UInt8 *>(offscreenMemoryBuffer()),
                                  CFIndex(offscreenSizeBytes()));
    if (copy == nullptr) return nullptr;
    CGDataProviderRef provider = CGDataProviderCreateWithCFData(copy);
    CFRelease(copy);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGImageRef image = CGImageCreate(offscreenWidth(), offscreenHeight(), 8, 32, offscreenRowBytes(), space,
                                     kCGBitmapByteOrder32Little | kCGImageAlphaFirst, provider, nullptr, true,
                                     kCGRenderingIntentDefault);
    CGColorSpaceRelease(space);
    CGDataProviderRelease(provider);
    return image;
}

// ---- NSOGLOffscreenContextWithCGLMemoryTexture ----------------------------------------------

NSOGLOffscreenContextWithCGLMemoryTexture::~NSOGLOffscreenContextWithCGLMemoryTexture() {
    if (const CGLContextObj context = openGLContextObj()) CGLClearDrawable(context);  // as the memory backing
    if (mSurface != nullptr) CFRelease(mSurface);
    mSurface = nullptr;
}

CGLPixelFormatObj NSOGLOffscreenContextWithCGLMemoryTexture::pixelFormatObjForDisplay(CGDirectDisplayID,
                                                                                     int32_t) const {
    return Apple_CGL::PixelFormatDisplay();
}

CGLContextObj NSOGLOffscreenContextWithCGLMemoryTexture::copyNewOffscreenCGLContextObject(
    CGLPixelFormatObj pixelFormat) {
    const CGLContextObj context = NSOGLOffscreenContextBaseCGL::copyNewOffscreenCGLContextObject(pixelFormat);
    if (context != nullptr && createMemoryBackingBufferSizePixels(openGLTargetRect().size)) createTexture(context);
    return context;
}

IOSurfaceRef NSOGLOffscreenContextWithCGLMemoryTexture::createSurfaceWithSizePixels(CGSize size) {
    // Four bytes per element, as a 'BGRA' pixel is: the surface layer takes no size from the
    // pixel format.
    const int32_t numbers[4] = {int32_t('BGRA'), int32_t(Pixels(size.width)), int32_t(Pixels(size.height)), 4};
    CFNumberRef values[4];
    for (int i = 0; i < 4; ++i) values[i] = CFNumberCreate(nullptr, kCFNumberSInt32Type, &numbers[i]);
    const void *keys[5] = {kIOSurfacePixelFormat, kIOSurfaceWidth, kIOSurfaceHeight, kIOSurfaceBytesPerElement,
                           kIOSurfaceIsGlobal};
    const void *objects[5] = {values[0], values[1], values[2], values[3], kCFBooleanFalse};
    CFDictionaryRef properties =
        CFDictionaryCreate(nullptr, keys, objects, 5, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    for (CFNumberRef value : values) CFRelease(value);
    IOSurfaceRef surface = properties != nullptr ? IOSurfaceCreate(properties) : nullptr;
    if (properties != nullptr) CFRelease(properties);
    return surface;
}

IOSurfaceID NSOGLOffscreenContextWithCGLMemoryTexture::surfaceID() const {
    return mSurface != nullptr ? IOSurfaceGetID(mSurface) : 0;
}

bool NSOGLOffscreenContextWithCGLMemoryTexture::createTexture(CGLContextObj context) {
    const std::shared_ptr<NSOpenGLContext> root = rootSharedOpenGLContext();
    if (context == nullptr || root == nullptr) return false;
    const OpenGL::CGLContextState scope(root.get());
    if (CGLGetCurrentContext() != root->CGLContextObj()) return false;
    mTextureTarget = GL_TEXTURE_RECTANGLE_ARB;
    if (mSurface == nullptr) mSurface = createSurfaceWithSizePixels(openGLTargetRect().size);
    if (mSurface == nullptr) return false;
    // The context draws into the surface: its pixels, as offscreen memory, receive the drawing
    // at each CGLFlushDrawable.
    return CGLSetOffScreen(context, GLsizei(IOSurfaceGetWidth(mSurface)), GLsizei(IOSurfaceGetHeight(mSurface)),
                           GLint(IOSurfaceGetBytesPerRow(mSurface)), IOSurfaceGetBaseAddress(mSurface)) == kCGLNoError;
}

bool import_NSOGLOffscreenContextBase() { return true; }
