// NSUIMaskController: the box of the mask designer's sliders. It turns the slider values into
// the fields of a composite mask (a shape layer, a screen layer and the operator that merges
// them), repaints only the layer whose settings changed, merges, and tells its target.
//
// The controller itself has no composite: compositeMask answers the shared null composite, a
// process-wide composite that is never constructed, and every operation that needs pixels
// reports and does nothing. NSUIMaskControllerMaskInstance gives a controller a composite of
// its own, NSUIMaskControllerMaskReference lets it use another object's.
//
// The sliders are outlets (not owned; a slider that goes away reads as missing, and a missing
// slider reads 0). Every shape slider of the nib sends maskShapeChanged: or
// maskShapeAngleChanged:, every screen slider maskScreenChanged:, the opacity and operator
// sliders maskCombinerChanged:. Values set without an action (parameter mapping, key paths,
// restored defaults) are found by the change tests, which compare every parameter the
// painters read, so the next updateMaskContext / preview repaints them.
//
// Merges are announced with onMaskContextChanged: to the controller itself when a subclass
// answers maskContextChanged:, else to the target (usually an NSUIMaskControllerView) on the
// main thread, waiting. Everything runs on the main thread.
#pragma once

#include "NSUIContextMaskOperatorTypeSlider.h"
#include "NSUIContextMaskScreenTypeSlider.h"
#include "NSUIContextMaskShapeTypeSlider.h"

#include "NSUIMaskCompositeLayers.h"

#include <CoreGraphics/CoreGraphics.h>

#include <UICocoaViews/NSUIResetBox.h>

#include <QPointer>
#include <QString>
#include <QVariantMap>

class ParamMapping;

class NSUIMaskController : public NSUIResetBox {
    Q_OBJECT
    Q_PROPERTY(NSUIContextMaskShapeTypeSlider *shapeTypeSlider READ shapeTypeSlider WRITE setShapeTypeSlider)
    Q_PROPERTY(NSSlider *shapeAngleSlider READ shapeAngleSlider WRITE setShapeAngleSlider)
    Q_PROPERTY(NSSlider *shapeParam0Slider READ shapeParam0Slider WRITE setShapeParam0Slider)
    Q_PROPERTY(NSSlider *shapeParam1Slider READ shapeParam1Slider WRITE setShapeParam1Slider)
    Q_PROPERTY(NSSlider *shapeParam2Slider READ shapeParam2Slider WRITE setShapeParam2Slider)
    Q_PROPERTY(NSSlider *shapeParam3Slider READ shapeParam3Slider WRITE setShapeParam3Slider)
    Q_PROPERTY(NSSlider *shapeOpacitySlider READ shapeOpacitySlider WRITE setShapeOpacitySlider)
    Q_PROPERTY(NSUIContextMaskScreenTypeSlider *screenTypeSlider READ screenTypeSlider WRITE setScreenTypeSlider)
    Q_PROPERTY(NSSlider *screenAngleSlider READ screenAngleSlider WRITE setScreenAngleSlider)
    Q_PROPERTY(NSSlider *screenParam0Slider READ screenParam0Slider WRITE setScreenParam0Slider)
    Q_PROPERTY(NSSlider *screenParam1Slider READ screenParam1Slider WRITE setScreenParam1Slider)
    Q_PROPERTY(NSSlider *screenParam2Slider READ screenParam2Slider WRITE setScreenParam2Slider)
    Q_PROPERTY(NSSlider *screenOpacitySlider READ screenOpacitySlider WRITE setScreenOpacitySlider)
    Q_PROPERTY(NSUIContextMaskOperatorTypeSlider *combineOperatorSlider READ combineOperatorSlider WRITE
                   setCombineOperatorSlider)
    Q_PROPERTY(bool maskInverted READ isMaskInverted WRITE setMaskInverted)
    Q_PROPERTY(float shapeRotationAddConst READ shapeRotationAddConst WRITE setShapeRotationAddConst)
    Q_PROPERTY(float shapeRotationMultConst READ shapeRotationMultConst WRITE setShapeRotationMultConst)

public:
    // The size a controller without composite answers.
    static constexpr CGFloat kNullMaskWidth = 320;
    static constexpr CGFloat kNullMaskHeight = 240;

    Q_INVOKABLE explicit NSUIMaskController(QWidget *parent = nullptr);
    ~NSUIMaskController() override;

