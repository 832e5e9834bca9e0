// NSUIMaskCompositeLayers: what the mask designer does to a composite mask, behind plain
// values. The composite's headers bring the QuickDraw world, whose QPoint clashes with Qt's,
// so the widget classes of the designer reach the composite only through these functions
// (implemented in a file free of Qt).
#pragma once

#include <CoreGraphics/CoreGraphics.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace CoreGraphics {
class CompositeMask;
}

// One layer's settings as the sliders give them: the type, four parameters (limited to 0..1
// when stored) and the first angle (wrapped to [0, 360) when stored).
struct NSUIMaskLayerSettings {
    int type = 0;
    float params[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    float angleDegrees = 0;
};

namespace NSUIMaskCompositeLayers {

struct Deleter {
    void operator()(CoreGraphics::CompositeMask *mask) const;
};
using Owned = std::unique_ptr<CoreGraphics::CompositeMask, Deleter>;

// A new composite, not constructed.
Owned Create();

// The process-wide composite that is never constructed (made when the program loads).
CoreGraphics::CompositeMask &SharedNull();

bool IsConstructed(const CoreGraphics::CompositeMask &mask);
CGSize Dimensions(const CoreGraphics::CompositeMask &mask);
// The composite's SetMaskDimensions with a rebuild.
bool SetDimensions(CoreGraphics::CompositeMask &mask, CGSize size);

// Whether the settings, stored, differ from the composite's: the type, the first
// `paramCount` parameters and the first angle, compared exactly (NaN is never equal).
bool ShapeDiffers(const CoreGraphics::CompositeMask &mask, const NSUIMaskLayerSettings &shape, int paramCount);
bool ScreenDiffers(const CoreGraphics::CompositeMask &mask, const NSUIMaskLayerSettings &screen, int paramCount);
// Whether the opacities (limited to 0..1) or the operator differ from the composite's.
bool CombinerDiffers(const CoreGraphics::CompositeMask &mask, float shapeOpacity, float screenOpacity, int op);

// Stores the settings (parameters reset first) and repaints the layer.
void RepaintShape(CoreGraphics::CompositeMask &mask, const NSUIMaskLayerSettings &shape);
void RepaintScreen(CoreGraphics::CompositeMask &mask, const NSUIMaskLayerSettings &screen);
// Stores the opacities and the operator, then merges the layers.
bool Merge(CoreGraphics::CompositeMask &mask, float shapeOpacity, float screenOpacity, int op, bool invert);

// The settings the composite holds.
NSUIMaskLayerSettings StoredShape(const CoreGraphics::CompositeMask &mask);
NSUIMaskLayerSettings StoredScreen(const CoreGraphics::CompositeMask &mask);
int StoredOperator(const CoreGraphics::CompositeMask &mask);

enum class Layer { Composite, Shape, Screen };
// A copy of a mask's bytes (empty when it is not constructed).
std::vector<uint8_t> Bytes(CoreGraphics::CompositeMask &mask, Layer layer);
// Every byte of the layer 0 (a constructed layer only).
void ClearLayer(CoreGraphics::CompositeMask &mask, Layer layer);

// An image mask over the composite's bytes (not a copy); null when it cannot be made.
CGImageRef CreateImageMask(CoreGraphics::CompositeMask &mask);

}  // namespace NSUIMaskCompositeLayers

bool import_NSUIMaskCompositeLayers();
