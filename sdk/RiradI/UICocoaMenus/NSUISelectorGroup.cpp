#include "NSUISelectorGroup.h"

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSException.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>
#include <Foundation/NSUserDefaults.h>

#include <cstring>

using NSMenuItemQt::sameSelector;

// ---------------------------------------------------------------------------------------------
// The group record.

bool tagNSUISelectorGroup::IsMember(const QByteArray &selector) const {
    for (const tagNSUISelector *entry = Selectors; entry != nullptr && entry->SelectorName != nullptr; ++entry)
        if (entry->Selector != nullptr && sameSelector(selector, QByteArray(entry->Selector))) return true;
    return false;
}

std::size_t tagNSUISelectorGroup::Count() const {
    std::size_t count = 0;
    for (const tagNSUISelector *entry = Selectors; entry != nullptr && entry->SelectorName != nullptr; ++entry)
        ++count;
    return count;
}

QByteArray tagNSUISelectorGroup::operator[](std::size_t selectorIndex) const {
    const std::size_t selectorCount = Count();
    if (!VERIFY(selectorCount>0)) return QByteArray();
    if (!VERIFY(selectorIndex<selectorCount)) return QByteArray();
    return QByteArray(Selectors[selectorIndex].Selector);
}

QByteArray tagNSUISelectorGroup::SelectorForName(const char *selectorName) const {
    if (selectorName == nullptr) return QByteArray();
    for (const tagNSUISelector *entry = Selectors; entry != nullptr && entry->SelectorName != nullptr; ++entry)
        if (std::strcmp(entry->SelectorName, selectorName) == 0) return QByteArray(entry->Selector);
    return QByteArray();
}

const char *tagNSUISelectorGroup::NameForSelector(const QByteArray &selector) const {
    for (const tagNSUISelector *entry = Selectors; entry != nullptr && entry->SelectorName != nullptr; ++entry)
        if (entry->Selector != nullptr && sameSelector(selector, QByteArray(entry->Selector)))
            return entry->SelectorName;
    return nullptr;
}

