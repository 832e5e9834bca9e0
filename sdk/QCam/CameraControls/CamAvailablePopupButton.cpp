#include <QCam/CameraControls/CamAvailablePopupButton.h>

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>

#include <QStandardItemModel>

CamAvailablePopupButton::CamAvailablePopupButton(QWidget *parent) : QComboBox(parent) {
    connect(this, qOverload<int>(&QComboBox::activated), this, [this](int index) { performItemAction(index); });
}

int CamAvailablePopupButton::availableMenuItem() const {
    if (!VERIFY_TEXT(count() > kCamAvail_AvailableItem, "[self itemAtIndex:kCamAvail_AvailableItem]")) return -1;
    return kCamAvail_AvailableItem;
}

int CamAvailablePopupButton::firstSourceItem() const {
    if (!VERIFY_TEXT(count() > kCamAvail_FirstItem, "[self itemAtIndex:kCamAvail_FirstItem]")) return -1;
    return kCamAvail_FirstItem;
}

bool CamAvailablePopupButton::isSeparatorAt(int index) const {
    return itemData(index, Qt::AccessibleDescriptionRole).toString() == QLatin1String("separator");
}

int CamAvailablePopupButton::tagAt(int index) const { return itemData(index, kTagRole).toInt(); }

void CamAvailablePopupButton::awakeFromNib() {
    const int first = count() > kCamAvail_FirstItem ? kCamAvail_FirstItem : -1;
    if (!VERIFY_TEXT(first >= 0, " code : firstSourceItem")) return;
    const QVariant target = itemData(first, kTargetRole);
    const QVariant action = itemData(first, kActionRole);
    for (int i = kCamAvail_FirstItem + 1; i < count(); ++i) {
        if (isSeparatorAt(i)) continue;
        setItemData(i, target, kTargetRole);
        setItemData(i, action, kActionRole);
    }
}

void CamAvailablePopupButton::performItemAction(int index) {
    if (index < 0 || index >= count()) return;
    QObject *target = itemData(index, kTargetRole).value<QObject *>();
    const QByteArray action = itemData(index, kActionRole).toByteArray();
    if (target == nullptr || action.isEmpty()) return;
    performSelector(target, action, NSKeyValueCoding::variantFromObject(this));
}
