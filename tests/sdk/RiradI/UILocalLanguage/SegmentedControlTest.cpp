// The segmented control whose labels follow the interface language.
#include <UILocalLanguage/UILocalLanguageController.h>
#include <UILocalLanguage/UILocalLanguageNSSegmentedControl.h>

#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>
#include <UIParamMapping/NSUIParamMapping.h>

#include <QToolButton>

#include <gtest/gtest.h>

#include "sdk/RiradI/RiradITestApplication.h"

namespace {

UILocalLanguageController *Controller() { return UILocalLanguageController::language(); }

class LanguageSegments : public ::testing::Test, public riradi_test::WithApplication {
protected:
    void SetUp() override {
        Controller()->setSettingsDictionary({});
        control.setLabels({"Left", "Middle", "Right"});
    }
    void TearDown() override { Controller()->setSettingsDictionary({}); }
    UILocalLanguageNSSegmentedControl control;
};

TEST_F(LanguageSegments, KeyPathsAddressTheFirstSegmentTheyEndWith) {
    const struct {
        const char *keyPath;
        int segment;
    } cases[] = {
        {"seg.test.segment.2.label", 2},
        {"segment.0.label", 0},
        {"seg.test.segment.7.label", -1},  // only 3 segments
        {"seg.test.segment.1.labels", -1},
        {"seg.test.segment.1", -1},
        {"", -1},
    };
    for (const auto &c : cases) EXPECT_EQ(control.isLocalizedSegmentLabelWithKeyPath(c.keyPath), c.segment) << c.keyPath;

    // Other key paths take the control's ordinary key-value coding.
    control.setValueForKeyPath(1, "selectedSegment");
    EXPECT_EQ(control.selectedSegment(), 1);
    EXPECT_EQ(control.valueForKeyPath("selectedSegment").toInt(), 1);
    EXPECT_NO_THROW(control.setValueForUndefinedKey("x", "noSuchKey"));
}

TEST_F(LanguageSegments, TheFirstBoundLabelStaysAndTheNibLabelBecomesTheDefault) {
    control.setValueForKeyPath(QString("Bound first"), "seg.first.segment.1.label");
    EXPECT_EQ(control.defaultLanguage().value("seg.first.segment.1.label").toString(), "Bound first");
    // The nib's label, not the bound one, is the ID's US English text, and it is what shows.
    EXPECT_EQ(UILocalLanguageController::stringWithID("seg.first.segment.1.label"), "Middle");
    EXPECT_EQ(control.labelForSegment(1), "Middle");

    control.setValueForKeyPath(QString("Bound later"), "seg.first.segment.1.label");
    EXPECT_EQ(control.defaultLanguage().value("seg.first.segment.1.label").toString(), "Bound first");

    // A value that is no text is ignored.
    control.setValueForKeyPath(5, "seg.first.segment.0.label");
    EXPECT_FALSE(control.defaultLanguage().contains("seg.first.segment.0.label"));
    EXPECT_EQ(control.labelForSegment(0), "Left");

    // Reading answers the ID's text in the selected language, else the label.
    Controller()->setSettingsDictionary({{"seg.first.segment.1.label", "Milieu"}});
    EXPECT_EQ(control.valueForKeyPath("seg.first.segment.1.label").toString(), "Milieu");
    EXPECT_EQ(control.valueForKeyPath("seg.unknown.segment.2.label").toString(), "Right");
}

TEST_F(LanguageSegments, NibListedIDsAreBoundAndRelabelledOnEveryLanguageChange) {
    UILocalLanguageNSSegmentedControl nibControl;
    nibControl.setLabels({"Grid", "List"});
    nibControl.setLocalizedSegmentKeyPaths({"seg.nib.segment.0.label", "seg.nib.segment.1.label"});
    nibControl.awakeFromNib();
    EXPECT_EQ(nibControl.labels(), (QStringList{"Grid", "List"}));

    Controller()->setSettingsDictionary({{"seg.nib.segment.0.label", "Grille"}, {"seg.nib.segment.1.label", "Liste"}});
    EXPECT_EQ(nibControl.labels(), (QStringList{"Grille", "Liste"}));
    // An ID the new language lacks shows its US English text again.
    Controller()->setSettingsDictionary({{"seg.nib.segment.1.label", "Lista"}});
    EXPECT_EQ(nibControl.labels(), (QStringList{"Grid", "Lista"}));
}

TEST_F(LanguageSegments, SelectionByClickCodeAndParameterMapping) {
    EXPECT_EQ(NSClassFromString("UILocalLanguageNSSegmentedControl"), &UILocalLanguageNSSegmentedControl::staticMetaObject);
    control.segmentButton(2)->click();
    EXPECT_EQ(control.selectedSegment(), 2);
    EXPECT_TRUE(NSParamMapping::sendSetter(&control, "setIntParam:", 1));
    EXPECT_EQ(control.selectedSegment(), 1);
    EXPECT_EQ(NSParamMapping::sendGetter(&control, "intParam").toInt(), 1);
    control.setSelectedSegment(9);
    EXPECT_EQ(control.selectedSegment(), -1);
}

}  // namespace
