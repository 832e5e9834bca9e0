// NSView(category_NSViewControlTarget): any view with a target and an action (custom
// controls built on plain widgets: `target` and `action` properties or getters) fires its
// action with an object, at once on the calling thread or queued to the main thread.
#pragma once

#include <QObject>
#include <QVariant>

namespace category_NSViewControlTarget {

// Only for views that answer both `target` and `action`; a nil target or an empty action is
// reported and nothing is sent. Waiting: the target gets the action at once on this thread;
// not waiting: the action is queued to the main thread (performSelectorOnMainThread).
void targetActionWithObject(QObject *view, const QVariant &object, bool waitUntilDone);
// The same, waiting.
void performTargetActionWithObject(QObject *view, const QVariant &object);
// The same, not waiting: the form to use off the main thread.
void queueTargetActionWithObject(QObject *view, const QVariant &object);

}  // namespace category_NSViewControlTarget

bool import_category_NSViewControlTarget();
