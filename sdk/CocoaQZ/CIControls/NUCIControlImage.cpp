// No QtGui here (see NUCIButtonImage.h).
#include "NUCIControlImage.h"

#include <AppKit/NSGraphicsContext.h>
#include <CocoaGraphics/UFOffscreenBitmapGraphicsContext.h>
#include <Foundation/NSException.h>

NUCIControlImage::NUCIControlImage() = default;
NUCIControlImage::~NUCIControlImage() = default;

bool NUCIControlImage::initWithSize(NSSize sizePixels, int state) {
    if (!initMaskWithSize(sizePixels)) return false;
    UFOffscreenBitmapGraphicsContext offscreen(sizePixels);
    if (offscreen.bitmapImageRep() == nullptr) return true;
    if (offscreen.lockFocusAndEraseTransparent(true) == nullptr) return true;
    try {
        drawInRect(CGRectMake(0, 0, sizePixels.width, sizePixels.height), state);
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("NUCIControlImage::initWithSize:drawContents: exception:%1\n").arg(exception.description()));
    }
    offscreen.unlockFocus();
    addRepresentation(offscreen.bitmapImageRep());
    return true;
}

void NUCIControlImage::drawInRect(CGRect, int) {}

bool import_NUCIControlImage() { return import_NUCIButtonImage(); }
