#include "LumoraBookmarksPanel.h"

#include "LumBrowseController.h"
#include "LumoraWindow.h"

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSObjCRuntime.h>
#include <UICocoaMenus/NSMenuItemQt.h>
#include <UIParamMapping/ATOM_FEED.h>

NS_REGISTER_CLASS(LumoraBookmarksPanel);

namespace {

const tagNSUISelector kDesignMenuSelectors[] = {
    {LumoraBookmarksPanel::kCheckNewDesignsAction, "menuDesignsCheckNewDesignsOnStartup"},
    {nullptr, nullptr},
};

const tagNSUISelectorGroup kDesignMenuSelectorGroup = {false, "LumoraDesignMenu", kDesignMenuSelectors};

}  // namespace

const tagNSUISelectorGroup &LumoraBookmarksPanel::designMenuSelectorGroup() { return kDesignMenuSelectorGroup; }

LumoraBookmarksPanel::LumoraBookmarksPanel(QWidget *parent) : NSUIBookmarksPanel(parent) {
    setWindowTitle(QStringLiteral("Bookmarks and Designs"));
}

LumoraBookmarksPanel::~LumoraBookmarksPanel() {
    if (mRegistered) UPersistentObjectsController::unregisterPersistentObjectShared(this);
}

LumBrowseController *LumoraBookmarksPanel::outletBrowseController() const {
    return qobject_cast<LumBrowseController *>(mBrowseController.data());
}
void LumoraBookmarksPanel::setOutletBrowseController(LumBrowseController *controller) { mBrowseController = controller; }
QObject *LumoraBookmarksPanel::outletBrowseControllerObject() const { return mBrowseController.data(); }
void LumoraBookmarksPanel::setOutletBrowseControllerObject(QObject *controller) {
    mBrowseController = qobject_cast<LumBrowseController *>(controller);
}

QSet<QString> LumoraBookmarksPanel::persistentObjectKeyPaths() const {
    return {QStringLiteral("lastFeedDesignSelected")};
}

void LumoraBookmarksPanel::awakeFromNib() {
    if (!mRegistered) {
        mRegistered = true;
        UPersistentObjectsController::registerPersistentObjectShared(this);
    }
    LumoraPanel::setPanelProperties(this);
    // The normal window level: a tool window that does not stay above other applications.
    setWindowFlag(Qt::WindowStaysOnTopHint, false);
    NSUIBookmarksPanel::awakeFromNib();
    if (NSUIBookmarksController *controller = outletBookmarksController()) controller->loadPresetsFromUserDefaults();
    linkCheckItem();
}

void LumoraBookmarksPanel::linkCheckItem() {
    if (mCheckNewDesignsOnStartup && NSMenuItemQt::action(mCheckNewDesignsOnStartup).isEmpty())
        NSMenuItemQt::setTargetAction(mCheckNewDesignsOnStartup, this, kCheckNewDesignsAction);
}

namespace {

// The feed address of a label on the design blog, over HTTPS: the designs are applied to the
// camera view as they arrive, so they are not taken from a connection anyone on the way can
// rewrite. (The blog host and the feed proxy both answer HTTPS.)
QString DesignBlogFeedURL(const char *label) {
    QString address = UBloggerFeedData::bloggerFeedDataWithBlogspotSubDomain(
                          QString::fromLatin1(LumoraBookmarksPanel::kDesignBlogSubDomain))
                          ->atomFeedURLWithOneLabel(QString::fromLatin1(label));
    if (address.startsWith(QLatin1String("http://"))) address.insert(4, QLatin1Char('s'));
    return address;
}

}  // namespace

QString LumoraBookmarksPanel::designsURL() const { return DesignBlogFeedURL(kDesignsLabel); }

QString LumoraBookmarksPanel::moreDesignsURL() const { return DesignBlogFeedURL(kMoreDesignsLabel); }

void LumoraBookmarksPanel::open_wide_for_GDATA_FEEDS() {
    if (mDesignsFeed) return;  // one feed for the panel's life
    mDesignsFeed = LumoraDesignFeedMenu::designFeedMenuWithCategory(QString::fromLatin1(kDesignFeedCategory), designsURL(),
                                                                   QString::fromLatin1(kDesignFeedPrefsKey),
                                                                   moreDesignsURL());
    if (!VERIFY_TEXT(mDesignsFeed != nullptr, " code : __dedorodureroDesignsFeed")) return;
    mDesignsFeed->setDelegate(mBrowseController.data());
}

