#include "NSUITargetActionView.h"

#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>

NSUITargetActionView::NSUITargetActionView(QWidget *parent) : QWidget(parent) {}

NSUITargetActionView::~NSUITargetActionView() = default;

void NSUITargetActionView::updateViewControls() {}

bool NSUITargetActionView::acceptsFirstMouse(QMouseEvent *) const { return true; }

void NSUITargetActionView::performTargetActionWithObject(const QVariant &object, bool waitUntilDone) {
    QObject *messageTarget = target();
    const QByteArray messageAction = action();
    if (messageTarget == nullptr || messageAction.isEmpty()) return;
    if (waitUntilDone)
        performSelector(messageTarget, messageAction, object);
    else
        performSelectorOnMainThread(messageTarget, messageAction, object, false);
}

void NSUITargetActionView::performTargetActionWithObject(QObject *object) {
    performTargetActionWithObject(NSKeyValueCoding::variantFromObject(object), true);
}

void NSUITargetActionView::queueTargetActionWithObject(QObject *object) {
    performTargetActionWithObject(NSKeyValueCoding::variantFromObject(object), false);
}

void NSUITargetActionView::updateViewControlsPerformAction(const QVariant &object) {
    updateViewControls();
    performTargetActionWithObject(object, true);
}

void NSUITargetActionView::updateViewControlsPerformAction(QObject *object) {
    updateViewControlsPerformAction(NSKeyValueCoding::variantFromObject(object));
}

void NSUITargetActionView::updateViewControlsQueueAction(const QVariant &object) {
    updateViewControls();
    performTargetActionWithObject(object, false);
}

void NSUITargetActionView::updateViewControlsQueueAction(QObject *object) {
    updateViewControlsQueueAction(NSKeyValueCoding::variantFromObject(object));
}

bool import_NSUITargetActionView() { return true; }
