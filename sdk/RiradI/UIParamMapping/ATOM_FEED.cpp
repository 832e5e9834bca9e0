#include "ATOM_FEED.h"

#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFString.h>
#include <CoreFoundation/CFXMLParser.h>
#include <CoreX/CoreMachDebugLog.h>
#include <CoreX/CoreXMLTree.h>
#include <Foundation/NSException.h>
#include <Foundation/NSObjCRuntime.h>
#include <dispatch/dispatch.h>

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <system_error>
#include <thread>
#include <vector>

NS_REGISTER_CODING_CLASS(ATOM_FEED_ITEM);

namespace {

constexpr char kDownloadFailed[] = "ATOM_FEED::DownloadFailed";
constexpr char kNoData[] = "ATOM_FEED::NoData";
constexpr char kXMLParseFailed[] = "ATOM_FEED::XMLParseFailed";

std::atomic<int> sDownloadTimeoutMilliseconds{ATOM_FEED::kDefaultDownloadTimeoutMilliseconds};
std::atomic<qint64> sMaximumFeedBytes{ATOM_FEED::kDefaultMaximumFeedBytes};
std::atomic<int> sRunningBackgroundGets{0};

QString QStringFromCFString(CFStringRef string) {
    if (string == nullptr) return QString();
    const CFIndex length = CFStringGetLength(string);
    std::vector<UniChar> units(size_t(length) + 1);
    CFStringGetCharacters(string, CFRangeMake(0, length), units.data());
    return QString(reinterpret_cast<const QChar *>(units.data()), qsizetype(length));
}

// A created string (GetElementEntityText) as a QString, released.
QString TakeCFString(CFStringRef string) {
    QString text = QStringFromCFString(string);
    if (string != nullptr) CFRelease(string);
    return text;
}

bool IsHTTP(const QUrl &url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// UBloggerFeedData

UBloggerFeedData::UBloggerFeedData(const QString &blogspotSubDomain, bool feedburnerWithSameLabel)
    : mBlogspotSubDomain(blogspotSubDomain), mFeedburnerWithSameLabel(feedburnerWithSameLabel) {}

std::unique_ptr<UBloggerFeedData> UBloggerFeedData::bloggerFeedDataWithBlogspotSubDomain(const QString &subDomain,
                                                                                         bool feedburnerWithSameLabel) {
    return std::make_unique<UBloggerFeedData>(subDomain, feedburnerWithSameLabel);
}

std::unique_ptr<UBloggerFeedData> UBloggerFeedData::bloggerFeedDataWithBlogspotSubDomain(const QString &subDomain) {
    return bloggerFeedDataWithBlogspotSubDomain(subDomain, false);
}

QString UBloggerFeedData::blogspotURL() const {
    return QStringLiteral("http://%1.%2/").arg(mBlogspotSubDomain, QLatin1String(kBloggerFeedBlogHostDomain));
}

QString UBloggerFeedData::blogspotQueryStringForLabels(const QStringList &labels) {
    return labels.join(QLatin1Char('/'));
}

QString UBloggerFeedData::blogspotAtomFeedURLWithOneLabel(const QString &label) const {
    return QStringLiteral("%1feeds/posts/default/-/%2?max-results=1000").arg(blogspotURL(), label);
}

QString UBloggerFeedData::blogspotAtomFeedURLWithLabels(const QStringList &labels) const {
    return blogspotAtomFeedURLWithOneLabel(blogspotQueryStringForLabels(labels));
}

QString UBloggerFeedData::feedburnerAtomFeedURLWithOneLabel(const QString &label) {
    return QStringLiteral("http://%1/%2").arg(QLatin1String(kBloggerFeedProxyHost), label);
}

QString UBloggerFeedData::atomFeedURLWithOneLabel(const QString &label) const {
    return mFeedburnerWithSameLabel ? feedburnerAtomFeedURLWithOneLabel(label) : blogspotAtomFeedURLWithOneLabel(label);
}

// ---------------------------------------------------------------------------------------------
// ATOM_FEED_ITEM

ATOM_FEED_ITEM::ATOM_FEED_ITEM() : ATOM_FEED_ITEM(QString(), QString()) {}

ATOM_FEED_ITEM::ATOM_FEED_ITEM(const QString &title, const QString &content) {
    setTitle(title);
    setContent(content);
}

std::shared_ptr<ATOM_FEED_ITEM> ATOM_FEED_ITEM::atomFeedItemWithTitle(const QString &title, const QString &content) {
    return std::make_shared<ATOM_FEED_ITEM>(title, content);
}

std::shared_ptr<ATOM_FEED_ITEM> ATOM_FEED_ITEM::fromVariant(const QVariant &value) {
    if (value.metaType() != QMetaType::fromType<NSCodingObject>()) return nullptr;
    return std::dynamic_pointer_cast<ATOM_FEED_ITEM>(value.value<NSCodingObject>());
}

QVariant ATOM_FEED_ITEM::toVariant(const std::shared_ptr<ATOM_FEED_ITEM> &item) {
    return QVariant::fromValue<NSCodingObject>(item);
}

void ATOM_FEED_ITEM::setTitle(const QString &title) {
    mTitle = title.isNull() ? QStringLiteral("<empty title>") : title;
}

void ATOM_FEED_ITEM::setContent(const QString &content) {
    mContent = content.isNull() ? QStringLiteral("<empty content>") : content;
}

void ATOM_FEED_ITEM::encodeWithCoder(NSCoder &coder) const {
    coder.encodeObject(mTitle, QLatin1String(kTitleKey));
    coder.encodeObject(mContent, QLatin1String(kContentKey));
}

bool ATOM_FEED_ITEM::initWithCoder(NSCoder &coder) {
    const auto decodeString = [&coder](const char *key) {
        const QVariant value = coder.decodeObject(QLatin1String(key));
        if (value.isValid() && value.typeId() != QMetaType::QString)
            NSException::raise(NSInvalidUnarchiveOperationException,
                               QStringLiteral("ATOM_FEED_ITEM: %1 is not a string").arg(QLatin1String(key)));
        return value.toString();  // null for a missing value
    };
    const QString title = decodeString(kTitleKey);
    const QString content = decodeString(kContentKey);
    setTitle(title);
    setContent(content);
    return true;
}

QString ATOM_FEED_ITEM::description() const {
    return QStringLiteral("<%1 %2 content:%3 characters>")
        .arg(QStringLiteral("ATOM_FEED_ITEM"), mTitle)
        .arg(mContent.length());
}

// ---------------------------------------------------------------------------------------------
// ATOM_FEED: download

int ATOM_FEED::downloadTimeoutMilliseconds() { return sDownloadTimeoutMilliseconds.load(); }
qint64 ATOM_FEED::maximumFeedBytes() { return sMaximumFeedBytes.load(); }

void ATOM_FEED::setDownloadLimits(int timeoutMilliseconds, qint64 maximumBytes) {
    sDownloadTimeoutMilliseconds.store(timeoutMilliseconds > 0 ? timeoutMilliseconds : kDefaultDownloadTimeoutMilliseconds);
    sMaximumFeedBytes.store(maximumBytes > 0 ? maximumBytes : kDefaultMaximumFeedBytes);
}

struct ATOM_FEED::Download {
    QByteArray body;
    QString failure;  // the reason of a failed load; empty on success
};

// One GET with a network manager and event loop of this thread. The body is read as it
// arrives and the transfer is aborted as soon as it (or its declared length) passes the cap.
ATOM_FEED::Download ATOM_FEED::httpGet(const QUrl &url) {
    const int timeout = downloadTimeoutMilliseconds();
    const qint64 cap = maximumFeedBytes();

    Download result;
    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(8);

    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    std::unique_ptr<QNetworkReply> reply(manager.get(request));

    const auto fail = [&](const QString &reason) {
        if (result.failure.isEmpty()) result.failure = reason;
        if (!reply->isFinished()) reply->abort();
    };
    const auto tooLarge = [&] { fail(QStringLiteral("The feed is larger than %1 bytes.").arg(cap)); };
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        fail(QStringLiteral("The download timed out after %1 ms.").arg(timeout));
    });
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, &loop, [&] {
        bool known = false;
        const qint64 length = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
        if (known && length > cap) tooLarge();
    });
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
        if (!result.failure.isEmpty()) return;
        result.body += reply->readAll();
        if (result.body.size() > cap) tooLarge();
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);

    deadline.start(timeout);
    if (!reply->isFinished()) loop.exec(QEventLoop::ExcludeUserInputEvents);
    deadline.stop();

    if (result.failure.isEmpty()) {
        result.body += reply->readAll();
        if (result.body.size() > cap) result.failure = QStringLiteral("The feed is larger than %1 bytes.").arg(cap);
    }
    if (result.failure.isEmpty()) {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status >= 400) {
            result.failure = QStringLiteral("HTTP status %1 %2")
                                 .arg(status)
                                 .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString())
                                 .trimmed();
        } else if (reply->error() != QNetworkReply::NoError) {
            result.failure = reply->errorString();
        }
    }
    if (!result.failure.isEmpty()) result.body.clear();
    return result;
}

