// Selector groups on a real QMenu: toggle and mutex groups saved to and restored from the
// user defaults of the test HOME, and the item operations behind them.
#include "MenuTestSupport.h"

#include <gtest/gtest.h>

#include <QFile>

namespace menus_test {
namespace {

using namespace NSUISelectorGroup;

struct ToggleGroupTest : MenuFixture {
    QAction *mirror = nullptr, *grid = nullptr, *levels = nullptr;
    void SetUp() override {
        MenuFixture::SetUp();
        owner.group = &kViewGroup;
        mirror = AddItem("Mirror", "mirrorAction:", NSOnState);  // on by default
        grid = AddItem("Grid", "gridAction:");
        levels = AddItem("Levels", "levelsAction:");
    }
};

TEST_F(ToggleGroupTest, AFirstRestoreKeepsTheMenusOwnStates) {
    for (const bool perform : {true, false}) {
        restoreSelectorGroupPreferencesWithPerformMenuAction(&menu, &kViewGroup, perform);
        EXPECT_EQ(States(), "1 0 0") << perform;
        EXPECT_EQ(Performed(), Strings{}) << perform;
    }
    // A registered default counts as saved (a group of its own, so the key stays its own).
    static const tagNSUISelector registered[] = {{"registeredGridAction:", "gridAction"}, {nullptr, nullptr}};
    static const tagNSUISelectorGroup registeredGroup = {false, "RegisteredGroup", registered};
    NSUserDefaults::standardUserDefaults().registerDefaults({{"registeredGridAction:", 1}});
    restoreSelectorGroupPreferencesWithPerformMenuAction(&menu, &registeredGroup, false);
    EXPECT_EQ(States(), "1 1 0");
    EXPECT_EQ(Reports(), Strings{});
}

TEST_F(ToggleGroupTest, SavedStatesComeBackDirectlyOrThroughTheActions) {
    NSMenuItemQt::setState(mirror, NSOffState);
    NSMenuItemQt::setState(levels, NSMixedState);
    saveSelectorGroupPreferences(&menu, &kViewGroup);
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    EXPECT_EQ(defaults.integerForKey("mirrorAction:"), 0);
    EXPECT_EQ(defaults.integerForKey("gridAction:"), 0);
    EXPECT_EQ(defaults.integerForKey("levelsAction:"), -1);

    // Without the actions, the stored states are set as they are.
    setGroupToggleState(&menu, true, &kViewGroup);
    restoreSelectorGroupPreferencesWithPerformMenuAction(&menu, &kViewGroup, false);
    EXPECT_EQ(States(), "0 0 -1");
    EXPECT_EQ(Performed(), Strings{});

    // With them, only the items that differ get their action, which toggles them.
    NSMenuItemQt::setState(grid, NSOnState);
    restoreSelectorGroupPreferences(&menu, &kViewGroup);
    EXPECT_EQ(Performed(), Strings{"gridAction Grid"});
    EXPECT_EQ(States(), "0 0 -1");
    EXPECT_EQ(Reports(), Strings{});
}

TEST_F(ToggleGroupTest, TheSavedStatesLiveInTheDefaultsFile) {
    NSMenuItemQt::setState(grid, NSOnState);
    saveSelectorGroupPreferences(&menu, &kViewGroup);
    const QString path = NSUserDefaults::standardUserDefaults().filePath();
    EXPECT_TRUE(path.startsWith(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")))) << path.toStdString();
    NSUserDefaults reread(NSUserDefaults::standardUserDefaults().applicationIdentifier());
    EXPECT_EQ(reread.integerForKey("mirrorAction:"), 1);
    EXPECT_EQ(reread.integerForKey("gridAction:"), 1);
    EXPECT_EQ(reread.integerForKey("levelsAction:"), 0);
}

TEST_F(ToggleGroupTest, AStoredStateOutOfRangeIsReportedAndLeftAlone) {
    NSUserDefaults::standardUserDefaults().setInteger(7, "gridAction:");
    restoreSelectorGroupPreferences(&menu, &kViewGroup);
    EXPECT_EQ(States(), "1 0 0");
    EXPECT_EQ(Performed(), Strings{});
    EXPECT_EQ(Reports(), Strings{" code : storedState>=NSMixedState && storedState<=NSOnState"});
}

TEST_F(ToggleGroupTest, ChoosingAnItemTogglesItThroughItsAction) {
    levels->trigger();  // Qt's own flip of the mark is undone; the action method toggles
    EXPECT_EQ(States(), "1 0 1");
    NSMenuItemQt::setState(levels, NSMixedState);
    levels->trigger();
    mirror->trigger();
    EXPECT_EQ(States(), "0 0 0");
    EXPECT_EQ(Performed(), (Strings{"levelsAction Levels", "levelsAction Levels", "mirrorAction Mirror"}));
}

TEST_F(ToggleGroupTest, ItemOperationsCheckTheGroup) {
    setMenuItemToggle(&menu, "gridAction:", true, &kViewGroup);
    EXPECT_TRUE(isMenuItemToggleOn(&menu, "gridAction", &kViewGroup));
    setToggleState(grid, false, &kViewGroup);
    EXPECT_FALSE(isMenuItemToggleOn(&menu, "gridAction", &kViewGroup));
    EXPECT_EQ(Reports(), Strings{});

    // A mutex group is no toggle group; foreign selectors are no members.
    setToggleState(grid, true, &kLookGroup);
    toggleMenuItem(&menu, grid, &kLookGroup);
    EXPECT_FALSE(isMenuItemToggleOn(&menu, "sepiaAction", &kViewGroup));
    setMenuItemToggle(&menu, "sepiaAction", true, &kViewGroup);
    EXPECT_EQ(States(), "1 0 0");
    EXPECT_EQ(Reports(), (Strings{" code : selectorGroup.IsToggleGroup()", " code : selectorGroup.IsToggleGroup()",
                                  " code : selectorGroup.IsMember(withSelector)", " code : menuItem"}));

    // An entry without an item is reported and the others go on.
    menu.removeAction(levels);
    setGroupToggleState(&menu, false, &kViewGroup);
    EXPECT_EQ(States(), "0 0");
    EXPECT_FALSE(isMenuItemToggleOn(&menu, "levelsAction", &kViewGroup));
    saveSelectorGroupPreferences(&menu, &kViewGroup);
    EXPECT_EQ(Reports(), Strings(3, " code : firstMenuItemWithSelector"));
    EXPECT_FALSE(NSUserDefaults::standardUserDefaults().objectForKey("levelsAction:").isValid());
}

struct MutexGroupTest : MenuFixture {
    QAction *normal = nullptr, *sepia = nullptr, *customA = nullptr, *customB = nullptr;
    void SetUp() override {
        MenuFixture::SetUp();
        owner.group = &kLookGroup;
        normal = AddItem("Normal", "normalAction:");
        sepia = AddItem("Sepia", "sepiaAction:");
        menu.addSeparator();
        customA = AddItem("Custom A", "customAction:");
        customB = AddItem("Custom B", "customAction:");
    }
    // Every item off, nothing stored.
    void Reset() {
        for (QAction *item : menu.actions()) NSMenuItemQt::setState(item, NSOffState);
        NSUserDefaults::standardUserDefaults().removeObject("LookGroup");
    }
};

TEST_F(MutexGroupTest, RestoreSelectsTheStoredItem) {
    const struct {
        const char *name;
        const char *stored;          // null: nothing stored
        QByteArray defaultSelector;  // empty: the first entry
        QAction *MutexGroupTest::*selectedBefore;
        bool perform;
        const char *states;
        Strings performed;
    } cases[] = {
        {"nothing stored: the first entry, performed even when on", nullptr, "", &MutexGroupTest::normal, true,
         "1 0 0 0 0", {"normalAction Normal"}},
        {"nothing stored, with a default", nullptr, "sepiaAction:", nullptr, true, "0 1 0 0 0", {"sepiaAction Sepia"}},
        {"a selector name", "sepiaAction:", "", &MutexGroupTest::normal, true, "0 1 0 0 0", {"sepiaAction Sepia"}},
        {"a selector name, without the action", "sepiaAction:", "", nullptr, false, "0 1 0 0 0", {}},
        {"the current selection is not performed again", "sepiaAction:", "", &MutexGroupTest::sepia, true,
         "0 1 0 0 0", {}},
        {"a title among items sharing an action", "Custom B", "", &MutexGroupTest::customA, true, "0 0 0 0 1",
         {"customAction Custom B"}},
        {"a stale title falls back to the first entry", "Custom C", "", &MutexGroupTest::sepia, true, "1 0 0 0 0",
         {"normalAction Normal"}},
        {"a stale title falls back to the default", "Custom C", "customAction:", nullptr, false, "0 0 0 1 1", {}},
        {"a selector name of another group falls back too", "levelsAction:", "", nullptr, true, "1 0 0 0 0",
         {"normalAction Normal"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        if (c.selectedBefore) NSMenuItemQt::setState(this->*c.selectedBefore, NSOnState);
        if (c.stored) NSUserDefaults::standardUserDefaults().setObject(QString::fromUtf8(c.stored), "LookGroup");
        restoreMutexSelectorGroupPreferences(&menu, &kLookGroup, c.perform, c.defaultSelector);
        EXPECT_EQ(States(), c.states);
        EXPECT_EQ(Performed(), c.performed);
        EXPECT_EQ(Reports(), Strings{});
    }
}

TEST_F(MutexGroupTest, SaveStoresTheSelectorNameOrTheSharedItemsTitle) {
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    saveSelectorGroupPreferences(&menu, &kLookGroup);  // nothing selected: nothing saved
    EXPECT_FALSE(defaults.objectForKey("LookGroup").isValid());

    sepia->trigger();
    saveSelectorGroupPreferences(&menu, &kLookGroup);
    EXPECT_EQ(defaults.stringForKey("LookGroup"), "sepiaAction:");

    customB->trigger();  // shared action: the item selects itself by identity
    EXPECT_EQ(States(), "0 0 0 0 1");
    saveSelectorGroupPreferences(&menu, &kLookGroup);
    EXPECT_EQ(defaults.stringForKey("LookGroup"), "Custom B");

    normal->trigger();
    restoreSelectorGroupPreferences(&menu, &kLookGroup);
    EXPECT_EQ(States(), "0 0 0 0 1");
    EXPECT_EQ(Performed(), (Strings{"sepiaAction Sepia", "customAction Custom B", "normalAction Normal",
                                    "customAction Custom B"}));
    EXPECT_EQ(Reports(), Strings{});
}

TEST_F(MutexGroupTest, SelectionByItemSelectorAndTitle) {
    EXPECT_EQ(selectMenuItemWithSelector(&menu, "customAction", &kLookGroup), customA);
    EXPECT_EQ(States(), "0 0 0 1 1");
    EXPECT_EQ(selectedMenuItemFromSelectorGroup(&menu, &kLookGroup), customA);
    EXPECT_EQ(selectedMenuItemSelectorFromSelectorGroup(&menu, &kLookGroup), "customAction:");
    selectMenuItem(&menu, customB, &kLookGroup);
    EXPECT_EQ(States(), "0 0 0 0 1");
    selectMenuItem(&menu, sepia, &kLookGroup);
    EXPECT_EQ(States(), "0 1 0 0 0");
    selectMenuItemWithMenuText(&menu, "Custom A", &kLookGroup);
    EXPECT_EQ(States(), "0 0 0 1 0");
    EXPECT_EQ(selectFirstFromSelectorGroup(&menu, &kLookGroup), normal);
    EXPECT_FALSE(isOneSelectorPerMenuItem(&menu, &kLookGroup));
    EXPECT_EQ(countItemsForSelectorFromSelectorGroup(&menu, "customAction:"), 2);
    EXPECT_EQ(firstMenuItemWithSelector(&menu, "sepiaAction", &kViewGroup), nullptr);
    EXPECT_EQ(Reports(), Strings{});
}

TEST_F(MutexGroupTest, BadItemsAndGroupsAreReported) {
    QObject notAnItem;
    selectSelfFromSelectorGroup(&notAnItem, &kLookGroup);
    QAction loose("Loose");
    NSMenuItemQt::setTargetAction(&loose, &owner, "sepiaAction");
    selectSelfFromSelectorGroup(&loose, &kLookGroup);
    selectMenuItem(&menu, &loose, &kViewGroup);
    performMenuItemAction(&menu, nullptr, &kLookGroup);
    performMenuItemAction(&menu, normal, &kViewGroup);
    NSMenuItemQt::setTargetAction(normal, nullptr, "normalAction");
    performMenuItemAction(&menu, normal, &kLookGroup);
    restoreSelectorGroupPreferences(&menu, nullptr);
    const tagNSUISelectorGroup unnamed = {true, nullptr, kLookSelectors};
    restoreSelectorGroupPreferences(&menu, &unnamed);
    const tagNSUISelector none[] = {{nullptr, nullptr}};
    const tagNSUISelectorGroup empty = {true, "EmptyGroup", none};
    restoreSelectorGroupPreferences(&menu, &empty);
    EXPECT_EQ(kLookGroup[3], "");
    EXPECT_EQ(Performed(), Strings{});
    EXPECT_EQ(States(), "0 0 0 0 0");
    EXPECT_EQ(Reports(), (Strings{"self", " code : menu", " code : selectorGroup.IsMember(theMenuItemAction)",
                                  " code : menuItem", " code : selectorGroup.IsMember([menuItem action])",
                                  "menuItemTarget", " code : selectorGroup != nullptr", " code : selectorGroup.Name",
                                  " code : selectorCount>0", " code : selectedMenuItem",
                                  " code : selectorIndex<selectorCount"}));
}

}  // namespace
}  // namespace menus_test
