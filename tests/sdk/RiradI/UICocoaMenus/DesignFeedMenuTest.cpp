// The design-feed menu: design items between separators, rebuilt on changes, hidden by a
// requirement test, and downloads that never hold up the main thread.
#include <UICocoaMenus/NSUIDesignFeedMenu.h>
#include <UICocoaMenus/UILocalizationDesignFeedMenu.h>

#include <UIParamMapping/ATOM_FEED.h>

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "MenuTestSupport.h"
#include "sdk/RiradI/UIParamMapping/FeedTestServer.h"

namespace {

using menus_test::Strings;

// The program's requirement test: a design that asks for a later version than 2.0.4 is hidden.
class VersionedFeedMenu : public NSUIDesignFeedMenu {
    Q_OBJECT
protected:
    std::optional<bool> shouldFilterDesign(const NSUIDesignCodes &design) override {
        return design.isVersionRequiredAndNotMet("requires.version", "2.0.4");
    }
};

class Delegate : public QObject {
    Q_OBJECT
public:
    int updates = 0;
    Q_INVOKABLE void designFeedUpdated(const QVariant &) { ++updates; }
};

struct DesignFeedMenuTest : public menus_test::MenuFixture {
    void SetUp() override {
        menus_test::MenuFixture::SetUp();
        menu.addAction("Above");
        from = menu.addSeparator();
        menu.addAction("Old design");
        to = menu.addSeparator();
        menu.addAction("Below");
    }

    // The titles in menu order, separators as "-".
    Strings Titles() const {
        Strings titles;
        for (QAction *item : menu.actions()) titles.push_back(item->isSeparator() ? "-" : item->text().toStdString());
        return titles;
    }
    static QVariantMap Designs(std::initializer_list<std::pair<const char *, QVariantMap>> designs) {
        QVariantMap map;
        for (const auto &[name, settings] : designs) map.insert(QString::fromUtf8(name), settings);
        return map;
    }

