#include <gtest/gtest.h>

#include <UIParamMapping/ATOM_FEED.h>
#include <UIParamMapping/NSUIDesignFeed.h>

#include <CocoaFoundation/NSDictionaryPropertyListArchiving.h>
#include <Foundation/NSException.h>
#include <Foundation/NSKeyedArchiver.h>
#include <Foundation/NSObjCRuntime.h>
#include <dispatch/dispatch.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <functional>
#include <optional>

#include "../RiradITestApplication.h"
#include "FeedTestServer.h"
#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"

namespace {

using feed_test::AtomDocument;
using feed_test::FeedTestServer;
using feed_test::Response;
using feed_test::WaitUntil;

// Waits until every background download has ended and its reply, if any, was handled.
void SettleDownloads() {
    EXPECT_TRUE(WaitUntil([] { return ATOM_FEED_HTTP_GET::runningBackgroundGets() == 0; }));
    dispatch_main_queue_drain();
}

const QByteArray kFeed = AtomDocument({
    {"Warm &amp; Bright", "key1=1&lt;br /&gt;key2=two"},
    {"", "an entry with an empty title is skipped"},
    {"Cool", "first&amp;NBSP;cool"},
    {"Cool", "second cool"},
});

// The failures a download can meet, with the exception each raises.
struct FailingPath {
    const char *path;
    Response response;
    const char *exceptionName;
    const char *reasonPart;
};

std::vector<FailingPath> FailingPaths() {
    return {
        {"/missing", Response{404, "no such feed"}, "ATOM_FEED::DownloadFailed", "404"},
        {"/server-error", Response{500, "oops"}, "ATOM_FEED::DownloadFailed", "500"},
        {"/hang", Response{200, "", 0, true}, "ATOM_FEED::DownloadFailed", "timed out"},
        {"/big", Response{200, QByteArray(200 * 1024, 'x'), 0, false, false}, "ATOM_FEED::DownloadFailed", "larger"},
        {"/big-declared", Response{200, QByteArray(200 * 1024, 'x')}, "ATOM_FEED::DownloadFailed", "larger"},
        {"/empty", Response{200, ""}, "ATOM_FEED::NoData", "Unknown error."},
        {"/garbage", Response{200, "this is { not <xml"}, "ATOM_FEED::XMLParseFailed",
         "The XML parser could not parse the RSS data."},
    };
}

class AtomFeedTest : public riradi_test::WithApplication, public corex_test::DebugLogFileTest {
protected:
    void SetUp() override {
        DebugLogFileTest::SetUp();
        ATOM_FEED::setDownloadLimits(2000, 64 * 1024);  // a short time-out: a hang costs 2 s
        mServer.Set("/feed.xml", Response{200, kFeed});
        mServer.Set("/slow.xml", Response{200, kFeed, 400});
        mServer.Set("/rss.xml", Response{200, "<?xml version='1.0'?><rss><channel><title>t</title></channel></rss>"});
        for (const FailingPath &failing : FailingPaths()) mServer.Set(failing.path, failing.response);
    }
    void TearDown() override {
        SettleDownloads();
        ATOM_FEED::setDownloadLimits(ATOM_FEED::kDefaultDownloadTimeoutMilliseconds, ATOM_FEED::kDefaultMaximumFeedBytes);
        DebugLogFileTest::TearDown();
    }

    FeedTestServer mServer;
};

}  // namespace

// A reply target: counts replies and notes the thread they arrive on.
class FeedReplyTarget : public QObject {
    Q_OBJECT
public:
    explicit FeedReplyTarget(int *replies = nullptr) : mExternalReplies(replies) {}
    Q_INVOKABLE void feedArrived(const QVariant &argument) {
        ++mReplies;
        if (mExternalReplies != nullptr) ++*mExternalReplies;
        mOnMainThread = NSIsMainThread() && QThread::currentThread() == QCoreApplication::instance()->thread();
        mRequest = ATOM_FEED_HTTP_GET::fromVariant(argument);
    }
    int mReplies = 0;
    int *mExternalReplies = nullptr;
    bool mOnMainThread = false;
    ATOM_FEED_HTTP_GET_Ref mRequest;
};

