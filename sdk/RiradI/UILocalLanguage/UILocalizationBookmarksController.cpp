#include "UILocalizationBookmarksController.h"

#include "UILocalLanguageStringID.h"

#include <Foundation/NSObjCRuntime.h>
#include <UIParamMapping/ATOM_FEED.h>
#include <UIParamMapping/NSUIBookmarksTarget.h>

NS_REGISTER_CLASS(UILocalizationBookmarksController);

bool import_UILocalizationBookmarksController() {
    return import_NSUIBookmarksController() && import_UILocalizationDesignFeedMenu() &&
           import_UILocalLanguageController();
}

namespace {

const UILocalLanguageStringID kUSEnglishName(UILocalizationBookmarksController::kUSEnglishNameID, "English (US)");

// The menu item's action: the controller is the target of every published language's item.
constexpr char kSelectRemoteAction[] = "actionSelectRemotePresetFromDynamicMenu";

}  // namespace

UILocalizationBookmarksController::UILocalizationBookmarksController(QObject *parent) : NSUIBookmarksController(parent) {}

UILocalizationBookmarksController::~UILocalizationBookmarksController() = default;

QString UILocalizationBookmarksController::designsURL() const {
    return UBloggerFeedData(mBlogspotDomain, mFeedburnerSameLabel).atomFeedURLWithOneLabel(mBlogspotLabelPrimary);
}

QString UILocalizationBookmarksController::moreDesignsURL() const {
    return UBloggerFeedData(mBlogspotDomain, mFeedburnerSameLabel).atomFeedURLWithOneLabel(mBlogspotLabelSecondary);
}

QString UILocalizationBookmarksController::designFeedCategory() const { return className(); }

QString UILocalizationBookmarksController::designFeedUserSerializationKey() const {
    return QStringLiteral("%1designFeedUserKey").arg(className());
}

QStringList UILocalizationBookmarksController::designNames() const {
    return mLocalizationsAtomFeed ? mLocalizationsAtomFeed->filteredDesignNames() : QStringList();
}

void UILocalizationBookmarksController::applicationDidFinishLaunching(const NSNotification &) {
    // One feed for the life of the controller: a second launch notice changes nothing.
    if (mLocalizationsAtomFeed) return;
    mLocalizationsAtomFeed = UILocalizationDesignFeedMenu::designFeedMenuWithCategory(
        designFeedCategory(), designsURL(), designFeedUserSerializationKey(), QString());
    if (!mLocalizationsAtomFeed) return;
    const bool hadDesigns = !designNames().isEmpty();
    mLocalizationsAtomFeed->setDelegate(this);
    // The languages saved from an earlier download are shown at once.
    mLocalizationsAtomFeed->refreshDesignMenuFromSeparator(mRemoteFirstSeparator, mRemoteLastSeparator, this,
                                                           kSelectRemoteAction);
    // A first launch fetches the list; afterwards the user asks for it from the menu.
    if (!hadDesigns) actionRefreshDynamicMenuWithRemotePresets();
}

void UILocalizationBookmarksController::applicationWillTerminate(const NSNotification &) {
    savePresetsToUserDefaults();
    if (mLocalizationsAtomFeed) mLocalizationsAtomFeed->saveToUserDefaults();
}

void UILocalizationBookmarksController::actionRefreshDynamicMenuWithRemotePresets(QObject *) {
    if (mLocalizationsAtomFeed) mLocalizationsAtomFeed->refreshFeedDictionaryFromWebWithHTTP();
}

void UILocalizationBookmarksController::actionSelectRemotePresetFromDynamicMenu(QObject *sender) {
    auto *item = qobject_cast<QAction *>(sender);
    if (item == nullptr) return;
    selectRemotePresetDesignWithName(item->text());
}

void UILocalizationBookmarksController::selectRemotePresetDesignWithName(const QString &name) {
    if (name.isNull() || !mLocalizationsAtomFeed) return;
    // A name the feed does not have would apply an empty language; it is left alone instead.
    if (!mLocalizationsAtomFeed->designDictionary().contains(name)) return;
    applyLanguageToControllerTarget(mLocalizationsAtomFeed->designCodeStringForDesignNamed(name));
}

void UILocalizationBookmarksController::applyLanguageToControllerTarget(const QString &text) {
    applyPresetScriptToBookmarkTarget(text);
}

void UILocalizationBookmarksController::actionCreatePresetUsingUSEnglishDefaultsAsTemplate(QObject *) {
    const QString code =
        mLocalLanguageController ? mLocalLanguageController->defaultsForUSEnglishLocalization() : QStringLiteral("");
    addNewPresetForScript(code, UILocalLanguageStringWithID(kUSEnglishName));
}

void UILocalizationBookmarksController::actionAddMissingUIElementsToCustomLanguage(QObject *) {
    protocol_NSUIBookmarksTarget *target = bookmarkTarget();
    if (!mLocalLanguageController || target == nullptr) return;
    const QVariantMap defaults = mLocalLanguageController->defaultsDictionaryForUSEnglishLocalization();
    QVariantMap settings = target->currentSettingsDictionary(true);
    for (auto entry = defaults.cbegin(); entry != defaults.cend(); ++entry)
        if (!settings.contains(entry.key())) settings.insert(entry.key(), entry.value());
    addNewPresetForScript(protocol_NSUIBookmarksTarget::scriptFromDictionary(settings),
                          target->currentSettingsDictionaryName());
}

void UILocalizationBookmarksController::designFeedUpdated(const QVariant &) {}
