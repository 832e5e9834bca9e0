// PDF contexts over cairo's PDF surface, and layers over cairo's recording surface.
#include <CoreGraphics/CGInternal.h>
#include <CoreGraphics/CGLayer.h>
#include <CoreGraphics/CGPDFContext.h>

#include <CoreFoundation/CFString.h>

#include <cairo-pdf.h>

#include <climits>
#include <cmath>
#include <string>

const CFStringRef kCGPDFContextTitle = CFSTR("kCGPDFContextTitle");
const CFStringRef kCGPDFContextAuthor = CFSTR("kCGPDFContextAuthor");
const CFStringRef kCGPDFContextCreator = CFSTR("kCGPDFContextCreator");
const CFStringRef kCGPDFContextSubject = CFSTR("kCGPDFContextSubject");

namespace {

bool UsableSize(CGFloat width, CGFloat height, CGFloat limit) {
    return std::isfinite(width) && std::isfinite(height) && width > 0 && height > 0 && width <= limit &&
           height <= limit;
}

// The UTF-8 text of a string value of the dictionary; empty when there is none.
std::string StringValue(CFDictionaryRef info, CFStringRef key) {
    if (!info) return {};
    const void *value = CFDictionaryGetValue(info, key);
    if (!value || CFGetTypeID(value) != CFStringGetTypeID()) return {};
    const auto string = static_cast<CFStringRef>(value);
    const CFIndex size = CFStringGetMaximumSizeForEncoding(CFStringGetLength(string), kCFStringEncodingUTF8) + 1;
    std::string text(size_t(size), '\0');
    if (!CFStringGetCString(string, text.data(), size, kCFStringEncodingUTF8)) return {};
    text.resize(std::char_traits<char>::length(text.c_str()));
    return text;
}

void ResetPageState(CGContextRef c) {
    c->mSaved.clear();
    c->mState = cgimpl::GState{};
    c->mState.clipBox = c->fullRect();
    c->mState.ctm = c->mPageCTM;
    c->mPath.clear();
    c->mTextMatrix = CGAffineTransformIdentity;
}

}  // namespace

CGContextRef CGPDFContextCreateWithURL(CFURLRef url, const CGRect *mediaBox, CFDictionaryRef auxiliaryInfo) {
    if (!url) return nullptr;
    const CGRect box = mediaBox ? CGRectStandardize(*mediaBox) : CGRectMake(0, 0, 612, 792);
    if (!UsableSize(box.size.width, box.size.height, 14400) || !std::isfinite(box.origin.x) ||
        !std::isfinite(box.origin.y))
        return nullptr;
    char path[PATH_MAX];
    if (!CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8 *>(path), sizeof path)) return nullptr;
    cairo_surface_t *surface = cairo_pdf_surface_create(path, box.size.width, box.size.height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    const struct {
        CFStringRef key;
        cairo_pdf_metadata_t field;
    } fields[] = {{kCGPDFContextTitle, CAIRO_PDF_METADATA_TITLE},
                  {kCGPDFContextAuthor, CAIRO_PDF_METADATA_AUTHOR},
                  {kCGPDFContextCreator, CAIRO_PDF_METADATA_CREATOR},
                  {kCGPDFContextSubject, CAIRO_PDF_METADATA_SUBJECT}};
    for (const auto &field : fields) {
        const std::string text = StringValue(auxiliaryInfo, field.key);
        if (!text.empty()) cairo_pdf_surface_set_metadata(surface, field.field, text.c_str());
    }
    auto *context = new CGContext;
    // Device pixels are points; the page's height rounded up keeps the flip exact for whole sizes.
    context->mStore.initWithSurface(surface, size_t(std::ceil(box.size.width)), size_t(std::ceil(box.size.height)));
    context->mSpace = CGColorSpaceCreateDeviceRGB();
    context->mPDF = true;
    // The media box's origin is the page's bottom-left corner.
    context->mPageCTM = CGAffineTransformMakeTranslation(-box.origin.x, -box.origin.y);
    ResetPageState(context);
    return context;
}

