// LumoraBookmarksPanel: the design bookmarks panel. Beside the bookmarks of its base it owns the
// online design feed ("Info Dedorodurero": the posts of the design blog with the label
// "lumorafree", updated from those with "lumorapaid"), lists the feed's designs in the design
// menu after a separator, applies a chosen design to the camera view (the bookmark target,
// through its settings text) and restores the last chosen feed design at launch.
//
// Launch (applicationDidFinishLaunching), in order: the feed is made (once); the designs saved
// from an earlier download fill the design menu; the design menu's selector group (the toggle
// "check for new designs on start-up") is restored without performing its action; when that
// toggle is on, or the feed has no designs yet, the feed is downloaded again (in the
// background: ATOM_FEED_HTTP_GET, with its time-out and size cap; the reply arrives on the main
// thread); then the last chosen feed design is applied from the main queue. At quit the toggle,
// the bookmarks and the feed's designs are saved; the last chosen design is a persistent key
// path ("lastFeedDesignSelected").
//
// A design name the feed does not list (any more) is never applied: it would apply an empty
// look. The camera view is reached only through the bookmark target interface
// (protocol_NSUIBookmarksTarget::setSettingsDictionaryScript).
//
// Outlets (not owned): the bookmark menu holding the design menu's items, the check-on-start-up
// item, the separator after which the designs are listed, and the browse controller (the feed's
// delegate). Main thread only.
#pragma once

#include "LumoraDesignFeedMenu.h"

#include <CocoaFoundation/UPersistentObjectsController.h>
#include <Foundation/NSNotification.h>
#include <UICocoaControls/NSUIBookmarksPanel.h>
#include <UICocoaMenus/NSUISelectorGroup.h>

#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>

class LumBrowseController;

class LumoraBookmarksPanel : public NSUIBookmarksPanel, public UPersistentObject {
    Q_OBJECT
    Q_PROPERTY(QMenu *outletBookmarkMenu READ outletBookmarkMenu WRITE setOutletBookmarkMenu)
    Q_PROPERTY(QAction *outletCheckNewDesignsOnStartup READ outletCheckNewDesignsOnStartup WRITE
                   setOutletCheckNewDesignsOnStartup)
    Q_PROPERTY(QAction *outletDedorodureroDesignsMenuSeparator READ outletDedorodureroDesignsMenuSeparator WRITE
                   setOutletDedorodureroDesignsMenuSeparator)
    Q_PROPERTY(QObject *outletBrowseController READ outletBrowseControllerObject WRITE setOutletBrowseControllerObject)
    Q_PROPERTY(QString lastFeedDesignSelected READ lastFeedDesignSelected WRITE setLastFeedDesignSelected)

public:
    // The feed: its category, its user-defaults key and the labels of its two feeds.
    static constexpr char kDesignFeedCategory[] = "Info Dedorodurero";
    static constexpr char kDesignFeedPrefsKey[] = "Dedorodurero";
    static constexpr char kDesignsLabel[] = "lumorafree";
    static constexpr char kMoreDesignsLabel[] = "lumorapaid";
    // The design blog's sub-domain on the blog host (UIParamMapping/ATOM_FEED.h).
    static constexpr char kDesignBlogSubDomain[] = "lumoradesigns";
    // The action of the feed's items in the design menu.
    static constexpr char kSelectFeedDesignAction[] = "menuDedorodureroDesignsSelectItem:";
    static constexpr char kCheckNewDesignsAction[] = "menuDesignsCheckNewDesignsOnStartup:";

    // The design menu's selector group: the one toggle "check for new designs on start-up",
    // saved under "menuDesignsCheckNewDesignsOnStartup:".
    static const tagNSUISelectorGroup &designMenuSelectorGroup();

    Q_INVOKABLE explicit LumoraBookmarksPanel(QWidget *parent = nullptr);
    ~LumoraBookmarksPanel() override;

    QMenu *outletBookmarkMenu() const { return mBookmarkMenu; }
    void setOutletBookmarkMenu(QMenu *menu) { mBookmarkMenu = menu; }
    QAction *outletCheckNewDesignsOnStartup() const { return mCheckNewDesignsOnStartup; }
    void setOutletCheckNewDesignsOnStartup(QAction *item) { mCheckNewDesignsOnStartup = item; }
    QAction *outletDedorodureroDesignsMenuSeparator() const { return mDesignsMenuSeparator; }
    void setOutletDedorodureroDesignsMenuSeparator(QAction *item) { mDesignsMenuSeparator = item; }
    LumBrowseController *outletBrowseController() const;
    void setOutletBrowseController(LumBrowseController *controller);
    QObject *outletBrowseControllerObject() const;
    void setOutletBrowseControllerObject(QObject *controller);

    // The feed; null before launch (or when it could not be made).
    LumoraDesignFeedMenu *dedorodureroDesignsFeed() const { return mDesignsFeed.get(); }
    QString lastFeedDesignSelected() const { return mLastFeedDesignSelected; }
    void setLastFeedDesignSelected(const QString &name) { mLastFeedDesignSelected = name; }

    QSet<QString> persistentObjectKeyPaths() const override;

    // Registers for persistence, panel look, the base's wake-up, then the stored bookmarks.
    Q_INVOKABLE void awakeFromNib() override;

    // Makes the feed menu (once); the browse controller becomes its delegate.
    void open_wide_for_GDATA_FEEDS();
    Q_INVOKABLE void applicationDidFinishLaunching(const NSNotification &notification);
    Q_INVOKABLE void applicationWillTerminate(const NSNotification &notification);

    // The feed's design names (requirements met), sorted; empty before launch.
    QStringList designNames() const;
    // The addresses of the designs feed and of the update feed.
    virtual QString designsURL() const;
    virtual QString moreDesignsURL() const;

    // Applies a design's settings text to the camera view.
    void applyDesignCodesToCameraView(const QString &designCodes);
    // Applies the content of the feed entry stored under the key; nothing when an argument or
    // the entry is missing.
    void selectDictionaryDesign(const QVariantMap &dictionary, const QString &key);
    // Applies the feed's design of that name; false (nothing applied) when the feed does not
    // list it.
    bool selectFeedDesign(LumoraDesignFeedMenu *feed, const QString &name);

    // A design chosen from the menu (the item's title): applied and remembered.
    Q_INVOKABLE void menuDedorodureroDesignsSelectItem(QObject *sender);
    // The remembered design applied again (launch).
    Q_INVOKABLE void applicationRestoreLastDesign();
    // Downloads the feed again (in the background).
    Q_INVOKABLE void menuDesignsRefreshWebFeeds(QObject *sender = nullptr);
    // Flips the check-on-start-up toggle.
    Q_INVOKABLE void menuDesignsCheckNewDesignsOnStartup(QObject *sender);
    // Whether the check-on-start-up item is on (false without it).
    bool checksNewDesignsOnStartup() const;

private:
    // The check-on-start-up item sends its action to the panel.
    void linkCheckItem();

    QPointer<QMenu> mBookmarkMenu;
    QPointer<QAction> mCheckNewDesignsOnStartup;
    QPointer<QAction> mDesignsMenuSeparator;
    QPointer<QObject> mBrowseController;
    std::unique_ptr<LumoraDesignFeedMenu> mDesignsFeed;
    QString mLastFeedDesignSelected;
    bool mRegistered = false;
};

bool import_LumoraBookmarksPanel();
