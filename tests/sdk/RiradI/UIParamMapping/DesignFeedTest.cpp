#include <gtest/gtest.h>

#include <UIParamMapping/ATOM_FEED.h>
#include <UIParamMapping/NSUIBookmarksTarget.h>
#include <UIParamMapping/NSUIDesignFeed.h>

#include <CocoaFoundation/NSDictionaryPropertyListArchiving.h>
#include <Foundation/NSKeyedArchiver.h>
#include <Foundation/NSUserDefaults.h>
#include <dispatch/dispatch.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPoint>
#include <QThread>

#include <unistd.h>

#include <functional>

#include "../RiradITestApplication.h"
#include "FeedTestServer.h"
#include "support/TestFolders.h"

// A delegate that notes every designFeedUpdated and the designs it saw then.
class DesignFeedDelegate : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void designFeedUpdated(const QVariant &argument) { mUpdates.append(argument.toString()); }
    QStringList mUpdates;
};

namespace {

using feed_test::AtomDocument;
using feed_test::FeedTestServer;
using feed_test::Response;
using feed_test::WaitUntil;

// Serves the main queue until no download runs and no reply waits (a reply may start the next
// download, so the check is made again after the queue was served).
void SettleDownloads() {
    EXPECT_TRUE(WaitUntil([] {
        if (ATOM_FEED_HTTP_GET::runningBackgroundGets() > 0) return false;
        return dispatch_main_queue_drain() == 0 && ATOM_FEED_HTTP_GET::runningBackgroundGets() == 0;
    }));
}

QVariant Item(const QString &title, const QString &content) {
    return ATOM_FEED_ITEM::toVariant(ATOM_FEED_ITEM::atomFeedItemWithTitle(title, content));
}

// {name: content} of feed entries; settings dictionaries as "<settings>".
QVariantMap Contents(const QVariantMap &designs) {
    QVariantMap contents;
    for (auto design = designs.cbegin(); design != designs.cend(); ++design) {
        const auto item = ATOM_FEED_ITEM::fromVariant(design.value());
        contents.insert(design.key(), item ? item->content() : QStringLiteral("<settings>"));
    }
    return contents;
}

QString EmptyCode() { return protocol_NSUIBookmarksTarget::scriptFromDictionary(QVariantMap()); }

class DesignFeedTest : public riradi_test::WithApplication, public ::testing::Test {
protected:
    void SetUp() override {
        ATOM_FEED::setDownloadLimits(2000, 64 * 1024);  // a short time-out: a hang costs 2 s
        mServer.Set("/primary.xml", Response{200, AtomDocument({{"Warm &amp; Bright", "warm code"}, {"Cool", "cool code"}})});
        mServer.Set("/update.xml", Response{200, AtomDocument({{"Cool", "newer cool code"}, {"Extra", "extra code"}}), 200});
        mServer.Set("/empty-feed.xml", Response{200, AtomDocument({})});
        mServer.Set("/slow.xml", Response{200, AtomDocument({{"Slow", "slow code"}}), 400});
        mCategory = QStringLiteral("DesignFeedTest-%1").arg(::getpid());
    }
    void TearDown() override {
        SettleDownloads();
        if (!mResourcePath.isEmpty()) QFile::remove(mResourcePath);
        ATOM_FEED::setDownloadLimits(ATOM_FEED::kDefaultDownloadTimeoutMilliseconds, ATOM_FEED::kDefaultMaximumFeedBytes);
    }

    // Writes the built-in resource of the category beside the test program (its bundle).
    void WriteBuiltinDesigns(const QVariantMap &designs) {
        mResourcePath = QCoreApplication::applicationDirPath() + "/" + mCategory + ".plist";
        ASSERT_TRUE(NSUIDesignFeed::saveDesigns(designs, QUrl::fromLocalFile(mResourcePath)));
    }

    std::unique_ptr<NSUIDesignFeed> MakeFeed(const QString &primary, const QString &update, const QString &prefsKey = QString()) {
        auto feed = NSUIDesignFeed::designFeedWithCategory(mCategory, primary.isEmpty() ? QString() : mServer.URL(primary),
                                                           prefsKey, update.isEmpty() ? QString() : mServer.URL(update));
        feed->setDelegate(&mDelegate);
        return feed;
    }

