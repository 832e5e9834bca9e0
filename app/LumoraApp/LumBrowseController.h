// LumBrowseController: the design browser. It lists the designs of the feed in a pop-up button,
// applies the chosen one through the bookmarks panel, and steps to the next or previous design
// (the first and the last do not wrap). It is the design feed's delegate: when a download
// changes the designs the pop-up is rebuilt and the design shown stays selected when the feed
// still lists it.
//
// The pop-up (_DesignPopup) is a push button with a menu: its title is the design shown, its
// menu's items after _DesignSeparator are the designs, each an item whose action
// (selectDesignNameFromSenderTitle:) comes to the controller. A button without a menu gets one
// at awakeFromNib, with a leading separator that becomes _DesignSeparator when none is set.
// The selected design is the item that is on.
//
// Nib "LumBrowseController": the controller as the form's root with the pop-up and the next,
// previous and reload buttons. Main thread only.
#pragma once

#include <UICocoaViews/NSUIViewHolder.h>

#include <QAction>
#include <QByteArray>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QVariant>

class LumoraBookmarksPanel;
class QAbstractButton;

class LumBrowseController : public NSUIViewHolder {
    Q_OBJECT
    Q_PROPERTY(QObject *_PresetsPanel READ presetsPanelObject WRITE setPresetsPanelObject)
    Q_PROPERTY(QObject *_DesignPopup READ designPopupObject WRITE setDesignPopupObject)
    Q_PROPERTY(QAction *_DesignSeparator READ designSeparator WRITE setDesignSeparator)
    Q_PROPERTY(QObject *_nextButton READ nextButton WRITE setNextButton)
    Q_PROPERTY(QObject *_prevButton READ prevButton WRITE setPrevButton)
    Q_PROPERTY(QObject *_reloadButton READ reloadButton WRITE setReloadButton)

public:
    // The action of every design item.
    static constexpr char kSelectDesignAction[] = "selectDesignNameFromSenderTitle:";

    Q_INVOKABLE explicit LumBrowseController(QWidget *parent = nullptr);
    ~LumBrowseController() override;

    // Outlets (not owned). The presets panel is a LumoraBookmarksPanel; the pop-up a
    // QPushButton (another object is left unconnected).
    LumoraBookmarksPanel *presetsPanel() const;
    void setPresetsPanel(LumoraBookmarksPanel *panel);
    QObject *presetsPanelObject() const;
    void setPresetsPanelObject(QObject *panel);
    QPushButton *designPopup() const { return mDesignPopup; }
    QObject *designPopupObject() const;
    void setDesignPopupObject(QObject *popUp);
    QAction *designSeparator() const { return mDesignSeparator; }
    void setDesignSeparator(QAction *separator) { mDesignSeparator = separator; }
    QObject *nextButton() const { return mNextButton; }
    void setNextButton(QObject *button) { mNextButton = button; }
    QObject *prevButton() const { return mPrevButton; }
    void setPrevButton(QObject *button) { mPrevButton = button; }
    QObject *reloadButton() const { return mReloadButton; }
    void setReloadButton(QObject *button) { mReloadButton = button; }

    // The pop-up's menu; null without pop-up or menu.
    QMenu *designMenu() const;

    // Gives the pop-up its menu (when it has none) and links the three buttons.
    Q_INVOKABLE void awakeFromNib();

    // The title of the selected design item; "" without menu or selection (a missing pop-up is
    // reported as "_DesignPopup").
    QString designName() const;
    // The item with that title becomes the only one on (its action is not performed; with no
    // such item none is on) and the pop-up shows the name.
    void setDesignName(const QString &name);

    // menuDedorodureroDesignsSelectItem: on the presets panel with the item.
    Q_INVOKABLE void selectDesignNameFromSenderTitle(QObject *sender);
    // The selected design applied again (nothing when no design is selected).
    Q_INVOKABLE void reloadDesign(QObject *sender = nullptr);
    Q_INVOKABLE void nextDesign(QObject *sender = nullptr);
    Q_INVOKABLE void prevDesign(QObject *sender = nullptr);
    // Moves the selection by the step within the design names (no wrap) and applies the design.
    void stepDesignBy(int step, QObject *sender);
    Q_INVOKABLE void rebuildDesignMenu(QObject *sender = nullptr);
    // Replaces the items after the separator by one item per design name, in list order.
    void rebuildDesignNamePopUpButtonMenu();

    // The design feed's delegate message: rebuilds the menu keeping the design shown.
    Q_INVOKABLE void designFeedUpdated(const QVariant &feed);

private:
    void linkButton(QObject *button, void (LumBrowseController::*action)(QObject *));

    QPointer<QObject> mPresetsPanel;
    QPointer<QPushButton> mDesignPopup;
    QPointer<QAction> mDesignSeparator;
    QPointer<QObject> mNextButton;
    QPointer<QObject> mPrevButton;
    QPointer<QObject> mReloadButton;
    bool mAwake = false;
};

bool import_LumBrowseController();