void LumoraBookmarksPanel::applicationDidFinishLaunching(const NSNotification &) {
    open_wide_for_GDATA_FEEDS();
    const bool empty = designNames().isEmpty();
    // The saved designs fill the design menu; the browser hears of them too, also when there is
    // no design menu to fill.
    if (mDesignsFeed && !mDesignsFeed->refreshDesignMenu(mDesignsMenuSeparator, this, kSelectFeedDesignAction))
        mDesignsFeed->designDictionaryChanged(QVariant::fromValue<QObject *>(mDesignsFeed.get()));
    bool checkOnStartup = false;
    if (mBookmarkMenu && mCheckNewDesignsOnStartup) {
        linkCheckItem();
        NSUISelectorGroup::restoreSelectorGroupPreferencesWithPerformMenuAction(mBookmarkMenu, &kDesignMenuSelectorGroup,
                                                                              false);
        checkOnStartup = checksNewDesignsOnStartup();
    }
    if (checkOnStartup || empty) menuDesignsRefreshWebFeeds(nullptr);
    performSelectorOnMainThread(this, "applicationRestoreLastDesign", QVariant(), false);
}

void LumoraBookmarksPanel::applicationWillTerminate(const NSNotification &) {
    if (mBookmarkMenu) NSUISelectorGroup::saveSelectorGroupPreferences(mBookmarkMenu, &kDesignMenuSelectorGroup);
    if (NSUIBookmarksController *controller = outletBookmarksController()) controller->savePresetsToUserDefaults();
    if (mDesignsFeed) mDesignsFeed->saveToUserDefaults();
}

QStringList LumoraBookmarksPanel::designNames() const {
    return mDesignsFeed ? mDesignsFeed->filteredDesignNames() : QStringList();
}

void LumoraBookmarksPanel::applyDesignCodesToCameraView(const QString &designCodes) {
    applyDesignCodesToBookmarkTarget(designCodes);
}

void LumoraBookmarksPanel::selectDictionaryDesign(const QVariantMap &dictionary, const QString &key) {
    if (dictionary.isEmpty() || key.isNull()) return;
    const std::shared_ptr<ATOM_FEED_ITEM> item = ATOM_FEED_ITEM::fromVariant(dictionary.value(key));
    if (item) applyDesignCodesToCameraView(item->content());
}

bool LumoraBookmarksPanel::selectFeedDesign(LumoraDesignFeedMenu *feed, const QString &name) {
    if (feed == nullptr || name.isEmpty()) return false;
    // The feed answers an empty settings text for a name it does not list; applying that would
    // wipe the look, so such a name is left alone.
    if (!feed->designDictionary().contains(name)) return false;
    const QString code = feed->designCodeStringForDesignNamed(name);
    if (code.isEmpty()) return false;
    applyDesignCodesToCameraView(code);
    return true;
}

void LumoraBookmarksPanel::menuDedorodureroDesignsSelectItem(QObject *sender) {
    auto *item = qobject_cast<QAction *>(sender);
    if (item == nullptr || !mDesignsFeed) return;
    const QString title = item->text();
    if (selectFeedDesign(mDesignsFeed.get(), title)) setLastFeedDesignSelected(title);
}

void LumoraBookmarksPanel::applicationRestoreLastDesign() {
    if (!mLastFeedDesignSelected.isEmpty()) selectFeedDesign(mDesignsFeed.get(), mLastFeedDesignSelected);
}

void LumoraBookmarksPanel::menuDesignsRefreshWebFeeds(QObject *) {
    if (mDesignsFeed) mDesignsFeed->refreshFeedDictionaryFromWebWithHTTP();
}

void LumoraBookmarksPanel::menuDesignsCheckNewDesignsOnStartup(QObject *sender) {
    auto *item = qobject_cast<QAction *>(sender);
    if (item == nullptr) item = mCheckNewDesignsOnStartup;
    if (item == nullptr) return;
    QMenu *menu = mBookmarkMenu ? mBookmarkMenu.data() : NSMenuItemQt::menu(item);
    if (menu == nullptr) return;
    const bool wasOn = NSMenuItemQt::state(item) == NSOnState;
    NSUISelectorGroup::setMenuItemToggle(menu, kCheckNewDesignsAction, !wasOn, &kDesignMenuSelectorGroup);
}

bool LumoraBookmarksPanel::checksNewDesignsOnStartup() const {
    return mCheckNewDesignsOnStartup && NSMenuItemQt::state(mCheckNewDesignsOnStartup) == NSOnState;
}

bool import_LumoraBookmarksPanel() {
    return import_NSUIBookmarksPanel() && import_LumoraDesignFeedMenu() && import_LumBrowseController() &&
           import_NSUISelectorGroup() && import_ATOM_FEED() && import_UPersistentObjectsController() &&
           import_LumoraWindow();
}
