// NSUIColorMenuViewController: puts the colour wheel's view into a menu item and serves the
// wheel's preview thumbnail as TIFF data.
//
// Outlets (not owned): the view the menu item shows, the menu item (a QWidgetAction, the Qt
// menu item that shows a view; it takes the view over as its default widget, as a menu item
// keeps its view), the wheel nibbler that draws the preview and the menu nibbler that holds the
// thumbnail flag. Usually the menu nibbler makes and fills this controller (see
// NSUIColorMenuViewNibbler.h).
//
// Both computed properties notify: showPreviewThumbnailImageChanged when the menu nibbler's
// flag changes; colorWheelPreviewImageDataChanged with it and whenever the wheel nibbler's
// preview changes (the wheel's colours are recomputed, its slices or its hue combination
// change), so that an observer redraws the thumbnail. Setting an outlet tells of both too.
#pragma once

#include <Foundation/NSObject.h>

#include <QByteArray>
#include <QPointer>
#include <QWidget>
#include <QWidgetAction>

class NSUIColorWheelViewNibbler;
class NSUIColorMenuViewNibbler;
Q_MOC_INCLUDE(<UICocoaColor/NSUIColorWheelViewNibbler.h>)
Q_MOC_INCLUDE(<UICocoaColor/NSUIColorMenuViewNibbler.h>)

class NSUIColorMenuViewController : public NSObject {
    Q_OBJECT
    Q_PROPERTY(QWidget *outletViewHostedInMenuItem READ outletViewHostedInMenuItem WRITE setOutletViewHostedInMenuItem)
    Q_PROPERTY(QWidgetAction *outletMenuItemHostsView READ outletMenuItemHostsView WRITE setOutletMenuItemHostsView)
    Q_PROPERTY(NSUIColorWheelViewNibbler *outletColorWheelViewNibbler READ outletColorWheelViewNibbler WRITE
                   setOutletColorWheelViewNibbler)
    Q_PROPERTY(NSUIColorMenuViewNibbler *outletColorMenuViewNibbler READ outletColorMenuViewNibbler WRITE
                   setOutletColorMenuViewNibbler)
    Q_PROPERTY(bool showPreviewThumbnailImage READ showPreviewThumbnailImage NOTIFY showPreviewThumbnailImageChanged)
    Q_PROPERTY(QByteArray colorWheelPreviewImageData READ colorWheelPreviewImageData NOTIFY
                   colorWheelPreviewImageDataChanged)

public:
    Q_INVOKABLE explicit NSUIColorMenuViewController(QObject *parent = nullptr);
    ~NSUIColorMenuViewController() override;

    QWidget *outletViewHostedInMenuItem() const { return mViewHostedInMenuItem.data(); }
    void setOutletViewHostedInMenuItem(QWidget *view) { mViewHostedInMenuItem = view; }
    QWidgetAction *outletMenuItemHostsView() const { return mMenuItemHostsView.data(); }
    void setOutletMenuItemHostsView(QWidgetAction *item) { mMenuItemHostsView = item; }
    NSUIColorWheelViewNibbler *outletColorWheelViewNibbler() const;
    void setOutletColorWheelViewNibbler(NSUIColorWheelViewNibbler *nibbler);
    NSUIColorMenuViewNibbler *outletColorMenuViewNibbler() const;
    void setOutletColorMenuViewNibbler(NSUIColorMenuViewNibbler *nibbler);

    // With both the view and the menu item set, the menu item shows the view: it becomes the
    // item's default widget, and the view the item showed before is deleted (Qt's rule). Menus
    // that hold the item already take it again at its place, so that they show the view.
    // Nothing happens while the menu item already shows the view, or while a menu shows the
    // item's present view (Qt keeps a view in use).
    Q_INVOKABLE void awakeFromNib();

    // The menu nibbler's flag; false without a menu nibbler.
    bool showPreviewThumbnailImage() const;
    // Empty unless the flag is set and the wheel nibbler gives a preview image; then that
    // image as TIFF bytes (empty too when it cannot be written).
    QByteArray colorWheelPreviewImageData() const;

signals:
    void showPreviewThumbnailImageChanged();
    void colorWheelPreviewImageDataChanged();

private:
    QPointer<QWidget> mViewHostedInMenuItem;
    QPointer<QWidgetAction> mMenuItemHostsView;
    QPointer<NSUIColorWheelViewNibbler> mColorWheelViewNibbler;
    QPointer<NSUIColorMenuViewNibbler> mColorMenuViewNibbler;
    QMetaObject::Connection mPreviewConnection;
    QMetaObject::Connection mFlagConnection;
};

bool import_NSUIColorMenuViewController();
