// NSCGMaskContextFromImageView: a mask that follows the picture an image view shows. Whoever
// watches the view (its "image" property) calls maskUpdate after a change.
//
// Failed checks are reported through the debug log under the source
// "/Code/sdk/RiradI/CocoaGraphics/NSCGMaskContextFromImageView".
#pragma once

#include "NSCGMaskContextBase.h"

#include <QPointer>

class NSImageView;

class NSCGMaskContextFromImageView : public NSCGMaskContextBase {
    Q_OBJECT

public:
    // Sets the view, builds an opaque mask of the size, then maskUpdate.
    NSCGMaskContextFromImageView(NSImageView *imageView, unsigned maskWidth, unsigned maskHeight,
                                 QObject *parent = nullptr);
    ~NSCGMaskContextFromImageView() override;

    // The view, or null (also once the view has been destroyed).
    NSImageView *imageView() const;
    // Setting the view already held does nothing.
    void setImageView(NSImageView *imageView);

    // Takes the first bitmap of the view's image as the mask (maskUpdateFromBitmapData).
    // False, the mask unchanged, without a view or an image; false (reported) when the image
    // has no bitmap or the update fails.
    bool maskUpdate() override;

private:
    QPointer<QObject> _imageView;  // a widget belongs to its parent: held, not owned
};

bool import_NSCGMaskContextFromImageView();
