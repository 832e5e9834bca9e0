#include <CoreG/Drawing/namespace_CoreGraphics_ContextCentered.h>

#include <CoreX/CoreMachDebugLog.h>

namespace CoreGraphics {

ContextCentered::ContextCentered(const CGRect &rect, CGContextRef context) : mRect(rect) {
    if (context == nullptr) {
        _CoreMachDebugVerifyBody("ContextCentered", "/Code/sdk/CoreG/namespace_CoreGraphics_ContextCentered", 23,
                                 " code : mContext");
        return;
    }
    mContext = CGContextRetain(context);
    CGContextSaveGState(mContext);
    const CGFloat halfWidth = rect.size.width / 2, halfHeight = rect.size.height / 2;
    mCorner = CGPointMake(-halfWidth, -halfHeight);
    mRect.origin.x -= halfWidth;
    mRect.origin.y -= halfHeight;
    CGContextConcatCTM(mContext, CGAffineTransformMakeTranslation(halfWidth, halfHeight));
}

ContextCentered::~ContextCentered() {
    if (mContext == nullptr) return;
    CGContextRestoreGState(mContext);
    CGContextRelease(mContext);
}

void ContextCentered::MoveOriginToCorner(int corner) {
    if (mContext == nullptr) return;
    CGFloat dx = mRect.size.width / 2, dy = mRect.size.height / 2;
    switch (corner) {
    case 0: dx = -dx, dy = -dy; break;
    case 2: dx = -dx; break;
    case 3: dy = -dy; break;
    default: break;
    }
    mRect.origin.x += dx;
    mRect.origin.y += dy;
    CGContextConcatCTM(mContext, CGAffineTransformMakeTranslation(dx, dy));
}

}  // namespace CoreGraphics

bool import_namespace_CoreGraphics_ContextCentered() { return import_CoreMachDebugLog(); }
