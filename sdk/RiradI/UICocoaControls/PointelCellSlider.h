// PointelCellSlider: a slider carrying small button cells at its start (the left end when
// horizontal, the bottom when vertical), drawn and clicked inside its own bounds through the
// cell attachments (UICocoaViews/NSView_CellAttachments.h); the track is shortened to leave
// room for them.
//
// The slider draws with the Qt style: the track's rectangle (sliderCellBounds) is the style
// option's rectangle, so the groove, the knob and the mouse's mapping to values all use the
// shortened track. Rectangles here are in Qt's coordinates (y down); the attachments keep
// their frames y up, as the kit does.
//
// The cells are laid out in the order of addition for the orientation the slider has when it
// draws or is clicked, so a nib that sets the orientation after construction gets a vertical
// layout too.
#pragma once

#include "PointelBaseSlider.h"

#include <UICocoaViews/NSView_CellAttachments.h>

#include <CoreGraphics/CGGeometry.h>

class QStyleOptionSlider;

class PointelCellSlider : public PointelBaseSlider {
    Q_OBJECT

public:
    explicit PointelCellSlider(QWidget *parent = nullptr);
    ~PointelCellSlider() override;

    bool isVerticalSlider() const { return orientation() == Qt::Vertical; }

    // The room the cells take along the slider: x the sum of their widths when horizontal, y
    // the sum of their heights when vertical; (0, 0) without cells.
    CGPoint origin() const;

    // The track's part of a rectangle: horizontal, x moves right by origin.x + 2 and the width
    // shrinks as much; vertical, the height shrinks by origin.y (the cells sit below).
    CGRect sliderCellRect(CGRect rect) const;
    CGRect sliderCellBounds() const;
    CGRect sliderCellFrame() const;
    // The bounds; vertical, the height is origin.y and x and y move by -1.
    CGRect buttonCellBounds() const;

    // Adds the cell at the next free place along the slider and returns it; its control view
    // becomes the slider. A null cell is refused (reported).
    std::shared_ptr<NSCell> addButtonCell(std::shared_ptr<NSCell> cell);
    // A momentary push-in picture cell (buttonCellType) whose target is the slider.
    std::shared_ptr<NSCell> addPushButton(std::shared_ptr<NSImage> upImage, std::shared_ptr<NSImage> downImage,
                                          const QByteArray &action);
    std::shared_ptr<NSCell> addPushButton(std::shared_ptr<NSImage> upImage, const QByteArray &action);

    // Lays the cells out again and repaints the track.
    void recalculateSliderCell();

    const NSViewCellAttachments &attachments() const { return _attachments; }

protected:
    void initStyleOption(QStyleOptionSlider *option) const override;
    void paintEvent(QPaintEvent *event) override;
    // A press on a cell goes to the cell (and its move and release after it); anywhere else
    // the slider tracks as any slider.
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    // Frames along the slider from its start (y up, each cell at its own size).
    void layoutButtonCells();

    NSViewCellAttachments _attachments;
};

bool import_PointelCellSlider();
