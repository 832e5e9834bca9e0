#include "PDFSkinViewScaled.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(PDFSkinViewScaled);

void PDFSkinViewScaled::drawSkin(CGContextRef context, CGImageRef image) {
    CGContextSetInterpolationQuality(context, kCGInterpolationHigh);
    CGContextDrawImage(context, CGRectMake(0, 0, width(), height()), image);
}

bool import_PDFSkinViewScaled() { return import_PDFSkinView(); }
