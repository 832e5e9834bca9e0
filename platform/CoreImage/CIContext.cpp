#include <CoreImage/CIContext.h>

#include <CoreFoundation/CFData.h>
#include <CoreGraphics/CGBitmapContext.h>
#include <CoreGraphics/CGContext.h>
#include <CoreGraphics/CGDataProvider.h>
#include <CoreImage/CIKernel.h>
#include <CoreImage/CIRenderCache.h>
#include <CoreVideo/CVPixelBuffer.h>
#include <IOSurface/IOSurfaceRef.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

using CoreImage::CIProgram;
using CoreImage::CIRenderCache;

namespace {

// Rectangles in whole pixels: x0 <= x1, y0 <= y1.
struct PixelRect {
    long x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    long width() const { return x1 - x0; }
    long height() const { return y1 - y0; }
    bool empty() const { return x1 <= x0 || y1 <= y0; }
};

// The largest texture side a render makes, and the bound a region is clamped to first.
constexpr long kMaxSide = 16384;
constexpr double kFarEdge = 1e30;  // what an infinite edge becomes in a float uniform
constexpr OSType kPixelFormatRGBA = 0x52474241;  // 'RGBA'

// The whole pixels covering a rectangle (empty for null, non-finite or huge ones: a region of
// an infinite image is always cut by a finite one first).
PixelRect PixelsCovering(CGRect r) {
    if (CGRectIsNull(r) || CGRectIsEmpty(r)) return {};
    const double x0 = std::floor(CGRectGetMinX(r)), y0 = std::floor(CGRectGetMinY(r));
    const double x1 = std::ceil(CGRectGetMaxX(r)), y1 = std::ceil(CGRectGetMaxY(r));
    if (!(std::isfinite(x0) && std::isfinite(y0) && std::isfinite(x1) && std::isfinite(y1))) return {};
    if (std::fabs(x0) > 1e12 || std::fabs(y0) > 1e12 || std::fabs(x1) > 1e12 || std::fabs(y1) > 1e12) return {};
    return PixelRect{long(x0), long(y0), long(x1), long(y1)};
}

CGRect RectOf(PixelRect p) { return CGRectMake(double(p.x0), double(p.y0), double(p.width()), double(p.height())); }

PixelRect Intersect(PixelRect a, PixelRect b) {
    return PixelRect{std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
}

bool Contains(PixelRect outer, PixelRect inner) {
    return inner.x0 >= outer.x0 && inner.y0 >= outer.y0 && inner.x1 <= outer.x1 && inner.y1 <= outer.y1;
}

// A rectangle whose edges fit a float uniform.
void ExtentUniform(CGRect r, float out[4]) {
    if (CGRectIsNull(r)) {
        out[0] = out[1] = out[2] = out[3] = 0;
        return;
    }
    const double x0 = std::clamp(CGRectGetMinX(r), -kFarEdge, kFarEdge);
    const double y0 = std::clamp(CGRectGetMinY(r), -kFarEdge, kFarEdge);
    const double x1 = std::clamp(CGRectGetMaxX(r), -kFarEdge, kFarEdge);
    const double y1 = std::clamp(CGRectGetMaxY(r), -kFarEdge, kFarEdge);
    out[0] = float(x0);
    out[1] = float(y0);
    out[2] = float(x1 - x0);
    out[3] = float(y1 - y0);
}

bool IsTranslation(CGAffineTransform t) { return t.a == 1 && t.b == 0 && t.c == 0 && t.d == 1; }

// The bounding box of a rectangle through a transform (null stays null).
CGRect TransformedBounds(CGRect r, CGAffineTransform t) {
    if (CGRectIsNull(r)) return r;
    if (CIRectIsInfinite(r)) return CIRectInfinite;
    return CGRectApplyAffineTransform(r, t);
}

// A texture a pass reads: the name, the matrix from the pass's working space to its pixels,
// the rectangle of valid pixels, and how it is filtered.
struct BoundSampler {
    GLuint texture = 0;
    CIMatrix3 matrix{{1, 0, 0, 0, 1, 0, 0, 0, 1}};
    CGRect clamp = CGRectNull;
    bool linear = true;
};

// Whether the matrix is a translation by whole pixels (identity included).
bool WholePixelMove(const CIMatrix3 &m) {
    return m.m[0] == 1 && m.m[1] == 0 && m.m[3] == 0 && m.m[4] == 1 && m.m[6] == 0 && m.m[7] == 0 && m.m[8] == 1 &&
           m.m[2] == std::floor(m.m[2]) && m.m[5] == std::floor(m.m[5]) && std::fabs(m.m[2]) < 1e7 &&
           std::fabs(m.m[5]) < 1e7;
}

CIMatrix3 MatrixOf(CGAffineTransform t) { return CIMatrix3{{t.a, t.c, t.tx, t.b, t.d, t.ty, 0, 0, 1}}; }

// The GL state a render changes, put back when it is over.
class GLStateScope {
public:
    GLStateScope() {
        glGetIntegerv(GL_CURRENT_PROGRAM, &m_program);
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &m_drawFramebuffer);
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &m_readFramebuffer);
        glGetIntegerv(GL_VIEWPORT, m_viewport);
        glGetIntegerv(GL_ACTIVE_TEXTURE, &m_activeTexture);
        m_scissor = glIsEnabled(GL_SCISSOR_TEST);
        m_depth = glIsEnabled(GL_DEPTH_TEST);
        m_stencil = glIsEnabled(GL_STENCIL_TEST);
        m_cull = glIsEnabled(GL_CULL_FACE);
        m_blend = glIsEnabled(GL_BLEND);
    }
    // Saves the bindings of a texture unit before a pass changes them.
    void saveUnit(GLint unit) {
        for (const Unit &u : m_units)
            if (u.unit == unit) return;
        Unit u;
        u.unit = unit;
        glActiveTexture(GLenum(GL_TEXTURE0 + unit));
        glGetIntegerv(GL_TEXTURE_BINDING_RECTANGLE, &u.texture);
        glGetIntegerv(GL_SAMPLER_BINDING, &u.sampler);
        m_units.push_back(u);
    }
    bool scissorWasEnabled() const { return m_scissor; }
    bool blendWasEnabled() const { return m_blend; }
    ~GLStateScope() {
        for (const Unit &u : m_units) {
            glActiveTexture(GLenum(GL_TEXTURE0 + u.unit));
            glBindTexture(GL_TEXTURE_RECTANGLE, GLuint(u.texture));
            glBindSampler(GLuint(u.unit), GLuint(u.sampler));
        }
        glActiveTexture(GLenum(m_activeTexture));
        glUseProgram(GLuint(m_program));
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(m_drawFramebuffer));
        glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(m_readFramebuffer));
        glViewport(m_viewport[0], m_viewport[1], m_viewport[2], m_viewport[3]);
        Set(GL_SCISSOR_TEST, m_scissor);
        Set(GL_DEPTH_TEST, m_depth);
        Set(GL_STENCIL_TEST, m_stencil);
        Set(GL_CULL_FACE, m_cull);
        Set(GL_BLEND, m_blend);
    }
    static void Set(GLenum cap, GLboolean on) { on ? glEnable(cap) : glDisable(cap); }

