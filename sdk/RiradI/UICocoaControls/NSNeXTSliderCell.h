// NSNeXTSliderCell: the cell of the NeXT-look slider (NSNeXTSlider.h), drawn with Core Graphics
// from the built-in pictures (NSImage_NSNextRetinaImage.h): a bar of the dark dither colour with a
// black line round it and a bevel inside (dark along the top and left, light along the bottom
// and right), carrying its value as a label on a grey capsule, and a grey bevelled knob.
//
// Drawing goes into the current graphics context in the coordinates of a flipped view (y down),
// as the slider sets it up; nothing is drawn without a current context.
//
// The label: the value formatted with outletLabelFormat ("%1.2lf" when empty), or the
// delegate's description of the value when it gives one. A format is one printf conversion
// of a double (f, e, g or a, with flags, width and precision up to 64, an optional l) among
// literal text and "%%"; any other format is reported and "%1.2lf" is used.
#pragma once

#include "NSSliderCell_Labeling.h"

#include <AppKit/NSSliderCell.h>

#include <CoreGraphics/CoreGraphics.h>

#include <QPointer>
#include <QString>
#include <QVariant>

#include <memory>
#include <mutex>

class NSNeXTSliderCell : public NSSliderCell {
    Q_OBJECT
    Q_PROPERTY(QObject *delegate READ delegate WRITE setDelegate)
    Q_PROPERTY(QString outletLabelFormat READ outletLabelFormat WRITE setOutletLabelFormat)

public:
    static constexpr const char *kDefaultLabelFormat = "%1.2lf";

    NSNeXTSliderCell();
    // initWithCopyOfSliderCell: the range, target and action of the cell, and its label format
    // when it is a NeXT cell; not its value.
    explicit NSNeXTSliderCell(const NSSliderCell &cell);
    ~NSNeXTSliderCell() override;
    static std::shared_ptr<NSNeXTSliderCell> sliderCellWithCopyOfSliderCell(const NSSliderCell &cell);

    // Not retained (an outlet); answers descriptions when it is a protocol_NSUIControlCellDelegate.
    QObject *delegate() const { return mDelegate.data(); }
    void setDelegate(QObject *delegate) { mDelegate = delegate; }
    // Guarded: any thread.
    QString outletLabelFormat() const;
    void setOutletLabelFormat(const QString &format);

    static double horizontalImageTextSize() { return 11.0; }

    // One tracking step: the view shows the new state.
    bool continueTracking(QWidget *controlView);

    // The whole cell in the frame: the bar over the frame, the knob in it (flipped coordinates).
    void drawCell(CGRect frame, QWidget *controlView);
    // The knob picture in the knob rectangle.
    void drawKnob(CGRect knobRect) const;
    // The bar with its label; `flipped` says whether the context's y runs down. The label is
    // drawn at the scale of the control view's screen and turned by 90 degrees on a bar higher
    // than wide.
    void drawBarInside(CGRect rect, bool flipped, QWidget *controlView);
    // The bevel inside the bar: four lines 0.5 wide.
    static void drawBarBackgroundInside(CGRect rect);

    // The label of a value (see above).
    QString descriptiveSelfLabelWithFormat(const QString &format, const QVariant &value);
    // A new picture of the label on its capsule, of the size of the rectangle laid horizontally.
    std::shared_ptr<NSImage> horizontalImageWithText(const QString &text, CGRect rect, double scale = 1.0) const;

    // The value as a double formatted with the format, or null (a QString() that isNull) when
    // the format is not one double conversion (see above).
    static QString formatDouble(const QString &format, double value);

private:
    QPointer<QObject> mDelegate;
    mutable std::mutex mFormatLock;
    QString mOutletLabelFormat;
};

bool import_NSNeXTSliderCell();
