// Normalised texture matrices as plain 4 x 4 cases (transformed corner points), the same
// matrices loaded into OpenGL, and the slider panel that edits a record.
#include <CocoaGL/NSOGLNormalMatrix.h>
#include <CocoaGL/NSOGLNormalMatrixController.h>
#include <CocoaGL/NSOGLTextureBase.h>

#include <AppKit/NSNib.h>
#include <UICocoaControls/NSSlider.h>

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QList>

#include <memory>

#include "sdk/CoreG/GLTestSupport.h"
#include "sdk/RiradI/RiradITestApplication.h"

namespace {

// A texture of the target and size without a GL texture: coordinates need no context.
std::unique_ptr<NSOGLTextureBase> Texture(GLenum target, GLuint width, GLuint height, bool flipS = false,
                                          bool flipT = false) {
    auto texture = std::make_unique<NSOGLTextureBase>();
    texture->setTextureTarget(target);
    texture->setTextureWidth(width);
    texture->setTextureHeight(height);
    texture->setFlipHorizontal(flipS);
    texture->setFlipVertical(flipT);
    return texture;
}

void ExpectPoint(const NSOGLMatrix4 &matrix, double s, double t, double expectedS, double expectedT) {
    const auto p = matrix.transform(s, t, 0);
    EXPECT_NEAR(p[0], expectedS, 1e-9) << "from (" << s << ", " << t << ")";
    EXPECT_NEAR(p[1], expectedT, 1e-9) << "from (" << s << ", " << t << ")";
    EXPECT_NEAR(p[2], 0.0, 1e-9);
}

TEST(NSOGLNormalMatrix, DefaultsAndClamping) {
    ASSERT_TRUE(import_NSOGLNormalMatrix());
    NSOGLNormalMatrix record;
    EXPECT_EQ(record.angle_z, 0.0f);
    EXPECT_EQ(record.angle_x, 0.0f);
    EXPECT_EQ(record.angle_y, 0.0f);
    EXPECT_EQ(record.scale, 0.5f);
    EXPECT_EQ(record.translate_x, 0.5f);
    EXPECT_EQ(record.translate_y, 0.5f);
    EXPECT_EQ(record.translate_z, 0.5f);
    record.translate_x = 1.5f;
    record.scale = -2.0f;
    EXPECT_EQ(record.translate_x, 1.0f);
    EXPECT_EQ(record.scale, 0.0f);
}

// Each case transforms the texture's corner (0, 0); a case that leaves it in place is exactly
// the identity.
TEST(NSOGLNormalMatrix, TextureMatrixCases) {
    struct Case {
        const char *name;
        GLenum target;
        bool flipS, flipT, translate;
        void (*edit)(NSOGLNormalMatrix &);
        double cornerS, cornerT;  // where (0, 0) goes
    };
    const Case cases[] = {
        {"default", GL_TEXTURE_RECTANGLE_EXT, false, false, false, [](NSOGLNormalMatrix &) {}, 0, 0},
        {"default with translation", GL_TEXTURE_RECTANGLE_EXT, false, false, true, [](NSOGLNormalMatrix &) {}, 0, 0},
        {"angle_z 0.25", GL_TEXTURE_RECTANGLE_EXT, false, false, false,
         [](NSOGLNormalMatrix &m) { m.angle_z = 0.25f; }, 560, -80},
        {"angle_z 0.25 flipped in S", GL_TEXTURE_RECTANGLE_EXT, true, false, false,
         [](NSOGLNormalMatrix &m) { m.angle_z = 0.25f; }, 80, 560},
        {"angle_z 0.25 flipped in T", GL_TEXTURE_RECTANGLE_EXT, false, true, false,
         [](NSOGLNormalMatrix &m) { m.angle_z = 0.25f; }, 80, 560},
        {"angle_z 0.25 flipped in both", GL_TEXTURE_RECTANGLE_EXT, true, true, false,
         [](NSOGLNormalMatrix &m) { m.angle_z = 0.25f; }, 560, -80},
        {"translate_x 0", GL_TEXTURE_RECTANGLE_EXT, false, false, true,
         [](NSOGLNormalMatrix &m) { m.translate_x = 0.0f; }, 640, 0},
        {"translate_x 0 flipped in S", GL_TEXTURE_RECTANGLE_EXT, true, false, true,
         [](NSOGLNormalMatrix &m) { m.translate_x = 0.0f; }, -640, 0},
        {"translate_x 1.5 counts as 1", GL_TEXTURE_RECTANGLE_EXT, false, false, true,
         [](NSOGLNormalMatrix &m) { m.translate_x = 1.5f; }, -640, 0},
        {"translate_x 0 without translation", GL_TEXTURE_RECTANGLE_EXT, false, false, false,
         [](NSOGLNormalMatrix &m) { m.translate_x = 0.0f; }, 0, 0},
        {"translate_y 1", GL_TEXTURE_RECTANGLE_EXT, false, false, true,
         [](NSOGLNormalMatrix &m) { m.translate_y = 1.0f; }, 0, 480},
        {"translate_z is carried only", GL_TEXTURE_RECTANGLE_EXT, false, false, true,
         [](NSOGLNormalMatrix &m) { m.translate_z = 1.0f; }, 0, 0},
        {"scale 0.25 (factor 0.5)", GL_TEXTURE_RECTANGLE_EXT, false, false, false,
         [](NSOGLNormalMatrix &m) { m.scale = 0.25f; }, 160, 120},
        {"scale 1 (factor 2)", GL_TEXTURE_RECTANGLE_EXT, false, false, false,
         [](NSOGLNormalMatrix &m) { m.scale = 1.0f; }, -320, -240},
        {"scale 0 (factor 0)", GL_TEXTURE_RECTANGLE_EXT, false, false, false,
         [](NSOGLNormalMatrix &m) { m.scale = 0.0f; }, 320, 240},
        {"2D angle_z 0.5", GL_TEXTURE_2D, false, false, false, [](NSOGLNormalMatrix &m) { m.angle_z = 0.5f; }, 1, 1},
        {"2D translate_x 0", GL_TEXTURE_2D, false, false, true, [](NSOGLNormalMatrix &m) { m.translate_x = 0.0f; }, 1,
         0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto texture = Texture(c.target, 640, 480, c.flipS, c.flipT);
        NSOGLNormalMatrix record;
        c.edit(record);
        const NSOGLMatrix4 matrix = NSOGLNormalQuadMatrixBase::textureMatrix(texture.get(), &record, c.translate);
        ExpectPoint(matrix, 0, 0, c.cornerS, c.cornerT);
        if (c.cornerS == 0 && c.cornerT == 0) {
            EXPECT_EQ(matrix.m, NSOGLMatrix4::identity().m);  // exactly
        }
    }
    // Without texture or record: the identity.
    NSOGLNormalMatrix rotated;
    rotated.angle_z = 0.25f;
    const auto texture = Texture(GL_TEXTURE_RECTANGLE_EXT, 640, 480);
    EXPECT_EQ(NSOGLNormalQuadMatrixBase::textureMatrix(nullptr, &rotated, true).m, NSOGLMatrix4::identity().m);
    EXPECT_EQ(NSOGLNormalQuadMatrixBase::textureMatrix(texture.get(), nullptr, true).m, NSOGLMatrix4::identity().m);
}

TEST(NSOGLNormalMatrix, AnglesAboutTheOtherAxes) {
    // A half turn about the horizontal axis mirrors T about the centre (and depth).
    const auto texture = Texture(GL_TEXTURE_RECTANGLE_EXT, 640, 480);
    NSOGLNormalMatrix record;
    record.angle_x = 0.5f;
    ExpectPoint(NSOGLNormalQuadMatrixBase::textureMatrix(texture.get(), &record, false), 0, 0, 0, 480);
    record = NSOGLNormalMatrix();
    record.angle_y = 0.5f;
    ExpectPoint(NSOGLNormalQuadMatrixBase::textureMatrix(texture.get(), &record, false), 0, 0, 640, 0);
}

TEST(NSOGLNormalMatrix, ModelViewMatrix) {
    NSOGLNormalMatrix record;
    record.angle_z = 0.25f;
    record.scale = 0.25f;
    record.translate_x = 0.0f;  // translations are not applied
    EXPECT_EQ(NSOGLNormalQuadMatrix().modelViewMatrix().m, NSOGLMatrix4::identity().m);
    EXPECT_EQ(NSOGLNormalQuadMatrix::matrixWithTextureMatrix(&record)->modelViewMatrix().m,
              NSOGLMatrix4::identity().m);
    const auto quad = NSOGLNormalQuadMatrix::matrixWithModelViewMatrix(&record);
    EXPECT_TRUE(quad->modelViewMatrixApply());
    EXPECT_FALSE(quad->textureMatrixApply());
    ExpectPoint(quad->modelViewMatrix(), 1, 0, 0, 0.5);  // scaled by 0.5, then turned 90 degrees
    ExpectPoint(quad->modelViewMatrix(), 0, 0, 0, 0);
}

class NSOGLNormalMatrixGLTest : public coreg_test::GLContextTest {
protected:
    static std::array<GLfloat, 16> TextureMatrix() {
        std::array<GLfloat, 16> values{};
        glGetFloatv(GL_TEXTURE_MATRIX, values.data());
        return values;
    }
    static std::array<GLfloat, 16> Floats(const NSOGLMatrix4 &matrix) {
        std::array<GLfloat, 16> values{};
        for (int i = 0; i < 16; ++i) values[i] = GLfloat(matrix.m[i]);
        return values;
    }
};

TEST_F(NSOGLNormalMatrixGLTest, QuadMatricesLoadTheCurrentMatrix) {
    const auto texture = Texture(GL_TEXTURE_RECTANGLE_EXT, 640, 480, true, false);
    NSOGLNormalMatrix record;
    record.angle_z = 0.125f;
    record.scale = 0.75f;
    record.translate_x = 0.25f;
    const std::array<GLfloat, 16> identity = Floats(NSOGLMatrix4::identity());
    glMatrixMode(GL_TEXTURE);

    auto quad = NSOGLNormalQuadMatrix::matrixWithTextureMatrix(&record, nullptr);
    quad->setTextureMatrixApplyTranslate(true);
    texture->textureWithMatrix(quad.get());
    EXPECT_EQ(TextureMatrix(), Floats(NSOGLNormalQuadMatrixBase::textureMatrix(texture.get(), &record, true)));
    EXPECT_NE(TextureMatrix(), identity);

    texture->textureWithMatrix(nullptr);
    EXPECT_EQ(TextureMatrix(), identity);

    texture->textureWithMatrix(quad.get());
    quad->setTextureMatrixApply(false);
    texture->textureWithMatrix(quad.get());
    EXPECT_EQ(TextureMatrix(), identity);

    texture->textureWithMatrix(NSOGLNormalQuadMatrixBase::identityMatrix().get());
    EXPECT_EQ(TextureMatrix(), identity);

    glMatrixMode(GL_MODELVIEW);
    NSOGLNormalQuadMatrix::matrixWithModelViewMatrix(&record)->applyModelViewMatrix();
    std::array<GLfloat, 16> modelView{};
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView.data());
    EXPECT_EQ(modelView, Floats(NSOGLNormalQuadMatrix::matrixWithModelViewMatrix(&record)->modelViewMatrix()));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    // No current context: nothing is loaded and nothing breaks.
    CGLSetCurrentContext(nullptr);
    quad->applyModelViewMatrix();
    texture->textureWithMatrix(nullptr);
}

// ---- The panel --------------------------------------------------------------------------------------

class ActionRecorder : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void matrixChanged(QObject *sender) { senders.append(sender); }
    QList<QObject *> senders;
};

