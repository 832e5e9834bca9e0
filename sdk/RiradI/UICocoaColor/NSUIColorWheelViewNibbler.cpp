#include "NSUIColorWheelViewNibbler.h"

#include "NSUIColorWheelView.h"

#include <CocoaGraphics/UFOffscreenBitmapGraphicsContext.h>

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIColorWheelViewNibbler);

namespace {

constexpr double kPreviewPixels = 128;

}  // namespace

NSUIColorWheelViewNibbler::NSUIColorWheelViewNibbler(QWidget *parent) : NSUIViewNibbler(parent) {
    connect(this, &NSUIViewNibbler::nibblerControllerChanged, this, [this] {
        observeColorWheel();
        emit colorWheelPreviewImageChanged();
    });
}

NSUIColorWheelViewNibbler::~NSUIColorWheelViewNibbler() {
    if (mRegistered) UPersistentObjectsController::unregisterPersistentObjectShared(this);
}

UFColorWheelController *NSUIColorWheelViewNibbler::colorWheel() const {
    return qobject_cast<UFColorWheelController *>(nibblerController());
}

void NSUIColorWheelViewNibbler::observeColorWheel() {
    disconnect(mColorChangedConnection);
    disconnect(mSlicesConnection);
    disconnect(mCombinationConnection);
    UFColorWheelController *wheel = colorWheel();
    if (wheel == nullptr) return;
    mColorChangedConnection = connect(wheel, &UFColorWheelController::colorChangedCountChanged, this,
                                      &NSUIColorWheelViewNibbler::colorWheelPreviewImageChanged);
    mSlicesConnection = connect(wheel, &UFColorWheelController::hueSlicesChanged, this,
                                &NSUIColorWheelViewNibbler::colorWheelPreviewImageChanged);
    mCombinationConnection = connect(wheel, &UFColorWheelController::hueCombinationChanged, this,
                                     &NSUIColorWheelViewNibbler::colorWheelPreviewImageChanged);
}

void NSUIColorWheelViewNibbler::awakeFromNibbler() {
    if (colorWheel() == nullptr) setNibblerController(new UFColorWheelController(this));
    if (!mColorScheme) mColorScheme = UFColorSchemeController::sharedColorSchemeController();
    if (!mFavorites) {
        auto *favorites = new NSUIKeyPathsPresetsController;
        favorites->setParent(this);
        favorites->setOutletKeyPathPresetClass(QStringLiteral("NSUIColorKeyPathPreset"));
        mFavorites = favorites;
    }
    UFColorWheelController *wheel = colorWheel();
    wheel->setOutletColorSchemeController(mColorScheme.data());
    if (auto *view = qobject_cast<NSUIColorWheelView *>(nibblerView())) {
        view->setColorWheel(wheel);
        view->setDelegate(this);
        wheel->setDelegate(view);
    } else {
        wheel->setDelegate(this);
    }
    if (mFavorites->delegate() == nullptr) {
        mFavorites->setDelegate(this);
        mFavorites->awakeFromNib();
    }
    if (!mRegistered) {
        mRegistered = true;
        UPersistentObjectsController::registerPersistentObjectShared(this, true);
    }
    NSUIViewNibbler::awakeFromNibbler();
}

QStringList NSUIColorWheelViewNibbler::colorWheelKeyPaths() {
    return {QStringLiteral("colorScheme.dominantColor"),
            QStringLiteral("colorScheme.secondaryColor"),
            QStringLiteral("colorScheme.tertiaryColor"),
            QStringLiteral("colorWheel.hueCombination"),
            QStringLiteral("colorWheel.numberOfSlices"),
            QStringLiteral("colorWheel.selectedSliceIndex"),
            QStringLiteral("colorWheel.colorSchemeContrastNormalValue"),
            QStringLiteral("colorWheel.colorSchemeGreyLevelNormalValue")};
}

QSet<QString> NSUIColorWheelViewNibbler::persistentObjectKeyPaths() const {
    const QStringList wheel = colorWheelKeyPaths();
    return QSet<QString>(wheel.begin(), wheel.end());
}

QString NSUIColorWheelViewNibbler::persistenceObjectKey() const {
    return QStringLiteral("NSUIColorWheelViewNibbler.colorWheel");
}

void NSUIColorWheelViewNibbler::colorWheelControllerDidChange(QObject *controller) {
    QObject *target = delegate();
    if (target != nullptr && target != this && respondsToSelector(target, "colorWheelControllerDidChange"))
        performSelector(target, "colorWheelControllerDidChange", QVariant::fromValue(controller));
}

std::shared_ptr<NSImage> NSUIColorWheelViewNibbler::colorWheelPreviewImage() const {
    UFColorWheelController *wheel = colorWheel();
    if (wheel == nullptr) return nullptr;
    UFOffscreenBitmapGraphicsContext offscreen(NSMakeSize(kPreviewPixels, kPreviewPixels));
    if (offscreen.lockFocusAndEraseTransparent(true) == nullptr) return nullptr;
    wheel->drawWithSelectionChrome(false, offscreen.graphicsContext(), CGRectMake(0, 0, kPreviewPixels, kPreviewPixels));
    std::shared_ptr<NSImage> image = offscreen.image();
    offscreen.unlockFocus();
    return image;
}

QObject *NSUIColorWheelViewNibbler::favoritesSourceObjectWithKeyPaths(QObject *) { return this; }

QString NSUIColorWheelViewNibbler::favoritesSerializationKey(QObject *) const {
    return QStringLiteral("NSUIColorWheelViewNibbler");
}

QString NSUIColorWheelViewNibbler::favoritesNameForNewBookmark(QObject *) const {
    UFColorWheelController *wheel = colorWheel();
    return wheel != nullptr ? wheel->schemeSummary() : QString();
}

QSet<QString> NSUIColorWheelViewNibbler::favoritesKeyPathsForSerialization(QObject *) const {
    const QStringList wheel = colorWheelKeyPaths();
    return QSet<QString>(wheel.begin(), wheel.end());
}

void NSUIColorWheelViewNibbler::favoritesDidChangeKeyPathValues(QObject *) {
    UFColorWheelController *wheel = colorWheel();
    if (wheel == nullptr) return;
    if (auto *view = qobject_cast<NSUIColorWheelView *>(nibblerView()))
        view->colorWheelControllerDidChange(wheel);
    else
        colorWheelControllerDidChange(wheel);
}

bool import_NSUIColorWheelViewNibbler() {
    return VERIFY_TEXT(import_NSUIColorWheelView(), " code : import_NSUIColorWheelView()") &&
           VERIFY_TEXT(import_UPersistentObjectsController(), " code : import_UPersistentObjectsController()") &&
           VERIFY_TEXT(import_UFOffscreenBitmapGraphicsContext(), " code : import_UFOffscreenBitmapGraphicsContext()");
}
