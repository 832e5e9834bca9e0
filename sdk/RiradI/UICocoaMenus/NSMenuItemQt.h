// NSMenuItem on Qt: a menu item is a QAction in a QMenu.
//
// The item's Cocoa attributes are kept on the action: its state is the action's check mark
// (on is checked) plus a "state" property of -1 for mixed; its target and action (selector
// name) are the properties "target" (QObject*) and "action" (QByteArray); its title is the
// action's text, compared as it stands. The item's menu is the first QMenu the action is in.
//
// As in Cocoa, choosing an item does not change its state: the item's action method decides.
// setTargetAction links the action's `triggered` signal to its target, undoing the flip Qt
// makes of a checkable action's check mark before the target runs.
#pragma once

#include <QAction>
#include <QByteArray>
#include <QMenu>
#include <QObject>

// Item states.
enum : int { NSMixedState = -1, NSOffState = 0, NSOnState = 1 };

namespace NSMenuItemQt {

// 1 on, 0 off, -1 mixed; 0 for null.
int state(const QAction *item);
// Any value but 1 and -1 is off. The action becomes checkable so that the mark shows.
void setState(QAction *item, int state);

// The selector name; empty when none (or for null).
QByteArray action(const QAction *item);
QObject *target(const QAction *item);
// Sets both and links the action's `triggered` signal: the target gets the action with the
// item, on the calling thread. A null target or an empty action leaves the item without one.
void setTargetAction(QAction *item, QObject *target, const QByteArray &action);

// The first QMenu the item is in; null when none.
QMenu *menu(const QAction *item);

// Two selectors are the same when their method names (up to the first colon) are equal and
// not empty.
bool sameSelector(const QByteArray &a, const QByteArray &b);

}  // namespace NSMenuItemQt

bool import_NSMenuItemQt();