ATOM_FEED::ATOM_FEED() = default;

ATOM_FEED::ATOM_FEED(const QUrl &url) : mURL(url) {}

ATOM_FEED::~ATOM_FEED() {
    mXMLRoot.Clear();
    if (mTreeRef != nullptr) CFRelease(mTreeRef);
}

std::shared_ptr<ATOM_FEED> ATOM_FEED::feedWithURL(const QUrl &url) { return std::make_shared<ATOM_FEED>(url); }

bool ATOM_FEED::readRemoteData() { return readRemoteDataThrowingExceptions(true); }

bool ATOM_FEED::readRemoteDataThrowingExceptions(bool throwing) {
    if (mURL.isEmpty() || !mURL.isValid()) return false;
    if (!IsHTTP(mURL)) return false;  // nothing can load it

    Download download;
    if (NSIsMainThread()) {
        // Not on the main thread's event loop: queued main-thread work must not run inside a
        // synchronous download. The caller waits as it would for the loop.
        std::thread worker([&] { download = httpGet(mURL); });
        worker.join();
    } else {
        download = httpGet(mURL);
    }

    if (!download.failure.isEmpty()) {
        if (throwing) NSException::raise(QString::fromLatin1(kDownloadFailed), download.failure);
        return false;
    }
    if (download.body.isEmpty()) {
        if (throwing) NSException::raise(QString::fromLatin1(kNoData), QStringLiteral("Unknown error."));
        return false;
    }
    return setFeedData(download.body, throwing);
}

