// UILocalizationNibbler: the content of the localisation panel, loaded from its own nib.
//
// The nib holds the widgets: the languages table, the text editor table and the buttons. The
// controllers that Cocoa keeps in the nib are objects of the nibbler here (a Qt form holds only
// widgets): the languages' bookmarks controller (the nibbler's controller, whose target is the
// interface-language controller), its array controller (the bookmarks, shown by the languages
// table), the row editor of the selected language (shown by the editor table) and the language
// menu with the two separators that frame the published languages. They are connected when the
// nib has loaded (awakeFromNibbler): New and Add Missing Texts go to the bookmarks controller, as
// do the menu's refresh item and its published languages; the update and revert buttons are
// enabled only while the editor can write.
#pragma once

#include "UILocalizationBookmarksController.h"
#include "UILocalizationEditorArrayController.h"

#include <CocoaFoundation/NSUIDNDArrayController.h>
#include <UICocoaViews/NSUIViewNibbler.h>

#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>

class UILocalizationNibbler : public NSUIViewNibbler {
    Q_OBJECT
    Q_PROPERTY(QTableView *outletLanguagesTableView MEMBER mLanguagesTableView)
    Q_PROPERTY(QTableView *outletEditorTableView MEMBER mEditorTableView)
    Q_PROPERTY(QPushButton *outletUpdateButton MEMBER mUpdateButton)
    Q_PROPERTY(QPushButton *outletRevertButton MEMBER mRevertButton)
    Q_PROPERTY(QPushButton *outletNewLanguageButton MEMBER mNewLanguageButton)
    Q_PROPERTY(QPushButton *outletCompleteLanguageButton MEMBER mCompleteLanguageButton)
    Q_PROPERTY(QPushButton *outletRemoveLanguageButton MEMBER mRemoveLanguageButton)
    Q_PROPERTY(QToolButton *outletRemoteLanguagesButton MEMBER mRemoteLanguagesButton)

public:
    Q_INVOKABLE explicit UILocalizationNibbler(QWidget *parent = nullptr);
    ~UILocalizationNibbler() override;

    // The panel's bookmarks controller: the nibbler's controller.
    QObject *bookmarksController() const { return nibblerController(); }
    // The languages' controller the nibbler makes (owned by the nibbler).
    UILocalizationBookmarksController *localizationBookmarksController() { return &mBookmarks; }

    NSUIDNDArrayController *languagesArrayController() { return &mLanguages; }
    UILocalizationEditorArrayController *editorArrayController() { return &mEditor; }
    QMenu *localizationMenu() { return &mLocalizationMenu; }
    QAction *remoteLanguagesMenuSeparator() const { return mRemoteFirstSeparator; }
    QAction *remoteLanguagesLastSeparator() const { return mRemoteLastSeparator; }
    QAction *refreshRemoteLanguagesItem() const { return mRefreshAction; }

    QTableView *languagesTableView() const { return mLanguagesTableView; }
    QTableView *editorTableView() const { return mEditorTableView; }
    QPushButton *updateButton() const { return mUpdateButton; }
    QPushButton *revertButton() const { return mRevertButton; }

    void awakeFromNibbler() override;

private:
    void followEditorState();

    NSUIDNDArrayController mLanguages;
    UILocalizationEditorArrayController mEditor;
    QMenu mLocalizationMenu;
    // After the menu and the array controller it refers to, so it goes first.
    UILocalizationBookmarksController mBookmarks;
    QAction *mRefreshAction = nullptr;
    QAction *mRemoteFirstSeparator = nullptr;
    QAction *mRemoteLastSeparator = nullptr;
    QPointer<QTableView> mLanguagesTableView;
    QPointer<QTableView> mEditorTableView;
    QPointer<QPushButton> mUpdateButton;
    QPointer<QPushButton> mRevertButton;
    QPointer<QPushButton> mNewLanguageButton;
    QPointer<QPushButton> mCompleteLanguageButton;
    QPointer<QPushButton> mRemoveLanguageButton;
    QPointer<QToolButton> mRemoteLanguagesButton;
    bool mWired = false;
};

bool import_UILocalizationNibbler();
