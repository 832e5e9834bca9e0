// NSNeXTContentView: the grey content view of the NeXT-look controls, with the colours they
// share.
#pragma once

#include <CoreGraphics/CoreGraphics.h>

#include <QBrush>
#include <QColor>
#include <QWidget>

class NSNeXTContentView : public QWidget {
    Q_OBJECT

public:
    explicit NSNeXTContentView(QWidget *parent = nullptr);
    ~NSNeXTContentView() override;

    // The platform's control colour (the palette's button colour).
    static QColor contentViewColor();
    // (0.6666667, 0.6666667, 0.6666667), opaque.
    static QColor sliderKnobColor();
    // The built-in picture "NSNeXTSliderBarColor" as a tiled brush at its size in points, or
    // contentViewColor without it.
    static QBrush sliderBarColor();
    // Fills the rectangle with sliderBarColor, the picture tiled from the rectangle's corner.
    static void fillWithSliderBarColor(CGContextRef context, CGRect rect);

    // Fills the dirty rectangle with contentViewColor.
    void drawRect(CGContextRef context, CGRect dirtyRect) const;

protected:
    void paintEvent(QPaintEvent *event) override;
};

bool import_NSNeXTContentView();