    // The shared null composite: never constructed, shared by every controller without one.
    static CoreGraphics::CompositeMask &sharedNullCompositeMask();
    // The colour of the preview's border: (0.25, 0.25, 0.25, 0.75).
    static const CGFloat *previewBorderColor();

    // The composite the sliders drive: the shared null composite here.
    virtual CoreGraphics::CompositeMask *compositeMask();
    bool isPrivateNullContext();
    // Reports and answers false for the null composite; else whether the composite has a
    // size, a context and pixel memory.
    bool isContextConstructed();
    // 320 x 240 for the null composite, else the composite's size.
    CGSize maskDimensions();
    // False for the null composite. Otherwise re-makes the composite at the size and
    // rebuilds it; on success the dirty flags are cleared.
    bool setMaskDimensions(CGSize size);

    int currentShapeType() const;
    int currentScreenType() const;
    bool hasEitherMaskEnabled() const;
    // The angle slider's value (0 without slider) x the mult constant + the add constant.
    float shapeAngleDegrees() const;
    void setQuickDrawMaskDefaults();
    void setCoreGraphicsMaskDefaults();
    float shapeRotationAddConst() const { return _ShapeRotationAddConst; }
    void setShapeRotationAddConst(float value) { _ShapeRotationAddConst = value; }
    float shapeRotationMultConst() const { return _ShapeRotationMultConst; }
    void setShapeRotationMultConst(float value) { _ShapeRotationMultConst = value; }

    bool isMaskInverted() const { return _MaskInverted; }
    void setMaskInverted(bool inverted) { _MaskInverted = inverted; }

    void setMaskDirty(bool dirty);
    void setMaskShapeDirty(bool dirty) { _MaskShapeDirty = dirty; }
    void setMaskScreenDirty(bool dirty) { _MaskScreenDirty = dirty; }
    void setMaskOperatorDirty(bool dirty) { _MaskOperatorDirty = dirty; }
    // The change tests: the flag, or a slider reading that differs from the composite. On a
    // composite that is not constructed they report and answer the flag alone.
    bool isMaskShapeDirty();
    bool isMaskScreenDirty();
    // The opacities and the operator (the operator flag alone does not count).
    bool isMaskOperatorDirty();
    bool isMaskDirty();

    // Writes the changed layers (all with force) into the composite, repaints them and
    // merges; true when it merged. Reports and answers false without a constructed composite.
    bool updateMaskContext(bool force);
    // updateMaskContext(false), announcing a merge with onMaskContextChanged.
    void updateMaskContext();
    void onMaskContextChanged();

    // The slider actions.
    Q_INVOKABLE void maskShapeChanged(QObject *sender);
    Q_INVOKABLE void maskShapeAngleChanged(QObject *sender);
    Q_INVOKABLE void maskScreenChanged(QObject *sender);
    Q_INVOKABLE void maskCombinerChanged(QObject *sender);
    // Lends the slider the big controls while the user moves it: the big dial for a slider
    // whose "sliderType" property is 1 (circular), the big linear slider panel otherwise.
    // Nothing when the shared control is not loaded.
    Q_INVOKABLE void attachSliderControl(QObject *sender);

    // Operator 0, opacities 1, types 0, angles 0, shape parameters 0 and 1 and the three
    // screen parameters 0.5 (shape parameters 2 and 3 keep their values); then all dirty and
    // updateMaskContext.
    Q_INVOKABLE void maskControlsReset(QObject *sender);
    Q_INVOKABLE void resetBoxControls(QObject *sender);
    Q_INVOKABLE void resetAllControls(QObject *sender);

    // The reset box's set-up; a mult constant of 0 becomes 1; the type sliders get their
    // tick marks and maxima.
    void awakeFromNib() override;

    // Applies pending changes, then draws the composite into the rect as a clipped white
    // fill over black, with a 1-point border. Nothing without a constructed composite.
    void drawPreview(CGContextRef context, CGRect rect);

    // The mask's bookmark settings into the dictionary: prefix + "refines" = "defaults", the
    // two types, and the mapping's screen / shape / operator parameters (each when its layer
    // is on, or all of them with includeAllParameters).
    void addControlParamsForPrefix(const ParamMapping &mapping, QVariantMap &settings, const QString &namePrefix,
                                   bool includeAllParameters);

