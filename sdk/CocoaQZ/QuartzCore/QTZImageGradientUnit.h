// QTZImageGradientUnit: renders the gradient composition ("com.tarvex.Gradients.qtz") with a
// type, two colours and two points in normalised coordinates (0..1 across the 640 x 480
// frame), and keeps the frame as a CGImage and as a Core Image image.
//
// The composition publishes "inputGradientType" (0 linear, 1 radial), "inputColor1",
// "inputColor2", "input_X0_normal", "input_Y0_normal", "input_X1_normal" and
// "input_Y1_normal" (uppercase axis letters, although the unit's own accessors are
// input_x0_normal...).
#pragma once

#include <CocoaQZ/QuartzCore/QTZImageRenderUnit.h>

#include <CoreGraphics/CGImage.h>
#include <CoreImage/CIColor.h>
#include <CoreImage/CIImage.h>

#include <cstdint>
#include <optional>

class QTZImageGradientUnit : public QTZImageRenderUnit {
public:
    QTZImageGradientUnit() = default;
    // Releases the colours, the images and the image reference.
    ~QTZImageGradientUnit() override;

    // "com.tarvex.Gradients.qtz".
    static std::string defaultCompositionID() { return "com.tarvex.Gradients.qtz"; }
    // 640 x 480.
    static CGSize offscreenSizePixels() { return CGSizeMake(640, 480); }
    CGSize rendererSizePixels() const override { return offscreenSizePixels(); }

    // The base's answer; then, with a renderer, the type, the colours (an unset colour sets
    // nothing: the port keeps its default) and the points x0, y0, x1, y1. False (logged)
    // when an NSException is raised.
    bool setRendererInputs() override;
    // When the inputs are set and there are a composition and a renderer: renders at time
    // zero; when that succeeds, keeps the frame as cachedOutputImageRef (a CGImage) and as
    // cachedPreviewImage and cachedOutputImage (a Core Image image of its own). Anything
    // else (logged when an NSException is raised) leaves the previous results.
    void renderOutputImage();
    // Null until an output exists; then renders again and answers cachedOutputImage.
    CIImageRef outputImage();

    // ---- Inputs ----------------------------------------------------------------------------

    int64_t inputGradientType() const { return mInputGradientType.load(); }
    void setInputGradientType(int64_t type) { mInputGradientType = type; }
    std::optional<CIColor> inputColor1() const;
    void setInputColor1(std::optional<CIColor> color);
    std::optional<CIColor> inputColor2() const;
    void setInputColor2(std::optional<CIColor> color);
    float input_x0_normal() const { return mX0.load(); }
    void setInput_x0_normal(float value) { mX0 = value; }
    float input_y0_normal() const { return mY0.load(); }
    void setInput_y0_normal(float value) { mY0 = value; }
    float input_x1_normal() const { return mX1.load(); }
    void setInput_x1_normal(float value) { mX1 = value; }
    float input_y1_normal() const { return mY1.load(); }
    void setInput_y1_normal(float value) { mY1 = value; }

    // ---- Results ---------------------------------------------------------------------------

    CIImageRef cachedPreviewImage() const;
    void setCachedPreviewImage(CIImageRef image);
    CIImageRef cachedOutputImage() const;
    void setCachedOutputImage(CIImageRef image);
    // Borrowed; the unit holds a reference. Setting releases the old one and retains the new.
    CGImageRef cachedOutputImageRef() const;
    void setCachedOutputImageRef(CGImageRef image);

private:
    std::atomic<int64_t> mInputGradientType{0};
    std::optional<CIColor> mInputColor1, mInputColor2;
    std::atomic<float> mX0{0}, mY0{0}, mX1{0}, mY1{0};
    CIImageRef mCachedPreviewImage, mCachedOutputImage;
    CGImageRef mCachedOutputImageRef = nullptr;
};

bool import_QTZImageGradientUnit();