class NSOGLNormalMatrixControllerTest : public ::testing::Test, public riradi_test::WithApplication {
protected:
    void SetUp() override {
        ASSERT_TRUE(import_NSOGLNormalMatrixController());
        QList<QObject *> topLevel;
        auto nib = NSNib::initWithNibNamed("NSOGLNormalMatrixController");
        ASSERT_NE(nib, nullptr);
        ASSERT_TRUE(nib->instantiateNibWithOwner(nullptr, &topLevel));
        ASSERT_EQ(topLevel.size(), 1);
        controller.reset(qobject_cast<NSOGLNormalMatrixController *>(topLevel.first()));
        ASSERT_NE(controller, nullptr);
        controller->setTarget(&recorder);
        controller->setAction("matrixChanged:");
    }

    NSSlider *Slider(QObject *outlet) { return qobject_cast<NSSlider *>(outlet); }

    static void ExpectDefault(const NSOGLNormalMatrix &record) {
        const NSOGLNormalMatrix defaults;
        EXPECT_EQ(record.angle_z, defaults.angle_z);
        EXPECT_EQ(record.angle_x, defaults.angle_x);
        EXPECT_EQ(record.angle_y, defaults.angle_y);
        EXPECT_EQ(record.scale, defaults.scale);
        EXPECT_EQ(record.translate_x, defaults.translate_x);
        EXPECT_EQ(record.translate_y, defaults.translate_y);
        EXPECT_EQ(record.translate_z, defaults.translate_z);
    }

