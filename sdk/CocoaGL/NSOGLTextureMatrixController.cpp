#include <CocoaGL/NSOGLTextureMatrixController.h>

#include <Foundation/NSObjCRuntime.h>

#include <QVariant>

NS_REGISTER_CLASS(NSOGLTextureMatrixController);

namespace {

bool IsOn(const QPointer<QObject> &button) { return button && button->property("state").toInt() != 0; }

void SetState(const QPointer<QObject> &button, int state) {
    if (button) button->setProperty("state", state);
}

}  // namespace

NSOGLTextureMatrixController::NSOGLTextureMatrixController(QWidget *parent) : NSOGLNormalMatrixController(parent) {}

NSOGLTextureMatrixController::~NSOGLTextureMatrixController() = default;

bool NSOGLTextureMatrixController::textureEnabled() const { return IsOn(mTextureEnabled); }

bool NSOGLTextureMatrixController::textureFlippedX() const { return IsOn(mTextureFlippedX); }

bool NSOGLTextureMatrixController::textureFlippedY() const { return IsOn(mTextureFlippedY); }

void NSOGLTextureMatrixController::setDefaultValues() {
    SetState(mTextureEnabled, 1);
    SetState(mTextureFlippedY, 0);
    SetState(mTextureFlippedX, 0);
    NSOGLNormalMatrixController::setDefaultValues();
}

void NSOGLTextureMatrixController::textureMatrixChanged(QObject *sender) { performTargetActionWithObject(sender); }

void NSOGLTextureMatrixController::textureMatrixControlsReset(QObject *sender) { normalMatrixControlsReset(sender); }

void NSOGLTextureMatrixController::getNormalTextureMatrix(NSOGLNormalMatrix *textureMatrix) const {
    getNormalMatrix(textureMatrix);
}

std::shared_ptr<NSOGLNormalQuadMatrix> NSOGLTextureMatrixController::textureQuadMatrix() const {
    NSOGLNormalMatrix record;
    getNormalTextureMatrix(&record);
    auto matrix = NSOGLNormalQuadMatrix::matrixWithTextureMatrix(&record);
    if (matrix) matrix->setTextureMatrixApplyTranslate(true);
    return matrix;
}

void NSOGLTextureMatrixController::getTextureMatrix(NSOGLNormalMatrix *) const {}

bool import_NSOGLTextureMatrixController() { return import_NSOGLNormalMatrixController(); }
