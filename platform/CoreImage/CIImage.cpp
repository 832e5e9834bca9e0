#include <CoreImage/CIImage.h>

#include <CoreFoundation/CFBase.h>

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {

// Half the largest double: every edge lies in [-kEdge, kEdge], so a width is at most DBL_MAX.
constexpr double kEdge = DBL_MAX / 2;

// A rectangle as its edges; empty when x0 >= x1 or y0 >= y1.
struct Box {
    double x0, y0, x1, y1;
    bool empty() const { return !(x0 < x1 && y0 < y1); }
};

double clampEdge(double v) { return std::clamp(v, -kEdge, kEdge); }

bool finiteRect(CGRect r) {
    return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
           std::isfinite(r.size.height);
}

// Null or non-finite rectangles are empty boxes; the rest are standardized and clamped.
Box boxFromRect(CGRect r) {
    if (CGRectIsNull(r) || !finiteRect(r)) return Box{0, 0, 0, 0};
    double xa = r.origin.x, xb = r.origin.x + r.size.width;
    double ya = r.origin.y, yb = r.origin.y + r.size.height;
    return Box{clampEdge(std::min(xa, xb)), clampEdge(std::min(ya, yb)), clampEdge(std::max(xa, xb)),
               clampEdge(std::max(ya, yb))};
}

CGRect rectFromBox(Box b) {
    if (b.empty()) return CGRectNull;
    return CGRectMake(b.x0, b.y0, b.x1 - b.x0, b.y1 - b.y0);
}

Box intersect(Box a, Box b) {
    return Box{std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
}

bool isInfiniteBox(Box b) { return b.x0 <= -kEdge && b.y0 <= -kEdge && b.x1 >= kEdge && b.y1 >= kEdge; }

bool finiteTransform(CGAffineTransform t) {
    return std::isfinite(t.a) && std::isfinite(t.b) && std::isfinite(t.c) && std::isfinite(t.d) &&
           std::isfinite(t.tx) && std::isfinite(t.ty);
}

bool axisAligned(CGAffineTransform t) { return (t.b == 0 && t.c == 0) || (t.a == 0 && t.d == 0); }

// The bounding box of a box's image. A coordinate that overflows is clamped to the infinite
// edges; one that comes out NaN (opposite overflows) widens that axis to the whole line.
Box transformBox(Box b, CGAffineTransform t) {
    if (b.empty()) return b;
    if (isInfiniteBox(b)) return b;
    const double xs[2] = {b.x0, b.x1}, ys[2] = {b.y0, b.y1};
    Box out{INFINITY, INFINITY, -INFINITY, -INFINITY};
    bool wideX = false, wideY = false;
    for (double x : xs) {
        for (double y : ys) {
            double px = t.a * x + t.c * y + t.tx;
            double py = t.b * x + t.d * y + t.ty;
            if (std::isnan(px)) wideX = true;
            else out.x0 = std::min(out.x0, px), out.x1 = std::max(out.x1, px);
            if (std::isnan(py)) wideY = true;
            else out.y0 = std::min(out.y0, py), out.y1 = std::max(out.y1, py);
        }
    }
    if (wideX) out.x0 = -kEdge, out.x1 = kEdge;
    if (wideY) out.y0 = -kEdge, out.y1 = kEdge;
    return Box{clampEdge(out.x0), clampEdge(out.y0), clampEdge(out.x1), clampEdge(out.y1)};
}

// The inverse, or false when the transform is singular or the inverse is not finite.
bool invert(CGAffineTransform t, CGAffineTransform *out) {
    if (!finiteTransform(t)) return false;
    double det = t.a * t.d - t.b * t.c;
    if (!std::isfinite(det) || det == 0) return false;
    CGAffineTransform inv;
    inv.a = t.d / det;
    inv.b = -t.b / det;
    inv.c = -t.c / det;
    inv.d = t.a / det;
    inv.tx = -(inv.a * t.tx + inv.c * t.ty);
    inv.ty = -(inv.b * t.tx + inv.d * t.ty);
    if (!finiteTransform(inv)) return false;
    *out = inv;
    return true;
}

constexpr CGAffineTransform kIdentity{1, 0, 0, 1, 0, 0};

// A picture size fit for a source: whole, positive pixels.
bool validSize(CGSize size) {
    return std::isfinite(size.width) && std::isfinite(size.height) && size.width >= 1 && size.height >= 1 &&
           size.width <= 1e9 && size.height <= 1e9 && size.width == std::floor(size.width) &&
           size.height == std::floor(size.height);
}

}  // namespace

const CGRect CIRectInfinite = {{-kEdge, -kEdge}, {DBL_MAX, DBL_MAX}};

bool CIRectIsInfinite(CGRect rect) { return !CGRectIsNull(rect) && isInfiniteBox(boxFromRect(rect)); }

size_t CIFormatBytesPerPixel(CIFormat format) {
    switch (format) {
    case kCIFormatARGB8:
    case kCIFormatBGRA8:
    case kCIFormatRGBA8:
        return 4;
    case kCIFormatRGBAf:
        return 16;
    default:
        return 0;
    }
}

CIImage::Source::~Source() {
    if (cgImage) CGImageRelease(cgImage);
    if (surface) CFRelease(surface);
    if (imageBuffer) CVBufferRelease(imageBuffer);
    if (data) CFRelease(data);
    if (colorSpace) CFRelease(colorSpace);
}

CIImage::CIImage(std::shared_ptr<const Source> source, CGAffineTransform toSource, CGRect clamp, CGRect extent,
                 bool exactClamp)
    : m_source(std::move(source)), m_toSource(toSource), m_clamp(clamp), m_extent(extent),
      m_exactClamp(exactClamp) {}

CIImage::~CIImage() = default;

CIImageRef CIImage::makeSource(std::shared_ptr<Source> source) {
    if (source->kind == SourceKind::Color) {
        return CIImageRef(new CIImage(std::move(source), kIdentity, CIRectInfinite, CIRectInfinite, true));
    }
    const CGSize size = source->size;
    // Rows stored top first are read through a vertical flip: plane y -> pixel row height - y.
    const CGAffineTransform toSource = source->flipped ? CGAffineTransform{1, 0, 0, -1, 0, size.height} : kIdentity;
    const CGRect bounds = CGRectMake(0, 0, size.width, size.height);
    return CIImageRef(new CIImage(std::move(source), toSource, bounds, bounds, true));
}

CIImageRef CIImage::imageWithTexture(GLuint name, CGSize size, bool flipped, CGColorSpaceRef colorSpace) {
    if (name == 0 || !validSize(size)) return nullptr;
    auto source = std::make_shared<Source>();
    source->kind = SourceKind::GLTexture;
    source->texture = name;
    source->size = size;
    source->flipped = flipped;
    if (colorSpace) source->colorSpace = static_cast<CGColorSpaceRef>(const_cast<void *>(CFRetain(colorSpace)));
    return makeSource(std::move(source));
}

CIImageRef CIImage::imageWithCGImage(CGImageRef image) {
    if (!image) return nullptr;
    const CGSize size = CGSizeMake(double(CGImageGetWidth(image)), double(CGImageGetHeight(image)));
    if (!validSize(size)) return nullptr;
    auto source = std::make_shared<Source>();
    source->kind = SourceKind::CGImage;
    source->cgImage = CGImageRetain(image);
    source->size = size;
    source->flipped = true;
    return makeSource(std::move(source));
}

CIImageRef CIImage::imageWithIOSurface(IOSurfaceRef surface, CGColorSpaceRef colorSpace) {
    if (!surface) return nullptr;
    const CGSize size = CGSizeMake(double(IOSurfaceGetWidth(surface)), double(IOSurfaceGetHeight(surface)));
    if (!validSize(size)) return nullptr;
    auto source = std::make_shared<Source>();
    source->kind = SourceKind::IOSurface;
    source->surface = static_cast<IOSurfaceRef>(const_cast<void *>(CFRetain(surface)));
    if (colorSpace) source->colorSpace = static_cast<CGColorSpaceRef>(const_cast<void *>(CFRetain(colorSpace)));
    source->size = size;
    source->flipped = true;
    return makeSource(std::move(source));
}

CIImageRef CIImage::imageWithCVImageBuffer(CVImageBufferRef imageBuffer) {
    if (!imageBuffer) return nullptr;
    const CGSize size = CVImageBufferGetEncodedSize(imageBuffer);
    if (!validSize(size)) return nullptr;
    auto source = std::make_shared<Source>();
    source->kind = SourceKind::CVImageBuffer;
    source->imageBuffer = CVBufferRetain(imageBuffer);
    source->size = size;
    source->flipped = true;
    return makeSource(std::move(source));
}

CIImageRef CIImage::imageWithBitmapData(CFDataRef data, size_t bytesPerRow, CGSize size, CIFormat format,
                                        CGColorSpaceRef colorSpace) {
    const size_t pixelBytes = CIFormatBytesPerPixel(format);
    if (!data || pixelBytes == 0 || !validSize(size)) return nullptr;
    const size_t width = size_t(size.width), height = size_t(size.height);
    if (bytesPerRow / pixelBytes < width) return nullptr;
    const CFIndex length = CFDataGetLength(data);
    if (length < 0 || bytesPerRow > size_t(length) / height) return nullptr;
    auto source = std::make_shared<Source>();
    source->kind = SourceKind::Bitmap;
    source->data = static_cast<CFDataRef>(CFRetain(data));
    source->bytesPerRow = bytesPerRow;
    source->format = format;
    source->size = size;
    source->flipped = true;
    if (colorSpace) source->colorSpace = static_cast<CGColorSpaceRef>(const_cast<void *>(CFRetain(colorSpace)));
    return makeSource(std::move(source));
}

CIImageRef CIImage::imageWithColor(const CIColor &color) {
    auto source = std::make_shared<Source>();
    source->kind = SourceKind::Color;
    source->color = color;
    return makeSource(std::move(source));
}

CIImageRef CIImage::emptyImage() {
    auto source = std::make_shared<Source>();
    source->kind = SourceKind::Color;
    return CIImageRef(new CIImage(std::move(source), kIdentity, CGRectNull, CGRectNull, true));
}

CIImageRef CIImage::imageWithKernelApplication(std::shared_ptr<const CIKernelApplication> application, CGRect domain) {
    if (!application) return nullptr;
    const CGRect bounds = CGRectIsNull(domain) ? CGRectNull : rectFromBox(boxFromRect(domain));
    auto source = std::make_shared<Source>();
    source->kind = SourceKind::Kernel;
    source->application = std::move(application);
    source->domain = bounds;
    return CIImageRef(new CIImage(std::move(source), kIdentity, bounds, bounds, true));
}

CIImageRef CIImage::imageByCroppingToRect(CGRect rect) const {
    const Box extent = intersect(boxFromRect(m_extent), boxFromRect(rect));
    if (CGRectIsNull(m_extent) || extent.empty()) {
        return CIImageRef(new CIImage(m_source, m_toSource, CGRectNull, CGRectNull, m_exactClamp));
    }
    Box clamp = intersect(boxFromRect(m_clamp), transformBox(extent, m_toSource));
    if (clamp.empty()) return CIImageRef(new CIImage(m_source, m_toSource, CGRectNull, CGRectNull, m_exactClamp));
    return CIImageRef(new CIImage(m_source, m_toSource, rectFromBox(clamp), rectFromBox(extent),
                                  m_exactClamp && axisAligned(m_toSource)));
}

CIImageRef CIImage::imageByApplyingTransform(CGAffineTransform transform) const {
    CGAffineTransform inverse;
    if (CGRectIsNull(m_extent) || !invert(transform, &inverse)) {
        return CIImageRef(new CIImage(m_source, m_toSource, CGRectNull, CGRectNull, m_exactClamp));
    }
    const CGAffineTransform toSource = CGAffineTransformConcat(inverse, m_toSource);
    const Box extent = transformBox(boxFromRect(m_extent), transform);
    if (!finiteTransform(toSource) || extent.empty()) {
        return CIImageRef(new CIImage(m_source, m_toSource, CGRectNull, CGRectNull, m_exactClamp));
    }
    return CIImageRef(new CIImage(m_source, toSource, m_clamp, rectFromBox(extent), m_exactClamp));
}

CGRect CIImage::definition() const {
    if (CGRectIsNull(m_extent) || CIRectIsInfinite(m_extent)) return m_extent;
    const Box b = boxFromRect(m_extent);
    return rectFromBox(Box{clampEdge(std::floor(b.x0)), clampEdge(std::floor(b.y0)), clampEdge(std::ceil(b.x1)),
                           clampEdge(std::ceil(b.y1))});
}

CIImageFoldedSampler CIImageFoldSampler(const CIImageRef &image) {
    CIImageFoldedSampler folded{};
    folded.matrix = CIMatrix3{{1, 0, 0, 0, 1, 0, 0, 0, 1}};
    folded.clampRect = CGRectNull;
    folded.extent = CGRectNull;
    folded.exactClamp = true;
    if (!image || image->isEmpty()) return folded;
    const CGAffineTransform t = image->samplerTransform();
    folded.image = image;
    folded.matrix = CIMatrix3{{t.a, t.c, t.tx, t.b, t.d, t.ty, 0, 0, 1}};
    folded.clampRect = image->clampRect();
    folded.extent = image->extent();
    folded.exactClamp = image->clampIsExact();
    return folded;
}

CGPoint CIMatrix3ApplyToPoint(const CIMatrix3 &matrix, CGPoint p) {
    const double *m = matrix.m;
    double w = m[6] * p.x + m[7] * p.y + m[8];
    if (w == 0 || !std::isfinite(w)) w = 1;
    return CGPointMake((m[0] * p.x + m[1] * p.y + m[2]) / w, (m[3] * p.x + m[4] * p.y + m[5]) / w);
}
