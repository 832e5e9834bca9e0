// The composite mask: a screen and a shape, each painted into a mask of its own with its own
// type, parameters and opacity, merged pixel by pixel into the composite's own bytes by one
// of the merge operators (mask 1 the screen, mask 2 the shape). The composite is itself a
// MaskContext, so its result is read like any mask.
//
// The fields are plain data: the designer writes types, parameters, opacities and the
// operator directly, then rebuilds with Update (both layers, in parallel) or repaints one
// layer with MakeMaskShape / MakeMaskScreen on it and calls MergeLayers.
//
// One composite is used by one thread at a time; different composites may update at once.
#pragma once

#include <CoreG/Masks/namespace_CoreGraphics_MaskContext.h>

namespace CoreGraphics {

class CompositeMask : public MaskContext {
public:
    // Types 0, parameters reset, opacities 1, operator 0; three empty masks.
    CompositeMask() = default;

    // Shape and screen: type 0, parameters reset, opacity 1; operator 0.
    void ResetParameters();

    // Constructs the shape mask, then the screen mask, at the size; true when both succeed.
    bool ConstructSelfWidthHeight(int width, int height);
    // The composite's own mask, then the two layers (a failure of the layers is reported).
    // A constructed composite is destroyed first.
    bool Construct(int width, int height);
    // The same with the size truncated.
    bool Construct(const CGSize &size);
    // Destroys the shape mask, the screen mask and the composite.
    void DestructAll();

    // Unless already constructed at exactly this size: re-constructs all three masks at the
    // (truncated) size and, with `update`, rebuilds them. False when nothing was done or the
    // construction failed (reported); otherwise true, or Update's result with `update`.
    bool SetMaskDimensions(const CGSize &size, bool update);

    // Merges screen (mask 1, at mScreenOpacity) and shape (mask 2, at mShapeOpacity) into the
    // composite with operator `op`, mOperator when op is 0. False when the sizes disagree.
    bool MergeLayers(int op, bool invert);

    // Repaints the shape on a thread of the high-priority global queue while the calling
    // thread repaints the screen, waits for both, then merges with mOperator. The caller is
    // blocked for the whole rebuild. Answers the merge's result (true unless the masks' sizes disagree).
    bool Update();

    // The composite's opacity (0..1) at a fractional position (fy upward) computed from the
    // layer masks: each layer sampled bilinearly (0 for a layer of type 0), without the
    // opacities, combined with operator `op` (mOperator when negative) in the merge's order.
    float OpacityAt(float fx, float fy, int op);

    int mScreenType = 0;
    T_normal_value<CoreGeometry::T_clamped_value<float>> mScreenOpacity = 1.0f;
    MaskParams mScreenParams;
    MaskContext mScreenContext;
    int mShapeType = 0;
    T_normal_value<CoreGeometry::T_clamped_value<float>> mShapeOpacity = 1.0f;
    MaskParams mShapeParams;
    MaskContext mShapeContext;
    int mOperator = 0;
};

}  // namespace CoreGraphics

bool import_namespace_CoreGraphics_CompositeMask();
