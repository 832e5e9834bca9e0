// A scope that moves a drawing context's origin to the centre of a rectangle until it ends.
//
//     {
//         CoreGraphics::ContextCentered centered(CGRectMake(0, 0, width, height), context);
//         // (0, 0) is now the centre of the rectangle
//     }   // the graphics state is restored
//
// Only the rectangle's size counts for the move: the origin moves by (w/2, h/2) whatever
// the rectangle's own origin.
#pragma once

#include <CoreGraphics/CoreGraphics.h>

namespace CoreGraphics {

class ContextCentered {
public:
    // Retains the context, saves its graphics state and translates by half the size.
    // Without a context a failed check is reported and the scope does nothing.
    ContextCentered(const CGRect &rect, CGContextRef context);
    // Restores the graphics state and releases the context.
    virtual ~ContextCentered();
    ContextCentered(const ContextCentered &) = delete;
    ContextCentered &operator=(const ContextCentered &) = delete;

    // Moves the origin on by half the size towards a corner of the rectangle: 0 lower-left,
    // 2 upper-left, 3 lower-right, any other value upper-right (from the centre; a second
    // call moves on from where the first left it).
    void MoveOriginToCorner(int corner);

private:
    CGContextRef mContext = nullptr;  // one reference; null when made without a context
    CGPoint mCorner = {0, 0};         // (-w/2, -h/2)
    CGRect mRect = {{0, 0}, {0, 0}};  // the rectangle, its origin moved with every offset
};

}  // namespace CoreGraphics

bool import_namespace_CoreGraphics_ContextCentered();
