// Mutex menus: NSMenu(mutex_NSMenu), NSMenuItem(mutex_NSMenu) and NSPopUpButton(mutex_NSMenu)
// on QMenu / QAction / QComboBox. A whole menu is one set of mutually exclusive items,
// selected by item or by title; its string value (for parameter mapping) is the title of the
// selected item. And the menu-cutting functions used when menus are rebuilt.
//
// A pop-up button is a QComboBox (as in the parameter mapping): its "menu" is its list of
// entries, the selected entry its current index, an entry's title its text and its action the
// pop-up's own (NSParamMapping::paramTargetActionWithObject).
//
// Parameter mapping reaches a menu or a pop-up through a ParamControl bound in its place.
#pragma once

#include "NSMenuItemQt.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

namespace mutex_NSMenu {

// -[NSMenu ...]
// Every item off (the flag is not consulted).
void setNoneSelected(QMenu *menu);
void setNoneSelected(QMenu *menu, bool flag);
// The first item that is on; when none is, the first item; null for an empty menu.
QAction *exclusiveSelection(QMenu *menu);
// Every item off, then the item on.
void selectExclusive(QMenu *menu, QAction *item);
// The first item whose title equals the title, selected alone and, with the flag, sent
// performAction with itself. No such item: nothing changes.
void selectExclusiveTitlePerformAction(QMenu *menu, const QString &title, bool performAction);
void selectExclusiveTitle(QMenu *menu, const QString &title);
// The title of exclusiveSelection ("" for an empty menu).
QString stringParamValue(QMenu *menu);
// selectExclusiveTitle: the newly selected item's action is performed.
void setStringParamValue(QMenu *menu, const QString &title);

// -[NSMenuItem ...]
void selectExclusive(QAction *item);
// Sends the item's action to its target on the main thread with the object, waiting.
void performAction(QAction *item, const QVariant &object);

// -[NSPopUpButton ...]: the current entry, the first when none is current, -1 when empty.
int exclusiveSelection(QComboBox *popUp);
QString stringParamValue(QComboBox *popUp);
// The first entry with that text becomes current and the pop-up's action is sent; no such
// entry: nothing changes.
void setStringParamValue(QComboBox *popUp, const QString &title);

// A menu's or a pop-up's string value for parameter mapping (getter "stringParamValue",
// setter "setStringParamValue:"). A child of the menu or pop-up; does nothing once it is gone.
class ParamControl : public QObject {
    Q_OBJECT
public:
    explicit ParamControl(QMenu *menu);
    explicit ParamControl(QComboBox *popUp);

    Q_INVOKABLE QString stringParamValue() const;
    Q_INVOKABLE void setStringParamValue(const QString &title);

private:
    QPointer<QMenu> mMenu;
    QPointer<QComboBox> mPopUp;
};

}  // namespace mutex_NSMenu

// Removes every item from the index to the end; nothing when the index is not below the number
// of items. Items the menu owns (their parent is the menu) are deleted later.
void NSMenuRemoveItemsFromIndex(QMenu *menu, int index);
// Removes the items from start up to but not including end; nothing when start is not below
// the number of items or not below end. An end past the last item is reported and taken as
// the number of items; a negative start or index is reported and removes nothing.
void NSMenuRemoveItemsInRange(QMenu *menu, int start, int end);

bool import_mutex_NSMenu();