private:
    struct Unit {
        GLint unit = 0, texture = 0, sampler = 0;
    };
    GLint m_program = 0, m_drawFramebuffer = 0, m_readFramebuffer = 0, m_viewport[4] = {0, 0, 0, 0};
    GLint m_activeTexture = GL_TEXTURE0;
    GLboolean m_scissor, m_depth, m_stencil, m_cull, m_blend;
    std::vector<Unit> m_units;
};

// Makes a context current on this thread for a scope, and puts the previous one back.
class CurrentContextScope {
public:
    explicit CurrentContextScope(CGLContextObj context) : m_previous(CGLGetCurrentContext()) {
        if (m_previous == context) {
            m_ok = true;
            m_previous = nullptr;
            m_switched = false;
            return;
        }
        if (m_previous) CGLRetainContext(m_previous);
        m_ok = CGLSetCurrentContext(context) == kCGLNoError;
        m_switched = m_ok;
    }
    ~CurrentContextScope() {
        if (m_switched) CGLSetCurrentContext(m_previous);
        if (m_previous) CGLReleaseContext(m_previous);
    }
    bool ok() const { return m_ok; }

private:
    CGLContextObj m_previous;
    bool m_ok = false;
    bool m_switched = false;
};

// The kernel that draws an image through its sampler: a copy with crops and transforms.
const CIKernelRef &CopyKernel() {
    static const CIKernelRef kernel =
        CIKernel::kernelsWithString("kernel vec4 lumoraCopyImage(sampler image) { return sample(image, samplerCoord(image)); }")
            .front();
    return kernel;
}

} // namespace

// One render: what it uploaded and rendered, given back to the pool at its end.
struct CIContext::Engine {
    std::shared_ptr<CIRenderCache> cache;
    GLuint framebuffer = 0;        // intermediate passes
    GLuint targetFramebuffer = 0;  // the texture a render to memory reads back
    CIContextStatistics statistics;

    struct Texture {
        GLuint name = 0;
        GLsizei width = 0, height = 0;
    };
    // A source uploaded or a kernel rendered in this render: its texture and the region of the
    // source's plane it holds (for uploads, the whole source: (0, 0, width, height)).
    struct Made {
        Texture texture;
        PixelRect region;
    };
    std::multimap<const void *, Made> made;
    std::vector<Texture> borrowed;
    std::string error;

    bool fail(std::string message) {
        if (error.empty()) error = std::move(message);
        return false;
    }

    Texture acquire(GLsizei width, GLsizei height) {
        bool allocated = false;
        Texture t{cache->acquireTexture(width, height, &allocated), width, height};
        if (allocated) ++statistics.texturesAllocated;
        borrowed.push_back(t);
        return t;
    }

    void endRender() {
        for (const Texture &t : borrowed) cache->releaseTexture(t.name, t.width, t.height);
        borrowed.clear();
        made.clear();
    }

    void ensureFramebuffers() {
        if (!framebuffer) glGenFramebuffers(1, &framebuffer);
        if (!targetFramebuffer) glGenFramebuffers(1, &targetFramebuffer);
    }

    // Uploads the pixels of a source image into a texture of its size (once per render).
    bool upload(const CIImage &image, Texture *out);
    bool uploadBytes(const void *bytes, size_t rowBytes, GLsizei width, GLsizei height, GLenum format, GLenum type,
                     size_t bytesPerPixel, Texture *out);

