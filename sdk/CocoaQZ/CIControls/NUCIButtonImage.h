// The drawn faces of the Core Image buttons: a background shape (square, circle or rounded
// square; flat or with a vertical grey gradient; with or without a small light) and a symbol
// (page 1 of a PDF resource of the main bundle, else an image of the application by name),
// drawn once with Core Graphics into a bitmap of the face's pixel size.
//
// Each face class describes its look through "class operations" (the colours, opacities,
// squishiness and filter of each state, the shape and the light), virtual here and overridden
// down the tree:
//
//   NUCIButtonImage                      fill a rectangle
//     NUCIRoundButtonImage               ellipse
//       NUCIRoundGradientButtonImage     ellipse with a grey gradient (off state)
//         NU70sHardwareRoundButtonImage  always the off colours
//           NU70sHardwareRecordButtonImage               + a red light
//             NU70sHardwareRecordButtonImageWithSquareLED  (square light)
//     NUCIRoundRectButtonImage           rounded square
//       NUCIRoundRectGradientButtonImage rounded square with a grey gradient (off state)
//         NU70sHardwareButtonImage       always the off shape, a glow when on
//           NU70sHardwareButtonImageWithGreenLED         + a green light top-right
//
// A "class" is a maker of a fresh, undrawn face of that class (NUCIButtonImageClass); a
// button names the class of its faces, and the tests ask the class operations of an undrawn
// face. The user space of every drawing operation is the face's pixels, origin bottom-left.
//
// Each face owns a one-channel mask (CoreGraphics::MaskContext) of its pixel size, opaque
// (255: blocking) when made, into which the gradient shapes draw the outline that the
// gradient is painted through. The mask is held through a pointer so that this header stays
// free of the QuickTime library (see the control kit's notes on Qt's QPoint).
//
// Faces are drawn on the main thread (they are drawing state of the buttons).
#pragma once

#include <AppKit/NSImage.h>
#include <CoreGraphics/CoreGraphics.h>
#include <CoreImage/CIFilter.h>
#include <Foundation/NSGeometry.h>

#include <QString>

#include <memory>
#include <utility>

namespace CoreGraphics {
class MaskContext;
}

// A colour of the faces: calibrated RGB with alpha.
struct NUCIRGBA {
    CGFloat red = 0, green = 0, blue = 0, alpha = 0;
    bool operator==(const NUCIRGBA &) const = default;
};

// The control tint of the interface (the palette's highlight), opaque; a blue when there is
// no application. Any thread.
NUCIRGBA NUCIControlTintColor();

// What the face images and the control images share: the mask and the symbol drawing.
class NUCIMaskedImage : public NSImage {
public:
    NUCIMaskedImage();
    ~NUCIMaskedImage();
    NUCIMaskedImage(const NUCIMaskedImage &) = delete;
    NUCIMaskedImage &operator=(const NUCIMaskedImage &) = delete;

    // Sets the size and makes the mask of that pixel size (size truncated), opaque. False
    // (nothing made) for a size below one pixel or too large.
    bool initMaskWithSize(NSSize sizePixels);
    // Null before initMaskWithSize succeeded.
    CoreGraphics::MaskContext *maskContext() const { return mMask.get(); }
    // The mask's Core Graphics context (user space: pixels, origin bottom-left), or null.
    CGContextRef maskGraphicsContext() const;
    // A new image mask over the mask's bytes (0 paints, 255 blocks), owned by the caller; it
    // must not outlive this image. Null without a mask.
    CGImageRef createMaskImageFromMaskContext() const;

    // The symbol named `name` fitted into `rect` of the current graphics context: page 1 of
    // the main bundle's "<name>.pdf", else the application's image of that name. Nothing for
    // an empty name or a missing image.
    static void drawImageNamed(const QString &name, CGRect rect);
    // Page 1 of the PDF at the URL fitted into the rectangle, aspect ratio kept, scale 1.0.
    static void drawPDFImageNamedURL(CFURLRef url, CGRect rect);
    // The application's image of that name composited at the rectangle's origin, unscaled,
    // with the source-in operation. False when there is no such image or no current context.
    static bool drawBundleImageNamed(const QString &name, CGRect rect);

private:
    std::unique_ptr<CoreGraphics::MaskContext> mMask;
};

