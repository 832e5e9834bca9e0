// Internals shared by the sources of the Core Graphics layer; not for callers outside it.
#pragma once

#include <cairo.h>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include <CoreFoundation/CFRuntime.h>
#include <CoreGraphics/CGBitmapContext.h>
#include <CoreGraphics/CGContext.h>
#include <CoreGraphics/CGFunction.h>
#include <CoreGraphics/CGImage.h>
#include <CoreGraphics/CGPath.h>
#include <CoreGraphics/CGShading.h>

namespace cgimpl {

// A colour as drawn: RGBA, 0..1, not premultiplied (grey g is g, g, g).
struct Color {
    double r = 0, g = 0, b = 0, a = 1;
};

// Where the components of one pixel are, for the layouts the layer reads and writes.
struct PixelLayout {
    enum class Kind : uint8_t { Gray, RGB };
    Kind kind = Kind::Gray;
    uint8_t bytesPerPixel = 1;
    int8_t alpha = -1;  // byte index of alpha, -1 without
    int8_t red = 0, green = 0, blue = 0;
    int8_t skip = -1;   // byte index of the skipped byte, -1 without
    bool premultiplied = true;

    bool hasAlpha() const { return alpha >= 0; }
    // cairo's own ARGB32 (B,G,R,A in memory on a little-endian machine, premultiplied).
    bool isCairoARGB() const;
};

// The layout for these parameters; false when it is not supported. Contexts accept grey
// and 32-bit RGB with premultiplied or skipped alpha; images also 24-bit RGB and
// non-premultiplied alpha.
bool LayoutFor(size_t bitsPerComponent, size_t bitsPerPixel, CGBitmapInfo info, CGColorSpaceModel model,
               bool forContext, PixelLayout &layout);

// Reads one pixel into cairo's premultiplied ARGB32 value (opaque for layouts without alpha).
uint32_t ReadPixel(const PixelLayout &layout, const uint8_t *pixel);

// The path representation shared by CGPath objects and the context's current path: points
// already transformed into the space they are kept in.
class PathData {
public:
    enum Op : uint8_t { kMove, kLine, kCurve, kClose };

    bool empty() const { return mOps.empty(); }
    bool hasCurrentPoint() const { return mHasCurrent; }
    CGPoint currentPoint() const { return mCurrent; }
    void clear();

    // The calls take user-space points and the transform that maps them into the path's space.
    void moveTo(const CGAffineTransform &t, CGPoint p);
    void lineTo(const CGAffineTransform &t, CGPoint p);
    void quadTo(const CGAffineTransform &t, CGPoint cp, CGPoint p);
    void curveTo(const CGAffineTransform &t, CGPoint cp1, CGPoint cp2, CGPoint p);
    void arc(const CGAffineTransform &t, CGPoint centre, CGFloat radius, CGFloat startAngle, CGFloat endAngle,
             bool clockwise);
    void arcToPoint(const CGAffineTransform &t, CGPoint p1, CGPoint p2, CGFloat radius);
    void rect(const CGAffineTransform &t, CGRect r);
    void ellipse(const CGAffineTransform &t, CGRect r);
    void close();
    void append(const PathData &other, const CGAffineTransform &t);

    // Bounding box of every point (control points included); CGRectNull when empty.
    CGRect bounds() const;
    // Whether every coordinate is finite.
    bool finite() const;
    // Whether a stroke of the path has corners: a sub-path of more than one segment, or closed.
    bool hasJoins() const;
    // Adds the path to cairo's current path (cairo's matrix should be the identity).
    void addTo(cairo_t *cr) const;

private:
    void add(Op op, std::initializer_list<CGPoint> points);
    // The user-space current point for transform t; false when t cannot be inverted.
    bool currentPointIn(const CGAffineTransform &t, CGPoint &p) const;