    // The sampler through which a pass reads `image` (in the pass's working space) where it
    // needs `needed` of it.
    bool bindImage(const CIImageRef &image, CGRect needed, BoundSampler *out, GLStateScope &state);
    // Renders the kernel application of a source into a texture covering `region` of its
    // plane (or finds it rendered already).
    bool renderKernel(const CIImage &source, PixelRect region, Made *out, GLStateScope &state);
    // Runs one kernel pass over the pixels `viewport` of the bound framebuffer, whose pixel
    // (x, y) is the working-space point (x, y) + destOrigin.
    bool runPass(const CIKernel &kernel, const std::vector<CIKernelArgument> &arguments,
                 const std::vector<BoundSampler> &samplers, PixelRect viewport, double originX, double originY,
                 GLStateScope &state);
    // Draws `region` (of the image's plane) into the pixels `target` of the bound framebuffer.
    // With `callerState` the draw uses the caller's blending and scissor; else it replaces.
    bool drawInto(const CIImageRef &image, PixelRect region, PixelRect target, GLStateScope &state,
                  bool callerState);
    // The samplers of a kernel application drawing `dest` of its plane.
    bool bindArguments(const CIKernelApplication &application, CGRect dest, std::vector<BoundSampler> *out,
                       GLStateScope &state);
};

void CIConvert2vuyToBGRA(const uint8_t *source, size_t sourceRowBytes, size_t width, size_t height, uint8_t *destination,
                         size_t destinationRowBytes) {
    // Fixed point (16 fractional bits) of the BT.601 video-range matrix, the tables made once.
    struct Tables {
        int32_t y[256], rv[256], gu[256], gv[256], bu[256];
        Tables() {
            for (int i = 0; i < 256; ++i) {
                y[i] = int32_t(1.164383 * 65536.0 * (i - 16));
                rv[i] = int32_t(1.596027 * 65536.0 * (i - 128));
                gu[i] = int32_t(0.391762 * 65536.0 * (i - 128));
                gv[i] = int32_t(0.812968 * 65536.0 * (i - 128));
                bu[i] = int32_t(2.017232 * 65536.0 * (i - 128));
            }
        }
    };
    static const Tables t;
    auto clamp = [](int32_t value) -> uint8_t {
        value = (value + 32768) >> 16;
        return uint8_t(value < 0 ? 0 : value > 255 ? 255 : value);
    };
    for (size_t row = 0; row < height; ++row) {
        const uint8_t *in = source + row * sourceRowBytes;
        uint8_t *out = destination + row * destinationRowBytes;
        for (size_t x = 0; x < width; ++x) {
            const uint8_t *pair = in + (x / 2) * 4;  // Cb, Y0, Cr, Y1
            const int32_t luma = t.y[pair[(x & 1) ? 3 : 1]];
            const uint8_t cb = pair[0], cr = pair[2];
            out[x * 4 + 0] = clamp(luma + t.bu[cb]);
            out[x * 4 + 1] = clamp(luma - t.gu[cb] - t.gv[cr]);
            out[x * 4 + 2] = clamp(luma + t.rv[cr]);
            out[x * 4 + 3] = 255;
        }
    }
}

bool CIContext::Engine::uploadBytes(const void *bytes, size_t rowBytes, GLsizei width, GLsizei height, GLenum format,
                                    GLenum type, size_t bytesPerPixel, Texture *out) {
    *out = acquire(width, height);
    glBindTexture(GL_TEXTURE_RECTANGLE, out->name);
    GLint alignment = 4, rowLength = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength);
    GLint unpackBuffer = 0;
    glGetIntegerv(GL_PIXEL_UNPACK_BUFFER_BINDING, &unpackBuffer);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (rowBytes % bytesPerPixel == 0) {
        glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(rowBytes / bytesPerPixel));
        glTexSubImage2D(GL_TEXTURE_RECTANGLE, 0, 0, 0, width, height, format, type, bytes);
    } else {
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        for (GLsizei y = 0; y < height; ++y)
            glTexSubImage2D(GL_TEXTURE_RECTANGLE, 0, 0, y, width, 1, format, type,
                            static_cast<const uint8_t *>(bytes) + size_t(y) * rowBytes);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, GLuint(unpackBuffer));
    return true;
}