class NUCIButtonImage;
// A face class: makes a fresh face of that class, not yet drawn.
using NUCIButtonImageClass = std::shared_ptr<NUCIButtonImage> (*)();
template <class T>
std::shared_ptr<NUCIButtonImage> NUCIButtonImageClassOf() {
    return std::make_shared<T>();
}

class NUCIButtonImage : public NUCIMaskedImage {
public:
    NUCIButtonImage();
    virtual ~NUCIButtonImage();

    // A face of the class for the state, drawn: null when the face or its mask cannot be
    // made, an image without bitmap when the offscreen bitmap cannot be made.
    static std::shared_ptr<NUCIButtonImage> imageNamed(NUCIButtonImageClass cls, const QString &name,
                                                       NSSize sizePixels, int state);
    // The face's size and mask (initMaskWithSize).
    bool initWithSize(NSSize sizePixels) { return initMaskWithSize(sizePixels); }
    // Draws the face (background and symbol) into a new bitmap representation. False when no
    // bitmap could be made or focus could not be locked on it. An exception while drawing is
    // logged and the bitmap kept as far as it got.
    bool drawnImageNamed(const QString &name, int state);

    // ---- class operations (the look)
    virtual CGFloat backgroundGreyChannelValue() const { return 0.8; }
    // State 1: the control tint, alpha 1.0; other states grey, alpha 0.9.
    virtual NUCIRGBA backgroundFillColorForState(int state) const;
    // Grey, alpha 1.0.
    virtual NUCIRGBA backgroundEraseColor() const;
    virtual NUCIRGBA backgroundStrokeColorForState(int) const { return {0.1, 0.1, 0.1, 0.9}; }
    virtual CGFloat backgroundStrokeWidthForState(int) const { return 0.125; }
    virtual CGFloat backgroundImageOpacityForState(int state) const { return state == 1 ? 0.66 : 0.77; }
    virtual CGFloat transparentMarginWidthPixels() const { return 3.0; }
    virtual CGFloat recommendedSquishiness() const { return 1.0; }
    // The Core Image filter the face is shown through in that state, or null.
    virtual CIFilterRef filterWithDefaultsForState(int) const { return nullptr; }
    // The rectangle the symbol is drawn in: the square of 0.9 x the shape's smaller side,
    // centred in it.
    virtual CGRect imageRectWithinBackgroundShapeRect(CGRect shapeRect) const;
    // The grey pair (bottom, top) of the gradient: (0.28, 0.52) in state 0, else (0.35, 0.65).
    virtual std::pair<CGFloat, CGFloat> defaultGradientRangeForState(int state) const;

    // "CIBloom" with its defaults, "inputRadius" 1.1 and "inputIntensity" 0.9 for state 1;
    // null for other states.
    static CIFilterRef glowingButtonsFilterWithDefaultsForState(int state);

    // ---- geometry
    // The rectangle's origin moved by margin / 2, its size reduced by margin.
    static CGRect rectWithMargin(CGRect rect, CGFloat margin);
    // The rectangle inset by the margin on every side.
    static CGRect opaqueBoundsWithinButtonRect(CGRect rect, CGFloat margin);
    // The square of `fraction` x the rectangle's smaller side, centred in it.
    static CGRect centredSquare(CGRect rect, CGFloat fraction);

    // ---- drawing into the current graphics context
    // Sets the state's fill and stroke colours, line width 12.5 x the stroke width, draws the
    // shape in the square of 0.98 x the smaller side of rectWithMargin(opaqueBounds, margin),
    // centred, and answers that square. Null rect without a current context.
    CGRect drawBackgroundRect(CGRect opaqueBounds, int state, CGFloat margin);
    virtual void drawBackgroundShape(CGContextRef context, CGRect rect, int state);
    // Fills the shape's outline with the erase colour.
    virtual void eraseBackgroundShape(CGContextRef context, CGRect rect);
    // The vertical grey gradient of the state through the mask, over the rectangle inset by
    // insetPixels (when positive). False without a mask or when it cannot be painted.
    bool drawGradientMaskShape(CGContextRef context, CGRect rect, int state, CGFloat insetPixels = 1.0);

