// NSUIMultiViewBox: a reset-lock box that shows one of several pages. The pages are holder
// views (NSUIMultiViewHolder) that add themselves to the box when their nib wakes; they are kept
// by title (NSView_protocol_NSUIMultiViewBox.h) and installed into the box's placeholder
// (outlet viewPlaceholder), one visible at a time. No page is shown until one is selected.
//
// Subclasses give the box a control that lists the titles through three hooks:
// controllerSelection, setControllerSelection and refreshControllerList. Every refused
// operation is reported (VERIFY) and leaves the box as it was. Nothing is persisted.
#pragma once

#include <UICocoaViews/NSUIResetLockBox.h>
#include <UICocoaViews/NSUIViewPlaceholder.h>

#include <QMap>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <optional>

class NSUIMultiViewBox : public NSUIResetLockBox {
    Q_OBJECT
    Q_PROPERTY(NSUIViewPlaceholder *viewPlaceholder READ viewPlaceholder WRITE setViewPlaceholder)

public:
    Q_INVOKABLE explicit NSUIMultiViewBox(QWidget *parent = nullptr);
    ~NSUIMultiViewBox() override;

    NSUIViewPlaceholder *viewPlaceholder() const { return mViewPlaceholder.data(); }
    void setViewPlaceholder(NSUIViewPlaceholder *placeholder) { mViewPlaceholder = placeholder; }

    // The pages by title (live pages only).
    QMap<QString, QWidget *> viewsByTitle() const;
    QStringList titles() const { return viewsByTitle().keys(); }

    // While there is none: the dictionary, with the placeholder's initial view when there is a
    // placeholder.
    void createViewDictionary();
    // The boxes' set-up, then the control's list.
    void awakeFromNib() override;

    // Adds a page (an NSUIMultiViewHolder whose title is not taken), installs it into the
    // placeholder and refreshes the control's list; with selectView it is shown when no page is.
    bool addView(QWidget *view, bool selectView);
    bool addView(QWidget *view) { return addView(view, false); }
    Q_INVOKABLE void addSenderToViewList(QObject *sender);
    // A page of the box is selected by its title; another view is added and selected.
    bool selectView(QWidget *view);
    bool selectViewByMultiViewTitle(const QString &title);
    bool isViewMember(const QWidget *view) const;
    QWidget *defaultView() const;
    bool selectViewDefault();
    Q_INVOKABLE void selectDefaultPanel(QObject *sender);
    // The control's action: the page of the control's selection.
    Q_INVOKABLE void selectedViewChanged(QObject *sender);
    // A menu item's action: the page of the item's title (a QAction's text).
    Q_INVOKABLE void selectedViewByMenuItem(QObject *sender);
    QWidget *selectedView() const { return mSelectedVisibleView.data(); }
    void refreshSelectedView();

    // Hooks. The base answers the placeholder initial view's title / false / nothing.
    virtual QString controllerSelection() const;
    virtual bool setControllerSelection(const QString &title);
    virtual void refreshControllerList();

protected:
    // selectViewByMultiViewTitle with the title of a chosen item, reported as the item's action.
    void selectViewByItemTitle(const QString &title);

private:
    QPointer<NSUIViewPlaceholder> mViewPlaceholder;
    std::optional<QMap<QString, QPointer<QWidget>>> mViewsByTitle;
    QPointer<QWidget> mSelectedVisibleView;
};

bool import_NSUIMultiViewBox();
