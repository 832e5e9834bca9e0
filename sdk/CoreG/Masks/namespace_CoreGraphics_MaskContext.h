// Masks: one-channel 8-bit pictures in which 0 is fully transparent and 255 fully opaque.
//
// A MaskContext is a grey QitmapContext (so it also carries a QuickDraw world over the
// same bytes) whose row bytes equal its width: the bytes are width x height values, memory
// row 0 at the top of the picture. It offers fills, an image-mask and a grey-image view of
// its bytes, a bilinear point sampler, remapping through a table, the pixel-wise merge of
// two masks into a third, and the shape and screen painters (MakeMaskShape, MakeMaskScreen)
// driven by a MaskParams record.
//
// The fills, the sampler, the remapping, the merge and the per-pixel painters work on the
// bytes directly and keep Quartz's view of them in step (WillAccessPixels, DidWritePixels);
// code outside that reads or writes the bytes does the same.
//
// Failed checks are reported through the debug log and the operation returns false or null.
// One mask is used by one thread at a time; different masks may be painted on different
// threads at once (the composite mask does so).
#pragma once

#include <cstdint>

#include <CoreG/Drawing/namespace_CoreGeometry_T_clamped_value.h>
#include <CoreG/Drawing/namespace_CoreGraphics_QitmapContext.h>

// The parameters of one shape or screen: four angles in degrees (kept in [0, 360)) and four
// parameters (kept in 0..1). The painters read AngleDegrees[0] and Param[0] to Param[3].
struct MaskParams {
    T_normal_value<CoreGeometry::T_clamped_angle_degrees<float>> AngleDegrees[4];
    T_normal_value<CoreGeometry::T_clamped_value<float>> Param[4];

    // Angles 0, parameters 0.5.
    MaskParams() { Reset(); }
    void Reset();
};

namespace CoreGraphics {

class MaskContext : public QitmapContext {
public:
    MaskContext() = default;

    // A grey bitmap of width x height (row bytes = width) with its world; true on success.
    // A constructed mask is destroyed first.
    bool Construct(int width, int height);

    // Re-creates the mask at the size (truncated) unless it is already constructed at exactly
    // that size. True when it was re-created; the new bytes are undefined until a fill or a
    // painter runs. A size that cannot be made (not finite, below 1, too large) is reported
    // and gives false.
    bool SetMaskDimensions(const CGSize &size);

    // Fills. Each reports " code : IsConstructed()" and returns false on an unconstructed mask.
    bool MakeTransparent();                 // every byte 0
    bool MakeOpaque();                      // every byte 255
    bool MakeOpaque(const float *level);    // every byte trunc(level x 255), level in 0..1
                                            // (NaN is 0; a null level means 1)
    // Paints the whole mask with Quartz in grey 1 - o at alpha 1 - o, o the opacity limited
    // to 0..1, composited over the bytes: byte' = (1 - o)^2 x 255 + o x byte.
    bool MakeOpacity(float opacity);

    // Sets a context's fill colour to (0, 0, 0, 0).
    static void SetClearFillColor(CGContextRef context);

    // An image mask over the bytes (not a copy; it must not outlive the mask): a sample of 0
    // lets paint through, 255 blocks it. The colour space is ignored. Null when the mask is
    // not constructed or the image cannot be made (reported).
    CGImageRef ConstructCGImage(CGColorSpaceRef space) override;
    // An ordinary grey image (DeviceGray, no alpha) over the bytes, for showing the mask.
    CGImageRef CreateMaskImage();

    // Bilinear sample at (fx x width, fy x height), fy measured upward from the bottom row;
    // positions outside take the edge values. 0 for a mask with no bytes.
    uint8_t SampleBilinear(float fx, float fy) const;

    // Every byte v becomes the low 8 bits of table[v].
    void MapThroughTable(const uint16_t table[256]);

    // Writes into this mask, pixel by pixel, the operator's value of a = trunc(mask1 byte x
    // opacity1) and b = trunc(mask2 byte x opacity2) (single-precision products; opacities
    // limited to 0..1, NaN is 0, a null opacity is 1), limited to 0..255 and with `invert`
    // replaced by 255 minus it. The operators:
    //   0 (and any value outside 1..11) max(a, b)    6  255 - b + a
    //   1  a + b                                     7  255 - a + b
    //   2  b - a                                     8  a
    //   3  a - b                                     9  255 - a
    //   4  a + b - 255                               10 b
    //   5  a + b - 255 (the same as 4)               11 255 - b
    // False without a report when this mask's size differs from mask1's; false with the
    // report " code : SameDimensions(inMask2)" when mask2's does. Any of the three may be
    // the same mask.
    bool MergeMasks(MaskContext &mask1, const float *opacity1, MaskContext &mask2, const float *opacity2, int op,
                    bool invert);
    // Opacities 1, operator 0 (maximum), no inversion.
    bool MergeMasks(MaskContext &mask1, MaskContext &mask2);
    // The operator's value for two bytes before limiting (op outside 1..11 is the maximum).
    static int MergeOperatorValue(int op, int a, int b);

    // Paints shape `type` (0..18) with the parameters (null means defaults) into the mask;
    // other types make it transparent. Nothing when the mask is not constructed. See
    // namespace_CoreGraphics_MaskShapes.h.
    void MakeMaskShape(int type, const MaskParams *params);
    // Paints screen `type` (0..22) likewise; see namespace_CoreGraphics_MaskScreens.h.
    void MakeMaskScreen(int type, const MaskParams *params);

    // Width and height equal to the other mask's.
    bool SameDimensions(const MaskContext &other) const {
        return mImageWidth == other.mImageWidth && mImageHeight == other.mImageHeight;
    }
};

}  // namespace CoreGraphics

bool import_namespace_CoreGraphics_MaskContext();
