// Contexts: the graphics state, the current path, and the drawing calls on cairo.
//
// Every drawing call goes through CGContext::draw: it works out the pixels the call can reach
// (its device bounds within the clip), lets cairo draw into the bitmap's surface (the memory
// itself, or the shadow kept for other layouts) with the clip applied, and undoes what a mask
// clip blocks. The shadow reaches the memory only when the memory is looked at.
#include <CoreGraphics/CGInternal.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace cgimpl {

PixelRect PixelRect::intersect(const PixelRect &o) const {
    PixelRect r{std::max(x0, o.x0), std::max(y0, o.y0), std::min(x1, o.x1), std::min(y1, o.y1)};
    if (r.empty()) r = PixelRect{};
    return r;
}

PixelRect PixelRect::unite(const PixelRect &o) const {
    if (empty()) return o;
    if (o.empty()) return *this;
    return PixelRect{std::min(x0, o.x0), std::min(y0, o.y0), std::max(x1, o.x1), std::max(y1, o.y1)};
}

PixelRect PixelRect::Around(CGRect d) {
    if (CGRectIsNull(d)) return PixelRect{};
    const CGRect s = CGRectStandardize(d);
    auto edge = [](double v) {
        constexpr double kLimit = 1 << 30;
        if (std::isnan(v)) return 0;
        return int(std::clamp(v, -kLimit, kLimit));
    };
    return PixelRect{edge(std::floor(s.origin.x) - 1), edge(std::floor(s.origin.y) - 1),
                     edge(std::ceil(s.origin.x + s.size.width) + 1), edge(std::ceil(s.origin.y + s.size.height) + 1)};
}

void SetSourceColor(cairo_t *cr, const Color &color, double alpha) {
    cairo_set_source_rgba(cr, color.r, color.g, color.b, color.a * alpha);
}

void SetStrokeParameters(cairo_t *cr, const GState &s) {
    cairo_set_line_width(cr, std::max<CGFloat>(s.lineWidth, 0));
    cairo_set_line_cap(cr, s.lineCap == kCGLineCapRound    ? CAIRO_LINE_CAP_ROUND
                           : s.lineCap == kCGLineCapSquare ? CAIRO_LINE_CAP_SQUARE
                                                           : CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr, s.lineJoin == kCGLineJoinRound   ? CAIRO_LINE_JOIN_ROUND
                            : s.lineJoin == kCGLineJoinBevel ? CAIRO_LINE_JOIN_BEVEL
                                                             : CAIRO_LINE_JOIN_MITER);
    cairo_set_miter_limit(cr, s.miterLimit);
}

double StrokeReach(const GState &s, const CGAffineTransform &device, bool joins) {
    const double norm = std::sqrt(device.a * device.a + device.b * device.b + device.c * device.c + device.d * device.d);
    double factor = std::sqrt(2.0);  // square caps and bevel corners
    if (joins && s.lineJoin == kCGLineJoinMiter) factor = std::max(factor, s.miterLimit);
    return std::fabs(s.lineWidth) * 0.5 * norm * factor + 1;
}

namespace {

double Clamp01(double v) { return v > 0 ? (v < 1 ? v : 1) : 0; }  // NaN becomes 0

// cairo composites each colour component alike: a grey source over grey pixels stays grey.
bool IsGrey(const Color &c) { return c.r == c.g && c.g == c.b; }

CGRect Grow(CGRect r, double by) {
    return CGRectIsNull(r) ? r : CGRectMake(r.origin.x - by, r.origin.y - by, r.size.width + 2 * by, r.size.height + 2 * by);
}

// A new A8 (or other format) surface over memory of our own, so that cairo never assumes
// it is still clear after we wrote into it.
cairo_surface_t *CreateOwnedSurface(cairo_format_t format, int width, int height, int fill) {
    const int stride = cairo_format_stride_for_width(format, width);
    auto *data = static_cast<unsigned char *>(std::malloc(size_t(stride) * size_t(height)));
    if (!data) return nullptr;
    std::memset(data, fill, size_t(stride) * size_t(height));
    cairo_surface_t *surface = cairo_image_surface_create_for_data(data, format, width, height, stride);
    static cairo_user_data_key_t key;
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_set_user_data(surface, &key, data, std::free) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        std::free(data);
        return nullptr;
    }
    return surface;
}

