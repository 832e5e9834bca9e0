#include <CoreG/Drawing/namespace_CoreGraphics_QuartzDrawing.h>

#include <algorithm>

#include <CoreG/Drawing/namespace_CoreGraphics_ScaledRoundRect.h>

namespace CoreGraphics {

CFURLRef CopyMainBundleResourceURLCF(CFStringRef name, CFStringRef type) {
    CFBundleRef bundle = CFBundleGetMainBundle();
    if (bundle == nullptr || name == nullptr) return nullptr;
    return CFBundleCopyResourceURL(bundle, name, type, nullptr);
}

CFURLRef CopyMainBundleResourceURL(const char *name, CFStringRef type) {
    if (name == nullptr) return nullptr;
    CFStringRef nameString = CFStringCreateWithCString(kCFAllocatorDefault, name, kCFStringEncodingUTF8);
    if (nameString == nullptr) return nullptr;
    CFURLRef url = CopyMainBundleResourceURLCF(nameString, type);
    CFRelease(nameString);
    return url;
}

void DrawPDFPageInRect(CGContextRef context, CFURLRef url, CGRect rect, float scaleX, float scaleY) {
    if (context == nullptr || url == nullptr) return;
    CGPDFDocumentRef document = CGPDFDocumentCreateWithURL(url);
    if (document == nullptr) return;
    CGPDFPageRef page = CGPDFDocumentGetPage(document, 1);
    if (page != nullptr) {
        const CGAffineTransform fit = CGPDFPageGetDrawingTransform(page, kCGPDFMediaBox, rect, 0, true);
        CGContextSaveGState(context);
        CGContextScaleCTM(context, scaleX, scaleY);
        CGContextConcatCTM(context, fit);
        CGContextDrawPDFPage(context, page);
        CGContextRestoreGState(context);
    }
    CGPDFDocumentRelease(document);
}

namespace {

// The shading's colour for input t: opaque grey t.
void EvaluateGray(void *, const CGFloat *in, CGFloat *out) {
    out[0] = out[1] = out[2] = in[0];
    out[3] = 1;
}

}  // namespace

bool DrawLinearGradientShading(CGContextRef context, CGRect rect, CGImageRef mask, float firstGray,
                               float secondGray) {
    if (context == nullptr || mask == nullptr) return false;
    const CGFloat domain[2] = {firstGray, secondGray};
    const CGFloat range[8] = {0, 1, 0, 1, 0, 1, 0, 1};
    const CGFunctionCallbacks callbacks = {0, EvaluateGray, nullptr};
    CGFunctionRef function = CGFunctionCreate(nullptr, 1, domain, 4, range, &callbacks);
    CGColorSpaceRef space = CGColorSpaceCreateWithName(kCGColorSpaceSRGB);
    CGShadingRef shading = nullptr;
    if (function != nullptr && space != nullptr) {
        // From the bottom edge (the domain's first value) to the top edge.
        shading = CGShadingCreateAxial(space, CGPointMake(CGRectGetMinX(rect), CGRectGetMinY(rect)),
                                       CGPointMake(CGRectGetMinX(rect), CGRectGetMaxY(rect)), function, false, false);
    }
    if (shading != nullptr) {
        CGContextSaveGState(context);
        CGContextClipToMask(context, rect, mask);
        CGContextDrawShading(context, shading);
        CGContextRestoreGState(context);
        CGShadingRelease(shading);
    }
    if (space != nullptr) CGColorSpaceRelease(space);
    if (function != nullptr) CGFunctionRelease(function);
    return shading != nullptr;
}

void FillRoundedRectPath(CGContextRef context, float x, float y, float width, float height, float lineWidth,
                         float corner) {
    const float radius = corner < 1.0f ? corner * std::min(width, height) : corner;
    const ScaledRoundRect record(CGRectMake(0, 0, width, height), radius, radius);
    RoundRectPathDraw(record, context, x, y, lineWidth);
}

}  // namespace CoreGraphics

bool import_namespace_CoreGraphics_QuartzDrawing() { return import_namespace_CoreGraphics_ScaledRoundRect(); }
