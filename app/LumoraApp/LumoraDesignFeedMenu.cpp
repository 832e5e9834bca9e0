#include "LumoraDesignFeedMenu.h"

LumoraDesignFeedMenu::LumoraDesignFeedMenu(QObject *parent) : NSUIDesignFeedMenu(parent) {}

LumoraDesignFeedMenu::~LumoraDesignFeedMenu() = default;

std::unique_ptr<LumoraDesignFeedMenu> LumoraDesignFeedMenu::designFeedMenuWithCategory(const QString &category,
                                                                                       const QString &feedURL,
                                                                                       const QString &prefsKey,
                                                                                       const QString &updateURL) {
    auto menu = std::make_unique<LumoraDesignFeedMenu>();
    menu->initFeedMenuWithCategory(category, feedURL, prefsKey, updateURL);
    menu->setFilterDesignsByRequirements(true);
    return menu;
}

std::optional<bool> LumoraDesignFeedMenu::shouldFilterDesign(const NSUIDesignCodes &design) {
    return design.isVersionRequiredAndNotMet(QString::fromLatin1(kRequiresVersionKey),
                                             QString::fromLatin1(kApplicationVersion));
}

bool import_LumoraDesignFeedMenu() { return import_NSUIDesignFeedMenu(); }
