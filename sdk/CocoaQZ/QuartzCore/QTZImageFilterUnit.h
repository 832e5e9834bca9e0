// QTZImageFilterUnit: an image through a composition of the image-filter protocol: the
// input goes to the published input "_protocolInput_Image", the result is read from the
// published output "_protocolOutput_Image" after a render at time zero.
#pragma once

#include <CocoaQZ/QuartzCore/QTZImageRenderUnit.h>

#include <CoreImage/CIImage.h>

class QTZImageFilterUnit : public QTZImageRenderUnit {
public:
    // 640 x 480.
    static CGSize offscreenSizePixels() { return CGSizeMake(640, 480); }
    CGSize rendererSizePixels() const override { return offscreenSizePixels(); }

    // Kept as cachedInputImage.
    void setInputImage(CIImageRef image);
    // The cached input image set as "_protocolInput_Image" (nothing set without one), then
    // the base's answer.
    bool setRendererInputs() override;
    // When the inputs are set: renders at time zero and keeps the output as
    // cachedOutputImage. Answers the cached output: the previous one when nothing was
    // rendered (no renderer, inputs refused, a render that failed, an NSException, logged).
    CIImageRef outputImage();

    CIImageRef cachedInputImage() const;
    void setCachedInputImage(CIImageRef image);
    CIImageRef cachedOutputImage() const;
    void setCachedOutputImage(CIImageRef image);

private:
    CIImageRef mCachedInputImage;
    CIImageRef mCachedOutputImage;
};

bool import_QTZImageFilterUnit();