bool CIContext::Engine::upload(const CIImage &image, Texture *out) {
    const GLsizei width = GLsizei(image.sourceSize().width), height = GLsizei(image.sourceSize().height);
    if (width > kMaxSide || height > kMaxSide) return fail("an image of more than 16384 pixels a side");
    switch (image.sourceKind()) {
    case CIImage::SourceKind::Bitmap: {
        const uint8_t *bytes = CFDataGetBytePtr(image.bitmapData());
        switch (image.bitmapFormat()) {
        case kCIFormatARGB8:
            return uploadBytes(bytes, image.bitmapBytesPerRow(), width, height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8, 4, out);
        case kCIFormatBGRA8:
            return uploadBytes(bytes, image.bitmapBytesPerRow(), width, height, GL_BGRA, GL_UNSIGNED_BYTE, 4, out);
        case kCIFormatRGBA8:
            return uploadBytes(bytes, image.bitmapBytesPerRow(), width, height, GL_RGBA, GL_UNSIGNED_BYTE, 4, out);
        case kCIFormatRGBAf:
            return uploadBytes(bytes, image.bitmapBytesPerRow(), width, height, GL_RGBA, GL_FLOAT, 16, out);
        default:
            return fail("bitmap data of an unknown format");
        }
    }
    case CIImage::SourceKind::CGImage: {
        // Drawn into premultiplied BGRA memory (the first row the top, as the image reads).
        const size_t rowBytes = size_t(width) * 4;
        std::vector<uint8_t> pixels(rowBytes * size_t(height));
        CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
        CGContextRef bitmap = CGBitmapContextCreate(pixels.data(), size_t(width), size_t(height), 8, rowBytes, space,
                                                    kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little);
        CGColorSpaceRelease(space);
        if (!bitmap) return fail("a CGImage that cannot be drawn");
        CGContextDrawImage(bitmap, CGRectMake(0, 0, width, height), image.cgImage());
        CGBitmapContextWillAccessData(bitmap);
        const bool ok = uploadBytes(pixels.data(), rowBytes, width, height, GL_BGRA, GL_UNSIGNED_BYTE, 4, out);
        CGContextRelease(bitmap);
        return ok;
    }
    case CIImage::SourceKind::IOSurface:
    case CIImage::SourceKind::CVImageBuffer: {
        IOSurfaceRef surface = image.ioSurface();
        CVPixelBufferRef buffer = nullptr;
        if (image.sourceKind() == CIImage::SourceKind::CVImageBuffer) {
            buffer = static_cast<CVPixelBufferRef>(image.cvImageBuffer());
            surface = CVPixelBufferGetIOSurface(buffer);
        }
        OSType format;
        const void *base;
        size_t rowBytes;
        if (surface) {
            if (IOSurfaceLock(surface, kIOSurfaceLockReadOnly, nullptr) != kIOReturnSuccess)
                return fail("an IOSurface that cannot be locked");
            format = IOSurfaceGetPixelFormat(surface);
            base = IOSurfaceGetBaseAddress(surface);
            rowBytes = IOSurfaceGetBytesPerRow(surface);
        } else {
            if (CVPixelBufferLockBaseAddress(buffer, kCVPixelBufferLock_ReadOnly) != kCVReturnSuccess)
                return fail("a pixel buffer that cannot be locked");
            format = CVPixelBufferGetPixelFormatType(buffer);
            base = CVPixelBufferGetBaseAddress(buffer);
            rowBytes = CVPixelBufferGetBytesPerRow(buffer);
        }
        bool ok;
        if (format == kCVPixelFormatType_32BGRA) ok = uploadBytes(base, rowBytes, width, height, GL_BGRA, GL_UNSIGNED_BYTE, 4, out);
        else if (format == kPixelFormatRGBA) ok = uploadBytes(base, rowBytes, width, height, GL_RGBA, GL_UNSIGNED_BYTE, 4, out);
        else if (format == kCVPixelFormatType_32ARGB)
            ok = uploadBytes(base, rowBytes, width, height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8, 4, out);
        else if (format == kCVPixelFormatType_422YpCbCr8) {
            // Camera frames: 4:2:2 Y'CbCr (video range, BT.601) made BGRA on the way up.
            std::vector<uint8_t> pixels(size_t(width) * 4 * size_t(height));
            CIConvert2vuyToBGRA(static_cast<const uint8_t *>(base), rowBytes, size_t(width), size_t(height), pixels.data(),
                                size_t(width) * 4);
            ok = uploadBytes(pixels.data(), size_t(width) * 4, width, height, GL_BGRA, GL_UNSIGNED_BYTE, 4, out);
        } else ok = fail("pixels of a format the renderer does not read");
        if (surface) IOSurfaceUnlock(surface, kIOSurfaceLockReadOnly, nullptr);
        else CVPixelBufferUnlockBaseAddress(buffer, kCVPixelBufferLock_ReadOnly);
        return ok;
    }
    case CIImage::SourceKind::Color: {
        const CIColor c = image.color();
        const float a = float(std::clamp(c.alpha(), 0.0, 1.0));
        const float pixel[4] = {float(std::clamp(c.red(), 0.0, 1.0)) * a, float(std::clamp(c.green(), 0.0, 1.0)) * a,
                                float(std::clamp(c.blue(), 0.0, 1.0)) * a, a};
        return uploadBytes(pixel, sizeof pixel, 1, 1, GL_RGBA, GL_FLOAT, 16, out);
    }
    case CIImage::SourceKind::GLTexture:
    case CIImage::SourceKind::Kernel:
        break;
    }
    return fail("an image source that cannot be uploaded");
}

bool CIContext::Engine::bindImage(const CIImageRef &image, CGRect needed, BoundSampler *out, GLStateScope &state) {
    *out = BoundSampler{};
    if (!image || image->isEmpty()) return true;  // reads as transparent black
    const CIImage &source = *image;
    const CGAffineTransform toSource = source.samplerTransform();
    switch (source.sourceKind()) {
    case CIImage::SourceKind::GLTexture:
        out->texture = source.texture();
        out->matrix = MatrixOf(toSource);
        out->clamp = source.clampRect();
        return true;
    case CIImage::SourceKind::Kernel: {
        // The part of the kernel's plane the pass reads, a pixel wider for filtering.
        const CGRect wanted = CGRectInset(TransformedBounds(needed, toSource), -1, -1);
        const CGRect inKernel = CGRectIntersection(wanted, source.clampRect());
        if (CGRectIsNull(inKernel) || CGRectIsEmpty(inKernel)) return true;
        if (CIRectIsInfinite(inKernel)) return fail("a kernel's image without bounds is read without bounds");
        const PixelRect region = PixelsCovering(inKernel);
        if (region.empty()) return fail("a kernel's image is read too far away");
        if (region.width() > kMaxSide || region.height() > kMaxSide)
            return fail("an intermediate image of more than 16384 pixels a side");
        Made made;
        if (!renderKernel(source, region, &made, state)) return false;
        out->texture = made.texture.name;
        const CGAffineTransform shift = CGAffineTransformMakeTranslation(-double(made.region.x0), -double(made.region.y0));
        out->matrix = MatrixOf(CGAffineTransformConcat(toSource, shift));
        out->clamp = CGRectOffset(CGRectIntersection(source.clampRect(), RectOf(made.region)), -double(made.region.x0),
                                  -double(made.region.y0));
        return true;
    }
    default: {
        Texture texture;
        auto found = made.find(source.sourceIdentity());
        if (found != made.end()) {
            texture = found->second.texture;
        } else {
            if (!upload(source, &texture)) return false;
            made.emplace(source.sourceIdentity(),
                         Made{texture, PixelRect{0, 0, long(texture.width), long(texture.height)}});
        }
        out->texture = texture.name;
        out->matrix = MatrixOf(toSource);
        out->clamp = source.clampRect();
        return true;
    }
    }
}