    QAction *from = nullptr;
    QAction *to = nullptr;
};

TEST_F(DesignFeedMenuTest, ItemsStandSortedBetweenTheSeparators) {
    NSUIDesignFeedMenu feed;
    Delegate delegate;
    feed.setDelegate(&delegate);
    feed.setBuiltinDesignDictionary(Designs({{"B", {}}, {"a", {}}, {"C", {}}}));

    EXPECT_TRUE(feed.setDesignMenuFromSeparator(from, to, &owner, "customAction:"));
    EXPECT_EQ(Titles(), (Strings{"Above", "-", "Old design", "-", "Below"})) << "setting builds nothing";
    EXPECT_TRUE(feed.refreshDesignMenuFromSeparator(from, to, &owner, "customAction:"));
    EXPECT_EQ(Titles(), (Strings{"Above", "-", "a", "B", "C", "-", "Below"}));
    EXPECT_EQ(delegate.updates, 1);
    for (int at : {2, 3, 4}) EXPECT_EQ(NSMenuItemQt::state(menu.actions()[at]), NSOffState);

    menu.actions()[3]->trigger();
    EXPECT_EQ(Performed(), Strings{"customAction B"});

    // A change of the set rebuilds the items; what follows the second separator stays.
    feed.setFeedDesignDictionary(Designs({{"d", {}}}));
    feed.designDictionaryChanged(QString("update"));
    EXPECT_EQ(Titles(), (Strings{"Above", "-", "a", "B", "C", "d", "-", "Below"}));
    EXPECT_EQ(delegate.updates, 2);

    // Without a second separator every item after the first is replaced.
    EXPECT_TRUE(feed.refreshDesignMenu(from, &owner, "customAction:"));
    EXPECT_EQ(Titles(), (Strings{"Above", "-", "a", "B", "C", "d"}));
}

TEST_F(DesignFeedMenuTest, NothingIsBuiltWithoutAUsableSeparatorTargetOrAction) {
    NSUIDesignFeedMenu feed;
    feed.setBuiltinDesignDictionary(Designs({{"A", {}}}));
    const Strings before = Titles();
    EXPECT_FALSE(feed.refreshDesignMenu(from, &owner, QByteArray())) << "no action";
    EXPECT_FALSE(feed.refreshDesignMenu(from, nullptr, "customAction:")) << "no target";
    EXPECT_FALSE(feed.refreshDesignMenu(nullptr, &owner, "customAction:")) << "no separator";
    EXPECT_EQ(Titles(), before);

    EXPECT_TRUE(feed.refreshDesignMenu(menu.actions()[0], &owner, "customAction:")) << "stored all the same";
    EXPECT_EQ(Titles(), before) << "the first item is no separator";

    EXPECT_TRUE(feed.refreshDesignMenuFromSeparator(to, from, &owner, "customAction:"));
    EXPECT_EQ(Titles(), before) << "the second separator comes first";

    QMenu other;
    QAction *loose = other.addSeparator();
    EXPECT_TRUE(feed.refreshDesignMenuFromSeparator(from, loose, &owner, "customAction:"));
    EXPECT_EQ(Titles(), before) << "the second separator is in another menu";
}

TEST_F(DesignFeedMenuTest, DesignsNeedingALaterVersionAreHidden) {
    VersionedFeedMenu feed;
    feed.setBuiltinDesignDictionary(Designs({{"Later", {{"requires.version", "2.1"}}},
                                             {"Same", {{"requires.version", "2.0.4"}}},
                                             {"Earlier", {{"requires.version", "2.0.3.9"}}},
                                             {"Patch", {{"requires.version", "2.0.4.1"}}},
                                             {"Any", {{"level", "1"}}}}));
    ASSERT_TRUE(feed.refreshDesignMenuFromSeparator(from, to, &owner, "customAction:"));
    EXPECT_EQ(Titles(), (Strings{"Above", "-", "Any", "Earlier", "Later", "Patch", "Same", "-", "Below"}))
        << "the test is off by default";

    feed.setFilterDesignsByRequirements(true);
    feed.designDictionaryChanged(QVariant());
    EXPECT_EQ(Titles(), (Strings{"Above", "-", "Any", "Earlier", "Same", "-", "Below"}));
    EXPECT_EQ(feed.filteredDesignNames(), (QStringList{"Any", "Earlier", "Same"}));
    EXPECT_EQ(feed.designNames(), (QStringList{"Any", "Earlier", "Same"}));

    // The base class and the languages' menu have no test: the flag hides nothing.
    std::unique_ptr<NSUIDesignFeedMenu> plains[] = {
        NSUIDesignFeedMenu::designFeedMenuWithCategory("none", "", ""),
        UILocalizationDesignFeedMenu::designFeedMenuWithCategory("none", "", "")};
    for (auto &plain : plains) {
        plain->setBuiltinDesignDictionary(feed.builtinDesignDictionary());
        plain->setFilterDesignsByRequirements(true);
        EXPECT_EQ(plain->filteredDesignNames().size(), 5);
    }
}

TEST_F(DesignFeedMenuTest, ADownloadRebuildsTheItemsWithoutHoldingUpTheMainThread) {
    feed_test::FeedTestServer server;
    server.Set("/designs.xml", feed_test::Response{200, feed_test::AtomDocument({{"Fresh", "code"}}), 600});
    auto feed = NSUIDesignFeedMenu::designFeedMenuWithCategory("DesignFeedMenuTest", server.URL("/designs.xml"), "");
    feed->setBuiltinDesignDictionary(Designs({{"Built in", {}}}));
    ASSERT_TRUE(feed->refreshDesignMenuFromSeparator(from, to, &owner, "customAction:"));

    QElapsedTimer timer;
    timer.start();
    feed->refreshFeedDictionaryFromWebWithHTTP();
    EXPECT_LT(timer.elapsed(), 300) << "the server answers after 600 ms";
    EXPECT_EQ(Titles(), (Strings{"Above", "-", "Built in", "-", "Below"}));

    EXPECT_TRUE(feed_test::WaitUntil([&] { return Titles().size() == 6; }));
    EXPECT_EQ(Titles(), (Strings{"Above", "-", "Built in", "Fresh", "-", "Below"}));
    EXPECT_TRUE(feed_test::WaitUntil([] { return ATOM_FEED_HTTP_GET::runningBackgroundGets() == 0; }));
}

}  // namespace

#include "DesignFeedMenuTest.moc"
