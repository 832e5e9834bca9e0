// NSUIMultiViewHolder: a page of a multi-view box; when its nib wakes it adds itself to the box
// of its multiViewBox outlet.
#pragma once

#include <UICocoaViews/NSUIViewHolder.h>

#include <QPointer>

class NSUIMultiViewBox;

class NSUIMultiViewHolder : public NSUIViewHolder {
    Q_OBJECT
    Q_PROPERTY(NSUIMultiViewBox *multiViewBox READ multiViewBox WRITE setMultiViewBox)

public:
    Q_INVOKABLE explicit NSUIMultiViewHolder(QWidget *parent = nullptr);
    ~NSUIMultiViewHolder() override;

    NSUIMultiViewBox *multiViewBox() const;
    void setMultiViewBox(NSUIMultiViewBox *box);

    // Adds the holder to its box (reported when there is none).
    Q_INVOKABLE virtual void awakeFromNib();

private:
    QPointer<QWidget> mMultiViewBox;
};

bool import_NSUIMultiViewHolder();
