// NSUIBookmarksPanel: the floating tool window of a bookmarks controller. Its contents come
// from the nib "NSUIBookmarksPanel" (the list, the settings text and the buttons, each named
// "outlet..."); its buttons go to the forwarding methods below, which go to the controller.
//
// Hooks: the constructor loads the nib and makes the array controller; awakeFromNib (sent by
// the owner once the panel exists, as after a nib load) makes a controller of its own when
// none was set (a subclass sets its own controller first), hands it the list, the editor, the
// target and the array controller, lets it load its list, and puts the panel back where it was.
//
// What survives a restart, through the user defaults: the list (the controller's key) and the
// panel's frame (key "<class name>Frame", the string "x y width height"), saved when the panel
// closes, when the application quits and by savePanelState. Escape closes the panel.
#pragma once

#include "NSUIBookmarksController.h"

#include <QPointer>
#include <QWidget>

class QAbstractButton;

class NSUIBookmarksPanel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(NSUIBookmarksController *outletBookmarksController READ outletBookmarksController WRITE
                   setOutletBookmarksController)
    // The nib's list and editor.
    Q_PROPERTY(QTableView *outletTableView READ outletTableView WRITE setOutletTableView)
    Q_PROPERTY(NSTextView *outletScriptEditorView READ outletScriptEditorView WRITE setOutletScriptEditorView)

public:
    Q_INVOKABLE explicit NSUIBookmarksPanel(QWidget *parent = nullptr);
    ~NSUIBookmarksPanel() override;

    NSUIBookmarksController *outletBookmarksController() const { return mController; }
    void setOutletBookmarksController(NSUIBookmarksController *controller) { mController = controller; }

    QTableView *outletTableView() const { return mTableView; }
    void setOutletTableView(QTableView *tableView) { mTableView = tableView; }
    NSTextView *outletScriptEditorView() const { return mTextView; }
    void setOutletScriptEditorView(NSTextView *textView) { mTextView = textView; }

    // The controller's outlets, read and written directly.
    QTableView *mBookmarkTableView() const;
    void setmBookmarkTableView(QTableView *tableView);
    NSTextView *mBookmarkSettingsText() const;
    void setmBookmarkSettingsText(NSTextView *textView);
    QObject *mBookmarkTargetObject() const;
    void setmBookmarkTargetObject(QObject *target);
    NSArrayController *presetsArrayController() const;
    void setpresetsArrayController(NSArrayController *controller);

    Q_INVOKABLE virtual void awakeFromNib();

    // Forwarded to the controller.
    Q_INVOKABLE void addNewPresetForCurrentDesign(QObject *sender = nullptr);
    Q_INVOKABLE void addNewPresetForEmptyDesign(QObject *sender = nullptr);
    Q_INVOKABLE void removeCurrentPreset(QObject *sender = nullptr);
    Q_INVOKABLE void duplicateCurrentPreset(QObject *sender = nullptr);
    Q_INVOKABLE void settingsScriptRead(QObject *sender = nullptr);
    Q_INVOKABLE void settingsScriptApply(QObject *sender = nullptr);
    Q_INVOKABLE void applyDesignCodesToBookmarkTarget(const QString &designCodes);
    Q_INVOKABLE void addNewPresetForScript(const QString &script);
    QVariantMap newPresetWithScript(const QString &script) const;
    QVariantMap newPresetWithEmptyDesign() const;
    QVariantMap newPresetWithCurrentDesign() const;

    // The list and the frame into the user defaults (synchronised).
    void savePanelState();
    // The user-defaults key of the frame.
    QString frameDefaultsKey() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void connectButton(const char *name, void (NSUIBookmarksPanel::*forward)(QObject *));
    void connectControllerButton(const char *name, void (NSUIBookmarksController::*action)(QObject *));
    void restoreFrame();

    QPointer<NSUIBookmarksController> mController;
    QPointer<QTableView> mTableView;
    QPointer<NSTextView> mTextView;
    NSArrayController *mArrayController = nullptr;
    bool mAwake = false;
    bool mLoadingNib = false;
};

bool import_NSUIBookmarksPanel();
