// NSOGLNormalMatrixController: the panel of sliders that edits one normal matrix record
// (NSOGLNormalMatrix) and tells its target when it changed. Its nib ("NSOGLNormalMatrixController",
// the controller as the form's root) holds the seven sliders, whose actions come to
// normalMatrixChanged:, and a reset button.
//
// Sliders are read and set through their normal values (0..1). Two are inverted: the scale
// slider (its maximum is the smallest scale; the normal value is 1.001 minus the slider's, which
// keeps the scale factor above 0 at the slider's maximum) and the vertical offset (1 minus the
// slider's, so the slider up moves the image up). Each setter places the slider so that its
// getter answers the value given; getters answer single-precision values, the precision of the
// record.
//
// The reset values are the record's defaults: no rotation, no offset, and the scale exactly
// 0.5 (no scaling); a reset controller fills a record equal to a default one.
#pragma once

#include <CocoaGL/NSOGLNormalMatrix.h>

#include <UICocoaControls/NSUITargetActionView.h>

#include <QObject>
#include <QPointer>

class NSOGLNormalMatrixController : public NSUITargetActionView {
    Q_OBJECT
    Q_PROPERTY(QObject *outletMatrixScaleSlider READ matrixScaleSlider WRITE setMatrixScaleSlider)
    Q_PROPERTY(QObject *outletMatrixTranslateXSlider READ matrixTranslateXSlider WRITE setMatrixTranslateXSlider)
    Q_PROPERTY(QObject *outletMatrixTranslateYSlider READ matrixTranslateYSlider WRITE setMatrixTranslateYSlider)
    Q_PROPERTY(QObject *outletMatrixTranslateZSlider READ matrixTranslateZSlider WRITE setMatrixTranslateZSlider)
    Q_PROPERTY(QObject *outletMatrixAngleZSlider READ matrixAngleSlider WRITE setMatrixAngleSlider)
    Q_PROPERTY(QObject *outletMatrixAngleXSlider READ matrixAngleXSlider WRITE setMatrixAngleXSlider)
    Q_PROPERTY(QObject *outletMatrixAngleYSlider READ matrixAngleYSlider WRITE setMatrixAngleYSlider)
    // The same outlets under their accessor names.
    Q_PROPERTY(QObject *_matrixScaleSlider READ matrixScaleSlider WRITE setMatrixScaleSlider)
    Q_PROPERTY(QObject *_matrixAngleSlider READ matrixAngleSlider WRITE setMatrixAngleSlider)
    Q_PROPERTY(QObject *_matrixTranslateXSlider READ matrixTranslateXSlider WRITE setMatrixTranslateXSlider)
    Q_PROPERTY(QObject *_matrixTranslateYSlider READ matrixTranslateYSlider WRITE setMatrixTranslateYSlider)
    Q_PROPERTY(QObject *_matrixAngleXSlider READ matrixAngleXSlider WRITE setMatrixAngleXSlider)
    Q_PROPERTY(QObject *_matrixAngleYSlider READ matrixAngleYSlider WRITE setMatrixAngleYSlider)
    Q_PROPERTY(float matrixScaleNormal READ matrixScaleNormal WRITE setMatrixScaleNormal)
    Q_PROPERTY(float matrixAngleZNormal READ matrixAngleZNormal WRITE setMatrixAngleZNormal)
    Q_PROPERTY(float matrixAngleXNormal READ matrixAngleXNormal WRITE setMatrixAngleXNormal)
    Q_PROPERTY(float matrixAngleYNormal READ matrixAngleYNormal WRITE setMatrixAngleYNormal)
    Q_PROPERTY(float matrixTranslateXNormal READ matrixTranslateXNormal WRITE setMatrixTranslateXNormal)
    Q_PROPERTY(float matrixTranslateYNormal READ matrixTranslateYNormal WRITE setMatrixTranslateYNormal)
    Q_PROPERTY(float matrixTranslateZNormal READ matrixTranslateZNormal WRITE setMatrixTranslateZNormal)

public:
    // The offset that keeps the scale above 0 at the scale slider's maximum.
    static constexpr double kScaleSliderOffset = 1.001;