namespace {

TEST(UBloggerFeedData, Addresses) {
    const UBloggerFeedData blog(QStringLiteral("lumora-designs"), false);
    const UBloggerFeedData proxied(QStringLiteral("lumora-designs"), true);
    const QString base = QStringLiteral("http://lumora-designs.") + QLatin1String(kBloggerFeedBlogHostDomain) + "/";
    const QString proxy = QStringLiteral("http://") + QLatin1String(kBloggerFeedProxyHost) + "/";
    const struct {
        QString actual, expected;
    } cases[] = {
        {blog.blogspotURL(), base},
        {UBloggerFeedData::blogspotQueryStringForLabels({"a", "b", "c"}), "a/b/c"},
        {UBloggerFeedData::blogspotQueryStringForLabels({}), ""},
        {blog.blogspotAtomFeedURLWithOneLabel("x"), base + "feeds/posts/default/-/x?max-results=1000"},
        {blog.blogspotAtomFeedURLWithLabels({"x"}), blog.blogspotAtomFeedURLWithOneLabel("x")},
        {blog.blogspotAtomFeedURLWithLabels({"a b", "c"}), base + "feeds/posts/default/-/a b/c?max-results=1000"},
        {UBloggerFeedData::feedburnerAtomFeedURLWithOneLabel("Designs"), proxy + "Designs"},
        {blog.atomFeedURLWithOneLabel("x"), blog.blogspotAtomFeedURLWithOneLabel("x")},
        {proxied.atomFeedURLWithOneLabel("x"), proxy + "x"},
        {UBloggerFeedData::bloggerFeedDataWithBlogspotSubDomain("s")->atomFeedURLWithOneLabel("x"),
         QStringLiteral("http://s.") + QLatin1String(kBloggerFeedBlogHostDomain) + "/feeds/posts/default/-/x?max-results=1000"},
    };
    for (const auto &c : cases) EXPECT_EQ(c.actual, c.expected);
    EXPECT_FALSE(UBloggerFeedData::bloggerFeedDataWithBlogspotSubDomain("s")->feedburnerWithSameLabel());
}

TEST(AtomFeedText, LineBreakCleanUpIgnoresCase) {
    const struct {
        QString text, expected;
    } cases[] = {
        {"a<br />b<br>c&nbsp;d", "a\nb\nc d"},
        {"a<BR />b<Br>c&NBSP;d&Nbsp;", "a\nb\nc d "},
        {"<br/> and <p>other</p> markup stay", "<br/> and <p>other</p> markup stay"},
        {"", ""},
    };
    for (const auto &c : cases) EXPECT_EQ(ATOM_FEED::stringWith_BR_ElementsConvertedTo_CRLF(c.text), c.expected) << c.text.toStdString();
    EXPECT_TRUE(ATOM_FEED::stringWith_BR_ElementsConvertedTo_CRLF(QString()).isNull());
}

TEST(AtomFeedItem, EmptyFieldsAndDescription) {
    const ATOM_FEED_ITEM empty{QString(), QString()};
    EXPECT_EQ(empty.title(), "<empty title>");
    EXPECT_EQ(empty.content(), "<empty content>");
    EXPECT_EQ(empty.content().length(), 15);
    EXPECT_EQ(empty.description(), "<ATOM_FEED_ITEM <empty title> content:15 characters>");
    EXPECT_EQ(ATOM_FEED_ITEM::atomFeedItemWithTitle("Warm", "abc")->description(), "<ATOM_FEED_ITEM Warm content:3 characters>");
}

TEST(AtomFeedItem, ArchiveRoundTripAndRefusals) {
    const QVariantMap designs{
        {"Warm", ATOM_FEED_ITEM::toVariant(ATOM_FEED_ITEM::atomFeedItemWithTitle("Warm", "k=v;\r\n"))},
        {"Empty", ATOM_FEED_ITEM::toVariant(std::make_shared<ATOM_FEED_ITEM>())},
    };
    const QByteArray data = PropertyListArchiving::propertyListData(designs, "designs");
    ASSERT_FALSE(data.isEmpty());
    EXPECT_TRUE(data.contains("atom_feed_entry_title"));
    EXPECT_TRUE(data.contains("atom_feed_entry_content"));
    const auto back = PropertyListArchiving::dictionaryWithPropertyListData(data, "designs", NSUIDesignFeed::designsAllowedClasses());
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), 2);
    const auto warm = ATOM_FEED_ITEM::fromVariant(back->value("Warm"));
    ASSERT_TRUE(warm);
    EXPECT_EQ(warm->title(), "Warm");
    EXPECT_EQ(warm->content(), "k=v;\r\n");
    EXPECT_EQ(ATOM_FEED_ITEM::fromVariant(back->value("Empty"))->content(), "<empty content>");

    // Without the class on the allow-list the archive is refused.
    EXPECT_THROW(PropertyListArchiving::dictionaryWithPropertyListData(data, "designs"), NSException);

    // An entry whose title is not a string is refused, not taken as text.
    QByteArray forged = data;
    forged.replace("<string>Warm</string>", "<integer>7</integer>");
    EXPECT_THROW(PropertyListArchiving::dictionaryWithPropertyListData(forged, "designs", NSUIDesignFeed::designsAllowedClasses()),
                 NSException);
}