    NSUIContextMaskShapeTypeSlider *shapeTypeSlider() const { return _MaskShapeTypeSlider.data(); }
    NSSlider *shapeAngleSlider() const { return _MaskShapeAngleSlider.data(); }
    NSSlider *shapeParam0Slider() const { return _MaskShapeParam0Slider.data(); }
    NSSlider *shapeParam1Slider() const { return _MaskShapeParam1Slider.data(); }
    NSSlider *shapeParam2Slider() const { return _MaskShapeParam2Slider.data(); }
    NSSlider *shapeParam3Slider() const { return _MaskShapeParam3Slider.data(); }
    NSSlider *shapeOpacitySlider() const { return _MaskShapeOpacitySlider.data(); }
    NSUIContextMaskScreenTypeSlider *screenTypeSlider() const { return _MaskScreenTypeSlider.data(); }
    NSSlider *screenAngleSlider() const { return _MaskScreenAngleSlider.data(); }
    NSSlider *screenParam0Slider() const { return _MaskScreenParam0Slider.data(); }
    NSSlider *screenParam1Slider() const { return _MaskScreenParam1Slider.data(); }
    NSSlider *screenParam2Slider() const { return _MaskScreenParam2Slider.data(); }
    NSSlider *screenOpacitySlider() const { return _MaskScreenOpacitySlider.data(); }
    NSUIContextMaskOperatorTypeSlider *combineOperatorSlider() const { return _MaskCombineOperatorSlider.data(); }

    void setShapeTypeSlider(NSUIContextMaskShapeTypeSlider *slider) { _MaskShapeTypeSlider = slider; }
    void setShapeAngleSlider(NSSlider *slider) { _MaskShapeAngleSlider = slider; }
    void setShapeParam0Slider(NSSlider *slider) { _MaskShapeParam0Slider = slider; }
    void setShapeParam1Slider(NSSlider *slider) { _MaskShapeParam1Slider = slider; }
    void setShapeParam2Slider(NSSlider *slider) { _MaskShapeParam2Slider = slider; }
    void setShapeParam3Slider(NSSlider *slider) { _MaskShapeParam3Slider = slider; }
    void setShapeOpacitySlider(NSSlider *slider) { _MaskShapeOpacitySlider = slider; }
    void setScreenTypeSlider(NSUIContextMaskScreenTypeSlider *slider) { _MaskScreenTypeSlider = slider; }
    void setScreenAngleSlider(NSSlider *slider) { _MaskScreenAngleSlider = slider; }
    void setScreenParam0Slider(NSSlider *slider) { _MaskScreenParam0Slider = slider; }
    void setScreenParam1Slider(NSSlider *slider) { _MaskScreenParam1Slider = slider; }
    void setScreenParam2Slider(NSSlider *slider) { _MaskScreenParam2Slider = slider; }
    void setScreenOpacitySlider(NSSlider *slider) { _MaskScreenOpacitySlider = slider; }
    void setCombineOperatorSlider(NSUIContextMaskOperatorTypeSlider *slider) { _MaskCombineOperatorSlider = slider; }

    // The slider readings as layer settings: the shape's type, four parameters and angle; the
    // screen's type, three parameters (the fourth 0) and raw angle.
    NSUIMaskLayerSettings shapeSettingsFromSliders() const;
    NSUIMaskLayerSettings screenSettingsFromSliders() const;
    float shapeOpacityFromSlider() const;
    float screenOpacityFromSlider() const;

private:
    QPointer<NSUIContextMaskShapeTypeSlider> _MaskShapeTypeSlider;
    QPointer<NSSlider> _MaskShapeAngleSlider;
    QPointer<NSSlider> _MaskShapeParam0Slider;
    QPointer<NSSlider> _MaskShapeParam1Slider;
    QPointer<NSSlider> _MaskShapeParam2Slider;
    QPointer<NSSlider> _MaskShapeParam3Slider;
    QPointer<NSSlider> _MaskShapeOpacitySlider;
    QPointer<NSUIContextMaskScreenTypeSlider> _MaskScreenTypeSlider;
    QPointer<NSSlider> _MaskScreenAngleSlider;
    QPointer<NSSlider> _MaskScreenParam0Slider;
    QPointer<NSSlider> _MaskScreenParam1Slider;
    QPointer<NSSlider> _MaskScreenParam2Slider;
    QPointer<NSSlider> _MaskScreenOpacitySlider;
    QPointer<NSUIContextMaskOperatorTypeSlider> _MaskCombineOperatorSlider;
    bool _MaskShapeDirty = false;
    bool _MaskScreenDirty = false;
    bool _MaskOperatorDirty = false;
    float _ShapeRotationAddConst = 0;
    float _ShapeRotationMultConst = 1;
    bool _MaskInverted = false;
};

bool import_NSUIMaskController();
