// Bitmap contexts: drawing into pixel memory in the exact layout its creator asked for.
//
// Layouts (8 bits per component):
//   grey                 8 bits per pixel, DeviceGray-model space, kCGImageAlphaNone
//   premultiplied ARGB   32 bits, kCGImageAlphaPremultipliedFirst (bytes A,R,G,B)
//   premultiplied RGBA   32 bits, kCGImageAlphaPremultipliedLast  (bytes R,G,B,A)
//   XRGB                 32 bits, kCGImageAlphaNoneSkipFirst      (bytes X,R,G,B)
//   RGBX                 32 bits, kCGImageAlphaNoneSkipLast       (bytes R,G,B,X)
// The byte orders above are the default (big-endian) ones; with kCGBitmapByteOrder32Little
// (or 32Host) each 32-bit pixel's bytes are reversed (premultiplied ARGB is then B,G,R,A,
// cairo's own layout, which is drawn in place).
//
// Row 0 of the memory is the top row of the picture.
//
// The memory and the drawing. cairo's own layout is drawn in the memory itself. Every other
// layout is drawn into a surface of the context's own (the shadow), which stays the truth
// across drawing calls: the memory is brought up to date only when someone can see it, so
// that a run of drawing calls costs no conversions. It is up to date
//   - after CGBitmapContextGetData (which also takes in what the caller writes through the
//     pointer before the next drawing call) and CGBitmapContextWillAccessData;
//   - in an image made by CGBitmapContextCreateImage;
//   - for an image whose provider covers the memory, whenever it is drawn or its provider's
//     bytes are copied.
// Code that reads or writes the memory directly calls CGBitmapContextWillAccessData first,
// and CGBitmapContextDidWriteData after writing: the next drawing call then reads the memory
// anew. The memory then holds the result in the context's layout; only pixels whose value the
// drawing changed are written, and in the layouts with a skipped byte that byte becomes 255
// in them.
#pragma once

#include <CoreGraphics/CGContext.h>

// Null for a layout not listed above, a space whose model does not fit it, a zero size, a
// size above 32767, or bytesPerRow smaller than a row. With data null the context allocates
// its own memory (cleared to 0, rows of exactly width * bytes per pixel unless bytesPerRow
// asks for more) and frees it when destroyed; otherwise data must hold bytesPerRow * height
// bytes and outlive the context.
CGContextRef CGBitmapContextCreate(void *data, size_t width, size_t height, size_t bitsPerComponent,
                                   size_t bytesPerRow, CGColorSpaceRef space, uint32_t bitmapInfo);

// Accessors; 0 or null for a context that is not a bitmap context.
// The memory, brought up to date; writes through it before the next drawing call are taken
// in. A pointer kept from an earlier call shows later drawing only after
// CGBitmapContextWillAccessData.
void *CGBitmapContextGetData(CGContextRef c);
size_t CGBitmapContextGetWidth(CGContextRef c);
size_t CGBitmapContextGetHeight(CGContextRef c);
size_t CGBitmapContextGetBitsPerComponent(CGContextRef c);
size_t CGBitmapContextGetBitsPerPixel(CGContextRef c);
size_t CGBitmapContextGetBytesPerRow(CGContextRef c);
CGColorSpaceRef CGBitmapContextGetColorSpace(CGContextRef c);
CGBitmapInfo CGBitmapContextGetBitmapInfo(CGContextRef c);
CGImageAlphaInfo CGBitmapContextGetAlphaInfo(CGContextRef c);

// Direct access to the memory: WillAccess brings it up to date with every drawing call so
// far (call it before reading or writing); DidWrite tells the context that the memory was
// written and is the truth (drawing made after WillAccess and before DidWrite is dropped).
void CGBitmapContextWillAccessData(CGContextRef c);
void CGBitmapContextDidWriteData(CGContextRef c);

// A new image holding a copy of the pixels as they are now, in the context's layout.
CGImageRef CGBitmapContextCreateImage(CGContextRef c);
