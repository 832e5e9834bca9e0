// NSUIMultiViewHolderTitled: a page whose title comes from a control (outlet
// multiViewTitleValue): its string value, else its title, else its tool tip, else the text
// "multiViewTitle". It does not add itself to a box when its nib wakes.
#pragma once

#include <NSUIMultiViewController/NSUIMultiViewHolder.h>

#include <QObject>
#include <QPointer>
#include <QString>

class NSUIMultiViewHolderTitled : public NSUIMultiViewHolder {
    Q_OBJECT
    Q_PROPERTY(QObject *multiViewTitleValue READ multiViewTitleValue WRITE setMultiViewTitleValue)
    Q_PROPERTY(QString multiViewTitle READ multiViewTitle)

public:
    Q_INVOKABLE explicit NSUIMultiViewHolderTitled(QWidget *parent = nullptr);
    ~NSUIMultiViewHolderTitled() override;

    QObject *multiViewTitleValue() const { return mTitleValue.data(); }
    void setMultiViewTitleValue(QObject *control) { mTitleValue = control; }

    // Only checks the outlet.
    void awakeFromNib() override;
    // Without a control (reported), the holder's title as a plain view.
    QString multiViewTitle() const;

private:
    QPointer<QObject> mTitleValue;
};

bool import_NSUIMultiViewHolderTitled();
