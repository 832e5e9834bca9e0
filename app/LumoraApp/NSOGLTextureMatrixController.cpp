#include "NSOGLTextureMatrixController.h"

#include <AppKit/NSButton.h>
#include <Foundation/NSObjCRuntime.h>

#include <QAbstractButton>

NS_REGISTER_CLASS(NSOGLTextureMatrixController);

bool NSOGLButtonIsOn(const QObject *button) {
    if (auto *ns = qobject_cast<const NSButton *>(button)) return ns->state() != 0;
    if (auto *qt = qobject_cast<const QAbstractButton *>(button)) return qt->isChecked();
    return button != nullptr && button->property("state").toInt() != 0;
}

NSOGLTextureMatrixController::NSOGLTextureMatrixController(QWidget *parent) : NSOGLNormalMatrixController(parent) {}

NSOGLTextureMatrixController::~NSOGLTextureMatrixController() = default;

bool NSOGLTextureMatrixController::textureEnabled() const {
    return mEnabledButton == nullptr || NSOGLButtonIsOn(mEnabledButton.data());
}

bool NSOGLTextureMatrixController::textureFlippedX() const { return NSOGLButtonIsOn(mFlipXButton.data()); }
bool NSOGLTextureMatrixController::textureFlippedY() const { return NSOGLButtonIsOn(mFlipYButton.data()); }

bool import_NSOGLTextureMatrixController() { return import_NSOGLNormalMatrixController(); }
