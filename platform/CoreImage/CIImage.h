// CIImage: a lazy recipe for an image, pure data. Nothing is read, uploaded or drawn when an
// image is made; a context renders the recipe later.
//
// Coordinates: an image lives in a plane with the origin bottom-left and y up; a source image
// covers (0, 0, width, height) of that plane. Crops, affine transforms and translations never
// become nodes of their own: each one is folded, when it is made, into the sampler of the
// source it applies to (CIImageFoldedSampler below), so every image is a source plus
//   - a matrix mapping points of the image's plane to pixel coordinates of the source
//     (texture coordinates of a rectangle texture, y up in the source's memory order),
//   - a clamp rectangle in source pixels (the intersection of the source's own bounds and the
//     crops, taken into source space), and
//   - the extent in the image's plane.
// The renderer and the kernel applier pass the matrix and the clamp rectangle as uniforms.
//
// Images are immutable and shared: CIImageRef is a std::shared_ptr<const CIImage>. Every
// factory answers null for an invalid source; every operation on an image answers a new image.
#pragma once

#include <CoreFoundation/CFData.h>
#include <CoreGraphics/CGAffineTransform.h>
#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGGeometry.h>
#include <CoreGraphics/CGImage.h>
#include <CoreImage/CIColor.h>
#include <CoreVideo/CVImageBuffer.h>
#include <IOSurface/IOSurfaceRef.h>
#include <OpenGL/gl.h>

#include <cstddef>
#include <cstdint>
#include <memory>

class CIImage;
using CIImageRef = std::shared_ptr<const CIImage>;
struct CIKernelApplication;

// The extent of an image with no bounds (a colour): the widest rectangle whose edges and size
// are finite doubles. Every extent is clamped to it, so no arithmetic on an extent overflows.
extern const CGRect CIRectInfinite;
bool CIRectIsInfinite(CGRect rect);

// Layouts of bitmap data (bytes in memory order; 8-bit premultiplied, or 32-bit float RGBA).
typedef int CIFormat;
enum : CIFormat {
    kCIFormatARGB8 = 1,   // bytes A, R, G, B
    kCIFormatBGRA8 = 2,   // bytes B, G, R, A
    kCIFormatRGBA8 = 3,   // bytes R, G, B, A
    kCIFormatRGBAf = 4,   // four native floats R, G, B, A
};
// Bytes per pixel of a format; 0 for an unknown one.
size_t CIFormatBytesPerPixel(CIFormat format);

// A 3x3 matrix in column-vector form, row-major: p' = m * (x, y, 1). The last row of a sampler
// matrix is (0, 0, 1).
struct CIMatrix3 {
    double m[9];
};

class CIImage {
public:
    enum class SourceKind { GLTexture, CGImage, IOSurface, CVImageBuffer, Bitmap, Color, Kernel };
    // What an image is made from (shared by every image made from it by crops and transforms).
    struct Source {
        SourceKind kind = SourceKind::Color;
        CGSize size = {0, 0};
        GLuint texture = 0;
        bool flipped = false;
        CGImageRef cgImage = nullptr;
        IOSurfaceRef surface = nullptr;
        CVImageBufferRef imageBuffer = nullptr;
        CFDataRef data = nullptr;
        size_t bytesPerRow = 0;
        CIFormat format = 0;
        CIColor color;
        CGColorSpaceRef colorSpace = nullptr;
        // A kernel's output: the plane is the kernel's working space, bounded by `domain`
        // (possibly infinite); a context renders it into a texture covering what is needed.
        std::shared_ptr<const CIKernelApplication> application;
        CGRect domain = CGRectNull;
        ~Source();
    };

    // Rectangle texture `name` of `size` pixels, current in the caller's share group. When
    // `flipped`, the texture's first row is the top of the picture.
    static CIImageRef imageWithTexture(GLuint name, CGSize size, bool flipped, CGColorSpaceRef colorSpace = nullptr);
    static CIImageRef imageWithCGImage(CGImageRef image);
    // The surface's pixels, tagged with `colorSpace` when given (retained).
    static CIImageRef imageWithIOSurface(IOSurfaceRef surface, CGColorSpaceRef colorSpace = nullptr);
    static CIImageRef imageWithCVImageBuffer(CVImageBufferRef imageBuffer);
    // `data` (retained) holds `size.height` rows of `bytesPerRow` bytes, the first row at the
    // top of the picture (as CIContext::render writes them and bitmap contexts hold them); null when a row cannot hold `size.width` pixels of the format or
    // the data is too short.
    static CIImageRef imageWithBitmapData(CFDataRef data, size_t bytesPerRow, CGSize size, CIFormat format,
                                          CGColorSpaceRef colorSpace = nullptr);
    // The colour everywhere: an infinite extent.
    static CIImageRef imageWithColor(const CIColor &color);
    static CIImageRef emptyImage();
    // The output of a kernel apply, defined over `domain` (CIRectInfinite for no bounds).
    static CIImageRef imageWithKernelApplication(std::shared_ptr<const CIKernelApplication> application,
                                                 CGRect domain);