// ---------------------------------------------------------------------------------------------
// ATOM_FEED: the document

bool ATOM_FEED::setFeedData(const QByteArray &data, bool throwing) {
    if (data.isNull()) return false;
    CFDataRef cfData = CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(data.constData()), CFIndex(data.size()));
    CFXMLTreeRef tree = nullptr;
    if (VERIFY(cfData)) {
        tree = CFXMLTreeCreateFromData(kCFAllocatorDefault, cfData, nullptr, kCFXMLParserSkipWhitespace, 1);
        CFRelease(cfData);
    }
    mXMLRoot.Clear();
    if (mTreeRef != nullptr) CFRelease(mTreeRef);
    mTreeRef = tree;
    mXMLRoot = tree;
    if (mTreeRef != nullptr) return true;
    if (throwing)
        NSException::raise(QString::fromLatin1(kXMLParseFailed), QStringLiteral("The XML parser could not parse the RSS data."));
    return false;
}

bool ATOM_FEED::hasFeedElement() const {
    return mXMLRoot.IsValid() && mXMLRoot.HasChildElement("feed");
}

QString ATOM_FEED::titleText() const {
    CoreXMLTree feed;
    if (!mXMLRoot.IsValid() || !mXMLRoot.GetChildElement(feed, "feed")) return QString();
    if (!feed.HasChildElement("title")) return QString();
    return TakeCFString(feed.GetElementEntityText("title"));
}

