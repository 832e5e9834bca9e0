#include <CocoaGL/NSOGLNormalMatrix.h>

#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>

#include <OpenGL/OpenGL.h>
#include <OpenGL/gl.h>

#include <cmath>
#include <numbers>

// ---- NSOGLMatrix4 ----------------------------------------------------------------------------------

void NSOGLMatrix4::multiply(const NSOGLMatrix4 &right) {
    std::array<double, 16> product{};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) sum += m[k * 4 + r] * right.m[c * 4 + k];
            product[c * 4 + r] = sum;
        }
    m = product;
}

void NSOGLMatrix4::translate(double x, double y, double z) {
    NSOGLMatrix4 t;
    t.m[12] = x;
    t.m[13] = y;
    t.m[14] = z;
    multiply(t);
}

void NSOGLMatrix4::scale(double x, double y, double z) {
    NSOGLMatrix4 s;
    s.m[0] = x;
    s.m[5] = y;
    s.m[10] = z;
    multiply(s);
}

namespace {

// Sine and cosine of an angle in degrees, exact at the multiples of 90 degrees.
void SinCosDegrees(double degrees, double &sine, double &cosine) {
    double turn = std::fmod(degrees, 360.0);
    if (turn < 0) turn += 360.0;
    if (turn == 0.0) {
        sine = 0, cosine = 1;
    } else if (turn == 90.0) {
        sine = 1, cosine = 0;
    } else if (turn == 180.0) {
        sine = 0, cosine = -1;
    } else if (turn == 270.0) {
        sine = -1, cosine = 0;
    } else {
        const double radians = turn * std::numbers::pi / 180.0;
        sine = std::sin(radians);
        cosine = std::cos(radians);
    }
}

}  // namespace

void NSOGLMatrix4::rotate(double degrees, double x, double y, double z) {
    const double length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 0.0) || !std::isfinite(degrees)) return;
    x /= length, y /= length, z /= length;
    double s = 0, c = 1;
    SinCosDegrees(degrees, s, c);
    const double k = 1.0 - c;
    NSOGLMatrix4 r;
    r.m[0] = x * x * k + c, r.m[4] = x * y * k - z * s, r.m[8] = x * z * k + y * s;
    r.m[1] = y * x * k + z * s, r.m[5] = y * y * k + c, r.m[9] = y * z * k - x * s;
    r.m[2] = x * z * k - y * s, r.m[6] = y * z * k + x * s, r.m[10] = z * z * k + c;
    multiply(r);
}

std::array<double, 3> NSOGLMatrix4::transform(double x, double y, double z) const {
    return {m[0] * x + m[4] * y + m[8] * z + m[12], m[1] * x + m[5] * y + m[9] * z + m[13],
            m[2] * x + m[6] * y + m[10] * z + m[14]};
}

void NSOGLMatrix4::load() const {
    if (CGLGetCurrentContext() == nullptr) return;
    GLfloat values[16];
    for (int i = 0; i < 16; ++i) values[i] = GLfloat(m[i]);
    glLoadMatrixf(values);
    OpenGL::DiscardGLErrors();
}

// ---- NSOGLNormalMatrix ----------------------------------------------------------------------------

NSOGLNormalMatrix::NSOGLNormalMatrix()
    : angle_z(0.0f), angle_x(0.0f), angle_y(0.0f), scale(0.5f), translate_x(0.5f), translate_y(0.5f),
      translate_z(0.5f) {}

// ---- NSOGLNormalQuadMatrixBase ----------------------------------------------------------------------

std::shared_ptr<NSOGLNormalQuadMatrixBase> NSOGLNormalQuadMatrixBase::identityMatrix() {
    return std::make_shared<NSOGLNormalQuadMatrixBase>();
}

void NSOGLNormalQuadMatrixBase::applyNormalMatrix(const protocol_NSOGLDynamicTexture *texture,
                                                  const NSOGLNormalMatrix *normalMatrix) {
    applyNormalMatrix(texture, normalMatrix, false);
}

void NSOGLNormalQuadMatrixBase::applyNormalMatrix(const protocol_NSOGLDynamicTexture *texture,
                                                  const NSOGLNormalMatrix *normalMatrix, bool applyTranslate) {
    textureMatrix(texture, normalMatrix, applyTranslate).load();
}

