// Tool, toggle and oval tool buttons: their cell settings from code and from a nib, clicks and
// their state through key-value coding, the delegate's colours, and what the oval button draws.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QTest>
#include <QUiLoader>

#include <cstring>
#include <memory>

#include <Foundation/NSKeyValueCoding.h>
#include <UICocoaControls/NSUIToolButton.h>
#include <UICocoaControls/protocol_NSUIControlCellDelegate.h>

#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"
#include "sdk/RiradI/RiradITestApplication.h"

namespace {

class ToolButtonTest : public corex_test::DebugLogFileTest, public riradi_test::WithApplication {};

// A square image of one opaque colour.
std::shared_ptr<NSImage> Square(int side, QColor color) {
    QImage picture(side, side, QImage::Format_RGBA8888);
    picture.fill(color);
    return NSImage::imageWithQImage(picture);
}

void ExpectToolCell(const NSButtonCell &cell, int highlightsBy, int showsStateBy) {
    EXPECT_EQ(cell.bezelStyle(), NSBezelStyleShadowlessSquare);
    EXPECT_EQ(cell.imagePosition(), NSImageOnly);
    EXPECT_FALSE(cell.isBezeled());
    EXPECT_FALSE(cell.isBordered());
    EXPECT_EQ(cell.title(), QString());
    EXPECT_EQ(cell.highlightsBy(), highlightsBy);
    EXPECT_EQ(cell.showsStateBy(), showsStateBy);
}

TEST_F(ToolButtonTest, CellSettingsAreMadeForCodeAndNibs) {
    NSUIToolButton tool;
    NSUIToggleButton toggle;
    NSUIOvalToolButton oval;
    ExpectToolCell(*tool.cell(), NSNoCellMask, NSNoCellMask);
    ExpectToolCell(*oval.cell(), NSNoCellMask, NSNoCellMask);
    ExpectToolCell(*toggle.cell(), NSContentsCellMask, NSContentsCellMask);
    EXPECT_EQ(toggle.cell()->cellAttribute(NSCellLightsByContents), 1);
    EXPECT_EQ(toggle.cell()->cellAttribute(NSCellChangesContents), 1);
    EXPECT_EQ(tool.buttonKind(), 0);
    tool.setButtonKind(3);
    EXPECT_EQ(tool.buttonKind(), 0);

    // A nib gives its buttons a title and a border; neither survives the nib's awakening.
    class Loader : public QUiLoader {
    public:
        QWidget *createWidget(const QString &className, QWidget *parent, const QString &name) override {
            QWidget *widget = nullptr;
            if (className == "NSUIToolButton") widget = new NSUIToolButton(parent);
            if (className == "NSUIToggleButton") widget = new NSUIToggleButton(parent);
            if (widget == nullptr) return QUiLoader::createWidget(className, parent, name);
            widget->setObjectName(name);
            return widget;
        }
    };
    QByteArray form = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <class>Panel</class>
 <widget class="QWidget" name="Panel">
  <widget class="NSUIToolButton" name="outletTool">
   <property name="title"><string>Press</string></property>
   <property name="bordered"><bool>true</bool></property>
  </widget>
  <widget class="NSUIToggleButton" name="outletToggle">
   <property name="title"><string>Flip</string></property>
   <property name="bordered"><bool>true</bool></property>
  </widget>
 </widget>
</ui>)";
    QBuffer buffer(&form);
    Loader loader;
    std::unique_ptr<QWidget> panel(loader.load(&buffer));
    ASSERT_NE(panel, nullptr) << loader.errorString().toStdString();
    auto *fromNib = panel->findChild<NSUIToolButton *>("outletTool");
    auto *toggleFromNib = panel->findChild<NSUIToggleButton *>("outletToggle");
    ASSERT_TRUE(fromNib && toggleFromNib);
    EXPECT_EQ(fromNib->title(), "Press");  // the nib's own settings, until it awakes
    EXPECT_TRUE(fromNib->isBordered());
    for (QObject *object : {static_cast<QObject *>(fromNib), static_cast<QObject *>(toggleFromNib)})
        QMetaObject::invokeMethod(object, "awakeFromNib");
    ExpectToolCell(*fromNib->cell(), NSNoCellMask, NSNoCellMask);
    ExpectToolCell(*toggleFromNib->cell(), NSContentsCellMask, NSContentsCellMask);
    EXPECT_EQ(LogText(), "");

