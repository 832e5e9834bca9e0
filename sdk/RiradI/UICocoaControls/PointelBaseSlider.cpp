#include "PointelBaseSlider.h"

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(PointelBaseSlider);

namespace {

constexpr const char *kFile = "/Code/sdk/RiradI/NSUIMaskInstanceNibbler/PointelBaseControls";

}  // namespace

PointelBaseSlider::PointelBaseSlider(QWidget *parent) : NSUIClearSlider(parent) {
    PointelBaseSlider::initControlAttributes();
}

PointelBaseSlider::~PointelBaseSlider() = default;

std::shared_ptr<NSButtonCell> PointelBaseSlider::buttonCellType(int type, std::shared_ptr<NSImage> upImage,
                                                                std::shared_ptr<NSImage> downImage,
                                                                const QByteArray &action, QObject *target) {
    auto cell = std::make_shared<NSButtonCell>();
    cell->setButtonType(type);
    cell->setBezelStyle(NSBezelStyleShadowlessSquare);
    cell->setImagePosition(NSImageOnly);
    cell->setBezeled(false);
    cell->setBordered(false);
    cell->setTitle(QString());
    cell->setImage(std::move(upImage));
    cell->setHighlightsBy(NSNoCellMask);
    cell->setCellAttribute(NSCellLightsByGray, 0);
    cell->setCellAttribute(NSCellLightsByContents, 0);
    if (downImage != nullptr) cell->setAlternateImage(std::move(downImage));
    cell->setAction(action);
    cell->setTarget(target);
    return cell;
}

void PointelBaseSlider::performTargetActionWithObject(QObject *object) {
    static constexpr const char *kFunction = "-[PointelBaseSlider performTargetActionWithObject:]";
    if (target() == nullptr) {
        _CoreMachDebugVerifyBody(kFunction, kFile, 70, "[self target]");
        return;
    }
    if (action().isEmpty()) {
        _CoreMachDebugVerifyBody(kFunction, kFile, 70, " code : [self action]");
        return;
    }
    performSelectorOnMainThread(target(), action(), NSKeyValueCoding::variantFromObject(object), true);
}

bool import_PointelBaseSlider() { return import_CoreMachDebugLog(); }
