#include "NSMenuItemQt.h"

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSException.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>

#include <QPointer>

namespace NSMenuItemQt {

namespace {

constexpr const char *kStateProperty = "state";
constexpr const char *kTargetProperty = "target";
constexpr const char *kActionProperty = "action";

QByteArrayView MethodName(const QByteArray &selector) {
    const qsizetype colon = selector.indexOf(':');
    return colon < 0 ? QByteArrayView(selector) : QByteArrayView(selector).first(colon);
}

}  // namespace

int state(const QAction *item) {
    if (item == nullptr) return NSOffState;
    if (item->isChecked()) return NSOnState;
    return item->property(kStateProperty).toInt() == NSMixedState ? NSMixedState : NSOffState;
}

void setState(QAction *item, int state) {
    if (item == nullptr) return;
    item->setCheckable(true);
    item->setProperty(kStateProperty, state == NSMixedState ? NSMixedState : state == NSOnState ? NSOnState : NSOffState);
    item->setChecked(state == NSOnState);
}

QByteArray action(const QAction *item) {
    return item == nullptr ? QByteArray() : item->property(kActionProperty).toByteArray();
}

QObject *target(const QAction *item) {
    return item == nullptr ? nullptr : NSKeyValueCoding::objectFromVariant(item->property(kTargetProperty));
}

void setTargetAction(QAction *item, QObject *target, const QByteArray &action) {
    if (item == nullptr) return;
    item->setProperty(kTargetProperty, NSKeyValueCoding::variantFromObject(target));
    item->setProperty(kActionProperty, action);
    static constexpr const char *kLinkName = "NSMenuItemQtTargetAction";
    if (item->property(kLinkName).toBool()) return;
    item->setProperty(kLinkName, true);
    QObject::connect(item, &QAction::triggered, item, [item](bool checked) {
        // Qt flipped the mark of a checkable action before this signal; the target decides.
        if (item->isCheckable()) {
            const QSignalBlocker blocker(item);
            item->setChecked(!checked);
        }
        QObject *itemTarget = NSMenuItemQt::target(item);
        const QByteArray itemAction = NSMenuItemQt::action(item);
        if (itemTarget == nullptr || itemAction.isEmpty()) return;
        try {
            performSelector(itemTarget, itemAction, NSKeyValueCoding::variantFromObject(item));
        } catch (const NSException &exception) {
            CoreMachDebugLog("menu item \"%s\": %s\n", item->text().toUtf8().constData(),
                             exception.reason().toUtf8().constData());
        }
    });
}

QMenu *menu(const QAction *item) {
    if (item == nullptr) return nullptr;
    for (QObject *object : item->associatedObjects())
        if (auto *itemMenu = qobject_cast<QMenu *>(object)) return itemMenu;
    return nullptr;
}

bool sameSelector(const QByteArray &a, const QByteArray &b) {
    const QByteArrayView nameA = MethodName(a);
    return !nameA.isEmpty() && nameA == MethodName(b);
}

}  // namespace NSMenuItemQt

bool import_NSMenuItemQt() { return import_CoreMachDebugLog(); }
