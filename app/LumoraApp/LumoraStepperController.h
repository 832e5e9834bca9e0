// LumoraStepperController: the effects of the packs in the effects pop-up, walked by a stepper.
//
// The effect-pack loader's delegate: when the packs are loaded it appends one item per
// composition name to the effects pop-up (a QComboBox), in the loader's order; choosing one
// of those items opens it through the camera view. Stepper indexes count from the pop-up's
// third item (index 2; the first two are the pop-up's own). The stepper's value runs the other
// way: value v opens the item (maximum - v) + 2, so at the maximum the third item and at 0 the
// last one; raising the value walks up the menu.
//
// The bounds: minimum 0, maximum the item count - 3 (the last item's stepper index; 0 while
// the pop-up has three items or fewer). The index read from the selection is clamped into the
// bounds, so a selection among the first two items reads as the third; a value outside the
// bounds opens nothing.
//
// The camera view (outletLumoraView) is reached by name, through its invokable methods
// setCompositionName(QString), openCompositionName(QString, bool privately) and
// openCompositionNameWithSenderTitle(QString); an exception from it abandons the change.
#pragma once

#include <LumoraApp/QFXBundleController.h>

#include <Foundation/NSObject.h>

#include <QComboBox>
#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class LumoraStepperController : public NSObject, public QFXBundleControllerDelegate {
    Q_OBJECT
    Q_PROPERTY(QObject *outletLumoraView MEMBER outletLumoraView)
    Q_PROPERTY(QObject *outletEffectsPopupButton READ effectsPopupButtonObject WRITE setEffectsPopupButton)
    Q_PROPERTY(QObject *outletEffectsPopupStepper MEMBER outletEffectsPopupStepper)
    Q_PROPERTY(int lumoraStepperIndex READ lumoraStepperIndex WRITE setLumoraStepperIndex)
    Q_PROPERTY(int lumoraStepperMinimumValue READ lumoraStepperMinimumValue)
    Q_PROPERTY(int lumoraStepperMaximumValue READ lumoraStepperMaximumValue)

public:
    Q_INVOKABLE explicit LumoraStepperController(QObject *parent = nullptr);
    ~LumoraStepperController() override;

    QPointer<QObject> outletLumoraView;
    QPointer<QObject> outletEffectsPopupStepper;
    QComboBox *effectsPopupButton() const { return mPopup; }
    QObject *effectsPopupButtonObject() const { return mPopup; }
    // Connects the pop-up: choosing an item this controller added opens it.
    void setEffectsPopupButton(QObject *popup);

    // The loader's delegate call: one pop-up item per name, announced as changes of
    // "lumoraStepperIndex" and "lumoraStepperMaximumValue".
    void qfxbundleDidFinishLoadingCompositions(QFXBundleController *loader, const QStringList &compositionNames) override;
    // The loader's menu changed the composition: opened privately (announced).
    void qfxbundleMenuChangedCompositionName(QFXBundleController *loader, const QString &name);

    int stepperMinimumValue() const { return 0; }
    int stepperMaximumValue() const;
    // The selected item's index - 2, clamped into the bounds; 0 without a pop-up or a selection.
    int stepperIndex() const;
    // Opens the item at index + 2, when the pop-up and the camera view are connected and the
    // index is within the bounds; the item becomes the pop-up's selection.
    void setStepperIndex(int index);

    int lumoraStepperMinimumValue() const { return stepperMinimumValue(); }
    int lumoraStepperMaximumValue() const { return stepperMaximumValue(); }
    // maximum - stepperIndex.
    int lumoraStepperIndex() const;
    // setStepperIndex(maximum - value).
    void setLumoraStepperIndex(int value);

    // A pop-up item was chosen: the camera view opens it (announced).
    Q_INVOKABLE void openCompositionNameWithSenderTitle(const QString &title);

private:
    // The camera view's method, called directly; false when the view lacks it or it threw.
    bool callView(const char *method, QGenericArgument a = QGenericArgument(), QGenericArgument b = QGenericArgument());

    QPointer<QComboBox> mPopup;
    QMetaObject::Connection mActivated;
    QStringList mAddedTitles;
};

bool import_LumoraStepperController();
