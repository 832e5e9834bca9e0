// NSUIMultiViewPopUpBox: a multi-view box with a pop-up button (outlet popupButton, a
// QComboBox) that lists the page titles, sorted without regard to case, and switches the page.
// Choosing an entry sends the box selectedViewByMenuItem with the entry's title; the pop-up
// follows every page selected by other means.
#pragma once

#include <NSUIMultiViewController/NSUIMultiViewBox.h>

#include <QComboBox>
#include <QMetaObject>
#include <QPointer>

class NSUIMultiViewPopUpBox : public NSUIMultiViewBox {
    Q_OBJECT
    Q_PROPERTY(QComboBox *popupButton READ popupButton WRITE setPopupButton)

public:
    Q_INVOKABLE explicit NSUIMultiViewPopUpBox(QWidget *parent = nullptr);
    ~NSUIMultiViewPopUpBox() override;

    QComboBox *popupButton() const { return mPopupButton.data(); }
    // Also links the pop-up's entries to the box.
    void setPopupButton(QComboBox *popup);

    void awakeFromNib() override;
    // The selected entry's title; null (reported) when none is selected.
    QString controllerSelection() const override;
    // Selects the entry of the title; true when the pop-up then shows it.
    bool setControllerSelection(const QString &title) override;
    // The pop-up's entries: the titles, sorted without regard to case.
    void refreshControllerList() override;

private:
    QPointer<QComboBox> mPopupButton;
    QMetaObject::Connection mActivated;
};

bool import_NSUIMultiViewPopUpBox();
