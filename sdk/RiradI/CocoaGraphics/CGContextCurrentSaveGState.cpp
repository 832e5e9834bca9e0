#include "CGContextCurrentSaveGState.h"

#include <AppKit/NSGraphicsContext.h>

CGContextCurrentSaveGState::CGContextCurrentSaveGState() {
    if (const auto current = NSGraphicsContext::currentContext(); current != nullptr) {
        mContext = CGContextRetain(current->graphicsPort());
        if (mContext != nullptr) CGContextSaveGState(mContext);
    }
}

CGContextCurrentSaveGState::~CGContextCurrentSaveGState() {
    if (mContext == nullptr) return;
    CGContextRestoreGState(mContext);
    CGContextRelease(mContext);
}

bool import_CGContextCurrentSaveGState() { return true; }
