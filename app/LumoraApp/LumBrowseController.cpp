#include "LumBrowseController.h"

#include "LumoraBookmarksPanel.h"

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSObjCRuntime.h>
#include <UICocoaMenus/NSMenuItemQt.h>
#include <UICocoaMenus/mutex_NSMenu.h>

#include <QAbstractButton>

NS_REGISTER_CLASS(LumBrowseController);

LumBrowseController::LumBrowseController(QWidget *parent) : NSUIViewHolder(parent) {}

LumBrowseController::~LumBrowseController() = default;

LumoraBookmarksPanel *LumBrowseController::presetsPanel() const {
    return qobject_cast<LumoraBookmarksPanel *>(mPresetsPanel.data());
}
void LumBrowseController::setPresetsPanel(LumoraBookmarksPanel *panel) { mPresetsPanel = panel; }
QObject *LumBrowseController::presetsPanelObject() const { return mPresetsPanel.data(); }
void LumBrowseController::setPresetsPanelObject(QObject *panel) {
    mPresetsPanel = qobject_cast<LumoraBookmarksPanel *>(panel);
}

QObject *LumBrowseController::designPopupObject() const { return mDesignPopup.data(); }
void LumBrowseController::setDesignPopupObject(QObject *popUp) { mDesignPopup = qobject_cast<QPushButton *>(popUp); }

QMenu *LumBrowseController::designMenu() const { return mDesignPopup ? mDesignPopup->menu() : nullptr; }

void LumBrowseController::linkButton(QObject *button, void (LumBrowseController::*action)(QObject *)) {
    auto *qt = qobject_cast<QAbstractButton *>(button);
    if (qt == nullptr) return;
    connect(qt, &QAbstractButton::clicked, this, [this, action, qt] { (this->*action)(qt); });
}

void LumBrowseController::awakeFromNib() {
    if (mAwake) return;
    mAwake = true;
    // The pop-up's control tint has no counterpart in Qt's styles; the button keeps the desktop's.
    if (mDesignPopup && mDesignPopup->menu() == nullptr) {
        auto *menu = new QMenu(mDesignPopup);
        QAction *separator = menu->addSeparator();
        mDesignPopup->setMenu(menu);
        if (!mDesignSeparator) mDesignSeparator = separator;
    }
    linkButton(mNextButton, &LumBrowseController::nextDesign);
    linkButton(mPrevButton, &LumBrowseController::prevDesign);
    linkButton(mReloadButton, &LumBrowseController::reloadDesign);
}

QString LumBrowseController::designName() const {
    if (!VERIFY_TEXT(mDesignPopup, " code : _DesignPopup")) return QStringLiteral("");
    QMenu *menu = designMenu();
    if (menu == nullptr) return QStringLiteral("");
    // Only an item that is on counts: a menu where nothing is on has no selection.
    for (QAction *item : menu->actions())
        if (!item->isSeparator() && NSMenuItemQt::state(item) == NSOnState) return item->text();
    return QStringLiteral("");
}

void LumBrowseController::setDesignName(const QString &name) {
    if (QMenu *menu = designMenu()) {
        // A name the menu does not list selects nothing, so that the selection never disagrees
        // with the name shown.
        mutex_NSMenu::setNoneSelected(menu);
        mutex_NSMenu::selectExclusiveTitlePerformAction(menu, name, false);
    }
    if (mDesignPopup) mDesignPopup->setText(name);
}

void LumBrowseController::selectDesignNameFromSenderTitle(QObject *sender) {
    LumoraBookmarksPanel *panel = presetsPanel();
    if (panel != nullptr) panel->menuDedorodureroDesignsSelectItem(sender);
}

void LumBrowseController::reloadDesign(QObject *) {
    QMenu *menu = designMenu();
    if (menu == nullptr) return;
    for (QAction *item : menu->actions())
        if (!item->isSeparator() && NSMenuItemQt::state(item) == NSOnState) {
            selectDesignNameFromSenderTitle(item);
            return;
        }
}

void LumBrowseController::nextDesign(QObject *sender) { stepDesignBy(+1, sender); }

void LumBrowseController::prevDesign(QObject *sender) { stepDesignBy(-1, sender); }

void LumBrowseController::stepDesignBy(int step, QObject *sender) {
    LumoraBookmarksPanel *panel = presetsPanel();
    const QStringList names = panel != nullptr ? panel->designNames() : QStringList();
    const qsizetype index = names.indexOf(designName());
    if (!VERIFY_TEXT(index >= 0, " code : designIndex!=NSNotFound")) return;
    const qsizetype stepped = index + step;
    const qsizetype next = stepped >= 0 && stepped < names.size() ? stepped : index;
    setDesignName(names.at(next));
    reloadDesign(sender);
}

void LumBrowseController::rebuildDesignMenu(QObject *) { rebuildDesignNamePopUpButtonMenu(); }

void LumBrowseController::rebuildDesignNamePopUpButtonMenu() {
    QMenu *menu = designMenu();
    if (!VERIFY_TEXT(menu != nullptr, " code : designMenu")) return;
    const int separator = mDesignSeparator ? int(menu->actions().indexOf(mDesignSeparator.data())) : -1;
    if (!VERIFY_TEXT(separator >= 0, " code : _DesignSeparator")) return;
    NSMenuRemoveItemsFromIndex(menu, separator + 1);
    LumoraBookmarksPanel *panel = presetsPanel();
    if (!VERIFY_TEXT(panel != nullptr && panel->dedorodureroDesignsFeed() != nullptr, " code : designNames")) return;
    const QStringList names = panel->designNames();
    if (names.isEmpty()) return;
    mDesignPopup->setVisible(true);
    for (const QString &name : names) {
        auto *item = new QAction(name, menu);
        menu->addAction(item);
        NSMenuItemQt::setTargetAction(item, this, kSelectDesignAction);
    }
}

void LumBrowseController::designFeedUpdated(const QVariant &) {
    const QString name = designName();
    rebuildDesignNamePopUpButtonMenu();
    if (!name.isEmpty()) setDesignName(name);
}

bool import_LumBrowseController() { return import_NSUIViewHolder() && import_mutex_NSMenu() && import_NSMenuItemQt(); }
