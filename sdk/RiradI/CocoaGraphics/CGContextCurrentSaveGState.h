// CGContextCurrentSaveGState: a scope over the calling thread's current graphics context. It
// retains the current context's Core Graphics context and saves its state; when the scope
// ends (also when an exception passes through it) it restores that state and releases the
// context. With no current context it holds a null context and does nothing.
#pragma once

#include <CoreGraphics/CGContext.h>

class CGContextCurrentSaveGState {
public:
    CGContextCurrentSaveGState();
    ~CGContextCurrentSaveGState();
    CGContextCurrentSaveGState(const CGContextCurrentSaveGState &) = delete;
    CGContextCurrentSaveGState &operator=(const CGContextCurrentSaveGState &) = delete;

    // The context saved, or null.
    CGContextRef context() const { return mContext; }
    operator CGContextRef() const { return mContext; }

private:
    CGContextRef mContext = nullptr;
};

bool import_CGContextCurrentSaveGState();
