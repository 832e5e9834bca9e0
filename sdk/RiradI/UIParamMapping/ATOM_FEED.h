// The Atom feed reader: designs and interface-language presets are posts of a blog, one post
// per design (title: the design's name, body: its code string), read from the blog's Atom feed.
//
// - UBloggerFeedData forms the feed addresses of a blog for one label or several.
// - ATOM_FEED is one Atom document: downloaded synchronously over HTTP(S), parsed into a
//   read-only XML tree and listed as entries.
// - ATOM_FEED_ITEM is one entry (title and content), archivable.
// - ATOM_FEED_HTTP_GET is one background download: a thread of its own fetches and parses the
//   feed, then hands the request to a target on the main thread.
//
// Transport: Qt Network (QNetworkAccessManager in the downloading thread, with an event loop of
// its own; HTTPS through Qt's TLS backend; redirects followed when they are not less safe). A
// download has an overall time-out and a size cap, both checked while the body arrives, so
// nothing larger than the cap is ever held or parsed. Failures are told apart by exception name:
//   "ATOM_FEED::DownloadFailed"   HTTP status 400 or above, a network error, the time-out, the
//                                 size cap; the reason says which
//   "ATOM_FEED::NoData"           the server answered with an empty body ("Unknown error.")
//   "ATOM_FEED::XMLParseFailed"   the body is not XML
// A background download that fails is logged and never replies: the target hears only of
// documents that arrived and parsed. The target is held weakly (QPointer) and read only on the
// main thread, so a target destroyed while its download runs gets nothing.
#pragma once

#include <Foundation/NSKeyedArchiver.h>

#include <CoreFoundation/CFXMLNode.h>
#include <CoreX/CoreXMLTree.h>

#include <QByteArray>
#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantList>
#include <QVariantMap>

#include <atomic>
#include <memory>
#include <mutex>

// The outside endpoints of the feeds: the blog host's domain (a blog is a sub-domain of it) and
// the feed proxy's host.
inline constexpr char kBloggerFeedBlogHostDomain[] = "blogspot.com";
inline constexpr char kBloggerFeedProxyHost[] = "feeds.feedburner.com";

class UBloggerFeedData {
public:
    UBloggerFeedData(const QString &blogspotSubDomain, bool feedburnerWithSameLabel);

    static std::unique_ptr<UBloggerFeedData> bloggerFeedDataWithBlogspotSubDomain(const QString &subDomain,
                                                                                  bool feedburnerWithSameLabel);
    static std::unique_ptr<UBloggerFeedData> bloggerFeedDataWithBlogspotSubDomain(const QString &subDomain);

    QString blogspotSubDomain() const { return mBlogspotSubDomain; }
    void setBlogspotSubDomain(const QString &subDomain) { mBlogspotSubDomain = subDomain; }
    bool feedburnerWithSameLabel() const { return mFeedburnerWithSameLabel; }
    void setFeedburnerWithSameLabel(bool flag) { mFeedburnerWithSameLabel = flag; }

    // "http://<sub-domain>.<blog host domain>/"
    QString blogspotURL() const;
    // The labels joined with "/" (unescaped); "" for none.
    static QString blogspotQueryStringForLabels(const QStringList &labels);
    // "<base>feeds/posts/default/-/<label or labels>?max-results=1000"
    QString blogspotAtomFeedURLWithOneLabel(const QString &label) const;
    QString blogspotAtomFeedURLWithLabels(const QStringList &labels) const;
    // "http://<proxy host>/<label>"
    static QString feedburnerAtomFeedURLWithOneLabel(const QString &label);
    // The proxy's address when feedburnerWithSameLabel, else the blog's.
    QString atomFeedURLWithOneLabel(const QString &label) const;

private:
    QString mBlogspotSubDomain;
    bool mFeedburnerWithSameLabel = false;
};

// One entry: title and content. A nil (null) title is stored as "<empty title>", a nil content
// as "<empty content>". Archive keys "atom_feed_entry_title" and "atom_feed_entry_content".
class ATOM_FEED_ITEM : public NSCoding {
public:
    ATOM_FEED_ITEM();
    ATOM_FEED_ITEM(const QString &title, const QString &content);

    static std::shared_ptr<ATOM_FEED_ITEM> atomFeedItemWithTitle(const QString &title, const QString &content);
    // The item a dictionary value holds (an NSCodingObject of this class); null otherwise.
    static std::shared_ptr<ATOM_FEED_ITEM> fromVariant(const QVariant &value);
    // The item as a dictionary value.
    static QVariant toVariant(const std::shared_ptr<ATOM_FEED_ITEM> &item);

    QString title() const { return mTitle; }
    QString content() const { return mContent; }
    void setTitle(const QString &title);
    void setContent(const QString &content);

    // Raises NSInvalidUnarchiveOperationException when a value is not a string.
    void encodeWithCoder(NSCoder &coder) const override;
    bool initWithCoder(NSCoder &coder) override;

    // "<ATOM_FEED_ITEM <title> content:<length> characters>"
    QString description() const;

