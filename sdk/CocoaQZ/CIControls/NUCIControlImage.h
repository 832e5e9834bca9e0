// NUCIControlImage: a drawn image for a control (a slider's knob), drawn once when made: the
// image and its mask (opaque) of the size, then drawInRect with the whole rectangle into the
// image's bitmap, which a subclass fills; it may draw through its mask
// (createMaskImageFromMaskContext). An exception while drawing is logged and the image kept
// as far as it got. The user space of the drawing is the image's pixels, origin bottom-left.
#pragma once

#include "NUCIButtonImage.h"

class NUCIControlImage : public NUCIMaskedImage {
public:
    NUCIControlImage();
    virtual ~NUCIControlImage();

    // A drawn image of the class T (a subclass); null when the image cannot be made.
    template <class T>
    static std::shared_ptr<T> imageWithSize(NSSize sizePixels, int state) {
        auto image = std::make_shared<T>();
        if (!image->initWithSize(sizePixels, state)) return nullptr;
        return image;
    }
    // Makes the mask and draws. False when the mask cannot be made (the image stays undrawn).
    bool initWithSize(NSSize sizePixels, int state);

    // Draws the picture into the current graphics context; nothing here.
    virtual void drawInRect(CGRect rect, int state);
};

bool import_NUCIControlImage();
