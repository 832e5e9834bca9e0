// NSUIColorMenuViewNibbler: the colour wheel as the view of a menu item. Its nib
// ("NSUIColorMenuViewNibbler") holds an NSUIColorWheelViewNibbler as nibblerView; its
// controller (nibblerController, colorViewController) is an NSUIColorMenuViewController that
// puts the view into the menu item and serves the wheel's preview thumbnail.
//
// A host may set the controller before the nib loads, with its menu item outlet (a
// QWidgetAction: the Qt menu item that can show a view) and any other outlet; what is not set
// is made or filled here when the nib has loaded: the controller, its menu nibbler (this
// one), its wheel nibbler (the nib's) and its hosted view (this one). The controller then
// gets awakeFromNib, which puts the view into the menu item when it has one. A host that sets
// the menu item later sends the controller awakeFromNib itself.
//
// The wheel's notices (colorWheelControllerDidChange) reach this nibbler through the wheel
// nibbler, and pass on to this nibbler's delegate when it answers them.
#pragma once

#include <UICocoaViews/NSUIViewNibbler.h>

class NSUIColorMenuViewController;
Q_MOC_INCLUDE(<UICocoaColor/NSUIColorMenuViewController.h>)

class NSUIColorMenuViewNibbler : public NSUIViewNibbler {
    Q_OBJECT
    Q_PROPERTY(bool showPreviewThumbnailImage READ showPreviewThumbnailImage WRITE setShowPreviewThumbnailImage NOTIFY
                   showPreviewThumbnailImageChanged)
    Q_PROPERTY(NSUIColorMenuViewController *colorViewController READ colorViewController NOTIFY nibblerControllerChanged)

public:
    Q_INVOKABLE explicit NSUIColorMenuViewNibbler(QWidget *parent = nullptr);
    ~NSUIColorMenuViewNibbler() override;

    bool isOpaque() const { return false; }

    // The size the wheel has in the nib (a menu lays its item's view out at its size hint);
    // QWidget's before the nib has loaded.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Whether the menu shows the wheel's preview thumbnail; off at first.
    bool showPreviewThumbnailImage() const { return mShowPreviewThumbnailImage; }
    void setShowPreviewThumbnailImage(bool show);

    // The nib's controller.
    NSUIColorMenuViewController *colorViewController() const;

    void awakeFromNibbler() override;

    // Forwards to the delegate when it answers.
    Q_INVOKABLE void colorWheelControllerDidChange(QObject *controller);

signals:
    void showPreviewThumbnailImageChanged();

private:
    bool mShowPreviewThumbnailImage = false;
    QSize mNibViewSize;
    QSize mNibViewMinimumSize;
};

bool import_NSUIColorMenuViewNibbler();