    std::vector<Op> mOps;
    std::vector<CGPoint> mPoints;
    bool mHasCurrent = false;
    CGPoint mCurrent{0, 0};
    CGPoint mSubpathStart{0, 0};
};

// Whole device pixels [x0, x1) x [y0, y1), y down from the top row.
struct PixelRect {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty() const { return x1 <= x0 || y1 <= y0; }
    PixelRect intersect(const PixelRect &o) const;
    PixelRect unite(const PixelRect &o) const;  // the box around both
    // The pixels a device-space rectangle touches (y down), one more on every side.
    static PixelRect Around(CGRect deviceRect);
};

using SurfacePtr = std::shared_ptr<cairo_surface_t>;
SurfacePtr MakeSurfacePtr(cairo_surface_t *surface);

cairo_matrix_t ToCairo(const CGAffineTransform &t);
bool Invertible(const CGAffineTransform &t);

// Sets the source to the colour with its alpha multiplied by alpha.
void SetSourceColor(cairo_t *cr, const Color &color, double alpha);

// A cairo surface of the image: ARGB32 or RGB24 for colour images, or, with asBlockMask,
// an A8 surface where 255 blocks paint (image masks as they are, grey images inverted).
// Null when the image is not of a kind that can serve (a colour image as a mask).
cairo_surface_t *CreateImageSurface(CGImageRef image, bool asBlockMask);
// cairo's filter for the state's interpolation quality and the image's wish.
cairo_filter_t FilterFor(CGInterpolationQuality quality, bool shouldInterpolate);
// A pattern over the surface that maps it onto rect (user space, first row at max y).
cairo_pattern_t *CreateImagePattern(cairo_surface_t *surface, CGRect rect, cairo_filter_t filter);

}  // namespace cgimpl

struct CGColorSpace final : cf::Object {
    CGColorSpace(CGColorSpaceModel model, CFStringRef name);
    ~CGColorSpace() override;
    bool isEqual(const cf::Object &other) const override;

    const CGColorSpaceModel mModel;
    const CFStringRef mName;  // retained; null for the device spaces
};

struct CGColor final : cf::Object {
    CGColor(CGColorSpaceRef space, const CGFloat *components);
    ~CGColor() override;

    cgimpl::Color rgba() const;

    const CGColorSpaceRef mSpace;  // retained
    CGFloat mComponents[4] = {0, 0, 0, 0};
    size_t mCount = 0;  // components including alpha
};

struct CGDataProvider final : cf::Object {
    CGDataProvider();
    ~CGDataProvider() override;

    const uint8_t *mData = nullptr;
    size_t mSize = 0;
    void *mInfo = nullptr;
    CGDataProviderReleaseDataCallback mRelease = nullptr;
    CFDataRef mCFData = nullptr;  // retained, for providers over a CFData
};

struct CGImage final : cf::Object {
    CGImage();
    ~CGImage() override;

    size_t mWidth = 0, mHeight = 0;
    size_t mBitsPerComponent = 8, mBitsPerPixel = 8, mBytesPerRow = 0;
    CGColorSpaceRef mSpace = nullptr;  // retained; null for masks
    CGBitmapInfo mBitmapInfo = 0;
    CGDataProviderRef mProvider = nullptr;  // retained
    bool mShouldInterpolate = true;
    CGColorRenderingIntent mIntent = kCGRenderingIntentDefault;
    bool mIsMask = false;
    cgimpl::PixelLayout mLayout;
};

struct CGPath final : cf::Object {
    CGPath();
    cgimpl::PathData mData;
};

struct CGFunction final : cf::Object {
    CGFunction();
    ~CGFunction() override;
    // Evaluates at one input (functions of one input), outputs clamped to the range.
    void evaluate(CGFloat in, std::vector<CGFloat> &out) const;

    void *mInfo = nullptr;
    CGFunctionCallbacks mCallbacks{};
    std::vector<CGFloat> mDomain, mRange;
    size_t mDomainDimension = 0, mRangeDimension = 0;
};

struct CGShading final : cf::Object {
    CGShading();
    ~CGShading() override;

    CGColorSpaceRef mSpace = nullptr;    // retained
    CGFunctionRef mFunction = nullptr;  // retained
    CGPoint mStart{0, 0}, mEnd{0, 0};
    bool mExtendStart = false, mExtendEnd = false;
};

