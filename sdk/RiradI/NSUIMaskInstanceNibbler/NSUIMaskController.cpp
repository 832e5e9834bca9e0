#include "NSUIMaskController.h"

#include "NSUIContextMaskOperatorTypeSlider.h"
#include "NSUIContextMaskScreenTypeSlider.h"
#include "NSUIContextMaskShapeTypeSlider.h"

#include <CoreX/CoreMachDebugLog.h>
#include <UICocoaControls/NSSlider.h>
#include <UICocoaControls/NSUIBigControlsView.h>
#include <UICocoaControls/NSUIBigLinearSliderPanel.h>
#include <Foundation/NSObjCRuntime.h>
#include <UIParamMapping/NSUIParamMapping.h>

#include <algorithm>
#include <cmath>

NS_REGISTER_CLASS(NSUIMaskController);

namespace {

constexpr const char *kMaskContextChanged = "maskContextChanged:";

// A nib marks a slider that turns (an angle) with the property sliderType = 1, the circular
// slider type; it is lent the big dial rather than the big linear slider.
constexpr const char *kSliderTypeProperty = "sliderType";
constexpr int kCircularSlider = 1;

constexpr CGFloat kPreviewBorderColor[4] = {0.25, 0.25, 0.25, 0.75};

// The painters read every parameter of a shape (shapes 16 to 18 use all four) and the three
// parameters of a screen that the screen sliders set, so the change tests compare them all.
constexpr int kShapeParamsCompared = 4;
constexpr int kScreenParamsCompared = 3;

double SliderValue(const NSSlider *slider) { return slider != nullptr ? slider->doubleValue() : 0.0; }

float Clamped01(double value) { return static_cast<float>(std::clamp(value, 0.0, 1.0)); }

}  // namespace

NSUIMaskController::NSUIMaskController(QWidget *parent) : NSUIResetBox(parent) {}

NSUIMaskController::~NSUIMaskController() = default;

CoreGraphics::CompositeMask &NSUIMaskController::sharedNullCompositeMask() {
    return NSUIMaskCompositeLayers::SharedNull();
}

const CGFloat *NSUIMaskController::previewBorderColor() { return kPreviewBorderColor; }

CoreGraphics::CompositeMask *NSUIMaskController::compositeMask() { return &sharedNullCompositeMask(); }

bool NSUIMaskController::isPrivateNullContext() { return compositeMask() == &sharedNullCompositeMask(); }

bool NSUIMaskController::isContextConstructed() {
    CoreGraphics::CompositeMask *mask = compositeMask();
    if (!VERIFY_TEXT(mask != &sharedNullCompositeMask(), " code : &sCompositeMask!=&_CompositeMask")) return false;
    return NSUIMaskCompositeLayers::IsConstructed(*mask);
}

CGSize NSUIMaskController::maskDimensions() {
    CoreGraphics::CompositeMask *mask = compositeMask();
    if (mask == &sharedNullCompositeMask()) return CGSizeMake(kNullMaskWidth, kNullMaskHeight);
    return NSUIMaskCompositeLayers::Dimensions(*mask);
}

bool NSUIMaskController::setMaskDimensions(CGSize size) {
    CoreGraphics::CompositeMask *mask = compositeMask();
    if (mask == &sharedNullCompositeMask()) return false;
    if (!NSUIMaskCompositeLayers::SetDimensions(*mask, size)) return false;
    setMaskDirty(false);
    return true;
}

int NSUIMaskController::currentShapeType() const {
    return shapeTypeSlider() != nullptr ? shapeTypeSlider()->shapeType() : 0;
}

int NSUIMaskController::currentScreenType() const {
    return screenTypeSlider() != nullptr ? screenTypeSlider()->screenType() : 0;
}

bool NSUIMaskController::hasEitherMaskEnabled() const { return currentShapeType() != 0 || currentScreenType() != 0; }

float NSUIMaskController::shapeAngleDegrees() const {
    return static_cast<float>(SliderValue(shapeAngleSlider())) * _ShapeRotationMultConst + _ShapeRotationAddConst;
}

void NSUIMaskController::setQuickDrawMaskDefaults() {
    _ShapeRotationAddConst = 0;
    _ShapeRotationMultConst = -1;
}

void NSUIMaskController::setCoreGraphicsMaskDefaults() {
    _ShapeRotationMultConst = 1;
    _ShapeRotationAddConst = 180;
}

void NSUIMaskController::setMaskDirty(bool dirty) {
    _MaskShapeDirty = dirty;
    _MaskScreenDirty = dirty;
    _MaskOperatorDirty = dirty;
}

NSUIMaskLayerSettings NSUIMaskController::shapeSettingsFromSliders() const {
    NSUIMaskLayerSettings settings;
    settings.type = currentShapeType();
    const NSSlider *sliders[4] = {shapeParam0Slider(), shapeParam1Slider(), shapeParam2Slider(), shapeParam3Slider()};
    for (int index = 0; index < 4; ++index) settings.params[index] = Clamped01(SliderValue(sliders[index]));
    settings.angleDegrees = shapeAngleDegrees();
    return settings;
}

