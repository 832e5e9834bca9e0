#include <LumoraApp/LumCountDownCtrl.h>

#include "LumoraControlDefaults.h"

#include <Foundation/NSObjCRuntime.h>

#include <QAction>
#include <QActionGroup>
#include <QComboBox>

NS_REGISTER_CLASS(LumCountDownCtrl);

LumCountDownCtrl::LumCountDownCtrl(QWidget *parent) : NSUICamTimedSnapper(parent) {}
LumCountDownCtrl::~LumCountDownCtrl() = default;

void LumCountDownCtrl::shutterSoundChanged(QObject *menuItem) {
    if (menuItem == nullptr) return;
    QString title;
    if (auto *action = qobject_cast<QAction *>(menuItem)) {
        title = action->text();
        if (action->isCheckable()) {
            if (QActionGroup *group = action->actionGroup())
                for (QAction *other : group->actions()) other->setChecked(other == action);
            action->setChecked(true);
        }
    } else if (auto *popUp = qobject_cast<QComboBox *>(menuItem)) {
        title = popUp->currentText();
    } else {
        title = menuItem->property("title").toString();
    }
    if (title.isEmpty()) return;
    setCameraClickSoundFile(QStringLiteral("%1.aiff").arg(title));
}

void LumCountDownCtrl::applicationDidFinishLaunching(const NSNotification &) {
    setCameraClickSoundFile(QStringLiteral("Default.aiff"));
    setCountdownEnabled(LumoraControlDefaults::loadInteger("_enabled", 0) != 0);
}

void LumCountDownCtrl::applicationWillTerminate(const NSNotification &) {
    LumoraControlDefaults::saveInteger("_enabled", countdownEnabled() ? 1 : 0);
}

bool import_LumCountDownCtrl() { return import_NSUICamTimedSnapper(); }