// A copy of the region of the surface, as a surface of the region's size.
// Null for a surface without pixels (a PDF page, a layer's recording): drawing under a mask
// clip is then left out there.
cairo_surface_t *CopyRegion(cairo_surface_t *surface, const PixelRect &r) {
    if (cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE) return nullptr;
    const cairo_format_t format = cairo_image_surface_get_format(surface);
    cairo_surface_t *copy = CreateOwnedSurface(format, r.x1 - r.x0, r.y1 - r.y0, 0);
    if (!copy) return nullptr;
    cairo_surface_flush(surface);
    const uint8_t *src = cairo_image_surface_get_data(surface);
    const size_t srcStride = size_t(cairo_image_surface_get_stride(surface));
    uint8_t *dst = cairo_image_surface_get_data(copy);
    const size_t dstStride = size_t(cairo_image_surface_get_stride(copy));
    for (int y = r.y0; y < r.y1; ++y)
        std::memcpy(dst + size_t(y - r.y0) * dstStride, src + size_t(y) * srcStride + size_t(r.x0) * 4,
                    size_t(r.x1 - r.x0) * 4);
    cairo_surface_mark_dirty(copy);
    return copy;
}

}  // namespace

}  // namespace cgimpl

using namespace cgimpl;

CFTypeID CGContextGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CGContext");
    return type;
}

CGContext::CGContext() : cf::Object(CGContextGetTypeID()) {}

CGContext::~CGContext() { CGColorSpaceRelease(mSpace); }

CGAffineTransform CGContext::deviceTransform() const {
    // Quartz's device space has y up from the bottom row; cairo's has y down from the top.
    const CGAffineTransform flip = {1, 0, 0, -1, 0, CGFloat(mStore.mHeight)};
    return CGAffineTransformConcat(mState.ctm, flip);
}

PixelRect CGContext::fullRect() const { return PixelRect{0, 0, int(mStore.mWidth), int(mStore.mHeight)}; }

