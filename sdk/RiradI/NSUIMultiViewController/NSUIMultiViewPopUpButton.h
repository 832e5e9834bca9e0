// NSUIMultiViewPopUpButton: a pop-up button (a QComboBox) that switches the views of its
// delegate, a multi-view host: its entries are the host's titles and choosing one selects that
// view. Refreshing only adds the titles it lacks; entries are never removed there.
#pragma once

#include <NSUIMultiViewController/protocol_NSUIMultiView.h>

#include <QComboBox>
#include <QPointer>

class NSUIMultiViewPopUpButton : public QComboBox, public NSUIMultiViewSwitchingControlProtocol {
    Q_OBJECT
    Q_PROPERTY(QObject *delegate READ delegate WRITE setDelegate)

public:
    Q_INVOKABLE explicit NSUIMultiViewPopUpButton(QWidget *parent = nullptr);
    ~NSUIMultiViewPopUpButton() override;

    // The host (not owned).
    QObject *delegate() const { return mDelegate.data(); }
    void setDelegate(QObject *delegate) { mDelegate = delegate; }

    // The selected entry's title; null when none is selected.
    QString selectedMultiViewTitle() const override;
    // Selects the first entry of that title; no entry is selected when none has it.
    void setSelectedMultiViewTitle(const QString &title) override;
    bool isTitleMemberOfPopUpMenu(const QString &title) const;
    // Adds, in the host's order, an entry for each title that has none. The selection stays.
    void refreshMultiViewTitlesWithSelection(const QString &title) override;

    // The button's action (the user chose an entry): the host selects the entry's view.
    Q_INVOKABLE void selectionChangedAction(QObject *sender);

private:
    QPointer<QObject> mDelegate;
};

bool import_NSUIMultiViewPopUpButton();
