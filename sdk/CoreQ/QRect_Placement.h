// Placing a rectangle of a given size inside a container rectangle: centred, or at one of
// eight positions kept `inset` away from the container's edges. Sizes and results are
// QuickDraw rectangles; all arithmetic is 16-bit (values wrap as shorts do). A rectangle
// larger than the container overhangs it.
#pragma once

#include <QuickTime/QuickDraw.h>

// The positions of QRect_PositionWithin.
enum : long {
    kQRectPosition_TopLeft = 0,
    kQRectPosition_TopRight = 1,
    kQRectPosition_BottomLeft = 2,
    kQRectPosition_BottomRight = 3,
    kQRectPosition_TopCenter = 4,
    kQRectPosition_LeftCenter = 5,
    kQRectPosition_RightCenter = 6,
    kQRectPosition_BottomCenter = 7,
};

// A rectangle of r's size centred in the container; an odd pixel of room (or of overhang)
// goes to the right and the bottom.
Rect QRect_CenterWithin(const Rect &container, const Rect &r);

// A rectangle of r's size at `position` in the container, `inset` from the edges it touches
// and centred along the others. Any other position is the top-left one.
Rect QRect_PositionWithin(const Rect &container, const Rect &r, long position, short inset);
Rect QRect_PositionWithin(const Rect &container, short width, short height, long position, short inset);
