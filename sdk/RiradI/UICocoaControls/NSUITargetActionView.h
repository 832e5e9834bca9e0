// NSUITargetActionView: the base of the composite controls. A widget that behaves as a
// control with a target and an action of its own, brings its inner controls into line on
// request (updateViewControls), and delivers its action at once on the calling thread
// ("perform") or queued to the main thread ("queue").
//
// The target is any QObject, not owned (a destroyed target reads nil); the action is a selector
// (a Q_INVOKABLE method or slot of the target taking the object, "takeValue:" or "takeValue").
// Both are properties, so nibs and key paths set them ("outletFader.target"). target() and
// action() are virtual: a subclass that answers another target (a delegate) gets the action
// delivered there.
//
// Set-up: C++ constructors run for every way a view is made (in code or by the nib loader,
// before outlets are connected and awakeFromNib), so a subclass's set-up is its constructor.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QVariant>
#include <QWidget>

class QMouseEvent;

class NSUITargetActionView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QObject *target READ target WRITE setTarget)
    Q_PROPERTY(QByteArray action READ action WRITE setAction)

public:
    explicit NSUITargetActionView(QWidget *parent = nullptr);
    ~NSUITargetActionView() override;

    virtual QObject *target() const { return mTarget.data(); }
    virtual void setTarget(QObject *target) { mTarget = target; }
    virtual QByteArray action() const { return mAction; }
    virtual void setAction(const QByteArray &action) { mAction = action; }

    // Hook: bring the inner controls into line with the view's value. Does nothing here.
    Q_INVOKABLE virtual void updateViewControls();

    // A click in an inactive window acts at once.
    virtual bool acceptsFirstMouse(QMouseEvent *event) const;

    // Delivers the action with the object: nothing when the target is nil or the action empty;
    // waiting, the target's method runs now on this thread and has returned when this returns;
    // not waiting, it is queued to the main thread (any thread may call this) and runs there
    // later. A target that does not answer the action raises "NSInvalidArgumentException" (the
    // caller's error).
    void performTargetActionWithObject(const QVariant &object, bool waitUntilDone);
    void performTargetActionWithObject(const QVariant &object) { performTargetActionWithObject(object, true); }
    void performTargetActionWithObject(QObject *object);
    void queueTargetActionWithObject(const QVariant &object) { performTargetActionWithObject(object, false); }
    void queueTargetActionWithObject(QObject *object);

    // updateViewControls, then the action (performed / queued).
    void updateViewControlsPerformAction(const QVariant &object);
    void updateViewControlsPerformAction(QObject *object);
    void updateViewControlsQueueAction(const QVariant &object);
    void updateViewControlsQueueAction(QObject *object);

private:
    QPointer<QObject> mTarget;
    QByteArray mAction;
};

bool import_NSUITargetActionView();
