#include <CoreG/Masks/namespace_CoreGraphics_CompositeMask.h>

#include <dispatch/dispatch.h>

#include <CoreG/Masks/namespace_CoreGraphics_MaskScreens.h>
#include <CoreG/Masks/namespace_CoreGraphics_MaskShapes.h>
#include <CoreX/CoreMachDebugLog.h>

#include <CoreG/Masks/namespace_CoreGraphics_MaskPixels.h>

namespace CoreGraphics {

namespace {

constexpr const char *kFile = "/Code/sdk/CoreG/namespace_CoreGraphics_CompositeMask";

}  // namespace

void CompositeMask::ResetParameters() {
    mShapeType = 0;
    mShapeParams.Reset();
    mShapeOpacity = 1.0f;
    mScreenType = 0;
    mScreenParams.Reset();
    mScreenOpacity = 1.0f;
    mOperator = 0;
}

bool CompositeMask::ConstructSelfWidthHeight(int width, int height) {
    const bool shape = mShapeContext.Construct(width, height);
    const bool screen = mScreenContext.Construct(width, height);
    return shape && screen;
}

bool CompositeMask::Construct(int width, int height) {
    if (!MaskContext::Construct(width, height)) return false;
    bool fOk = ConstructSelfWidthHeight(width, height);
    if (!fOk) _CoreMachDebugVerifyBody("Construct", kFile, 17, " code : fOk=ConstructSelfWidthHeight(inWidth,inHeight)");
    return fOk;
}

bool CompositeMask::Construct(const CGSize &size) {
    return Construct(maskpixels::SideFromLength(size.width), maskpixels::SideFromLength(size.height));
}

void CompositeMask::DestructAll() {
    mShapeContext.QitmapContext::Destruct();
    mScreenContext.QitmapContext::Destruct();
    QitmapContext::Destruct();
}

bool CompositeMask::SetMaskDimensions(const CGSize &size, bool update) {
    if (IsConstructed() && CGFloat(mImageWidth) == size.width && CGFloat(mImageHeight) == size.height) return false;
    if (IsConstructed()) DestructAll();
    bool fReconstructed = Construct(size);
    if (!fReconstructed) {
        _CoreMachDebugVerifyBody("SetMaskDimensions", kFile, 110, " code : fReconstructed = Construct(inDimensions)");
        return false;
    }
    if (update) {
        fReconstructed = Update();
        if (!fReconstructed) _CoreMachDebugVerifyBody("SetMaskDimensions", kFile, 114, " code : fReconstructed = Update()");
    }
    return fReconstructed;
}

bool CompositeMask::MergeLayers(int op, bool invert) {
    const float screenOpacity = mScreenOpacity, shapeOpacity = mShapeOpacity;
    return MergeMasks(mScreenContext, &screenOpacity, mShapeContext, &shapeOpacity, op == 0 ? mOperator : op, invert);
}

bool CompositeMask::Update() {
    // Each layer's Quartz drawing reaches its bytes on the thread that painted it, so that
    // the merge finds them ready.
    const auto paintShape = [this] {
        mShapeContext.MakeMaskShape(mShapeType, &mShapeParams);
        mShapeContext.WillAccessPixels();
    };
    dispatch_queue_t queue = dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_HIGH, 0);
    dispatch_group_t group = queue != nullptr ? dispatch_group_create() : nullptr;
    // The two layers touch disjoint masks: the shape is painted on a thread of the queue
    // while this thread paints the screen. The merge reads both, so it waits for both.
    if (group != nullptr) dispatch_group_async(group, queue, paintShape);
    else paintShape();
    mScreenContext.MakeMaskScreen(mScreenType, &mScreenParams);
    mScreenContext.WillAccessPixels();
    if (group != nullptr) {
        dispatch_group_wait(group, DISPATCH_TIME_FOREVER);
        dispatch_release(group);
    }
    return MergeLayers(mOperator, false);
}

float CompositeMask::OpacityAt(float fx, float fy, int op) {
    const int screen = mScreenType != 0 ? mScreenContext.SampleBilinear(fx, fy) : 0;
    const int shape = mShapeType != 0 ? mShapeContext.SampleBilinear(fx, fy) : 0;
    int r = MergeOperatorValue(op < 0 ? mOperator : op, screen, shape);
    r = r < 0 ? 0 : r > 255 ? 255 : r;
    return float(r) / 255.0f;
}

}  // namespace CoreGraphics

bool import_namespace_CoreGraphics_CompositeMask() {
    return import_namespace_CoreGraphics_MaskShapes() && import_namespace_CoreGraphics_MaskScreens();
}