bool CIContext::Engine::bindArguments(const CIKernelApplication &application, CGRect dest,
                                      std::vector<BoundSampler> *out, GLStateScope &state) {
    size_t samplerIndex = 0;
    for (const CIKernelArgument &argument : application.arguments) {
        const CISampler *sampler = std::get_if<CISampler>(&argument);
        if (!sampler) continue;
        CGRect needed;
        if (application.roi) {
            needed = application.roi(samplerIndex, dest);
        } else {
            // Without a region of interest a kernel may read anywhere in a bounded image.
            const CGRect extent = sampler->extent();
            needed = CGRectIsNull(extent) || CIRectIsInfinite(extent) ? dest : extent;
        }
        BoundSampler bound;
        if (!bindImage(sampler->image(), needed, &bound, state)) return false;
        bound.linear = sampler->filterMode() == CISamplerFilterMode::Linear;
        out->push_back(bound);
        ++samplerIndex;
    }
    return true;
}

bool CIContext::Engine::renderKernel(const CIImage &source, PixelRect region, Made *out, GLStateScope &state) {
    auto range = made.equal_range(source.sourceIdentity());
    for (auto it = range.first; it != range.second; ++it) {
        if (Contains(it->second.region, region)) {
            *out = it->second;
            return true;
        }
    }
    const CIKernelApplication &application = *source.kernelApplication();
    const CIKernel &kernel = *application.kernel;
    // The inputs first (they may use the framebuffer themselves).
    std::vector<BoundSampler> samplers;
    if (!bindArguments(application, RectOf(region), &samplers, state)) return false;
    Made result{acquire(GLsizei(region.width()), GLsizei(region.height())), region};
    ensureFramebuffers();
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_RECTANGLE, result.texture.name, 0);
    glDisable(GL_BLEND);
    glDisable(GL_SCISSOR_TEST);
    const bool ok = runPass(kernel, application.arguments, samplers, PixelRect{0, 0, region.width(), region.height()},
                            double(region.x0), double(region.y0), state);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_RECTANGLE, 0, 0);
    if (!ok) return false;
    made.emplace(source.sourceIdentity(), result);
    *out = result;
    return true;
}

bool CIContext::Engine::runPass(const CIKernel &kernel, const std::vector<CIKernelArgument> &arguments,
                                const std::vector<BoundSampler> &samplers, PixelRect viewport, double originX,
                                double originY, GLStateScope &state) {
    bool compiled = false;
    const CIProgram &program = cache->program(kernel, &compiled);
    if (compiled) ++statistics.programsCompiled;
    if (!program.program) return fail(program.error);
    glUseProgram(program.program);
    if (program.destOrigin >= 0) glUniform2f(program.destOrigin, float(originX), float(originY));
    size_t samplerIndex = 0;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const CIProgram::Parameter &p = program.parameters[i];
        const CIKernelArgument &argument = arguments[i];
        if (std::holds_alternative<CISampler>(argument)) {
            const BoundSampler &s = samplers[samplerIndex++];
            state.saveUnit(p.unit);
            glActiveTexture(GLenum(GL_TEXTURE0 + p.unit));
            glBindTexture(GL_TEXTURE_RECTANGLE, s.texture);
            const bool table = kernel.parameters()[i].kind == CoreImage::CIKernelParameterKind::TableSampler;
            // A sampler that only moves by whole pixels, read under the destination pixel, reads
            // texel centres, where linear filtering gives the texel itself: the nearest texel
            // costs a quarter of the reads.
            const bool linear =
                s.linear && !table && !(WholePixelMove(s.matrix) && kernel.readsOnlyUnderItsPixels());
            glBindSampler(GLuint(p.unit), linear ? cache->linearSampler() : cache->nearestSampler());
            if (p.transform >= 0) {
                float m[9];
                for (int k = 0; k < 9; ++k) m[k] = float(s.matrix.m[k]);
                glUniformMatrix3fv(p.transform, 1, GL_TRUE, m);
            }
            if (p.extent >= 0) {
                float e[4];
                ExtentUniform(s.texture ? s.clamp : CGRectNull, e);
                glUniform4fv(p.extent, 1, e);
            }
        } else if (const double *number = std::get_if<double>(&argument)) {
            if (p.value >= 0) glUniform1f(p.value, float(*number));
        } else if (const CIVector *v = std::get_if<CIVector>(&argument)) {
            if (p.value < 0) continue;
            if (v->count() == 2) glUniform2f(p.value, float(v->X()), float(v->Y()));
            else if (v->count() == 3) glUniform3f(p.value, float(v->X()), float(v->Y()), float(v->Z()));
            else glUniform4f(p.value, float(v->X()), float(v->Y()), float(v->Z()), float(v->W()));
        } else if (const CIColor *c = std::get_if<CIColor>(&argument)) {
            if (p.value >= 0) {
                const double a = c->alpha();
                glUniform4f(p.value, float(c->red() * a), float(c->green() * a), float(c->blue() * a), float(a));
            }
        }
    }
    glViewport(GLint(viewport.x0), GLint(viewport.y0), GLsizei(viewport.width()), GLsizei(viewport.height()));
    glBegin(GL_TRIANGLE_STRIP);
    glVertex2f(-1, -1);
    glVertex2f(1, -1);
    glVertex2f(-1, 1);
    glVertex2f(1, 1);
    glEnd();
    ++statistics.passes;
    return true;
}

