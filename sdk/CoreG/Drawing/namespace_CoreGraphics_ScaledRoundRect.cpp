#include <CoreG/Drawing/namespace_CoreGraphics_ScaledRoundRect.h>

namespace CoreGraphics {

ScaledRoundRect::ScaledRoundRect(const CGRect &inRect, CGFloat inCornerWidth, CGFloat inCornerHeight)
    : rect(inRect), cornerWidth(inCornerWidth), cornerHeight(inCornerHeight) {
    unitWidth = IsPlainRect() ? inRect.size.width : inRect.size.width / inCornerWidth;
    unitHeight = IsPlainRect() ? inRect.size.height : inRect.size.height / inCornerHeight;
    path = RoundRectPathCreate(*this);
}

ScaledRoundRect::~ScaledRoundRect() {
    if (path != nullptr) CGPathRelease(path);
}

CGPathRef RoundRectPathCreate(const ScaledRoundRect &record) {
    CGMutablePathRef outline = CGPathCreateMutable();
    if (outline == nullptr) return nullptr;
    const CGFloat u = record.unitWidth, v = record.unitHeight;
    if (record.IsPlainRect()) {
        CGPathAddRect(outline, nullptr, CGRectMake(0, 0, u, v));
    } else {
        CGPathMoveToPoint(outline, nullptr, u, v / 2);
        CGPathAddArcToPoint(outline, nullptr, u, v, u / 2, v, 1);
        CGPathAddArcToPoint(outline, nullptr, 0, v, 0, v / 2, 1);
        CGPathAddArcToPoint(outline, nullptr, 0, 0, u / 2, 0, 1);
        CGPathAddArcToPoint(outline, nullptr, u, 0, u, v / 2, 1);
        CGPathAddLineToPoint(outline, nullptr, u, v / 2);
        CGPathCloseSubpath(outline);
    }
    CGPathRef result = CGPathCreateCopy(outline);
    CGPathRelease(outline);
    return result;
}

void RoundRectPathDraw(const ScaledRoundRect &record, CGContextRef context, CGFloat dx, CGFloat dy,
                       CGFloat lineWidth) {
    if (record.path == nullptr || context == nullptr) return;
    const bool scaled = !record.IsPlainRect();
    CGContextSaveGState(context);
    CGContextTranslateCTM(context, record.rect.origin.x + dx, record.rect.origin.y + dy);
    if (scaled) CGContextScaleCTM(context, record.cornerWidth, record.cornerHeight);
    CGContextBeginPath(context);
    CGContextAddPath(context, record.path);
    if (lineWidth > 0) {
        // The path is fixed where it was added; the line width is taken in the unscaled space.
        if (scaled) CGContextScaleCTM(context, 1 / record.cornerWidth, 1 / record.cornerHeight);
        CGContextSetLineWidth(context, lineWidth);
        CGContextDrawPath(context, kCGPathFillStroke);
    } else {
        CGContextFillPath(context);
    }
    CGContextRestoreGState(context);
}

}  // namespace CoreGraphics

bool import_namespace_CoreGraphics_ScaledRoundRect() { return true; }