TEST_F(AtomFeedTest, ParsesEntriesWithEntityTitles) {
    ATOM_FEED feed;
    ASSERT_TRUE(feed.setFeedData(kFeed, true));
    EXPECT_EQ(feed.titleText(), "Lumora designs");

    const auto items = feed.newsItems();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->title(), "Warm & Bright") << "an entity in a title is part of the name";
    EXPECT_EQ(items[0]->content(), "key1=1\nkey2=two");
    EXPECT_EQ(items[1]->title(), "Cool");
    EXPECT_EQ(items[1]->content(), "first cool");
    EXPECT_EQ(items[2]->content(), "second cool");

    const QVariantMap entries = feed.feedEntries();
    EXPECT_EQ(entries.keys(), (QStringList{"Cool", "Warm & Bright"}));
    EXPECT_EQ(ATOM_FEED_ITEM::fromVariant(entries.value("Cool"))->content(), "second cool") << "the later entry wins";
    EXPECT_EQ(LogText().find("VERIFY"), std::string::npos) << LogText();
}

TEST_F(AtomFeedTest, DocumentsWithoutEntries) {
    ATOM_FEED feed;
    EXPECT_FALSE(feed.setFeedData(QByteArray(), true)) << "no data";
    EXPECT_FALSE(feed.hasDocument());
    EXPECT_TRUE(feed.titleText().isNull());
    EXPECT_TRUE(feed.feedEntries().isEmpty());

    ASSERT_TRUE(feed.setFeedData("<rss><entry><title>t</title><content>c</content></entry></rss>", true));
    EXPECT_FALSE(feed.hasFeedElement());
    EXPECT_TRUE(feed.feedEntries().isEmpty());
    ClearLog();
    EXPECT_TRUE(feed.newsItems().isEmpty());
    const std::string log = LogText();
    EXPECT_NE(log.find("atomFeed.IsValid()"), std::string::npos) << log;
    EXPECT_EQ(log.find("VERIFY"), log.rfind("VERIFY")) << "one report: " << log;

    // A failed parse leaves no tree; with the flag it raises.
    EXPECT_FALSE(feed.setFeedData("<feed><entry>", false));
    EXPECT_FALSE(feed.hasDocument());
    try {
        feed.setFeedData("not xml", true);
        ADD_FAILURE() << "no exception";
    } catch (const NSException &exception) {
        EXPECT_EQ(exception.name(), "ATOM_FEED::XMLParseFailed");
        EXPECT_EQ(exception.reason(), "The XML parser could not parse the RSS data.");
    }
}

TEST_F(AtomFeedTest, DownloadsAndParses) {
    ATOM_FEED feed(QUrl(mServer.URL("/feed.xml")));
    ASSERT_TRUE(feed.readRemoteData());
    EXPECT_EQ(feed.feedEntries().size(), 2);
    EXPECT_EQ(mServer.Hits("/feed.xml"), 1);
}