void CGPDFContextBeginPage(CGContextRef c, CFDictionaryRef) {
    if (!c || !c->mPDF || c->mClosed) return;
    if (c->mPageOpen) CGPDFContextEndPage(c);
    ResetPageState(c);
    c->mPageOpen = true;
}

void CGPDFContextEndPage(CGContextRef c) {
    if (!c || !c->mPDF || !c->mPageOpen) return;
    cairo_surface_show_page(c->mStore.surface());
    c->mPageOpen = false;
}

void CGPDFContextClose(CGContextRef c) {
    if (!c || !c->mPDF || c->mClosed) return;
    CGPDFContextEndPage(c);
    cairo_surface_finish(c->mStore.surface());
    c->mClosed = true;
}

// ---- layers

struct CGLayer final : cf::Object {
    CGLayer() : cf::Object(CGLayerGetTypeID()) {}
    ~CGLayer() override {
        CGContextRelease(mContext);
        cairo_surface_destroy(mSurface);
    }

    CGSize mSize{0, 0};
    cairo_surface_t *mSurface = nullptr;  // the recording, one reference of its own
    CGContextRef mContext = nullptr;
};

CFTypeID CGLayerGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CGLayer");
    return type;
}

CGLayerRef CGLayerCreateWithContext(CGContextRef context, CGSize size, CFDictionaryRef) {
    if (!context || !UsableSize(size.width, size.height, 32767)) return nullptr;
    const cairo_rectangle_t extents = {0, 0, size.width, size.height};
    cairo_surface_t *surface = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &extents);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    auto *layer = new CGLayer;
    layer->mSize = size;
    layer->mSurface = surface;
    layer->mContext = new CGContext;
    layer->mContext->mStore.initWithSurface(cairo_surface_reference(surface), size_t(std::ceil(size.width)),
                                            size_t(std::ceil(size.height)));
    layer->mContext->mSpace = CGColorSpaceCreateDeviceRGB();
    layer->mContext->mState.clipBox = layer->mContext->fullRect();
    return layer;
}

CGLayerRef CGLayerRetain(CGLayerRef layer) {
    if (layer) CFRetain(layer);
    return layer;
}

void CGLayerRelease(CGLayerRef layer) {
    if (layer) CFRelease(layer);
}

CGSize CGLayerGetSize(CGLayerRef layer) { return layer ? layer->mSize : CGSizeZero; }

CGContextRef CGLayerGetContext(CGLayerRef layer) { return layer ? layer->mContext : nullptr; }

void CGContextDrawLayerInRect(CGContextRef c, CGRect rect, CGLayerRef layer) {
    if (!c || !layer || c == layer->mContext) return;
    const CGAffineTransform device = c->deviceTransform();
    const CGRect r = CGRectStandardize(rect);
    if (CGRectIsEmpty(r) || !cgimpl::Invertible(device) || !std::isfinite(r.origin.x) || !std::isfinite(r.origin.y) ||
        !std::isfinite(r.size.width) || !std::isfinite(r.size.height))
        return;
    // The layer's own device space has y down from its top row, as its context drew it.
    const double height = double(layer->mContext->mStore.mHeight);
    const double sx = r.size.width / layer->mSize.width, sy = r.size.height / layer->mSize.height;
    const double alpha = c->mState.alpha;
    cairo_surface_flush(layer->mSurface);
    const CGRect bounds = CGRectApplyAffineTransform(r, device);
    c->draw(&bounds, [&](cairo_t *cr) {
        const cairo_matrix_t m = cgimpl::ToCairo(device);
        cairo_set_matrix(cr, &m);
        cairo_rectangle(cr, r.origin.x, r.origin.y, r.size.width, r.size.height);
        cairo_clip(cr);
        // Layer rows (y down from its top, at height) onto the rectangle (y up).
        cairo_translate(cr, r.origin.x, r.origin.y + height * sy);
        cairo_scale(cr, sx, -sy);
        cairo_set_source_surface(cr, layer->mSurface, 0, 0);
        cairo_paint_with_alpha(cr, alpha);
    });
}
