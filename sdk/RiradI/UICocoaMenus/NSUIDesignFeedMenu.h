// NSUIDesignFeedMenu: a design feed (UIParamMapping/NSUIDesignFeed.h) shown as items of an
// existing menu, between a separator item and, optionally, a second separator (else to the end
// of the menu). Every item is titled with a design's name (sorted ascending ignoring case),
// sends one action to one target with itself and starts off. The items are rebuilt whenever the
// feed's set changes (after a download) or when the owner asks (refreshDesignMenu...).
//
// A subclass may hide designs whose requirements the program does not meet: with
// filterDesignsByRequirements on, shouldFilterDesign is asked for each design (parsed from its
// code string and titled with its name); a design it answers true for is left out of
// designDictionary, and so out of the menu and of the names. The base has no such test.
//
// The separators, the target and the action are not owned: the owner keeps them alive (an item
// that goes away is forgotten). Main thread only; downloads run in the background (the feed's
// refreshFeedDictionaryFromWebWithHTTP), so nothing waits for the network here.
#pragma once

#include <UIParamMapping/NSUIDesignFeed.h>

#include <QAction>
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <memory>
#include <optional>

class NSUIDesignFeedMenu : public NSUIDesignFeed {
    Q_OBJECT
    Q_PROPERTY(bool filterDesignsByRequirements READ filterDesignsByRequirements WRITE setFilterDesignsByRequirements)

public:
    explicit NSUIDesignFeedMenu(QObject *parent = nullptr);
    ~NSUIDesignFeedMenu() override;

    // The feed's set-up (initFeedWithCategory); the menu fields stay cleared.
    void initFeedMenuWithCategory(const QString &category, const QString &feedURL, const QString &prefsKey,
                                  const QString &updateURL);
    static std::unique_ptr<NSUIDesignFeedMenu> designFeedMenuWithCategory(const QString &category, const QString &feedURL,
                                                                          const QString &prefsKey,
                                                                          const QString &updateURL);
    static std::unique_ptr<NSUIDesignFeedMenu> designFeedMenuWithCategory(const QString &category, const QString &feedURL,
                                                                          const QString &prefsKey);

    // The merged set with the hidden designs left out.
    QVariantMap designDictionary() override;
    QVariantMap filteredDesignsByRequirements();
    // Its names, sorted ascending ignoring case.
    QStringList filteredDesignNames();

    // Stores the separators, target and action; false (nothing stored) without first separator,
    // target or action. Builds nothing.
    bool setDesignMenuFromSeparator(QAction *fromSeparator, QAction *toSeparatorOrNil, QObject *target,
                                    const QByteArray &action);
    // The same, then designDictionaryChanged with the feed itself, which builds the items.
    bool refreshDesignMenuFromSeparator(QAction *fromSeparator, QAction *toSeparatorOrNil, QObject *target,
                                        const QByteArray &action);
    bool setDesignMenu(QAction *fromSeparator, QObject *target, const QByteArray &action);
    bool refreshDesignMenu(QAction *fromSeparator, QObject *target, const QByteArray &action);

    // Replaces the design items after the first separator: nothing unless it is a separator in
    // a menu (and the second separator, when set, follows it in the same menu).
    void buildMenuWithTarget(QObject *target, const QByteArray &action);

    // Tells the delegate, then rebuilds the items when separator, target and action are set.
    void designDictionaryChanged(const QVariant &argument) override;

    bool filterDesignsByRequirements() const { return mFilterDesignsByRequirements; }
    void setFilterDesignsByRequirements(bool filter) { mFilterDesignsByRequirements = filter; }

    QAction *fromMenuSeparator() const { return mFromMenuSeparator; }
    QAction *toMenuSeparatorOrNil() const { return mToMenuSeparatorOrNil; }
    QObject *menuTarget() const { return mMenuTarget; }
    QByteArray menuAction() const { return mMenuAction; }

protected:
    // The requirement test of a subclass: true hides the design. Nothing (the base) means the
    // class has no test, and nothing is hidden.
    virtual std::optional<bool> shouldFilterDesign(const NSUIDesignCodes &design);

private:
    QPointer<QAction> mFromMenuSeparator;
    QPointer<QAction> mToMenuSeparatorOrNil;
    QPointer<QObject> mMenuTarget;
    QByteArray mMenuAction;
    bool mFilterDesignsByRequirements = false;
};

bool import_NSUIDesignFeedMenu();