    FeedTestServer mServer;
    DesignFeedDelegate mDelegate;
    QString mCategory;
    QString mResourcePath;
};

TEST_F(DesignFeedTest, NoResourceAndNothingSavedGivesNoDesigns) {
    auto feed = MakeFeed("/primary.xml", "", "DesignFeedTest.unsaved");
    EXPECT_TRUE(feed->designNames().isEmpty());
    EXPECT_TRUE(feed->designDictionary().isEmpty());
    EXPECT_EQ(feed->description(), QStringLiteral("<NSUIDesignFeed name:%1 url:%2 (designDictionary: 0 items)>")
                                        .arg(mCategory, mServer.URL("/primary.xml")));
    EXPECT_EQ(feed->designCodeStringForDesignNamed("Nobody"), EmptyCode()) << "the two markers only";
    EXPECT_EQ(EmptyCode(), "com.tarvex.bookmark.begin;\r\ncom.tarvex.bookmark.end;\r\n");
    EXPECT_TRUE(feed->feedDesignCodeStringForDesignNamed(QString()).isNull());
    EXPECT_TRUE(feed->feedDesignCodeStringForDesignNamed("Nobody").isNull());

    auto unsaved = MakeFeed("/primary.xml", "");
    unsaved->setFeedDesignDictionary({{"A", Item("A", "a")}});
    EXPECT_FALSE(unsaved->saveToUserDefaults()) << "no prefs key";
}

TEST_F(DesignFeedTest, FeedDesignsOverBuiltinOnes) {
    WriteBuiltinDesigns({{"Alpha", QVariantMap{{"a", "1"}}}, {"Shared", QVariantMap{{"s", "builtin"}}}});
    auto feed = MakeFeed("/primary.xml", "");
    feed->setFeedDesignDictionary({{"Shared", Item("Shared", "feed code")}, {"beta", Item("beta", "beta code")}});

    EXPECT_EQ(feed->designNames(), (QStringList{"Alpha", "beta", "Shared"}));
    EXPECT_EQ(feed->designCodeStringForDesignNamed("Shared"), "feed code");
    EXPECT_EQ(feed->designCodeStringForDesignNamed("Alpha"), protocol_NSUIBookmarksTarget::scriptFromDictionary({{"a", "1"}}));
    const auto alpha = feed->designNamed("Alpha");
    EXPECT_EQ(alpha->title(), "Alpha");
    EXPECT_EQ(alpha->dictionary(), (QVariantMap{{"a", "1"}}));
    EXPECT_TRUE(feed->description().endsWith("(designDictionary: 3 items)>"));

    // A feed set that holds a settings dictionary (an earlier program saved its merged set):
    // that entry has no content, so the built-in design answers.
    feed->setFeedDesignDictionary({{"Alpha", QVariantMap{{"a", "stale"}}}});
    EXPECT_TRUE(feed->feedDesignCodeStringForDesignNamed("Alpha").isNull());
    EXPECT_EQ(feed->designCodeStringForDesignNamed("Alpha"), protocol_NSUIBookmarksTarget::scriptFromDictionary({{"a", "1"}}));
}

// designFeedUpdated comes with the primary address after the primary reply, and again with the
// update address after the update reply. The update lies over the feed
// designs only.
TEST_F(DesignFeedTest, RefreshSequence) {
    WriteBuiltinDesigns({{"Alpha", QVariantMap{{"a", "1"}}}});
    const struct {
        const char *update;
        QVariantMap contents;
    } cases[] = {
        {"", {{"Warm & Bright", "warm code"}, {"Cool", "cool code"}}},
        {"/update.xml", {{"Warm & Bright", "warm code"}, {"Cool", "newer cool code"}, {"Extra", "extra code"}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.update);
        mDelegate.mUpdates.clear();
        auto feed = MakeFeed("/primary.xml", c.update);
        feed->setFeedDesignDictionary({{"Old", Item("Old", "old code")}});
        for (int refresh = 1; refresh <= 2; ++refresh) {
            feed->refreshFeedDictionaryFromWebWithHTTP();
            SettleDownloads();
            const QString notified = mServer.URL(*c.update ? c.update : "/primary.xml");
            QStringList expected;
            for (int i = 0; i < refresh; ++i) {
                expected.append(mServer.URL("/primary.xml"));
                if (*c.update) expected.append(notified);
            }
            EXPECT_EQ(mDelegate.mUpdates, expected);
            EXPECT_EQ(Contents(feed->feedDesignDictionary()), c.contents) << "the built-in Alpha stays out of the feed set";
            ASSERT_TRUE(feed->http_get());
            EXPECT_EQ(feed->http_get()->feedURL(), QUrl(notified));
        }
        EXPECT_EQ(feed->designNames().size(), c.contents.size() + 1);
        EXPECT_EQ(feed->designCodeStringForDesignNamed("Alpha"), protocol_NSUIBookmarksTarget::scriptFromDictionary({{"a", "1"}}));
    }
}

TEST_F(DesignFeedTest, FailuresKeepTheSavedDesigns) {
    const struct {
        const char *path;
        Response response;
    } failures[] = {
        {"/missing.xml", Response{404, "gone"}},
        {"/garbage.xml", Response{200, "{ not xml"}},
        {"/empty.xml", Response{200, ""}},
        {"/rss.xml", Response{200, "<rss><entry><title>t</title><content>c</content></entry></rss>"}},
        {"/hang.xml", Response{200, "", 0, true}},
        {"/big.xml", Response{200, QByteArray(100 * 1024, ' '), 0, false, false}},
    };
    const QVariantMap saved{{"Saved", Item("Saved", "saved code")}};
    for (const auto &failure : failures) {
        SCOPED_TRACE(failure.path);
        mServer.Set(failure.path, failure.response);
        mDelegate.mUpdates.clear();
        auto feed = MakeFeed(failure.path, "/update.xml");
        feed->setFeedDesignDictionary(saved);
        feed->refreshFeedDictionaryFromWebWithHTTP();
        SettleDownloads();
        // Asked for once; Qt's HTTP stack may send an idempotent GET again by itself when the
        // connection drops before the answer is read (seen for the oversized body on a busy machine).
        EXPECT_GE(mServer.Hits(failure.path), 1);
        EXPECT_LE(mServer.Hits(failure.path), 2);
        EXPECT_EQ(Contents(feed->feedDesignDictionary()), Contents(saved));
        EXPECT_TRUE(mDelegate.mUpdates.isEmpty());
    }
    EXPECT_EQ(mServer.Hits("/update.xml"), 0) << "no update after a failed primary";

    // A failed update keeps what the primary brought, which is announced with the primary's
    // address.
    mServer.Set("/update-missing.xml", Response{404, "gone"});
    auto feed = MakeFeed("/primary.xml", "/update-missing.xml");
    feed->setFeedDesignDictionary(saved);
    feed->refreshFeedDictionaryFromWebWithHTTP();
    SettleDownloads();
    EXPECT_EQ(mServer.Hits("/update-missing.xml"), 1);
    EXPECT_EQ(feed->feedDesignDictionary().keys(), (QStringList{"Cool", "Warm & Bright"}));
    EXPECT_EQ(mDelegate.mUpdates, QStringList{mServer.URL("/primary.xml")});

    // A feed without entries is a feed: it empties the set.
    mDelegate.mUpdates.clear();
    auto emptied = MakeFeed("/empty-feed.xml", "");
    emptied->setFeedDesignDictionary(saved);
    emptied->refreshFeedDictionaryFromWebWithHTTP();
    SettleDownloads();
    EXPECT_TRUE(emptied->feedDesignDictionary().isEmpty());
    EXPECT_EQ(mDelegate.mUpdates, QStringList{mServer.URL("/empty-feed.xml")});
}

TEST_F(DesignFeedTest, FeedOrDelegateGoneDuringADownload) {
    auto feed = MakeFeed("/slow.xml", "");
    feed->refreshFeedDictionaryFromWebWithHTTP();
    ASSERT_TRUE(WaitUntil([&] { return mServer.Hits("/slow.xml") == 1; }));
    feed.reset();
    SettleDownloads();

    auto delegate = std::make_unique<DesignFeedDelegate>();
    auto withDelegate = MakeFeed("/slow.xml", "");
    withDelegate->setDelegate(delegate.get());
    withDelegate->refreshFeedDictionaryFromWebWithHTTP();
    delegate.reset();
    SettleDownloads();
    EXPECT_EQ(withDelegate->feedDesignDictionary().keys(), QStringList{"Slow"});
    EXPECT_EQ(withDelegate->delegate(), nullptr);
}

TEST_F(DesignFeedTest, UserDefaultsSaveAndLoad) {
    const QString key = QStringLiteral("DesignFeedTest.designs");
    auto feed = MakeFeed("/primary.xml", "", key);
    const QVariantMap designs{{"Warm & Bright", Item("Warm & Bright", "warm code")}, {"Cool", Item("Cool", "cool code")}};
    feed->setFeedDesignDictionary(designs);
    ASSERT_TRUE(feed->saveToUserDefaults());
    const QByteArray stored = NSUserDefaults::standardUserDefaults().dataForKey(key);
    EXPECT_TRUE(stored.contains(key.toUtf8())) << "archived under the prefs key";
    const auto back = NSUIDesignFeed::designsDictionaryFromPrefs(key);
    ASSERT_TRUE(back);
    EXPECT_EQ(Contents(*back), Contents(designs));
    EXPECT_EQ(Contents(MakeFeed("/primary.xml", "", key)->feedDesignDictionary()), Contents(designs));

    EXPECT_EQ(NSUIDesignFeed::designsDictionaryFromPrefs(QString()), QVariantMap());
    EXPECT_EQ(NSUIDesignFeed::designsDictionaryFromPrefs("DesignFeedTest.nothing"), QVariantMap());

    // Values that are no designs archive are refused whole.
    const QVariant badValues[] = {
        QVariant(QStringLiteral("text")),
        QVariant(QByteArray("garbage")),
        QVariant(PropertyListArchiving::propertyListData({{"Cool", Item("Cool", "c")}}, "another key")),
        QVariant(PropertyListArchiving::propertyListData({{"Cool", Item("Cool", "c")}, {"bad", "a string"}}, key)),
    };
    for (const QVariant &bad : badValues) {
        NSUserDefaults::standardUserDefaults().setObject(bad, key);
        EXPECT_FALSE(NSUIDesignFeed::designsDictionaryFromPrefs(key));
        EXPECT_TRUE(MakeFeed("/primary.xml", "", key)->feedDesignDictionary().isEmpty());
    }
    NSUserDefaults::standardUserDefaults().removeObject(key);
}

TEST_F(DesignFeedTest, DesignFiles) {
    const QString folder = QString::fromStdString(lumora::test::HomeFolder()) + "/designs";
    QDir().mkpath(folder);
    const QUrl url = QUrl::fromLocalFile(folder + "/mine.plist");
    const QVariantMap designs{{"Cool", Item("Cool", "cool code")},
                              {"Settings", QVariantMap{{"a", 1}, {"nested", QVariantList{1, "two"}}}}};
    ASSERT_TRUE(NSUIDesignFeed::saveDesigns(designs, url));
    const auto back = NSUIDesignFeed::loadDesignsPropertyListWithURL(url);
    ASSERT_TRUE(back);
    EXPECT_EQ(Contents(*back), Contents(designs));
    EXPECT_EQ(back->value("Settings").toMap().value("a").toLongLong(), 1);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{"mine.plist"}) << "no temporary file left";

    // A value that cannot be archived: nothing written, the earlier file stays.
    EXPECT_FALSE(NSUIDesignFeed::saveDesigns({{"Point", QVariant(QPoint(1, 2))}}, url));
    EXPECT_TRUE(NSUIDesignFeed::loadDesignsPropertyListWithURL(url));

    EXPECT_EQ(NSUIDesignFeed::loadDesignsPropertyListWithURL(QUrl::fromLocalFile(folder + "/none.plist")), QVariantMap())
        << "unreadable: empty";

    const QString defaultKey = QString::fromLatin1(PropertyListArchiving::kDefaultKey);
    const struct {
        const char *name;
        QByteArray data;
    } refused[] = {
        {"garbage", "not a property list"},
        {"a plain property list", "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict/></plist>"},
        {"an array at the root", NSKeyedArchiver::archivedDataWithRootObject(QVariantList{"a"}, defaultKey)},
        {"another key", PropertyListArchiving::propertyListData(designs, "other")},
        {"a string design", PropertyListArchiving::propertyListData({{"Cool", "just text"}})},
        {"an entry inside settings", PropertyListArchiving::propertyListData({{"S", QVariantMap{{"x", Item("x", "y")}}}})},
    };
    for (const auto &r : refused) {
        SCOPED_TRACE(r.name);
        EXPECT_FALSE(NSUIDesignFeed::loadDesignsPropertyList(r.data));
        QFile file(folder + "/bad.plist");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(r.data);
        file.close();
        EXPECT_FALSE(NSUIDesignFeed::loadDesignsPropertyListWithURL(QUrl::fromLocalFile(folder + "/bad.plist")));
    }

    // A class outside the allow-list is refused.
    QByteArray foreign = PropertyListArchiving::propertyListData({{"Cool", Item("Cool", "c")}});
    foreign.replace("<string>ATOM_FEED_ITEM</string>", "<string>NSUIDesignFeed</string>");
    EXPECT_FALSE(NSUIDesignFeed::loadDesignsPropertyList(foreign));

    // A built-in resource that is refused gives no built-in designs.
    WriteBuiltinDesigns({});
    QFile resource(mResourcePath);
    ASSERT_TRUE(resource.open(QIODevice::WriteOnly | QIODevice::Truncate));
    resource.write("not a property list");
    resource.close();
    EXPECT_TRUE(MakeFeed("/primary.xml", "")->builtinDesignDictionary().isEmpty());
}

}  // namespace

#include "DesignFeedTest.moc"
