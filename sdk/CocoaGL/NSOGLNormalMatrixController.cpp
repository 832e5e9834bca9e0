#include <CocoaGL/NSOGLNormalMatrixController.h>

#include <UICocoaControls/NSControl_NormalValue.h>

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSOGLNormalMatrixController);

namespace {

float Read(const QPointer<QObject> &slider, float missing) {
    return slider ? float(NormalValue::normalValue(slider.data())) : missing;
}

void Write(const QPointer<QObject> &slider, double normalValue) {
    if (slider) NormalValue::setNormalValue(slider.data(), normalValue);
}

}  // namespace

NSOGLNormalMatrixController::NSOGLNormalMatrixController(QWidget *parent) : NSUITargetActionView(parent) {}

NSOGLNormalMatrixController::~NSOGLNormalMatrixController() = default;

float NSOGLNormalMatrixController::matrixAngleZNormal() const { return Read(mAngleZSlider, 0.0f); }

float NSOGLNormalMatrixController::matrixAngleXNormal() const { return Read(mAngleXSlider, 0.0f); }

float NSOGLNormalMatrixController::matrixAngleYNormal() const { return Read(mAngleYSlider, 0.0f); }

float NSOGLNormalMatrixController::matrixTranslateXNormal() const { return Read(mTranslateXSlider, 0.5f); }

float NSOGLNormalMatrixController::matrixTranslateYNormal() const {
    return mTranslateYSlider ? float(1.0 - NormalValue::normalValue(mTranslateYSlider.data())) : 0.5f;
}

float NSOGLNormalMatrixController::matrixTranslateZNormal() const { return Read(mTranslateZSlider, 0.5f); }

float NSOGLNormalMatrixController::matrixScaleNormal() const {
    return mScaleSlider ? float(kScaleSliderOffset - NormalValue::normalValue(mScaleSlider.data())) : 0.5f;
}

void NSOGLNormalMatrixController::setMatrixScaleNormal(float value) {
    Write(mScaleSlider, kScaleSliderOffset - double(value));
}

void NSOGLNormalMatrixController::setMatrixAngleZNormal(float value) { Write(mAngleZSlider, value); }

void NSOGLNormalMatrixController::setMatrixAngleXNormal(float value) { Write(mAngleXSlider, value); }

void NSOGLNormalMatrixController::setMatrixAngleYNormal(float value) { Write(mAngleYSlider, value); }

void NSOGLNormalMatrixController::setMatrixTranslateXNormal(float value) { Write(mTranslateXSlider, value); }

void NSOGLNormalMatrixController::setMatrixTranslateYNormal(float value) {
    Write(mTranslateYSlider, 1.0 - double(value));
}

void NSOGLNormalMatrixController::setMatrixTranslateZNormal(float value) { Write(mTranslateZSlider, value); }

void NSOGLNormalMatrixController::getNormalMatrix(NSOGLNormalMatrix *normalMatrix) const {
    if (normalMatrix == nullptr) return;
    // The record's values keep themselves in 0..1.
    normalMatrix->angle_z = matrixAngleZNormal();
    normalMatrix->angle_x = matrixAngleXNormal();
    normalMatrix->angle_y = matrixAngleYNormal();
    normalMatrix->scale = matrixScaleNormal();
    normalMatrix->translate_x = matrixTranslateXNormal();
    normalMatrix->translate_y = matrixTranslateYNormal();
    normalMatrix->translate_z = matrixTranslateZNormal();
}

void NSOGLNormalMatrixController::setDefaultValues() {
    // The scale slider goes where the scale reads exactly 0.5 (no scaling), not to its middle.
    setDefaultOutlet(mScaleSlider.data(), kScaleSliderOffset - 0.5);
    setDefaultOutlet(mAngleZSlider.data(), 0.0);
    setDefaultOutlet(mAngleXSlider.data(), 0.0);
    setDefaultOutlet(mAngleYSlider.data(), 0.0);
    setDefaultOutlet(mTranslateXSlider.data(), 0.5);
    setDefaultOutlet(mTranslateYSlider.data(), 0.5);
    setDefaultOutlet(mTranslateZSlider.data(), 0.5);
}

void NSOGLNormalMatrixController::setDefaultOutlet(QObject *outlet, double normalValue) {
    if (outlet != nullptr) NormalValue::setNormalValue(outlet, normalValue);
}

void NSOGLNormalMatrixController::normalMatrixChanged(QObject *sender) { performTargetActionWithObject(sender); }

void NSOGLNormalMatrixController::normalMatrixControlsReset(QObject *sender) {
    setDefaultValues();
    normalMatrixChanged(sender);
}

void NSOGLNormalMatrixController::resetButtonClicked() { normalMatrixControlsReset(sender()); }

bool import_NSOGLNormalMatrixController() { return import_NSOGLNormalMatrix() && import_NSUITargetActionView(); }