    ~CIImage();
    CIImage(const CIImage &) = delete;
    CIImage &operator=(const CIImage &) = delete;

    // The part of the plane where the image is defined: the intersection with `rect` (taken
    // standardized). A rectangle that is null, not finite or that misses the image gives an
    // empty image.
    CIImageRef imageByCroppingToRect(CGRect rect) const;
    // The image moved by `transform` (its plane mapped through it). A transform that cannot be
    // inverted (a scale of 0) or has a non-finite coefficient gives an empty image.
    CIImageRef imageByApplyingTransform(CGAffineTransform transform) const;

    // Where the image has content, in its plane: CIRectInfinite, or CGRectNull when empty.
    CGRect extent() const { return m_extent; }
    // The pixels a render of the image touches: the extent grown to whole pixels (infinite and
    // null as they are).
    CGRect definition() const;
    bool isEmpty() const { return CGRectIsNull(m_extent); }

    // The source. Its handle is one of these, by kind; the others are null or zero.
    SourceKind sourceKind() const { return m_source->kind; }
    GLuint texture() const { return m_source->texture; }
    bool textureFlipped() const { return m_source->flipped; }
    CGImageRef cgImage() const { return m_source->cgImage; }
    IOSurfaceRef ioSurface() const { return m_source->surface; }
    CVImageBufferRef cvImageBuffer() const { return m_source->imageBuffer; }
    CFDataRef bitmapData() const { return m_source->data; }
    size_t bitmapBytesPerRow() const { return m_source->bytesPerRow; }
    CIFormat bitmapFormat() const { return m_source->format; }
    CIColor color() const { return m_source->color; }
    const std::shared_ptr<const CIKernelApplication> &kernelApplication() const { return m_source->application; }
    CGColorSpaceRef colorSpace() const { return m_source->colorSpace; }
    // The source's size in pixels (zero for a colour).
    CGSize sourceSize() const { return m_source->size; }
    // The identity of the source, shared by every image made from it by crops and transforms:
    // the key of the per-render upload cache.
    const void *sourceIdentity() const { return m_source.get(); }

    // Image plane -> source pixels, as an affine transform.
    CGAffineTransform samplerTransform() const { return m_toSource; }
    // The clamp rectangle in source pixels; CIRectInfinite for a colour, null when empty.
    CGRect clampRect() const { return m_clamp; }
    // False once a crop went into source space through a transform that is not axis-aligned.
    bool clampIsExact() const { return m_exactClamp; }

private:
    CIImage(std::shared_ptr<const Source> source, CGAffineTransform toSource, CGRect clamp, CGRect extent,
            bool exactClamp);
    static CIImageRef makeSource(std::shared_ptr<Source> source);

    std::shared_ptr<const Source> m_source;
    CGAffineTransform m_toSource;
    CGRect m_clamp;
    CGRect m_extent;
    bool m_exactClamp;

};

// What a sampler of an image made of a source plus crops and transforms needs: the source, the
// matrix from the image's plane (destination) to source pixels, the clamp rectangle in source
// pixels and the extent in the destination. `exactClamp` is false when a crop was taken into
// source space through a transform that is not axis-aligned (the clamp rectangle then bounds
// the crop, and the extent and the later crops still cut the result).
struct CIImageFoldedSampler {
    CIImageRef image;   // null for an empty image
    CIMatrix3 matrix;
    CGRect clampRect;
    CGRect extent;
    bool exactClamp;
};
CIImageFoldedSampler CIImageFoldSampler(const CIImageRef &image);
// The matrix applied to a point (tests and CPU fallbacks).
CGPoint CIMatrix3ApplyToPoint(const CIMatrix3 &matrix, CGPoint point);
