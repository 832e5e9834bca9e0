// CamBackgroundBox: the box that shows the chosen background picture (an application image by
// name) in its image view and reports the change through the image view's target and action.
// The backgrounds menu's items name the pictures: choosing one shows it and marks that item
// alone.
//
// Nib "CamBackgroundBox": the box as the form's root with its image view.
#pragma once

#include <UICocoaViews/NSUIRetroBox.h>

#include <QAction>
#include <QObject>
#include <QPointer>
#include <QString>

class CamBackgroundBox : public NSUIRetroBox {
    Q_OBJECT
    Q_PROPERTY(QObject *_imageView READ imageView WRITE setImageView)

public:
    Q_INVOKABLE explicit CamBackgroundBox(QWidget *parent = nullptr);
    ~CamBackgroundBox() override;

    // An NSImageView (anything else is left unconnected), whose "target" and "action"
    // properties say where a change goes.
    QObject *imageView() const { return mImageView.data(); }
    void setImageView(QObject *view);

    // The application image of that name into the image view. False, reported, for a null
    // name ("imageName"), a name that gives no image ("imageNamed") or no image view
    // ("_imageView").
    bool setImageNamed(const QString &name);
    // The image view's action to its target with the image view; reported without image view.
    Q_INVOKABLE void imageChanged(QObject *sender = nullptr);
    // setImageNamed with the item's title, imageChanged when it worked; the item is then the
    // only one marked in its menu either way.
    Q_INVOKABLE void setImageNamedBySenderTitle(QObject *sender);

private:
    QPointer<QObject> mImageView;
};

bool import_CamBackgroundBox();