// Calls visit(title, content) for every entry of the feed element that has both. A title is
// the element's readable text (text and entity references joined), so "Warm &amp; Bright" is
// the name "Warm & Bright"; an empty title counts as none.
template <typename Visit>
void ATOM_FEED::visitEntries(Visit &&visit) const {
    CoreXMLTree atomFeed;
    if (mXMLRoot.IsValid()) mXMLRoot.GetChildElement(atomFeed, "feed");
    if (!atomFeed.IsValid()) return;
    const CFIndex count = atomFeed.GetElementCount("entry");
    for (CFIndex index = 0; index < count; ++index) {
        CoreXMLTree entry;
        if (!atomFeed.GetChildElement(entry, "entry", index)) continue;
        if (!entry.HasChildElement("title") || !entry.HasChildElement("content")) continue;
        const QString title = TakeCFString(entry.GetElementEntityText("title"));
        if (title.isEmpty()) continue;
        CFStringRef contentRef = entry.GetElementEntityText("content");
        if (contentRef == nullptr) continue;
        visit(title, stringWith_BR_ElementsConvertedTo_CRLF(TakeCFString(contentRef)));
    }
}

QList<std::shared_ptr<ATOM_FEED_ITEM>> ATOM_FEED::newsItems() const {
    CoreXMLTree atomFeed;
    if (mXMLRoot.IsValid()) mXMLRoot.GetChildElement(atomFeed, "feed");
    QList<std::shared_ptr<ATOM_FEED_ITEM>> items;
    if (!VERIFY(atomFeed.IsValid())) return items;
    visitEntries([&items](const QString &title, const QString &content) {
        items.append(ATOM_FEED_ITEM::atomFeedItemWithTitle(title, content));
    });
    return items;
}

QVariantMap ATOM_FEED::feedEntries() const {
    QVariantMap entries;
    visitEntries([&entries](const QString &title, const QString &content) {
        entries.insert(title, ATOM_FEED_ITEM::toVariant(ATOM_FEED_ITEM::atomFeedItemWithTitle(title, content)));
    });
    return entries;
}

QString ATOM_FEED::stringWith_BR_ElementsConvertedTo_CRLF(const QString &text) {
    if (text.isNull()) return QString();
    QString result = text;
    result.replace(QLatin1String("&nbsp;"), QLatin1String(" "), Qt::CaseInsensitive);
    result.replace(QLatin1String("<br />"), QLatin1String("\n"), Qt::CaseInsensitive);
    result.replace(QLatin1String("<br>"), QLatin1String("\n"), Qt::CaseInsensitive);
    return result;
}

// ---------------------------------------------------------------------------------------------
// ATOM_FEED_HTTP_GET

ATOM_FEED_HTTP_GET::ATOM_FEED_HTTP_GET(const QString &feedURL) {
    const QUrl url(feedURL, QUrl::StrictMode);
    if (!feedURL.isEmpty() && url.isValid()) mFeedURL = url;
}

QObject *ATOM_FEED_HTTP_GET::replyTarget() const {
    std::lock_guard lock(mMutex);
    return mReplyTarget.data();
}

void ATOM_FEED_HTTP_GET::setReplyTarget(QObject *target) {
    std::lock_guard lock(mMutex);
    mReplyTarget = target;
}

QByteArray ATOM_FEED_HTTP_GET::replyAction() const {
    std::lock_guard lock(mMutex);
    return mReplyAction;
}

void ATOM_FEED_HTTP_GET::setReplyAction(const QByteArray &action) {
    std::lock_guard lock(mMutex);
    mReplyAction = action;
}

QUrl ATOM_FEED_HTTP_GET::feedURL() const {
    std::lock_guard lock(mMutex);
    return mFeedURL;
}

void ATOM_FEED_HTTP_GET::setFeedURL(const QUrl &url) {
    std::lock_guard lock(mMutex);
    mFeedURL = url;
}

std::shared_ptr<ATOM_FEED> ATOM_FEED_HTTP_GET::atomFeed() const {
    std::lock_guard lock(mMutex);
    return mAtomFeed;
}

