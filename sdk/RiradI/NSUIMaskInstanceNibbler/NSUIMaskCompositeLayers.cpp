#include "NSUIMaskCompositeLayers.h"

#include <CoreG/Masks/namespace_CoreGraphics_CompositeMask.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace NSUIMaskCompositeLayers {

namespace {

CoreGraphics::CompositeMask sCompositeMask;

MaskParams ParamsOf(const NSUIMaskLayerSettings &settings) {
    MaskParams params;
    params.Reset();
    for (int index = 0; index < 4; ++index) {
        const float value = settings.params[index];
        params.Param[index] = std::isnan(value) ? 0.0f : std::clamp(value, 0.0f, 1.0f);
    }
    params.AngleDegrees[0] = settings.angleDegrees;
    return params;
}

NSUIMaskLayerSettings SettingsOf(int type, const MaskParams &params) {
    NSUIMaskLayerSettings settings;
    settings.type = type;
    for (int index = 0; index < 4; ++index) settings.params[index] = params.Param[index];
    settings.angleDegrees = params.AngleDegrees[0];
    return settings;
}

bool Differs(const MaskParams &stored, const NSUIMaskLayerSettings &settings, int paramCount) {
    const MaskParams wanted = ParamsOf(settings);
    const int count = std::clamp(paramCount, 0, 4);
    for (int index = 0; index < count; ++index)
        if (!(static_cast<float>(wanted.Param[index]) == static_cast<float>(stored.Param[index]))) return true;
    return !(static_cast<float>(wanted.AngleDegrees[0]) == static_cast<float>(stored.AngleDegrees[0]));
}

float Opacity(float value) { return std::isnan(value) ? 0.0f : std::clamp(value, 0.0f, 1.0f); }

CoreGraphics::MaskContext &LayerOf(CoreGraphics::CompositeMask &mask, Layer layer) {
    switch (layer) {
        case Layer::Shape: return mask.mShapeContext;
        case Layer::Screen: return mask.mScreenContext;
        case Layer::Composite: break;
    }
    return mask;
}

}  // namespace

void Deleter::operator()(CoreGraphics::CompositeMask *mask) const { delete mask; }

Owned Create() { return Owned(new CoreGraphics::CompositeMask); }

CoreGraphics::CompositeMask &SharedNull() { return sCompositeMask; }

bool IsConstructed(const CoreGraphics::CompositeMask &mask) { return mask.IsConstructed(); }

CGSize Dimensions(const CoreGraphics::CompositeMask &mask) {
    return CGSizeMake(mask.mImageWidth, mask.mImageHeight);
}

bool SetDimensions(CoreGraphics::CompositeMask &mask, CGSize size) { return mask.SetMaskDimensions(size, true); }

bool ShapeDiffers(const CoreGraphics::CompositeMask &mask, const NSUIMaskLayerSettings &shape, int paramCount) {
    return shape.type != mask.mShapeType || Differs(mask.mShapeParams, shape, paramCount);
}

bool ScreenDiffers(const CoreGraphics::CompositeMask &mask, const NSUIMaskLayerSettings &screen, int paramCount) {
    return screen.type != mask.mScreenType || Differs(mask.mScreenParams, screen, paramCount);
}

bool CombinerDiffers(const CoreGraphics::CompositeMask &mask, float shapeOpacity, float screenOpacity, int op) {
    return !(Opacity(shapeOpacity) == static_cast<float>(mask.mShapeOpacity)) ||
           !(Opacity(screenOpacity) == static_cast<float>(mask.mScreenOpacity)) || op != mask.mOperator;
}

void RepaintShape(CoreGraphics::CompositeMask &mask, const NSUIMaskLayerSettings &shape) {
    mask.mShapeParams = ParamsOf(shape);
    mask.mShapeType = shape.type;
    mask.mShapeContext.MakeMaskShape(mask.mShapeType, &mask.mShapeParams);
}

void RepaintScreen(CoreGraphics::CompositeMask &mask, const NSUIMaskLayerSettings &screen) {
    mask.mScreenParams = ParamsOf(screen);
    mask.mScreenType = screen.type;
    mask.mScreenContext.MakeMaskScreen(mask.mScreenType, &mask.mScreenParams);
}

bool Merge(CoreGraphics::CompositeMask &mask, float shapeOpacity, float screenOpacity, int op, bool invert) {
    mask.mShapeOpacity = Opacity(shapeOpacity);
    mask.mScreenOpacity = Opacity(screenOpacity);
    mask.mOperator = op;
    return mask.MergeLayers(op, invert);
}

NSUIMaskLayerSettings StoredShape(const CoreGraphics::CompositeMask &mask) {
    return SettingsOf(mask.mShapeType, mask.mShapeParams);
}

NSUIMaskLayerSettings StoredScreen(const CoreGraphics::CompositeMask &mask) {
    return SettingsOf(mask.mScreenType, mask.mScreenParams);
}

int StoredOperator(const CoreGraphics::CompositeMask &mask) { return mask.mOperator; }

std::vector<uint8_t> Bytes(CoreGraphics::CompositeMask &mask, Layer layer) {
    CoreGraphics::MaskContext &context = LayerOf(mask, layer);
    if (!context.IsConstructed()) return {};
    context.WillAccessPixels();
    const std::size_t size = static_cast<std::size_t>(context.mImageWidth) * context.mImageHeight;
    return std::vector<uint8_t>(context.mImageDataBytes, context.mImageDataBytes + size);
}

void ClearLayer(CoreGraphics::CompositeMask &mask, Layer layer) {
    CoreGraphics::MaskContext &context = LayerOf(mask, layer);
    if (context.IsConstructed()) context.MakeTransparent();
}

CGImageRef CreateImageMask(CoreGraphics::CompositeMask &mask) { return mask.ConstructCGImage(nullptr); }

}  // namespace NSUIMaskCompositeLayers

bool import_NSUIMaskCompositeLayers() { return import_namespace_CoreGraphics_CompositeMask(); }