bool CIContext::Engine::drawInto(const CIImageRef &image, PixelRect region, PixelRect target, GLStateScope &state,
                                 bool callerState) {
    // Only the pixels where the image has content are drawn.
    const PixelRect content = Intersect(region, PixelsCovering(CGRectIntersection(image->extent(), RectOf(region))));
    if (content.empty()) return true;
    const PixelRect viewport{target.x0 + (content.x0 - region.x0), target.y0 + (content.y0 - region.y0),
                             target.x0 + (content.x1 - region.x0), target.y0 + (content.y1 - region.y0)};
    // A framebuffer pixel (x, y) shows the image's point (x, y) + offset.
    const double offsetX = double(region.x0 - target.x0), offsetY = double(region.y0 - target.y0);
    GLint framebuffer = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &framebuffer);
    const CGAffineTransform toSource = image->samplerTransform();
    if (image->sourceKind() == CIImage::SourceKind::Kernel && IsTranslation(toSource) && image->clampIsExact() &&
        CGRectContainsRect(image->clampRect(), CGRectOffset(RectOf(content), toSource.tx, toSource.ty))) {
        // The last kernel draws straight into the destination.
        const CIKernelApplication &application = *image->kernelApplication();
        const PixelRect inKernel{content.x0 + long(std::floor(toSource.tx)), content.y0 + long(std::floor(toSource.ty)),
                                 content.x1 + long(std::floor(toSource.tx)), content.y1 + long(std::floor(toSource.ty))};
        if (double(long(toSource.tx)) == toSource.tx && double(long(toSource.ty)) == toSource.ty) {
            std::vector<BoundSampler> samplers;
            if (!bindArguments(application, RectOf(inKernel), &samplers, state)) return false;
            glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(framebuffer));
            GLStateScope::Set(GL_SCISSOR_TEST, callerState && state.scissorWasEnabled());
            GLStateScope::Set(GL_BLEND, callerState && state.blendWasEnabled());
            return runPass(*application.kernel, application.arguments, samplers, viewport, offsetX + toSource.tx,
                           offsetY + toSource.ty, state);
        }
    }
    // Otherwise the image is drawn through its sampler (crops and transforms folded in).
    BoundSampler bound;
    if (!bindImage(image, RectOf(content), &bound, state)) return false;
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(framebuffer));
    GLStateScope::Set(GL_SCISSOR_TEST, callerState && state.scissorWasEnabled());
    GLStateScope::Set(GL_BLEND, callerState && state.blendWasEnabled());
    if (!bound.texture) return true;  // nothing of it is inside
    return runPass(*CopyKernel(), {CISampler(image)}, {bound}, viewport, offsetX, offsetY, state);
}

CIContextRef CIContext::contextWithCGLContext(CGLContextObj context, CGLPixelFormatObj, CGColorSpaceRef) {
    if (!context) return nullptr;
    return CIContextRef(new CIContext(context, false));
}

CIContextRef CIContext::offscreenContext(CGLContextObj shareContext) {
    const CGLPixelFormatAttribute attributes[] = {kCGLPFAColorSize, CGLPixelFormatAttribute(24), kCGLPFAAlphaSize,
                                                  CGLPixelFormatAttribute(8), CGLPixelFormatAttribute(0)};
    CGLPixelFormatObj format = nullptr;
    GLint count = 0;
    if (CGLChoosePixelFormat(attributes, &format, &count) != kCGLNoError || !format) return nullptr;
    CGLContextObj context = nullptr;
    const CGLError error = CGLCreateContext(format, shareContext, &context);
    CGLReleasePixelFormat(format);
    if (error != kCGLNoError || !context) return nullptr;
    CIContextRef result(new CIContext(context, true));
    CGLReleaseContext(context);
    return result;
}

CIContext::CIContext(CGLContextObj context, bool ownsContext)
    : m_context(CGLRetainContext(context)), m_ownsContext(ownsContext), m_engine(std::make_unique<Engine>()) {}

CIContext::~CIContext() {
    if (m_engine->framebuffer || m_engine->cache) {
        CurrentContextScope current(m_context);
        if (current.ok() && m_engine->framebuffer) {
            glDeleteFramebuffers(1, &m_engine->framebuffer);
            glDeleteFramebuffers(1, &m_engine->targetFramebuffer);
        }
        m_engine->cache.reset();
    }
    CGLReleaseContext(m_context);
}

CIContextStatistics CIContext::statistics() const { return m_engine->statistics; }

