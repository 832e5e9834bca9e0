// LumoraDesignFeedMenu: the application's design-feed menu. A design may state the version of
// the application it needs under "requires.version"; a design that needs a later version than
// this one ("2.0.4") is left out of the menu and of the design names.
#pragma once

#include <UICocoaMenus/NSUIDesignFeedMenu.h>

#include <memory>

class LumoraDesignFeedMenu : public NSUIDesignFeedMenu {
    Q_OBJECT
public:
    // The application version designs are checked against.
    static constexpr char kApplicationVersion[] = "2.0.4";
    // The key under which a design states the version it needs.
    static constexpr char kRequiresVersionKey[] = "requires.version";

    explicit LumoraDesignFeedMenu(QObject *parent = nullptr);
    ~LumoraDesignFeedMenu() override;

    // The base's set-up with the same arguments, then filtering by requirements on.
    static std::unique_ptr<LumoraDesignFeedMenu> designFeedMenuWithCategory(const QString &category,
                                                                          const QString &feedURL,
                                                                          const QString &prefsKey,
                                                                          const QString &updateURL);

    // True (the design is hidden) when it requires a version that "2.0.4" does not meet.
    std::optional<bool> shouldFilterDesign(const NSUIDesignCodes &design) override;
};

bool import_LumoraDesignFeedMenu();
