// NSUISliderBase: a slider that acts on the first click in an inactive window and fixes its
// control tint whichever way it is made (in code or by the nib loader: both run the
// constructor, which calls the class's own initCellAttributes).
//
// The slider draws itself with the Qt style as a standard control, so it is its own cell: the
// control tint is a property of the slider ("controlTint", reached by key path) and is shown
// through the palette's highlight (the filled part of the groove): blue a blue highlight,
// graphite a grey one, clear a transparent one; the default tint keeps the style's own.
#pragma once

#include "NSSlider.h"

#include <QPalette>

enum NSControlTint : int {
    NSDefaultControlTint = 0,
    NSBlueControlTint = 1,
    NSGraphiteControlTint = 6,
    NSClearControlTint = 7,
};

class NSUISliderBase : public NSSlider {
    Q_OBJECT
    Q_PROPERTY(int controlTint READ controlTint WRITE setControlTint)

public:
    explicit NSUISliderBase(QWidget *parent = nullptr);
    ~NSUISliderBase() override;

    // Hook for the styles: sets the cell's attributes and returns the slider. Nothing here.
    virtual NSUISliderBase *initCellAttributes() { return this; }

    // A click in an inactive window acts at once.
    virtual bool acceptsFirstMouse(QMouseEvent *event) const;

    int controlTint() const { return mControlTint; }
    void setControlTint(int tint);

    // The highlight colour that shows a tint (invalid for the default tint: the style's own).
    static QColor highlightForTint(int tint);

private:
    int mControlTint = NSDefaultControlTint;
    QPalette mStylePalette;
};

bool import_NSUISliderBase();
