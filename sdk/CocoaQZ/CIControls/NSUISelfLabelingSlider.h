// The self-labelling slider: its cell draws, instead of the standard bar and knob, a faint
// lozenge carrying the label and the value as text ("<label>   <value, 2 decimals>\n", or the
// delegate's text for the value), and a drawn knob (NSUISelfLabelingSliderKnobImage: a grey
// ellipse shaded from black at the bottom to white at the top, with a white bar across).
//
// The slider's tooltip is the cell's label. A slider made by a nib with a plain slider cell
// gets a self-labelling copy of it at awakeFromNib (minimum, maximum, type, target, action,
// tag, control size, state, tick marks, value, enabled, highlighted).
//
// Drawing: the cell makes an image of the frame (sliderCellImage): the knob image at the knob
// rectangle (remade only when the knob's size changes, one pixel smaller than the knob) and
// the lozenge image with the text over the whole frame (turned by 90 degrees for a vertical
// slider, whose knob image is drawn unturned). The mouse drags the knob as on a plain slider;
// each step redraws.
#pragma once

#include "NUCIControlImage.h"

#include <AppKit/NSImage.h>
#include <AppKit/NSSliderCell.h>
#include <CoreGraphics/CGGeometry.h>
#include <UICocoaControls/NSSlider.h>
#include <UICocoaControls/protocol_NSUIControlCellDelegate.h>

#include <QColor>
#include <QString>
#include <QVariant>

#include <memory>

class NSUISelfLabelingSliderKnobImage : public NUCIControlImage {
public:
    // State 1: an ellipse into the mask, a vertical grey shading (0.0 at the bottom to 1.0 at
    // the top) through it, then a white bar of alpha 0.95, 0.275 of the height high, at 48.5 %
    // of the height, inset by 2 on the left and right. Other states: white at alpha 0.75.
    void drawInRect(CGRect rect, int state) override;
};

class NSUISelfLabelingSliderCell : public NSSliderCell {
    Q_OBJECT
public:
    NSUISelfLabelingSliderCell();
    ~NSUISelfLabelingSliderCell() override;

    static std::shared_ptr<NSUISelfLabelingSliderCell> sliderCellWithCopyOfSliderCell(const NSSliderCell &cell);
    // Copies the attributes of another slider cell.
    void copyAttributesFrom(const NSSliderCell &cell);
    // Lozenge grey 0.75, alpha 0.125, margin 1.0, light grey text, a 24 x 24 knob image.
    void setDefaultAttributes();

    // The delegate (not owned) that may supply the text.
    protocol_NSUIControlCellDelegate *delegate() const { return mDelegate; }
    void setDelegate(protocol_NSUIControlCellDelegate *delegate) { mDelegate = delegate; }
    QString selfLabel() const { return mSelfLabel; }
    void setSelfLabel(const QString &label) { mSelfLabel = label; }
    QColor selfLabelTextColor() const { return mSelfLabelTextColor; }
    void setSelfLabelTextColor(const QColor &color) { mSelfLabelTextColor = color; }
    float lozengeGrey() const { return mLozengeGrey; }
    void setLozengeGrey(float grey) { mLozengeGrey = grey; }
    float lozengeAlpha() const { return mLozengeAlpha; }
    void setLozengeAlpha(float alpha) { mLozengeAlpha = alpha; }
    float lozengeMargin() const { return mLozengeMargin; }
    void setLozengeMargin(float margin) { mLozengeMargin = margin; }
    const std::shared_ptr<NSUISelfLabelingSliderKnobImage> &coolKnobImage() const { return mCoolKnobImage; }
    CGSize coolKnobImageSize() const { return mCoolKnobImageSize; }

    void createCoolKnobImageForSize(CGSize size);
    // Remakes the knob image when the knob's size changed.
    void updateKnobImageForKnobRect(CGRect knobRect, CGRect cellFrame);
    void drawKnobImage(const std::shared_ptr<NSImage> &image, CGRect knobRect, bool horizontal);
    // The label text: the delegate's text for the value, else "%@   %1.2f\n" with the label
    // (empty when none) and the value as a float (0.0 without a value).
    QString descriptiveSelfLabelWithString(const QString &label, const QVariant &value) const;
    // An image of the frame turned horizontal: the lozenge and the text.
    std::shared_ptr<NSImage> horizontalImageWithText(const QString &text, CGRect frame) const;
    // The whole cell drawn into a new image of the frame (in points, at `scale` pixels each).
    std::shared_ptr<NSImage> sliderCellImage(CGRect frame, bool flipped, double scale = 1.0);

private:
    protocol_NSUIControlCellDelegate *mDelegate = nullptr;
    QString mSelfLabel;
    QColor mSelfLabelTextColor;
    float mLozengeGrey = 0.75f, mLozengeAlpha = 0.125f, mLozengeMargin = 1.0f;
    std::shared_ptr<NSUISelfLabelingSliderKnobImage> mCoolKnobImage;
    CGSize mCoolKnobImageSize{0, 0};
};

class NSUISelfLabelingSlider : public NSSlider {
    Q_OBJECT
public:
    explicit NSUISelfLabelingSlider(QWidget *parent = nullptr);
    explicit NSUISelfLabelingSlider(Qt::Orientation orientation, QWidget *parent = nullptr);
    ~NSUISelfLabelingSlider() override;

    NSUISelfLabelingSliderCell *cell() const { return mCell.get(); }
    // A cell a nib gave: a plain slider cell is replaced by a self-labelling copy.
    void setCell(const std::shared_ptr<NSSliderCell> &cell);
    // Also the cell's label.
    void setToolTip(const QString &tip);
    void settooltip(const QString &tip) { setToolTip(tip); }
    QString tooltip() const { return toolTip(); }
    // Hook for subclasses: the cell's look; here the cell's defaults.
    virtual void setSliderCellProperties(NSUISelfLabelingSliderCell &cell);

    Q_INVOKABLE void awakeFromNib();
    double valueAtPoint(QPointF point) const;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void syncCell() const;
    void trackTo(QPointF point);

    std::shared_ptr<NSUISelfLabelingSliderCell> mCell;
    bool mPropertiesSet = false;
    bool mTracking = false;
};

bool import_NSUISelfLabelingSlider();