    ActionRecorder recorder;
    std::unique_ptr<NSOGLNormalMatrixController> controller;
};

TEST_F(NSOGLNormalMatrixControllerTest, NibConnectsSevenSlidersAtTheDefaults) {
    for (QObject *outlet : {controller->matrixScaleSlider(), controller->matrixAngleSlider(),
                            controller->matrixAngleXSlider(), controller->matrixAngleYSlider(),
                            controller->matrixTranslateXSlider(), controller->matrixTranslateYSlider(),
                            controller->matrixTranslateZSlider()}) {
        ASSERT_NE(Slider(outlet), nullptr);
        EXPECT_EQ(Slider(outlet)->target(), controller.get());
        EXPECT_EQ(Slider(outlet)->action(), QByteArray("normalMatrixChanged:"));
    }
    EXPECT_EQ(controller->property("_matrixAngleSlider").value<QObject *>(),
              controller->property("outletMatrixAngleZSlider").value<QObject *>());
    NSOGLNormalMatrix record;
    record.scale = 0.9f;
    controller->getNormalMatrix(&record);
    ExpectDefault(record);
}

// A reset leaves the scale exactly at "no scaling": the record equals a default one and the
// texture matrix is the identity (the slider's middle would read 0.501, a factor of 1.002).
TEST_F(NSOGLNormalMatrixControllerTest, ResetGivesExactlyNoScaling) {
    controller->setMatrixScaleNormal(0.9f);
    controller->setMatrixAngleZNormal(0.3f);
    controller->setMatrixTranslateXNormal(0.1f);
    controller->setMatrixTranslateYNormal(0.2f);
    controller->normalMatrixControlsReset(controller.get());
    EXPECT_EQ(controller->matrixScaleNormal(), 0.5f);
    NSOGLNormalMatrix record;
    controller->getNormalMatrix(&record);
    ExpectDefault(record);
    const auto texture = Texture(GL_TEXTURE_RECTANGLE_EXT, 640, 480);
    EXPECT_EQ(NSOGLNormalQuadMatrixBase::textureMatrix(texture.get(), &record, true).m, NSOGLMatrix4::identity().m);
    ASSERT_EQ(recorder.senders.size(), 1);
    EXPECT_EQ(recorder.senders.first(), controller.get());

    // The reset button does the same, with itself as the sender.
    controller->setMatrixScaleNormal(0.2f);
    auto *button = controller->findChild<QAbstractButton *>("resetButton");
    ASSERT_NE(button, nullptr);
    button->click();
    EXPECT_EQ(controller->matrixScaleNormal(), 0.5f);
    ASSERT_EQ(recorder.senders.size(), 2);
    EXPECT_EQ(recorder.senders.last(), button);
}

