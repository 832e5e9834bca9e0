// NSImage(NSNextRetinaImage): the built-in pictures of the NeXT-look controls, looked up by name
// in a table compiled into the program, with a "2X" variant for screens of two or more pixels a
// point.
//
// The table holds nine pictures by file name: "NSNeXTOKButtonDown.tiff",
// "NSNeXTSliderBarColor2X.tiff", "NSNeXTOKButton.tiff", "NSNeXTSliderBarColor.tiff",
// "NSNeXTSliderKnob.tiff", "NSNeXTSliderKnobCapLeft.tiff", "NSNeXTSliderKnobCapRight.tiff",
// "NSNeXTSliderKnobLarge.tiff", "NSNeXTSliderKnobThumb.tiff". They are our own, drawn with Core
// Graphics when first asked for and handed out as TIFF data: greys in a bevelled look (the
// knobs 0.667 grey lit from the top left, the bar's colour a 4 x 4 dither of dark greys, the
// OK button's face with a return arrow, pressed with the bevel turned round). The 2X entry is
// the bar colour drawn at two pixels a point.
//
// A screen is a QScreen; a null screen answers no scale factor.
#pragma once

#include <AppKit/NSImage.h>

#include <QByteArray>
#include <QString>

#include <memory>

class QScreen;

class NSImage_NSNextRetinaImage {
public:
    // The TIFF data of the entry "<name>.tiff"; empty for an unknown name.
    static QByteArray nextImageDataNamed(const QString &name);
    // A new image from that data (its size its pixel size); null for an unknown name.
    static std::shared_ptr<NSImage> nextImageNamed(const QString &name);
    // The plain image, or on a screen of two or more pixels a point (the factor truncated) the
    // "<name><factor>X" entry shown at the plain image's size, or without one the plain image
    // enlarged by the factor.
    static std::shared_ptr<NSImage> nextImageNamedForScreen(const QString &name, const QScreen *screen);
    // Null when the plain image does not exist; else nextImageNamedForScreen.
    static std::shared_ptr<NSImage> nextImageNamedLoadedForScreen(const QString &name, const QScreen *screen);
    // The plain image enlarged by nextImageResizeForScreen; null for an unknown name.
    static std::shared_ptr<NSImage> nextImageNamedScaledForScreen(const QString &name, const QScreen *screen);
    // Gives the image the reference's size; false when either is null.
    static bool nextImageResizeToMatchImageSize(NSImage *image, const NSImage *reference);
    // Multiplies the image's size by the screen's scale factor when that is above 1; false
    // otherwise (and for a null image or screen).
    static bool nextImageResizeForScreen(NSImage *image, const QScreen *screen);
    // The cached image of the name, else nextImageNamedLoadedForScreen on the main screen, kept
    // in the process-wide cache when found (entries stay for the life of the process). Main
    // thread.
    static std::shared_ptr<NSImage> nextRetinaImageNamed(const QString &name);
};

bool import_NSImage_NSNextRetinaImage();
