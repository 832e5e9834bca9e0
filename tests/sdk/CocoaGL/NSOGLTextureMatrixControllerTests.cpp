// The texture-matrix panel: its three buttons read through their state (a missing button reads
// off), the defaults, the action to the owner, and the quad matrix that also translates.
#include <CocoaGL/NSOGLTextureMatrixController.h>

#include <AppKit/NSButton.h>
#include <UICocoaControls/NSSlider.h>

#include "sdk/RiradI/RiradITestApplication.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class MatrixOwner : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void textureChanged(QObject *sender) { senders.append(sender); }
    QList<QObject *> senders;
};

class TextureMatrixController : public ::testing::Test, public riradi_test::WithApplication {
protected:
    void SetUp() override {
        ASSERT_TRUE(import_NSOGLTextureMatrixController());
        controller.set_textureEnabled(&enabled);
        controller.set_textureFlippedX(&flippedX);
        controller.set_textureFlippedY(&flippedY);
        controller.setMatrixScaleSlider(&scale);
        controller.setMatrixTranslateXSlider(&translateX);
        controller.setTarget(&owner);
        controller.setAction("textureChanged:");
    }

    NSOGLTextureMatrixController controller;
    NSButton enabled, flippedX, flippedY;
    NSSlider scale, translateX;
    MatrixOwner owner;
};

TEST_F(TextureMatrixController, ButtonsReadTheirState) {
    const struct {
        const char *name;
        int enabled, flippedX, flippedY;
        bool expectEnabled, expectX, expectY;
    } cases[] = {
        {"all off", 0, 0, 0, false, false, false},
        {"all on", 1, 1, 1, true, true, true},
        {"mixed state is non-zero", -1, 0, 1, true, false, true},
        {"only the horizontal flip", 0, 1, 0, false, true, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        enabled.setState(c.enabled);
        flippedX.setState(c.flippedX);
        flippedY.setState(c.flippedY);
        EXPECT_EQ(controller.textureEnabled(), c.expectEnabled);
        EXPECT_EQ(controller.textureFlippedX(), c.expectX);
        EXPECT_EQ(controller.textureFlippedY(), c.expectY);
    }
}

TEST_F(TextureMatrixController, MissingButtonsReadOff) {
    NSOGLTextureMatrixController bare;
    EXPECT_FALSE(bare.textureEnabled());
    EXPECT_FALSE(bare.textureFlippedX());
    EXPECT_FALSE(bare.textureFlippedY());
    bare.setDefaultValues();  // nothing to set, no crash
    EXPECT_FALSE(bare.textureEnabled());
    // A button that goes away is no longer read.
    {
        NSButton gone;
        gone.setState(1);
        bare.set_textureEnabled(&gone);
        EXPECT_TRUE(bare.textureEnabled());
    }
    EXPECT_FALSE(bare.textureEnabled());
    EXPECT_EQ(bare._textureEnabled(), nullptr);
}

TEST_F(TextureMatrixController, DefaultsAndResetPutButtonsAndSlidersBack) {
    enabled.setState(0);
    flippedX.setState(1);
    flippedY.setState(1);
    controller.setMatrixScaleNormal(0.9f);
    controller.setMatrixTranslateXNormal(0.1f);
    controller.setDefaultValues();
    EXPECT_TRUE(controller.textureEnabled());
    EXPECT_FALSE(controller.textureFlippedX());
    EXPECT_FALSE(controller.textureFlippedY());
    NSOGLNormalMatrix record;
    controller.getNormalTextureMatrix(&record);
    EXPECT_EQ(record.scale, 0.5f);
    EXPECT_EQ(record.translate_x, 0.5f);

    // The reset restores the defaults and tells the owner, with the sender.
    controller.setMatrixTranslateXNormal(0.2f);
    flippedX.setState(1);
    controller.textureMatrixControlsReset(&flippedY);
    controller.getNormalTextureMatrix(&record);
    EXPECT_EQ(record.translate_x, 0.5f);
    EXPECT_FALSE(controller.textureFlippedX());
    ASSERT_EQ(owner.senders.size(), 1);
    EXPECT_EQ(owner.senders.first(), &flippedY);
}

TEST_F(TextureMatrixController, ChangeReachesTheOwner) {
    controller.textureMatrixChanged(&flippedX);
    controller.textureMatrixChanged(nullptr);
    ASSERT_EQ(owner.senders.size(), 2);
    EXPECT_EQ(owner.senders[0], &flippedX);
    EXPECT_EQ(owner.senders[1], nullptr);
}

TEST_F(TextureMatrixController, QuadMatrixAppliesTheTranslation) {
    controller.setDefaultValues();
    controller.setMatrixTranslateXNormal(0.75f);
    const auto quad = controller.textureQuadMatrix();
    ASSERT_NE(quad, nullptr);
    EXPECT_TRUE(quad->textureMatrixApply());
    EXPECT_TRUE(quad->textureMatrixApplyTranslate());
    EXPECT_FALSE(quad->modelViewMatrixApply());
    // Made anew from the sliders each time.
    EXPECT_NE(controller.textureQuadMatrix(), quad);

    // getTextureMatrix leaves the record alone.
    NSOGLNormalMatrix record;
    record.translate_x = 0.125f;
    controller.getTextureMatrix(&record);
    EXPECT_EQ(record.translate_x, 0.125f);
    controller.getNormalTextureMatrix(nullptr);  // nothing for null
}

}  // namespace

#include "NSOGLTextureMatrixControllerTests.moc"