TEST_F(NSOGLNormalMatrixControllerTest, SettersAndGettersAgree) {
    controller->setMatrixScaleNormal(0.25f);
    EXPECT_EQ(controller->matrixScaleNormal(), 0.25f);
    EXPECT_NEAR(Slider(controller->matrixScaleSlider())->normalValue(), 0.751, 1e-6);  // inverted
    controller->setMatrixTranslateYNormal(0.75f);
    EXPECT_EQ(controller->matrixTranslateYNormal(), 0.75f);
    EXPECT_EQ(Slider(controller->matrixTranslateYSlider())->normalValue(), 0.25);  // inverted
    controller->setMatrixTranslateXNormal(0.125f);
    EXPECT_EQ(controller->matrixTranslateXNormal(), 0.125f);
    controller->setMatrixTranslateZNormal(0.625f);
    EXPECT_EQ(controller->matrixTranslateZNormal(), 0.625f);
    controller->setMatrixAngleZNormal(0.25f);
    controller->setMatrixAngleXNormal(0.5f);
    controller->setMatrixAngleYNormal(0.75f);
    EXPECT_EQ(controller->matrixAngleZNormal(), 0.25f);
    EXPECT_EQ(controller->matrixAngleXNormal(), 0.5f);
    EXPECT_EQ(controller->matrixAngleYNormal(), 0.75f);

    NSOGLNormalMatrix record;
    controller->getNormalMatrix(&record);
    EXPECT_EQ(record.scale, 0.25f);
    EXPECT_EQ(record.translate_y, 0.75f);
    EXPECT_EQ(record.angle_y, 0.75f);

    // The scale slider at its minimum reads 1.001: the record keeps 1.
    Slider(controller->matrixScaleSlider())->setNormalValue(0.0);
    EXPECT_FLOAT_EQ(controller->matrixScaleNormal(), 1.001f);
    controller->getNormalMatrix(&record);
    EXPECT_EQ(record.scale, 1.0f);
    controller->getNormalMatrix(nullptr);  // nothing to fill
}

