// NSSliderCell(Labeling): what the hand-drawn sliders share: orientation tests, the knob
// rectangle, a capsule ("lozenge") background, label text, a fresh transparent image to draw
// into, and images turned by 90 degrees for vertical sliders.
//
// Drawing goes into the current graphics context (NSGraphicsContext::currentContext()) and does
// nothing without one. Angles are in degrees, counter-clockwise as seen on the screen; a turn
// by 90 or -90 swaps the width and the height.
#pragma once

#include <AppKit/NSImage.h>
#include <AppKit/NSSliderCell.h>
#include <CocoaGraphics/UFOffscreenBitmapGraphicsContext.h>

#include <CoreGraphics/CoreGraphics.h>

#include <QColor>
#include <QString>

#include <memory>

class QScreen;

class NSSliderCell_Labeling {
public:
    // Higher than wide.
    static bool isVertical(CGRect rect);
    // Wider than high (a square is neither).
    static bool isHorizontal(CGRect rect);
    // The same origin, the width and height swapped when the height is the greater.
    static CGRect alwaysHorizontalFrame(CGRect rect);

    // The knob of the cell's value in the frame, a square of the frame's thickness. With t the
    // value's place in the range (0 at the minimum, 1 at the maximum; 0 for an empty range):
    // across a horizontal frame x = x + (w - h) t, y stays; up a vertical frame the maximum is
    // at the top, so y = y + (h - w) t unflipped (y up) and y = y + (h - w)(1 - t) flipped (y
    // down). A square frame is its own knob. The knob always lies inside the frame.
    static CGRect calculateKnobRectForCellFrame(const NSSliderCell &cell, CGRect frame, bool flipped);

    // drawLozengeBackground with the rectangle inset by 1 on every side, grey 0.9, alpha 0.1.
    static void drawLozengeBackground(CGRect rect);
    // A capsule over the rectangle in (grey, grey, grey) at the alpha, in a saved state.
    static void drawLozengeBackground(CGRect rect, float grey, float alpha);
    // The text in the bold sans-serif face of that size, centred across the rectangle from its
    // top (clipped to it), in the colour.
    static void drawTextInRect(CGRect rect, const QString &text, CGFloat textSize, const QColor &textColor);

    // A new transparent image of the rectangle's size in points, `scale` pixels a point, with
    // focus locked on it and its user space in points: draw, then unlockFocus() and take
    // image() (whose size is in points). Null for an empty rectangle. The caller owns it.
    static std::unique_ptr<UFOffscreenBitmapGraphicsContext> beginNewImageWithLockedFocus(CGRect rect,
                                                                                          double scale = 1.0);

    // The screen's device pixel ratio, 1.0 without a screen.
    static double scaleForRetinaDisplay(const QScreen *screen);

    // rotateImageWithOffscreenContext.
    static std::shared_ptr<NSImage> rotateImage(const std::shared_ptr<NSImage> &image, const QScreen *screen,
                                                double degrees);
    // The image itself for 0 degrees; otherwise a new image (width and height swapped for 90
    // and -90) drawn at the screen's scale, the image turned about its centre. Null for a null
    // image or one without size.
    static std::shared_ptr<NSImage> rotateImageWithOffscreenContext(const std::shared_ptr<NSImage> &image,
                                                                    const QScreen *screen, double degrees);
    // A new image of one bitmap, the image's first bitmap turned through
    // coreGraphicsImageCreateRotated; an empty image (no bitmap) when a step fails.
    static std::shared_ptr<NSImage> rotateImageWithBitmapDataTransform(const NSImage &image, double degrees);
    // The image turned about its centre, pixel for pixel for multiples of 90 degrees (sizes
    // swapped for 90 and -90), as premultiplied ARGB. The caller releases it; null for a null
    // image.
    static CGImageRef coreGraphicsImageCreateRotated(CGImageRef image, double degrees);
};

bool import_NSSliderCell_Labeling();
