// NSUIClearSegmentedControl: a segmented control (NSSegmentedControl) that takes the clear
// control tint when its nib has been loaded (awakeFromNib). The control is its own cell: the
// tint is its "controlTint" property and is shown as the slider styles show theirs, through
// the palette's highlight (NSUISliderBase::highlightForTint).
#pragma once

#include <AppKit/NSSegmentedControl.h>

class NSUIClearSegmentedControl : public NSSegmentedControl {
    Q_OBJECT
    Q_PROPERTY(int controlTint READ controlTint WRITE setControlTint)

public:
    Q_INVOKABLE explicit NSUIClearSegmentedControl(QWidget *parent = nullptr);
    ~NSUIClearSegmentedControl() override;

    // The clear tint (7).
    Q_INVOKABLE void awakeFromNib();

    int controlTint() const { return mControlTint; }
    void setControlTint(int tint);

private:
    int mControlTint = 0;
};

bool import_NSUIClearSegmentedControl();
