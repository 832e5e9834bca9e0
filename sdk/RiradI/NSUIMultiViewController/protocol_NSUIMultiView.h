// The protocols of multi-view switching, as abstract classes. An object conforms when its class
// derives from the protocol's class (so a conforming QObject is found with dynamic_cast).
//
// Views and controls are QObjects (the views QWidgets); a null QString is a nil title.
#pragma once

#include <AppKit/NSImage.h>

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

// A client view of a multi-view controller.
class NSUIMultiViewClientProtocol {
public:
    virtual ~NSUIMultiViewClientProtocol() = default;
    virtual std::shared_ptr<NSImage> multiViewIconImage() const = 0;
    virtual QString multiViewTitle() const = 0;
    virtual uint multiViewID() const = 0;
    virtual QString localizedMultiViewTitle() const { return multiViewTitle(); }
};

class NSUIMultiViewControllerProtocol {
public:
    virtual ~NSUIMultiViewControllerProtocol() = default;
    virtual QList<QWidget *> switchingMultiViewList() const = 0;
    virtual void setSelectedMultiView(QWidget *view) = 0;
    virtual QWidget *selectedMultiView() const = 0;
    virtual void registerMultiViewClient(QWidget *view) = 0;
};

// What a switching control asks of its delegate, the host.
class NSUIMultiViewHostProtocol : public NSUIMultiViewControllerProtocol {
public:
    virtual QStringList switchingMultiViewTitleList() const = 0;
    virtual void setSelectedMultiViewTitle(const QString &title) = 0;
    virtual QString selectedMultiViewTitle() const = 0;
    virtual bool addMultiView(QWidget *view, bool selectView) = 0;
    virtual bool selectViewWithMultiViewTitle(const QString &title) = 0;
    virtual QWidget *multiViewWithTitle(const QString &title) const = 0;
    // The control's selection changed; a host that does not follow its control ignores it.
    virtual void multiViewSwitchingControlSelectionChanged(QObject *control) { (void)control; }
};

// A switching control: lists the host's titles and selects one.
class NSUIMultiViewSwitchingControlProtocol {
public:
    virtual ~NSUIMultiViewSwitchingControlProtocol() = default;
    virtual void setSelectedMultiViewTitle(const QString &title) = 0;
    virtual QString selectedMultiViewTitle() const = 0;
    // The argument is the title to show selected; controls may ignore it.
    virtual void refreshMultiViewTitlesWithSelection(const QString &title) = 0;
};

// The delegate of a multi-view controller, told of every change of the shown view.
class NSUIMultiViewControllerDelegate {
public:
    virtual ~NSUIMultiViewControllerDelegate() = default;
    virtual void multiViewController(QObject *controller, QWidget *selectionChanged) = 0;
};

bool import_protocol_NSUIMultiView();