namespace {

// Everything a render needs around it: the context current and locked, the share group's
// cache locked, and the GL state put back at the end.
class RenderScope {
public:
    RenderScope(CGLContextObj context, CIContext::Engine &engine) : m_context(context), m_current(context) {
        if (!m_current.ok()) return;
        CGLLockContext(context);
        if (!engine.cache) engine.cache = CIRenderCache::forContext(context);
        if (!engine.cache) {
            CGLUnlockContext(context);
            return;
        }
        m_cacheLock = std::unique_lock(engine.cache->lock());
        m_state.emplace();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_STENCIL_TEST);
        glDisable(GL_CULL_FACE);
        glDisable(GL_SCISSOR_TEST);
        m_ok = true;
    }
    ~RenderScope() {
        if (!m_ok) return;
        m_state.reset();
        m_cacheLock.unlock();
        CGLUnlockContext(m_context);
    }
    bool ok() const { return m_ok; }
    GLStateScope &state() { return *m_state; }

private:
    CGLContextObj m_context;
    CurrentContextScope m_current;
    std::unique_lock<std::recursive_mutex> m_cacheLock;
    std::optional<GLStateScope> m_state;
    bool m_ok = false;
};

bool FiniteRect(CGRect r) {
    return !CGRectIsNull(r) && std::isfinite(r.origin.x) && std::isfinite(r.origin.y) &&
           std::isfinite(r.size.width) && std::isfinite(r.size.height);
}

} // namespace

bool CIContext::drawImage(const CIImageRef &image, CGRect inRect, CGRect fromRect) {
    m_lastError.clear();
    m_engine->error.clear();
    if (!image) return m_lastError = "no image", false;
    if (!FiniteRect(inRect) || !FiniteRect(fromRect) || CGRectIsEmpty(inRect) || CGRectIsEmpty(fromRect))
        return m_lastError = "an empty or unbounded rectangle", false;
    if (CGLGetCurrentContext() != m_context) return m_lastError = "the context is not current on this thread", false;
    const PixelRect target = PixelsCovering(inRect);
    if (target.empty() || target.width() > kMaxSide || target.height() > kMaxSide)
        return m_lastError = "a destination of more than 16384 pixels a side", false;
    // fromRect is mapped onto the target's pixels.
    const CGRect from = CGRectStandardize(fromRect), in = CGRectStandardize(inRect);
    const double sx = in.size.width / from.size.width, sy = in.size.height / from.size.height;
    CIImageRef placed = image;
    if (sx != 1 || sy != 1 || from.origin.x != in.origin.x || from.origin.y != in.origin.y) {
        CGAffineTransform t = CGAffineTransformMakeTranslation(-from.origin.x, -from.origin.y);
        t = CGAffineTransformConcat(t, CGAffineTransformMakeScale(sx, sy));
        t = CGAffineTransformConcat(t, CGAffineTransformMakeTranslation(in.origin.x, in.origin.y));
        placed = image->imageByApplyingTransform(t);
    }
    placed = placed->imageByCroppingToRect(in);
    RenderScope scope(m_context, *m_engine);
    if (!scope.ok()) return m_lastError = "no render cache for the context", false;
    ++m_engine->statistics.renders;
    const bool ok = m_engine->drawInto(placed, target, target, scope.state(), true);
    m_engine->endRender();
    if (!ok) m_lastError = m_engine->error;
    return ok;
}

namespace {

struct ReadFormat {
    GLenum format, type;
    size_t bytesPerPixel;
};

bool ReadFormatOf(CIFormat format, ReadFormat *out) {
    switch (format) {
    case kCIFormatARGB8: *out = {GL_BGRA, GL_UNSIGNED_INT_8_8_8_8, 4}; return true;
    case kCIFormatBGRA8: *out = {GL_BGRA, GL_UNSIGNED_BYTE, 4}; return true;
    case kCIFormatRGBA8: *out = {GL_RGBA, GL_UNSIGNED_BYTE, 4}; return true;
    case kCIFormatRGBAf: *out = {GL_RGBA, GL_FLOAT, 16}; return true;
    default: return false;
    }
}

} // namespace

// Renders `bounds` of the image into a pooled texture and reads it into `bitmap`, top row first.
static bool RenderToMemory(CIContext::Engine &engine, CGLContextObj context, const CIImageRef &image, void *bitmap,
                           size_t rowBytes, CGRect bounds, ReadFormat read, std::string &error) {
    const PixelRect region = PixelsCovering(bounds);
    RenderScope scope(context, engine);
    if (!scope.ok()) return error = "the context cannot be made current", false;
    ++engine.statistics.renders;
    const CIContext::Engine::Texture texture = engine.acquire(GLsizei(region.width()), GLsizei(region.height()));
    engine.ensureFramebuffers();
    glBindFramebuffer(GL_FRAMEBUFFER, engine.targetFramebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_RECTANGLE, texture.name, 0);
    glDisable(GL_BLEND);
    glViewport(0, 0, texture.width, texture.height);
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(clear[0], clear[1], clear[2], clear[3]);
    bool ok = engine.drawInto(image, region, PixelRect{0, 0, region.width(), region.height()}, scope.state(), false);
    if (ok) {
        // drawInto may have bound the intermediate framebuffer for its passes.
        glBindFramebuffer(GL_FRAMEBUFFER, engine.targetFramebuffer);
        GLint alignment = 4, rowLength = 0, packBuffer = 0;
        glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
        glGetIntegerv(GL_PACK_ROW_LENGTH, &rowLength);
        glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &packBuffer);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        // GL's first row is the bottom: each row is read into its place from the top.
        const size_t rowSize = size_t(region.width()) * read.bytesPerPixel;
        if (rowBytes % read.bytesPerPixel == 0 && rowBytes / read.bytesPerPixel <= size_t(INT32_MAX)) {
            glPixelStorei(GL_PACK_ROW_LENGTH, GLint(rowBytes / read.bytesPerPixel));
            glReadPixels(0, 0, texture.width, texture.height, read.format, read.type, bitmap);
            std::vector<uint8_t> swap(rowSize);
            auto *bytes = static_cast<uint8_t *>(bitmap);
            for (long top = 0, bottom = region.height() - 1; top < bottom; ++top, --bottom) {
                std::memcpy(swap.data(), bytes + size_t(top) * rowBytes, rowSize);
                std::memcpy(bytes + size_t(top) * rowBytes, bytes + size_t(bottom) * rowBytes, rowSize);
                std::memcpy(bytes + size_t(bottom) * rowBytes, swap.data(), rowSize);
            }
        } else {
            for (long y = 0; y < region.height(); ++y)
                glReadPixels(0, GLint(region.height() - 1 - y), texture.width, 1, read.format, read.type,
                             static_cast<uint8_t *>(bitmap) + size_t(y) * rowBytes);
        }
        glPixelStorei(GL_PACK_ALIGNMENT, alignment);
        glPixelStorei(GL_PACK_ROW_LENGTH, rowLength);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, GLuint(packBuffer));
    }
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_RECTANGLE, 0, 0);
    engine.endRender();
    if (!ok) error = engine.error;
    return ok;
}