    // No cell to set up is reported.
    EXPECT_FALSE(NSUIToolButton::setDefaultCellAttributes(nullptr));
    EXPECT_NE(LogText().find(" code : buttonCell in /Code/sdk/RiradI/UICocoaControls/NSUIToolButton:"),
              std::string::npos);
    EXPECT_NE(LogText().find("(+[NSUIToolButton setDefaultCellAttributes:])"), std::string::npos);
}

TEST_F(ToolButtonTest, ClicksChangeTheStateOfToggleButtonsOnly) {
    NSUIToolButton tool;
    NSUIToggleButton toggle;
    for (NSButton *button : {static_cast<NSButton *>(&tool), static_cast<NSButton *>(&toggle)})
        button->resize(20, 20);
    int stateSeenByAction = -2;
    QObject::connect(&toggle, &QAbstractButton::clicked, [&] { stateSeenByAction = toggle.state(); });

    QTest::mouseClick(&toggle, Qt::LeftButton);
    EXPECT_EQ(NSKeyValueCoding::valueForKey(&toggle, "state").toInt(), NSControlStateValueOn);
    EXPECT_EQ(stateSeenByAction, NSControlStateValueOn);  // the action sees the new state
    QTest::mouseClick(&toggle, Qt::LeftButton);
    EXPECT_EQ(NSKeyValueCoding::valueForKey(&toggle, "state").toInt(), NSControlStateValueOff);
    NSKeyValueCoding::setValueForKey(&toggle, -1, "state");
    QTest::mouseClick(&toggle, Qt::LeftButton);  // mixed goes to on
    EXPECT_EQ(NSKeyValueCoding::valueForKey(&toggle, "state").toInt(), NSControlStateValueOn);

    int clicks = 0;
    QObject::connect(&tool, &QAbstractButton::clicked, [&] { ++clicks; });
    QTest::mouseClick(&tool, Qt::LeftButton);
    QTest::mouseClick(&tool, Qt::LeftButton);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(NSKeyValueCoding::valueForKey(&tool, "state").toInt(), NSControlStateValueOff);
}

// A panel object answering some of the delegate's questions.
class Tinter : public QObject, public NSUIToolButtonDelegate {
public:
    std::optional<QColor> fill;
    std::optional<double> opacity;
    std::optional<QColor> toolButtonFillColorForState(NSUIToolButton *, int) override { return fill; }
    std::optional<double> toolButtonImageOpacityForState(NSUIToolButton *, int) override { return opacity; }
};

TEST_F(ToolButtonTest, ColoursComeFromTheDelegateOrTheDefaults) {
    NSUIToolButton button;
    const QColor tint = button.palette().color(QPalette::Active, QPalette::Highlight);
    const QColor lightGrey = QColor::fromRgbF(0.75f, 0.75f, 0.75f, 0.25f);
    const QColor darkGrey = QColor::fromRgbF(0.1f, 0.1f, 0.1f, 0.8f);
    EXPECT_EQ(button.buttonFillColorForState(NSControlStateValueOn), tint);
    EXPECT_EQ(button.buttonFillColorForState(NSControlStateValueOff), lightGrey);
    EXPECT_EQ(button.buttonFillColorForState(NSControlStateValueMixed), lightGrey);
    EXPECT_EQ(button.buttonStrokeColorForState(NSControlStateValueOn), darkGrey);
    EXPECT_EQ(button.buttonImageOpacityForState(NSControlStateValueOff), 1.0);

    // A delegate that only tints: fill changes, stroke and opacity stay.
    auto tinter = std::make_unique<Tinter>();
    tinter->fill = QColor(10, 20, 30);
    NSKeyValueCoding::setValueForKey(&button, NSKeyValueCoding::variantFromObject(tinter.get()), "delegate");
    EXPECT_EQ(button.buttonFillColorForState(NSControlStateValueOff), QColor(10, 20, 30));
    EXPECT_EQ(button.buttonStrokeColorForState(NSControlStateValueOff), darkGrey);
    EXPECT_EQ(button.buttonImageOpacityForState(NSControlStateValueOff), 1.0);
    // A nil colour gets the default; an opacity answer is taken as it is.
    tinter->fill = QColor();
    tinter->opacity = 0.0;
    EXPECT_EQ(button.buttonFillColorForState(NSControlStateValueOn), tint);
    EXPECT_EQ(button.buttonImageOpacityForState(NSControlStateValueOn), 0.0);
    // An object that is no tool-button delegate, and a delegate gone, answer nothing.
    QObject stranger;
    button.setDelegate(&stranger);
    EXPECT_EQ(button.buttonImageOpacityForState(NSControlStateValueOn), 1.0);
    button.setDelegate(tinter.get());
    tinter.reset();
    EXPECT_EQ(button.delegate(), nullptr);
    EXPECT_EQ(button.buttonImageOpacityForState(NSControlStateValueOn), 1.0);
}

