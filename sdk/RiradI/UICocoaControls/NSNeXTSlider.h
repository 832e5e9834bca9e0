// NSNeXTSlider: a slider in the NeXT look (NSNeXTSliderCell.h), whose bar carries its value as
// a label. Higher than wide it is vertical (the maximum at the top), else horizontal.
//
// The slider keeps the value, range, target and action of NSSlider (normal values, key-value
// coding and the parameter mapping reach it as any slider); its cell, made with the slider
// whichever way it is made (in code or by the nib loader), draws it with Core Graphics in
// flipped coordinates and takes the range and value from the slider before each drawing. The
// mouse places the knob's centre under it, clamped to the bar; each step sets the value, sends
// the action and redraws.
#pragma once

#include "NSNeXTSliderCell.h"
#include "NSSlider.h"

#include <memory>
#include <mutex>

class NSNeXTSlider : public NSSlider {
    Q_OBJECT
    Q_PROPERTY(QString outletLabelFormat READ outletLabelFormat WRITE setOutletLabelFormat)
    Q_PROPERTY(QString cellLabelFormat READ cellLabelFormat WRITE setCellLabelFormat)

public:
    explicit NSNeXTSlider(QWidget *parent = nullptr);
    explicit NSNeXTSlider(Qt::Orientation orientation, QWidget *parent = nullptr);
    ~NSNeXTSlider() override;

    NSNeXTSliderCell *cell() const { return mCell.get(); }

    // Sets cellLabelFormat and gives the cell the same format.
    void setOutletLabelFormat(const QString &format);
    QString outletLabelFormat() const { return cellLabelFormat(); }
    // Guarded: any thread.
    QString cellLabelFormat() const;
    void setCellLabelFormat(const QString &format);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The value under a point of the slider (in its coordinates).
    double valueAtPoint(QPointF point) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void trackTo(QPointF point);
    void syncCell() const;

    std::shared_ptr<NSNeXTSliderCell> mCell;
    mutable std::mutex mFormatLock;
    QString mCellLabelFormat;
    bool mTracking = false;
};

bool import_NSNeXTSlider();
