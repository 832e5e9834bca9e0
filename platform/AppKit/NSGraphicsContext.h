// NSGraphicsContext: the drawing destination of AppKit-style drawing code, a Core Graphics
// context (its "graphics port") with the calling thread's notion of the current context.
//
// Each thread has its own current context (none at first) and its own stack of saved ones:
// the class operation saveGraphicsState pushes the current context (null too) and saves its
// Core Graphics state; restoreGraphicsState pops it, makes it current again and restores its
// state. Drawing code that is handed no context draws into currentContext()->graphicsPort().
//
// A context on a bitmap draws into the bitmap's own bytes through a Core Graphics bitmap
// context; layouts that are not cairo's own are drawn through the layer's shadow surface, so
// the bytes show the drawing after flushGraphics() (or anything else that makes a bitmap
// context's memory current, see CGBitmapContext.h). Code that writes the bytes directly
// calls flushGraphics() before and bitmapDataWritten() after.
//
// Also here: images drawn into the current context (NSImageDrawInRect), and a Core Graphics
// image over a bitmap's bytes. No QtGui in this header (see NSBitmapImageRep.h).
#pragma once

#include <AppKit/NSBitmapImageRep.h>
#include <AppKit/NSImage.h>

#include <CoreGraphics/CGBitmapContext.h>
#include <CoreGraphics/CGContext.h>

#include <memory>

// The compositing operations drawing code passes (source over is the usual one; source-in
// shows the source only where something is drawn already).
enum NSCompositingOperation : unsigned {
    NSCompositingOperationCopy = 1,
    NSCompositingOperationSourceOver = 2,
    NSCompositingOperationSourceIn = 3,
};

class NSGraphicsContext {
public:
    // A context drawing into the bitmap's bytes, origin at the bottom-left (not flipped).
    // Null for a null bitmap and for layouts a Core Graphics bitmap context cannot draw:
    // 8 bits per sample only; grey without alpha (8 bits a pixel); RGB with a skipped byte
    // (32 bits, first or last); RGBA premultiplied (32 bits, alpha first or last). The
    // context keeps the bitmap alive.
    static std::shared_ptr<NSGraphicsContext> graphicsContextWithBitmapImageRep(
        std::shared_ptr<NSBitmapImageRep> bitmap);
    // A context over a Core Graphics context, which it retains. Null for a null port.
    static std::shared_ptr<NSGraphicsContext> graphicsContextWithGraphicsPort(CGContextRef port, bool flipped);

    // The calling thread's current context, or null.
    static std::shared_ptr<NSGraphicsContext> currentContext();
    static void setCurrentContext(std::shared_ptr<NSGraphicsContext> context);
    // Push / pop the current context, saving / restoring its Core Graphics state (see above).
    // A restore without a matching save does nothing.
    static void saveGraphicsState();
    static void restoreGraphicsState();

    ~NSGraphicsContext();
    NSGraphicsContext(const NSGraphicsContext &) = delete;
    NSGraphicsContext &operator=(const NSGraphicsContext &) = delete;

    // Borrowed: valid while this context lives.
    CGContextRef graphicsPort() const { return mPort; }
    bool isFlipped() const { return mFlipped; }
    // The bitmap drawn into, or null for a context over a port.
    const std::shared_ptr<NSBitmapImageRep> &bitmapImageRep() const { return mBitmap; }

    // Makes the bitmap's bytes show every drawing so far (nothing for a port that is not a
    // bitmap context).
    void flushGraphics();
    // The bitmap's bytes were written directly: the next drawing starts from them.
    void bitmapDataWritten();

private:
    NSGraphicsContext() = default;

    CGContextRef mPort = nullptr;
    bool mFlipped = false;
    std::shared_ptr<NSBitmapImageRep> mBitmap;
};

// A Core Graphics image over the bitmap's bytes as they are when drawn (not a copy), keeping
// the bitmap alive. Layouts: 8-bit grey, RGB in 24 or 32 bits, RGBA in 32 bits with alpha first
// or last, premultiplied or not. Null (the caller owns anything else) for a null bitmap or
// another layout.
CGImageRef NSBitmapImageRepCreateCGImage(const std::shared_ptr<NSBitmapImageRep> &bitmap);

// Draws the part `fromRect` of the image (in the image's points, origin bottom-left; an
// empty rect means the whole image) into `rect` of the current context, with the operation
// and the fraction as overall opacity. Uses the image's first representation. False, drawing
// nothing, without a current context or a drawable representation.
bool NSImageDrawInRect(const NSImage &image, CGRect rect, CGRect fromRect, NSCompositingOperation operation,
                       CGFloat fraction);
