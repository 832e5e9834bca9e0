#include "LumoraCompositionCache.h"

#include <Carbon/Folders.h>

#include <QCryptographicHash>
#include <functional>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTemporaryFile>
#include <QThread>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

namespace LumoraCompositionCache {

namespace {

constexpr int kMaximumBaseLength = 64;
constexpr int kHashLength = 16;

QMutex sFolderMutex;
QString sTestFolder;

bool IsAllowed(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '-' || u == '_' ||
           u == '.';
}

}  // namespace

QString cacheFileNameForURL(const QUrl &url) {
    if (!url.isValid() || url.isEmpty()) return QString();
    const QByteArray whole = url.toEncoded(QUrl::FullyEncoded);
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(whole, QCryptographicHash::Sha256).toHex().left(kHashLength));
    // The last path component, decoded, cut down to the allowed characters.
    const QString path = url.path(QUrl::FullyDecoded);
    const QString last = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    QString base;
    for (QChar c : last)
        if (IsAllowed(c)) base.append(c);
    if (base.endsWith(QLatin1String(".qtz"), Qt::CaseInsensitive)) base.chop(4);
    while (base.startsWith(QLatin1Char('.'))) base.remove(0, 1);
    base.truncate(kMaximumBaseLength);
    while (base.endsWith(QLatin1Char('.'))) base.chop(1);
    return base.isEmpty() ? hash + QLatin1String(".qtz") : hash + QLatin1Char('-') + base + QLatin1String(".qtz");
}

bool isSafeCacheFileName(const QString &name) {
    if (name.size() < 5 || name.size() > kHashLength + 1 + kMaximumBaseLength + 4) return false;
    if (!name.endsWith(QLatin1String(".qtz")) || name.startsWith(QLatin1Char('.'))) return false;
    for (QChar c : name)
        if (!IsAllowed(c)) return false;
    return true;
}

QString cacheFolderPath() {
    {
        QMutexLocker locked(&sFolderMutex);
        if (!sTestFolder.isEmpty()) return QDir(sTestFolder).mkpath(QStringLiteral(".")) ? sTestFolder : QString();
    }
    std::string library;
    if (lumora::carbon::FolderPath(kUserDomain, kDomainLibraryFolderType, library) != noErr || library.empty())
        return QString();
    const QString folder = QDir(QString::fromStdString(library)).filePath(QStringLiteral("LumoraQache"));
    if (!QDir().mkpath(folder)) return QString();
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return QFileInfo(folder).isDir() ? folder : QString();
}

void setCacheFolderPathForTesting(const QString &folder) {
    QMutexLocker locked(&sFolderMutex);
    sTestFolder = folder;
}

QString cachedPathForURL(const QUrl &url) {
    const QString name = cacheFileNameForURL(url);
    if (name.isEmpty()) return QString();
    const QString folder = cacheFolderPath();
    if (folder.isEmpty()) return QString();
    const QFileInfo info(QDir(folder).filePath(name));
    return info.isFile() && !info.isSymLink() ? info.filePath() : QString();
}

QString storeCompositionForURL(const QString &folder, const QUrl &url, const QByteArray &bytes, QString *error) {
    auto fail = [error](const QString &reason) {
        if (error != nullptr) *error = reason;
        return QString();
    };
    const QString name = cacheFileNameForURL(url);
    if (!isSafeCacheFileName(name)) return fail(QStringLiteral("no cache name for the URL"));
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) return fail(QStringLiteral("no cache folder"));
    if (bytes.size() > kMaximumCompositionBytes) return fail(QStringLiteral("the composition is too large"));
    const QString path = QDir(folder).filePath(name);
    // A temporary file in the folder, renamed over the name: rename replaces a link at the name
    // instead of writing through it (QSaveFile would follow it).
    QTemporaryFile file(QDir(folder).filePath(QStringLiteral(".download-XXXXXX")));
    if (!file.open()) return fail(file.errorString());
    if (file.write(bytes) != bytes.size() || !file.flush() || ::fsync(file.handle()) != 0)
        return fail(QStringLiteral("cannot write the cache file"));
    if (::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    file.setAutoRemove(false);
    return path;
}

}  // namespace LumoraCompositionCache

// ---- The download --------------------------------------------------------------------------------

namespace {

// Lives on the download's thread: the network manager, the reply and the bytes.
class DownloadWorker : public QObject {
public:
    using Deliver = std::function<void(const QString &, const QString &)>;
    using Progress = std::function<void(qint64, qint64)>;

    DownloadWorker(QUrl url, QString folder, int timeout, qint64 maximum, Deliver deliver, Progress progress)
        : mUrl(std::move(url)), mFolder(std::move(folder)), mTimeout(timeout), mMaximum(maximum),
          mDeliver(std::move(deliver)), mProgress(std::move(progress)) {}

