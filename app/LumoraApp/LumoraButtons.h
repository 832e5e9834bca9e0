// The application's skinned buttons: the 70s hardware buttons with the application's
// constants. Every face shows its symbol at opacity 0.9 and no button shows its face through a
// Core Image filter (no glow); the square and LED faces put the symbol in the lower-left 0.8
// of the shape, the record face in its middle 0.9.
//
//   LumoraSquareButton    (NU70sHardwareSquareButton)              LumoraNOLEDButtonImage
//   LumoraLargeButton     (NU70sHardwareSquareButton)              LumoraLargeButtonImage
//   LumoraLEDButton       (NU70sHardwareSquareButtonWithGreenLED)  LumoraLEDButtonImage
//   LumoraRecordButton    (LumoraLEDButton)                        LumoraRecordButtonImage
//   LumoraRoundButton     (NU70sHardwareRoundButton)               LumoraRoundButtonImage
//   LumoraRoundPushButton (NUCIRoundButton)                        the round face
//
// Release decisions (one action per press, none for a release outside): the record button
// clicks on a release inside (the click sends the action; no separate target action); the
// round push button never clicks and sends its action on a release inside.
#pragma once

#include <CocoaQZ/CIControls/NUCIButton.h>

class LumoraNOLEDButtonImage : public NU70sHardwareButtonImage {
public:
    CGFloat backgroundImageOpacityForState(int) const override { return 0.9; }
    CIFilterRef filterWithDefaultsForState(int) const override { return nullptr; }
    // The base's rectangle (x, y, w, h) as (x, y, 0.8 w, 0.8 h).
    CGRect imageRectWithinBackgroundShapeRect(CGRect rect) const override;
};

class LumoraLargeButtonImage : public NU70sHardwareButtonImage {
public:
    CGFloat backgroundImageOpacityForState(int) const override { return 0.9; }
    CIFilterRef filterWithDefaultsForState(int) const override { return nullptr; }
};

class LumoraLEDButtonImage : public NU70sHardwareButtonImageWithGreenLED {
public:
    CGFloat backgroundImageOpacityForState(int) const override { return 0.9; }
    CIFilterRef filterWithDefaultsForState(int) const override { return nullptr; }
    CGRect imageRectWithinBackgroundShapeRect(CGRect rect) const override;
};

class LumoraRecordButtonImage : public NU70sHardwareRecordButtonImage {
public:
    CGFloat backgroundImageOpacityForState(int) const override { return 0.9; }
    CIFilterRef filterWithDefaultsForState(int) const override { return nullptr; }
    // The base's rectangle as (x + 0.05 w, y + 0.05 h, 0.9 w, 0.9 h).
    CGRect imageRectWithinBackgroundShapeRect(CGRect rect) const override;
};

class LumoraRoundButtonImage : public NU70sHardwareRoundButtonImage {
public:
    CGFloat backgroundImageOpacityForState(int) const override { return 0.9; }
    CIFilterRef filterWithDefaultsForState(int) const override { return nullptr; }
};

class LumoraSquareButton : public NU70sHardwareSquareButton {
    Q_OBJECT
public:
    using NU70sHardwareSquareButton::NU70sHardwareSquareButton;
    NUCIButtonImageClass buttonImageClass() const override { return &NUCIButtonImageClassOf<LumoraNOLEDButtonImage>; }
    CIFilterRef filterWithDefaultsForState(int) const override { return nullptr; }
};

class LumoraLargeButton : public NU70sHardwareSquareButton {
    Q_OBJECT
public:
    using NU70sHardwareSquareButton::NU70sHardwareSquareButton;
    NUCIButtonImageClass buttonImageClass() const override { return &NUCIButtonImageClassOf<LumoraLargeButtonImage>; }
    CIFilterRef filterWithDefaultsForState(int) const override { return nullptr; }
};

class LumoraLEDButton : public NU70sHardwareSquareButtonWithGreenLED {
    Q_OBJECT
public:
    using NU70sHardwareSquareButtonWithGreenLED::NU70sHardwareSquareButtonWithGreenLED;
    NUCIButtonImageClass buttonImageClass() const override { return &NUCIButtonImageClassOf<LumoraLEDButtonImage>; }
    CIFilterRef filterWithDefaultsForState(int) const override { return nullptr; }
};

class LumoraRecordButton : public LumoraLEDButton {
    Q_OBJECT
public:
    using LumoraLEDButton::LumoraLEDButton;
    NUCIButtonImageClass buttonImageClass() const override { return &NUCIButtonImageClassOf<LumoraRecordButtonImage>; }
    bool shouldMouseUpPerformClick(QPointF point) const override { return squishyShouldMouseUpPerformClick(point); }
    bool shouldMouseUpSendTargetAction(QPointF) const override { return false; }
};

class LumoraRoundButton : public NU70sHardwareRoundButton {
    Q_OBJECT
public:
    using NU70sHardwareRoundButton::NU70sHardwareRoundButton;
    NUCIButtonImageClass buttonImageClass() const override { return &NUCIButtonImageClassOf<LumoraRoundButtonImage>; }
    CIFilterRef filterWithDefaultsForState(int) const override { return nullptr; }
};

class LumoraRoundPushButton : public NUCIRoundButton {
    Q_OBJECT
public:
    using NUCIRoundButton::NUCIRoundButton;
    bool shouldMouseUpPerformClick(QPointF) const override { return false; }
};

bool import_LumoraButtons();
