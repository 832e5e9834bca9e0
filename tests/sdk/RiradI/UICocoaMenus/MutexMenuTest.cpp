// Mutex menus on QMenu and QComboBox, their string value through the parameter mapping, and
// cutting items off a menu.
#include "MenuTestSupport.h"

#include <UICocoaMenus/mutex_NSMenu.h>
#include <UIParamMapping/NSUIParamMapping.h>

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPointer>

namespace menus_test {
namespace {

struct MutexMenuTest : MenuFixture {
    QAction *normal = nullptr, *sepia = nullptr, *custom = nullptr;
    void SetUp() override {
        MenuFixture::SetUp();
        normal = AddItem("Normal", "normalAction:");
        sepia = AddItem("Sepia", "sepiaAction:");
        custom = AddItem("Custom", "customAction:");
    }
    int CheckedCount() const {
        int count = 0;
        for (QAction *item : menu.actions()) count += item->isChecked() ? 1 : 0;
        return count;
    }
};

TEST_F(MutexMenuTest, OneItemIsSelectedAtATime) {
    EXPECT_EQ(mutex_NSMenu::exclusiveSelection(&menu), normal);  // none on: the first
    EXPECT_EQ(mutex_NSMenu::stringParamValue(&menu), "Normal");
    mutex_NSMenu::selectExclusive(&menu, custom);
    mutex_NSMenu::selectExclusive(sepia);
    EXPECT_EQ(States(), "0 1 0");
    EXPECT_EQ(CheckedCount(), 1);
    EXPECT_EQ(mutex_NSMenu::exclusiveSelection(&menu), sepia);
    mutex_NSMenu::setNoneSelected(&menu, true);
    EXPECT_EQ(States(), "0 0 0");
    QMenu empty;
    EXPECT_EQ(mutex_NSMenu::exclusiveSelection(&empty), nullptr);
    EXPECT_EQ(mutex_NSMenu::stringParamValue(&empty), "");
    EXPECT_EQ(Performed(), Strings{});
}

TEST_F(MutexMenuTest, SelectionByTitlePerformsTheItemsAction) {
    mutex_NSMenu::selectExclusive(&menu, normal);
    const struct {
        const char *title;
        bool perform;
        const char *states;
        Strings performed;
    } cases[] = {
        {"Sepia", true, "0 1 0", {"sepiaAction Sepia"}},
        {"Custom", false, "0 0 1", {}},
        {"Sepia ", true, "0 0 1", {}},  // titles compare exactly: an unknown one changes nothing
        {"", true, "0 0 1", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.title);
        mutex_NSMenu::selectExclusiveTitlePerformAction(&menu, c.title, c.perform);
        EXPECT_EQ(States(), c.states);
        EXPECT_EQ(owner.performed, c.performed);  // waited for: already run
        owner.performed.clear();
    }
    mutex_NSMenu::setStringParamValue(&menu, "Normal");
    EXPECT_EQ(Performed(), Strings{"normalAction Normal"});
    EXPECT_EQ(States(), "1 0 0");

    NSMenuItemQt::setTargetAction(sepia, nullptr, "sepiaAction");
    NSMenuItemQt::setTargetAction(custom, &owner, "");
    mutex_NSMenu::selectExclusiveTitle(&menu, "Sepia");
    mutex_NSMenu::selectExclusiveTitle(&menu, "Custom");
    EXPECT_EQ(States(), "0 0 1");
    EXPECT_EQ(Performed(), Strings{});
    EXPECT_EQ(Reports(), (Strings{"[self target]", " code : [self action]"}));
}

TEST_F(MutexMenuTest, TheStringValueGoesThroughTheParameterMapping) {
    static const ParamMappingRow rows[] = {
        {kParamMappingReadWrite, 0, "video.look", "stringParamValue", "setStringParamValue:", nullptr},
        {kParamMappingReadWrite, 0, "video.size", "stringParamValue", "setStringParamValue:", nullptr},
        {0, 0, nullptr, nullptr, nullptr, nullptr},
    };
    ParamMapping mapping(rows);
    QComboBox popUp;
    popUp.addItems({"Small", "Medium", "Large"});
    std::vector<int> activated;
    QObject::connect(&popUp, &QComboBox::activated, [&](int index) { activated.push_back(index); });
    mapping.SetParamControl("video.look", new mutex_NSMenu::ParamControl(&menu));
    mapping.SetParamControl("video.size", new mutex_NSMenu::ParamControl(&popUp));

    mutex_NSMenu::selectExclusive(&menu, custom);
    popUp.setCurrentIndex(2);
    QVariantMap settings;
    mapping.AddParamsToDictionary(settings);
    EXPECT_EQ(settings, (QVariantMap{{"video.look", "Custom"}, {"video.size", "Large"}}));

    mapping.SetParamsFromDictionary({{"video.look", "Sepia"}, {"video.size", "Medium"}});
    EXPECT_EQ(States(), "0 1 0");
    EXPECT_EQ(popUp.currentIndex(), 1);
    EXPECT_EQ(Performed(), Strings{"sepiaAction Sepia"});
    EXPECT_EQ(activated, std::vector<int>{1});

    mapping.SetParamsFromDictionary({{"video.look", "Gone"}, {"video.size", "Huge"}});
    EXPECT_EQ(States(), "0 1 0");
    EXPECT_EQ(popUp.currentIndex(), 1);
    EXPECT_EQ(activated.size(), 1u);

    popUp.setCurrentIndex(-1);
    EXPECT_EQ(mutex_NSMenu::exclusiveSelection(&popUp), 0);
    popUp.clear();
    EXPECT_EQ(mutex_NSMenu::exclusiveSelection(&popUp), -1);
    EXPECT_EQ(mapping.GetParamValueByName("video.size").toString(), "");
}

struct RemoveItemsTest : MenuFixture {
    std::vector<QPointer<QAction>> items;
    void SetUp() override {
        MenuFixture::SetUp();
        for (const char *title : {"A", "B", "C", "D", "E"}) items.emplace_back(AddItem(title, "normalAction"));
    }
    std::string Titles() const {
        std::string text;
        for (QAction *item : menu.actions()) text += item->text().toStdString();
        return text;
    }
};

TEST_F(RemoveItemsTest, RangesAreCutAndClampedToTheMenu) {
    const struct {
        int start, end;
        const char *left;
        Strings reports;
    } cases[] = {
        {1, 3, "ADE", {}},
        {0, 5, "", {}},
        {3, 9, "ABC", {" code : end<=itemCount"}},  // past the end: up to the last item
        {5, 9, "ABCDE", {" code : end<=itemCount"}},
        {5, 5, "ABCDE", {}},
        {4, 2, "ABCDE", {}},
        {2, 2, "ABCDE", {}},
        {-1, 2, "ABCDE", {" code : start>=0"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.start) + ".." + std::to_string(c.end));
        menu.clear();
        for (const char *title : {"A", "B", "C", "D", "E"}) AddItem(title, "normalAction");
        NSMenuRemoveItemsInRange(&menu, c.start, c.end);
        EXPECT_EQ(Titles(), c.left);
        EXPECT_EQ(Reports(), c.reports);
    }
}

TEST_F(RemoveItemsTest, FromAnIndexToTheEnd) {
    const struct {
        int index;
        const char *left;
        Strings reports;
    } cases[] = {
        {3, "ABC", {}}, {0, "", {}}, {5, "ABCDE", {}}, {9, "ABCDE", {}}, {-2, "ABCDE", {" code : index>=0"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.index);
        menu.clear();
        for (const char *title : {"A", "B", "C", "D", "E"}) AddItem(title, "normalAction");
        NSMenuRemoveItemsFromIndex(&menu, c.index);
        EXPECT_EQ(Titles(), c.left);
        EXPECT_EQ(Reports(), c.reports);
    }
}

TEST_F(RemoveItemsTest, ItemsTheMenuOwnsAreDeletedOthersAreKept) {
    QAction foreign("F");
    menu.addAction(&foreign);
    NSMenuRemoveItemsFromIndex(&menu, 3);
    EXPECT_TRUE(items[3]);  // later: a rebuild may run inside a removed item's own action
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(Titles(), "ABC");
    EXPECT_TRUE(items[2]);
    EXPECT_FALSE(items[3]);
    EXPECT_FALSE(items[4]);
    EXPECT_EQ(foreign.text(), "F");
    NSMenuRemoveItemsInRange(nullptr, 0, 1);
    NSMenuRemoveItemsFromIndex(nullptr, 0);
    EXPECT_EQ(Reports(), Strings{});
}

}  // namespace
}  // namespace menus_test