NSUIMaskLayerSettings NSUIMaskController::screenSettingsFromSliders() const {
    NSUIMaskLayerSettings settings;
    settings.type = currentScreenType();
    const NSSlider *sliders[3] = {screenParam0Slider(), screenParam1Slider(), screenParam2Slider()};
    for (int index = 0; index < 3; ++index) settings.params[index] = Clamped01(SliderValue(sliders[index]));
    settings.params[3] = 0;
    settings.angleDegrees = static_cast<float>(SliderValue(screenAngleSlider()));
    return settings;
}

float NSUIMaskController::shapeOpacityFromSlider() const { return Clamped01(SliderValue(shapeOpacitySlider())); }

float NSUIMaskController::screenOpacityFromSlider() const { return Clamped01(SliderValue(screenOpacitySlider())); }

bool NSUIMaskController::isMaskShapeDirty() {
    if (!VERIFY_TEXT(isContextConstructed(), " code : [self isContextConstructed]")) return _MaskShapeDirty;
    return _MaskShapeDirty ||
           NSUIMaskCompositeLayers::ShapeDiffers(*compositeMask(), shapeSettingsFromSliders(), kShapeParamsCompared);
}

bool NSUIMaskController::isMaskScreenDirty() {
    if (!VERIFY_TEXT(isContextConstructed(), " code : [self isContextConstructed]")) return _MaskScreenDirty;
    return _MaskScreenDirty || NSUIMaskCompositeLayers::ScreenDiffers(*compositeMask(), screenSettingsFromSliders(),
                                                                      kScreenParamsCompared);
}

bool NSUIMaskController::isMaskOperatorDirty() {
    if (!VERIFY_TEXT(isContextConstructed(), " code : [self isContextConstructed]")) return _MaskOperatorDirty;
    const int op = combineOperatorSlider() != nullptr ? combineOperatorSlider()->operatorType() : 0;
    return NSUIMaskCompositeLayers::CombinerDiffers(*compositeMask(), shapeOpacityFromSlider(),
                                                    screenOpacityFromSlider(), op);
}

bool NSUIMaskController::isMaskDirty() {
    // Every test runs (each reports on its own without a composite).
    const bool shape = isMaskShapeDirty();
    const bool screen = isMaskScreenDirty();
    const bool combiner = isMaskOperatorDirty();
    return shape || screen || combiner;
}

bool NSUIMaskController::updateMaskContext(bool force) {
    if (!VERIFY_TEXT(isContextConstructed(), " code : [self isContextConstructed]")) return false;
    const bool shapeChanged = isMaskShapeDirty();
    const bool screenChanged = isMaskScreenDirty();
    const bool operatorChanged = isMaskOperatorDirty();
    CoreGraphics::CompositeMask &mask = *compositeMask();

    const bool repaintShape = shapeChanged || force;
    if (repaintShape) {
        NSUIMaskCompositeLayers::RepaintShape(mask, shapeSettingsFromSliders());
        _MaskShapeDirty = false;
    }
    const bool repaintScreen = screenChanged || force;
    if (repaintScreen) {
        NSUIMaskCompositeLayers::RepaintScreen(mask, screenSettingsFromSliders());
        _MaskScreenDirty = false;
    }
    if (!(repaintShape || operatorChanged || repaintScreen)) return false;
    const int op = combineOperatorSlider() != nullptr ? combineOperatorSlider()->intValue() : 0;
    NSUIMaskCompositeLayers::Merge(mask, shapeOpacityFromSlider(), screenOpacityFromSlider(), op, _MaskInverted);
    _MaskOperatorDirty = false;
    return true;
}

void NSUIMaskController::updateMaskContext() {
    if (updateMaskContext(false)) onMaskContextChanged();
}

void NSUIMaskController::onMaskContextChanged() {
    const QVariant self = QVariant::fromValue<QObject *>(this);
    if (respondsToSelector(this, kMaskContextChanged)) {
        performSelector(this, kMaskContextChanged, self);
        return;
    }
    QObject *receiver = target();
    if (respondsToSelector(receiver, kMaskContextChanged))
        performSelectorOnMainThread(receiver, kMaskContextChanged, self, true);
}

void NSUIMaskController::maskShapeChanged(QObject *sender) {
    attachSliderControl(sender);
    setMaskShapeDirty(true);
    updateMaskContext();
}

void NSUIMaskController::maskShapeAngleChanged(QObject *sender) {
    attachSliderControl(sender);
    setMaskShapeDirty(true);
    updateMaskContext();
}

void NSUIMaskController::maskScreenChanged(QObject *sender) {
    attachSliderControl(sender);
    setMaskScreenDirty(true);
    updateMaskContext();
}

void NSUIMaskController::maskCombinerChanged(QObject *sender) {
    attachSliderControl(sender);
    setMaskOperatorDirty(true);
    updateMaskContext();
}

