#include "LumoraControlDefaults.h"

#include <AppKit/NSButton.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSUserDefaults.h>
#include <UICocoaMenus/mutex_NSMenu.h>
#include <UIParamMapping/NSUIPersistentPrefs.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QSignalBlocker>

namespace {

constexpr char kFile[] = "/Code/app/LumoraApp/LumoraControlDefaults";

QComboBox *PopUpMenu(QObject *popUp, const char *operation) {
    auto *menu = qobject_cast<QComboBox *>(popUp);
    if (menu == nullptr) _CoreMachDebugVerifyBody(operation, kFile, __LINE__, "[popup menu]");
    return menu;
}

}  // namespace

namespace LumoraControlDefaults {

int intValue(const QObject *control) {
    if (auto *ns = qobject_cast<const NSButton *>(control)) return ns->state();
    if (auto *qt = qobject_cast<const QAbstractButton *>(control)) return qt->isChecked() ? 1 : 0;
    return control != nullptr ? control->property("intValue").toInt() : 0;
}

void setIntValue(QObject *control, int value) {
    if (auto *ns = qobject_cast<NSButton *>(control)) ns->setState(value);
    else if (auto *qt = qobject_cast<QAbstractButton *>(control)) qt->setChecked(value != 0);
    else if (control != nullptr) control->setProperty("intValue", value);
}

int loadInteger(const char *key, int defaultValue) { return NSUserDefaultLoadKind(key, defaultValue); }

void saveInteger(const char *key, int value) { NSUserDefaultSaveObject(key, value); }

void loadPopUpTitle(QObject *popUp, const char *key, const QString &defaultTitle) {
    QComboBox *menu = PopUpMenu(popUp, "NSUserDefaultLoad");
    if (menu == nullptr) return;
    const QString title = NSUserDefaultLoadKind(key, defaultTitle);
    const int index = menu->findText(title, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0) menu->setCurrentIndex(index);  // selectExclusiveTitle: no action is sent
}

void savePopUpTitle(QObject *popUp, const char *key) {
    QComboBox *menu = PopUpMenu(popUp, "NSUserDefaultSave");
    if (menu == nullptr) return;
    if (mutex_NSMenu::exclusiveSelection(menu) < 0) return;
    NSUserDefaultSaveObject(key, QVariant(mutex_NSMenu::stringParamValue(menu)));
}

}  // namespace LumoraControlDefaults

bool import_LumoraControlDefaults() { return import_NSUIPersistentPrefs(); }
