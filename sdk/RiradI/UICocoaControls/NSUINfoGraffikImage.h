// NSUINfoGraffikImage: the pictures of the info-graphic buttons, drawn at run time for a button's
// exact size rather than stored: a filled shape (a circle or a rounded square, by the button's
// kind) in the button's fill colour, with a named picture laid over it.
//
// Kinds: 1 a circle with the picture in a centred square of 0.8 of its size; 3 and 4 the same
// at 0.9; any other a rounded square (corner radius 8 up to 64 points, 12 above) with the
// picture over all of it. Every kind but 0 keeps a margin of 2 points around the shape.
//
// A picture named N is the main bundle's resource N.pdf when there is one (its first page
// fitted into the picture area), else the named image N (NSImage::imageNamed) placed at the
// area's origin at its own size and shown only where the shape is (source-in). A missing
// picture leaves the shape alone.
//
// Drawing goes to the current graphics context (NSGraphicsContext), y upwards.
#pragma once

#include <AppKit/NSImage.h>
#include <CoreG/Drawing/namespace_CoreGraphics_Colors.h>
#include <CoreGraphics/CGGeometry.h>
#include <Foundation/NSGeometry.h>

#include <QString>

#include <memory>

class NSUIToolButton;

class NSUINfoGraffikImage : public NSImage {
public:
    using NSImage::NSImage;

    // A new picture of the size (in pixels and points) for the button in the state: drawn
    // into an offscreen bitmap erased to transparent, with a margin of 2 for every kind but 0.
    // Null when the size holds no pixel; an image without representation when the bitmap
    // cannot be made or locked.
    static std::shared_ptr<NSUINfoGraffikImage> buttonImageForSizeState(NSUIToolButton *button, const QString &name,
                                                                        NSSize size, int state, int kind = 0);

    // The shape in the square centred in rect (see above), filled opaque in the button's
    // fill colour for the state, then the picture at the button's image opacity for the
    // state. Nothing without a button or a current context.
    static void drawButton(NSUIToolButton *button, const QString &name, CGRect rect, int state, CGFloat margin,
                           int kind);
    // The named picture in rect at the opacity (see above); nothing for an empty name.
    static void drawImage(const QString &name, CGRect rect, CGFloat opacity);

    // Dark grey (0.1), opaque for state 1, half transparent otherwise.
    static color_4D fillColorForState(const NSUIToolButton *button, int state);
    // Dark grey (0.1) at alpha 0.8.
    static color_4D strokeColorForState(const NSUIToolButton *button, int state);
    // The button's control tint colour at alpha 0.8 (white without a button).
    static color_4D highlightColor(const NSUIToolButton *button);

    // The side of the picture area for a shape of side s: 0.8 s for kind 1, 0.9 s for kinds 3
    // and 4, s for the rounded squares.
    static CGFloat pictureScaleForKind(int kind);
    // The rounded square's corner radius for a side.
    static CGFloat cornerRadiusForSide(CGFloat side) { return side <= 64 ? 8 : 12; }
};

bool import_NSUINfoGraffikImage();