    Q_INVOKABLE explicit NSOGLNormalMatrixController(QWidget *parent = nullptr);
    ~NSOGLNormalMatrixController() override;

    // Outlets (not owned).
    QObject *matrixScaleSlider() const { return mScaleSlider.data(); }
    void setMatrixScaleSlider(QObject *slider) { mScaleSlider = slider; }
    QObject *matrixTranslateXSlider() const { return mTranslateXSlider.data(); }
    void setMatrixTranslateXSlider(QObject *slider) { mTranslateXSlider = slider; }
    QObject *matrixTranslateYSlider() const { return mTranslateYSlider.data(); }
    void setMatrixTranslateYSlider(QObject *slider) { mTranslateYSlider = slider; }
    QObject *matrixTranslateZSlider() const { return mTranslateZSlider.data(); }
    void setMatrixTranslateZSlider(QObject *slider) { mTranslateZSlider = slider; }
    QObject *matrixAngleSlider() const { return mAngleZSlider.data(); }
    void setMatrixAngleSlider(QObject *slider) { mAngleZSlider = slider; }
    QObject *matrixAngleXSlider() const { return mAngleXSlider.data(); }
    void setMatrixAngleXSlider(QObject *slider) { mAngleXSlider = slider; }
    QObject *matrixAngleYSlider() const { return mAngleYSlider.data(); }
    void setMatrixAngleYSlider(QObject *slider) { mAngleYSlider = slider; }

    // The normal values. Without its slider an angle reads 0, an offset and the scale 0.5.
    float matrixAngleZNormal() const;
    float matrixAngleXNormal() const;
    float matrixAngleYNormal() const;
    float matrixTranslateXNormal() const;
    float matrixTranslateYNormal() const;  // 1 minus the slider's value
    float matrixTranslateZNormal() const;
    float matrixScaleNormal() const;  // 1.001 minus the slider's value
    // Each places its slider (when there is one) so that the getter answers the value.
    void setMatrixScaleNormal(float value);
    void setMatrixAngleZNormal(float value);
    void setMatrixAngleXNormal(float value);
    void setMatrixAngleYNormal(float value);
    void setMatrixTranslateXNormal(float value);
    void setMatrixTranslateYNormal(float value);
    void setMatrixTranslateZNormal(float value);

    // Fills the record from the getters, each kept in 0..1. Nothing for null.
    void getNormalMatrix(NSOGLNormalMatrix *normalMatrix) const;

    // The sliders at the record's defaults: angles 0, offsets 0.5, scale 0.5. A subclass with
    // controls of its own puts them back too (the reset reaches it through this).
    Q_INVOKABLE virtual void setDefaultValues();
    // Sets the outlet's normal value; a missing outlet is skipped.
    static void setDefaultOutlet(QObject *outlet, double normalValue);

    // Actions. normalMatrixChanged: sends the controller's action to its target with the
    // sender; normalMatrixControlsReset: resets, then normalMatrixChanged:.
    Q_INVOKABLE void normalMatrixChanged(QObject *sender);
    Q_INVOKABLE void normalMatrixControlsReset(QObject *sender);

public slots:
    // The reset button of the nib: normalMatrixControlsReset: with the button.
    void resetButtonClicked();

private:
    QPointer<QObject> mScaleSlider;
    QPointer<QObject> mTranslateXSlider;
    QPointer<QObject> mTranslateYSlider;
    QPointer<QObject> mTranslateZSlider;
    QPointer<QObject> mAngleZSlider;
    QPointer<QObject> mAngleXSlider;
    QPointer<QObject> mAngleYSlider;
};

bool import_NSOGLNormalMatrixController();
