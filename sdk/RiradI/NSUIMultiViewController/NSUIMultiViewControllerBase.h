// NSUIMultiViewControllerBase: shows one of several views, all installed in one placeholder,
// and switches between them by title.
//
// The views are kept by title (protocol_NSUIMultiViewBox::multiViewTitle: a client's
// multiViewTitle, normally its tool tip, so titles follow the interface language); the one
// shown is the selected view, the others are hidden. A nib object: the placeholder and the
// delegate are outlets (not owned); the dictionary does not own the views either (the
// placeholder does, once they are installed), and a view that is destroyed drops out.
//
// Set-up: awakeFromNib makes the dictionary with the placeholder's initial view, selected,
// starts following language changes (UILocalLanguageControllerDidChangeLanguage: the dictionary
// is rebuilt from the current titles) and queues awakeFromNibCompleted on the main queue, which
// tells the switching control and the delegate. The delegate (an object deriving from
// NSUIMultiViewControllerDelegate) learns of every change of the shown view on the main queue,
// with the view shown when its turn comes. Nothing is persisted. Main thread only.
//
// Key-value observing: "multiViewsByTitle" and "selectedMultiView" are announced when they are
// replaced (and by awakeFromNibCompleted); switchingMultiViewList, switchingMultiViewTitleList
// and selectedMultiViewTitle depend on them.
#pragma once

#include <NSUIMultiViewController/protocol_NSUIMultiView.h>

#include <UICocoaViews/NSUIViewPlaceholder.h>

#include <Foundation/NSNotification.h>
#include <Foundation/NSObject.h>

#include <QList>
#include <QMap>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <QWidget>

#include <optional>

class NSUIMultiViewControllerBase : public NSObject, public NSUIMultiViewHostProtocol {
    Q_OBJECT
    Q_PROPERTY(QObject *delegate READ delegate WRITE setDelegate)
    Q_PROPERTY(NSUIViewPlaceholder *multiViewPlaceholder READ multiViewPlaceholder WRITE setMultiViewPlaceholder)
    Q_PROPERTY(QVariantMap multiViewsByTitle READ multiViewsByTitleMap NOTIFY multiViewsByTitleChanged)
    Q_PROPERTY(QWidget *selectedMultiView READ selectedMultiView WRITE setSelectedMultiView NOTIFY
                   selectedMultiViewChanged)
    Q_PROPERTY(QVariantList switchingMultiViewList READ switchingMultiViewVariantList)
    Q_PROPERTY(QStringList switchingMultiViewTitleList READ switchingMultiViewTitleList)
    Q_PROPERTY(QString selectedMultiViewTitle READ selectedMultiViewTitle WRITE setSelectedMultiViewTitle)
    Q_PROPERTY(bool outletSortTitles READ outletSortTitles WRITE setOutletSortTitles)

public:
    using Dictionary = QMap<QString, QPointer<QWidget>>;

    // No selection, no dictionary, no placeholder; titles sorted.
    Q_INVOKABLE explicit NSUIMultiViewControllerBase(QObject *parent = nullptr);
    // Stops following language changes.
    ~NSUIMultiViewControllerBase() override;

    QObject *delegate() const { return mDelegate.data(); }
    void setDelegate(QObject *delegate) { mDelegate = delegate; }
    NSUIViewPlaceholder *multiViewPlaceholder() const { return mPlaceholder.data(); }
    void setMultiViewPlaceholder(NSUIViewPlaceholder *placeholder) { mPlaceholder = placeholder; }
    bool outletSortTitles() const { return mSortTitles; }
    void setOutletSortTitles(bool sort) { mSortTitles = sort; }

    // The dictionary (live views only); nullopt while there is none.
    std::optional<Dictionary> multiViewsByTitle() const;
    void setMultiViewsByTitle(std::optional<Dictionary> dictionary);
    QVariantMap multiViewsByTitleMap() const;

    Q_INVOKABLE virtual void awakeFromNib();
    // While there is no dictionary: with installInitial the placeholder's initial view becomes
    // the dictionary's one view and the selection (nothing when it has none), else an empty
    // dictionary; then language changes are followed (once).
    void createViewDictionaryOnce(bool installInitial);
    void installAndSelectInitialView();
    // Announces the dictionary and the selection, tells the switching control
    // (multiViewClientListChanged with the selected title) and the delegate.
    Q_INVOKABLE virtual void awakeFromNibCompleted();

    // Stores the view under its title, installs it hidden into the placeholder and answers the
    // title; null when the view is null, has no title or its title is taken.
    QString addMultiView(QWidget *view);
    // addMultiView; with selectView the control is told and the view is shown when nothing is.
    bool addMultiView(QWidget *view, bool selectView) override;
    void registerMultiViewClient(QWidget *view) override;
    // A view of the dictionary is selected by its title; another view is added and selected.
    bool selectMultiView(QWidget *view);
    // Shows the view of the title and hides the one shown; an unknown title leaves nothing
    // shown (and still answers true). False only without a dictionary.
    bool selectViewWithMultiViewTitle(const QString &title) override;
    bool selectViewWithTitle(const QString &title) { return selectViewWithMultiViewTitle(title); }
    void setSelectedMultiViewTitle(const QString &title) override;
    QString selectedMultiViewTitle() const override;
    QWidget *selectedView() const { return selectedMultiView(); }
    QWidget *selectedMultiView() const override { return mSelected.data(); }
    void setSelectedMultiView(QWidget *view) override;
    QWidget *multiViewWithTitle(const QString &title) const override;
    bool isViewMember(const QWidget *view) const;
    // The placeholder's initial view when it is a client view.
    QWidget *defaultMultiView() const;
    bool selectDefaultMultiView();
    QList<QWidget *> switchingMultiViewList() const override;
    QVariantList switchingMultiViewVariantList() const;
    // Sorted case-insensitively when outletSortTitles is set.
    QStringList switchingMultiViewTitleList() const override;
    // Hides and shows the selected view again, and redisplays it.
    void refreshSelectedMultiView();

    Q_INVOKABLE void languageSettingsChangedRefreshTitles(const NSNotification &notification);
    // Rebuilds the dictionary from the views' current titles (views without one drop out; of
    // two views with one title the later wins).
    void refreshViewDictionaryForLocalization();
    void delegateNotifyMultiViewControllerSelectionChanged();

    // Hooks for a controller with a switching control; the base does nothing / answers nil.
    virtual void multiViewClientListChanged(const QString &title);
    virtual void setSwitchingControlSelectedMultiViewTitle(const QString &title);
    virtual QString switchingControlSelectedMultiViewTitle() const;

    QSet<QString> keyPathsForValuesAffectingValueForKey(const QString &key) const override;

signals:
    void multiViewsByTitleChanged();
    void selectedMultiViewChanged();

protected:
    // The key under which the dictionary holds the view; null when it does not.
    QString keyOfView(const QWidget *view) const;

private:
    QPointer<QObject> mDelegate;
    QPointer<NSUIViewPlaceholder> mPlaceholder;
    std::optional<Dictionary> mViewsByTitle;
    QPointer<QWidget> mSelected;
    bool mSortTitles = true;
    bool mObservingLanguage = false;
};

bool import_NSUIMultiViewControllerBase();