TEST_F(NSOGLNormalMatrixControllerTest, MissingSlidersReadNeutral) {
    NSOGLNormalMatrixController bare;
    EXPECT_EQ(bare.matrixAngleZNormal(), 0.0f);
    EXPECT_EQ(bare.matrixTranslateXNormal(), 0.5f);
    EXPECT_EQ(bare.matrixTranslateYNormal(), 0.5f);
    EXPECT_EQ(bare.matrixScaleNormal(), 0.5f);
    bare.setMatrixScaleNormal(0.1f);  // nothing to set
    bare.setDefaultValues();
    NSOGLNormalMatrix record;
    record.angle_x = 0.7f;
    bare.getNormalMatrix(&record);
    ExpectDefault(record);
}

TEST_F(NSOGLNormalMatrixControllerTest, SliderChangesReachTheTarget) {
    NSSlider *angle = Slider(controller->matrixAngleSlider());
    angle->triggerAction(QAbstractSlider::SliderPageStepAdd);  // as the user would
    ASSERT_EQ(recorder.senders.size(), 1);
    EXPECT_EQ(recorder.senders.first(), angle);
    EXPECT_GT(controller->matrixAngleZNormal(), 0.0f);
    controller->normalMatrixChanged(nullptr);
    EXPECT_EQ(recorder.senders.size(), 2);
}

}  // namespace

#include "NSOGLNormalMatrixTests.moc"
