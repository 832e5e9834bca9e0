// Selector groups: static tables that an owner (a panel, a controller) declares for the
// check-marked items of its menus, and NSMenu(NSUISelectorGroup) / NSMenuItem(NSUISelectorGroup)
// on QMenu / QAction: finding a group's items by their actions, turning them on and off,
// performing their actions and keeping their state in the user defaults.
//
// A mutex group has one item on at a time and is saved as one string under its Name (the
// selector name of the selected item, or its title when several items share its action); a
// toggle group turns each item on and off by itself and is saved as one integer (the item's
// state) per entry, under the entry's SelectorName. Restoring a toggle group leaves alone the
// items whose key was never saved (or registered as a default), so first launches keep the
// menu's own states. Restoring a mutex group whose stored value no longer names a member or
// an item's title selects the default selector, else the first entry, as if nothing were
// stored.
//
// Items: see NSMenuItemQt.h. Failed checks are reported to the debug log (VERIFY) and the
// operation answers its empty result; nothing is thrown. Main thread only.
#pragma once

#include "NSMenuItemQt.h"

#include <QAction>
#include <QByteArray>
#include <QMenu>
#include <QObject>

#include <cstddef>

// One entry: the selector's name as text ("mirrorAction:"), the user-defaults key of a toggle
// entry and the stored value of a mutex group; and the selector itself (a method name, filled
// in at start-up when not given). Selectors compare by method name (up to the first colon).
struct tagNSUISelector {
    const char *SelectorName;
    const char *Selector;
};

struct tagNSUISelectorGroup {
    bool Mutex;
    const char *Name;                  // UTF-8 user-defaults key of a mutex group
    const tagNSUISelector *Selectors;  // ended by an entry whose SelectorName is null

    bool IsToggleGroup() const { return !Mutex; }
    // True when some entry has the selector (an empty selector is nobody's).
    bool IsMember(const QByteArray &selector) const;
    // The entries before the terminating one.
    std::size_t Count() const;
    // The selector of entry `selectorIndex`; empty (and reported) with no entries or an index
    // not below the count.
    QByteArray operator[](std::size_t selectorIndex) const;
    // The selector of the first entry whose SelectorName equals the text byte for byte; empty
    // when none.
    QByteArray SelectorForName(const char *selectorName) const;
    // True when an entry has that name and a selector.
    bool NamesMember(const char *selectorName) const { return !SelectorForName(selectorName).isEmpty(); }
    // The SelectorName of the first entry with the selector; null when none.
    const char *NameForSelector(const QByteArray &selector) const;
};

namespace NSUISelectorGroup {

// NSMenu(NSUISelectorGroup). G is the group, passed by pointer; a null group is reported.
int countItemsForSelectorFromSelectorGroup(QMenu *menu, const QByteArray &selector);
QAction *firstMenuItemWithSelector(QMenu *menu, const QByteArray &selector, const tagNSUISelectorGroup *G);
QAction *selectedMenuItemFromSelectorGroup(QMenu *menu, const tagNSUISelectorGroup *G);
QByteArray selectedMenuItemSelectorFromSelectorGroup(QMenu *menu, const tagNSUISelectorGroup *G);
// Every item of G on when its action is the selector, off otherwise; answers the first set on.
QAction *selectMenuItemWithSelector(QMenu *menu, const QByteArray &selector, const tagNSUISelectorGroup *G);
QAction *selectFirstFromSelectorGroup(QMenu *menu, const tagNSUISelectorGroup *G);
// Every item of G on when its title equals the text, off otherwise.
void selectMenuItemWithMenuText(QMenu *menu, const QString &text, const tagNSUISelectorGroup *G);
// Checks one item of a mutex group; items sharing one action are told apart by identity.
void selectMenuItem(QMenu *menu, QAction *item, const tagNSUISelectorGroup *G);
// Off becomes on; on and mixed become off (toggle groups only).
void toggleMenuItem(QMenu *menu, QAction *item, const tagNSUISelectorGroup *G);
void setMenuItemToggle(QMenu *menu, const QByteArray &selector, bool toggle, const tagNSUISelectorGroup *G);
bool isMenuItemToggleOn(QMenu *menu, const QByteArray &withSelector, const tagNSUISelectorGroup *G);
void setGroupToggleState(QMenu *menu, bool toggle, const tagNSUISelectorGroup *G);
bool isOneSelectorPerMenuItem(QMenu *menu, const tagNSUISelectorGroup *G);
// Queues the item's action for the main thread, with the item, without waiting.
void performMenuItemAction(QMenu *menu, QAction *menuItem, const tagNSUISelectorGroup *G);

void saveSelectorGroupPreferences(QMenu *menu, const tagNSUISelectorGroup *G);
void restoreSelectorGroupPreferencesWithPerformMenuAction(QMenu *menu, const tagNSUISelectorGroup *G,
                                                          bool performMenuAction);
void restoreSelectorGroupPreferences(QMenu *menu, const tagNSUISelectorGroup *G);
void saveMutexSelectorGroupPreferences(QMenu *menu, const tagNSUISelectorGroup *G);
// An empty default selector means the group's first entry.
void restoreMutexSelectorGroupPreferences(QMenu *menu, const tagNSUISelectorGroup *G, bool performMenuAction,
                                          const QByteArray &defaultSelector);
void saveToggleSelectorGroupPreferences(QMenu *menu, const tagNSUISelectorGroup *G);
void restoreToggleSelectorGroupPreferences(QMenu *menu, const tagNSUISelectorGroup *G, bool performMenuAction);

// NSMenuItem(NSUISelectorGroup).
void setToggleState(QAction *item, bool toggle, const tagNSUISelectorGroup *G);
// The entry point of an item's own action method: `sender` is the item.
void selectSelfFromSelectorGroup(QObject *sender, const tagNSUISelectorGroup *G);

}  // namespace NSUISelectorGroup

bool import_NSUISelectorGroup();