NSOGLMatrix4 NSOGLNormalQuadMatrixBase::textureMatrix(const protocol_NSOGLDynamicTexture *texture,
                                                      const NSOGLNormalMatrix *normalMatrix, bool applyTranslate) {
    NSOGLMatrix4 matrix;
    if (texture == nullptr || normalMatrix == nullptr) return matrix;
    const NSOGLNormalMatrix &record = *normalMatrix;
    const double sMin = texture->textureCoordSMin(), sMax = texture->textureCoordSMax();
    const double tMin = texture->textureCoordTMin(), tMax = texture->textureCoordTMax();
    const double w = sMax != 0.0 ? sMax : sMin;
    const double h = tMax != 0.0 ? tMax : tMin;
    const double signS = sMin > sMax ? -1.0 : 1.0;
    const double signT = tMin > tMax ? -1.0 : 1.0;

    matrix.translate(w / 2, h / 2, 0);
    const double factor = 2.0 * double(record.scale.m_value);
    if (factor != 1.0) matrix.scale(factor, factor, 1);
    matrix.rotate(double(record.angle_z.m_value) * 360.0 * signS * signT, 0, 0, 1);
    matrix.rotate(360.0 * double(record.angle_x.m_value), 1, 0, 0);
    matrix.rotate(360.0 * double(record.angle_y.m_value), 0, 1, 0);
    matrix.translate(-w / 2, -h / 2, 0);
    if (applyTranslate) {
        const double u = CoreGeometry::T_clamped_value<double>::Constrain(1.0 - double(record.translate_x.m_value));
        matrix.translate(signS * (2.0 * u * w - w), signT * (2.0 * double(record.translate_y.m_value) * h - h), 0);
    }
    return matrix;
}

void NSOGLNormalQuadMatrixBase::applyModelViewMatrix() { NSOGLMatrix4::identity().load(); }

void NSOGLNormalQuadMatrixBase::applyTextureMatrix(const protocol_NSOGLDynamicTexture *) {
    NSOGLMatrix4::identity().load();
}

// ---- NSOGLNormalQuadMatrix -------------------------------------------------------------------------

NSOGLNormalQuadMatrix::NSOGLNormalQuadMatrix() = default;

NSOGLNormalQuadMatrix::NSOGLNormalQuadMatrix(const NSOGLNormalMatrix *textureMatrix,
                                             const NSOGLNormalMatrix *modelViewMatrix) {
    if (textureMatrix != nullptr) {
        mTextureMatrix = *textureMatrix;
        mTextureMatrixApply = true;
    }
    if (modelViewMatrix != nullptr) {
        mModelViewMatrix = *modelViewMatrix;
        mModelViewMatrixApply = true;
    }
}

NSOGLNormalQuadMatrix::~NSOGLNormalQuadMatrix() = default;

std::shared_ptr<NSOGLNormalQuadMatrix> NSOGLNormalQuadMatrix::identityMatrix() {
    return std::make_shared<NSOGLNormalQuadMatrix>(nullptr, nullptr);
}

std::shared_ptr<NSOGLNormalQuadMatrix> NSOGLNormalQuadMatrix::matrixWithTextureMatrix(
    const NSOGLNormalMatrix *textureMatrix) {
    return std::make_shared<NSOGLNormalQuadMatrix>(textureMatrix, nullptr);
}

std::shared_ptr<NSOGLNormalQuadMatrix> NSOGLNormalQuadMatrix::matrixWithModelViewMatrix(
    const NSOGLNormalMatrix *modelViewMatrix) {
    return std::make_shared<NSOGLNormalQuadMatrix>(nullptr, modelViewMatrix);
}

std::shared_ptr<NSOGLNormalQuadMatrix> NSOGLNormalQuadMatrix::matrixWithTextureMatrix(
    const NSOGLNormalMatrix *textureMatrix, const NSOGLNormalMatrix *modelViewMatrix) {
    return std::make_shared<NSOGLNormalQuadMatrix>(textureMatrix, modelViewMatrix);
}

void NSOGLNormalQuadMatrix::applyTextureMatrix(const protocol_NSOGLDynamicTexture *texture) {
    if (mTextureMatrixApply)
        applyNormalMatrix(texture, &mTextureMatrix, mTextureMatrixApplyTranslate);
    else
        NSOGLMatrix4::identity().load();
}

void NSOGLNormalQuadMatrix::applyModelViewMatrix() { modelViewMatrix().load(); }

NSOGLMatrix4 NSOGLNormalQuadMatrix::modelViewMatrix() const {
    NSOGLMatrix4 matrix;
    if (!mModelViewMatrixApply) return matrix;
    const NSOGLNormalMatrix &record = mModelViewMatrix;
    matrix.rotate(360.0 * double(record.angle_x.m_value), 1, 0, 0);
    matrix.rotate(360.0 * double(record.angle_y.m_value), 0, 1, 0);
    matrix.rotate(360.0 * double(record.angle_z.m_value), 0, 0, 1);
    const double factor = 2.0 * double(record.scale.m_value);
    if (factor != 1.0) matrix.scale(factor, factor, 1);
    return matrix;
}

bool import_NSOGLNormalMatrix() { return true; }