namespace cgimpl {

struct ClipPath {
    PathData path;  // device space
    bool antialias = true;
};

struct GState {
    CGAffineTransform ctm = CGAffineTransformIdentity;
    std::vector<std::shared_ptr<const ClipPath>> clipPaths;
    SurfacePtr blockMask;  // A8, device size, 255 where clipped away; null without
    PixelRect clipBox;     // the pixels drawing may reach
    Color fill, stroke;
    CGFloat lineWidth = 1;
    CGLineCap lineCap = kCGLineCapButt;
    CGLineJoin lineJoin = kCGLineJoinMiter;
    CGFloat miterLimit = 10;
    bool antialias = true;
    CGInterpolationQuality interpolation = kCGInterpolationDefault;
    CGBlendMode blendMode = kCGBlendModeNormal;
    CGFloat alpha = 1;
    CGTextDrawingMode textMode = kCGTextFill;
};

// The pixel memory of a bitmap context and the cairo surface drawn into. cairo's own layout
// (premultiplied B,G,R,A on 4-byte boundaries) is drawn in place. Every other layout is drawn
// into a shadow surface of the same size (ARGB32 for layouts with alpha, RGB24 for the
// others) that stays the truth across drawing calls: the memory gets the drawing only when
// someone can see it (sync), and after a direct write into the memory the shadow is read
// anew from it before the next drawing call (dataWritten).
class BitmapStore {
public:
    ~BitmapStore();
    bool init(void *data, size_t width, size_t height, size_t bytesPerRow, const PixelLayout &layout);
    // A store without pixel memory that draws straight into the surface (a PDF page, a
    // recording): it takes over the reference; there is nothing to sync.
    void initWithSurface(cairo_surface_t *surface, size_t width, size_t height);
    bool hasMemory() const { return !mExternal; }

    cairo_surface_t *surface();  // null when it cannot be made
    // Around one drawing call that can change the pixels of r. neutral: the call draws only
    // greys (equal components), so that the grey layout's shadow stays grey without a pass.
    void beginDraw(const PixelRect &r);
    void endDraw(const PixelRect &r, bool neutral);
    // The memory gets every drawing call so far.
    void sync();
    // The memory was written directly: it is the truth (drawing not yet synced is dropped).
    void dataWritten();
    // Syncs every shadowed context whose memory overlaps [begin, begin + length).
    static void SyncMemory(const void *begin, size_t length);

    uint8_t *mData = nullptr;
    bool mOwnsData = false;
    size_t mWidth = 0, mHeight = 0, mBytesPerRow = 0;
    PixelLayout mLayout;

private:
    void load();                        // memory -> shadow, everything
    void store(const PixelRect &r);     // shadow -> memory over r
    void makeGrey(const PixelRect &r);  // each shadow pixel to the grey the memory would keep
    size_t memoryLength() const;

    bool mInPlace = false;
    bool mExternal = false;
    cairo_surface_t *mSurface = nullptr;
    std::mutex mLock;            // the two fields below, and the conversions
    bool mShadowCurrent = false;  // false: the memory is newer than the shadow
    PixelRect mPending;          // newer in the shadow than in the memory
};

// Line width, caps, joins and miter limit of the state.
void SetStrokeParameters(cairo_t *cr, const GState &state);
// How far a stroke with the state's settings can reach beyond its path, in device pixels
// (miter corners reach furthest; a path without corners only its caps).
double StrokeReach(const GState &state, const CGAffineTransform &device, bool joins);

}  // namespace cgimpl

struct CGContext final : cf::Object {
    CGContext();
    ~CGContext() override;

    // The transform from user space to cairo's device space (y down from the top row).
    CGAffineTransform deviceTransform() const;
    bool antialias() const { return mState.antialias && mAllowsAntialias; }
    cgimpl::PixelRect fullRect() const;

    // Runs one drawing call. deviceBounds (cairo device space) bounds what it can change;
    // null means everything inside the clip. paint draws with cr's matrix at the identity,
    // the clip, anti-aliasing and the blend mode's operator set; it folds mState.alpha into
    // what it draws itself.
    // neutral: paint draws only greys (equal colour components).
    void draw(const CGRect *deviceBounds, const std::function<void(cairo_t *cr)> &paint, bool neutral = false);

    // Intersects the clip with a device-space path.
    void clipToDevicePath(cgimpl::PathData path);

    cgimpl::BitmapStore mStore;
    CGColorSpaceRef mSpace = nullptr;  // retained
    CGBitmapInfo mBitmapInfo = 0;

    cgimpl::GState mState;
    std::vector<cgimpl::GState> mSaved;
    cgimpl::PathData mPath;  // device space
    CGAffineTransform mTextMatrix = CGAffineTransformIdentity;
    bool mAllowsAntialias = true;

    // A PDF context draws only while a page is open, and nothing once closed.
    bool mPDF = false;
    bool mPageOpen = false;
    bool mClosed = false;
    CGAffineTransform mPageCTM = CGAffineTransformIdentity;  // each page's first CTM
};
