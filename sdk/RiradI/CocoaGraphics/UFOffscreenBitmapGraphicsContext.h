// UFOffscreenBitmapGraphicsContext: an RGBA bitmap of a given pixel size with a graphics
// context on it, made current for a stretch of drawing and handed out as an image.
//
// The bitmap: the size truncated to whole pixels, 8 bits a sample, A, R, G, B (alpha first,
// premultiplied), rows chosen by the bitmap, in the colour space named (device RGB unless
// another is given). When it cannot be made the object has neither bitmap nor context and
// locking answers null.
//
// Focus: lockFocus keeps the calling thread's current context, pushes it
// (NSGraphicsContext::saveGraphicsState) and makes the bitmap's context current; unlockFocus
// makes the bitmap's bytes show the drawing, pops the caller's context and makes it current
// again. Lock and unlock pair up on one thread; a second lock answers null, a second unlock
// does nothing. The bitmap, its context and the saved context are guarded for access from
// several threads.
#pragma once

#include <AppKit/NSBitmapImageRep.h>
#include <AppKit/NSGraphicsContext.h>
#include <AppKit/NSImage.h>
#include <Foundation/NSGeometry.h>
#include <Foundation/NSObject.h>

#include <CoreGraphics/CGContext.h>

#include <QString>

#include <memory>
#include <mutex>

class QScreen;

class UFOffscreenBitmapGraphicsContext : public NSObject {
    Q_OBJECT
public:
    UFOffscreenBitmapGraphicsContext(NSSize sizePixels, const QString &colorSpaceName, QObject *parent = nullptr);
    explicit UFOffscreenBitmapGraphicsContext(NSSize sizePixels, QObject *parent = nullptr);
    ~UFOffscreenBitmapGraphicsContext() override;

    static std::unique_ptr<UFOffscreenBitmapGraphicsContext> offscreenBitmapContextWithSizePixels(NSSize sizePixels);
    // The size in points times the main screen's scale.
    static std::unique_ptr<UFOffscreenBitmapGraphicsContext> offscreenBitmapContextWithSizePoints(NSSize sizePoints);
    // The screen's device pixel ratio; 1.0 without a screen.
    static double scaleForRetinaDisplay(const QScreen *screen);

    // The bitmap's context, made current (cleared to transparent first when erase is set), or
    // null when already locked or without a context.
    std::shared_ptr<NSGraphicsContext> lockFocusAndEraseTransparent(bool eraseTransparent);
    std::shared_ptr<NSGraphicsContext> lockFocus() { return lockFocusAndEraseTransparent(false); }
    void unlockFocus();
    bool isLocked() const;

    // The bitmap context's Core Graphics context, or null.
    CGContextRef graphicsContext() const;
    // An image of the pixel size whose one representation is the bitmap itself; null without
    // a bitmap. Its bytes show the drawing made up to this call (and to each unlock).
    std::shared_ptr<NSImage> image() const;

    NSSize sizePixels() const { return mSizePixels; }
    // Does not remake the bitmap.
    void setSizePixels(NSSize sizePixels) { mSizePixels = sizePixels; }

    std::shared_ptr<NSBitmapImageRep> bitmapImageRep() const;
    void setBitmapImageRep(std::shared_ptr<NSBitmapImageRep> bitmap);
    std::shared_ptr<NSGraphicsContext> bitmapContext() const;
    void setBitmapContext(std::shared_ptr<NSGraphicsContext> context);
    std::shared_ptr<NSGraphicsContext> savedContext() const;
    void setSavedContext(std::shared_ptr<NSGraphicsContext> context);

private:
    NSSize mSizePixels{0, 0};
    mutable std::mutex mLock;
    std::shared_ptr<NSBitmapImageRep> mBitmapImageRep;
    std::shared_ptr<NSGraphicsContext> mBitmapContext;
    std::shared_ptr<NSGraphicsContext> mSavedContext;
    // Set while locked (a saved context may itself be null: no context was current).
    bool mLocked = false;
};

bool import_UFOffscreenBitmapGraphicsContext();
