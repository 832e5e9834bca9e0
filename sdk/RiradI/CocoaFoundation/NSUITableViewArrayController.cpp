#include "NSUITableViewArrayController.h"

#include <Foundation/NSObjCRuntime.h>

#include <dispatch/dispatch.h>

#include <QAbstractItemDelegate>

namespace {
const QString kContentKey = QStringLiteral("content");
}  // namespace

NSUITableViewArrayController::NSUITableViewArrayController(QObject *parent) : NSArrayController(parent) {}

NSUITableViewArrayController::~NSUITableViewArrayController() {
    disconnect(mEditingConnection);
    NSNotificationCenter::defaultCenter().removeObserver(this);
}

void NSUITableViewArrayController::addObject(const QVariant &object) {
    NSArrayController::addObject(object);
    tableViewDidChangeContentArray();
}

void NSUITableViewArrayController::remove() {
    NSArrayController::remove();
    tableViewDidChangeContentArray();
}

void NSUITableViewArrayController::awakeFromNib() {
    if (mTableView == nullptr) return;
    bindTableView(mTableView);
    disconnect(mEditingConnection);
    // Editing in the table ends when its delegate closes the editor (committed or not).
    mEditingConnection = connect(mTableView->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
                                 &NSUITableViewArrayController::tableViewTextEditingDidEnd);
}

void NSUITableViewArrayController::tableViewDidChangeContentArray() {
    rearrangeObjects();
    QObject *delegate = mDelegate;
    if (delegate != nullptr && respondsToSelector(delegate, kArrayControllerDidChangeContentsSelector))
        performSelector(delegate, kArrayControllerDidChangeContentsSelector, QVariant::fromValue<QObject *>(this));
}

void NSUITableViewArrayController::tableViewTextEditingDidEnd() { tableViewDidChangeContentArray(); }

NSUISynchronizedArrayController::NSUISynchronizedArrayController(QObject *parent)
    : NSUITableViewArrayController(parent), mSynchronizationKey(defaultSynchronizationKey()) {}

NSUISynchronizedArrayController::~NSUISynchronizedArrayController() {
    NSNotificationCenter::defaultCenter().removeObserver(this);
    mSynchronizationKey.clear();
}

QString NSUISynchronizedArrayController::defaultSynchronizationKey() {
    return QString::fromLatin1(staticMetaObject.className());
}

void NSUISynchronizedArrayController::setOutletSynchronizationKey(const QString &key) {
    NSNotificationCenter &center = NSNotificationCenter::defaultCenter();
    if (mObserving) center.removeObserver(this, mSynchronizationKey, nullptr);
    mSynchronizationKey = key;
    mObserving = !key.isEmpty();
    if (mObserving) center.addObserver(this, "notificationReceiveReloadContentArray", key, nullptr);
}

void NSUISynchronizedArrayController::tableViewDidChangeContentArray() {
    NSUITableViewArrayController::tableViewDidChangeContentArray();
    notificationSendReloadContentArray();
}

void NSUISynchronizedArrayController::notificationSendReloadContentArray() {
    if (mSynchronizationKey.isEmpty()) return;
    NSNotificationCenter::defaultCenter().postNotificationName(mSynchronizationKey, this,
                                                               {{kContentKey, contentArray()}});
}

void NSUISynchronizedArrayController::notificationReceiveReloadContentArray(const NSNotification &notification) {
    if (notification.object() == nullptr || notification.object() == this) return;
    const QVariant array = notification.userInfo().value(kContentKey);
    if (array.typeId() != QMetaType::QVariantList) return;
    const QVariantList objects = array.toList();
    dispatch_async(dispatch_get_main_queue(), [self = QPointer<NSUISynchronizedArrayController>(this), objects] {
        if (self == nullptr) return;
        self->setContentArray(objects);
        self->rearrangeObjects();
    });
}

bool import_NSUITableViewArrayController() { return true; }
