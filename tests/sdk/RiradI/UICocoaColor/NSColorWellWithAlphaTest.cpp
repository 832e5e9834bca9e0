#include <UICocoaColor/NSColorWellWithAlpha.h>

#include <gtest/gtest.h>

#include <QColorDialog>

#include "sdk/RiradI/RiradITestApplication.h"

namespace {

class ColorModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QColor tint READ tint WRITE setTint NOTIFY tintChanged)
public:
    QColor tint() const { return mTint; }
    void setTint(const QColor &tint) {
        if (tint == mTint) return;
        mTint = tint;
        emit tintChanged();
    }
    Q_INVOKABLE void colorChosen(QObject *sender) {
        ++actions;
        lastSender = sender;
    }
    int actions = 0;
    QObject *lastSender = nullptr;
signals:
    void tintChanged();

private:
    QColor mTint = Qt::blue;
};

class ColorWellTest : public ::testing::Test {
protected:
    void SetUp() override { riradi_test::Application(); }
};

void ExpectColor(color_4D c, float r, float g, float b, float a) {
    EXPECT_NEAR(c.red, r, 1e-3);
    EXPECT_NEAR(c.green, g, 1e-3);
    EXPECT_NEAR(c.blue, b, 1e-3);
    EXPECT_NEAR(c.alpha, a, 1e-3);
}

TEST_F(ColorWellTest, AlphaHandlingReadsAndWritesComponents) {
    NSColorWell well;
    well.setColor(QColor::fromRgbF(1, 0, 0, 1));
    EXPECT_TRUE(well.setColorAlpha(0.5f));
    ExpectColor(well.getColor4D(), 1, 0, 0, 0.5f);

    well.setColor4D({0.1f, 0.2f, 0.3f, 0.25f});
    well.setColor3DPreserveAlpha({0.9f, 0.8f, 0.7f});
    ExpectColor(well.getColor4D(), 0.9f, 0.8f, 0.7f, 0.25f);
    EXPECT_NEAR(well.getColorAlpha(), 0.25f, 1e-3);
    EXPECT_NEAR(well.colorWithoutAlpha().alphaF(), 1.0, 1e-3);
    EXPECT_NEAR(well.colorWithAlpha().alphaF(), 0.25, 1e-3);

    EXPECT_TRUE(well.setColorRedBlueGreenAlpha(1, 0.5f, 0, 1));
    ExpectColor(well.getColor4D(), 1, 0, 0.5f, 1);

    well.setColor3D({0.2f, 0.4f, 0.6f});
    ExpectColor(well.getColor4D(), 0.2f, 0.4f, 0.6f, 1);
    const color_3D opaque = well.getColor3DOpaque();
    EXPECT_NEAR(opaque.green, 0.4f, 1e-3);

    well.setColor4D({0.5f, 0.5f, 0.5f, 0.75f});
    well.setColorPreserveAlpha(QColor::fromHsvF(0.0f, 1.0f, 1.0f));  // red, given as HSV
    ExpectColor(well.getColor4D(), 1, 0, 0, 0.75f);

    // Components out of range are clamped.
    well.setColor4D({2.0f, -1.0f, 0.5f, 3.0f});
    ExpectColor(well.getColor4D(), 1, 0, 0.5f, 1);
}

TEST_F(ColorWellTest, AColourThatIsNoRGBColourGivesBlackAndChangesNothing) {
    NSColorWell well;
    well.setColor(QColor());
    ExpectColor(well.getColor4D(), 0, 0, 0, 1);
    ExpectColor(well.getDeviceColor4D(), 0, 0, 0, 1);
    EXPECT_FALSE(well.setColorAlpha(0.5f));
    well.setColorPreserveAlpha(Qt::red);
    EXPECT_FALSE(well.color().isValid());
}