namespace NSUISelectorGroup {

namespace {

QList<QAction *> Items(QMenu *menu) { return menu == nullptr ? QList<QAction *>() : menu->actions(); }

bool ValidGroup(const tagNSUISelectorGroup *selectorGroup) { return VERIFY(selectorGroup != nullptr); }

bool BelongsTo(const QAction *item, const tagNSUISelectorGroup &group) {
    return group.IsMember(NSMenuItemQt::action(item));
}

}  // namespace

int countItemsForSelectorFromSelectorGroup(QMenu *menu, const QByteArray &selector) {
    int count = 0;
    for (QAction *item : Items(menu))
        if (sameSelector(NSMenuItemQt::action(item), selector)) ++count;
    return count;
}

QAction *firstMenuItemWithSelector(QMenu *menu, const QByteArray &selector, const tagNSUISelectorGroup *G) {
    if (!ValidGroup(G) || !G->IsMember(selector)) return nullptr;
    for (QAction *item : Items(menu))
        if (sameSelector(NSMenuItemQt::action(item), selector)) return item;
    return nullptr;
}

QAction *selectedMenuItemFromSelectorGroup(QMenu *menu, const tagNSUISelectorGroup *G) {
    if (!ValidGroup(G)) return nullptr;
    for (QAction *item : Items(menu))
        if (BelongsTo(item, *G) && NSMenuItemQt::state(item) == NSOnState) return item;
    return nullptr;
}

QByteArray selectedMenuItemSelectorFromSelectorGroup(QMenu *menu, const tagNSUISelectorGroup *G) {
    return NSMenuItemQt::action(selectedMenuItemFromSelectorGroup(menu, G));
}

QAction *selectMenuItemWithSelector(QMenu *menu, const QByteArray &selector, const tagNSUISelectorGroup *G) {
    if (!ValidGroup(G)) return nullptr;
    QAction *selected = nullptr;
    for (QAction *item : Items(menu)) {
        if (!BelongsTo(item, *G)) continue;
        const bool on = sameSelector(NSMenuItemQt::action(item), selector);
        NSMenuItemQt::setState(item, on ? NSOnState : NSOffState);
        if (on && selected == nullptr) selected = item;
    }
    return selected;
}

QAction *selectFirstFromSelectorGroup(QMenu *menu, const tagNSUISelectorGroup *G) {
    if (!ValidGroup(G)) return nullptr;
    return selectMenuItemWithSelector(menu, (*G)[0], G);
}

void selectMenuItemWithMenuText(QMenu *menu, const QString &text, const tagNSUISelectorGroup *G) {
    if (!ValidGroup(G)) return;
    for (QAction *item : Items(menu))
        if (BelongsTo(item, *G)) NSMenuItemQt::setState(item, item->text() == text ? NSOnState : NSOffState);
}

void selectMenuItem(QMenu *menu, QAction *item, const tagNSUISelectorGroup *G) {
    if (!ValidGroup(G)) return;
    const tagNSUISelectorGroup &selectorGroup = *G;
    const QByteArray theMenuItemAction = NSMenuItemQt::action(item);
    if (!VERIFY(selectorGroup.IsMember(theMenuItemAction))) return;
    const int count = countItemsForSelectorFromSelectorGroup(menu, theMenuItemAction);
    for (QAction *other : Items(menu)) {
        if (!BelongsTo(other, selectorGroup)) continue;
        const bool on = count == 1 ? sameSelector(NSMenuItemQt::action(other), theMenuItemAction) : other == item;
        NSMenuItemQt::setState(other, on ? NSOnState : NSOffState);
    }
}

void toggleMenuItem(QMenu *, QAction *item, const tagNSUISelectorGroup *G) {
    if (!ValidGroup(G)) return;
    const tagNSUISelectorGroup &selectorGroup = *G;
    if (!VERIFY(selectorGroup.IsToggleGroup())) return;
    const QByteArray theMenuItemAction = NSMenuItemQt::action(item);
    if (!VERIFY(selectorGroup.IsMember(theMenuItemAction))) return;
    NSMenuItemQt::setState(item, NSMenuItemQt::state(item) == NSOffState ? NSOnState : NSOffState);
}

void setMenuItemToggle(QMenu *menu, const QByteArray &selector, bool toggle, const tagNSUISelectorGroup *G) {
    QAction *menuItem = firstMenuItemWithSelector(menu, selector, G);
    if (!VERIFY(menuItem)) return;
    setToggleState(menuItem, toggle, G);
}

bool isMenuItemToggleOn(QMenu *menu, const QByteArray &withSelector, const tagNSUISelectorGroup *G) {
    if (!ValidGroup(G)) return false;
    const tagNSUISelectorGroup &selectorGroup = *G;
    if (!VERIFY(selectorGroup.IsMember(withSelector))) return false;
    QAction *item = firstMenuItemWithSelector(menu, withSelector, G);
    if (!VERIFY_TEXT(item != nullptr, " code : firstMenuItemWithSelector")) return false;
    return NSMenuItemQt::state(item) == NSOnState;
}

void setGroupToggleState(QMenu *menu, bool toggle, const tagNSUISelectorGroup *G) {
    if (!ValidGroup(G)) return;
    const std::size_t count = G->Count();
    for (std::size_t index = 0; index < count; ++index) {
        QAction *item = firstMenuItemWithSelector(menu, (*G)[index], G);
        if (!VERIFY_TEXT(item != nullptr, " code : firstMenuItemWithSelector")) continue;
        NSMenuItemQt::setState(item, toggle ? NSOnState : NSOffState);
    }
}

bool isOneSelectorPerMenuItem(QMenu *menu, const tagNSUISelectorGroup *G) {
    if (!ValidGroup(G)) return false;
    const std::size_t count = G->Count();
    for (std::size_t index = 0; index < count; ++index) {
        const int itemCountForThisSelector = countItemsForSelectorFromSelectorGroup(menu, (*G)[index]);
        if (!VERIFY(itemCountForThisSelector)) continue;
        if (itemCountForThisSelector > 1) return false;
    }
    return true;
}

void performMenuItemAction(QMenu *, QAction *menuItem, const tagNSUISelectorGroup *G) {
    if (!ValidGroup(G)) return;
    const tagNSUISelectorGroup &selectorGroup = *G;
    if (!VERIFY(menuItem)) return;
    if (!VERIFY_TEXT(selectorGroup.IsMember(NSMenuItemQt::action(menuItem)),
                     " code : selectorGroup.IsMember([menuItem action])"))
        return;
    QObject *menuItemTarget = NSMenuItemQt::target(menuItem);
    const QByteArray menuItemAction = NSMenuItemQt::action(menuItem);
    if (!VERIFY_TEXT(menuItemTarget != nullptr, "menuItemTarget")) return;
    if (!VERIFY_TEXT(!menuItemAction.isEmpty(), " code : menuItemAction")) return;
    try {
        performSelectorOnMainThread(menuItemTarget, menuItemAction, NSKeyValueCoding::variantFromObject(menuItem),
                                    false);
    } catch (const NSException &exception) {
        CoreMachDebugLog("menu item \"%s\": %s\n", menuItem->text().toUtf8().constData(),
                         exception.reason().toUtf8().constData());
    }
}

void saveSelectorGroupPreferences(QMenu *menu, const tagNSUISelectorGroup *G) {
    if (!ValidGroup(G)) return;
    if (G->Mutex)
        saveMutexSelectorGroupPreferences(menu, G);
    else
        saveToggleSelectorGroupPreferences(menu, G);
}

void restoreSelectorGroupPreferencesWithPerformMenuAction(QMenu *menu, const tagNSUISelectorGroup *G,
                                                          bool performMenuAction) {
    if (!ValidGroup(G)) return;
    if (G->Mutex)
        restoreMutexSelectorGroupPreferences(menu, G, performMenuAction, QByteArray());
    else
        restoreToggleSelectorGroupPreferences(menu, G, performMenuAction);
}

void restoreSelectorGroupPreferences(QMenu *menu, const tagNSUISelectorGroup *G) {
    restoreSelectorGroupPreferencesWithPerformMenuAction(menu, G, true);
}

void saveMutexSelectorGroupPreferences(QMenu *menu, const tagNSUISelectorGroup *G) {
    if (!ValidGroup(G)) return;
    QAction *selected = selectedMenuItemFromSelectorGroup(menu, G);
    if (selected == nullptr) return;
    const QString groupName = G->Name != nullptr ? QString::fromUtf8(G->Name) : QString();
    const QByteArray action = NSMenuItemQt::action(selected);
    QString selectorName_or_MenuItemText;
    if (countItemsForSelectorFromSelectorGroup(menu, action) == 1) {
        if (const char *name = G->NameForSelector(action)) selectorName_or_MenuItemText = QString::fromUtf8(name);
    } else {
        selectorName_or_MenuItemText = selected->text();
    }
    if (!VERIFY_TEXT(!groupName.isEmpty(), " code : groupName")) return;
    if (!VERIFY_TEXT(!selectorName_or_MenuItemText.isEmpty(), " code : selectorName_or_MenuItemText")) return;
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    defaults.setObject(selectorName_or_MenuItemText, groupName);
    defaults.synchronize();
}

void restoreMutexSelectorGroupPreferences(QMenu *menu, const tagNSUISelectorGroup *G, bool performMenuAction,
                                          const QByteArray &defaultSelector) {
    if (!ValidGroup(G)) return;
    const tagNSUISelectorGroup &selectorGroup = *G;
    if (!VERIFY(selectorGroup.Name)) return;
    const QString stored = NSUserDefaults::standardUserDefaults().stringForKey(QString::fromUtf8(selectorGroup.Name));
    if (!stored.isNull()) {
        const QByteArray text = stored.toUtf8();
        QAction *noted = selectedMenuItemFromSelectorGroup(menu, G);
        if (selectorGroup.NamesMember(text.constData()))
            selectMenuItemWithSelector(menu, selectorGroup.SelectorForName(text.constData()), G);
        else
            selectMenuItemWithMenuText(menu, stored, G);
        QAction *selected = selectedMenuItemFromSelectorGroup(menu, G);
        if (selected != nullptr) {
            if (selected != noted && performMenuAction) performMenuItemAction(menu, selected, G);
            return;
        }
        // The stored value names nothing this menu has any more: start again from the default.
    }
    QAction *selectedMenuItem = defaultSelector.isEmpty() ? selectFirstFromSelectorGroup(menu, G)
                                                          : selectMenuItemWithSelector(menu, defaultSelector, G);
    if (!VERIFY(selectedMenuItem)) return;
    if (performMenuAction) performMenuItemAction(menu, selectedMenuItem, G);
}

void saveToggleSelectorGroupPreferences(QMenu *menu, const tagNSUISelectorGroup *G) {
    if (!ValidGroup(G)) return;
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    const std::size_t count = G->Count();
    for (std::size_t index = 0; index < count; ++index) {
        const QByteArray menuItemSelector = (*G)[index];
        if (!VERIFY_TEXT(!menuItemSelector.isEmpty(), " code : menuItemSelector")) continue;
        const QString key = QString::fromUtf8(G->Selectors[index].SelectorName);
        QAction *item = firstMenuItemWithSelector(menu, menuItemSelector, G);
        if (!VERIFY_TEXT(item != nullptr, " code : firstMenuItemWithSelector")) continue;
        defaults.setInteger(NSMenuItemQt::state(item), key);
    }
    defaults.synchronize();
}

void restoreToggleSelectorGroupPreferences(QMenu *menu, const tagNSUISelectorGroup *G, bool performMenuAction) {
    if (!ValidGroup(G)) return;
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    const std::size_t count = G->Count();
    for (std::size_t index = 0; index < count; ++index) {
        const QByteArray menuItemSelector = (*G)[index];
        if (!VERIFY_TEXT(!menuItemSelector.isEmpty(), " code : menuItemSelector")) continue;
        const QString key = QString::fromUtf8(G->Selectors[index].SelectorName);
        QAction *item = firstMenuItemWithSelector(menu, menuItemSelector, G);
        if (!VERIFY_TEXT(item != nullptr, " code : firstMenuItemWithSelector")) continue;
        // A key never saved keeps the menu's own state (a first launch must not turn
        // default-on items off).
        if (!defaults.objectForKey(key).isValid()) continue;
        const qint64 storedState = defaults.integerForKey(key);
        if (!VERIFY(storedState>=NSMixedState && storedState<=NSOnState)) continue;
        if (NSMenuItemQt::state(item) == storedState) continue;
        if (performMenuAction)
            performMenuItemAction(menu, item, G);
        else
            NSMenuItemQt::setState(item, static_cast<int>(storedState));
    }
}

void setToggleState(QAction *item, bool toggle, const tagNSUISelectorGroup *G) {
    if (!ValidGroup(G)) return;
    const tagNSUISelectorGroup &selectorGroup = *G;
    if (!VERIFY(selectorGroup.IsToggleGroup())) return;
    const QByteArray theMenuItemAction = NSMenuItemQt::action(item);
    if (!VERIFY(selectorGroup.IsMember(theMenuItemAction))) return;
    NSMenuItemQt::setState(item, toggle ? NSOnState : NSOffState);
}

void selectSelfFromSelectorGroup(QObject *sender, const tagNSUISelectorGroup *G) {
    auto *item = qobject_cast<QAction *>(sender);
    if (!VERIFY_TEXT(item != nullptr, "self")) return;
    if (!ValidGroup(G)) return;
    QMenu *menu = NSMenuItemQt::menu(item);
    if (!VERIFY(menu)) return;
    const QByteArray menuItemAction = NSMenuItemQt::action(item);
    if (!VERIFY_TEXT(!menuItemAction.isEmpty(), " code : menuItemAction")) return;
    if (G->Mutex) {
        if (isOneSelectorPerMenuItem(menu, G))
            selectMenuItemWithSelector(menu, menuItemAction, G);
        else
            selectMenuItem(menu, item, G);
    } else {
        toggleMenuItem(menu, item, G);
    }
}

}  // namespace NSUISelectorGroup

bool import_NSUISelectorGroup() { return import_NSMenuItemQt() && import_CoreMachDebugLog(); }
