#include "category_NSViewControlTarget.h"

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>

namespace category_NSViewControlTarget {

void targetActionWithObject(QObject *view, const QVariant &object, bool waitUntilDone) {
    if (!respondsToSelector(view, "action") || !respondsToSelector(view, "target")) return;
    QObject *message_target = NSKeyValueCoding::objectFromVariant(performSelector(view, "target"));
    const QByteArray message_action = performSelector(view, "action").toByteArray();
    if (!VERIFY_TEXT(message_target != nullptr, " code : message_target")) return;
    if (!VERIFY_TEXT(!message_action.isEmpty(), " code : message_action")) return;
    if (waitUntilDone)
        performSelector(message_target, message_action, object);
    else
        performSelectorOnMainThread(message_target, message_action, object, false);
}

void performTargetActionWithObject(QObject *view, const QVariant &object) {
    targetActionWithObject(view, object, true);
}

void queueTargetActionWithObject(QObject *view, const QVariant &object) {
    targetActionWithObject(view, object, false);
}

}  // namespace category_NSViewControlTarget

bool import_category_NSViewControlTarget() { return import_CoreMachDebugLog(); }
