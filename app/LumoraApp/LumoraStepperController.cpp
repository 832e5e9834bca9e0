#include "LumoraStepperController.h"

#include <Foundation/NSObjCRuntime.h>

#include <algorithm>
#include <cstdio>
#include <exception>

NS_REGISTER_CLASS(LumoraStepperController);

namespace {

constexpr char kStepperIndexKey[] = "lumoraStepperIndex";
constexpr char kStepperMaximumKey[] = "lumoraStepperMaximumValue";
// The pop-up's items before the first stepper item.
constexpr int kFirstStepperItem = 2;

}  // namespace

LumoraStepperController::LumoraStepperController(QObject *parent) : NSObject(parent) {}

LumoraStepperController::~LumoraStepperController() { QObject::disconnect(mActivated); }

void LumoraStepperController::setEffectsPopupButton(QObject *popup) {
    QObject::disconnect(mActivated);
    mPopup = qobject_cast<QComboBox *>(popup);
    if (mPopup)
        mActivated = connect(mPopup, &QComboBox::activated, this, [this](int index) {
            if (!mPopup) return;
            const QString title = mPopup->itemText(index);
            if (index >= kFirstStepperItem && mAddedTitles.contains(title)) openCompositionNameWithSenderTitle(title);
        });
}

void LumoraStepperController::qfxbundleDidFinishLoadingCompositions(QFXBundleController *, const QStringList &compositionNames) {
    willChangeValueForKey(kStepperIndexKey);
    willChangeValueForKey(kStepperMaximumKey);
    if (mPopup)
        for (const QString &name : compositionNames) {
            mPopup->addItem(name);
            mAddedTitles.append(name);
        }
    didChangeValueForKey(kStepperMaximumKey);
    didChangeValueForKey(kStepperIndexKey);
}

void LumoraStepperController::qfxbundleMenuChangedCompositionName(QFXBundleController *, const QString &name) {
    willChangeValueForKey(kStepperIndexKey);
    callView("openCompositionName", Q_ARG(QString, name), Q_ARG(bool, true));
    didChangeValueForKey(kStepperIndexKey);
}

int LumoraStepperController::stepperMaximumValue() const {
    return mPopup ? std::max(mPopup->count() - 1 - kFirstStepperItem, 0) : 0;
}

int LumoraStepperController::stepperIndex() const {
    if (!mPopup || mPopup->currentIndex() < 0) return 0;
    return std::clamp(mPopup->currentIndex() - kFirstStepperItem, stepperMinimumValue(), stepperMaximumValue());
}

void LumoraStepperController::setStepperIndex(int index) {
    if (!mPopup || !outletLumoraView) return;
    const int item = index + kFirstStepperItem;
    if (index < stepperMinimumValue() || item >= mPopup->count()) return;
    const QString title = mPopup->itemText(item);
    if (!callView("setCompositionName", Q_ARG(QString, title))) return;
    if (!callView("openCompositionName", Q_ARG(QString, title), Q_ARG(bool, true))) return;
    mPopup->setCurrentIndex(item);
}

int LumoraStepperController::lumoraStepperIndex() const { return stepperMaximumValue() - stepperIndex(); }

void LumoraStepperController::setLumoraStepperIndex(int value) {
    setStepperIndex(stepperMaximumValue() - value);
}

void LumoraStepperController::openCompositionNameWithSenderTitle(const QString &title) {
    willChangeValueForKey(kStepperIndexKey);
    callView("openCompositionNameWithSenderTitle", Q_ARG(QString, title));
    didChangeValueForKey(kStepperIndexKey);
}

bool LumoraStepperController::callView(const char *method, QGenericArgument a, QGenericArgument b) {
    if (!outletLumoraView) return false;
    try {
        return QMetaObject::invokeMethod(outletLumoraView.data(), method, Qt::DirectConnection, a, b);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "LumoraStepperController: %s: %s\n", method, e.what());
    } catch (...) {
        std::fprintf(stderr, "LumoraStepperController: %s: an exception\n", method);
    }
    return false;
}

bool import_LumoraStepperController() { return true; }