bool CIContext::render(const CIImageRef &image, void *bitmap, size_t rowBytes, CGRect bounds, CIFormat format,
                       CGColorSpaceRef) {
    m_lastError.clear();
    m_engine->error.clear();
    ReadFormat read;
    if (!image) return m_lastError = "no image", false;
    if (!bitmap) return m_lastError = "no bitmap", false;
    if (!ReadFormatOf(format, &read)) return m_lastError = "an unknown bitmap format", false;
    if (!FiniteRect(bounds) || CGRectIsEmpty(bounds)) return m_lastError = "empty bounds", false;
    const PixelRect region = PixelsCovering(bounds);
    if (region.empty() || region.width() > kMaxSide || region.height() > kMaxSide)
        return m_lastError = "bounds of more than 16384 pixels a side", false;
    if (rowBytes / read.bytesPerPixel < size_t(region.width()))
        return m_lastError = "rows too short for the bounds", false;
    return RenderToMemory(*m_engine, m_context, image, bitmap, rowBytes, bounds, read, m_lastError);
}

bool CIContext::render(const CIImageRef &image, IOSurfaceRef surface, CGRect bounds, CGColorSpaceRef) {
    m_lastError.clear();
    m_engine->error.clear();
    if (!image) return m_lastError = "no image", false;
    if (!surface) return m_lastError = "no surface", false;
    const PixelRect region = PixelsCovering(bounds);
    if (!FiniteRect(bounds) || region.empty() || size_t(region.width()) != IOSurfaceGetWidth(surface) ||
        size_t(region.height()) != IOSurfaceGetHeight(surface))
        return m_lastError = "bounds that are not the surface's size", false;
    ReadFormat read;
    const OSType format = IOSurfaceGetPixelFormat(surface);
    if (format == kCVPixelFormatType_32BGRA) read = {GL_BGRA, GL_UNSIGNED_BYTE, 4};
    else if (format == kPixelFormatRGBA) read = {GL_RGBA, GL_UNSIGNED_BYTE, 4};
    else return m_lastError = "a surface of a format the renderer does not write", false;
    if (IOSurfaceLock(surface, 0, nullptr) != kIOReturnSuccess) return m_lastError = "the surface cannot be locked", false;
    const bool ok = RenderToMemory(*m_engine, m_context, image, IOSurfaceGetBaseAddress(surface),
                                   IOSurfaceGetBytesPerRow(surface), bounds, read, m_lastError);
    IOSurfaceUnlock(surface, 0, nullptr);
    return ok;
}

CGImageRef CIContext::createCGImage(const CIImageRef &image, CGRect fromRect, CGColorSpaceRef colorSpace) {
    m_lastError.clear();
    const PixelRect region = PixelsCovering(fromRect);
    if (!image) return m_lastError = "no image", nullptr;
    if (!FiniteRect(fromRect) || region.empty() || region.width() > kMaxSide || region.height() > kMaxSide)
        return m_lastError = "an empty or unbounded rectangle", nullptr;
    const size_t rowBytes = size_t(region.width()) * 4;
    CFMutableDataRef data = CFDataCreateMutable(nullptr, CFIndex(rowBytes * size_t(region.height())));
    CFDataSetLength(data, CFIndex(rowBytes * size_t(region.height())));
    if (!render(image, CFDataGetMutableBytePtr(data), rowBytes, RectOf(region), kCIFormatBGRA8)) {
        CFRelease(data);
        return nullptr;
    }
    CGDataProviderRef provider = CGDataProviderCreateWithCFData(data);
    CFRelease(data);
    CGColorSpaceRef space = colorSpace ? CGColorSpaceRetain(colorSpace) : CGColorSpaceCreateDeviceRGB();
    CGImageRef result = CGImageCreate(size_t(region.width()), size_t(region.height()), 8, 32, rowBytes, space,
                                      kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little, provider, nullptr,
                                      true, kCGRenderingIntentDefault);
    CGColorSpaceRelease(space);
    CGDataProviderRelease(provider);
    if (!result) m_lastError = "the CGImage cannot be made";
    return result;
}