TEST_F(ColorWellTest, ABoundWellWritesTheModelAndFiresItsActionOnce) {
    ColorModel model;
    NSColorWellWithAlpha well;
    well.setTarget(&model);
    well.setAction("colorChosen:");
    ASSERT_TRUE(well.bind("value", &model, "tint"));
    EXPECT_EQ(well.boundValueController(), &model);
    EXPECT_EQ(well.boundValueKeyPath(), "tint");
    EXPECT_EQ(well.color(), QColor(Qt::blue));  // the binding shows the model's colour

    well.setColor4D({1, 0, 0, 0.5f});
    EXPECT_NEAR(model.tint().redF(), 1.0, 1e-3);
    EXPECT_NEAR(model.tint().alphaF(), 0.5, 1e-3);
    EXPECT_EQ(well.color(), model.tint());  // and follows the model
    EXPECT_EQ(model.actions, 1);
    EXPECT_EQ(model.lastSender, &well);

    model.setTint(Qt::green);
    EXPECT_EQ(well.color(), QColor(Qt::green));
    EXPECT_EQ(model.actions, 1);  // a model change fires nothing

    EXPECT_FALSE(well.bind("enabled", &model, "tint"));
    well.unbind("value");
    well.setColor4D({0, 0, 1, 1});
    EXPECT_EQ(model.tint(), QColor(Qt::green));
    EXPECT_EQ(model.actions, 1);
}

TEST_F(ColorWellTest, AnUnboundWellJustShowsTheColour) {
    ColorModel model;
    NSColorWellWithoutAlpha well;
    well.setTarget(&model);
    well.setAction("colorChosen:");
    well.setColor4D({0, 1, 0, 1});
    ExpectColor(well.getColor4D(), 0, 1, 0, 1);
    EXPECT_EQ(model.actions, 0);
}

TEST_F(ColorWellTest, ActivationSetsTheOpacitySliderAndTheActiveWells) {
    NSColorWellWithAlpha withAlpha;
    NSColorWellWithoutAlpha withoutAlpha;
    NSColorWellWithAlphaExclusive exclusive;
    NSColorWellWithoutAlphaExclusive exclusiveWithout;

    withAlpha.activate(false);
    EXPECT_TRUE(NSColorPanel::showsAlpha());
    withoutAlpha.activate(false);
    EXPECT_FALSE(NSColorPanel::showsAlpha());
    EXPECT_TRUE(withAlpha.isActive());
    EXPECT_TRUE(withoutAlpha.isActive());

    // Colours chosen in the panel go to every active well.
    NSColorPanel::sharedColorPanel()->setCurrentColor(QColor(Qt::yellow));
    EXPECT_EQ(withAlpha.color(), QColor(Qt::yellow));
    EXPECT_EQ(withoutAlpha.color(), QColor(Qt::yellow));

    exclusive.activate(false);  // exclusive whatever the flag
    EXPECT_TRUE(exclusive.isActive());
    EXPECT_FALSE(withAlpha.isActive());
    EXPECT_FALSE(withoutAlpha.isActive());
    exclusiveWithout.activate(false);
    EXPECT_FALSE(exclusive.isActive());
    NSColorPanel::sharedColorPanel()->setCurrentColor(QColor(Qt::cyan));
    EXPECT_EQ(exclusiveWithout.color(), QColor(Qt::cyan));
    EXPECT_NE(exclusive.color(), QColor(Qt::cyan));
    EXPECT_NE(withAlpha.color(), QColor(Qt::cyan));

    {
        NSColorWell shortLived;
        shortLived.activate(false);
    }
    NSColorPanel::sharedColorPanel()->setCurrentColor(QColor(Qt::magenta));  // no dangling well
    EXPECT_EQ(exclusiveWithout.color(), QColor(Qt::magenta));

    // Clicking a well makes it the one active well and shows the panel with its colour.
    withAlpha.setColor(Qt::darkRed);
    withAlpha.click();
    EXPECT_TRUE(withAlpha.isActive());
    EXPECT_FALSE(exclusiveWithout.isActive());
    EXPECT_TRUE(NSColorPanel::sharedColorPanel()->isVisible());
    EXPECT_EQ(NSColorPanel::sharedColorPanel()->currentColor(), QColor(Qt::darkRed));
    NSColorPanel::sharedColorPanel()->hide();
    withAlpha.deactivate();
}

}  // namespace

#include "NSColorWellWithAlphaTest.moc"
