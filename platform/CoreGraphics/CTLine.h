// Lines of text laid out by pango and drawn by cairo.
#pragma once

#include <CoreGraphics/CFAttributedString.h>
#include <CoreGraphics/CGContext.h>

typedef const struct __CTLine *CTLineRef;

CFTypeID CTLineGetTypeID(void);

// One line of the whole string (line breaks are not honoured). Null for a null string.
CTLineRef CTLineCreateWithAttributedString(CFAttributedStringRef string);

// The bounding box of the ink, relative to the line's origin on the baseline (y up), mapped
// through the context's text matrix (text position included) when a context is given.
// CGRectZero for a line without ink.
CGRect CTLineGetImageBounds(CTLineRef line, CGContextRef context);
// The advance width; *ascent, *descent (positive, below the baseline) and *leading receive
// the line's metrics. Pointers may be null.
double CTLineGetTypographicBounds(CTLineRef line, CGFloat *ascent, CGFloat *descent, CGFloat *leading);

// Draws the line with its origin at the text position, through the text matrix and the CTM,
// in the context's text drawing mode (the clip modes then add the glyphs to the clip).
void CTLineDraw(CTLineRef line, CGContextRef context);
