// NSUIMaskInstanceNibbler: the mask designer panel. A view nibbler that loads its nib (the
// mask instance with its sliders, the preview, the shape / screen pages and the two type
// pop-ups), ties the pop-ups to an NSUIMaskInstanceController (the names of the types, kept
// in step with the sliders by the controller's refresh timer), and keeps the sliders and the
// selected page in the user defaults as a persistent object (key: the class name).
//
// Restored values arrive without slider actions; the mask's change tests find them and the
// panel rebuilds the mask after loading. Escape closes the panel's window.
#pragma once

#include "NSUIMaskControllerView.h"
#include "NSUIMaskInstance.h"
#include "NSUIMaskInstanceController.h"
#include "NSUIMaskInstancePlaceholder.h"

#include <QComboBox>

#include <CocoaFoundation/UPersistentObjectsController.h>
#include <Foundation/NSKeyValueCoding.h>
#include <UICocoaViews/NSUIViewNibbler.h>

#include <QPointer>


class NSUIMaskInstanceNibbler : public NSUIViewNibbler, public UPersistentObject, public NSKeyValueObserver {
    Q_OBJECT
    Q_PROPERTY(NSUIMaskInstance *outletMaskInstance READ outletMaskInstance WRITE setOutletMaskInstance)
    Q_PROPERTY(NSUIMaskControllerView *outletMaskView READ outletMaskView WRITE setOutletMaskView)
    Q_PROPERTY(NSUIMaskInstancePlaceholder *outletPlaceholder READ outletPlaceholder WRITE setOutletPlaceholder)
    Q_PROPERTY(QComboBox *outletShapeTypePopUp READ outletShapeTypePopUp WRITE setOutletShapeTypePopUp)
    Q_PROPERTY(QComboBox *outletScreenTypePopUp READ outletScreenTypePopUp WRITE setOutletScreenTypePopUp)
    Q_PROPERTY(NSUIMaskInstanceController *maskInstanceController READ maskInstanceController)

public:
    Q_INVOKABLE explicit NSUIMaskInstanceNibbler(QWidget *parent = nullptr);
    // Unregisters, which saves the panel's state.
    ~NSUIMaskInstanceNibbler() override;

    NSUIMaskInstance *outletMaskInstance() const { return mMaskInstance.data(); }
    void setOutletMaskInstance(NSUIMaskInstance *instance) { mMaskInstance = instance; }
    NSUIMaskControllerView *outletMaskView() const { return mMaskView.data(); }
    void setOutletMaskView(NSUIMaskControllerView *view) { mMaskView = view; }
    NSUIMaskInstancePlaceholder *outletPlaceholder() const { return mPlaceholder.data(); }
    void setOutletPlaceholder(NSUIMaskInstancePlaceholder *placeholder) { mPlaceholder = placeholder; }
    QComboBox *outletShapeTypePopUp() const { return mShapeTypePopUp.data(); }
    void setOutletShapeTypePopUp(QComboBox *popUp) { mShapeTypePopUp = popUp; }
    QComboBox *outletScreenTypePopUp() const { return mScreenTypePopUp.data(); }
    void setOutletScreenTypePopUp(QComboBox *popUp) { mScreenTypePopUp = popUp; }
    NSUIMaskInstanceController *maskInstanceController() const { return mInstanceController; }

    // Once: the instance controller and its pop-ups, the first mask, the registration as a
    // persistent object (restored at once when the application has launched).
    void awakeFromNibbler() override;

    // The slider values and the selected page.
    QSet<QString> persistentObjectKeyPaths() const override;
    // Loads, then shows the restored page and rebuilds the mask from the restored sliders.
    void persistentObjectLoadData() override;

    void observeValueForKeyPath(const QString &keyPath, QObject *object, const QVariantMap &change,
                                void *context) override;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void refreshPopUps();

    QPointer<NSUIMaskInstance> mMaskInstance;
    QPointer<NSUIMaskControllerView> mMaskView;
    QPointer<NSUIMaskInstancePlaceholder> mPlaceholder;
    QPointer<QComboBox> mShapeTypePopUp;
    QPointer<QComboBox> mScreenTypePopUp;
    NSUIMaskInstanceController *mInstanceController = nullptr;
    bool mRegistered = false;
};

bool import_NSUIMaskInstanceNibbler();