    // ---- the light (drawn by the classes that have one)
    virtual NUCIRGBA lightEmittingDiodeColorForState(int state) const;
    virtual CGRect lightEmittingDiodePositionForRect(CGRect rect) const;
    virtual void drawLightEmittingDiodeShape(CGContextRef context, CGRect lightRect);
    void drawLightEmittingDiode(CGContextRef context, CGRect rect, int state);

protected:
    static void setFillColor(CGContextRef context, const NUCIRGBA &color);
    static void setStrokeColor(CGContextRef context, const NUCIRGBA &color);
};

class NUCIRoundButtonImage : public NUCIButtonImage {
public:
    void drawBackgroundShape(CGContextRef context, CGRect rect, int state) override;
    void eraseBackgroundShape(CGContextRef context, CGRect rect) override;
};

class NUCIRoundRectButtonImage : public NUCIButtonImage {
public:
    // 8.0 when the smaller side is at most 64 pixels, else 12.0.
    static CGFloat roundRectCornerRadiusForButtonSizePixels(CGSize size);
    void drawBackgroundShape(CGContextRef context, CGRect rect, int state) override;
    void eraseBackgroundShape(CGContextRef context, CGRect rect) override;
};

class NUCIRoundGradientButtonImage : public NUCIRoundButtonImage {
public:
    CGFloat backgroundGreyChannelValue() const override { return 0.4; }
    CGFloat recommendedSquishiness() const override { return 0.75; }
    // State 1: the round shape; other states: the ellipse of 0.995 x the smaller side into
    // the mask, the shape erased, outlined, and the gradient painted through the mask.
    void drawBackgroundShape(CGContextRef context, CGRect rect, int state) override;
};

class NUCIRoundRectGradientButtonImage : public NUCIRoundRectButtonImage {
public:
    CGFloat backgroundGreyChannelValue() const override { return 0.35; }
    CGFloat recommendedSquishiness() const override { return 0.75; }
    // As the round gradient, with the rounded square of 0.985 x the smaller side, centred and
    // shifted by 0.75 in x and y, as the mask.
    void drawBackgroundShape(CGContextRef context, CGRect rect, int state) override;
};

// ---- the 70s hardware family

class NU70sHardwareButtonImage : public NUCIRoundRectGradientButtonImage {
public:
    NUCIRGBA backgroundFillColorForState(int) const override { return NUCIRoundRectGradientButtonImage::backgroundFillColorForState(0); }
    NUCIRGBA backgroundStrokeColorForState(int) const override { return NUCIRoundRectGradientButtonImage::backgroundStrokeColorForState(0); }
    CGFloat backgroundImageOpacityForState(int) const override { return NUCIRoundRectGradientButtonImage::backgroundImageOpacityForState(0); }
    CIFilterRef filterWithDefaultsForState(int state) const override;
    // Always the off shape.
    void drawBackgroundShape(CGContextRef context, CGRect rect, int state) override;
};

class NU70sHardwareButtonImageWithGreenLED : public NU70sHardwareButtonImage {
public:
    // The default light square moved to (width - 1.25 side, height - 1.25 side).
    CGRect lightEmittingDiodePositionForRect(CGRect rect) const override;
    void drawBackgroundShape(CGContextRef context, CGRect rect, int state) override;
};

class NU70sHardwareRoundButtonImage : public NUCIRoundGradientButtonImage {
public:
    NUCIRGBA backgroundFillColorForState(int) const override { return NUCIRoundGradientButtonImage::backgroundFillColorForState(0); }
    NUCIRGBA backgroundStrokeColorForState(int) const override { return NUCIRoundGradientButtonImage::backgroundStrokeColorForState(0); }
    CGFloat backgroundImageOpacityForState(int) const override { return NUCIRoundGradientButtonImage::backgroundImageOpacityForState(0); }
};

class NU70sHardwareRecordButtonImage : public NU70sHardwareRoundButtonImage {
public:
    // Red (0.85, 0.1, 0.1, 1.0) when on, the dim grey otherwise.
    NUCIRGBA lightEmittingDiodeColorForState(int state) const override;
    // The square of 0.4 x the smaller side, centred.
    CGRect lightEmittingDiodePositionForRect(CGRect rect) const override;
    void drawBackgroundShape(CGContextRef context, CGRect rect, int state) override;
};

class NU70sHardwareRecordButtonImageWithSquareLED : public NU70sHardwareRecordButtonImage {
public:
    // A filled rectangle, no stroke.
    void drawLightEmittingDiodeShape(CGContextRef context, CGRect lightRect) override;
};

bool import_NUCIButtonImage();
