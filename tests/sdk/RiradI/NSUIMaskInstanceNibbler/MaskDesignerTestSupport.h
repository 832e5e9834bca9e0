// A mask controller wired as the panel's nib wires it: every slider made in code, with the
// ranges and actions of the nib, and a target that counts the merges it is told of.
#pragma once

#include <NSUIMaskInstanceNibbler/NSUIMaskController.h>
#include <NSUIMaskInstanceNibbler/NSUIMaskInstanceNibbler.h>

#include <QObject>

#include <vector>

#include "sdk/RiradI/RiradITestApplication.h"

namespace mask_test {

// Counts maskContextChanged: and remembers the sender.
class ChangeCounter : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void maskContextChanged(QObject *sender) {
        ++count;
        last = sender;
    }
    int count = 0;
    QObject *last = nullptr;
};

inline NSSlider *AddSlider(NSUIMaskController &controller, NSSlider *slider, const char *action, double maximum) {
    slider->setParent(&controller);
    slider->setMaxValue(maximum);
    slider->setTarget(&controller);
    slider->setAction(action);
    return slider;
}

// Makes the fourteen sliders (angles 0 ... 360, parameters and opacities 0 ... 1), connects
// them and wakes the controller.
inline void WireSliders(NSUIMaskController &c) {
    c.setShapeTypeSlider(static_cast<NSUIContextMaskShapeTypeSlider *>(
        AddSlider(c, new NSUIContextMaskShapeTypeSlider, "maskShapeChanged:", 1)));
    c.setShapeAngleSlider(AddSlider(c, new NSSlider, "maskShapeAngleChanged:", 360));
    c.setShapeParam0Slider(AddSlider(c, new NSSlider, "maskShapeChanged:", 1));
    c.setShapeParam1Slider(AddSlider(c, new NSSlider, "maskShapeChanged:", 1));
    c.setShapeParam2Slider(AddSlider(c, new NSSlider, "maskShapeChanged:", 1));
    c.setShapeParam3Slider(AddSlider(c, new NSSlider, "maskShapeChanged:", 1));
    c.setShapeOpacitySlider(AddSlider(c, new NSSlider, "maskCombinerChanged:", 1));
    c.setScreenTypeSlider(static_cast<NSUIContextMaskScreenTypeSlider *>(
        AddSlider(c, new NSUIContextMaskScreenTypeSlider, "maskScreenChanged:", 1)));
    c.setScreenAngleSlider(AddSlider(c, new NSSlider, "maskScreenChanged:", 360));
    c.setScreenParam0Slider(AddSlider(c, new NSSlider, "maskScreenChanged:", 1));
    c.setScreenParam1Slider(AddSlider(c, new NSSlider, "maskScreenChanged:", 1));
    c.setScreenParam2Slider(AddSlider(c, new NSSlider, "maskScreenChanged:", 1));
    c.setScreenOpacitySlider(AddSlider(c, new NSSlider, "maskCombinerChanged:", 1));
    c.setCombineOperatorSlider(static_cast<NSUIContextMaskOperatorTypeSlider *>(
        AddSlider(c, new NSUIContextMaskOperatorTypeSlider, "maskCombinerChanged:", 1)));
    c.awakeFromNib();
}

// What the user does: the value, then the slider's action.
inline void Move(NSSlider *slider, double value) {
    slider->setDoubleValue(value);
    slider->sendAction();
}

// The composite's bytes.
inline std::vector<uint8_t> MaskBytes(NSUIMaskController &controller) {
    return NSUIMaskCompositeLayers::Bytes(*controller.compositeMask(), NSUIMaskCompositeLayers::Layer::Composite);
}

// A composite of the controller's size painted straight from the sliders' readings, as the
// controller must have painted its own.
inline std::vector<uint8_t> ExpectedBytes(NSUIMaskController &controller) {
    auto mask = NSUIMaskCompositeLayers::Create();
    NSUIMaskCompositeLayers::SetDimensions(*mask, controller.maskDimensions());
    NSUIMaskCompositeLayers::RepaintShape(*mask, controller.shapeSettingsFromSliders());
    NSUIMaskCompositeLayers::RepaintScreen(*mask, controller.screenSettingsFromSliders());
    NSUIMaskCompositeLayers::Merge(*mask, controller.shapeOpacityFromSlider(), controller.screenOpacityFromSlider(),
                                   controller.combineOperatorSlider()->intValue(), controller.isMaskInverted());
    return NSUIMaskCompositeLayers::Bytes(*mask, NSUIMaskCompositeLayers::Layer::Composite);
}

}  // namespace mask_test
