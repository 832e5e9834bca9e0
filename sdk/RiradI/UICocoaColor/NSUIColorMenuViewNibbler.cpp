#include "NSUIColorMenuViewNibbler.h"

#include "NSUIColorMenuViewController.h"
#include "NSUIColorWheelViewNibbler.h"

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIColorMenuViewNibbler);

NSUIColorMenuViewNibbler::NSUIColorMenuViewNibbler(QWidget *parent) : NSUIViewNibbler(parent) {}

NSUIColorMenuViewNibbler::~NSUIColorMenuViewNibbler() = default;

void NSUIColorMenuViewNibbler::setShowPreviewThumbnailImage(bool show) {
    if (show == mShowPreviewThumbnailImage) return;
    mShowPreviewThumbnailImage = show;
    emit showPreviewThumbnailImageChanged();
}

NSUIColorMenuViewController *NSUIColorMenuViewNibbler::colorViewController() const {
    return qobject_cast<NSUIColorMenuViewController *>(nibblerController());
}

QSize NSUIColorMenuViewNibbler::sizeHint() const {
    return mNibViewSize.isValid() ? mNibViewSize : NSUIViewNibbler::sizeHint();
}

QSize NSUIColorMenuViewNibbler::minimumSizeHint() const {
    return mNibViewMinimumSize.isValid() ? mNibViewMinimumSize : NSUIViewNibbler::minimumSizeHint();
}

void NSUIColorMenuViewNibbler::awakeFromNibbler() {
    auto *wheel = qobject_cast<NSUIColorWheelViewNibbler *>(nibblerView());
    if (wheel != nullptr) {
        // Before the view is fitted to this nibbler: the size it was given in the nib.
        if (!mNibViewSize.isValid()) {
            mNibViewSize = wheel->size();
            mNibViewMinimumSize = wheel->minimumSize();
            updateGeometry();
        }
        if (wheel->delegate() == nullptr) wheel->setDelegate(this);
    }
    NSUIColorMenuViewController *controller = colorViewController();
    if (controller == nullptr) {
        controller = new NSUIColorMenuViewController(this);
        setNibblerController(controller);
    }
    if (controller->outletColorMenuViewNibbler() == nullptr) controller->setOutletColorMenuViewNibbler(this);
    if (controller->outletColorWheelViewNibbler() == nullptr && wheel != nullptr)
        controller->setOutletColorWheelViewNibbler(wheel);
    if (controller->outletViewHostedInMenuItem() == nullptr) controller->setOutletViewHostedInMenuItem(this);
    controller->awakeFromNib();
    NSUIViewNibbler::awakeFromNibbler();
}

void NSUIColorMenuViewNibbler::colorWheelControllerDidChange(QObject *controller) {
    QObject *target = delegate();
    if (target != nullptr && target != this && respondsToSelector(target, "colorWheelControllerDidChange"))
        performSelector(target, "colorWheelControllerDidChange", NSKeyValueCoding::variantFromObject(controller));
}

bool import_NSUIColorMenuViewNibbler() {
    return VERIFY_TEXT(import_NSUIColorWheelViewNibbler(), " code : import_NSUIColorWheelViewNibbler()") &&
           VERIFY_TEXT(import_NSUIColorMenuViewController(), " code : import_NSUIColorMenuViewController()");
}
