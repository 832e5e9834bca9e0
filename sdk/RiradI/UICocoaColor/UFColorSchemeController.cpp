#include "UFColorSchemeController.h"

#include <CoreX/CoreMachDebugLog.h>

NS_REGISTER_NIB_SINGLETON(UFColorSchemeController);

UFColorSchemeController::UFColorSchemeController()
    : mDominantColor(Qt::blue), mSecondaryColor(Qt::red), mTertiaryColor(Qt::green) {}

UFColorSchemeController::~UFColorSchemeController() = default;

UFColorSchemeController *UFColorSchemeController::sharedColorSchemeController() {
    return qobject_cast<UFColorSchemeController *>(UNibSingleton::allocInit<UFColorSchemeController>());
}

// The colours are set and read on the main thread; Qt properties stand in for the atomic ones.
QColor UFColorSchemeController::dominantColor() const { return mDominantColor; }
QColor UFColorSchemeController::secondaryColor() const { return mSecondaryColor; }
QColor UFColorSchemeController::tertiaryColor() const { return mTertiaryColor; }

void UFColorSchemeController::setDominantColor(const QColor &color) {
    if (color == mDominantColor) return;
    mDominantColor = color;
    emit dominantColorChanged();
}

void UFColorSchemeController::setSecondaryColor(const QColor &color) {
    if (color == mSecondaryColor) return;
    mSecondaryColor = color;
    emit secondaryColorChanged();
}

void UFColorSchemeController::setTertiaryColor(const QColor &color) {
    if (color == mTertiaryColor) return;
    mTertiaryColor = color;
    emit tertiaryColorChanged();
}

bool import_UFColorSchemeController() {
    return VERIFY_TEXT(import_UNibSingleton(), " code : import_UNibSingleton()");
}
