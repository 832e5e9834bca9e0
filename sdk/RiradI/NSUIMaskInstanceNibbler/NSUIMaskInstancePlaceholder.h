// NSUIMaskInstancePlaceholder: the slot of the mask designer that shows the shape page or the
// screen page, as the segmented control above it selects (segment 0 the shape, any other the
// screen). The segmented control is a QTabBar; the page not shown stays a hidden child of the
// placeholder, so both pages live as long as it does.
#pragma once

#include <QTabBar>

#include <UICocoaViews/NSUIViewPlaceholder.h>

#include <QPointer>


class NSUIMaskInstancePlaceholder : public NSUIViewPlaceholder {
    Q_OBJECT
    Q_PROPERTY(QTabBar *outletSelectedMask READ outletSelectedMask WRITE setOutletSelectedMask)
    Q_PROPERTY(QWidget *outletMaskViewShape READ outletMaskViewShape WRITE setOutletMaskViewShape)
    Q_PROPERTY(QWidget *outletMaskViewScreen READ outletMaskViewScreen WRITE setOutletMaskViewScreen)
    Q_PROPERTY(int selectedSegment READ selectedSegment WRITE setSelectedSegment)

public:
    Q_INVOKABLE explicit NSUIMaskInstancePlaceholder(QWidget *parent = nullptr);
    ~NSUIMaskInstancePlaceholder() override;

    QTabBar *outletSelectedMask() const { return _selectedMask.data(); }
    // Follows the control's selection from now on.
    void setOutletSelectedMask(QTabBar *control);
    QWidget *outletMaskViewShape() const { return _maskView_A.data(); }
    void setOutletMaskViewShape(QWidget *view) { _maskView_A = view; }
    QWidget *outletMaskViewScreen() const { return _maskView_B.data(); }
    void setOutletMaskViewScreen(QWidget *view) { _maskView_B = view; }

    // The control's selected segment (0 without control).
    int selectedSegment() const;
    // Selects the segment of the control and shows its page.
    void setSelectedSegment(int segment);

    // Takes the other page out and installs the selected one.
    Q_INVOKABLE void showHideMaskViews();
    // Selects segment 0 and shows (a control without segments gets "Shape" and "Screen").
    Q_INVOKABLE void awakeFromNib() override;
    Q_INVOKABLE void selectedMaskViewChanged(QObject *sender);

private:
    QPointer<QTabBar> _selectedMask;
    QPointer<QWidget> _maskView_A;
    QPointer<QWidget> _maskView_B;
};

bool import_NSUIMaskInstancePlaceholder();
