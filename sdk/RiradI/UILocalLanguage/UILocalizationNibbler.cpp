#include "UILocalizationNibbler.h"

#include "UILocalLanguageStringID.h"

#include <Foundation/NSObjCRuntime.h>

#include <QHeaderView>

NS_REGISTER_CLASS(UILocalizationNibbler);

bool import_UILocalizationNibbler() {
    return import_UILocalizationBookmarksController() && import_UILocalizationEditorArrayController() &&
           import_NSUIViewNibbler();
}

namespace {

const UILocalLanguageStringID kRefreshRemote("app.string.localization.menu.refresh", "Check for Published Languages");

}  // namespace

UILocalizationNibbler::UILocalizationNibbler(QWidget *parent) : NSUIViewNibbler(parent) {
    mLanguages.setColumnBindings({{"presetNameString", "presetNameString", true}});
    mRefreshAction = mLocalizationMenu.addAction(UILocalLanguageStringWithID(kRefreshRemote));
    mRefreshAction->setObjectName("actionRefreshDynamicMenuWithRemotePresets");
    mRemoteFirstSeparator = mLocalizationMenu.addSeparator();
    mRemoteFirstSeparator->setObjectName("outletRemoteLanguagesMenuSeparator");
    mRemoteLastSeparator = mLocalizationMenu.addSeparator();
    mRemoteLastSeparator->setObjectName("outletRemoteLanguagesLastSeparator");
    mEditor.setOutletArrayController(&mLanguages);
    mBookmarks.setOutletArrayController(&mLanguages);
    mBookmarks.setOutletLocalizationMenu(&mLocalizationMenu);
    mBookmarks.setOutletRemoteLanguagesMenuSeparator(mRemoteFirstSeparator);
    mBookmarks.setOutletRemoteLanguagesLastSeparator(mRemoteLastSeparator);
    setNibblerController(&mBookmarks);
}

UILocalizationNibbler::~UILocalizationNibbler() = default;

void UILocalizationNibbler::awakeFromNibbler() {
    if (mWired) return;
    mWired = true;
    if (mLanguagesTableView) {
        mLanguages.setTableView(mLanguagesTableView);
        mLanguages.awakeFromNib();
        mLanguages.bindTableView(mLanguagesTableView);
        mLanguagesTableView->setSelectionMode(QAbstractItemView::SingleSelection);
        mLanguagesTableView->horizontalHeader()->hide();
        mLanguagesTableView->horizontalHeader()->setStretchLastSection(true);
        mLanguagesTableView->verticalHeader()->hide();
    }
    mEditor.setOutletTableView(mEditorTableView);
    mEditor.awakeFromNib();
    // The languages belong to the interface-language controller, which is also their target;
    // the stored list becomes the table's rows.
    UILocalLanguageController *language = UILocalLanguageController::language();
    mBookmarks.setOutletLocalLanguageController(language);
    mBookmarks.setOutletTarget(language);
    mBookmarks.awakeFromNib();
    connect(mRefreshAction, &QAction::triggered, &mBookmarks,
            [this] { mBookmarks.actionRefreshDynamicMenuWithRemotePresets(mRefreshAction); });
    if (mNewLanguageButton)
        connect(mNewLanguageButton, &QPushButton::clicked, &mBookmarks,
                [this] { mBookmarks.actionCreatePresetUsingUSEnglishDefaultsAsTemplate(mNewLanguageButton); });
    if (mCompleteLanguageButton)
        connect(mCompleteLanguageButton, &QPushButton::clicked, &mBookmarks,
                [this] { mBookmarks.actionAddMissingUIElementsToCustomLanguage(mCompleteLanguageButton); });
    if (mEditorTableView) mEditorTableView->verticalHeader()->hide();
    if (mRemoteLanguagesButton) {
        mRemoteLanguagesButton->setMenu(&mLocalizationMenu);
        mRemoteLanguagesButton->setPopupMode(QToolButton::InstantPopup);
    }
    if (mUpdateButton) connect(mUpdateButton, &QPushButton::clicked, &mEditor, [this] { mEditor.updateValues(); });
    if (mRevertButton) connect(mRevertButton, &QPushButton::clicked, &mEditor, [this] { mEditor.revertValues(); });
    if (mRemoveLanguageButton)
        connect(mRemoveLanguageButton, &QPushButton::clicked, &mLanguages, [this] { mLanguages.remove(); });
    connect(&mEditor, &UILocalizationEditorArrayController::editorStateChanged, this,
            &UILocalizationNibbler::followEditorState);
    followEditorState();
}

void UILocalizationNibbler::followEditorState() {
    if (mUpdateButton) mUpdateButton->setEnabled(mEditor.canUpdateValues());
    if (mRevertButton) mRevertButton->setEnabled(mEditor.canRevertValues());
}
