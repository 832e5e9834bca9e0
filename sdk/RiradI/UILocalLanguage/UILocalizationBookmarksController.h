// UILocalizationBookmarksController: the bookmarks controller of the interface languages. A
// language is a bookmark whose code string holds {string ID: text}; its target is the
// interface-language controller (outletTarget, usually the same object as
// outletLocalLanguageController).
//
// Beyond the plain bookmarks it keeps the published languages: a design feed
// (localizationsAtomFeed) read from the languages blog, whose designs are shown as items of the
// language menu between its two remote separators. Choosing such an item applies that
// language's code string to the target. The feed is made at launch
// (applicationDidFinishLaunching): its saved designs are shown at once, and a download starts
// only when there are none yet; later the user asks for one from the menu
// (actionRefreshDynamicMenuWithRemotePresets). Downloads run in the background and reply on the
// main thread. At termination the bookmarks and the feed's designs are saved in the user
// defaults.
//
// New languages: one from the US English defaults (named with the text of
// "app.string.localization.usenglish"), and a completed copy of the current language that holds
// every string ID it lacked with its US English text (named by the target,
// "UI for <locale>").
//
// Feed settings (blogspotDomain, the two labels, feedburnerSameLabel) are given by the panel at
// launch, by key. The feed's address is designsURL; a subclass may answer another address.
#pragma once

#include "UILocalLanguageController.h"

#include <Foundation/NSNotification.h>
#include <UICocoaControls/NSUIBookmarksController.h>
#include <UICocoaMenus/UILocalizationDesignFeedMenu.h>

#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>

class UILocalizationBookmarksController : public NSUIBookmarksController {
    Q_OBJECT
    Q_PROPERTY(QMenu *outletLocalizationMenu MEMBER mLocalizationMenu)
    Q_PROPERTY(QAction *outletRemoteLanguagesMenuSeparator MEMBER mRemoteFirstSeparator)
    Q_PROPERTY(QAction *outletRemoteLanguagesLastSeparator MEMBER mRemoteLastSeparator)
    Q_PROPERTY(UILocalLanguageController *outletLocalLanguageController MEMBER mLocalLanguageController)
    Q_PROPERTY(QString blogspotDomain MEMBER mBlogspotDomain)
    Q_PROPERTY(QString blogspotLabelPrimary MEMBER mBlogspotLabelPrimary)
    Q_PROPERTY(QString blogspotLabelSecondary MEMBER mBlogspotLabelSecondary)
    Q_PROPERTY(bool feedburnerSameLabel MEMBER mFeedburnerSameLabel)
    Q_PROPERTY(UILocalizationDesignFeedMenu *localizationsAtomFeed READ localizationsAtomFeed)

public:
    // The string ID of the name of a new US English language.
    static constexpr char kUSEnglishNameID[] = "app.string.localization.usenglish";

    Q_INVOKABLE explicit UILocalizationBookmarksController(QObject *parent = nullptr);
    ~UILocalizationBookmarksController() override;

    // Outlets (not owned) and feed settings.
    QMenu *outletLocalizationMenu() const { return mLocalizationMenu; }
    void setOutletLocalizationMenu(QMenu *menu) { mLocalizationMenu = menu; }
    QAction *outletRemoteLanguagesMenuSeparator() const { return mRemoteFirstSeparator; }
    void setOutletRemoteLanguagesMenuSeparator(QAction *separator) { mRemoteFirstSeparator = separator; }
    QAction *outletRemoteLanguagesLastSeparator() const { return mRemoteLastSeparator; }
    void setOutletRemoteLanguagesLastSeparator(QAction *separator) { mRemoteLastSeparator = separator; }
    UILocalLanguageController *outletLocalLanguageController() const { return mLocalLanguageController; }
    void setOutletLocalLanguageController(UILocalLanguageController *controller) { mLocalLanguageController = controller; }
    QString blogspotDomain() const { return mBlogspotDomain; }
    void setBlogspotDomain(const QString &domain) { mBlogspotDomain = domain; }
    QString blogspotLabelPrimary() const { return mBlogspotLabelPrimary; }
    void setBlogspotLabelPrimary(const QString &label) { mBlogspotLabelPrimary = label; }
    QString blogspotLabelSecondary() const { return mBlogspotLabelSecondary; }
    void setBlogspotLabelSecondary(const QString &label) { mBlogspotLabelSecondary = label; }
    bool feedburnerSameLabel() const { return mFeedburnerSameLabel; }
    void setFeedburnerSameLabel(bool flag) { mFeedburnerSameLabel = flag; }

    // The published languages; null before launch.
    UILocalizationDesignFeedMenu *localizationsAtomFeed() const { return mLocalizationsAtomFeed.get(); }

    // The feed addresses of the primary and the secondary label.
    virtual QString designsURL() const;
    QString moreDesignsURL() const;
    // The feed's category (the class name) and its user-defaults key ("<class name>designFeedUserKey").
    QString designFeedCategory() const;
    QString designFeedUserSerializationKey() const;
    // The names of the published languages, sorted; empty before launch.
    QStringList designNames() const;

    // Makes the feed (once) and shows its designs in the menu; downloads when it has none.
    Q_INVOKABLE void applicationDidFinishLaunching(const NSNotification &notification);
    // Saves the bookmarks and the feed's designs.
    Q_INVOKABLE void applicationWillTerminate(const NSNotification &notification);

    // Starts a download of the published languages (nothing before launch).
    Q_INVOKABLE void actionRefreshDynamicMenuWithRemotePresets(QObject *sender = nullptr);
    // Applies the published language titled as the menu item.
    Q_INVOKABLE void actionSelectRemotePresetFromDynamicMenu(QObject *sender);
    // Applies the published language of that name; nothing for a null name or before launch.
    void selectRemotePresetDesignWithName(const QString &name);
    void applyLanguageToControllerTarget(const QString &text);

    // Adds a language made of the US English defaults.
    Q_INVOKABLE void actionCreatePresetUsingUSEnglishDefaultsAsTemplate(QObject *sender = nullptr);
    // Adds a copy of the target's current language completed with every missing string ID in
    // US English; nothing without a language controller or a target.
    Q_INVOKABLE void actionAddMissingUIElementsToCustomLanguage(QObject *sender = nullptr);

    // The feed's delegate message: nothing to do, the menu rebuilds itself.
    Q_INVOKABLE void designFeedUpdated(const QVariant &argument);

private:
    QPointer<QMenu> mLocalizationMenu;
    QPointer<QAction> mRemoteFirstSeparator;
    QPointer<QAction> mRemoteLastSeparator;
    QPointer<UILocalLanguageController> mLocalLanguageController;
    QString mBlogspotDomain;
    QString mBlogspotLabelPrimary;
    QString mBlogspotLabelSecondary;
    bool mFeedburnerSameLabel = false;
    std::unique_ptr<UILocalizationDesignFeedMenu> mLocalizationsAtomFeed;
};

bool import_UILocalizationBookmarksController();