void NSUIMaskController::attachSliderControl(QObject *sender) {
    auto *slider = qobject_cast<NSSlider *>(sender);
    if (slider == nullptr) return;
    if (slider->property(kSliderTypeProperty).toInt() == kCircularSlider)
        NSUIBigControlsView::attachRadial(slider);
    else
        NSUIBigLinearSliderPanel::attachSlider(slider);
}

void NSUIMaskController::maskControlsReset(QObject *) {
    if (combineOperatorSlider() != nullptr) combineOperatorSlider()->setOperatorType(0);
    if (screenOpacitySlider() != nullptr) screenOpacitySlider()->setDoubleValue(1.0);
    if (shapeOpacitySlider() != nullptr) shapeOpacitySlider()->setDoubleValue(1.0);
    if (shapeTypeSlider() != nullptr) shapeTypeSlider()->setIntValue(0);
    if (shapeAngleSlider() != nullptr) shapeAngleSlider()->setDoubleValue(0.0);
    if (shapeParam0Slider() != nullptr) shapeParam0Slider()->setDoubleValue(0.5);
    if (shapeParam1Slider() != nullptr) shapeParam1Slider()->setDoubleValue(0.5);
    if (screenTypeSlider() != nullptr) screenTypeSlider()->setIntValue(0);
    if (screenAngleSlider() != nullptr) screenAngleSlider()->setDoubleValue(0.0);
    if (screenParam0Slider() != nullptr) screenParam0Slider()->setDoubleValue(0.5);
    if (screenParam1Slider() != nullptr) screenParam1Slider()->setDoubleValue(0.5);
    if (screenParam2Slider() != nullptr) screenParam2Slider()->setDoubleValue(0.5);
    setMaskDirty(true);
    updateMaskContext();
}

void NSUIMaskController::resetBoxControls(QObject *sender) { maskControlsReset(sender); }

void NSUIMaskController::resetAllControls(QObject *sender) { maskControlsReset(sender); }

void NSUIMaskController::awakeFromNib() {
    NSUIResetBox::awakeFromNib();
    if (_ShapeRotationMultConst == 0) _ShapeRotationMultConst = 1;
    if (shapeTypeSlider() != nullptr) shapeTypeSlider()->awakeFromNib();
    if (screenTypeSlider() != nullptr) screenTypeSlider()->awakeFromNib();
}

void NSUIMaskController::drawPreview(CGContextRef context, CGRect rect) {
    updateMaskContext();
    CoreGraphics::CompositeMask *mask = compositeMask();
    if (context == nullptr || mask == &sharedNullCompositeMask() || !NSUIMaskCompositeLayers::IsConstructed(*mask))
        return;
    const CGSize size = NSUIMaskCompositeLayers::Dimensions(*mask);
    CGContextSetAlpha(context, 1.0);
    CGContextSetRGBFillColor(context, 0, 0, 0, 1);
    CGContextFillRect(context, rect);
    if (CGImageRef image = NSUIMaskCompositeLayers::CreateImageMask(*mask)) {
        CGContextClipToMask(context, CGRectMake(0, 0, size.width, size.height), image);
        CGImageRelease(image);
    }
    CGContextSetRGBFillColor(context, 1, 1, 1, 1);
    CGContextFillRect(context, rect);
    CGContextSaveGState(context);
    CGContextSetLineWidth(context, 1.0);
    CGContextSetRGBStrokeColor(context, kPreviewBorderColor[0], kPreviewBorderColor[1], kPreviewBorderColor[2],
                               kPreviewBorderColor[3]);
    CGContextStrokeRect(context, rect);
    CGContextRestoreGState(context);
}

void NSUIMaskController::addControlParamsForPrefix(const ParamMapping &mapping, QVariantMap &settings,
                                                   const QString &namePrefix, bool includeAllParameters) {
    const int screenType = currentScreenType();
    const int shapeType = currentShapeType();
    settings.insert(namePrefix + QStringLiteral("refines"), QStringLiteral("defaults"));
    settings.insert(namePrefix + QStringLiteral("screen.type"), screenType);
    settings.insert(namePrefix + QStringLiteral("shape.type"), shapeType);
    if (screenType != 0 || includeAllParameters)
        mapping.AddParamsWithPrefixToDictionary(&settings, namePrefix + QStringLiteral("screen."));
    if (shapeType != 0 || includeAllParameters)
        mapping.AddParamsWithPrefixToDictionary(&settings, namePrefix + QStringLiteral("shape."));
    if (screenType != 0 || shapeType != 0 || includeAllParameters)
        mapping.AddParamsWithPrefixToDictionary(&settings, namePrefix + QStringLiteral("operator"));
}

bool import_NSUIMaskController() {
    return import_NSUIResetBox() && import_NSUIContextMaskShapeTypeSlider() &&
           import_NSUIContextMaskScreenTypeSlider() && import_NSUIContextMaskOperatorTypeSlider() &&
           import_NSUIParamMapping() && import_NSUIMaskCompositeLayers();
}