    void run() {
        mManager = new QNetworkAccessManager(this);
        QNetworkRequest request(mUrl);
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferNetwork);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
        request.setTransferTimeout(mTimeout);
        mReply = mManager->get(request);
        QObject::connect(mReply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64 total) {
            if (total > mMaximum || received > mMaximum) abortWith(QStringLiteral("the composition is too large"));
            else if (mProgress) mProgress(received, total);
        });
        QObject::connect(mReply, &QNetworkReply::readyRead, this, [this] {
            if (mReply == nullptr) return;
            const qint64 room = mMaximum - mBytes.size();
            mBytes.append(mReply->read(room + 1));
            if (mBytes.size() > mMaximum) abortWith(QStringLiteral("the composition is too large"));
        });
        QObject::connect(mReply, &QNetworkReply::finished, this, [this] { finish(); });
    }

    void abortWith(const QString &reason) {
        if (mReply == nullptr || mDone) return;
        mAbortReason = reason;
        mReply->abort();  // finished follows
    }

private:
    void finish() {
        if (mDone || mReply == nullptr) return;
        mDone = true;
        QString error = mAbortReason;
        if (error.isEmpty() && mReply->error() != QNetworkReply::NoError) error = mReply->errorString();
        const int status = mReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (error.isEmpty() && (status < 200 || status > 299))
            error = QStringLiteral("the server answered %1").arg(status);
        if (error.isEmpty()) {
            mBytes.append(mReply->read(mMaximum - mBytes.size() + 1));
            if (mBytes.size() > mMaximum) error = QStringLiteral("the composition is too large");
        }
        QString path;
        if (error.isEmpty()) path = LumoraCompositionCache::storeCompositionForURL(mFolder, mUrl, mBytes, &error);
        mReply->deleteLater();
        mReply = nullptr;
        mBytes.clear();
        mDeliver(path, error);
    }

    QUrl mUrl;
    QString mFolder;
    int mTimeout;
    qint64 mMaximum;
    Deliver mDeliver;
    Progress mProgress;
    QNetworkAccessManager *mManager = nullptr;
    QNetworkReply *mReply = nullptr;
    QByteArray mBytes;
    QString mAbortReason;
    bool mDone = false;
};

}  // namespace

LumoraCompositionDownload::LumoraCompositionDownload(const QUrl &url, const QString &folder, QObject *parent)
    : QObject(parent), mUrl(url), mFolder(folder) {}

LumoraCompositionDownload::~LumoraCompositionDownload() {
    if (mThread != nullptr) {
        mThread->quit();
        mThread->wait();
        delete mThread;
    }
}

bool LumoraCompositionDownload::start() {
    if (mStarted) return false;
    const QString scheme = mUrl.scheme().toLower();
    if (!mUrl.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) return false;
    if (mFolder.isEmpty()) mFolder = LumoraCompositionCache::cacheFolderPath();
    if (mFolder.isEmpty()) return false;
    mStarted = true;
    mRunning = true;
    mThread = new QThread;
    mThread->setObjectName(QStringLiteral("LumoraCompositionDownload"));
    // The callbacks reach this object on its own thread; once it is gone, they are dropped.
    QPointer<LumoraCompositionDownload> self(this);
    auto *worker = new DownloadWorker(
        mUrl, mFolder, mTimeout, mMaximumBytes,
        [self, this](const QString &path, const QString &error) {
            QMetaObject::invokeMethod(this, [self, path, error] { if (self) self->deliver(path, error); },
                                      Qt::QueuedConnection);
        },
        [self, this](qint64 received, qint64 total) {
            QMetaObject::invokeMethod(this, [self, received, total] { if (self) emit self->progress(received, total); },
                                      Qt::QueuedConnection);
        });
    worker->moveToThread(mThread);
    mWorker = worker;
    connect(mThread, &QThread::started, worker, [worker] { worker->run(); });
    connect(mThread, &QThread::finished, worker, &QObject::deleteLater);
    mThread->start();
    return true;
}

void LumoraCompositionDownload::cancel() {
    if (!mRunning || mWorker == nullptr) return;
    auto *worker = static_cast<DownloadWorker *>(mWorker);
    QMetaObject::invokeMethod(worker, [worker] { worker->abortWith(QStringLiteral("cancelled")); }, Qt::QueuedConnection);
}

void LumoraCompositionDownload::deliver(const QString &path, const QString &error) {
    if (!mRunning) return;
    mRunning = false;
    mWorker = nullptr;
    if (mThread != nullptr) {
        // The worker has finished its work: the thread ends at once.
        mThread->quit();
        mThread->wait();
        delete mThread;
        mThread = nullptr;
    }
    emit finished(path, error);
}

bool import_LumoraCompositionCache() { return true; }
