// UFColorWheelController: the colour wheel's model and geometry.
//
// The wheel is cut into slices in angle order (at least three). The user selects one slice as
// the dominant hue; the hue combination (the scheme) derives a secondary and a tertiary hue
// from it, and the contrast and grey level shade the colours. The three colours go to the
// shared colour scheme (outletColorSchemeController). The hues are kept as marks (angles in
// radians, index 0 dominant, 1 secondary, 2 tertiary) that the wheel draws as dots.
//
// Changing the selected slice or the number of slices queues a recomputation on the main
// queue: the colours follow one turn of the event loop later, and the delegate is told one
// turn after that.
//
// Delegates (the wheel view, the nibblers) answer
//     Q_INVOKABLE void colorWheelControllerDidChange(QObject *controller)
#pragma once

#include "UFColorWheelHueSlice.h"

#include <Foundation/NSObject.h>

#include <CoreGraphics/CGContext.h>

#include <QColor>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <vector>

class UFColorSchemeController;
Q_MOC_INCLUDE(<UICocoaColor/UFColorSchemeController.h>)

class UFColorWheelController : public NSObject {
    Q_OBJECT
    Q_PROPERTY(QObject *delegate READ delegate WRITE setDelegate)
    Q_PROPERTY(UFColorSchemeController *outletColorSchemeController READ outletColorSchemeController WRITE
                   setOutletColorSchemeController)
    Q_PROPERTY(uint hueCombination READ hueCombination WRITE setHueCombination NOTIFY hueCombinationChanged)
    Q_PROPERTY(uint numberOfSlices READ numberOfSlices WRITE setNumberOfSlices NOTIFY hueSlicesChanged)
    Q_PROPERTY(uint selectedSliceIndex READ selectedSliceIndex WRITE setSelectedSliceIndex NOTIFY
                   selectedSliceIndexChanged)
    Q_PROPERTY(float colorSchemeContrastNormalValue READ colorSchemeContrastNormalValue WRITE
                   setColorSchemeContrastNormalValue NOTIFY colorSchemeContrastNormalValueChanged)
    Q_PROPERTY(float colorSchemeGreyLevelNormalValue READ colorSchemeGreyLevelNormalValue WRITE
                   setColorSchemeGreyLevelNormalValue NOTIFY colorSchemeGreyLevelNormalValueChanged)
    Q_PROPERTY(uint colorChangedCount READ colorChangedCount WRITE setColorChangedCount NOTIFY colorChangedCountChanged)
    Q_PROPERTY(uint colorScheme READ colorScheme WRITE setColorScheme NOTIFY hueCombinationChanged)
    Q_PROPERTY(QString schemeSummary READ schemeSummary NOTIFY hueCombinationChanged)
    Q_PROPERTY(bool needsDesaturatedColorWheel READ needsDesaturatedColorWheel NOTIFY hueCombinationChanged)
    Q_PROPERTY(bool needsBlackWhiteGreyControl READ needsBlackWhiteGreyControl NOTIFY hueCombinationChanged)
    Q_PROPERTY(bool needsColorContrastControl READ needsColorContrastControl NOTIFY hueCombinationChanged)

public:
    // The hue combinations.
    enum : uint32_t {
        kHueCombinationAnalogous = 0,
        kHueCombinationTriadic = 1,
        kHueCombinationComplementary = 2,
        kHueCombinationSplitComplementary = 3,
        kHueCombinationBlackAndWhite = 4,
    };
    // The selected index of no slice.
    static constexpr uint32_t kNoSelectedSlice = 0xFFFFFFFFu;
    // A third of a turn as the float the schemes use.
    static constexpr float kThirdOfATurn = 2.0943952f;

    // Six slices, none selected, analogous scheme, contrast and grey 0.5, three zero marks.
    Q_INVOKABLE explicit UFColorWheelController(QObject *parent = nullptr);
    ~UFColorWheelController() override;

    QObject *delegate() const { return mDelegate.data(); }
    void setDelegate(QObject *delegate) { mDelegate = delegate; }
    UFColorSchemeController *outletColorSchemeController() const;
    void setOutletColorSchemeController(UFColorSchemeController *controller);

    // Slices. N below 3 gives 3. The selected index stays as it is (past the end it selects
    // nothing).
    void setNumberOfSlices(uint n);
    uint numberOfSlices() const { return static_cast<uint>(mHueSlices.size()); }
    float hueSliceWidthRadians() const;
    const std::vector<UFColorWheelHueSlice> &hueSlices() const { return mHueSlices; }
    void setHueSlices(std::vector<UFColorWheelHueSlice> slices);

