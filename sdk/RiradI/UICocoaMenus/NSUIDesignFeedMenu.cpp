#include "NSUIDesignFeedMenu.h"

#include "NSMenuItemQt.h"
#include "mutex_NSMenu.h"

#include <Foundation/NSException.h>

#include <QMenu>

#include <algorithm>

NSUIDesignFeedMenu::NSUIDesignFeedMenu(QObject *parent) : NSUIDesignFeed(parent) {}

NSUIDesignFeedMenu::~NSUIDesignFeedMenu() = default;

void NSUIDesignFeedMenu::initFeedMenuWithCategory(const QString &category, const QString &feedURL,
                                                  const QString &prefsKey, const QString &updateURL) {
    initFeedWithCategory(category, feedURL, prefsKey, updateURL);
    mFromMenuSeparator = nullptr;
    mToMenuSeparatorOrNil = nullptr;
    mMenuTarget = nullptr;
    mMenuAction.clear();
    mFilterDesignsByRequirements = false;
}

std::unique_ptr<NSUIDesignFeedMenu> NSUIDesignFeedMenu::designFeedMenuWithCategory(const QString &category,
                                                                                   const QString &feedURL,
                                                                                   const QString &prefsKey,
                                                                                   const QString &updateURL) {
    auto menu = std::make_unique<NSUIDesignFeedMenu>();
    menu->initFeedMenuWithCategory(category, feedURL, prefsKey, updateURL);
    return menu;
}

std::unique_ptr<NSUIDesignFeedMenu> NSUIDesignFeedMenu::designFeedMenuWithCategory(const QString &category,
                                                                                   const QString &feedURL,
                                                                                   const QString &prefsKey) {
    return designFeedMenuWithCategory(category, feedURL, prefsKey, QString());
}

std::optional<bool> NSUIDesignFeedMenu::shouldFilterDesign(const NSUIDesignCodes &) { return std::nullopt; }

QVariantMap NSUIDesignFeedMenu::designDictionary() { return filteredDesignsByRequirements(); }

QVariantMap NSUIDesignFeedMenu::filteredDesignsByRequirements() {
    std::lock_guard lock(mLock);
    QVariantMap designs = NSUIDesignFeed::designDictionary();
    if (!mFilterDesignsByRequirements) return designs;
    for (const QString &name : designs.keys()) {
        const std::unique_ptr<NSUIDesignCodes> design = designNamed(name);
        const std::optional<bool> hide = shouldFilterDesign(*design);
        if (!hide) return designs;  // no test in this class
        if (*hide) designs.remove(name);
    }
    return designs;
}

QStringList NSUIDesignFeedMenu::filteredDesignNames() {
    QStringList names = filteredDesignsByRequirements().keys();
    std::stable_sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    return names;
}

bool NSUIDesignFeedMenu::setDesignMenuFromSeparator(QAction *fromSeparator, QAction *toSeparatorOrNil,
                                                    QObject *target, const QByteArray &action) {
    if (fromSeparator == nullptr || target == nullptr || action.isEmpty()) return false;
    mFromMenuSeparator = fromSeparator;
    mToMenuSeparatorOrNil = toSeparatorOrNil;
    mMenuTarget = target;
    mMenuAction = action;
    return true;
}

bool NSUIDesignFeedMenu::refreshDesignMenuFromSeparator(QAction *fromSeparator, QAction *toSeparatorOrNil,
                                                        QObject *target, const QByteArray &action) {
    if (!setDesignMenuFromSeparator(fromSeparator, toSeparatorOrNil, target, action)) return false;
    designDictionaryChanged(QVariant::fromValue<QObject *>(this));
    return true;
}

bool NSUIDesignFeedMenu::setDesignMenu(QAction *fromSeparator, QObject *target, const QByteArray &action) {
    return setDesignMenuFromSeparator(fromSeparator, nullptr, target, action);
}

bool NSUIDesignFeedMenu::refreshDesignMenu(QAction *fromSeparator, QObject *target, const QByteArray &action) {
    return refreshDesignMenuFromSeparator(fromSeparator, nullptr, target, action);
}

void NSUIDesignFeedMenu::buildMenuWithTarget(QObject *target, const QByteArray &action) {
    QAction *from = mFromMenuSeparator;
    if (from == nullptr || !from->isSeparator()) return;
    QMenu *menu = NSMenuItemQt::menu(from);
    if (menu == nullptr) return;
    const QStringList names = filteredDesignNames();
    const int first = int(menu->actions().indexOf(from)) + 1;
    if (mToMenuSeparatorOrNil) {
        const int to = int(menu->actions().indexOf(mToMenuSeparatorOrNil.data()));
        if (to < first) {
            NSLog(QStringLiteral("%1: the second separator does not follow the first in its menu; the designs are not shown")
                      .arg(description()));
            return;
        }
        NSMenuRemoveItemsInRange(menu, first, to);
    } else {
        NSMenuRemoveItemsFromIndex(menu, first);
    }
    for (qsizetype position = 0; position < names.size(); ++position) {
        const QList<QAction *> items = menu->actions();
        const int at = first + int(position);
        auto *item = new QAction(names.at(position), menu);
        menu->insertAction(at < items.size() ? items.at(at) : nullptr, item);
        NSMenuItemQt::setTargetAction(item, target, action);
        NSMenuItemQt::setState(item, NSOffState);
    }
}

void NSUIDesignFeedMenu::designDictionaryChanged(const QVariant &argument) {
    NSUIDesignFeed::designDictionaryChanged(argument);
    if (mFromMenuSeparator && mMenuTarget && !mMenuAction.isEmpty()) buildMenuWithTarget(mMenuTarget, mMenuAction);
}

bool import_NSUIDesignFeedMenu() { return import_NSUIDesignFeed() && import_mutex_NSMenu() && import_NSMenuItemQt(); }
