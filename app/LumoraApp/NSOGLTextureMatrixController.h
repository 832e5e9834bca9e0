// NSOGLTextureMatrixController: the layer panel's matrix controller: the normal matrix sliders
// (NSOGLNormalMatrixController) with a button that turns the layer's texture on and two that
// flip it. Only what the texture layers read is here.
//
// A missing button counts as off, except the enable button: without it the texture is on.
#pragma once

#include <CocoaGL/NSOGLNormalMatrixController.h>

#include <QPointer>

class NSOGLTextureMatrixController : public NSOGLNormalMatrixController {
    Q_OBJECT
    Q_PROPERTY(QObject *outletTextureEnabledButton READ textureEnabledButton WRITE setTextureEnabledButton)
    Q_PROPERTY(QObject *outletTextureFlipXButton READ textureFlipXButton WRITE setTextureFlipXButton)
    Q_PROPERTY(QObject *outletTextureFlipYButton READ textureFlipYButton WRITE setTextureFlipYButton)

public:
    Q_INVOKABLE explicit NSOGLTextureMatrixController(QWidget *parent = nullptr);
    ~NSOGLTextureMatrixController() override;

    QObject *textureEnabledButton() const { return mEnabledButton.data(); }
    void setTextureEnabledButton(QObject *button) { mEnabledButton = button; }
    QObject *textureFlipXButton() const { return mFlipXButton.data(); }
    void setTextureFlipXButton(QObject *button) { mFlipXButton = button; }
    QObject *textureFlipYButton() const { return mFlipYButton.data(); }
    void setTextureFlipYButton(QObject *button) { mFlipYButton = button; }

    bool textureEnabled() const;
    bool textureFlippedX() const;
    bool textureFlippedY() const;
    // The sliders' record (getNormalMatrix). Nothing for null.
    void getNormalTextureMatrix(NSOGLNormalMatrix *normalMatrix) const { getNormalMatrix(normalMatrix); }

private:
    QPointer<QObject> mEnabledButton;
    QPointer<QObject> mFlipXButton;
    QPointer<QObject> mFlipYButton;
};

// A button is on: an NSButton's state is not 0, a Qt button is checked, another object's
// "state" property is not 0; false for null.
bool NSOGLButtonIsOn(const QObject *button);

bool import_NSOGLTextureMatrixController();