void ATOM_FEED_HTTP_GET::setAtomFeed(const std::shared_ptr<ATOM_FEED> &feed) {
    std::lock_guard lock(mMutex);
    mAtomFeed = feed;
}

ATOM_FEED_HTTP_GET_Ref ATOM_FEED_HTTP_GET::fromVariant(const QVariant &value) {
    if (value.metaType() != QMetaType::fromType<ATOM_FEED_HTTP_GET_Ref>()) return nullptr;
    return value.value<ATOM_FEED_HTTP_GET_Ref>();
}

int ATOM_FEED_HTTP_GET::runningBackgroundGets() { return sRunningBackgroundGets.load(); }

void ATOM_FEED_HTTP_GET::backgroundGet(const QString &feedURL, QObject *replyTarget, const QByteArray &replyAction) {
    const auto request = std::make_shared<ATOM_FEED_HTTP_GET>(feedURL);
    if (request->feedURL().isEmpty()) {
        NSLog(QStringLiteral("ATOM_FEED_HTTP_GET: no URL for \"%1\"; nothing downloaded").arg(feedURL));
        return;
    }
    request->setReplyTarget(replyTarget);
    request->setReplyAction(replyAction);
    request->setAtomFeed(nullptr);
    ++sRunningBackgroundGets;
    try {
        std::thread([request] {
            backgroundThread_ATOM_FEED_GET(request);
            --sRunningBackgroundGets;
        }).detach();
    } catch (const std::system_error &error) {
        --sRunningBackgroundGets;
        NSLog(QStringLiteral("ATOM_FEED_HTTP_GET: cannot start the download of %1: %2")
                  .arg(feedURL, QString::fromLocal8Bit(error.what())));
    }
}

// The thread body. Every failure is logged and ends the thread without a reply, so the
// target keeps what it had: a failed load, no data, an unparseable body, and a URL that HTTP
// cannot load. Nothing may escape a thread, so other exceptions are logged too.
void ATOM_FEED_HTTP_GET::backgroundThread_ATOM_FEED_GET(const ATOM_FEED_HTTP_GET_Ref &request) {
    const QUrl url = request->feedURL();
    if (url.isEmpty()) return;
    const QString address = url.toString();
    try {
        const auto feed = ATOM_FEED::feedWithURL(url);
        request->setAtomFeed(feed);
        if (!feed->readRemoteData()) {
            NSLog(QStringLiteral("ATOM_FEED_HTTP_GET: %1 cannot be loaded").arg(address));
            return;
        }
        deliverReply(request);
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("ATOM_FEED_HTTP_GET: %1: %2").arg(address, exception.description()));
    } catch (const std::exception &exception) {
        NSLog(QStringLiteral("ATOM_FEED_HTTP_GET: %1: %2").arg(address, QString::fromLocal8Bit(exception.what())));
    } catch (...) {
        NSLog(QStringLiteral("ATOM_FEED_HTTP_GET: %1: unknown exception").arg(address));
    }
}

// The target is looked at only on the main thread, where it lives and dies: a target that was
// destroyed in the meantime gets nothing.
void ATOM_FEED_HTTP_GET::deliverReply(const ATOM_FEED_HTTP_GET_Ref &request) {
    dispatch_async(dispatch_get_main_queue(), [request] {
        QObject *target = request->replyTarget();
        if (target == nullptr) return;
        const QByteArray action = request->replyAction();
        if (!respondsToSelector(target, action)) {
            NSLog(QStringLiteral("ATOM_FEED_HTTP_GET: the reply target does not answer %1").arg(QString::fromLatin1(action)));
            return;
        }
        try {
            performSelector(target, action, QVariant::fromValue(request));
        } catch (const NSException &exception) {
            NSLog(QStringLiteral("ATOM_FEED_HTTP_GET: the reply %1 raised %2")
                      .arg(QString::fromLatin1(action), exception.description()));
        }
    });
}

bool import_ATOM_FEED() { return import_CoreXMLTree(); }
