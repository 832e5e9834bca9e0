// NSOGLTextureMatrixController: the panel of a texture's matrix. The normal-matrix sliders of
// its base plus three buttons (texture enabled, flipped horizontally, flipped vertically); the
// matrix is handed out as a quad matrix that also applies the translation.
//
// A button reads on when it is connected and its integer value (its state) is non-zero; a
// missing button reads off.
#pragma once

#include <CocoaGL/NSOGLNormalMatrix.h>
#include <CocoaGL/NSOGLNormalMatrixController.h>

#include <QObject>
#include <QPointer>

#include <memory>

class NSOGLTextureMatrixController : public NSOGLNormalMatrixController {
    Q_OBJECT
    Q_PROPERTY(QObject *outletTextureEnabled READ _textureEnabled WRITE set_textureEnabled)
    Q_PROPERTY(QObject *outletTextureFlippedX READ _textureFlippedX WRITE set_textureFlippedX)
    Q_PROPERTY(QObject *outletTextureFlippedY READ _textureFlippedY WRITE set_textureFlippedY)
    Q_PROPERTY(QObject *_textureEnabled READ _textureEnabled WRITE set_textureEnabled)
    Q_PROPERTY(QObject *_textureFlippedX READ _textureFlippedX WRITE set_textureFlippedX)
    Q_PROPERTY(QObject *_textureFlippedY READ _textureFlippedY WRITE set_textureFlippedY)

public:
    Q_INVOKABLE explicit NSOGLTextureMatrixController(QWidget *parent = nullptr);
    ~NSOGLTextureMatrixController() override;

    // The raw outlets (not owned).
    QObject *_textureEnabled() const { return mTextureEnabled.data(); }
    void set_textureEnabled(QObject *button) { mTextureEnabled = button; }
    QObject *_textureFlippedX() const { return mTextureFlippedX.data(); }
    void set_textureFlippedX(QObject *button) { mTextureFlippedX = button; }
    QObject *_textureFlippedY() const { return mTextureFlippedY.data(); }
    void set_textureFlippedY(QObject *button) { mTextureFlippedY = button; }

    bool textureEnabled() const;
    bool textureFlippedX() const;
    bool textureFlippedY() const;

    // The enabled button on, both flips off, then the sliders' defaults.
    Q_INVOKABLE void setDefaultValues() override;

    // The controller's own action to its target with the sender, so that the owner re-reads
    // the matrix.
    Q_INVOKABLE void textureMatrixChanged(QObject *sender);
    // The sliders' reset (normalMatrixControlsReset:).
    Q_INVOKABLE void textureMatrixControlsReset(QObject *sender);

    // The sliders' record (getNormalMatrix). Nothing for null.
    void getNormalTextureMatrix(NSOGLNormalMatrix *textureMatrix) const;
    // A new quad matrix of the normal texture matrix that also applies its translation.
    std::shared_ptr<NSOGLNormalQuadMatrix> textureQuadMatrix() const;
    // Does nothing (the matrix is read through getNormalTextureMatrix).
    void getTextureMatrix(NSOGLNormalMatrix *textureMatrix) const;

private:
    QPointer<QObject> mTextureEnabled;
    QPointer<QObject> mTextureFlippedX;
    QPointer<QObject> mTextureFlippedY;
};

bool import_NSOGLTextureMatrixController();
