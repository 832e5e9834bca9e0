// NSImage(RetinaDisplays): the high-resolution variant of a named image for a screen.
//
// A screen of scale factor s (its device pixel ratio, truncated to an integer) names its variant
// of "knob.png" "knob@<s>x.png" and of "knob" "knob@<s>x", as Qt names high-resolution pictures.
// A variant is shown at the size of its plain image: its size in points is its pixel size over
// s. A null screen has no scale factor; it keeps the plain name.
//
// Images are found by name among the main bundle's resources (the name as given, or with the
// extension png, tiff or tif when it has none) and read through Qt's image readers.
#pragma once

#include <AppKit/NSImage.h>

#include <QString>

#include <memory>
#include <optional>

class QScreen;

class NSImage_RetinaDisplays {
public:
    // The name for the screen's resolution, see above.
    static QString imageNamedForResolutionOfScreen(const QString &name, const QScreen *screen);
    // The same for a scale factor, none keeping the name.
    static QString imageNamedForBackingScaleFactor(const QString &name, std::optional<double> backingScaleFactor);

    // The screen's variant of the image when there is one, else the plain image; null when
    // neither exists.
    static std::shared_ptr<NSImage> imageForScreenResolution(const QScreen *screen, const QString &name);
    // imageForScreenResolution on the main (primary) screen.
    static std::shared_ptr<NSImage> retinaImageNamed(const QString &name);

    // The main bundle's resource image of that name, read afresh; null when there is none or it
    // cannot be read.
    static std::shared_ptr<NSImage> resourceImageNamed(const QString &name);
};

bool import_NSImage_RetinaDisplays();
