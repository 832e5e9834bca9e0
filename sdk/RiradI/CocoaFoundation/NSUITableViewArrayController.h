// NSUITableViewArrayController: an array controller that tells its delegate after every change
// of its contents (adding, removing, the end of editing in its table), so the delegate can save
// at once.
//
// NSUISynchronizedArrayController: keeps every controller with the same synchronisation key
// showing the same list. After a change, a controller posts a notification named by the key
// whose object is the controller and whose user info holds its content array under
// "content"; every other controller observing that name replaces its content with that array
// on the main queue (a later turn, after the posting change is done). A notification without
// object, from the controller itself, or without an array under "content" is ignored.
#pragma once

#include <Foundation/NSArrayController.h>
#include <Foundation/NSNotification.h>

#include <QPointer>
#include <QTableView>

// The delegate answers this (a Q_INVOKABLE method or slot taking the controller as a QObject
// pointer) when it wants to hear of changes:
//     Q_INVOKABLE void arrayControllerDidChangeContents(QObject *controller);
inline constexpr char kArrayControllerDidChangeContentsSelector[] = "arrayControllerDidChangeContents";

class NSUITableViewArrayController : public NSArrayController {
    Q_OBJECT
    Q_PROPERTY(QObject *delegate READ delegate WRITE setDelegate)
    Q_PROPERTY(QTableView *outletTableViewOrNil READ outletTableViewOrNil WRITE setOutletTableViewOrNil)
    Q_PROPERTY(QVariantList contentArray READ contentArray WRITE setContentArray NOTIFY contentChanged)

public:
    explicit NSUITableViewArrayController(QObject *parent = nullptr);
    ~NSUITableViewArrayController() override;

    QObject *delegate() const { return mDelegate; }
    void setDelegate(QObject *delegate) { mDelegate = delegate; }
    QTableView *outletTableViewOrNil() const { return mTableView; }
    void setOutletTableViewOrNil(QTableView *tableView) { mTableView = tableView; }

    QVariantList contentArray() const { return content(); }
    void setContentArray(const QVariantList &contentArray) { setContent(contentArray); }

    void addObject(const QVariant &object) override;
    void remove() override;

    // With a table: shows this controller in it and hears when editing in it ends.
    virtual void awakeFromNib();
    // Rearranges, then tells the delegate.
    virtual void tableViewDidChangeContentArray();
    void tableViewTextEditingDidEnd();

private:
    QPointer<QObject> mDelegate;
    QPointer<QTableView> mTableView;
    QMetaObject::Connection mEditingConnection;
};

class NSUISynchronizedArrayController : public NSUITableViewArrayController {
    Q_OBJECT
    Q_PROPERTY(QString outletSynchronizationKey READ outletSynchronizationKey WRITE setOutletSynchronizationKey)

public:
    explicit NSUISynchronizedArrayController(QObject *parent = nullptr);
    ~NSUISynchronizedArrayController() override;

    // "NSUISynchronizedArrayController"
    static QString defaultSynchronizationKey();

    QString synchronizationKey() const { return mSynchronizationKey; }
    // Sets the key and listens to notifications of that name from any sender.
    void setOutletSynchronizationKey(const QString &key);
    QString outletSynchronizationKey() const { return mSynchronizationKey; }

    void tableViewDidChangeContentArray() override;
    void notificationSendReloadContentArray();
    Q_INVOKABLE void notificationReceiveReloadContentArray(const NSNotification &notification);

private:
    QString mSynchronizationKey;
    bool mObserving = false;
};

bool import_NSUITableViewArrayController();