    // Selection. The slice is null for none and for an index past the end; its centre angle
    // is then 0.
    void setSelectedSliceIndex(uint index);
    uint selectedSliceIndex() const { return mSelectedSliceIndex; }
    const UFColorWheelHueSlice *selectedSlice() const;
    float selectedColorHueAngleRadians() const;

    // Recomputes the colours of the scheme, tells the delegate (queued) and counts the change.
    Q_INVOKABLE void actionColorWheelChanged(QObject *sender = nullptr);

    // The scheme updates.
    void updateSelectedDominantColorHue();
    void updateSecondaryColorAngleRadians(float angle);
    void updateTertiaryColorAngleRadians(float angle);
    void updateAnalagousColorHueSelection();
    void updateTriadicColorHueSelection();
    void updateComplementaryColorHueSelection();
    void updateSplitComplementaryColorHueSelection();
    void updateBlackAndWhiteColorHueSelection();

    // Marks.
    const std::vector<float> &selectedHues() const { return mSelectedHues; }
    void setSelectedHues(std::vector<float> hues) { mSelectedHues = std::move(hues); }
    // Replaces mark 0, 1 or 2 when it exists; other indexes do nothing.
    void setCenterAngleRadians(float angle, uint index);
    // Three zero marks.
    void resetHueSelectionArray();

    // Colours.
    // The angle wrapped once into [0, 2π), over a turn.
    static float hueValueFromHueColorAngleRadians(float angle);
    float colorBrightness() const;
    float colorSaturation() const;
    QColor dominantHueColorWithHueNormalValue(float hue) const;
    QColor secondaryHueColorWithHueNormalValue(float hue) const;
    // In the black-and-white scheme a grey (saturation 0.01) whose brightness is the colour's
    // hue; otherwise the colour as it is.
    QColor transformColorBlackAndWhite(const QColor &color) const;
    // The grey of the grey level: the third colour of the two-colour schemes.
    QColor userSelectedHueComplementaryColorForTwoColorSchemes() const;

    // The scheme.
    uint hueCombination() const { return mHueCombination; }
    void setHueCombination(uint combination);
    // The colourizer's scheme, as parameter mapping reads and sets it (colorSchemeParam):
    // the hue combination; setting it also queues the recomputation of the colours.
    uint colorScheme() const { return hueCombination(); }
    void setColorScheme(uint scheme);
    QString schemeSummary() const;
    bool needsDesaturatedColorWheel() const;
    bool needsBlackWhiteGreyControl() const;
    bool needsColorContrastControl() const;
    QSet<QString> keyPathsForValuesAffectingValueForKey(const QString &key) const override;

    float colorSchemeContrastNormalValue() const { return mContrast; }
    void setColorSchemeContrastNormalValue(float value);
    float colorSchemeGreyLevelNormalValue() const { return mGreyLevel; }
    void setColorSchemeGreyLevelNormalValue(float value);
    uint colorChangedCount() const { return mColorChangedCount; }
    void setColorChangedCount(uint count);

    // Hit testing: the first slice, in order, that the polar point hits; kNoSelectedSlice
    // when none does.
    uint sliceIndexFromHitTestAtUnitPolarPoint(UFPolarPoint point) const;

    // Drawing into a Core Graphics context (y up): every slice filled with its colour (greys
    // in the black-and-white scheme), the selected one enlarged when chrome is drawn, and the
    // hue marks in black over a selection.
    void drawIntoDestinationRect(CGContextRef context, CGRect rect) const;
    void drawWithSelectionChrome(bool chrome, CGContextRef context, CGRect rect) const;
    // One round dot per mark, a third of the way out: the dominant one of radius 6.6666, the
    // others 3.3333.
    UFPath bezierPathForSelectedHuesWithinRect(CGRect rect) const;

signals:
    void hueCombinationChanged();
    void hueSlicesChanged();
    void selectedSliceIndexChanged();
    void colorSchemeContrastNormalValueChanged();
    void colorSchemeGreyLevelNormalValueChanged();
    void colorChangedCountChanged();

private:
    void queueColorWheelChanged();

    QPointer<QObject> mDelegate;
    QPointer<UFColorSchemeController> mColorScheme;
    std::vector<UFColorWheelHueSlice> mHueSlices;
    std::vector<float> mSelectedHues;
    uint32_t mHueCombination = kHueCombinationAnalogous;
    uint32_t mSelectedSliceIndex = kNoSelectedSlice;
    float mContrast = 0.5f;
    uint32_t mColorChangedCount = 0;
    float mGreyLevel = 0.5f;
};

bool import_UFColorWheelController();