void CGContext::draw(const CGRect *deviceBounds, const std::function<void(cairo_t *cr)> &paint, bool neutral) {
    if (mPDF && !mPageOpen) return;
    PixelRect region = mState.clipBox.intersect(fullRect());
    if (deviceBounds) region = region.intersect(PixelRect::Around(*deviceBounds));
    if (region.empty()) return;
    cairo_surface_t *surface = mStore.surface();
    if (!surface) return;
    mStore.beginDraw(region);
    // With a mask clip the pixels before the call are kept, to put back where it blocks.
    cairo_surface_t *before = mState.blockMask ? CopyRegion(surface, region) : nullptr;
    if (mState.blockMask && !before) return;

    cairo_t *cr = cairo_create(surface);
    cairo_rectangle(cr, region.x0, region.y0, region.x1 - region.x0, region.y1 - region.y0);
    cairo_clip(cr);
    for (const auto &clip : mState.clipPaths) {
        clip->path.addTo(cr);
        cairo_set_antialias(cr, clip->antialias ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
        cairo_clip(cr);
    }
    cairo_set_antialias(cr, antialias() ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
    cairo_set_operator(cr, mState.blendMode == kCGBlendModeCopy       ? CAIRO_OPERATOR_SOURCE
                           : mState.blendMode == kCGBlendModeSourceIn ? CAIRO_OPERATOR_IN
                                                                      : CAIRO_OPERATOR_OVER);
    paint(cr);
    cairo_destroy(cr);

    if (before) {
        cairo_t *undo = cairo_create(surface);
        cairo_rectangle(undo, region.x0, region.y0, region.x1 - region.x0, region.y1 - region.y0);
        cairo_clip(undo);
        cairo_set_operator(undo, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_surface(undo, before, region.x0, region.y0);
        cairo_mask_surface(undo, mState.blockMask.get(), 0, 0);
        cairo_destroy(undo);
        cairo_surface_destroy(before);
    }
    mStore.endDraw(region, neutral);
}

void CGContext::clipToDevicePath(PathData path) {
    if (path.empty() || !path.finite()) {
        mState.clipBox = PixelRect{};
        return;
    }
    mState.clipBox = mState.clipBox.intersect(PixelRect::Around(path.bounds()));
    auto clip = std::make_shared<ClipPath>();
    clip->path = std::move(path);
    clip->antialias = antialias();
    mState.clipPaths.push_back(std::move(clip));
}

// ---- retain, state

CGContextRef CGContextRetain(CGContextRef c) {
    if (c) CFRetain(c);
    return c;
}

void CGContextRelease(CGContextRef c) {
    if (c) CFRelease(c);
}

void CGContextSaveGState(CGContextRef c) {
    if (c) c->mSaved.push_back(c->mState);
}

void CGContextRestoreGState(CGContextRef c) {
    if (!c || c->mSaved.empty()) return;
    c->mState = std::move(c->mSaved.back());
    c->mSaved.pop_back();
}

CGAffineTransform CGContextGetCTM(CGContextRef c) { return c ? c->mState.ctm : CGAffineTransformIdentity; }

void CGContextConcatCTM(CGContextRef c, CGAffineTransform t) {
    if (c) c->mState.ctm = CGAffineTransformConcat(t, c->mState.ctm);
}

void CGContextTranslateCTM(CGContextRef c, CGFloat tx, CGFloat ty) {
    CGContextConcatCTM(c, CGAffineTransformMakeTranslation(tx, ty));
}

void CGContextScaleCTM(CGContextRef c, CGFloat sx, CGFloat sy) { CGContextConcatCTM(c, CGAffineTransformMakeScale(sx, sy)); }

void CGContextRotateCTM(CGContextRef c, CGFloat angle) { CGContextConcatCTM(c, CGAffineTransformMakeRotation(angle)); }

void CGContextSetLineWidth(CGContextRef c, CGFloat width) {
    if (c && width >= 0) c->mState.lineWidth = width;
}

void CGContextSetLineCap(CGContextRef c, CGLineCap cap) {
    if (c) c->mState.lineCap = cap;
}

void CGContextSetLineJoin(CGContextRef c, CGLineJoin join) {
    if (c) c->mState.lineJoin = join;
}

void CGContextSetMiterLimit(CGContextRef c, CGFloat limit) {
    if (c && limit >= 1) c->mState.miterLimit = limit;
}

void CGContextSetShouldAntialias(CGContextRef c, bool shouldAntialias) {
    if (c) c->mState.antialias = shouldAntialias;
}

void CGContextSetAllowsAntialiasing(CGContextRef c, bool allowsAntialiasing) {
    if (c) c->mAllowsAntialias = allowsAntialiasing;
}

void CGContextSetInterpolationQuality(CGContextRef c, CGInterpolationQuality quality) {
    if (c) c->mState.interpolation = quality;
}

CGInterpolationQuality CGContextGetInterpolationQuality(CGContextRef c) {
    return c ? c->mState.interpolation : kCGInterpolationDefault;
}

void CGContextSetBlendMode(CGContextRef c, CGBlendMode mode) {
    if (c)
        c->mState.blendMode =
            mode == kCGBlendModeCopy || mode == kCGBlendModeSourceIn ? mode : kCGBlendModeNormal;
}

void CGContextSetAlpha(CGContextRef c, CGFloat alpha) {
    if (c) c->mState.alpha = Clamp01(alpha);
}

void CGContextSetRGBFillColor(CGContextRef c, CGFloat r, CGFloat g, CGFloat b, CGFloat a) {
    if (c) c->mState.fill = Color{Clamp01(r), Clamp01(g), Clamp01(b), Clamp01(a)};
}

void CGContextSetRGBStrokeColor(CGContextRef c, CGFloat r, CGFloat g, CGFloat b, CGFloat a) {
    if (c) c->mState.stroke = Color{Clamp01(r), Clamp01(g), Clamp01(b), Clamp01(a)};
}

void CGContextSetGrayFillColor(CGContextRef c, CGFloat gray, CGFloat alpha) {
    CGContextSetRGBFillColor(c, gray, gray, gray, alpha);
}

void CGContextSetGrayStrokeColor(CGContextRef c, CGFloat gray, CGFloat alpha) {
    CGContextSetRGBStrokeColor(c, gray, gray, gray, alpha);
}

void CGContextSetFillColorWithColor(CGContextRef c, CGColorRef color) {
    if (c && color) c->mState.fill = color->rgba();
}

void CGContextSetStrokeColorWithColor(CGContextRef c, CGColorRef color) {
    if (c && color) c->mState.stroke = color->rgba();
}

// ---- the current path

void CGContextBeginPath(CGContextRef c) {
    if (c) c->mPath.clear();
}

void CGContextMoveToPoint(CGContextRef c, CGFloat x, CGFloat y) {
    if (c) c->mPath.moveTo(c->deviceTransform(), {x, y});
}

void CGContextAddLineToPoint(CGContextRef c, CGFloat x, CGFloat y) {
    if (c) c->mPath.lineTo(c->deviceTransform(), {x, y});
}

void CGContextAddCurveToPoint(CGContextRef c, CGFloat cp1x, CGFloat cp1y, CGFloat cp2x, CGFloat cp2y, CGFloat x,
                              CGFloat y) {
    if (c) c->mPath.curveTo(c->deviceTransform(), {cp1x, cp1y}, {cp2x, cp2y}, {x, y});
}

void CGContextAddQuadCurveToPoint(CGContextRef c, CGFloat cpx, CGFloat cpy, CGFloat x, CGFloat y) {
    if (c) c->mPath.quadTo(c->deviceTransform(), {cpx, cpy}, {x, y});
}

void CGContextAddArc(CGContextRef c, CGFloat x, CGFloat y, CGFloat radius, CGFloat startAngle, CGFloat endAngle,
                     int clockwise) {
    if (c) c->mPath.arc(c->deviceTransform(), {x, y}, radius, startAngle, endAngle, clockwise != 0);
}

void CGContextAddArcToPoint(CGContextRef c, CGFloat x1, CGFloat y1, CGFloat x2, CGFloat y2, CGFloat radius) {
    if (c) c->mPath.arcToPoint(c->deviceTransform(), {x1, y1}, {x2, y2}, radius);
}

void CGContextAddRect(CGContextRef c, CGRect rect) {
    if (c) c->mPath.rect(c->deviceTransform(), rect);
}

void CGContextAddEllipseInRect(CGContextRef c, CGRect rect) {
    if (c) c->mPath.ellipse(c->deviceTransform(), rect);
}

void CGContextAddPath(CGContextRef c, CGPathRef path) {
    if (c && path) c->mPath.append(path->mData, c->deviceTransform());
}

void CGContextClosePath(CGContextRef c) {
    if (c) c->mPath.close();
}

bool CGContextIsPathEmpty(CGContextRef c) { return !c || c->mPath.empty(); }

// ---- filling and stroking

namespace {

void Fill(CGContextRef c, const PathData &path, bool evenOdd) {
    if (path.empty() || !path.finite()) return;
    const CGRect bounds = path.bounds();
    const GState &s = c->mState;
    c->draw(&bounds, [&](cairo_t *cr) {
        path.addTo(cr);
        cairo_set_fill_rule(cr, evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
        SetSourceColor(cr, s.fill, s.alpha);
        cairo_fill(cr);
    }, IsGrey(s.fill));
}

void Stroke(CGContextRef c, const PathData &path) {
    const CGAffineTransform device = c->deviceTransform();
    if (path.empty() || !path.finite() || !Invertible(device)) return;
    const GState &s = c->mState;
    const CGRect bounds = Grow(path.bounds(), StrokeReach(s, device, path.hasJoins()));
    c->draw(&bounds, [&](cairo_t *cr) {
        path.addTo(cr);  // device space, fixed before the CTM is set for the pen
        const cairo_matrix_t m = ToCairo(device);
        cairo_set_matrix(cr, &m);
        SetStrokeParameters(cr, s);
        SetSourceColor(cr, s.stroke, s.alpha);
        cairo_stroke(cr);
    }, IsGrey(s.stroke));
}

PathData TakePath(CGContextRef c) {
    PathData path = std::move(c->mPath);
    c->mPath.clear();
    return path;
}

}  // namespace

void CGContextFillPath(CGContextRef c) {
    if (c) Fill(c, TakePath(c), false);
}

void CGContextEOFillPath(CGContextRef c) {
    if (c) Fill(c, TakePath(c), true);
}

void CGContextStrokePath(CGContextRef c) {
    if (c) Stroke(c, TakePath(c));
}

void CGContextDrawPath(CGContextRef c, CGPathDrawingMode mode) {
    if (!c) return;
    const PathData path = TakePath(c);
    switch (mode) {
    case kCGPathFill: Fill(c, path, false); break;
    case kCGPathEOFill: Fill(c, path, true); break;
    case kCGPathStroke: Stroke(c, path); break;
    case kCGPathFillStroke: Fill(c, path, false), Stroke(c, path); break;
    case kCGPathEOFillStroke: Fill(c, path, true), Stroke(c, path); break;
    }
}

void CGContextFillRect(CGContextRef c, CGRect rect) {
    if (!c) return;
    PathData path;
    path.rect(c->deviceTransform(), rect);
    Fill(c, path, false);
}

void CGContextStrokeRect(CGContextRef c, CGRect rect) {
    if (!c) return;
    PathData path;
    path.rect(c->deviceTransform(), rect);
    Stroke(c, path);
}

void CGContextStrokeRectWithWidth(CGContextRef c, CGRect rect, CGFloat width) {
    if (!c) return;
    const CGFloat saved = c->mState.lineWidth;
    CGContextSetLineWidth(c, width);
    CGContextStrokeRect(c, rect);
    c->mState.lineWidth = saved;
}

void CGContextClearRect(CGContextRef c, CGRect rect) {
    if (!c) return;
    PathData path;
    path.rect(c->deviceTransform(), rect);
    if (!path.finite()) return;
    const CGRect bounds = path.bounds();
    c->draw(&bounds, [&](cairo_t *cr) {
        path.addTo(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
        cairo_fill(cr);
    }, true);
}

void CGContextFillEllipseInRect(CGContextRef c, CGRect rect) {
    if (!c) return;
    PathData path;
    path.ellipse(c->deviceTransform(), rect);
    Fill(c, path, false);
}

void CGContextStrokeEllipseInRect(CGContextRef c, CGRect rect) {
    if (!c) return;
    PathData path;
    path.ellipse(c->deviceTransform(), rect);
    Stroke(c, path);
}

void CGContextStrokeLineSegments(CGContextRef c, const CGPoint *points, size_t count) {
    if (!c || !points) return;
    const CGAffineTransform device = c->deviceTransform();
    PathData path;
    for (size_t i = 0; i + 1 < count; i += 2) {
        path.moveTo(device, points[i]);
        path.lineTo(device, points[i + 1]);
    }
    Stroke(c, path);
}

// ---- clipping

void CGContextClipToRect(CGContextRef c, CGRect rect) {
    if (!c) return;
    PathData path;
    path.rect(c->deviceTransform(), rect);
    c->clipToDevicePath(std::move(path));
}

void CGContextClipToMask(CGContextRef c, CGRect rect, CGImageRef mask) {
    if (!c || !mask) return;
    GState &s = c->mState;
    const CGAffineTransform device = c->deviceTransform();
    const CGRect r = CGRectStandardize(rect);
    cairo_surface_t *coverage = CreateImageSurface(mask, true);
    if (!coverage || CGRectIsEmpty(r) || !Invertible(device)) {
        if (coverage) cairo_surface_destroy(coverage);
        s.clipBox = PixelRect{};  // nothing can be painted any more
        return;
    }
    // The new clip's block mask: everything blocked, then the mask's coverage let through
    // inside rect; combined with an earlier mask clip, a pixel is blocked by either.
    const PixelRect full = c->fullRect();
    cairo_surface_t *block = CreateOwnedSurface(CAIRO_FORMAT_A8, full.x1, full.y1, 255);
    if (!block) {
        cairo_surface_destroy(coverage);
        s.clipBox = PixelRect{};
        return;
    }
    cairo_t *cr = cairo_create(block);
    const cairo_matrix_t m = ToCairo(device);
    cairo_set_matrix(cr, &m);
    cairo_rectangle(cr, r.origin.x, r.origin.y, r.size.width, r.size.height);
    cairo_clip(cr);
    cairo_pattern_t *pattern = CreateImagePattern(coverage, r, FilterFor(s.interpolation, mask->mShouldInterpolate));
    cairo_set_source(cr, pattern);
    cairo_set_operator(cr, CAIRO_OPERATOR_DEST_OUT);
    cairo_paint(cr);
    cairo_pattern_destroy(pattern);
    if (s.blockMask) {
        cairo_reset_clip(cr);
        cairo_identity_matrix(cr);
        cairo_set_source_surface(cr, s.blockMask.get(), 0, 0);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
        cairo_paint(cr);
    }
    cairo_destroy(cr);
    cairo_surface_flush(block);
    cairo_surface_destroy(coverage);
    s.blockMask = MakeSurfacePtr(block);
    s.clipBox = s.clipBox.intersect(PixelRect::Around(CGRectApplyAffineTransform(r, device)));
}

// ---- images and shadings

void CGContextDrawImage(CGContextRef c, CGRect rect, CGImageRef image) {
    if (!c || !image) return;
    const CGAffineTransform device = c->deviceTransform();
    const CGRect r = CGRectStandardize(rect);
    if (CGRectIsEmpty(r) || !Invertible(device) || !std::isfinite(r.origin.x) || !std::isfinite(r.origin.y) ||
        !std::isfinite(r.size.width) || !std::isfinite(r.size.height))
        return;
    cairo_surface_t *surface = CreateImageSurface(image, image->mIsMask);
    if (!surface) return;
    const GState &s = c->mState;
    const CGRect bounds = CGRectApplyAffineTransform(r, device);
    c->draw(&bounds, [&](cairo_t *cr) {
        const cairo_matrix_t m = ToCairo(device);
        cairo_set_matrix(cr, &m);
        cairo_rectangle(cr, r.origin.x, r.origin.y, r.size.width, r.size.height);
        cairo_clip(cr);
        cairo_pattern_t *pattern =
            CreateImagePattern(surface, r, FilterFor(s.interpolation, image->mShouldInterpolate));
        if (image->mIsMask) {
            SetSourceColor(cr, s.fill, s.alpha);
            cairo_mask(cr, pattern);
        } else {
            cairo_set_source(cr, pattern);
            cairo_paint_with_alpha(cr, s.alpha);
        }
        cairo_pattern_destroy(pattern);
    }, image->mIsMask ? IsGrey(s.fill) : image->mLayout.kind == PixelLayout::Kind::Gray);
    cairo_surface_destroy(surface);
}

void CGContextDrawShading(CGContextRef c, CGShadingRef shading) {
    if (!c || !shading) return;
    const CGAffineTransform device = c->deviceTransform();
    const CGPoint p0 = shading->mStart, p1 = shading->mEnd;
    const double length = std::hypot(p1.x - p0.x, p1.y - p0.y);
    if (!Invertible(device) || !(length > 0) || !std::isfinite(length)) return;

    // The colour along the axis, sampled densely enough for 8-bit output.
    constexpr int kStops = 256;
    const CGFunction &function = *shading->mFunction;
    const size_t components = CGColorSpaceGetNumberOfComponents(shading->mSpace);
    cairo_pattern_t *pattern = cairo_pattern_create_linear(p0.x, p0.y, p1.x, p1.y);
    std::vector<CGFloat> out;
    for (int i = 0; i < kStops; ++i) {
        const double t = double(i) / (kStops - 1);
        const CGFloat d0 = function.mDomain[0], d1 = function.mDomain[1];
        function.evaluate(d0 + (d1 - d0) * t, out);
        Color color;
        if (components == 1) {
            color.r = color.g = color.b = Clamp01(out[0]);
        } else {
            color.r = Clamp01(out[0]), color.g = Clamp01(out[1]), color.b = Clamp01(out[2]);
        }
        color.a = out.size() > components ? Clamp01(out[components]) : 1;
        cairo_pattern_add_color_stop_rgba(pattern, t, color.r, color.g, color.b, color.a);
    }
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);

    // The band across the axis that the shading covers: unbounded on an extended side.
    const CGAffineTransform inverse = CGAffineTransformInvert(device);
    const CGRect deviceBox = CGRectMake(0, 0, CGFloat(c->mStore.mWidth), CGFloat(c->mStore.mHeight));
    const CGRect userBox = CGRectApplyAffineTransform(deviceBox, inverse);
    const double reach = std::hypot(userBox.size.width, userBox.size.height) +
                         std::hypot(CGRectGetMidX(userBox) - p0.x, CGRectGetMidY(userBox) - p0.y) + length + 1;
    const double ux = (p1.x - p0.x) / length, uy = (p1.y - p0.y) / length;
    const double nx = -uy * reach, ny = ux * reach;
    const CGPoint s = shading->mExtendStart ? CGPoint{p0.x - ux * reach, p0.y - uy * reach} : p0;
    const CGPoint e = shading->mExtendEnd ? CGPoint{p1.x + ux * reach, p1.y + uy * reach} : p1;
    const double alpha = c->mState.alpha;

    c->draw(nullptr, [&](cairo_t *cr) {
        const cairo_matrix_t m = ToCairo(device);
        cairo_set_matrix(cr, &m);
        cairo_move_to(cr, s.x + nx, s.y + ny);
        cairo_line_to(cr, e.x + nx, e.y + ny);
        cairo_line_to(cr, e.x - nx, e.y - ny);
        cairo_line_to(cr, s.x - nx, s.y - ny);
        cairo_close_path(cr);
        cairo_clip(cr);
        cairo_set_source(cr, pattern);
        cairo_paint_with_alpha(cr, alpha);
    });
    cairo_pattern_destroy(pattern);
}

// ---- text state

void CGContextSetTextMatrix(CGContextRef c, CGAffineTransform t) {
    if (c) c->mTextMatrix = t;
}

CGAffineTransform CGContextGetTextMatrix(CGContextRef c) { return c ? c->mTextMatrix : CGAffineTransformIdentity; }

void CGContextSetTextPosition(CGContextRef c, CGFloat x, CGFloat y) {
    if (!c) return;
    c->mTextMatrix.tx = x;
    c->mTextMatrix.ty = y;
}

CGPoint CGContextGetTextPosition(CGContextRef c) {
    return c ? CGPoint{c->mTextMatrix.tx, c->mTextMatrix.ty} : CGPointZero;
}

void CGContextSetTextDrawingMode(CGContextRef c, CGTextDrawingMode mode) {
    if (c && mode >= kCGTextFill && mode <= kCGTextClip) c->mState.textMode = mode;
}
