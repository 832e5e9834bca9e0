#include "NSUIMaskInstanceNibbler.h"

#include "NSUIMaskControllerView.h"
#include "NSUIMaskInstance.h"
#include "NSUIMaskInstance320x240.h"
#include "NSUIMaskInstance640x480.h"
#include "NSUIMaskInstanceController.h"
#include "NSUIMaskInstancePlaceholder.h"
#include "NSUIMaskReference.h"

#include <Foundation/NSObjCRuntime.h>

#include <QComboBox>
#include <QKeyEvent>
#include <QSignalBlocker>

#include <algorithm>

NS_REGISTER_CLASS(NSUIMaskInstanceNibbler);

namespace {

// The sliders of the mask instance kept between launches, by their accessor names.
constexpr const char *kPersistentSliders[] = {
    "shapeTypeSlider",    "shapeAngleSlider",    "shapeParam0Slider",  "shapeParam1Slider",
    "shapeParam2Slider",  "shapeParam3Slider",   "shapeOpacitySlider", "screenTypeSlider",
    "screenAngleSlider",  "screenParam0Slider",  "screenParam1Slider", "screenParam2Slider",
    "screenOpacitySlider", "combineOperatorSlider"};

}  // namespace

NSUIMaskInstanceNibbler::NSUIMaskInstanceNibbler(QWidget *parent) : NSUIViewNibbler(parent) {}

NSUIMaskInstanceNibbler::~NSUIMaskInstanceNibbler() {
    if (mRegistered) UPersistentObjectsController::unregisterPersistentObjectShared(this);
    if (mInstanceController != nullptr)
        NSKeyValueCoding::removeObserver(mInstanceController, this, QStringLiteral("shapeType"));
    if (mInstanceController != nullptr)
        NSKeyValueCoding::removeObserver(mInstanceController, this, QStringLiteral("screenType"));
}

void NSUIMaskInstanceNibbler::awakeFromNibbler() {
    if (mInstanceController != nullptr || mMaskInstance == nullptr) return;
    mInstanceController = new NSUIMaskInstanceController(this);
    mInstanceController->setOutletMaskInstance(mMaskInstance);
    if (mShapeTypePopUp != nullptr) {
        mShapeTypePopUp->addItems(NSUIMaskInstanceController::shapeTypeNames());
        connect(mShapeTypePopUp, &QComboBox::activated, this,
                [this](int index) { mInstanceController->setShapeType(index); });
    }
    if (mScreenTypePopUp != nullptr) {
        mScreenTypePopUp->addItems(NSUIMaskInstanceController::screenTypeNames());
        connect(mScreenTypePopUp, &QComboBox::activated, this,
                [this](int index) { mInstanceController->setScreenType(index); });
    }
    NSKeyValueCoding::addObserver(mInstanceController, this, QStringLiteral("shapeType"));
    NSKeyValueCoding::addObserver(mInstanceController, this, QStringLiteral("screenType"));
    mInstanceController->awakeFromNib();
    mMaskInstance->updateMaskContext();
    refreshPopUps();
    UPersistentObjectsController::registerPersistentObjectShared(this, true);
    mRegistered = true;
}

QSet<QString> NSUIMaskInstanceNibbler::persistentObjectKeyPaths() const {
    QSet<QString> keyPaths{QStringLiteral("outletPlaceholder.selectedSegment")};
    for (const char *slider : kPersistentSliders)
        keyPaths.insert(QStringLiteral("outletMaskInstance.%1.doubleValue").arg(QLatin1String(slider)));
    return keyPaths;
}

void NSUIMaskInstanceNibbler::persistentObjectLoadData() {
    UPersistentObject::persistentObjectLoadData();
    if (mPlaceholder != nullptr) mPlaceholder->showHideMaskViews();
    if (mMaskInstance != nullptr) mMaskInstance->updateMaskContext();
    refreshPopUps();
}

void NSUIMaskInstanceNibbler::keyPressEvent(QKeyEvent *event) {
    // Escape that no control took closes the panel's window.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        window()->close();
        return;
    }
    NSUIViewNibbler::keyPressEvent(event);
}

void NSUIMaskInstanceNibbler::observeValueForKeyPath(const QString &, QObject *, const QVariantMap &, void *) {
    refreshPopUps();
}

void NSUIMaskInstanceNibbler::refreshPopUps() {
    if (mInstanceController == nullptr) return;
    const auto follow = [](QComboBox *popUp, const QVariant &type) {
        if (popUp == nullptr || !type.isValid()) return;
        const QSignalBlocker blocker(popUp);
        popUp->setCurrentIndex(std::clamp(type.toInt(), 0, popUp->count() - 1));
    };
    follow(mShapeTypePopUp, mInstanceController->shapeType());
    follow(mScreenTypePopUp, mInstanceController->screenType());
}

bool import_NSUIMaskInstanceNibbler() {
    return import_NSUIViewNibbler() && import_NSUIMaskControllerView() && import_NSUIMaskInstance() &&
           import_NSUIMaskInstance320x240() && import_NSUIMaskInstance640x480() && import_NSUIMaskReference() &&
           import_NSUIMaskInstanceController() && import_NSUIMaskInstancePlaceholder() &&
           import_UPersistentObjectsController();
}