TEST_F(AtomFeedTest, DownloadFailuresAreToldApart) {
    for (const FailingPath &failing : FailingPaths()) {
        SCOPED_TRACE(failing.path);
        ATOM_FEED feed(QUrl(mServer.URL(failing.path)));
        QElapsedTimer timer;
        timer.start();
        try {
            feed.readRemoteData();
            ADD_FAILURE() << "no exception";
        } catch (const NSException &exception) {
            EXPECT_EQ(exception.name(), failing.exceptionName);
            EXPECT_TRUE(exception.reason().contains(failing.reasonPart)) << exception.reason().toStdString();
        }
        EXPECT_LT(timer.elapsed(), 10000) << "the time-out ends a hang";
        EXPECT_FALSE(feed.hasDocument());
        EXPECT_FALSE(feed.readRemoteDataThrowingExceptions(false)) << "without the flag: only false";
    }

    // A refused connection is a failed load too.
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    ATOM_FEED refused(QUrl(QStringLiteral("http://127.0.0.1:%1/feed.xml").arg(closedPort)));
    try {
        refused.readRemoteData();
        ADD_FAILURE() << "no exception";
    } catch (const NSException &exception) {
        EXPECT_EQ(exception.name(), "ATOM_FEED::DownloadFailed");
        EXPECT_FALSE(exception.reason().isEmpty());
    }

    // No URL, or one HTTP cannot load: false, nothing raised.
    ATOM_FEED noURL;
    EXPECT_FALSE(noURL.readRemoteData());
    ATOM_FEED otherScheme(QUrl(QStringLiteral("ftp://127.0.0.1/feed.xml")));
    EXPECT_FALSE(otherScheme.readRemoteData());
}

TEST_F(AtomFeedTest, BackgroundReplyArrivesOnTheMainThread) {
    FeedReplyTarget target;
    ATOM_FEED_HTTP_GET::backgroundGet(mServer.URL("/feed.xml"), &target, "feedArrived:");
    ASSERT_TRUE(WaitUntil([&] { return target.mReplies > 0; }));
    SettleDownloads();
    EXPECT_EQ(target.mReplies, 1);
    EXPECT_TRUE(target.mOnMainThread);
    ASSERT_TRUE(target.mRequest);
    EXPECT_EQ(target.mRequest->feedURL(), QUrl(mServer.URL("/feed.xml")));
    ASSERT_TRUE(target.mRequest->atomFeed());
    EXPECT_EQ(target.mRequest->atomFeed()->feedEntries().keys(), (QStringList{"Cool", "Warm & Bright"}));
}

TEST_F(AtomFeedTest, FailedBackgroundDownloadsNeverReply) {
    FeedReplyTarget target;
    for (const FailingPath &failing : FailingPaths())
        ATOM_FEED_HTTP_GET::backgroundGet(mServer.URL(failing.path), &target, "feedArrived");
    ATOM_FEED_HTTP_GET::backgroundGet("ftp://127.0.0.1/feed.xml", &target, "feedArrived");
    ATOM_FEED_HTTP_GET::backgroundGet("not a url", &target, "feedArrived");
    ATOM_FEED_HTTP_GET::backgroundGet("", &target, "feedArrived");
    SettleDownloads();
    EXPECT_EQ(target.mReplies, 0);
    for (const FailingPath &failing : FailingPaths()) EXPECT_EQ(mServer.Hits(failing.path), 1) << failing.path;

    // A parsed document that is no Atom feed still replies: the caller decides.
    ATOM_FEED_HTTP_GET::backgroundGet(mServer.URL("/rss.xml"), &target, "feedArrived");
    SettleDownloads();
    EXPECT_EQ(target.mReplies, 1);
}

TEST_F(AtomFeedTest, DestroyedTargetGetsNothing) {
    int replies = 0;
    auto target = std::make_unique<FeedReplyTarget>(&replies);
    ATOM_FEED_HTTP_GET::backgroundGet(mServer.URL("/slow.xml"), target.get(), "feedArrived");
    // Gone while the server still thinks, and gone with a reply already queued.
    ASSERT_TRUE(WaitUntil([&] { return mServer.Hits("/slow.xml") == 1; }));
    target.reset();
    auto queued = std::make_unique<FeedReplyTarget>(&replies);
    ATOM_FEED_HTTP_GET::backgroundGet(mServer.URL("/feed.xml"), queued.get(), "feedArrived");
    // The downloads end without the main queue being served: the second reply waits in it.
    QElapsedTimer timer;
    timer.start();
    while (ATOM_FEED_HTTP_GET::runningBackgroundGets() > 0 && timer.elapsed() < 10000) QThread::msleep(5);
    EXPECT_EQ(replies, 0);
    queued.reset();
    SettleDownloads();
    EXPECT_EQ(replies, 0);
}

}  // namespace

#include "AtomFeedTest.moc"
