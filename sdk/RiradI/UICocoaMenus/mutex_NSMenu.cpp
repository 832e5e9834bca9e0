#include "mutex_NSMenu.h"

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSException.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>
#include <UIParamMapping/NSUIParamMapping.h>

namespace mutex_NSMenu {

namespace {

QList<QAction *> Items(QMenu *menu) { return menu == nullptr ? QList<QAction *>() : menu->actions(); }

QAction *ItemWithTitle(QMenu *menu, const QString &title) {
    for (QAction *item : Items(menu))
        if (item->text() == title) return item;
    return nullptr;
}

}  // namespace

void setNoneSelected(QMenu *menu) {
    for (QAction *item : Items(menu)) NSMenuItemQt::setState(item, NSOffState);
}

void setNoneSelected(QMenu *menu, bool) { setNoneSelected(menu); }

QAction *exclusiveSelection(QMenu *menu) {
    const QList<QAction *> items = Items(menu);
    for (QAction *item : items)
        if (NSMenuItemQt::state(item) == NSOnState) return item;
    return items.isEmpty() ? nullptr : items.first();
}

void selectExclusive(QMenu *menu, QAction *item) {
    setNoneSelected(menu);
    NSMenuItemQt::setState(item, NSOnState);
}

void selectExclusiveTitlePerformAction(QMenu *menu, const QString &title, bool performAction) {
    QAction *item = ItemWithTitle(menu, title);
    if (item == nullptr) return;
    selectExclusive(menu, item);
    if (performAction) mutex_NSMenu::performAction(item, NSKeyValueCoding::variantFromObject(item));
}

void selectExclusiveTitle(QMenu *menu, const QString &title) { selectExclusiveTitlePerformAction(menu, title, true); }

QString stringParamValue(QMenu *menu) {
    QAction *selected = exclusiveSelection(menu);
    return selected == nullptr ? QString() : selected->text();
}

void setStringParamValue(QMenu *menu, const QString &title) { selectExclusiveTitle(menu, title); }

void selectExclusive(QAction *item) { selectExclusive(NSMenuItemQt::menu(item), item); }

void performAction(QAction *item, const QVariant &object) {
    if (item == nullptr) return;
    QObject *target = NSMenuItemQt::target(item);
    const QByteArray action = NSMenuItemQt::action(item);
    if (!VERIFY_TEXT(target != nullptr, "[self target]")) return;
    if (!VERIFY_TEXT(!action.isEmpty(), " code : [self action]")) return;
    try {
        performSelectorOnMainThread(target, action, object, true);
    } catch (const NSException &exception) {
        CoreMachDebugLog("menu item \"%s\": %s\n", item->text().toUtf8().constData(),
                         exception.reason().toUtf8().constData());
    }
}

int exclusiveSelection(QComboBox *popUp) {
    if (popUp == nullptr || popUp->count() == 0) return -1;
    return popUp->currentIndex() >= 0 ? popUp->currentIndex() : 0;
}

QString stringParamValue(QComboBox *popUp) {
    const int selected = exclusiveSelection(popUp);
    return selected < 0 ? QString() : popUp->itemText(selected);
}

void setStringParamValue(QComboBox *popUp, const QString &title) {
    if (popUp == nullptr) return;
    const int index = popUp->findText(title, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) return;
    popUp->setCurrentIndex(index);
    NSParamMapping::paramTargetActionWithObject(popUp, popUp);
}

ParamControl::ParamControl(QMenu *menu) : QObject(menu), mMenu(menu) {}

ParamControl::ParamControl(QComboBox *popUp) : QObject(popUp), mPopUp(popUp) {}

QString ParamControl::stringParamValue() const {
    if (mMenu) return mutex_NSMenu::stringParamValue(mMenu.data());
    if (mPopUp) return mutex_NSMenu::stringParamValue(mPopUp.data());
    return QString();
}

void ParamControl::setStringParamValue(const QString &title) {
    if (mMenu) mutex_NSMenu::setStringParamValue(mMenu.data(), title);
    else if (mPopUp) mutex_NSMenu::setStringParamValue(mPopUp.data(), title);
}

}  // namespace mutex_NSMenu

namespace {

void RemoveItem(QMenu *menu, QAction *item) {
    menu->removeAction(item);
    if (item->parent() == menu) item->deleteLater();
}

}  // namespace

void NSMenuRemoveItemsFromIndex(QMenu *menu, int index) {
    if (menu == nullptr) return;
    if (!VERIFY(index>=0)) return;
    const QList<QAction *> items = menu->actions();
    for (qsizetype at = index; at < items.size(); ++at) RemoveItem(menu, items[at]);
}

void NSMenuRemoveItemsInRange(QMenu *menu, int start, int end) {
    if (menu == nullptr) return;
    if (!VERIFY(start>=0)) return;
    const QList<QAction *> items = menu->actions();
    const int itemCount = static_cast<int>(items.size());
    if (!VERIFY(end<=itemCount)) end = itemCount;
    for (int at = start; at < end; ++at) RemoveItem(menu, items[at]);
}

bool import_mutex_NSMenu() { return import_NSMenuItemQt() && import_NSUIParamMapping() && import_CoreMachDebugLog(); }