    static constexpr char kTitleKey[] = "atom_feed_entry_title";
    static constexpr char kContentKey[] = "atom_feed_entry_content";

private:
    QString mTitle;
    QString mContent;
};

class ATOM_FEED {
public:
    // Download limits. The time-out covers the whole download (connection, redirects, body).
    static constexpr int kDefaultDownloadTimeoutMilliseconds = 30 * 1000;
    static constexpr qint64 kDefaultMaximumFeedBytes = 8 * 1024 * 1024;
    // Process-wide limits in force (tests shorten them); thread-safe.
    static int downloadTimeoutMilliseconds();
    static qint64 maximumFeedBytes();
    static void setDownloadLimits(int timeoutMilliseconds, qint64 maximumBytes);

    ATOM_FEED();
    explicit ATOM_FEED(const QUrl &url);
    ~ATOM_FEED();
    ATOM_FEED(const ATOM_FEED &) = delete;
    ATOM_FEED &operator=(const ATOM_FEED &) = delete;

    static std::shared_ptr<ATOM_FEED> feedWithURL(const QUrl &url);

    QUrl url() const { return mURL; }
    void setURL(const QUrl &url) { mURL = url; }

    // readRemoteDataThrowingExceptions(true).
    bool readRemoteData();
    // Downloads the URL and parses the body. False (never thrown) without a URL or for a URL
    // that HTTP cannot load (another scheme). With the flag the three failures above raise
    // NSException; without it they answer false. The tree is replaced only by a parse.
    bool readRemoteDataThrowingExceptions(bool throwing);
    // Parses the bytes into the tree (whitespace-only text skipped), releasing any earlier
    // tree; a failed parse leaves no tree. Null data: false, tree unchanged.
    bool setFeedData(const QByteArray &data, bool throwing);
    bool hasDocument() const { return mTreeRef != nullptr; }
    // True when the document has a "feed" element: a parsed Atom feed.
    bool hasFeedElement() const;

    // The text of the feed's first "title"; null without document or title.
    QString titleText() const;
    // One ATOM_FEED_ITEM per entry that has a title and a content, in document order
    // (reported when there is no "feed" element).
    QList<std::shared_ptr<ATOM_FEED_ITEM>> newsItems() const;
    // {title: ATOM_FEED_ITEM (NSCodingObject)}; of two entries with one title the later wins.
    QVariantMap feedEntries() const;

    // Line-break clean-up of an entry's content, case-insensitive: "&nbsp;" becomes " ",
    // "<br />" and "<br>" become "\n". Null gives null.
    static QString stringWith_BR_ElementsConvertedTo_CRLF(const QString &text);

private:
    // The HTTP GET: the body, or a failure name and reason.
    struct Download;
    static Download httpGet(const QUrl &url);

    template <typename Visit> void visitEntries(Visit &&visit) const;

    CFXMLTreeRef mTreeRef = nullptr;
    CoreXMLTree mXMLRoot;
    QUrl mURL;
};

class ATOM_FEED_HTTP_GET;
using ATOM_FEED_HTTP_GET_Ref = std::shared_ptr<ATOM_FEED_HTTP_GET>;
Q_DECLARE_METATYPE(ATOM_FEED_HTTP_GET_Ref)

class ATOM_FEED_HTTP_GET {
public:
    // The URL made from the address (QUrl strict parsing); an invalid address gives no URL.
    explicit ATOM_FEED_HTTP_GET(const QString &feedURL);

    // Starts the download of the address on a thread of its own and returns at once. On
    // success the target, when it still lives, receives the action on the main thread with
    // the request (an ATOM_FEED_HTTP_GET_Ref in a QVariant) as its one argument. An address
    // that gives no URL starts nothing. Call it on the main thread (the target's thread).
    static void backgroundGet(const QString &feedURL, QObject *replyTarget, const QByteArray &replyAction);

    // Background downloads that have not ended yet (their replies may still be queued).
    static int runningBackgroundGets();

    QObject *replyTarget() const;
    void setReplyTarget(QObject *target);
    QByteArray replyAction() const;
    void setReplyAction(const QByteArray &action);
    QUrl feedURL() const;
    void setFeedURL(const QUrl &url);
    std::shared_ptr<ATOM_FEED> atomFeed() const;
    void setAtomFeed(const std::shared_ptr<ATOM_FEED> &feed);

    // The request carried by a reply's argument; null for anything else.
    static ATOM_FEED_HTTP_GET_Ref fromVariant(const QVariant &value);

private:
    static void backgroundThread_ATOM_FEED_GET(const ATOM_FEED_HTTP_GET_Ref &request);
    static void deliverReply(const ATOM_FEED_HTTP_GET_Ref &request);

    mutable std::mutex mMutex;
    QPointer<QObject> mReplyTarget;  // made, read and cleared on the main thread only
    QByteArray mReplyAction;
    QUrl mFeedURL;
    std::shared_ptr<ATOM_FEED> mAtomFeed;
};

bool import_ATOM_FEED();