// The grabbed widget's pixel, and the oval's colour over the background.
QColor Pixel(QWidget &widget, int x, int y) { return widget.grab().toImage().pixelColor(x, y); }

QColor Over(QColor top, double alpha, QColor bottom) {
    auto mix = [&](int a, int b) { return int(std::lround(a * alpha + b * (1 - alpha))); };
    return QColor(mix(top.red(), bottom.red()), mix(top.green(), bottom.green()), mix(top.blue(), bottom.blue()));
}

void ExpectNear(QColor actual, QColor expected) {
    EXPECT_NEAR(actual.red(), expected.red(), 2) << actual.name().toStdString() << " / " << expected.name().toStdString();
    EXPECT_NEAR(actual.green(), expected.green(), 2);
    EXPECT_NEAR(actual.blue(), expected.blue(), 2);
}

TEST_F(ToolButtonTest, OvalButtonsDrawTheirOvalUnderTheImage) {
    NSUIOvalToolButton oval;
    oval.resize(20, 20);
    oval.setImage(Square(4, QColor(0, 0, 255)));
    const QColor background = oval.palette().color(QPalette::Window);
    const QColor grey(26, 26, 26);
    const QColor tint = oval.palette().color(QPalette::Active, QPalette::Highlight);

    EXPECT_EQ(Pixel(oval, 10, 10), QColor(0, 0, 255));  // the image, centred, on top
    ExpectNear(Pixel(oval, 10, 3), Over(grey, 0.8, background));  // inside the oval
    ExpectNear(Pixel(oval, 0, 0), background);  // outside it
    oval.setState(NSControlStateValueOn);
    ExpectNear(Pixel(oval, 10, 3), Over(tint, 0.8, background));

    // With an alternate image there is no oval.
    oval.setAlternateImage(Square(4, QColor(255, 0, 0)));
    ExpectNear(Pixel(oval, 10, 3), background);
}

TEST_F(ToolButtonTest, ToggleButtonsShowTheAlternateImageWhileOn) {
    NSUIToggleButton toggle;
    toggle.resize(16, 16);
    toggle.setImage(Square(8, QColor(0, 0, 255)));
    toggle.setAlternateImage(Square(8, QColor(255, 0, 0)));
    EXPECT_EQ(Pixel(toggle, 8, 8), QColor(0, 0, 255));
    QTest::mouseClick(&toggle, Qt::LeftButton);
    EXPECT_EQ(Pixel(toggle, 8, 8), QColor(255, 0, 0));
    QTest::mouseClick(&toggle, Qt::LeftButton);
    EXPECT_EQ(Pixel(toggle, 8, 8), QColor(0, 0, 255));
    // A plain tool button never shows its alternate image.
    NSUIToolButton tool;
    tool.resize(16, 16);
    tool.setImage(Square(8, QColor(0, 0, 255)));
    tool.setAlternateImage(Square(8, QColor(255, 0, 0)));
    tool.setState(NSControlStateValueOn);
    EXPECT_EQ(Pixel(tool, 8, 8), QColor(0, 0, 255));
}

TEST_F(ToolButtonTest, ControlCellDelegatesDescribeValuesWhenTheyChoose) {
    struct Silent : protocol_NSUIControlCellDelegate {};
    struct Percent : protocol_NSUIControlCellDelegate {
        std::optional<QString> controlCell(QObject *, const QVariant &value) override {
            return QString::number(qRound(value.toDouble() * 100)) + "%";
        }
    };
    Silent silent;
    Percent percent;
    protocol_NSUIControlCellDelegate *delegates[] = {&silent, &percent};
    EXPECT_EQ(delegates[0]->controlCell(nullptr, 0.25), std::nullopt);
    EXPECT_EQ(delegates[1]->controlCell(nullptr, 0.25), QString("25%"));
}

}  // namespace
