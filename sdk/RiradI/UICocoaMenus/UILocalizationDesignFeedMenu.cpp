#include "UILocalizationDesignFeedMenu.h"

UILocalizationDesignFeedMenu::UILocalizationDesignFeedMenu(QObject *parent) : NSUIDesignFeedMenu(parent) {}

UILocalizationDesignFeedMenu::~UILocalizationDesignFeedMenu() = default;

std::unique_ptr<UILocalizationDesignFeedMenu> UILocalizationDesignFeedMenu::designFeedMenuWithCategory(
    const QString &category, const QString &feedURL, const QString &prefsKey, const QString &updateURL) {
    auto menu = std::make_unique<UILocalizationDesignFeedMenu>();
    menu->initFeedMenuWithCategory(category, feedURL, prefsKey, updateURL);
    return menu;
}

std::unique_ptr<UILocalizationDesignFeedMenu> UILocalizationDesignFeedMenu::designFeedMenuWithCategory(
    const QString &category, const QString &feedURL, const QString &prefsKey) {
    return designFeedMenuWithCategory(category, feedURL, prefsKey, QString());
}

bool import_UILocalizationDesignFeedMenu() { return import_NSUIDesignFeedMenu(); }
