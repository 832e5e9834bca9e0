// NSUIResetBox: a retro box with a reset button as the first cell of its row, and a target
// that is asked to reset (or told of changes in) the box's controls.
//
// The requests go first to the box itself when a subclass answers them (a Q_INVOKABLE
// resetBoxControls(QObject *) / changedBoxControls(QVariant)), else to the target when it
// answers them, else nowhere. Requests to the target go through the main thread: a reset
// is queued without waiting, a change notice and the target action wait for the target.
#pragma once

#include <UICocoaViews/NSUIRetroBox.h>

#include <QPointer>
#include <QVariant>

class NSUIResetBox : public NSUIRetroBox {
    Q_OBJECT
    Q_PROPERTY(QObject *target READ target WRITE setTarget)
    Q_PROPERTY(QByteArray action READ action WRITE setAction)

public:
    explicit NSUIResetBox(QWidget *parent = nullptr);
    ~NSUIResetBox() override;

    // Adds the reset button ("ResetButton", "ResetButtonDown"; action buttonResetBoxControls:).
    void awakeFromNib() override;

    // The target is not retained: a destroyed target reads as null.
    QObject *target() const { return mTarget.data(); }
    void setTarget(QObject *target) { mTarget = target; }
    QByteArray action() const { return mAction; }
    void setAction(const QByteArray &action) { mAction = action; }

    // The reset button's action.
    Q_INVOKABLE void buttonResetBoxControls(QObject *sender);
    Q_INVOKABLE void performChangedBoxControlsNotification(const QVariant &object);
    // Sends the action to the target on the main thread with the object and waits; a missing
    // target or action is reported and nothing is sent.
    Q_INVOKABLE void performTargetActionWithObject(const QVariant &object);

protected:
    void initBoxAttributes() override;

private:
    QPointer<QObject> mTarget;
    QByteArray mAction;
};

bool import_NSUIResetBox();
