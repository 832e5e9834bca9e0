// UILocalizationDesignFeedMenu: the design-feed menu of the interface languages. It adds
// nothing and hides nothing; its own class makes the feed its own kind of object.
#pragma once

#include "NSUIDesignFeedMenu.h"

class UILocalizationDesignFeedMenu : public NSUIDesignFeedMenu {
    Q_OBJECT
public:
    explicit UILocalizationDesignFeedMenu(QObject *parent = nullptr);
    ~UILocalizationDesignFeedMenu() override;

    static std::unique_ptr<UILocalizationDesignFeedMenu> designFeedMenuWithCategory(const QString &category,
                                                                                    const QString &feedURL,
                                                                                    const QString &prefsKey,
                                                                                    const QString &updateURL);
    static std::unique_ptr<UILocalizationDesignFeedMenu> designFeedMenuWithCategory(const QString &category,
                                                                                    const QString &feedURL,
                                                                                    const QString &prefsKey);
};

bool import_UILocalizationDesignFeedMenu();
