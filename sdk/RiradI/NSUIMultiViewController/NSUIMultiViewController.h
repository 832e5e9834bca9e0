// NSUIMultiViewController: a multi-view controller whose client views register themselves (a
// client holder's outletMultiViewController outlet) and whose switching control (a pop-up or
// segmented control, outlet multiViewSwitchingControl) lists the titles and selects a view.
//
// Registered clients are added only on the main queue after awakeFromNib, in registration
// order, and the first registered client is shown. The control follows every change of the
// shown view; a change made in the control selects the view of its title.
#pragma once

#include <NSUIMultiViewController/NSUIMultiViewControllerBase.h>

#include <QList>
#include <QObject>
#include <QPointer>

class NSUIMultiViewController : public NSUIMultiViewControllerBase {
    Q_OBJECT
    Q_PROPERTY(QObject *multiViewSwitchingControl READ multiViewSwitchingControl WRITE setMultiViewSwitchingControl)

public:
    Q_INVOKABLE explicit NSUIMultiViewController(QObject *parent = nullptr);
    ~NSUIMultiViewController() override;

    QObject *multiViewSwitchingControl() const { return mSwitchingControl.data(); }
    void setMultiViewSwitchingControl(QObject *control) { mSwitchingControl = control; }
    // The registered clients still alive, in registration order.
    QList<QWidget *> registeredClients() const;

    // Remembers a client view (others are ignored); it is added at the awake block.
    void registerMultiViewClient(QWidget *view) override;
    // The dictionary with the placeholder's initial view; then, with clients registered, the
    // awake block is queued: the clients are added, the first selected, the control and the
    // delegate told.
    void awakeFromNib() override;

    void multiViewClientListChanged(const QString &title) override;
    void setSelectedMultiViewTitle(const QString &title) override;
    void multiViewSwitchingControlSelectionChanged(QObject *control) override;
    void setSwitchingControlSelectedMultiViewTitle(const QString &title) override;
    QString switchingControlSelectedMultiViewTitle() const override;

private:
    void runAwakeBlock();

    QPointer<QObject> mSwitchingControl;
    QList<QPointer<QWidget>> mRegisteredClients;
};

bool import_NSUIMultiViewController();
