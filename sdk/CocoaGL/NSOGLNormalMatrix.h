// Normalised texture matrices: textures are scaled, rotated and moved on screen by values that
// the interface keeps in 0..1 ("normal" values). A slider at its middle means no scaling and no
// offset; a full turn of an angle slider is 360 degrees.
//
// NSOGLNormalMatrix is the record of seven such values. NSOGLNormalQuadMatrix holds one record
// for the texture matrix and one for the model-view matrix and loads them into the current
// OpenGL matrix; NSOGLNormalQuadMatrixBase always loads the identity.
//
// The matrices are computed here (NSOGLMatrix4, as glTranslate, glScale and glRotate would build
// them, in double precision) and loaded with glLoadMatrixf into the current matrix of the current
// context; without a current context nothing is loaded.
//
// Texture matrix of a record for a texture (applyNormalMatrix), from the texture's coordinates:
// the extent W is S-max (S-min when S-max is 0), H likewise from T; sS is -1 when S-min is above
// S-max (a horizontally flipped texture), else 1, sT likewise. Then:
//   translate (W/2, H/2, 0); scale (2 scale, 2 scale, 1) unless 2 scale is 1;
//   rotate angle_z x 360 x sS x sT degrees about z, 360 angle_x about x, 360 angle_y about y;
//   translate (-W/2, -H/2, 0);
//   with translation: translate (sS (2 u W - W), sT (2 translate_y H - H), 0), u = 1 - translate_x.
// The matrix transforms texture coordinates, so a scale above 0.5 shows a smaller image and an
// offset moves the image the opposite way of the coordinate shift.
#pragma once

#include <CocoaGL/protocol_NSOGLDynamicTexture.h>
#include <CoreG/Drawing/namespace_CoreGeometry_T_clamped_value.h>

#include <array>
#include <memory>

// A 4 x 4 matrix as OpenGL loads it: column-major, the element of row r and column c at
// m[c * 4 + r]. The operations multiply on the right, as the GL matrix operations do.
struct NSOGLMatrix4 {
    std::array<double, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    static NSOGLMatrix4 identity() { return NSOGLMatrix4(); }
    void multiply(const NSOGLMatrix4 &right);
    void translate(double x, double y, double z);
    void scale(double x, double y, double z);
    // Degrees about the axis (normalised first; a zero axis changes nothing).
    void rotate(double degrees, double x, double y, double z);
    // The point (x, y, z, 1) transformed: its first three coordinates.
    std::array<double, 3> transform(double x, double y, double z) const;
    // Loads the matrix into the current matrix of the current context (nothing without one).
    void load() const;
};

using NSOGLNormalValue = T_normal_value<CoreGeometry::T_clamped_value<float>>;

struct NSOGLNormalMatrix {
    NSOGLNormalValue angle_z;      // rotation about the view axis, 1 = 360 degrees
    NSOGLNormalValue angle_x;      // rotation about the horizontal axis
    NSOGLNormalValue angle_y;      // rotation about the vertical axis
    NSOGLNormalValue scale;        // 0.5 = unscaled; the factor is 2 x scale
    NSOGLNormalValue translate_x;  // horizontal offset; 0.5 = none
    NSOGLNormalValue translate_y;  // vertical offset; 0.5 = none
    NSOGLNormalValue translate_z;  // depth offset (carried, not applied)

    // Angles 0, the other four 0.5.
    NSOGLNormalMatrix();
};

class NSOGLNormalQuadMatrixBase : public NSOGLQuadMatrixProtocol {
public:
    ~NSOGLNormalQuadMatrixBase() override = default;

    // A matrix object that always loads the identity.
    static std::shared_ptr<NSOGLNormalQuadMatrixBase> identityMatrix();

    // applyNormalMatrix without translation.
    static void applyNormalMatrix(const protocol_NSOGLDynamicTexture *texture, const NSOGLNormalMatrix *normalMatrix);
    // Loads textureMatrix(...) into the current matrix.
    static void applyNormalMatrix(const protocol_NSOGLDynamicTexture *texture, const NSOGLNormalMatrix *normalMatrix,
                                  bool applyTranslate);
    // The texture matrix of the record for the texture (see above); the identity without
    // texture or record.
    static NSOGLMatrix4 textureMatrix(const protocol_NSOGLDynamicTexture *texture,
                                      const NSOGLNormalMatrix *normalMatrix, bool applyTranslate);

    // Both load the identity.
    void applyModelViewMatrix() override;
    void applyTextureMatrix(const protocol_NSOGLDynamicTexture *texture) override;
};

class NSOGLNormalQuadMatrix : public NSOGLNormalQuadMatrixBase {
public:
    // Default records, nothing applied.
    NSOGLNormalQuadMatrix();
    // Each given record is copied and applied; a null one leaves the default record unapplied.
    NSOGLNormalQuadMatrix(const NSOGLNormalMatrix *textureMatrix, const NSOGLNormalMatrix *modelViewMatrix);
    ~NSOGLNormalQuadMatrix() override;

    static std::shared_ptr<NSOGLNormalQuadMatrix> identityMatrix();
    static std::shared_ptr<NSOGLNormalQuadMatrix> matrixWithTextureMatrix(const NSOGLNormalMatrix *textureMatrix);
    static std::shared_ptr<NSOGLNormalQuadMatrix> matrixWithModelViewMatrix(const NSOGLNormalMatrix *modelViewMatrix);
    static std::shared_ptr<NSOGLNormalQuadMatrix> matrixWithTextureMatrix(const NSOGLNormalMatrix *textureMatrix,
                                                                          const NSOGLNormalMatrix *modelViewMatrix);

    // With textureMatrixApply: the texture record through applyNormalMatrix (translation as
    // textureMatrixApplyTranslate says); otherwise the identity.
    void applyTextureMatrix(const protocol_NSOGLDynamicTexture *texture) override;
    // Loads modelViewMatrix().
    void applyModelViewMatrix() override;
    // The identity; with modelViewMatrixApply: rotate 360 angle_x about x, 360 angle_y about y,
    // 360 angle_z about z, then scale (2 scale, 2 scale, 1) unless 2 scale is 1. Translations
    // are not applied.
    NSOGLMatrix4 modelViewMatrix() const;

    bool textureMatrixApply() const { return mTextureMatrixApply; }
    void setTextureMatrixApply(bool apply) { mTextureMatrixApply = apply; }
    bool textureMatrixApplyTranslate() const { return mTextureMatrixApplyTranslate; }
    void setTextureMatrixApplyTranslate(bool apply) { mTextureMatrixApplyTranslate = apply; }
    bool modelViewMatrixApply() const { return mModelViewMatrixApply; }
    void setModelViewMatrixApply(bool apply) { mModelViewMatrixApply = apply; }

private:
    NSOGLNormalMatrix mTextureMatrix;
    NSOGLNormalMatrix mModelViewMatrix;
    bool mTextureMatrixApply = false;
    bool mTextureMatrixApplyTranslate = false;
    bool mModelViewMatrixApply = false;
};

bool import_NSOGLNormalMatrix();
